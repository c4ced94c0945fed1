// Ships: the attackers' three vessels off the northern shore. A ship turns
// in place toward its ordered point, sails there and stops before it runs
// aground. Ships exist only on the attackers' leader's copy and send no
// state records.
#pragma once

#include "sim/game.h"

struct unit;
struct world;

constexpr float SHIP_SAIL_SPEED = 35.0f;
constexpr float SHIP_TURN_STEP = 0.3f;     // degrees a tuned step
constexpr float SHIP_SHOAL_HEIGHT = -9.0f; // ground above this ahead stops a ship
constexpr float SHIP_LOOKAHEAD = 10.0f;
constexpr float SHIP_DRAW_HEIGHT = 30.0f;

unit* add_ship(world& w, float x, float y, float z);
// The attackers' leader's three ships.
void init_ships(world& w);
void simulate_ship(world& w, unit* u, float dt = TUNED_STEP);
void move_ship(unit* u, float dt = TUNED_STEP);
