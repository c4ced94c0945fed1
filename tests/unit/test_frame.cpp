#include <gtest/gtest.h>

#include <cmath>

#include "render/camera.h"
#include "sim/player.h"

TEST(FrameView, SidePlanesCloseInAtZoomFive)
{
    view_state v;
    local_player eye;
    eye.eye_yaw = 0;
    eye.eye_pitch = 0;
    v.zoom = 5;
    follow_eye(v, eye);
    const float a = 2.0f / std::sqrt(4.0f + 0.16f), b = 0.4f / std::sqrt(4.0f + 0.16f);
    EXPECT_NEAR(v.frustum_left[0], a, 1e-5);
    EXPECT_NEAR(v.frustum_left[2], -b, 1e-5);
    EXPECT_NEAR(v.frustum_right[0], -a, 1e-5);
    EXPECT_NEAR(v.frustum_right[2], -b, 1e-5);
    const float c = 1.5f / std::sqrt(2.25f + 0.09f), d = 0.3f / std::sqrt(2.25f + 0.09f);
    EXPECT_NEAR(v.frustum_bot[1], c, 1e-5);
    EXPECT_NEAR(v.frustum_bot[2], -d, 1e-5);
    EXPECT_NEAR(v.frustum_top[1], -c, 1e-5);
    EXPECT_NEAR(v.frustum_top[2], -d, 1e-5);
    // the view direction itself does not depend on the zoom
    EXPECT_NEAR(v.look[2], -1.0f, 1e-6);

    // looking down 30 degrees toward +x: look and up stay orthonormal
    eye.eye_yaw = 90;
    eye.eye_pitch = 30;
    follow_eye(v, eye);
    EXPECT_NEAR(v.look[0], std::cos(30 * M_PI / 180), 1e-5);
    EXPECT_NEAR(v.look[1], -0.5f, 1e-5);
    EXPECT_NEAR(v.look[0] * v.up[0] + v.look[1] * v.up[1] + v.look[2] * v.up[2], 0.0f, 1e-6);
}
