#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <vector>

#include "siege_test_support.h"
#include "sim/dragon.h"

namespace {

// The records of the open unit-state batch: id -> values.
std::map<uint32_t, std::vector<float>> batch_records(const state_batch& batch)
{
    std::map<uint32_t, std::vector<float>> out;
    if (batch.len < 8)
        return out;
    const std::vector<unsigned char>& bytes = batch.bytes;
    uint32_t count;
    std::memcpy(&count, bytes.data() + 4, 4);
    size_t off = 8;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t id, n;
        std::memcpy(&id, bytes.data() + off, 4);
        std::memcpy(&n, bytes.data() + off + 4, 4);
        std::vector<float> v(n);
        std::memcpy(v.data(), bytes.data() + off + 8, 4 * n);
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

class Dragons : public siege_test {
protected:
    void SetUp() override
    {
        world& w = siege_reset(TEAM_ATTACKERS);
        local_player& p = w.player;
        p.eye_x = 0.0f, p.eye_y = 2.0f, p.eye_z = 0.0f;
        p.eye_yaw = p.eye_pitch = p.eye_vy = 0.0f;
        w.me->x = 0.0f, w.me->y = 0.8f, w.me->z = 0.0f;  // standing on flat ground at height 0
    }

    void step(unit* u, float dt, bool key = false)
    {
        world& w = *game;
        w.time += dt;
        u->x += u->vx * dt;
        u->y += u->vy * dt;
        u->z += u->vz * dt;
        step_dragon(w, u, dt, key);
    }
    // Steps the dragon until `done` or for `seconds`; false when it never was.
    template <class F>
    bool fly(uint32_t id, float dt, float seconds, F done)
    {
        for (float t = 0.0f; t < seconds; t += dt) {
            unit* u = find_unit(*game, id);
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
    unit* ridden_dragon()
    {
        world& w = *game;
        call_dragon(w);
        unit* u = w.player.dragon;
        u->attack_target = nullptr;
        u->order_kind = ORDER_NONE;
        w.player.riding_dragon = 1;
        u->x = 0.0f, u->y = 40.0f, u->z = 0.0f;
        u->heading = 0.0f;
        u->pitch = 0.0f;
        pick_dragon_destination(w, u);
        return u;
    }
};

} // namespace

TEST_F(Dragons, SummonedDragonIsAnnouncedFliesToItsSummonerAndIsMounted)
{
    world& w = *game;
    call_dragon(w);
    unit* u = w.player.dragon;
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(u->id, 0x50000u);
    EXPECT_EQ(u->team, TEAM_ATTACKERS);
    // Announced, and its first record is in the batch at once.
    const auto units = sent_commands("UNIT");
    ASSERT_EQ(units.size(), 1u);
    EXPECT_EQ(units[0].p[0], 0x50000u);
    const auto records = batch_records(w.batch);
    ASSERT_EQ(records.count(0x50000u), 1u);
    ASSERT_EQ(records.at(0x50000u).size(), 9u);
    EXPECT_FLOAT_EQ(records.at(0x50000u)[0], 256.0f);
    EXPECT_FLOAT_EQ(records.at(0x50000u)[8], 0.0f);

    // A second summon is refused while it is out.
    testing::internal::CaptureStdout();
    call_dragon(w);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("ERROR: called a 2nd dragon before 1st dismounted"),
              std::string::npos);
    EXPECT_EQ(w.player.dragon, u);
    EXPECT_EQ(count_units(w), 2);

    // Five seconds on it flies at 35 a second toward its summoner.
    ASSERT_FALSE(fly(u->id, 0.01f, 5.0f, [&w] { return w.player.riding_dragon != 0; }));
    const float speed = std::sqrt(u->vx * u->vx + u->vy * u->vy + u->vz * u->vz);
    EXPECT_NEAR(speed, 35.0f, 0.5f);
    const float dx = w.me->x - u->x, dy = w.me->y - u->y, dz = w.me->z - u->z;
    const float along = (u->vx * dx + u->vy * dy + u->vz * dz) / (speed * std::sqrt(dx * dx + dy * dy + dz * dz));
    EXPECT_GT(along, 0.99f);
    EXPECT_NEAR(u->heading, -std::atan2(u->vz, u->vx) * 180.0f / static_cast<float>(M_PI), 1.0f);

    // The summoner walks on; the dragon follows and is mounted once within
    // sqrt(5) of the figure.
    w.me->x = 30.0f, w.me->z = -20.0f;
    float closest = 1e9f;
    const bool mounted = fly(u->id, 0.01f, 60.0f, [&] {
        if (!w.player.riding_dragon)
            closest = std::fmin(closest, dist2(u, w.me));
        return w.player.riding_dragon != 0;
    });
    ASSERT_TRUE(mounted);
    EXPECT_GE(closest, 5.0f);  // nobody climbed on earlier
    EXPECT_LT(std::fabs(u->x - w.me->x) + std::fabs(u->z - w.me->z), 3.0f);
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
    world& w = *game;
    unit* u = ridden_dragon();
    // Heading 0 points the nose along +x: the eye's yaw 90.
    w.player.eye_yaw = 90.0f + 29.0f;
    w.player.eye_pitch = 9.0f;
    be_on_dragon(w, 0.1f);
    EXPECT_FLOAT_EQ(w.player.eye_yaw, 119.0f);
    EXPECT_FLOAT_EQ(w.player.eye_pitch, 9.0f);
    EXPECT_FLOAT_EQ(u->heading, 0.0f);
    EXPECT_FLOAT_EQ(u->pitch, 0.0f);
    EXPECT_FLOAT_EQ(w.player.eye_y, u->y + 3.0f);

    // 31 degrees to the right: the view snaps to 32 and the dragon turns
    // right at 80 degrees a second.
    w.player.eye_yaw = 90.0f + 31.0f;
    be_on_dragon(w, 0.1f);
    EXPECT_FLOAT_EQ(w.player.eye_yaw, 122.0f);
    EXPECT_NEAR(u->heading, 352.0f, 1e-4f);
    be_on_dragon(w, 0.1f);  // the nose came 8 degrees nearer: inside the dead zone
    EXPECT_NEAR(u->heading, 352.0f, 1e-4f);
    w.player.eye_yaw += 10.0f;  // the mouse goes on to the right: it turns on
    be_on_dragon(w, 0.1f);
    EXPECT_NEAR(u->heading, 344.0f, 1e-4f);
    EXPECT_NEAR(w.player.eye_yaw, 90.0f - 352.0f + 360.0f + 32.0f, 1e-3f);  // held off the nose it had

    // And to the left, with the eye's yaw a full turn away.
    u->heading = 0.0f;
    w.player.eye_yaw = 90.0f - 35.0f + 720.0f;
    be_on_dragon(w, 0.5f);
    EXPECT_NEAR(w.player.eye_yaw, 90.0f - 32.0f + 720.0f, 1e-3f);
    EXPECT_NEAR(u->heading, 40.0f, 1e-4f);

    // Looking up (negative eye pitch) beyond 10 degrees raises the nose.
    w.player.eye_pitch = -12.0f;
    be_on_dragon(w, 0.1f);
    EXPECT_FLOAT_EQ(w.player.eye_pitch, -10.0f);
    EXPECT_NEAR(u->pitch, 4.0f, 1e-5f);
    w.player.eye_pitch = -4.0f + 11.0f;  // 11 below the new level: the nose drops
    be_on_dragon(w, 0.1f);
    EXPECT_FLOAT_EQ(w.player.eye_pitch, 6.0f);
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
    world& w = siege_reset(TEAM_DEFENDERS);
    w.units.dragon_counter = 2;
    testing::internal::CaptureStdout();
    spawn_unit(w, 0x50006, TEAM_ATTACKERS, 0);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("spawning dragon 00050006, team 0, dr_id = 7"),
              std::string::npos);
    EXPECT_EQ(w.units.dragon_counter, 7);
    unit* d = find_unit(w, 0x50006);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->team, TEAM_ATTACKERS);
    EXPECT_EQ(w.player.dragon, nullptr);

    // Its flames are 7 ahead of it and 2.5 above: at (7, 1, 0).
    const float rec[9] = {0.0f, -1.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 10.0f};
    ASSERT_EQ(update_unit(w, 0x50006, 9, rec), 0);
    unit* a = soldier(7.0f, 15.0f, TEAM_DEFENDERS);
    unit* b = soldier(7.0f, -15.0f, TEAM_DEFENDERS);
    unit* far = soldier(7.0f, 30.0f, TEAM_DEFENDERS);
    for (unit* target : {a, b, far}) {
        target->y = 1.0f;
        target->vx = 0.0f;
    }
    std::vector<float> burns;
    float last = a->health;
    for (int i = 0; i < 50; ++i) {  // one second
        w.time += 0.02f;
        step_dragon(w, d, 0.02f, false);
        if (a->health < last) {
            EXPECT_NEAR(last - a->health, 0.3f, 1e-5f);
            EXPECT_FLOAT_EQ(a->health, b->health);
            burns.push_back(w.time);
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
    ASSERT_EQ(update_unit(w, 0x50006, 9, off), 0);
    for (int i = 0; i < 50; ++i) {
        w.time += 0.02f;
        step_dragon(w, d, 0.02f, false);
    }
    EXPECT_FLOAT_EQ(a->health, last);

    // Records that are not a dragon's state change nothing.
    const float x = d->x;
    float bad[9];
    for (int i = 0; i < 9; ++i) {
        std::memcpy(bad, rec, sizeof bad);
        bad[i] = i == 8 ? 11.0f : (i % 2 ? NAN : 1e9f);
        EXPECT_EQ(update_unit(w, 0x50006, 9, bad), -1) << i;
    }
    bad[8] = -1.0f;
    EXPECT_EQ(update_unit(w, 0x50006, 9, bad), -1);
    EXPECT_EQ(update_unit(w, 0x50006, 7, rec), -1);
    EXPECT_FLOAT_EQ(d->x, x);
}

TEST_F(Dragons, DismissedDragonFliesAwayAndANewSummonWorks)
{
    world& w = *game;
    testing::internal::CaptureStdout();
    dismount_dragon(w);
    EXPECT_NE(testing::internal::GetCapturedStdout().find(
                  "ERROR: tried to dismount dragon when didn't have a dragon"),
              std::string::npos);
    EXPECT_EQ(tell_dragon_breath(w, 1), -1);

    unit* u = ridden_dragon();
    const uint32_t first = u->id;
    ASSERT_EQ(tell_dragon_breath(w, 1), 0);
    w.player.eye_vy = 0.0f;
    dismount_dragon(w);
    EXPECT_EQ(w.player.dragon, nullptr);
    EXPECT_EQ(w.player.riding_dragon, 0);
    EXPECT_FLOAT_EQ(w.player.eye_vy, 2.0f);
    EXPECT_EQ(u->order_kind, ORDER_MOVE);
    EXPECT_FLOAT_EQ(u->order_x, 500.0f);
    EXPECT_FLOAT_EQ(u->order_y, 500.0f);
    EXPECT_FLOAT_EQ(u->order_z, 500.0f);
    EXPECT_EQ(dragon_is_flown_here(u), true);

    // Within a second of the last summon a new one is not taken; then it is.
    call_dragon(w);
    EXPECT_EQ(w.player.dragon, nullptr);
    w.time += 1.0f;
    call_dragon(w);
    unit* second = w.player.dragon;
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->id, 0x50001u);

    // The first flies to (500, 500, 500) and vanishes there, announced dead
    // by this copy; the new one stays this copy's dragon.
    sent.clear();
    float last_x = u->x;
    bool toward = true;
    const bool gone = fly(first, 0.05f, 60.0f, [&] {
        unit* f = find_unit(w, first);
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
    EXPECT_EQ(w.player.dragon, second);
}

TEST_F(Dragons, KilledDragonIsForgottenAndAnnouncedByItsSummonerAlone)
{
    world& w = *game;
    // Another attacker leads the team; this copy summons.
    add_member("leader", 0x0A4D0002, TEAM_ATTACKERS, 3);
    ASSERT_FALSE(i_am_team_leader(s));
    unit* u = ridden_dragon();
    sent.clear();
    take_unit_damage(w, 9.0f, u);
    EXPECT_EQ(w.player.dragon, u);
    take_unit_damage(w, 1.0f, u);
    EXPECT_EQ(find_unit(w, 0x50000u), nullptr);
    EXPECT_EQ(w.player.dragon, nullptr);
    EXPECT_EQ(w.player.riding_dragon, 0);
    ASSERT_EQ(sent_commands("UDIE").size(), 1u);

    // A copy's dragon is never announced dead by a non-leader that merely saw it.
    spawn_dragon(w, 0x50009, TEAM_ATTACKERS, 0);
    EXPECT_EQ(w.units.dragon_counter, 10);
    sent.clear();
    kill_unit(w, 0x50009);
    EXPECT_EQ(sent_commands("UDIE").size(), 0u);

    // The counter stays inside the dragons' id class.
    spawn_dragon(w, 0x5FFFF, TEAM_ATTACKERS, 0);
    EXPECT_EQ(w.units.dragon_counter, 0);
    w.time += 2.0f;
    call_dragon(w);
    ASSERT_NE(w.player.dragon, nullptr);
    EXPECT_EQ(id_class(w.player.dragon->id), ID_CLASS_DRAGON);
}
