// Close combat: sight, steering, strokes, reach, blasts, the health rule
// and forgetting dead targets.
#include <cmath>

#include "game_fixture.h"

struct Sight : game_test {};
struct Steering : game_test {};
struct Behaviour : game_test {};
struct Strokes : game_test {};
struct Reach : game_test {};
struct Blast : game_test {};
struct Health : game_test {};
struct Targets : game_test {};
struct Creation : game_test {};

TEST_F(Sight, FiftyUnitsIsOutOfSight)
{
    world& w = fresh_game(1);
    unit* f = soldier(0, 0, 1);
    unit* enemy = soldier(0, 49.9f, 0, HUMANOID_GOBLIN);
    enemy->y = f->y;
    look_unit(w, f);
    EXPECT_EQ(f->target_seen, 1);
    EXPECT_EQ(f->attack_target, enemy);
    enemy->z = 50.0f;
    look_unit(w, f);
    EXPECT_EQ(f->target_seen, 0);
    EXPECT_EQ(f->attack_target, nullptr);  // dropped when out of range
}

TEST_F(Sight, ArchersSeeTwiceAsFarAndFriendsAreNoTargets)
{
    world& w = fresh_game(1);
    unit* archer = soldier(0, 0, 1, HUMANOID_ARCHER);
    unit* friend_unit = soldier(0, 3, 1);
    unit* enemy = soldier(0, 99, 0, HUMANOID_GOBLIN);
    enemy->y = archer->y;
    look_unit(w, archer);
    EXPECT_EQ(archer->attack_target, enemy);
    look_unit(w, friend_unit);  // the enemy is 96 away: beyond a footman's sight
    EXPECT_EQ(friend_unit->attack_target, nullptr);
}

TEST_F(Steering, TurnsOnTheSpotFromTenDegreesOff)
{
    world& w = fresh_game(1);
    unit* u = soldier(0, 0, 1);
    u->heading = 0.0f;
    const double r9 = 9.0 * M_PI / 180.0, r10 = 10.0 * M_PI / 180.0;
    u->order_x = static_cast<float>(2.0 * sin(r9));
    u->order_z = static_cast<float>(2.0 * cos(r9));
    u->order_kind = ORDER_MOVE;
    move_close_range_unit(w, u);
    EXPECT_EQ(u->heading, 0.0f);  // walks straight ahead, along its heading
    EXPECT_NEAR(u->vz, 10.0f, 1e-5);
    EXPECT_NEAR(u->vx, 0.0f, 1e-5);

    u->order_x = static_cast<float>(2.0 * sin(r10 + 1e-6));
    u->order_z = static_cast<float>(2.0 * cos(r10 + 1e-6));
    move_close_range_unit(w, u);
    EXPECT_FLOAT_EQ(u->heading, 3.0f);
    EXPECT_EQ(u->vx, 0.0f);
    EXPECT_EQ(u->vz, 0.0f);

    // Turning left past north wraps into 0..360.
    u->heading = 1.0f;
    u->order_x = -2.0f;
    u->order_z = 0.5f;
    move_close_range_unit(w, u);
    EXPECT_FLOAT_EQ(u->heading, 358.0f);
}

TEST_F(Steering, MoveEndsOnArrivalAttackKeepsItsOrder)
{
    world& w = fresh_game(1);
    unit* u = soldier(0, 0, 1);
    u->heading = 0.0f;
    u->order_x = 0.0f;
    u->order_z = 0.5f;  // inside the arrival threshold
    u->order_kind = ORDER_MOVE;
    u->vz = 10.0f;
    move_close_range_unit(w, u);
    EXPECT_EQ(u->order_kind, ORDER_NONE);
    EXPECT_EQ(u->vz, 0.0f);
    u->order_kind = ORDER_ATTACK;
    simulate_close_range_unit(w, u, 0.05f);  // no enemy in sight: walks to its point
    EXPECT_EQ(u->order_kind, ORDER_ATTACK);
}

TEST_F(Behaviour, IdleFighterEngagesTowardTheMidpoint)
{
    world& w = fresh_game(1);
    unit* u = soldier(0, 0, 1);
    unit* enemy = soldier(0, 20, 0, HUMANOID_GOBLIN);
    enemy->y = u->y;
    u->vx = 3.0f;
    simulate_close_range_unit(w, u, 0.05f);
    EXPECT_EQ(u->order_kind, ORDER_ENGAGED);
    EXPECT_FLOAT_EQ(u->order_z, 10.0f);
    EXPECT_EQ(u->vx, 0.0f);
}

TEST_F(Behaviour, OnlyTheLeaderOfTheUnitsTeamActs)
{
    world& w = fresh_game(1);
    add_member("boss", 0x0200000A, 1, 10);
    unit* u = soldier(0, 0, 1);
    soldier(0, 20, 0, HUMANOID_GOBLIN)->y = u->y;
    simulate_close_range_unit(w, u, 0.05f);
    EXPECT_EQ(u->order_kind, ORDER_NONE);
    EXPECT_EQ(u->attack_target, nullptr);
}

TEST_F(Strokes, NeverCloserThanTheCooldown)
{
    world& w = fresh_game(1);
    unit* u = soldier(0, 0, 1);
    unit* enemy = soldier(0, 2, 0, HUMANOID_GOBLIN);
    enemy->y = u->y;
    u->order_kind = ORDER_ATTACK;
    std::vector<float> times;
    for (int i = 0; i < 100; ++i) {
        const size_t before = sent_commands("USWD").size();
        simulate_close_range_unit(w, u, 0.05f);
        if (sent_commands("USWD").size() > before)
            times.push_back(w.time);
        w.time += 0.05f;
    }
    ASSERT_GE(times.size(), 5u);
    for (size_t i = 1; i < times.size(); ++i)
        EXPECT_GE(times[i] - times[i - 1], SWORD_COOLDOWN);
    auto uswd = sent_commands("USWD");
    EXPECT_EQ(uswd[0].p[0], u->id);
    EXPECT_EQ(uswd[0].p[1], enemy->id);
    EXPECT_EQ(humanoid_of(u)->swing_started, times.back());  // the swing starts
    // The enemy is the other team's: its health is theirs to lower.
    EXPECT_EQ(enemy->health, 3.0f);
}

TEST_F(Reach, HitsWithinRadiusPlusReachOnly)
{
    world& w = fresh_game(1);
    unit* target = soldier(0, 0, 1);
    unit* attacker = soldier(0, 3.9f, 0, HUMANOID_GOBLIN);
    attacker->y = target->y;
    EXPECT_EQ(damage_this_unit(w, target, attacker, 3.0f), 1);
    EXPECT_EQ(target->health, 2.0f);
    attacker->z = 5.0f;
    EXPECT_EQ(damage_this_unit(w, target, attacker, 3.0f), 0);
    EXPECT_EQ(target->health, 2.0f);
    testing::internal::CaptureStdout();
    EXPECT_EQ(damage_this_unit(w, nullptr, attacker, 3.0f), 0);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("tried to hit a target that doesn't exist"),
              std::string::npos);
}

TEST_F(Blast, HitsEveryEnemyInReachInOneCall)
{
    world& w = fresh_game(1);
    unit* a = soldier(0, 0, 1);
    unit* b = soldier(2, 0, 1);
    unit* far_one = soldier(30, 0, 1);
    a->y = b->y = far_one->y = 0.0f;
    float nearest = -1.0f;
    EXPECT_EQ(damage_unit(w, 1, 0, 0, 1.5f, &nearest, 1.0f, 0), 1);
    EXPECT_EQ(a->health, 2.0f);
    EXPECT_EQ(b->health, 2.0f);
    EXPECT_EQ(far_one->health, 3.0f);
    EXPECT_EQ(nearest, 0.0f);
    // A miss reports the distance to the nearest unit.
    EXPECT_EQ(damage_unit(w, 15, 0, 0, 0.5f, &nearest, 1.0f, 0), 0);
    EXPECT_GT(nearest, 12.0f);
    EXPECT_LT(nearest, 13.1f);
    // The column ignores height.
    a->y = 500.0f;
    EXPECT_EQ(damage_unit_xz(w, 0, 0, 0.5f, &nearest, 1.0f, 0), 1);
    EXPECT_EQ(a->health, 1.0f);
}

TEST_F(Health, FallsOnlyOnTheVictimsTeamsCopies)
{
    world& w = fresh_game(1);
    unit* ours = soldier(0, 0, 1);
    unit* theirs = soldier(10, 0, 0, HUMANOID_GOBLIN);
    do_damage(w, 1.0f, theirs);
    EXPECT_EQ(theirs->health, 3.0f);
    do_damage(w, 1.0f, ours);
    EXPECT_EQ(ours->health, 2.0f);
    const uint32_t id = ours->id;
    sent.clear();
    do_damage(w, 2.0f, ours);
    EXPECT_EQ(find_unit(w, id), nullptr);
    auto udie = sent_commands("UDIE");
    ASSERT_EQ(udie.size(), 1u);
    EXPECT_EQ(udie[0].p[0], id);

    // Another participant's figure on this team keeps its health here.
    int idx = add_member("pal", 0x0200000A, 1, 900);
    unit* pal = s.parts[static_cast<size_t>(idx)].figure;
    const float pal_health = pal->health;
    do_damage(w, 5.0f, pal);
    EXPECT_EQ(pal->health, pal_health);

    // The player's own figure: the hurt roll and the target health.
    w.me->health = 15.0f;
    s.events.pending.clear();
    do_damage(w, 1.0f, w.me);
    EXPECT_EQ(w.player.target_health, 14.0f);
    ASSERT_EQ(s.events.pending.size(), 1u);
    EXPECT_EQ(s.events.pending[0].kind, sim_event_kind::hurt);
    EXPECT_EQ(w.me->health, 15.0f);
}

TEST_F(Targets, DeletingAUnitLeavesThreeFootmenWithoutATarget)
{
    world& w = fresh_game(0);
    unit* victim = soldier(0, 0, 1);
    unit* f[3];
    for (int i = 0; i < 3; ++i) {
        f[i] = soldier(5.0f * i, 10, 0, HUMANOID_GOBLIN);
        f[i]->attack_target = victim;
        f[i]->target_seen = 1;
    }
    del_unit(w, victim);
    for (unit* u : f) {
        EXPECT_EQ(u->attack_target, nullptr);
        EXPECT_EQ(u->target_seen, 0);
    }
}

TEST_F(Creation, StartingSoldiersOnlyOnTheirLeadersCopy)
{
    world& w = fresh_game(1);
    const int base = count_units(w);
    init_goblins(w);  // a defender makes no goblins
    EXPECT_EQ(count_units(w), base);
    init_footmen(w);
    EXPECT_EQ(count_units(w), base + 16);
    EXPECT_EQ(sent_commands("UNIT").size(), 16u);
    unit* f = w.units.list;  // the last one: i = j = 3
    EXPECT_FLOAT_EQ(f->x, 5.0f);
    EXPECT_FLOAT_EQ(f->z, -145.0f);
    EXPECT_EQ(f->team, 1);
    EXPECT_EQ(f->health, 3.0f);
    EXPECT_EQ(f->heading, 180.0f);
    EXPECT_EQ(f->id & 0xfff000u, 0x80000u);
    EXPECT_EQ(as_float(sent_commands("UNIT")[0].p[1]), 2.0f);

    // An attacker's copy, in a game of its own.
    world& w2 = fresh_game(0);
    init_goblins(w2);
    auto unit_cmds = sent_commands("UNIT");
    ASSERT_EQ(unit_cmds.size(), 16u);
    EXPECT_EQ(as_float(unit_cmds[0].p[1]), 4.0f);
    unit* g = find_unit(w2, unit_cmds[0].p[0]);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->health, 5.0f);
    EXPECT_EQ(humanoid_of(g)->type, &goblin_type);
    EXPECT_EQ(g->id & 0xff000u, 0x81000u);
}
