// The running program as one object: the session that outlives every
// battle, the world of the battle being played (none in the menu), the
// computer players, the renderer, the sound, the interface, the clock and
// the frame report, the position log and the timedemo. main_program makes
// one and the loop hands it to every step; a battle's world is made when
// play begins and destroyed when the program goes back to the menu.
#pragma once

#include <cstdio>
#include <memory>
#include <sys/time.h>

#include "ai/computer.h"
#include "game/timedemo.h"
#include "render/renderer.h"
#include "sim/session.h"
#include "sim/world.h"
#include "sound/sound.h"
#include "ui/user_interface.h"

struct file_closer {
    void operator()(FILE* f) const
    {
        if (f)
            fclose(f);
    }
};

// The eye path: LOG_POSITION appends the view of every play frame to
// "path.dat"; REPLAY_P_LOG (and the timedemo) puts the eye where the file
// says, frame by frame, from each game start.
struct position_log {
    bool write = false;
    bool replay = false;
    std::unique_ptr<FILE, file_closer> replay_file;
};

// The once-a-second frame-rate line of play.
struct frame_report {
    int frames = 0;        // since the last line
    int total_frames = 0;  // since the game began
    float last_line = 0.0f;
};

struct program {
    program() = default;
    program(const program&) = delete;
    program& operator=(const program&) = delete;

    session s;
    std::unique_ptr<world> w;
    computer_players ai;
    renderer r;
    sound_system snd;
    user_interface ui{s, r, snd};

    // The wall clock at the last pass.
    timeval prev_tv{};
    frame_report report;
    // When this copy next announces itself in the menu (session clock).
    float next_presence = 0.0f;
    position_log positions;
    timedemo_run demo;
};
