// The open sea around the island (a flat plane at sea level with a harbour
// cut and fading edges) and the rippling inland channels.
#pragma once

extern float norm_ocean[3];
extern float water_p1, water_p2, water_p3;  // ripple phases of the last rebuild
// Display list of the inland water (MAP_LIST_NONE-style all bits: none) and
// the game time of its next rebuild.
extern unsigned int water_list;
extern float next_water_rebuild;

void draw_ocean();
void draw_water();
// A new game rebuilds the inland water in its first frame.
void reset_game_water();
void ocean_vertex(float x, float z);
void water_square(float x0, float z0, float x1, float z1);
void water_vertex(float x, float z);
// Sets the ripple phases for game time t.
void set_water_phases(float t);
// The pieces of an inland water vertex, from the current ripple phases.
float water_vertex_height(float x, float z);
float water_vertex_alpha(float x, float z);
