// The inland water's ripple: three phases that follow the battle's clock,
// moved on twenty times a game second (the look of the channels changes
// with them; the sea and the channels are drawn by the renderer).
#pragma once

struct world;

struct water_state {
    float p1 = 0.0f, p2 = 0.0f, p3 = 0.0f;  // ripple phases since the last move
    // When the ripple next moves on (-1 at a battle's start: in its first
    // step), and how many times it has moved.
    float next_rebuild = -1.0f;
    long ripple = 0;
};

// Once a play step: moves the ripple on when it is due.
void simulate_water(world& w);
// Sets the ripple phases for game time t.
void set_water_phases(water_state& water, float t);
// The pieces of an inland water vertex, from the current ripple phases.
float water_vertex_height(const water_state& water, float x, float z);
float water_vertex_alpha(float x, float z);
