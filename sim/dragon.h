// The dragon: summoned by a player who was granted it, it flies to its
// summoner, who rides it, steers it by looking around, breathes fire with the
// mouse button, lands and takes off again, and at last dismounts; the dragon
// then flies away and vanishes. Simulated in full only on the summoning copy;
// the other copies follow its state records.
#pragma once

#include <cstdint>
#include <memory>

#include "sim/fire.h"

struct unit;

struct dragon_data {
    int controlled = 0;       // 1 on the copy that summoned it
    std::unique_ptr<fire_source> breath;  // intensity 10 while breathing fire, else 0
};

// The dragon this copy summoned and has not dismissed, or none.
extern unit* my_dragon;
// 1 while the local player sits on my_dragon.
extern int riding_dragon;
// Serial of the next dragon id (0x50000 + serial, no team bit).
extern int dragon_id;

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
void call_dragon();
// Sends this copy's dragon away; the player hops off.
void dismount_dragon();
// Starts (on != 0) or stops the fire breath of this copy's dragon; -1 when
// there is none.
int tell_dragon_breath(int on);
// The rider's view and steering, each frame instead of walking while
// riding_dragon is set.
void be_on_dragon(float dt);

// Creation values of a dragon (and its fire source) in a new unit.
void init_dragon(unit* u);
// A dragon of side `team` flown from here at `target`, breathing fire on
// its way; it is gone when it reaches the target (a computer side's dragon
// spell). Announced as any dragon.
unit* send_dragon(int team, unit* target);
// The copy of a dragon announced by another copy ("UNIT").
unit* spawn_dragon(uint32_t id, int team);
// Whether u is a dragon summoned on this copy (flown here, dismissed or not).
bool dragon_is_flown_here(const unit* u);
// A new game: no dragon held or ridden, counters and the summoning guard
// from the start.
void reset_game_dragons();

// One step of a dragon on any copy; a landed dragon ridden here takes off
// on the walking keys of the step's controls.
void simulate_dragon(unit* u, float dt);
// The same step with the take-off keys (space, w, a, s, d) given.
void step_dragon(unit* u, float dt, bool takeoff_key);
// A random destination for a ridden dragon, into its order target.
void pick_dragon_destination(unit* u);
// The fire source ahead of the dragon's mouth, and the burn while it breathes.
void simulate_dragon_breath(unit* u, float dt);

// Unit-state record (a dragon summoned here only): x, y, z, heading, vx,
// vy, vz, pitch, breath intensity.
void conditionally_update_dragon(unit* u);
// Stores such a record; another count, a value that is not finite or out of
// range, or a record for this copy's own dragon changes nothing (-1).
int update_dragon(unit* u, int count, const float* values);

