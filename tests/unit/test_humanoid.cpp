// Humanoids: state records, poses and limb angles, the ground rule, the
// sword swing, spawning by kind and the sword mesh.
#include <cmath>

#include "game_fixture.h"
#include "render/humanoid_model.h"
#include "sim/terrain.h"

struct HumanoidUpdate : game_test {};
struct Ground : game_test {};
struct Swing : game_test {};
struct Spawning : game_test {};

TEST_F(HumanoidUpdate, CountsByFixedFlag)
{
    world& w = fresh_game(1);
    unit* u = soldier(0, 0, 1);
    const float seven[7] = {1, 2, 3, 45, 4, 5, 6};
    EXPECT_EQ(update_humanoid(w, u, 7, seven), 0);
    EXPECT_EQ(u->x, 1.0f);
    EXPECT_EQ(u->heading, 45.0f);
    EXPECT_EQ(u->vz, 6.0f);

    const float four[4] = {9, 9, 9, 9};
    testing::internal::CaptureStderr();
    EXPECT_EQ(update_humanoid(w, u, 4, four), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("received 0-humanoid update with 4 params"),
              std::string::npos);
    EXPECT_EQ(u->x, 1.0f);

    u->fixed = 1;
    testing::internal::CaptureStderr();
    EXPECT_EQ(update_humanoid(w, u, 7, seven), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("received 1-humanoid update with 7 params"),
              std::string::npos);
    EXPECT_EQ(update_humanoid(w, u, 4, four), 0);
    EXPECT_EQ(u->x, 9.0f);
    EXPECT_EQ(u->vz, 6.0f);  // four values leave the velocity

    // Through the registry, by id.
    EXPECT_EQ(update_unit(w, u->id, 4, four), 0);
    EXPECT_EQ(update_unit(w, 0x80FFF, 4, four), -1);
}

TEST_F(HumanoidUpdate, NonFiniteRecordIsDroppedWhole)
{
    world& w = fresh_game(1);
    unit* u = soldier(0, 0, 1);
    const float bad[7] = {1, NAN, 3, 0, 0, 0, 0};
    testing::internal::CaptureStderr();
    EXPECT_EQ(update_humanoid(w, u, 7, bad), -1);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(u->x, 0.0f);
    EXPECT_TRUE(std::isfinite(u->y));
}

TEST_F(HumanoidUpdate, ReportsSevenOrFourValues)
{
    world& w = fresh_game(1);
    unit* u = soldier(0, 0, 1);
    w.batch.len = 0;
    conditionally_update_humanoid(w, u);
    EXPECT_EQ(w.batch.len, 8 + 8 + 7 * 4);
    u->fixed = 1;
    conditionally_update_humanoid(w, u);
    EXPECT_EQ(w.batch.len, 8 + 8 + 7 * 4 + 8 + 4 * 4);
}

TEST(Animation, PoseByHeightAndSpeed)
{
    unit u{};
    u.y = 10.0f;
    EXPECT_EQ(humanoid_pose(&u), POSE_STANDING);
    u.vx = 0.1f;  // exactly 0.1 still stands
    EXPECT_EQ(humanoid_pose(&u), POSE_STANDING);
    u.vz = -0.01f;
    EXPECT_EQ(humanoid_pose(&u), POSE_WALKING);
    u.y = 9.99f;
    EXPECT_EQ(humanoid_pose(&u), POSE_SWIMMING);
    u.vx = u.vz = 0.0f;
    EXPECT_EQ(humanoid_pose(&u), POSE_SWIMMING);  // whatever the speed
}

TEST(Animation, LimbAngles)
{
    limb_pose h{};
    animate_limbs(h, POSE_STANDING, 3.0f);
    EXPECT_EQ(h.leg_angles[0][0], 0.1f);
    EXPECT_EQ(h.leg_angles[1][1], 0.1f);
    EXPECT_EQ(h.arm_angles[0], 0.0f);

    const float t = 0.3f, p = 4.0f * t;
    animate_limbs(h, POSE_WALKING, t);
    EXPECT_NEAR(h.leg_angles[0][0], 0.6f * std::sin(p), 1e-6);
    EXPECT_NEAR(h.leg_angles[1][1], 0.3f - 0.3f * std::cos(p + 4.0f), 1e-6);
    EXPECT_NEAR(h.arm_angles[1], 0.6f * std::sin(p), 1e-6);
    const float walking_arm = h.arm_angles[0];
    animate_limbs(h, POSE_SWIMMING, t);
    EXPECT_NEAR(h.arm_angles[0], walking_arm + M_PI, 1e-5);  // overhead
    EXPECT_NEAR(h.leg_angles[0][0], 0.6f * std::sin(p), 1e-6);
}

TEST_F(Ground, FiguresStandOnTheGroundArchersNeverFall)
{
    world& w = fresh_game(1);
    flat_ground(0.0f);
    unit* u = soldier(0, 0, 1);
    u->order_kind = ORDER_HOLD;
    u->y = 0.5f;  // below standing height (ground 0 without a map)
    simulate_humanoid(w, u, 0.1f);
    EXPECT_FLOAT_EQ(u->y, 1.2f);
    EXPECT_EQ(u->vy, 0.0f);
    u->y = 30.0f;
    u->order_kind = ORDER_MOVE;  // steering leaves vy alone
    u->order_x = u->x;
    u->order_z = u->z;
    simulate_humanoid(w, u, 0.1f);
    EXPECT_NEAR(u->vy, -0.7f, 1e-6);

    unit* archer = soldier(5, 5, 1, HUMANOID_ARCHER);
    archer->fixed = 1;
    archer->y = 30.0f;
    simulate_humanoid(w, archer, 0.1f);
    EXPECT_EQ(archer->vy, 0.0f);
    EXPECT_EQ(archer->y, 30.0f);
}

// The stroke is drawn from the time since it began: down a degree a tuned
// step until past 70, then back by 0.7 a step; a new stroke starts over,
// with the roll its seed picks; a sword soldier's blow starts one.
TEST_F(Swing, FollowsTheTimeSinceTheStroke)
{
    EXPECT_EQ(sword_swing_at(-1.0f, 7).pitch, 0.0f);  // no stroke yet
    const sword_swing first = sword_swing_at(0.0f, 7);
    EXPECT_EQ(first.pitch, 0.0f);
    EXPECT_GE(first.roll, -45.0f);
    EXPECT_LE(first.roll, 44.0f);
    EXPECT_EQ(sword_swing_at(10.0f * TUNED_STEP, 7).pitch, 10.0f);
    EXPECT_EQ(sword_swing_at(70.5f * TUNED_STEP, 7).pitch, 70.0f);
    const sword_swing falling = sword_swing_at(72.0f * TUNED_STEP, 7);
    EXPECT_NEAR(falling.pitch, 71.0f * 0.7f, 1e-3);
    EXPECT_NEAR(falling.roll, first.roll * 0.7f, 1e-3);
    const sword_swing rest = sword_swing_at(200.0f * TUNED_STEP, 7);
    EXPECT_EQ(rest.pitch, 0.0f);
    EXPECT_EQ(rest.roll, 0.0f);

    world& w = fresh_game(1);
    unit* u = soldier(0, 0, 1);
    w.time = 12.5f;
    start_sword_stroke(w, u);
    EXPECT_EQ(humanoid_of(u)->swing_started, 12.5f);
    unit* archer = spawn_humanoid(w, 0x80010, 1, HUMANOID_ARCHER);
    start_sword_stroke(w, archer);  // no sword, no stroke
    EXPECT_LT(humanoid_of(archer)->swing_started, 0.0f);
}

TEST_F(Spawning, BodyWeaponAndFixedByKind)
{
    world& w = fresh_game(1);
    struct {
        int kind;
        const humanoid_type* type;
        int weapon, fixed;
        float health;  // as the creator makes them
    } cases[] = {{0, &human_type, WEAPON_NONE, 0, 15}, {1, &human_type, WEAPON_BOW, 1, 2},
                 {2, &human_type, WEAPON_SWORD, 0, 3}, {3, &ghoul_type, WEAPON_SWORD, 0, 2},
                 {4, &goblin_type, WEAPON_SWORD, 0, 5}, {5, &orangatang_type, WEAPON_SWORD, 0, 4}};
    uint32_t id = 0x81100;
    for (const auto& c : cases) {
        unit* u = spawn_humanoid(w, ++id, 0, c.kind);
        ASSERT_NE(u, nullptr);
        auto* h = humanoid_of(u);
        EXPECT_EQ(h->kind, c.kind);
        EXPECT_EQ(h->type, c.type);
        EXPECT_EQ(h->weapon, c.weapon);
        EXPECT_EQ(u->fixed, c.fixed);
        EXPECT_EQ(u->team, 0);
        EXPECT_EQ(u->health, c.health);
        EXPECT_EQ(u->max_health, c.health);
        EXPECT_EQ(u->vx, 0.0f);
    }
    const int n = count_units(w);
    testing::internal::CaptureStderr();
    EXPECT_EQ(spawn_humanoid(w, 0x81200, 0, 6), nullptr);
    EXPECT_EQ(spawn_humanoid(w, 0x81201, 0, -1), nullptr);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(count_units(w), n);
}

TEST(SwordMesh, SizeAndIndices)
{
    int total = 0;
    for (int r : sword_runs)
        total += r;
    EXPECT_EQ(total, SWORD_FACES);
    EXPECT_EQ(sword_runs[1], 42);
    float lo[3] = {1e9f, 1e9f, 1e9f}, hi[3] = {-1e9f, -1e9f, -1e9f};
    for (const auto& v : sword_vertex_table)
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::fmin(lo[k], v[k]);
            hi[k] = std::fmax(hi[k], v[k]);
        }
    EXPECT_FLOAT_EQ(lo[1], -0.5f);
    EXPECT_FLOAT_EQ(hi[1], 0.5f);
    EXPECT_NEAR(hi[0] - lo[0], 0.19f, 0.01f);
    EXPECT_NEAR(hi[2] - lo[2], 0.04f, 0.005f);
    bool used[SWORD_VERTICES] = {};
    for (const auto& f : sword_face_table) {
        for (int k = 0; k < 3; ++k) {
            EXPECT_LT(f[k], SWORD_VERTICES);
            EXPECT_LT(f[3 + k], SWORD_NORMALS);
            EXPECT_LT(f[6 + k], SWORD_TEXCOORDS);
            used[f[k]] = true;
        }
        EXPECT_TRUE(f[0] != f[1] && f[1] != f[2] && f[0] != f[2]);  // no degenerate triangle
    }
    for (bool b : used)
        EXPECT_TRUE(b);
    for (const auto& n : sword_normal_table)
        EXPECT_NEAR(std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]), 1.0f, 1e-3);
}

TEST(BodyTypes, Measures)
{
    humanoid_type t{};
    const float c[3] = {0.1f, 0.2f, 0.3f};
    fill_human_type(&t, 1, 1, 0.6f, 1, 1, 90, c, c, c);
    EXPECT_FLOAT_EQ(t.leg_length, 1.2f);
    EXPECT_FLOAT_EQ(t.torso_length, 0.7f);
    EXPECT_FLOAT_EQ(t.shoulder_width, 0.6f);
    EXPECT_FLOAT_EQ(t.arm_thickness, 0.12f);
    EXPECT_FLOAT_EQ(t.head_size, 0.6f);
    EXPECT_EQ(t.lean, 90.0f);
}
