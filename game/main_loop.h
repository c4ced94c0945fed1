// The program's spine: the command line, the phases of the game and every
// switch between them (the menu, play, the end screens), the clocks, the
// event loop and the order of a step of play, and the position log. The
// state it works on is the program object (game/program.h).
#pragma once

#include <csignal>
#include <cstdio>

#include "game/program.h"
#include "sim/game.h"

// Set by the first SIGINT (or a quit from the menu): the loop ends.
extern volatile sig_atomic_t quit_requested;

// Eye record of the position log "path.dat": 32 bytes, eight little-endian floats.
struct position_record {
    float x, y, z, float_height, pitch, yaw, unused0, unused1;
};
static_assert(sizeof(position_record) == 32);

// The game's words after the name: LOG_POSITION, REPLAY_P_LOG, SOUND, GOD,
// WINDOW; the first argument is the player's name.
void parse_args(program& p, int argc, char** argv);
// The settings of the file (platform/settings.h) for this run, where the
// command line left the choice open: its words only ever turn these on.
void apply_settings(program& p);
// The clocks move on by the wall time since the last pass: the session's
// always, the battle's while it is played. Returns the step of the phase's
// clock (the timedemo's fixed step while it runs).
float update_timer(program& p);
// The menu's step: its buttons and windows, this copy's presence five times
// a second, the network, and the participants gone silent.
void simulate_lobby(program& p, float dt);
// One pass's simulation: the clock moves on, then the phase's step.
void simulate(program& p);
// Enters play on the start's seed (the computer playing the side it says,
// if any), as the copy that started the game and every copy that heard its
// "STRT" does: black screen, the game's world and channel, the drawing's
// lists and textures made at once (none is made during play).
struct start_info;
void begin_play(program& p, const start_info& start);
// Back to the menu in the lobby's channel: the battle's world goes.
void back_to_menu(program& p);
// The requests of the interface and the network, carried out between two
// frames.
void carry_out_requests(program& p);
// What the player asked of the world since the last pass, applied to it.
void apply_player_actions(program& p);
// The presentation's reset for a new game: frame-rate report, renderer,
// interface, sound.
void reset_presentation(program& p);
// Hands the simulation's events of the last step to the sound, the view,
// the banner and the chat, then clears them.
void deliver_events(program& p);
void log_position(const program& p);
void read_log_position(program& p);
void run_game_event_loop(program& p);
// The SIGINT handler's work, flags only (nothing that is not safe in a
// signal handler: no Xlib, no stdio). The first asks the loop to end, and
// the orderly shut-down puts the user's gamma ramps back. A second, before
// that is done, asks to leave at once: the loop does so at its next check
// (leave_if_interrupted_twice), the ramps put back first; should it reach
// no check within LEAVE_GRACE_SECONDS (stuck in the driver, say), SIGALRM
// ends the program with the same status, 255, the ramps as they are.
void quit_game_event_loop();
void quit_game_event_loop_caller(int sig);
void leave_if_interrupted_twice();
constexpr unsigned LEAVE_GRACE_SECONDS = 2;

// Position log primitives, file-level so they can be exercised on any path.
bool append_position_record(const char* path, const position_record& rec);
bool read_position_record(FILE* f, position_record& rec);

// Start-up, the loop and shut-down; returns the exit status.
int main_program(int argc, char** argv);
