#include "sim/messages.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "sim/game.h"
#include "sim/events.h"
#include "platform/random.h"
#include "sim/commands.h"
#include "sim/participants.h"
#include "sim/rights.h"
#include "sim/sides.h"
#include "sim/wire.h"
#include "sim/units.h"

std::vector<unsigned char> updm;
int updm_len = 0;
const char* default_username = nullptr;
void (*send_observer)(const unsigned char* buf, int len) = nullptr;

static datagram_sender s_sender = nullptr;
static long s_unsent = 0;

void set_datagram_sender(datagram_sender sender)
{
    s_sender = sender;
}

int send_game_message(const void* buf, int len)
{
    if (send_observer)
        send_observer(static_cast<const unsigned char*>(buf), len);
    if (!s_sender) {
        ++s_unsent;
        return -1;
    }
    return s_sender(buf, len);
}

long datagrams_without_sender()
{
    return s_unsent;
}

void swap_bytes(uint32_t* v)
{
    uint32_t x = *v;
    *v = ((x & 0xffu) << 24) | ((x & 0xff00u) << 8) | ((x >> 8) & 0xff00u) | (x >> 24);
}

// --- dispatch ---------------------------------------------------------------

using message_handler = void (*)(const unsigned char*, int, uint32_t);

struct message_route {
    uint32_t tag;
    int state;  // game state in which the message is taken; -1 for any
    message_handler handler;
};

// Bytes of a datagram with an unknown tag that are shown.
constexpr int UNKNOWN_SHOWN_BYTES = 64;

static const message_route routes[] = {
    {make_tag("CHAT"), STATE_MENU, receive_chat_message},
    {make_tag("HELO"), STATE_MENU, receive_helo_message},
    {make_tag("UUPD"), STATE_PLAY, receive_updm_list},
    {make_tag("CMND"), -1, receive_command_message},
};

void client_message(const unsigned char* buf, int len, uint32_t sender)
{
    wire_reader r(buf, len);
    uint32_t tag;
    if (!buf || !r.tag(tag)) {
        refuse(sender, refusal::malformed, "Malformed network message, len = %d, from %8.8X", len, sender);
        return;
    }
    for (const message_route& route : routes) {
        if (route.tag != tag)
            continue;
        set_current_sender(sender, tag);
        if (route.state < 0 || route.state == game_state)
            route.handler(buf, len, sender);
        set_current_sender(0);
        return;
    }
    // An unknown tag: its first bytes shown escaped, once a report period
    // for the sender; the rest are counted.
    const int shown = std::min(len, UNKNOWN_SHOWN_BYTES);
    refuse(sender, refusal::unknown_tag, "from %8.8X, %d bytes:\n%s%s\ntype = %s", sender, len,
           printable_bytes(buf, shown).c_str(), shown < len ? "..." : "", printable_bytes(buf, 4).c_str());
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

void add_unit_update(uint32_t id, int n, const float* params)
{
    if (n < 0)
        return;
    const int rec = 8 + 4 * n;
    if (updm_len + rec > UPDM_LIMIT)
        flush_updm_list();
    if (updm_len == 0) {
        updm.clear();
        put_tag(updm, "UUPD");
        put_u32(updm, 0);
        updm_len = 8;
    }
    put_u32(updm, id);
    put_u32(updm, static_cast<uint32_t>(n));
    for (int i = 0; i < n; ++i)
        put_f32(updm, params[i]);
    updm_len += rec;
    wire_reader count(updm.data() + 4, 4);
    uint32_t c = 0;
    count.u32(c);
    patch_u32(updm, 4, c + 1);
}

void flush_updm_list()
{
    if (updm_len == 0)
        return;
    send_game_message(updm.data(), updm_len);
    updm_len = 0;
    patch_u32(updm, 4, 0);
}

// The copies whose state records have come in this game. A copy's first
// batch shows that it has joined the game's channel: one that joined after
// the units were announced (it built its world more slowly) would otherwise
// never make them, so this copy announces its units again for it.
static std::vector<uint32_t> s_heard_in_game;

void reset_game_messages()
{
    updm.clear();
    updm_len = 0;
    s_heard_in_game.clear();
}

void receive_updm_list(const unsigned char* buf, int len, uint32_t sender)
{
    wire_reader r(buf, len);
    uint32_t tag, count;
    if (!r.tag(tag) || !r.u32(count)) {
        refuse(sender, refusal::malformed, "Malformed network UUPD message, len = %d, from %8.8X", len, sender);
        return;
    }
    const int index = find_participant(sender);
    if (index < 0 || parts[static_cast<size_t>(index)].is_self) {
        refuse(sender, refusal::unknown_sender, "Received UUPD message from unknown source: %8.8X", sender);
        return;
    }
    if (std::find(s_heard_in_game.begin(), s_heard_in_game.end(), sender) == s_heard_in_game.end()) {
        s_heard_in_game.push_back(sender);  // at most one entry a participant
        announce_made_units_again();
    }
    std::vector<float> params;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t id, n;
        if (!r.u32(id) || !r.u32(n) || static_cast<long long>(n) * 4 > r.remaining()) {
            refuse(sender, refusal::malformed, "UUPD from %8.8X overruns its %d bytes at record %u of %u, rest dropped",
                   sender, len, i, count);
            return;
        }
        params.resize(n);
        r.f32s(params.data(), n);
        // Only the unit's steering copy reports it (sim/rights.h).
        if (unit* u = find_unit(id); u && may_report_state(index, u))
            update_unit_record(u, static_cast<int>(n), params.data());
    }
}

// --- presence ---------------------------------------------------------------

std::vector<unsigned char> build_helo_message()
{
    std::vector<unsigned char> m;
    put_tag(m, "HELO");
    unsigned char name[32] = {};
    if (default_username)
        memcpy(name, default_username, strnlen(default_username, 32));
    m.insert(m.end(), name, name + 32);
    if (my_numb == -1) {
        my_numb = game_rand() % 1024;
        printf("my_numb = %d\n", my_numb);
    }
    put_i32(m, n_parts > 0 ? parts[0].team : 0);
    put_i32(m, my_numb);
    if (n_parts > 0) {
        parts[0].number = my_numb;
        set_init_position(parts[0]);
    }
    return m;
}

void broadcast_self()
{
    std::vector<unsigned char> m = build_helo_message();
    send_game_message(m.data(), static_cast<int>(m.size()));
}

// --- chat -------------------------------------------------------------------

void send_chat_message(const char* text)
{
    std::vector<unsigned char> m;
    put_tag(m, "CHAT");
    size_t n = strlen(text);
    m.insert(m.end(), text, text + n);
    send_game_message(m.data(), static_cast<int>(m.size()));
}

void receive_chat_message(const unsigned char* buf, int len, uint32_t sender)
{
    int idx = find_participant(sender);
    if (idx < 0) {
        refuse(sender, refusal::unknown_sender, "Received CHAT message from unknown source: %8.8X", sender);
        return;
    }
    if (len >= MAX_DATAGRAM)
        fprintf(stderr, "CHAT message from %8.8X fills a whole datagram and may have been cut\n", sender);
    const participant& p = parts[static_cast<size_t>(idx)];
    char prefix[40];
    snprintf(prefix, sizeof prefix, "%s: ", p.name.c_str());
    std::string text(reinterpret_cast<const char*>(buf) + 4, static_cast<size_t>(len - 4));
    emit_chat(p.team == parts[0].team ? 1 : 0, prefix, text.c_str());
}
