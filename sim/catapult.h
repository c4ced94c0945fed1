// Catapults: wheeled carts with a throwing arm that drive to their
// throwing range and throw balls, some of them burning.
#pragma once

#include "sim/game.h"

#include <cstdint>

struct message_context;
struct projectile;
struct unit;
struct world;

// The catapult's own record is catapult_data (sim/units.h).

constexpr float BALL_SPEED = 35.0f;
constexpr float BALL_ELEVATION = 60.0f;  // degrees
constexpr float BALL_GRAVITY = 5.5f;
constexpr float BALL_DAMAGE = 4.0f;
constexpr float BALL_RADIUS = 2.0f;
constexpr float BALL_LIFETIME = 20.0f;
constexpr float CATAPULT_RELOAD = 4.0f;
constexpr float CATAPULT_DRIVE_SPEED = 10.0f;
// Heading error below which a catapult counts as aimed, degrees.
constexpr float CATAPULT_AIM_TOLERANCE = 3.5f;
// The cart and its wheels stay on the map square.
constexpr float CATAPULT_MAP_LIMIT = 250.0f;

// Announces ("UNIT") and adds a new catapult of side `team` (this copy's
// own by default) at (x, z).
unit* add_catapult(world& w, float x, float z, int team = -1);
// The copy of a catapult announced by another copy.
unit* spawn_catapult(world& w, uint32_t id, int team, int code);
// The attackers' leader's ten catapults.
void init_catapults(world& w);

void simulate_catapult(world& w, unit* u, float dt);
// Settles a cart on the ground under its two axles (tilting it along the
// slope), or lets it fall; shared with the battering rams.
void settle_cart(world& w, unit* u, float dt);
void move_catapult(world& w, unit* u, float dt = TUNED_STEP);
void attack_catapult(world& w, unit* u, float dt = TUNED_STEP);
// Where a ball thrown from the catapult's height lands on ground of height
// `target_ground`: the throwing range (0 when the ball cannot get so high).
float predicted_catapult_range(float catapult_y, float target_ground);
// A catapult ball from `pos` with velocity `vel`, sparing `team`; with
// `flame_at` it burns, trailing flames whose particles start with life
// `flame_life` from a fire source first placed there. Returns the ball,
// already in the projectile list.
projectile* throw_ball(world& w, const float pos[3], const float vel[3], int team, const float* flame_at,
                       float flame_life);
// Throws one ball along the current heading.
void catapult_launch(world& w, unit* u);
// Re-creates a throw announced with "UBAL"; -1 for an unknown id or a
// unit that is no catapult.
int unit_launch_ball(world& w, uint32_t id, float heading, float pitch);
// "UBAL": a catapult of the sender's side throws.
void receive_ball(message_context& c, const uint32_t p[4]);

// Unit-state record: x, y, z, heading, arm angle, pitch, vx, vy, vz.
void conditionally_update_catapult(world& w, unit* u);
int update_catapult(world& w, unit* u, int count, const float* values);

// Makes `u` a catapult standing at (x, z).
void init_catapult(world& w, unit* u, float x, float z);
