#include <gtest/gtest.h>

#include <cmath>

#include "render/camera.h"
#include "game/main_loop.h"
#include "input/window.h"
#include "render/textures.h"
#include "sim/magic.h"
#include "sim/participants.h"
#include "sim/walls.h"
#include "ui/interface.h"
#include "sim/units.h"
#include "sim/light.h"
#include "sim/terrain.h"

namespace {

void flat_ground(float h)
{
    allocate_terrain();
    for (int j = 0; j < 128; ++j)
        for (int i = 0; i < 128; ++i)
            height_map[j][i] = h;
    calculate_normals();
}

void stand_at(float x, float y, float z)
{
    eye_x = x;
    eye_y = y;
    eye_z = z;
    eye_vx = eye_vy = eye_vz = 0;
    eye_yaw = 0;
    eye_pitch = 0;
    eye_float = 2.0f;
    next_jump = 0;
    next_player_cdetect = 0;
    do_god = 0;
}

} // namespace

TEST(Walking, DirectionsFollowTheYawAndDiagonalsAreRescaled)
{
    move_keys keys{};
    float m[2];
    keys.forward = true;
    walk_motion(keys, 0.0f, 15.0f, 0.1f, m);
    EXPECT_NEAR(m[0], 0.0f, 1e-6);
    EXPECT_NEAR(m[1], -1.5f, 1e-6);  // yaw 0 walks along -z
    walk_motion(keys, 90.0f, 15.0f, 0.1f, m);
    EXPECT_NEAR(m[0], 1.5f, 1e-6);
    EXPECT_NEAR(m[1], 0.0f, 1e-6);

    keys.right = true;  // "w" + "d": full speed, not faster
    walk_motion(keys, 0.0f, 15.0f, 0.1f, m);
    EXPECT_NEAR(std::hypot(m[0], m[1]), 1.5f, 1e-5);
    EXPECT_NEAR(m[0], 1.5f / std::sqrt(2.0f), 1e-5);
    EXPECT_NEAR(m[1], -1.5f / std::sqrt(2.0f), 1e-5);

    move_keys back_left{};
    back_left.back = back_left.left = true;
    walk_motion(back_left, 0.0f, 45.0f, 0.02f, m);
    EXPECT_NEAR(std::hypot(m[0], m[1]), 0.9f, 1e-5);
    EXPECT_LT(m[0], 0.0f);
    EXPECT_GT(m[1], 0.0f);

    move_keys opposite{};
    opposite.forward = opposite.back = true;
    walk_motion(opposite, 33.0f, 15.0f, 0.1f, m);
    EXPECT_EQ(m[0], 0.0f);
    EXPECT_EQ(m[1], 0.0f);
}

TEST(Walking, WalkPhaseAdvancesForwardAndBackOnTheRight)
{
    walk_phase = 0;
    move_keys keys{};
    keys.forward = true;
    float m[2];
    walk_motion(keys, 0, 15, 0.5f, m);
    EXPECT_FLOAT_EQ(walk_phase, 5.0f);
    keys.forward = false;
    keys.right = true;
    walk_motion(keys, 0, 15, 0.2f, m);
    EXPECT_FLOAT_EQ(walk_phase, 3.0f);
    walk_phase = 0;
}

TEST(Walking, WorldClamp)
{
    EXPECT_EQ(clamp_to_world(300.0f), 256.0f);
    EXPECT_EQ(clamp_to_world(-256.5f), -256.0f);
    EXPECT_EQ(clamp_to_world(12.5f), 12.5f);
}

TEST(Gravity, SnapsBelowStandingHeightAndPullsOnlyFromATenthAbove)
{
    stand_at(0, 15, 0);
    eye_vy = -3;
    apply_vertical(20.0f, 0.1f);  // below 22: snapped, stopped
    EXPECT_EQ(eye_y, 22.0f);
    EXPECT_EQ(eye_vy, 0.0f);

    eye_y = 22.05f;  // 0.05 above: neither pulled nor snapped
    apply_vertical(20.0f, 0.1f);
    EXPECT_EQ(eye_y, 22.05f);
    EXPECT_EQ(eye_vy, 0.0f);

    eye_y = 30.0f;  // on land, falling at 112.5
    apply_vertical(20.0f, 0.1f);
    EXPECT_FLOAT_EQ(eye_vy, -11.25f);
    EXPECT_FLOAT_EQ(eye_y, 30.0f - 1.125f);

    stand_at(0, 8, 0);  // in the water: 45
    apply_vertical(-10.0f, 0.1f);
    EXPECT_FLOAT_EQ(eye_vy, -4.5f);
    EXPECT_FLOAT_EQ(eye_y, 8.0f - 0.45f);
}

TEST(Movement, AStepWalksAndKeepsTheEyeOnTheGround)
{
    flat_ground(20.0f);
    game_time = 5.0f;
    stand_at(0, 22, 0);
    move_keys keys{};
    keys.forward = true;
    move_eye(0.1f, keys);
    EXPECT_NEAR(eye_z, -1.5f, 1e-5);
    EXPECT_NEAR(eye_x, 0.0f, 1e-6);
    EXPECT_NEAR(eye_y, 22.0f, 1e-5);
    EXPECT_NEAR(eye_vz, -15.0f, 1e-3);

    // over the edge of the world: clamped before the motion
    stand_at(300, 22, 0);
    move_eye(0.1f, move_keys{});
    EXPECT_EQ(eye_x, 256.0f);

    // god mode: three times the speed, "e" lifts the standing height by 0.2
    // a tuned step (8 a second)
    stand_at(0, 22, 0);
    do_god = 1;
    keys.rise = true;
    move_eye(0.1f, keys);
    EXPECT_NEAR(eye_z, -4.5f, 1e-5);
    EXPECT_FLOAT_EQ(eye_float, 2.8f);
    do_god = 0;
    game_time = 0;
}

TEST(Movement, JumpOnceASecondOnLandButPaddleEveryFrameInWater)
{
    flat_ground(20.0f);
    game_time = 10.0f;
    stand_at(0, 22, 0);
    move_keys keys{};
    keys.jump = true;
    move_eye(0.01f, keys);
    EXPECT_EQ(eye_vy, 45.0f);
    EXPECT_FLOAT_EQ(next_jump, 11.0f);
    float after_first = eye_y;
    EXPECT_GT(after_first, 22.0f);
    game_time = 10.5f;
    move_eye(0.01f, keys);  // too soon: gravity only
    EXPECT_LT(eye_vy, 45.0f);

    flat_ground(-5.0f);  // open water: eye at 3 < 10
    stand_at(0, 3, 0);
    game_time = 20.0f;
    move_eye(0.01f, keys);
    EXPECT_EQ(eye_vy, 15.0f);
    EXPECT_EQ(next_jump, 20.0f);
    game_time = 20.01f;
    move_eye(0.01f, keys);
    EXPECT_EQ(eye_vy, 15.0f);  // lifted again at once
    game_time = 0;
}

TEST(Movement, NonFiniteStateIsRepairedAndReported)
{
    flat_ground(20.0f);
    stand_at(0, 22, 0);
    eye_vy = NAN;
    testing::internal::CaptureStdout();
    move_eye(0.1f, move_keys{});
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("ACK!"), std::string::npos);
    EXPECT_TRUE(std::isfinite(eye_y));
    EXPECT_TRUE(std::isfinite(eye_vy));
}

TEST(Zoom, EasesToFiveInAThirdOfASecondAndBack)
{
    game_time = 100.0f;
    g_zoom = 1;
    g_target_zoom = 1;
    g_target_zoom_time = 0;
    update_zoom(true);
    EXPECT_FLOAT_EQ(g_zoom, 1.0f);
    game_time = 100.15f;
    update_zoom(true);
    EXPECT_NEAR(g_zoom, 1.0f + 4.0f * 0.5f, 1e-3);  // sin^2(pi/4)
    game_time = 100.31f;
    update_zoom(true);
    EXPECT_EQ(g_zoom, 5.0f);
    update_zoom(false);
    game_time = 100.62f;
    update_zoom(false);
    EXPECT_EQ(g_zoom, 1.0f);
    game_time = 0;
}

TEST(CommandBar, PressesHitTheMiddleOfSlotsOnly)
{
    g_zoom = 1;
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
    g_zoom = 5;
    EXPECT_EQ(command_bar_slot(640, 1000, w, h), -1);
    g_zoom = 1;
    // far right: beyond slot 6
    EXPECT_EQ(command_bar_slot(1279, 1000, w, h), -2);
}

// The bar follows the player's state: the side's first button, prayer
// (lit while praying), the spells held, and the orders while friendly
// units are selected, lit by the first one's order; a press runs the
// slot's action.
TEST(CommandBar, FollowsThePlayersStateAndRoutesClicks)
{
    select_catas_texid = 11;
    lower_gate_texid = 12;
    pray_button_texid = 13;
    firestorm_texid = 14;
    dragon_dismount_button_texid = 15;
    attack_button_texid = 16;
    move_button_texid = 17;
    stop_button_texid = 18;
    init_teams();
    init_participants();
    choose_team(TEAM_ATTACKERS);
    what_spells[0] = SPELL_FIRESTORM;
    what_spells[1] = SPELL_DISMOUNT;
    praying = 1;
    refresh_command_bar();
    EXPECT_EQ(the_buttons[0].texture, 11u);
    EXPECT_EQ(the_buttons[1].texture, 13u);
    EXPECT_EQ(the_buttons[1].highlighted, 1);
    EXPECT_EQ(the_buttons[2].texture, 14u);
    EXPECT_EQ(the_buttons[3].texture, 15u);
    EXPECT_EQ(the_buttons[3].enlarge, 0);  // the dismount button keeps its size
    for (int slot = 4; slot <= 6; ++slot)
        EXPECT_EQ(the_buttons[slot].texture, 0u);
    choose_team(TEAM_DEFENDERS);
    n_wall_pts = 2;
    gate_up = 1;
    refresh_command_bar();
    EXPECT_EQ(the_buttons[0].texture, 12u);
    n_wall_pts = 0;

    unit* ordered = add_unit(0x80001);
    ordered->team = TEAM_DEFENDERS;
    ordered->selected = 1;
    friends_selected = 1;
    const struct {
        int order, lit;
    } lights[] = {{ORDER_MOVE, 5}, {ORDER_ATTACK, 4}, {ORDER_ENGAGED, 4}, {ORDER_HOLD, 6}, {ORDER_NONE, -1}};
    for (const auto& l : lights) {
        ordered->order_kind = l.order;
        refresh_command_bar();
        for (int slot = 4; slot <= 6; ++slot)
            EXPECT_EQ(the_buttons[slot].highlighted, slot == l.lit ? 1 : 0) << "order " << l.order;
    }

    // A press on the move slot with the bar shown waits for a ground click.
    game_state = STATE_PLAY;
    do_interface = 1;
    g_zoom = 1;
    g_game_width = 1280;
    g_game_height = 1024;
    int x5 = static_cast<int>(std::lround((5.5 * 13.0 / 35.0 - 1.31) * 640.0 / 1.5 + 640.0));
    interface_click(x5, 1000, 1);
    EXPECT_EQ(waiting_mouse_command, ORDER_MOVE);
    clear_selection();
    refresh_command_bar();
    EXPECT_EQ(the_buttons[5].texture, 0u);
    del_unit(ordered);
    do_interface = 0;
    praying = 0;
    what_spells[0] = what_spells[1] = SPELL_NONE;
    waiting_mouse_command = 0;
    game_state = STATE_MENU;
}

TEST(CommandBar, SlidesTowardsShownAndHidden)
{
    do_interface = 1;
    interface_y = INTERFACE_Y_HIDDEN;
    animate_interface(TUNED_STEP);
    EXPECT_FLOAT_EQ(interface_y, -1.53f);
    animate_interface(TUNED_STEP);
    animate_interface(TUNED_STEP);
    EXPECT_EQ(interface_y, INTERFACE_Y_SHOWN);
    do_interface = 0;
    // A slow frame slides as far as the steps it stands for.
    animate_interface(2 * TUNED_STEP);
    EXPECT_FLOAT_EQ(interface_y, -1.68f);
    animate_interface(2 * TUNED_STEP);
    EXPECT_EQ(interface_y, INTERFACE_Y_HIDDEN);
}

TEST(PlayKeys, NightFogAndEyeStats)
{
    game_state = STATE_PLAY;
    game_time = 50.0f;
    interface_key('K');
    EXPECT_EQ(is_night_time_mode, 1);
    interface_key(':');
    EXPECT_EQ(is_night_time_mode, 0);
    int fog = do_fog;
    interface_key('H');
    EXPECT_EQ(do_fog, !fog);
    interface_key('H');
    EXPECT_EQ(do_fog, fog);
    stand_at(1.5f, 22, -3);
    testing::internal::CaptureStdout();
    interface_key('Y');
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("eye stats: 1.500000 22.000000 -3.000000, looking 0.000000 0.000000"), std::string::npos);
    EXPECT_NE(out.find("\tfloat = 2.000000, vy = 0.000000"), std::string::npos);
    game_state = STATE_MENU;
    game_time = 0;
}
