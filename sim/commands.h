// One-shot command messages: a 24-byte "CMND" datagram with a four-letter
// sub-tag and four 32-bit parameter slots (floats or raw integers carried
// bit for bit).
#pragma once

#include <cstdint>
#include <vector>

constexpr int CMND_LEN = 24;

// Handler for one sub-tag: the four raw parameter slots and the index of
// the sender's participant entry.
using command_handler = void (*)(const uint32_t p[4], int sender_index);

struct command_route {
    uint32_t subtag;      // make_tag of the four letters
    int play_only;        // 1: ignored unless the game is being played
    command_handler handler;
};

// Adds (or replaces) the handler of a sub-tag.
void register_command(const char (&subtag)[5], int play_only, command_handler handler);

// Builds a command datagram; the parameters are raw 32-bit slots.
std::vector<unsigned char> build_command_message(const char (&subtag)[5], uint32_t p1, uint32_t p2, uint32_t p3,
                                                 uint32_t p4);
void send_command_message(const char (&subtag)[5], uint32_t p1, uint32_t p2, uint32_t p3, uint32_t p4);
void receive_command_message(const unsigned char* buf, int len, uint32_t sender);

// Draws the start seed (10240 .. 10240 + 49999) from the generator.
int draw_start_seed();
// The island every game this copy starts is played on (the command line's
// "--island SEED"), instead of a drawn one; negative: drawn.
void choose_start_island(long long seed);
// How a game starts: its seed, and the side the computer plays (-1: none)
// at which level, hosted by which copy (0: this one).
struct start_info {
    unsigned seed = 0;
    int computer_team = -1;
    int level = 0;
    uint32_t host = 0;
};
// This copy starts a game: draws the seed and sends "STRT" with it (and the
// side it gives the computer, if any, at `level`); the program then plays
// on that seed.
start_info announce_start(int computer_team = -1, int level = 0);
// A "STRT" from another copy becomes a request that the program carries out
// between two frames (the datagrams after it wait for the game's world).
bool start_requested();
// Takes the request: true with the start, once.
bool take_start_request(start_info& out);

// Parameter slots: a float carried bit for bit, and a small code sent as a
// float value (truncated toward zero; -1 for no number at all).
float command_float(uint32_t slot);
uint32_t command_slot(float f);
int command_code(uint32_t slot);
