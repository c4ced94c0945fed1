// The message envelope, batched unit updates, presence and chat, and the
// dispatcher that hands each received datagram to its handler.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A unit-state batch is sent before it would grow past this many bytes.
constexpr int UPDM_LIMIT = 500;
// Length of a presence message.
constexpr int HELO_LEN = 44;

extern std::vector<unsigned char> updm;  // the batch being filled
extern int updm_len;                     // its length; 0 when none is open
// This copy's player's name (at most 31 characters), nullptr until known.
extern const char* default_username;

// Largest datagram handed to the dispatcher.
constexpr int MAX_DATAGRAM = 1023;

// How a datagram leaves this copy: the network's transport, which the
// program installs; returns len once it went out, -1 when it could not be
// sent. A copy without one (no network at all: the headless loop) sends
// nothing and counts what it would have sent.
using datagram_sender = int (*)(const void* buf, int len);
void set_datagram_sender(datagram_sender sender);
// Every datagram the game sends goes through here.
int send_game_message(const void* buf, int len);
long datagrams_without_sender();
// When set, every datagram handed to send_game_message is also shown to
// this observer (tests record the traffic with it).
extern void (*send_observer)(const unsigned char* buf, int len);

// One received datagram: `len` bytes at `buf` (followed by a zero byte),
// from the sender whose IPv4 address is `sender`.
void client_message(const unsigned char* buf, int len, uint32_t sender);

void add_unit_update(uint32_t id, int n, const float* params);
void flush_updm_list();
// A new game starts with no batch open: records of an earlier game never
// go out on the new game's channel.
void reset_game_messages();
// The bytes as text: printable ASCII as it is, a backslash doubled, any
// other byte as \xHH (a received datagram may hold terminal escapes).
std::string printable_bytes(const unsigned char* buf, int len);
void receive_updm_list(const unsigned char* buf, int len, uint32_t sender);

// Builds this copy's presence message (drawing my_numb first if needed).
std::vector<unsigned char> build_helo_message();
void broadcast_self();
void send_chat_message(const char* text);
void receive_chat_message(const unsigned char* buf, int len, uint32_t sender);
void set_self_humanoid_position();
