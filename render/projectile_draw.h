// Drawing the projectiles in flight.
#pragma once

// Compiles the ball's and the arrow's display lists (once; before anything
// flies).
void compile_projectile_lists();
void draw_projectiles();
