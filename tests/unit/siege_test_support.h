// Shared set-up for the siege tests: a lone copy on a chosen team (so it
// leads that team), an empty sky and registry, a controllable clock and a
// terrain of known heights, and a reader for the commands the copy sent.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "net_test_support.h"
#include "units/projectile.h"
#include "units/units.h"
#include "world/model_tree.h"
#include "world/terrain.h"

struct sent_cmnd {
    std::string subtag;
    uint32_t p[4];
    float f(int i) const
    {
        float v;
        std::memcpy(&v, &p[i], 4);
        return v;
    }
};

inline std::vector<sent_cmnd> sent_commands(const char* subtag = nullptr)
{
    std::vector<sent_cmnd> out;
    for (const auto& d : sent_datagrams()) {
        if (d.size() != 24 || std::memcmp(d.data(), "CMND", 4) != 0)
            continue;
        sent_cmnd c;
        c.subtag.assign(reinterpret_cast<const char*>(d.data()) + 4, 4);
        for (int i = 0; i < 4; ++i)
            std::memcpy(&c.p[i], d.data() + 8 + 4 * i, 4);
        if (!subtag || c.subtag == subtag)
            out.push_back(c);
    }
    return out;
}

// Every unit but this copy's own figure goes.
inline void clear_units()
{
    for (unit* u = unit_list; u;) {
        unit* next = u->next;
        if (u != me)
            del_unit(u);
        u = next;
    }
}

// Flat ground of height h over the whole map.
inline void flat_terrain(float h)
{
    allocate_terrain();
    for (int j = 0; j < TERRAIN_SIZE; ++j)
        for (int i = 0; i < TERRAIN_SIZE; ++i)
            height_map[j][i] = h;
}

// Sets the grid heights for x >= x0 (world units) to h.
inline void raise_east_of(float x0, float h)
{
    for (int j = 0; j < TERRAIN_SIZE; ++j)
        for (int i = 0; i < TERRAIN_SIZE; ++i)
            if (4.0f * i - 256.0f >= x0)
                height_map[j][i] = h;
}

// A lone copy on `team` in play: it leads its team.
inline void siege_reset(int team, float ground = 0.0f)
{
    reset_lobby(team);
    clear_units();
    clear_projectiles();
    clear_model_tree();
    flat_terrain(ground);
    game_state = STATE_PLAY;
    game_time = 100.0f;
    sent_datagrams().clear();
}

// One projectile frame at a fixed step, with the clock advanced first.
inline void projectile_frame(float dt)
{
    game_time += dt;
    simulate_projectiles(dt);
}
