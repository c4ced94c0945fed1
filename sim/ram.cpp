#include "sim/ram.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/vector.h"
#include "sim/buildings.h"
#include "sim/catapult.h"
#include "sim/combat.h"
#include "sim/commands.h"
#include "sim/game.h"
#include "sim/messages.h"
#include "sim/model_tree.h"
#include "sim/participants.h"
#include "sim/route.h"
#include "sim/session.h"
#include "sim/sides.h"
#include "sim/terrain.h"
#include "sim/units.h"
#include "sim/walls.h"
#include "sim/world.h"

void init_battering_ram(world& w, unit* u, float x, float z)
{
    ram_data r;
    r.swing = static_cast<float>(w.rand() % 100) * 0.02f;
    r.wheel_angle = 0.0f;
    u->data = r;
    u->x = u->order_x = x;
    u->z = u->order_z = z;
    u->y = get_terrain_height(w.terrain, x, z) + 2.0f;
    u->heading = static_cast<float>(135 + w.rand() % 90);
    u->pitch = 91.0f;  // the first step settles it on the ground
    u->team = w.me ? w.me->team : TEAM_ATTACKERS;
    u->health = 20.0f;
    u->max_health = 10.0f;
    u->radius = 2.0f;
    u->speed = 20.0f;
    u->attack_target = nullptr;
    u->kind = UNIT_RAM;
    u->order_kind = ORDER_NONE;
    u->next_collision_test = w.time - 1.0f;
    u->flying = 0;
    u->arrival2 = 12.0f;
    u->drive_speed = 15.0f;
    u->turn_rate = 3.0f;
}

unit* add_ram(world& w, float x, float z, int team)
{
    const uint32_t id = next_unit_id(w, ID_CLASS_RAM, w.units.ram_counter);
    if (team != TEAM_ATTACKERS && team != TEAM_DEFENDERS)
        team = w.me ? w.me->team : TEAM_ATTACKERS;
    announce_unit(w, id, 0, team);
    unit* u = add_unit(w, id);
    init_battering_ram(w, u, x, z);
    u->team = team;
    return u;
}

unit* spawn_ram(world& w, uint32_t id, int team, int)
{
    unit* u = add_announced_unit(w, id);
    raise_unit_counter(id, w.units.ram_counter);
    init_battering_ram(w, u, 0.0f, 0.0f);
    u->team = team;
    return u;
}

void init_rams(world& w)
{
    if (!leads_side(w.session, TEAM_ATTACKERS))
        return;
    std::vector<waypoint> places;
    for (int i = 0; i < 5; ++i) {
        const float x = static_cast<float>(w.rand() % 64);
        const float z = static_cast<float>(w.rand() % 64 + 128);
        places.push_back({x, z});
    }
    // A ram made in the sea, or on ground no dry way joins to the city,
    // would never reach a gate: it is made on the nearest ground that one
    // does instead (the places drawn are the same, so the game's numbers
    // after them are too).
    keep_to_ground_joined_to_gate(w, places);
    for (const waypoint& p : places)
        add_ram(w, p.x, p.z, TEAM_ATTACKERS);
}

// The model the registry's last collision test found the ram pressed against.
model_node* ram_touched_model(const unit* u)
{
    return u->touched_model;
}

void attack_ram(const world& w, unit* u, model_node* model)
{
    if (!model)
        return;
    if (w.time > u->last_attack_time + RAM_BLOW_INTERVAL && model->health > 0.0f) {
        model->health -= 1.0f;
        u->last_attack_time = w.time;
    }
}

void simulate_ram(world& w, unit* u, float dt)
{
    ram_data* r = ram_of(u);
    if (!r)
        return;
    if (u->order_kind == ORDER_HOLD) {
        u->vx = u->vy = u->vz = 0.0f;
        return;
    }
    if (u->order_kind == ORDER_ATTACK) {
        if (model_node* m = ram_touched_model(u))
            attack_ram(w, u, m);
        move_close_range_unit(w, u, dt);
        r->swing = 3.0f * std::sin(3.0f * w.time);
    } else if (u->order_kind == ORDER_MOVE) {
        // The beam comes to rest.
        if (r->swing > 0.1f)
            r->swing -= 5.0f * dt;
        else if (r->swing < -0.1f)
            r->swing += 5.0f * dt;
    }
    // A ram at rest keeps its height and tilt.
    const bool at_rest = u->pitch < 90.0f && u->vx == 0.0f && u->vy == 0.0f && u->vz == 0.0f;
    if (!at_rest)
        settle_cart(w, u, dt);
    r->wheel_angle += std::sqrt(u->vx * u->vx + u->vz * u->vz) * dt * 60.0f;
    if (u->order_kind == ORDER_MOVE)
        move_close_range_unit(w, u, dt);
    // Without an order a ram stands: the water may push it ashore (the
    // registry's step, which settles it as it goes), but once on dry
    // ground nothing drives it on. A ram steered elsewhere has no order
    // here and moves as its records say.
    if (u->order_kind == ORDER_NONE && steered_here(w, u))
        u->vx = u->vz = 0.0f;
}

void conditionally_update_batram(world& w, unit* u)
{
    const ram_data* r = ram_of(u);
    add_engine_update(w, u, r ? r->swing : 0.0f);
}

int update_ram(world& w, unit* u, int count, const float* values)
{
    float swing = 0.0f;
    if (apply_engine_update(w, u, count, values, "battering ram", &swing) != 0)
        return -1;
    if (ram_data* r = ram_of(u))
        r->swing = swing;
    return 0;
}
