// A lone copy's session and a world for it, made as the game makes them,
// and the bytes of the datagrams tests send and read. Used by the tests'
// fixture (game_fixture.h) and by the benchmarks that build their scenes
// the same way; needs no test framework.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "platform/random.h"
#include "sim/game.h"
#include "sim/participants.h"
#include "sim/rights.h"
#include "sim/session.h"
#include "sim/wire.h"
#include "sim/world.h"

// This copy ("tester", number `number`) alone in the menu on `team`, the
// session's clock at 10 s.
inline void lone_copy(session& s, int team = 0, int number = 500)
{
    s.phase = STATE_MENU;
    s.now = 10.0f;
    s.username = "tester";
    stream_srand(s.rng, 1);
    s.my_number = number;
    init_teams(s.teams);
    init_participants(s);
    s.parts[0].team = team;
    s.teams[0].members = team == 0 ? 1 : 0;
    s.teams[1].members = team == 1 ? 1 : 0;
    s.parts[0].number = number;
    s.events.pending.clear();
    s.refusals = refusal_log{};
}

// A world for the session as it stands (the participants' figures made,
// this copy's own as `me`, nothing else built), in play at 100 s.
inline std::unique_ptr<world> play_world(session& s, unsigned seed = 1)
{
    auto w = std::make_unique<world>(s, seed);
    make_participant_figures(*w);
    s.phase = STATE_PLAY;
    w->time = 100.0f;
    return w;
}

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

inline float as_float(uint32_t bits)
{
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

inline uint32_t bits_of(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

// The commands among the datagrams sent, oldest first; only those of one
// sub-tag when given.
inline std::vector<sent_command> commands_among(const std::vector<std::vector<unsigned char>>& sent,
                                               const char* subtag = nullptr)
{
    std::vector<sent_command> out;
    for (const auto& d : sent) {
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

inline std::vector<unsigned char> helo_bytes(const std::string& name, int32_t team, int32_t number)
{
    std::vector<unsigned char> m;
    put_tag(m, "HELO");
    unsigned char field[32] = {};
    for (size_t i = 0; i < name.size() && i < 32; ++i)
        field[i] = static_cast<unsigned char>(name[i]);
    m.insert(m.end(), field, field + 32);
    put_i32(m, team);
    put_i32(m, number);
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
inline std::vector<unsigned char> state_batch_bytes(std::initializer_list<std::vector<unsigned char>> records)
{
    std::vector<unsigned char> m;
    put_tag(m, "UUPD");
    put_u32(m, static_cast<uint32_t>(records.size()));
    for (const auto& r : records)
        m.insert(m.end(), r.begin(), r.end());
    return m;
}
