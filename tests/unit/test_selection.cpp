// Selection rules, the picking window and the reading of hit records.
#include "armies_test_support.h"
#include "ui/interface.h"
#include "ui/selection.h"
#include "game/main_loop.h"
#include "ui/hud.h"
#include "render/camera.h"
#include "sim/participants.h"
#include "sim/player.h"
#include "sim/ship.h"

// The command bar as the player's state makes it now, and the banner once
// the simulation's events have been shown.
[[maybe_unused]] static const button_slot& bar(int slot)
{
    refresh_command_bar();
    return the_buttons[slot];
}
[[maybe_unused]] static const banner_state& banner()
{
    deliver_events();
    return current_banner();
}


TEST(SelectName, FriendsFirstOneEnemyOnlyAlone)
{
    fresh_game(1);
    unit* enemy = soldier(0, 10, 0, HUMANOID_GOBLIN);
    unit* other_enemy = soldier(0, 20, 0, HUMANOID_GOBLIN);
    unit* f = soldier(0, 0, 1);
    select_name(enemy->id);
    EXPECT_EQ(enemy_selected, enemy);
    EXPECT_EQ(enemy->selected, 1);
    select_name(other_enemy->id);  // only one enemy at a time
    EXPECT_EQ(enemy_selected, enemy);
    EXPECT_EQ(other_enemy->selected, 0);
    EXPECT_EQ(bar(5).action, nullptr);  // no command buttons for an enemy

    select_name(f->id);  // a friend drops the enemy and shows the buttons
    EXPECT_NE(bar(5).action, nullptr);
    EXPECT_EQ(friends_selected, 1);
    EXPECT_EQ(enemy_selected, nullptr);
    EXPECT_EQ(enemy->selected, 0);
    select_name(f->id);  // picked again (Alt box): counted once
    EXPECT_EQ(friends_selected, 1);
    select_name(enemy->id);  // with a friend selected, enemies are ignored
    EXPECT_EQ(enemy->selected, 0);
    select_name(0x80ABC);  // gone: ignored
    EXPECT_EQ(friends_selected, 1);

    clear_selection();
    EXPECT_EQ(friends_selected, 0);
    EXPECT_EQ(f->selected, 0);
    EXPECT_EQ(bar(5).action, nullptr);
}

TEST(SelectName, DeletingASelectedFriendHidesTheButtons)
{
    fresh_game(1);
    unit* f = soldier(0, 0, 1);
    select_name(f->id);
    EXPECT_NE(bar(4).action, nullptr);
    del_unit(f);
    EXPECT_EQ(friends_selected, 0);
    EXPECT_EQ(bar(4).action, nullptr);
}

TEST(PickWindow, ClickPicksSixBySixDragPicksItsBox)
{
    pick_window p = make_pick_window(300, 200, 300, 200, 600, 400);
    EXPECT_EQ(p.left, -3);
    EXPECT_EQ(p.right, 3);
    EXPECT_EQ(p.bottom, -3);
    EXPECT_EQ(p.top, 3);
    p = make_pick_window(100, 50, 250, 300, 600, 400);
    EXPECT_EQ(p.left, -200);
    EXPECT_EQ(p.right, -50);
    EXPECT_EQ(p.bottom, -100);
    EXPECT_EQ(p.top, 150);
    p = make_pick_window(10, 10, 15, 100, 600, 400);  // narrow only: widened only across
    EXPECT_EQ(p.right - p.left, 11);
    EXPECT_EQ(p.top - p.bottom, 90);
}

// The eye at (0, 20, 0) looks along -z at a 600 x 400 picture: a point d
// ahead and s aside shows 300 s / d pixels right of the centre, s up 267 s
// / d pixels above it (at zoom 1).
TEST(Picking, AClickOrABoxPicksTheUnitsDrawnThere)
{
    fresh_game(1);
    eye_x = eye_z = eye_yaw = eye_pitch = walk_phase = got_hurt = 0.0f;
    eye_y = 20.0f;
    g_zoom = 1.0f;
    g_game_width = 600;
    g_game_height = 400;
    unit* ahead = soldier(0, -50, 1);
    unit* aside = soldier(10, -50, 1);     // 60 pixels right
    unit* near = soldier(2, -50, 1);       // 12 right: 60 at zoom 5
    unit* above = soldier(0, -50, 1);      // 53 up; 60 left with the view rolled a quarter turn
    above->y = 30.0f;
    unit* behind = soldier(0, 50, 1);
    unit* too_far = soldier(0, -900, 1);   // picking reaches 800
    unit* hidden = soldier(0, -60, 1);
    hidden->invisible = 1;
    unit* around_eye = soldier(0, 0, 1);   // its box holds the eye: only its back faces are turned to it
    unit* ship = add_ship(100, 0, -300);   // drawn at 30, 9 pixels up, whatever its own height
    ship->team = 1;
    const std::vector<unit*> all{ahead, aside, near, above, behind, too_far, hidden, around_eye, ship};
    auto picked = [&](int x, int y, int x2, int y2) {
        selection_click(x, y, 1);
        selection_drag(x2, y2);
        selection_click(x2, y2, 0);
        std::vector<unit*> out;
        for (unit* u : all)
            if (u->selected)
                out.push_back(u);
        return out;
    };
    using v = std::vector<unit*>;
    EXPECT_EQ(picked(300, 200, 300, 200), v{ahead});
    EXPECT_EQ(picked(360, 200, 360, 200), v{aside});
    EXPECT_EQ(picked(312, 200, 312, 200), v{near});
    EXPECT_EQ(picked(300, 147, 300, 147), v{above});
    EXPECT_EQ(picked(330, 200, 330, 200), v{});
    EXPECT_EQ(picked(400, 191, 400, 191), v{ship});
    EXPECT_EQ(picked(400, 218, 400, 218), v{});
    EXPECT_EQ(picked(250, 130, 370, 215), (v{ahead, aside, near, above}));
    EXPECT_EQ(picked(0, 0, 599, 399), (v{ahead, aside, near, above, ship}));
    g_zoom = 5.0f;
    EXPECT_EQ(picked(360, 200, 360, 200), v{near});
    g_zoom = 1.0f;
    got_hurt = 90.0f;  // the hurt roll turns the view about the world's z
    EXPECT_EQ(picked(240, 200, 240, 200), v{above});
    got_hurt = 0.0f;
    eye_yaw = 180.0f;  // turned round, the one behind is ahead
    EXPECT_EQ(picked(300, 200, 300, 200), v{behind});
    eye_yaw = 0.0f;
    g_game_width = g_game_height = 0;
}

TEST(StopButton, HoldsTheSelectionHereOnly)
{
    fresh_game(1);
    add_member("boss", 0x0200000A, 1, 10);
    unit* f = soldier(0, 0, 1);
    unit* g = soldier(5, 0, 1);
    f->order_kind = ORDER_MOVE;
    g->order_kind = ORDER_MOVE;
    select_name(f->id);
    sent_datagrams().clear();
    bar(6).action();
    EXPECT_EQ(f->order_kind, ORDER_HOLD);
    EXPECT_EQ(g->order_kind, ORDER_MOVE);
    EXPECT_TRUE(sent_datagrams().empty());
    EXPECT_EQ(bar(6).highlighted, 1);
}
