// Deterministic noise for the asset generators. Everything is derived from
// integer hashes, so a given seed always gives the same picture or sound.
#pragma once

#include <cstdint>

uint32_t hash_u32(uint32_t x);
uint32_t hash_combine(uint32_t seed, uint32_t v);
// Uniform value in [0, 1) for (seed, i).
float hash_unit(uint32_t seed, uint32_t i);

// Sequential generator built on the hash, for placing things.
struct HashRng {
    uint32_t seed;
    uint32_t counter = 0;
    explicit HashRng(uint32_t s) : seed(s) {}
    float unit() { return hash_unit(seed, counter++); }                    // [0, 1)
    float range(float lo, float hi) { return lo + (hi - lo) * unit(); }    // [lo, hi)
    int below(int n) { return static_cast<int>(unit() * n) % n; }          // 0 .. n-1
};

// Gradient noise on a lattice that repeats every (period_x, period_y) cells;
// x and y are lattice coordinates. Result roughly in [-1, 1].
float tile_noise(float x, float y, int period_x, int period_y, uint32_t seed);

// Fractal sum over a unit tile: u, v in [0, 1) map onto the tile, the first
// octave has (cells_x, cells_y) lattice cells, each further octave doubles
// them. The result repeats with period 1 in u and v. Roughly in [-1, 1].
float tile_fbm(float u, float v, int cells_x, int cells_y, int octaves, uint32_t seed,
               float gain = 0.5f);

// Cellular noise over a unit tile of cells x cells jittered points, also
// repeating with period 1. f1/f2: distance to the nearest and second nearest
// point in cell units; id: hash of the nearest point's cell; (dx, dy): offset
// from the nearest point in cell units.
struct CellSample {
    float f1, f2;
    uint32_t id;
    float dx, dy;
};
CellSample tile_cells(float u, float v, int cells, uint32_t seed, float jitter = 0.8f);

// Non-repeating 3-D gradient noise and its fractal sum (for directions and
// time lines). Roughly in [-1, 1].
float noise3(float x, float y, float z, uint32_t seed);
float fbm3(float x, float y, float z, int octaves, uint32_t seed, float gain = 0.5f);
