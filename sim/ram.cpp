#include "sim/ram.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "sim/game.h"
#include "platform/random.h"
#include "platform/vector.h"
#include "sim/commands.h"
#include "sim/messages.h"
#include "sim/participants.h"
#include "sim/sides.h"
#include "sim/catapult.h"
#include "sim/combat.h"
#include "sim/units.h"
#include "sim/buildings.h"
#include "sim/model_tree.h"
#include "sim/route.h"
#include "sim/terrain.h"
#include "sim/walls.h"

int ram_id = 0;

static void release_ram_data(void* p)
{
    delete static_cast<ram_data*>(p);
}

void init_battering_ram(unit* u, float x, float z)
{
    if (u->kind_data && u->kind_release)
        u->kind_release(u->kind_data);
    auto* r = new ram_data{};
    r->swing = static_cast<float>(game_rand() % 100) * 0.02f;
    r->wheel_angle = 0.0f;
    u->kind_data = r;
    u->kind_release = release_ram_data;
    u->x = u->order_x = x;
    u->z = u->order_z = z;
    u->y = get_terrain_height(x, z) + 2.0f;
    u->heading = static_cast<float>(135 + game_rand() % 90);
    u->pitch = 91.0f;  // the first step settles it on the ground
    u->team = me ? me->team : TEAM_ATTACKERS;
    u->health = 20.0f;
    u->max_health = 10.0f;
    u->radius = 2.0f;
    u->speed = 20.0f;
    u->extra = nullptr;
    u->extra_release = nullptr;
    u->attack_target = nullptr;
    u->kind = UNIT_RAM;
    u->order_kind = ORDER_NONE;
    u->next_collision_test = game_time - 1.0f;
    u->flying = 0;
    u->param[0] = 12.0f;  // arrival threshold (squared distance)
    u->param[1] = 15.0f;  // walking speed
    u->param[2] = 3.0f;   // turn rate, degrees per step
}

unit* add_ram(float x, float z, int team)
{
    const uint32_t id = next_unit_id(ID_CLASS_RAM, ram_id);
    if (team != TEAM_ATTACKERS && team != TEAM_DEFENDERS)
        team = me ? me->team : TEAM_ATTACKERS;
    announce_unit(id, 0, team);
    unit* u = add_unit(id);
    init_battering_ram(u, x, z);
    u->team = team;
    return u;
}

unit* spawn_ram(unsigned id, int team)
{
    unit* u = add_announced_unit(id);
    raise_unit_counter(id, ram_id);
    init_battering_ram(u, 0.0f, 0.0f);
    u->team = team;
    return u;
}

void reset_game_rams()
{
    ram_id = 0;
}

void init_rams()
{
    if (!leads_side(TEAM_ATTACKERS))
        return;
    std::vector<waypoint> places;
    for (int i = 0; i < 5; ++i) {
        const float x = static_cast<float>(game_rand() % 64);
        const float z = static_cast<float>(game_rand() % 64 + 128);
        places.push_back({x, z});
    }
    // A ram made in the sea, or on ground no dry way joins to the city,
    // would never reach a gate: it is made on the nearest ground that one
    // does instead (the places drawn are the same, so the game's numbers
    // after them are too).
    keep_to_ground_joined_to_gate(places);
    for (const waypoint& p : places)
        add_ram(p.x, p.z, TEAM_ATTACKERS);
}

// The model the registry's last collision test found the ram pressed against.
model_node* ram_touched_model(const unit* u)
{
    return u->touched_model;
}

void attack_ram(unit* u, model_node* model)
{
    if (!model)
        return;
    if (game_time > u->last_attack_time + RAM_BLOW_INTERVAL && model->health > 0.0f) {
        model->health -= 1.0f;
        u->last_attack_time = game_time;
    }
}

void simulate_ram(unit* u, float dt)
{
    auto* r = static_cast<ram_data*>(u->kind_data);
    if (!r)
        return;
    if (u->order_kind == ORDER_HOLD) {
        u->vx = u->vy = u->vz = 0.0f;
        return;
    }
    if (u->order_kind == ORDER_ATTACK) {
        if (model_node* m = ram_touched_model(u))
            attack_ram(u, m);
        move_close_range_unit(u, dt);
        r->swing = 3.0f * std::sin(3.0f * game_time);
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
        settle_cart(u, dt);
    r->wheel_angle += std::sqrt(u->vx * u->vx + u->vz * u->vz) * dt * 60.0f;
    if (u->order_kind == ORDER_MOVE)
        move_close_range_unit(u, dt);
    // Without an order a ram stands: the water may push it ashore (the
    // registry's step, which settles it as it goes), but once on dry
    // ground nothing drives it on. A ram steered elsewhere has no order
    // here and moves as its records say.
    if (u->order_kind == ORDER_NONE && steered_here(u))
        u->vx = u->vz = 0.0f;
}

void conditionally_update_batram(unit* u)
{
    const auto* r = static_cast<const ram_data*>(u->kind_data);
    add_engine_update(u, r ? r->swing : 0.0f);
}

int update_ram(unit* u, int count, const float* values)
{
    float swing = 0.0f;
    if (apply_engine_update(u, count, values, "battering ram", &swing) != 0)
        return -1;
    if (auto* r = static_cast<ram_data*>(u->kind_data))
        r->swing = swing;
    return 0;
}
