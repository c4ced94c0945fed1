#include <gtest/gtest.h>

#include <cmath>

#include "interface_fixture.h"
#include "render/camera.h"
#include "render/textures.h"
#include "sim/light.h"
#include "sim/magic.h"
#include "sim/participants.h"
#include "sim/player.h"
#include "sim/terrain.h"
#include "sim/units.h"
#include "sim/walls.h"
#include "ui/selection.h"

namespace {

void stand_at(local_player& p, float x, float y, float z)
{
    p.eye_x = x;
    p.eye_y = y;
    p.eye_z = z;
    p.eye_vx = p.eye_vy = p.eye_vz = 0;
    p.eye_yaw = 0;
    p.eye_pitch = 0;
    p.eye_float = 2.0f;
    p.next_jump = 0;
    p.next_collision_test = 0;
}

} // namespace

struct Movement : game_test {};
struct CommandBar : interface_test {};
struct PlayKeys : interface_test {};

TEST(Walking, DirectionsFollowTheYawAndDiagonalsAreRescaled)
{
    local_player p;
    move_keys keys{};
    float m[2];
    keys.forward = true;
    walk_motion(p, keys, 0.0f, 15.0f, 0.1f, m);
    EXPECT_NEAR(m[0], 0.0f, 1e-6);
    EXPECT_NEAR(m[1], -1.5f, 1e-6);  // yaw 0 walks along -z
    walk_motion(p, keys, 90.0f, 15.0f, 0.1f, m);
    EXPECT_NEAR(m[0], 1.5f, 1e-6);
    EXPECT_NEAR(m[1], 0.0f, 1e-6);

    keys.right = true;  // "w" + "d": full speed, not faster
    walk_motion(p, keys, 0.0f, 15.0f, 0.1f, m);
    EXPECT_NEAR(std::hypot(m[0], m[1]), 1.5f, 1e-5);
    EXPECT_NEAR(m[0], 1.5f / std::sqrt(2.0f), 1e-5);
    EXPECT_NEAR(m[1], -1.5f / std::sqrt(2.0f), 1e-5);

    move_keys back_left{};
    back_left.back = back_left.left = true;
    walk_motion(p, back_left, 0.0f, 45.0f, 0.02f, m);
    EXPECT_NEAR(std::hypot(m[0], m[1]), 0.9f, 1e-5);
    EXPECT_LT(m[0], 0.0f);
    EXPECT_GT(m[1], 0.0f);

    move_keys opposite{};
    opposite.forward = opposite.back = true;
    walk_motion(p, opposite, 33.0f, 15.0f, 0.1f, m);
    EXPECT_EQ(m[0], 0.0f);
    EXPECT_EQ(m[1], 0.0f);
}

TEST(Walking, WalkPhaseAdvancesForwardAndBackOnTheRight)
{
    local_player p;
    p.walk_phase = 0;
    move_keys keys{};
    keys.forward = true;
    float m[2];
    walk_motion(p, keys, 0, 15, 0.5f, m);
    EXPECT_FLOAT_EQ(p.walk_phase, 5.0f);
    keys.forward = false;
    keys.right = true;
    walk_motion(p, keys, 0, 15, 0.2f, m);
    EXPECT_FLOAT_EQ(p.walk_phase, 3.0f);
}

TEST(Walking, WorldClamp)
{
    EXPECT_EQ(clamp_to_world(300.0f), 256.0f);
    EXPECT_EQ(clamp_to_world(-256.5f), -256.0f);
    EXPECT_EQ(clamp_to_world(12.5f), 12.5f);
}

TEST(Gravity, SnapsBelowStandingHeightAndPullsOnlyFromATenthAbove)
{
    local_player p;
    stand_at(p, 0, 15, 0);
    p.eye_vy = -3;
    apply_vertical(p, 20.0f, 0.1f);  // below 22: snapped, stopped
    EXPECT_EQ(p.eye_y, 22.0f);
    EXPECT_EQ(p.eye_vy, 0.0f);

    p.eye_y = 22.05f;  // 0.05 above: neither pulled nor snapped
    apply_vertical(p, 20.0f, 0.1f);
    EXPECT_EQ(p.eye_y, 22.05f);
    EXPECT_EQ(p.eye_vy, 0.0f);

    p.eye_y = 30.0f;  // on land, falling at 112.5
    apply_vertical(p, 20.0f, 0.1f);
    EXPECT_FLOAT_EQ(p.eye_vy, -11.25f);
    EXPECT_FLOAT_EQ(p.eye_y, 30.0f - 1.125f);

    stand_at(p, 0, 8, 0);  // in the water: 45
    apply_vertical(p, -10.0f, 0.1f);
    EXPECT_FLOAT_EQ(p.eye_vy, -4.5f);
    EXPECT_FLOAT_EQ(p.eye_y, 8.0f - 0.45f);
}

TEST_F(Movement, AStepWalksAndKeepsTheEyeOnTheGround)
{
    world& w = fresh_game();
    local_player& p = w.player;
    flat_ground(20.0f);
    w.time = 5.0f;
    stand_at(p, 0, 22, 0);
    move_keys keys{};
    keys.forward = true;
    move_eye(w, 0.1f, keys);
    EXPECT_NEAR(p.eye_z, -1.5f, 1e-5);
    EXPECT_NEAR(p.eye_x, 0.0f, 1e-6);
    EXPECT_NEAR(p.eye_y, 22.0f, 1e-5);
    EXPECT_NEAR(p.eye_vz, -15.0f, 1e-3);

    // over the edge of the world: clamped before the motion
    stand_at(p, 300, 22, 0);
    move_eye(w, 0.1f, move_keys{});
    EXPECT_EQ(p.eye_x, 256.0f);

    // god mode: three times the speed, "e" lifts the standing height by 0.2
    // a tuned step (8 a second)
    stand_at(p, 0, 22, 0);
    s.god = 1;
    keys.rise = true;
    move_eye(w, 0.1f, keys);
    EXPECT_NEAR(p.eye_z, -4.5f, 1e-5);
    EXPECT_FLOAT_EQ(p.eye_float, 2.8f);
}

TEST_F(Movement, JumpOnceASecondOnLandButPaddleEveryFrameInWater)
{
    world& w = fresh_game();
    local_player& p = w.player;
    flat_ground(20.0f);
    w.time = 10.0f;
    stand_at(p, 0, 22, 0);
    move_keys keys{};
    keys.jump = true;
    move_eye(w, 0.01f, keys);
    EXPECT_EQ(p.eye_vy, 45.0f);
    EXPECT_FLOAT_EQ(p.next_jump, 11.0f);
    float after_first = p.eye_y;
    EXPECT_GT(after_first, 22.0f);
    w.time = 10.5f;
    move_eye(w, 0.01f, keys);  // too soon: gravity only
    EXPECT_LT(p.eye_vy, 45.0f);

    flat_ground(-5.0f);  // open water: eye at 3 < 10
    stand_at(p, 0, 3, 0);
    w.time = 20.0f;
    move_eye(w, 0.01f, keys);
    EXPECT_EQ(p.eye_vy, 15.0f);
    EXPECT_EQ(p.next_jump, 20.0f);
    w.time = 20.01f;
    move_eye(w, 0.01f, keys);
    EXPECT_EQ(p.eye_vy, 15.0f);  // lifted again at once
}

TEST_F(Movement, NonFiniteStateIsRepairedAndReported)
{
    world& w = fresh_game();
    local_player& p = w.player;
    flat_ground(20.0f);
    stand_at(p, 0, 22, 0);
    p.eye_vy = NAN;
    testing::internal::CaptureStdout();
    move_eye(w, 0.1f, move_keys{});
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("ACK!"), std::string::npos);
    EXPECT_TRUE(std::isfinite(p.eye_y));
    EXPECT_TRUE(std::isfinite(p.eye_vy));
}

// The zoom eases on the view's own clock.
TEST(Zoom, EasesToFiveInAThirdOfASecondAndBack)
{
    view_state v;
    v.clock = 100.0f;
    v.zoom = 1;
    v.target_zoom = 1;
    v.target_zoom_time = 0;
    update_zoom(v, true);
    EXPECT_FLOAT_EQ(v.zoom, 1.0f);
    v.clock = 100.15f;
    update_zoom(v, true);
    EXPECT_NEAR(v.zoom, 1.0f + 4.0f * 0.5f, 1e-3);  // sin^2(pi/4)
    v.clock = 100.31f;
    update_zoom(v, true);
    EXPECT_EQ(v.zoom, 5.0f);
    update_zoom(v, false);
    v.clock = 100.62f;
    update_zoom(v, false);
    EXPECT_EQ(v.zoom, 1.0f);
}

TEST_F(CommandBar, PressesHitTheMiddleOfSlotsOnly)
{
    const int w = 1280, h = 1024;
    // slot k centre: u = (k + 0.5) * 13/35, x = (u - 1.31) * 640 / 1.5 + 640
    for (int k = 0; k < 7; ++k) {
        double u = (k + 0.5) * 13.0 / 35.0;
        int x = static_cast<int>(std::lround((u - 1.31) * 640.0 / 1.5 + 640.0));
        EXPECT_EQ(command_bar_slot(x, 1000, w, h), k) << "slot " << k;
    }
    // between slots 2 and 3 (u * 35/13 = 3.0): nothing
    int between = static_cast<int>(std::lround((3.0 * 13.0 / 35.0 - 1.31) * 640.0 / 1.5 + 640.0));
    EXPECT_EQ(command_bar_slot(between, 1023, w, h), -2);
    // above the bar, left of it, or zoomed in: the selection
    EXPECT_EQ(command_bar_slot(640, 800, w, h), -1);
    EXPECT_EQ(command_bar_slot(0, 1000, w, h), -1);
    EXPECT_EQ(command_bar_slot(640, 1000, w, h, 5.0f), -1);
    // far right: beyond slot 6
    EXPECT_EQ(command_bar_slot(1279, 1000, w, h), -2);
}

// The bar follows the player's state: the side's first button, prayer
// (lit while praying), the spells held, and the orders while friendly
// units are selected, lit by the first one's order; a press runs the
// slot's action.
TEST_F(CommandBar, FollowsThePlayersStateAndRoutesClicks)
{
    texture_table& t = r.textures;
    t.id[TEX_select_catas] = 11;
    t.id[TEX_lower_gate] = 12;
    t.id[TEX_pray_button] = 13;
    t.id[TEX_firestorm] = 14;
    t.id[TEX_dragon_dismount_button] = 15;
    t.id[TEX_attack_button] = 16;
    t.id[TEX_move_button] = 17;
    t.id[TEX_stop_button] = 18;
    world& w = fresh_game(TEAM_ATTACKERS);
    w.player.spells[0] = SPELL_FIRESTORM;
    w.player.spells[1] = SPELL_DISMOUNT;
    w.player.praying = 1;
    EXPECT_EQ(bar(0).texture, 11u);
    EXPECT_EQ(bar(1).texture, 13u);
    EXPECT_EQ(bar(1).highlighted, 1);
    EXPECT_EQ(bar(2).texture, 14u);
    EXPECT_EQ(bar(3).texture, 15u);
    EXPECT_EQ(bar(3).enlarge, 0);  // the dismount button keeps its size
    for (int slot = 4; slot <= 6; ++slot)
        EXPECT_EQ(bar(slot).texture, 0u);
    choose_team(s, TEAM_DEFENDERS);
    w.walls.points.resize(2);
    w.walls.gate_up = 1;
    EXPECT_EQ(bar(0).texture, 12u);

    unit* ordered = add_unit(w, 0x80001);
    ordered->team = TEAM_DEFENDERS;
    ui.selection.friends = {ordered->id};
    const struct {
        int order, lit;
    } lights[] = {{ORDER_MOVE, 5}, {ORDER_ATTACK, 4}, {ORDER_ENGAGED, 4}, {ORDER_HOLD, 6}, {ORDER_NONE, -1}};
    for (const auto& l : lights) {
        ordered->order_kind = l.order;
        for (int slot = 4; slot <= 6; ++slot)
            EXPECT_EQ(bar(slot).highlighted, slot == l.lit ? 1 : 0) << "order " << l.order;
    }

    // A press on the move slot with the bar shown waits for a ground click.
    ASSERT_EQ(s.phase, STATE_PLAY);
    ui.bar.shown = 1;
    ASSERT_EQ(r.view.zoom, 1.0f);
    ASSERT_EQ(r.view.width, 1280);
    ASSERT_EQ(r.view.height, 1024);
    int x5 = static_cast<int>(std::lround((5.5 * 13.0 / 35.0 - 1.31) * 640.0 / 1.5 + 640.0));
    interface_click(ui, x5, 1000, 1);
    EXPECT_EQ(ui.bar.waiting_order, ORDER_MOVE);
    clear_selection(ui.selection);
    EXPECT_EQ(bar(5).texture, 0u);
}

TEST_F(CommandBar, SlidesTowardsShownAndHidden)
{
    command_bar& bar = ui.bar;
    bar.shown = 1;
    bar.y = INTERFACE_Y_HIDDEN;
    animate_interface(bar, TUNED_STEP);
    EXPECT_FLOAT_EQ(bar.y, -1.53f);
    animate_interface(bar, TUNED_STEP);
    animate_interface(bar, TUNED_STEP);
    EXPECT_EQ(bar.y, INTERFACE_Y_SHOWN);
    bar.shown = 0;
    // A slow frame slides as far as the steps it stands for.
    animate_interface(bar, 2 * TUNED_STEP);
    EXPECT_FLOAT_EQ(bar.y, -1.68f);
    animate_interface(bar, 2 * TUNED_STEP);
    EXPECT_EQ(bar.y, INTERFACE_Y_HIDDEN);
}

// The night keys ask the world for night (applied by the program between
// two steps); fog is the view's; the eye's stats are the world's player's.
TEST_F(PlayKeys, NightFogAndEyeStats)
{
    world& w = fresh_game();
    w.time = 50.0f;
    interface_key(ui, 'K');
    apply_actions();
    EXPECT_EQ(w.light.night, 1);
    interface_key(ui, ':');
    apply_actions();
    EXPECT_EQ(w.light.night, 0);
    int fog = r.view.fog;
    interface_key(ui, 'H');
    EXPECT_EQ(r.view.fog, !fog);
    interface_key(ui, 'H');
    EXPECT_EQ(r.view.fog, fog);
    stand_at(w.player, 1.5f, 22, -3);
    testing::internal::CaptureStdout();
    interface_key(ui, 'Y');
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("eye stats: 1.500000 22.000000 -3.000000, looking 0.000000 0.000000"), std::string::npos);
    EXPECT_NE(out.find("\tfloat = 2.000000, vy = 0.000000"), std::string::npos);
}
