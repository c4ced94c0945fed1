#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "sim/model_tree.h"

namespace {

constexpr float WALL_FACE[4][3] = {{0, 0, 0}, {10, 0, 0}, {10, 5, 0}, {0, 5, 0}};

// A node around the origin holding one quad of the given corners.
model_node one_quad_node(const float (&pts)[4][3])
{
    model_node node;
    empty_model_tree(node, 0, 0, 0, 20);
    set_tree_points(node, pts, 4);
    EXPECT_EQ(add_quad_prim(node, 0, 1, 2, 3, 0, 1, 1), 0);
    return node;
}

// A one-sided wall face in the plane z = 0, 10 wide (x 0..10) and 5 high,
// facing +z, as the only top-level model of `t`.
int make_wall_face(structure_tree& t)
{
    return register_top_level_model(t, one_quad_node(WALL_FACE));
}

} // namespace

TEST(ModelTreeBuild, QuadNormalFollowsCornerOrderAndBadIndicesAreRefused)
{
    model_node node;
    empty_model_tree(node, 1, 2, 3, 4);
    EXPECT_FALSE(node.fixed_shape);
    EXPECT_EQ(node.health, -1.0f);
    const float pts[4][3] = {{0, 0, 0}, {10, 0, 0}, {10, 5, 0}, {0, 5, 0}};
    set_tree_points(node, pts, 4);
    ASSERT_EQ(add_quad_prim(node, 0, 1, 2, 3, 7, 2, 3), 0);
    const quad_prim& q = node.prims[0].quad;
    EXPECT_FLOAT_EQ(q.n[2], 1.0f);
    EXPECT_FLOAT_EQ(q.e2[0], 10.0f);
    EXPECT_FLOAT_EQ(q.e2[1], 5.0f);
    EXPECT_EQ(add_quad_prim(node, 0, 1, 8, 3, 7, 1, 1), -1);
    // An index within 0..7 but past the points the node holds is refused too.
    EXPECT_EQ(add_quad_prim(node, 0, 1, 2, 5, 7, 1, 1), -1);
    EXPECT_EQ(node.prim_count(), 1);
}

TEST(ModelTreeBuild, BoxHasDiagonalRadiusAndSixOutwardFaces)
{
    model_node box = create_box_tree(0, 0, 0, 10, 20, 30, 0, 1);
    EXPECT_FLOAT_EQ(box.radius, std::sqrt(1400.0f));
    ASSERT_EQ(box.prim_count(), 6);
    for (const primitive& prim : box.prims) {
        const quad_prim& q = prim.quad;
        // The face centre lies along the normal from the box centre.
        float c[3];
        for (int k = 0; k < 3; ++k)
            c[k] = q.p0[k] + q.e2[k] / 2;
        float outward = c[0] * q.n[0] + c[1] * q.n[1] + c[2] * q.n[2];
        EXPECT_GT(outward, 0.0f);
    }
}

TEST(ModelTreeBuild, TopLevelModelsKeepTheirAddressWhenMoreAreAdded)
{
    structure_tree t;
    int first = register_top_level_model(t, create_box_tree(0, 0, 0, 1, 1, 1, 0, 1));
    model_node* kept = get_top_level_model(t, first);
    for (int i = 0; i < 100; ++i)
        register_top_level_model(t, create_box_tree(i, 0, 0, 1, 1, 1, 0, 1));
    EXPECT_EQ(get_top_level_model(t, first), kept);
    EXPECT_EQ(get_top_level_model(t, 101), nullptr);
    EXPECT_EQ(get_top_level_model(t, -1), nullptr);
}

// A model's display list draws its quads grouped by texture with every
// translation on the way down summed in; a lost or doubled origin would
// move a house's walls off its floor.
TEST(ModelTreeBuild, QuadsGroupedByTextureCarryTheTranslationsAboveThem)
{
    model_node house = create_box_tree(1, 2, 3, 2, 2, 2, 5, 1);
    model_node roof = one_quad_node(WALL_FACE);
    roof.origin[0] = 10;
    model_node chimney = create_box_tree(0, 4, 0, 1, 1, 1, 5, 1);
    add_child_to_tree(roof, std::move(chimney));
    add_child_to_tree(house, std::move(roof));

    const auto groups = quads_by_texture(house);
    ASSERT_EQ(groups.size(), 2u);
    ASSERT_EQ(groups.at(5).size(), 12u);
    ASSERT_EQ(groups.at(0).size(), 1u);
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(groups.at(5)[k].node, &house);
    const placed_quad& roof_quad = groups.at(0)[0];
    EXPECT_EQ(roof_quad.quad, &house.children[0]->prims[0].quad);
    EXPECT_EQ(std::vector<float>(roof_quad.offset, roof_quad.offset + 3), (std::vector<float>{11, 2, 3}));
    const placed_quad& chimney_quad = groups.at(5)[6];
    EXPECT_EQ(chimney_quad.node, house.children[0]->children[0].get());
    EXPECT_EQ(std::vector<float>(chimney_quad.offset, chimney_quad.offset + 3), (std::vector<float>{11, 6, 3}));
}

TEST(Collision, FarSphereGetsDistanceToNearestBoundingSphere)
{
    structure_tree t;
    make_wall_face(t);
    float p[3] = {100, 0, 0};
    float step[3] = {0, 0, 0};
    model_node* touched = reinterpret_cast<model_node*>(1);
    float d = do_collision_check(t, p, step, 1, &touched);
    EXPECT_NEAR(d, 80.0f, 1e-4);
    EXPECT_EQ(touched, nullptr);
}

TEST(Collision, WallFaceFromTheFrontLeavesSphereRestingOnIt)
{
    structure_tree t;
    int id = make_wall_face(t);
    float p[3] = {5, 2, 0.4f};
    float step[3] = {0, 0, -1};
    model_node* touched = nullptr;
    float d = do_collision_check(t, p, step, 1, &touched);
    EXPECT_EQ(d, 0.0f);
    EXPECT_NEAR(p[2], 1.0f, 1e-5);
    EXPECT_FLOAT_EQ(p[0], 5.0f);
    EXPECT_FLOAT_EQ(p[1], 2.0f);
    EXPECT_EQ(touched, get_top_level_model(t, id));
}

TEST(Collision, BeyondTheEdgeIsNotMoved)
{
    structure_tree t;
    make_wall_face(t);
    float p[3] = {11, 2, 0.5f};
    float step[3] = {0, 0, -1};
    model_node* touched = nullptr;
    float d = do_collision_check(t, p, step, 1, &touched);
    EXPECT_EQ(d, 0.0f);
    EXPECT_FLOAT_EQ(p[2], 0.5f);
    EXPECT_FLOAT_EQ(p[0], 11.0f);
    EXPECT_EQ(touched, nullptr);
}

TEST(Collision, DeepBehindOneSidedFaceReportsDistanceLessRadius)
{
    model_node node = one_quad_node(WALL_FACE);
    float p[3] = {5, 2, -4};
    float step[3] = {0, 0, -0.5f};
    EXPECT_FLOAT_EQ(quad_collision(node.prims[0].quad, p, step, 1), 3.0f);
    EXPECT_FLOAT_EQ(p[2], -4.0f);
}

TEST(Collision, DegenerateFaceIsPassedAndReportedAtMostOnce)
{
    // p2 lies on the line from p1 to p3: the far half of the quad has no area.
    const float pts[4][3] = {{0, 0, 0}, {10, 0, 0}, {5, 2.5f, 0}, {0, 5, 0}};
    model_node node = one_quad_node(pts);
    testing::internal::CaptureStdout();
    for (int i = 0; i < 50; ++i) {
        float p[3] = {2, 1, 0.5f};
        const float step[3] = {0, 0, -0.5f};
        EXPECT_FLOAT_EQ(quad_collision(node.prims[0].quad, p, step, 1), 0.0f);
        EXPECT_FLOAT_EQ(p[2], 0.5f);
    }
    const std::string out = testing::internal::GetCapturedStdout();
    size_t reports = 0;
    for (size_t at = out.find("ack!"); at != std::string::npos; at = out.find("ack!", at + 1))
        ++reports;
    EXPECT_LE(reports, 1u) << out.substr(0, 200);
}

TEST(Collision, CrossingThroughAFaceInOneStepIsPushedBack)
{
    structure_tree t;
    make_wall_face(t);
    float p[3] = {5, 2, -0.3f};
    float step[3] = {0, 0, -0.6f}; // was at +0.3, in front
    do_collision_check(t, p, step, 1, nullptr);
    EXPECT_NEAR(p[2], 1.0f, 1e-5);
}

TEST(Collision, ConePushesSidewaysOnly)
{
    primitive prim;
    create_cone_prim(prim, 0, 0, 0, 2, 1, 10, 0, 1);
    float p[3] = {1, 5, 0};
    float step[3] = {0, 0, 0};
    EXPECT_EQ(cone_collision(prim.cone, p, step, 0.5f), -1.0f);
    // allowed distance at half height: 0.5 + (5*2 + 5*1)/10 = 2
    EXPECT_FLOAT_EQ(p[0], 2.0f);
    EXPECT_FLOAT_EQ(p[1], 5.0f);
    EXPECT_FLOAT_EQ(p[2], 0.0f);
    float q[3] = {4, 5, 0};
    EXPECT_FLOAT_EQ(cone_collision(prim.cone, q, step, 0.5f), 2.0f);
    float below[3] = {3, -4, 0};
    EXPECT_FLOAT_EQ(cone_collision(prim.cone, below, step, 0.5f), 5.0f);
    float on_axis[3] = {0, 5, 0};
    EXPECT_EQ(cone_collision(prim.cone, on_axis, step, 0.5f), -1.0f);
    EXPECT_FLOAT_EQ(on_axis[0], 2.0f);
}

TEST(Collision, DomeFromAboveSitsOnTopAndFromTheSideIsPushedOut)
{
    primitive prim;
    create_sphere_prim(prim, 0, 10, 0, 3, 0, 1);
    float step[3] = {0, -1, 0};
    float p[3] = {0.01f, 13.5f, 0};
    EXPECT_EQ(spheretop_collision(prim.dome, p, step, 1), -1.0f);
    EXPECT_FLOAT_EQ(p[1], 14.0f);
    float side[3] = {2, 11, 0};
    EXPECT_EQ(spheretop_collision(prim.dome, side, step, 1), -1.0f);
    float len = std::sqrt(side[0] * side[0] + (side[1] - 10) * (side[1] - 10));
    EXPECT_NEAR(len, 4.0f, 1e-5);
    float far[3] = {10, 10, 0};
    EXPECT_FLOAT_EQ(spheretop_collision(prim.dome, far, step, 1), 6.0f);
}

TEST(Collision, HitNamesTheDeepestEnteredNode)
{
    structure_tree t;
    model_node parent;
    empty_model_tree(parent, 50, 0, 0, 40);
    int child = add_child_to_tree(parent, create_box_tree(0, 0, 0, 4, 4, 4, 0, 1));
    int id = register_top_level_model(t, std::move(parent));
    float p[3] = {52.5f, 0, 0};
    float step[3] = {0.5f, 0, 0};
    model_node* touched = nullptr;
    do_collision_check(t, p, step, 1, &touched);
    EXPECT_EQ(touched, get_top_level_model(t, id)->children[child].get());
    EXPECT_NEAR(p[0], 53.0f, 1e-5);
}

TEST(Matrix, InvertIdentityAndSwap)
{
    float id[9], out[9];
    identity_matrix(id);
    ASSERT_EQ(invert_matrix(id, out), 0);
    for (int i = 0; i < 9; ++i)
        EXPECT_FLOAT_EQ(out[i], id[i]);
    const float swap[9] = {0, 1, 0, 1, 0, 0, 0, 0, 1};
    ASSERT_EQ(invert_matrix(swap, out), 0);
    for (int i = 0; i < 9; ++i)
        EXPECT_FLOAT_EQ(out[i], swap[i]);
}

TEST(Matrix, InvertGeneralAndSingular)
{
    // Zero first pivot that needs a later column, and an off-diagonal mix.
    const float m[9] = {0, 2, 1, 1, 1, 0, 3, 0, 1};
    float inv[9];
    ASSERT_EQ(invert_matrix(m, inv), 0);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            float s = 0;
            for (int k = 0; k < 3; ++k)
                s += m[3 * r + k] * inv[3 * k + c];
            EXPECT_NEAR(s, r == c ? 1.0f : 0.0f, 1e-5) << r << "," << c;
        }
    const float singular[9] = {1, 2, 3, 2, 4, 6, 0, 0, 1};
    EXPECT_EQ(invert_matrix(singular, inv), -1);
    float v[3] = {1, 2, 3}, out[3];
    transform_vector(v, m, out); // v . m
    EXPECT_FLOAT_EQ(out[0], 11.0f);
    EXPECT_FLOAT_EQ(out[1], 4.0f);
    EXPECT_FLOAT_EQ(out[2], 4.0f);
}
