#include <gtest/gtest.h>

#include "render/camera.h"

namespace {

void expect_vec(const float* v, float x, float y, float z)
{
    EXPECT_NEAR(v[0], x, 1e-4);
    EXPECT_NEAR(v[1], y, 1e-4);
    EXPECT_NEAR(v[2], z, 1e-4);
}

} // namespace

TEST(Camera, ViewVectorsLookingNorthAtZoomOne)
{
    eye_yaw = 0;
    eye_pitch = 0;
    g_zoom = 1;
    calculate_viewing_vectors();
    expect_vec(look_vect, 0, 0, -1);
    expect_vec(up_vect, 0, 1, 0);
    expect_vec(right_vect, 1, 0, 0);
    expect_vec(frustum_left_vect, 0.70710677f, 0, -0.70710677f);
    expect_vec(frustum_right_vect, -0.70710677f, 0, -0.70710677f);
    expect_vec(frustum_bot_vect, 0, 0.70710677f, -0.70710677f);
    expect_vec(frustum_top_vect, 0, -0.70710677f, -0.70710677f);
}

TEST(Camera, ZoomNarrowsTheSidePlanesAndCullingFollows)
{
    eye_x = eye_y = eye_z = 0;
    eye_yaw = 90;  // looking along +x
    eye_pitch = 0;
    g_zoom = 1;
    calculate_viewing_vectors();
    expect_vec(look_vect, 1, 0, 0);
    float ahead_left[3] = {100, 0, -60};  // 31 degrees off the view axis
    EXPECT_TRUE(sphere_in_view(ahead_left, 1));
    float behind[3] = {-50, 0, 0};
    EXPECT_FALSE(sphere_in_view(behind, 1));
    EXPECT_TRUE(sphere_in_view(behind, 60));

    g_zoom = 5;  // half-width 0.4 at distance 2: about 11.3 degrees
    calculate_viewing_vectors();
    EXPECT_FALSE(sphere_in_view(ahead_left, 1));
    float ahead[3] = {100, 0, -15};
    EXPECT_TRUE(sphere_in_view(ahead, 1));
    g_zoom = 1;
}
