#include "game/timedemo.h"

#include <GL/gl.h>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/stat.h>

#include "game/command_line.h"
#include "game/main_loop.h"
#include "platform/paths.h"
#include "sim/commands.h"
#include "platform/random.h"
#include "render/camera.h"

namespace {

timedemo_options s_options;
bool s_running = false;
bool s_failed = false;
int s_frames_wanted = 0;
int s_frames_done = 0;
double s_start = 0.0;
double s_paused = 0.0;  // seconds spent writing pictures, not counted

double now_seconds()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

// A whole decimal number in [lo, hi].
bool read_number(const std::string& text, long long lo, long long hi, long long& out)
{
    if (text.empty() || text.size() > 12)
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    const long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (v < lo || v > hi)
        return false;
    out = v;
    return true;
}

constexpr long long MAX_FRAMES = 10000000;

} // namespace

bool parse_timedemo_args(std::vector<std::string>& args, timedemo_options& out, std::string& error)
{
    timedemo_options o;
    bool asked_frames_or_shots = false;
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a != "--timedemo" && a != "--frames" && a != "--shot") {
            rest.push_back(a);
            continue;
        }
        if (i + 1 >= args.size()) {
            error = a + " needs a number";
            return false;
        }
        const std::string& value = args[++i];
        long long v = 0;
        if (a == "--timedemo") {
            if (!read_number(value, 0, UINT_MAX, v)) {
                error = "--timedemo needs a seed from 0 to 4294967295, not \"" + value + "\"";
                return false;
            }
            o.on = true;
            o.seed = static_cast<unsigned>(v);
        } else {
            if (!read_number(value, 1, MAX_FRAMES, v)) {
                error = a + " needs a frame count from 1 to 10000000, not \"" + value + "\"";
                return false;
            }
            asked_frames_or_shots = true;
            if (a == "--frames")
                o.frames = static_cast<int>(v);
            else
                o.shots.push_back(static_cast<int>(v));
        }
    }
    if (asked_frames_or_shots && !o.on) {
        error = "--frames and --shot belong to --timedemo SEED";
        return false;
    }
    args = std::move(rest);
    out = o;
    return true;
}

int take_timedemo_args(int& argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    if (!parse_timedemo_args(args, s_options, error)) {
        fprintf(stderr, "kelvarin: %s\n", error.c_str());
        print_usage(stderr);
        return 2;
    }
    // The remaining words, in their order, are the game's own.
    static std::vector<std::string> rest;
    rest = std::move(args);
    argc = 1 + static_cast<int>(rest.size());
    for (size_t i = 0; i < rest.size(); ++i)
        argv[i + 1] = rest[i].data();
    return -1;
}

bool timedemo_requested()
{
    return s_options.on;
}

unsigned timedemo_seed()
{
    return s_options.seed;
}

bool timedemo_running()
{
    return s_running;
}

long count_position_records(const char* path)
{
    struct stat st;
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return static_cast<long>(st.st_size / static_cast<off_t>(sizeof(position_record)));
}

int timedemo_check()
{
    // The file the replay reads (main_loop's REPLAY_P_LOG): the user's one.
    const long records = count_position_records(user_file("path.dat").c_str());
    if (records <= 0) {
        fprintf(stderr, "timedemo: path.dat holds no eye record to replay\n");
        return 2;
    }
    s_frames_wanted = s_options.frames > 0 ? static_cast<int>(std::min<long>(s_options.frames, records))
                                           : static_cast<int>(std::min<long>(records, MAX_FRAMES));
    if (s_options.frames > records)
        printf("timedemo: path.dat holds %ld records: %ld frames instead of %d\n", records, records,
               s_options.frames);
    return 0;
}

void timedemo_start()
{
    do_replay_position = 1;
    printf("timedemo: seed %u, %d frames of %g s\n", s_options.seed, s_frames_wanted,
           static_cast<double>(TIMEDEMO_STEP));
    // As a received start: the shared seed, then the game's channel and the
    // world, drawn from it.
    start_info start;
    start.seed = s_options.seed;
    begin_play(start);
    s_frames_done = 0;
    s_paused = 0.0;
    s_running = true;
    s_start = now_seconds();
}

bool write_ppm(const char* path, int width, int height, const unsigned char* rgb_bottom_up)
{
    FILE* f = fopen(path, "wb");
    if (!f)
        return false;
    bool ok = fprintf(f, "P6\n%d %d\n255\n", width, height) > 0;
    const size_t row = static_cast<size_t>(width) * 3;
    for (int y = height - 1; ok && y >= 0; --y)
        ok = fwrite(rgb_bottom_up + row * static_cast<size_t>(y), 1, row, f) == row;
    return (fclose(f) == 0) && ok;
}

void timedemo_frame_drawn()
{
    if (!s_running)
        return;
    if (game_state != STATE_PLAY)
        return;
    ++s_frames_done;
    if (std::find(s_options.shots.begin(), s_options.shots.end(), s_frames_done) == s_options.shots.end())
        return;
    const double t0 = now_seconds();
    std::vector<unsigned char> rgb(static_cast<size_t>(g_game_width) * g_game_height * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, g_game_width, g_game_height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    char name[64];
    snprintf(name, sizeof name, "timedemo-%d.ppm", s_frames_done);
    if (write_ppm(name, g_game_width, g_game_height, rgb.data()))
        printf("timedemo: frame %d written to %s\n", s_frames_done, name);
    else
        fprintf(stderr, "timedemo: cannot write %s: %s\n", name, strerror(errno));
    s_paused += now_seconds() - t0;
}

bool timedemo_finished()
{
    if (!s_running)
        return false;
    if (game_state != STATE_PLAY) {
        fprintf(stderr, "timedemo: play ended after %d of %d frames\n", s_frames_done, s_frames_wanted);
        s_running = false;
        s_failed = true;
        return true;
    }
    if (s_frames_done < s_frames_wanted)
        return false;
    glFinish();
    const double seconds = now_seconds() - s_start - s_paused;
    printf("timedemo: %d frames %.3f seconds %.2f frames/s (%dx%d)\n", s_frames_done, seconds,
           seconds > 0.0 ? s_frames_done / seconds : 0.0, g_game_width, g_game_height);
    s_running = false;
    return true;
}

int timedemo_exit_status()
{
    return s_failed ? 1 : 0;
}
