#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "platform/random.h"
#include "siege_test_support.h"
#include "sim/ram.h"
#include "sim/route.h"
#include "sim/buildings.h"
#include "sim/walls.h"

namespace {

class Rams : public siege_test {
protected:
    void SetUp() override { siege_reset(TEAM_ATTACKERS); }
    static ram_data* data(unit* u) { return ram_of(u); }
    // Frames of 20 ms until the gate breaks or `seconds` have passed.
    void run_until_broken(int gate, float seconds)
    {
        world& w = *game;
        for (float t = 0.0f; t < seconds && !w.walls.points[static_cast<size_t>(gate)].broken; t += 0.02f) {
            w.time += 0.02f;
            simulate_units(w, 0.02f);
            simulate_walls(w);
        }
    }
    void step(unit* u, float dt) { registry_step(u, dt); }
};

}  // namespace

TEST_F(Rams, NewRamIsAnnouncedAndSettlesOnTheGround)
{
    world& w = *game;
    w.units.ram_counter = 0;
    unit* u = add_ram(w, 10, 140);
    EXPECT_EQ(u->id, 0x40000u);
    ASSERT_EQ(sent_commands("UNIT").size(), 1u);
    EXPECT_EQ(sent_commands("UNIT")[0].p[0], 0x40000u);
    EXPECT_EQ(u->kind, UNIT_RAM);
    EXPECT_FLOAT_EQ(u->y, 2.0f);
    EXPECT_FLOAT_EQ(u->health, 20.0f);
    EXPECT_FLOAT_EQ(u->max_health, 10.0f);
    EXPECT_FLOAT_EQ(u->radius, 2.0f);
    EXPECT_GE(u->heading, 135.0f);
    EXPECT_LT(u->heading, 225.0f);
    EXPECT_GE(data(u)->swing, 0.0f);
    EXPECT_LE(data(u)->swing, 1.98f);
    for (int i = 0; i < 100; ++i)
        step(u, 0.02f);
    EXPECT_NEAR(u->y, 0.7f, 0.11f);
    EXPECT_LT(u->pitch, 90.0f);
}

TEST_F(Rams, LeaderMakesFiveOthersNone)
{
    world& w = *game;
    init_rams(w);
    EXPECT_EQ(count_units(w), 6);
    for (unit* u = w.units.list; u; u = u->next)
        if (u->kind == UNIT_RAM) {
            EXPECT_GE(u->x, 0.0f);
            EXPECT_LT(u->x, 64.0f);
            EXPECT_GE(u->z, 128.0f);
            EXPECT_LT(u->z, 192.0f);
        }
    world& defenders = siege_reset(TEAM_DEFENDERS);
    init_rams(defenders);
    EXPECT_EQ(count_units(defenders), 1);
}

// Where the camp lies under water, the leader makes its rams on the nearest
// dry ground a dry way joins to the city, apart; it draws the same places,
// so every number the game draws after them is the same.
TEST_F(Rams, NoneIsMadeInTheSea)
{
    // Each call plays a game of its own on the shipped city.
    auto make = [this](bool sea) {
        load_shipped_city();
        world& w = *game;
        if (sea)
            for (int j = 0; j < TERRAIN_SIZE; ++j)
                for (int i = 0; i < TERRAIN_SIZE; ++i)
                    if (4.0f * i - 256.0f > -20.0f && 4.0f * j - 256.0f > 100.0f)
                        w.terrain.height_map[j][i] = 0.0f;
        stream_srand(w.rng, 7);
        init_rams(w);
        return w.rand();
    };
    const int after = make(false);
    EXPECT_EQ(make(true), after);
    world& w = *game;  // the game with the sea
    std::vector<unit*> rams;
    for (unit* u = w.units.list; u; u = u->next)
        if (u->kind == UNIT_RAM)
            rams.push_back(u);
    ASSERT_EQ(rams.size(), 5u);
    std::vector<waypoint> way;
    for (unit* u : rams) {
        EXPECT_TRUE(dry_ground(w.terrain, u->x, u->z)) << u->x << ", " << u->z;
        EXPECT_EQ(find_dry_route(w, u->x, u->z, -6.0f, -108.0f, way), 0) << u->x << ", " << u->z;
        for (unit* o : rams) {
            if (o != u) {
                EXPECT_GE(std::hypot(o->x - u->x, o->z - u->z), 4.0f);
            }
        }
    }
}

TEST_F(Rams, ReceivedIdsRaiseTheCounter)
{
    world& w = *game;
    w.units.ram_counter = 3;
    unit* u = spawn_ram(w, 0x40007, TEAM_ATTACKERS, 0);
    EXPECT_EQ(w.units.ram_counter, 8);
    EXPECT_EQ(u->team, TEAM_ATTACKERS);
    w.units.ram_counter = 9;
    spawn_ram(w, 0x40007 + 0x0, TEAM_ATTACKERS, 0);
    EXPECT_EQ(w.units.ram_counter, 9);
}

TEST_F(Rams, BlowsAreASecondApartAndThirtyBreakAGate)
{
    world& w = *game;
    unit* u = add_ram(w, 0, 0);
    model_node gate;
    gate.health = 30;
    std::vector<float> blows;
    float last_health = gate.health;
    for (int i = 0; i < 40 * 50 && gate.health > 0; ++i) {
        w.time += 0.02f;
        attack_ram(w, u, &gate);
        if (gate.health < last_health) {
            blows.push_back(w.time);
            last_health = gate.health;
        }
    }
    ASSERT_EQ(blows.size(), 30u);
    EXPECT_EQ(gate.health, 0.0f);
    for (size_t i = 1; i < blows.size(); ++i)
        EXPECT_GT(blows[i] - blows[i - 1], 1.0f);
    EXPECT_LT(blows.back() - blows.front(), 31.0f);
    // A fallen gate takes no more blows.
    w.time += 5.0f;
    attack_ram(w, u, &gate);
    EXPECT_EQ(gate.health, 0.0f);
}

TEST_F(Rams, HouseIsUntouched)
{
    world& w = *game;
    unit* u = add_ram(w, 0, 0);
    model_node house;
    house.health = -1;
    for (int i = 0; i < 10; ++i) {
        w.time += 1.5f;
        attack_ram(w, u, &house);
    }
    EXPECT_EQ(house.health, -1.0f);
    EXPECT_EQ(u->last_attack_time, 0.0f);
}

TEST_F(Rams, StrikesOnlyUnderAnAttackOrderWhatItIsPressedAgainst)
{
    world& w = *game;
    unit* u = add_ram(w, 0, 0);
    model_node gate;
    gate.health = 30;
    const int id = register_top_level_model(w.structures, std::move(gate));
    model_node* g = get_top_level_model(w.structures, id);
    u->touched_model = g;
    ASSERT_EQ(ram_touched_model(u), g);
    u->order_x = u->x;
    u->order_z = u->z;
    w.time += 2.0f;
    u->order_kind = ORDER_MOVE;
    simulate_ram(w, u, 0.02f);
    u->order_kind = ORDER_NONE;
    simulate_ram(w, u, 0.02f);
    EXPECT_EQ(g->health, 30.0f);
    u->order_kind = ORDER_ATTACK;
    simulate_ram(w, u, 0.02f);
    EXPECT_EQ(g->health, 29.0f);
}

TEST_F(Rams, AttackOrderDrivesToThePointSwingingAndStaysInAttack)
{
    world& w = *game;
    unit* u = add_ram(w, 0, 0);
    u->heading = 0;
    u->order_kind = ORDER_ATTACK;
    u->order_x = 0;
    u->order_z = 30;
    float lo = 10, hi = -10;
    for (int i = 0; i < 300; ++i) {
        step(u, 0.02f);
        lo = std::fmin(lo, data(u)->swing);
        hi = std::fmax(hi, data(u)->swing);
    }
    EXPECT_NEAR(u->z, 30.0f, 3.6f);
    EXPECT_EQ(u->order_kind, ORDER_ATTACK);
    EXPECT_EQ(u->vz, 0.0f);
    EXPECT_LT(lo, -2.5f);
    EXPECT_GT(hi, 2.5f);
}

TEST_F(Rams, HeldRamStandsAndAMoveOrderDrivesItAgainAtWalkingSpeed)
{
    world& w = *game;
    unit* u = add_ram(w, 0, 0);
    u->heading = 0;
    u->order_kind = ORDER_HOLD;
    u->vz = 5;
    step(u, 0.02f);
    EXPECT_EQ(u->vz, 0.0f);
    u->order_kind = ORDER_MOVE;
    u->order_x = 0;
    u->order_z = 50;
    step(u, 0.02f);
    EXPECT_NEAR(std::sqrt(u->vx * u->vx + u->vz * u->vz), 15.0f, 1e-3);
    for (int i = 0; i < 400 && u->order_kind == ORDER_MOVE; ++i)
        step(u, 0.02f);
    EXPECT_EQ(u->order_kind, ORDER_NONE);
    EXPECT_NEAR(u->z, 50.0f, 3.6f);
}

TEST_F(Rams, BeamOfAMovingRamSettlesQuickly)
{
    world& w = *game;
    unit* u = add_ram(w, 0, 0);
    u->order_kind = ORDER_MOVE;
    u->order_x = 0;
    u->order_z = 200;
    data(u)->swing = 2.0f;
    for (int i = 0; i < 20; ++i)
        step(u, 0.02f);  // 0.4 s
    EXPECT_LE(std::fabs(data(u)->swing), 0.11f);
}

TEST_F(Rams, StateRecordsRoundTripAndWrongCountsAreRefused)
{
    world& w = *game;
    unit* u = spawn_ram(w, 0x40010, TEAM_ATTACKERS, 0);
    const float v[9] = {1, 2, 3, 90, 1.5f, 4, 0.5f, 0, 0.25f};
    const float heading = u->heading;
    EXPECT_EQ(update_ram(w, u, 7, v), -1);
    EXPECT_EQ(u->heading, heading);
    EXPECT_EQ(update_ram(w, u, 9, v), 0);
    EXPECT_FLOAT_EQ(u->x, 1.0f);
    EXPECT_FLOAT_EQ(u->heading, 90.0f);
    EXPECT_FLOAT_EQ(data(u)->swing, 1.5f);
    EXPECT_FLOAT_EQ(u->pitch, 4.0f);
    EXPECT_FLOAT_EQ(u->vz, 0.25f);
    w.batch.len = 0;
    conditionally_update_batram(w, u);
    EXPECT_GT(w.batch.len, 0);
}

// The city as shipped: a ram that drives up the approach to the gate rolls
// over the gate's bridge, presses against the gate and knocks one point off
// it every second until the gate breaks and "GBRK" goes out.
TEST_F(Rams, RamOnTheApproachReachesTheCitysGateAndBreaksIt)
{
    // The gate and the point a little inside it that the ram is sent to.
    const int gate = load_shipped_city();
    ASSERT_GE(gate, 0);
    world& w = *game;
    const wall_point& a = w.walls.points[static_cast<size_t>(gate)];
    const wall_point& b = w.walls.points[static_cast<size_t>(gate) + 1];
    const float gx = (a.x + b.x) / 2, gz = (a.z + b.z) / 2 - 2.0f;
    model_node* gate_model = get_top_level_model(w.structures, a.model_id);
    ASSERT_NE(gate_model, nullptr);

    // Sixty units out on the approach, facing the gate.
    unit* u = add_ram(w, gx - 1.0f, gz + 60.0f);
    u->heading = 180.0f;
    order_specific_unit(u, gx, gz, ORDER_ATTACK);
    sent.clear();
    std::vector<float> blows;
    float health = gate_model->health;
    for (int i = 0; i < 60 * 50 && !a.broken; ++i) {
        w.time += 0.02f;
        simulate_units(w, 0.02f);
        simulate_walls(w);
        if (gate_model->health < health) {
            EXPECT_FLOAT_EQ(gate_model->health, health - 1.0f);
            health = gate_model->health;
            blows.push_back(w.time);
        }
    }
    ASSERT_EQ(blows.size(), 30u) << "the ram stands at (" << u->x << ", " << u->y << ", " << u->z << ")";
    EXPECT_LT(blows.front() - 100.0f, 10.0f);  // the first blow soon after it sets off
    for (size_t i = 1; i < blows.size(); ++i) {
        EXPECT_GT(blows[i] - blows[i - 1], 1.0f);
        EXPECT_LT(blows[i] - blows[i - 1], 1.1f);  // pressed against it all the time
    }
    EXPECT_EQ(a.broken, 1);
    auto breaks = sent_commands("GBRK");
    ASSERT_EQ(breaks.size(), 1u);
    EXPECT_FLOAT_EQ(breaks[0].f(0), static_cast<float>(gate));
    EXPECT_FLOAT_EQ(breaks[0].f(1), 1.0f);
    EXPECT_EQ(u->order_kind, ORDER_ATTACK);
}

// A ram ordered once at the gate from aside, where the bridge's railings
// stand between it and the gate, lines up before the gate and breaks it.
TEST_F(Rams, OrderedAtTheGateFromAsideItLinesUpAndBreaksIt)
{
    const int gate = load_shipped_city();
    ASSERT_GE(gate, 0);
    world& w = *game;
    const wall_point& a = w.walls.points[static_cast<size_t>(gate)];
    const wall_point& b = w.walls.points[static_cast<size_t>(gate) + 1];
    const float gx = (a.x + b.x) / 2, gz = (a.z + b.z) / 2;
    unit* u = add_ram(w, gx - 50.0f, gz + 40.0f);
    ASSERT_EQ(route_order(w, u, gx, gz, ORDER_ATTACK), 0);
    EXPECT_GE(route_legs(w, u), 1);
    run_until_broken(gate, 90.0f);
    EXPECT_EQ(a.broken, 1) << "the ram stands at (" << u->x << ", " << u->z << ")";

    // Pushed off its way before it lined up, it finds a new way that still
    // lines up before the gate.
    const int second = load_shipped_city();  // a game of its own
    world& w2 = *game;
    unit* v = add_ram(w2, gx - 50.0f, gz + 40.0f);
    ASSERT_EQ(route_order(w2, v, gx, gz, ORDER_ATTACK), 0);
    run_until_broken(second, 2.0f);
    v->x += 12.0f;
    v->z -= 6.0f;
    run_until_broken(second, 90.0f);
    EXPECT_EQ(w2.walls.points[static_cast<size_t>(second)].broken, 1)
        << "the ram stands at (" << v->x << ", " << v->z << ")";
}

// Rams sent together at the gate take places side by side across it, so
// that each strikes the gate and none stands behind another; one sent from
// beside the bridge, against whose railing it would stall, lines up before
// the gate first.
TEST_F(Rams, SentTogetherAtTheGateTheyPressItSideBySide)
{
    const int gate = load_shipped_city();
    ASSERT_GE(gate, 0);
    world& w = *game;
    const wall_point& a = w.walls.points[static_cast<size_t>(gate)];
    const wall_point& b = w.walls.points[static_cast<size_t>(gate) + 1];
    const float gx = (a.x + b.x) / 2, gz = (a.z + b.z) / 2;
    const model_node* gate_model = get_top_level_model(w.structures, a.model_id);
    std::vector<unit*> rams = {add_ram(w, gx - 16.0f, gz + 12.0f)};
    for (float dx : {-8.0f, 0.0f, 8.0f})
        rams.push_back(add_ram(w, gx + dx, gz + 70.0f));
    for (unit* u : rams)
        ASSERT_EQ(route_order(w, u, gx, gz, ORDER_ATTACK), 0);
    std::vector<unit*> pressed;
    const float start = w.time;
    for (int i = 0; i < 60 * 50 && !a.broken; ++i) {
        w.time += 0.02f;
        simulate_units(w, 0.02f);
        simulate_walls(w);
        for (unit* u : rams)
            if (u->touched_model == gate_model && std::find(pressed.begin(), pressed.end(), u) == pressed.end())
                pressed.push_back(u);
    }
    EXPECT_EQ(a.broken, 1);
    EXPECT_EQ(pressed.size(), rams.size());
    EXPECT_NE(std::find(pressed.begin(), pressed.end(), rams[0]), pressed.end())
        << "the ram from beside the bridge stands at (" << rams[0]->x << ", " << rams[0]->z << ")";
    EXPECT_LT(w.time - start, 30.0f);  // sooner than one ram alone strikes 30 blows
}

// A member's copy that sends its selected rams at the gate sends the gate
// itself for each of them (the leader gives them places across it), not the
// places along the wall that keeping the group's shape would give them.
TEST_F(Rams, SelectedRamsSentAtTheGateAreEachSentAtTheGate)
{
    const int gate = load_shipped_city();
    ASSERT_GE(gate, 0);
    world& w = *game;
    add_member("boss", 0x0200000A, TEAM_ATTACKERS, 10);  // leads the attackers
    const wall_point& a = w.walls.points[static_cast<size_t>(gate)];
    const float gx = (a.x + w.walls.points[static_cast<size_t>(gate) + 1].x) / 2, gz = a.z;
    std::vector<uint32_t> selected;
    for (float dx : {-30.0f, 30.0f})
        selected.push_back(add_ram(w, gx + dx, gz + 80.0f)->id);
    issue_order(w, selected, gx, gz, ORDER_ATTACK);
    const auto orders = sent_commands("ORDR");
    ASSERT_EQ(orders.size(), 2u);
    for (const auto& o : orders) {
        EXPECT_FLOAT_EQ(as_float(o.p[2]), gx);
        EXPECT_FLOAT_EQ(as_float(o.p[3]), gz);
    }
}

// A ram with no order that the water pushes ashore stops on dry ground
// (in the sea of a generated island, where the attackers' leader may make
// one).
TEST_F(Rams, WithoutAnOrderTheWaterPushesItAshoreAndThereItStands)
{
    world& w = *game;
    stream_srand(w.rng, 30002);
    random_map(w);
    unit* u = add_ram(w, 21.2f, 136.4f);
    ASSERT_TRUE(held_by_water(u));
    auto run = [&w](float seconds) {
        for (float t = 0.0f; t < seconds; t += 0.02f) {
            w.time += 0.02f;
            simulate_units(w, 0.02f);
        }
    };
    run(30.0f);
    EXPECT_FALSE(held_by_water(u));
    const float x = u->x, z = u->z;
    run(30.0f);
    EXPECT_EQ(u->x, x);
    EXPECT_EQ(u->z, z) << "the ram drove on from (" << x << ", " << z << ") to (" << u->x << ", " << u->z << ")";
}

// On a copy of the other side a ram moves by its leader's records: on at
// the reported speed between them, and still a second after the last one
// (that copy's game is over or the copy is gone).
TEST_F(Rams, ARamSteeredElsewhereRollsOnItsRecordsAndStandsWhenTheyStop)
{
    world& w = siege_reset(TEAM_DEFENDERS, 20.0f);  // dry ground
    unit* u = spawn_ram(w, 0x40010, TEAM_ATTACKERS, 0);
    const float record[9] = {0, 20.7f, 0, 0, 0, 0, 0, 0, 5.0f};
    ASSERT_EQ(update_unit_record(w, u, 9, record), 0);
    for (int step = 0; step < 100; ++step) {
        w.time += 0.05f;
        simulate_units(w, 0.05f);
        if (step == 9) {
            EXPECT_NEAR(u->z, 2.5f, 0.3f);
        }
    }
    EXPECT_NEAR(u->z, 5.0f, 0.3f);
}
