#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "render/gamma.h"
#include "game/main_loop.h"

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

// --- the user's ramps on every way out ------------------------------------------
//
// The display is stood in for by a loader that keeps the last ramps loaded
// and, in a child process that is about to end, reports them on stderr.

namespace {

gamma_ramps g_display;
int g_loads = 0;

void keep_ramps(const gamma_ramps& r)
{
    g_display = r;
    ++g_loads;
}

void report_ramps(const gamma_ramps& r)
{
    fprintf(stderr, "display ramps: red[255] %u green[128] %u blue[1] %u\n", r.red[255], r.green[128], r.blue[1]);
}

// A linear ramp is 257 * i: the saved ones as the child reports them.
constexpr const char* SAVED_REPORT = "display ramps: red.255. 65535 green.128. 32896 blue.1. 257";

class GammaExit : public testing::Test {
protected:
    void SetUp() override { g_loads = 0; }
    void TearDown() override { forget_gamma(); }
};

} // namespace

TEST_F(GammaExit, OrderlyShutDownRestoresAfterAFadeOrAFlashAndNotWithoutOne)
{
    save_gamma_ramps(linear_ramps(), keep_ramps);
    close_gamma();
    EXPECT_EQ(g_loads, 0) << "nothing was changed, nothing to put back";

    gamma_fade(0.0f, 0, 0, 0);  // black, as before the textures load
    EXPECT_EQ(g_display.green[200], 0);
    close_gamma();
    EXPECT_EQ(g_display.red[255], 65535);
    EXPECT_EQ(g_display.green[200], 200 * 257);

    gamma_flash_red();
    gamma_fade(50.0f, 65535, 0, 0);  // a red flash under way at Alt+Q
    EXPECT_GT(g_display.red[0], 30000);
    close_gamma();
    EXPECT_EQ(g_display.red[0], 0);
    EXPECT_EQ(g_display.blue[255], 65535);
}

TEST_F(GammaExit, AFatalExitRestoresTheRamps)
{
    EXPECT_EXIT(
        {
            save_gamma_ramps(linear_ramps(), report_ramps);
            gamma_fade(0.0f, 0, 0, 0);
            fprintf(stderr, "fatal: a texture is missing\n");
            exit(-1);
        },
        testing::ExitedWithCode(255), std::string("fatal.*\n").append(SAVED_REPORT));
}

// The handler only sets flags (no Xlib inside a signal handler); the loop's
// next check restores the ramps and ends the program.
TEST_F(GammaExit, TheSecondInterruptRestoresBeforeItEndsTheProgram)
{
    EXPECT_EXIT(
        {
            save_gamma_ramps(linear_ramps(), report_ramps);
            gamma_fade(20.0f, 0, 0, 0);  // a fade under way
            quit_game_event_loop();      // the first: the loop is asked to end
            leave_if_interrupted_twice();
            fprintf(stderr, "first interrupt taken\n");
            quit_game_event_loop();      // the second, before the loop ended
            fprintf(stderr, "second interrupt taken\n");
            leave_if_interrupted_twice();
            fprintf(stderr, "still running\n");
        },
        testing::ExitedWithCode(255),
        std::string("first interrupt taken\nsecond interrupt taken\n").append(SAVED_REPORT));
}

// A loop that never reaches its check is ended by the alarm the second
// interrupt sets.
TEST_F(GammaExit, ALoopThatNeverChecksIsEndedAfterTheGrace)
{
    EXPECT_EXIT(
        {
            quit_game_event_loop_caller(SIGINT);
            quit_game_event_loop_caller(SIGINT);
            sleep(LEAVE_GRACE_SECONDS + 3);
            fprintf(stderr, "still running\n");
        },
        testing::KilledBySignal(SIGALRM), "^$");
}
