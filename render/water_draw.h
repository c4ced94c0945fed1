// Drawing the sea and the inland water.
#pragma once

#include <vector>

struct renderer;
struct view_state;
struct world;

// The inland water as strips of triangles. It is not kept in a display
// list: a list made again twenty times a second keeps the driver compiling
// lists in play, and each list compiled then holds on to the driver's
// buffer it landed in.
struct water_mesh {
    std::vector<float> position, texcoord, colour;  // 3, 2 and 4 a vertex
    std::vector<int> first;                         // where each strip starts
    std::vector<int> count;                         // and how many vertices it has
    long ripple = -1;                               // the ripple they were made for (-1: none in this game)
};

void draw_ocean(const renderer& r, const world& w);
void draw_water(renderer& r, const world& w);
// A new game works out the inland water afresh in its first frame.
void reset_water_draw(water_mesh& m);
// A sea vertex at (x, z), its texture slid by `slide` with the eye.
void ocean_vertex(const view_state& v, float slide, float x, float z);
