#include <gtest/gtest.h>

#include <cmath>

#include "render/ship_model.h"
#include "ship_mesh.h"
#include "siege_test_support.h"
#include "sim/ship.h"

namespace {

class Ships : public siege_test {
protected:
    void SetUp() override { siege_reset(TEAM_ATTACKERS, -30.0f); }  // open sea everywhere

    unit* ship_at(float x, float z, float heading)
    {
        unit* u = add_ship(*game, x, 0, z);
        u->heading = heading;
        return u;
    }
    static void order(unit* u, float x, float z)
    {
        u->order_kind = ORDER_MOVE;
        u->order_x = x;
        u->order_z = z;
        float h = 90.0f - std::atan2(z - u->z, x - u->x) * 57.29578f;
        if (h < 0)
            h += 360;
        u->order_heading = h;
    }
    void step(unit* u, float dt)
    {
        world& w = *game;
        w.time += dt;
        u->x += u->vx * dt;
        u->z += u->vz * dt;
        simulate_ship(w, u);
    }
};

}  // namespace

TEST_F(Ships, OnlyTheAttackersLeaderLaunchesThree)
{
    world& w = *game;
    w.units.ship_counter = 0;
    init_ships(w);
    int n = 0;
    for (unit* u = w.units.list; u; u = u->next)
        if (u->kind == UNIT_SHIP) {
            ++n;
            EXPECT_EQ(u->team, TEAM_ATTACKERS);
            EXPECT_EQ(u->on_water, 1);
            EXPECT_FLOAT_EQ(u->radius, 20.0f);
            EXPECT_FLOAT_EQ(u->health, 50.0f);
        }
    EXPECT_EQ(n, 3);
    EXPECT_NE(find_unit(w, 0x60000), nullptr);
    EXPECT_FLOAT_EQ(find_unit(w, 0x60000)->z, 500.0f);
    EXPECT_FLOAT_EQ(find_unit(w, 0x60002)->x, 200.0f);
    auto units = sent_commands("UNIT");
    ASSERT_EQ(units.size(), 3u);
    EXPECT_EQ(units[0].f(1), 2.0f);

    world& defenders = siege_reset(TEAM_DEFENDERS, -30.0f);
    init_ships(defenders);
    EXPECT_EQ(count_units(defenders), 1);
}

TEST_F(Ships, TurnsInPlaceThenSails)
{
    unit* u = ship_at(0, 0, 0);  // facing +z
    order(u, 0, -100);           // behind it
    const float h0 = u->heading;
    step(u, 0.02f);
    EXPECT_NEAR(std::fabs(u->heading - h0), 0.3f, 1e-4);
    EXPECT_EQ(u->drive_speed, 0.0f);
    const float x = u->x;  // after the new unit's first nudge
    int turning = 1;
    while (u->drive_speed == 0.0f && turning < 1000) {
        step(u, 0.02f);
        ASSERT_EQ(u->x, x);
        ++turning;
    }
    // About 170 degrees at 0.3 a step before it is within 10 degrees.
    EXPECT_NEAR(turning, 170 / 0.3, 3);
    EXPECT_FLOAT_EQ(u->drive_speed, 35.0f);
}

TEST_F(Ships, TurnsTheShortWayRound)
{
    unit* u = ship_at(0, 0, 5);
    order(u, -100, 100);  // heading 315
    step(u, 0.02f);
    EXPECT_NEAR(u->heading, 4.7f, 1e-4);
}

TEST_F(Ships, StopsBeforeTheShoreAndGoesIdle)
{
    raise_east_of(40.0f, 0.0f);  // land from x = 40
    unit* u = ship_at(0, 0, 90);
    order(u, 100, 0);
    for (int i = 0; i < 500 && u->order_kind == ORDER_MOVE; ++i) {
        step(u, 0.02f);
        ASSERT_LT(u->x, 40.0f);
    }
    EXPECT_EQ(u->order_kind, ORDER_NONE);
    EXPECT_EQ(u->drive_speed, 0.0f);
    EXPECT_EQ(u->vx, 0.0f);
    EXPECT_GT(u->x, 20.0f);  // it did sail toward the shore first
}

TEST_F(Ships, ArrivesWithinTwoUnitsOfItsTarget)
{
    unit* u = ship_at(0, 0, 90);
    order(u, 60, 0);
    for (int i = 0; i < 500 && u->order_kind == ORDER_MOVE; ++i)
        step(u, 0.01f);
    EXPECT_EQ(u->order_kind, ORDER_NONE);
    EXPECT_NEAR(u->x, 60.0f, 2.0f);
    EXPECT_EQ(u->drive_speed, 0.0f);
}

TEST_F(Ships, StopOrderHaltsAtOnce)
{
    unit* u = ship_at(0, 0, 90);
    order(u, 200, 0);
    step(u, 0.02f);
    step(u, 0.02f);
    ASSERT_GT(u->vx, 0.0f);
    u->order_kind = ORDER_HOLD;
    step(u, 0.02f);
    EXPECT_EQ(u->vx, 0.0f);
    EXPECT_EQ(u->drive_speed, 0.0f);
}

TEST(ShipMesh, FaceListsHaveTheirCountsAndIndexOnlyExistingEntries)
{
    EXPECT_EQ(ship_sail_face_count(), 74);
    EXPECT_EQ(ship_hull_face_count(), 680);
    const int nv = sizeof ship_vertices / sizeof ship_vertices[0];
    const int nn = sizeof ship_normals / sizeof ship_normals[0];
    auto check = [&](const int16_t (*faces)[9], int count) {
        for (int f = 0; f < count; ++f)
            for (int k = 0; k < 3; ++k) {
                ASSERT_GE(faces[f][k], 0);
                ASSERT_LT(faces[f][k], nv);
                ASSERT_GE(faces[f][3 + k], 0);
                ASSERT_LT(faces[f][3 + k], nn);
                ASSERT_EQ(faces[f][6 + k], 0);
            }
    };
    check(ship_sail_faces, 74);
    check(ship_hull_faces, 680);
    // About a unit long: the hull spans 0.8 along y, the mast rises above the deck.
    float ymin = 1, ymax = -1, zmax = -1;
    for (const auto& v : ship_vertices) {
        ymin = std::fmin(ymin, v[1]);
        ymax = std::fmax(ymax, v[1]);
        zmax = std::fmax(zmax, v[2]);
    }
    EXPECT_NEAR(ymax - ymin, 0.8f, 0.01f);
    EXPECT_GT(zmax, 0.2f);
    for (const auto& n : ship_normals)
        EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0f, 1e-3);
}
