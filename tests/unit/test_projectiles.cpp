#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "siege_test_support.h"
#include "sim/archer.h"
#include "sim/humanoid.h"
#include "sim/projectile.h"
#include "sim/walls.h"

namespace {

constexpr float PI_F = 3.14159265f;

class Projectiles : public siege_test {
protected:
    void SetUp() override { siege_reset(TEAM_DEFENDERS); }
    // The newest projectile in flight (the head of the list), or none.
    projectile* newest() const { return game->projectiles.head; }
};

// A defenders' archer standing at (x, y, z) with no tower.
unit* bare_archer(world& w, float x, float y, float z)
{
    unit* u = add_humanoid(w);
    init_humanoid(w, u);
    humanoid_data* h = humanoid_of(u);
    h->kind = HUMANOID_ARCHER;
    h->weapon = WEAPON_BOW;
    u->fixed = 1;
    u->team = TEAM_DEFENDERS;
    u->x = x;
    u->y = y;
    u->z = z;
    u->last_attack_time = 0.0f;
    return u;
}

unit* enemy_at(world& w, float x, float y, float z)
{
    unit* u = add_unit(w, 0x81000 + 0x200 + static_cast<uint32_t>(count_units(w)));
    u->kind = UNIT_RAM;  // any unit of the other side
    u->team = TEAM_ATTACKERS;
    u->x = x;
    u->y = y;
    u->z = z;
    u->radius = 1.0f;
    u->health = u->max_health = 5.0f;
    return u;
}

}  // namespace

// --- the list and the arrow ----------------------------------------------------

TEST_F(Projectiles, AddingSchedulesAnImmediateCheckAndDeletingDisposes)
{
    world& w = *game;
    EXPECT_EQ(add_projectile(w, nullptr), -1);
    static int disposed = 0;
    disposed = 0;
    auto* p = new projectile{};
    p->expiry = w.time + 5;
    p->next_check = 1e9f;
    p->dispose = [](projectile*) { ++disposed; };
    ASSERT_EQ(add_projectile(w, p), 0);
    EXPECT_FLOAT_EQ(p->next_check, w.time - 1.0f);
    auto* q = new projectile{};
    q->expiry = w.time + 5;
    add_projectile(w, q);
    EXPECT_EQ(newest(), q);  // newest first
    EXPECT_EQ(del_projectile(w.projectiles, q), p);
    EXPECT_EQ(newest(), p);
    EXPECT_EQ(del_projectile(w.projectiles, p), nullptr);
    EXPECT_EQ(disposed, 1);
    EXPECT_EQ(newest(), nullptr);
}

TEST_F(Projectiles, ArrowLeavesTheBowAlongTheAimAndStartsOutside)
{
    world& w = *game;
    // Yaw 90 looks along +x, pitch positive looks down.
    shoot_arrow(w, 10, 20, 30, 90, 30, TEAM_DEFENDERS);
    const projectile* arrow = newest();
    ASSERT_NE(arrow, nullptr);
    EXPECT_NEAR(arrow->vx, 30 * std::cos(30 * PI_F / 180), 1e-3);
    EXPECT_NEAR(arrow->vy, -15.0f, 1e-3);
    EXPECT_NEAR(arrow->vz, 0.0f, 1e-3);
    const float dx = arrow->x - 10, dy = arrow->y - 20, dz = arrow->z - 30;
    EXPECT_NEAR(std::sqrt(dx * dx + dy * dy + dz * dz), 1.2f, 1e-3);
    EXPECT_EQ(arrow->team, TEAM_DEFENDERS);
    EXPECT_FLOAT_EQ(arrow->damage, 1.0f);
    EXPECT_FLOAT_EQ(arrow->radius, 0.5f);
    EXPECT_NEAR(arrow->expiry, w.time + 10, 1e-3);
    // Yaw 0 shoots along -z.
    shoot_arrow(w, 0, 20, 0, 0, 0, 0);
    EXPECT_NEAR(newest()->vz, -30.0f, 1e-3);
}

TEST_F(Projectiles, ArrowFallsUnderGravityButNotFasterThanTerminalSpeed)
{
    world& w = siege_reset(TEAM_DEFENDERS, -200.0f);  // nothing to hit
    shoot_arrow(w, 0, 100, 0, 0, 0, 0);
    projectile* p = newest();
    projectile_frame(0.1f);
    EXPECT_NEAR(p->vy, -0.3f, 1e-4);
    // Straight down at speed: gravity stops adding once at 45.
    p->vx = p->vz = 0;
    p->vy = -44.9f;
    projectile_frame(0.1f);
    EXPECT_NEAR(p->vy, -44.9f, 1e-4);
    for (int i = 0; i < 50; ++i) {
        projectile_frame(0.05f);
        if (newest() != p)
            break;
        EXPECT_LE(std::fabs(p->vy), 45.0f + 1e-3f);
    }
}

TEST_F(Projectiles, ArrowStrikingTheGroundStopsAndVanishesWithinASecond)
{
    world& w = *game;
    shoot_arrow(w, 0, 6, 0, 0, 40, 0);  // downward onto ground at height 0
    projectile* p = newest();
    float impact = -1;
    for (int i = 0; i < 200 && newest(); ++i) {
        projectile_frame(0.02f);
        if (impact < 0 && newest() && p->y <= 0.0f + 1e-4f) {
            impact = w.time;
            const float speed = std::sqrt(p->vx * p->vx + p->vy * p->vy + p->vz * p->vz);
            EXPECT_LT(speed, 3.0f);  // almost dead
            EXPECT_LE(p->expiry, w.time + 1.0f);
        }
    }
    ASSERT_GT(impact, 0);
    EXPECT_EQ(newest(), nullptr);
    EXPECT_LE(w.time - impact, 1.0f + 0.05f);
}

TEST_F(Projectiles, ArrowBelowTheDeepSeaLineGoesTheNextFrame)
{
    world& w = siege_reset(TEAM_DEFENDERS, -40.0f);
    shoot_arrow(w, 0, -9.0f, 0, 0, 90, 0);  // straight down, already low
    projectile* p = newest();
    while (newest() && p->y >= -10.0f)
        projectile_frame(0.01f);
    ASSERT_EQ(newest(), p);
    EXPECT_LT(p->y, -10.0f);
    projectile_frame(0.01f);  // this step sees it below -10 ...
    EXPECT_LT(p->expiry, w.time);
    projectile_frame(0.01f);  // ... and this one removes it
    EXPECT_EQ(newest(), nullptr);
}

TEST_F(Projectiles, ExpiryExactlyNowIsStillSimulated)
{
    world& w = siege_reset(TEAM_DEFENDERS, -200.0f);
    shoot_arrow(w, 0, 50, 0, 90, 0, 0);
    projectile* p = newest();
    w.time += 0.5f;
    p->expiry = w.time;
    const float x0 = p->x;
    simulate_projectiles(w, 0.1f);
    ASSERT_EQ(newest(), p);
    EXPECT_GT(p->x, x0);
    w.time += 0.001f;
    simulate_projectiles(w, 0.1f);
    EXPECT_EQ(newest(), nullptr);
}

TEST_F(Projectiles, ArrowHitsAnEnemyButNeverItsOwnSide)
{
    world& w = siege_reset(TEAM_ATTACKERS);
    unit* friend_ = enemy_at(w, 0, 5, -5);  // on our side (attackers)
    unit* foe = add_unit(w, 0x80000 + 77);
    foe->team = TEAM_DEFENDERS;
    foe->x = 0;
    foe->y = 5;
    foe->z = -15;
    foe->radius = 1;
    shoot_arrow(w, 0, 5, 0, 0, 0, TEAM_ATTACKERS);
    for (int i = 0; i < 40 && newest(); ++i)
        projectile_frame(0.02f);
    EXPECT_EQ(newest(), nullptr);  // it struck the foe and went
    EXPECT_FLOAT_EQ(friend_->health, 5.0f);
}

// --- the aiming table ----------------------------------------------------------

TEST_F(Projectiles, AimingTableHoldsTheHighestSweptAngleThatReachesEachOffset)
{
    world& w = *game;
    build_archer_projectile_table(w.aim);
    auto height = [](double a, int d) { return d * std::tan(a) - 3.0 * d * d / (1800.0 * std::cos(a) * std::cos(a)); };
    const double step = M_PI / 1000;
    for (int d : {5, 12, 40, 99})
        for (int dh : {-40, -4, 0, 3, 10}) {
            const double a = w.aim.elevation[dh + 50][d];
            ASSERT_NE(a, 0.0) << d << " " << dh;
            EXPECT_EQ(static_cast<int>(std::trunc(height(a, d))), dh) << d << " " << dh;
            // No steeper angle of the sweep lands in the same unit of height.
            for (double b = a + step; b < M_PI / 2; b += step)
                ASSERT_NE(static_cast<int>(std::trunc(height(b, d))), dh) << d << " " << dh << " " << b;
        }
    // At distance 0 every angle stays level with the bow: only dh 0 is filled.
    EXPECT_EQ(w.aim.elevation[49 + 50][0], 0.0f);
    EXPECT_EQ(w.aim.elevation[-10 + 50][0], 0.0f);
}

TEST_F(Projectiles, ArcherAimsWithTheTableEntryOfTheTruncatedOffsets)
{
    world& w = *game;
    build_archer_projectile_table(w.aim);
    unit* a = bare_archer(w, 0, 20, 0);
    // 12.7 away along -z, 3.9 higher: entry [53][12].
    a->attack_target = enemy_at(w, 0, 23.9f, -12.7f);
    shoot_archer(w, a);
    auto shots = sent_commands("UARW");
    ASSERT_EQ(shots.size(), 1u);
    EXPECT_EQ(shots[0].p[0], a->id);
    EXPECT_NEAR(shots[0].f(1), 0.0f, 1e-3);  // yaw 0: along -z
    EXPECT_NEAR(shots[0].f(2), -w.aim.elevation[53][12] * 180 / PI_F, 1e-3);
    EXPECT_NEAR(a->pitch, shots[0].f(2), 1e-6);
    ASSERT_NE(newest(), nullptr);
    EXPECT_GT(newest()->vy, 0.0f);  // lobbed upward

    // 4.2 lower: truncation toward zero gives -4, entry [46][12].
    w.time += 1.0f;
    a->attack_target = enemy_at(w, 12.7f, 15.8f, 0);
    shoot_archer(w, a);
    shots = sent_commands("UARW");
    ASSERT_EQ(shots.size(), 2u);
    EXPECT_NEAR(shots[1].f(2), -w.aim.elevation[46][12] * 180 / PI_F, 1e-3);
    EXPECT_NEAR(shots[1].f(1), 90.0f, 1e-3);  // along +x
}

TEST_F(Projectiles, TargetFarBelowIsKeptButNotShotAndOneOutOfRangeIsDropped)
{
    world& w = *game;
    build_archer_projectile_table(w.aim);
    unit* a = bare_archer(w, 0, 70, 0);
    unit* low = enemy_at(w, 0, 10, -20);  // 60 below
    a->attack_target = low;
    shoot_archer(w, a);
    EXPECT_EQ(a->attack_target, low);
    EXPECT_EQ(newest(), nullptr);
    EXPECT_TRUE(sent_commands("UARW").empty());

    a->attack_target = enemy_at(w, 0, 70, -100.5f);
    shoot_archer(w, a);
    EXPECT_EQ(a->attack_target, nullptr);
    EXPECT_EQ(newest(), nullptr);
}

TEST_F(Projectiles, ArcherShotsAreNeverCloserThanTheReload)
{
    world& w = *game;
    build_archer_projectile_table(w.aim);
    unit* a = bare_archer(w, 0, 20, 0);
    enemy_at(w, 0, 20, -30);
    std::vector<float> shots;
    for (int i = 0; i < 300; ++i) {
        w.time += 0.01f;
        const int before = count_projectiles(w.projectiles);
        simulate_archer(w, a);
        if (count_projectiles(w.projectiles) > before)
            shots.push_back(w.time);
    }
    ASSERT_GE(shots.size(), 3u);
    for (size_t i = 1; i < shots.size(); ++i)
        EXPECT_GT(shots[i] - shots[i - 1], 0.666f);
}

TEST_F(Projectiles, ArcherOnHoldNeverShoots)
{
    world& w = *game;
    build_archer_projectile_table(w.aim);
    unit* a = bare_archer(w, 0, 20, 0);
    enemy_at(w, 0, 20, -30);
    a->order_kind = ORDER_HOLD;
    for (int i = 0; i < 200; ++i) {
        w.time += 0.02f;
        simulate_archer(w, a);
    }
    EXPECT_EQ(count_projectiles(w.projectiles), 0);
    a->order_kind = ORDER_NONE;
    w.time += 1.0f;
    simulate_archer(w, a);
    EXPECT_EQ(count_projectiles(w.projectiles), 1);
}

TEST_F(Projectiles, OnlyTheLeaderOfTheArchersSideShoots)
{
    world& w = siege_reset(TEAM_ATTACKERS);
    build_archer_projectile_table(w.aim);
    unit* a = bare_archer(w, 0, 20, 0);
    unit* target = add_unit(w, 0x81000 + 99);
    target->team = TEAM_ATTACKERS;
    target->z = -30;
    target->y = 20;
    simulate_archer(w, a);
    EXPECT_EQ(count_projectiles(w.projectiles), 0);
}

TEST_F(Projectiles, ReceivedArcherShotLeavesFromTheArcher)
{
    world& w = *game;
    unit* a = bare_archer(w, 5, 20, 7);
    EXPECT_EQ(unit_shoot_arrow(w, a->id, 90, 0), 0);
    const projectile* arrow = newest();
    ASSERT_NE(arrow, nullptr);
    EXPECT_NEAR(arrow->x, 5 + 1.2f, 1e-3);
    EXPECT_EQ(arrow->team, TEAM_DEFENDERS);
    EXPECT_EQ(unit_shoot_arrow(w, 0x80000 + 4000, 0, 0), -1);
}

// --- archers on the towers ---------------------------------------------------------

namespace {

float level_ground(const world&, float, float)
{
    return 0.0f;
}

class TowerArchers : public Projectiles {
protected:
    std::string path;
    void SetUp() override
    {
        Projectiles::SetUp();
        game->structures.ground = level_ground;
        path = "siege_walls_" + std::to_string(getpid()) + ".txt";
        FILE* f = fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        fputs("0, 0, 10, 4, y n\n40, 0, 10, 4, n n\n80, 0, 10, 4, y n\n120, 0, 10, 4, n n\n", f);
        fclose(f);
        s.files.walls = path;
    }
    void TearDown() override { unlink(path.c_str()); }
    // The attackers' copy, in a world of its own on the same level ground.
    world& attackers_copy()
    {
        world& w = siege_reset(TEAM_ATTACKERS);
        w.structures.ground = level_ground;
        return w;
    }
    int archers() const
    {
        int n = 0;
        for (const unit* u = game->units.list; u; u = u->next)
            if (u->kind == UNIT_HUMANOID && humanoid_of(u)->kind == HUMANOID_ARCHER)
                ++n;
        return n;
    }
};

}  // namespace

TEST_F(TowerArchers, LeaderPostsOneArcherPerTowerAndAnnouncesIt)
{
    world& w = *game;
    load_walls(w);
    EXPECT_EQ(archers(), 2);
    EXPECT_EQ(sent_commands("UNIT").size(), 2u);
    const wall_point& pt = w.walls.points[0];
    ASSERT_TRUE(pt.has_archer);
    unit* a = find_unit(w, pt.archer_id);
    ASSERT_NE(a, nullptr);
    const float side = 1.2f * pt.thickness;
    EXPECT_FLOAT_EQ(a->x, pt.x + side / 2);
    EXPECT_FLOAT_EQ(a->z, pt.z + side / 2);
    EXPECT_EQ(a->fixed, 1);
    EXPECT_EQ(a->team, TEAM_DEFENDERS);
    EXPECT_FLOAT_EQ(a->health, 2.0f);
    EXPECT_FLOAT_EQ(a->heading, 180.0f);
}

TEST_F(TowerArchers, AttackersCopyPostsNone)
{
    world& w = attackers_copy();
    load_walls(w);
    EXPECT_EQ(archers(), 0);
}

TEST_F(TowerArchers, FallenArcherIsReplacedAfterFiveMinutesOnThePostingCopy)
{
    world& w = *game;
    load_walls(w);
    wall_point& pt = w.walls.points[0];
    unit* a = find_unit(w, pt.archer_id);
    ASSERT_NE(a, nullptr);
    const float x = a->x, y = a->y, z = a->z;
    const float died = w.time;
    del_unit(w, a);
    EXPECT_FALSE(pt.has_archer);
    EXPECT_TRUE(pt.archer_emptied);
    EXPECT_EQ(archers(), 1);
    w.time = died + 299.0f;
    regenerate_archers(w);
    EXPECT_EQ(archers(), 1);
    w.time = died + 300.5f;
    regenerate_archers(w);
    ASSERT_EQ(archers(), 2);
    unit* b = find_unit(w, pt.archer_id);
    ASSERT_NE(b, nullptr);
    EXPECT_FLOAT_EQ(b->x, x);
    EXPECT_FLOAT_EQ(b->y, y);
    EXPECT_FLOAT_EQ(b->z, z);
    regenerate_archers(w);
    EXPECT_EQ(archers(), 2);  // once only
}

TEST_F(TowerArchers, TowerThatNeverHadAnArcherHereIsNotFilled)
{
    world& w = attackers_copy();
    load_walls(w);
    w.time += 1000.0f;
    regenerate_archers(w);
    EXPECT_EQ(archers(), 0);
}
