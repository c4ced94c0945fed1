#include <gtest/gtest.h>

#include <cmath>

#include "sim/water.h"

TEST(Water, EdgeAlphasFadeTheChannelsOut)
{
    EXPECT_EQ(water_vertex_alpha(200, 100), 0.0f);
    EXPECT_EQ(water_vertex_alpha(200, 140), 0.0f);
    EXPECT_EQ(water_vertex_alpha(180, 120), 0.0f);
    EXPECT_EQ(water_vertex_alpha(220, 120), 0.0f);
    EXPECT_EQ(water_vertex_alpha(-120, -220), 0.0f);
    EXPECT_EQ(water_vertex_alpha(-120, -200), 0.5f);
    EXPECT_EQ(water_vertex_alpha(200, 80), 0.6f);
    EXPECT_EQ(water_vertex_alpha(160, 120), 0.6f);
    EXPECT_EQ(water_vertex_alpha(0, 0), 0.6f);
}

TEST(Water, RipplesFollowTheGameClock)
{
    water_state water;
    set_water_phases(water, 0.0f);
    EXPECT_EQ(water.p1, 0.0f);
    EXPECT_EQ(water.p2, 1.0f);
    EXPECT_EQ(water.p3, 0.0f);
    for (float x = -120; x <= 220; x += 20)
        for (float z = -220; z <= 140; z += 20) {
            float u = (x + 100) * 0.05f, w = (z + 100) * 0.05f;
            ASSERT_FLOAT_EQ(water_vertex_height(water, x, z), sinf(2 * u) * sinf(2 * w));
        }
    EXPECT_EQ(water_vertex_height(water, -100, 40), 0.0f);  // u = 0
    set_water_phases(water, 1.0f);
    EXPECT_FLOAT_EQ(water.p1, sinf(1.0f));
    EXPECT_FLOAT_EQ(water.p2, cosf(0.8f));
    EXPECT_FLOAT_EQ(water.p3, 2.0f);
    EXPECT_FLOAT_EQ(water_vertex_height(water, -100, -100), sinf(2.0f) * sinf(2.0f));
    for (float x = -120; x <= 220; x += 20)
        ASSERT_LE(std::fabs(water_vertex_height(water, x, 7)), 1.0f);
}
