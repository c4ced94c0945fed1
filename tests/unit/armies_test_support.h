// Shared set-up for the army tests: an empty registry, this copy in a
// lobby-made table, and helpers to make soldiers and read sent commands.
#pragma once

#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "sim/commands.h"
#include "net_test_support.h"
#include "registry_reset.h"
#include "sim/combat.h"
#include "sim/humanoid.h"
#include "sim/units.h"

// This copy on `team`, alone (so it leads its team), in play.
inline void fresh_game(int team = 1)
{
    empty_registry();
    fill_human_types();
    humanoid_id = 0;
    reset_lobby(team, 500);
    game_state = STATE_PLAY;
    game_time = 100.0f;
    sent_datagrams().clear();
}

// Another copy in the table; returns its index.
inline int add_member(const char* name, uint32_t sender, int team, int number)
{
    int idx = add_participant(name, sender, team);
    parts[static_cast<size_t>(idx)].number = number;
    set_init_position(parts[static_cast<size_t>(idx)]);
    return idx;
}

inline unit* soldier(float x, float z, int team, int kind = HUMANOID_FOOTMAN)
{
    unit* u = add_proto_footman(x, 20.0f, z);
    u->team = team;
    u->vx = 0.0f;
    static_cast<humanoid_data*>(u->kind_data)->kind = kind;
    return u;
}


inline float as_float(uint32_t bits)
{
    float f;
    memcpy(&f, &bits, 4);
    return f;
}

inline uint32_t bits_of(float f)
{
    uint32_t u;
    memcpy(&u, &f, 4);
    return u;
}
