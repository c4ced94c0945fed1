#include "sim/sky.h"

#include <cmath>

#include "sim/game.h"
#include "platform/random.h"
#include "sim/materials.h"
#include "sim/light.h"
#include "sim/lightning.h"


std::vector<cloud> the_clouds;
int nclouds = 0;
int aclouds = 0;

// A uniform fraction in [0, 1).
static float fraction()
{
    return static_cast<float>(game_rand() * 4.656613e-10);
}

static void append_cloud(const cloud& c)
{
    if (nclouds + 1 > aclouds) {
        aclouds = aclouds > 0 ? 2 * aclouds : 2;
        the_clouds.reserve(static_cast<size_t>(aclouds));
    }
    the_clouds.push_back(c);
    nclouds = static_cast<int>(the_clouds.size());
}

void init_skybox()
{
    the_clouds.clear();
    the_clouds.shrink_to_fit();
    nclouds = 0;
    aclouds = 2;
    the_clouds.reserve(2);
    for (int i = 0; i < 20; ++i)
        add_random_cloud();
}

void random_cloud(cloud& c)
{
    c.x = static_cast<float>(game_rand() % 1000 - 500) * 0.5f;
    c.z = static_cast<float>(game_rand() % 1000 - 500) * 0.5f;
    c.y = 200.0f;
    c.vx = (fraction() - 0.5f) * 0.1f;
    c.vz = (fraction() - 0.5f) * 0.1f;
    c.vy = (fraction() - 0.5f) * 0.02f;
    c.texture = (game_rand() & 1) ? TEX_cloud1 : TEX_cloud2;
    c.size = static_cast<float>(game_rand() % 40 + 40);
}

void add_random_cloud()
{
    cloud c{};
    random_cloud(c);
    c.storm = 0;
    append_cloud(c);
}

int count_storm_clouds()
{
    int n = 0;
    for (const cloud& c : the_clouds)
        n += c.storm;
    return n;
}

void add_cloud(float x, float z)
{
    if (count_storm_clouds() >= MAX_STORM_CLOUDS)
        return;
    cloud c{};
    c.x = static_cast<float>(game_rand() % 60) + x - 30.0f;
    c.z = static_cast<float>(game_rand() % 60) + z - 30.0f;
    c.y = 160.0f;
    c.vx = (fraction() - 0.5f) * 0.1f;
    c.vz = (fraction() - 0.5f) * 0.1f;
    c.vy = (fraction() - 0.5f) * 0.02f;
    c.texture = (game_rand() & 1) ? TEX_cloud1 : TEX_cloud2;
    c.size = static_cast<float>(game_rand() % 40 + 40);
    c.storm = 1;
    append_cloud(c);
}

void simulate_skybox(float dt)
{
    // Clouds drift by their velocity once a tuned step.
    const float steps = TUNED_STEPS_PER_SECOND * dt;
    const bool storm_over = game_time > last_lightning_time + time_lightning_lasts + 10.0f;
    for (int i = 0; i < nclouds; ++i) {
        cloud& c = the_clouds[static_cast<size_t>(i)];
        c.x += c.vx * steps;
        c.y += c.vy * steps;
        c.z += c.vz * steps;
        if (std::fabs(c.x) > 256.0f || std::fabs(c.z) > 256.0f || std::fabs(c.y) > 256.0f)
            random_cloud(c);
        if (storm_over && c.storm == 1) {
            // The cloud moving into this place is looked at next frame.
            the_clouds.erase(the_clouds.begin() + i);
            nclouds = static_cast<int>(the_clouds.size());
        }
    }
}
