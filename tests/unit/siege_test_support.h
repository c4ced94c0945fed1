// Shared set-up for the siege tests: a lone copy on a chosen team (so it
// leads that team), an empty sky and registry, a controllable clock and a
// terrain of known heights, and a reader for the commands the copy sent.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "net_test_support.h"
#include "registry_reset.h"
#include "sim/projectile.h"
#include "sim/units.h"
#include "sim/buildings.h"
#include "sim/model_tree.h"
#include "sim/terrain.h"
#include "sim/walls.h"

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

// One step of a unit as the registry takes it, without the collision test:
// the clock advances, the unit moves by its velocity, then its kind's own
// step runs.
inline void registry_step(unit* u, float dt, void (*kind_step)(unit*, float))
{
    game_time += dt;
    u->x += u->vx * dt;
    u->y += u->vy * dt;
    u->z += u->vz * dt;
    kind_step(u, dt);
}

// A lone copy on `team` in play: it leads its team.
inline void siege_reset(int team, float ground = 0.0f)
{
    reset_lobby(team);
    empty_registry();
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

// The city as shipped (the source tree's walls and buildings) for a lone
// attacker on flat ground at height 20: returns its first gate's wall
// point, -1 when the files hold no city or no gate.
inline int load_shipped_city()
{
    siege_reset(TEAM_ATTACKERS, 20.0f);
    const std::string data = std::string(__FILE__).substr(0, std::string(__FILE__).rfind("/tests/")) + "/data/";
    walls_filename = data + "walls.txt";
    houses_filename = data + "houses.txt";
    init_wall_links();
    const bool loaded = load_walls() > 0 && load_buildings() > 0;
    walls_filename = "walls.txt";
    houses_filename = "houses.txt";
    for (int i = 0; loaded && i + 1 < n_wall_pts; ++i)
        if (the_wall_pts[static_cast<size_t>(i)].gate)
            return i;
    return -1;
}
