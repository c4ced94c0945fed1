// Selection: while the command bar is shown, a left drag draws a box and
// picks every unit whose picking box shows inside it (sim/pick.h); a left
// press on the ground carries out a pending move or attack order; the
// middle button orders the selection straight to a point (and edits the
// ground in god mode).
#pragma once

#include <cstdint>

extern int mouse_down;       // button last pressed, 0 after a release
extern int in_select;        // 1 while a left drag is in progress
extern int x_i, y_i;         // window position where the drag began
extern int drag_x1, drag_y1, drag_x2, drag_y2;  // current box, x1 <= x2, y1 <= y2
extern int extend_selection; // Alt held at the last box update

// A click without a drag picks within a square this wide.
constexpr int MIN_PICK_SIZE = 6;

struct pick_window {
    int left, right, bottom, top;
};
// The picking window for the box (x1, y1)-(x2, y2) in a w x h window,
// relative to the window centre, widened to at least 6 x 6 pixels.
pick_window make_pick_window(int x1, int y1, int x2, int y2, int w, int h);
// A new game: no drag or pick under way, no spell waiting for its target.
void reset_game_selection();

void selection_click(int x, int y, int button);
void selection_drag(int x, int y);
void select_name(uint32_t id);
void move_click(int x, int y);
void terrain_click(int x, int y);
void draw_selection();
