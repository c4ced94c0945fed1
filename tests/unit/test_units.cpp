// The unit registry: creation, spawning from the network, deletion,
// orders, crowd separation and the per-frame step.
#include <cmath>
#include <cstring>
#include <vector>

#include "armies_test_support.h"
#include "platform/random.h"
#include "sim/catapult.h"

TEST(Registry, NewUnitIsNudgedSoItSeparatesOnItsFirstFrame)
{
    fresh_game();
    unit* u = add_unit(0x80123);
    EXPECT_EQ(unit_list, u);  // newest first
    EXPECT_FLOAT_EQ(u->vx, 0.1f);
    EXPECT_EQ(u->vy, 0.0f);
    EXPECT_EQ(u->vz, 0.0f);
    EXPECT_EQ(u->radius, 1.0f);
    EXPECT_EQ(u->invisible_until, -1.0f);
    EXPECT_EQ(find_unit(0x80123), u);
    EXPECT_EQ(find_unit(0x80124), nullptr);
}

TEST(Registry, SpawningAnExistingIdChangesNothing)
{
    fresh_game();
    spawn_unit(0x81004, 0, HUMANOID_GOBLIN);
    const int n = count_units();
    unit* first = find_unit(0x81004);
    ASSERT_NE(first, nullptr);
    testing::internal::CaptureStderr();
    spawn_unit(0x81004, 0, HUMANOID_FOOTMAN);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Trying to spawn 00081004, which already exists"), std::string::npos) << err;
    EXPECT_EQ(count_units(), n);
    EXPECT_EQ(static_cast<humanoid_data*>(first->kind_data)->kind, HUMANOID_GOBLIN);
}

TEST(Registry, MadeUnitsAreAnnouncedAgainAndTheRepeatIsQuiet)
{
    fresh_game(1);
    unit* mine = soldier(0, 0, 1);
    sent_datagrams().clear();
    announce_made_units_again();
    const auto again = sent_commands("UNIT");
    ASSERT_EQ(again.size(), 1u);  // the soldier; not this copy's own figure
    EXPECT_EQ(again[0].p[0], mine->id);
    EXPECT_EQ(again[0].f(1), static_cast<float>(HUMANOID_FOOTMAN));
    // On a copy that heard the first: the creator's repeat changes nothing
    // and says nothing.
    add_member("boss", 0x0200000A, 0, 10);
    const auto unit_cmd = build_command_message("UNIT", 0x81007, bits_of(static_cast<float>(HUMANOID_GOBLIN)), 0, 0);
    deliver(unit_cmd, 0x0200000A);
    ASSERT_NE(find_unit(0x81007), nullptr);
    const int n = count_units();
    testing::internal::CaptureStderr();
    deliver(unit_cmd, 0x0200000A);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(count_units(), n);

    // Another copy's first state records of a game (it has joined the
    // game's channel, perhaps after the announcements) bring them again,
    // once a copy and game.
    for (int game = 0; game < 2; ++game) {
        for (int batch = 0; batch < 2; ++batch) {
            sent_datagrams().clear();
            deliver(updm_batch({}), 0x0200000A);
            EXPECT_EQ(sent_commands("UNIT").size(), batch == 0 ? 1u : 0u);
        }
        reset_game_messages();
    }
}

// Two copies that made a unit under one id at the same moment: the id stays
// with the lower number, on the copies that made them and on one that heard
// both, and no death is announced for a unit made again.
TEST(Registry, AnIdTwoCopiesMadeStaysWithTheLowerNumber)
{
    fresh_game(0);  // this copy's number is 500
    add_member("low", 0x0200000A, 0, 10);
    add_member("high", 0x0300000A, 0, 900);
    const auto announce = [](uint32_t id, int kind, uint32_t sender) {
        deliver(build_command_message("UNIT", id, bits_of(static_cast<float>(kind)), 0, 0), sender);
    };
    unit* mine = soldier(5.0f, 7.0f, 0, HUMANOID_GOBLIN);
    const uint32_t id = mine->id;
    sent_datagrams().clear();
    announce(id, HUMANOID_GHOUL, 0x0300000A);  // a higher number: ours stays
    EXPECT_EQ(find_unit(id), mine);
    EXPECT_TRUE(sent_commands().empty());
    announce(id, HUMANOID_GHOUL, 0x0200000A);  // a lower number keeps the id
    const unit* theirs = find_unit(id);
    ASSERT_NE(theirs, mine);
    EXPECT_EQ(theirs->creator, 0x0200000Au);
    EXPECT_EQ(humanoid_kind_of(theirs), HUMANOID_GHOUL);
    EXPECT_TRUE(id_made_by_team(mine->id, 0));
    EXPECT_EQ(find_unit(mine->id), mine);
    EXPECT_EQ(humanoid_kind_of(mine), HUMANOID_GOBLIN);
    const auto again = sent_commands("UNIT");
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].p[0], mine->id);

    announce(0x81100, HUMANOID_GOBLIN, 0x0300000A);
    announce(0x81100, HUMANOID_GHOUL, 0x0200000A);
    announce(0x81101, HUMANOID_GHOUL, 0x0200000A);
    announce(0x81101, HUMANOID_GOBLIN, 0x0300000A);
    for (uint32_t other : {0x81100u, 0x81101u})
        EXPECT_EQ(humanoid_kind_of(find_unit(other)), HUMANOID_GHOUL);
    EXPECT_TRUE(sent_commands("UDIE").empty());
}

TEST(Registry, CountersFollowReceivedIds)
{
    fresh_game();
    catapult_id = 3;
    spawn_unit(0x10007, 0, 0);
    EXPECT_EQ(catapult_id, 8);
    spawn_unit(0x10002, 0, 0);
    EXPECT_EQ(catapult_id, 8);

    humanoid_id = 3;
    spawn_unit(0x81005, 0, HUMANOID_GOBLIN);
    EXPECT_EQ(humanoid_id, 6u);
    spawn_unit(0x81002, 0, HUMANOID_GOBLIN);
    EXPECT_EQ(humanoid_id, 6u);
    // Only the low 12 bits count: an attacker's range does not jump the
    // counter by 0x1000.
    spawn_unit(0x81009, 0, HUMANOID_GOBLIN);
    EXPECT_EQ(humanoid_id, 10u);
    unit* mine = add_humanoid();
    EXPECT_EQ(mine->id, 0x8000Au);  // this copy defends
}

TEST(Registry, DeletingUnlinksDeselectsAndAnnounces)
{
    fresh_game(1);
    unit* a = soldier(0, 0, 1);
    unit* b = soldier(5, 0, 1);
    unit* c = soldier(10, 0, 1);
    a->selected = c->selected = 1;
    friends_selected = 2;
    del_unit(b);  // the middle one
    EXPECT_EQ(a->prev, c);
    EXPECT_EQ(c->next, a);
    EXPECT_EQ(friends_selected, 2);
    const uint32_t cid = c->id;
    del_unit(c);  // the head, selected
    EXPECT_EQ(unit_list, a);
    EXPECT_EQ(a->prev, nullptr);
    EXPECT_EQ(friends_selected, 1);
    EXPECT_EQ(do_check_win, 1);
    auto udie = sent_commands("UDIE");
    ASSERT_EQ(udie.size(), 2u);
    EXPECT_EQ(udie[1].p[0], cid);
}

TEST(Registry, AnotherParticipantsFigureLeavesTheTableUnannounced)
{
    fresh_game(1);
    int idx = add_member("other", 0x0200000A, 1, 700);
    unit* fig = parts[static_cast<size_t>(idx)].figure;
    sent_datagrams().clear();
    del_unit(fig);
    EXPECT_EQ(n_parts, 1);
    EXPECT_TRUE(sent_commands("UDIE").empty());
}

TEST(Registry, DeathsAreDecidedAndAnnouncedByTheCreatorAlone)
{
    fresh_game(1);
    add_member("boss", 0x0200000A, 1, 10);  // lower number: leads
    // A footman of the leader's, as this copy made it from "UNIT": its
    // real health; wounded past death it waits for the leader's word.
    spawn_unit(0x80005, 1, HUMANOID_FOOTMAN);
    unit* theirs = find_unit(0x80005);
    ASSERT_NE(theirs, nullptr);
    EXPECT_EQ(theirs->health, 3.0f);
    sent_datagrams().clear();
    take_unit_damage(2.0f, theirs);
    take_unit_damage(2.0f, theirs);
    ASSERT_EQ(find_unit(0x80005), theirs);
    EXPECT_EQ(theirs->health, 0.0f);
    kill_unit(0x80005);  // the "UDIE"
    EXPECT_EQ(find_unit(0x80005), nullptr);
    // A unit this copy summoned is its own to decide, leader or not.
    unit* mine = soldier(0, 0, 1);
    const uint32_t id = mine->id;
    take_unit_damage(mine->health, mine);
    EXPECT_EQ(find_unit(id), nullptr);
    const auto udie = sent_commands("UDIE");
    ASSERT_EQ(udie.size(), 1u);
    EXPECT_EQ(udie[0].p[0], id);

    // A creator that leaves (its figure died) hands the decision to the
    // side's leader: first the next copy in line, then this one.
    const int third = add_member("third", 0x0300000A, 1, 300);
    for (uint32_t id : {0x80006u, 0x80007u})
        deliver(build_command_message("UNIT", id, bits_of(static_cast<float>(HUMANOID_FOOTMAN)), 0, 0), 0x0200000A);
    unit* orphan = find_unit(0x80006);
    ASSERT_NE(orphan, nullptr);
    take_unit_damage(1.0f, orphan);
    take_unit_damage(3.0f, find_unit(0x80007));  // struck down, waits for "boss"
    EXPECT_FALSE(decides_death(orphan));
    kill_unit(FIGURE_ID_BASE + 10);  // "boss" leaves the table
    EXPECT_FALSE(decides_death(orphan));  // "third" leads now
    bury_orphaned_dead();
    EXPECT_NE(find_unit(0x80007), nullptr);
    kill_unit(parts[static_cast<size_t>(third)].figure->id);
    sent_datagrams().clear();
    // This copy leads now: the one struck down is buried without another
    // blow, the wounded one lives on.
    bury_orphaned_dead();
    EXPECT_EQ(find_unit(0x80007), nullptr);
    EXPECT_EQ(find_unit(0x80006), orphan);
    ASSERT_EQ(sent_commands("UDIE").size(), 1u);
    EXPECT_EQ(sent_commands("UDIE")[0].p[0], 0x80007u);
    sent_datagrams().clear();
    take_unit_damage(2.0f, orphan);
    EXPECT_EQ(find_unit(0x80006), nullptr);
    ASSERT_EQ(sent_commands("UDIE").size(), 1u);
    EXPECT_EQ(sent_commands("UDIE")[0].p[0], 0x80006u);
}

TEST(Separation, PushedOutOnlyWhenOverlapping)
{
    fresh_game();
    unit* still = soldier(0, 0, 1);
    unit* mover = soldier(1.5f, 0, 1);
    separate_unit(mover);
    EXPECT_NEAR(mover->x, 2.0f, 1e-5);
    EXPECT_NEAR(mover->z, 0.0f, 1e-5);
    EXPECT_EQ(still->x, 0.0f);  // the other moves on its own turn

    mover->x = 0.0f;
    mover->z = 2.0f;  // exactly touching
    separate_unit(mover);
    EXPECT_EQ(mover->x, 0.0f);
    EXPECT_EQ(mover->z, 2.0f);
}

TEST(Separation, SameSpotJumpsAlongARandomDirection)
{
    fresh_game();
    soldier(3, 4, 1);
    unit* mover = soldier(3, 4, 1);
    separate_unit(mover);
    const float d = std::hypot(mover->x - 3.0f, mover->z - 4.0f);
    EXPECT_NEAR(d, 1.0f, 1e-5);  // R - 1 with R = 2
}

TEST(Orders, GroupKeepsItsShape)
{
    fresh_game(1);
    unit* a = soldier(0, 0, 1);
    unit* b = soldier(10, 0, 1);
    a->selected = b->selected = 1;
    friends_selected = 2;
    issue_order(100, 50, ORDER_MOVE);
    EXPECT_FLOAT_EQ(a->order_x, 95.0f);
    EXPECT_FLOAT_EQ(a->order_z, 50.0f);
    EXPECT_FLOAT_EQ(b->order_x, 105.0f);
    EXPECT_FLOAT_EQ(b->order_z, 50.0f);
    EXPECT_EQ(a->order_kind, ORDER_MOVE);
    EXPECT_TRUE(sent_commands("ORDR").empty());  // the leader applies directly
}

TEST(Orders, HeadingTowardTheGoal)
{
    fresh_game();
    unit* u = soldier(0, 0, 1);
    order_specific_unit(u, 10, 0, ORDER_MOVE);
    EXPECT_NEAR(u->order_heading, 90.0f, 1e-4);
    order_specific_unit(u, 0, 10, ORDER_MOVE);
    EXPECT_NEAR(u->order_heading, 0.0f, 1e-4);
    order_specific_unit(u, -10, 0, ORDER_ATTACK);
    EXPECT_NEAR(u->order_heading, 270.0f, 1e-4);
    EXPECT_EQ(u->order_kind, ORDER_ATTACK);
}

TEST(Orders, NonLeaderSendsOneOrderPerSelectedFriendAndChangesNothing)
{
    fresh_game(1);
    add_member("boss", 0x0200000A, 1, 10);
    unit* a = soldier(0, 0, 1);
    unit* b = soldier(10, 0, 1);
    unit* c = soldier(20, 0, 1);
    a->selected = b->selected = c->selected = 1;
    friends_selected = 3;
    issue_order(100, 50, ORDER_ATTACK);
    auto ordr = sent_commands("ORDR");
    ASSERT_EQ(ordr.size(), 3u);
    for (unit* u : {a, b, c}) {
        EXPECT_EQ(u->order_kind, ORDER_NONE);
        EXPECT_EQ(u->order_x, u->x);
    }
    bool found_b = false;
    for (auto& o : ordr) {
        EXPECT_EQ(as_float(o.p[1]), 2.0f);
        if (o.p[0] == b->id) {
            found_b = true;
            EXPECT_FLOAT_EQ(as_float(o.p[2]), 100.0f);
            EXPECT_FLOAT_EQ(as_float(o.p[3]), 50.0f);
        }
    }
    EXPECT_TRUE(found_b);
}

TEST(Orders, ReceivedOrdersOnlyForTheSendersOwnTeam)
{
    fresh_game(1);
    unit* u = soldier(0, 0, 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(issue_unit_order(u->id, 0, ORDER_MOVE, 50, 50), -1);
    EXPECT_EQ(issue_unit_order(0x80999, 1, ORDER_MOVE, 50, 50), -1);
    const std::string err = testing::internal::GetCapturedStderr();
    char line[96];
    snprintf(line, sizeof line, "member of team 0 tried to order unit %8.8X of team 1", u->id);
    EXPECT_NE(err.find(line), std::string::npos) << err;
    EXPECT_NE(err.find("to unit 00080999 which doesn't exist!"), std::string::npos) << err;
    EXPECT_EQ(u->order_kind, ORDER_NONE);

    EXPECT_EQ(issue_unit_order(u->id, 1, ORDER_MOVE, 50, 50), 0);
    EXPECT_EQ(u->order_kind, ORDER_MOVE);
    EXPECT_EQ(u->order_x, 50.0f);
}

TEST(Simulation, MotionInvisibilityAndFixedUnits)
{
    fresh_game();
    unit* walker = soldier(0, 0, 1);
    walker->y = 50.0f;
    walker->vx = 2.0f;
    walker->order_kind = ORDER_HOLD;  // behaviour keeps still velocities
    walker->invisible = 1;
    walker->invisible_until = game_time - 0.01f;
    unit* archer = soldier(50, 50, 1, HUMANOID_ARCHER);
    archer->fixed = 1;
    archer->y = 80.0f;
    archer->vx = 5.0f;
    simulate_units(0.5f);
    EXPECT_EQ(walker->invisible, 0);
    EXPECT_EQ(walker->invisible_until, -1.0f);
    EXPECT_NEAR(walker->x, 1.0f, 1e-5);
    EXPECT_EQ(archer->x, 50.0f);  // fixed: the shared step is skipped
    EXPECT_EQ(archer->y, 80.0f);  // and it never falls
}

TEST(Registry, CountersStayInTheirClass)
{
    fresh_game();  // this copy defends
    humanoid_id = HUMANOID_SERIALS - 1;
    EXPECT_EQ(add_humanoid()->id, DEFENDER_HUMANOID_BASE + HUMANOID_SERIALS - 1);
    // Past the last serial the count starts again, skipping ids in use.
    unit* first = add_humanoid();
    EXPECT_EQ(first->id, DEFENDER_HUMANOID_BASE);
    EXPECT_EQ(add_humanoid()->id, DEFENDER_HUMANOID_BASE + 1);
    del_unit(first);
    humanoid_id = HUMANOID_SERIALS;
    EXPECT_EQ(add_humanoid()->id, DEFENDER_HUMANOID_BASE);

    // A catapult announced with the last serial of its class: the count
    // starts again, and the next one made here is still a catapult.
    spawn_unit(0x1FFFF, 0, 0);
    EXPECT_EQ(catapult_id, 0);
    EXPECT_EQ(next_unit_id(ID_CLASS_CATAPULT, catapult_id), 0x10000u);
    EXPECT_EQ(catapult_id, 1);
}

TEST(Headings, WrappingTakesOneStepForAnyValue)
{
    EXPECT_EQ(wrap_360(370.0f), 10.0f);
    EXPECT_EQ(wrap_360(720.0f), 360.0f);
    EXPECT_EQ(wrap_360(-90.0f), 270.0f);
    EXPECT_EQ(near_heading(350.0f, 10.0f), -10.0f);
    EXPECT_EQ(near_heading(-170.0f, 170.0f), 190.0f);
    // Values no turn by turn would ever bring home end at once.
    for (float v : {1e30f, -1e30f, 3.4e38f, 1e9f, 123456789.0f}) {
        const float w = wrap_360(v);
        EXPECT_TRUE(w >= 0.0f && w <= 360.0f) << v;
        const float h = near_heading(v, 0.0f);
        EXPECT_TRUE(h > -180.0f && h <= 180.0f) << v;
        const float r = near_heading(0.0f, v);
        EXPECT_TRUE(r - v > -180.0f && r - v <= 180.0f) << v;
    }
    EXPECT_TRUE(std::isnan(wrap_360(INFINITY)));
    EXPECT_TRUE(std::isnan(near_heading(INFINITY, 0.0f)));
    EXPECT_TRUE(std::isnan(near_heading(0.0f, NAN)));
}

// find_unit answers from an index by id: through adds, deletions (the one
// stepped and others), ids given anew and ids carried twice, it must name
// the unit the plain walk of the registry finds first; for ids of a class
// units are made in and for any other id a peer may name.
TEST(Registry, IdIndexFollowsEveryAddAndDelete)
{
    empty_registry();
    auto plain = [](uint32_t id) -> unit* {
        for (unit* u = unit_list; u; u = u->next)
            if (u->id == id)
                return u;
        return nullptr;
    };
    const uint32_t bases[2] = {0x70000u, 0x7a0000u};
    auto ours = [&](const unit* u) { return u->id >> 16 == 7 || u->id >> 16 == 0x7a; };
    game_srand(21);
    for (int step = 0; step < 1200; ++step) {
        const int what = game_rand() % 6;
        const uint32_t id = bases[game_rand() % 2] + static_cast<uint32_t>(game_rand() % 40);
        if (what <= 2) {
            add_unit(id)->team = 0;  // some ids twice or more
        } else if (what <= 4 && count_units() > 0) {
            int k = game_rand() % count_units();
            unit* u = unit_list;
            while (k-- > 0)
                u = u->next;
            if (ours(u))
                del_unit(u);
        } else {
            // Another id for the second of this test's units (never a figure).
            unit* u = unit_list;
            int seen = 0;
            for (; u; u = u->next)
                if (ours(u) && ++seen == 2)
                    break;
            if (u)
                set_unit_id(u, id);
        }
        for (uint32_t base : bases)
            for (uint32_t probe = base; probe < base + 40; ++probe)
                ASSERT_EQ(find_unit(probe), plain(probe)) << "step " << step << " id " << probe;
    }
    empty_registry();
    for (uint32_t base : bases)
        for (uint32_t probe = base; probe < base + 40; ++probe)
            EXPECT_EQ(find_unit(probe), nullptr);
}

// A unit a member of this copy's side made: this copy leads, so it steers
// the unit, and places it by the member's first record only; it reports the
// unit once placed, or once that record is overdue.
TEST(Registry, TheLeaderPlacesAMembersUnitByItsFirstRecord)
{
    fresh_game(0);  // this copy's number is 500
    add_member("summoner", 0x0200000A, 0, 900);
    const auto announce = [](uint32_t id) {
        deliver(build_command_message("UNIT", id, bits_of(static_cast<float>(HUMANOID_GOBLIN)), 0, 0), 0x0200000A);
    };
    const auto record = [](uint32_t id, float x) {
        deliver(updm_batch({record_values(id, {x, 12.0f, 40.0f, 90.0f, 0.0f, 0.0f, 0.0f})}), 0x0200000A);
    };
    const auto records_sent = [] {  // in this copy's next batch
        sent_datagrams().clear();
        send_unit_messages();
        flush_updm_list();
        uint32_t count = 0;
        std::memcpy(&count, &sent_datagrams().at(0)[4], 4);
        return count;
    };
    const uint32_t figures = records_sent();  // the players' figures
    announce(0x81005);
    unit* u = find_unit(0x81005);
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(records_sent(), figures);
    record(0x81005, 30.0f);
    EXPECT_EQ(u->x, 30.0f);
    EXPECT_EQ(records_sent(), figures + 1);
    record(0x81005, 50.0f);  // once placed, the leader steers it alone
    EXPECT_EQ(u->x, 30.0f);

    announce(0x81006);  // its record never comes
    EXPECT_EQ(records_sent(), figures + 1);
    game_time += 1.5f;
    EXPECT_EQ(records_sent(), figures + 2);
}
