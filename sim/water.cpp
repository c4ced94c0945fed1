#include "sim/water.h"

#include <cmath>

#include "sim/world.h"

void set_water_phases(water_state& water, float t)
{
    water.p1 = sinf(t);
    water.p2 = cosf(0.8f * t);
    water.p3 = 2.0f * t;
}

float water_vertex_height(const water_state& water, float x, float z)
{
    const float u = (x + 100.0f) * 0.05f, w = (z + 100.0f) * 0.05f;
    return sinf(2.0f * u + water.p3) * sinf(2.0f * w + water.p3);
}

float water_vertex_alpha(float x, float z)
{
    if ((x == 200.0f && z >= 100.0f) || (z == 120.0f && x >= 180.0f))
        return 0.0f;
    if (z == -220.0f)
        return 0.0f;
    if (z == -200.0f)
        return 0.5f;
    return 0.6f;
}

void simulate_water(world& w)
{
    water_state& water = w.water;
    if (water.next_rebuild > w.time)
        return;
    set_water_phases(water, w.time);
    water.next_rebuild = w.time + 0.05f;
    ++water.ripple;
}
