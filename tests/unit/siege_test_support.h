// The siege tests' fixture: a lone copy on a chosen team (so it leads that
// team) in a world of flat ground of known height, with an empty sky, and
// steps of a unit or of the projectiles at a fixed step on a clock the test
// moves.
#pragma once

#include <string>
#include <vector>

#include "game_fixture.h"
#include "sim/buildings.h"
#include "sim/projectile.h"
#include "sim/walls.h"

class siege_test : public game_test {
protected:
    // A lone copy on `team` in play on flat ground of height `ground`.
    world& siege_reset(int team, float ground = 0.0f)
    {
        world& w = fresh_game(team);
        flat_ground(ground);
        return w;
    }

    // Sets the grid heights for x >= x0 (world units) to h.
    void raise_east_of(float x0, float h)
    {
        terrain_state& t = game->terrain;
        for (int j = 0; j < TERRAIN_SIZE; ++j)
            for (int i = 0; i < TERRAIN_SIZE; ++i)
                if (4.0f * i - 256.0f >= x0)
                    t.height_map[j][i] = h;
        calculate_normals(t);
    }

    // One step of a unit as the registry takes it, without the collision
    // test: the clock advances, the unit moves by its velocity, then its
    // kind's own step runs.
    void registry_step(unit* u, float dt)
    {
        world& w = *game;
        w.time += dt;
        u->x += u->vx * dt;
        u->y += u->vy * dt;
        u->z += u->vz * dt;
        kind_row(u->kind)->step(w, u, dt);
    }

    // One projectile frame at a fixed step, with the clock advanced first.
    void projectile_frame(float dt)
    {
        game->time += dt;
        simulate_projectiles(*game, dt);
    }

    // The city as shipped (the source tree's walls and buildings) for a lone
    // attacker on flat ground at height 20: returns its first gate's wall
    // point, -1 when the files hold no city or no gate.
    int load_shipped_city()
    {
        world& w = siege_reset(TEAM_ATTACKERS, 20.0f);
        const std::string file = __FILE__;
        const std::string data = file.substr(0, file.rfind("/tests/")) + "/data/";
        s.files.walls = data + "walls.txt";
        s.files.houses = data + "houses.txt";
        const bool loaded = load_walls(w) > 0 && load_buildings(w) > 0;
        s.files = placement_files{};
        for (int i = 0; loaded && i + 1 < w.walls.count(); ++i)
            if (w.walls.points[static_cast<size_t>(i)].gate)
                return i;
        return -1;
    }
};
