// Whole-screen fades and the red "hurt" flash, made by rewriting the
// display's gamma ramps through a loader the program installs (the X
// window's). Without the display's ramps (a virtual X server, for one) the
// fades are skipped and the game runs on unchanged.
#pragma once

#include <cstdint>

constexpr int GAMMA_RAMP_SIZE = 256;

struct gamma_ramps {
    uint16_t red[GAMMA_RAMP_SIZE];
    uint16_t green[GAMMA_RAMP_SIZE];
    uint16_t blue[GAMMA_RAMP_SIZE];
};

extern gamma_ramps gamma_saved;   // the display's own ramps, read at start-up
extern gamma_ramps gamma_output;  // the ramps last loaded
extern bool gamma_available;      // whether the display's ramps were saved
extern float gamma_now_percent, gamma_now_red, gamma_now_green, gamma_now_blue;
extern float gamma_dest_percent, gamma_dest_red, gamma_dest_green, gamma_dest_blue;
extern float fade_time;

// How ramps reach the display (the X one is installed by init_gamma).
using gamma_loader = void (*)(const gamma_ramps& ramps);
// Saves the display's own ramps and the way to load ramps; from then on every
// way out of the program puts them back: close_gamma on the orderly
// shut-down, restore_gamma before the second SIGINT's immediate exit, and a
// handler registered here for exit().
void save_gamma_ramps(const gamma_ramps& own, gamma_loader loader);
// Loads the saved ramps again if anything else was loaded since.
void restore_gamma();
// Forgets the saved ramps and the loader (nothing is restored any more).
void forget_gamma();
void gamma_fade(float percent, uint16_t r, uint16_t g, uint16_t b);
void incremental_fade();
void gamma_fade_to(float percent, float level);
void gamma_fade_in();
void gamma_flash_red();
// The orderly shut-down: the display's own ramps back.
void close_gamma();

// Blends the saved ramps with a flat colour: percent of the saved ramp shows.
// A grey colour (r == g) blends all three channels; any other colour only red.
void blend_gamma_ramps(const gamma_ramps& saved, float percent, uint16_t r, uint16_t g, uint16_t b,
                       gamma_ramps& out);
// One step of a fade t seconds after it started: the percent and colour to
// load, or the destination once t reaches 0.25 s. Returns true when the fade
// has reached its destination.
struct fade_values {
    float percent, red, green, blue;
};
bool fade_step(float t, float duration, const fade_values& now, const fade_values& dest, fade_values& out);
