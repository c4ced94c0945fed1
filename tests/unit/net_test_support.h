// Shared set-up for the network tests: a fresh menu-state table with a
// known user, and a recorder for every datagram the game sends.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <sys/time.h>
#include <vector>

#include "sim/events.h"
#include "sim/game.h"
#include "platform/random.h"
#include "sim/messages.h"
#include "sim/participants.h"
#include "sim/rights.h"
#include "sim/wire.h"
#include "sim/units.h"

inline std::vector<std::vector<unsigned char>>& sent_datagrams()
{
    static std::vector<std::vector<unsigned char>> v;
    return v;
}

inline void record_send(const unsigned char* buf, int len)
{
    sent_datagrams().emplace_back(buf, buf + len);
}

// A fresh lobby: this copy is "tester" on `team` with number `numb`.
// A "CMND" this copy sent: sub-tag and the four parameter slots.
struct sent_command {
    std::string subtag;
    uint32_t p[4];
    float f(int i) const
    {
        float v;
        std::memcpy(&v, &p[i], 4);
        return v;
    }
};

// The commands sent since the record was last cleared, oldest first; only
// those of one sub-tag when given.
inline std::vector<sent_command> sent_commands(const char* subtag = nullptr)
{
    std::vector<sent_command> out;
    for (const auto& d : sent_datagrams()) {
        if (d.size() != 24 || std::memcmp(d.data(), "CMND", 4) != 0)
            continue;
        sent_command c;
        c.subtag.assign(reinterpret_cast<const char*>(d.data()) + 4, 4);
        for (int i = 0; i < 4; ++i)
            std::memcpy(&c.p[i], d.data() + 8 + 4 * i, 4);
        if (!subtag || c.subtag == subtag)
            out.push_back(c);
    }
    return out;
}

inline void reset_lobby(int team = 0, int numb = 500)
{
    game_state = STATE_MENU;
    game_time = 10.0f;
    static std::string name = "tester";
    default_username = name.c_str();
    game_srand(1);
    my_numb = numb;
    init_teams();
    init_participants();
    parts[0].team = team;
    me->team = team;
    teams[0].members = team == 0 ? 1 : 0;
    teams[1].members = team == 1 ? 1 : 0;
    parts[0].number = numb;
    clear_events();
    reset_refusal_reports();
    updm_len = 0;
    sent_datagrams().clear();
    send_observer = record_send;
}

inline std::vector<unsigned char> helo_bytes(const std::string& name, int32_t team, int32_t numb)
{
    std::vector<unsigned char> m;
    put_tag(m, "HELO");
    unsigned char field[32] = {};
    for (size_t i = 0; i < name.size() && i < 32; ++i)
        field[i] = static_cast<unsigned char>(name[i]);
    m.insert(m.end(), field, field + 32);
    put_i32(m, team);
    put_i32(m, numb);
    return m;
}

// One state record: the unit's id, the count and the values.
inline std::vector<unsigned char> record_values(uint32_t id, std::vector<float> v)
{
    std::vector<unsigned char> m;
    put_u32(m, id);
    put_u32(m, static_cast<uint32_t>(v.size()));
    for (float f : v)
        put_f32(m, f);
    return m;
}

// A "UUPD" batch of the given records.
inline std::vector<unsigned char> updm_batch(std::initializer_list<std::vector<unsigned char>> records)
{
    std::vector<unsigned char> m;
    put_tag(m, "UUPD");
    put_u32(m, static_cast<uint32_t>(records.size()));
    for (const auto& r : records)
        m.insert(m.end(), r.begin(), r.end());
    return m;
}

// Delivers a datagram exactly as the transport does: the bytes in a buffer
// of their own length (so a read past the end is a real fault) .
inline void deliver(const std::vector<unsigned char>& m, uint32_t sender)
{
    std::vector<unsigned char> exact(m);
    client_message(exact.empty() ? nullptr : exact.data(), static_cast<int>(exact.size()), sender);
}

inline void deliver_text(const std::string& s, uint32_t sender)
{
    deliver(std::vector<unsigned char>(s.begin(), s.end()), sender);
}
