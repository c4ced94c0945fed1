// The lights of a frame of play.
#pragma once

struct world;

// The sun by the night's darkness (sim/light.h).
void setup_sunlight(const world& w);
// The red light circling the island once every 2 pi seconds.
void setup_flamelight(const world& w);
