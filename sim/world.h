// A battle's world: everything one battle owns, from its clock and its
// random numbers to the island, the structures, the units, the projectiles,
// the sky and this copy's player in it. A new game is a new world, built
// from its seed, stepped, and destroyed with everything it holds when the
// battle is over. What outlives a battle is the session's (sim/session.h),
// which the world reaches through `session`.
//
// The simulation and the computer players take the world they act on as a
// parameter; the presentation (render, ui, sound) reads a const world and
// changes nothing in it. Every copy that builds the same seed and takes the
// same messages plays the same battle.
#pragma once

#include <string>

#include "platform/random.h"
#include "sim/buildings.h"
#include "sim/fire.h"
#include "sim/light.h"
#include "sim/lightning.h"
#include "sim/messages.h"
#include "sim/model_tree.h"
#include "sim/player.h"
#include "sim/projectile.h"
#include "sim/route.h"
#include "sim/sky.h"
#include "sim/terrain.h"
#include "sim/trees.h"
#include "sim/units.h"
#include "sim/walls.h"
#include "sim/water.h"

struct session;

struct world {
    // A world for the session's game on `seed`: the generator is seeded
    // and the game's channel drawn from it, as every copy does; nothing is
    // built yet (build_world).
    world(::session& s, unsigned seed);
    // Frees every unit and projectile and forgets the participants' figures.
    ~world();
    world(const world&) = delete;
    world& operator=(const world&) = delete;

    ::session& session;
    // The battle's draws: every copy draws the same numbers from the same
    // seed, so the island, the camp and every decision made from them agree.
    rand_stream rng;
    int rand() { return stream_rand(rng); }
    // The game's channel (0..9999), the first draw after the seed.
    int channel = 0;
    // Seconds since the battle began.
    float time = 0.0f;
    // Alone with nobody on the other side, a game never ends for want of an
    // enemy; the computer is an enemy.
    int alone = 0;

    terrain_state terrain;
    structure_tree structures;
    walls_state walls;
    buildings_state buildings;
    trees_state trees;
    sky_state sky;
    water_state water;
    light_state light;
    lightning_state lightning;
    // The fire sources outlive the units and projectiles that hold them.
    fire_list fires;
    unit_registry units;
    projectile_list projectiles;
    route_book routes;
    // The archers' aiming table, worked out when the world is built.
    aim_table aim;
    // This copy's own figure while it stands, and this copy's player.
    unit* me = nullptr;
    local_player player;
    // The computer sides' figures while they stand.
    unit* computer_figures[2] = {nullptr, nullptr};
    state_batch batch;
};

// Builds the world of the game just seeded, in a fixed order: the
// participants' figures, terrain, walls, buildings, trees, sky, rams,
// catapults, soldiers, ships, the computer's figures, the archers' table,
// the player's own state. Prints the census.
void build_world(world& w);

// One play step of dt seconds with this copy's player's controls, in the
// order every copy runs it: the dead whose creator left, the units, the
// gates, the sky, the projectiles, the gods' strikes, the player, prayer,
// the unit-state send, the archers' return, the light and the water. The
// caller has moved the clock on and dispatched what the network brought.
void step_world(world& w, float dt, const player_controls& controls);

// Whether this copy's game has just ended (END_WON, END_LOST), after its
// last state went out; END_GOES_ON otherwise. The caller switches phase.
int end_of_step(world& w);

// Sends the unit-state batch when 0.05 s have passed since the last;
// reset_send_timer makes the next call send at once.
void send_network_status(world& w);
void reset_send_timer(world& w);

// One "world: ..." line with what a game's world is made of (sums over the
// terrain, the trees and the clouds, the night, the last strike, the units
// by kind): printed when a world has been built and on request, so that two
// copies' worlds can be compared.
void print_world_census(const world& w);
std::string world_census(const world& w);
