#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <vector>

#include "armies_test_support.h"
#include "render/camera.h"
#include "siege_test_support.h"
#include "sim/dragon.h"

namespace {

// The records of the open unit-state batch: id -> values.
std::map<uint32_t, std::vector<float>> batch_records()
{
    std::map<uint32_t, std::vector<float>> out;
    if (updm_len < 8)
        return out;
    uint32_t count;
    std::memcpy(&count, updm.data() + 4, 4);
    size_t off = 8;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t id, n;
        std::memcpy(&id, updm.data() + off, 4);
        std::memcpy(&n, updm.data() + off + 4, 4);
        std::vector<float> v(n);
        std::memcpy(v.data(), updm.data() + off + 8, 4 * n);
        out[id] = v;
        off += 8 + 4 * n;
    }
    return out;
}

float dist2(const unit* a, const unit* b)
{
    const float dx = a->x - b->x, dy = a->y - b->y, dz = a->z - b->z;
    return dx * dx + dy * dy + dz * dz;
}

class Dragons : public ::testing::Test {
protected:
    void SetUp() override
    {
        fill_human_types();
        siege_reset(TEAM_ATTACKERS);
        reset_game_dragons();
        eye_x = 0.0f, eye_y = 2.0f, eye_z = 0.0f;
        eye_yaw = eye_pitch = eye_vy = 0.0f;
        me->x = 0.0f, me->y = 0.8f, me->z = 0.0f;  // standing on flat ground at height 0
    }
    void TearDown() override { empty_registry(); }

    static void step(unit* u, float dt, bool key = false)
    {
        game_time += dt;
        u->x += u->vx * dt;
        u->y += u->vy * dt;
        u->z += u->vz * dt;
        step_dragon(u, dt, key);
    }
    // Steps the dragon until `done` or for `seconds`; false when it never was.
    template <class F>
    static bool fly(uint32_t id, float dt, float seconds, F done)
    {
        for (float t = 0.0f; t < seconds; t += dt) {
            unit* u = find_unit(id);
            if (!u)
                return done();
            step(u, dt);
            if (done())
                return true;
        }
        return false;
    }
    // A summoned dragon that has just been mounted, flying level along
    // heading 0 (toward +x) at height 40.
    static unit* ridden_dragon()
    {
        call_dragon();
        unit* u = my_dragon;
        u->attack_target = nullptr;
        u->order_kind = ORDER_NONE;
        riding_dragon = 1;
        u->x = 0.0f, u->y = 40.0f, u->z = 0.0f;
        u->heading = 0.0f;
        u->pitch = 0.0f;
        pick_dragon_destination(u);
        return u;
    }
};

} // namespace

TEST_F(Dragons, SummonedDragonIsAnnouncedFliesToItsSummonerAndIsMounted)
{
    call_dragon();
    unit* u = my_dragon;
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(u->id, 0x50000u);
    EXPECT_EQ(u->team, TEAM_ATTACKERS);
    // Announced, and its first record is in the batch at once.
    const auto units = sent_commands("UNIT");
    ASSERT_EQ(units.size(), 1u);
    EXPECT_EQ(units[0].p[0], 0x50000u);
    const auto records = batch_records();
    ASSERT_EQ(records.count(0x50000u), 1u);
    ASSERT_EQ(records.at(0x50000u).size(), 9u);
    EXPECT_FLOAT_EQ(records.at(0x50000u)[0], 256.0f);
    EXPECT_FLOAT_EQ(records.at(0x50000u)[8], 0.0f);

    // A second summon is refused while it is out.
    testing::internal::CaptureStdout();
    call_dragon();
    EXPECT_NE(testing::internal::GetCapturedStdout().find("ERROR: called a 2nd dragon before 1st dismounted"),
              std::string::npos);
    EXPECT_EQ(my_dragon, u);
    EXPECT_EQ(count_units(), 2);

    // Five seconds on it flies at 35 a second toward its summoner.
    ASSERT_FALSE(fly(u->id, 0.01f, 5.0f, [] { return riding_dragon != 0; }));
    const float speed = std::sqrt(u->vx * u->vx + u->vy * u->vy + u->vz * u->vz);
    EXPECT_NEAR(speed, 35.0f, 0.5f);
    const float dx = me->x - u->x, dy = me->y - u->y, dz = me->z - u->z;
    const float along = (u->vx * dx + u->vy * dy + u->vz * dz) / (speed * std::sqrt(dx * dx + dy * dy + dz * dz));
    EXPECT_GT(along, 0.99f);
    EXPECT_NEAR(u->heading, -std::atan2(u->vz, u->vx) * 180.0f / static_cast<float>(M_PI), 1.0f);

    // The summoner walks on; the dragon follows and is mounted once within
    // sqrt(5) of the figure.
    me->x = 30.0f, me->z = -20.0f;
    float closest = 1e9f;
    const bool mounted = fly(u->id, 0.01f, 60.0f, [&] {
        if (!riding_dragon)
            closest = std::fmin(closest, dist2(u, me));
        return riding_dragon != 0;
    });
    ASSERT_TRUE(mounted);
    EXPECT_GE(closest, 5.0f);  // nobody climbed on earlier
    EXPECT_LT(std::fabs(u->x - me->x) + std::fabs(u->z - me->z), 3.0f);
    EXPECT_EQ(u->attack_target, nullptr);
    // Mounted down at the figure it stands on the ground at once.
    EXPECT_EQ(u->order_kind, ORDER_HOLD);
    EXPECT_FLOAT_EQ(u->y, 3.0f);
    // A destination drawn for the ride.
    EXPECT_GE(u->order_x, -200.0f);
    EXPECT_LT(u->order_x, 200.0f);
    EXPECT_GE(u->order_y, 25.0f);
    EXPECT_LT(u->order_y, 100.0f);
}

TEST_F(Dragons, RiderTurnsTheDragonByLookingAside)
{
    unit* u = ridden_dragon();
    // Heading 0 points the nose along +x: the eye's yaw 90.
    eye_yaw = 90.0f + 29.0f;
    eye_pitch = 9.0f;
    be_on_dragon(0.1f);
    EXPECT_FLOAT_EQ(eye_yaw, 119.0f);
    EXPECT_FLOAT_EQ(eye_pitch, 9.0f);
    EXPECT_FLOAT_EQ(u->heading, 0.0f);
    EXPECT_FLOAT_EQ(u->pitch, 0.0f);
    EXPECT_FLOAT_EQ(eye_y, u->y + 3.0f);

    // 31 degrees to the right: the view snaps to 32 and the dragon turns
    // right at 80 degrees a second.
    eye_yaw = 90.0f + 31.0f;
    be_on_dragon(0.1f);
    EXPECT_FLOAT_EQ(eye_yaw, 122.0f);
    EXPECT_NEAR(u->heading, 352.0f, 1e-4f);
    be_on_dragon(0.1f);  // the nose came 8 degrees nearer: inside the dead zone
    EXPECT_NEAR(u->heading, 352.0f, 1e-4f);
    eye_yaw += 10.0f;  // the mouse goes on to the right: it turns on
    be_on_dragon(0.1f);
    EXPECT_NEAR(u->heading, 344.0f, 1e-4f);
    EXPECT_NEAR(eye_yaw, 90.0f - 352.0f + 360.0f + 32.0f, 1e-3f);  // held off the nose it had

    // And to the left, with the eye's yaw a full turn away.
    u->heading = 0.0f;
    eye_yaw = 90.0f - 35.0f + 720.0f;
    be_on_dragon(0.5f);
    EXPECT_NEAR(eye_yaw, 90.0f - 32.0f + 720.0f, 1e-3f);
    EXPECT_NEAR(u->heading, 40.0f, 1e-4f);

    // Looking up (negative eye pitch) beyond 10 degrees raises the nose.
    eye_pitch = -12.0f;
    be_on_dragon(0.1f);
    EXPECT_FLOAT_EQ(eye_pitch, -10.0f);
    EXPECT_NEAR(u->pitch, 4.0f, 1e-5f);
    eye_pitch = -4.0f + 11.0f;  // 11 below the new level: the nose drops
    be_on_dragon(0.1f);
    EXPECT_FLOAT_EQ(eye_pitch, 6.0f);
    EXPECT_NEAR(u->pitch, 0.0f, 1e-5f);

}

TEST_F(Dragons, LandedDragonStaysUntilAMovementKey)
{
    unit* u = ridden_dragon();
    u->y = 10.0f;
    u->pitch = -30.0f;
    ASSERT_TRUE(fly(u->id, 0.02f, 10.0f, [u] { return u->order_kind == ORDER_HOLD; }));
    EXPECT_FLOAT_EQ(u->y, 3.0f);  // 3 above the flat ground
    const float x = u->x, z = u->z;
    for (int i = 0; i < 100; ++i)
        step(u, 0.02f);
    EXPECT_EQ(u->order_kind, ORDER_HOLD);
    EXPECT_FLOAT_EQ(u->x, x);
    EXPECT_FLOAT_EQ(u->y, 3.0f);
    EXPECT_FLOAT_EQ(u->z, z);
    EXPECT_FLOAT_EQ(u->speed, 0.0f);
    // A movement key: it lifts off, and pitched up it climbs away.
    step(u, 0.02f, true);
    EXPECT_EQ(u->order_kind, ORDER_NONE);
    EXPECT_FLOAT_EQ(u->vy, 5.0f);
    EXPECT_GT(u->speed, 0.0f);
    u->pitch = 30.0f;
    for (int i = 0; i < 100; ++i)
        step(u, 0.02f);
    EXPECT_EQ(u->order_kind, ORDER_NONE);
    EXPECT_GT(u->y, 10.0f);
}

TEST_F(Dragons, BreathBurnsEnemiesNearTheFlamesWhileHeld)
{
    // A defender's copy sees an attacker's dragon announced and updated.
    siege_reset(TEAM_DEFENDERS);
    reset_game_dragons();
    dragon_id = 2;
    testing::internal::CaptureStdout();
    spawn_unit(0x50006, TEAM_ATTACKERS, 0);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("spawning dragon 00050006, team 0, dr_id = 7"),
              std::string::npos);
    EXPECT_EQ(dragon_id, 7);
    unit* d = find_unit(0x50006);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->team, TEAM_ATTACKERS);
    EXPECT_EQ(my_dragon, nullptr);

    // Its flames are 7 ahead of it and 2.5 above: at (7, 1, 0).
    const float rec[9] = {0.0f, -1.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 10.0f};
    ASSERT_EQ(update_unit(0x50006, 9, rec), 0);
    unit* a = soldier(7.0f, 15.0f, TEAM_DEFENDERS);
    unit* b = soldier(7.0f, -15.0f, TEAM_DEFENDERS);
    unit* far = soldier(7.0f, 30.0f, TEAM_DEFENDERS);
    for (unit* s : {a, b, far}) {
        s->y = 1.0f;
        s->vx = 0.0f;
    }
    std::vector<float> burns;
    float last = a->health;
    for (int i = 0; i < 50; ++i) {  // one second
        game_time += 0.02f;
        step_dragon(d, 0.02f, false);
        if (a->health < last) {
            EXPECT_NEAR(last - a->health, 0.3f, 1e-5f);
            EXPECT_FLOAT_EQ(a->health, b->health);
            burns.push_back(game_time);
            last = a->health;
        }
    }
    ASSERT_GE(burns.size(), 7u);
    for (size_t i = 1; i < burns.size(); ++i) {
        EXPECT_GT(burns[i] - burns[i - 1], 0.1f - 1e-4f);
        EXPECT_LT(burns[i] - burns[i - 1], 0.1f + 0.02f + 1e-3f);
    }
    EXPECT_FLOAT_EQ(far->health, 3.0f);
    // Let go of the button (intensity 0 in the next record): no more burns.
    float off[9];
    std::memcpy(off, rec, sizeof off);
    off[8] = 0.0f;
    ASSERT_EQ(update_unit(0x50006, 9, off), 0);
    for (int i = 0; i < 50; ++i) {
        game_time += 0.02f;
        step_dragon(d, 0.02f, false);
    }
    EXPECT_FLOAT_EQ(a->health, last);

    // Records that are not a dragon's state change nothing.
    const float x = d->x;
    float bad[9];
    for (int i = 0; i < 9; ++i) {
        std::memcpy(bad, rec, sizeof bad);
        bad[i] = i == 8 ? 11.0f : (i % 2 ? NAN : 1e9f);
        EXPECT_EQ(update_unit(0x50006, 9, bad), -1) << i;
    }
    bad[8] = -1.0f;
    EXPECT_EQ(update_unit(0x50006, 9, bad), -1);
    EXPECT_EQ(update_unit(0x50006, 7, rec), -1);
    EXPECT_FLOAT_EQ(d->x, x);
}

TEST_F(Dragons, DismissedDragonFliesAwayAndANewSummonWorks)
{
    testing::internal::CaptureStdout();
    dismount_dragon();
    EXPECT_NE(testing::internal::GetCapturedStdout().find(
                  "ERROR: tried to dismount dragon when didn't have a dragon"),
              std::string::npos);
    EXPECT_EQ(tell_dragon_breath(1), -1);

    unit* u = ridden_dragon();
    const uint32_t first = u->id;
    ASSERT_EQ(tell_dragon_breath(1), 0);
    eye_vy = 0.0f;
    dismount_dragon();
    EXPECT_EQ(my_dragon, nullptr);
    EXPECT_EQ(riding_dragon, 0);
    EXPECT_FLOAT_EQ(eye_vy, 2.0f);
    EXPECT_EQ(u->order_kind, ORDER_MOVE);
    EXPECT_FLOAT_EQ(u->order_x, 500.0f);
    EXPECT_FLOAT_EQ(u->order_y, 500.0f);
    EXPECT_FLOAT_EQ(u->order_z, 500.0f);
    EXPECT_EQ(dragon_is_flown_here(u), true);

    // Within a second of the last summon a new one is not taken; then it is.
    call_dragon();
    EXPECT_EQ(my_dragon, nullptr);
    game_time += 1.0f;
    call_dragon();
    unit* second = my_dragon;
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->id, 0x50001u);

    // The first flies to (500, 500, 500) and vanishes there, announced dead
    // by this copy; the new one stays this copy's dragon.
    sent_datagrams().clear();
    float last_x = u->x;
    bool toward = true;
    const bool gone = fly(first, 0.05f, 60.0f, [&] {
        unit* f = find_unit(first);
        if (f) {
            toward = toward && f->x >= last_x - 1e-3f;
            last_x = f->x;
        }
        return f == nullptr;
    });
    EXPECT_TRUE(gone);
    EXPECT_TRUE(toward);
    const auto deaths = sent_commands("UDIE");
    ASSERT_EQ(deaths.size(), 1u);
    EXPECT_EQ(deaths[0].p[0], first);
    EXPECT_EQ(my_dragon, second);
}

TEST_F(Dragons, KilledDragonIsForgottenAndAnnouncedByItsSummonerAlone)
{
    // Another attacker leads the team; this copy summons.
    add_member("leader", 0x0A4D0002, TEAM_ATTACKERS, 3);
    ASSERT_FALSE(i_am_team_leader());
    unit* u = ridden_dragon();
    sent_datagrams().clear();
    take_unit_damage(9.0f, u);
    EXPECT_EQ(my_dragon, u);
    take_unit_damage(1.0f, u);
    EXPECT_EQ(find_unit(0x50000u), nullptr);
    EXPECT_EQ(my_dragon, nullptr);
    EXPECT_EQ(riding_dragon, 0);
    ASSERT_EQ(sent_commands("UDIE").size(), 1u);

    // A copy's dragon is never announced dead by a non-leader that merely saw it.
    spawn_dragon(0x50009, TEAM_ATTACKERS);
    EXPECT_EQ(dragon_id, 10);
    sent_datagrams().clear();
    kill_unit(0x50009);
    EXPECT_EQ(sent_commands("UDIE").size(), 0u);

    // The counter stays inside the dragons' id class.
    spawn_dragon(0x5FFFF, TEAM_ATTACKERS);
    EXPECT_EQ(dragon_id, 0);
    game_time += 2.0f;
    call_dragon();
    ASSERT_NE(my_dragon, nullptr);
    EXPECT_EQ(id_class(my_dragon->id), ID_CLASS_DRAGON);
}
