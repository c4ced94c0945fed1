#include <gtest/gtest.h>

#include "input/pointer_motion.h"

namespace {

float take_x(pointer_motion& m)
{
    float dx, dy;
    pointer_take_look(m, dx, dy);
    return dx;
}

}  // namespace

// Movement reported from before a warp, the warp's own event and movement
// after it each count once, in whatever frames they are read.
TEST(PointerMotion, EveryMovementAroundAWarpCountsOnce)
{
    pointer_motion m;
    pointer_event(m, 1, 300, 200, true);  // the first position turns nothing
    pointer_event(m, 5, 340, 190, true);
    float dx, dy;
    pointer_take_look(m, dx, dy);
    EXPECT_EQ(dx, 40.0f);
    EXPECT_EQ(dy, -10.0f);

    pointer_warped(m, 10, 300, 200, false);
    int x, y;
    pointer_expected(m, x, y);
    EXPECT_EQ(x, 300);
    EXPECT_EQ(y, 200);
    // Still on its way when the player moved on: measured from 340, not
    // from the middle, and the middle the warp reports is no movement.
    pointer_event(m, 9, 360, 190, true);
    pointer_event(m, 10, 300, 200, true);
    pointer_event(m, 12, 305, 200, true);
    EXPECT_EQ(take_x(m), 25.0f);
    EXPECT_EQ(m.pending, 0);

    // A warp whose own event never came (the pointer stood on its target):
    // the next event is measured from the target.
    pointer_warped(m, 20, 300, 200, false);
    pointer_event(m, 23, 310, 200, true);
    EXPECT_EQ(take_x(m), 10.0f);

    // Two warps on their way: each event is measured from the target of the
    // last warp carried out before it.
    pointer_warped(m, 30, 100, 100, false);
    pointer_warped(m, 31, 300, 200, false);
    pointer_event(m, 29, 315, 200, true);
    pointer_event(m, 30, 104, 100, true);
    pointer_event(m, 31, 300, 201, true);
    EXPECT_EQ(take_x(m), 9.0f);
    EXPECT_EQ(m.pending, 0);
}

TEST(PointerMotion, LookStartAndCrossingsTurnNothing)
{
    pointer_motion m;
    pointer_event(m, 1, 50, 50, true);
    pointer_event(m, 2, 80, 60, true);  // the menu's pointer, before the look starts
    pointer_warped(m, 5, 300, 200, true);
    pointer_event(m, 4, 90, 60, true);
    float dx, dy;
    pointer_take_look(m, dx, dy);
    EXPECT_EQ(dx, 0.0f) << "nothing is taken until the look's first warp is carried out";
    pointer_event(m, 5, 300, 200, true);
    pointer_event(m, 6, 307, 200, true);
    EXPECT_EQ(take_x(m), 7.0f);

    // Leaving and coming back in elsewhere is no turn; moving on from there is.
    pointer_event(m, 7, 599, 200, true);
    pointer_event(m, 7, 600, 200, false);
    pointer_event(m, 8, 0, 150, false);
    pointer_event(m, 9, 3, 150, true);
    EXPECT_EQ(take_x(m), 292.0f + 3.0f);

    // A server that carries out no warp fills the list; the newest are kept.
    for (unsigned long s = 100; s < 110; ++s)
        pointer_warped(m, s, static_cast<int>(s), 0, false);
    EXPECT_EQ(m.pending, 8);
    int x, y;
    pointer_expected(m, x, y);
    EXPECT_EQ(x, 109);
    pointer_event(m, 200, 111, 0, true);
    EXPECT_EQ(m.pending, 0);
    EXPECT_EQ(take_x(m), 2.0f);
}
