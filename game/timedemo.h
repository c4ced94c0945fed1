// The timedemo: a measuring run that starts play by itself on a given seed
// (no lobby), replays the eye path of "path.dat" with a fixed time step per
// frame, so that every run draws exactly the same frames, writes pictures
// of chosen frames, prints one closing line and ends the program.
//
//   kelvarin [NAME] [WINDOW] --timedemo SEED [--frames N] [--shot FRAME]...
//
// Like every run of the game here it is started inside a private network
// namespace (bench/timedemo.py makes one and an X server).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/commands.h"

// Game seconds per timedemo frame.
constexpr float TIMEDEMO_STEP = 0.025f;

struct timedemo_options {
    bool on = false;
    unsigned seed = 0;
    int frames = -1;         // -1: as many as the path holds
    std::vector<int> shots;  // frame numbers (1 = the first frame of play)
};

// A timedemo under way: what was asked, whether its play is running (the
// battle's clock then moves by TIMEDEMO_STEP per frame and nothing else),
// the frames wanted and done, and the time it has taken.
struct timedemo_run {
    timedemo_options options;
    bool running = false;
    bool failed = false;
    int frames_wanted = 0;
    int frames_done = 0;
    double start = 0.0;
    double paused = 0.0;  // seconds spent writing pictures, not counted
};

// Takes the timedemo's options out of the argument vector (argc and argv
// are compacted, so the game's own words are read as without them).
// Returns -1 to go on, or 2 after printing what is wrong.
int take_timedemo_args(int& argc, char** argv, timedemo_options& out);
// The same on a copy, for tests: the options read, or an error message.
bool parse_timedemo_args(std::vector<std::string>& args, timedemo_options& out, std::string& error);

// Checks that path.dat holds at least one record to replay; 0 to go on,
// else the exit status after printing why not.
int timedemo_check(timedemo_run& d);
// The start the timedemo plays, as a received start would be: its seed.
// The run counts its frames from now.
start_info timedemo_start(timedemo_run& d);
// After a frame of `phase` is drawn in a width x height window, before it
// is shown: its picture if it was asked for.
void timedemo_frame_drawn(timedemo_run& d, int phase, int width, int height);
// After the frame is shown: true once the last frame is done (the closing
// line is printed then).
bool timedemo_finished(timedemo_run& d, int phase, int width, int height);

// 0, or 1 when play ended before the last frame.
int timedemo_exit_status(const timedemo_run& d);

// Whole 32-byte records in a position log, -1 when it cannot be read.
long count_position_records(const char* path);
// Writes bottom-up RGB rows as a binary PPM picture, top row first.
bool write_ppm(const char* path, int width, int height, const unsigned char* rgb_bottom_up);
