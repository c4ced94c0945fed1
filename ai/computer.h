// Computer players. For each side the computer plays and this copy hosts,
// a commander leads the side's units and a figure fights, prays and casts,
// both through the orders and rules a player's side has (routes, orders,
// each kind's own behaviour, the gods' grants): no unit, health, speed,
// spell or knowledge a player's side would not have. Each thinks every so
// often, as its level says, the two sides staggered.
#pragma once

// How a level plays: how often it looks at the battle, how long a plan may
// fail before it is made again, how far its arrows go wrong, how well it
// uses what the gods grant. A level never has more of anything.
struct level_traits {
    float think;        // seconds between two looks at the battle
    float replan;       // seconds an ordered unit may stand before it is ordered afresh
    float aim_error;    // degrees an arrow may go off either way
    float skill;        // 0..1: how well it uses what it has: spells aimed and timed,
                        // when its soldiers sally and when they fall back
    int orders;         // orders it may give in one look, as a player's hands allow
};
const level_traits& traits_of(int level);

// A new game (its world built): commanders and figures for the computer
// sides this copy hosts, none for the others.
void start_computer_players();
// Once a play step, after the world's step.
void step_computer_players(float dt);

// What the commanders did, for a battle's progress lines and the tests.
struct commander_report {
    int orders = 0;         // orders given
    int replans = 0;        // orders given afresh to units that had stopped short
    int gate_moves = 0;     // the gate lowered or raised
    int spells_cast = 0;
    int arrows = 0;
};
const commander_report& computer_report(int team);
