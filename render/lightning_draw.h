// Drawing the lightning bolt of the last strike (sim/lightning.h).
#pragma once

#include "platform/random.h"

struct renderer;
struct world;

// The bolt's look: it bulges sideways toward `twist_angle` (radians), which
// changes four times a second, and takes its shapes from random numbers of
// its own.
struct bolt_look {
    float twist_angle = 0.0f;
    float next_twist = 0.0f;
    rand_stream rng;
};

// Once per frame of play, among the overlays: the bolt while it may show.
void draw_lightning(renderer& r, const world& w);
// One bolt from 150 above the terrain at (x, z) down toward it.
void do_lightning(renderer& r, const world& w, float x, float z);
// A new game: the bolt's twist chosen afresh.
void reset_lightning_draw(bolt_look& b);
