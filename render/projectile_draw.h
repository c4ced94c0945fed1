// Drawing the projectiles in flight.
#pragma once

struct renderer;
struct world;

// The ball's and the arrow's display lists.
struct projectile_looks {
    unsigned int ball_list = 0, arrow_list = 0;
};

// Compiles the ball's and the arrow's display lists (once; before anything
// flies).
void compile_projectile_lists(renderer& r);
void draw_projectiles(renderer& r, const world& w);
