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

#include "platform/settings.h"
#include "render/textures.h"
#include "fuzz_file.h"
#include "sound/wav_file.h"
#include "sim/buildings.h"
#include "sim/model_tree.h"
#include "sim/terrain.h"
#include "sim/trees.h"
#include "sim/walls.h"

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

// The placement files are read from fixed names; the loaders take the name
// from a variable, which points at the input for one load.
struct placement_name_swap {
    std::string& name;
    std::string saved;
    placement_name_swap(std::string& n, const std::string& path) : name(n), saved(n) { name = path; }
    ~placement_name_swap() { name = saved; }
};

inline float fuzz_flat_ground(float, float)
{
    return 12.0f;
}

// "walls.txt": every point read is kept, the last point starts neither a
// tower nor a gate, and every stretch got a model.
inline bool replay_walls_file(const uint8_t* data, size_t size)
{
    fuzz_file file(data, size);
    placement_name_swap swap(walls_filename, file.path);
    clear_model_tree();
    structure_ground = fuzz_flat_ground;
    g_wall_links = wall_links{};
    const int n = load_walls();
    if (n < 0 || n != n_wall_pts || static_cast<size_t>(n) != the_wall_pts.size())
        return false;
    if (n > 0 && (the_wall_pts.back().tower || the_wall_pts.back().gate))
        return false;
    for (int i = 0; i + 1 < n; ++i)
        if (!get_top_level_model(the_wall_pts[static_cast<size_t>(i)].model_id))
            return false;
    set_gate_bool(0);
    for (int k = 0; k < 4; ++k)
        simulate_walls();
    return true;
}

// "houses.txt": the temples found are real models.
inline bool replay_houses_file(const uint8_t* data, size_t size)
{
    fuzz_file file(data, size);
    placement_name_swap swap(houses_filename, file.path);
    clear_model_tree();
    structure_ground = fuzz_flat_ground;
    const int used = load_buildings();
    if (used < 0 || num_temples != static_cast<int>(temple_ids.size()) || num_temples > used)
        return false;
    for (int id : temple_ids)
        if (!get_top_level_model(id))
            return false;
    return true;
}

// "trees.txt": the counts match the lists and every tree was used.
inline bool replay_trees_file(const uint8_t* data, size_t size)
{
    fuzz_file file(data, size);
    placement_name_swap swap(trees_filename, file.path);
    clear_model_tree();
    clear_trees();
    structure_ground = fuzz_flat_ground;
    const int used = load_trees();
    return used >= 0 && num_chestnuts == static_cast<int>(chestnuts.size()) &&
           num_random_trees == static_cast<int>(random_trees.size()) && num_chestnuts + num_random_trees <= used;
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
