#include "sim/end_game.h"

#include <cstdio>

#include "sim/game.h"
#include "sim/participants.h"
#include "sim/units.h"
#include "sim/buildings.h"
#include "sim/model_tree.h"

int count_temple_holders()
{
    int holders = 0;
    for (const unit* u = unit_list; u; u = u->next) {
        if (!u->touched_model || u->team != TEAM_ATTACKERS)
            continue;
        const model_node* temple = is_a_temple(u->touched_model);
        if (temple && temple->origin[2] < 0.0f)
            ++holders;
    }
    return holders;
}

int is_end_game()
{
    if (count_temple_holders() > TEMPLE_HOLDERS_TO_WIN)
        return i_am_defender() ? END_LOST : END_WON;
    if (me && !(me->health > 0.0f))
        return END_LOST;
    const int own = local_team();
    if (do_check_win && (own == 0 || own == 1) && teams[1 - own].members == 0 && !single_player) {
        do_check_win = 0;
        return END_WON;
    }
    return END_GOES_ON;
}

// The own figure is about to go: its table entry must not keep pointing at
// it (the menu's rebuilt table releases the old entries' figures).
static void forget_own_figure()
{
    for (participant& p : parts)
        if (p.is_self)
            p.figure = nullptr;
}

// The registry is cleared because the game is over here, not because its
// units died: the copies still playing keep them.
void delete_all_units()
{
    forget_own_figure();
    while (unit_list)
        drop_unit(unit_list);
    me = nullptr;
}

void end_game(int result)
{
    if (result != END_WON && result != END_LOST)
        return;
    const int own = local_team();
    game_state = result;
    printf("the game is over: %s, %d units at the temple\n", result == END_WON ? "won" : "lost",
           count_temple_holders());
    if (result == END_LOST) {
        if ((own == 0 || own == 1) && teams[own].members == 1) {
            delete_all_units();
        } else if (me) {
            unit* figure = me;
            forget_own_figure();
            del_unit(figure);
        }
    }
    me = nullptr;
}
