#include "sim/messages.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "sim/events.h"
#include "sim/game.h"
#include "sim/message_table.h"
#include "sim/participants.h"
#include "sim/rights.h"
#include "sim/session.h"
#include "sim/sides.h"
#include "sim/units.h"
#include "sim/wire.h"
#include "sim/world.h"

int send_game_message(session& s, const void* buf, int len)
{
    if (s.link.observer)
        s.link.observer(static_cast<const unsigned char*>(buf), len);
    if (!s.link.sender) {
        ++s.link.unsent;
        return -1;
    }
    return s.link.sender(buf, len);
}

void swap_bytes(uint32_t* v)
{
    uint32_t x = *v;
    *v = ((x & 0xffu) << 24) | ((x & 0xff00u) << 8) | ((x >> 8) & 0xff00u) | (x >> 24);
}

std::string printable_bytes(const unsigned char* buf, int len)
{
    std::string out;
    for (int i = 0; i < len; ++i) {
        const unsigned char c = buf[i];
        if (c == '\\') {
            out += "\\\\";
        } else if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            char hex[5];
            snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    return out;
}

// --- unit state -------------------------------------------------------------

void add_unit_update(world& w, uint32_t id, int n, const float* params)
{
    if (n < 0)
        return;
    state_batch& b = w.batch;
    const int rec = 8 + 4 * n;
    if (b.len + rec > STATE_BATCH_LIMIT)
        flush_state_batch(w);
    if (b.len == 0) {
        b.bytes.clear();
        put_tag(b.bytes, "UUPD");
        put_u32(b.bytes, 0);
        b.len = 8;
    }
    put_u32(b.bytes, id);
    put_u32(b.bytes, static_cast<uint32_t>(n));
    for (int i = 0; i < n; ++i)
        put_f32(b.bytes, params[i]);
    b.len += rec;
    wire_reader count(b.bytes.data() + 4, 4);
    uint32_t c = 0;
    count.u32(c);
    patch_u32(b.bytes, 4, c + 1);
}

void flush_state_batch(world& w)
{
    state_batch& b = w.batch;
    if (b.len == 0)
        return;
    send_game_message(w.session, b.bytes.data(), b.len);
    b.len = 0;
    patch_u32(b.bytes, 4, 0);
}

// The copies whose state records have come in this battle: a copy's first
// batch shows that it has joined the game's channel. One that joined after
// the units were announced (it built its world more slowly) would otherwise
// never make them, so this copy announces its units again for it.
void receive_state_batch(message_context& c, const unsigned char* buf, int len)
{
    world& w = *c.w;
    wire_reader r(buf, len);
    uint32_t tag, count;
    if (!r.tag(tag) || !r.u32(count)) {
        refuse(c.s, c.sender, refusal::malformed, "Malformed network UUPD message, len = %d, from %8.8X", len,
               c.sender);
        return;
    }
    std::vector<uint32_t>& heard = w.batch.heard;
    if (std::find(heard.begin(), heard.end(), c.sender) == heard.end()) {
        heard.push_back(c.sender);  // at most one entry a participant
        announce_made_units_again(w);
    }
    std::vector<float> params;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t id, n;
        if (!r.u32(id) || !r.u32(n) || static_cast<long long>(n) * 4 > r.remaining()) {
            refuse(c.s, c.sender, refusal::malformed,
                   "UUPD from %8.8X overruns its %d bytes at record %u of %u, rest dropped", c.sender, len, i, count);
            return;
        }
        params.resize(n);
        r.f32s(params.data(), n);
        // Only the unit's steering copy reports it (sim/rights.h).
        if (unit* u = find_unit(w, id); u && may_report_state(w, c.from, u))
            update_unit_record(w, u, static_cast<int>(n), params.data());
    }
}

// --- presence ---------------------------------------------------------------

std::vector<unsigned char> build_helo_message(session& s)
{
    std::vector<unsigned char> m;
    put_tag(m, "HELO");
    unsigned char name[32] = {};
    memcpy(name, s.username.data(), std::min<size_t>(s.username.size(), 32));
    m.insert(m.end(), name, name + 32);
    if (s.my_number == -1) {
        s.my_number = s.rand() % 1024;
        printf("my_numb = %d\n", s.my_number);
    }
    put_i32(m, s.parts.empty() ? 0 : s.parts[0].team);
    put_i32(m, s.my_number);
    if (!s.parts.empty())
        s.parts[0].number = s.my_number;
    return m;
}

void broadcast_self(session& s)
{
    std::vector<unsigned char> m = build_helo_message(s);
    send_game_message(s, m.data(), static_cast<int>(m.size()));
}

void receive_helo(message_context& c, const unsigned char* buf, int len)
{
    receive_helo_message(c.s, buf, len, c.sender);
}

// --- chat -------------------------------------------------------------------

void send_chat_message(session& s, const char* text)
{
    std::vector<unsigned char> m;
    put_tag(m, "CHAT");
    size_t n = strlen(text);
    m.insert(m.end(), text, text + n);
    send_game_message(s, m.data(), static_cast<int>(m.size()));
}

void receive_chat(message_context& c, const unsigned char* buf, int len)
{
    if (len >= MAX_DATAGRAM)
        fprintf(stderr, "CHAT message from %8.8X fills a whole datagram and may have been cut\n", c.sender);
    const participant& p = c.who();
    char prefix[40];
    snprintf(prefix, sizeof prefix, "%s: ", p.name.c_str());
    std::string text(reinterpret_cast<const char*>(buf) + 4, static_cast<size_t>(len - 4));
    emit_chat(c.s.events, p.team == c.s.parts[0].team ? 1 : 0, prefix, text.c_str());
}
