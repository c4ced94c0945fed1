#include "sim/message_table.h"

#include <algorithm>
#include <cstdio>

#include "sim/catapult.h"
#include "sim/commands.h"
#include "sim/lightning.h"
#include "sim/magic.h"
#include "sim/messages.h"
#include "sim/participants.h"
#include "sim/projectile.h"
#include "sim/rights.h"
#include "sim/session.h"
#include "sim/unit_commands.h"
#include "sim/walls.h"
#include "sim/wire.h"
#include "sim/world.h"

const participant& message_context::who() const
{
    return s.parts[static_cast<size_t>(from)];
}

namespace {

constexpr unsigned PLAY_ONLY = IN_PLAY;
constexpr unsigned WORLD_STANDS = IN_PLAY | IN_END;

// Every message. The order of the rows means nothing on the wire; each row
// is found by its tag (and a command's by its sub-tag).
//
//  name    command  phases         senders                 rule               rate  burst  min  max           handler
const message_row ROWS[] = {
    {"HELO", false, IN_MENU, senders::anyone, nullptr, 0, 0, HELO_LEN, HELO_LEN, receive_helo, nullptr, nullptr},
    {"CHAT", false, IN_MENU, senders::participant, nullptr, 0, 0, 4, MAX_DATAGRAM, receive_chat, nullptr, nullptr},
    {"UUPD", false, PLAY_ONLY, senders::participant, nullptr, 0, 0, 8, MAX_DATAGRAM, receive_state_batch, nullptr,
     nullptr},
    {"STRT", true, IN_MENU, senders::participant, nullptr, 0, 0, CMND_LEN, CMND_LEN, nullptr, receive_start,
     start_out_of_phase},
    {"UNIT", true, PLAY_ONLY, senders::participant, unit_rule, 0, 0, CMND_LEN, CMND_LEN, nullptr, receive_unit,
     nullptr},
    {"UDIE", true, PLAY_ONLY, senders::participant, death_rule, 0, 0, CMND_LEN, CMND_LEN, nullptr,
     receive_unit_death, nullptr},
    {"ORDR", true, PLAY_ONLY, senders::participant, order_rule, 0, 0, CMND_LEN, CMND_LEN, nullptr, receive_order,
     nullptr},
    {"USWD", true, PLAY_ONLY, senders::participant, sword_rule, 0, 0, CMND_LEN, CMND_LEN, nullptr, receive_sword,
     nullptr},
    {"INVS", true, PLAY_ONLY, senders::participant, invisibility_rule, 0, 0, CMND_LEN, CMND_LEN, nullptr,
     receive_invisible, nullptr},
    {"UARW", true, PLAY_ONLY, senders::participant, unit_arrow_rule, 0, 0, CMND_LEN, CMND_LEN, nullptr,
     receive_unit_arrow, nullptr},
    {"AARW", true, PLAY_ONLY, senders::participant, player_arrow_rule, 0, 0, CMND_LEN, CMND_LEN, nullptr,
     receive_player_arrow, nullptr},
    {"UBAL", true, PLAY_ONLY, senders::participant, ball_rule, 0, 0, CMND_LEN, CMND_LEN, nullptr, receive_ball,
     nullptr},
    {"FIRE", true, PLAY_ONLY, senders::participant, fire_rule, 0, 0, CMND_LEN, CMND_LEN, nullptr, receive_fire,
     nullptr},
    {"LIGH", true, PLAY_ONLY, senders::participant, nullptr, 0, 0, CMND_LEN, CMND_LEN, nullptr, receive_lightning,
     nullptr},
    // Gates move only in play; a broken gate is told whenever a city stands.
    {"GATE", true, PLAY_ONLY, senders::participant, gate_rule, 0, 0, CMND_LEN, CMND_LEN, nullptr, receive_gate,
     nullptr},
    {"GBRK", true, WORLD_STANDS, senders::participant, gate_break_rule, 0, 0, CMND_LEN, CMND_LEN, nullptr,
     receive_gate_break, nullptr},
};

constexpr int ROW_COUNT = static_cast<int>(sizeof ROWS / sizeof ROWS[0]);

uint32_t tag_of(const char (&name)[5])
{
    return make_tag(name);
}

const message_row* row_of(uint32_t tag, bool command)
{
    for (const message_row& r : ROWS)
        if (r.command == command && tag_of(r.name) == tag)
            return &r;
    return nullptr;
}

unsigned phase_bit(int phase)
{
    switch (phase) {
    case STATE_MENU: return IN_MENU;
    case STATE_PLAY: return IN_PLAY;
    default: return IN_END;
    }
}

// Bytes of a datagram with an unknown tag that are shown.
constexpr int UNKNOWN_SHOWN_BYTES = 64;
// Senders and rows whose rate is kept at most; a stream of forged
// addresses shares one window once the map is full.
constexpr size_t MAX_RATE_WINDOWS = 4096;
constexpr uint32_t SHARED_WINDOW = 0xFFFFFFFF;

// A message of the row from the sender may come now: `burst` at once,
// then `rate` a second.
bool within_rate(message_context& c, const message_row& row)
{
    if (row.rate <= 0.0f)
        return true;
    std::pair<uint32_t, const message_row*> key{c.sender, &row};
    if (c.s.rates.size() >= MAX_RATE_WINDOWS && !c.s.rates.count(key))
        key.first = SHARED_WINDOW;
    rate_window& r = c.s.rates[key];
    if (!r.started) {
        r.started = true;
        r.tokens = row.burst;
        r.at = c.s.now;
    }
    r.tokens = std::min(row.burst, r.tokens + (c.s.now - r.at) * row.rate);
    r.at = c.s.now;
    if (r.tokens >= 1.0f) {
        r.tokens -= 1.0f;
        return true;
    }
    refuse(c.s, c.sender, refusal::too_soon, "%s from %8.8X more often than %g a second, ignored", row.name, c.sender,
           static_cast<double>(row.rate));
    return false;
}

// The sender's entry for a row that participants alone may send; refuses
// (and counts) a stranger or this copy itself.
bool known_sender(message_context& c, senders from, const char* what)
{
    if (from == senders::anyone)
        return true;
    if (c.from >= 0 && c.s.parts[static_cast<size_t>(c.from)].is_self) {
        refuse(c.s, c.sender, refusal::unknown_sender, "Ignoring a %s message from self (%8.8X)", what, c.sender);
        return false;
    }
    if (c.from < 0) {
        refuse(c.s, c.sender, refusal::unknown_sender, "Received %s message from unknown source: %8.8X", what,
               c.sender);
        return false;
    }
    return true;
}

bool in_phase(message_context& c, const message_row& row, const uint32_t* p)
{
    const bool needs_world = !(row.phases & IN_MENU);
    if ((row.phases & phase_bit(c.s.phase)) && (!needs_world || c.w))
        return true;
    if (row.out_of_phase && p)
        row.out_of_phase(c, p);
    else if (row.phases & IN_MENU)
        refuse(c.s, c.sender, refusal::out_of_phase, "%s while not in the menu, ignored", row.name);
    else
        refuse(c.s, c.sender, refusal::out_of_phase, "%s while no game is played, ignored", row.name);
    return false;
}

void dispatch_command(message_context& c, const unsigned char* buf, int len)
{
    if (len != CMND_LEN) {
        refuse(c.s, c.sender, refusal::malformed, "Malformed network CMND message, len = %d, from %8.8X", len,
               c.sender);
        return;
    }
    wire_reader r(buf, len);
    uint32_t tag, subtag, p[4];
    if (!r.tag(tag) || !r.tag(subtag) || !r.u32(p[0]) || !r.u32(p[1]) || !r.u32(p[2]) || !r.u32(p[3]))
        return;  // cannot happen at 24 bytes
    // Only participants send commands.
    if (!known_sender(c, senders::participant, "CMND"))
        return;
    const message_row* row = row_of(subtag, true);
    set_current_kind(c.s, subtag);
    if (!row) {
        const unsigned char name[4] = {buf[4], buf[5], buf[6], buf[7]};
        refuse(c.s, c.sender, refusal::unknown_tag, "CMND of no kind this game sends (%s) from %8.8X, ignored",
               printable_bytes(name, 4).c_str(), c.sender);
        return;
    }
    if (!in_phase(c, *row, p) || !within_rate(c, *row))
        return;
    // Who may send it is asked first (sim/rights.h); the handler then
    // checks what it says.
    if (row->rule && !row->rule(c, p))
        return;
    row->on_command(c, p);
}

void dispatch_datagram(message_context& c, const message_row& row, const unsigned char* buf, int len)
{
    if (len < row.min_len || len > row.max_len) {
        refuse(c.s, c.sender, refusal::malformed, "Malformed network %s message, len = %d, from %8.8X", row.name, len,
               c.sender);
        return;
    }
    if (!known_sender(c, row.from, row.name) || !in_phase(c, row, nullptr) || !within_rate(c, row))
        return;
    row.on_datagram(c, buf, len);
}

} // namespace

const message_row* message_rows(int& count)
{
    count = ROW_COUNT;
    return ROWS;
}

const message_row* find_message_row(uint32_t tag, uint32_t subtag)
{
    if (tag == make_tag("CMND"))
        return row_of(subtag, true);
    return row_of(tag, false);
}

void client_message(session& s, world* w, const unsigned char* buf, int len, uint32_t sender)
{
    wire_reader r(buf, len);
    uint32_t tag;
    if (!buf || !r.tag(tag)) {
        refuse(s, sender, refusal::malformed, "Malformed network message, len = %d, from %8.8X", len, sender);
        return;
    }
    message_context c{s, w, sender, find_participant(s, sender)};
    const bool command = tag == make_tag("CMND");
    const message_row* row = command ? nullptr : row_of(tag, false);
    if (!command && !row) {
        // An unknown tag: its first bytes shown escaped, once a report
        // period for the sender; the rest are counted.
        const int shown = std::min(len, UNKNOWN_SHOWN_BYTES);
        refuse(s, sender, refusal::unknown_tag, "from %8.8X, %d bytes:\n%s%s\ntype = %s", sender, len,
               printable_bytes(buf, shown).c_str(), shown < len ? "..." : "", printable_bytes(buf, 4).c_str());
        return;
    }
    set_current_sender(s, sender, tag);
    if (command)
        dispatch_command(c, buf, len);
    else
        dispatch_datagram(c, *row, buf, len);
    set_current_sender(s, 0);
}
