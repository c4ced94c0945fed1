// What each fuzz target does with one input, shared with the unit tests that
// replay the inputs the fuzzers once found crashing (tests/unit/
// test_fuzz_regressions.cpp).  Each replay_* function returns false when a
// property of the reader does not hold; a crash or sanitizer report is a
// failure of its own.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "platform/settings.h"
#include "render/textures.h"
#include "fuzz_file.h"
#include "sound/wav_file.h"
#include "sim/buildings.h"
#include "sim/model_tree.h"
#include "sim/session.h"
#include "sim/terrain.h"
#include "sim/trees.h"
#include "sim/walls.h"
#include "sim/world.h"

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

inline bool terrain_queries_finite(const terrain_state& t, float x, float z)
{
    if (!std::isfinite(x) || !std::isfinite(z))
        return true;
    float h = get_terrain_height(t, x, z);
    float n[3], g[2];
    get_terrain_normal(t, x, z, n);
    get_terrain_gradient(t, x, z, g);
    return std::isfinite(h) && std::isfinite(n[0]) && std::isfinite(n[1]) && std::isfinite(n[2]) &&
           std::isfinite(g[0]) && std::isfinite(g[1]);
}

inline bool replay_terrain_file(terrain_state& t, const uint8_t* data, size_t size)
{
    if (size < TERRAIN_SCRIPT_BYTES)
        return true;
    float qx = fuzz_take_float(data), qz = fuzz_take_float(data + 4);
    float ex = fuzz_take_float(data + 8), ez = fuzz_take_float(data + 12);
    int op = data[16] & 3, radius = data[17] & 15;

    fuzz_file file(data + TERRAIN_SCRIPT_BYTES, size - TERRAIN_SCRIPT_BYTES);
    if (read_terrain_file(t, file.path.c_str()) != 0)
        return true;
    if (!terrain_queries_finite(t, qx, qz))
        return false;
    switch (op) {
    case 1: raise_terrain(t, ex, ez, radius); break;
    case 2: lower_terrain(t, ex, ez, radius); break;
    case 3: smooth_terrain(t, ex, ez, radius); break;
    default: break;
    }
    return terrain_queries_finite(t, qx, qz) && terrain_queries_finite(t, ex, ez);
}

// The same on a ground of its own.
inline bool replay_terrain_file(const uint8_t* data, size_t size)
{
    auto t = std::make_unique<terrain_state>();
    return replay_terrain_file(*t, data, size);
}

inline float fuzz_flat_ground(const world&, float, float)
{
    return 12.0f;
}

// A world for placement files, its structures standing on flat ground.
struct placement_world {
    session s;
    std::unique_ptr<world> w;
    placement_world()
    {
        w = std::make_unique<world>(s, 1);
        w->structures.ground = fuzz_flat_ground;
    }
    // The session's file names point at `path` while the world reads it.
    void read_from(const std::string& path) { s.files.walls = s.files.houses = s.files.trees = path; }
};

// "walls.txt": every point read is kept, the last point starts neither a
// tower nor a gate, and every stretch got a model.
inline bool replay_walls_file(placement_world& p, const uint8_t* data, size_t size)
{
    fuzz_file file(data, size);
    p.read_from(file.path);
    world& w = *p.w;
    const int n = load_walls(w);
    const std::vector<wall_point>& points = w.walls.points;
    if (n < 0 || n != w.walls.count())
        return false;
    if (n > 0 && (points.back().tower || points.back().gate))
        return false;
    for (int i = 0; i + 1 < n; ++i)
        if (!get_top_level_model(w.structures, points[static_cast<size_t>(i)].model_id))
            return false;
    set_gate_bool(w.walls, 0);
    for (int k = 0; k < 4; ++k)
        simulate_walls(w);
    return true;
}

// "houses.txt": the temples found are real models.
inline bool replay_houses_file(placement_world& p, const uint8_t* data, size_t size)
{
    fuzz_file file(data, size);
    p.read_from(file.path);
    world& w = *p.w;
    const int used = load_buildings(w);
    const std::vector<int>& temples = w.buildings.temple_ids;
    if (used < 0 || static_cast<int>(temples.size()) > used)
        return false;
    for (int id : temples)
        if (!get_top_level_model(w.structures, id))
            return false;
    return true;
}

// "trees.txt": every tree listed was read from a line of the file.
inline bool replay_trees_file(placement_world& p, const uint8_t* data, size_t size)
{
    fuzz_file file(data, size);
    p.read_from(file.path);
    world& w = *p.w;
    const int used = load_trees(w);
    return used >= 0 && static_cast<int>(w.trees.chestnuts.size() + w.trees.random_trees.size()) <= used;
}

// Each on a world of its own.
inline bool replay_walls_file(const uint8_t* data, size_t size)
{
    placement_world p;
    return replay_walls_file(p, data, size);
}
inline bool replay_houses_file(const uint8_t* data, size_t size)
{
    placement_world p;
    return replay_houses_file(p, data, size);
}
inline bool replay_trees_file(const uint8_t* data, size_t size)
{
    placement_world p;
    return replay_trees_file(p, data, size);
}

// Settings file: a file that is read holds values within every field's
// range, and writing them out and reading them back gives the same values;
// a refused file says why and leaves the record as it was.
inline bool replay_settings_file(const uint8_t* data, size_t size)
{
    fuzz_file file(data, size);
    settings_record s, before;
    std::string why, ignored;
    const settings_status status = read_settings_file(file.path, s, why, ignored);
    if (status == settings_status::broken) {
        for (int i = 0; i < num_setting_fields; ++i)
            if (s.*(setting_fields[i].value) != before.*(setting_fields[i].value))
                return false;
        return !why.empty();
    }
    settings_record again;
    if (!parse_settings(format_settings(s), again, why, ignored) || !ignored.empty())
        return false;
    for (int i = 0; i < num_setting_fields; ++i) {
        const setting_field& f = setting_fields[i];
        const int v = s.*(f.value);
        if (v < f.low || v > f.high || again.*(f.value) != v)
            return false;
    }
    return true;
}
