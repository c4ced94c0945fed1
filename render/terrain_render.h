// Drawing the heightmap: 4 x 4 blocks compiled into display lists, each
// drawn as 2 x 2 pieces culled by bounding spheres and drawn coarser the
// farther they are, the generated terrain colour texture and minimap
// texture, the minimap overlay, and picking a ground point under the mouse.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct renderer;
struct terrain_state;
struct view_state;
struct world;

// Levels of detail of the drawn terrain: level l uses every 2^l-th grid point.
constexpr int TERRAIN_DETAIL_LEVELS = 3;

constexpr unsigned int MAP_LIST_NONE = 0xffffffffu;  // block must be (re)compiled

// Bounding sphere (about the piece's middle) and box of a piece.
struct piece_bounds {
    float sphere[4];     // centre x, y, z and radius
    float lo[3], hi[3];  // box: least and greatest x, height, z
};
constexpr int TERRAIN_PIECES = 8;  // a side: 4 blocks of 2 pieces

// What the renderer keeps of the ground it draws.
struct terrain_view {
    terrain_view();
    // First of the display lists of block (a, b) (a along x, b along z),
    // one for each piece and level of detail, or MAP_LIST_NONE.
    unsigned int map_lists[4][4];
    // Bounding sphere of each block: centre x, y, z and radius.
    float map_list_spheres[4][4][4] = {};
    piece_bounds pieces[TERRAIN_PIECES][TERRAIN_PIECES] = {};
    // The colour texture, the same with the detail layer's mean colour
    // multiplied in (the ground far away, one texture unit), the minimap,
    // and the haze's two-texel textures (hazy and clear).
    unsigned int terrain_texid = 0, plain_texid = 0, minimap_texid = 0, haze_texid = 0, clear_texid = 0;
    // Blocks compiled since start (for diagnostics and tests), and blocks
    // drawn since the last frame-rate report.
    int compiles = 0;
    float count = 0.0f;
    // The render arrays, one entry per grid point, vertex k = 128 i + j.
    std::vector<float> vertex_array;  // 3 floats: (4i, height, 4j)
    std::vector<float> normal_array;  // 3 floats
    std::vector<float> tex2_array;    // 2 floats: (j/128, i/128), colour texture, unit 0
    std::vector<float> tex1_array;    // 2 floats: (i/8, -j/8), detail texture, unit 1
    std::vector<float> fog_array;     // 1 float: max(0, 2500 - 50 height)
    std::vector<uint32_t> index_array;  // strip s (row s to s+1) at entry 256 s, 128 pairs
    // The haze texture's coordinate of each point (see terrain_render.cpp).
    std::vector<float> haze_coords;
    // The ground's state the arrays and blocks were made from.
    long generation_seen = -1;
    size_t edits_seen = 0;
    long colours_seen = 0;
};

void draw_map(renderer& r, const world& w);
void generate_map_call_list(terrain_view& t, const terrain_state& ground);
void reset_terrain_renderer(terrain_view& t);
// A new game: every block and the terrain and minimap textures released
// (the new island makes its own), and nothing of the ground seen yet.
void reset_game_terrain_render(terrain_view& t);

// Allocates the arrays once and builds the strip index table.
void allocate_terrain_arrays(terrain_view& t);
// The arrays of the whole map from its heights and normals, or of grid
// points i0..i1 by j0..j1.
void calculate_arrays(terrain_view& t, const terrain_state& ground);
void calc_dynamic_arrays(terrain_view& t, const terrain_state& ground, int i0, int j0, int i1, int j1);
// Follows the ground's changes since the last call: the arrays made again
// and the blocks an edit reaches dropped (or all of them, when the map was
// replaced), and the colours uploaded when new ones were made.
void sync_terrain_render(renderer& r, const terrain_state& ground);
// Frees block (a, b) so that the next frame compiles it afresh.
void delete_map_block(terrain_view& t, int a, int b);
// Deletes the blocks that an edit of radius r cells around grid position
// (cx, cz) may reach.
void invalidate_map_blocks(terrain_view& t, float cx, float cz, int r);
void calculate_map_seg_sphere(terrain_view& t, const terrain_state& ground, int a, int b, int i0, int j0, int i1,
                              int j1);
void walk_map(const terrain_view& t, int j0, int i0, int j1, int i1);
// Appends triangles (three vertex numbers each, wound like the strips)
// covering grid points i0..i1 by j0..j1 with every step-th point inside and
// every point along the outer edges, so that pieces of any two levels meet
// without cracks.
void terrain_block_triangles(int i0, int j0, int i1, int j1, int step, std::vector<uint32_t>& out);
// For each of n fog coordinates, 1 - its exp2 fog factor at the density:
// the ground's haze at each point, which the haze texture's linear
// filtering interpolates between points.
void terrain_fog_factors(const float* coords, int n, float density, std::vector<float>& out);
// Level of detail for a piece where one grid cell spans cell_pixels pixels.
int terrain_detail_level(float cell_pixels);
// Whether such a piece is drawn with the detail layer, or plain.
bool terrain_detail_layer_shown(float cell_pixels);
// The colour texels rgb with the detail layer's mean colour (0..1 a
// channel) multiplied in, rounded: what the two layers give far away.
std::vector<unsigned char> terrain_plain_texels(const std::vector<unsigned char>& rgb, const float mean[3]);
void enable_terrain_arrays(terrain_view& t);
void disable_terrain_arrays();
int frustum_cull_terrain(const renderer& r, int a, int b);

// Uploads the island's colours (sim/terrain.h) as the terrain and minimap
// textures.
void load_terrain_texture(renderer& r, const terrain_state& ground);
void draw_minimap(const renderer& r, const world& w);
// Ground point under window pixel (px, py): 0 and the point, or -1 and (0, 0).
int screen_to_terrain_coords(const view_state& v, const terrain_state& ground, int px, int py, float* out_x,
                             float* out_z);
