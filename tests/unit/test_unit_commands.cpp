// Unit commands from other copies, including hostile ones: every refusal
// says why, and no datagram naming a dead or unknown unit does harm.
#include <cmath>

#include "game_fixture.h"
#include "sim/catapult.h"
#include "sim/projectile.h"
#include "sim/sides.h"

static const uint32_t ATTACKER = 0x0300000A;  // an attackers' copy
static const uint32_t DEFENDER = 0x0400000A;  // another defenders' copy

struct UnitCommand : game_test {
    world& setup_two_sides()
    {
        world& w = fresh_game(1);  // this copy leads the defenders (number 500)
        add_member("raider", ATTACKER, 0, 20);
        add_member("guard", DEFENDER, 1, 800);
        sent.clear();
        return w;
    }

    std::string deliver_command(const char (&tag)[5], uint32_t p1, uint32_t p2, uint32_t p3, uint32_t p4,
                                uint32_t sender)
    {
        s.refusals.reports.clear();  // every refusal prints its line here
        testing::internal::CaptureStderr();
        deliver(build_command_message(tag, p1, p2, p3, p4), sender);
        return testing::internal::GetCapturedStderr();
    }
};

TEST_F(UnitCommand, UnitCreatesOnTheSendersTeam)
{
    world& w = setup_two_sides();
    testing::internal::CaptureStdout();
    deliver_command("UNIT", 0x81007, bits_of(4.0f), 0, 0, ATTACKER);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("spawning unit 00081007 for team 0"), std::string::npos) << out;
    unit* g = find_unit(w, 0x81007);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->team, 0);
    EXPECT_EQ(humanoid_of(g)->type, &goblin_type);
    EXPECT_EQ(w.units.humanoid_counter, 8u);
}

TEST_F(UnitCommand, GarbageKindsCreateNothing)
{
    world& w = setup_two_sides();
    const int n = count_units(w);
    std::string err = deliver_command("UNIT", 0x81010, bits_of(NAN), 0, 0, ATTACKER);
    err += deliver_command("UNIT", 0x81011, bits_of(99.0f), 0, 0, ATTACKER);
    EXPECT_EQ(count_units(w), n);
    EXPECT_NE(err.find("unknown type"), std::string::npos) << err;
}

TEST_F(UnitCommand, OrdersForTheOtherTeamsUnitsAreRefused)
{
    setup_two_sides();
    unit* f = soldier(0, 0, 1);
    std::string err = deliver_command("ORDR", f->id, bits_of(1.0f), bits_of(50.0f), bits_of(60.0f), ATTACKER);
    char line[96];
    snprintf(line, sizeof line, "member of team 0 tried to order unit %8.8X of team 1", f->id);
    EXPECT_NE(err.find(line), std::string::npos) << err;
    EXPECT_EQ(f->order_kind, ORDER_NONE);

    // A team mate's order is carried out by this leader.
    err = deliver_command("ORDR", f->id, bits_of(2.0f), bits_of(50.0f), bits_of(60.0f), DEFENDER);
    EXPECT_EQ(err, "");
    EXPECT_EQ(f->order_kind, ORDER_ATTACK);
    EXPECT_EQ(f->order_x, 50.0f);

    // Orders that are no orders.
    err = deliver_command("ORDR", f->id, bits_of(9.0f), bits_of(1.0f), bits_of(1.0f), DEFENDER);
    err += deliver_command("ORDR", f->id, bits_of(1.0f), bits_of(INFINITY), bits_of(1.0f), DEFENDER);
    EXPECT_EQ(f->order_x, 50.0f);
    EXPECT_NE(err.find("is no order"), std::string::npos) << err;

    err = deliver_command("ORDR", 0x80777, bits_of(1.0f), bits_of(1.0f), bits_of(1.0f), DEFENDER);
    EXPECT_NE(err.find("to unit 00080777 which doesn't exist!"), std::string::npos) << err;
}

TEST_F(UnitCommand, DeathsOnlyFromTheUnitsCreatorOrTheFiguresPlayer)
{
    world& w = setup_two_sides();
    unit* f = soldier(0, 0, 1);
    const uint32_t id = f->id;
    std::string err = deliver_command("UDIE", 0x80999, 0, 0, 0, DEFENDER);  // unknown: nothing
    EXPECT_EQ(err, "");
    err = deliver_command("UDIE", id, 0, 0, 0, ATTACKER);
    char line[96];
    snprintf(line, sizeof line, "member of team 0 tried to kill unit %8.8X of team 1", id);
    EXPECT_NE(err.find(line), std::string::npos) << err;
    EXPECT_EQ(find_unit(w, id), f);

    // Nobody kills this copy's own figure from outside.
    unit* self = w.me;
    deliver_command("UDIE", self->id, 0, 0, 0, DEFENDER);
    EXPECT_EQ(w.me, self);

    // A unit made here dies by this copy's word alone, even when a team
    // mate names it (it may have made one of the same id at the same time).
    err = deliver_command("UDIE", id, 0, 0, 0, DEFENDER);
    snprintf(line, sizeof line, "UDIE for unit %8.8X from 0400000A, which does not decide its death, ignored", id);
    EXPECT_NE(err.find(line), std::string::npos) << err;
    EXPECT_EQ(find_unit(w, id), f);
    // A team mate's figure dies by its own player's word, not another's.
    add_member("sentry", 0x0500000A, 1, 900);
    unit* sentry = s.parts[3].figure;
    deliver_command("UDIE", sentry->id, 0, 0, 0, DEFENDER);
    ASSERT_EQ(s.parts[3].figure, sentry);
    deliver_command("UDIE", sentry->id, 0, 0, 0, 0x0500000A);
    EXPECT_EQ(find_participant(s, 0x0500000A), -1);
    // One announced by a team mate dies at its creator's word alone.
    f->made_here = 0;
    f->creator = 0x0300000A;  // (as if the raider had made it: it would be refused)
    deliver_command("UDIE", id, 0, 0, 0, DEFENDER);
    EXPECT_EQ(find_unit(w, id), f);
    f->creator = DEFENDER;
    deliver_command("UDIE", id, 0, 0, 0, DEFENDER);
    EXPECT_EQ(find_unit(w, id), nullptr);
    // Naming it again, in any command, is harmless.
    err = deliver_command("UDIE", id, 0, 0, 0, DEFENDER);
    err += deliver_command("USWD", id, w.me->id, bits_of(0.0f), 0, DEFENDER);
    err += deliver_command("INVS", id, bits_of(5.0f), 0, 0, DEFENDER);
    err += deliver_command("ORDR", id, bits_of(1.0f), 0, 0, DEFENDER);
    char swing[96];
    snprintf(swing, sizeof swing, "Unit %8.8X trying to swing sword at %8.8X, but doesn't exist", id, w.me->id);
    EXPECT_NE(err.find(swing), std::string::npos) << err;
    snprintf(swing, sizeof swing, "INVS for unit %8.8X, which is not the sender's figure, ignored", id);
    EXPECT_NE(err.find(swing), std::string::npos) << err;
}

TEST_F(UnitCommand, SwordBlowsReplayTheStroke)
{
    world& w = setup_two_sides();
    unit* victim = soldier(0, 0, 1);
    unit* goblin = soldier(0, 2, 0, HUMANOID_GOBLIN);
    std::string err = deliver_command("USWD", goblin->id, victim->id, bits_of(180.0f), 0, ATTACKER);
    EXPECT_EQ(err, "");
    EXPECT_EQ(goblin->heading, 180.0f);
    EXPECT_EQ(victim->health, 2.0f);  // this copy is on the victim's team
    EXPECT_EQ(humanoid_of(goblin)->swing_started, w.time);

    // A defender cannot swing the attackers' goblin.
    err = deliver_command("USWD", goblin->id, victim->id, bits_of(0.0f), 0, DEFENDER);
    EXPECT_NE(err.find("tried to strike with unit"), std::string::npos) << err;
    EXPECT_EQ(victim->health, 2.0f);

    err = deliver_command("USWD", goblin->id, 0x80555, bits_of(0.0f), 0, ATTACKER);
    char line[96];
    snprintf(line, sizeof line, "Unit %8.8X trying to attack unit 00080555 which doesn't exist", goblin->id);
    EXPECT_NE(err.find(line), std::string::npos) << err;
}

TEST_F(UnitCommand, InvisibilityUntilItsEndTimeForTheSendersOwnFigureOnly)
{
    world& w = setup_two_sides();
    unit* raider = s.parts[static_cast<size_t>(find_participant(s, ATTACKER))].figure;
    ASSERT_NE(raider, nullptr);
    deliver_command("INVS", raider->id, bits_of(w.time + 15.0f), 0, 0, ATTACKER);
    EXPECT_EQ(raider->invisible, 1);
    w.time += 16.0f;
    simulate_units(w, 0.01f);
    EXPECT_EQ(raider->invisible, 0);

    // No end time, or one far beyond the spell's: refused, each with its line.
    std::string err = deliver_command("INVS", raider->id, bits_of(NAN), 0, 0, ATTACKER);
    err += deliver_command("INVS", raider->id, bits_of(INFINITY), 0, 0, ATTACKER);
    err += deliver_command("INVS", raider->id, bits_of(w.time + 1000.0f), 0, 0, ATTACKER);
    EXPECT_EQ(raider->invisible, 0);
    EXPECT_NE(err.find("without an end time"), std::string::npos) << err;
    EXPECT_NE(err.find("not within the next 30 s"), std::string::npos) << err;
    // An end time already past (or below zero, which once meant "for ever")
    // hides nothing; one hidden unit with such a time shows at the next step.
    err = deliver_command("INVS", raider->id, bits_of(-5.0f), 0, 0, ATTACKER);
    EXPECT_EQ(raider->invisible, 0);
    EXPECT_NE(err.find("not within the next 30 s"), std::string::npos) << err;
    make_unit_invisible(w, raider->id, -5.0f);
    simulate_units(w, 0.01f);
    EXPECT_EQ(raider->invisible, 0);

    // Nobody hides another copy's figure or the units of either side.
    unit* f = soldier(0, 0, 1);
    err = deliver_command("INVS", f->id, bits_of(w.time + 15.0f), 0, 0, ATTACKER);
    err += deliver_command("INVS", raider->id, bits_of(w.time + 15.0f), 0, 0, DEFENDER);
    EXPECT_EQ(f->invisible + raider->invisible, 0);
    EXPECT_NE(err.find("not the sender's figure"), std::string::npos) << err;
}

TEST_F(UnitCommand, StrangersAndTheMenuAreIgnored)
{
    world& w = setup_two_sides();
    const int n = count_units(w);
    std::string err = deliver_command("UNIT", 0x81050, bits_of(4.0f), 0, 0, 0x0900000A);
    EXPECT_NE(err.find("Received CMND message from unknown source: 0900000A"), std::string::npos) << err;
    s.phase = STATE_MENU;
    deliver_command("UNIT", 0x81051, bits_of(4.0f), 0, 0, ATTACKER);
    EXPECT_EQ(count_units(w), n);
    s.phase = STATE_PLAY;
}

TEST_F(UnitCommand, CodesTruncateTowardZero)
{
    EXPECT_EQ(command_code(bits_of(2.0f)), 2);
    EXPECT_EQ(command_code(bits_of(2.9f)), 2);
    EXPECT_EQ(command_code(bits_of(-0.5f)), 0);
    EXPECT_EQ(command_code(bits_of(NAN)), -1);
    EXPECT_EQ(command_code(bits_of(3e9f)), -1);
    EXPECT_EQ(as_float(command_slot(1.5f)), 1.5f);
}

// --- lies about what a unit is ------------------------------------------------------

TEST_F(UnitCommand, ThrowsShotsAndBlowsOnlyFromWhatTheSenderOwnsAndCanDoThem)
{
    world& w = setup_two_sides();
    deliver_command("UNIT", 0x40000, 0, 0, 0, ATTACKER);  // a ram
    deliver_command("UNIT", 0x10000, 0, 0, 0, ATTACKER);  // a catapult
    unit* ram = find_unit(w, 0x40000);
    ASSERT_NE(ram, nullptr);
    unit* archer = soldier(0, 0, 1, HUMANOID_ARCHER);
    humanoid_of(archer)->weapon = WEAPON_BOW;
    unit* goblin = soldier(0, 2, 0, HUMANOID_GOBLIN);
    unit* bowman = soldier(0, 4, 0, HUMANOID_ARCHER);
    humanoid_of(bowman)->weapon = WEAPON_BOW;
    const float heading = ram->heading;

    // A ram, a soldier and a figure thrown with as catapults.
    std::string err = deliver_command("UBAL", ram->id, bits_of(90.0f), 0, 0, ATTACKER);
    err += deliver_command("UBAL", goblin->id, bits_of(90.0f), 0, 0, ATTACKER);
    err += deliver_command("UBAL", s.parts[1].figure->id, bits_of(90.0f), 0, 0, ATTACKER);
    // The attackers' catapult thrown by a defender, or with no heading.
    err += deliver_command("UBAL", 0x10000, bits_of(90.0f), 0, 0, DEFENDER);
    err += deliver_command("UBAL", 0x10000, bits_of(INFINITY), 0, 0, ATTACKER);
    err += deliver_command("UBAL", 0x10000, bits_of(1e30f), 0, 0, ATTACKER);
    // The defenders' archer shooting for the attackers; a goblin with no bow.
    err += deliver_command("UARW", archer->id, bits_of(0.0f), bits_of(0.0f), 0, ATTACKER);
    err += deliver_command("UARW", goblin->id, bits_of(0.0f), bits_of(0.0f), 0, ATTACKER);
    err += deliver_command("UARW", archer->id, bits_of(NAN), bits_of(0.0f), 0, DEFENDER);
    err += deliver_command("AARW", bits_of(-INFINITY), 0, 0, 0, ATTACKER);
    // A goblin striking itself (the blow would delete it before its swing).
    err += deliver_command("USWD", goblin->id, goblin->id, bits_of(0.0f), 0, ATTACKER);
    err += deliver_command("USWD", goblin->id, archer->id, bits_of(1e30f), 0, ATTACKER);
    for (const char* why : {"is no catapult", "tried to throw with unit", "heading or pitch out of range",
                            "tried to shoot with unit", "has no bow", "UARW for unit", "AARW for unit",
                            "strikes itself", "USWD for unit"})
        EXPECT_NE(err.find(why), std::string::npos) << why << "\n" << err;
    EXPECT_EQ(count_projectiles(w.projectiles), 0);
    EXPECT_EQ(ram->heading, heading);
    ASSERT_EQ(find_unit(w, goblin->id), goblin);
    EXPECT_EQ(archer->health, archer->max_health);

    // What is true still goes through, as often as the reload allows.
    EXPECT_EQ(deliver_command("UBAL", 0x10000, bits_of(45.0f), bits_of(0.0f), 0, ATTACKER), "");
    EXPECT_EQ(deliver_command("UARW", bowman->id, bits_of(10.0f), bits_of(5.0f), 0, ATTACKER), "");
    EXPECT_EQ(count_projectiles(w.projectiles), 2);
    // The defenders' archer is this copy's to shoot with, not its team mate's.
    err = deliver_command("UARW", archer->id, bits_of(10.0f), bits_of(5.0f), 0, DEFENDER);
    EXPECT_NE(err.find("which does not steer it"), std::string::npos) << err;
    for (int i = 0; i < 10; ++i) {
        deliver_command("UBAL", 0x10000, bits_of(45.0f), bits_of(0.0f), 0, ATTACKER);
        deliver_command("UARW", bowman->id, bits_of(10.0f), bits_of(5.0f), 0, ATTACKER);
        deliver_command("AARW", bits_of(10.0f), bits_of(5.0f), 0, 0, ATTACKER);
    }
    // One burst: a throw and an arrow came early (a datagram delayed), the
    // figure's bow two; then one a reload.
    EXPECT_EQ(count_projectiles(w.projectiles), 2 + 1 + 1 + 2);
    w.time += CATAPULT_RELOAD;
    deliver_command("UBAL", 0x10000, bits_of(45.0f), bits_of(0.0f), 0, ATTACKER);
    deliver_command("UBAL", 0x10000, bits_of(45.0f), bits_of(0.0f), 0, ATTACKER);
    EXPECT_EQ(count_projectiles(w.projectiles), 7);
}

TEST_F(UnitCommand, AnnouncedIdsStayInTheSendersRanges)
{
    world& w = setup_two_sides();
    const int n = count_units(w);
    w.units.humanoid_counter = 5;
    std::string err = deliver_command("UNIT", 0x81FFF, bits_of(4.0f), 0, 0, ATTACKER);  // past the attackers' range
    err += deliver_command("UNIT", 0x80010, bits_of(4.0f), 0, 0, ATTACKER);  // the defenders' range
    err += deliver_command("UNIT", 0x80405, bits_of(4.0f), 0, 0, DEFENDER);  // a figure's id
    err += deliver_command("UNIT", 0x80011, bits_of(0.0f), 0, 0, DEFENDER);  // a figure's kind
    err += deliver_command("UNIT", 0x90001, 0, 0, 0, ATTACKER);  // no class
    EXPECT_EQ(count_units(w), n);
    EXPECT_EQ(w.units.humanoid_counter, 5u);
    EXPECT_NE(err.find("UNIT 00081FFF (kind 4) from a member of team 0 is no unit that team makes, refused"),
              std::string::npos)
        << err;
    deliver_command("UNIT", 0x813FF, bits_of(4.0f), 0, 0, ATTACKER);  // the last of the attackers' range
    EXPECT_EQ(w.units.humanoid_counter, HUMANOID_SERIALS);
    EXPECT_EQ(count_units(w), n + 1);
}

// --- who may send what -------------------------------------------------------------

// Each command beyond its sender's right: refused, counted under its reason,
// and without effect. The attackers' leader is the raider (number 20); the
// grunt is an attacker that leads nothing.
TEST_F(UnitCommand, EachCommandOnlyFromTheCopyWithTheRightToIt)
{
    world& w = setup_two_sides();
    const uint32_t GRUNT = 0x0500000A;
    add_member("grunt", GRUNT, 0, 40);
    unit* goblin = soldier(0, 2, 0, HUMANOID_GOBLIN);
    unit* bowman = soldier(0, 4, 0, HUMANOID_ARCHER);
    humanoid_of(bowman)->weapon = WEAPON_BOW;
    unit* victim = soldier(0, 3, 1);
    victim->health = victim->max_health = 10.0f;  // it outlives the blows below
    const float health = victim->health;
    deliver_command("UNIT", 0x50001, 0, 0, 0, ATTACKER);  // the raider's dragon
    deliver_command("UNIT", 0x10002, 0, 0, 0, ATTACKER);  // an attackers' catapult
    deliver_command("UNIT", 0x10003, 0, 0, 0, DEFENDER);  // a defenders' one
    ASSERT_NE(find_unit(w, 0x50001), nullptr);
    const uint32_t raider_figure = s.parts[1].figure->id;
    struct lie {
        const char* what;
        char tag[5];
        uint32_t p0, p1;
        uint32_t sender;
        refusal why;
    } lies[] = {
        {"an order for a dragon", "ORDR", 0x50001, bits_of(1.0f), ATTACKER, refusal::dragon_order},
        {"a blow by a figure", "USWD", raider_figure, victim->id, ATTACKER, refusal::not_striker},
        {"a blow by a bowman", "USWD", bowman->id, victim->id, ATTACKER, refusal::not_striker},
        {"a blow from a member that does not lead", "USWD", goblin->id, victim->id, GRUNT, refusal::not_steerer},
        {"a shot from a member that does not lead", "UARW", bowman->id, 0, GRUNT, refusal::not_steerer},
        {"a throw from a member that does not lead", "UBAL", 0x10002, 0, GRUNT, refusal::not_steerer},
        {"the other side's id announced", "UNIT", 0x10003, 0, ATTACKER, refusal::id_taken},
    };
    for (const lie& l : lies) {
        const long before = refused_total(s, l.why);
        char tag[5];
        memcpy(tag, l.tag, 5);
        deliver_command(tag, l.p0, l.p1, bits_of(0.0f), 0, l.sender);
        EXPECT_EQ(refused_total(s, l.why), before + 1) << l.what;
    }
    EXPECT_EQ(victim->health, health);
    EXPECT_EQ(count_projectiles(w.projectiles), 0);
    EXPECT_EQ(find_unit(w, 0x10003)->team, 1);
    EXPECT_EQ(find_unit(w, 0x50001)->order_kind, ORDER_NONE);

    // Blows come at most a sword's interval apart (two early at most).
    for (int i = 0; i < 10; ++i)
        deliver_command("USWD", goblin->id, victim->id, bits_of(0.0f), 0, ATTACKER);
    EXPECT_EQ(victim->health, health - 2.0f);
    w.time += SWORD_COOLDOWN;
    for (int i = 0; i < 10; ++i)
        deliver_command("USWD", goblin->id, victim->id, bits_of(0.0f), 0, ATTACKER);
    EXPECT_EQ(victim->health, health - 3.0f);

    // A sender's units, and all units, stop at their caps.
    const long capped = refused_total(s, refusal::unit_cap);
    for (uint32_t i = 0; i < MAX_UNITS_PER_SENDER + 10; ++i)
        deliver_command("UNIT", ATTACKER_HUMANOID_BASE + 0x10 + i, bits_of(4.0f), 0, 0, GRUNT);
    int grunts = 0;
    for (const unit* u = w.units.list; u; u = u->next)
        grunts += u->creator == GRUNT ? 1 : 0;
    EXPECT_EQ(grunts, MAX_UNITS_PER_SENDER);
    EXPECT_EQ(refused_total(s, refusal::unit_cap) - capped, 10);
}

// A side the computer plays is steered by the copy hosting it: that copy
// announces its units, strikes with them and reports them; its own side's
// members do not, and copies on the side the computer plays do not either.
TEST_F(UnitCommand, AComputerSideOnlyFromItsHost)
{
    world& w = setup_two_sides();
    set_computer_side(s, TEAM_ATTACKERS, LEVEL_NORMAL, DEFENDER);  // the guard's copy hosts them
    EXPECT_FALSE(leads_side(s, TEAM_ATTACKERS));
    EXPECT_EQ(side_steerer(s, TEAM_ATTACKERS), find_participant(s, DEFENDER));
    unit* goblin = soldier(0, 2, 0, HUMANOID_GOBLIN);
    EXPECT_EQ(unit_steerer(w, goblin), find_participant(s, DEFENDER));
    unit* victim = soldier(0, 3, 1);
    victim->health = victim->max_health = 10.0f;

    const long wrong = refused_total(s, refusal::wrong_team);
    deliver_command("UNIT", 0x81020, bits_of(4.0f), 2, 0, DEFENDER);  // not the defenders
    deliver_command("UNIT", 0x81021, bits_of(4.0f), 1, 0, ATTACKER);  // the raider hosts nothing
    deliver_command("USWD", goblin->id, victim->id, bits_of(0.0f), 0, ATTACKER);
    EXPECT_EQ(refused_total(s, refusal::wrong_team), wrong + 3);
    EXPECT_EQ(find_unit(w, 0x81021), nullptr);
    EXPECT_EQ(victim->health, 10.0f);

    deliver_command("UNIT", 0x81022, bits_of(4.0f), 1, 0, DEFENDER);
    ASSERT_NE(find_unit(w, 0x81022), nullptr);
    EXPECT_EQ(find_unit(w, 0x81022)->team, TEAM_ATTACKERS);
    deliver_command("USWD", goblin->id, victim->id, bits_of(0.0f), 0, DEFENDER);
    EXPECT_EQ(victim->health, 9.0f);
}
