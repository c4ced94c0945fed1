#include <gtest/gtest.h>

#include <cmath>

#include "game_fixture.h"
#include "platform/random.h"
#include "sim/lightning.h"
#include "sim/sky.h"

struct Sky : game_test {};

TEST_F(Sky, InitMakesTwentyOrdinaryClouds)
{
    world& w = fresh_game();
    stream_srand(w.rng, 42);
    init_skybox(w);
    ASSERT_EQ(w.sky.clouds.size(), 20u);
    for (const cloud& c : w.sky.clouds) {
        EXPECT_EQ(c.y, 200.0f);
        EXPECT_EQ(c.storm, 0);
        EXPECT_GE(c.size, 40.0f);
        EXPECT_LE(c.size, 79.0f);
        EXPECT_LE(std::fabs(c.x), 250.0f);
        EXPECT_LE(std::fabs(c.vx), 0.05f);
        EXPECT_LE(std::fabs(c.vy), 0.01f);
    }
    // a second start empties the list again
    init_skybox(w);
    EXPECT_EQ(w.sky.clouds.size(), 20u);
}

TEST_F(Sky, RandomCloudDrawsItsNumbersInOrder)
{
    world& w = fresh_game();
    stream_srand(w.rng, 7);
    int rx = w.rand(), rz = w.rand();
    w.rand();
    w.rand();
    w.rand();
    int tex = w.rand(), size = w.rand();
    (void)tex;
    stream_srand(w.rng, 7);
    cloud c{};
    c.storm = 1;
    random_cloud(w, c);
    EXPECT_EQ(c.x, (rx % 1000 - 500) * 0.5f);
    EXPECT_EQ(c.z, (rz % 1000 - 500) * 0.5f);
    EXPECT_EQ(c.size, static_cast<float>(size % 40 + 40));
    EXPECT_EQ(c.storm, 1);  // left alone
}

TEST_F(Sky, StormCloudsGatherAndMeltAwayAfterTheStorm)
{
    world& w = fresh_game();
    stream_srand(w.rng, 3);
    init_skybox(w);
    std::vector<cloud>& clouds = w.sky.clouds;
    w.time = 100.0f;
    w.lightning.time = 100.0f;
    w.lightning.lasts = 5.0f;
    for (int i = 0; i < 4; ++i)
        add_cloud(w, 50.0f, -60.0f);
    ASSERT_EQ(clouds.size(), 24u);
    for (size_t i = 20; i < 24; ++i) {
        const cloud& c = clouds[i];
        EXPECT_EQ(c.y, 160.0f);
        EXPECT_EQ(c.storm, 1);
        EXPECT_GE(c.x, 20.0f);
        EXPECT_LT(c.x, 80.0f);
        EXPECT_GE(c.z, -90.0f);
        EXPECT_LT(c.z, -30.0f);
    }
    // a storm cloud blown out of the cube is re-placed but stays a storm cloud
    clouds[21].x = 256.5f;
    clouds[21].vx = 0.0f;
    simulate_skybox(w);
    EXPECT_EQ(clouds.size(), 24u);
    EXPECT_EQ(clouds[21].storm, 1);
    EXPECT_EQ(clouds[21].y, 200.0f);

    w.time = 114.9f;
    simulate_skybox(w);
    EXPECT_EQ(clouds.size(), 24u);
    // past strike + 15: removal; adjacent storm clouds take two steps since
    // the index still advances after a removal
    w.time = 115.1f;
    for (int frame = 0; frame < 4; ++frame)
        simulate_skybox(w);
    EXPECT_EQ(clouds.size(), 20u);
    for (const cloud& c : clouds)
        EXPECT_EQ(c.storm, 0);
}

TEST_F(Sky, OrdinaryCloudsDriftAndWrapBackIntoTheSky)
{
    world& w = fresh_game();
    stream_srand(w.rng, 11);
    init_skybox(w);
    cloud& c = w.sky.clouds[0];
    c.x = 10.0f;
    c.vx = 0.05f;
    c.vy = 0.0f;
    c.vz = 0.0f;
    simulate_skybox(w);
    EXPECT_FLOAT_EQ(w.sky.clouds[0].x, 10.05f);
    w.sky.clouds[0].z = -256.0f;
    w.sky.clouds[0].vz = -0.01f;
    simulate_skybox(w);
    EXPECT_LE(std::fabs(w.sky.clouds[0].z), 250.0f);
    EXPECT_EQ(w.sky.clouds.size(), 20u);
}
