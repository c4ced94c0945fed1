// Writes every sound of the game as sounds/<name>.wav (16-bit PCM, mono).
//
// usage: make_sounds OUTPUT_DIR
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "sounds.h"
#include "wav_writer.h"

namespace {

struct SoundJob {
    std::string name;
    std::function<Signal()> make;
    float peak;  // loudness after normalising
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const std::string out_dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(out_dir, ec);
    if (ec) {
        std::fprintf(stderr, "cannot create %s: %s\n", out_dir.c_str(), ec.message().c_str());
        return 1;
    }
    std::vector<SoundJob> jobs = {
        {"lightning", make_thunder, 0.95f},
        {"splash", make_splash, 0.8f},
        {"seaside", make_seaside, 0.6f},
        {"waterside", make_waterside, 0.6f},
        {"firestart", make_fire_start, 0.85f},
        {"fireloop", make_fire_loop, 0.7f},
        // The music alternates 108 s of the second track with 120 s of the first.
        {"human1", [] { return make_music(0, 121.0); }, 0.85f},
        {"human2", [] { return make_music(1, 109.0); }, 0.85f},
    };
    for (int v = 0; v < 8; ++v) jobs.push_back({"dragon" + std::to_string(v), [v] { return make_dragon_roar(v); }, 0.9f});

    auto start = std::chrono::steady_clock::now();
    int failures = 0;
    for (const SoundJob& job : jobs) {
        Signal s = job.make();
        normalize(s, job.peak);
        if (!write_wav(out_dir + "/" + job.name + ".wav", s, kRate)) {
            std::fprintf(stderr, "sound %s failed\n", job.name.c_str());
            ++failures;
        }
    }
    double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("wrote %zu sounds in %.2f s\n", jobs.size() - failures, secs);
    return failures == 0 ? 0 : 1;
}
