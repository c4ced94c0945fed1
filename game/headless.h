// The headless loop: the simulation alone, with no window, no GL, no sound
// and no network, stepped at the timedemo's fixed 0.025 s as fast as the
// machine allows. It builds exactly the world a copy with a window builds
// from the same seed on the same side.
//
//   kelvarin --headless SEED [--side attackers|defenders] [--seconds N]
//
// prints the world's census when it is built and after N game seconds
// (default 10), and the number of steps and the wall time taken.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ai/computer.h"
#include "sim/session.h"
#include "sim/world.h"

// A game with no window: its session, the world of its battle and the
// computer players that go with that battle.
struct headless_game {
    session s;
    std::unique_ptr<world> w;
    computer_players ai;
};

struct headless_options {
    bool on = false;
    unsigned seed = 0;
    int side = 0;          // TEAM_ATTACKERS or TEAM_DEFENDERS
    float seconds = 10.0f;
};

// A whole battle between two computer sides with no window, no sound and no
// network traffic, at the headless loop's fixed step as fast as the machine
// allows:
//
//   kelvarin --battle SEED [--attackers LEVEL] [--defenders LEVEL] [--minutes N] [--json]
//
// prints a progress line to standard error every game minute and one
// closing line (or one JSON object) on standard output:
//
//   battle: seed SEED attackers LEVEL defenders LEVEL winner attackers|defenders|none after S s;
//   attackers lost A of N, defenders lost D of M; W s wall
//
// The same seed and levels give the same line but for the wall time.
struct battle_options {
    bool on = false;
    unsigned seed = 0;
    int attackers = 2, defenders = 2;  // levels (LEVEL_NORMAL)
    float minutes = 30.0f;
    bool json = false;
};

struct battle_result {
    int winner = -1;  // TEAM_ATTACKERS, TEAM_DEFENDERS, or -1 when time ran out
    float seconds = 0.0f;  // game seconds played
    int made[2] = {0, 0};  // units each side had in the battle (figures, soldiers, engines)
    int lost[2] = {0, 0};
    double wall = 0.0;  // seconds it took
};

int take_battle_args(int& argc, char** argv, battle_options& out);
bool parse_battle_args(std::vector<std::string>& args, battle_options& out, std::string& error);
// The battle's world built for its seed, both sides the computer's, and
// one step of it: the winner once the battle is decided (the attackers
// holding the temple, or a side's figure fallen), else -1.
void battle_build(headless_game& g, const battle_options& o);
int battle_step(headless_game& g);
// Plays the battle; progress lines go to `progress` (none when null).
battle_result run_battle(const battle_options& o, FILE* progress);
// The closing line, or the JSON object, of a battle (no newline).
std::string battle_line(const battle_options& o, const battle_result& r, bool json);
int battle_main(const battle_options& o);

// Takes the headless loop's options out of the argument vector (argc and
// argv are compacted). Returns -1 to go on, or 2 after printing what is
// wrong.
int take_headless_args(int& argc, char** argv, headless_options& out);
// The same on a copy, for tests.
bool parse_headless_args(std::vector<std::string>& args, headless_options& out, std::string& error);

// Builds the world of `seed` for a lone copy playing `side`, alone on its
// side and so its leader.
void headless_build(headless_game& g, unsigned seed, int side);
// Steps the world `seconds` game seconds at the fixed step; returns the
// number of steps taken (fewer when the game ended first).
long headless_run(headless_game& g, float seconds);
// A siege on the island of `seed`: the attackers' leader is a lone copy,
// and every one of its rams is ordered once to attack the city's first
// gate at the gate's middle, as a member's order reaches the leader. Played
// until the gate breaks or `seconds` game seconds have passed.
struct siege_outcome {
    int rams = 0;              // rams ordered
    int refused = 0;           // orders the leader refused (no dry way)
    int pressed = 0;           // rams that were pressed against the gate
    bool broken = false;
    float broken_after = 0.0f;  // game seconds from the order to the break
    // The longest time an ordered ram stood still (within SIEGE_STILL_REACH
    // of one place) without being pressed against the gate, and where.
    float longest_still = 0.0f;
    float still_x = 0.0f, still_z = 0.0f;
};
constexpr float SIEGE_STILL_REACH = 1.0f;
siege_outcome headless_siege(unsigned seed, float seconds);
// The whole run for the options; the exit status.
int headless_main(const headless_options& o);
