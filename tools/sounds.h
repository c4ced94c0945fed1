// Generators of the game's sound clips and music; mono at kRate, values in [-1, 1].
#pragma once

#include "synth.h"

Signal make_thunder();
Signal make_splash();
Signal make_seaside();     // seamless loop
Signal make_waterside();   // seamless loop
Signal make_fire_start();
Signal make_fire_loop();   // seamless loop
Signal make_dragon_roar(int variant);  // variant 0..7

// Music tracks: at least `min_seconds` long, ending in silence.
Signal make_music(int track, double min_seconds);
