#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstring>

#include "game_fixture.h"
#include "net/multicast.h"
#include "sim/catapult.h"
#include "sim/commands.h"
#include "sim/dragon.h"
#include "sim/humanoid.h"
#include "sim/messages.h"
#include "sim/rights.h"
#include "sim/wire.h"

TEST(ChannelGroup, LobbyFirstAndLastChannels)
{
    auto dotted = [](int n) {
        in_addr a;
        a.s_addr = channel_group(n);
        return std::string(inet_ntoa(a));
    };
    EXPECT_EQ(dotted(0), "225.44.44.44");
    EXPECT_EQ(channel_port(0), 9999);
    EXPECT_EQ(dotted(1), "225.45.45.45");
    EXPECT_EQ(channel_port(1), 10000);
    EXPECT_EQ(dotted(9999), "225.143.143.47");
    EXPECT_EQ(channel_port(9999), 19998);
}

// A datagram that does not go out (here: no channel open) counts as not
// sent, and a run of failures prints one "sendto" line, not one a datagram.
TEST(Send, FailedDatagramsCountAsNotSentAndARunIsReportedOnce)
{
    const int sends0 = sends, bytes0 = sent_bytes, failed0 = failed_sends;
    const unsigned char d[4] = {'T', 'E', 'S', 'T'};
    close_ipmulticast();
    testing::internal::CaptureStderr();
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(send_multicast(d, 4), -1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.find("sendto"), err.rfind("sendto")) << err;
    EXPECT_NE(err.find("sendto"), std::string::npos);
    EXPECT_EQ(sends, sends0);
    EXPECT_EQ(sent_bytes, bytes0);
    EXPECT_EQ(failed_sends, failed0 + 3);
}

TEST(Envelope, TagsCompareAsBigEndianLetters)
{
    EXPECT_EQ(make_tag("CMND"), 0x434D4E44u);
    const unsigned char b[4] = {'U', 'U', 'P', 'D'};
    wire_reader r(b, 4);
    uint32_t t = 0;
    ASSERT_TRUE(r.tag(t));
    EXPECT_EQ(t, make_tag("UUPD"));
    uint32_t v = 0x11223344;
    swap_bytes(&v);
    EXPECT_EQ(v, 0x44332211u);
}

TEST(Envelope, ReaderNeverPassesTheEnd)
{
    const unsigned char b[6] = {1, 0, 0, 0, 2, 0};
    wire_reader r(b, 6);
    uint32_t v = 0;
    EXPECT_TRUE(r.u32(v));
    EXPECT_EQ(v, 1u);
    EXPECT_FALSE(r.u32(v));
    EXPECT_EQ(r.pos, 4);
    unsigned char out[4];
    EXPECT_FALSE(r.bytes(out, 3));
    EXPECT_TRUE(r.bytes(out, 2));
    EXPECT_FALSE(r.skip(1));
}

struct UnitBatch : game_test {};

TEST_F(UnitBatch, TwoHumanoidRecordsMakeEightyBytes)
{
    world& w = fresh_game();
    const float a[7] = {1, 2, 3, 4, 5, 6, 7};
    const float b[7] = {-1, -2, -3, -4, -5, -6, -7};
    add_unit_update(w, 0x80401, 7, a);
    add_unit_update(w, 0x81002, 7, b);
    EXPECT_EQ(w.batch.len, 80);
    flush_state_batch(w);
    ASSERT_EQ(sent.size(), 1u);
    std::vector<unsigned char> want;
    put_tag(want, "UUPD");
    put_u32(want, 2);
    auto r1 = record_values(0x80401, {1, 2, 3, 4, 5, 6, 7});
    auto r2 = record_values(0x81002, {-1, -2, -3, -4, -5, -6, -7});
    want.insert(want.end(), r1.begin(), r1.end());
    want.insert(want.end(), r2.begin(), r2.end());
    EXPECT_EQ(sent[0], want);
    EXPECT_EQ(w.batch.len, 0);
    flush_state_batch(w);  // nothing open: nothing sent
    EXPECT_EQ(sent.size(), 1u);
}

TEST_F(UnitBatch, SplitsBeforePassingFiveHundredBytes)
{
    world& w = fresh_game();
    // 8 header + 13 records of 36 bytes = 476; a 20-byte record fits (496),
    // then a 36-byte one would make 532: the 496 go out first.
    const float v[7] = {0};
    for (int i = 0; i < 13; ++i)
        add_unit_update(w, 0x80000 + i, 7, v);
    add_unit_update(w, 0x90000, 3, v);
    EXPECT_EQ(w.batch.len, 496);
    EXPECT_TRUE(sent.empty());
    add_unit_update(w, 0x80100, 7, v);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].size(), 496u);
    wire_reader r(sent[0].data(), 496);
    uint32_t tag, count;
    r.tag(tag);
    r.u32(count);
    EXPECT_EQ(count, 14u);
    EXPECT_EQ(w.batch.len, 44);
    flush_state_batch(w);
    ASSERT_EQ(sent.size(), 2u);
    wire_reader r2(sent[1].data(), 44);
    r2.tag(tag);
    r2.u32(count);
    EXPECT_EQ(count, 1u);  // the count restarted with the new batch
}

TEST_F(UnitBatch, ExactlyFiveHundredStaysInOneDatagram)
{
    world& w = fresh_game();
    const float v[7] = {0};
    // 8 + 12 * 36 = 440; + a 60-byte record (13 values) = 500.
    for (int i = 0; i < 12; ++i)
        add_unit_update(w, 0x80000 + i, 7, v);
    const float thirteen[13] = {0};
    add_unit_update(w, 0x80200, 13, thirteen);
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(w.batch.len, 500);
}

TEST_F(UnitBatch, ReceivedBatchUpdatesFiguresInPlay)
{
    lobby();
    deliver(helo_bytes("peer", 0, 7), 0x0700000A);
    play_world();
    unit* peer = s.parts[1].figure;
    ASSERT_NE(peer, nullptr);
    ASSERT_EQ(peer->id, 0x80407u);
    // The second record names an unknown unit: ignored.
    deliver(state_batch_bytes({record_values(0x80407, {5, 6, 7, 90, 1, 0, -1}), record_values(0x12345, {1, 1})}),
            0x0700000A);
    EXPECT_FLOAT_EQ(peer->x, 5);
    EXPECT_FLOAT_EQ(peer->z, 7);
    EXPECT_FLOAT_EQ(peer->heading, 90);
    EXPECT_FLOAT_EQ(peer->vz, -1);

    // A batch during the menu is dropped.
    s.phase = STATE_MENU;
    deliver(state_batch_bytes({record_values(0x80407, {50, 60, 70, 0, 0, 0, 0})}), 0x0700000A);
    EXPECT_FLOAT_EQ(peer->x, 5);
}

TEST_F(UnitBatch, OwnFigureIsReportedWithSevenValues)
{
    world& w = fresh_game(1, 33);
    send_unit_messages(w);
    flush_state_batch(w);
    ASSERT_EQ(sent.size(), 1u);
    const auto& d = sent[0];
    ASSERT_EQ(d.size(), 8u + 36u);
    wire_reader r(d.data(), static_cast<int>(d.size()));
    uint32_t tag, count, id, n;
    float x, y, z, h;
    r.tag(tag);
    r.u32(count);
    r.u32(id);
    r.u32(n);
    r.f32(x);
    r.f32(y);
    r.f32(z);
    r.f32(h);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(id, 0x80400u + 33);
    EXPECT_EQ(n, 7u);
    EXPECT_FLOAT_EQ(z, -188.0f);
    EXPECT_FLOAT_EQ(h, 180.0f);
}

struct Helo : game_test {};

TEST_F(Helo, EncodedBitForBit)
{
    lobby(1, 321);
    std::vector<unsigned char> m = build_helo_message(s);
    EXPECT_EQ(m, helo_bytes("tester", 1, 321));
    EXPECT_EQ(m.size(), 44u);
    // A 32-character name fills the field with no terminator.
    s.username = std::string(40, 'N');
    m = build_helo_message(s);
    ASSERT_EQ(m.size(), 44u);
    EXPECT_EQ(std::string(m.begin() + 4, m.begin() + 36), std::string(32, 'N'));
}

// The figure's id follows the number: a game started after the draw makes
// this copy's figure under it.
TEST_F(Helo, FirstBroadcastDrawsTheNumberAndTheFigureIdFollowsIt)
{
    lobby(0, -1);
    testing::internal::CaptureStdout();
    broadcast_self(s);
    std::string out = testing::internal::GetCapturedStdout();
    ASSERT_GE(s.my_number, 0);
    ASSERT_LE(s.my_number, 1023);
    EXPECT_NE(out.find("my_numb = " + std::to_string(s.my_number)), std::string::npos);
    EXPECT_EQ(s.parts[0].number, s.my_number);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], helo_bytes("tester", 0, s.my_number));
    world& w = play_world();
    ASSERT_NE(w.me, nullptr);
    EXPECT_EQ(w.me->id, 0x80400u + static_cast<uint32_t>(s.my_number));
}

struct Chat : game_test {};

TEST_F(Chat, EncodedAsTagAndText)
{
    lobby();
    send_chat_message(s, "hello");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(std::string(sent[0].begin(), sent[0].end()), "CHAThello");
    send_chat_message(s, "");
    EXPECT_EQ(sent[1].size(), 4u);
}

// A line received becomes a chat event for the chat window (the program
// hands it on, game/main_loop.h): green from the own side, red otherwise.
TEST_F(Chat, ReceivedFromKnownAndUnknownSenders)
{
    lobby(0);
    deliver(helo_bytes("ally", 0, 1), 0x0200000A);
    deliver(helo_bytes("foe", 1, 2), 0x0300000A);
    std::vector<sim_event>& events = s.events.pending;
    events.clear();
    deliver_text("CHAThi there", 0x0200000A);
    deliver_text("CHAT", 0x0300000A);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, sim_event_kind::chat);
    EXPECT_EQ(events[0].prefix, "ally: ");
    EXPECT_EQ(events[0].text, "hi there");
    EXPECT_EQ(events[0].colour, 1);
    EXPECT_EQ(events[1].prefix, "foe: ");
    EXPECT_EQ(events[1].text, "");
    EXPECT_EQ(events[1].colour, 0);

    testing::internal::CaptureStderr();
    deliver_text("CHATwho?", 0x0900000A);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Received CHAT message from unknown source: 0900000A"), std::string::npos);
    EXPECT_EQ(events.size(), 2u);
    // Chat during play is dropped.
    play_world();
    events.clear();
    deliver_text("CHATlate", 0x0200000A);
    EXPECT_TRUE(events.empty());
}

struct Command : game_test {};

TEST_F(Command, EncodedBitForBitWithAnFigureIdInAFloatSlot)
{
    const uint32_t id = 0x807FF;
    // The id reads as a tiny denormal float and must still survive.
    float as_float = bits_to_float(id);
    std::vector<unsigned char> m = build_command_message("UNIT", float_to_bits(as_float), float_to_bits(4.0f), 0, 0);
    ASSERT_EQ(m.size(), 24u);
    const unsigned char want_head[8] = {'C', 'M', 'N', 'D', 'U', 'N', 'I', 'T'};
    EXPECT_EQ(0, memcmp(m.data(), want_head, 8));
    const unsigned char want_id[4] = {0xFF, 0x07, 0x08, 0x00};
    EXPECT_EQ(0, memcmp(m.data() + 8, want_id, 4));
    wire_reader r(m.data(), 24);
    uint32_t tag, sub, p1;
    float p2;
    r.tag(tag);
    r.tag(sub);
    r.u32(p1);
    r.f32(p2);
    EXPECT_EQ(sub, make_tag("UNIT"));
    EXPECT_EQ(p1, id);
    EXPECT_EQ(p2, 4.0f);
}

TEST_F(Command, SecondStartInPlayChangesNothing)
{
    lobby();
    deliver(helo_bytes("peer", 0, 7), 0x0700000A);
    world& w = play_world();
    w.alone = 0;
    stream_srand(w.rng, 77);
    int expect_next = w.rand();
    stream_srand(w.rng, 77);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    deliver(build_command_message("STRT", 12345, 0, 0, 0), 0x0700000A);
    std::string err = testing::internal::GetCapturedStderr();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(err.find("STRT"), std::string::npos);
    EXPECT_EQ(out.find("starting game"), std::string::npos);
    EXPECT_EQ(s.phase, STATE_PLAY);
    EXPECT_FALSE(start_requested(s));  // no new world is asked for
    EXPECT_EQ(w.alone, 0);
    EXPECT_EQ(w.rand(), expect_next);  // the generator was not reseeded
}

// Commands come from participants alone; each sub-tag is a row of the
// message table, taken in its phases only and handed its slots bit for
// bit; an unknown sub-tag is refused.
TEST_F(Command, SenderCheckAndTableOfSubTags)
{
    lobby();
    deliver(helo_bytes("peer", 0, 7), 0x0700000A);
    testing::internal::CaptureStderr();
    deliver(build_command_message("STRT", 1, 0, 0, 0), 0x0800000A);
    deliver(build_command_message("STRT", 1, 0, 0, 0), 0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Received CMND message from unknown source: 0800000A"), std::string::npos);
    EXPECT_NE(err.find("Ignoring a CMND message from self (00000000)"), std::string::npos);
    EXPECT_FALSE(start_requested(s));

    // "UNIT" (a new unit by its raw id) is taken in play only.
    const uint32_t id = 0x10003;  // an attackers' catapult
    deliver(build_command_message("UNIT", id, 0, 0, 0), 0x0700000A);
    EXPECT_EQ(refused_total(s, refusal::out_of_phase), 1);
    world& w = play_world();
    deliver(build_command_message("UNIT", id, 0, 0, 0), 0x0700000A);
    const unit* u = find_unit(w, id);
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(u->kind, UNIT_CATAPULT);
    EXPECT_EQ(u->creator, 0x0700000Au);  // the sender's unit
    const int before = units_of(TEAM_ATTACKERS);
    const long unknown = refused_total(s, refusal::unknown_tag);
    deliver(build_command_message("ZZZZ", id + 1, 2, 3, 4), 0x0700000A);  // unknown: ignored
    EXPECT_EQ(units_of(TEAM_ATTACKERS), before);
    EXPECT_EQ(refused_total(s, refusal::unknown_tag), unknown + 1);
}

TEST(StartSeed, AlwaysInItsRange)
{
    session s;
    stream_srand(s.rng, 5);
    for (int i = 0; i < 20000; ++i) {
        int seed = draw_start_seed(s);
        ASSERT_GE(seed, 10240);
        ASSERT_LE(seed, 10240 + 49999);
    }
}

// A unit's state comes from its steering copy alone: the side's leader for
// soldiers and engines, the player for a figure, the summoner for a dragon.
// Records for anything else are lies.
TEST_F(UnitBatch, StateOnlyFromTheUnitsSteeringCopy)
{
    lobby(1, 500);  // this copy leads the defenders
    deliver(helo_bytes("raider", 0, 7), 0x0700000A);
    deliver(helo_bytes("guard", 1, 900), 0x0800000A);
    deliver(helo_bytes("chief", 0, 3), 0x0500000A);  // leads the attackers
    world& w = play_world();
    unit* raider = s.parts[1].figure;
    unit* guard = s.parts[2].figure;
    unit* chief = s.parts[3].figure;
    unit* footman = add_humanoid(w);
    init_humanoid(w, footman);
    footman->team = 1;
    unit* me = w.me;
    testing::internal::CaptureStderr();
    deliver(state_batch_bytes({record_values(footman->id, {9, 9, 9, 0, 0, 0, 0}),
                               record_values(guard->id, {8, 8, 8, 0, 0, 0, 0}),
                               record_values(me->id, {7, 7, 7, 0, 0, 0, 0})}),
            0x0700000A);
    deliver(state_batch_bytes({record_values(footman->id, {9, 9, 9, 0, 0, 0, 0})}), 0x0800000A);
    deliver(state_batch_bytes({record_values(raider->id, {1e30f, 0, 0, 0, 0, 0, 0})}), 0x0700000A);
    deliver(state_batch_bytes({record_values(raider->id, {1, 2, 3, 0, 0, 0, 0})}), 0x0900000A);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(footman->x, 9.0f);
    EXPECT_NE(guard->x, 8.0f);
    EXPECT_NE(me->x, 7.0f);
    EXPECT_NE(raider->x, 1.0f);
    for (const char* why : {"member of team 0 sent the state of unit", "which it does not steer, ignored",
                            "with a value out of range", "Received UUPD message from unknown source: 0900000A"})
        EXPECT_NE(err.find(why), std::string::npos) << why << "\n" << err;

    // The truth: each figure from its own copy.
    deliver(state_batch_bytes({record_values(raider->id, {1, 2, 3, 0, 0, 0, 0})}), 0x0700000A);
    deliver(state_batch_bytes({record_values(guard->id, {4, 5, 6, 0, 0, 0, 0})}), 0x0800000A);
    EXPECT_EQ(raider->x, 1.0f);
    EXPECT_EQ(guard->x, 4.0f);

    // The attackers' leader moves their catapult but not the raider's
    // figure; the raider moves neither the catapult nor the leader's figure.
    unit* catapult = spawn_catapult(w, 0x10003, 0, 0);
    const long refused = refused_total(s, refusal::not_steerer);
    deliver(state_batch_bytes({record_values(raider->id, {30, 2, 3, 0, 0, 0, 0}),
                               record_values(catapult->id, {40, 2, 3, 0, 160, 0, 0, 0, 0})}),
            0x0500000A);
    deliver(state_batch_bytes({record_values(chief->id, {50, 2, 3, 0, 0, 0, 0}),
                               record_values(catapult->id, {60, 2, 3, 0, 160, 0, 0, 0, 0})}),
            0x0700000A);
    EXPECT_EQ(raider->x, 1.0f);
    EXPECT_EQ(catapult->x, 40.0f);
    EXPECT_NE(chief->x, 50.0f);
    EXPECT_EQ(refused_total(s, refusal::not_steerer) - refused, 3);

    // A dragon follows its summoner's records, on the leader's copy too.
    unit* dragon = spawn_dragon(w, 0x50002, 1, 0);
    dragon->creator = 0x0800000A;
    deliver(state_batch_bytes({record_values(dragon->id, {5, 60, 5, 90, 0, 0, 0, 0, 0})}), 0x0800000A);
    deliver(state_batch_bytes({record_values(dragon->id, {6, 60, 5, 90, 0, 0, 0, 0, 0})}), 0x0800000A);
    EXPECT_EQ(dragon->x, 6.0f);
}
