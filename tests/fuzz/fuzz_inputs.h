// What each fuzz target does with one input, shared with the unit tests that
// replay the inputs the fuzzers once found crashing (tests/unit/
// test_fuzz_regressions.cpp).  Each replay_* function returns false when a
// property of the reader does not hold; a crash or sanitizer report is a
// failure of its own.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/textures.h"
#include "fuzz_file.h"
#include "sound/wav_file.h"
#include "world/terrain.h"

// Texture file: loads with a consistent size or is rejected leaving no pixels.
inline bool replay_texture(const uint8_t* data, size_t size)
{
    fuzz_file file(data, size);
    texture_record rec;
    if (!read_texture_path(file.path.c_str(), rec))
        return rec.pixels.empty();
    size_t expected = static_cast<size_t>(rec.width) * rec.height * rec.bytes_per_pixel;
    return rec.width > 0 && rec.height > 0 && (rec.bytes_per_pixel == 3 || rec.bytes_per_pixel == 4) &&
           rec.pixels.size() == expected && size >= 12 + expected;
}

// WAV image: accepted files have a playable format and whole frames inside
// the input; every rejection says why.
inline bool replay_wav(const uint8_t* data, size_t size)
{
    wav_data wav;
    std::string error;
    if (!parse_wav(data, size, wav, error))
        return !error.empty();
    return (wav.channels == 1 || wav.channels == 2) && (wav.bits_per_sample == 8 || wav.bits_per_sample == 16) &&
           wav.frequency > 0 && wav.samples.size() <= size &&
           wav.samples.size() % (static_cast<size_t>(wav.channels) * (wav.bits_per_sample / 8)) == 0;
}

// Terrain file plus queries and one local edit.  Input: a 20-byte script,
// then the file's bytes.
//   floats qx, qz: a point queried for height, normal and gradient
//   floats ex, ez: the centre of a local edit
//   byte op: 0 none, 1 raise, 2 lower, 3 smooth; byte radius (0..15)
// A file the reader accepts gives finite answers at every finite point,
// before and after the edit.
constexpr size_t TERRAIN_SCRIPT_BYTES = 20;

inline float fuzz_take_float(const uint8_t* p)
{
    float f;
    std::memcpy(&f, p, 4);
    return f;
}

inline bool terrain_queries_finite(float x, float z)
{
    if (!std::isfinite(x) || !std::isfinite(z))
        return true;
    float h = get_terrain_height(x, z);
    float n[3], g[2];
    get_terrain_normal(x, z, n);
    get_terrain_gradient(x, z, g);
    return std::isfinite(h) && std::isfinite(n[0]) && std::isfinite(n[1]) && std::isfinite(n[2]) &&
           std::isfinite(g[0]) && std::isfinite(g[1]);
}

inline bool replay_terrain_file(const uint8_t* data, size_t size)
{
    if (size < TERRAIN_SCRIPT_BYTES)
        return true;
    float qx = fuzz_take_float(data), qz = fuzz_take_float(data + 4);
    float ex = fuzz_take_float(data + 8), ez = fuzz_take_float(data + 12);
    int op = data[16] & 3, radius = data[17] & 15;

    fuzz_file file(data + TERRAIN_SCRIPT_BYTES, size - TERRAIN_SCRIPT_BYTES);
    if (read_terrain_file(file.path.c_str()) != 0)
        return true;
    if (!terrain_queries_finite(qx, qz))
        return false;
    switch (op) {
    case 1: raise_terrain(ex, ez, radius); break;
    case 2: lower_terrain(ex, ez, radius); break;
    case 3: smooth_terrain(ex, ez, radius); break;
    default: break;
    }
    return terrain_queries_finite(qx, qz) && terrain_queries_finite(ex, ez);
}
