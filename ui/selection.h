// Selection: while the command bar is shown, a left drag draws a box and
// picks every unit whose picking box shows inside it (sim/pick.h); a left
// press on the ground carries out a pending move or attack order; the
// middle button orders the selection straight to a point (and edits the
// ground in god mode).
#pragma once

#include <cstdint>
#include <vector>

struct user_interface;
struct world;

// The units this copy's player has picked: any number of its own side's,
// or one enemy while none of its own is picked; and the pointer's drag.
struct selection_state {
    std::vector<uint32_t> friends;
    uint32_t enemy = 0;
    int mouse_down = 0;        // button last pressed, 0 after a release
    int in_select = 0;         // 1 while a left drag is in progress
    int x_i = 0, y_i = 0;      // window position where the drag began
    int drag_x1 = 0, drag_y1 = 0, drag_x2 = 0, drag_y2 = 0;  // current box, x1 <= x2, y1 <= y2
    int extend = 0;            // Alt held at the last box update
};

// A click without a drag picks within a square this wide.
constexpr int MIN_PICK_SIZE = 6;

struct pick_window {
    int left, right, bottom, top;
};
// The picking window for the box (x1, y1)-(x2, y2) in a w x h window,
// relative to the window centre, widened to at least 6 x 6 pixels.
pick_window make_pick_window(int x1, int y1, int x2, int y2, int w, int h);
// Every unit picked, its own side's first.
std::vector<uint32_t> selected_units(const selection_state& s);
void clear_selection(selection_state& s);
// Units gone from the world leave the selection.
void forget_gone_units(selection_state& s, const world& w);
// The attackers' first button: every catapult of this copy's side.
void select_catapults(user_interface& ui);

void selection_click(user_interface& ui, int x, int y, int button);
void selection_drag(user_interface& ui, int x, int y);
void select_name(user_interface& ui, uint32_t id);
void move_click(user_interface& ui, int x, int y);
void terrain_click(user_interface& ui, int x, int y);
void draw_selection(const user_interface& ui);
