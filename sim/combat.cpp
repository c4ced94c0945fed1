#include "sim/combat.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "sim/commands.h"
#include "sim/events.h"
#include "sim/humanoid.h"
#include "sim/model_tree.h"
#include "sim/participants.h"
#include "sim/route.h"
#include "sim/session.h"
#include "sim/sides.h"
#include "sim/terrain.h"
#include "sim/units.h"
#include "sim/wire.h"
#include "sim/world.h"

static float ground_height(const world& w, float x, float z)
{
    return w.terrain.made ? get_terrain_height(w.terrain, x, z) : 0.0f;
}

// --- creation ---------------------------------------------------------------------

// The side a new unit is made for: `team`, or this copy's own.
static int side_of(const world& w, int team)
{
    return team == TEAM_ATTACKERS || team == TEAM_DEFENDERS ? team : local_team(w);
}

unit* add_proto_footman(world& w, float x, float y, float z, int team)
{
    team = side_of(w, team);
    unit* u = add_humanoid(w, team);
    init_humanoid(w, u);
    humanoid_data* h = humanoid_of(u);
    h->kind = HUMANOID_FOOTMAN;
    h->type = &human_type;
    h->weapon = WEAPON_SWORD;
    u->x = u->order_x = x;
    u->y = u->order_y = y;
    u->z = u->order_z = z;
    u->health = u->max_health = humanoid_health(HUMANOID_FOOTMAN);
    u->speed = humanoid_speed(HUMANOID_FOOTMAN);
    u->team = team;
    u->heading = 180.0f;
    u->last_attack_time = w.time - 1.0f;
    u->attack_target = nullptr;
    u->target_seen = 0;
    u->order_kind = ORDER_NONE;
    return u;
}

unit* add_footman(world& w, float x, float y, float z, int team)
{
    unit* u = add_proto_footman(w, x, y, z, team);
    announce_unit(w, u->id, HUMANOID_FOOTMAN, u->team);
    return u;
}

static unit* add_summoned(world& w, float x, float z, int kind, const humanoid_type* type, int weapon, int team)
{
    unit* u = add_proto_footman(w, x, ground_height(w, x, z) + 1.0f, z, team);
    humanoid_data* h = humanoid_of(u);
    h->kind = kind;
    h->type = type;
    h->weapon = weapon;
    u->health = u->max_health = humanoid_health(kind);
    announce_unit(w, u->id, kind, u->team);
    return u;
}

unit* add_ghoul(world& w, float x, float z, int team)
{
    return add_summoned(w, x, z, HUMANOID_GHOUL, &ghoul_type, WEAPON_SWORD, team);
}

unit* add_goblin(world& w, float x, float z, int team)
{
    return add_summoned(w, x, z, HUMANOID_GOBLIN, &goblin_type, WEAPON_SWORD, team);
}

unit* add_orangatang(world& w, float x, float z, int team)
{
    unit* u = add_summoned(w, x, z, HUMANOID_ORANGATANG, &orangatang_type, WEAPON_NONE, team);
    printf("an orangatang was created\n");
    return u;
}

unit* add_standing_footman(world& w, float x, float z, int team)
{
    return add_footman(w, x, ground_height(w, x, z) + 1.0f, z, team);
}

void init_footmen(world& w)
{
    if (!leads_side(w.session, TEAM_DEFENDERS))
        return;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            add_standing_footman(w, 5.0f * i - 10.0f, 5.0f * j - 160.0f, TEAM_DEFENDERS);
}

void init_goblins(world& w)
{
    if (!leads_side(w.session, TEAM_ATTACKERS))
        return;
    // None in the sea or cut off from the city (as the rams).
    std::vector<waypoint> places;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            places.push_back({5.0f * i - 30.0f, 7.0f * j + 140.0f});
    keep_to_ground_joined_to_gate(w, places);
    for (const waypoint& p : places)
        add_goblin(w, p.x, p.z, TEAM_ATTACKERS);
}

// --- behaviour --------------------------------------------------------------------

void look_unit(world& w, unit* u)
{
    const float range = humanoid_kind_of(u) == HUMANOID_ARCHER ? 100.0f : 50.0f;
    const float range2 = range * range;
    const int my_team = u->team;
    float best = 1e11f;
    u->target_seen = 0;
    // Every enemy in range draws a random number, in registry order; the
    // last one that beats the best so far is the target. Enemies out of
    // range decide nothing, so during a step the crowd grid hands over just
    // the ones near enough, in registry order: the same draws, the same
    // target.
    auto consider = [&](unit* o, float ox, float oy, float oz) {
        const float dx = ox - u->x, dy = oy - u->y, dz = oz - u->z;
        const float d2 = dx * dx + dy * dy + dz * dz;
        if (d2 < range2) {
            const int r = w.rand() % 200;
            if (d2 < best - static_cast<float>(r)) {
                u->attack_target = o;
                u->target_seen = 1;
                best = d2;
            }
        }
    };
    std::vector<near_unit>& near = w.units.look_scratch;
    if (units_near(w, u, range, my_team, near)) {
        for (const near_unit& o : near)
            consider(o.u, o.x, o.y, o.z);
    } else {
        for (unit* o = w.units.list; o; o = o->next)
            if (o != u && o->team != my_team)
                consider(o, o->x, o->y, o->z);
    }
    if (!u->target_seen)
        u->attack_target = nullptr;
}

void move_close_range_unit(world& w, unit* u, float dt)
{
    const float desired = near_heading(heading_toward(u->x, u->z, u->order_x, u->order_z), u->heading);
    u->order_heading = desired;
    if (std::fabs(desired - u->heading) >= 10.0f) {
        turn_toward(u, desired, dt);
        u->heading = wrap_360(u->heading);
        u->vx = u->vz = 0.0f;
        return;
    }
    const float dx = u->order_x - u->x, dz = u->order_z - u->z;
    if (dx * dx + dz * dz > u->arrival2) {
        const double h = u->heading * M_PI / 180.0;
        u->vx = static_cast<float>(sin(h) * u->drive_speed);
        u->vz = static_cast<float>(cos(h) * u->drive_speed);
        u->order_heading = wrap_360(u->order_heading);
        return;
    }
    if (u->order_kind == ORDER_MOVE) {
        u->order_kind = ORDER_NONE;
    } else if (u->order_kind == ORDER_ENGAGED) {
        look_unit(w, u);
        u->order_kind = u->target_seen ? ORDER_ATTACK : ORDER_NONE;
    }
    u->vx = u->vz = 0.0f;
}

void attack_footman(world& w, unit* u)
{
    unit* target = u->attack_target;
    if (!target)
        return;
    send_command_message(w.session, "USWD", u->id, target->id, float_to_bits(u->heading), 0);
    damage_this_unit(w, target, u, SWORD_REACH);
    u->last_attack_time = w.time;
    start_sword_stroke(w, u);
}

void simulate_close_range_unit(world& w, unit* u, float dt)
{
    if (!leads_side(w.session, u->team))
        return;
    switch (u->order_kind) {
    case ORDER_NONE:
        look_unit(w, u);
        if (u->target_seen && u->attack_target) {
            u->order_kind = ORDER_ENGAGED;
            u->order_x = (u->x + u->attack_target->x) * 0.5f;
            u->order_z = (u->z + u->attack_target->z) * 0.5f;
        }
        u->vx = u->vy = u->vz = 0.0f;
        break;
    case ORDER_MOVE:
    case ORDER_ENGAGED:
        move_close_range_unit(w, u, dt);
        break;
    case ORDER_ATTACK:
        look_unit(w, u);
        if (u->target_seen && u->attack_target) {
            u->order_x = u->attack_target->x;
            u->order_z = u->attack_target->z;
            if (w.time > u->last_attack_time + SWORD_COOLDOWN)
                attack_footman(w, u);
        }
        move_close_range_unit(w, u, dt);
        break;
    case ORDER_HOLD:
        u->vx = u->vy = u->vz = 0.0f;
        break;
    default:
        break;
    }
}

void unit_detarget(world& w, unit* u)
{
    for (unit* o = w.units.list; o; o = o->next)
        if (o->attack_target == u) {
            o->attack_target = nullptr;
            o->target_seen = 0;
        }
    // The dying unit's own look runs once more; it is freed right after.
    look_unit(w, u);
}

// --- damage -----------------------------------------------------------------------

int damage_this_unit(world& w, unit* target, unit* attacker, float reach)
{
    if (!target) {
        printf("tried to hit a target that doesn't exist\n");
        return 0;
    }
    if (!attacker)
        return 0;
    const float r = target->radius + reach;
    const float dx = attacker->x - target->x, dz = attacker->z - target->z;
    const float dy0 = attacker->y - target->y, dy1 = attacker->y - (target->y + 1.0f);
    const float h2 = dx * dx + dz * dz;
    if (h2 + dy0 * dy0 < r * r || h2 + dy1 * dy1 < r * r) {
        do_damage(w, 1.0f, target);
        return 1;
    }
    return 0;
}

static int blast(world& w, float x, float y, float z, float radius, float* nearest_out, float damage, int team, bool column)
{
    float nearest = 99999.0f;
    int result = 0;
    for (unit* u = w.units.list; u;) {
        unit* next = u->next;  // the blow may delete this unit
        if (u->team != team) {
            const float r = u->radius + radius;
            const float dx = u->x - x, dz = u->z - z;
            float d1, d2;
            if (column) {
                d1 = d2 = dx * dx + dz * dz;
            } else {
                const float dy0 = u->y - y, dy1 = u->y + 1.0f - y;
                d1 = dx * dx + dy0 * dy0 + dz * dz;
                d2 = dx * dx + dy1 * dy1 + dz * dz;
            }
            if (d1 < r * r || d2 < r * r) {
                do_damage(w, damage, u);
                result = 1;
                nearest = 0.0f;
            } else {
                nearest = std::fmin(nearest, std::fmin(std::sqrt(d1), std::sqrt(d2)));
            }
        }
        u = next;
    }
    if (nearest_out)
        *nearest_out = nearest;
    return result;
}

int damage_unit(world& w, float x, float y, float z, float radius, float* nearest, float damage, int team)
{
    return blast(w, x, y, z, radius, nearest, damage, team, false);
}

int damage_unit_xz(world& w, float x, float z, float radius, float* nearest, float damage, int team)
{
    return blast(w, x, 0.0f, z, radius, nearest, damage, team, true);
}

int do_damage_collision_check(world& w, float& x, float& y, float& z, float& dx, float& dy, float& dz, float radius,
                              float& next_check, float speed, float damage, int team)
{
    if (!(w.time > next_check)) {
        dx = dy = dz = 0.0f;
        return 0;
    }
    float p[3] = {x, y, z};
    const float step[3] = {dx, dy, dz};
    const float c = do_collision_check(w.structures, p, step, radius, nullptr);
    next_check = w.time + c / speed;
    dx = p[0] - x;
    dy = p[1] - y;
    dz = p[2] - z;
    x = p[0];
    y = p[1];
    z = p[2];
    float nearest = 99999.0f;
    if (damage_unit(w, x, y, z, radius, &nearest, damage, team))
        return 1;
    if (nearest < 2.0f * c)
        next_check = w.time + nearest / (2.0f * speed);
    return 0;
}

void do_damage(world& w, float damage, unit* u)
{
    if (!u)
        return;
    if (u == w.me) {
        w.player.target_health = w.me->health - damage;
        emit_at(w.session.events, sim_event_kind::hurt, w.me->x, w.me->y, w.me->z);
    } else if (plays_side(w.session, u->team)) {
        take_unit_damage(w, damage, u);
    }
    // Otherwise the copies of the unit's own side apply the blow.
}

void take_unit_damage(world& w, float damage, unit* u)
{
    if (humanoid_kind_of(u) == HUMANOID_FIGURE && computer_figure_side(w, u) < 0)
        return;  // a player's figure's health is kept by its own copy
    u->health -= damage;
    if (u->health > 0.0f)
        return;
    // Only the copy that created the unit decides its death (and announces
    // it); the others show the wounds and wait for its "UDIE".
    if (decides_death(w, u))
        del_unit(w, u);
    else
        u->health = 0.0f;
}
