// The fixture of the interface's tests: a session and, for play, a world
// as game_test makes them, with a renderer, a sound system and the
// interface bound to them; nothing opens a window or a sound device. The
// command bar's slots as the player's state makes them, and the player's
// actions carried out on the world as the program does.
#pragma once

#include "game_fixture.h"
#include "render/renderer.h"
#include "sim/player_actions.h"
#include "sound/sound.h"
#include "ui/interface.h"
#include "ui/user_interface.h"

class interface_test : public game_test {
protected:
    renderer r;
    sound_system snd;
    user_interface ui{s, r, snd};

    interface_test()
    {
        r.view.width = 1280;
        r.view.height = 1024;
        init_char_widths(ui.font);
    }

    // The same as game_test's, with the interface showing the world.
    world& fresh_game(int team = 1, int number = 500, unsigned seed = 1)
    {
        world& w = game_test::fresh_game(team, number, seed);
        ui.world = &w;
        return w;
    }

    const button_slot& bar(int slot)
    {
        refresh_command_bar(ui);
        return ui.bar.slots[slot];
    }

    // What the player asked of the world, carried out on it.
    void apply_actions()
    {
        for (const player_action& a : take_player_actions(ui))
            apply_player_action(*game, a);
    }
};
