#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "game_fixture.h"
#include "sim/model_tree.h"
#include "sim/walls.h"

namespace {

// Other copies in the table: one defending, one leading the attackers.
constexpr uint32_t DEFENDER = 0x0200000A;
constexpr uint32_t ATTACKER = 0x0300000A;

float slope_ground(const world&, float x, float z)
{
    return 12.0f + 0.1f * x + 0.0f * z;
}

// The walls stand on slope_ground in a world of their own, read from a
// walls file of the test's. This copy attacks unless a test says otherwise
// (a defending copy that leads its side posts archers on the towers).
class Walls : public game_test {
protected:
    std::string path;
    void SetUp() override
    {
        path = "walls_test_" + std::to_string(getpid()) + ".txt";
        start(TEAM_ATTACKERS);
    }
    void TearDown() override { unlink(path.c_str()); }
    // This copy alone on `team` in a new game's world, nothing built yet.
    world& start(int team)
    {
        lobby(team);
        s.files.walls = path;
        world& w = play_world();
        w.structures.ground = slope_ground;
        return w;
    }
    world& w() { return *game; }
    model_node* top(int id) { return get_top_level_model(game->structures, id); }
    int tops() const { return num_top_level_models(game->structures); }
    std::vector<wall_point>& pts() { return game->walls.points; }
    void write(const char* text)
    {
        FILE* f = fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        fputs(text, f);
        fclose(f);
    }
    // Index of the first wall point that starts a gate.
    int first_gate()
    {
        for (int i = 0; i < game->walls.count(); ++i)
            if (pts()[static_cast<size_t>(i)].gate)
                return i;
        return -1;
    }
    // The gate commands this copy sent ("GATE" and "GBRK"), oldest first.
    std::vector<sent_command> gate_commands() const
    {
        std::vector<sent_command> out;
        for (const sent_command& c : sent_commands())
            if (c.subtag == "GATE" || c.subtag == "GBRK")
                out.push_back(c);
        return out;
    }
    // "GATE" from the defending copy: up (1) or lowered (0); a defender may
    // work the gates, so nothing is refused.
    void gate_from_defender(float up)
    {
        auto refused = [this] {
            long n = 0;
            for (long t : s.refusals.totals)
                n += t;
            return n;
        };
        const long before = refused();
        deliver(build_command_message("GATE", bits_of(up), 0, 0, 0), DEFENDER);
        EXPECT_EQ(refused(), before) << "GATE from the defender refused";
    }
    // "GBRK" from the attackers' leader for the gate at wall point `code`,
    // handled as the dispatcher hands it on once its rule has let it through
    // (the rule wants a ram of theirs against the gate, which these walls
    // have not).
    void break_from_attacker(float code, float value)
    {
        message_context c{s, game.get(), ATTACKER, find_participant(s, ATTACKER)};
        const uint32_t p[4] = {bits_of(code), bits_of(value), 0, 0};
        receive_gate_break(c, p);
    }
};

// A gate between two square towers in a short wall along +x.
const char* GATED_WALL = "0, 0, 10, 4, y n\n"
                         "20, 0, 10, 4, y y\n"
                         "40, 0, 10, 4, y n\n"
                         "60, 0, 10, 4, y n\n"
                         "80, 0, 10, 4, y n\n";

} // namespace

TEST_F(Walls, OnePointBuildsNothingTwoPointsOneStretch)
{
    write("5, 5, 10, 4, y y\n");
    EXPECT_EQ(load_walls(w()), 1);
    EXPECT_EQ(tops(), 0);

    start(TEAM_ATTACKERS);
    write("0, 0, 10, 4, n n\n30, 0, 8, 2, y y\n");
    EXPECT_EQ(load_walls(w()), 2);
    ASSERT_EQ(tops(), 1);
    EXPECT_EQ(pts()[0].model_id, 0);
    // Sunk 1.49 into the ground at each point.
    EXPECT_FLOAT_EQ(pts()[0].y, 12.0f - 1.49f);
    EXPECT_FLOAT_EQ(pts()[1].y, 15.0f - 1.49f);
    model_node* wall = top(0);
    EXPECT_EQ(wall->health, 30.0f);
    EXPECT_EQ(wall->prim_count(), 3); // two sides and the top, open at the ends
    // The top quad lies at the wall's height above its foot.
    EXPECT_NEAR(wall->origin[1] + wall->points[0].v[1], 12.0f - 1.49f + 10.0f, 1e-4);
}

TEST_F(Walls, TowerFlagOnLastPointIsIgnoredAndFirstPointTowerIsBuilt)
{
    write("0, 0, 10, 4, y n\n30, 0, 10, 4, y n\n");
    load_walls(w());
    ASSERT_EQ(tops(), 2); // one stretch, one tower at the first point
    model_node* tower = top(1);
    EXPECT_FLOAT_EQ(tower->origin[0], 0.0f);
    EXPECT_EQ(tower->health, 1.0f);
}

TEST_F(Walls, TowersBesideGateAreSquareOthersRound)
{
    write(GATED_WALL);
    ASSERT_EQ(load_walls(w()), 5);
    // models in build order: wall0, tower0, gate1, tower1, wall2, tower2, wall3, tower3
    ASSERT_EQ(tops(), 8);
    auto is_round = [](model_node* t) { return t->prim_count() == 1 && t->prims[0].type == PRIM_CONE; };
    EXPECT_TRUE(is_round(top(1)));  // point 0: beside a plain wall
    EXPECT_FALSE(is_round(top(3))); // point 1 starts the gate
    EXPECT_FALSE(is_round(top(5))); // point 2 ends the gate
    EXPECT_TRUE(is_round(top(7)));
    EXPECT_EQ(top(3)->child_count(), 9); // body box and eight merlons
    EXPECT_EQ(top(7)->child_count(), 9); // cap box and eight merlons
    model_node* gate = top(pts()[1].model_id);
    EXPECT_EQ(gate->prim_count(), 6); // a closed slab
    // Pulled in by 0.6 x thickness at each end, along the sloping wall line
    // (20 along x, 2 up).
    float d[3];
    for (int k = 0; k < 3; ++k)
        d[k] = gate->points[4].v[k] - gate->points[0].v[k];
    EXPECT_NEAR(std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]), std::sqrt(404.0f) - 4.8f, 1e-3);
}

TEST_F(Walls, MalformedLineStopsReadingAndKeepsWhatWasRead)
{
    write("0, 0, 10, 4, n n\n20, 0, 10, 4, n n\nthis is not a wall\n40, 0, 10, 4, n n\n");
    EXPECT_EQ(load_walls(w()), 2);
    EXPECT_EQ(tops(), 1);
}

TEST_F(Walls, MissingFileMeansNoWalls)
{
    s.files.walls = "no_such_dir/walls.txt";
    EXPECT_EQ(load_walls(w()), -1);
    EXPECT_EQ(w().walls.count(), 0);
    EXPECT_EQ(tops(), 0);
    simulate_walls(w()); // nothing to do, and nothing breaks
}

TEST_F(Walls, TheDefendersGateButtonSwingsGatesAndReverses)
{
    start(TEAM_DEFENDERS);
    write(GATED_WALL);
    load_walls(w());
    int g = first_gate();
    ASSERT_EQ(g, 1);
    model_node* gate = top(pts()[g].model_id);
    float top_before = gate->origin[1];

    gate_func(w()); // lower
    EXPECT_EQ(w().walls.gate_up, 0);
    ASSERT_EQ(gate_commands().size(), 1u);
    EXPECT_EQ(gate_commands()[0].subtag, "GATE");
    EXPECT_EQ(gate_commands()[0].f(0), 0.0f);
    for (int i = 0; i < 44; ++i)
        simulate_walls(w());
    EXPECT_FLOAT_EQ(pts()[g].angle, 88.0f);
    simulate_walls(w());
    EXPECT_FLOAT_EQ(pts()[g].angle, 90.0f);
    // Lying flat, the panel's centre is far lower than when upright.
    EXPECT_LT(gate->origin[1], top_before - 3.0f);
    // Still a valid collidable slab after the rebuild.
    EXPECT_EQ(gate->prim_count(), 6);

    gate_func(w()); // raise
    ASSERT_EQ(gate_commands().size(), 2u);
    EXPECT_EQ(gate_commands().back().f(0), 1.0f);
    for (int i = 0; i < 10; ++i)
        simulate_walls(w());
    EXPECT_FLOAT_EQ(pts()[g].angle, 70.0f);
    gate_func(w()); // lower again mid-swing: turns back from where it is
    simulate_walls(w());
    EXPECT_FLOAT_EQ(pts()[g].angle, 72.0f);
    // The swing is 80 degrees a second whatever the step: a slow step of a
    // fifth of a second swings as far as eight tuned steps.
    simulate_walls(w(), 0.2f);
    EXPECT_FLOAT_EQ(pts()[g].angle, 88.0f);
}

TEST_F(Walls, NonDefenderFollowsGateCommands)
{
    add_member("defender", DEFENDER, TEAM_DEFENDERS, 10);
    write(GATED_WALL);
    load_walls(w());
    gate_from_defender(0);
    EXPECT_EQ(pts()[1].target, 90.0f);
    gate_from_defender(1);
    EXPECT_EQ(pts()[1].target, 0.0f);
    EXPECT_TRUE(gate_commands().empty());
}

TEST_F(Walls, WornOutGateFallsSendsOnceAndIgnoresLaterGateCommands)
{
    add_member("defender", DEFENDER, TEAM_DEFENDERS, 10);
    write(GATED_WALL);
    load_walls(w());
    int g = first_gate();
    top(pts()[g].model_id)->health = 0;
    simulate_walls(w());
    EXPECT_EQ(pts()[g].broken, 1);
    ASSERT_EQ(gate_commands().size(), 1u);
    EXPECT_EQ(gate_commands()[0].subtag, "GBRK");
    EXPECT_EQ(gate_commands()[0].f(0), static_cast<float>(g));
    EXPECT_EQ(gate_commands()[0].f(1), 1.0f);
    for (int i = 0; i < 60; ++i)
        simulate_walls(w());
    EXPECT_EQ(gate_commands().size(), 1u);
    EXPECT_FLOAT_EQ(pts()[g].angle, 90.0f);
    gate_from_defender(1);
    for (int i = 0; i < 10; ++i)
        simulate_walls(w());
    EXPECT_FLOAT_EQ(pts()[g].angle, 90.0f);
    EXPECT_EQ(pts()[g].target, 90.0f);
}

TEST_F(Walls, CopyThatReceivesBreakFirstNeverSends)
{
    // This copy defends; the break comes from the attackers' leader.
    start(TEAM_DEFENDERS);
    add_member("attacker", ATTACKER, TEAM_ATTACKERS, 10);
    write(GATED_WALL);
    load_walls(w());
    int g = first_gate();
    break_from_attacker(static_cast<float>(g), 1.0f);
    EXPECT_EQ(pts()[g].broken, 1);
    top(pts()[g].model_id)->health = -1;
    for (int i = 0; i < 50; ++i)
        simulate_walls(w());
    EXPECT_TRUE(gate_commands().empty());
    EXPECT_FLOAT_EQ(pts()[g].angle, 90.0f);
    // Out-of-range indices are ignored, by the command and by the break.
    testing::internal::CaptureStderr();
    break_from_attacker(-1, 1);
    break_from_attacker(static_cast<float>(w().walls.count()), 1);
    testing::internal::GetCapturedStderr();
    set_break_gate(w().walls, -1, 1);
    set_break_gate(w().walls, w().walls.count(), 1);
    EXPECT_EQ(pts()[0].broken, 0);
}

TEST_F(Walls, WallStopsAWalkerAndNamesItself)
{
    write("0, 0, 10, 4, n n\n40, 0, 10, 4, n n\n");
    load_walls(w());
    // Walk into the wall's -z face (the wall runs along x, 4 thick).
    float p[3] = {20, slope_ground(w(), 20, 0) + 2, -2.5f};
    float step[3] = {0, 0, 1};
    model_node* touched = nullptr;
    do_collision_check(w().structures, p, step, 1, &touched);
    EXPECT_NEAR(p[2], -3.0f, 1e-3);
    EXPECT_EQ(touched, top(0));
}

// A stretch without area blocks nothing and troubles every collision test
// near it: such lines are refused, the rest of the wall stands.
TEST_F(Walls, LinesWithoutThicknessHeightOrLengthAreRefused)
{
    write("0, 0, 10, 4, n n\n"
          "0, 0, 10, 4, n n\n"    // the point again
          "30, 0, 10, 0, n n\n"   // no thickness
          "30, 0, 0, 4, n n\n"    // no height
          "nan, 0, 10, 4, n n\n"  // no place
          "30, 0, 10, 4, n n\n");
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    EXPECT_EQ(load_walls(w()), 2);
    std::string err = testing::internal::GetCapturedStderr();
    for (const char* why : {"line 2 (0, 0, thickness 4, height 10) repeats the point before it: refused",
                            "line 3 (30, 0, thickness 0, height 10) has no usable thickness: refused",
                            "line 4 (30, 0, thickness 4, height 0) has no usable height: refused",
                            "line 5 (nan, 0, thickness 4, height 10) is no place on the map: refused"})
        EXPECT_NE(err.find(why), std::string::npos) << why << "\n" << err;
    ASSERT_EQ(tops(), 1);
    // The one stretch stops a walker, and no test near it meets a face
    // without area.
    float p[3] = {15.0f, slope_ground(w(), 15.0f, 0.0f) + 2.0f, -2.5f};
    const float step[3] = {0.0f, 0.0f, 1.0f};
    do_collision_check(w().structures, p, step, 1.0f, nullptr);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.find("ack!"), std::string::npos) << out;
    EXPECT_NEAR(p[2], -3.0f, 1e-3);
}
