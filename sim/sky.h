// The sky box, tinted by the darkness of the night, and the translucent
// clouds drifting over the island (with storm clouds over a lightning strike).
#pragma once

#include <vector>

extern float skybox_dx, skybox_dy, skybox_dz;

struct cloud {
    unsigned int texture;  // cloud1_texid or cloud2_texid
    float x, y, z;
    float vx, vy, vz;  // world units per frame
    float size;        // side of the square, 40..79
    int storm;         // 1: made at a lightning strike
};

// The cloud list; nclouds == the_clouds.size(), aclouds its capacity, which
// doubles whenever a new cloud does not fit.
extern std::vector<cloud> the_clouds;
extern int nclouds;
extern int aclouds;

void init_skybox();
void add_random_cloud();
void random_cloud(cloud& c);
// Storm clouds the sky holds at most: eight strikes' worth.
constexpr int MAX_STORM_CLOUDS = 32;
int count_storm_clouds();
// A storm cloud near (x, z); none while the sky holds MAX_STORM_CLOUDS.
void add_cloud(float x, float z);
void simulate_skybox();
void draw_skybox();
void draw_clouds();
