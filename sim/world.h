// A game's world as a whole: set up once, built from a seed, stepped, and
// counted. The program (with a window or without) drives it through these;
// every copy that builds the same seed and takes the same messages plays
// the same battle.
#pragma once

#include <string>

#include "sim/player.h"

// Start-up, once: the teams, and every command's receiver.
void init_simulation();

// Resets everything of the simulation that belongs to one game (each
// module's own reset, in one list). build_world calls it first.
void reset_world_state();

// The start of a game on `seed` (whichever copy chose it): the generator
// is seeded and the game's channel drawn from it (returned, 0..9999), as
// every copy does, so that the island that follows is everyone's. The
// computer's sides (sim/sides.h) are set before.
int seed_game(unsigned seed);
// Builds the world of the game just seeded, in a fixed order: body types,
// terrain, walls, buildings, trees, sky, rams, catapults, soldiers, ships,
// the archers' table, the player's own state. The game clock starts at 0
// before anything is made. Prints the census.
void build_world();

// One play step of dt seconds with this copy's player's controls, in the
// order every copy runs it: the dead whose creator left, the units, the
// gates, the sky, the projectiles, the gods' strikes, the player, prayer,
// the unit-state send, the archers' return, the light and the water. The
// caller has moved game_time on and dispatched what the network brought.
void step_world(float dt, const player_controls& controls);

// Whether this copy's game has just ended (END_WON, END_LOST), after its
// last state went out; END_GOES_ON otherwise. The caller switches phase.
int end_of_step();

// Sends the unit-state batch when 0.05 s have passed since the last;
// reset_send_timer makes the next call send at once.
void send_network_status();
void reset_send_timer();

// One "world: ..." line with what a game's world is made of (sums over the
// terrain, the trees and the clouds, the night, the last strike, the units
// by kind): printed when a world has been built and on request, so that two
// copies' worlds can be compared.
void print_world_census();
std::string world_census();
