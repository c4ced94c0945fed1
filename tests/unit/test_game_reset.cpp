// A second game starts as the first did: what one battle owns goes with its
// world, and the presentation's part of a game (the frame report, the view,
// the command bar, the selection, the banner, the sound's effects) is reset
// when the next world is built.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "game/main_loop.h"
#include "game/program.h"
#include "session_setup.h"
#include "sim/combat.h"
#include "sim/light.h"
#include "sim/messages.h"
#include "sim/projectile.h"
#include "sim/trees.h"
#include "sim/units.h"

namespace {

class GameReset : public testing::Test {
protected:
    std::unique_ptr<program> owned = std::make_unique<program>();
    program& p = *owned;
    std::vector<std::vector<unsigned char>> sent;

    GameReset()
    {
        p.s.link.observer = [this](const unsigned char* buf, int len) { sent.emplace_back(buf, buf + len); };
        lone_copy(p.s, 1);
    }
    // The next battle: a world of its own, the presentation reset for it.
    world& next_game()
    {
        p.ui.world = nullptr;
        p.w = play_world(p.s);
        reset_presentation(p);
        p.ui.world = p.w.get();
        return *p.w;
    }
    int sent_with_tag(const char* tag) const
    {
        int n = 0;
        for (const auto& m : sent)
            n += m.size() >= 4 && std::equal(tag, tag + 4, m.begin());
        return n;
    }
};

} // namespace

// What one game leaves behind, then the next game: none of it is there.
TEST_F(GameReset, NothingOfAGameReachesTheNext)
{
    world& first = next_game();
    first.time = 300.0f;
    p.report = {40, 9000, 299.5f};
    p.r.view.hurt = 12.0f;
    p.r.view.zoom = 5.0f;
    p.ui.bar.shown = 1;
    p.ui.bar.y = INTERFACE_Y_SHOWN;
    p.ui.bar.slots[0].texture = 7;
    p.ui.bar.waiting_order = ORDER_MOVE;
    p.ui.selection.in_select = 1;
    unit* soldier = add_proto_footman(first, 0, 5, 0);
    p.ui.selection.friends.push_back(soldier->id);
    p.snd.effects.push_back({0, 305.0f, 301.0f, 0});
    p.snd.clock = 50.0f;
    set_message(p.ui.banner, first.time, "Zeus will call Lightning for you", 0.0f, 0.5f, 1.0f, 0.3f, 3.0f);
    p.ui.actions.emplace_back(player_action_kind::pray);
    // The battle's own: a tree, an arrow in flight, the night, a batch under way.
    add_chestnut(first, 20, 20);
    shoot_arrow(first, 0, 10, 0, 0, 0, 1);
    turn_on_nighttime_mode(first.light, first.time);
    add_unit_update(first, soldier->id, 0, nullptr);
    ASSERT_GT(first.batch.len, 0);

    world& second = next_game();

    EXPECT_EQ(p.report.frames, 0);
    EXPECT_EQ(p.report.total_frames, 0);
    EXPECT_EQ(p.report.last_line, 0.0f);
    EXPECT_EQ(p.r.view.hurt, 0.0f);
    EXPECT_EQ(p.r.view.zoom, 1.0f);
    EXPECT_EQ(p.ui.bar.shown, 0);
    EXPECT_EQ(p.ui.bar.y, INTERFACE_Y_HIDDEN);
    EXPECT_EQ(p.ui.bar.slots[0].texture, 0u);
    EXPECT_EQ(p.ui.bar.waiting_order, 0);
    EXPECT_EQ(p.ui.selection.in_select, 0);
    EXPECT_TRUE(p.ui.selection.friends.empty());
    EXPECT_TRUE(p.ui.banner.text.empty());
    EXPECT_EQ(p.ui.banner.display_time, 0.0f);
    EXPECT_TRUE(p.ui.actions.empty());
    EXPECT_TRUE(p.snd.effects.empty());
    EXPECT_EQ(p.snd.water_switch_time, 50.0f);  // the surf turns from now on

    EXPECT_EQ(second.time, 100.0f);  // as play_world sets it
    EXPECT_EQ(count_projectiles(second.projectiles), 0);
    EXPECT_TRUE(second.trees.chestnuts.empty());
    EXPECT_EQ(second.light.night, 0);
    EXPECT_EQ(second.batch.len, 0);
    // The participants' figures are the new world's.
    ASSERT_NE(second.me, nullptr);
    EXPECT_EQ(p.s.parts[0].figure, second.me);
    EXPECT_EQ(find_unit(second, second.me->id), second.me);
}

// The fault a second game once showed: the batch timer of a game compared
// against a clock that starts again at 0 with each game, so a copy stayed
// silent for as long as the first game had lasted; and the menu after a
// game announced this copy late. The battle's timers are its world's, the
// menu's run on the session's clock.
TEST_F(GameReset, TheSecondGameSendsStateAndTheMenuAfterItAnnouncesAtOnce)
{
    world& first = next_game();
    first.time = 120.0f;
    send_network_status(first);
    ASSERT_EQ(sent_with_tag("UUPD"), 1);

    world& second = next_game();
    second.time = 0.5f;
    sent.clear();
    send_network_status(second);
    EXPECT_EQ(sent_with_tag("UUPD"), 1) << "the second game sends nothing";

    // The menu ran up to 100 s before that game; the game lasted 5 s.
    p.w.reset();
    p.ui.world = nullptr;
    p.s.phase = STATE_MENU;
    p.s.now = 100.0f;
    simulate_lobby(p, 0.01f);
    p.s.now += 5.0f;
    sent.clear();
    simulate_lobby(p, 0.01f);
    EXPECT_EQ(sent_with_tag("HELO"), 1) << "the menu after the game is silent";
}
