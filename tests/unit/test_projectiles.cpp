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

class Projectiles : public ::testing::Test {
protected:
    void SetUp() override { siege_reset(TEAM_DEFENDERS); }
    void TearDown() override { clear_projectiles(); }
};

// A defenders' archer standing at (x, y, z) with no tower.
unit* bare_archer(float x, float y, float z)
{
    unit* u = add_humanoid();
    init_humanoid(u);
    auto* h = static_cast<humanoid_data*>(u->kind_data);
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

unit* enemy_at(float x, float y, float z)
{
    unit* u = add_unit(0x81000 + 0x200 + static_cast<uint32_t>(count_units()));
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
    EXPECT_EQ(add_projectile(nullptr), -1);
    static int disposed = 0;
    disposed = 0;
    auto* p = new projectile{};
    p->expiry = game_time + 5;
    p->next_check = 1e9f;
    p->dispose = [](projectile*) { ++disposed; };
    ASSERT_EQ(add_projectile(p), 0);
    EXPECT_FLOAT_EQ(p->next_check, game_time - 1.0f);
    auto* q = new projectile{};
    q->expiry = game_time + 5;
    add_projectile(q);
    EXPECT_EQ(proj, q);  // newest first
    EXPECT_EQ(del_projectile(q), p);
    EXPECT_EQ(proj, p);
    EXPECT_EQ(del_projectile(p), nullptr);
    EXPECT_EQ(disposed, 1);
    EXPECT_EQ(proj, nullptr);
}

TEST_F(Projectiles, ArrowLeavesTheBowAlongTheAimAndStartsOutside)
{
    // Yaw 90 looks along +x, pitch positive looks down.
    shoot_arrow(10, 20, 30, 90, 30, TEAM_DEFENDERS);
    ASSERT_NE(proj, nullptr);
    EXPECT_NEAR(proj->vx, 30 * std::cos(30 * PI_F / 180), 1e-3);
    EXPECT_NEAR(proj->vy, -15.0f, 1e-3);
    EXPECT_NEAR(proj->vz, 0.0f, 1e-3);
    const float dx = proj->x - 10, dy = proj->y - 20, dz = proj->z - 30;
    EXPECT_NEAR(std::sqrt(dx * dx + dy * dy + dz * dz), 1.2f, 1e-3);
    EXPECT_EQ(proj->team, TEAM_DEFENDERS);
    EXPECT_FLOAT_EQ(proj->damage, 1.0f);
    EXPECT_FLOAT_EQ(proj->radius, 0.5f);
    EXPECT_NEAR(proj->expiry, game_time + 10, 1e-3);
    // Yaw 0 shoots along -z.
    shoot_arrow(0, 20, 0, 0, 0, 0);
    EXPECT_NEAR(proj->vz, -30.0f, 1e-3);
}

TEST_F(Projectiles, ArrowFallsUnderGravityButNotFasterThanTerminalSpeed)
{
    siege_reset(TEAM_DEFENDERS, -200.0f);  // nothing to hit
    shoot_arrow(0, 100, 0, 0, 0, 0);
    projectile* p = proj;
    projectile_frame(0.1f);
    EXPECT_NEAR(p->vy, -0.3f, 1e-4);
    // Straight down at speed: gravity stops adding once at 45.
    p->vx = p->vz = 0;
    p->vy = -44.9f;
    projectile_frame(0.1f);
    EXPECT_NEAR(p->vy, -44.9f, 1e-4);
    for (int i = 0; i < 50; ++i) {
        projectile_frame(0.05f);
        if (proj != p)
            break;
        EXPECT_LE(std::fabs(p->vy), 45.0f + 1e-3f);
    }
}

TEST_F(Projectiles, ArrowStrikingTheGroundStopsAndVanishesWithinASecond)
{
    shoot_arrow(0, 6, 0, 0, 40, 0);  // downward onto ground at height 0
    projectile* p = proj;
    float impact = -1;
    for (int i = 0; i < 200 && proj; ++i) {
        projectile_frame(0.02f);
        if (impact < 0 && proj && p->y <= 0.0f + 1e-4f) {
            impact = game_time;
            const float speed = std::sqrt(p->vx * p->vx + p->vy * p->vy + p->vz * p->vz);
            EXPECT_LT(speed, 3.0f);  // almost dead
            EXPECT_LE(p->expiry, game_time + 1.0f);
        }
    }
    ASSERT_GT(impact, 0);
    EXPECT_EQ(proj, nullptr);
    EXPECT_LE(game_time - impact, 1.0f + 0.05f);
}

TEST_F(Projectiles, ArrowBelowTheDeepSeaLineGoesTheNextFrame)
{
    siege_reset(TEAM_DEFENDERS, -40.0f);
    shoot_arrow(0, -9.0f, 0, 0, 90, 0);  // straight down, already low
    projectile* p = proj;
    while (proj && p->y >= -10.0f)
        projectile_frame(0.01f);
    ASSERT_EQ(proj, p);
    EXPECT_LT(p->y, -10.0f);
    projectile_frame(0.01f);  // this step sees it below -10 ...
    EXPECT_LT(p->expiry, game_time);
    projectile_frame(0.01f);  // ... and this one removes it
    EXPECT_EQ(proj, nullptr);
}

TEST_F(Projectiles, ExpiryExactlyNowIsStillSimulated)
{
    siege_reset(TEAM_DEFENDERS, -200.0f);
    shoot_arrow(0, 50, 0, 90, 0, 0);
    projectile* p = proj;
    game_time += 0.5f;
    p->expiry = game_time;
    const float x0 = p->x;
    simulate_projectiles(0.1f);
    ASSERT_EQ(proj, p);
    EXPECT_GT(p->x, x0);
    game_time += 0.001f;
    simulate_projectiles(0.1f);
    EXPECT_EQ(proj, nullptr);
}

TEST_F(Projectiles, ArrowHitsAnEnemyButNeverItsOwnSide)
{
    siege_reset(TEAM_ATTACKERS);
    unit* friend_ = enemy_at(0, 5, -5);  // on our side (attackers)
    unit* foe = add_unit(0x80000 + 77);
    foe->team = TEAM_DEFENDERS;
    foe->x = 0;
    foe->y = 5;
    foe->z = -15;
    foe->radius = 1;
    shoot_arrow(0, 5, 0, 0, 0, TEAM_ATTACKERS);
    for (int i = 0; i < 40 && proj; ++i)
        projectile_frame(0.02f);
    EXPECT_EQ(proj, nullptr);  // it struck the foe and went
    EXPECT_FLOAT_EQ(friend_->health, 5.0f);
}

// --- the aiming table ----------------------------------------------------------

TEST_F(Projectiles, AimingTableHoldsTheHighestSweptAngleThatReachesEachOffset)
{
    build_archer_projectile_table();
    auto height = [](double a, int d) { return d * std::tan(a) - 3.0 * d * d / (1800.0 * std::cos(a) * std::cos(a)); };
    const double step = M_PI / 1000;
    for (int d : {5, 12, 40, 99})
        for (int dh : {-40, -4, 0, 3, 10}) {
            const double a = archer_projectile_table[dh + 50][d];
            ASSERT_NE(a, 0.0) << d << " " << dh;
            EXPECT_EQ(static_cast<int>(std::trunc(height(a, d))), dh) << d << " " << dh;
            // No steeper angle of the sweep lands in the same unit of height.
            for (double b = a + step; b < M_PI / 2; b += step)
                ASSERT_NE(static_cast<int>(std::trunc(height(b, d))), dh) << d << " " << dh << " " << b;
        }
    // At distance 0 every angle stays level with the bow: only dh 0 is filled.
    EXPECT_EQ(archer_projectile_table[49 + 50][0], 0.0f);
    EXPECT_EQ(archer_projectile_table[-10 + 50][0], 0.0f);
}

TEST_F(Projectiles, ArcherAimsWithTheTableEntryOfTheTruncatedOffsets)
{
    build_archer_projectile_table();
    unit* a = bare_archer(0, 20, 0);
    // 12.7 away along -z, 3.9 higher: entry [53][12].
    a->attack_target = enemy_at(0, 23.9f, -12.7f);
    shoot_archer(a);
    auto shots = sent_commands("UARW");
    ASSERT_EQ(shots.size(), 1u);
    EXPECT_EQ(shots[0].p[0], a->id);
    EXPECT_NEAR(shots[0].f(1), 0.0f, 1e-3);  // yaw 0: along -z
    EXPECT_NEAR(shots[0].f(2), -archer_projectile_table[53][12] * 180 / PI_F, 1e-3);
    EXPECT_NEAR(a->pitch, shots[0].f(2), 1e-6);
    ASSERT_NE(proj, nullptr);
    EXPECT_GT(proj->vy, 0.0f);  // lobbed upward

    // 4.2 lower: truncation toward zero gives -4, entry [46][12].
    game_time += 1.0f;
    a->attack_target = enemy_at(12.7f, 15.8f, 0);
    shoot_archer(a);
    shots = sent_commands("UARW");
    ASSERT_EQ(shots.size(), 2u);
    EXPECT_NEAR(shots[1].f(2), -archer_projectile_table[46][12] * 180 / PI_F, 1e-3);
    EXPECT_NEAR(shots[1].f(1), 90.0f, 1e-3);  // along +x
}

TEST_F(Projectiles, TargetFarBelowIsKeptButNotShotAndOneOutOfRangeIsDropped)
{
    build_archer_projectile_table();
    unit* a = bare_archer(0, 70, 0);
    unit* low = enemy_at(0, 10, -20);  // 60 below
    a->attack_target = low;
    shoot_archer(a);
    EXPECT_EQ(a->attack_target, low);
    EXPECT_EQ(proj, nullptr);
    EXPECT_TRUE(sent_commands("UARW").empty());

    a->attack_target = enemy_at(0, 70, -100.5f);
    shoot_archer(a);
    EXPECT_EQ(a->attack_target, nullptr);
    EXPECT_EQ(proj, nullptr);
}

TEST_F(Projectiles, ArcherShotsAreNeverCloserThanTheReload)
{
    build_archer_projectile_table();
    unit* a = bare_archer(0, 20, 0);
    enemy_at(0, 20, -30);
    std::vector<float> shots;
    for (int i = 0; i < 300; ++i) {
        game_time += 0.01f;
        const int before = count_projectiles();
        simulate_archer(a);
        if (count_projectiles() > before)
            shots.push_back(game_time);
    }
    ASSERT_GE(shots.size(), 3u);
    for (size_t i = 1; i < shots.size(); ++i)
        EXPECT_GT(shots[i] - shots[i - 1], 0.666f);
}

TEST_F(Projectiles, ArcherOnHoldNeverShoots)
{
    build_archer_projectile_table();
    unit* a = bare_archer(0, 20, 0);
    enemy_at(0, 20, -30);
    a->order_kind = ORDER_HOLD;
    for (int i = 0; i < 200; ++i) {
        game_time += 0.02f;
        simulate_archer(a);
    }
    EXPECT_EQ(count_projectiles(), 0);
    a->order_kind = ORDER_NONE;
    game_time += 1.0f;
    simulate_archer(a);
    EXPECT_EQ(count_projectiles(), 1);
}

TEST_F(Projectiles, OnlyTheLeaderOfTheArchersSideShoots)
{
    build_archer_projectile_table();
    siege_reset(TEAM_ATTACKERS);
    unit* a = bare_archer(0, 20, 0);
    unit* target = add_unit(0x81000 + 99);
    target->team = TEAM_ATTACKERS;
    target->z = -30;
    target->y = 20;
    simulate_archer(a);
    EXPECT_EQ(count_projectiles(), 0);
}

TEST_F(Projectiles, ReceivedArcherShotLeavesFromTheArcher)
{
    unit* a = bare_archer(5, 20, 7);
    EXPECT_EQ(unit_shoot_arrow(a->id, 90, 0), 0);
    ASSERT_NE(proj, nullptr);
    EXPECT_NEAR(proj->x, 5 + 1.2f, 1e-3);
    EXPECT_EQ(proj->team, TEAM_DEFENDERS);
    EXPECT_EQ(unit_shoot_arrow(0x80000 + 4000, 0, 0), -1);
}

// --- archers on the towers ---------------------------------------------------------

namespace {

float flat_ground(float, float)
{
    return 0.0f;
}

class TowerArchers : public Projectiles {
protected:
    std::string path;
    void SetUp() override
    {
        Projectiles::SetUp();
        g_wall_links = wall_links{};
        init_archers();
        structure_ground = flat_ground;
        path = "siege_walls_" + std::to_string(getpid()) + ".txt";
        FILE* f = fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        fputs("0, 0, 10, 4, y n\n40, 0, 10, 4, n n\n80, 0, 10, 4, y n\n120, 0, 10, 4, n n\n", f);
        fclose(f);
        walls_filename = path;
    }
    void TearDown() override
    {
        unlink(path.c_str());
        walls_filename = "walls.txt";
        g_wall_links = wall_links{};
        Projectiles::TearDown();
    }
    static int archers()
    {
        int n = 0;
        for (unit* u = unit_list; u; u = u->next)
            if (u->kind == UNIT_HUMANOID && u->kind_data &&
                static_cast<humanoid_data*>(u->kind_data)->kind == HUMANOID_ARCHER)
                ++n;
        return n;
    }
};

}  // namespace

TEST_F(TowerArchers, LeaderPostsOneArcherPerTowerAndAnnouncesIt)
{
    load_walls();
    EXPECT_EQ(archers(), 2);
    EXPECT_EQ(sent_commands("UNIT").size(), 2u);
    const wall_point& w = the_wall_pts[0];
    ASSERT_TRUE(w.has_archer);
    unit* a = find_unit(w.archer_id);
    ASSERT_NE(a, nullptr);
    const float s = 1.2f * w.thickness;
    EXPECT_FLOAT_EQ(a->x, w.x + s / 2);
    EXPECT_FLOAT_EQ(a->z, w.z + s / 2);
    EXPECT_EQ(a->fixed, 1);
    EXPECT_EQ(a->team, TEAM_DEFENDERS);
    EXPECT_FLOAT_EQ(a->health, 2.0f);
    EXPECT_FLOAT_EQ(a->heading, 180.0f);
}

TEST_F(TowerArchers, AttackersCopyPostsNone)
{
    siege_reset(TEAM_ATTACKERS);
    load_walls();
    EXPECT_EQ(archers(), 0);
}

TEST_F(TowerArchers, FallenArcherIsReplacedAfterFiveMinutesOnThePostingCopy)
{
    load_walls();
    wall_point& w = the_wall_pts[0];
    unit* a = find_unit(w.archer_id);
    ASSERT_NE(a, nullptr);
    const float x = a->x, y = a->y, z = a->z;
    const float died = game_time;
    del_unit(a);
    EXPECT_FALSE(w.has_archer);
    EXPECT_TRUE(w.archer_emptied);
    EXPECT_EQ(archers(), 1);
    game_time = died + 299.0f;
    regenerate_archers();
    EXPECT_EQ(archers(), 1);
    game_time = died + 300.5f;
    regenerate_archers();
    ASSERT_EQ(archers(), 2);
    unit* b = find_unit(w.archer_id);
    ASSERT_NE(b, nullptr);
    EXPECT_FLOAT_EQ(b->x, x);
    EXPECT_FLOAT_EQ(b->y, y);
    EXPECT_FLOAT_EQ(b->z, z);
    regenerate_archers();
    EXPECT_EQ(archers(), 2);  // once only
}

TEST_F(TowerArchers, TowerThatNeverHadAnArcherHereIsNotFilled)
{
    siege_reset(TEAM_ATTACKERS);
    load_walls();
    game_time += 1000.0f;
    regenerate_archers();
    EXPECT_EQ(archers(), 0);
}
