#include <gtest/gtest.h>

#include <cmath>

#include "render/camera.h"

TEST(FrameView, SidePlanesCloseInAtZoomFive)
{
    eye_yaw = 0;
    eye_pitch = 0;
    g_zoom = 5;
    calculate_viewing_vectors();
    const float a = 2.0f / std::sqrt(4.0f + 0.16f), b = 0.4f / std::sqrt(4.0f + 0.16f);
    EXPECT_NEAR(frustum_left_vect[0], a, 1e-5);
    EXPECT_NEAR(frustum_left_vect[2], -b, 1e-5);
    EXPECT_NEAR(frustum_right_vect[0], -a, 1e-5);
    EXPECT_NEAR(frustum_right_vect[2], -b, 1e-5);
    const float c = 1.5f / std::sqrt(2.25f + 0.09f), d = 0.3f / std::sqrt(2.25f + 0.09f);
    EXPECT_NEAR(frustum_bot_vect[1], c, 1e-5);
    EXPECT_NEAR(frustum_bot_vect[2], -d, 1e-5);
    EXPECT_NEAR(frustum_top_vect[1], -c, 1e-5);
    EXPECT_NEAR(frustum_top_vect[2], -d, 1e-5);
    // the view direction itself does not depend on the zoom
    EXPECT_NEAR(look_vect[2], -1.0f, 1e-6);

    // looking down 30 degrees toward +x: look and up stay orthonormal
    eye_yaw = 90;
    eye_pitch = 30;
    calculate_viewing_vectors();
    EXPECT_NEAR(look_vect[0], std::cos(30 * M_PI / 180), 1e-5);
    EXPECT_NEAR(look_vect[1], -0.5f, 1e-5);
    EXPECT_NEAR(look_vect[0] * up_vect[0] + look_vect[1] * up_vect[1] + look_vect[2] * up_vect[2], 0.0f, 1e-6);
    g_zoom = 1;
    eye_yaw = eye_pitch = 0;
}
