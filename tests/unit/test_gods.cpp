// The gods: prayer against a temple, favour and health, the grants and
// their draws, casting every kind of spell, the lightning's damage, the
// status bars and the banner. What the simulation announces to the player
// it raises as banner events; the command bar is the interface's, made from
// the player's state in the world it shows.
#include <cmath>
#include <set>

#include "interface_fixture.h"
#include "platform/random.h"
#include "sim/buildings.h"
#include "sim/dragon.h"
#include "sim/end_game.h"
#include "sim/events.h"
#include "sim/lightning.h"
#include "sim/magic.h"
#include "sim/model_tree.h"
#include "sim/player.h"
#include "sim/projectile.h"
#include "sim/terrain.h"
#include "sim/world.h"
#include "ui/hud.h"
#include "ui/menu.h"

namespace {

constexpr uint32_t RAIDER = 0x0300000A;

float level_ground(const world&, float, float)
{
    return 20.0f;
}

}  // namespace

class gods_test : public interface_test {
protected:
    // The interface's texture table as if loaded (every material a texture
    // of its own), so that the command bar's buttons tell one another
    // apart.
    gods_test()
    {
        for (unsigned i = 0; i < TEXTURE_COUNT; ++i)
            r.textures.id[i] = 1000 + i;
    }

    // A new game for this copy on `team` on level ground at height 20, with
    // a temple whose front step lies 10 ahead of the player at (0, 22, 0).
    world& new_game(int team)
    {
        world& w = fresh_game(team);
        flat_ground(20.0f);
        w.structures.ground = level_ground;
        add_temple_model(w, 0, -20);
        setup_personal(w.player);
        s.god = 0;
        local_player& p = w.player;
        p.eye_x = p.eye_z = 0.0f;
        p.eye_y = 22.0f;
        p.eye_yaw = p.eye_pitch = 0.0f;
        p.eye_vx = p.eye_vy = p.eye_vz = 0.0f;
        p.next_collision_test = 0.0f;
        set_self_humanoid_position(w);
        w.me->health = 15.0f;
        reset_game_interface(ui);
        s.events.pending.clear();
        sent.clear();
        return w;
    }

    // Walks forward until the temple's step stops the figure, then stands.
    void walk_to_the_temple()
    {
        world& w = *game;
        move_keys forward{};
        forward.forward = true;
        for (int i = 0; i < 20; ++i, w.time += 0.1f)
            move_eye(w, 0.1f, forward);
        for (int i = 0; i < 3; ++i, w.time += 0.1f)
            move_eye(w, 0.1f, move_keys{});
    }

    // Steps of the personal state; returns the game times of the grants.
    std::vector<float> pray_for(float seconds, float dt = 0.05f)
    {
        world& w = *game;
        std::vector<float> grants;
        for (int step = 0; step < static_cast<int>(std::lround(seconds / dt)); ++step) {
            w.time += dt;
            const int before = w.player.have_spells;
            simulate_personal(w, dt);
            if (w.player.have_spells > before)
                grants.push_back(w.time);
        }
        return grants;
    }

    // The last banner the simulation raised since the events were last
    // taken; none when it raised none.
    const sim_event* last_banner() const
    {
        const sim_event* b = nullptr;
        for (const sim_event& e : s.events.pending)
            if (e.kind == sim_event_kind::banner)
                b = &e;
        return b;
    }
};

struct Prayer : gods_test {};
struct Grants : gods_test {};
struct Casting : gods_test {};
struct Lightning : gods_test {};

TEST_F(Prayer, AtATempleASpellAbout11SecondsApartAndNoMoreThanTwo)
{
    world& w = new_game(TEAM_ATTACKERS);
    local_player& p = w.player;
    do_pray(w);
    EXPECT_EQ(p.praying, 0);  // out in the open: no temple to pray at
    walk_to_the_temple();
    ASSERT_NE(w.me->touched_model, nullptr);
    EXPECT_NE(is_a_temple(w, w.me->touched_model), nullptr);
    do_pray(w);
    EXPECT_EQ(p.praying, 1);
    move_eye(w, 0.1f, move_keys{});  // standing against it keeps the prayer
    EXPECT_EQ(p.praying, 1);
    EXPECT_EQ(bar(1).texture, r.textures[TEX_pray_button]);

    const float start = w.time;
    std::vector<float> grants = pray_for(40.0f);
    ASSERT_EQ(grants.size(), 2u);
    EXPECT_NEAR(grants[0] - start, (GRANT_FAVOR - 5.0f) / 1.332f, 0.3f);
    EXPECT_NEAR(grants[1] - grants[0], GRANT_COST / 1.332f, 0.5f);
    // Both slots full: nothing more, and the favour stays at the top.
    EXPECT_TRUE(pray_for(20.0f).empty());
    EXPECT_EQ(p.have_spells, 2);
    EXPECT_EQ(p.target_favor, MAX_FAVOR);
    EXPECT_EQ(p.now_favor, MAX_FAVOR);
    EXPECT_NE(p.spells[0], p.spells[1]);

    // A step away ends the prayer; the pray button toggles it too.
    move_keys back{};
    back.back = true;
    move_eye(w, 0.1f, back);
    EXPECT_EQ(p.praying, 0);
}

TEST_F(Prayer, HealthFollowsItsTargetAndADeadFigureLoses)
{
    world& w = new_game(TEAM_DEFENDERS);
    local_player& p = w.player;
    add_member("raider", RAIDER, TEAM_ATTACKERS, 20);
    walk_to_the_temple();
    do_pray(w);
    ASSERT_EQ(p.praying, 1);
    p.target_health = 10.0f;
    pray_for(0.5f, 0.1f);  // down at 5 a second while the target heals slowly
    EXPECT_NEAR(w.me->health, 12.5f, 1e-3);
    pray_for(0.6f, 0.1f);
    EXPECT_NEAR(w.me->health, p.target_health, 1e-6);
    EXPECT_NEAR(p.target_health, 10.0f + 0.25f * 1.1f, 0.03f);
    s.god = 1;  // god mode heals 1 a second and earns favour 25 times as fast
    const float favour = p.target_favor, health = p.target_health;
    pray_for(0.1f, 0.1f);
    EXPECT_NEAR(p.target_health, health + 0.1f, 1e-4);
    EXPECT_NEAR(p.target_favor, favour + 100 * 0.333f * 0.1f, 1e-3);
    s.god = 0;

    // Blows that take more than the figure has: the game is lost here.
    stop_praying(p);
    do_damage(w, 13.0f, w.me);
    EXPECT_EQ(is_end_game(w), END_GOES_ON);
    pray_for(3.0f, 0.1f);
    EXPECT_LE(w.me->health, 0.0f);
    EXPECT_EQ(is_end_game(w), END_LOST);
}

TEST_F(Grants, DrawsRedrawsAndTheLargeTeamRule)
{
    auto grant_into_slot_1 = [this](int other) {
        world& w = *game;
        local_player& p = w.player;
        std::set<int> seen;
        for (int i = 0; i < 300; ++i) {
            p.spells[0] = other;
            p.spells[1] = SPELL_NONE;
            p.have_spells = 1;
            grant_spell(w);
            seen.insert(p.spells[other == SPELL_NONE ? 0 : 1]);
        }
        return seen;
    };
    // Defenders are never given rams: Zeus strikes for them instead.
    world* w = &new_game(TEAM_DEFENDERS);
    stream_srand(w->rng, 7);
    std::set<int> seen = grant_into_slot_1(SPELL_NONE);
    EXPECT_EQ(seen.size(), 8u);
    EXPECT_FALSE(seen.count(SPELL_RAMS));

    w = &new_game(TEAM_ATTACKERS);
    local_player& p = w->player;
    // The dragon is out: never a second one, nor the slot's own code.
    seen = grant_into_slot_1(SPELL_DISMOUNT);
    EXPECT_FALSE(seen.count(SPELL_DRAGON) || seen.count(SPELL_DISMOUNT));
    EXPECT_EQ(seen.size(), 8u);  // rams among them
    seen = grant_into_slot_1(SPELL_LIGHTNING);
    EXPECT_FALSE(seen.count(SPELL_LIGHTNING));
    EXPECT_TRUE(seen.count(SPELL_DRAGON));

    // Each grant costs 14 favour, shows its god's words and its button,
    // which casts the spell of its slot.
    setup_personal(p);
    s.events.pending.clear();
    p.target_favor = 15.0f;
    grant_spell(*w);
    EXPECT_EQ(p.target_favor, 1.0f);
    const int code = p.spells[0];
    ASSERT_NE(last_banner(), nullptr);
    EXPECT_FALSE(last_banner()->text.empty());
    ASSERT_NE(bar(2).action, nullptr);
    EXPECT_NE(bar(2).texture, 0u);
    EXPECT_EQ(bar(2).enlarge, 1);
    ui.actions.clear();
    bar(2).action(ui);
    ASSERT_EQ(ui.actions.size(), 1u);
    EXPECT_EQ(ui.actions[0].kind, player_action_kind::cast);
    EXPECT_EQ(ui.actions[0].value, 0);
    if (code == SPELL_DRAGON) {
        EXPECT_EQ(p.dragon_button, 2);
        EXPECT_EQ(last_banner()->text, "Apollo has granted you a Dragon");
    }

    // More than 99 units on the side: only the four great spells.
    while (units_of(TEAM_ATTACKERS) <= MAX_TEAM_FOR_SUMMONS)
        soldier(0, 100, TEAM_ATTACKERS);
    seen = grant_into_slot_1(SPELL_NONE);
    EXPECT_EQ(seen, (std::set<int>{SPELL_DRAGON, SPELL_FIRESTORM, SPELL_INVISIBILITY, SPELL_LIGHTNING}));
}

TEST_F(Casting, SummonsOnTheOwnSideOnly)
{
    world* w = &new_game(TEAM_ATTACKERS);
    w->me->x = 10.0f;
    w->me->z = w->player.eye_z = -1.0f;
    const int before = count_units(*w);
    w->player.spells[0] = SPELL_UNDEAD;
    w->player.have_spells = 1;
    magic_button(*w, 0);
    EXPECT_EQ(count_units(*w), before);
    ASSERT_NE(last_banner(), nullptr);
    EXPECT_EQ(last_banner()->text, "You can only summon units on your side of the map!");
    EXPECT_EQ(last_banner()->r, 1.0f);
    EXPECT_EQ(w->player.spells[0], SPELL_NONE);  // spent all the same
    EXPECT_EQ(w->player.have_spells, 0);
    EXPECT_EQ(bar(2).texture, 0u);

    struct summon {
        int team, code, count;
        float dz;  // where the first unit stands, from the figure
    };
    for (const summon sm : {summon{TEAM_ATTACKERS, SPELL_UNDEAD, 8, 3.0f}, {TEAM_ATTACKERS, SPELL_GOBLINS, 4, 3.0f},
                            {TEAM_DEFENDERS, SPELL_FOOTMEN, 6, 3.0f}, {TEAM_ATTACKERS, SPELL_CATAPULTS, 4, -24.0f},
                            {TEAM_ATTACKERS, SPELL_RAMS, 3, -24.0f}}) {
        w = &new_game(sm.team);
        w->me->x = 10.0f;
        w->me->z = w->player.eye_z = 0.0f;  // the middle line belongs to both sides
        const int before = units_of(sm.team);
        w->player.spells[1] = sm.code;
        magic_button(*w, 1);
        EXPECT_EQ(units_of(sm.team) - before, sm.count) << sm.code;
        EXPECT_EQ(sent_commands("UNIT").size(), static_cast<size_t>(sm.count));
        // Every new unit's state is in the open batch at once.
        EXPECT_GT(w->batch.len, 8);
        const unit* first = w->units.list;
        for (int i = 1; i < sm.count; ++i)
            first = first->next;
        EXPECT_NEAR(first->z, sm.dz, 1e-4) << sm.code;
        EXPECT_NEAR(first->x, sm.dz > 0 ? 13.0f : 16.0f, 1e-4) << sm.code;
        if (sm.code == SPELL_CATAPULTS) {
            EXPECT_EQ(first->max_health, 10.0f);
        }
    }
}

TEST_F(Casting, FirestormInvisibilityAndTheDragonsSlot)
{
    world& w = new_game(TEAM_DEFENDERS);
    local_player& p = w.player;
    add_member("raider", RAIDER, TEAM_ATTACKERS, 20);
    p.spells[0] = SPELL_FIRESTORM;
    magic_button(w, 0);
    EXPECT_EQ(p.waiting_spell, WAITING_FIRESTORM);
    do_firestorm(w, 40.0f, -60.0f);
    const std::vector<sent_command> fire = sent_commands("FIRE");
    ASSERT_EQ(fire.size(), 10u);
    for (const sent_command& c : fire) {
        EXPECT_LE(std::fabs(c.f(0) - 40.0f), 10.0f);
        EXPECT_LE(std::fabs(c.f(1) + 60.0f), 10.0f);
    }
    ASSERT_EQ(count_projectiles(w.projectiles), 10);
    for (const projectile* m = w.projectiles.head; m; m = m->next) {
        EXPECT_EQ(m->team, TEAM_DEFENDERS);  // meteors spare the caster's side
        EXPECT_EQ(m->y, 150.0f);
        EXPECT_TRUE(m->vy <= -5.0f && m->vy >= -19.0f);
    }
    // The raider's meteors spare the raiders; lies and floods fall nowhere.
    deliver(build_command_message("FIRE", bits_of(1.0f), bits_of(2.0f), 0, 0), RAIDER);
    EXPECT_EQ(w.projectiles.head->team, TEAM_ATTACKERS);
    deliver(build_command_message("FIRE", bits_of(NAN), bits_of(2.0f), 0, 0), RAIDER);
    deliver(build_command_message("FIRE", bits_of(1e9f), bits_of(2.0f), 0, 0), RAIDER);
    EXPECT_EQ(count_projectiles(w.projectiles), 11);
    // One caster's flood stops at its own share; arrows in flight hold
    // nobody's meteors back, and all meteors together stop at the limit.
    for (int i = 0; i < MAX_FLYING_FOR_METEORS + 50; ++i)
        deliver(build_command_message("FIRE", bits_of(1.0f), bits_of(2.0f), 0, 0), RAIDER);
    EXPECT_EQ(count_meteors(w.projectiles), 10 + MAX_METEORS_PER_SENDER);
    for (int i = 0; i < 500; ++i)
        shoot_arrow(w, 0.0f, 30.0f, 0.0f, 0.0f, 0.0f, TEAM_DEFENDERS);
    add_member("warlock", RAIDER + 1, TEAM_ATTACKERS, 30);
    for (int i = 0; i < MAX_FLYING_FOR_METEORS; ++i)
        deliver(build_command_message("FIRE", bits_of(1.0f), bits_of(2.0f), 0, 0), RAIDER + 1);
    EXPECT_EQ(count_meteors(w.projectiles), MAX_FLYING_FOR_METEORS);
    EXPECT_EQ(count_projectiles(w.projectiles), MAX_FLYING_FOR_METEORS + 500);
    while (w.projectiles.head)
        del_projectile(w.projectiles, w.projectiles.head);

    p.spells[1] = SPELL_INVISIBILITY;
    const float cast = w.time;
    magic_button(w, 1);
    const std::vector<sent_command> invs = sent_commands("INVS");
    ASSERT_EQ(invs.size(), 1u);
    EXPECT_EQ(invs[0].p[0], w.me->id);
    EXPECT_NEAR(invs[0].f(1), cast + INVISIBILITY_TIME, 0.05f);

    // The dragon's slot turns into its dismount button while it is out, and
    // goes when the dragon goes (here, killed).
    p.spells[0] = SPELL_DRAGON;
    p.have_spells = 1;
    magic_button(w, 0);
    ASSERT_NE(p.dragon, nullptr);
    EXPECT_EQ(p.spells[0], SPELL_DISMOUNT);
    EXPECT_EQ(bar(2).texture, r.textures[TEX_dragon_dismount_button]);
    EXPECT_EQ(bar(2).enlarge, 0);
    EXPECT_EQ(p.have_spells, 1);
    del_unit(w, p.dragon);
    EXPECT_EQ(p.spells[0], SPELL_NONE);
    EXPECT_EQ(bar(2).texture, 0u);
    EXPECT_EQ(p.have_spells, 0);
    // Sent away with the dismount button before it came: the player on the
    // ground does not hop (a prayer goes on).
    w.time += 1.0f;
    p.spells[1] = SPELL_DRAGON;
    magic_button(w, 1);
    p.eye_vy = 0.0f;
    magic_button(w, 1);
    EXPECT_EQ(p.dragon, nullptr);
    EXPECT_EQ(p.spells[1], SPELL_NONE);
    EXPECT_EQ(p.eye_vy, 0.0f);
}

TEST_F(Lightning, HurtsFromOneToFiveSecondsWithinTwentyAndTheRadius)
{
    const float lasts = lightning_state{}.lasts;  // five seconds
    EXPECT_EQ(lightning_damage(0.99f, lasts, 0.0f, 1.0f, 0.1f), 0.0f);
    EXPECT_GT(lightning_damage(1.0f, lasts, 21.0f, 1.0f, 0.1f), 0.0f);
    EXPECT_EQ(lightning_damage(1.0f, lasts, 21.01f, 1.0f, 0.1f), 0.0f);
    EXPECT_GT(lightning_damage(5.0f, lasts, 0.0f, 1.0f, 0.1f), 0.0f);
    EXPECT_EQ(lightning_damage(5.01f, lasts, 0.0f, 1.0f, 0.1f), 0.0f);

    world& w = new_game(TEAM_DEFENDERS);
    unit* near = soldier(40.0f, 70.0f, TEAM_DEFENDERS);
    unit* enemy = soldier(30.0f, 60.0f, TEAM_ATTACKERS);
    unit* far = soldier(60.0f, 60.0f, TEAM_DEFENDERS);
    const float cast = w.time;
    cast_lightning(w, 30.0f, 60.0f);
    const std::vector<sent_command> ligh = sent_commands("LIGH");
    ASSERT_EQ(ligh.size(), 1u);
    EXPECT_EQ(ligh[0].f(0), 30.0f);
    EXPECT_NEAR(w.lightning.time, cast, 0.05f);
    const float strike = w.lightning.time;
    w.time = strike + 0.9f;
    simulate_magic(w, 0.1f);
    EXPECT_EQ(near->health, 3.0f);
    w.time = strike + 1.5f;
    simulate_magic(w, 0.1f);
    // Each copy hurts only its own side's units.
    EXPECT_NEAR(near->health, 3.0f - LIGHTNING_DAMAGE_RATE * 0.1f, 1e-5);
    EXPECT_EQ(enemy->health, 3.0f);
    EXPECT_EQ(far->health, 3.0f);
}

// The interface's banner on the battle's clock: how a message the
// simulation raised is shown.
TEST(Banner, TimelineAndOneWidthForEveryText)
{
    menu_font font;
    init_char_widths(font);
    banner_state banner;
    const float t0 = 100.0f;
    set_message(banner, t0, "You can only summon units on your side of the map!", 1, 0, 0, 0.3f, 2.0f);
    simulate_message(banner, t0);
    EXPECT_EQ(banner.do_message, 1);  // on at once, still transparent
    EXPECT_LT(banner.alpha, 0.0f);
    for (float t : {0.3f, 1.0f, 2.0f}) {
        simulate_message(banner, t0 + t);
        EXPECT_EQ(banner.alpha, 1.0f) << t;
    }
    simulate_message(banner, t0 + 2.0f + 0.15f);
    EXPECT_GT(banner.alpha, 0.0f);
    EXPECT_LT(banner.alpha, 1.0f);
    EXPECT_EQ(banner.do_message, 1);
    simulate_message(banner, t0 + 2.0f + BANNER_EDGE + 0.001f);
    EXPECT_EQ(banner.do_message, 0);
    EXPECT_EQ(banner.alpha, 0.0f);

    const banner_layout one = layout_banner(font, "Zeus"), two = layout_banner(font, "ZeusZeus");
    EXPECT_NEAR(two.size, one.size / 2, 1e-6);
    EXPECT_NEAR(one.half_width, 1.5f, 1e-5);
    EXPECT_NEAR(two.half_width, 1.5f, 1e-5);
    EXPECT_EQ(layout_banner(font, "").size, 0.0f);

    // The status bars: nothing at 0, two units at 15, held to that range.
    EXPECT_EQ(status_bar_end(0.0f), -1.0f);
    EXPECT_NEAR(status_bar_end(15.0f), 1.0f, 1e-3);
    EXPECT_EQ(status_bar_end(-4.0f), -1.0f);
    EXPECT_EQ(status_bar_end(40.0f), status_bar_end(15.0f));
}
