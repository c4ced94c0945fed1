// The program's spine: the command line, the phases of the game and every
// switch between them (the menu, play, the end screens), the game clock,
// the event loop and the order of a step of play, and the position log.
#pragma once

#include <csignal>
#include <cstdio>
#include <sys/time.h>

#include "sim/game.h"

extern timeval prev_tv;
extern volatile sig_atomic_t quit_requested;
extern int do_log_position;
extern int do_replay_position;
extern FILE* position_log_file;
extern int nframes;
extern int tframes;
extern float old_frame_time;

// Eye record of the position log "path.dat": 32 bytes, eight little-endian floats.
struct position_record {
    float x, y, z, float_height, pitch, yaw, unused0, unused1;
};
static_assert(sizeof(position_record) == 32);

void parse_args(int argc, char** argv);
// The settings of the file (platform/settings.h) for this run, where the
// command line left the choice open: its words only ever turn these on.
void apply_settings();
void update_timer();
// The menu's step: its buttons and windows, this copy's presence five times
// a second, the network, and the participants gone silent.
void simulate_lobby(float dt);
// One pass's simulation: the clock moves on, then the phase's step.
void simulate();
// Resets everything that belongs to one game (the simulation's and each
// presentation module's own reset) and builds the world of the seeded game:
// the drawing's lists and textures are made at once, so that none is made
// during play.
void prepare_game_mode();
// Enters play on the start's seed (the computer playing the side it says,
// if any), as the copy that started the game and every copy that heard its
// "STRT" does: black screen, the game's channel, the world.
struct start_info;
void begin_play(const start_info& start);
// Back to the menu in the lobby's channel, with an empty unit registry.
void back_to_menu();
// The requests of the interface and the network, carried out between two
// frames.
void carry_out_requests();
// The presentation's reset for a new game: frame-rate report, view, command
// bar, selection, menu picture, banner, drawing's lists, sound.
void reset_presentation();
// Hands the simulation's events of the last step to the sound, the view,
// the banner and the chat, then clears them.
void deliver_events();
void log_position();
void read_log_position();
void run_game_event_loop();
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
