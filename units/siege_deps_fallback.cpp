// Weak stand-ins for the combat operations declared in units/siege_deps.h.
// The combat module's own definitions take precedence as soon as it is
// linked in; this file goes away then.
#include <cmath>

#include "core/main_loop.h"
#include "core/random.h"
#include "core/vector.h"
#include "net/participants.h"
#include "units/humanoid.h"
#include "units/siege_deps.h"
#include "ui/interface.h"
#include "units/units.h"
#include "world/model_tree.h"

#define SIEGE_WEAK __attribute__((weak))

SIEGE_WEAK void do_damage(float damage, unit* u)
{
    if (!u || u == me || !me || u->team != me->team)
        return;
    if (u->kind == UNIT_HUMANOID && u->kind_data &&
        static_cast<humanoid_data*>(u->kind_data)->kind == HUMANOID_AVATAR)
        return;
    u->health -= damage;
    if (u->health <= 0.0f)
        del_unit(u);
}

SIEGE_WEAK void look_unit(unit* u)
{
    const float range = (u->kind == UNIT_HUMANOID && u->kind_data &&
                         static_cast<humanoid_data*>(u->kind_data)->kind == HUMANOID_ARCHER)
                            ? 100.0f
                            : 50.0f;
    const int my_team = me ? me->team : -1;
    float best = 1e11f;
    for (unit* o = unit_list; o; o = o->next) {
        if (o == u || o->team == my_team)
            continue;
        const float dx = o->x - u->x, dy = o->y - u->y, dz = o->z - u->z;
        const float d2 = dx * dx + dy * dy + dz * dz;
        if (d2 < range * range) {
            const float r = static_cast<float>(game_rand() % 200);
            if (d2 < best - r) {
                u->attack_target = o;
                u->target_seen = 1;
                best = d2;
            }
        } else if (u->attack_target == o) {
            u->attack_target = nullptr;
            u->target_seen = 0;
        }
    }
}

SIEGE_WEAK void move_close_range_unit(unit* u)
{
    float desired = 90.0f - std::atan2(u->order_z - u->z, u->order_x - u->x) * 57.29577951308232f;
    while (desired - u->heading > 180.0f)
        desired -= 360.0f;
    while (desired - u->heading < -180.0f)
        desired += 360.0f;
    if (std::fabs(desired - u->heading) >= 10.0f) {
        u->heading += desired > u->heading ? u->param[2] : -u->param[2];
        while (u->heading > 360.0f)
            u->heading -= 360.0f;
        while (u->heading < 0.0f)
            u->heading += 360.0f;
        u->vx = u->vz = 0.0f;
        u->order_heading = desired;
        return;
    }
    const float dx = u->order_x - u->x, dz = u->order_z - u->z;
    if (dx * dx + dz * dz > u->param[0]) {
        const float h = u->heading * static_cast<float>(DEG_TO_RAD);
        u->vx = std::sin(h) * u->param[1];
        u->vz = std::cos(h) * u->param[1];
        if (desired < 0.0f)
            desired += 360.0f;
        else if (desired > 360.0f)
            desired -= 360.0f;
        u->order_heading = desired;
        return;
    }
    if (u->order_kind == ORDER_MOVE) {
        u->order_kind = ORDER_NONE;
    } else if (u->order_kind == ORDER_ENGAGED) {
        look_unit(u);
        u->order_kind = u->attack_target ? ORDER_ATTACK : ORDER_NONE;
    }
    u->vx = u->vz = 0.0f;
}

SIEGE_WEAK int damage_unit(float x, float y, float z, float blast_radius, float* nearest, float damage, int team)
{
    float best = 99999.0f;
    int result = 0;
    for (unit* u = unit_list; u;) {
        unit* next = u->next;  // a hit may delete the unit
        if (u->team != team) {
            const float r = u->radius + blast_radius;
            const float dx = x - u->x, dy = y - u->y, dz = z - u->z;
            const float d1 = dx * dx + dy * dy + dz * dz;
            const float d2 = dx * dx + (dy - 1.0f) * (dy - 1.0f) + dz * dz;
            if (d1 < r * r || d2 < r * r) {
                do_damage(damage, u);
                result = 1;
                best = 0.0f;
            } else {
                best = std::fmin(best, std::fmin(std::sqrt(d1), std::sqrt(d2)));
            }
        }
        u = next;
    }
    if (nearest)
        *nearest = best;
    return result;
}

SIEGE_WEAK int do_damage_collision_check(float& x, float& y, float& z, float& dx, float& dy, float& dz,
                                         float radius, float& next_check, float speed, float damage, int team)
{
    if (!(game_time > next_check)) {
        dx = dy = dz = 0.0f;
        return 0;
    }
    float p[3] = {x, y, z};
    const float step[3] = {dx, dy, dz};
    const float c = do_collision_check(p, step, radius, nullptr);
    dx = p[0] - x;
    dy = p[1] - y;
    dz = p[2] - z;
    x = p[0];
    y = p[1];
    z = p[2];
    next_check = game_time + c / speed;
    float nearest = 0.0f;
    if (damage_unit(x, y, z, radius, &nearest, damage, team))
        return 1;
    if (nearest < 2.0f * c)
        next_check = game_time + nearest / (2.0f * speed);
    return 0;
}

SIEGE_WEAK void select_catas()
{
    friends_selected = 0;
    enemy_selected = nullptr;
    for (unit* u = unit_list; u; u = u->next) {
        u->selected = u->kind == UNIT_CATAPULT ? 1 : 0;
        if (u->selected && me && u->team == me->team)
            ++friends_selected;
    }
    init_command_buttons();
}
