// Input routing by game phase, and the command bar: seven slots whose
// buttons follow the player's state (the gate or the catapults' selection,
// prayer, the two spells, and the orders while friendly units are
// selected), sliding in while Shift is held.
#pragma once

struct user_interface;

// Pointer input once per pass: b = button pressed (1..3), 0 released,
// -1 nothing changed. Window pixel coordinates. `first_down`: whether the
// first button is held now.
void interface_click(user_interface& ui, int x, int y, int b, bool first_down = false);
// A translated key press.
void interface_key(user_interface& ui, int key);

constexpr float INTERFACE_Y_SHOWN = -1.28f;
constexpr float INTERFACE_Y_HIDDEN = -1.73f;

struct button_slot {
    unsigned int texture = 0;  // 0: empty, not drawn
    int highlighted = 0;
    int enlarge = 0;           // grow when highlighted
    void (*action)(user_interface&) = nullptr;
};

// The command bar: whether it is out (and the pointer free), where it
// stands on its slide, the order waiting for its point on the ground, its
// slots as refresh_command_bar made them, and the order button last lit
// (4 attack, 5 move, 6 stop; -1 none: a unit engaged with an enemy leaves
// the lights as they were).
struct command_bar {
    int shown = 0;
    float y = INTERFACE_Y_HIDDEN;
    int waiting_order = 0;  // 0 none, ORDER_MOVE, ORDER_ATTACK
    button_slot slots[7];
    int lit_order = -1;
};

// The bar's buttons from the player's state now: slot 0 the gate (for the
// defenders) or the catapults' selection (for the attackers), 1 prayer
// (lit while praying), 2 and 3 the spells held, 4 to 6 attack, move and
// stop while friendly units are selected (lit by the first one's order).
void refresh_command_bar(user_interface& ui);

// Which slot of the command bar a press at (x, y) hits in a w x h window:
// 0..6 a slot, -1 not in the bar (the press goes to the selection),
// -2 in the bar but between slots (nothing happens). The bar takes no
// press while the view is zoomed.
int command_bar_slot(int x, int y, int w, int h, float zoom = 1.0f);

// Shift held shows the bar and frees the pointer; released, the view looks
// again.
void enable_interface(user_interface& ui);
void disable_interface(user_interface& ui);
// Once a frame of play: the bar slides in or out (0.2 of its height a
// tuned step).
void animate_interface(command_bar& bar, float dt);
void draw_interface(user_interface& ui);
