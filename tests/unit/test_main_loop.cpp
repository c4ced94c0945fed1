#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include <memory>

#include "game/main_loop.h"
#include "input/window.h"
#include "sim/messages.h"
#include "sound/sound.h"

namespace {

// The command line's words read into a fresh program (the window word is
// the window's own, kept apart).
struct Args : testing::Test {
    std::unique_ptr<program> p;
    void parse(std::vector<std::string> words)
    {
        p = std::make_unique<program>();
        do_window = 0;
        std::vector<char*> argv;
        static std::string name = "kelvarin";
        argv.push_back(name.data());
        for (auto& w : words)
            argv.push_back(w.data());
        parse_args(*p, static_cast<int>(argv.size()), argv.data());
    }
    void TearDown() override { do_window = 0; }
};

} // namespace

TEST_F(Args, LongNamesAreCutTo31Characters)
{
    parse({std::string(40, 'a')});
    EXPECT_EQ(p->s.username, std::string(31, 'a'));
    parse({std::string(31, 'b')});
    EXPECT_EQ(p->s.username, std::string(31, 'b'));
}

TEST_F(Args, OptionWordsAfterTheName)
{
    parse({"arthur", "WINDOW", "GOD", "bogus", "WINDOW"});
    EXPECT_EQ(p->s.username, "arthur");
    EXPECT_EQ(do_window, 1);
    EXPECT_EQ(p->s.god, 1);
    EXPECT_EQ(p->snd.on, 0);
    EXPECT_FALSE(p->positions.write);

    parse({"x", "SOUND", "LOG_POSITION", "REPLAY_P_LOG"});
    EXPECT_EQ(p->snd.on, 1);
    EXPECT_TRUE(p->positions.write);
    EXPECT_TRUE(p->positions.replay);
}

TEST_F(Args, FirstWordIsAlwaysTheNameAndCaseMatters)
{
    parse({"WINDOW"});
    EXPECT_EQ(p->s.username, "WINDOW");
    EXPECT_EQ(do_window, 0);

    parse({"arthur", "window", "god"});
    EXPECT_EQ(do_window, 0);
    EXPECT_EQ(p->s.god, 0);

    parse({});
    EXPECT_TRUE(p->s.username.empty());
}

TEST(Teams, InitialTable)
{
    team_entry teams[2];
    init_teams(teams);
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
