// Flames: small particles that each live fire source emits while it burns,
// drawn as sprites that face the eye. They are the renderer's own (drawn
// with its own random numbers), stepped once a frame for every source the
// world holds and forgotten with their source.
#pragma once

#include <cstddef>
#include <vector>

struct fire_source;

struct fire_particle {
    float pos[3];     // relative to the source's drawing origin
    float vel[3];
    float ref_height; // the source's y + 7 when the particle was made
    float life;
};

constexpr int FIRE_MAX_PARTICLES = 50;

// One frame of dt seconds for every live source: each tuned step (1/40 s)
// makes up to four attempts to emit, or retires the oldest particle once
// the source has gone cold; every particle moves and fades.
void step_flames(float dt);
// The particles of a source, oldest first (empty for an unknown source).
const std::vector<fire_particle>& flames_of(const fire_source* f);
// One tuned step of one source's particles (the rule step_flames applies).
void step_fire_particles(const fire_source& f, std::vector<fire_particle>& particles, float steps, float dt);
// How many sources have flames kept.
size_t flame_source_count();
// Every particle forgotten (a new game).
void reset_flames();

// The sprite plane of a source seen from `eye`: d points from the source to
// the eye, u and v span the plane (unit vectors, each at right angles to d).
void flame_sprite_axes(const float source_pos[3], const float eye[3], float d[3], float u[3], float v[3]);

// Draws the source's particles as flame sprites facing the eye, oldest
// (largest) first, each blended additively. The caller has translated to
// the source's drawing origin and enabled blending.
void draw_firesource(const fire_source* f);
