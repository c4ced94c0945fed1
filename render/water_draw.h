// Drawing the sea and the inland water.
#pragma once

void draw_ocean();
void draw_water();
// A new game works out the inland water afresh in its first frame.
void reset_water_draw();
void ocean_vertex(float x, float z);
