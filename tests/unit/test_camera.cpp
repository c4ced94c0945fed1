#include <gtest/gtest.h>

#include "render/camera.h"
#include "sim/player.h"

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
    view_state v;
    local_player eye;
    eye.eye_yaw = 0;
    eye.eye_pitch = 0;
    v.zoom = 1;
    follow_eye(v, eye);
    expect_vec(v.look, 0, 0, -1);
    expect_vec(v.up, 0, 1, 0);
    expect_vec(v.right, 1, 0, 0);
    expect_vec(v.frustum_left, 0.70710677f, 0, -0.70710677f);
    expect_vec(v.frustum_right, -0.70710677f, 0, -0.70710677f);
    expect_vec(v.frustum_bot, 0, 0.70710677f, -0.70710677f);
    expect_vec(v.frustum_top, 0, -0.70710677f, -0.70710677f);
}

TEST(Camera, ZoomNarrowsTheSidePlanesAndCullingFollows)
{
    view_state v;
    local_player eye;
    eye.eye_x = eye.eye_y = eye.eye_z = 0;
    eye.eye_yaw = 90;  // looking along +x
    eye.eye_pitch = 0;
    v.zoom = 1;
    follow_eye(v, eye);
    expect_vec(v.look, 1, 0, 0);
    float ahead_left[3] = {100, 0, -60};  // 31 degrees off the view axis
    EXPECT_TRUE(sphere_in_view(v, ahead_left, 1));
    float behind[3] = {-50, 0, 0};
    EXPECT_FALSE(sphere_in_view(v, behind, 1));
    EXPECT_TRUE(sphere_in_view(v, behind, 60));

    v.zoom = 5;  // half-width 0.4 at distance 2: about 11.3 degrees
    calculate_viewing_vectors(v);
    EXPECT_FALSE(sphere_in_view(v, ahead_left, 1));
    float ahead[3] = {100, 0, -15};
    EXPECT_TRUE(sphere_in_view(v, ahead, 1));
}
