// The sky box, tinted by the darkness of the night, and the translucent
// clouds drifting over the island (with storm clouds over a lightning strike).
#pragma once

#include <vector>

#include "sim/game.h"


struct cloud {
    unsigned int texture;  // material: TEX_cloud1 or TEX_cloud2
    float x, y, z;
    float vx, vy, vz;  // world units per tuned step (1/40 s)
    float size;        // side of the square, 40..79
    int storm;         // 1: made at a lightning strike
};

// The sky of one battle: its clouds.
struct sky_state {
    std::vector<cloud> clouds;
};

struct world;

// The twenty clouds a sky starts with.
void init_skybox(world& w);
void add_random_cloud(world& w);
void random_cloud(world& w, cloud& c);
// Storm clouds the sky holds at most: eight strikes' worth.
constexpr int MAX_STORM_CLOUDS = 32;
int count_storm_clouds(const sky_state& sky);
// A storm cloud near (x, z); none while the sky holds MAX_STORM_CLOUDS.
void add_cloud(world& w, float x, float z);
// Drifts the clouds by dt seconds; a cloud that leaves the island comes
// back elsewhere, and storm clouds melt away once the storm is over.
void simulate_skybox(world& w, float dt = TUNED_STEP);
