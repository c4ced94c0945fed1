#include "sim/ship.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "sim/game.h"
#include "platform/random.h"
#include "platform/vector.h"
#include "sim/commands.h"
#include "sim/wire.h"
#include "sim/participants.h"
#include "sim/sides.h"
#include "sim/units.h"
#include "sim/terrain.h"

int ship_id = 0;

unit* add_ship(float x, float y, float z)
{
    const uint32_t id = next_unit_id(ID_CLASS_SHIP, ship_id);
    unit* u = add_unit(id);
    u->x = x;
    u->y = y;
    u->z = z;
    u->pitch = 0.0f;
    u->heading = static_cast<float>(game_rand() % 90 + 135);
    u->team = TEAM_ATTACKERS;
    u->param[0] = 0.0f;  // squared distance to the order target
    u->param[1] = 0.0f;  // sailing speed
    u->param[2] = SHIP_TURN_STEP;
    u->radius = 20.0f;
    u->health = u->max_health = 50.0f;
    u->speed = 30.0f;
    u->on_water = 1;
    u->flying = 0;
    u->kind = UNIT_SHIP;
    u->order_kind = ORDER_NONE;
    u->next_collision_test = game_time - 1.0f;
    u->extra = nullptr;
    u->kind_data = nullptr;
    u->attack_target = nullptr;
    announce_unit(id, 2, TEAM_ATTACKERS);
    return u;
}

void reset_game_ships()
{
    ship_id = 0;
}

void init_ships()
{
    if (!leads_side(TEAM_ATTACKERS))
        return;
    add_ship(0.0f, 0.0f, 500.0f);
    add_ship(100.0f, 0.0f, 420.0f);
    add_ship(200.0f, 0.0f, 410.0f);
}

void move_ship(unit* u, float dt)
{
    // Turning the short way round.
    u->order_heading = near_heading(u->order_heading, u->heading);
    if (std::fabs(u->order_heading - u->heading) >= 10.0f) {
        u->param[1] = 0.0f;
        turn_toward(u, u->order_heading, dt);
        u->heading = wrap_360(u->heading);
        return;
    }
    const float dx = u->order_x - u->x, dz = u->order_z - u->z;
    u->param[0] = dx * dx + dz * dz;
    if (u->param[0] > 4.0f) {
        u->param[1] = SHIP_SAIL_SPEED;
        u->order_heading = near_heading(heading_toward(u->x, u->z, u->order_x, u->order_z), u->heading);
    } else {
        u->order_kind = ORDER_NONE;  // arrived
        u->param[1] = 0.0f;
    }
}

void simulate_ship(unit* u, float dt)
{
    const float h = u->heading * static_cast<float>(DEG_TO_RAD);
    const float s = u->param[1];
    u->vx = std::sin(h) * s;
    u->vz = std::cos(h) * s;
    if (std::fabs(s) > 0.0f) {
        const float ahead =
            get_terrain_height(u->x + SHIP_LOOKAHEAD * std::sin(h), u->z + SHIP_LOOKAHEAD * std::cos(h));
        if (ahead > SHIP_SHOAL_HEIGHT) {
            u->vx = u->vy = u->vz = 0.0f;
            u->param[1] = 0.0f;
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
        u->param[1] = 0.0f;
    }
}
