#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "game/main_loop.h"
#include "input/window.h"
#include "sim/messages.h"
#include "sound/sound.h"

namespace {

void reset_flags()
{
    do_log_position = do_replay_position = do_sound = do_god = do_window = 0;
    default_username = nullptr;
}

void parse(std::vector<std::string> words)
{
    std::vector<char*> argv;
    static std::string program = "kelvarin";
    argv.push_back(program.data());
    for (auto& w : words)
        argv.push_back(w.data());
    parse_args(static_cast<int>(argv.size()), argv.data());
}

} // namespace

TEST(Args, LongNamesAreCutTo31Characters)
{
    reset_flags();
    parse({std::string(40, 'a')});
    ASSERT_NE(default_username, nullptr);
    EXPECT_EQ(std::string(default_username), std::string(31, 'a'));
    reset_flags();
    parse({std::string(31, 'b')});
    EXPECT_EQ(std::string(default_username), std::string(31, 'b'));
}

TEST(Args, OptionWordsAfterTheName)
{
    reset_flags();
    parse({"arthur", "WINDOW", "GOD", "bogus", "WINDOW"});
    EXPECT_STREQ(default_username, "arthur");
    EXPECT_EQ(do_window, 1);
    EXPECT_EQ(do_god, 1);
    EXPECT_EQ(do_sound, 0);
    EXPECT_EQ(do_log_position, 0);

    reset_flags();
    parse({"x", "SOUND", "LOG_POSITION", "REPLAY_P_LOG"});
    EXPECT_EQ(do_sound, 1);
    EXPECT_EQ(do_log_position, 1);
    EXPECT_EQ(do_replay_position, 1);
}

TEST(Args, FirstWordIsAlwaysTheNameAndCaseMatters)
{
    reset_flags();
    parse({"WINDOW"});
    EXPECT_STREQ(default_username, "WINDOW");
    EXPECT_EQ(do_window, 0);

    reset_flags();
    parse({"arthur", "window", "god"});
    EXPECT_EQ(do_window, 0);
    EXPECT_EQ(do_god, 0);

    reset_flags();
    parse({});
    EXPECT_EQ(default_username, nullptr);
}

TEST(Teams, InitialTable)
{
    init_teams();
    EXPECT_STREQ(teams[0].name, "Attackers");
    EXPECT_STREQ(teams[1].name, "Defenders");
    EXPECT_FLOAT_EQ(teams[0].r, 1.0f);
    EXPECT_FLOAT_EQ(teams[0].g, 0.5f);
    EXPECT_FLOAT_EQ(teams[1].g, 1.0f);
    EXPECT_EQ(teams[0].members, 0);
}

TEST(PositionLog, RecordsAreLittleEndianAndTruncatedTailIsIgnored)
{
    const char* path = "test_path.dat";
    std::remove(path);
    ASSERT_TRUE(append_position_record(path, {1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 0.0f, 0.0f}));
    ASSERT_TRUE(append_position_record(path, {-1.5f, 0, 0, 0, 0, 90.0f, 0, 0}));

    FILE* f = fopen(path, "rb");
    ASSERT_NE(f, nullptr);
    unsigned char first[4];
    ASSERT_EQ(fread(first, 1, 4, f), 4u);
    // 1.0f is 0x3F800000
    EXPECT_EQ(first[0], 0x00);
    EXPECT_EQ(first[3], 0x3F);
    fclose(f);

    // Append half a record: it must not be applied.
    f = fopen(path, "ab");
    fwrite("0123456789abcdef", 1, 16, f);
    fclose(f);

    f = fopen(path, "rb");
    position_record rec{};
    ASSERT_TRUE(read_position_record(f, rec));
    EXPECT_FLOAT_EQ(rec.y, 2.0f);
    EXPECT_FLOAT_EQ(rec.yaw, 6.0f);
    ASSERT_TRUE(read_position_record(f, rec));
    EXPECT_FLOAT_EQ(rec.x, -1.5f);
    EXPECT_FLOAT_EQ(rec.yaw, 90.0f);
    EXPECT_FALSE(read_position_record(f, rec));
    fclose(f);
    EXPECT_FALSE(read_position_record(nullptr, rec));
    std::remove(path);
}
