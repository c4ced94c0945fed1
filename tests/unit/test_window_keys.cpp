#include <gtest/gtest.h>

#include "input/window.h"
#include "render/screenshot.h"

TEST(Keys, NamesTranslateByTable)
{
    EXPECT_EQ(keysym_name_to_code("a"), 'a');
    EXPECT_EQ(keysym_name_to_code("7"), '7');
    EXPECT_EQ(keysym_name_to_code("space"), 32);
    EXPECT_EQ(keysym_name_to_code("BackSpace"), 8);
    EXPECT_EQ(keysym_name_to_code("Return"), 10);
    EXPECT_EQ(keysym_name_to_code("KP_Enter"), 3);
    EXPECT_EQ(keysym_name_to_code("Up"), 20);
    EXPECT_EQ(keysym_name_to_code("Down"), 23);
    EXPECT_EQ(keysym_name_to_code("bracketright"), 93);
    EXPECT_EQ(keysym_name_to_code("grave"), 96);
    EXPECT_EQ(keysym_name_to_code("Control_R"), 24);
    EXPECT_EQ(keysym_name_to_code("Shift_Lock"), 25);
    EXPECT_EQ(keysym_name_to_code("Alt_L"), 26);
    EXPECT_EQ(keysym_name_to_code(nullptr), -1);
}

TEST(Keys, UnknownNamesPrintAndYieldMinusOne)
{
    testing::internal::CaptureStdout();
    EXPECT_EQ(keysym_name_to_code("F5"), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "unknown Xlib keycode: F5\n");
}

TEST(Keys, ShiftUsesTheUsLayout)
{
    EXPECT_EQ(shifted_code('1'), '!');
    EXPECT_EQ(shifted_code('2'), '@');
    EXPECT_EQ(shifted_code('0'), ')');
    EXPECT_EQ(shifted_code('a'), 'A');
    EXPECT_EQ(shifted_code('z'), 'Z');
    EXPECT_EQ(shifted_code(';'), ':');
    EXPECT_EQ(shifted_code('`'), '~');
    EXPECT_EQ(shifted_code('\\'), '|');
    EXPECT_EQ(shifted_code(3), 3);  // keypad Enter is unchanged
    EXPECT_EQ(shifted_code('A'), 'A');
    EXPECT_EQ(shifted_code(-1), -1);
}

TEST(Keys, HeldKeyNames)
{
    EXPECT_STREQ(key_name_for_code(' '), "space");
    EXPECT_STREQ(key_name_for_code('/'), "slash");
    EXPECT_STREQ(key_name_for_code('W'), "w");
    EXPECT_STREQ(key_name_for_code('q'), "q");
    EXPECT_STREQ(key_name_for_code(200), "moogoo");
    EXPECT_STREQ(key_name_for_code(20), "moogoo");
}

TEST(Screenshot, RowsAreFlippedAndChannelsWidened)
{
    // Two rows of one pixel, bottom row first as GL reads them.
    const unsigned char gl[8] = {1, 2, 3, 4, 10, 20, 30, 40};
    unsigned char out[16];
    screenshot_bytes(gl, 1, 2, out);
    const unsigned char want[16] = {10, 0, 20, 0, 30, 0, 40, 0, 1, 0, 2, 0, 3, 0, 4, 0};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(out[i], want[i]) << i;
}
