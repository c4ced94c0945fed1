// Drawing the lightning bolt of the last strike (sim/lightning.h).
#pragma once

// Once per frame of play, among the overlays: the bolt while it may show.
void draw_lightning();
// One bolt from 150 above the terrain at (x, z) down toward it.
void do_lightning(float x, float z);
// A new game: the bolt's twist chosen afresh.
void reset_lightning_draw();
