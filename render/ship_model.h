// Drawing the ships.
#pragma once

struct unit;

// Compiles the sail and hull display lists (once; before the ships are
// drawn).
void compile_ship_lists();
void draw_ship(const unit* u);
// Face counts of the two model lists.
int ship_sail_face_count();
int ship_hull_face_count();
