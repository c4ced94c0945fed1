// Flames: small particles that each live fire source emits while it burns,
// drawn as sprites that face the eye. They are the renderer's own (drawn
// with its own random numbers), stepped once a frame for every source the
// world holds and forgotten with their source.
#pragma once

#include <cstddef>
#include <unordered_map>
#include <vector>

#include "platform/random.h"

struct fire_list;
struct fire_source;
struct renderer;

struct fire_particle {
    float pos[3];     // relative to the source's drawing origin
    float vel[3];
    float ref_height; // the source's y + 7 when the particle was made
    float life;
};

constexpr int FIRE_MAX_PARTICLES = 50;

// The particles of one source, oldest first, and the tuned steps not yet
// taken.
struct flame_set {
    std::vector<fire_particle> particles;
    float steps = 0.0f;
    bool seen = false;
};
// Every source's flames by its serial, and the flames' own random numbers.
struct flame_state {
    std::unordered_map<unsigned, flame_set> sets;
    rand_stream rng;
};

// One frame of dt seconds for every live source: each tuned step (1/40 s)
// makes up to four attempts to emit, or retires the oldest particle once
// the source has gone cold; every particle moves and fades.
void step_flames(flame_state& flames, const fire_list& fires, float dt);
// The particles of a source, oldest first (none for an unknown source).
const std::vector<fire_particle>* flames_of(const flame_state& flames, const fire_source* f);
// One tuned step of one source's particles (the rule step_flames applies).
void step_fire_particles(rand_stream& rng, const fire_source& f, std::vector<fire_particle>& particles, float steps,
                         float dt);
// How many sources have flames kept.
size_t flame_source_count(const flame_state& flames);
// Every particle forgotten (a new game).
void reset_flames(flame_state& flames);

// The sprite plane of a source seen from `eye`: d points from the source to
// the eye, u and v span the plane (unit vectors, each at right angles to d).
void flame_sprite_axes(const float source_pos[3], const float eye[3], float d[3], float u[3], float v[3]);

// Draws the source's particles as flame sprites facing the eye, oldest
// (largest) first, each blended additively. The caller has translated to
// the source's drawing origin and enabled blending.
void draw_firesource(const renderer& r, const fire_source* f);
