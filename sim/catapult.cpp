#include "sim/catapult.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "sim/game.h"
#include "platform/random.h"
#include "platform/vector.h"
#include "sim/commands.h"
#include "sim/messages.h"
#include "sim/participants.h"
#include "sim/rights.h"
#include "sim/route.h"
#include "sim/sides.h"
#include "sim/wire.h"
#include "sim/projectile.h"
#include "sim/combat.h"
#include "sim/units.h"
#include "sim/fire.h"
#include "sim/model_tree.h"
#include "sim/terrain.h"

int catapult_id = 0;

static void release_catapult_data(void* p)
{
    delete static_cast<catapult_data*>(p);
}

void init_catapult(unit* u, float x, float z)
{
    if (u->kind_data && u->kind_release)
        u->kind_release(u->kind_data);
    auto* c = new catapult_data{};
    c->arm_angle = 160.0f;
    c->arm_speed = 0.0f;
    c->wheel_angle = 0.0f;
    c->reload_time = static_cast<float>(game_rand() % 4 + 1);
    c->burning = game_rand() % 5 == 0 ? 1 : 0;
    u->kind_data = c;
    u->kind_release = release_catapult_data;
    u->x = x;
    u->z = z;
    u->order_x = x;
    u->order_z = z;
    u->heading = 180.0f;
    u->pitch = 91.0f;
    u->team = me ? me->team : 1;
    u->extra = nullptr;
    u->extra_release = nullptr;
    u->attack_target = nullptr;
    u->health = u->max_health = 10.0f;
    u->radius = 1.0f;
    u->speed = 15.0f;
    u->kind = UNIT_CATAPULT;
    u->order_kind = ORDER_NONE;
    u->param[0] = 0.0f;  // range register
    u->param[1] = 0.0f;  // drive speed
    u->param[2] = 3.0f;  // turn rate
    u->next_collision_test = game_time - 1.0f;
    u->flying = 0;
}

static constexpr float RAD = static_cast<float>(DEG_TO_RAD);



unit* add_catapult(float x, float z, int team)
{
    const uint32_t id = next_unit_id(ID_CLASS_CATAPULT, catapult_id);
    if (team != TEAM_ATTACKERS && team != TEAM_DEFENDERS)
        team = me ? me->team : TEAM_DEFENDERS;
    announce_unit(id, 0, team);
    unit* u = add_unit(id);
    init_catapult(u, x, z);
    u->team = team;
    return u;
}

unit* spawn_catapult(unsigned id, int team)
{
    unit* u = add_announced_unit(id);
    raise_unit_counter(id, catapult_id);
    init_catapult(u, 0.0f, 0.0f);
    u->team = team;
    return u;
}

void reset_game_catapults()
{
    catapult_id = 0;
}

void init_catapults()
{
    if (leads_side(TEAM_ATTACKERS)) {
        // None in the sea or cut off from the city (as the rams).
        std::vector<waypoint> places;
        for (float z : {160.0f, 145.0f})
            for (int i = 0; i < 5; ++i)
                places.push_back({4.0f * static_cast<float>(i), z});
        keep_to_ground_joined_to_gate(places);
        for (const waypoint& p : places)
            add_catapult(p.x, p.z, TEAM_ATTACKERS);
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

void move_catapult(unit* u, float dt)
{
    const float oh = aim_heading(u, u->order_x, u->order_z);
    u->order_heading = oh;
    if (std::fabs(oh - u->heading) >= 10.0f) {
        u->param[1] = 0.0f;
        turn_toward(u, oh, dt);
        u->heading = wrap_360(u->heading);
        return;
    }
    const float dx = u->order_x - u->x, dz = u->order_z - u->z;
    u->param[0] = dx * dx + dz * dz;
    if (u->param[0] <= 25.0f) {
        u->order_kind = ORDER_NONE;
        u->param[1] = 0.0f;
    } else {
        u->param[1] = CATAPULT_DRIVE_SPEED;
    }
}

void attack_catapult(unit* u, float dt)
{
    if (!leads_side(u->team))
        return;
    auto* c = static_cast<catapult_data*>(u->kind_data);
    if (!c)
        return;
    if (std::fabs(c->arm_angle) > 200.0f)
        printf("c->arm_angle = %f\n", static_cast<double>(c->arm_angle));
    const float dx = u->order_x - u->x, dz = u->order_z - u->z;
    const float dist = std::sqrt(dx * dx + dz * dz);
    const float oh = aim_heading(u, u->order_x, u->order_z);
    u->order_heading = oh;
    if (c->arm_angle >= 159.5f && c->reload_time < game_time) {
        u->param[0] = predicted_catapult_range(u->y, get_terrain_height(u->order_x, u->order_z));
        if (u->param[1] == 0.0f && std::fabs(oh - u->heading) < CATAPULT_AIM_TOLERANCE) {
            c->arm_speed = -5.0f;
            c->reload_time = game_time + CATAPULT_RELOAD;
            catapult_launch(u);
            send_command_message("UBAL", u->id, float_to_bits(u->heading), float_to_bits(u->pitch), 0);
        } else {
            c->reload_time = game_time + 0.5f;  // look again in half a second
        }
    }
    if (std::fabs(oh - u->heading) > CATAPULT_AIM_TOLERANCE) {
        turn_toward(u, oh, dt);
    } else {
        const float r = u->param[0];
        if (std::fabs(r - dist) < 2.0f)
            u->param[1] = 0.0f;
        else if (r > dist)
            u->param[1] = -CATAPULT_DRIVE_SPEED;
        else
            u->param[1] = CATAPULT_DRIVE_SPEED;
    }
}

void settle_cart(unit* u, float dt)
{
    const float h = u->heading * RAD;
    const float h1 = get_terrain_height(u->x + std::sin(h), u->z + std::cos(h));
    const float h2 = get_terrain_height(u->x - std::sin(h), u->z - std::cos(h));
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

void simulate_catapult(unit* u, float dt)
{
    auto* c = static_cast<catapult_data*>(u->kind_data);
    if (!c)
        return;
    if (u->order_kind == ORDER_HOLD) {
        u->vx = u->vy = u->vz = 0.0f;
        u->param[1] = 0.0f;
        return;
    }
    const float h = u->heading * RAD;
    u->vx = std::sin(h);
    u->vz = std::cos(h);
    settle_cart(u, dt);
    if (std::fabs(u->param[1]) > 0.1f)
        u->param[1] += per_tuned_step(u->pitch * 7e-5f, dt);
    u->x = std::fmax(-CATAPULT_MAP_LIMIT, std::fmin(CATAPULT_MAP_LIMIT, u->x));
    u->z = std::fmax(-CATAPULT_MAP_LIMIT, std::fmin(CATAPULT_MAP_LIMIT, u->z));
    c->wheel_angle += dt * u->param[1] * 60.0f;
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
        move_catapult(u, dt);
    else if (u->order_kind == ORDER_ATTACK)
        attack_catapult(u, dt);
    u->vx *= u->param[1];
    u->vz *= u->param[1];
}

// --- balls -------------------------------------------------------------------

static void simulate_ball(projectile* p, float dt)
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

projectile* throw_ball(const float pos[3], const float vel[3], int team, const float* flame_at, float flame_life)
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
    p->expiry = game_time + BALL_LIFETIME;
    p->max_speed = BALL_SPEED;
    p->kind = PROJECTILE_BALL;
    p->step = simulate_ball;
    p->dispose = dispose_ball;
    if (flame_at) {
        auto* f = new fire_source{};
        set_vector(f->pos, flame_at[0], flame_at[1], flame_at[2]);
        f->intensity = 10.0f;
        f->vertical_accel = 0.001f;
        f->initial_life = flame_life;
        f->expiry = 100000000.0f;
        p->data = f;
    }
    add_projectile(p);
    return p;
}

void catapult_launch(unit* u)
{
    const auto* c = static_cast<const catapult_data*>(u->kind_data);
    const float h = u->heading * RAD, e = BALL_ELEVATION * RAD;
    const float pos[3] = {u->x, u->y + 4.0f, u->z};
    const float vel[3] = {BALL_SPEED * std::cos(e) * std::sin(h), BALL_SPEED * std::sin(e),
                          BALL_SPEED * std::cos(e) * std::cos(h)};
    const float at[3] = {u->x, u->y, u->z};
    throw_ball(pos, vel, u->team, c && c->burning ? at : nullptr, 0.3f);
}

int unit_launch_ball(unsigned id, float heading, float pitch)
{
    unit* u = find_unit(id);
    if (!u) {
        refuse(current_sender(), refusal::unknown_unit, "Unit %8.8X trying to shoot, but doesn't exist", id);
        return -1;
    }
    if (u->kind != UNIT_CATAPULT) {
        refuse(current_sender(), refusal::not_shooter, "Unit %8.8X trying to throw a ball, but is no catapult", id);
        return -1;
    }
    spend_turn(u);
    u->heading = heading;
    u->pitch = pitch;
    catapult_launch(u);
    return 0;
}

// "UBAL": a catapult of the sender's side throws.
static void receive_ball(const uint32_t p[4], int sender)
{
    const float heading = bits_to_float(p[1]), pitch = bits_to_float(p[2]);
    if (!wire_value_ok(heading) || !wire_value_ok(pitch)) {
        refuse(current_sender(), refusal::bad_value, "UBAL for unit %8.8X with a heading or pitch out of range, ignored", p[0]);
        return;
    }
    const participant& s = parts[static_cast<size_t>(sender)];
    const int team = s.team;
    if (const unit* u = find_unit(p[0]); u && !sender_plays_side(s.id, team, u->team)) {
        refuse(s.id, refusal::wrong_team, "member of team %d tried to throw with unit %8.8X of team %d", team, p[0], u->team);
        return;
    }
    unit_launch_ball(p[0], heading, pitch);
}

void init_catapult_commands()
{
    register_command("UBAL", 1, receive_ball);
}

void conditionally_update_catapult(unit* u)
{
    const auto* c = static_cast<const catapult_data*>(u->kind_data);
    add_engine_update(u, c ? c->arm_angle : 160.0f);
}

int update_catapult(unit* u, int count, const float* values)
{
    float arm = 0.0f;
    if (apply_engine_update(u, count, values, "catapult", &arm) != 0)
        return -1;
    if (auto* c = static_cast<catapult_data*>(u->kind_data))
        c->arm_angle = arm;
    return 0;
}

// --- model -------------------------------------------------------------------
