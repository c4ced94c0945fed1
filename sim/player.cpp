#include "sim/player.h"

#include <cmath>
#include <cstdio>

#include "platform/vector.h"
#include "sim/commands.h"
#include "sim/dragon.h"
#include "sim/game.h"
#include "sim/magic.h"
#include "sim/model_tree.h"
#include "sim/participants.h"
#include "sim/projectile.h"
#include "sim/session.h"
#include "sim/terrain.h"
#include "sim/units.h"
#include "sim/wire.h"
#include "sim/world.h"

// --- movement -------------------------------------------------------------------

void walk_motion(local_player& p, const move_keys& keys, float yaw, float speed, float dt, float out[2])
{
    const double y = yaw * DEG_TO_RAD, q = 90.0 * DEG_TO_RAD;
    double vx = 0.0, vz = 0.0;
    if (keys.forward) {
        vx += sin(y);
        vz -= cos(y);
        p.walk_phase += 10.0f * dt;
    }
    if (keys.back) {
        vx -= sin(y);
        vz += cos(y);
    }
    if (keys.left) {
        vx += sin(y - q);
        vz -= cos(y - q);
    }
    if (keys.right) {
        vx += sin(y + q);
        vz -= cos(y + q);
        p.walk_phase -= 10.0f * dt;
    }
    out[0] = out[1] = 0.0f;
    const double len = std::sqrt(vx * vx + vz * vz);
    // Opposite keys cancel to (almost) nothing: no motion rather than a
    // huge step along a rounding error.
    if (len < 1e-6)
        return;
    out[0] = static_cast<float>(vx / len * speed * dt);
    out[1] = static_cast<float>(vz / len * speed * dt);
}

float clamp_to_world(float v)
{
    return v < -256.0f ? -256.0f : (v > 256.0f ? 256.0f : v);
}

void apply_vertical(local_player& p, float h, float dt)
{
    if (p.eye_y < h + p.eye_float) {
        p.eye_y = h + p.eye_float;
        p.eye_vy = 0.0f;
    } else if (p.eye_y >= h + p.eye_float + 0.1f) {
        p.eye_vy -= (p.eye_y >= 10.0f ? 112.5f : 45.0f) * dt;
    }
    p.eye_y += p.eye_vy * dt;
}

void move_eye(world& w, float dt, const move_keys& keys)
{
    local_player& p = w.player;
    const int god = w.session.god;
    const float speed = god ? 45.0f : 15.0f;

    // Riding the dragon hands the frame to the dragon's own control (and
    // stops praying) in place of the walking below.
    if (p.riding_dragon) {
        stop_praying(p);
        be_on_dragon(w, dt);
        set_self_humanoid_position(w);
        return;
    }

    float motion[2];
    walk_motion(p, keys, p.eye_yaw, speed, dt, motion);
    p.eye_x = clamp_to_world(p.eye_x);
    p.eye_z = clamp_to_world(p.eye_z);

    if (god) {
        if (keys.rise)
            p.eye_float += per_tuned_step(0.2f, dt);
        if (keys.sink)
            p.eye_float -= per_tuned_step(0.2f, dt);
    }

    const float old_eye_y = p.eye_y;
    apply_vertical(p, get_terrain_height(w.terrain, p.eye_x, p.eye_z), dt);

    // The body point, 1.0 below the eye, moves by the frame's motion.
    float body[3] = {p.eye_x, old_eye_y - 1.0f, p.eye_z};
    const float step[3] = {motion[0], p.eye_y - old_eye_y, motion[1]};
    add_vector(body, step, body);
    if (w.time >= p.next_collision_test) {
        // Walls, towers, gates, buildings and trunks push the body point
        // back; the clearance tells when anything could next be reached.
        model_node* touched = nullptr;
        const float free_distance = do_collision_check(w.structures, body, step, 1.0f, &touched);
        if (w.me)
            w.me->touched_model = touched;
        p.next_collision_test = w.time + free_distance / (speed + std::fabs(p.eye_vy));
    }

    if (dt != 0.0f) {
        p.eye_vx = (body[0] - p.eye_x) / dt;
        p.eye_vz = (body[2] - p.eye_z) / dt;
    }
    p.eye_x = body[0];
    p.eye_y = body[1] + 1.0f;
    p.eye_z = body[2];

    if (!std::isfinite(p.eye_y)) {
        printf("ACK! EYE_Y is not FINITE!\n");
        p.eye_y = std::isfinite(old_eye_y) ? old_eye_y : get_terrain_height(w.terrain, p.eye_x, p.eye_z) + p.eye_float;
    }
    if (!std::isfinite(old_eye_y))
        printf("ACK! OLD_EYE_Y is not FINITE!\n");
    if (dt == 0.0f) {
        printf("ACK! dt is ZERO!\n");
    } else if (std::isfinite(old_eye_y)) {
        const float rate = (p.eye_y - old_eye_y) / dt;
        if (std::fabs(rate) < std::fabs(p.eye_vy))
            p.eye_vy = rate;
    }
    if (!std::isfinite(p.eye_vy)) {
        printf("ACK! EYE_VY is not FINITE!\n");
        p.eye_vy = 0.0f;
    }

    if (keys.jump && w.time > p.next_jump) {
        if (p.eye_y >= 10.0f) {
            p.eye_vy = 45.0f;
            p.next_jump = w.time + 1.0f;
        } else {
            p.eye_vy = 15.0f;
            p.next_jump = w.time;
        }
        p.eye_y += p.eye_vy * dt;
    }

    // Any motion ends a prayer.
    if (p.eye_vx != 0.0f || p.eye_vy != 0.0f || p.eye_vz != 0.0f)
        stop_praying(p);

    // The figure takes the eye's place so the other copies see the player move.
    set_self_humanoid_position(w);
}

void turn_view(local_player& p, float yaw, float pitch)
{
    p.eye_yaw += yaw;
    p.eye_pitch += pitch;
    if (p.eye_pitch < -60.0f)
        p.eye_pitch = -60.0f;
    if (p.eye_pitch > 60.0f)
        p.eye_pitch = 60.0f;
}

void step_player(world& w, float dt, const player_controls& c)
{
    if (c.turn_yaw != 0.0f || c.turn_pitch != 0.0f)
        turn_view(w.player, c.turn_yaw, c.turn_pitch);
    move_eye(w, dt, c.keys);
}

void player_click(world& w, int button, bool first_down)
{
    local_player& p = w.player;
    // Riding the dragon: button 1 starts the fire breath, a release stops it.
    if (p.riding_dragon) {
        if (button == 1 || button == 0)
            tell_dragon_breath(w, button);
        return;
    }
    if (first_down && p.next_shoot < w.time) {
        player_shoot_arrow(w);
        p.next_shoot = w.time + 0.666f;
    }
}

void player_shoot_arrow(world& w)
{
    const local_player& p = w.player;
    const int team = w.me ? w.me->team : (i_am_defender(w.session) ? 1 : 0);
    shoot_arrow(w, p.eye_x, p.eye_y - 0.2f, p.eye_z, p.eye_yaw, p.eye_pitch, team);
    send_command_message(w.session, "AARW", float_to_bits(p.eye_yaw), float_to_bits(p.eye_pitch), 0, 0);
}

void eye_look_vectors(const local_player& p, float look[3], float up[3])
{
    const double y = p.eye_yaw * DEG_TO_RAD;
    const double q = p.eye_pitch * DEG_TO_RAD;
    set_vector(look, static_cast<float>(cos(q) * sin(y)), static_cast<float>(-sin(q)),
               static_cast<float>(-cos(q) * cos(y)));
    set_vector(up, static_cast<float>(sin(q) * sin(y)), static_cast<float>(cos(q)),
               static_cast<float>(-sin(q) * cos(y)));
}

void set_self_humanoid_position(world& w)
{
    unit* me = w.me;
    if (!me)
        return;
    const local_player& p = w.player;
    me->x = p.eye_x;
    me->y = p.eye_y - 1.2f;
    me->z = p.eye_z;
    me->heading = -p.eye_yaw;
    me->vx = p.eye_vx;
    me->vy = p.eye_vy;
    me->vz = p.eye_vz;
}
