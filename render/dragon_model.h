// Drawing the dragon and its breath.
#pragma once

struct renderer;
struct unit;
struct world;

// The dragon's display lists: body and wing, each opaque and see-through
// (the rider's own).
struct dragon_looks {
    unsigned int body_list[2] = {0, 0}, wing_list[2] = {0, 0};
};

// Compiles the body and wing display lists (once; before a dragon is drawn).
void compile_dragon_lists(renderer& r);
void draw_dragon(renderer& r, const world& w, const unit* u);
