#include <gtest/gtest.h>

#include "core/gamma.h"

namespace {

gamma_ramps linear_ramps()
{
    gamma_ramps r;
    for (int i = 0; i < GAMMA_RAMP_SIZE; ++i)
        r.red[i] = r.green[i] = r.blue[i] = static_cast<uint16_t>(i * 257);
    return r;
}

} // namespace

TEST(Gamma, FullFadeToBlackZeroesEveryRamp)
{
    gamma_ramps saved = linear_ramps(), out;
    blend_gamma_ramps(saved, 0.0f, 0, 0, 0, out);
    for (int i = 0; i < GAMMA_RAMP_SIZE; ++i) {
        ASSERT_EQ(out.red[i], 0);
        ASSERT_EQ(out.green[i], 0);
        ASSERT_EQ(out.blue[i], 0);
    }
    blend_gamma_ramps(saved, 100.0f, 0, 0, 0, out);
    EXPECT_EQ(out.red[255], 65535);
    EXPECT_EQ(out.blue[128], 128 * 257);
}

TEST(Gamma, FadeInFromBlackAfterATenthOfASecondShowsTwentyPercent)
{
    fade_values now{0, 0, 0, 0}, dest{100, 0, 0, 0}, out;
    EXPECT_FALSE(fade_step(0.1f, 0.5f, now, dest, out));
    EXPECT_NEAR(out.percent, 20.0f, 1e-4);
    gamma_ramps saved = linear_ramps(), ramps;
    blend_gamma_ramps(saved, out.percent, 0, 0, 0, ramps);
    EXPECT_NEAR(ramps.green[255], 65535 * 0.2, 1.0);
    EXPECT_NEAR(ramps.red[100], 100 * 257 * 0.2, 1.0);

    // From a quarter second on the fade has landed.
    EXPECT_TRUE(fade_step(0.25f, 0.5f, now, dest, out));
    EXPECT_EQ(out.percent, 100.0f);
}

TEST(Gamma, RedFlashLiftsOnlyTheRedChannel)
{
    gamma_ramps saved = linear_ramps(), out;
    // The flash starts at 50 percent toward full red.
    blend_gamma_ramps(saved, 50.0f, 65535, 0, 0, out);
    for (int i = 0; i < GAMMA_RAMP_SIZE; i += 51) {
        EXPECT_NEAR(out.red[i], (65535 + saved.red[i]) / 2.0, 1.0) << i;
        EXPECT_EQ(out.green[i], saved.green[i]);
        EXPECT_EQ(out.blue[i], saved.blue[i]);
    }
    // A flash of 0.3 s moves five sixths of its way by the quarter second.
    fade_values now{50, 65535, 0, 0}, dest{100, 65535, 0, 0}, step;
    fade_step(0.2499f, 0.3f, now, dest, step);
    EXPECT_NEAR(step.percent, 50 + 50 * (0.2499 / 0.3), 0.01);
}
