// The dragon: summoned by a player who was granted it, it flies to its
// summoner, who rides it, steers it by looking around, breathes fire with the
// mouse button, lands and takes off again, and at last dismounts; the dragon
// then flies away and vanishes. Simulated in full only on the summoning copy;
// the other copies follow its state records.
#pragma once

#include <cstdint>

#include "sim/fire.h"

struct unit;
struct world;

// The dragon's own record is dragon_data (sim/units.h); the one this copy
// summoned is its player's (local_player::dragon).

constexpr float DRAGON_FLIGHT_SPEED = 35.0f;   // units per second
constexpr float DRAGON_MOUNT_DISTANCE2 = 5.0f; // squared: mounted, or arrived
constexpr float DRAGON_CLEARANCE = 3.0f;       // lowest height above the ground
constexpr float DRAGON_BREATH_ON = 10.0f;      // fire source intensity while breathing
constexpr float DRAGON_BREATH_INTERVAL = 0.1f; // seconds between two burns
constexpr float DRAGON_BREATH_RADIUS = 20.0f;
constexpr float DRAGON_BREATH_DAMAGE = 0.3f;
constexpr float DRAGON_CALL_GUARD = 1.0f;      // seconds between two summons
constexpr float DRAGON_DISMISS_POINT = 500.0f; // flown to on x, y and z after dismounting
constexpr float DRAGON_DRAW_RADIUS = 12.0f;    // the drawn model lies within this of its centre

// Summons this copy's dragon (the dragon spell): refused with an error line
// while one is held, and at most once a second.
void call_dragon(world& w);
// Sends this copy's dragon away; the player hops off.
void dismount_dragon(world& w);
// Starts (on != 0) or stops the fire breath of this copy's dragon; -1 when
// there is none.
int tell_dragon_breath(world& w, int on);
// The rider's view and steering, each frame instead of walking while the
// player rides.
void be_on_dragon(world& w, float dt);

// Creation values of a dragon (and its fire source) in a new unit.
void init_dragon(world& w, unit* u);
// A dragon of side `team` flown from here at `target`, breathing fire on
// its way; it is gone when it reaches the target (a computer side's dragon
// spell). Announced as any dragon.
unit* send_dragon(world& w, int team, unit* target);
// The copy of a dragon announced by another copy ("UNIT").
unit* spawn_dragon(world& w, uint32_t id, int team, int code);
// Whether u is a dragon summoned on this copy (flown here, dismissed or not).
bool dragon_is_flown_here(const unit* u);

// One step of a dragon on any copy; a landed dragon ridden here takes off
// on the walking keys of the step's controls.
void simulate_dragon(world& w, unit* u, float dt);
// The same step with the take-off keys (space, w, a, s, d) given.
void step_dragon(world& w, unit* u, float dt, bool takeoff_key);
// A random destination for a ridden dragon, into its order target.
void pick_dragon_destination(world& w, unit* u);
// The fire source ahead of the dragon's mouth, and the burn while it breathes.
void simulate_dragon_breath(world& w, unit* u, float dt);

// Unit-state record (a dragon summoned here only): x, y, z, heading, vx,
// vy, vz, pitch, breath intensity.
void conditionally_update_dragon(world& w, unit* u);
// Stores such a record; another count, a value that is not finite or out of
// range, or a record for this copy's own dragon changes nothing (-1).
int update_dragon(world& w, unit* u, int count, const float* values);

