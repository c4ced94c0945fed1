// One-shot command messages: a 24-byte "CMND" datagram with a four-letter
// sub-tag and four 32-bit parameter slots (floats or raw integers carried
// bit for bit). Each sub-tag is a row of the message table
// (sim/message_table.h); this is how they are built and sent, and the start
// of a game, which is one of them.
#pragma once

#include <cstdint>
#include <vector>

struct message_context;
struct session;

constexpr int CMND_LEN = 24;

// Builds a command datagram; the parameters are raw 32-bit slots.
std::vector<unsigned char> build_command_message(const char (&subtag)[5], uint32_t p1, uint32_t p2, uint32_t p3,
                                                 uint32_t p4);
void send_command_message(session& s, const char (&subtag)[5], uint32_t p1, uint32_t p2, uint32_t p3, uint32_t p4);

// Draws the start seed (10240 .. 10240 + 49999) from the menu's generator.
int draw_start_seed(session& s);
// The island every game this copy starts is played on (the command line's
// "--island SEED"), instead of a drawn one; negative: drawn.
void choose_start_island(session& s, long long seed);
// How a game starts: its seed, and the side the computer plays (-1: none)
// at which level, hosted by which copy (0: this one).
struct start_info {
    unsigned seed = 0;
    int computer_team = -1;
    int level = 0;
    uint32_t host = 0;
};
// The session's starts: the island this copy's games are played on, and a
// start another copy asked for, not yet carried out.
struct start_request {
    long long island = -1;
    bool pending = false;
    start_info request;
};
// This copy starts a game: draws the seed and sends "STRT" with it (and the
// side it gives the computer, if any, at `level`); the program then plays
// on that seed.
start_info announce_start(session& s, int computer_team = -1, int level = 0);
// A "STRT" from another copy becomes a request that the program carries out
// between two frames (the datagrams after it wait for the game's world).
bool start_requested(const session& s);
// Takes the request: true with the start, once.
bool take_start_request(session& s, start_info& out);
// "STRT": another copy starts a game.
void receive_start(message_context& c, const uint32_t p[4]);
// A "STRT" while a game is played here.
void start_out_of_phase(message_context& c, const uint32_t p[4]);

// Parameter slots: a float carried bit for bit, and a small code sent as a
// float value (truncated toward zero; -1 for no number at all).
float command_float(uint32_t slot);
uint32_t command_slot(float f);
int command_code(uint32_t slot);
