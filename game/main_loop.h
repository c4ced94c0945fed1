// The program's spine: the command line, the game modes, the game clock, the
// event loop and the per-step simulation order, the team table and the
// position log.
#pragma once

#include <cstdio>
#include <sys/time.h>
#include <string>

// Game modes (game_state).
enum : int {
    STATE_MENU = 0,
    STATE_PLAY = 1,
    STATE_WON = 2,
    STATE_LOST = 3,
};

// Team numbers.
enum : int {
    TEAM_ATTACKERS = 0,
    TEAM_DEFENDERS = 1,
};

struct team_entry {
    float r, g, b;
    char name[32];
    int members;
};

extern int game_state;
extern float game_time;
extern timeval prev_tv;
extern volatile int gDone;
extern int do_log_position;
extern int do_replay_position;
extern int do_sound;
extern int do_god;
extern int do_window;
extern int do_fog;
extern int do_lighting;  // lighting in play (J on, N off)
extern int g_render_mode;
extern const char* default_username;  // nullptr until known
extern FILE* posi_F;
extern float next_send;
extern int nframes;
extern int tframes;
extern float old_frame_time;
extern float g_terrain_count;
extern team_entry teams[2];

// Eye record of the position log "path.dat": 32 bytes, eight little-endian floats.
struct position_record {
    float x, y, z, float_height, pitch, yaw, unused0, unused1;
};
static_assert(sizeof(position_record) == 32);

void parse_args(int argc, char** argv);
void init_teams();
void update_timer();
void simulate();
void prepare_game_mode();
// Resets everything that belongs to one game (each module's own reset, in
// one list); the first step of prepare_game_mode.
void reset_game_state();
// This module's part of it: the unit-state send timer and the frame-rate
// report's counters.
void reset_game_main_loop();
void send_network_status();
void simulate_regeneration();
void log_position();
void read_log_position();
void generate_model_lists();
// One "world: ..." line with what a game's world is made of (sums over the
// terrain, the trees and the clouds, the night, the last strike, the units
// by kind): printed when a world has been built and on request, so that two
// copies' worlds can be compared.
void print_world_census();
void run_game_event_loop();
void quit_game_event_loop();
void quit_game_event_loop_caller(int sig);

// Position log primitives, file-level so they can be exercised on any path.
bool append_position_record(const char* path, const position_record& rec);
bool read_position_record(FILE* f, position_record& rec);

// Start-up, the loop and shut-down; returns the exit status.
int main_program(int argc, char** argv);
