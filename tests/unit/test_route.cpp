// Ways over dry land on islands the generator makes: the path search, the
// catapults' throwing spots, and units following their routes and queued
// waypoints through the registry's real step.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/random.h"
#include "siege_test_support.h"
#include "sim/catapult.h"
#include "sim/combat.h"
#include "sim/humanoid.h"
#include "sim/ram.h"
#include "sim/route.h"
#include "sim/buildings.h"
#include "sim/walls.h"

namespace {

const unsigned SEEDS[] = {10240, 23456, 31001, 47474, 59999};

// The island the generator makes from `seed`, in place of the world's ground.
void island(world& w, unsigned seed)
{
    stream_srand(w.rng, seed);
    random_map(w);
}

// The dry grid points joined to point n by dry grid points, stepping along
// the grid lines: an independent answer to whether any dry way exists.
std::vector<int> dry_region(const terrain_state& t, int start)
{
    std::vector<int> mark(TERRAIN_VERTS, 0), todo{start};
    auto dry = [&t](int n) {
        const float x = 4.0f * (n % TERRAIN_SIZE) - 256.0f, z = 4.0f * (n / TERRAIN_SIZE) - 256.0f;
        return std::fabs(x) <= 248.0f && std::fabs(z) <= 248.0f && dry_ground(t, x, z);
    };
    if (!dry(start))
        return mark;
    mark[start] = 1;
    while (!todo.empty()) {
        const int n = todo.back();
        todo.pop_back();
        const int i = n % TERRAIN_SIZE, j = n / TERRAIN_SIZE;
        const int next[4][2] = {{i + 1, j}, {i - 1, j}, {i, j + 1}, {i, j - 1}};
        for (const auto& p : next) {
            if (p[0] < 0 || p[1] < 0 || p[0] >= TERRAIN_SIZE || p[1] >= TERRAIN_SIZE)
                continue;
            const int m = p[1] * TERRAIN_SIZE + p[0];
            if (!mark[m] && dry(m)) {
                mark[m] = 1;
                todo.push_back(m);
            }
        }
    }
    return mark;
}

int node_at(float x, float z)
{
    return static_cast<int>(std::lround((z + 256.0f) / 4.0f)) * TERRAIN_SIZE +
           static_cast<int>(std::lround((x + 256.0f) / 4.0f));
}

// Every point of every leg, a tenth of a unit apart, on dry ground: a leg
// that cuts across the corner of a bay between the planner's own samples
// fails here.
bool route_is_dry(const terrain_state& t, float x, float z, const std::vector<waypoint>& r)
{
    for (const waypoint& p : r) {
        const int steps = static_cast<int>(std::ceil(std::hypot(p.x - x, p.z - z) * 10.0f));
        for (int k = 0; k <= steps; ++k) {
            const float f = steps ? static_cast<float>(k) / static_cast<float>(steps) : 0.0f;
            if (!dry_ground(t, x + (p.x - x) * f, z + (p.z - z) * f))
                return false;
        }
        x = p.x;
        z = p.z;
    }
    return true;
}

// The least distance from any point of the route (a tenth of a unit apart)
// to the body of a closed stretch of wall, past its face: negative inside
// the wall. A leg that cuts the corner of a tower or slips through a wall's
// end shows here.
float clearance_from_walls(const walls_state& walls, float x, float z, const std::vector<waypoint>& r)
{
    float least = 1e9f;
    for (const waypoint& p : r) {
        const int steps = static_cast<int>(std::ceil(std::hypot(p.x - x, p.z - z) * 10.0f));
        for (int k = 0; k <= steps; ++k) {
            const float f = steps ? static_cast<float>(k) / static_cast<float>(steps) : 0.0f;
            const float px = x + (p.x - x) * f, pz = z + (p.z - z) * f;
            for (const wall_stretch& ws : closed_wall_stretches(walls)) {
                const float dx = ws.bx - ws.ax, dz = ws.bz - ws.az;
                const float len2 = dx * dx + dz * dz;
                float u = len2 > 0.0f ? ((px - ws.ax) * dx + (pz - ws.az) * dz) / len2 : 0.0f;
                u = std::fmin(1.0f, std::fmax(0.0f, u));
                least = std::fmin(least, std::hypot(px - ws.ax - u * dx, pz - ws.az - u * dz) - ws.half);
            }
        }
        x = p.x;
        z = p.z;
    }
    return least;
}

} // namespace

struct DryRoutes : siege_test {
    // Steps the whole registry until `done` or the time runs out; counts
    // the steps in which `u` was held by the water.
    template <class F>
    int run_until(unit* u, float seconds, F&& done)
    {
        world& w = *game;
        int wet = 0;
        for (float t = 0.0f; t < seconds && !done(); t += 0.05f) {
            w.time += 0.05f;
            simulate_units(w, 0.05f);
            if (held_by_water(u))
                ++wet;
        }
        return wet;
    }
};

TEST_F(DryRoutes, FoundWhereADryWayExistsAndOnlyThere)
{
    // From the attackers' camp to the gate, the temple, the far corners
    // and the sea in the middle of the map, on several islands.
    const waypoint from[] = {{8, 152}, {40, 180}, {-30, 140}};
    const waypoint to[] = {{-6, -100}, {-40, -140}, {-200, -60}, {200, -200}, {0, 0}, {120, 60}};
    int found = 0, refused = 0, rerouted = 0;
    for (unsigned seed : SEEDS) {
        world& w = fresh_game();
        island(w, seed);
        for (const waypoint& a : from) {
            if (!dry_ground(w.terrain, a.x, a.z))
                continue;
            const std::vector<int> region = dry_region(w.terrain, node_at(a.x, a.z));
            for (const waypoint& b : to) {
                std::vector<waypoint> r, again;
                const int got = find_dry_route(w, a.x, a.z, b.x, b.z, r);
                const bool reachable = dry_ground(w.terrain, b.x, b.z) && region[node_at(b.x, b.z)];
                SCOPED_TRACE(testing::Message() << "seed " << seed << " (" << a.x << ", " << a.z << ") to ("
                                                << b.x << ", " << b.z << ")");
                ASSERT_EQ(got == 0, reachable);
                EXPECT_EQ(find_dry_route(w, a.x, a.z, b.x, b.z, again), got);
                if (got != 0) {
                    EXPECT_TRUE(r.empty());
                    ++refused;
                    continue;
                }
                ++found;
                ASSERT_FALSE(r.empty());
                EXPECT_EQ(r.back().x, b.x);
                EXPECT_EQ(r.back().z, b.z);
                EXPECT_TRUE(route_is_dry(w.terrain, a.x, a.z, r));
                ASSERT_EQ(again.size(), r.size());
                for (size_t k = 0; k < r.size(); ++k) {
                    EXPECT_EQ(again[k].x, r[k].x);
                    EXPECT_EQ(again[k].z, r[k].z);
                }
                if (r.size() > 1)
                    ++rerouted;
            }
        }
    }
    // The islands have their sea in the middle: both outcomes occur, and
    // most ways to the city go round it.
    EXPECT_GT(found, 20);
    EXPECT_GT(refused, 10);
    EXPECT_GT(rerouted, 10);
}

TEST_F(DryRoutes, StraightDryLineIsKept)
{
    world& w = fresh_game();
    flat_ground(20.0f);
    std::vector<waypoint> r;
    ASSERT_EQ(find_dry_route(w, -100, 150, 50, -180, r), 0);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].x, 50.0f);
    EXPECT_EQ(r[0].z, -180.0f);
    // A catapult on dry ground throws from where its aim takes it.
    waypoint spot;
    int straight = 0;
    ASSERT_EQ(catapult_throwing_spot(w, 0, 150, 0, -150, &spot, &straight), 0);
    EXPECT_EQ(straight, 1);
    EXPECT_NEAR(std::hypot(spot.x, spot.z + 150), predicted_catapult_range(20.7f, 20.0f), 0.01);
}

TEST_F(DryRoutes, EnginesOrderedOnceReachTheGateAndThrowingRangeOverDryGround)
{
    int rams = 0, catapults = 0;
    for (unsigned seed : SEEDS) {
        world& w = siege_reset(TEAM_ATTACKERS);
        island(w, seed);
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        // A ram ordered at the gate drives round the sea to it.
        unit* ram = add_ram(w, 20, 150);
        ram->y = get_terrain_height(w.terrain, 20, 150) + 0.7f;
        if (route_order(w, ram, -6, -100, ORDER_ATTACK) == 0) {
            const int wet = run_until(ram, 120.0f, [&] { return std::hypot(ram->x + 6, ram->z + 100) < 4.0f; });
            EXPECT_LT(std::hypot(ram->x + 6, ram->z + 100), 4.0f);
            EXPECT_EQ(wet, 0);
            EXPECT_EQ(ram->order_kind, ORDER_ATTACK);
            ++rams;
        }
        del_unit(w, ram);
        // A catapult ordered at the footmen's square stops on dry ground in
        // range and throws.
        unit* cat = add_catapult(w, 40, 150);
        sent.clear();
        if (route_order(w, cat, -2.5f, -152.5f, ORDER_ATTACK) == 0) {
            run_until(cat, 120.0f, [this] { return !sent_commands("UBAL").empty(); });
            EXPECT_FALSE(sent_commands("UBAL").empty());
            EXPECT_TRUE(dry_ground(w.terrain, cat->x, cat->z));
            EXPECT_EQ(cat->order_kind, ORDER_ATTACK);
            EXPECT_EQ(route_legs(w, cat), 0);
            ++catapults;
        }
        del_unit(w, cat);
    }
    EXPECT_GE(rams, 3);
    EXPECT_GE(catapults, 3);
}

TEST_F(DryRoutes, QueuedWaypointsAreFollowedInOrderAndWaterIsRefused)
{
    world& w = siege_reset(TEAM_DEFENDERS, 20.0f);
    unit* f = add_footman(w, 0, 21.2f, 0);
    const waypoint stops[] = {{30, 0}, {30, 30}, {-20, 30}};
    ASSERT_EQ(route_order(w, f, stops[0].x, stops[0].z, ORDER_MOVE), 0);
    for (int k = 1; k < 3; ++k)
        ASSERT_EQ(queue_waypoint(w, f, stops[k].x, stops[k].z), 0);
    EXPECT_EQ(route_legs(w, f), 3);
    int reached = 0;
    run_until(f, 60.0f, [&] {
        if (reached < 3 && std::hypot(f->x - stops[reached].x, f->z - stops[reached].z) < 1.5f)
            ++reached;
        return reached == 3 && f->order_kind == ORDER_NONE;
    });
    EXPECT_EQ(reached, 3);
    run_until(f, 0.05f, [] { return false; });
    EXPECT_EQ(route_legs(w, f), 0);

    // A lake: orders into it are refused and leave the unit's order as
    // it was.
    for (int j = 0; j < TERRAIN_SIZE; ++j)
        for (int i = 0; i < TERRAIN_SIZE; ++i)
            if (std::hypot(4.0f * i - 156.0f, 4.0f * j - 256.0f) < 60.0f)
                w.terrain.height_map[j][i] = 0.0f;
    const float ox = f->order_x, oz = f->order_z;
    EXPECT_EQ(route_order(w, f, -100, 0, ORDER_MOVE), -1);
    EXPECT_FALSE(order_reachable(w, f, -100, 0, ORDER_MOVE));
    EXPECT_EQ(queue_waypoint(w, f, -100, 0), -1);
    // A point from the network far off the map is refused at once.
    EXPECT_EQ(route_order(w, f, 1e30f, -1e30f, ORDER_MOVE), -1);
    EXPECT_EQ(f->order_x, ox);
    EXPECT_EQ(f->order_z, oz);
    EXPECT_EQ(f->order_kind, ORDER_NONE);

    // A flood of queued waypoints (from the network, say) is held to the
    // queue's limit.
    for (int k = 0; k < ROUTE_QUEUE_LIMIT + 4; ++k)
        queue_waypoint(w, f, 40.0f, 10.0f * static_cast<float>(k % 4));
    EXPECT_EQ(route_legs(w, f), ROUTE_QUEUE_LIMIT);
}

TEST_F(DryRoutes, AUnitPushedOffItsWayFindsANewOne)
{
    // Round a lake, then thrown across it to the far shore: the old way's
    // next point lies over the water, so only a new way gets it there dry.
    world& w = siege_reset(TEAM_DEFENDERS, 20.0f);
    for (int j = 0; j < TERRAIN_SIZE; ++j)
        for (int i = 0; i < TERRAIN_SIZE; ++i)
            if (std::hypot(4.0f * i - 156.0f, 4.0f * j - 256.0f) < 50.0f)
                w.terrain.height_map[j][i] = 0.0f;
    unit* f = add_footman(w, -180, 21.2f, 0);
    ASSERT_EQ(route_order(w, f, -20, 0, ORDER_MOVE), 0);
    ASSERT_EQ(route_legs(w, f), 1);
    run_until(f, 60.0f, [&] { return f->x > -110.0f; });
    ASSERT_GT(f->x, -110.0f);
    f->z = -f->z;
    const int wet = run_until(f, 60.0f, [&] { return f->order_kind == ORDER_NONE; });
    EXPECT_EQ(wet, 0);
    EXPECT_LT(std::hypot(f->x + 20.0f, f->z), 2.0f);
}

TEST_F(DryRoutes, TheCitysWallsAreGoneRoundThroughAnOpenGate)
{
    // The city as shipped on flat dry ground; a goblin north-west of it is
    // sent to the square inside.
    const int gate = load_shipped_city();
    ASSERT_GE(gate, 0);
    world& w = *game;
    const float tx = -2.5f, tz = -152.5f;  // the footmen's square
    std::vector<waypoint> way;
    // Gates shut: no way past the walls, so the way the ground allows (the
    // goblin walks up to the wall), as before there were walls.
    ASSERT_EQ(find_dry_route(w, -40, -20, tx, tz, way), 0);
    EXPECT_EQ(way.size(), 1u);
    // The gate broken: round the corner, clear of the bridge's railings,
    // up onto its deck and in through the gate, on the real step, which
    // stops a body at every wall it meets.
    // A way asked for while the gate falls must not keep it half fallen.
    w.walls.points[static_cast<size_t>(gate)].broken = 1;
    for (int k = 0; k < 200; ++k) {
        simulate_walls(w);  // the gate falls
        if (k == 10)
            find_dry_route(w, -40, -20, tx, tz, way);
    }
    ASSERT_EQ(find_dry_route(w, -40, -20, tx, tz, way), 0);
    ASSERT_GT(way.size(), 1u);
    // Every leg keeps a body's width from the walls left standing.
    EXPECT_GT(clearance_from_walls(w.walls, -40, -20, way), 0.8f);
    unit* g = add_goblin(w, -40, -20);
    ASSERT_EQ(route_order(w, g, tx, tz, ORDER_MOVE), 0);
    run_until(g, 90.0f, [&] { return std::hypot(g->x - tx, g->z - tz) < 2.0f; });
    EXPECT_LT(std::hypot(g->x - tx, g->z - tz), 2.0f) << "the goblin stands at " << g->x << ", " << g->z;
    // Lowered gates let it through as well; a shut one again sends the
    // straight way.
    w.walls.points[static_cast<size_t>(gate)].broken = 0;
    w.walls.points[static_cast<size_t>(gate)].angle = 90.0f;
    ASSERT_EQ(find_dry_route(w, -40, -20, tx, tz, way), 0);
    EXPECT_GT(way.size(), 1u);
    EXPECT_GT(clearance_from_walls(w.walls, -40, -20, way), 0.8f);
    // From other sides of the city, round its towers to the square.
    for (const waypoint& from : {waypoint{60, -60}, waypoint{-120, -150}, waypoint{40, -230}}) {
        ASSERT_EQ(find_dry_route(w, from.x, from.z, tx, tz, way), 0) << from.x << ", " << from.z;
        EXPECT_GT(way.size(), 1u);
        EXPECT_GT(clearance_from_walls(w.walls, from.x, from.z, way), 0.8f) << from.x << ", " << from.z;
    }
    w.walls.points[static_cast<size_t>(gate)].angle = 0.0f;
    ASSERT_EQ(find_dry_route(w, -40, -20, tx, tz, way), 0);
    EXPECT_EQ(way.size(), 1u);
}

// Catapults sent together at one point, on the island whose sea lies
// between the attackers' camp and the city, spread along the ring of their
// range instead of crowding one spot (where the first to arrive would hold
// the others out of range), and every one of them throws.
TEST_F(DryRoutes, CatapultsSentTogetherSpreadOutAndAllThrow)
{
    world& w = siege_reset(TEAM_ATTACKERS);
    island(w, 30002);
    std::vector<unit*> cats;
    for (float z : {160.0f, 145.0f})
        for (int i = 0; i < 5; ++i)
            cats.push_back(add_catapult(w, 4.0f * static_cast<float>(i), z));
    for (unit* c : cats)
        ASSERT_EQ(route_order(w, c, -2.5f, -152.5f, ORDER_ATTACK), 0);
    sent.clear();
    std::vector<uint32_t> threw;
    run_until(cats[0], 150.0f, [&] {
        for (const auto& b : sent_commands("UBAL"))
            if (std::find(threw.begin(), threw.end(), b.p[0]) == threw.end())
                threw.push_back(b.p[0]);
        return threw.size() == cats.size();
    });
    EXPECT_EQ(threw.size(), cats.size());
    for (unit* c : cats)
        EXPECT_TRUE(dry_ground(w.terrain, c->x, c->z)) << "catapult " << std::hex << c->id;
}

// A row of idle catapults put across a footman's way after it set off,
// closer together than it is wide, holds it only a few seconds: it finds a
// way round them from where it stands. Sent to where a catapult stands, it
// stops beside it rather than push on for good.
TEST_F(DryRoutes, AUnitHeldByUnitsInItsWayGoesRoundThem)
{
    world& w = siege_reset(TEAM_ATTACKERS, 20.0f);
    unit* f = add_footman(w, 0, 21.2f, 0);
    ASSERT_EQ(route_order(w, f, 0, 80, ORDER_MOVE), 0);
    for (int i = -5; i <= 5; ++i)
        add_catapult(w, 3.0f * static_cast<float>(i), 30.0f);
    float still_since = w.time, longest = 0.0f, x = f->x, z = f->z;
    run_until(f, 60.0f, [&] {
        if (std::hypot(f->x - x, f->z - z) > 1.0f) {
            x = f->x;
            z = f->z;
            still_since = w.time;
        }
        longest = std::fmax(longest, w.time - still_since);
        return f->order_kind == ORDER_NONE;
    });
    EXPECT_LT(std::hypot(f->x, f->z - 80.0f), 2.0f) << "the footman stands at " << f->x << ", " << f->z;
    EXPECT_LT(longest, 5.0f);

    ASSERT_EQ(route_order(w, f, 0, 30, ORDER_MOVE), 0);
    run_until(f, 20.0f, [&] { return f->order_kind == ORDER_NONE; });
    EXPECT_EQ(f->order_kind, ORDER_NONE);
    EXPECT_LT(std::hypot(f->x, f->z - 30.0f), WAYPOINT_REACH + 0.5f);
}
