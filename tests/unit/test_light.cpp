#include <gtest/gtest.h>

#include "game/main_loop.h"
#include "sim/light.h"

namespace {

void reset_day()
{
    phase = 0;
    night_start_time = night_end_time = 0;
    is_night_time_mode = 0;
}

} // namespace

TEST(Night, FallsOverTwoSecondsAndLifts)
{
    reset_day();
    game_time = 10.0f;
    turn_on_nighttime_mode();
    EXPECT_EQ(is_night_time_mode, 1);
    update_phase(10.5f);
    EXPECT_FLOAT_EQ(phase, 0.5f);
    // a second turn-on does not restart the fall
    game_time = 11.0f;
    turn_on_nighttime_mode();
    EXPECT_EQ(night_start_time, 10.0f);
    update_phase(12.0f);
    EXPECT_FLOAT_EQ(phase, 2.0f);
    update_phase(12.01f);
    EXPECT_EQ(phase, 2.0f);
    EXPECT_EQ(night_start_time, 0.0f);
    update_phase(19.0f);
    EXPECT_EQ(phase, 2.0f);  // through the night

    game_time = 20.0f;
    turn_off_nighttime_mode();
    EXPECT_EQ(is_night_time_mode, 0);
    update_phase(20.5f);
    EXPECT_FLOAT_EQ(phase, 1.5f);
    update_phase(22.5f);
    EXPECT_EQ(phase, 0.0f);
    EXPECT_EQ(night_end_time, 0.0f);
    game_time = 0.0f;
}

TEST(Night, TurningOffWhileDayChangesNothingAndMidFallJumpsToDark)
{
    reset_day();
    game_time = 5.0f;
    turn_off_nighttime_mode();
    EXPECT_EQ(night_end_time, 0.0f);
    EXPECT_EQ(is_night_time_mode, 0);
    update_phase(6.0f);
    EXPECT_EQ(phase, 0.0f);

    turn_on_nighttime_mode();  // fall starts at 5
    update_phase(6.0f);
    EXPECT_FLOAT_EQ(phase, 1.0f);
    game_time = 6.0f;
    turn_off_nighttime_mode();
    update_phase(6.0f);
    EXPECT_FLOAT_EQ(phase, 2.0f);  // the return restarts at full darkness
    game_time = 0.0f;
}
