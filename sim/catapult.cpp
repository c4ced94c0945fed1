#include "sim/catapult.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/vector.h"
#include "sim/combat.h"
#include "sim/commands.h"
#include "sim/fire.h"
#include "sim/game.h"
#include "sim/message_table.h"
#include "sim/messages.h"
#include "sim/model_tree.h"
#include "sim/participants.h"
#include "sim/projectile.h"
#include "sim/rights.h"
#include "sim/route.h"
#include "sim/session.h"
#include "sim/sides.h"
#include "sim/terrain.h"
#include "sim/units.h"
#include "sim/wire.h"
#include "sim/world.h"

void init_catapult(world& w, unit* u, float x, float z)
{
    catapult_data c;
    c.arm_angle = 160.0f;
    c.arm_speed = 0.0f;
    c.wheel_angle = 0.0f;
    c.reload_time = static_cast<float>(w.rand() % 4 + 1);
    c.burning = w.rand() % 5 == 0 ? 1 : 0;
    c.range = 0.0f;
    u->data = c;
    u->x = x;
    u->z = z;
    u->order_x = x;
    u->order_z = z;
    u->heading = 180.0f;
    u->pitch = 91.0f;
    u->team = w.me ? w.me->team : 1;
    u->attack_target = nullptr;
    u->health = u->max_health = 10.0f;
    u->radius = 1.0f;
    u->speed = 15.0f;
    u->kind = UNIT_CATAPULT;
    u->order_kind = ORDER_NONE;
    u->drive_speed = 0.0f;
    u->turn_rate = 3.0f;
    u->next_collision_test = w.time - 1.0f;
    u->flying = 0;
}

static constexpr float RAD = static_cast<float>(DEG_TO_RAD);



unit* add_catapult(world& w, float x, float z, int team)
{
    const uint32_t id = next_unit_id(w, ID_CLASS_CATAPULT, w.units.catapult_counter);
    if (team != TEAM_ATTACKERS && team != TEAM_DEFENDERS)
        team = w.me ? w.me->team : TEAM_DEFENDERS;
    announce_unit(w, id, 0, team);
    unit* u = add_unit(w, id);
    init_catapult(w, u, x, z);
    u->team = team;
    return u;
}

unit* spawn_catapult(world& w, uint32_t id, int team, int)
{
    unit* u = add_announced_unit(w, id);
    raise_unit_counter(id, w.units.catapult_counter);
    init_catapult(w, u, 0.0f, 0.0f);
    u->team = team;
    return u;
}

void init_catapults(world& w)
{
    if (leads_side(w.session, TEAM_ATTACKERS)) {
        // None in the sea or cut off from the city (as the rams).
        std::vector<waypoint> places;
        for (float z : {160.0f, 145.0f})
            for (int i = 0; i < 5; ++i)
                places.push_back({4.0f * static_cast<float>(i), z});
        keep_to_ground_joined_to_gate(w, places);
        for (const waypoint& p : places)
            add_catapult(w, p.x, p.z, TEAM_ATTACKERS);
    }
}

// Heading toward the point, brought within 180 degrees of the current one.
static float aim_heading(const unit* u, float tx, float tz)
{
    return near_heading(heading_toward(u->x, u->z, tx, tz), u->heading);
}

float predicted_catapult_range(float catapult_y, float target_ground)
{
    const float v = BALL_SPEED, th = BALL_ELEVATION * RAD;
    const float c2 = std::cos(th) * std::cos(th), t = std::tan(th);
    const float dh = target_ground - (catapult_y + 4.0f);
    const float root = t * t - 2.0f * BALL_GRAVITY * dh / (v * v * c2);
    if (root < 0.0f)
        return 0.0f;  // the ball never gets that high
    return (2.0f * v * v * c2 / (2.0f * BALL_GRAVITY)) * (t + std::sqrt(root));
}

void move_catapult(world&, unit* u, float dt)
{
    catapult_data* c = catapult_of(u);
    const float oh = aim_heading(u, u->order_x, u->order_z);
    u->order_heading = oh;
    if (std::fabs(oh - u->heading) >= 10.0f) {
        u->drive_speed = 0.0f;
        turn_toward(u, oh, dt);
        u->heading = wrap_360(u->heading);
        return;
    }
    const float dx = u->order_x - u->x, dz = u->order_z - u->z;
    const float distance2 = dx * dx + dz * dz;
    if (c)
        c->range = distance2;
    if (distance2 <= 25.0f) {
        u->order_kind = ORDER_NONE;
        u->drive_speed = 0.0f;
    } else {
        u->drive_speed = CATAPULT_DRIVE_SPEED;
    }
}

void attack_catapult(world& w, unit* u, float dt)
{
    if (!leads_side(w.session, u->team))
        return;
    catapult_data* c = catapult_of(u);
    if (!c)
        return;
    if (std::fabs(c->arm_angle) > 200.0f)
        printf("c->arm_angle = %f\n", static_cast<double>(c->arm_angle));
    const float dx = u->order_x - u->x, dz = u->order_z - u->z;
    const float dist = std::sqrt(dx * dx + dz * dz);
    const float oh = aim_heading(u, u->order_x, u->order_z);
    u->order_heading = oh;
    if (c->arm_angle >= 159.5f && c->reload_time < w.time) {
        c->range = predicted_catapult_range(u->y, get_terrain_height(w.terrain, u->order_x, u->order_z));
        if (u->drive_speed == 0.0f && std::fabs(oh - u->heading) < CATAPULT_AIM_TOLERANCE) {
            c->arm_speed = -5.0f;
            c->reload_time = w.time + CATAPULT_RELOAD;
            catapult_launch(w, u);
            send_command_message(w.session, "UBAL", u->id, float_to_bits(u->heading), float_to_bits(u->pitch), 0);
        } else {
            c->reload_time = w.time + 0.5f;  // look again in half a second
        }
    }
    if (std::fabs(oh - u->heading) > CATAPULT_AIM_TOLERANCE) {
        turn_toward(u, oh, dt);
    } else {
        const float r = c->range;
        if (std::fabs(r - dist) < 2.0f)
            u->drive_speed = 0.0f;
        else if (r > dist)
            u->drive_speed = -CATAPULT_DRIVE_SPEED;
        else
            u->drive_speed = CATAPULT_DRIVE_SPEED;
    }
}

void settle_cart(world& w, unit* u, float dt)
{
    const float h = u->heading * RAD;
    const float h1 = get_terrain_height(w.terrain, u->x + std::sin(h), u->z + std::cos(h));
    const float h2 = get_terrain_height(w.terrain, u->x - std::sin(h), u->z - std::cos(h));
    const float g = (h1 + h2) / 2.0f + 0.7f;
    if (u->y < g) {
        u->y = g;
        if (u->vy < 0.0f)
            u->vy = 0.0f;
    } else if (g < u->y - 0.1f) {
        u->vy -= 7.0f * dt;
    } else {
        u->y = g;
    }
    u->pitch = u->y == g ? std::atan((h2 - h1) * 2.0f / 3.0f) * static_cast<float>(180.0 / M_PI) : 0.0f;
}

void simulate_catapult(world& w, unit* u, float dt)
{
    catapult_data* c = catapult_of(u);
    if (!c)
        return;
    if (u->order_kind == ORDER_HOLD) {
        u->vx = u->vy = u->vz = 0.0f;
        u->drive_speed = 0.0f;
        return;
    }
    const float h = u->heading * RAD;
    u->vx = std::sin(h);
    u->vz = std::cos(h);
    settle_cart(w, u, dt);
    if (std::fabs(u->drive_speed) > 0.1f)
        u->drive_speed += per_tuned_step(u->pitch * 7e-5f, dt);
    u->x = std::fmax(-CATAPULT_MAP_LIMIT, std::fmin(CATAPULT_MAP_LIMIT, u->x));
    u->z = std::fmax(-CATAPULT_MAP_LIMIT, std::fmin(CATAPULT_MAP_LIMIT, u->z));
    c->wheel_angle += dt * u->drive_speed * 60.0f;
    c->arm_angle += c->arm_speed * 75.0f * dt;
    if (c->arm_angle > 160.0f) {
        c->arm_angle = 160.0f;
        c->arm_speed *= -0.5f;
    }
    if (c->arm_angle < 90.0f) {
        c->arm_angle = 90.0f;
        c->arm_speed *= -0.5f;
    }
    if (c->arm_angle < 159.5f)
        c->arm_speed += per_tuned_step(0.15f, dt);
    u->heading = wrap_360(u->heading);
    if (u->order_kind == ORDER_MOVE)
        move_catapult(w, u, dt);
    else if (u->order_kind == ORDER_ATTACK)
        attack_catapult(w, u, dt);
    u->vx *= u->drive_speed;
    u->vz *= u->drive_speed;
}

// --- balls -------------------------------------------------------------------

static void simulate_ball(world&, projectile* p, float dt)
{
    const float old_vy = p->vy;
    p->vy -= BALL_GRAVITY * dt;
    if (std::sqrt(p->vx * p->vx + p->vy * p->vy + p->vz * p->vz) > BALL_SPEED)
        p->vy = old_vy;
    p->radius = BALL_RADIUS;
    if (auto* f = static_cast<fire_source*>(p->data)) {
        set_vector(f->pos, p->x, p->y, p->z);
        set_vector(f->emit_vel, -p->vx, -p->vy, -p->vz);
    }
}

static void dispose_ball(projectile* p)
{
    delete static_cast<fire_source*>(p->data);
    p->data = nullptr;
}

projectile* throw_ball(world& w, const float pos[3], const float vel[3], int team, const float* flame_at,
                       float flame_life)
{
    auto* p = new projectile{};
    p->x = pos[0];
    p->y = pos[1];
    p->z = pos[2];
    p->vx = vel[0];
    p->vy = vel[1];
    p->vz = vel[2];
    p->damage = BALL_DAMAGE;
    p->radius = BALL_RADIUS;
    p->team = team;
    p->expiry = w.time + BALL_LIFETIME;
    p->max_speed = BALL_SPEED;
    p->kind = PROJECTILE_BALL;
    p->step = simulate_ball;
    p->dispose = dispose_ball;
    if (flame_at) {
        auto* f = new fire_source(w.fires);
        set_vector(f->pos, flame_at[0], flame_at[1], flame_at[2]);
        f->intensity = 10.0f;
        f->vertical_accel = 0.001f;
        f->initial_life = flame_life;
        f->expiry = 100000000.0f;
        p->data = f;
    }
    add_projectile(w, p);
    return p;
}

void catapult_launch(world& w, unit* u)
{
    const catapult_data* c = catapult_of(u);
    const float h = u->heading * RAD, e = BALL_ELEVATION * RAD;
    const float pos[3] = {u->x, u->y + 4.0f, u->z};
    const float vel[3] = {BALL_SPEED * std::cos(e) * std::sin(h), BALL_SPEED * std::sin(e),
                          BALL_SPEED * std::cos(e) * std::cos(h)};
    const float at[3] = {u->x, u->y, u->z};
    throw_ball(w, pos, vel, u->team, c && c->burning ? at : nullptr, 0.3f);
}

int unit_launch_ball(world& w, uint32_t id, float heading, float pitch)
{
    unit* u = find_unit(w, id);
    if (!u) {
        refuse_current(w.session, refusal::unknown_unit, "Unit %8.8X trying to shoot, but doesn't exist", id);
        return -1;
    }
    if (u->kind != UNIT_CATAPULT) {
        refuse_current(w.session, refusal::not_shooter, "Unit %8.8X trying to throw a ball, but is no catapult", id);
        return -1;
    }
    spend_turn(u);
    u->heading = heading;
    u->pitch = pitch;
    catapult_launch(w, u);
    return 0;
}

void receive_ball(message_context& c, const uint32_t p[4])
{
    world& w = *c.w;
    const float heading = bits_to_float(p[1]), pitch = bits_to_float(p[2]);
    if (!wire_value_ok(heading) || !wire_value_ok(pitch)) {
        refuse(c.s, c.sender, refusal::bad_value, "UBAL for unit %8.8X with a heading or pitch out of range, ignored",
               p[0]);
        return;
    }
    const participant& s = c.who();
    const int team = s.team;
    if (const unit* u = find_unit(w, p[0]); u && !sender_plays_side(c.s, s.id, team, u->team)) {
        refuse(c.s, s.id, refusal::wrong_team, "member of team %d tried to throw with unit %8.8X of team %d", team,
               p[0], u->team);
        return;
    }
    unit_launch_ball(w, p[0], heading, pitch);
}

void conditionally_update_catapult(world& w, unit* u)
{
    const catapult_data* c = catapult_of(u);
    add_engine_update(w, u, c ? c->arm_angle : 160.0f);
}

int update_catapult(world& w, unit* u, int count, const float* values)
{
    float arm = 0.0f;
    if (apply_engine_update(w, u, count, values, "catapult", &arm) != 0)
        return -1;
    if (catapult_data* c = catapult_of(u))
        c->arm_angle = arm;
    return 0;
}

// --- model -------------------------------------------------------------------
