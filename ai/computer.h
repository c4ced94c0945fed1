// Computer players. For each side the computer plays and this copy hosts,
// a commander leads the side's units and a figure fights, prays and casts,
// both through the orders and rules a player's side has (routes, orders,
// each kind's own behaviour, the gods' grants): no unit, health, speed,
// spell or knowledge a player's side would not have. Each thinks every so
// often, as its level says, the two sides staggered.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "ai/battlefield.h"
#include "ai/figure.h"
#include "ai/levels.h"

struct world;

// What the commanders did, for a battle's progress lines and the tests.
struct commander_report {
    int orders = 0;         // orders given
    int replans = 0;        // orders given afresh to units that had stopped short
    int gate_moves = 0;     // the gate lowered or raised
    int spells_cast = 0;
    int arrows = 0;
};

// Where a unit stood and since when, to tell a unit that stopped short of
// its goal.
struct unit_memory {
    float x = 0, z = 0;
    float since = 0;
    int detours = 0;  // replans in a row at about the same place
    // The goal this commander last gave the unit.
    bool ordered = false;
    float goal_x = 0, goal_z = 0;
    int kind = 0;
};

// One side's commander in a battle.
struct commander {
    bool on = false;
    int team = 0;
    level_traits traits{};
    float next_think = 0;
    float next_gate_work = 0;
    float gate_full = 0;  // the gate's health when the battle began
    int orders_left = 0;  // orders it may still give in this look
    bool ships_sent = false;
    bool pushing = false;  // the attackers gathered inside the gate go on to the temple
    battlefield field;
    std::unordered_map<uint32_t, unit_memory> memory;
    commander_report report;
};

// The computer players of one battle: a commander and a figure for each
// side (idle for a side this copy does not host). They go with their
// battle.
struct computer_players {
    commander commanders[2];
    figure_state figures[2];
};

// A new battle (its world built): commanders and figures for the computer
// sides this copy hosts, none for the others.
void start_computer_players(computer_players& ai, const world& w);
// Once a play step, after the world's step.
void step_computer_players(computer_players& ai, world& w, float dt);

commander_report computer_report(const computer_players& ai, int team);
