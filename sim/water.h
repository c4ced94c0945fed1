// The inland water's ripple: three phases that follow the game clock,
// moved on twenty times a game second (the look of the channels changes
// with them; the sea and the channels are drawn by the renderer).
#pragma once

extern float water_p1, water_p2, water_p3;  // ripple phases since the last move
// When the ripple next moves on (-1 at a game's start: in its first step),
// and how many times it has moved.
extern float next_water_rebuild;
extern long water_ripple;

// Once a play step: moves the ripple on when it is due.
void simulate_water();
// A new game moves the ripple in its first step.
void reset_game_water();
// Sets the ripple phases for game time t.
void set_water_phases(float t);
// The pieces of an inland water vertex, from the current ripple phases.
float water_vertex_height(float x, float z);
float water_vertex_alpha(float x, float z);
