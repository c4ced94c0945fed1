#include "sim/water.h"

#include <cmath>

#include "sim/game.h"

float water_p1 = 0.0f, water_p2 = 0.0f, water_p3 = 0.0f;
float next_water_rebuild = -1.0f;
long water_ripple = 0;

void set_water_phases(float t)
{
    water_p1 = sinf(t);
    water_p2 = cosf(0.8f * t);
    water_p3 = 2.0f * t;
}

float water_vertex_height(float x, float z)
{
    const float u = (x + 100.0f) * 0.05f, w = (z + 100.0f) * 0.05f;
    return sinf(2.0f * u + water_p3) * sinf(2.0f * w + water_p3);
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

void reset_game_water()
{
    next_water_rebuild = -1.0f;
}

void simulate_water()
{
    if (next_water_rebuild > game_time)
        return;
    set_water_phases(game_time);
    next_water_rebuild = game_time + 0.05f;
    ++water_ripple;
}
