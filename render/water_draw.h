// Drawing the sea and the inland water.
#pragma once

void draw_ocean();
void draw_water();
// A new game makes the inland water's list afresh in its first frame.
void reset_water_draw();
void ocean_vertex(float x, float z);
void water_square(float x0, float z0, float x1, float z1);
void water_vertex(float x, float z);
