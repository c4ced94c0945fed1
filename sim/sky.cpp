#include "sim/sky.h"

#include <cmath>

#include "sim/game.h"
#include "sim/light.h"
#include "sim/lightning.h"
#include "sim/materials.h"
#include "sim/world.h"

// A uniform fraction in [0, 1).
static float fraction(world& w)
{
    return static_cast<float>(w.rand() * 4.656613e-10);
}

void init_skybox(world& w)
{
    w.sky.clouds.clear();
    for (int i = 0; i < 20; ++i)
        add_random_cloud(w);
}

void random_cloud(world& w, cloud& c)
{
    c.x = static_cast<float>(w.rand() % 1000 - 500) * 0.5f;
    c.z = static_cast<float>(w.rand() % 1000 - 500) * 0.5f;
    c.y = 200.0f;
    c.vx = (fraction(w) - 0.5f) * 0.1f;
    c.vz = (fraction(w) - 0.5f) * 0.1f;
    c.vy = (fraction(w) - 0.5f) * 0.02f;
    c.texture = (w.rand() & 1) ? TEX_cloud1 : TEX_cloud2;
    c.size = static_cast<float>(w.rand() % 40 + 40);
}

void add_random_cloud(world& w)
{
    cloud c{};
    random_cloud(w, c);
    c.storm = 0;
    w.sky.clouds.push_back(c);
}

int count_storm_clouds(const sky_state& sky)
{
    int n = 0;
    for (const cloud& c : sky.clouds)
        n += c.storm;
    return n;
}

void add_cloud(world& w, float x, float z)
{
    if (count_storm_clouds(w.sky) >= MAX_STORM_CLOUDS)
        return;
    cloud c{};
    c.x = static_cast<float>(w.rand() % 60) + x - 30.0f;
    c.z = static_cast<float>(w.rand() % 60) + z - 30.0f;
    c.y = 160.0f;
    c.vx = (fraction(w) - 0.5f) * 0.1f;
    c.vz = (fraction(w) - 0.5f) * 0.1f;
    c.vy = (fraction(w) - 0.5f) * 0.02f;
    c.texture = (w.rand() & 1) ? TEX_cloud1 : TEX_cloud2;
    c.size = static_cast<float>(w.rand() % 40 + 40);
    c.storm = 1;
    w.sky.clouds.push_back(c);
}

void simulate_skybox(world& w, float dt)
{
    // Clouds drift by their velocity once a tuned step.
    const float steps = TUNED_STEPS_PER_SECOND * dt;
    const bool storm_over = w.time > w.lightning.time + w.lightning.lasts + 10.0f;
    std::vector<cloud>& clouds = w.sky.clouds;
    for (size_t i = 0; i < clouds.size(); ++i) {
        cloud& c = clouds[i];
        c.x += c.vx * steps;
        c.y += c.vy * steps;
        c.z += c.vz * steps;
        if (std::fabs(c.x) > 256.0f || std::fabs(c.z) > 256.0f || std::fabs(c.y) > 256.0f)
            random_cloud(w, c);
        if (storm_over && c.storm == 1) {
            // The cloud moving into this place is looked at next step.
            clouds.erase(clouds.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}
