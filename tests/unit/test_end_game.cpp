// The end of a game on each copy: the defenders' temple taken, the player's
// own figure dead, the other side gone; and what an ending leaves behind.
#include <cmath>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "interface_fixture.h"
#include "sim/buildings.h"
#include "sim/end_game.h"
#include "sim/model_tree.h"
#include "ui/end_screens.h"

namespace {

constexpr uint32_t RAIDER = 0x0300000A;

float level_ground(const world&, float, float)
{
    return 20.0f;
}

class EndGame : public interface_test {
protected:
    std::string path = "end_game_houses_" + std::to_string(getpid()) + ".txt";
    model_node* defenders_temple = nullptr;
    model_node* attackers_temple = nullptr;

    void SetUp() override
    {
        // Two temples: the defended city's at z < 0, the other at z > 0.
        FILE* f = fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        fputs("t, -40, -150, 0, 0, 0\nt, -56, 150, 0, 0, 0\nh, 8, -124, 0, 0, 0\n", f);
        fclose(f);
        s.files.houses = path;
    }
    void TearDown() override { unlink(path.c_str()); }

    // This copy on `team` in a game of its own with the two temples and the
    // house on level ground. The world counts this copy as playing alone
    // (nobody else was in the table when it was made); the tests add the
    // other side's copies afterwards, so it is told it is not.
    world& temple_game(int team)
    {
        world& w = fresh_game(team);
        w.alone = 0;
        w.structures.ground = level_ground;
        EXPECT_EQ(load_buildings(w), 3);
        defenders_temple = get_top_level_model(w.structures, 0);
        attackers_temple = get_top_level_model(w.structures, 1);
        EXPECT_LT(defenders_temple->origin[2], 0.0f);
        EXPECT_GT(attackers_temple->origin[2], 0.0f);
        w.units.win_check_due = 0;
        return w;
    }

    // An attacker unit pressed against a part of a model.
    unit* holder(model_node* model, int team = TEAM_ATTACKERS)
    {
        unit* u = soldier(-40.0f, -140.0f, team, HUMANOID_GOBLIN);
        u->touched_model = model;
        return u;
    }
};

}  // namespace

TEST_F(EndGame, SixAttackersOnTheDefendersTempleTakeIt)
{
    for (int team : {TEAM_ATTACKERS, TEAM_DEFENDERS}) {
        world& w = temple_game(team);
        ASSERT_NE(defenders_temple, nullptr);
        add_member("raider", RAIDER, 1 - team, 20);
        model_node* column = defenders_temple->children.back().get();  // any part of it counts
        for (int i = 0; i < TEMPLE_HOLDERS_TO_WIN; ++i)
            holder(i % 2 ? column : defenders_temple);
        // Attackers on the other temple, defenders on this one, attackers
        // against a house: none of them counts.
        holder(attackers_temple);
        holder(defenders_temple, TEAM_DEFENDERS);
        holder(get_top_level_model(w.structures, 2));
        EXPECT_EQ(count_temple_holders(w), TEMPLE_HOLDERS_TO_WIN);
        EXPECT_EQ(is_end_game(w), END_GOES_ON);
        holder(column);
        EXPECT_EQ(is_end_game(w), team == TEAM_ATTACKERS ? END_WON : END_LOST) << "team " << team;
    }
}

TEST_F(EndGame, TheOwnFigureDeadAtExactlyNoHealth)
{
    world& w = temple_game(TEAM_DEFENDERS);
    add_member("raider", RAIDER, TEAM_ATTACKERS, 20);
    w.me->health = 0.01f;
    EXPECT_EQ(is_end_game(w), END_GOES_ON);
    w.me->health = 0.0f;
    EXPECT_EQ(is_end_game(w), END_LOST);
}

TEST_F(EndGame, TheOtherSideGoneWinsOnceAndNeverAlone)
{
    world* w = &temple_game(TEAM_DEFENDERS);
    const int idx = add_member("raider", RAIDER, TEAM_ATTACKERS, 20);
    soldier(0.0f, 0.0f, TEAM_ATTACKERS);
    del_unit(*w, w->units.list);  // a goblin falls: the raider is still there
    EXPECT_EQ(is_end_game(*w), END_GOES_ON);
    EXPECT_EQ(w->units.win_check_due, 1);  // kept until the other side is gone
    // The raider's figure dies here: the raider leaves this copy's table.
    del_unit(*w, s.parts[static_cast<size_t>(idx)].figure);
    EXPECT_EQ(s.teams[TEAM_ATTACKERS].members, 0);
    EXPECT_EQ(is_end_game(*w), END_WON);
    EXPECT_EQ(w->units.win_check_due, 0);
    EXPECT_EQ(is_end_game(*w), END_GOES_ON);  // said once

    // A game started alone is never won by elimination.
    w = &fresh_game(TEAM_DEFENDERS);
    EXPECT_EQ(w->alone, 1);
    soldier(0.0f, 0.0f, TEAM_ATTACKERS);
    del_unit(*w, w->units.list);
    EXPECT_EQ(is_end_game(*w), END_GOES_ON);
}

TEST_F(EndGame, TheLastOfASideTakesEveryUnitWithIt)
{
    world& w = temple_game(TEAM_DEFENDERS);
    add_member("raider", RAIDER, TEAM_ATTACKERS, 20);
    soldier(0.0f, 0.0f, TEAM_ATTACKERS);
    soldier(5.0f, 0.0f, TEAM_DEFENDERS);
    const uint32_t own = w.me->id;
    end_game(w, END_LOST);
    EXPECT_EQ(s.phase, STATE_LOST);
    EXPECT_EQ(w.units.list, nullptr);
    EXPECT_EQ(w.me, nullptr);
    // Only the own figure is announced gone: the soldiers this copy made
    // live on where the game goes on.
    const auto udie = sent_commands("UDIE");
    ASSERT_EQ(udie.size(), 1u);
    EXPECT_EQ(udie[0].p[0], own);
    for (const participant& p : s.parts)
        EXPECT_EQ(p.figure, nullptr) << p.name;  // nothing left pointing at freed figures
}

TEST_F(EndGame, OneOfSeveralLosesOnlyItsOwnFigure)
{
    world& w = temple_game(TEAM_DEFENDERS);
    add_member("raider", RAIDER, TEAM_ATTACKERS, 20);
    add_member("guard", 0x0400000A, TEAM_DEFENDERS, 800);
    unit* goblin = soldier(0.0f, 0.0f, TEAM_ATTACKERS);
    unit* own = w.me;
    end_game(w, END_LOST);
    EXPECT_EQ(s.phase, STATE_LOST);
    EXPECT_EQ(w.me, nullptr);
    EXPECT_EQ(s.parts[0].figure, nullptr);
    bool goblin_left = false, own_left = false;
    for (unit* u = w.units.list; u; u = u->next) {
        goblin_left = goblin_left || u == goblin;
        own_left = own_left || u == own;
    }
    EXPECT_TRUE(goblin_left);
    EXPECT_FALSE(own_left);
    delete_all_units(w);
    EXPECT_EQ(w.units.list, nullptr);
    EXPECT_EQ(s.parts.size(), 1u);  // the other copies' figures took their entries with them
}

TEST_F(EndGame, AWonGameKeepsItsUnitsUntilTheClick)
{
    world& w = temple_game(TEAM_ATTACKERS);
    soldier(0.0f, 0.0f, TEAM_ATTACKERS);
    end_game(w, END_WON);
    EXPECT_EQ(s.phase, STATE_WON);
    EXPECT_NE(w.units.list, nullptr);
    EXPECT_EQ(w.me, nullptr);
    // Motion and releases on the end screen leave it as it is: nothing is
    // asked of the program.
    end_game_click(ui, 10, 10, 0);
    end_game_click(ui, 10, 10, -1);
    EXPECT_EQ(take_request(ui), ui_request::none);
    EXPECT_EQ(s.phase, STATE_WON);
}

// The attackers' leader stops reporting the moment it has won. A defender
// that saw five holders and a sixth a step away must see the sixth arrive
// and all six stay: units whose records stop go on a second at the last
// reported velocity, then stand, instead of walking on through the temple
// and away.
TEST_F(EndGame, AttackersWhoseReportsStopAtTheTempleStillTakeIt)
{
    world& w = temple_game(TEAM_DEFENDERS);
    flat_ground(20.0f);
    add_member("raider", RAIDER, TEAM_ATTACKERS, 20);
    for (int i = 0; i <= TEMPLE_HOLDERS_TO_WIN; ++i) {
        // Five pressing on the platform's south face (z = -159) on their way
        // to the temple's middle, the sixth 3 short of it.
        const float x = -46.0f + 2.4f * static_cast<float>(i), z = i == TEMPLE_HOLDERS_TO_WIN ? -163.0f : -160.0f;
        const float dx = -40.0f - x, dz = -150.0f - z, d = std::hypot(dx, dz);
        const float record[7] = {x, 21.2f, z, heading_toward(x, z, -40.0f, -150.0f), 10.0f * dx / d, 0.0f,
                                 10.0f * dz / d};
        unit* g = soldier(x, z, TEAM_ATTACKERS, HUMANOID_GOBLIN);
        ASSERT_EQ(update_unit_record(w, g, 7, record), 0);
        ASSERT_FALSE(steered_here(w, g));
    }
    for (int step = 0; step < 200; ++step) {
        w.time += 0.05f;
        simulate_units(w, 0.05f);
    }
    EXPECT_EQ(count_temple_holders(w), TEMPLE_HOLDERS_TO_WIN + 1);
    EXPECT_EQ(is_end_game(w), END_LOST);
}
