// Input routing by game phase, and the command bar: seven slots whose
// buttons follow the player's state (the gate or the catapults' selection,
// prayer, the two spells, and the orders while friendly units are
// selected), sliding in while Shift is held.
#pragma once

// Pointer input once per pass: b = button pressed (1..3), 0 released,
// -1 nothing changed. Window pixel coordinates. `first_down`: whether the
// first button is held now.
void interface_click(int x, int y, int b, bool first_down = false);
// A translated key press.
void interface_key(int key);

extern int do_interface;    // 1 while the command bar is shown and the pointer free
extern float interface_y;   // -1.73 hidden .. -1.28 shown
extern int waiting_mouse_command;  // 0 none, 1 move, 2 attack

constexpr float INTERFACE_Y_SHOWN = -1.28f;
constexpr float INTERFACE_Y_HIDDEN = -1.73f;

struct button_slot {
    unsigned int texture;  // 0: empty, not drawn
    int highlighted;
    int enlarge;           // grow when highlighted
    void (*action)();
};
// The bar as it stands (refresh_command_bar makes it from the state).
extern button_slot the_buttons[7];

// The bar's buttons from the player's state now: slot 0 the gate (for the
// defenders) or the catapults' selection (for the attackers), 1 prayer
// (lit while praying), 2 and 3 the spells held, 4 to 6 attack, move and
// stop while friendly units are selected (lit by the first one's order).
void refresh_command_bar();

// Which slot of the command bar a press at (x, y) hits in a w x h window:
// 0..6 a slot, -1 not in the bar (the press goes to the selection),
// -2 in the bar but between slots (nothing happens).
int command_bar_slot(int x, int y, int w, int h);

// Shift held shows the bar and frees the pointer; released, the view looks
// again.
void enable_interface();
void disable_interface();
// The cursor of the phase the bar's state asks for (set by the program).
extern void (*interface_cursor_visible)();
extern void (*interface_cursor_look)();
// Once a frame of play: the bar slides in or out (0.2 of its height a
// tuned step).
void animate_interface(float dt);
// A new game: an empty bar, slid away, no order waiting for its point.
void reset_game_interface();
void draw_interface();
