// The joints between modules: the player's movement against the model
// trees and the figure, the start of a game, and the gate commands between
// copies.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "game/main_loop.h"
#include "game/program.h"
#include "render/textures.h"
#include "session_setup.h"
#include "sim/commands.h"
#include "sim/message_table.h"
#include "sim/model_tree.h"
#include "sim/player.h"
#include "sim/player_actions.h"
#include "sim/terrain.h"
#include "sim/walls.h"
#include "sim/wire.h"
#include "ui/hud.h"
#include "ui/interface.h"

namespace {

constexpr uint32_t PEER = 0x0a4d0002;

float flat20(const world&, float, float)
{
    return 20.0f;
}

std::vector<unsigned char> command_bytes(const char (&tag)[5], float p0, float p1)
{
    return build_command_message(tag, float_to_bits(p0), float_to_bits(p1), 0, 0);
}

// A program without a window: this copy ("tester", number 40) on the
// defenders' side, in play on a world of its own with flat ground at 20
// (the structures stand on it too), the interface showing that world, and
// every datagram it sends recorded.
class Wiring : public ::testing::Test {
protected:
    std::unique_ptr<program> p = std::make_unique<program>();
    std::vector<std::vector<unsigned char>> sent;
    std::string path;

    world& w() { return *p->w; }

    void SetUp() override
    {
        p->s.link.observer = [this](const unsigned char* buf, int len) { sent.emplace_back(buf, buf + len); };
        lone_copy(p->s, 1, 40);
        path = "wiring_walls_" + std::to_string(getpid()) + ".txt";
        p->s.files.walls = path;
        new_game();
        p->r.textures.id[TEX_lower_gate] = 101;
        p->r.textures.id[TEX_raise_gate] = 102;
        p->r.textures.id[TEX_select_catas] = 103;
    }
    void TearDown() override { unlink(path.c_str()); }

    // A world for the session as it stands, as the start of a game makes
    // one; the interface shows it.
    void new_game()
    {
        p->ui.world = nullptr;
        p->w.reset();
        p->w = play_world(p->s);
        p->ui.world = p->w.get();
        terrain_state& t = w().terrain;
        for (int j = 0; j < TERRAIN_SIZE; ++j)
            for (int i = 0; i < TERRAIN_SIZE; ++i)
                t.height_map[j][i] = 20.0f;
        t.made = true;
        calculate_normals(t);
        w().structures.ground = flat20;
        sent.clear();
    }

    void stand_at(float x, float z)
    {
        local_player& pl = w().player;
        pl.eye_x = x;
        pl.eye_y = 22.0f;
        pl.eye_z = z;
        pl.eye_vx = pl.eye_vy = pl.eye_vz = 0;
        pl.eye_yaw = 0;  // looking along -z
        pl.eye_pitch = 0;
        pl.eye_float = 2.0f;
        pl.next_jump = 0;
        pl.next_collision_test = 0;
        p->s.god = 0;
    }

    // A short wall along x at z = -20 with a gate in the middle.
    void load_gated_wall()
    {
        FILE* f = fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        fputs("-30, -20, 10, 4, y n\n-10, -20, 10, 4, y y\n10, -20, 10, 4, y n\n30, -20, 10, 4, n n\n", f);
        fclose(f);
        ASSERT_EQ(load_walls(w()), 4);
    }

    // A datagram as the transport hands it on: to the battle while one
    // stands, to the session alone in the menu.
    void deliver(const std::vector<unsigned char>& m, uint32_t sender)
    {
        std::vector<unsigned char> exact(m);
        client_message(p->s, p->s.phase == STATE_MENU ? nullptr : p->w.get(), exact.data(),
                       static_cast<int>(exact.size()), sender);
    }
    // A copy's presence message, which the menu alone takes: who plays
    // which side is settled there.
    void meet(const std::string& name, uint32_t sender, int team, int number)
    {
        const int phase = p->s.phase;
        p->s.phase = STATE_MENU;
        deliver(helo_bytes(name, team, number), sender);
        p->s.phase = phase;
    }
    void add_peer(int team)
    {
        meet("peer", PEER, team, 900);
        ASSERT_EQ(p->s.parts.size(), 2u);
    }

    // The command bar as the player's state makes it now.
    const button_slot& bar(int slot)
    {
        refresh_command_bar(p->ui);
        return p->ui.bar.slots[slot];
    }
    // A press on a slot of the bar, carried out as the program does.
    void press(int slot)
    {
        const button_slot& b = bar(slot);
        ASSERT_NE(b.action, nullptr);
        b.action(p->ui);
        apply_player_actions(*p);
    }
    // The last command sent with this sub-tag.
    sent_command last_command(const char* subtag) const
    {
        const std::vector<sent_command> all = commands_among(sent, subtag);
        return all.empty() ? sent_command{"", {0, 0, 0, 0}} : all.back();
    }
};

} // namespace

TEST_F(Wiring, WalkingIntoAWallStopsInFrontOfItAndTouchesIt)
{
    // A solid block across the way, its near face at z = -10.
    const int id = register_top_level_model(w().structures, create_box_tree(0, 25, -15, 40, 20, 10, 1, 1));
    stand_at(0, 0);
    w().time = 1.0f;
    local_player& pl = w().player;
    move_keys keys{};
    keys.forward = true;

    // Far away the test is put off by the clearance.
    move_eye(w(), 0.02f, keys);
    EXPECT_GT(pl.next_collision_test, w().time);
    EXPECT_EQ(w().me->touched_model, nullptr);

    for (int i = 0; i < 300; ++i) {
        w().time += 0.02f;
        move_eye(w(), 0.02f, keys);
        ASSERT_GT(pl.eye_z, -10.0f) << "walked into the wall at step " << i;
    }
    // Resting against the face: body radius 1 in front of it.
    EXPECT_NEAR(pl.eye_z, -9.0f, 0.35f);
    EXPECT_EQ(w().me->touched_model, get_top_level_model(w().structures, id));
    // Pushed back, the eye hardly moves along z any more.
    EXPECT_LT(std::fabs(pl.eye_vz), 15.0f);

    // Turning round and walking away is free again.
    keys.forward = false;
    keys.back = true;
    for (int i = 0; i < 20; ++i) {
        w().time += 0.02f;
        move_eye(w(), 0.02f, keys);
    }
    EXPECT_GT(pl.eye_z, -5.0f);
}

TEST_F(Wiring, TheFigureFollowsTheEyeWithItsVelocity)
{
    stand_at(5, 7);
    const local_player& pl = w().player;
    w().player.eye_yaw = 90;  // looking along +x
    w().time = 2.0f;
    move_keys keys{};
    keys.forward = true;
    move_eye(w(), 0.1f, keys);
    const unit* me = w().me;
    EXPECT_FLOAT_EQ(me->x, pl.eye_x);
    EXPECT_FLOAT_EQ(me->y, pl.eye_y - 1.2f);
    EXPECT_FLOAT_EQ(me->z, pl.eye_z);
    EXPECT_FLOAT_EQ(me->heading, -90.0f);
    EXPECT_NEAR(me->vx, 15.0f, 1e-3);
    EXPECT_FLOAT_EQ(me->vx, pl.eye_vx);
    EXPECT_FLOAT_EQ(me->vy, pl.eye_vy);
    EXPECT_FLOAT_EQ(me->vz, pl.eye_vz);
}

// Nothing of the player's last game walks into the next: a new game is a
// new world, with the player at the start position of the side chosen.
TEST_F(Wiring, ANewGameStartsAtTheSidesPositionWithFreshTimers)
{
    local_player& old = w().player;
    old.next_collision_test = 500.0f;
    old.next_jump = 400.0f;
    old.next_shoot = 300.0f;
    old.eye_vy = -30.0f;
    old.eye_float = 7.0f;
    model_node stale;
    w().me->touched_model = &stale;
    new_game();  // defenders
    const local_player& pl = w().player;
    EXPECT_FLOAT_EQ(pl.eye_x, 0.0f);
    EXPECT_FLOAT_EQ(pl.eye_y, 100.6f);
    EXPECT_FLOAT_EQ(pl.eye_z, -188.0f);
    EXPECT_FLOAT_EQ(pl.eye_yaw, 180.0f);
    EXPECT_EQ(pl.next_collision_test, 0.0f);
    EXPECT_EQ(pl.next_jump, 0.0f);
    EXPECT_EQ(pl.next_shoot, 0.0f);
    EXPECT_EQ(pl.eye_vy, 0.0f);
    EXPECT_EQ(pl.eye_float, 2.0f);
    ASSERT_NE(w().me, nullptr);
    EXPECT_EQ(w().me->touched_model, nullptr);

    // Team changed in the menu just before the start: the new side counts.
    p->s.phase = STATE_MENU;
    choose_team(p->s, 0);
    new_game();
    EXPECT_EQ(w().me->team, 0);
    EXPECT_FLOAT_EQ(w().player.eye_z, 188.0f);
    EXPECT_FLOAT_EQ(w().player.eye_yaw, 0.0f);
}

TEST_F(Wiring, DefenderButtonLowersTheGatesAndTellsTheOthers)
{
    load_gated_wall();
    ASSERT_EQ(bar(0).texture, 101u);  // lower the gates
    ASSERT_EQ(p->s.phase, STATE_PLAY);

    press(0);
    EXPECT_EQ(w().walls.gate_up, 0);
    EXPECT_EQ(w().walls.points[1].target, 90.0f);
    EXPECT_EQ(bar(0).texture, 102u);  // raise them
    sent_command m = last_command("GATE");
    ASSERT_EQ(m.subtag, "GATE");
    EXPECT_EQ(m.f(0), 0.0f);
    EXPECT_EQ(m.f(1), 0.0f);

    press(0);
    EXPECT_EQ(w().walls.gate_up, 1);
    EXPECT_EQ(last_command("GATE").f(0), 1.0f);
}

TEST_F(Wiring, AttackerHasNoGateButtonButFollowsGateCommandsInPlayOnly)
{
    // This copy on the attackers' side, a defender met in the menu.
    p->s.phase = STATE_MENU;
    choose_team(p->s, 0);
    add_peer(1);
    new_game();
    load_gated_wall();
    // Slot 0 selects the catapults; pressing it touches no gate.
    EXPECT_EQ(bar(0).texture, 103u);
    press(0);
    EXPECT_EQ(w().walls.gate_up, 1);
    EXPECT_TRUE(commands_among(sent, "GATE").empty());

    // In the menu a gate command changes nothing.
    p->s.phase = STATE_MENU;
    deliver(command_bytes("GATE", 0.0f, 0), PEER);
    EXPECT_EQ(w().walls.gate_up, 1);

    p->s.phase = STATE_PLAY;
    deliver(command_bytes("GATE", 0.0f, 0), PEER);
    EXPECT_EQ(w().walls.gate_up, 0);
    EXPECT_EQ(w().walls.points[1].target, 90.0f);
    EXPECT_EQ(bar(0).texture, 103u);
    deliver(command_bytes("GATE", 0.5f, 0), PEER);
    EXPECT_EQ(w().walls.gate_up, 1);
    EXPECT_EQ(w().walls.points[1].target, 0.0f);

    // The gate swings 2 degrees a frame.
    deliver(command_bytes("GATE", 0.0f, 0), PEER);
    for (int i = 0; i < 10; ++i)
        simulate_walls(w());
    EXPECT_FLOAT_EQ(w().walls.points[1].angle, 20.0f);
}

// A broken gate is told whenever a city stands: in play, and after this
// copy's own game is over (the others may still be fighting).
TEST_F(Wiring, GateBreakCommandsAreTakenWhileTheCityStandsAndBadIndicesIgnored)
{
    add_peer(0);
    load_gated_wall();
    std::vector<wall_point>& pts = w().walls.points;
    p->s.phase = STATE_WON;
    // Only a gate that one of the attackers' rams stands against breaks.
    deliver(command_bytes("GBRK", 1.0f, 1.0f), PEER);
    EXPECT_EQ(pts[1].broken, 0);
    unit* ram = add_unit(w(), 0x40000);
    ram->kind = UNIT_RAM;
    ram->team = TEAM_ATTACKERS;
    ram->touched_model = get_top_level_model(w().structures, pts[1].model_id);
    deliver(command_bytes("GBRK", 1.0f, 1.0f), PEER);
    EXPECT_EQ(pts[1].broken, 1);
    // Nobody mends it again (every copy would lay its routes anew).
    deliver(command_bytes("GBRK", 1.0f, 0.0f), PEER);
    EXPECT_EQ(pts[1].broken, 1);

    p->s.phase = STATE_PLAY;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (float bad : {nan, 1e30f, -1e30f, -1.0f, 4.0f, std::numeric_limits<float>::infinity()}) {
        deliver(command_bytes("GBRK", bad, 1.0f), PEER);
        for (int i = 0; i < w().walls.count(); ++i)
            EXPECT_EQ(pts[static_cast<size_t>(i)].broken, i == 1 ? 1 : 0) << "index " << bad;
    }
    // A value that is no number still breaks the gate rather than garbage.
    pts[1].broken = 0;
    deliver(command_bytes("GBRK", 1.0f, nan), PEER);
    EXPECT_EQ(pts[1].broken, 1);

    // A broken gate stays down whatever the defenders wish.
    deliver(command_bytes("GATE", 1.0f, 0), PEER);
    simulate_walls(w());
    EXPECT_EQ(pts[1].target, 90.0f);

    // Only the attackers' leader announces it: not a defender, nor an
    // attacker with a higher number than the leader's.
    pts[1].broken = 0;
    meet("chief", PEER + 1, 0, 5);
    meet("peer", PEER, 1, 900);
    deliver(command_bytes("GBRK", 1.0f, 1.0f), PEER);
    meet("peer", PEER, 0, 900);
    deliver(command_bytes("GBRK", 1.0f, 1.0f), PEER);
    EXPECT_EQ(pts[1].broken, 0);
    deliver(command_bytes("GBRK", 1.0f, 1.0f), PEER + 1);
    EXPECT_EQ(pts[1].broken, 1);
}
