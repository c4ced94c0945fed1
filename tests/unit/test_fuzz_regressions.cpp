// Inputs the fuzzers (tests/fuzz) once found crashing, replayed through the
// same code path as the fuzz target, plus the neighbouring cases of each
// fault.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "tests/fuzz/fuzz_inputs.h"
#include "sim/combat.h"
#include "sim/session.h"
#include "sim/world.h"
#include "sim/units.h"
#include "sim/terrain.h"
#include "render/terrain_render.h"

namespace {

// A terrain input: the 20-byte script, then a whole map of gentle slopes.
std::vector<uint8_t> terrain_input(float qx, float qz, float ex, float ez, int op, int radius)
{
    std::vector<uint8_t> in(TERRAIN_SCRIPT_BYTES + TERRAIN_FILE_BYTES, 0);
    const float script[4] = {qx, qz, ex, ez};
    std::memcpy(in.data(), script, sizeof script);
    in[16] = static_cast<uint8_t>(op);
    in[17] = static_cast<uint8_t>(radius);
    for (int k = 0; k < TERRAIN_VERTS; ++k) {
        float h = 12.0f + static_cast<float>(k % 128) * 0.25f;
        std::memcpy(&in[TERRAIN_SCRIPT_BYTES + 4 * k], &h, 4);
    }
    return in;
}

std::vector<float> heights(const terrain_state& t)
{
    std::vector<float> out;
    for (int j = 0; j < TERRAIN_SIZE; ++j)
        out.insert(out.end(), t.height_map[j], t.height_map[j] + TERRAIN_SIZE);
    return out;
}

// A ground of its own for each test (it is large for the stack).
struct FuzzRegressionTerrain : testing::Test {
    std::unique_ptr<terrain_state> owned = std::make_unique<terrain_state>();
    terrain_state& t = *owned;
};

} // namespace

// fuzz_terrain_file: a raise centred at x = -1.6e29 made the edit's index
// range overflow int (undefined behaviour, then a loop over 2^32 indices).
// An edit whose square cannot reach the grid must change nothing.
TEST_F(FuzzRegressionTerrain, EditFarOffTheMapChangesNothing)
{
    std::vector<uint8_t> crash = terrain_input(0.0f, 2.5849394e-26f, -1.585791e+29f, 1.3732725e-43f, 1, 5);
    ASSERT_TRUE(replay_terrain_file(t, crash.data(), crash.size()));

    std::vector<float> before = heights(t);
    terrain_replaced(t);
    const float inf = std::numeric_limits<float>::infinity();
    const float far[][2] = {{-1.585791e+29f, 0.0f}, {3e9f, 3e9f},       {0.0f, -8.6e9f},
                            {inf, 0.0f},           {0.0f, -inf},        {std::nanf(""), 0.0f},
                            {0.0f, std::nanf("")}, {5000.0f, 5000.0f}};
    for (const auto& p : far) {
        raise_terrain(t, p[0], p[1], 15);
        lower_terrain(t, p[0], p[1], 3);
        smooth_terrain(t, p[0], p[1], 15);
    }
    EXPECT_EQ(0, std::memcmp(before.data(), heights(t).data(), before.size() * sizeof(float)));
    EXPECT_TRUE(t.edits.empty()) << "an edit that changed nothing was recorded";

    // An edit just reaching the edge still works: the grid's last column
    // is x = 252; a radius-2 raise centred two cells beyond it lifts it.
    raise_terrain(t, 252.0f + 7.9f, 0.0f, 2);
    EXPECT_GT(t.height_map[64][127], before[64 * TERRAIN_SIZE + 127]);
    EXPECT_EQ(t.edits.size(), 1u);
}

// fuzz_terrain_file: finite but huge neighbouring heights (3e38 next to
// -3e38) made the slope overflow, so normals and gradients came out NaN and
// would have carried NaN into every position that follows the ground.  The
// reader refuses such a file and keeps the map it had.
TEST_F(FuzzRegressionTerrain, HugeHeightsAreRefusedAndTheMapIsKept)
{
    std::vector<uint8_t> good = terrain_input(0.0f, 0.0f, 0.0f, 0.0f, 0, 0);
    ASSERT_TRUE(replay_terrain_file(t, good.data(), good.size()));
    std::vector<float> before = heights(t);

    std::vector<uint8_t> crash = terrain_input(-256.0f, -256.0f, 0.0f, 0.0f, 0, 0);
    const float huge[2] = {3e38f, -3e38f};
    std::memcpy(&crash[TERRAIN_SCRIPT_BYTES], huge, sizeof huge);
    EXPECT_TRUE(replay_terrain_file(t, crash.data(), crash.size()));
    EXPECT_EQ(0, std::memcmp(before.data(), heights(t).data(), before.size() * sizeof(float)));

    // The limit itself is still a usable map, with finite slopes.
    std::vector<uint8_t> edge = terrain_input(-255.0f, -255.0f, 0.0f, 0.0f, 0, 0);
    const float limit[2] = {TERRAIN_MAX_ABS_HEIGHT, -TERRAIN_MAX_ABS_HEIGHT};
    std::memcpy(&edge[TERRAIN_SCRIPT_BYTES], limit, sizeof limit);
    EXPECT_TRUE(replay_terrain_file(t, edge.data(), edge.size()));
    EXPECT_EQ(t.height_map[0][0], TERRAIN_MAX_ABS_HEIGHT);
    float n[3];
    get_terrain_normal(t, -256.0f, -256.0f, n);
    EXPECT_TRUE(std::isfinite(n[0]) && std::isfinite(n[1]) && std::isfinite(n[2]));
}

// fuzz_terrain_file: next to a grid point of height 0, a neighbour at
// 5.6e-39 gives a normal with a denormal horizontal part; squaring it for
// the length underflowed to zero and the gradient came out (NaN, inf).  The
// gradient is a unit vector (or zero on exactly level ground) however small
// or large its parts.
TEST_F(FuzzRegressionTerrain, GradientOfTinyAndHugeSlopesIsAUnitVector)
{
    std::vector<uint8_t> crash = terrain_input(257.9f, -257.9f, -256.0f, 15.75f, 0, 0);
    // Column 0 at 0 with one point lifted by a denormal amount.
    for (int j = 0; j < TERRAIN_SIZE; ++j) {
        const float zero = 0.0f;
        std::memcpy(&crash[TERRAIN_SCRIPT_BYTES + 4 * (j * TERRAIN_SIZE)], &zero, 4);
    }
    const float tiny = 5.6192e-39f;
    std::memcpy(&crash[TERRAIN_SCRIPT_BYTES + 4 * (68 * TERRAIN_SIZE)], &tiny, 4);
    EXPECT_TRUE(replay_terrain_file(t, crash.data(), crash.size()));

    float g[2];
    get_terrain_gradient(t, -256.0f, 15.75f, g);
    ASSERT_TRUE(std::isfinite(g[0]) && std::isfinite(g[1]));
    EXPECT_NEAR(std::hypot(g[0], g[1]), 1.0f, 1e-6);

    // Outside the world the gradient points back to the centre, also from
    // very far away (the squares of these overflow a float).
    get_terrain_gradient(t, 3e30f, -4e30f, g);
    EXPECT_NEAR(g[0], -0.6f, 1e-6);
    EXPECT_NEAR(g[1], 0.8f, 1e-6);
}

// Placement files. A tree's place is stored as whole numbers: a line with a
// place beyond any integer (or not a number) converted it with undefined
// behaviour; such a tree is now not planted, the others are.
TEST(FuzzRegressionPlacement, TreesAtImpossiblePlacesAreNotPlanted)
{
    const char text[] = "c, 1e30, -1e30\nr, nan, inf\nx, 1, 2\nc, 1.5, -2.5\nr, -3e9, 4\nr, 7.9, 8.1\n";
    placement_world p;
    ASSERT_TRUE(replay_trees_file(p, reinterpret_cast<const uint8_t*>(text), sizeof text - 1));
    const trees_state& trees = p.w->trees;
    ASSERT_EQ(trees.chestnuts.size(), 1u);
    EXPECT_EQ(trees.chestnuts[0].x, 1);
    EXPECT_EQ(trees.chestnuts[0].z, -2);
    ASSERT_EQ(trees.random_trees.size(), 1u);
    EXPECT_EQ(trees.random_trees[0].x, 7);
    EXPECT_EQ(trees.random_trees[0].z, 8);
}

// Walls and buildings with values no sane file has: stretches that are no
// place or have no body are refused, the sound ones get their model, gates
// swing without going non-finite, temples are real models.
TEST(FuzzRegressionPlacement, WallsAndHousesWithOddValuesLoad)
{
    const char walls[] = "-72, -208, 10, 4, y y\n-72, -186, 10, 4, y y\n1e30, nan, 10, 4, y n\n"
                         "-72, -164, -10, inf, y y\n0, 0, 0, 0, n n\n";
    placement_world p;
    ASSERT_TRUE(replay_walls_file(p, reinterpret_cast<const uint8_t*>(walls), sizeof walls - 1));
    EXPECT_EQ(p.w->walls.count(), 2);
    const char houses[] = "b, 10, 20, 45, 30, 2\nt, 2147483647, -2147483648, 0, 0, 0\nm, 1, 2, 0, 0, 0\n"
                          "q, 3, 4, 5, 6, 7\np, 0, 0, nan, inf, -inf\nt, 5, 5, 0, 0, 0\n";
    ASSERT_TRUE(replay_houses_file(p, reinterpret_cast<const uint8_t*>(houses), sizeof houses - 1));
    EXPECT_EQ(p.w->buildings.temple_ids.size(), 2u);
    const char empty[] = "";
    ASSERT_TRUE(replay_walls_file(p, reinterpret_cast<const uint8_t*>(empty), 0));
    EXPECT_EQ(p.w->walls.count(), 0);
    ASSERT_TRUE(replay_houses_file(reinterpret_cast<const uint8_t*>(empty), 0));
    ASSERT_TRUE(replay_trees_file(reinterpret_cast<const uint8_t*>(empty), 0));
}

// fuzz_datagram: a humanoid's state record with the heading 6.5e19 hung the
// next steering step: bringing the heading near the wanted one a turn at a
// time never got there, since adding 360 no longer changes such a number.
TEST(FuzzRegressionUnits, HeadingsManyTurnsAwayComeNearAtOnce)
{
    EXPECT_FLOAT_EQ(near_heading(370.0f, 0.0f), 10.0f);
    EXPECT_FLOAT_EQ(wrap_360(725.0f), 5.0f);
    for (float far : {6.5e19f, -6.5e19f, 3601.0f * 360.0f + 7.0f}) {
        const float near = near_heading(far, 10.0f);
        EXPECT_GT(near, 10.0f - 180.0f) << far;
        EXPECT_LE(near, 10.0f + 180.0f) << far;
        EXPECT_GE(wrap_360(far), 0.0f) << far;
        EXPECT_LE(wrap_360(far), 360.0f) << far;
    }
    EXPECT_FLOAT_EQ(wrap_360(3601.0f * 360.0f + 7.0f), 7.0f);
    EXPECT_FALSE(std::isfinite(wrap_360(std::numeric_limits<float>::infinity())));
    EXPECT_FALSE(std::isfinite(near_heading(std::numeric_limits<float>::infinity(), 0.0f)));
    EXPECT_TRUE(std::isnan(near_heading(std::nanf(""), 0.0f)));
    // A wanted heading so large that a float no longer holds its degrees
    // (3.46e12, a soldier's in another input) is met at once.
    const float near = near_heading(44.9f, 3.45841048e12f);
    EXPECT_LE(std::fabs(near - 3.45841048e12f), 180.0f);

    // A footman so turned takes its steering step (and returns from it).
    session s;
    world w(s, 1);
    unit u{};
    u.heading = 6.5e19f;
    u.order_x = 100.0f;
    u.order_kind = ORDER_MOVE;
    u.arrival2 = 1.0f;
    u.drive_speed = 10.0f;
    u.turn_rate = 3.0f;
    move_close_range_unit(w, &u);
    EXPECT_TRUE(std::isfinite(u.vx) && std::isfinite(u.vz));
}
