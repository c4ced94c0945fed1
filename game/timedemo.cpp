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
#include "sim/game.h"
#include "platform/paths.h"
#include "sim/commands.h"
#include "platform/random.h"
#include "render/camera.h"

namespace {

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

int take_timedemo_args(int& argc, char** argv, timedemo_options& out)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    if (!parse_timedemo_args(args, out, error)) {
        fprintf(stderr, "kelvarin: %s\n", error.c_str());
        print_usage(stderr);
        return 2;
    }
    // The remaining words, in their order, are the game's own: every
    // option the parser took goes with the value after it.
    int n = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if ((a == "--timedemo" || a == "--frames" || a == "--shot") && i + 1 < argc) {
            ++i;
            continue;
        }
        argv[n++] = argv[i];
    }
    argc = n;
    return -1;
}

long count_position_records(const char* path)
{
    struct stat st;
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return static_cast<long>(st.st_size / static_cast<off_t>(sizeof(position_record)));
}

int timedemo_check(timedemo_run& d)
{
    const timedemo_options& o = d.options;
    // The file the replay reads (main_loop's REPLAY_P_LOG): the user's one.
    const long records = count_position_records(user_file("path.dat").c_str());
    if (records <= 0) {
        fprintf(stderr, "timedemo: path.dat holds no eye record to replay\n");
        return 2;
    }
    d.frames_wanted = o.frames > 0 ? static_cast<int>(std::min<long>(o.frames, records))
                                           : static_cast<int>(std::min<long>(records, MAX_FRAMES));
    if (o.frames > records)
        printf("timedemo: path.dat holds %ld records: %ld frames instead of %d\n", records, records,
               o.frames);
    return 0;
}

start_info timedemo_start(timedemo_run& d)
{
    printf("timedemo: seed %u, %d frames of %g s\n", d.options.seed, d.frames_wanted,
           static_cast<double>(TIMEDEMO_STEP));
    // As a received start: the shared seed, then the game's channel and the
    // world, drawn from it.
    start_info start;
    start.seed = d.options.seed;
    d.frames_done = 0;
    d.paused = 0.0;
    d.running = true;
    d.start = now_seconds();
    return start;
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

void timedemo_frame_drawn(timedemo_run& d, int phase, int width, int height)
{
    if (!d.running || phase != STATE_PLAY)
        return;
    ++d.frames_done;
    const std::vector<int>& shots = d.options.shots;
    if (std::find(shots.begin(), shots.end(), d.frames_done) == shots.end())
        return;
    const double t0 = now_seconds();
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    char name[64];
    snprintf(name, sizeof name, "timedemo-%d.ppm", d.frames_done);
    if (write_ppm(name, width, height, rgb.data()))
        printf("timedemo: frame %d written to %s\n", d.frames_done, name);
    else
        fprintf(stderr, "timedemo: cannot write %s: %s\n", name, strerror(errno));
    d.paused += now_seconds() - t0;
}

bool timedemo_finished(timedemo_run& d, int phase, int width, int height)
{
    if (!d.running)
        return false;
    if (phase != STATE_PLAY) {
        fprintf(stderr, "timedemo: play ended after %d of %d frames\n", d.frames_done, d.frames_wanted);
        d.running = false;
        d.failed = true;
        return true;
    }
    if (d.frames_done < d.frames_wanted)
        return false;
    glFinish();
    const double seconds = now_seconds() - d.start - d.paused;
    printf("timedemo: %d frames %.3f seconds %.2f frames/s (%dx%d)\n", d.frames_done, seconds,
           seconds > 0.0 ? d.frames_done / seconds : 0.0, width, height);
    d.running = false;
    return true;
}

int timedemo_exit_status(const timedemo_run& d)
{
    return d.failed ? 1 : 0;
}
