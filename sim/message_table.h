// Every message this game sends, one row each: the datagrams by their tag
// and each "CMND" sub-tag. A row says in which phases the message is taken,
// who may send it (the sender's table entry, and the rule of right that
// the rights module holds for it), how often one sender may send it, how
// long it is, and which handler carries it out. The dispatcher reads the
// row before anything else: a handler never runs for a message its row
// refuses. Adding a message is adding a row. The bytes on the wire are the
// rows' own and do not change with the table's order.
#pragma once

#include <cstdint>

struct participant;
struct session;
struct world;

// What a handler is given: the session, the world being played (none in
// the menu; a row taken only in play always has one), and the sender by its
// id and its entry in the participant table (-1 when it has none).
struct message_context {
    session& s;
    world* w;
    uint32_t sender;
    int from;
    const participant& who() const;
};

// Phases a row is taken in.
enum : unsigned {
    IN_MENU = 1u << 0,
    IN_PLAY = 1u << 1,
    IN_END = 1u << 2,  // this copy's game is over (won or lost), its world still stands
    IN_ANY_PHASE = IN_MENU | IN_PLAY | IN_END,
};

// Who may send a row's message at all, before its rule is asked.
enum class senders {
    anyone,       // any address (a presence message makes the entry)
    participant,  // a copy in the table, never this copy itself
};

using datagram_handler = void (*)(message_context& c, const unsigned char* buf, int len);
using command_handler = void (*)(message_context& c, const uint32_t p[4]);
// A rule of right for a command: true when the sender may carry it out now;
// it refuses (and counts) when not.
using command_rule = bool (*)(message_context& c, const uint32_t p[4]);

struct message_row {
    char name[5];          // the datagram's tag, or the command's sub-tag
    bool command;          // a sub-tag of "CMND" (24 bytes, four slots)
    unsigned phases;
    senders from;
    command_rule rule;     // commands only; none: the handler checks values alone
    float rate, burst;     // per sender: `burst` at once, then `rate` a second (0: no limit)
    int min_len, max_len;  // bytes of the whole datagram
    datagram_handler on_datagram;
    command_handler on_command;
    // The line for a command that comes in a phase its row does not take
    // (none: the table's own line).
    command_handler out_of_phase;
};

// The table, and its row for a tag (and sub-tag), or null.
const message_row* message_rows(int& count);
const message_row* find_message_row(uint32_t tag, uint32_t subtag);

// One received datagram: `len` bytes at `buf` (followed by a zero byte),
// from the sender whose IPv4 address is `sender`, to the session and the
// world being played (none in the menu).
void client_message(session& s, world* w, const unsigned char* buf, int len, uint32_t sender);

// The rate windows of one sender and row: a token bucket.
struct rate_window {
    float tokens = 0.0f;
    float at = 0.0f;  // session clock of the last count
    bool started = false;
};
