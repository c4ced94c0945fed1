// The island's heightmap: 128 x 128 grid points four units apart, covering
// x and z from -256 to +252. Built with its world from "terrain.out" or,
// when that file is missing or unusable, by a seeded midpoint displacement
// that every copy runs identically. Also the ground queries everybody uses
// and the local debug edits.
#pragma once

#include <cstdint>
#include <vector>

constexpr int TERRAIN_SIZE = 128;
constexpr int TERRAIN_VERTS = TERRAIN_SIZE * TERRAIN_SIZE;
// Exact size of a terrain file: 128 rows of 128 little-endian floats.
constexpr long TERRAIN_FILE_BYTES = TERRAIN_VERTS * 4L;
// Largest height magnitude a terrain file may hold.  Far beyond any island,
// but small enough that slopes, normals and interpolated heights between
// neighbouring points stay finite.
constexpr float TERRAIN_MAX_ABS_HEIGHT = 100000.0f;

// Sea level: figures below it swim.
constexpr float OCEAN_HEIGHT = 10.0f;
extern const float skybox_barrier_dx, skybox_barrier_dz;  // 258: edge of the world

// How the ground changed since it was last replaced, for whoever keeps
// something made from it (the renderer's blocks): the whole map replaced
// counts a generation; an edit since then adds its window of grid points
// (i0..i1 by j0..j1), its centre in grid units and its radius.
struct terrain_edit {
    int i0, j0, i1, j1;
    float cx, cz;
    int r;
};

// The island's ground as one battle has it.
struct terrain_state {
    // Set once heights have been read or generated (before, every height
    // query answers the sea's floor).
    bool made = false;
    // height_map[j][i]: height of grid point (i, j) at x = 4i - 256, z = 4j - 256.
    float height_map[TERRAIN_SIZE][TERRAIN_SIZE] = {};
    // While the island is generated: 1 once a point's height is fixed.
    unsigned char height_fixed[TERRAIN_SIZE][TERRAIN_SIZE] = {};
    // normals[c][j][i]: component c (x, y, z) of the unit normal at (i, j).
    float normals[3][TERRAIN_SIZE][TERRAIN_SIZE] = {};
    long generation = 0;
    std::vector<terrain_edit> edits;
    // The island's colours, made from the seed with its heights when a
    // world is built: 512 x 512 RGB texels over the map (the ground's
    // texture) and 64 x 64 RGBA texels of the minimap; colours_made counts
    // them.
    std::vector<unsigned char> colour_texels;
    std::vector<unsigned char> minimap_texels;
    long colours_made = 0;
};

struct world;

// The whole map was replaced (a new generation, no edits since).
void terrain_replaced(terrain_state& t);

// rgb: 512 x 512 x 3 terrain texels; rgba: 64 x 64 x 4 minimap texels,
// drawn from the world's generator.
void generate_terrain_texture(world& w, unsigned char* rgb, unsigned char* rgba);

// Start of play: read "terrain.out" or generate, and make the island's
// colours.
void init_terrain(world& w);
// A fresh island from the world's random sequence.
void random_map(world& w);
void recursive_terrain(world& w, int x, int z, int width, int depth);
void set_terrain(world& w, int x, int z, int x1, int z1, int x2, int z2);

// 0 on success; -1 when the file cannot be opened or is unusable (wrong
// size, heights not finite or beyond TERRAIN_MAX_ABS_HEIGHT). On failure
// the map is left as it was.
int read_terrain_file(terrain_state& t, const char* path);
// Writes "terrain.out"; -1 on failure.
int write_terrain_file(const terrain_state& t);
// Writes the map to any path; -1 on failure (also when no map is made).
int write_terrain_path(const terrain_state& t, const char* path);

float get_terrain_height(const terrain_state& t, float x, float z);
void get_terrain_normal(const terrain_state& t, float x, float z, float out[3]);
void get_terrain_gradient(const terrain_state& t, float x, float z, float out[2]);

void raise_terrain(terrain_state& t, float x, float z, int radius);
void lower_terrain(terrain_state& t, float x, float z, int radius);
void smooth_terrain(terrain_state& t, float x, float z, int radius);
void offset_terrain(terrain_state& t, float x, float z, float amount, int radius);

// The unit normals of the whole map, or of grid points i0..i1 by j0..j1
// (clamped to the map).
void calculate_normals(terrain_state& t);
void calculate_normals_in(terrain_state& t, int i0, int j0, int i1, int j1);
