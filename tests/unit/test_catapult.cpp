#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "siege_test_support.h"
#include "sim/catapult.h"
#include "sim/combat.h"
#include "sim/fire.h"

namespace {

class Catapults : public ::testing::Test {
protected:
    void SetUp() override { siege_reset(TEAM_ATTACKERS); }
    void TearDown() override { clear_projectiles(); }

    // A settled, cocked catapult of this copy at (x, z) facing `heading`.
    unit* ready(float x, float z, float heading)
    {
        unit* u = add_catapult(x, z);
        u->heading = heading;
        auto* c = data(u);
        c->reload_time = 0.0f;
        c->arm_angle = 160.0f;
        c->arm_speed = 0.0f;
        simulate_catapult(u, 0.02f);  // settles on the ground
        return u;
    }
    static catapult_data* data(unit* u) { return static_cast<catapult_data*>(u->kind_data); }

    static void step(unit* u, float dt) { registry_step(u, dt, simulate_catapult); }
};

}  // namespace

TEST_F(Catapults, NewCatapultIsAnnouncedAndStartsCocked)
{
    catapult_id = 0;
    unit* u = add_catapult(8, 160);
    EXPECT_EQ(u->id, 0x10000u);
    EXPECT_EQ(catapult_id, 1);
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
    init_catapults();
    int n = 0;
    for (unit* u = unit_list; u; u = u->next)
        if (u->kind == UNIT_CATAPULT) {
            ++n;
            EXPECT_TRUE(u->z == 160.0f || u->z == 145.0f);
        }
    EXPECT_EQ(n, 10);
    siege_reset(TEAM_DEFENDERS);
    init_catapults();
    EXPECT_EQ(count_units(), 1);  // only this copy's figure
}

TEST_F(Catapults, ReceivedIdsRaiseTheCounter)
{
    catapult_id = 3;
    unit* u = spawn_catapult(0x10007, TEAM_ATTACKERS);
    EXPECT_EQ(catapult_id, 8);
    EXPECT_EQ(u->team, TEAM_ATTACKERS);
    catapult_id = 9;
    spawn_catapult(0x10007 + 0, TEAM_ATTACKERS);
    EXPECT_EQ(catapult_id, 9);
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
    siege_reset(TEAM_ATTACKERS, 0.0f);
    unit* u = ready(0, -100, 0);
    const float r = predicted_catapult_range(u->y, 0.0f);
    catapult_launch(u);
    projectile* b = proj;
    ASSERT_NE(b, nullptr);
    EXPECT_FLOAT_EQ(b->damage, 4.0f);
    float landed = -1;
    for (int i = 0; i < 3000 && proj; ++i) {
        projectile_frame(0.005f);
        if (proj && b->y <= 0.0f + 1e-4f) {
            landed = b->z - u->z;
            break;
        }
    }
    ASSERT_GT(landed, 0) << "ball at " << (proj ? proj->y : -1.0f) << " after " << game_time;
    EXPECT_NEAR(landed, r, 2.0f);
}

TEST_F(Catapults, AttackBacksAwayFromANearTargetAndClosesOnAFarOne)
{
    unit* u = ready(0, 0, 0);
    u->order_kind = ORDER_ATTACK;
    u->order_x = 0;
    u->order_z = 60;
    game_time += 0.1f;
    simulate_catapult(u, 0.02f);
    EXPECT_FLOAT_EQ(u->param[1], -10.0f);
    EXPECT_LT(u->vz, 0.0f);  // rolling back, still facing the target

    unit* v = ready(20, 0, 0);
    v->order_kind = ORDER_ATTACK;
    v->order_x = 20;
    v->order_z = 230;
    game_time += 0.1f;
    simulate_catapult(v, 0.02f);
    EXPECT_FLOAT_EQ(v->param[1], 10.0f);
}

TEST_F(Catapults, ThrowsOnlyWhenAimedWithinTolerance)
{
    unit* u = ready(0, 0, 0);
    const float r = predicted_catapult_range(u->y, 0.0f);
    // The point straight ahead (heading 0 is +z) at the range, seen 3.4 off.
    u->order_kind = ORDER_ATTACK;
    u->order_x = r * std::sin(3.4f * 0.01745329f);
    u->order_z = r * std::cos(3.4f * 0.01745329f);
    u->param[1] = 0.0f;
    game_time += 0.1f;
    attack_catapult(u);
    EXPECT_EQ(count_projectiles(), 1);
    ASSERT_EQ(sent_commands("UBAL").size(), 1u);
    EXPECT_EQ(sent_commands("UBAL")[0].p[0], u->id);
    EXPECT_FLOAT_EQ(data(u)->arm_speed, -5.0f);

    unit* v = ready(40, 0, 0);
    v->order_kind = ORDER_ATTACK;
    v->order_x = 40 + r * std::sin(3.6f * 0.01745329f);
    v->order_z = r * std::cos(3.6f * 0.01745329f);
    v->param[1] = 0.0f;
    attack_catapult(v);
    EXPECT_EQ(count_projectiles(), 1);  // no second ball
    EXPECT_FLOAT_EQ(v->heading, 3.0f);  // turned toward it instead
    EXPECT_NEAR(data(v)->reload_time, game_time + 0.5f, 1e-3);
}

TEST_F(Catapults, RollingCatapultNeverThrows)
{
    unit* u = ready(0, 0, 0);
    u->order_kind = ORDER_ATTACK;
    u->order_x = 0;
    u->order_z = 100;
    u->param[1] = 10.0f;
    game_time += 0.1f;
    attack_catapult(u);
    EXPECT_EQ(count_projectiles(), 0);
}

TEST_F(Catapults, BallsFromOneCatapultAreAtLeastFourSecondsApart)
{
    unit* u = ready(0, 0, 0);
    u->order_kind = ORDER_ATTACK;
    u->order_x = 0;
    u->order_z = predicted_catapult_range(u->y, 0.0f);
    std::vector<float> throws;
    for (int i = 0; i < 1500; ++i) {
        const size_t before = sent_commands("UBAL").size();
        step(u, 0.01f);
        if (sent_commands("UBAL").size() > before)
            throws.push_back(game_time);
    }
    ASSERT_GE(throws.size(), 3u);
    for (size_t i = 1; i < throws.size(); ++i)
        EXPECT_GE(throws[i] - throws[i - 1], 4.0f - 1e-3f);
}

TEST_F(Catapults, MoveOrderFourUnitsAwayStopsAtOnce)
{
    unit* u = ready(0, 0, 0);
    u->order_kind = ORDER_MOVE;
    u->order_x = 0;
    u->order_z = 4;
    simulate_catapult(u, 0.02f);
    EXPECT_EQ(u->order_kind, ORDER_NONE);
    EXPECT_EQ(u->param[1], 0.0f);
    EXPECT_EQ(u->vz, 0.0f);
}

TEST_F(Catapults, MoveOrderTurnsFirstThenDrivesAndArrives)
{
    unit* u = ready(0, 0, 0);
    u->order_kind = ORDER_MOVE;
    u->order_x = 30;
    u->order_z = 0;  // 90 degrees to the right
    step(u, 0.02f);
    EXPECT_EQ(u->param[1], 0.0f);
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
    siege_reset(TEAM_DEFENDERS);
    unit* u = spawn_catapult(0x10002, TEAM_ATTACKERS);
    const float v[9] = {10, 5, 20, 0, 160, 0, 0, 0, 10};
    ASSERT_EQ(update_catapult(u, 9, v), 0);
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
    EXPECT_EQ(count_projectiles(), 0);
}

TEST_F(Catapults, StateRecordsRoundTripAndWrongCountsAreRefused)
{
    unit* u = ready(3, 4, 45);
    data(u)->arm_angle = 120.0f;
    updm_len = 0;
    conditionally_update_catapult(u);
    EXPECT_GT(updm_len, 0);
    unit* w = spawn_catapult(0x10050, TEAM_ATTACKERS);
    const float v[9] = {1, 2, 3, 45, 120, 5, 0.5f, 0, 0.25f};
    EXPECT_EQ(update_catapult(w, 8, v), -1);
    EXPECT_FLOAT_EQ(w->x, 0.0f);
    EXPECT_EQ(update_catapult(w, 9, v), 0);
    EXPECT_FLOAT_EQ(w->heading, 45.0f);
    EXPECT_FLOAT_EQ(data(w)->arm_angle, 120.0f);
    EXPECT_FLOAT_EQ(w->pitch, 5.0f);
    EXPECT_FLOAT_EQ(w->vz, 0.25f);
    game_state = STATE_MENU;
    updm_len = 0;
    conditionally_update_catapult(u);
    EXPECT_EQ(updm_len, 0);
}

TEST_F(Catapults, ReceivedThrowSetsTheAimAndLaunches)
{
    unit* u = spawn_catapult(0x10003, TEAM_ATTACKERS);
    EXPECT_EQ(unit_launch_ball(u->id, 90.0f, 2.0f), 0);
    EXPECT_FLOAT_EQ(u->heading, 90.0f);
    ASSERT_NE(proj, nullptr);
    EXPECT_GT(proj->vx, 17.0f);
    EXPECT_NEAR(proj->vz, 0.0f, 1e-3);
    EXPECT_EQ(unit_launch_ball(0x1FFFF, 0, 0), -1);
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
    unit* u = ready(0, 0, 0);
    data(u)->burning = 1;
    catapult_launch(u);
    auto* f = static_cast<fire_source*>(proj->data);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->intensity, 10.0f);
    for (int i = 0; i < 30; ++i)
        projectile_frame(0.02f);
    EXPECT_FLOAT_EQ(f->pos[1], proj->y - proj->vy * 0.02f);  // placed before this frame's move
    EXPECT_FLOAT_EQ(f->emit_vel[0], -proj->vx);
    data(u)->burning = 0;
    catapult_launch(u);
    EXPECT_EQ(proj->data, nullptr);
}

// The defenders' copy: a throw re-created from "UBAL" falls among its own
// footmen, kills those in the blast and announces each death.
TEST_F(Catapults, BallAmongTheDefendersKillsThemOnTheirCopyAndAnnouncesIt)
{
    siege_reset(TEAM_DEFENDERS, 20.0f);
    std::vector<uint32_t> footmen;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            footmen.push_back(add_footman(5.0f * i - 10.0f, 21.0f, 5.0f * j - 160.0f)->id);
    // An attackers' catapult, known here from its "UNIT", at its range north
    // of the square.
    unit* c = spawn_catapult(0x10004, TEAM_ATTACKERS);
    c->x = -2.5f;
    c->z = -152.5f + predicted_catapult_range(20.7f, 20.0f);
    c->y = 20.7f;
    sent_datagrams().clear();
    ASSERT_EQ(unit_launch_ball(c->id, 180.0f, 0.0f), 0);
    for (int i = 0; i < 2000 && proj; ++i)
        projectile_frame(0.02f);
    EXPECT_EQ(proj, nullptr);

    int alive = 0;
    for (uint32_t id : footmen)
        alive += find_unit(id) != nullptr;
    EXPECT_LT(alive, 16);
    auto deaths = sent_commands("UDIE");
    EXPECT_EQ(static_cast<int>(deaths.size()), 16 - alive);
    for (const auto& d : deaths) {
        EXPECT_EQ(d.p[0] >> 12, 0x80u);
        EXPECT_EQ(find_unit(d.p[0]), nullptr);
    }
}
