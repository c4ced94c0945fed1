#include "sim/ship.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "platform/vector.h"
#include "sim/commands.h"
#include "sim/game.h"
#include "sim/participants.h"
#include "sim/session.h"
#include "sim/sides.h"
#include "sim/terrain.h"
#include "sim/units.h"
#include "sim/wire.h"
#include "sim/world.h"

unit* add_ship(world& w, float x, float y, float z)
{
    const uint32_t id = next_unit_id(w, ID_CLASS_SHIP, w.units.ship_counter);
    unit* u = add_unit(w, id);
    u->x = x;
    u->y = y;
    u->z = z;
    u->pitch = 0.0f;
    u->heading = static_cast<float>(w.rand() % 90 + 135);
    u->team = TEAM_ATTACKERS;
    u->data = ship_data{};
    u->drive_speed = 0.0f;
    u->turn_rate = SHIP_TURN_STEP;
    u->radius = 20.0f;
    u->health = u->max_health = 50.0f;
    u->speed = 30.0f;
    u->on_water = 1;
    u->flying = 0;
    u->kind = UNIT_SHIP;
    u->order_kind = ORDER_NONE;
    u->next_collision_test = w.time - 1.0f;
    u->attack_target = nullptr;
    announce_unit(w, id, 2, TEAM_ATTACKERS);
    return u;
}

void init_ships(world& w)
{
    if (!leads_side(w.session, TEAM_ATTACKERS))
        return;
    add_ship(w, 0.0f, 0.0f, 500.0f);
    add_ship(w, 100.0f, 0.0f, 420.0f);
    add_ship(w, 200.0f, 0.0f, 410.0f);
}

void move_ship(unit* u, float dt)
{
    // Turning the short way round.
    u->order_heading = near_heading(u->order_heading, u->heading);
    if (std::fabs(u->order_heading - u->heading) >= 10.0f) {
        u->drive_speed = 0.0f;
        turn_toward(u, u->order_heading, dt);
        u->heading = wrap_360(u->heading);
        return;
    }
    const float dx = u->order_x - u->x, dz = u->order_z - u->z;
    const float distance2 = dx * dx + dz * dz;
    if (ship_data* d = ship_of(u))
        d->distance2 = distance2;
    if (distance2 > 4.0f) {
        u->drive_speed = SHIP_SAIL_SPEED;
        u->order_heading = near_heading(heading_toward(u->x, u->z, u->order_x, u->order_z), u->heading);
    } else {
        u->order_kind = ORDER_NONE;  // arrived
        u->drive_speed = 0.0f;
    }
}

void simulate_ship(world& w, unit* u, float dt)
{
    const float h = u->heading * static_cast<float>(DEG_TO_RAD);
    const float s = u->drive_speed;
    u->vx = std::sin(h) * s;
    u->vz = std::cos(h) * s;
    if (std::fabs(s) > 0.0f) {
        const float ahead =
            get_terrain_height(w.terrain, u->x + SHIP_LOOKAHEAD * std::sin(h), u->z + SHIP_LOOKAHEAD * std::cos(h));
        if (ahead > SHIP_SHOAL_HEIGHT) {
            u->vx = u->vy = u->vz = 0.0f;
            u->drive_speed = 0.0f;
            u->order_kind = ORDER_NONE;
            return;
        }
    }
    u->pitch = 0.0f;
    u->heading = wrap_360(u->heading);
    if (u->order_kind == ORDER_MOVE) {
        move_ship(u, dt);
    } else if (u->order_kind == ORDER_HOLD) {
        u->vx = u->vy = u->vz = 0.0f;
        u->drive_speed = 0.0f;
    }
}
