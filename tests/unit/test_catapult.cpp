#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "siege_test_support.h"
#include "sim/catapult.h"
#include "sim/combat.h"
#include "sim/fire.h"

namespace {

class Catapults : public siege_test {
protected:
    void SetUp() override { siege_reset(TEAM_ATTACKERS); }

    // A settled, cocked catapult of this copy at (x, z) facing `heading`.
    unit* ready(float x, float z, float heading)
    {
        world& w = *game;
        unit* u = add_catapult(w, x, z);
        u->heading = heading;
        auto* c = data(u);
        c->reload_time = 0.0f;
        c->arm_angle = 160.0f;
        c->arm_speed = 0.0f;
        simulate_catapult(w, u, 0.02f);  // settles on the ground
        return u;
    }
    static catapult_data* data(unit* u) { return catapult_of(u); }

    void step(unit* u, float dt) { registry_step(u, dt); }
};

}  // namespace

TEST_F(Catapults, NewCatapultIsAnnouncedAndStartsCocked)
{
    world& w = *game;
    w.units.catapult_counter = 0;
    unit* u = add_catapult(w, 8, 160);
    EXPECT_EQ(u->id, 0x10000u);
    EXPECT_EQ(w.units.catapult_counter, 1);
    auto units = sent_commands("UNIT");
    ASSERT_EQ(units.size(), 1u);
    EXPECT_EQ(units[0].p[0], 0x10000u);
    EXPECT_EQ(u->kind, UNIT_CATAPULT);
    EXPECT_EQ(u->team, TEAM_ATTACKERS);
    EXPECT_FLOAT_EQ(u->health, 10.0f);
    EXPECT_FLOAT_EQ(data(u)->arm_angle, 160.0f);
    EXPECT_GE(data(u)->reload_time, 1.0f);
    EXPECT_LE(data(u)->reload_time, 4.0f);
}

TEST_F(Catapults, LeaderMakesTenInTwoRowsOthersNone)
{
    world& w = *game;
    init_catapults(w);
    int n = 0;
    for (unit* u = w.units.list; u; u = u->next)
        if (u->kind == UNIT_CATAPULT) {
            ++n;
            EXPECT_TRUE(u->z == 160.0f || u->z == 145.0f);
        }
    EXPECT_EQ(n, 10);
    world& defenders = siege_reset(TEAM_DEFENDERS);
    init_catapults(defenders);
    EXPECT_EQ(count_units(defenders), 1);  // only this copy's figure
}

TEST_F(Catapults, ReceivedIdsRaiseTheCounter)
{
    world& w = *game;
    w.units.catapult_counter = 3;
    unit* u = spawn_catapult(w, 0x10007, TEAM_ATTACKERS, 0);
    EXPECT_EQ(w.units.catapult_counter, 8);
    EXPECT_EQ(u->team, TEAM_ATTACKERS);
    w.units.catapult_counter = 9;
    spawn_catapult(w, 0x10007 + 0, TEAM_ATTACKERS, 0);
    EXPECT_EQ(w.units.catapult_counter, 9);
    EXPECT_TRUE(sent_commands("UNIT").empty());  // copies do not announce
}

TEST_F(Catapults, RangeOnFlatGroundIsJustUnder200)
{
    unit* u = ready(0, 0, 0);
    EXPECT_NEAR(u->y, 0.7f, 1e-5);
    const float r = predicted_catapult_range(u->y, 0.0f);
    EXPECT_GT(r, 190.0f);
    EXPECT_LT(r, 200.0f);
    // A target far above anything a ball can reach gives no range at all.
    EXPECT_EQ(predicted_catapult_range(0.0f, 200.0f), 0.0f);
}

TEST_F(Catapults, BallLandsAtThePredictedRange)
{
    world& w = siege_reset(TEAM_ATTACKERS, 0.0f);
    unit* u = ready(0, -100, 0);
    const float r = predicted_catapult_range(u->y, 0.0f);
    catapult_launch(w, u);
    projectile* b = w.projectiles.head;
    ASSERT_NE(b, nullptr);
    EXPECT_FLOAT_EQ(b->damage, 4.0f);
    float landed = -1;
    for (int i = 0; i < 3000 && w.projectiles.head; ++i) {
        projectile_frame(0.005f);
        if (w.projectiles.head && b->y <= 0.0f + 1e-4f) {
            landed = b->z - u->z;
            break;
        }
    }
    ASSERT_GT(landed, 0) << "ball at " << (w.projectiles.head ? w.projectiles.head->y : -1.0f) << " after "
                         << w.time;
    EXPECT_NEAR(landed, r, 2.0f);
}

TEST_F(Catapults, AttackBacksAwayFromANearTargetAndClosesOnAFarOne)
{
    world& w = *game;
    unit* u = ready(0, 0, 0);
    u->order_kind = ORDER_ATTACK;
    u->order_x = 0;
    u->order_z = 60;
    w.time += 0.1f;
    simulate_catapult(w, u, 0.02f);
    EXPECT_FLOAT_EQ(u->drive_speed, -10.0f);
    EXPECT_LT(u->vz, 0.0f);  // rolling back, still facing the target

    unit* v = ready(20, 0, 0);
    v->order_kind = ORDER_ATTACK;
    v->order_x = 20;
    v->order_z = 230;
    w.time += 0.1f;
    simulate_catapult(w, v, 0.02f);
    EXPECT_FLOAT_EQ(v->drive_speed, 10.0f);
}

TEST_F(Catapults, ThrowsOnlyWhenAimedWithinTolerance)
{
    world& w = *game;
    unit* u = ready(0, 0, 0);
    const float r = predicted_catapult_range(u->y, 0.0f);
    // The point straight ahead (heading 0 is +z) at the range, seen 3.4 off.
    u->order_kind = ORDER_ATTACK;
    u->order_x = r * std::sin(3.4f * 0.01745329f);
    u->order_z = r * std::cos(3.4f * 0.01745329f);
    u->drive_speed = 0.0f;
    w.time += 0.1f;
    attack_catapult(w, u);
    EXPECT_EQ(count_projectiles(w.projectiles), 1);
    ASSERT_EQ(sent_commands("UBAL").size(), 1u);
    EXPECT_EQ(sent_commands("UBAL")[0].p[0], u->id);
    EXPECT_FLOAT_EQ(data(u)->arm_speed, -5.0f);

    unit* v = ready(40, 0, 0);
    v->order_kind = ORDER_ATTACK;
    v->order_x = 40 + r * std::sin(3.6f * 0.01745329f);
    v->order_z = r * std::cos(3.6f * 0.01745329f);
    v->drive_speed = 0.0f;
    attack_catapult(w, v);
    EXPECT_EQ(count_projectiles(w.projectiles), 1);  // no second ball
    EXPECT_FLOAT_EQ(v->heading, 3.0f);  // turned toward it instead
    EXPECT_NEAR(data(v)->reload_time, w.time + 0.5f, 1e-3);
}

TEST_F(Catapults, RollingCatapultNeverThrows)
{
    world& w = *game;
    unit* u = ready(0, 0, 0);
    u->order_kind = ORDER_ATTACK;
    u->order_x = 0;
    u->order_z = 100;
    u->drive_speed = 10.0f;
    w.time += 0.1f;
    attack_catapult(w, u);
    EXPECT_EQ(count_projectiles(w.projectiles), 0);
}

TEST_F(Catapults, BallsFromOneCatapultAreAtLeastFourSecondsApart)
{
    world& w = *game;
    unit* u = ready(0, 0, 0);
    u->order_kind = ORDER_ATTACK;
    u->order_x = 0;
    u->order_z = predicted_catapult_range(u->y, 0.0f);
    std::vector<float> throws;
    for (int i = 0; i < 1500; ++i) {
        const size_t before = sent_commands("UBAL").size();
        step(u, 0.01f);
        if (sent_commands("UBAL").size() > before)
            throws.push_back(w.time);
    }
    ASSERT_GE(throws.size(), 3u);
    for (size_t i = 1; i < throws.size(); ++i)
        EXPECT_GE(throws[i] - throws[i - 1], 4.0f - 1e-3f);
}

TEST_F(Catapults, MoveOrderFourUnitsAwayStopsAtOnce)
{
    world& w = *game;
    unit* u = ready(0, 0, 0);
    u->order_kind = ORDER_MOVE;
    u->order_x = 0;
    u->order_z = 4;
    simulate_catapult(w, u, 0.02f);
    EXPECT_EQ(u->order_kind, ORDER_NONE);
    EXPECT_EQ(u->drive_speed, 0.0f);
    EXPECT_EQ(u->vz, 0.0f);
}

TEST_F(Catapults, MoveOrderTurnsFirstThenDrivesAndArrives)
{
    unit* u = ready(0, 0, 0);
    u->order_kind = ORDER_MOVE;
    u->order_x = 30;
    u->order_z = 0;  // 90 degrees to the right
    step(u, 0.02f);
    EXPECT_EQ(u->drive_speed, 0.0f);
    EXPECT_FLOAT_EQ(u->heading, 2.4f);  // 3 degrees a tuned step: 120 a second
    for (int i = 0; i < 1000 && u->order_kind == ORDER_MOVE; ++i)
        step(u, 0.02f);
    EXPECT_EQ(u->order_kind, ORDER_NONE);
    EXPECT_NEAR(u->x, 30.0f, 5.0f);
}

TEST_F(Catapults, StaysOnTheMap)
{
    unit* u = ready(240, 0, 90);  // facing +x
    u->order_kind = ORDER_MOVE;
    u->order_x = 260;
    u->order_z = 0;
    for (int i = 0; i < 300; ++i) {
        step(u, 0.02f);
        ASSERT_LE(u->x, 250.0f);
    }
    EXPECT_FLOAT_EQ(u->x, 250.0f);
}

TEST_F(Catapults, RemoteCopyDoesNotMoveBetweenUpdates)
{
    world& w = siege_reset(TEAM_DEFENDERS);
    unit* u = spawn_catapult(w, 0x10002, TEAM_ATTACKERS, 0);
    const float v[9] = {10, 5, 20, 0, 160, 0, 0, 0, 10};
    ASSERT_EQ(update_catapult(w, u, 9, v), 0);
    u->order_kind = ORDER_ATTACK;  // even so: not this copy's to decide
    u->order_x = 10;
    u->order_z = 100;
    step(u, 0.02f);  // the received velocity carries it for one frame
    const float z = u->z;
    EXPECT_EQ(u->vz, 0.0f);
    for (int i = 0; i < 50; ++i)
        step(u, 0.02f);
    EXPECT_FLOAT_EQ(u->x, 10.0f);
    EXPECT_FLOAT_EQ(u->z, z);
    EXPECT_EQ(count_projectiles(w.projectiles), 0);
}

TEST_F(Catapults, StateRecordsRoundTripAndWrongCountsAreRefused)
{
    world& w = *game;
    unit* u = ready(3, 4, 45);
    data(u)->arm_angle = 120.0f;
    w.batch.len = 0;
    conditionally_update_catapult(w, u);
    EXPECT_GT(w.batch.len, 0);
    unit* copy = spawn_catapult(w, 0x10050, TEAM_ATTACKERS, 0);
    const float v[9] = {1, 2, 3, 45, 120, 5, 0.5f, 0, 0.25f};
    EXPECT_EQ(update_catapult(w, copy, 8, v), -1);
    EXPECT_FLOAT_EQ(copy->x, 0.0f);
    EXPECT_EQ(update_catapult(w, copy, 9, v), 0);
    EXPECT_FLOAT_EQ(copy->heading, 45.0f);
    EXPECT_FLOAT_EQ(data(copy)->arm_angle, 120.0f);
    EXPECT_FLOAT_EQ(copy->pitch, 5.0f);
    EXPECT_FLOAT_EQ(copy->vz, 0.25f);
    s.phase = STATE_MENU;
    w.batch.len = 0;
    conditionally_update_catapult(w, u);
    EXPECT_EQ(w.batch.len, 0);
}

TEST_F(Catapults, ReceivedThrowSetsTheAimAndLaunches)
{
    world& w = *game;
    unit* u = spawn_catapult(w, 0x10003, TEAM_ATTACKERS, 0);
    EXPECT_EQ(unit_launch_ball(w, u->id, 90.0f, 2.0f), 0);
    EXPECT_FLOAT_EQ(u->heading, 90.0f);
    ASSERT_NE(w.projectiles.head, nullptr);
    EXPECT_GT(w.projectiles.head->vx, 17.0f);
    EXPECT_NEAR(w.projectiles.head->vz, 0.0f, 1e-3);
    EXPECT_EQ(unit_launch_ball(w, 0x1FFFF, 0, 0), -1);
}

TEST_F(Catapults, ArmSwingsDownBouncesAndSettlesCocked)
{
    unit* u = ready(0, 0, 0);
    data(u)->arm_speed = -5.0f;
    float lowest = 160;
    for (int i = 0; i < 100; ++i) {
        step(u, 0.02f);
        lowest = std::fmin(lowest, data(u)->arm_angle);
        ASSERT_GE(data(u)->arm_angle, 90.0f);
        ASSERT_LE(data(u)->arm_angle, 160.0f);
    }
    EXPECT_FLOAT_EQ(lowest, 90.0f);
    for (int i = 0; i < 200; ++i)
        step(u, 0.02f);
    EXPECT_GE(data(u)->arm_angle, 159.5f);
}

TEST_F(Catapults, BurningBallTrailsItsFire)
{
    world& w = *game;
    unit* u = ready(0, 0, 0);
    data(u)->burning = 1;
    catapult_launch(w, u);
    const projectile* ball = w.projectiles.head;
    auto* f = static_cast<fire_source*>(ball->data);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->intensity, 10.0f);
    for (int i = 0; i < 30; ++i)
        projectile_frame(0.02f);
    ASSERT_EQ(w.projectiles.head, ball);  // still in flight
    EXPECT_FLOAT_EQ(f->pos[1], ball->y - ball->vy * 0.02f);  // placed before this frame's move
    EXPECT_FLOAT_EQ(f->emit_vel[0], -ball->vx);
    data(u)->burning = 0;
    catapult_launch(w, u);
    EXPECT_EQ(w.projectiles.head->data, nullptr);  // the new ball does not burn
}

// The defenders' copy: a throw re-created from "UBAL" falls among its own
// footmen, kills those in the blast and announces each death.
TEST_F(Catapults, BallAmongTheDefendersKillsThemOnTheirCopyAndAnnouncesIt)
{
    world& w = siege_reset(TEAM_DEFENDERS, 20.0f);
    std::vector<uint32_t> footmen;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            footmen.push_back(add_footman(w, 5.0f * i - 10.0f, 21.0f, 5.0f * j - 160.0f)->id);
    // An attackers' catapult, known here from its "UNIT", at its range north
    // of the square.
    unit* c = spawn_catapult(w, 0x10004, TEAM_ATTACKERS, 0);
    c->x = -2.5f;
    c->z = -152.5f + predicted_catapult_range(20.7f, 20.0f);
    c->y = 20.7f;
    sent.clear();
    ASSERT_EQ(unit_launch_ball(w, c->id, 180.0f, 0.0f), 0);
    for (int i = 0; i < 2000 && w.projectiles.head; ++i)
        projectile_frame(0.02f);
    EXPECT_EQ(w.projectiles.head, nullptr);

    int alive = 0;
    for (uint32_t id : footmen)
        alive += find_unit(w, id) != nullptr;
    EXPECT_LT(alive, 16);
    auto deaths = sent_commands("UDIE");
    EXPECT_EQ(static_cast<int>(deaths.size()), 16 - alive);
    for (const auto& d : deaths) {
        EXPECT_EQ(d.p[0] >> 12, 0x80u);
        EXPECT_EQ(find_unit(w, d.p[0]), nullptr);
    }
}
