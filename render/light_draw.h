// The lights of a frame of play.
#pragma once

// The sun by the night's darkness (sim/light.h).
void setup_sunlight();
// The red light circling the island once every 2 pi seconds.
void setup_flamelight();
