#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "game_fixture.h"
#include "sim/buildings.h"
#include "sim/model_tree.h"

namespace {

float bumpy_ground(const world&, float x, float z)
{
    return 20.0f + 0.05f * x - 0.02f * z;
}

// World-space extent of a node's points (the node sits under the root).
struct extent {
    float lo[3] = {1e9f, 1e9f, 1e9f};
    float hi[3] = {-1e9f, -1e9f, -1e9f};
};

void grow(extent& e, const model_node& n, const float base[3])
{
    float o[3] = {base[0] + n.origin[0], base[1] + n.origin[1], base[2] + n.origin[2]};
    for (const vec3f& p : n.points)
        for (int k = 0; k < 3; ++k) {
            e.lo[k] = std::min(e.lo[k], o[k] + p.v[k]);
            e.hi[k] = std::max(e.hi[k], o[k] + p.v[k]);
        }
    for (const auto& c : n.children)
        grow(e, *c, o);
}

// The buildings stand on bumpy_ground in a world of their own, placed
// from a houses file of the test's.
class Buildings : public game_test {
protected:
    std::string path;
    void SetUp() override
    {
        path = "houses_test_" + std::to_string(getpid()) + ".txt";
        lobby();
        s.files.houses = path;
        new_world();
    }
    void TearDown() override { unlink(path.c_str()); }
    // A new game's world, nothing built in it yet.
    world& new_world()
    {
        world& w = play_world();
        w.structures.ground = bumpy_ground;
        return w;
    }
    world& w() { return *game; }
    model_node* top(int id) { return get_top_level_model(game->structures, id); }
    int tops() const { return num_top_level_models(game->structures); }
    int temples() const { return static_cast<int>(game->buildings.temple_ids.size()); }
    void write(const char* text)
    {
        FILE* f = fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        fputs(text, f);
        fclose(f);
    }
};

} // namespace

TEST_F(Buildings, HouseRoofRidgeIsTenAboveGroundAndRunsAlongZ)
{
    write("h, 10, 20, 0, 0, 0\n");
    EXPECT_EQ(load_buildings(w()), 1);
    ASSERT_EQ(tops(), 1);
    model_node* house = top(0);
    const float ground = bumpy_ground(w(), 10, 20);
    EXPECT_FLOAT_EQ(house->origin[1], ground + 3);
    ASSERT_EQ(house->child_count(), 2);
    const model_node& roof = *house->children[1];
    // The ridge points 3 and 7.
    const float ridge_y = house->origin[1] + roof.origin[1] + roof.points[3].v[1];
    EXPECT_FLOAT_EQ(ridge_y, ground + 10);
    EXPECT_FLOAT_EQ(roof.points[7].v[1], roof.points[3].v[1]);
    EXPECT_FLOAT_EQ(roof.points[3].v[0], roof.points[7].v[0]);
    EXPECT_FLOAT_EQ(roof.points[3].v[2] - roof.points[7].v[2], 7.0f);
    // The walls reach one unit below the ground point.
    extent e;
    const float zero[3] = {0, 0, 0};
    grow(e, *house, zero);
    EXPECT_FLOAT_EQ(e.lo[1], ground - 1);
    EXPECT_EQ(temples(), 0);
}

TEST_F(Buildings, RoofSlopesFaceOutwardAndBlockAWalker)
{
    model_node roof = create_prism_tree(0, 0, 0, 10, 5, 8, 0, 1, 1);
    ASSERT_EQ(roof.prim_count(), 4);
    EXPECT_GT(roof.prims[0].quad.n[2], 0.99f);  // front gable faces +z
    EXPECT_LT(roof.prims[1].quad.n[2], -0.99f); // back gable faces -z
    EXPECT_LT(roof.prims[2].quad.n[0], 0.0f);   // slopes face out and up
    EXPECT_GT(roof.prims[2].quad.n[1], 0.0f);
    EXPECT_GT(roof.prims[3].quad.n[0], 0.0f);
    EXPECT_GT(roof.prims[3].quad.n[1], 0.0f);
}

TEST_F(Buildings, TempleIsFoundFromItsPartsButNotFromAHouse)
{
    write("h, 0, 0, 0, 0, 0\nt, 60, -40, 0, 0, 0\nm, -60, 0, 0, 0, 0\n");
    EXPECT_EQ(load_buildings(w()), 3);
    ASSERT_EQ(temples(), 1);
    model_node* temple = top(w().buildings.temple_ids[0]);
    ASSERT_NE(temple, nullptr);
    EXPECT_EQ(temple->prim_count(), 10); // the columns
    EXPECT_FLOAT_EQ(temple->origin[1], bumpy_ground(w(), 60, -40) + 6.3f);
    EXPECT_EQ(is_a_temple(w(), temple), temple);               // columns are its own primitives
    EXPECT_EQ(is_a_temple(w(), temple->children[0].get()), temple); // platform
    EXPECT_EQ(is_a_temple(w(), temple->children[3].get()), temple); // roof
    model_node* house = top(0);
    EXPECT_EQ(is_a_temple(w(), house), nullptr);
    EXPECT_EQ(is_a_temple(w(), house->children[1].get()), nullptr);
    EXPECT_EQ(is_a_temple(w(), nullptr), nullptr);

    // Walking into a column reports the temple through the collision query.
    float p[3] = {60 - 8 + 1.2f, bumpy_ground(w(), 60, -40) + 2, -40 - 8};
    float step[3] = {-0.3f, 0, 0};
    model_node* touched = nullptr;
    do_collision_check(w().structures, p, step, 1, &touched);
    EXPECT_EQ(is_a_temple(w(), touched), temple);

    // A new load empties the temple list.
    write("h, 0, 0, 0, 0, 0\n");
    load_buildings(w());
    EXPECT_EQ(temples(), 0);
}

TEST_F(Buildings, BridgeRunsAlongXAtZeroAndAlongMinusZAtNinety)
{
    write("b, 10, 30, 0, 40, 2\nb, -50, 0, 90, 40, 2\n");
    EXPECT_EQ(load_buildings(w()), 2);
    ASSERT_EQ(tops(), 2);
    // The deck (first child) spans the stated rectangle.
    extent e0;
    grow(e0, *top(0)->children[0], top(0)->origin);
    EXPECT_NEAR(e0.lo[0], 10, 1e-3);
    EXPECT_NEAR(e0.hi[0], 50, 1e-3);
    EXPECT_NEAR(e0.lo[2], 30, 1e-3);
    EXPECT_NEAR(e0.hi[2], 48, 1e-3);
    // Deck top at the corner's ground + height (deck 1 thick, centred 0.5 below).
    EXPECT_NEAR(top(0)->origin[1], bumpy_ground(w(), 10, 30) - 0.5f + 2, 1e-4);

    extent e1;
    grow(e1, *top(1)->children[0], top(1)->origin);
    EXPECT_NEAR(e1.lo[2], -40, 1e-3);
    EXPECT_NEAR(e1.hi[2], 0, 1e-3);
    EXPECT_NEAR(e1.lo[0], -50, 1e-3);
    EXPECT_NEAR(e1.hi[0], -32, 1e-3);
    EXPECT_EQ(top(1)->child_count(), 3); // deck and two railings
}

TEST_F(Buildings, TurnedBoxKeepsOutwardFaces)
{
    model_node box = create_angle_box_tree(0, 0, 0, 30, 1, 18, 0.25f, 37);
    ASSERT_EQ(box.prim_count(), 6);
    for (const primitive& prim : box.prims) {
        const quad_prim& q = prim.quad;
        float c[3] = {q.p0[0] + q.e2[0] / 2, q.p0[1] + q.e2[1] / 2, q.p0[2] + q.e2[2] / 2};
        EXPECT_GT(c[0] * q.n[0] + c[1] * q.n[1] + c[2] * q.n[2], 0.0f);
    }
}

TEST_F(Buildings, UnknownLettersSkippedMalformedLineStopsShortLastLineBuilt)
{
    write("x, 0, 0, 0, 0, 0\np, 5, 5, 0, 0, 0\nh, 30, 30\n");
    EXPECT_EQ(load_buildings(w()), 3);
    EXPECT_EQ(tops(), 2); // pagoda and the short house line

    new_world();
    write("h, 0, 0, 0, 0, 0\nh, oops\nh, 40, 40, 0, 0, 0\n");
    load_buildings(w());
    EXPECT_EQ(tops(), 1);

    new_world();
    // A short line in the middle swallows its line end as the next kind.
    write("h, 0, 0\nh, 40, 40, 0, 0, 0\n");
    load_buildings(w());
    EXPECT_EQ(tops(), 1);
}

TEST_F(Buildings, PagodaAndMansionParts)
{
    int p = add_pagoda_model(w(), 0, 0);
    model_node* pagoda = top(p);
    ASSERT_EQ(pagoda->prim_count(), 5);
    EXPECT_EQ(pagoda->prims[0].type, PRIM_DOME);
    EXPECT_EQ(pagoda->prims[4].type, PRIM_CONE);
    int m = add_mansion_model(w(), 100, 0);
    EXPECT_EQ(top(m)->child_count(), 6);
    EXPECT_FLOAT_EQ(top(m)->radius, std::sqrt(352.25f));
}

TEST_F(Buildings, MissingFileIsReportedAndBuildsNothing)
{
    s.files.houses = "no_such_dir/houses.txt";
    EXPECT_EQ(load_buildings(w()), -1);
    EXPECT_EQ(tops(), 0);
    EXPECT_EQ(temples(), 0);
}
