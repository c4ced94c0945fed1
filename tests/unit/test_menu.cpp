#include <gtest/gtest.h>

#include "game/main_loop.h"
#include "input/window.h"
#include "render/camera.h"
#include "ui/chat.h"
#include "ui/menu.h"
#include "ui/requests.h"

static void fresh_menu()
{
    g_game_width = 1280;
    g_game_height = 1024;
    menu_state = 0;
    init_main_menu_buttons();
    init_settings_buttons();
    init_team_buttons();
    chat_scoot = CHAT_OUT;
    team_scoot = TEAM_OUT;
    scoot_dx = team_scoot_dx = 0;
}

TEST(MenuFont, AdvancesFollowTheWidthTable)
{
    init_char_widths();
    EXPECT_FLOAT_EQ(string_width(1.0f, "Ab c"), 0.81f + 0.6f + 0.6f + 0.63f);
    EXPECT_FLOAT_EQ(string_width(10.0f, "1,"), 20.0f);  // digits and marks advance 1.0
    EXPECT_FLOAT_EQ(string_width(2.0f, "Mim"), 2.0f * (0.9f + 0.35f + 0.95f));
    EXPECT_FLOAT_EQ(string_width(1.0f, ""), 0.0f);
    EXPECT_FLOAT_EQ(char_width[static_cast<unsigned char>('Z')], 0.75f);
    EXPECT_FLOAT_EQ(char_width[static_cast<unsigned char>('t')], 0.45f);
    EXPECT_FLOAT_EQ(char_width[200], 1.0f);
}

TEST(MenuButtons, TeamButtonsSitAtTheirThirds)
{
    fresh_menu();
    EXPECT_EQ(team_buttons[0].x, 198);
    EXPECT_EQ(team_buttons[1].x, 476);
    EXPECT_EQ(main_buttons[MAIN_CHAT].state, BUTTON_ON);
    EXPECT_EQ(main_buttons[MAIN_TEAMS].state, BUTTON_IDLE);
}

TEST(MenuClick, WindowPixelsToVirtualUnits)
{
    fresh_menu();
    g_game_width = 600;
    g_game_height = 400;
    menu_click(300, 200, -1);
    EXPECT_EQ(latest_mouse_x, 640);
    EXPECT_EQ(latest_mouse_y, 512);
    menu_click(23, 47, 1);
    EXPECT_EQ(latest_mouse_x, 49);
    EXPECT_EQ(latest_mouse_y, 120);
    EXPECT_EQ(main_buttons[MAIN_START].state, BUTTON_IDLE);  // x must exceed 50
}

TEST(MenuClick, EdgesDoNotHit)
{
    fresh_menu();
    button* start = &main_buttons[MAIN_START];
    for (auto [x, y] : {std::pair{50, 120}, {300, 120}, {100, 100}, {100, 150}}) {
        start->state = BUTTON_IDLE;
        EXPECT_EQ(hit_test_buttons(main_buttons, NUM_MAIN_BUTTONS, x, y, 1), -1) << x << "," << y;
        EXPECT_EQ(start->state, BUTTON_IDLE);
    }
    EXPECT_EQ(hit_test_buttons(main_buttons, NUM_MAIN_BUTTONS, 51, 101, 1), MAIN_START);
    EXPECT_EQ(hit_test_buttons(main_buttons, NUM_MAIN_BUTTONS, 299, 149, 1), MAIN_START);
}

TEST(MenuClick, HoverTintsAndLeavingRestores)
{
    fresh_menu();
    menu_click(100, 320, -1);
    EXPECT_EQ(main_buttons[MAIN_QUIT].state, BUTTON_HOVER);
    menu_click(100, 320, 0);  // release leaves it alone
    EXPECT_EQ(main_buttons[MAIN_QUIT].state, BUTTON_HOVER);
    menu_click(600, 600, -1);
    EXPECT_EQ(main_buttons[MAIN_QUIT].state, BUTTON_IDLE);
    EXPECT_EQ(main_buttons[MAIN_CHAT].state, BUTTON_ON);  // toggles keep their state
    menu_click(100, 320, 3);  // other buttons press nothing
    EXPECT_EQ(main_buttons[MAIN_QUIT].state, BUTTON_IDLE);
}

TEST(MenuClick, ChatAndTeamsAreExclusive)
{
    fresh_menu();
    menu_click(800, 970, 1);  // Teams
    EXPECT_EQ(main_buttons[MAIN_TEAMS].state, BUTTON_ON);
    EXPECT_EQ(main_buttons[MAIN_CHAT].state, BUTTON_IDLE);
    EXPECT_GT(scoot_dx, 0);
    EXPECT_LT(team_scoot_dx, 0);
    menu_click(800, 970, 1);  // pressing it again keeps it on
    EXPECT_EQ(main_buttons[MAIN_TEAMS].state, BUTTON_ON);
    menu_click(500, 970, 1);  // Chat
    EXPECT_EQ(main_buttons[MAIN_CHAT].state, BUTTON_ON);
    EXPECT_EQ(main_buttons[MAIN_TEAMS].state, BUTTON_IDLE);
    EXPECT_LT(scoot_dx, 0);
    EXPECT_GT(team_scoot_dx, 0);
}

TEST(MenuClick, SettingsAndBack)
{
    fresh_menu();
    menu_click(100, 220, 1);
    EXPECT_EQ(main_menu_step(), 0);
    EXPECT_EQ(menu_state, 1);
    EXPECT_GT(scoot_dx, 0);  // the chat slides out
    menu_click(100, 420, 1);  // Main Menu
    EXPECT_LT(scoot_dx, 0);
    EXPECT_EQ(settings_buttons[SETTINGS_MAIN_MENU].state, BUTTON_ON);
}

TEST(MenuClick, QuitAsksTheProgramToEnd)
{
    fresh_menu();
    menu_click(100, 320, 1);
    EXPECT_EQ(main_menu_step(), 0);
    EXPECT_EQ(take_request(), ui_request::quit);  // the program ends its loop
}
