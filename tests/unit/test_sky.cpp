#include <gtest/gtest.h>

#include <cmath>

#include "game/main_loop.h"
#include "platform/random.h"
#include "sim/lightning.h"
#include "sim/sky.h"

TEST(Sky, InitMakesTwentyOrdinaryCloudsWithCapacityThirtyTwo)
{
    game_srand(42);
    init_skybox();
    EXPECT_EQ(nclouds, 20);
    EXPECT_EQ(aclouds, 32);
    ASSERT_EQ(the_clouds.size(), 20u);
    for (const cloud& c : the_clouds) {
        EXPECT_EQ(c.y, 200.0f);
        EXPECT_EQ(c.storm, 0);
        EXPECT_GE(c.size, 40.0f);
        EXPECT_LE(c.size, 79.0f);
        EXPECT_LE(std::fabs(c.x), 250.0f);
        EXPECT_LE(std::fabs(c.vx), 0.05f);
        EXPECT_LE(std::fabs(c.vy), 0.01f);
    }
    // a second start empties the list again
    init_skybox();
    EXPECT_EQ(nclouds, 20);
    EXPECT_EQ(aclouds, 32);
}

TEST(Sky, RandomCloudDrawsItsNumbersInOrder)
{
    game_srand(7);
    int rx = game_rand(), rz = game_rand();
    game_rand();
    game_rand();
    game_rand();
    int tex = game_rand(), size = game_rand();
    (void)tex;
    game_srand(7);
    cloud c{};
    c.storm = 1;
    random_cloud(c);
    EXPECT_EQ(c.x, (rx % 1000 - 500) * 0.5f);
    EXPECT_EQ(c.z, (rz % 1000 - 500) * 0.5f);
    EXPECT_EQ(c.size, static_cast<float>(size % 40 + 40));
    EXPECT_EQ(c.storm, 1);  // left alone
}

TEST(Sky, StormCloudsGatherAndMeltAwayAfterTheStorm)
{
    game_srand(3);
    init_skybox();
    game_time = 100.0f;
    last_lightning_time = 100.0f;
    time_lightning_lasts = 5.0f;
    for (int i = 0; i < 4; ++i)
        add_cloud(50.0f, -60.0f);
    ASSERT_EQ(nclouds, 24);
    for (int i = 20; i < 24; ++i) {
        const cloud& c = the_clouds[i];
        EXPECT_EQ(c.y, 160.0f);
        EXPECT_EQ(c.storm, 1);
        EXPECT_GE(c.x, 20.0f);
        EXPECT_LT(c.x, 80.0f);
        EXPECT_GE(c.z, -90.0f);
        EXPECT_LT(c.z, -30.0f);
    }
    // a storm cloud blown out of the cube is re-placed but stays a storm cloud
    the_clouds[21].x = 256.5f;
    the_clouds[21].vx = 0.0f;
    simulate_skybox();
    EXPECT_EQ(nclouds, 24);
    EXPECT_EQ(the_clouds[21].storm, 1);
    EXPECT_EQ(the_clouds[21].y, 200.0f);

    game_time = 114.9f;
    simulate_skybox();
    EXPECT_EQ(nclouds, 24);
    // past strike + 15: removal; adjacent storm clouds take two frames since
    // the index still advances after a removal
    game_time = 115.1f;
    for (int frame = 0; frame < 4; ++frame)
        simulate_skybox();
    EXPECT_EQ(nclouds, 20);
    for (const cloud& c : the_clouds)
        EXPECT_EQ(c.storm, 0);
    last_lightning_time = -1000.0f;
    game_time = 0.0f;
}

TEST(Sky, OrdinaryCloudsDriftAndWrapBackIntoTheSky)
{
    game_srand(11);
    init_skybox();
    cloud& c = the_clouds[0];
    c.x = 10.0f;
    c.vx = 0.05f;
    c.vy = 0.0f;
    c.vz = 0.0f;
    simulate_skybox();
    EXPECT_FLOAT_EQ(the_clouds[0].x, 10.05f);
    the_clouds[0].z = -256.0f;
    the_clouds[0].vz = -0.01f;
    simulate_skybox();
    EXPECT_LE(std::fabs(the_clouds[0].z), 250.0f);
    EXPECT_EQ(nclouds, 20);
}
