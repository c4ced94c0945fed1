#include <gtest/gtest.h>

#include "input/window.h"
#include "interface_fixture.h"
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

struct ChatWindow : interface_test {};
struct ChatInput : interface_test {};
struct TeamWindow : interface_test {};

TEST(ChatLines, StartsFollowPreviousCounts)
{
    chat_window chat;
    add_chat_line(chat, 2, "Welcome to Kelvarin! ", "");
    add_chat_line(chat, 1, "a: ", std::string(300, 'x').c_str());
    add_chat_line(chat, 0, "b: ", "short");
    const std::vector<chat_line>& lines = chat.lines;
    ASSERT_EQ(lines.size(), 3u);
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
    chat_window chat;
    add_chat_line(chat, 2, std::string(60, 'p').c_str(), "t");
    EXPECT_EQ(std::string(chat.lines.back().prefix).size(), 31u);
}

TEST(ChatLines, StoredLinesAreCapped)
{
    chat_window chat;
    for (int i = 0; i < CHAT_MAX_LINES * 3; ++i)
        add_chat_line(chat, 1, "x: ", std::to_string(i).c_str());
    const std::vector<chat_line>& lines = chat.lines;
    EXPECT_EQ(static_cast<int>(lines.size()), CHAT_MAX_LINES);
    EXPECT_EQ(lines.back().text, std::to_string(CHAT_MAX_LINES * 3 - 1));
    EXPECT_EQ(lines.front().line_start, 0);
    for (size_t i = 1; i < lines.size(); ++i)
        ASSERT_EQ(lines[i].line_start, lines[i - 1].line_start + lines[i - 1].line_count);
}

TEST_F(ChatWindow, ScrollsUntilTheNewestFit)
{
    lobby();
    init_chat(ui);
    for (int i = 1; i < 40; ++i)
        add_chat_line(ui.chat, 1, "x: ", "y");
    for (int i = 0; i < 100; ++i)
        simulate_chat_window(ui, 0.0f);
    EXPECT_EQ(ui.chat.scroll, 4);
}

TEST_F(ChatWindow, SlidesInAboutHalfASecond)
{
    init_chat(ui);
    chat_window& c = ui.chat;
    scoot_chat_in(c);
    simulate_chat_window(ui, 0.25f);
    EXPECT_FLOAT_EQ(c.scoot, 920.0f - 480.0f);
    simulate_chat_window(ui, 0.25f);
    EXPECT_FLOAT_EQ(c.scoot, 0.0f);
    EXPECT_FLOAT_EQ(c.scoot_dx, 0.0f);
    scoot_team_selection_in(c);
    simulate_team_window(c, 1.0f);
    EXPECT_FLOAT_EQ(c.team_scoot, 0.0f);
}

TEST_F(ChatInput, TypingAndSendingALine)
{
    lobby();
    chat_window& c = ui.chat;
    for (char ch : std::string("hello"))
        chat_key(ui, ch);
    chat_key(ui, KEY_RETURN);
    simulate_chat_window(ui, 0.0f);
    EXPECT_STREQ(c.lines.back().prefix, "tester: ");
    EXPECT_EQ(c.lines.back().text, "hello");
    EXPECT_EQ(c.lines.back().colour, 2);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(std::string(sent[0].begin(), sent[0].end()), "CHAThello");
    EXPECT_EQ(c.input_length, 0);
    // Return alone sends an empty line.
    chat_key(ui, KEY_RETURN);
    simulate_chat_window(ui, 0.0f);
    EXPECT_EQ(sent.back().size(), 4u);
    // Keys outside the typed range add nothing.
    chat_key(ui, KEY_TAB);
    chat_key(ui, KEY_UP);
    chat_key(ui, -1);
    EXPECT_EQ(c.input_length, 0);
    chat_key(ui, KEY_BACKSPACE);
    EXPECT_EQ(c.input_length, 0);
}

TEST_F(ChatInput, FullLineIgnoresEveryKey)
{
    lobby();
    chat_window& c = ui.chat;
    for (int i = 0; i < 1500; ++i)
        chat_key(ui, 'a');
    EXPECT_EQ(c.input_length, CHAT_INPUT_MAX);
    chat_key(ui, KEY_BACKSPACE);
    chat_key(ui, KEY_RETURN);
    EXPECT_EQ(c.input_length, CHAT_INPUT_MAX);
    simulate_chat_window(ui, 0.0f);
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(c.input[CHAT_INPUT_MAX], 0);
    // One below the limit, Return still fits and sends.
    c.input[--c.input_length] = 0;
    chat_key(ui, KEY_RETURN);
    simulate_chat_window(ui, 0.0f);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].size(), 4u + 1022u);
}

TEST_F(TeamWindow, ClickMovesOwnEntryBetweenCounts)
{
    lobby(1);
    init_team_buttons(ui);
    ui.chat.team_scoot = 0;
    // "Attackers" at (198, 50) in the window, 180 x 36.
    int ax = static_cast<int>(chat_x1) + 198 + 10, ay = static_cast<int>(chat_y1) + 60;
    team_click(ui, ax, ay, 1);
    EXPECT_EQ(s.parts[0].team, 0);
    EXPECT_EQ(s.teams[0].members, 1);
    EXPECT_EQ(s.teams[1].members, 0);
    team_click(ui, ax, ay, 1);  // same side again: nothing moves
    EXPECT_EQ(s.teams[0].members, 1);
    EXPECT_EQ(s.teams[1].members, 0);
    int dx = static_cast<int>(chat_x1) + 476 + 10;
    team_click(ui, dx, ay, 1);
    EXPECT_EQ(s.parts[0].team, 1);
    EXPECT_EQ(s.teams[1].members, 1);
    // The battle then begins with this copy's figure on the defenders' side.
    world& w = play_world();
    ASSERT_NE(w.me, nullptr);
    EXPECT_EQ(w.me->team, 1);
    EXPECT_FLOAT_EQ(w.me->z, -188.0f);
}
