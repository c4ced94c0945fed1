#include <gtest/gtest.h>

#include "sim/light.h"

TEST(Night, FallsOverTwoSecondsAndLifts)
{
    light_state light;
    turn_on_nighttime_mode(light, 10.0f);
    EXPECT_EQ(light.night, 1);
    update_darkness(light, 10.5f);
    EXPECT_FLOAT_EQ(light.darkness, 0.5f);
    // a second turn-on does not restart the fall
    turn_on_nighttime_mode(light, 11.0f);
    EXPECT_EQ(light.night_start_time, 10.0f);
    update_darkness(light, 12.0f);
    EXPECT_FLOAT_EQ(light.darkness, 2.0f);
    update_darkness(light, 12.01f);
    EXPECT_EQ(light.darkness, 2.0f);
    EXPECT_EQ(light.night_start_time, 0.0f);
    update_darkness(light, 19.0f);
    EXPECT_EQ(light.darkness, 2.0f);  // through the night

    turn_off_nighttime_mode(light, 20.0f);
    EXPECT_EQ(light.night, 0);
    update_darkness(light, 20.5f);
    EXPECT_FLOAT_EQ(light.darkness, 1.5f);
    update_darkness(light, 22.5f);
    EXPECT_EQ(light.darkness, 0.0f);
    EXPECT_EQ(light.night_end_time, 0.0f);
}

TEST(Night, TurningOffWhileDayChangesNothingAndMidFallJumpsToDark)
{
    light_state light;
    turn_off_nighttime_mode(light, 5.0f);
    EXPECT_EQ(light.night_end_time, 0.0f);
    EXPECT_EQ(light.night, 0);
    update_darkness(light, 6.0f);
    EXPECT_EQ(light.darkness, 0.0f);

    turn_on_nighttime_mode(light, 5.0f);  // fall starts at 5
    update_darkness(light, 6.0f);
    EXPECT_FLOAT_EQ(light.darkness, 1.0f);
    turn_off_nighttime_mode(light, 6.0f);
    update_darkness(light, 6.0f);
    EXPECT_FLOAT_EQ(light.darkness, 2.0f);  // the return restarts at full darkness
}
