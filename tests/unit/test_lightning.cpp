// Lightning strikes: the darkness timeline, strikes replacing one another,
// "LIGH" from other copies; and the flames: the plane their sprites are
// drawn in, and how they follow their fire sources.
#include <cmath>

#include "game_fixture.h"
#include "platform/vector.h"
#include "render/flames.h"
#include "sim/fire.h"
#include "sim/light.h"
#include "sim/lightning.h"
#include "sim/sky.h"

namespace {

constexpr uint32_t CASTER = 0x0300000A;

// This copy defends, a caster on the other side; twenty clouds in the sky
// and day at 100 s.
class Lightning : public game_test {
protected:
    world* w = nullptr;
    void SetUp() override
    {
        w = &fresh_game(1);
        add_member("caster", CASTER, 0, 20);
        stream_srand(w->rng, 5);
        init_skybox(*w);
        w->time = 100.0f;
        w->lightning.lasts = 5.0f;
        turn_off_nighttime_mode(w->light, w->time);
    }
    int clouds() const { return static_cast<int>(w->sky.clouds.size()); }
};

}  // namespace

TEST(LightningTimeline, DarkFirstThenTheBoltThenLight)
{
    const float t = 100.0f, l = 5.0f;
    lightning_moment m = lightning_timeline(t + 0.5f, t, l);
    EXPECT_TRUE(m.night_on);
    EXPECT_FALSE(m.bolt_may_show);
    m = lightning_timeline(t + 0.99f, t, l);
    EXPECT_FALSE(m.bolt_may_show);  // no bolt in the first second
    m = lightning_timeline(t + 1.01f, t, l);
    EXPECT_FALSE(m.night_on);
    EXPECT_TRUE(m.bolt_may_show);
    EXPECT_FALSE(m.night_off);
    EXPECT_FALSE(lightning_timeline(t + 3.99f, t, l).night_off);
    m = lightning_timeline(t + 4.01f, t, l);
    EXPECT_TRUE(m.night_off);  // the sky lightens a second before the end
    EXPECT_TRUE(m.bolt_may_show);
    m = lightning_timeline(t + 5.0f, t, l);
    EXPECT_FALSE(m.bolt_may_show);
    EXPECT_TRUE(m.night_off);
    EXPECT_FALSE(lightning_timeline(t + 6.01f, t, l).night_off);
    // No strike yet: nothing at all, even at the start of a game.
    m = lightning_timeline(0.0f, -1e13f, l);
    EXPECT_FALSE(m.night_on || m.bolt_may_show || m.night_off);
}

TEST_F(Lightning, AStrikeDarkensTheSkyAndGathersStormClouds)
{
    const int before = clouds();
    set_lightning(*w, 50.0f, -60.0f);
    EXPECT_EQ(w->lightning.x, 50.0f);
    EXPECT_EQ(w->lightning.z, -60.0f);
    EXPECT_EQ(w->lightning.time, 100.0f);
    ASSERT_EQ(clouds(), before + 4);
    for (int i = before; i < clouds(); ++i)
        EXPECT_EQ(w->sky.clouds[static_cast<size_t>(i)].storm, 1);
    w->time = 100.5f;
    simulate_lightning(*w);
    EXPECT_EQ(w->light.night, 1);
    // Past the bolt, the night lifts.
    w->time = 105.5f;
    simulate_lightning(*w);
    EXPECT_EQ(w->light.night, 0);
}

TEST_F(Lightning, ASecondStrikeRestartsTheTimelineAtItsPlace)
{
    set_lightning(*w, 50.0f, -60.0f);
    w->time = 103.0f;
    set_lightning(*w, -20.0f, 30.0f);
    EXPECT_EQ(w->lightning.x, -20.0f);
    EXPECT_EQ(w->lightning.z, 30.0f);
    w->time = 103.5f;
    EXPECT_TRUE(lightning_timeline(w->time, w->lightning.time, w->lightning.lasts).night_on);
    w->time = 107.5f;  // the first strike's bolt would be over; this one's is not
    EXPECT_TRUE(lightning_timeline(w->time, w->lightning.time, w->lightning.lasts).bolt_may_show);
}

TEST_F(Lightning, OtherCopiesStrikesArriveAndNonsenseIsDropped)
{
    const int before = clouds();
    deliver(build_command_message("LIGH", bits_of(-12.5f), bits_of(40.0f), 0, 0), CASTER);
    EXPECT_EQ(w->lightning.x, -12.5f);
    EXPECT_EQ(w->lightning.z, 40.0f);
    EXPECT_EQ(w->lightning.time, w->time);
    EXPECT_EQ(clouds(), before + 4);

    w->time = 101.0f;
    testing::internal::CaptureStderr();
    deliver(build_command_message("LIGH", bits_of(std::nanf("")), bits_of(40.0f), 0, 0), CASTER);
    deliver(build_command_message("LIGH", bits_of(1.0f), bits_of(INFINITY), 0, 0), CASTER);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("LIGH at a point that is not a number, ignored"), std::string::npos) << err;
    EXPECT_EQ(w->lightning.x, -12.5f);
    EXPECT_EQ(w->lightning.time, 100.0f);
    EXPECT_EQ(clouds(), before + 4);
}

TEST(FlameSprites, FaceTheEyeFromEveryDirection)
{
    const float src[3] = {10.0f, 5.0f, -20.0f};
    const float eyes[][3] = {{10, 5, 0}, {10, 80, -20}, {40, 5.5f, -25}, {10, 7.5f, 0}, {-30, -40, 60}};
    for (const auto& eye : eyes) {
        float d[3], u[3], v[3];
        flame_sprite_axes(src, eye, d, u, v);
        EXPECT_NEAR(vector_length(d), 1.0f, 1e-5f);
        EXPECT_NEAR(vector_length(u), 1.0f, 1e-5f);
        EXPECT_NEAR(vector_length(v), 1.0f, 1e-5f);
        EXPECT_NEAR(dot_product(d, u), 0.0f, 1e-5f);
        EXPECT_NEAR(dot_product(d, v), 0.0f, 1e-5f);
        EXPECT_NEAR(dot_product(u, v), 0.0f, 1e-5f);
        // d points at the eye.
        const float to_eye[3] = {eye[0] - src[0], eye[1] - src[1], eye[2] - src[2]};
        EXPECT_GT(dot_product(d, to_eye), 0.0f);
    }
    // An eye right at the source gives no plane, and no NaN either.
    float d[3], u[3], v[3];
    flame_sprite_axes(src, src, d, u, v);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(u[k], 0.0f);
        EXPECT_EQ(v[k], 0.0f);
    }
}

// The renderer's flames follow the world's fire sources: each emits while
// it burns (at most 50), a cold one loses its oldest flame a tuned step,
// and the flames of a source that is gone are forgotten.
TEST(Flames, FollowTheirSourcesAndNeverExceedFifty)
{
    flame_state flames;
    fire_list fires;
    auto f = std::make_unique<fire_source>(fires);
    f->intensity = 100.0f;  // every attempt emits
    // The source's flames; none kept counts as none.
    auto kept = [&] {
        const std::vector<fire_particle>* p = flames_of(flames, f.get());
        return p ? p->size() : size_t{0};
    };
    for (int i = 0; i < 40; ++i) {
        step_flames(flames, fires, TUNED_STEP);
        ASSERT_LE(kept(), static_cast<size_t>(FIRE_MAX_PARTICLES));
    }
    const size_t full = kept();
    EXPECT_GE(full, static_cast<size_t>(FIRE_MAX_PARTICLES) - 1);  // full: the oldest goes, a new one comes
    f->intensity = 0.0f;
    step_flames(flames, fires, TUNED_STEP);
    EXPECT_EQ(kept(), full - 1);
    // Half a step makes no emission nor retirement; the next half does.
    step_flames(flames, fires, TUNED_STEP / 2);
    EXPECT_EQ(kept(), full - 1);
    step_flames(flames, fires, TUNED_STEP / 2);
    EXPECT_EQ(kept(), full - 2);
    EXPECT_EQ(flame_source_count(flames), 1u);
    f.reset();
    step_flames(flames, fires, TUNED_STEP);
    EXPECT_EQ(flame_source_count(flames), 0u);
}
