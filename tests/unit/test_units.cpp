// The unit registry: creation, spawning from the network, deletion,
// orders, crowd separation and the per-frame step.
#include <cmath>
#include <cstring>
#include <vector>

#include "game_fixture.h"
#include "platform/random.h"
#include "sim/messages.h"
#include "sim/catapult.h"

struct Registry : game_test {};
struct Separation : game_test {};
struct Orders : game_test {};
struct Simulation : game_test {};

TEST_F(Registry, NewUnitIsNudgedSoItSeparatesOnItsFirstFrame)
{
    world& w = fresh_game();
    unit* u = add_unit(w, 0x80123);
    EXPECT_EQ(w.units.list, u);  // newest first
    EXPECT_FLOAT_EQ(u->vx, 0.1f);
    EXPECT_EQ(u->vy, 0.0f);
    EXPECT_EQ(u->vz, 0.0f);
    EXPECT_EQ(u->radius, 1.0f);
    EXPECT_EQ(u->invisible_until, -1.0f);
    EXPECT_EQ(find_unit(w, 0x80123), u);
    EXPECT_EQ(find_unit(w, 0x80124), nullptr);
}

TEST_F(Registry, SpawningAnExistingIdChangesNothing)
{
    world& w = fresh_game();
    spawn_unit(w, 0x81004, 0, HUMANOID_GOBLIN);
    const int n = count_units(w);
    unit* first = find_unit(w, 0x81004);
    ASSERT_NE(first, nullptr);
    testing::internal::CaptureStderr();
    spawn_unit(w, 0x81004, 0, HUMANOID_FOOTMAN);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Trying to spawn 00081004, which already exists"), std::string::npos) << err;
    EXPECT_EQ(count_units(w), n);
    EXPECT_EQ(humanoid_of(first)->kind, HUMANOID_GOBLIN);
}

TEST_F(Registry, MadeUnitsAreAnnouncedAgainAndTheRepeatIsQuiet)
{
    world& w = fresh_game(1);
    unit* mine = soldier(0, 0, 1);
    sent.clear();
    announce_made_units_again(w);
    const auto again = sent_commands("UNIT");
    ASSERT_EQ(again.size(), 1u);  // the soldier; not this copy's own figure
    EXPECT_EQ(again[0].p[0], mine->id);
    EXPECT_EQ(again[0].f(1), static_cast<float>(HUMANOID_FOOTMAN));
    // On a copy that heard the first: the creator's repeat changes nothing
    // and says nothing.
    add_member("boss", 0x0200000A, 0, 10);
    const auto unit_cmd = build_command_message("UNIT", 0x81007, bits_of(static_cast<float>(HUMANOID_GOBLIN)), 0, 0);
    deliver(unit_cmd, 0x0200000A);
    ASSERT_NE(find_unit(w, 0x81007), nullptr);
    const int n = count_units(w);
    testing::internal::CaptureStderr();
    deliver(unit_cmd, 0x0200000A);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(count_units(w), n);

    // Another copy's first state records of a game (it has joined the
    // game's channel, perhaps after the announcements) bring them again,
    // once a copy and game.
    for (int round = 0; round < 2; ++round) {
        if (round == 1) {
            // The next game: a world of its own, with a soldier of this
            // copy's in it.
            play_world();
            soldier(0, 0, 1);
        }
        for (int batch = 0; batch < 2; ++batch) {
            sent.clear();
            deliver(state_batch_bytes({}), 0x0200000A);
            EXPECT_EQ(sent_commands("UNIT").size(), batch == 0 ? 1u : 0u);
        }
    }
}

// Two copies that made a unit under one id at the same moment: the id stays
// with the lower number, on the copies that made them and on one that heard
// both, and no death is announced for a unit made again.
TEST_F(Registry, AnIdTwoCopiesMadeStaysWithTheLowerNumber)
{
    world& w = fresh_game(0);  // this copy's number is 500
    add_member("low", 0x0200000A, 0, 10);
    add_member("high", 0x0300000A, 0, 900);
    const auto announce = [this](uint32_t id, int kind, uint32_t sender) {
        deliver(build_command_message("UNIT", id, bits_of(static_cast<float>(kind)), 0, 0), sender);
    };
    unit* mine = soldier(5.0f, 7.0f, 0, HUMANOID_GOBLIN);
    const uint32_t id = mine->id;
    sent.clear();
    announce(id, HUMANOID_GHOUL, 0x0300000A);  // a higher number: ours stays
    EXPECT_EQ(find_unit(w, id), mine);
    EXPECT_TRUE(sent_commands().empty());
    announce(id, HUMANOID_GHOUL, 0x0200000A);  // a lower number keeps the id
    const unit* theirs = find_unit(w, id);
    ASSERT_NE(theirs, mine);
    EXPECT_EQ(theirs->creator, 0x0200000Au);
    EXPECT_EQ(humanoid_kind_of(theirs), HUMANOID_GHOUL);
    EXPECT_TRUE(id_made_by_team(mine->id, 0));
    EXPECT_EQ(find_unit(w, mine->id), mine);
    EXPECT_EQ(humanoid_kind_of(mine), HUMANOID_GOBLIN);
    const auto again = sent_commands("UNIT");
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].p[0], mine->id);

    announce(0x81100, HUMANOID_GOBLIN, 0x0300000A);
    announce(0x81100, HUMANOID_GHOUL, 0x0200000A);
    announce(0x81101, HUMANOID_GHOUL, 0x0200000A);
    announce(0x81101, HUMANOID_GOBLIN, 0x0300000A);
    for (uint32_t other : {0x81100u, 0x81101u})
        EXPECT_EQ(humanoid_kind_of(find_unit(w, other)), HUMANOID_GHOUL);
    EXPECT_TRUE(sent_commands("UDIE").empty());
}

TEST_F(Registry, CountersFollowReceivedIds)
{
    world& w = fresh_game();
    w.units.catapult_counter = 3;
    spawn_unit(w, 0x10007, 0, 0);
    EXPECT_EQ(w.units.catapult_counter, 8);
    spawn_unit(w, 0x10002, 0, 0);
    EXPECT_EQ(w.units.catapult_counter, 8);

    w.units.humanoid_counter = 3;
    spawn_unit(w, 0x81005, 0, HUMANOID_GOBLIN);
    EXPECT_EQ(w.units.humanoid_counter, 6u);
    spawn_unit(w, 0x81002, 0, HUMANOID_GOBLIN);
    EXPECT_EQ(w.units.humanoid_counter, 6u);
    // Only the low 12 bits count: an attacker's range does not jump the
    // counter by 0x1000.
    spawn_unit(w, 0x81009, 0, HUMANOID_GOBLIN);
    EXPECT_EQ(w.units.humanoid_counter, 10u);
    unit* mine = add_humanoid(w);
    EXPECT_EQ(mine->id, 0x8000Au);  // this copy defends
}

TEST_F(Registry, DeletingUnlinksAndAnnounces)
{
    world& w = fresh_game(1);
    unit* a = soldier(0, 0, 1);
    unit* b = soldier(5, 0, 1);
    unit* c = soldier(10, 0, 1);
    del_unit(w, b);  // the middle one
    EXPECT_EQ(a->prev, c);
    EXPECT_EQ(c->next, a);
    const uint32_t cid = c->id;
    del_unit(w, c);  // the head
    EXPECT_EQ(w.units.list, a);
    EXPECT_EQ(a->prev, nullptr);
    EXPECT_EQ(find_unit(w, cid), nullptr);
    EXPECT_EQ(w.units.win_check_due, 1);
    auto udie = sent_commands("UDIE");
    ASSERT_EQ(udie.size(), 2u);
    EXPECT_EQ(udie[1].p[0], cid);
}

TEST_F(Registry, AnotherParticipantsFigureLeavesTheTableUnannounced)
{
    world& w = fresh_game(1);
    int idx = add_member("other", 0x0200000A, 1, 700);
    unit* fig = s.parts[static_cast<size_t>(idx)].figure;
    sent.clear();
    del_unit(w, fig);
    EXPECT_EQ(static_cast<int>(s.parts.size()), 1);
    EXPECT_TRUE(sent_commands("UDIE").empty());
}

TEST_F(Registry, DeathsAreDecidedAndAnnouncedByTheCreatorAlone)
{
    world& w = fresh_game(1);
    add_member("boss", 0x0200000A, 1, 10);  // lower number: leads
    // A footman of the leader's, as this copy made it from "UNIT": its
    // real health; wounded past death it waits for the leader's word.
    spawn_unit(w, 0x80005, 1, HUMANOID_FOOTMAN);
    unit* theirs = find_unit(w, 0x80005);
    ASSERT_NE(theirs, nullptr);
    EXPECT_EQ(theirs->health, 3.0f);
    sent.clear();
    take_unit_damage(w, 2.0f, theirs);
    take_unit_damage(w, 2.0f, theirs);
    ASSERT_EQ(find_unit(w, 0x80005), theirs);
    EXPECT_EQ(theirs->health, 0.0f);
    kill_unit(w, 0x80005);  // the "UDIE"
    EXPECT_EQ(find_unit(w, 0x80005), nullptr);
    // A unit this copy summoned is its own to decide, leader or not.
    unit* mine = soldier(0, 0, 1);
    const uint32_t id = mine->id;
    take_unit_damage(w, mine->health, mine);
    EXPECT_EQ(find_unit(w, id), nullptr);
    const auto udie = sent_commands("UDIE");
    ASSERT_EQ(udie.size(), 1u);
    EXPECT_EQ(udie[0].p[0], id);

    // A creator that leaves (its figure died) hands the decision to the
    // side's leader: first the next copy in line, then this one.
    const int third = add_member("third", 0x0300000A, 1, 300);
    for (uint32_t id : {0x80006u, 0x80007u})
        deliver(build_command_message("UNIT", id, bits_of(static_cast<float>(HUMANOID_FOOTMAN)), 0, 0), 0x0200000A);
    unit* orphan = find_unit(w, 0x80006);
    ASSERT_NE(orphan, nullptr);
    take_unit_damage(w, 1.0f, orphan);
    take_unit_damage(w, 3.0f, find_unit(w, 0x80007));  // struck down, waits for "boss"
    EXPECT_FALSE(decides_death(w, orphan));
    kill_unit(w, FIGURE_ID_BASE + 10);  // "boss" leaves the table
    EXPECT_FALSE(decides_death(w, orphan));  // "third" leads now
    bury_orphaned_dead(w);
    EXPECT_NE(find_unit(w, 0x80007), nullptr);
    kill_unit(w, s.parts[static_cast<size_t>(third)].figure->id);
    sent.clear();
    // This copy leads now: the one struck down is buried without another
    // blow, the wounded one lives on.
    bury_orphaned_dead(w);
    EXPECT_EQ(find_unit(w, 0x80007), nullptr);
    EXPECT_EQ(find_unit(w, 0x80006), orphan);
    ASSERT_EQ(sent_commands("UDIE").size(), 1u);
    EXPECT_EQ(sent_commands("UDIE")[0].p[0], 0x80007u);
    sent.clear();
    take_unit_damage(w, 2.0f, orphan);
    EXPECT_EQ(find_unit(w, 0x80006), nullptr);
    ASSERT_EQ(sent_commands("UDIE").size(), 1u);
    EXPECT_EQ(sent_commands("UDIE")[0].p[0], 0x80006u);
}

TEST_F(Separation, PushedOutOnlyWhenOverlapping)
{
    world& w = fresh_game();
    unit* still = soldier(0, 0, 1);
    unit* mover = soldier(1.5f, 0, 1);
    separate_unit(w, mover);
    EXPECT_NEAR(mover->x, 2.0f, 1e-5);
    EXPECT_NEAR(mover->z, 0.0f, 1e-5);
    EXPECT_EQ(still->x, 0.0f);  // the other moves on its own turn

    mover->x = 0.0f;
    mover->z = 2.0f;  // exactly touching
    separate_unit(w, mover);
    EXPECT_EQ(mover->x, 0.0f);
    EXPECT_EQ(mover->z, 2.0f);
}

TEST_F(Separation, SameSpotJumpsAlongARandomDirection)
{
    world& w = fresh_game();
    soldier(3, 4, 1);
    unit* mover = soldier(3, 4, 1);
    separate_unit(w, mover);
    const float d = std::hypot(mover->x - 3.0f, mover->z - 4.0f);
    EXPECT_NEAR(d, 1.0f, 1e-5);  // R - 1 with R = 2
}

TEST_F(Orders, GroupKeepsItsShape)
{
    world& w = fresh_game(1);
    unit* a = soldier(0, 0, 1);
    unit* b = soldier(10, 0, 1);
    issue_order(w, {a->id, b->id}, 100, 50, ORDER_MOVE);
    EXPECT_FLOAT_EQ(a->order_x, 95.0f);
    EXPECT_FLOAT_EQ(a->order_z, 50.0f);
    EXPECT_FLOAT_EQ(b->order_x, 105.0f);
    EXPECT_FLOAT_EQ(b->order_z, 50.0f);
    EXPECT_EQ(a->order_kind, ORDER_MOVE);
    EXPECT_TRUE(sent_commands("ORDR").empty());  // the leader applies directly
}

TEST_F(Orders, HeadingTowardTheGoal)
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

TEST_F(Orders, NonLeaderSendsOneOrderPerSelectedFriendAndChangesNothing)
{
    world& w = fresh_game(1);
    add_member("boss", 0x0200000A, 1, 10);
    unit* a = soldier(0, 0, 1);
    unit* b = soldier(10, 0, 1);
    unit* c = soldier(20, 0, 1);
    issue_order(w, {a->id, b->id, c->id}, 100, 50, ORDER_ATTACK);
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

TEST_F(Orders, ReceivedOrdersOnlyForTheSendersOwnTeam)
{
    world& w = fresh_game(1);
    unit* u = soldier(0, 0, 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(issue_unit_order(w, u->id, 0, ORDER_MOVE, 50, 50), -1);
    EXPECT_EQ(issue_unit_order(w, 0x80999, 1, ORDER_MOVE, 50, 50), -1);
    const std::string err = testing::internal::GetCapturedStderr();
    char line[96];
    snprintf(line, sizeof line, "member of team 0 tried to order unit %8.8X of team 1", u->id);
    EXPECT_NE(err.find(line), std::string::npos) << err;
    EXPECT_NE(err.find("to unit 00080999 which doesn't exist!"), std::string::npos) << err;
    EXPECT_EQ(u->order_kind, ORDER_NONE);

    EXPECT_EQ(issue_unit_order(w, u->id, 1, ORDER_MOVE, 50, 50), 0);
    EXPECT_EQ(u->order_kind, ORDER_MOVE);
    EXPECT_EQ(u->order_x, 50.0f);
}

TEST_F(Simulation, MotionInvisibilityAndFixedUnits)
{
    world& w = fresh_game();
    unit* walker = soldier(0, 0, 1);
    walker->y = 50.0f;
    walker->vx = 2.0f;
    walker->order_kind = ORDER_HOLD;  // behaviour keeps still velocities
    walker->invisible = 1;
    walker->invisible_until = w.time - 0.01f;
    unit* archer = soldier(50, 50, 1, HUMANOID_ARCHER);
    archer->fixed = 1;
    archer->y = 80.0f;
    archer->vx = 5.0f;
    simulate_units(w, 0.5f);
    EXPECT_EQ(walker->invisible, 0);
    EXPECT_EQ(walker->invisible_until, -1.0f);
    EXPECT_NEAR(walker->x, 1.0f, 1e-5);
    EXPECT_EQ(archer->x, 50.0f);  // fixed: the shared step is skipped
    EXPECT_EQ(archer->y, 80.0f);  // and it never falls
}

TEST_F(Registry, CountersStayInTheirClass)
{
    world& w = fresh_game();  // this copy defends
    w.units.humanoid_counter = HUMANOID_SERIALS - 1;
    EXPECT_EQ(add_humanoid(w)->id, DEFENDER_HUMANOID_BASE + HUMANOID_SERIALS - 1);
    // Past the last serial the count starts again, skipping ids in use.
    unit* first = add_humanoid(w);
    EXPECT_EQ(first->id, DEFENDER_HUMANOID_BASE);
    EXPECT_EQ(add_humanoid(w)->id, DEFENDER_HUMANOID_BASE + 1);
    del_unit(w, first);
    w.units.humanoid_counter = HUMANOID_SERIALS;
    EXPECT_EQ(add_humanoid(w)->id, DEFENDER_HUMANOID_BASE);

    // A catapult announced with the last serial of its class: the count
    // starts again, and the next one made here is still a catapult.
    spawn_unit(w, 0x1FFFF, 0, 0);
    EXPECT_EQ(w.units.catapult_counter, 0);
    EXPECT_EQ(next_unit_id(w, ID_CLASS_CATAPULT, w.units.catapult_counter), 0x10000u);
    EXPECT_EQ(w.units.catapult_counter, 1);
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
TEST_F(Registry, IdIndexFollowsEveryAddAndDelete)
{
    world& w = fresh_game();
    auto plain = [&w](uint32_t id) -> unit* {
        for (unit* u = w.units.list; u; u = u->next)
            if (u->id == id)
                return u;
        return nullptr;
    };
    const uint32_t bases[2] = {0x70000u, 0x7a0000u};
    auto ours = [&](const unit* u) { return u->id >> 16 == 7 || u->id >> 16 == 0x7a; };
    stream_srand(w.rng, 21);
    for (int step = 0; step < 1200; ++step) {
        const int what = w.rand() % 6;
        const uint32_t id = bases[w.rand() % 2] + static_cast<uint32_t>(w.rand() % 40);
        if (what <= 2) {
            add_unit(w, id)->team = 0;  // some ids twice or more
        } else if (what <= 4 && count_units(w) > 0) {
            int k = w.rand() % count_units(w);
            unit* u = w.units.list;
            while (k-- > 0)
                u = u->next;
            if (ours(u))
                del_unit(w, u);
        } else {
            // Another id for the second of this test's units (never a figure).
            unit* u = w.units.list;
            int seen = 0;
            for (; u; u = u->next)
                if (ours(u) && ++seen == 2)
                    break;
            if (u)
                set_unit_id(w, u, id);
        }
        for (uint32_t base : bases)
            for (uint32_t probe = base; probe < base + 40; ++probe)
                ASSERT_EQ(find_unit(w, probe), plain(probe)) << "step " << step << " id " << probe;
    }
    for (unit* u = w.units.list; u;) {
        unit* next = u->next;
        if (ours(u))
            del_unit(w, u);
        u = next;
    }
    for (uint32_t base : bases)
        for (uint32_t probe = base; probe < base + 40; ++probe)
            EXPECT_EQ(find_unit(w, probe), nullptr);
}

// A unit a member of this copy's side made: this copy leads, so it steers
// the unit, and places it by the member's first record only; it reports the
// unit once placed, or once that record is overdue.
TEST_F(Registry, TheLeaderPlacesAMembersUnitByItsFirstRecord)
{
    world& w = fresh_game(0);  // this copy's number is 500
    add_member("summoner", 0x0200000A, 0, 900);
    const auto announce = [this](uint32_t id) {
        deliver(build_command_message("UNIT", id, bits_of(static_cast<float>(HUMANOID_GOBLIN)), 0, 0), 0x0200000A);
    };
    const auto record = [this](uint32_t id, float x) {
        deliver(state_batch_bytes({record_values(id, {x, 12.0f, 40.0f, 90.0f, 0.0f, 0.0f, 0.0f})}), 0x0200000A);
    };
    const auto records_sent = [this, &w] {  // in this copy's next batch
        sent.clear();
        send_unit_messages(w);
        flush_state_batch(w);
        uint32_t count = 0;
        std::memcpy(&count, &sent.at(0)[4], 4);
        return count;
    };
    const uint32_t figures = records_sent();  // the players' figures
    announce(0x81005);
    unit* u = find_unit(w, 0x81005);
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(records_sent(), figures);
    record(0x81005, 30.0f);
    EXPECT_EQ(u->x, 30.0f);
    EXPECT_EQ(records_sent(), figures + 1);
    record(0x81005, 50.0f);  // once placed, the leader steers it alone
    EXPECT_EQ(u->x, 30.0f);

    announce(0x81006);  // its record never comes
    EXPECT_EQ(records_sent(), figures + 1);
    w.time += 1.5f;
    EXPECT_EQ(records_sent(), figures + 2);
}

// The kind table is read by place: each kind finds its own row, and its
// id class finds the same row.
TEST(UnitKinds, EachKindFindsItsOwnRow)
{
    for (int kind = UNIT_HUMANOID; kind <= UNIT_SHIP; ++kind) {
        const unit_kind_row* row = kind_row(kind);
        ASSERT_NE(row, nullptr) << kind;
        EXPECT_EQ(row->kind, kind);
        EXPECT_EQ(class_row(row->id_class), row) << row->name;
    }
    EXPECT_EQ(kind_row(0), nullptr);
    EXPECT_EQ(kind_row(UNIT_SHIP + 1), nullptr);
    EXPECT_EQ(kind_row(-1), nullptr);
}
