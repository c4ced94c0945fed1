#include <gtest/gtest.h>

#include "input/window.h"
#include "interface_fixture.h"
#include "render/camera.h"
#include "ui/chat.h"
#include "ui/menu.h"
#include "ui/requests.h"

// The menu as it opens: the main page, its buttons, the chat and team
// windows away.
struct menu_test : interface_test {
    menu_test()
    {
        ui.menu.page = 0;
        init_main_menu_buttons(ui);
        init_settings_buttons(ui);
        init_team_buttons(ui);
    }
    button* main_buttons = ui.menu.main;
    button* settings_buttons = ui.menu.settings;
    button* team_buttons = ui.menu.teams;
};
using MenuButtons = menu_test;
using MenuClick = menu_test;

TEST(MenuFont, AdvancesFollowTheWidthTable)
{
    menu_font f;
    init_char_widths(f);
    EXPECT_FLOAT_EQ(string_width(f, 1.0f, "Ab c"), 0.81f + 0.6f + 0.6f + 0.63f);
    EXPECT_FLOAT_EQ(string_width(f, 10.0f, "1,"), 20.0f);  // digits and marks advance 1.0
    EXPECT_FLOAT_EQ(string_width(f, 2.0f, "Mim"), 2.0f * (0.9f + 0.35f + 0.95f));
    EXPECT_FLOAT_EQ(string_width(f, 1.0f, ""), 0.0f);
    EXPECT_FLOAT_EQ(f.width[static_cast<unsigned char>('Z')], 0.75f);
    EXPECT_FLOAT_EQ(f.width[static_cast<unsigned char>('t')], 0.45f);
    EXPECT_FLOAT_EQ(f.width[200], 1.0f);
}

TEST_F(MenuButtons, TeamButtonsSitAtTheirThirds)
{
    EXPECT_EQ(team_buttons[0].x, 198);
    EXPECT_EQ(team_buttons[1].x, 476);
    EXPECT_EQ(main_buttons[MAIN_CHAT].state, BUTTON_ON);
    EXPECT_EQ(main_buttons[MAIN_TEAMS].state, BUTTON_IDLE);
}

TEST_F(MenuClick, WindowPixelsToVirtualUnits)
{
    r.view.width = 600;
    r.view.height = 400;
    menu_click(ui, 300, 200, -1);
    EXPECT_EQ(ui.menu.mouse_x, 640);
    EXPECT_EQ(ui.menu.mouse_y, 512);
    menu_click(ui, 23, 47, 1);
    EXPECT_EQ(ui.menu.mouse_x, 49);
    EXPECT_EQ(ui.menu.mouse_y, 120);
    EXPECT_EQ(main_buttons[MAIN_START].state, BUTTON_IDLE);  // x must exceed 50
}

TEST_F(MenuClick, EdgesDoNotHit)
{
    button* start = &main_buttons[MAIN_START];
    for (auto [x, y] : {std::pair{50, 120}, {300, 120}, {100, 100}, {100, 150}}) {
        start->state = BUTTON_IDLE;
        EXPECT_EQ(hit_test_buttons(main_buttons, NUM_MAIN_BUTTONS, x, y, 1), -1) << x << "," << y;
        EXPECT_EQ(start->state, BUTTON_IDLE);
    }
    EXPECT_EQ(hit_test_buttons(main_buttons, NUM_MAIN_BUTTONS, 51, 101, 1), MAIN_START);
    EXPECT_EQ(hit_test_buttons(main_buttons, NUM_MAIN_BUTTONS, 299, 149, 1), MAIN_START);
}

TEST_F(MenuClick, HoverTintsAndLeavingRestores)
{
    menu_click(ui, 100, 320, -1);
    EXPECT_EQ(main_buttons[MAIN_QUIT].state, BUTTON_HOVER);
    menu_click(ui, 100, 320, 0);  // release leaves it alone
    EXPECT_EQ(main_buttons[MAIN_QUIT].state, BUTTON_HOVER);
    menu_click(ui, 600, 600, -1);
    EXPECT_EQ(main_buttons[MAIN_QUIT].state, BUTTON_IDLE);
    EXPECT_EQ(main_buttons[MAIN_CHAT].state, BUTTON_ON);  // toggles keep their state
    menu_click(ui, 100, 320, 3);  // other buttons press nothing
    EXPECT_EQ(main_buttons[MAIN_QUIT].state, BUTTON_IDLE);
}

TEST_F(MenuClick, ChatAndTeamsAreExclusive)
{
    menu_click(ui, 800, 970, 1);  // Teams
    EXPECT_EQ(main_buttons[MAIN_TEAMS].state, BUTTON_ON);
    EXPECT_EQ(main_buttons[MAIN_CHAT].state, BUTTON_IDLE);
    EXPECT_GT(ui.chat.scoot_dx, 0);
    EXPECT_LT(ui.chat.team_scoot_dx, 0);
    menu_click(ui, 800, 970, 1);  // pressing it again keeps it on
    EXPECT_EQ(main_buttons[MAIN_TEAMS].state, BUTTON_ON);
    menu_click(ui, 500, 970, 1);  // Chat
    EXPECT_EQ(main_buttons[MAIN_CHAT].state, BUTTON_ON);
    EXPECT_EQ(main_buttons[MAIN_TEAMS].state, BUTTON_IDLE);
    EXPECT_LT(ui.chat.scoot_dx, 0);
    EXPECT_GT(ui.chat.team_scoot_dx, 0);
}

TEST_F(MenuClick, SettingsAndBack)
{
    menu_click(ui, 100, 220, 1);
    EXPECT_EQ(main_menu_step(ui), 0);
    EXPECT_EQ(ui.menu.page, 1);
    EXPECT_GT(ui.chat.scoot_dx, 0);  // the chat slides out
    menu_click(ui, 100, 420, 1);  // Main Menu
    EXPECT_LT(ui.chat.scoot_dx, 0);
    EXPECT_EQ(settings_buttons[SETTINGS_MAIN_MENU].state, BUTTON_ON);
}

TEST_F(MenuClick, QuitAsksTheProgramToEnd)
{
    menu_click(ui, 100, 320, 1);
    EXPECT_EQ(main_menu_step(ui), 0);
    EXPECT_EQ(take_request(ui), ui_request::quit);  // the program ends its loop
}
