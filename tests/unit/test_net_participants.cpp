#include <gtest/gtest.h>

#include "game_fixture.h"
#include "platform/random.h"
#include "sim/events.h"
#include "sim/humanoid.h"
#include "sim/rights.h"
#include "sim/wire.h"

struct Participants : game_test {
    // The chat lines the simulation has asked the chat window to show.
    const std::vector<sim_event>& events() const { return s.events.pending; }
};
struct Hostile : game_test {};

TEST_F(Participants, AloneInTheMenuLeadsTheTeam)
{
    lobby(0, 500);
    EXPECT_EQ(s.parts.size(), 1u);
    EXPECT_EQ(i_am_team_leader(s), 1);
    EXPECT_EQ(i_am_attacker(s), 1);
    EXPECT_EQ(i_am_defender(s), 0);
    // Its figure stands in the game it plays.
    world& w = play_world();
    unit* me = w.me;
    ASSERT_NE(me, nullptr);
    EXPECT_EQ(s.parts[0].figure, me);
    EXPECT_EQ(find_unit(w, me->id), me);
    EXPECT_EQ(me->kind, UNIT_HUMANOID);
    EXPECT_FLOAT_EQ(me->health, 15.0f);
    EXPECT_FLOAT_EQ(me->speed, 35.0f);
}

TEST_F(Participants, LowestNumberOnTheTeamLeads)
{
    lobby(1, 300);
    deliver(helo_bytes("low", 1, 17), 0x0200000A);
    EXPECT_EQ(i_am_team_leader(s), 0);
    // A lower number on the other team does not matter.
    lobby(1, 300);
    deliver(helo_bytes("other side", 0, 3), 0x0200000A);
    deliver(helo_bytes("higher", 1, 301), 0x0300000A);
    EXPECT_EQ(i_am_team_leader(s), 1);
}

TEST_F(Participants, ArrivalPlacesTheFigureAndNotifies)
{
    lobby(0);
    deliver(helo_bytes("defender", 1, 9), 0x0400000A);
    ASSERT_EQ(s.parts.size(), 2u);
    const participant& p = s.parts[1];
    EXPECT_EQ(p.name, "defender");
    EXPECT_EQ(p.team, 1);
    EXPECT_EQ(p.number, 9);
    EXPECT_EQ(s.teams[1].members, 1);
    EXPECT_EQ(s.teams[0].members, 1);
    ASSERT_FALSE(events().empty());
    EXPECT_EQ(events().back().kind, sim_event_kind::chat);
    EXPECT_EQ(events().back().prefix, "defender");
    EXPECT_EQ(events().back().text, " just arrived.");
    EXPECT_EQ(events().back().colour, 0);
    // The game started next places its figure at its side's start.
    play_world();
    ASSERT_NE(p.figure, nullptr);
    EXPECT_EQ(p.figure->id, 0x80409u);
    EXPECT_FLOAT_EQ(p.figure->z, -188.0f);
    EXPECT_FLOAT_EQ(p.figure->heading, 180.0f);
}

TEST_F(Participants, NumberCollisionRedrawsOwnNumber)
{
    lobby(0, 42);
    testing::internal::CaptureStdout();
    deliver(helo_bytes("twin", 0, 42), 0x0500000A);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("my_numb = " + std::to_string(s.my_number)), std::string::npos);
    EXPECT_EQ(s.parts[1].number, 42);
    EXPECT_GE(s.my_number, 0);
    EXPECT_LE(s.my_number, 1023);
    // A known sender announcing the (new) own number collides again.
    int now = s.my_number;
    deliver(helo_bytes("twin", 0, now), 0x0500000A);
    EXPECT_EQ(s.parts[1].number, now);
    EXPECT_EQ(s.parts.size(), 2u);
}

TEST_F(Participants, ExpiryAfterFourSecondsNotBefore)
{
    lobby(0);
    s.now = 100.0f;
    deliver(helo_bytes("ally", 0, 1), 0x0200000A);
    deliver(helo_bytes("foe", 1, 2), 0x0300000A);
    const long departures = s.departures;
    s.now = 103.9f;
    expire_participants(s);
    EXPECT_EQ(s.parts.size(), 3u);
    s.now = 104.01f;
    deliver(helo_bytes("ally", 0, 1), 0x0200000A);  // ally heard again
    expire_participants(s);
    ASSERT_EQ(s.parts.size(), 2u);
    EXPECT_EQ(s.parts[1].name, "ally");
    EXPECT_EQ(s.teams[1].members, 0);
    ASSERT_FALSE(events().empty());
    EXPECT_EQ(events().back().prefix, "foe");
    EXPECT_EQ(events().back().text, " just left.");
    EXPECT_EQ(events().back().colour, 0);
    // Counted as gone: a world hands what it decided to this copy.
    EXPECT_EQ(s.departures, departures + 1);
    // The own entry never expires.
    s.now = 1000.0f;
    expire_participants(s);
    EXPECT_EQ(s.parts.size(), 1u);
    EXPECT_EQ(s.parts[0].is_self, 1);
}

TEST_F(Participants, TeamChangeMovesCountsAndNotifies)
{
    lobby(1);
    deliver(helo_bytes("turncoat", 0, 11), 0x0600000A);
    EXPECT_EQ(s.teams[0].members, 1);
    EXPECT_EQ(s.teams[1].members, 1);
    deliver(helo_bytes("turncoat", 1, 11), 0x0600000A);
    EXPECT_EQ(s.teams[0].members, 0);
    EXPECT_EQ(s.teams[1].members, 2);
    EXPECT_EQ(s.parts[1].team, 1);
    ASSERT_FALSE(events().empty());
    EXPECT_EQ(events().back().text, " joined the Defenders's team.");
    EXPECT_EQ(events().back().colour, 1);
    const size_t n = events().size();
    deliver(helo_bytes("turncoat", 1, 11), 0x0600000A);  // same team: no line
    EXPECT_EQ(events().size(), n);
    EXPECT_EQ(s.teams[1].members, 2);
    // Its figure in the next game is on the side it took.
    play_world();
    ASSERT_NE(s.parts[1].figure, nullptr);
    EXPECT_EQ(s.parts[1].figure->team, 1);
}

// One entry an address: a new name (or a stream of them) renames it, and
// only another address adds one; only such a table can fill.
TEST_F(Participants, OneEntryAnAddressAndTheTableStopsAtItsCap)
{
    lobby(0);
    deliver(helo_bytes("old", 0, 11), 0x0600000A);
    // A stream of names, at 20 a second (a presence rate the menu takes).
    for (int i = 0; i < 50; ++i) {
        s.now += 0.05f;
        deliver(helo_bytes("bot" + std::to_string(i), i % 2, 0), 0x0600000A);
    }
    ASSERT_EQ(s.parts.size(), 2u);
    EXPECT_EQ(s.parts[1].name, "bot49");
    EXPECT_EQ(s.parts[1].team, 1);
    EXPECT_EQ(s.teams[0].members + s.teams[1].members, 2);
    // The renamed copy, with number 0, leads its side; this copy no other.
    EXPECT_EQ(side_steerer(s, 1), 1);
    EXPECT_EQ(side_steerer(s, 0), 0);

    const long full = refused_total(s, refusal::table_full);
    testing::internal::CaptureStderr();
    for (uint32_t a = 0; a < MAX_PARTICIPANTS + 5; ++a)
        deliver(helo_bytes("crowd", 0, 900), 0x0A000000u + a);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(s.parts.size(), static_cast<size_t>(MAX_PARTICIPANTS));
    EXPECT_EQ(refused_total(s, refusal::table_full) - full, 5 + 2);  // (two addresses were in already)
    EXPECT_NE(err.find("the participant table is full (1024 entries): crowd not added"), std::string::npos);
}

// A side taken is announced at once, not at the next presence message: a
// start in between would leave the others counting this copy on its old
// side, with two leaders for one side.
TEST_F(Participants, ATeamSwitchIsAnnouncedAtOnce)
{
    lobby(0, 500);
    choose_team(s, 1);
    ASSERT_EQ(sent.size(), 1u);
    const std::vector<unsigned char>& m = sent[0];
    ASSERT_EQ(m.size(), static_cast<size_t>(HELO_LEN));
    wire_reader r(m.data() + 36, 8);
    int32_t team = -1, number = -1;
    ASSERT_TRUE(r.i32(team) && r.i32(number));
    EXPECT_EQ(team, 1);
    EXPECT_EQ(number, 500);
}

TEST_F(Participants, LongNamesComparedOverThirtyTwoCharacters)
{
    lobby(0);
    // Unterminated 32-byte field: stored as exactly those 32 characters.
    deliver(helo_bytes(std::string(32, 'x'), 0, 5), 0x0600000A);
    ASSERT_EQ(s.parts.size(), 2u);
    EXPECT_EQ(s.parts[1].name, std::string(32, 'x'));
    deliver(helo_bytes(std::string(32, 'x'), 0, 5), 0x0600000A);
    EXPECT_EQ(s.parts.size(), 2u);
}

TEST_F(Participants, UsernameFromPasswordFields)
{
    EXPECT_EQ(username_from_fields("Ada Lovelace", "ada"), "Ada Lovelace");
    EXPECT_EQ(username_from_fields("", "ada"), "UNKNOWN");
    EXPECT_EQ(username_from_fields(nullptr, "ada"), "ada");
    EXPECT_EQ(username_from_fields(nullptr, nullptr), "UNKNOWN");
    EXPECT_EQ(username_from_fields(std::string(50, 'z').c_str(), "z").size(), 31u);
}

TEST_F(Participants, DeletingAnFigureRemovesItsEntry)
{
    lobby(0);
    deliver(helo_bytes("a", 0, 1), 0x0200000A);
    deliver(helo_bytes("b", 1, 2), 0x0300000A);
    world& w = play_world();
    del_unit(w, s.parts[1].figure);
    ASSERT_EQ(s.parts.size(), 2u);
    EXPECT_EQ(s.parts[1].name, "b");
    EXPECT_EQ(s.teams[0].members, 1);
}

// --- hostile datagrams ----------------------------------------------------------

TEST_F(Hostile, EveryLengthOfGarbageIsSurvived)
{
    lobby(0);
    rand_stream garbage;
    stream_srand(garbage, 99);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    // In the menu (no world), then in play on a world of its own.
    for (int state : {STATE_MENU, STATE_PLAY}) {
        if (state == STATE_PLAY)
            play_world();
        ASSERT_EQ(s.phase, state);
        for (int len = 0; len <= 1023; ++len) {
            std::vector<unsigned char> m(static_cast<size_t>(len));
            for (auto& c : m)
                c = static_cast<unsigned char>(stream_rand(garbage));
            // Give the garbage every known tag too.
            static const char* tags[] = {"UUPD", "HELO", "CHAT", "CMND", "XXXX"};
            const char* t = tags[len % 5];
            for (int i = 0; i < 4 && i < len; ++i)
                m[static_cast<size_t>(i)] = static_cast<unsigned char>(t[i]);
            deliver(m, 0x0A00000A + static_cast<uint32_t>(len % 3));
        }
    }
    testing::internal::GetCapturedStderr();
    testing::internal::GetCapturedStdout();
    ASSERT_GE(s.parts.size(), 1u);
    EXPECT_EQ(s.parts[0].is_self, 1);
    EXPECT_EQ(static_cast<size_t>(s.teams[0].members + s.teams[1].members), s.parts.size());
}

TEST_F(Hostile, ShortAndUnknownDatagramsAreReported)
{
    lobby();
    const long before = refused_total(s, refusal::malformed);
    testing::internal::CaptureStderr();
    deliver({}, 0x0100000A);
    for (int i = 0; i < 40; ++i)
        deliver({'C', 'M', 'N'}, 0x0100000A);
    deliver({'C', 'M'}, 0x0200000A);
    report_refusals(s);  // the period has not passed: nothing more
    std::string err = testing::internal::GetCapturedStderr();
    // One line a sender and reason, the rest counted.
    EXPECT_NE(err.find("Malformed network message, len = 0, from 0100000A"), std::string::npos);
    EXPECT_EQ(err.find("Malformed network message, len = 3, from 0100000A"), std::string::npos);
    EXPECT_NE(err.find("Malformed network message, len = 2, from 0200000A"), std::string::npos);
    EXPECT_EQ(refused_total(s, refusal::malformed) - before, 42);
    // Once the period has passed, the count comes in one line.
    s.now += REFUSAL_REPORT_PERIOD;
    testing::internal::CaptureStderr();
    report_refusals(s);
    report_refusals(s);
    err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "40 more refused from 0100000A in 5 s: malformed\n");

    testing::internal::CaptureStderr();
    deliver_text(std::string("WHATever") + std::string(2000, '\x1b'), 0x0100000A);
    err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("from 0100000A, 2008 bytes:\nWHATever\\x1b"), std::string::npos) << err;
    EXPECT_NE(err.find("...\ntype = WHAT\n"), std::string::npos) << err;
    EXPECT_LT(err.size(), 400u);  // the first bytes only
}

TEST_F(Hostile, OverrunningBatchDropsTheRest)
{
    lobby();
    deliver(helo_bytes("peer", 0, 7), 0x0700000A);
    play_world();
    unit* peer = s.parts[1].figure;
    ASSERT_NE(peer, nullptr);
    std::vector<unsigned char> m;
    put_tag(m, "UUPD");
    put_u32(m, 3);
    put_u32(m, 0x80407);
    put_u32(m, 7);
    for (float f : {1.f, 2.f, 3.f, 4.f, 0.f, 0.f, 0.f})
        put_f32(m, f);
    put_u32(m, 0x80407);
    put_u32(m, 0x40000000);  // a count far past the datagram
    put_f32(m, 99.f);
    testing::internal::CaptureStderr();
    deliver(m, 0x0700000A);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("overruns"), std::string::npos);
    EXPECT_FLOAT_EQ(peer->x, 1.0f);  // the whole first record was applied
    // A count bigger than the records present.
    std::vector<unsigned char> m2;
    put_tag(m2, "UUPD");
    put_u32(m2, 0xFFFFFFFF);
    const long before = refused_total(s, refusal::malformed);
    deliver(m2, 0x0700000A);
    EXPECT_EQ(refused_total(s, refusal::malformed), before + 1);
}

TEST_F(Hostile, ShortCommandAndBadHelloFieldsAreDropped)
{
    lobby(0);
    deliver(helo_bytes("peer", 0, 7), 0x0700000A);
    testing::internal::CaptureStderr();
    auto cmd = std::vector<unsigned char>{'C', 'M', 'N', 'D', 'S', 'T', 'R', 'T', 1, 0, 0, 0};
    deliver(cmd, 0x0700000A);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Malformed network CMND message, len = 12"), std::string::npos);
    EXPECT_EQ(s.phase, STATE_MENU);
    EXPECT_FALSE(start_requested(s));

    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    deliver(helo_bytes("bad team", 5, 8), 0x0800000A);
    deliver(helo_bytes("bad numb", 0, 1024), 0x0900000A);
    deliver(helo_bytes("neg numb", 0, -1), 0x0900000B);
    deliver(helo_bytes("peer", 7, 7), 0x0700000A);  // known sender: keeps its team
    std::vector<unsigned char> short_helo = helo_bytes("x", 0, 1);
    short_helo.pop_back();
    deliver(short_helo, 0x0A00000A);
    std::string out = testing::internal::GetCapturedStdout();
    err = testing::internal::GetCapturedStderr();
    EXPECT_NE(out.find("tried to add a participant to team 5"), std::string::npos);
    EXPECT_NE(err.find("outside 0..1023"), std::string::npos);
    EXPECT_NE(err.find("announces team 7, team kept"), std::string::npos);
    EXPECT_NE(err.find("Malformed network HELO message, len = 43, from 0A00000A"), std::string::npos);
    EXPECT_EQ(s.parts.size(), 2u);
    EXPECT_EQ(s.parts[1].team, 0);
    EXPECT_EQ(s.teams[0].members, 2);
}

TEST_F(Hostile, LongChatIsKeptWithinTheDatagram)
{
    lobby(0);
    deliver(helo_bytes("peer", 0, 7), 0x0700000A);
    for (int len : {1019, 1020, 1023}) {
        std::string m = "CHAT" + std::string(static_cast<size_t>(len - 4), 'w');
        testing::internal::CaptureStderr();
        deliver_text(m, 0x0700000A);
        std::string err = testing::internal::GetCapturedStderr();
        ASSERT_FALSE(s.events.pending.empty());
        EXPECT_EQ(s.events.pending.back().text.size(), static_cast<size_t>(len - 4));
        EXPECT_EQ(err.find("may have been cut") != std::string::npos, len == 1023);
    }
}

TEST_F(Hostile, FloodsInOneFrame)
{
    lobby(0);
    deliver(helo_bytes("peer", 0, 7), 0x0700000A);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    for (int i = 0; i < 5000; ++i)
        deliver_text("CHATspam " + std::to_string(i), 0x0700000A);
    for (uint32_t i = 0; i < 2000; ++i)
        deliver(helo_bytes("bot" + std::to_string(i), static_cast<int>(i % 2), static_cast<int>(i % 1024)),
                0x0B000000 + i);
    testing::internal::GetCapturedStderr();
    testing::internal::GetCapturedStdout();
    // What waits for the chat window in one frame is bounded.
    EXPECT_LE(s.events.pending.size(), MAX_PENDING_EVENTS);
    // The table is bounded: a participant's number is one of 1024.
    EXPECT_EQ(s.parts.size(), static_cast<size_t>(MAX_PARTICIPANTS));
    EXPECT_EQ(static_cast<size_t>(s.teams[0].members + s.teams[1].members), s.parts.size());
    s.now += 5.0f;
    deliver(helo_bytes("peer", 0, 7), 0x0700000A);
    expire_participants(s);
    EXPECT_EQ(s.parts.size(), 2u);
    // The next game holds the two figures alone.
    EXPECT_EQ(count_units(play_world()), 2);
}
