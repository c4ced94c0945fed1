// The gods: prayer against a temple, favour and health, the grants and
// their draws, casting every kind of spell, the lightning's damage, the
// status bars and the banner.
#include <cmath>
#include <set>

#include "armies_test_support.h"
#include "platform/random.h"
#include "render/textures.h"
#include "sim/end_game.h"
#include "ui/interface.h"
#include "sim/magic.h"
#include "ui/menu.h"
#include "ui/hud.h"
#include "ui/selection.h"
#include "sim/dragon.h"
#include "sim/projectile.h"
#include "sim/buildings.h"
#include "sim/lightning.h"
#include "sim/model_tree.h"
#include "sim/terrain.h"
#include "sim/world.h"
#include "sim/events.h"
#include "game/main_loop.h"

// The command bar as the player's state makes it now, and the banner once
// the simulation's events have been shown.
[[maybe_unused]] static const button_slot& bar(int slot)
{
    refresh_command_bar();
    return the_buttons[slot];
}
[[maybe_unused]] static const banner_state& banner()
{
    deliver_events();
    return current_banner();
}


namespace {

constexpr uint32_t RAIDER = 0x0300000A;

float level_ground(float, float)
{
    return 20.0f;
}

// A new game for this copy on `team` on level ground at height 20, with a
// temple whose front step lies 10 ahead of the player at (0, 22, 0).
void new_game(int team)
{
    reset_world_state();
    clear_events();
    reset_game_personal();
    fresh_game(team);
    allocate_terrain();
    for (int j = 0; j < 128; ++j)
        for (int i = 0; i < 128; ++i)
            height_map[j][i] = 20.0f;
    calculate_normals();
    clear_model_tree();
    structure_ground = level_ground;
    add_temple_model(0, -20);
    clear_projectiles();
    setup_personal();
    register_magic_commands();
    do_god = 0;
    eye_x = eye_z = 0.0f;
    eye_y = 22.0f;
    eye_yaw = eye_pitch = 0.0f;
    eye_vx = eye_vy = eye_vz = 0.0f;
    next_player_cdetect = 0.0f;
    set_self_humanoid_position();
    me->health = 15.0f;
}

// Walks forward until the temple's step stops the figure, then stands.
void walk_to_the_temple()
{
    move_keys forward{};
    forward.forward = true;
    for (int i = 0; i < 20; ++i, game_time += 0.1f)
        move_eye(0.1f, forward);
    for (int i = 0; i < 3; ++i, game_time += 0.1f)
        move_eye(0.1f, move_keys{});
}

// Steps of the personal state; returns the game times of the grants.
std::vector<float> pray_for(float seconds, float dt = 0.05f)
{
    std::vector<float> grants;
    for (int step = 0; step < static_cast<int>(std::lround(seconds / dt)); ++step) {
        game_time += dt;
        const int before = have_spells;
        simulate_personal(dt);
        if (have_spells > before)
            grants.push_back(game_time);
    }
    return grants;
}

int units_of(int team)
{
    int n = 0;
    for (const unit* u = unit_list; u; u = u->next)
        n += u->team == team;
    return n;
}

}  // namespace

TEST(Prayer, AtATempleASpellAbout11SecondsApartAndNoMoreThanTwo)
{
    new_game(TEAM_ATTACKERS);
    do_pray();
    EXPECT_EQ(praying, 0);  // out in the open: no temple to pray at
    walk_to_the_temple();
    ASSERT_NE(me->touched_model, nullptr);
    EXPECT_NE(is_a_temple(me->touched_model), nullptr);
    do_pray();
    EXPECT_EQ(praying, 1);
    move_eye(0.1f, move_keys{});  // standing against it keeps the prayer
    EXPECT_EQ(praying, 1);
    EXPECT_EQ(bar(1).texture, pray_button_texid);

    const float start = game_time;
    std::vector<float> grants = pray_for(40.0f);
    ASSERT_EQ(grants.size(), 2u);
    EXPECT_NEAR(grants[0] - start, (GRANT_FAVOR - 5.0f) / 1.332f, 0.3f);
    EXPECT_NEAR(grants[1] - grants[0], GRANT_COST / 1.332f, 0.5f);
    // Both slots full: nothing more, and the favour stays at the top.
    EXPECT_TRUE(pray_for(20.0f).empty());
    EXPECT_EQ(have_spells, 2);
    EXPECT_EQ(target_favor, MAX_FAVOR);
    EXPECT_EQ(now_favor, MAX_FAVOR);
    EXPECT_NE(what_spells[0], what_spells[1]);

    // A step away ends the prayer; the pray button toggles it too.
    move_keys back{};
    back.back = true;
    move_eye(0.1f, back);
    EXPECT_EQ(praying, 0);
}

TEST(Prayer, HealthFollowsItsTargetAndADeadFigureLoses)
{
    new_game(TEAM_DEFENDERS);
    add_member("raider", RAIDER, TEAM_ATTACKERS, 20);
    walk_to_the_temple();
    do_pray();
    ASSERT_EQ(praying, 1);
    target_health = 10.0f;
    pray_for(0.5f, 0.1f);  // down at 5 a second while the target heals slowly
    EXPECT_NEAR(me->health, 12.5f, 1e-3);
    pray_for(0.6f, 0.1f);
    EXPECT_NEAR(me->health, target_health, 1e-6);
    EXPECT_NEAR(target_health, 10.0f + 0.25f * 1.1f, 0.03f);
    do_god = 1;  // god mode heals 1 a second and earns favour 25 times as fast
    const float favour = target_favor, health = target_health;
    pray_for(0.1f, 0.1f);
    EXPECT_NEAR(target_health, health + 0.1f, 1e-4);
    EXPECT_NEAR(target_favor, favour + 100 * 0.333f * 0.1f, 1e-3);
    do_god = 0;

    // Blows that take more than the figure has: the game is lost here.
    stop_praying();
    do_damage(13.0f, me);
    EXPECT_EQ(is_end_game(), END_GOES_ON);
    pray_for(3.0f, 0.1f);
    EXPECT_LE(me->health, 0.0f);
    EXPECT_EQ(is_end_game(), END_LOST);
}

TEST(Grants, DrawsRedrawsAndTheLargeTeamRule)
{
    auto grant_into_slot_1 = [](int other) {
        std::set<int> seen;
        for (int i = 0; i < 300; ++i) {
            what_spells[0] = other;
            what_spells[1] = SPELL_NONE;
            have_spells = 1;
            grant_spell();
            seen.insert(what_spells[other == SPELL_NONE ? 0 : 1]);
        }
        return seen;
    };
    // Defenders are never given rams: Zeus strikes for them instead.
    new_game(TEAM_DEFENDERS);
    game_srand(7);
    std::set<int> seen = grant_into_slot_1(SPELL_NONE);
    EXPECT_EQ(seen.size(), 8u);
    EXPECT_FALSE(seen.count(SPELL_RAMS));

    new_game(TEAM_ATTACKERS);
    // The dragon is out: never a second one, nor the slot's own code.
    seen = grant_into_slot_1(SPELL_DISMOUNT);
    EXPECT_FALSE(seen.count(SPELL_DRAGON) || seen.count(SPELL_DISMOUNT));
    EXPECT_EQ(seen.size(), 8u);  // rams among them
    seen = grant_into_slot_1(SPELL_LIGHTNING);
    EXPECT_FALSE(seen.count(SPELL_LIGHTNING));
    EXPECT_TRUE(seen.count(SPELL_DRAGON));

    // Each grant costs 14 favour, shows its god's words and its button.
    setup_personal();
    target_favor = 15.0f;
    grant_spell();
    EXPECT_EQ(target_favor, 1.0f);
    const int code = what_spells[0];
    EXPECT_FALSE(banner().text.empty());
    EXPECT_EQ(bar(2).action, magic_button_1);
    EXPECT_EQ(bar(2).enlarge, 1);
    if (code == SPELL_DRAGON) {
        EXPECT_EQ(dragon_button, 2);
        EXPECT_EQ(banner().text, "Apollo has granted you a Dragon");
    }

    // More than 99 units on the side: only the four great spells.
    while (units_of(TEAM_ATTACKERS) <= MAX_TEAM_FOR_SUMMONS)
        soldier(0, 100, TEAM_ATTACKERS);
    seen = grant_into_slot_1(SPELL_NONE);
    EXPECT_EQ(seen, (std::set<int>{SPELL_DRAGON, SPELL_FIRESTORM, SPELL_INVISIBILITY, SPELL_LIGHTNING}));
}

TEST(Casting, SummonsOnTheOwnSideOnly)
{
    new_game(TEAM_ATTACKERS);
    me->x = 10.0f;
    me->z = eye_z = -1.0f;
    const int before = count_units();
    what_spells[0] = SPELL_UNDEAD;
    have_spells = 1;
    magic_button(0);
    EXPECT_EQ(count_units(), before);
    EXPECT_EQ(banner().text, "You can only summon units on your side of the map!");
    EXPECT_EQ(banner().red, 1.0f);
    EXPECT_EQ(what_spells[0], SPELL_NONE);  // spent all the same
    EXPECT_EQ(have_spells, 0);
    EXPECT_EQ(bar(2).texture, 0u);

    struct summon {
        int team, code, count;
        float dz;  // where the first unit stands, from the figure
    };
    for (const summon s : {summon{TEAM_ATTACKERS, SPELL_UNDEAD, 8, 3.0f}, {TEAM_ATTACKERS, SPELL_GOBLINS, 4, 3.0f},
                           {TEAM_DEFENDERS, SPELL_FOOTMEN, 6, 3.0f}, {TEAM_ATTACKERS, SPELL_CATAPULTS, 4, -24.0f},
                           {TEAM_ATTACKERS, SPELL_RAMS, 3, -24.0f}}) {
        new_game(s.team);
        me->x = 10.0f;
        me->z = eye_z = 0.0f;  // the middle line belongs to both sides
        const int before = units_of(s.team);
        what_spells[1] = s.code;
        magic_button(1);
        EXPECT_EQ(units_of(s.team) - before, s.count) << s.code;
        EXPECT_EQ(sent_commands("UNIT").size(), static_cast<size_t>(s.count));
        // Every new unit's state is in the open batch at once.
        EXPECT_GT(updm_len, 8);
        const unit* first = unit_list;
        for (int i = 1; i < s.count; ++i)
            first = first->next;
        EXPECT_NEAR(first->z, s.dz, 1e-4) << s.code;
        EXPECT_NEAR(first->x, s.dz > 0 ? 13.0f : 16.0f, 1e-4) << s.code;
        if (s.code == SPELL_CATAPULTS) {
            EXPECT_EQ(first->max_health, 10.0f);
        }
    }
}

TEST(Casting, FirestormInvisibilityAndTheDragonsSlot)
{
    new_game(TEAM_DEFENDERS);
    add_member("raider", RAIDER, TEAM_ATTACKERS, 20);
    what_spells[0] = SPELL_FIRESTORM;
    magic_button(0);
    EXPECT_EQ(waiting_spell_command, WAITING_FIRESTORM);
    do_firestorm(40.0f, -60.0f);
    const std::vector<sent_command> fire = sent_commands("FIRE");
    ASSERT_EQ(fire.size(), 10u);
    for (const sent_command& c : fire) {
        EXPECT_LE(std::fabs(c.f(0) - 40.0f), 10.0f);
        EXPECT_LE(std::fabs(c.f(1) + 60.0f), 10.0f);
    }
    ASSERT_EQ(count_projectiles(), 10);
    for (const projectile* p = proj; p; p = p->next) {
        EXPECT_EQ(p->team, TEAM_DEFENDERS);  // meteors spare the caster's side
        EXPECT_EQ(p->y, 150.0f);
        EXPECT_TRUE(p->vy <= -5.0f && p->vy >= -19.0f);
    }
    // The raider's meteors spare the raiders; lies and floods fall nowhere.
    deliver(build_command_message("FIRE", bits_of(1.0f), bits_of(2.0f), 0, 0), RAIDER);
    EXPECT_EQ(proj->team, TEAM_ATTACKERS);
    deliver(build_command_message("FIRE", bits_of(NAN), bits_of(2.0f), 0, 0), RAIDER);
    deliver(build_command_message("FIRE", bits_of(1e9f), bits_of(2.0f), 0, 0), RAIDER);
    EXPECT_EQ(count_projectiles(), 11);
    // One caster's flood stops at its own share; arrows in flight hold
    // nobody's meteors back, and all meteors together stop at the limit.
    for (int i = 0; i < MAX_FLYING_FOR_METEORS + 50; ++i)
        deliver(build_command_message("FIRE", bits_of(1.0f), bits_of(2.0f), 0, 0), RAIDER);
    EXPECT_EQ(count_meteors(), 10 + MAX_METEORS_PER_SENDER);
    for (int i = 0; i < 500; ++i)
        shoot_arrow(0.0f, 30.0f, 0.0f, 0.0f, 0.0f, TEAM_DEFENDERS);
    add_member("warlock", RAIDER + 1, TEAM_ATTACKERS, 30);
    for (int i = 0; i < MAX_FLYING_FOR_METEORS; ++i)
        deliver(build_command_message("FIRE", bits_of(1.0f), bits_of(2.0f), 0, 0), RAIDER + 1);
    EXPECT_EQ(count_meteors(), MAX_FLYING_FOR_METEORS);
    EXPECT_EQ(count_projectiles(), MAX_FLYING_FOR_METEORS + 500);
    clear_projectiles();

    what_spells[1] = SPELL_INVISIBILITY;
    const float cast = game_time;  // (every send advances the clock a little)
    magic_button(1);
    const std::vector<sent_command> invs = sent_commands("INVS");
    ASSERT_EQ(invs.size(), 1u);
    EXPECT_EQ(invs[0].p[0], me->id);
    EXPECT_NEAR(invs[0].f(1), cast + INVISIBILITY_TIME, 0.05f);

    // The dragon's slot turns into its dismount button while it is out, and
    // goes when the dragon goes (here, killed).
    what_spells[0] = SPELL_DRAGON;
    have_spells = 1;
    magic_button(0);
    ASSERT_NE(my_dragon, nullptr);
    EXPECT_EQ(what_spells[0], SPELL_DISMOUNT);
    EXPECT_EQ(bar(2).texture, dragon_dismount_button_texid);
    EXPECT_EQ(bar(2).enlarge, 0);
    EXPECT_EQ(have_spells, 1);
    del_unit(my_dragon);
    EXPECT_EQ(what_spells[0], SPELL_NONE);
    EXPECT_EQ(bar(2).texture, 0u);
    EXPECT_EQ(have_spells, 0);
    // Sent away with the dismount button before it came: the player on the
    // ground does not hop (a prayer goes on).
    game_time += 1.0f;
    what_spells[1] = SPELL_DRAGON;
    magic_button(1);
    eye_vy = 0.0f;
    magic_button(1);
    EXPECT_EQ(my_dragon, nullptr);
    EXPECT_EQ(what_spells[1], SPELL_NONE);
    EXPECT_EQ(eye_vy, 0.0f);
}

TEST(Lightning, HurtsFromOneToFiveSecondsWithinTwentyAndTheRadius)
{
    EXPECT_EQ(lightning_damage(0.99f, 0.0f, 1.0f, 0.1f), 0.0f);
    EXPECT_GT(lightning_damage(1.0f, 21.0f, 1.0f, 0.1f), 0.0f);
    EXPECT_EQ(lightning_damage(1.0f, 21.01f, 1.0f, 0.1f), 0.0f);
    EXPECT_GT(lightning_damage(5.0f, 0.0f, 1.0f, 0.1f), 0.0f);
    EXPECT_EQ(lightning_damage(5.01f, 0.0f, 1.0f, 0.1f), 0.0f);

    new_game(TEAM_DEFENDERS);
    unit* near = soldier(40.0f, 70.0f, TEAM_DEFENDERS);
    unit* enemy = soldier(30.0f, 60.0f, TEAM_ATTACKERS);
    unit* far = soldier(60.0f, 60.0f, TEAM_DEFENDERS);
    const float cast = game_time;
    cast_lightning(30.0f, 60.0f);
    const std::vector<sent_command> ligh = sent_commands("LIGH");
    ASSERT_EQ(ligh.size(), 1u);
    EXPECT_EQ(ligh[0].f(0), 30.0f);
    EXPECT_NEAR(last_lightning_time, cast, 0.05f);
    const float strike = last_lightning_time;
    game_time = strike + 0.9f;
    simulate_magic(0.1f);
    EXPECT_EQ(near->health, 3.0f);
    game_time = strike + 1.5f;
    simulate_magic(0.1f);
    // Each copy hurts only its own side's units.
    EXPECT_NEAR(near->health, 3.0f - LIGHTNING_DAMAGE_RATE * 0.1f, 1e-5);
    EXPECT_EQ(enemy->health, 3.0f);
    EXPECT_EQ(far->health, 3.0f);
}

TEST(Banner, TimelineAndOneWidthForEveryText)
{
    init_char_widths();
    new_game(TEAM_ATTACKERS);
    const float t0 = game_time;
    set_message("You can only summon units on your side of the map!", 1, 0, 0, 0.3f, 2.0f);
    simulate_message();
    EXPECT_EQ(banner().do_message, 1);  // on at once, still transparent
    EXPECT_LT(banner().alpha, 0.0f);
    for (float t : {0.3f, 1.0f, 2.0f}) {
        game_time = t0 + t;
        simulate_message();
        EXPECT_EQ(banner().alpha, 1.0f) << t;
    }
    game_time = t0 + 2.0f + 0.15f;
    simulate_message();
    EXPECT_GT(banner().alpha, 0.0f);
    EXPECT_LT(banner().alpha, 1.0f);
    EXPECT_EQ(banner().do_message, 1);
    game_time = t0 + 2.0f + BANNER_EDGE + 0.001f;
    simulate_message();
    EXPECT_EQ(banner().do_message, 0);
    EXPECT_EQ(banner().alpha, 0.0f);

    const banner_layout one = layout_banner("Zeus"), two = layout_banner("ZeusZeus");
    EXPECT_NEAR(two.size, one.size / 2, 1e-6);
    EXPECT_NEAR(one.half_width, 1.5f, 1e-5);
    EXPECT_NEAR(two.half_width, 1.5f, 1e-5);
    EXPECT_EQ(layout_banner("").size, 0.0f);

    // The status bars: nothing at 0, two units at 15, held to that range.
    EXPECT_EQ(status_bar_end(0.0f), -1.0f);
    EXPECT_NEAR(status_bar_end(15.0f), 1.0f, 1e-3);
    EXPECT_EQ(status_bar_end(-4.0f), -1.0f);
    EXPECT_EQ(status_bar_end(40.0f), status_bar_end(15.0f));
}
