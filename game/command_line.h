// The options every program is expected to know, beside the game's own
// words (a name, then LOG_POSITION, REPLAY_P_LOG, SOUND, GOD, WINDOW): help,
// version, and a usage message for an option the game does not know.
#pragma once

#include <cstdio>

// The version of this build ("kelvarin 0.1.0").
const char* program_version();
void print_usage(FILE* out);

// Looks for "--help" (or "-h"), "--version" and unknown options (any other
// argument beginning with "-"). Returns -1 when the game should start,
// else the exit status after printing: 0 for help and version (on standard
// output), 2 for an unknown option (the usage on standard error).
int check_program_options(int argc, char** argv);

// Takes "--computer SIDE[:LEVEL]" out of the argument vector (argc and argv
// are compacted): SIDE attackers or defenders, LEVEL easy, normal (the
// default) or hard. Returns -1 to go on (side -1 when it was not given), or
// 2 after printing what is wrong.
int take_computer_args(int& argc, char** argv, int& side, int& level);
// Takes "--island SEED" out of the argument vector: the games this copy
// starts are played on the island of SEED (a whole number below 2^32).
// Returns -1 to go on (island -1 when it was not given), or 2 after
// printing what is wrong.
int take_island_args(int& argc, char** argv, long long& island);
