// The joints between modules: the player's movement against the model
// trees and the figure, the start of a game, and the gate commands between
// copies.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <unistd.h>

#include "render/camera.h"
#include "render/textures.h"
#include "sim/commands.h"
#include "net_test_support.h"
#include "ui/interface.h"
#include "sim/model_tree.h"
#include "sim/terrain.h"
#include "sim/walls.h"
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


namespace {

constexpr uint32_t PEER = 0x0a4d0002;

void flat_ground(float h)
{
    allocate_terrain();
    for (int j = 0; j < 128; ++j)
        for (int i = 0; i < 128; ++i)
            height_map[j][i] = h;
    calculate_normals();
}

float flat20(float, float)
{
    return 20.0f;
}

void stand_at(float x, float z)
{
    eye_x = x;
    eye_y = 22.0f;
    eye_z = z;
    eye_vx = eye_vy = eye_vz = 0;
    eye_yaw = 0;  // looking along -z
    eye_pitch = 0;
    eye_float = 2.0f;
    next_jump = 0;
    next_player_cdetect = 0;
    do_god = 0;
}

std::vector<unsigned char> command_bytes(const char (&tag)[5], float p0, float p1)
{
    return build_command_message(tag, float_to_bits(p0), float_to_bits(p1), 0, 0);
}

// The last datagram sent that is a command with this sub-tag, or empty.
std::vector<unsigned char> last_command(const char* subtag)
{
    for (auto it = sent_datagrams().rbegin(); it != sent_datagrams().rend(); ++it)
        if (it->size() == CMND_LEN && std::string(it->begin(), it->begin() + 4) == "CMND" &&
            std::string(it->begin() + 4, it->begin() + 8) == subtag)
            return *it;
    return {};
}

float param(const std::vector<unsigned char>& m, int i)
{
    uint32_t u = m[8 + 4 * i] | (m[9 + 4 * i] << 8) | (m[10 + 4 * i] << 16) | (uint32_t(m[11 + 4 * i]) << 24);
    return bits_to_float(u);
}

class Wiring : public ::testing::Test {
protected:
    std::string path;
    void SetUp() override
    {
        reset_lobby(1, 40);
        flat_ground(20.0f);
        structure_ground = flat20;
        clear_model_tree();
        lower_gate_texid = 101;
        raise_gate_texid = 102;
        g_wall_links = wall_links{};
        init_wall_links();
        path = "wiring_walls_" + std::to_string(getpid()) + ".txt";
        walls_filename = path;
    }
    void TearDown() override
    {
        unlink(path.c_str());
        walls_filename = "walls.txt";
        structure_ground = get_terrain_height;
        game_state = STATE_MENU;
        game_time = 0;
    }
    // A short wall along x at z = -20 with a gate in the middle.
    void load_gated_wall()
    {
        FILE* f = fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        fputs("-30, -20, 10, 4, y n\n-10, -20, 10, 4, y y\n10, -20, 10, 4, y n\n30, -20, 10, 4, n n\n", f);
        fclose(f);
        ASSERT_EQ(load_walls(), 4);
    }
    void add_peer(int team)
    {
        deliver(helo_bytes("peer", team, 900), PEER);
        ASSERT_EQ(n_parts, 2);
    }
};

} // namespace

TEST_F(Wiring, WalkingIntoAWallStopsInFrontOfItAndTouchesIt)
{
    // A solid block across the way, its near face at z = -10.
    const int id = register_top_level_model(create_box_tree(0, 25, -15, 40, 20, 10, 1, 1));
    stand_at(0, 0);
    game_time = 1.0f;
    move_keys keys{};
    keys.forward = true;

    // Far away the test is put off by the clearance.
    move_eye(0.02f, keys);
    EXPECT_GT(next_player_cdetect, game_time);
    EXPECT_EQ(me->touched_model, nullptr);

    for (int i = 0; i < 300; ++i) {
        game_time += 0.02f;
        move_eye(0.02f, keys);
        ASSERT_GT(eye_z, -10.0f) << "walked into the wall at step " << i;
    }
    // Resting against the face: body radius 1 in front of it.
    EXPECT_NEAR(eye_z, -9.0f, 0.35f);
    EXPECT_EQ(me->touched_model, get_top_level_model(id));
    // Pushed back, the eye hardly moves along z any more.
    EXPECT_LT(std::fabs(eye_vz), 15.0f);

    // Turning round and walking away is free again.
    keys.forward = false;
    keys.back = true;
    for (int i = 0; i < 20; ++i) {
        game_time += 0.02f;
        move_eye(0.02f, keys);
    }
    EXPECT_GT(eye_z, -5.0f);
}

TEST_F(Wiring, TheFigureFollowsTheEyeWithItsVelocity)
{
    stand_at(5, 7);
    eye_yaw = 90;  // looking along +x
    game_time = 2.0f;
    move_keys keys{};
    keys.forward = true;
    move_eye(0.1f, keys);
    EXPECT_FLOAT_EQ(me->x, eye_x);
    EXPECT_FLOAT_EQ(me->y, eye_y - 1.2f);
    EXPECT_FLOAT_EQ(me->z, eye_z);
    EXPECT_FLOAT_EQ(me->heading, -90.0f);
    EXPECT_NEAR(me->vx, 15.0f, 1e-3);
    EXPECT_FLOAT_EQ(me->vx, eye_vx);
    EXPECT_FLOAT_EQ(me->vy, eye_vy);
    EXPECT_FLOAT_EQ(me->vz, eye_vz);
}

TEST_F(Wiring, ANewGameStartsAtTheSidesPositionWithFreshTimers)
{
    next_player_cdetect = 500.0f;
    next_jump = 400.0f;
    next_shoot = 300.0f;
    eye_vy = -30.0f;
    eye_float = 7.0f;
    model_node stale;
    me->touched_model = &stale;
    init_movement();  // defenders
    EXPECT_FLOAT_EQ(eye_x, 0.0f);
    EXPECT_FLOAT_EQ(eye_y, 100.6f);
    EXPECT_FLOAT_EQ(eye_z, -188.0f);
    EXPECT_FLOAT_EQ(eye_yaw, 180.0f);
    EXPECT_EQ(next_player_cdetect, 0.0f);
    EXPECT_EQ(next_jump, 0.0f);
    EXPECT_EQ(next_shoot, 0.0f);
    EXPECT_EQ(eye_vy, 0.0f);
    EXPECT_EQ(eye_float, 2.0f);
    EXPECT_EQ(me->touched_model, nullptr);

    // Team changed in the menu just before the start: the new side counts.
    parts[0].team = 0;
    me->team = 0;
    init_movement();
    EXPECT_FLOAT_EQ(eye_z, 188.0f);
    EXPECT_FLOAT_EQ(eye_yaw, 0.0f);
}

TEST_F(Wiring, DefenderButtonLowersTheGatesAndTellsTheOthers)
{
    load_gated_wall();
    ASSERT_EQ(bar(0).texture, lower_gate_texid);
    ASSERT_NE(bar(0).action, nullptr);
    game_state = STATE_PLAY;

    bar(0).action();
    EXPECT_EQ(gate_up, 0);
    EXPECT_EQ(the_wall_pts[1].target, 90.0f);
    EXPECT_EQ(bar(0).texture, raise_gate_texid);
    auto m = last_command("GATE");
    ASSERT_EQ(m.size(), size_t(CMND_LEN));
    EXPECT_EQ(param(m, 0), 0.0f);
    EXPECT_EQ(param(m, 1), 0.0f);

    bar(0).action();
    EXPECT_EQ(gate_up, 1);
    EXPECT_EQ(param(last_command("GATE"), 0), 1.0f);
}

TEST_F(Wiring, AttackerHasNoGateButtonButFollowsGateCommandsInPlayOnly)
{
    parts[0].team = 0;
    me->team = 0;
    load_gated_wall();
    EXPECT_NE(bar(0).action, gate_func);
    add_peer(1);

    // In the menu a gate command changes nothing.
    deliver(command_bytes("GATE", 0.0f, 0), PEER);
    EXPECT_EQ(gate_up, 1);

    game_state = STATE_PLAY;
    deliver(command_bytes("GATE", 0.0f, 0), PEER);
    EXPECT_EQ(gate_up, 0);
    EXPECT_EQ(the_wall_pts[1].target, 90.0f);
    EXPECT_EQ(bar(0).texture, 0u);
    deliver(command_bytes("GATE", 0.5f, 0), PEER);
    EXPECT_EQ(gate_up, 1);
    EXPECT_EQ(the_wall_pts[1].target, 0.0f);

    // The gate swings 2 degrees a frame.
    deliver(command_bytes("GATE", 0.0f, 0), PEER);
    for (int i = 0; i < 10; ++i)
        simulate_walls();
    EXPECT_FLOAT_EQ(the_wall_pts[1].angle, 20.0f);
}

TEST_F(Wiring, GateBreakCommandsAreTakenInAnyStateAndBadIndicesIgnored)
{
    load_gated_wall();
    add_peer(0);
    // Only a gate that one of the attackers' rams stands against breaks.
    deliver(command_bytes("GBRK", 1.0f, 1.0f), PEER);
    EXPECT_EQ(the_wall_pts[1].broken, 0);
    unit* ram = add_unit(0x40000);
    ram->kind = UNIT_RAM;
    ram->team = TEAM_ATTACKERS;
    ram->touched_model = get_top_level_model(the_wall_pts[1].model_id);
    deliver(command_bytes("GBRK", 1.0f, 1.0f), PEER);
    EXPECT_EQ(the_wall_pts[1].broken, 1);
    // Nobody mends it again (every copy would lay its routes anew).
    deliver(command_bytes("GBRK", 1.0f, 0.0f), PEER);
    EXPECT_EQ(the_wall_pts[1].broken, 1);

    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (float bad : {nan, 1e30f, -1e30f, -1.0f, 4.0f, std::numeric_limits<float>::infinity()}) {
        deliver(command_bytes("GBRK", bad, 1.0f), PEER);
        for (int i = 0; i < n_wall_pts; ++i)
            EXPECT_EQ(the_wall_pts[i].broken, i == 1 ? 1 : 0) << "index " << bad;
    }
    // A value that is no number still breaks the gate rather than garbage.
    the_wall_pts[1].broken = 0;
    deliver(command_bytes("GBRK", 1.0f, nan), PEER);
    EXPECT_EQ(the_wall_pts[1].broken, 1);

    // A broken gate stays down whatever the defenders wish.
    game_state = STATE_PLAY;
    deliver(command_bytes("GATE", 1.0f, 0), PEER);
    simulate_walls();
    EXPECT_EQ(the_wall_pts[1].target, 90.0f);

    // Only the attackers' leader announces it: not a defender, nor an
    // attacker with a higher number than the leader's.
    the_wall_pts[1].broken = 0;
    game_state = STATE_MENU;
    deliver(helo_bytes("chief", 0, 5), PEER + 1);
    deliver(helo_bytes("peer", 1, 900), PEER);
    deliver(command_bytes("GBRK", 1.0f, 1.0f), PEER);
    deliver(helo_bytes("peer", 0, 900), PEER);
    deliver(command_bytes("GBRK", 1.0f, 1.0f), PEER);
    EXPECT_EQ(the_wall_pts[1].broken, 0);
    deliver(command_bytes("GBRK", 1.0f, 1.0f), PEER + 1);
    EXPECT_EQ(the_wall_pts[1].broken, 1);
    del_unit(ram);
}
