// A battle scene without a window, shared by the crowd separation tests and
// the unit simulation benchmarks: an island, this copy alone on team 1, and
// `count` units of mixed kinds spread over the land, some in tight knots
// (so that many overlap) and a few on the very same spot, all ordered to
// walk somewhere. All are this copy's (team 1, whose leader it is): no
// fights, so no unit dies, and a run depends on the scene alone. Nothing
// is recorded of what the scene sends (a benchmark sends a lot).
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "session_setup.h"
#include "sim/catapult.h"
#include "sim/combat.h"
#include "sim/humanoid.h"
#include "sim/ram.h"
#include "sim/terrain.h"
#include "sim/units.h"

// A session and the world of its scene.
struct crowd_scene {
    session s;
    std::unique_ptr<world> w;
};

inline float crowd_coord(world& w, float half)
{
    return static_cast<float>(w.rand() % 10000) / 10000.0f * 2.0f * half - half;
}

// The scene's world: this copy on `local_team` in play at 100 s, on the
// island of seed 4242, its draws from then on from `seed`.
inline world& scene_world(crowd_scene& sc, int local_team, unsigned seed)
{
    sc.w.reset();
    lone_copy(sc.s, local_team, 500);
    sc.w = play_world(sc.s);
    world& w = *sc.w;
    stream_srand(w.rng, 4242);
    random_map(w);
    stream_srand(w.rng, seed);
    return w;
}

inline void build_crowd_scene(crowd_scene& sc, int count, unsigned seed)
{
    world& w = scene_world(sc, 1, seed);
    float knot_x = 0, knot_z = 0;
    for (int i = 0; i < count; ++i) {
        float x, z;
        if (i % 4 == 0) {  // a new knot
            knot_x = crowd_coord(w, 200.0f);
            knot_z = crowd_coord(w, 200.0f);
        }
        if (i % 4 == 3) {  // close to its knot
            x = knot_x + crowd_coord(w, 2.0f);
            z = knot_z + crowd_coord(w, 2.0f);
        } else if (i % 97 == 5) {  // on the very spot of the knot
            x = knot_x;
            z = knot_z;
        } else {
            x = crowd_coord(w, 240.0f);
            z = crowd_coord(w, 240.0f);
        }
        unit* u;
        switch (i % 10) {
        case 7: u = add_catapult(w, x, z); break;
        case 8: u = add_ram(w, x, z); break;
        case 9: u = add_goblin(w, x, z); break;
        default: u = add_proto_footman(w, x, get_terrain_height(w.terrain, x, z), z); break;
        }
        u->team = 1;
        order_specific_unit(u, crowd_coord(w, 200.0f), crowd_coord(w, 200.0f), ORDER_MOVE);
    }
    w.time = 100.0f;
}

// Every unit's place, bit for bit, in registry order.
struct crowd_place {
    uint32_t id;
    float x, y, z;
};

inline std::vector<crowd_place> crowd_places(const world& w)
{
    std::vector<crowd_place> v;
    for (const unit* u = w.units.list; u; u = u->next)
        v.push_back({u->id, u->x, u->y, u->z});
    return v;
}

// As in play, the other side's leader reports its units at every step: none
// of them stands for want of records.
inline void other_side_reports(world& w)
{
    for (unit* u = w.units.list; u; u = u->next)
        u->reported_at = w.time;
}

// Two armies in contact: `count` humanoids, half of them this copy's
// footmen (team 1, which it leads: they choose enemies, walk up to them and
// strike) in a block on the -z side, half the other side's goblins (team 0,
// moved here only by the shared step) in a block on the +z side, the two
// fronts 8 units apart. Ranks 4 units apart (closer for big armies, so that
// both blocks stay on the island). Nobody dies here: the footmen's blows
// count only on the goblins' own copies. With `local_team` 0 this copy
// leads the goblins instead, and they are the ones that fight.
inline void build_battle_scene(crowd_scene& sc, int count, unsigned seed, int local_team = 1)
{
    world& w = scene_world(sc, local_team, seed);
    const int side = count / 2;
    int columns = 1;
    while (columns * columns < side)
        ++columns;
    const float spacing = std::fmin(4.0f, 200.0f / static_cast<float>(columns));
    for (int team = 0; team < 2; ++team)
        for (int i = 0; i < side; ++i) {
            const float x = (static_cast<float>(i % columns) - 0.5f * static_cast<float>(columns)) * spacing;
            const float depth = 4.0f + static_cast<float>(i / columns) * spacing;
            const float z = team == 1 ? -depth : depth;
            unit* u = team == 1 ? add_proto_footman(w, x, get_terrain_height(w.terrain, x, z) + 1.0f, z)
                                : add_goblin(w, x, z);
            u->team = team;
        }
    w.time = 100.0f;
}
