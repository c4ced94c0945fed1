// A second game starts as the first did: every module's per-game state is
// reset by the one reset sequence that world building runs first.
#include <gtest/gtest.h>

#include <vector>

#include "render/camera.h"
#include "game/main_loop.h"
#include "sim/messages.h"
#include "net/multicast.h"
#include "sim/participants.h"
#include "sound/sound.h"
#include "ui/interface.h"
#include "sim/magic.h"
#include "ui/hud.h"
#include "ui/menu.h"
#include "ui/selection.h"
#include "sim/catapult.h"
#include "sim/combat.h"
#include "sim/dragon.h"
#include "sim/humanoid.h"
#include "sim/projectile.h"
#include "sim/ram.h"
#include "sim/ship.h"
#include "sim/units.h"
#include "sim/light.h"
#include "sim/lightning.h"
#include "sim/model_tree.h"
#include "sim/terrain.h"
#include "render/terrain_render.h"
#include "sim/trees.h"
#include "sim/water.h"
#include "sim/world.h"
#include "registry_reset.h"

namespace {

std::vector<std::vector<unsigned char>> g_sent;

void record_send(const unsigned char* buf, int len)
{
    g_sent.emplace_back(buf, buf + len);
}

int sent_with_tag(const char* tag)
{
    int n = 0;
    for (const auto& m : g_sent)
        n += m.size() >= 4 && std::equal(tag, tag + 4, m.begin());
    return n;
}

class GameReset : public testing::Test {
protected:
    void SetUp() override
    {
        init_participants();
        empty_registry();
        send_observer = record_send;
        g_sent.clear();
    }
    void TearDown() override
    {
        send_observer = nullptr;
        empty_registry();
        clear_model_tree();
        clear_trees();
        clear_projectiles();
        game_state = STATE_MENU;
        game_time = 0.0f;
    }
};

float flat(float, float)
{
    return 5.0f;
}

// What building a world resets first: the simulation's state of a game and
// the presentation's.
void reset_game_state()
{
    reset_presentation();
    reset_world_state();
}

} // namespace

// What one game leaves in every module, then the reset: all of it goes.
TEST_F(GameReset, EveryModulesStateOfAGameIsReset)
{
    game_time = 300.0f;
    nframes = 40;
    tframes = 9000;
    old_frame_time = 299.5f;
    got_hurt = 12.0f;
    walk_phase = 3.0f;
    eye_pitch = 40.0f;
    next_jump = next_shoot = next_player_cdetect = 301.0f;
    do_interface = 1;
    interface_y = INTERFACE_Y_SHOWN;
    the_buttons[0] = {7, 0, 0, nullptr};
    in_select = 1;
    waiting_spell_command = 2;
    add_unit_update(0x80001, 0, nullptr);
    ASSERT_GT(updm_len, 0);

    humanoid_id = 0x300;
    catapult_id = 12;
    ram_id = 7;
    ship_id = 3;
    dragon_id = 4;
    riding_dragon = 1;
    target_health = 2.0f;
    structure_ground = flat;
    add_random_tree(10, 10);
    add_chestnut(20, 20);
    ASSERT_EQ(num_top_level_models(), 2);
    unit* figure = add_proto_footman(0, 5, 0);
    figure->selected = 1;
    figure->touched_model = get_top_level_model(0);
    figure->attack_target = me;
    friends_selected = 1;
    do_check_win = 1;
    shoot_arrow(0, 10, 0, 0, 0, 0);
    next_water_rebuild = 300.05f;
    last_lightning_time = 290.0f;
    turn_on_nighttime_mode();
    phase = 2.0f;
    water_switch_time = 310.0f;
    active_effects.push_back({0, 305.0f, 301.0f, 0});
    terrain_texid = 12345;
    dragon_button = 3;
    set_message("Zeus will call Lightning for you", 0.0f, 0.5f, 1.0f, 0.3f, 3.0f);

    reset_game_state();

    EXPECT_EQ(nframes, 0);
    EXPECT_EQ(tframes, 0);
    EXPECT_EQ(old_frame_time, 0.0f);
    EXPECT_EQ(got_hurt, 0.0f);
    EXPECT_EQ(walk_phase, 0.0f);
    EXPECT_EQ(eye_pitch, 0.0f);
    EXPECT_EQ(next_jump, 0.0f);
    EXPECT_EQ(next_shoot, 0.0f);
    EXPECT_EQ(next_player_cdetect, 0.0f);
    EXPECT_EQ(do_interface, 0);
    EXPECT_EQ(interface_y, INTERFACE_Y_HIDDEN);
    EXPECT_EQ(the_buttons[0].texture, 0u);
    EXPECT_EQ(in_select, 0);
    EXPECT_EQ(waiting_spell_command, 0);
    EXPECT_EQ(updm_len, 0);

    EXPECT_EQ(humanoid_id, 0u);
    EXPECT_EQ(catapult_id, 0);
    EXPECT_EQ(ram_id, 0);
    EXPECT_EQ(ship_id, 0);
    EXPECT_EQ(dragon_id, 0);
    EXPECT_EQ(riding_dragon, 0);
    EXPECT_EQ(my_dragon, nullptr);
    EXPECT_EQ(target_health, 15.0f);
    EXPECT_EQ(num_top_level_models(), 0);
    EXPECT_EQ(num_chestnuts + num_random_trees, 0);
    EXPECT_TRUE(chestnuts.empty() && random_trees.empty());
    EXPECT_EQ(figure->selected, 0);
    EXPECT_EQ(figure->touched_model, nullptr);
    EXPECT_EQ(figure->attack_target, nullptr);
    EXPECT_EQ(friends_selected, 0);
    EXPECT_EQ(do_check_win, 0);
    EXPECT_EQ(count_projectiles(), 0);

    EXPECT_LT(next_water_rebuild, 0.0f);
    EXPECT_FALSE(lightning_timeline(0.0f, last_lightning_time, time_lightning_lasts).night_on);
    EXPECT_EQ(is_night_time_mode, 0);
    EXPECT_EQ(phase, 0.0f);
    EXPECT_EQ(night_start_time, 0.0f);
    EXPECT_TRUE(active_effects.empty());
    EXPECT_EQ(water_switch_time, 0.0f);
    EXPECT_EQ(terrain_texid, 0u);
    EXPECT_EQ(dragon_button, 0);
    EXPECT_TRUE(current_banner().text.empty());
    EXPECT_EQ(current_banner().display_time, 0.0f);
    structure_ground = get_terrain_height;
}

// The fault a second game showed: both timers compare against game_time,
// which starts again at 0, so without the reset a copy stays silent for as
// long as the first game lasted.
TEST_F(GameReset, TheSecondGameSendsStateAndTheMenuAfterItAnnouncesAtOnce)
{
    game_state = STATE_PLAY;
    game_time = 120.0f;
    send_network_status();
    ASSERT_EQ(sent_with_tag("UUPD"), 1);

    // The next game: its world is built, then its clock starts at 0.
    reset_game_state();
    game_time = 0.5f;
    g_sent.clear();
    send_network_status();
    EXPECT_EQ(sent_with_tag("UUPD"), 1) << "the second game sends nothing";

    // The menu ran up to 100 s before that game; the game lasted 5 s.
    game_state = STATE_MENU;
    game_time = 100.0f;
    simulate_lobby(0.01f);
    reset_game_state();
    game_time = 5.0f;
    g_sent.clear();
    simulate_lobby(0.01f);
    EXPECT_EQ(sent_with_tag("HELO"), 1) << "the menu after the game is silent";
}
