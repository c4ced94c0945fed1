#include "sim/archer.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "sim/combat.h"
#include "sim/commands.h"
#include "sim/game.h"
#include "sim/humanoid.h"
#include "sim/participants.h"
#include "sim/projectile.h"
#include "sim/session.h"
#include "sim/sides.h"
#include "sim/units.h"
#include "sim/walls.h"
#include "sim/wire.h"
#include "sim/world.h"

void archer_fell(world& w, int tower)
{
    if (tower < 0 || tower >= w.walls.count())
        return;
    wall_point& p = w.walls.points[static_cast<size_t>(tower)];
    p.has_archer = false;
    p.archer_id = 0;
    p.archer_emptied = true;
    p.regen_time = w.time + ARCHER_REGENERATION_DELAY;
}

unit* add_archer(world& w, float x, float y, float z, int tower)
{
    unit* u = add_humanoid(w, TEAM_DEFENDERS);
    init_humanoid(w, u);
    announce_unit(w, u->id, HUMANOID_ARCHER, TEAM_DEFENDERS);
    humanoid_data* h = humanoid_of(u);
    h->kind = HUMANOID_ARCHER;
    h->weapon = WEAPON_BOW;
    h->post = tower >= 0 && tower < w.walls.count() ? tower : -1;
    u->fixed = 1;
    u->team = TEAM_DEFENDERS;
    const float leg = h->type ? h->type->leg_length : 0.0f;
    u->x = u->order_x = x;
    u->y = u->order_y = y + leg;
    u->z = u->order_z = z;
    u->vx = u->vy = u->vz = 0.0f;
    u->heading = 180.0f;
    u->health = u->max_health = humanoid_health(HUMANOID_ARCHER);
    u->radius = 1.0f;
    u->attack_target = nullptr;
    u->target_seen = 0;
    u->last_attack_time = 0.0f;
    if (h->post >= 0) {
        wall_point& p = w.walls.points[static_cast<size_t>(h->post)];
        p.has_archer = true;
        p.archer_id = u->id;
        p.archer_emptied = false;
    }
    return u;
}

void shoot_archer(world& w, unit* u)
{
    unit* t = u->attack_target;
    if (!t || !(w.time - u->last_attack_time > BOW_RELOAD))
        return;
    const float yaw =
        std::atan2(u->z - t->z, u->x - t->x) * static_cast<float>(180.0 / M_PI) - 90.0f;
    const float gx = t->x - u->x, gz = t->z - u->z;
    const int d = static_cast<int>(std::sqrt(gx * gx + gz * gz));
    if (d > AIM_TABLE_SIZE - 1) {
        u->attack_target = nullptr;
        u->target_seen = 0;
        return;
    }
    const int dh = static_cast<int>(t->y - u->y);
    if (dh < -50 || dh > 49)
        return;  // out of the table: no shot, but the target stays
    const float pitch = -w.aim.elevation[dh + 50][d] * static_cast<float>(180.0 / M_PI);
    shoot_arrow(w, u->x, u->y + 0.3f, u->z, yaw, pitch, u->team);
    send_command_message(w.session, "UARW", u->id, float_to_bits(yaw), float_to_bits(pitch), 0);
    u->last_attack_time = w.time;
    u->heading = yaw;
    u->pitch = pitch;
}

void simulate_archer(world& w, unit* u)
{
    if (!leads_side(w.session, u->team) || u->order_kind == ORDER_HOLD)
        return;
    look_unit(w, u);
    if (u->attack_target)
        shoot_archer(w, u);
}

void regenerate_archers(world& w)
{
    for (int i = 0; i < w.walls.count(); ++i) {
        const wall_point& p = w.walls.points[static_cast<size_t>(i)];
        if (!p.tower || !p.archer_emptied || p.has_archer || !(p.regen_time < w.time))
            continue;
        const float s = p.thickness * 1.2f;
        const float H = p.height + 5.0f;
        add_archer(w, p.x + s / 2, p.y + H + s / 2, p.z + s / 2, i);
    }
}
