// The datagrams this copy sends: how they leave it, the batched unit-state
// records of a battle, presence and chat. What a received datagram does is
// the message table's (sim/message_table.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct message_context;
struct session;
struct world;

// A unit-state batch is sent before it would grow past this many bytes.
constexpr int STATE_BATCH_LIMIT = 500;
// Length of a presence message.
constexpr int HELO_LEN = 44;

// Largest datagram handed to the dispatcher.
constexpr int MAX_DATAGRAM = 1023;

// How a datagram leaves this copy: the network's transport, which the
// program installs; returns len once it went out, -1 when it could not be
// sent. A copy without one (no network at all: the headless loop) sends
// nothing and counts what it would have sent.
using datagram_sender = std::function<int(const void* buf, int len)>;
struct datagram_link {
    datagram_sender sender;
    long unsent = 0;  // datagrams that found no sender
    // When set, every datagram handed to send_game_message is also shown to
    // this observer (tests record the traffic with it).
    std::function<void(const unsigned char* buf, int len)> observer;
};
// Every datagram the game sends goes through here.
int send_game_message(session& s, const void* buf, int len);

// The unit-state batch being filled in a battle ("UUPD": a count, then per
// unit its id, the number of values and the values), when the next one is
// due, and the copies whose batches have come in this battle.
struct state_batch {
    std::vector<unsigned char> bytes;
    int len = 0;  // 0 when none is open
    float next_send = 0.0f;
    std::vector<uint32_t> heard;
};
void add_unit_update(world& w, uint32_t id, int n, const float* params);
void flush_state_batch(world& w);
// "UUPD": the records of another copy's batch, each applied when its sender
// may report the unit.
void receive_state_batch(message_context& c, const unsigned char* buf, int len);

// The bytes as text: printable ASCII as it is, a backslash doubled, any
// other byte as \xHH (a received datagram may hold terminal escapes).
std::string printable_bytes(const unsigned char* buf, int len);

// Builds this copy's presence message (drawing its number first if needed).
std::vector<unsigned char> build_helo_message(session& s);
void broadcast_self(session& s);
// "HELO": a copy in the menu announces itself.
void receive_helo(message_context& c, const unsigned char* buf, int len);

void send_chat_message(session& s, const char* text);
// "CHAT": a line from another copy, for the chat window.
void receive_chat(message_context& c, const unsigned char* buf, int len);
