#include "sim/dragon.h"

#include <cmath>
#include <cstdio>

#include "platform/vector.h"
#include "sim/combat.h"
#include "sim/commands.h"
#include "sim/events.h"
#include "sim/game.h"
#include "sim/messages.h"
#include "sim/participants.h"
#include "sim/player.h"
#include "sim/rights.h"
#include "sim/session.h"
#include "sim/terrain.h"
#include "sim/units.h"
#include "sim/wire.h"
#include "sim/world.h"

namespace {

constexpr float DEG = 0.017453292519943295f;
constexpr float DRAGON_SPEED = 50.0f;  // the unit's speed (spaces its collision tests)
constexpr float DRAGON_TAKEOFF_LIFT = 5.0f;
// The rider's view: how far the eye may look aside before the dragon turns,
// where the view is then held, and how fast it turns (degrees, per second).
constexpr float YAW_DEAD_ZONE = 30.0f, YAW_HOLD = 32.0f, TURN_RATE = 80.0f;
constexpr float PITCH_DEAD_ZONE = 10.0f, PITCH_RATE = 40.0f;
constexpr float RIDER_HEIGHT = 3.0f;
// The fire source sits ahead of the dragon and above it: at its mouth.
constexpr float MOUTH_AHEAD = 7.0f, MOUTH_UP = 2.5f;

// State records come from the network: anything outside these bounds is no
// dragon of this world.
constexpr float MAX_COORD = 2048.0f;
constexpr float MAX_ANGLE = 36000.0f;
constexpr float MAX_SPEED = 500.0f;

dragon_data* data_of(unit* u)
{
    return u && u->kind == UNIT_DRAGON ? dragon_of(u) : nullptr;
}

const dragon_data* data_of(const unit* u)
{
    return u && u->kind == UNIT_DRAGON ? dragon_of(u) : nullptr;
}

// Flight velocity at full speed along heading h and pitch p (degrees):
// 35 (cos p cos h, sin p, -cos p sin h).
void flight_velocity(float h, float p, float out[3])
{
    const float ch = std::cos(h * DEG), sh = std::sin(h * DEG);
    const float cp = std::cos(p * DEG), sp = std::sin(p * DEG);
    out[0] = DRAGON_FLIGHT_SPEED * cp * ch;
    out[1] = DRAGON_FLIGHT_SPEED * sp;
    out[2] = -DRAGON_FLIGHT_SPEED * cp * sh;
}

} // namespace

void init_dragon(world& w, unit* u)
{
    dragon_data d;
    auto f = std::make_unique<fire_source>(w.fires);
    u->x = 256.0f;
    u->y = 300.0f;
    u->z = 256.0f;
    set_vector(f->pos, u->x, u->y, u->z);
    f->intensity = 0.0f;
    f->vertical_accel = 0.001f;
    f->initial_life = 0.3f;
    f->expiry = 100000000.0f;
    d.breath = std::move(f);
    u->data = std::move(d);
    u->heading = static_cast<float>(135 + w.rand() % 90);
    u->pitch = 0.0f;
    u->team = 0;
    u->health = 10.0f;
    u->max_health = 20.0f;
    u->radius = 2.5f;
    u->speed = DRAGON_SPEED;
    u->next_collision_test = w.time - 1.0f;
    u->kind = UNIT_DRAGON;
    u->order_kind = ORDER_NONE;
    u->flying = 1;
    u->fixed = 0;
    u->attack_target = nullptr;
    u->vx = u->vy = u->vz = 0.0f;
    u->last_attack_time = 0.0f;
}

bool dragon_is_flown_here(const unit* u)
{
    const dragon_data* d = data_of(u);
    return d && d->controlled;
}

void call_dragon(world& w)
{
    if (w.player.dragon) {
        printf("ERROR: called a 2nd dragon before 1st dismounted\n");
        return;
    }
    if (w.time < w.player.next_dragon_call || !w.me)
        return;
    w.player.next_dragon_call = w.time + DRAGON_CALL_GUARD;
    // The next id of the class no dragon still flying carries.
    const uint32_t id = next_unit_id(w, ID_CLASS_DRAGON, w.units.dragon_counter);
    const int serial = static_cast<int>(id & (CLASS_SERIALS - 1));
    unit* u = add_unit(w, id);
    init_dragon(w, u);
    data_of(u)->controlled = 1;
    u->team = local_team(w);
    w.player.dragon = u;
    u->attack_target = w.me;
    u->order_kind = ORDER_MOVE;
    emit_at(w.session.events, sim_event_kind::dragon_roar, w.me->x, w.me->y + 2.0f, w.me->z);
    printf("summoned dragon %d, name %8.8X\n", serial, id);
    announce_unit(w, id, 0, u->team);
    // The others place it at once rather than at its creation point.
    conditionally_update_dragon(w, u);
}

unit* send_dragon(world& w, int team, unit* target)
{
    if (!target)
        return nullptr;
    const uint32_t id = next_unit_id(w, ID_CLASS_DRAGON, w.units.dragon_counter);
    unit* u = add_unit(w, id);
    init_dragon(w, u);
    data_of(u)->controlled = 1;
    u->team = team;
    u->attack_target = target;
    u->order_kind = ORDER_MOVE;
    // It breathes fire all the way: whatever of the other side comes near
    // its mouth burns.
    data_of(u)->breath->intensity = DRAGON_BREATH_ON;
    emit_at(w.session.events, sim_event_kind::dragon_roar, u->x, u->y, u->z);
    printf("sent dragon %8.8X of team %d at %8.8X\n", id, team, target->id);
    announce_unit(w, id, 0, team);
    conditionally_update_dragon(w, u);
    return u;
}

unit* spawn_dragon(world& w, uint32_t id, int team, int)
{
    unit* u = add_announced_unit(w, id);
    raise_unit_counter(id, w.units.dragon_counter);
    init_dragon(w, u);
    u->team = team;
    printf("spawning dragon %8.8X, team %d, dr_id = %d\n", id, team, w.units.dragon_counter);
    return u;
}

void dismount_dragon(world& w)
{
    if (!w.player.dragon) {
        printf("ERROR: tried to dismount dragon when didn't have a dragon\n");
        return;
    }
    unit* u = w.player.dragon;
    // Nobody holds the button for it any more.
    tell_dragon_breath(w, 0);
    u->order_x = u->order_y = u->order_z = DRAGON_DISMISS_POINT;
    u->attack_target = nullptr;
    u->order_kind = ORDER_MOVE;
    // A small hop off its back; a player on the ground sending the dragon
    // away before it came stays where it stands (and goes on praying).
    if (w.player.riding_dragon)
        w.player.eye_vy = 2.0f;
    w.player.riding_dragon = 0;
    w.player.dragon = nullptr;
}

int tell_dragon_breath(world& w, int on)
{
    dragon_data* d = data_of(w.player.dragon);
    if (!d || !d->breath)
        return -1;
    d->breath->intensity = on ? DRAGON_BREATH_ON : 0.0f;
    return 0;
}

void pick_dragon_destination(world& w, unit* u)
{
    const float x = static_cast<float>(w.rand() % 400 - 200);
    const float z = static_cast<float>(w.rand() % 400 - 200);
    const float y = static_cast<float>(w.rand() % 75) + get_terrain_height(w.terrain, x, z) + 25.0f;
    u->order_x = x;
    u->order_y = y;
    u->order_z = z;
}

void simulate_dragon_breath(world& w, unit* u, float)
{
    dragon_data* d = data_of(u);
    if (!d || !d->breath)
        return;
    fire_source* f = d->breath.get();
    const float h = u->heading * DEG;
    set_vector(f->pos, u->x + MOUTH_AHEAD * std::cos(h), u->y + MOUTH_UP, u->z - MOUTH_AHEAD * std::sin(h));
    flight_velocity(u->heading, u->pitch, f->emit_vel);
    if (f->intensity == DRAGON_BREATH_ON && w.time > u->last_attack_time + DRAGON_BREATH_INTERVAL) {
        float nearest = 0.0f;
        damage_unit(w, f->pos[0], f->pos[1], f->pos[2], DRAGON_BREATH_RADIUS, &nearest, DRAGON_BREATH_DAMAGE, u->team);
        // The burn may have killed units, never the dragon itself (its own team is spared).
        u->last_attack_time = w.time;
        if (w.rand() % 10 == 0)
            emit_at(w.session.events, sim_event_kind::dragon_roar, u->x, u->y, u->z);
    }
}

void step_dragon(world& w, unit* u, float dt, bool takeoff_key)
{
    dragon_data* d = data_of(u);
    if (!d)
        return;
    // Another copy's dragon moves by the velocity of its last record.
    if (!d->controlled) {
        simulate_dragon_breath(w, u, dt);
        return;
    }
    if (u->order_kind == ORDER_HOLD && u == w.player.dragon) {
        if (takeoff_key) {
            u->vy += DRAGON_TAKEOFF_LIFT;
            u->order_kind = ORDER_NONE;
            // Standing, its speed was 0, which put its next collision
            // test out of reach; flying, it is tested again at once.
            u->speed = DRAGON_SPEED;
            u->next_collision_test = w.time;
        } else {
            u->vx = u->vy = u->vz = 0.0f;
            u->speed = 0.0f;
        }
        simulate_dragon_breath(w, u, dt);
        return;
    }
    if (u->attack_target) {
        u->order_x = u->attack_target->x;
        u->order_y = u->attack_target->y;
        u->order_z = u->attack_target->z;
    }
    float to[3] = {u->order_x - u->x, u->order_y - u->y, u->order_z - u->z};
    if (dot_product(to, to) < DRAGON_MOUNT_DISTANCE2) {
        if (u == w.player.dragon && w.me && u->attack_target == w.me && u->order_kind == ORDER_MOVE) {
            // It has reached its summoner, who climbs on.
            w.player.riding_dragon = 1;
            u->attack_target = nullptr;
            u->order_kind = ORDER_NONE;
            pick_dragon_destination(w, u);
        } else {
            del_unit(w, u);
            return;
        }
    }
    float want[3];
    if (u->order_kind == ORDER_MOVE) {
        copy_vector(want, to);
        scale_vector(want, DRAGON_FLIGHT_SPEED / vector_length(to));
        u->heading = static_cast<float>(-std::atan2(u->vz, u->vx) * 180.0 / M_PI);
    } else {
        flight_velocity(u->heading, u->pitch, want);
    }
    u->vx += (want[0] - u->vx) * dt;
    u->vy += (want[1] - u->vy) * dt;
    u->vz += (want[2] - u->vz) * dt;
    simulate_dragon_breath(w, u, dt);
    const float ground = get_terrain_height(w.terrain, u->x, u->z) + DRAGON_CLEARANCE;
    if (u->y < ground) {
        u->y = ground;
        // Only the ridden dragon lands (and stands at once); a dismissed
        // one skims on.
        if (w.player.riding_dragon && u == w.player.dragon) {
            u->order_kind = ORDER_HOLD;
            u->vx = u->vy = u->vz = 0.0f;
        }
    }
}

void simulate_dragon(world& w, unit* u, float dt)
{
    bool takeoff = false;
    if (u == w.player.dragon && u->order_kind == ORDER_HOLD) {
        const move_keys& k = w.player.controls.keys;
        takeoff = k.jump || k.forward || k.left || k.back || k.right;
    }
    step_dragon(w, u, dt, takeoff);
}

void be_on_dragon(world& w, float dt)
{
    unit* u = w.player.dragon;
    if (!u) {
        w.player.riding_dragon = 0;
        return;
    }
    w.player.eye_x = u->x;
    w.player.eye_y = u->y + RIDER_HEIGHT;
    w.player.eye_z = u->z;
    // The figure reports the dragon's motion as its own.
    w.player.eye_vx = u->vx;
    w.player.eye_vy = u->vy;
    w.player.eye_vz = u->vz;

    // Looking far aside turns the dragon that way; the view is held just
    // past the dead zone off its nose.
    const float nose = near_heading(90.0f - u->heading, w.player.eye_yaw);
    if (w.player.eye_yaw > nose + YAW_DEAD_ZONE) {
        w.player.eye_yaw = nose + YAW_HOLD;
        u->heading = wrap_360(u->heading - TURN_RATE * dt);
    } else if (w.player.eye_yaw < nose - YAW_DEAD_ZONE) {
        w.player.eye_yaw = nose - YAW_HOLD;
        u->heading = wrap_360(u->heading + TURN_RATE * dt);
    }
    // The eye's pitch is positive downward, the dragon's upward.
    const float level = -u->pitch;
    if (w.player.eye_pitch < level - PITCH_DEAD_ZONE) {
        w.player.eye_pitch = level - PITCH_DEAD_ZONE;
        u->pitch += PITCH_RATE * dt;
    } else if (w.player.eye_pitch > level + PITCH_DEAD_ZONE) {
        w.player.eye_pitch = level + PITCH_DEAD_ZONE;
        u->pitch -= PITCH_RATE * dt;
    }
}

void conditionally_update_dragon(world& w, unit* u)
{
    const dragon_data* d = data_of(u);
    if (!d || !d->controlled)
        return;
    const float v[9] = {u->x,  u->y,  u->z,     u->heading,
                        u->vx, u->vy, u->vz,    u->pitch,
                        d->breath ? d->breath->intensity : 0.0f};
    add_unit_update(w, u->id, 9, v);
}

int update_dragon(world& w, unit* u, int count, const float* values)
{
    dragon_data* d = data_of(u);
    if (!d)
        return -1;
    if (count != 9) {
        refuse_current(w.session, refusal::bad_value, "received dragon update with %d params", count);
        return -1;
    }
    if (d->controlled) {
        refuse_current(w.session, refusal::not_steerer, "received an update for dragon %8.8X, which this copy flies, ignored", u->id);
        return -1;
    }
    const float limits[9] = {MAX_COORD, MAX_COORD, MAX_COORD, MAX_ANGLE, MAX_SPEED,
                             MAX_SPEED, MAX_SPEED, MAX_ANGLE, DRAGON_BREATH_ON};
    for (int i = 0; i < 9; ++i)
        if (!wire_value_within(values[i], limits[i]) || (i == 8 && values[i] < 0.0f)) {
            refuse_current(w.session, refusal::bad_value, "received dragon update for %8.8X with value %d out of range, ignored", u->id, i);
            return -1;
        }
    u->x = values[0];
    u->y = values[1];
    u->z = values[2];
    u->heading = values[3];
    u->vx = values[4];
    u->vy = values[5];
    u->vz = values[6];
    u->pitch = values[7];
    if (d->breath)
        d->breath->intensity = values[8];
    return 0;
}
