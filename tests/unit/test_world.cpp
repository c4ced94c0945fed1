// The world without a window: the headless loop builds, for a seed and a
// side, exactly the world a copy with a window builds (its census equals
// the one copies print in play); and the rules give the same game whatever
// the step's length.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "ai/battlefield.h"
#include "ai/computer.h"
#include "game/headless.h"
#include "sim/sides.h"
#include "platform/paths.h"
#include "sim/buildings.h"
#include "sim/route.h"
#include "sim/sky.h"
#include "sim/trees.h"
#include "sim/units.h"
#include "sim/walls.h"
#include "sim/world.h"

namespace {

// The game's own placement files, found as the installed data (every world
// of a test, also those run_battle and headless_siege make for themselves,
// reads them), and no terrain file from anywhere.
class World : public testing::Test {
protected:
    void SetUp() override
    {
        const std::string src(__FILE__);
        const std::string data = src.substr(0, src.rfind("/tests/")) + "/data";
        setenv("KELVARIN_DATA", data.c_str(), 1);
        char dir[] = "/tmp/kv_world_XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        home = dir;
        setenv("XDG_DATA_HOME", home.c_str(), 1);
        init_paths();
    }
    void TearDown() override
    {
        rmdir(home.c_str());
        unsetenv("XDG_DATA_HOME");
        unsetenv("KELVARIN_DATA");
        init_paths();
    }
    std::string home;
};

std::string census_of(headless_game& g, unsigned seed, int side)
{
    headless_build(g, seed, side);
    return world_census(*g.w);
}

}  // namespace

// The census lines the game printed for these seeds and sides before the
// simulation stood on its own: island, woods, clouds and armies unchanged.
TEST_F(World, HeadlessWorldsAreTheWorldsCopiesHaveAlwaysBuilt)
{
    const struct {
        unsigned seed;
        int side;
        const char* census;
    } worlds[] = {
        {31337, TEAM_ATTACKERS,
         "world: terrain 56B3F27E, trees 44+41 84F4ABA5, models 135, clouds 20 (0 storm) 73AB166D, water rebuild "
         "-1.00, night 0 phase 0.00, strike -1e+13, units 35 (17 humanoids, 10 catapults, 5 rams, 3 ships), "
         "projectiles 0"},
        {12345, TEAM_DEFENDERS,
         "world: terrain 03882E63, trees 44+41 F4A1B813, models 135, clouds 20 (0 storm) 0B576C35, water rebuild "
         "-1.00, night 0 phase 0.00, strike -1e+13, units 27 (27 humanoids, 0 catapults, 0 rams, 0 ships), "
         "projectiles 0"},
        {777, TEAM_ATTACKERS,
         "world: terrain C7CE761C, trees 44+41 BA0D1C9E, models 135, clouds 20 (0 storm) 8E010F8C, water rebuild "
         "-1.00, night 0 phase 0.00, strike -1e+13, units 35 (17 humanoids, 10 catapults, 5 rams, 3 ships), "
         "projectiles 0"},
    };
    // One session plays them all, one world after another.
    headless_game g;
    for (const auto& w : worlds)
        EXPECT_EQ(census_of(g, w.seed, w.side), w.census) << "seed " << w.seed;
    // The second game of a run is as good as the first.
    EXPECT_EQ(census_of(g, 31337, TEAM_ATTACKERS), worlds[0].census);
}

namespace {

// What a few seconds of a world come to: the first ram's place after it was
// ordered toward the gate, the gate's swing, the clouds' drift.
struct outcome {
    float ram_x, ram_z, ram_heading;
    float gate_angle;
    float cloud_x, cloud_z;
};

outcome play(float dt, float seconds)
{
    headless_game g;
    headless_build(g, 31337, TEAM_ATTACKERS);
    world& w = *g.w;
    unit* ram = nullptr;
    for (unit* u = w.units.list; u; u = u->next)
        if (u->kind == UNIT_RAM)
            ram = u;
    int gate = -1;
    for (int i = 0; i + 1 < w.walls.count(); ++i)
        if (w.walls.points[static_cast<size_t>(i)].gate)
            gate = i;
    if (!ram || gate < 0 || w.sky.clouds.empty())
        return {};
    // Ordered to a point 40 units off on dry ground, turning first.
    route_order(w, ram, ram->x + 30.0f, ram->z - 30.0f, ORDER_MOVE);
    set_gate_bool(w.walls, 0);  // the gates come down, as a "GATE" lowers them
    const player_controls idle;
    for (float t = 0.0f; t + dt / 2 < seconds; t += dt) {
        w.time += dt;
        step_world(w, dt, idle);
    }
    return {ram->x, ram->z, ram->heading, w.walls.points[static_cast<size_t>(gate)].angle, w.sky.clouds[0].x,
            w.sky.clouds[0].z};
}

}  // namespace

// The rules move by amounts a second, not a step: 20, 40 and 80 steps a
// second give the same game but for the rounding of a step.
TEST_F(World, TheSameGameAtAnyStepLength)
{
    const outcome tuned = play(TUNED_STEP, 3.0f);
    ASSERT_NE(tuned.ram_x, 0.0f);
    EXPECT_FLOAT_EQ(tuned.gate_angle, 90.0f);  // 80 degrees a second: down in 1.125 s
    for (float dt : {TUNED_STEP * 2.0f, TUNED_STEP / 2.0f}) {
        const outcome o = play(dt, 3.0f);
        EXPECT_NEAR(o.ram_x, tuned.ram_x, 0.5f) << "dt " << dt;
        EXPECT_NEAR(o.ram_z, tuned.ram_z, 0.5f) << "dt " << dt;
        EXPECT_NEAR(o.ram_heading, tuned.ram_heading, 3.0f) << "dt " << dt;
        EXPECT_FLOAT_EQ(o.gate_angle, tuned.gate_angle) << "dt " << dt;
        EXPECT_NEAR(o.cloud_x, tuned.cloud_x, 1e-3f) << "dt " << dt;
        EXPECT_NEAR(o.cloud_z, tuned.cloud_z, 1e-3f) << "dt " << dt;
    }
}

namespace {

battle_options battle_of(unsigned seed, int attackers, int defenders)
{
    battle_options o;
    o.on = true;
    o.seed = seed;
    o.attackers = attackers;
    o.defenders = defenders;
    return o;
}

unit* first_of_kind(world& w, int kind, int team)
{
    for (unit* u = w.units.list; u; u = u->next)
        if (u->kind == kind && u->team == team)
            return u;
    return nullptr;
}

}  // namespace

// A ram that stands short of the gate for longer than its commander's
// level allows is ordered afresh, from where it stands; a hard commander
// notices sooner than an easy one.
TEST_F(World, TheComputerReplansARamThatStandsShortOfTheGate)
{
    float noticed[2] = {0, 0};
    const int levels[2] = {LEVEL_HARD, LEVEL_EASY};
    for (int k = 0; k < 2; ++k) {
        headless_game g;
        battle_build(g, battle_of(31337, levels[k], LEVEL_NORMAL));
        world& w = *g.w;
        unit* ram = first_of_kind(w, UNIT_RAM, TEAM_ATTACKERS);
        ASSERT_NE(ram, nullptr);
        const uint32_t id = ram->id;
        const float x = ram->x, z = ram->z;
        const int before = computer_report(g.ai, TEAM_ATTACKERS).replans;
        // Held where it stood: something blocks it.
        float t = 0.0f;
        for (; t < 60.0f && computer_report(g.ai, TEAM_ATTACKERS).replans == before; t += TUNED_STEP) {
            battle_step(g);
            ram = find_unit(w, id);
            ASSERT_NE(ram, nullptr);
            ram->x = x;
            ram->z = z;
        }
        noticed[k] = t;
        EXPECT_GT(computer_report(g.ai, TEAM_ATTACKERS).replans, before) << "level " << levels[k];
        EXPECT_NE(ram->order_kind, ORDER_NONE);
    }
    EXPECT_LT(noticed[0], noticed[1]);
}

// The computer's defenders lower the gate to sally while an enemy is on its
// way and no nearer than the reach that shuts it, and raise it once one
// comes close (not more often than every few seconds).
TEST_F(World, TheDefendersLowerTheGateForAnEnemyOnItsWayAndRaiseItWhenItIsClose)
{
    headless_game g;
    battle_build(g, battle_of(31337, LEVEL_NORMAL, LEVEL_NORMAL));
    world& w = *g.w;
    const battlefield& field = g.ai.commanders[TEAM_DEFENDERS].field;
    ASSERT_GE(field.gate, 0);
    unit* ram = first_of_kind(w, UNIT_RAM, TEAM_ATTACKERS);
    ASSERT_NE(ram, nullptr);
    const uint32_t id = ram->id;
    // The attackers stand still in their camp, far from the gate: their
    // computer side thinks no more.
    g.ai.commanders[TEAM_ATTACKERS].on = false;
    g.ai.figures[TEAM_ATTACKERS].on = false;
    // Steps the battle with the ram held `d` out from the gate's middle;
    // the gate's state once the defenders have had time to work it.
    auto gate_with_ram_at = [&](float d) {
        float x, z;
        before_gate(field, d, 0.0f, x, z);
        for (float t = 0.0f; t < 6.0f; t += TUNED_STEP) {
            unit* u = find_unit(w, id);
            if (!u)
                return -1;
            u->x = x;
            u->z = z;
            u->vx = u->vz = 0.0f;
            u->health = u->max_health;  // the towers' archers shoot at it
            battle_step(g);
        }
        return w.walls.gate_up;
    };
    EXPECT_EQ(w.walls.gate_up, 1);                // nothing comes: the gate stays up
    EXPECT_EQ(gate_with_ram_at(80.0f), 0);        // on its way: down, to go out and meet it
    EXPECT_EQ(gate_with_ram_at(15.0f), 1);        // at the gate: up
    EXPECT_EQ(gate_with_ram_at(35.0f), 1);        // drawn back a little: still up
    EXPECT_EQ(gate_with_ram_at(90.0f), 0);        // well back: down again
    EXPECT_GE(computer_report(g.ai, TEAM_DEFENDERS).gate_moves, 3);
}

// Whole battles between two computer sides end by the rules, the same seed
// and levels give the same battle, and a hard side beats an easy one from
// either side (bench/balance.py measures it on many islands).
TEST_F(World, ComputerBattlesEndAndRepeat)
{
    EXPECT_EQ(run_battle(battle_of(4003, LEVEL_HARD, LEVEL_EASY), nullptr).winner, TEAM_ATTACKERS);
    EXPECT_EQ(run_battle(battle_of(4003, LEVEL_EASY, LEVEL_HARD), nullptr).winner, TEAM_DEFENDERS);
    for (unsigned seed : {4001u, 4003u}) {
        battle_options o = battle_of(seed, LEVEL_NORMAL, LEVEL_NORMAL);
        o.minutes = 30.0f;
        const battle_result first = run_battle(o, nullptr);
        const battle_result again = run_battle(o, nullptr);
        EXPECT_GE(first.winner, 0) << "seed " << seed;
        EXPECT_EQ(battle_line(o, first, false).substr(0, battle_line(o, first, false).rfind(';')),
                  battle_line(o, again, false).substr(0, battle_line(o, again, false).rfind(';')));
    }
}

namespace {

// Whether the straight way from p to q crosses a stretch of wall that is
// closed to units on the ground.
bool crosses_closed_wall(const walls_state& walls, waypoint p, waypoint q)
{
    auto side = [](float ax, float az, float bx, float bz, float x, float z) {
        return (bx - ax) * (z - az) - (bz - az) * (x - ax);
    };
    for (const wall_stretch& ws : closed_wall_stretches(walls))
        if (side(ws.ax, ws.az, ws.bx, ws.bz, p.x, p.z) * side(ws.ax, ws.az, ws.bx, ws.bz, q.x, q.z) < 0.0f &&
            side(p.x, p.z, q.x, q.z, ws.ax, ws.az) * side(p.x, p.z, q.x, q.z, ws.bx, ws.bz) < 0.0f)
            return true;
    return false;
}

}  // namespace

// On these islands the bridge before the gate stands above its bank, so
// the search's grid cannot step onto its deck: with the gate broken, a way
// from outside the walls to the temple still leads through the gate, not
// straight at a wall.
TEST_F(World, WaysIntoTheCityLeadThroughTheBrokenGateOverItsBridge)
{
    for (unsigned seed : {4007u, 4013u}) {
        headless_game g;
        headless_build(g, seed, TEAM_ATTACKERS);
        world& w = *g.w;
        int gate = 0;
        while (gate + 1 < w.walls.count() && !w.walls.points[static_cast<size_t>(gate)].gate)
            ++gate;
        w.walls.points[static_cast<size_t>(gate)].broken = 1;
        for (int k = 0; k < 200; ++k)
            simulate_walls(w);
        for (const waypoint from : {waypoint{-86, -169}, waypoint{9, -88}}) {
            std::vector<waypoint> way;
            ASSERT_EQ(find_dry_route(w, from.x, from.z, -40, -136, way), 0);
            waypoint at = from;
            for (const waypoint& p : way) {
                EXPECT_FALSE(crosses_closed_wall(w.walls, at, p))
                    << "seed " << seed << ": from (" << at.x << ", " << at.z << ") to (" << p.x << ", " << p.z << ")";
                at = p;
            }
        }
    }
}

// Sieges as a player orders them, headless: on each island every ram of the
// attackers' lone leader is sent once at the city's gate. On these islands
// rams used to stall for good: held by the camp's catapults and goblins, made
// in the sea, lined up over water before the gate or pressed against the
// bridge's railing and the tower beside it (the whole measurement over 20
// islands is bench/siege_gates, figures in bench/RESULTS.md).
TEST_F(World, RamsOrderedOnceAtTheGateBreakItAndNoneStandsStill)
{
    for (unsigned seed : {2u, 8u, 16u, 45u}) {
        const siege_outcome o = headless_siege(seed, 240.0f);
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        EXPECT_EQ(o.rams, 5);
        EXPECT_EQ(o.refused, 0);
        EXPECT_TRUE(o.broken);
        EXPECT_GE(o.pressed, 2);
        EXPECT_LT(o.longest_still, 10.0f) << "a ram stood at (" << o.still_x << ", " << o.still_z << ")";
    }
    // The same island and orders make the same siege.
    const siege_outcome a = headless_siege(8, 240.0f), b = headless_siege(8, 240.0f);
    EXPECT_EQ(a.broken_after, b.broken_after);
    EXPECT_EQ(a.longest_still, b.longest_still);
}
