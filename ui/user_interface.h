// The interface as one object: the menu with its chat, team and settings
// windows, the command bar, the selection, the banner, and what the player
// has asked for and the program has not yet carried out. The program keeps
// one for as long as its window is open and binds it to the session, the
// renderer and the sound; while a battle is played it also shows the
// battle's world, which it reads through a const pointer. What the player
// asks of the world goes out as player actions (sim/player_actions.h),
// applied by the program; what it asks of the program (start, back to the
// menu, quit) goes out as a request (ui/requests.h).
#pragma once

#include <vector>

#include "sim/player_actions.h"
#include "ui/chat.h"
#include "ui/hud.h"
#include "ui/interface.h"
#include "ui/menu.h"
#include "ui/requests.h"
#include "ui/selection.h"
#include "ui/settings_menu.h"

struct session;
struct world;
struct renderer;
struct sound_system;

struct user_interface {
    user_interface(::session& s, ::renderer& r, sound_system& snd) : session(s), renderer(r), sound(snd) {}
    user_interface(const user_interface&) = delete;
    user_interface& operator=(const user_interface&) = delete;

    ::session& session;
    ::renderer& renderer;
    sound_system& sound;
    // The battle on screen; none in the menu.
    const ::world* world = nullptr;

    menu_font font;
    menu_screen menu;
    chat_window chat;
    settings_pages settings;
    command_bar bar;
    selection_state selection;
    banner_state banner;

    // What the player asked of the program, the last one not yet taken.
    ui_request pending = ui_request::none;
    // What the player asked of the world since the program last took it.
    std::vector<player_action> actions;
    // How the pointer shows while the command bar is out or the view looks
    // (set by the program; none without a window).
    void (*cursor_visible)() = nullptr;
    void (*cursor_look)() = nullptr;

    // The clock the interface's timers run on: the battle's while one is
    // played, the session's otherwise.
    float now() const;
};

// A new game: an empty bar, no selection, drag or banner, the menu
// picture's catapult ready to throw again.
void reset_game_interface(user_interface& ui);
// The actions asked for since the last call, oldest first.
std::vector<player_action> take_player_actions(user_interface& ui);
