#include "ui/user_interface.h"

#include "sim/session.h"
#include "sim/world.h"

float user_interface::now() const
{
    return world ? world->time : session.now;
}

void reset_game_interface(user_interface& ui)
{
    ui.bar = command_bar{};
    ui.selection = selection_state{};
    ui.banner = banner_state{};
    ui.actions.clear();
}

std::vector<player_action> take_player_actions(user_interface& ui)
{
    std::vector<player_action> taken;
    taken.swap(ui.actions);
    return taken;
}
