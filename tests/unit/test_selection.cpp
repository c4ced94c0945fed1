// Selection rules, the picking window and the reading of hit records.
#include "armies_test_support.h"
#include "ui/interface.h"
#include "ui/selection.h"
#include "game/main_loop.h"
#include "ui/hud.h"

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

TEST(HitRecords, EveryNameOfEveryRecordInOrderNeverPastTheEnd)
{
    fresh_game(1);
    unit* a = soldier(0, 0, 1);
    unit* b = soldier(5, 0, 1);
    // [99] for the ground, [99, a], [99, b]
    const uint32_t buf[] = {1, 0, 0, 99, 2, 5, 6, 99, a->id, 2, 1, 2, 99, b->id};
    EXPECT_EQ(select_hit_records(buf, 14, 3), 5);
    EXPECT_EQ(friends_selected, 2);
    // A record claiming more names than the buffer holds is not followed.
    clear_selection();
    const uint32_t cut[] = {2, 0, 0, 99, a->id, 1000, 0, 0, b->id};
    EXPECT_EQ(select_hit_records(cut, 9, 2), 2);
    EXPECT_EQ(a->selected, 1);
    EXPECT_EQ(b->selected, 0);
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
