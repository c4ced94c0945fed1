// What the player asked of the program through the menus and the end
// screens: the interface only records the request, and the program carries
// it out between two frames (it owns the switches between the game's
// phases, the network channel and the window).
#pragma once

enum class ui_request {
    none,
    start_game,    // "Start Game": draw a seed, tell the others and play
    back_to_menu,  // a click on an end screen
    quit,          // "Quit", or Alt+Q in the menu
};

struct user_interface;
// Records a request; a later one replaces one not yet taken.
void request(user_interface& ui, ui_request r);
// The request recorded since the last call (none when there is none).
ui_request take_request(user_interface& ui);
