#include <gtest/gtest.h>

#include "net_test_support.h"
#include "input/window.h"
#include "ui/menu.h"
#include "ui/chat.h"

TEST(ChatLines, CountsWrapAtTheWindowWidth)
{
    chat_line e{};
    snprintf(e.prefix, sizeof e.prefix, "%s", "name: ");
    e.text = std::string(194, 'a');  // 200 characters in all
    EXPECT_EQ(count_lines(e), 2);
    e.text = std::string(102, 'a');  // 108 * 8 = 864 < 865
    EXPECT_EQ(count_lines(e), 1);
    e.text = std::string(103, 'a');
    EXPECT_EQ(count_lines(e), 2);
}

TEST(ChatLines, StartsFollowPreviousCounts)
{
    init_chat();
    add_chat_line(1, "a: ", std::string(300, 'x').c_str());
    add_chat_line(0, "b: ", "short");
    ASSERT_EQ(nchat_lines, 3);
    EXPECT_EQ(lines[1].line_start, 1);
    EXPECT_EQ(lines[1].line_count, 3);
    EXPECT_EQ(lines[2].line_start, 4);
    EXPECT_STREQ(lines[0].prefix, "Welcome to Kelvarin! ");
}

TEST(ChatLines, LayoutWrapsAndStopsAtTheBottom)
{
    auto g = layout_chat_text(110, 5, 21);
    ASSERT_EQ(g.size(), 110u);
    EXPECT_EQ(g[0].x, 5);
    EXPECT_EQ(g[106].x, 5 + 106 * 8);  // 853: the last column before 855
    EXPECT_EQ(g[106].y, 21);
    EXPECT_EQ(g[107].x, 5);
    EXPECT_EQ(g[107].y, 37);
    auto tall = layout_chat_text(100000, 5, 21);
    EXPECT_LE(tall.back().y, chat_dy - 5);
    EXPECT_LT(tall.size(), 100000u);
}

TEST(ChatLines, PrefixIsCutTo31Characters)
{
    init_chat();
    add_chat_line(2, std::string(60, 'p').c_str(), "t");
    EXPECT_EQ(std::string(lines.back().prefix).size(), 31u);
}

TEST(ChatLines, StoredLinesAreCapped)
{
    init_chat();
    for (int i = 0; i < CHAT_MAX_LINES * 3; ++i)
        add_chat_line(1, "x: ", std::to_string(i).c_str());
    EXPECT_EQ(nchat_lines, CHAT_MAX_LINES);
    EXPECT_EQ(lines.back().text, std::to_string(CHAT_MAX_LINES * 3 - 1));
    EXPECT_EQ(lines.front().line_start, 0);
    for (size_t i = 1; i < lines.size(); ++i)
        ASSERT_EQ(lines[i].line_start, lines[i - 1].line_start + lines[i - 1].line_count);
}

TEST(ChatWindow, ScrollsUntilTheNewestFit)
{
    reset_lobby();
    init_chat();
    for (int i = 1; i < 40; ++i)
        add_chat_line(1, "x: ", "y");
    for (int i = 0; i < 100; ++i)
        simulate_chat_window(0.0f);
    EXPECT_EQ(scroll, 4);
}

TEST(ChatWindow, SlidesInAboutHalfASecond)
{
    init_chat();
    scoot_chat_in();
    simulate_chat_window(0.25f);
    EXPECT_FLOAT_EQ(chat_scoot, 920.0f - 480.0f);
    simulate_chat_window(0.25f);
    EXPECT_FLOAT_EQ(chat_scoot, 0.0f);
    EXPECT_FLOAT_EQ(scoot_dx, 0.0f);
    scoot_team_selection_in();
    simulate_team_window(1.0f);
    EXPECT_FLOAT_EQ(team_scoot, 0.0f);
}

TEST(ChatInput, TypingAndSendingALine)
{
    reset_lobby();
    clear_chat_input();
    for (char c : std::string("hello"))
        chat_key(c);
    chat_key(KEY_RETURN);
    simulate_chat_window(0.0f);
    EXPECT_STREQ(lines.back().prefix, "tester: ");
    EXPECT_EQ(lines.back().text, "hello");
    EXPECT_EQ(lines.back().colour, 2);
    ASSERT_EQ(sent_datagrams().size(), 1u);
    EXPECT_EQ(std::string(sent_datagrams()[0].begin(), sent_datagrams()[0].end()), "CHAThello");
    EXPECT_EQ(chat_buffer_index, 0);
    // Return alone sends an empty line.
    chat_key(KEY_RETURN);
    simulate_chat_window(0.0f);
    EXPECT_EQ(sent_datagrams().back().size(), 4u);
    // Keys outside the typed range add nothing.
    chat_key(KEY_TAB);
    chat_key(KEY_UP);
    chat_key(-1);
    EXPECT_EQ(chat_buffer_index, 0);
    chat_key(KEY_BACKSPACE);
    EXPECT_EQ(chat_buffer_index, 0);
}

TEST(ChatInput, FullLineIgnoresEveryKey)
{
    reset_lobby();
    clear_chat_input();
    for (int i = 0; i < 1500; ++i)
        chat_key('a');
    EXPECT_EQ(chat_buffer_index, CHAT_INPUT_MAX);
    chat_key(KEY_BACKSPACE);
    chat_key(KEY_RETURN);
    EXPECT_EQ(chat_buffer_index, CHAT_INPUT_MAX);
    simulate_chat_window(0.0f);
    EXPECT_TRUE(sent_datagrams().empty());
    EXPECT_EQ(chat_buffer[CHAT_INPUT_MAX], 0);
    // One below the limit, Return still fits and sends.
    chat_buffer[--chat_buffer_index] = 0;
    chat_key(KEY_RETURN);
    simulate_chat_window(0.0f);
    ASSERT_EQ(sent_datagrams().size(), 1u);
    EXPECT_EQ(sent_datagrams()[0].size(), 4u + 1022u);
}

TEST(TeamWindow, ClickMovesOwnEntryBetweenCounts)
{
    reset_lobby(1);
    init_team_buttons();
    team_scoot = 0;
    // "Attackers" at (198, 50) in the window, 180 x 36.
    int ax = static_cast<int>(chat_x1) + 198 + 10, ay = static_cast<int>(chat_y1) + 60;
    team_click(ax, ay, 1);
    EXPECT_EQ(parts[0].team, 0);
    EXPECT_EQ(me->team, 0);
    EXPECT_EQ(teams[0].members, 1);
    EXPECT_EQ(teams[1].members, 0);
    team_click(ax, ay, 1);  // same side again: nothing moves
    EXPECT_EQ(teams[0].members, 1);
    EXPECT_EQ(teams[1].members, 0);
    int dx = static_cast<int>(chat_x1) + 476 + 10;
    team_click(dx, ay, 1);
    EXPECT_EQ(parts[0].team, 1);
    EXPECT_EQ(teams[1].members, 1);
    EXPECT_FLOAT_EQ(me->z, -188.0f);  // defenders are placed at once
}
