// Selection rules, the picking window and the reading of hit records.
#include <algorithm>

#include "interface_fixture.h"
#include "render/camera.h"
#include "sim/participants.h"
#include "sim/player.h"
#include "sim/ship.h"
#include "ui/selection.h"

struct SelectName : interface_test {
    bool picked(const unit* u) const
    {
        const std::vector<uint32_t> all = selected_units(ui.selection);
        return std::find(all.begin(), all.end(), u->id) != all.end();
    }
};
using Picking = SelectName;
using StopButton = SelectName;

TEST_F(SelectName, FriendsFirstOneEnemyOnlyAlone)
{
    fresh_game(1);
    unit* enemy = soldier(0, 10, 0, HUMANOID_GOBLIN);
    unit* other_enemy = soldier(0, 20, 0, HUMANOID_GOBLIN);
    unit* f = soldier(0, 0, 1);
    const selection_state& sel = ui.selection;
    select_name(ui, enemy->id);
    EXPECT_EQ(sel.enemy, enemy->id);
    EXPECT_TRUE(picked(enemy));
    select_name(ui, other_enemy->id);  // only one enemy at a time
    EXPECT_EQ(sel.enemy, enemy->id);
    EXPECT_FALSE(picked(other_enemy));
    EXPECT_EQ(bar(5).action, nullptr);  // no command buttons for an enemy

    select_name(ui, f->id);  // a friend drops the enemy and shows the buttons
    EXPECT_NE(bar(5).action, nullptr);
    EXPECT_EQ(sel.friends.size(), 1u);
    EXPECT_EQ(sel.enemy, 0u);
    EXPECT_FALSE(picked(enemy));
    select_name(ui, f->id);  // picked again (Alt box): counted once
    EXPECT_EQ(sel.friends.size(), 1u);
    select_name(ui, enemy->id);  // with a friend selected, enemies are ignored
    EXPECT_FALSE(picked(enemy));
    select_name(ui, 0x80ABC);  // gone: ignored
    EXPECT_EQ(sel.friends.size(), 1u);

    clear_selection(ui.selection);
    EXPECT_TRUE(sel.friends.empty());
    EXPECT_FALSE(picked(f));
    EXPECT_EQ(bar(5).action, nullptr);
}

TEST_F(SelectName, DeletingASelectedUnitLeavesTheSelection)
{
    world& w = fresh_game(1);
    unit* f = soldier(0, 0, 1);
    unit* enemy = soldier(0, 10, 0, HUMANOID_GOBLIN);
    select_name(ui, f->id);
    EXPECT_NE(bar(4).action, nullptr);
    del_unit(w, f);
    EXPECT_EQ(bar(4).action, nullptr);
    EXPECT_TRUE(ui.selection.friends.empty());
    // A selected enemy that dies leaves the selection too.
    select_name(ui, enemy->id);
    del_unit(w, enemy);
    forget_gone_units(ui.selection, w);
    EXPECT_EQ(ui.selection.enemy, 0u);
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
TEST_F(Picking, AClickOrABoxPicksTheUnitsDrawnThere)
{
    world& w = fresh_game(1);
    local_player& eye = w.player;
    view_state& view = r.view;
    eye.eye_x = eye.eye_z = eye.eye_yaw = eye.eye_pitch = eye.walk_phase = view.hurt = 0.0f;
    eye.eye_y = 20.0f;
    view.zoom = 1.0f;
    view.width = 600;
    view.height = 400;
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
    unit* ship = add_ship(w, 100, 0, -300);   // drawn at 30, 9 pixels up, whatever its own height
    ship->team = 1;
    const std::vector<unit*> all{ahead, aside, near, above, behind, too_far, hidden, around_eye, ship};
    auto picked = [&](int x, int y, int x2, int y2) {
        follow_eye(view, eye);  // the view of the frame drawn last
        selection_click(ui, x, y, 1);
        selection_drag(ui, x2, y2);
        selection_click(ui, x2, y2, 0);
        std::vector<unit*> out;
        for (unit* u : all)
            if (this->picked(u))
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
    view.zoom = 5.0f;
    EXPECT_EQ(picked(360, 200, 360, 200), v{near});
    view.zoom = 1.0f;
    view.hurt = 90.0f;  // the hurt roll turns the view about the world's z
    EXPECT_EQ(picked(240, 200, 240, 200), v{above});
    view.hurt = 0.0f;
    eye.eye_yaw = 180.0f;  // turned round, the one behind is ahead
    EXPECT_EQ(picked(300, 200, 300, 200), v{behind});
}

TEST_F(StopButton, HoldsTheSelectionHereOnly)
{
    fresh_game(1);
    add_member("boss", 0x0200000A, 1, 10);
    unit* f = soldier(0, 0, 1);
    unit* g = soldier(5, 0, 1);
    f->order_kind = ORDER_MOVE;
    g->order_kind = ORDER_MOVE;
    select_name(ui, f->id);
    sent.clear();
    bar(6).action(ui);
    apply_actions();
    EXPECT_EQ(f->order_kind, ORDER_HOLD);
    EXPECT_EQ(g->order_kind, ORDER_MOVE);
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(bar(6).highlighted, 1);
}
