#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "render/textures.h"
#include "sim/model_tree.h"
#include "sim/walls.h"

namespace {

struct sent_command {
    std::string tag;
    float p0, p1;
};
std::vector<sent_command> g_sent;

void record_command(const char* tag, float p0, float p1, float, float)
{
    g_sent.push_back({tag, p0, p1});
}

float slope_ground(float x, float z)
{
    return 12.0f + 0.1f * x + 0.0f * z;
}

class Walls : public ::testing::Test {
protected:
    std::string path;
    void SetUp() override
    {
        clear_model_tree();
        g_sent.clear();
        g_wall_links = wall_links{};
        g_wall_links.send_command = record_command;
        structure_ground = slope_ground;
        path = "walls_test_" + std::to_string(getpid()) + ".txt";
        walls_filename = path;
    }
    void TearDown() override
    {
        unlink(path.c_str());
        walls_filename = "walls.txt";
    }
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
        for (int i = 0; i < n_wall_pts; ++i)
            if (the_wall_pts[i].gate)
                return i;
        return -1;
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
    EXPECT_EQ(load_walls(), 1);
    EXPECT_EQ(num_top_level_models(), 0);

    clear_model_tree();
    write("0, 0, 10, 4, n n\n30, 0, 8, 2, y y\n");
    EXPECT_EQ(load_walls(), 2);
    ASSERT_EQ(num_top_level_models(), 1);
    EXPECT_EQ(the_wall_pts[0].model_id, 0);
    // Sunk 1.49 into the ground at each point.
    EXPECT_FLOAT_EQ(the_wall_pts[0].y, 12.0f - 1.49f);
    EXPECT_FLOAT_EQ(the_wall_pts[1].y, 15.0f - 1.49f);
    model_node* wall = get_top_level_model(0);
    EXPECT_EQ(wall->health, 30.0f);
    EXPECT_EQ(wall->prim_count(), 3); // two sides and the top, open at the ends
    // The top quad lies at the wall's height above its foot.
    EXPECT_NEAR(wall->origin[1] + wall->points[0].v[1], 12.0f - 1.49f + 10.0f, 1e-4);
}

TEST_F(Walls, TowerFlagOnLastPointIsIgnoredAndFirstPointTowerIsBuilt)
{
    write("0, 0, 10, 4, y n\n30, 0, 10, 4, y n\n");
    load_walls();
    ASSERT_EQ(num_top_level_models(), 2); // one stretch, one tower at the first point
    model_node* tower = get_top_level_model(1);
    EXPECT_FLOAT_EQ(tower->origin[0], 0.0f);
    EXPECT_EQ(tower->health, 1.0f);
}

TEST_F(Walls, TowersBesideGateAreSquareOthersRound)
{
    write(GATED_WALL);
    ASSERT_EQ(load_walls(), 5);
    // models in build order: wall0, tower0, gate1, tower1, wall2, tower2, wall3, tower3
    ASSERT_EQ(num_top_level_models(), 8);
    auto is_round = [](model_node* t) { return t->prim_count() == 1 && t->prims[0].type == PRIM_CONE; };
    EXPECT_TRUE(is_round(get_top_level_model(1)));  // point 0: beside a plain wall
    EXPECT_FALSE(is_round(get_top_level_model(3))); // point 1 starts the gate
    EXPECT_FALSE(is_round(get_top_level_model(5))); // point 2 ends the gate
    EXPECT_TRUE(is_round(get_top_level_model(7)));
    EXPECT_EQ(get_top_level_model(3)->child_count(), 9); // body box and eight merlons
    EXPECT_EQ(get_top_level_model(7)->child_count(), 9); // cap box and eight merlons
    model_node* gate = get_top_level_model(the_wall_pts[1].model_id);
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
    EXPECT_EQ(load_walls(), 2);
    EXPECT_EQ(num_top_level_models(), 1);
}

TEST_F(Walls, MissingFileMeansNoWalls)
{
    walls_filename = "no_such_dir/walls.txt";
    EXPECT_EQ(load_walls(), -1);
    EXPECT_EQ(n_wall_pts, 0);
    EXPECT_EQ(num_top_level_models(), 0);
    simulate_walls(); // nothing to do, and nothing breaks
}

TEST_F(Walls, TheDefendersGateButtonSwingsGatesAndReverses)
{
    write(GATED_WALL);
    load_walls();
    int g = first_gate();
    ASSERT_EQ(g, 1);
    model_node* gate = get_top_level_model(the_wall_pts[g].model_id);
    float top_before = gate->origin[1];

    gate_func(); // lower
    EXPECT_EQ(gate_up, 0);
    ASSERT_EQ(g_sent.size(), 1u);
    EXPECT_EQ(g_sent[0].tag, "GATE");
    EXPECT_EQ(g_sent[0].p0, 0.0f);
    for (int i = 0; i < 44; ++i)
        simulate_walls();
    EXPECT_FLOAT_EQ(the_wall_pts[g].angle, 88.0f);
    simulate_walls();
    EXPECT_FLOAT_EQ(the_wall_pts[g].angle, 90.0f);
    // Lying flat, the panel's centre is far lower than when upright.
    EXPECT_LT(gate->origin[1], top_before - 3.0f);
    // Still a valid collidable slab after the rebuild.
    EXPECT_EQ(gate->prim_count(), 6);

    gate_func(); // raise
    EXPECT_EQ(g_sent.back().p0, 1.0f);
    for (int i = 0; i < 10; ++i)
        simulate_walls();
    EXPECT_FLOAT_EQ(the_wall_pts[g].angle, 70.0f);
    gate_func(); // lower again mid-swing: turns back from where it is
    simulate_walls();
    EXPECT_FLOAT_EQ(the_wall_pts[g].angle, 72.0f);
    // The swing is 80 degrees a second whatever the step: a slow step of a
    // fifth of a second swings as far as eight tuned steps.
    simulate_walls(0.2f);
    EXPECT_FLOAT_EQ(the_wall_pts[g].angle, 88.0f);
}

TEST_F(Walls, NonDefenderFollowsGateCommands)
{
    write(GATED_WALL);
    load_walls();
    receive_gate_command(0);
    EXPECT_EQ(the_wall_pts[1].target, 90.0f);
    receive_gate_command(1);
    EXPECT_EQ(the_wall_pts[1].target, 0.0f);
    EXPECT_TRUE(g_sent.empty());
}

TEST_F(Walls, WornOutGateFallsSendsOnceAndIgnoresLaterGateCommands)
{
    write(GATED_WALL);
    load_walls();
    int g = first_gate();
    get_top_level_model(the_wall_pts[g].model_id)->health = 0;
    simulate_walls();
    EXPECT_EQ(the_wall_pts[g].broken, 1);
    ASSERT_EQ(g_sent.size(), 1u);
    EXPECT_EQ(g_sent[0].tag, "GBRK");
    EXPECT_EQ(g_sent[0].p0, static_cast<float>(g));
    EXPECT_EQ(g_sent[0].p1, 1.0f);
    for (int i = 0; i < 60; ++i)
        simulate_walls();
    EXPECT_EQ(g_sent.size(), 1u);
    EXPECT_FLOAT_EQ(the_wall_pts[g].angle, 90.0f);
    receive_gate_command(1);
    for (int i = 0; i < 10; ++i)
        simulate_walls();
    EXPECT_FLOAT_EQ(the_wall_pts[g].angle, 90.0f);
    EXPECT_EQ(the_wall_pts[g].target, 90.0f);
}

TEST_F(Walls, CopyThatReceivesBreakFirstNeverSends)
{
    write(GATED_WALL);
    load_walls();
    int g = first_gate();
    receive_gate_break_command(static_cast<float>(g), 1.0f);
    EXPECT_EQ(the_wall_pts[g].broken, 1);
    get_top_level_model(the_wall_pts[g].model_id)->health = -1;
    for (int i = 0; i < 50; ++i)
        simulate_walls();
    EXPECT_TRUE(g_sent.empty());
    EXPECT_FLOAT_EQ(the_wall_pts[g].angle, 90.0f);
    // Out-of-range indices are ignored.
    receive_gate_break_command(-1, 1);
    receive_gate_break_command(static_cast<float>(n_wall_pts), 1);
    EXPECT_EQ(the_wall_pts[0].broken, 0);
}

TEST_F(Walls, WallStopsAWalkerAndNamesItself)
{
    write("0, 0, 10, 4, n n\n40, 0, 10, 4, n n\n");
    load_walls();
    // Walk into the wall's -z face (the wall runs along x, 4 thick).
    float p[3] = {20, slope_ground(20, 0) + 2, -2.5f};
    float step[3] = {0, 0, 1};
    model_node* touched = nullptr;
    do_collision_check(p, step, 1, &touched);
    EXPECT_NEAR(p[2], -3.0f, 1e-3);
    EXPECT_EQ(touched, get_top_level_model(0));
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
    EXPECT_EQ(load_walls(), 2);
    std::string err = testing::internal::GetCapturedStderr();
    for (const char* why : {"line 2 (0, 0, thickness 4, height 10) repeats the point before it: refused",
                            "line 3 (30, 0, thickness 0, height 10) has no usable thickness: refused",
                            "line 4 (30, 0, thickness 4, height 0) has no usable height: refused",
                            "line 5 (nan, 0, thickness 4, height 10) is no place on the map: refused"})
        EXPECT_NE(err.find(why), std::string::npos) << why << "\n" << err;
    ASSERT_EQ(num_top_level_models(), 1);
    // The one stretch stops a walker, and no test near it meets a face
    // without area.
    float p[3] = {15.0f, slope_ground(15.0f, 0.0f) + 2.0f, -2.5f};
    const float step[3] = {0.0f, 0.0f, 1.0f};
    do_collision_check(p, step, 1.0f, nullptr);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.find("ack!"), std::string::npos) << out;
    EXPECT_NEAR(p[2], -3.0f, 1e-3);
}
