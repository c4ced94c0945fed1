// Drawing the ships.
#pragma once

struct renderer;
struct unit;
struct world;

// The ship's display lists: its sails, and its hull with the deck.
struct ship_looks {
    unsigned int sail_list = 0, hull_list = 0;
};

// Compiles the sail and hull display lists (once; before the ships are
// drawn).
void compile_ship_lists(renderer& r);
void draw_ship(const renderer& r, const world& w, const unit* u);
// Face counts of the two model lists.
int ship_sail_face_count();
int ship_hull_face_count();
