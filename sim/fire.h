// Fire sources: small particle emitters that trail flames behind burning
// catapult balls and form the dragon's breath. A source is owned by the
// thing that burns and freed with it: the record, its emission-and-motion
// step, and the flames drawn as sprites that face the eye.
#pragma once

#include <vector>

struct fire_particle {
    float pos[3];     // relative to the source's drawing origin
    float vel[3];
    float ref_height; // the source's y + 7 when the particle was made
    float life;
};

struct fire_source {
    float pos[3];          // world position (turns the flames toward the eye)
    float emit_vel[3];     // base velocity of new particles
    float intensity;       // emits only while above 0.0001
    float vertical_accel;  // added to each particle's vy once per step
    float initial_life;
    float expiry;          // game_time; 0 = never
    std::vector<fire_particle> particles;  // oldest first
};

constexpr int FIRE_MAX_PARTICLES = 50;

// One step: emit (up to four attempts) or retire the oldest particle, then
// move every particle. Returns 1 once the source has expired.
int simulate_firesource(fire_source* f, float dt);

// The sprite plane of a source seen from `eye`: d points from the source to
// the eye, u and v span the plane (unit vectors, each at right angles to d).
void flame_sprite_axes(const float source_pos[3], const float eye[3], float d[3], float u[3], float v[3]);

// Draws the particles as flame sprites facing the eye, oldest (largest)
// first, each blended additively. The caller has translated to the source's
// drawing origin and enabled blending.
void draw_firesource(const fire_source* f);
