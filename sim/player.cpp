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
#include "sim/terrain.h"
#include "sim/units.h"
#include "sim/wire.h"

float eye_x = 0.0f, eye_y = 50.0f, eye_z = 0.0f;
float eye_yaw = 0.0f;
float eye_pitch = 0.0f;
float eye_float = 2.0f;
float walk_phase = 0.0f;
float eye_vx = 0.0f, eye_vy = 0.0f, eye_vz = 0.0f;
float next_jump = 0.0f;
float next_player_cdetect = 0.0f;
float next_shoot = 0.0f;

static player_controls s_controls;

const player_controls& current_controls()
{
    return s_controls;
}

void set_controls(const player_controls& c)
{
    s_controls = c;
}

// --- movement -------------------------------------------------------------------

void walk_motion(const move_keys& keys, float yaw, float speed, float dt, float out[2])
{
    const double y = yaw * DEG_TO_RAD, q = 90.0 * DEG_TO_RAD;
    double vx = 0.0, vz = 0.0;
    if (keys.forward) {
        vx += sin(y);
        vz -= cos(y);
        walk_phase += 10.0f * dt;
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
        walk_phase -= 10.0f * dt;
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

void apply_vertical(float h, float dt)
{
    if (eye_y < h + eye_float) {
        eye_y = h + eye_float;
        eye_vy = 0.0f;
    } else if (eye_y >= h + eye_float + 0.1f) {
        eye_vy -= (eye_y >= 10.0f ? 112.5f : 45.0f) * dt;
    }
    eye_y += eye_vy * dt;
}

void move_eye(float dt, const move_keys& keys)
{
    const float speed = do_god ? 45.0f : 15.0f;

    // Riding the dragon hands the frame to the dragon's own control (and
    // stops praying) in place of the walking below.
    if (riding_dragon) {
        stop_praying();
        be_on_dragon(dt);
        set_self_humanoid_position();
        return;
    }

    float motion[2];
    walk_motion(keys, eye_yaw, speed, dt, motion);
    eye_x = clamp_to_world(eye_x);
    eye_z = clamp_to_world(eye_z);

    if (do_god) {
        if (keys.rise)
            eye_float += per_tuned_step(0.2f, dt);
        if (keys.sink)
            eye_float -= per_tuned_step(0.2f, dt);
    }

    const float old_eye_y = eye_y;
    apply_vertical(get_terrain_height(eye_x, eye_z), dt);

    // The body point, 1.0 below the eye, moves by the frame's motion.
    float body[3] = {eye_x, old_eye_y - 1.0f, eye_z};
    const float step[3] = {motion[0], eye_y - old_eye_y, motion[1]};
    add_vector(body, step, body);
    if (game_time >= next_player_cdetect) {
        // Walls, towers, gates, buildings and trunks push the body point
        // back; the clearance tells when anything could next be reached.
        model_node* touched = nullptr;
        const float free_distance = do_collision_check(body, step, 1.0f, &touched);
        if (me)
            me->touched_model = touched;
        next_player_cdetect = game_time + free_distance / (speed + std::fabs(eye_vy));
    }

    if (dt != 0.0f) {
        eye_vx = (body[0] - eye_x) / dt;
        eye_vz = (body[2] - eye_z) / dt;
    }
    eye_x = body[0];
    eye_y = body[1] + 1.0f;
    eye_z = body[2];

    if (!std::isfinite(eye_y)) {
        printf("ACK! EYE_Y is not FINITE!\n");
        eye_y = std::isfinite(old_eye_y) ? old_eye_y : get_terrain_height(eye_x, eye_z) + eye_float;
    }
    if (!std::isfinite(old_eye_y))
        printf("ACK! OLD_EYE_Y is not FINITE!\n");
    if (dt == 0.0f) {
        printf("ACK! dt is ZERO!\n");
    } else if (std::isfinite(old_eye_y)) {
        const float rate = (eye_y - old_eye_y) / dt;
        if (std::fabs(rate) < std::fabs(eye_vy))
            eye_vy = rate;
    }
    if (!std::isfinite(eye_vy)) {
        printf("ACK! EYE_VY is not FINITE!\n");
        eye_vy = 0.0f;
    }

    if (keys.jump && game_time > next_jump) {
        if (eye_y >= 10.0f) {
            eye_vy = 45.0f;
            next_jump = game_time + 1.0f;
        } else {
            eye_vy = 15.0f;
            next_jump = game_time;
        }
        eye_y += eye_vy * dt;
    }

    // Any motion ends a prayer.
    if (eye_vx != 0.0f || eye_vy != 0.0f || eye_vz != 0.0f)
        stop_praying();

    // The figure takes the eye's place so the other copies see the player move.
    set_self_humanoid_position();
}

void init_movement()
{
    // game_time starts again at 0 in every game: timers left from an earlier
    // game would hold collision tests, jumps and shots back for as long.
    next_jump = 0.0f;
    next_player_cdetect = 0.0f;
    next_shoot = 0.0f;
    eye_vx = eye_vy = eye_vz = 0.0f;
    eye_float = 2.0f;
    walk_phase = 0.0f;
    eye_pitch = 0.0f;
    s_controls = player_controls{};
    // The models of an earlier game are gone.
    if (me)
        me->touched_model = nullptr;
    // The player stands at the start position of the side chosen in the menu.
    if (!parts.empty())
        set_init_position(parts[0]);
}

void turn_view(float yaw, float pitch)
{
    eye_yaw += yaw;
    eye_pitch += pitch;
    if (eye_pitch < -60.0f)
        eye_pitch = -60.0f;
    if (eye_pitch > 60.0f)
        eye_pitch = 60.0f;
}

void step_player(float dt, const player_controls& c)
{
    if (c.turn_yaw != 0.0f || c.turn_pitch != 0.0f)
        turn_view(c.turn_yaw, c.turn_pitch);
    move_eye(dt, c.keys);
}

void player_click(int button, bool first_down)
{
    // Riding the dragon: button 1 starts the fire breath, a release stops it.
    if (riding_dragon) {
        if (button == 1 || button == 0)
            tell_dragon_breath(button);
        return;
    }
    if (first_down && next_shoot < game_time) {
        player_shoot_arrow();
        next_shoot = game_time + 0.666f;
    }
}

void player_shoot_arrow()
{
    const int team = me ? me->team : (i_am_defender() ? 1 : 0);
    shoot_arrow(eye_x, eye_y - 0.2f, eye_z, eye_yaw, eye_pitch, team);
    send_command_message("AARW", float_to_bits(eye_yaw), float_to_bits(eye_pitch), 0, 0);
}

void eye_look_vectors(float look[3], float up[3])
{
    const double y = eye_yaw * DEG_TO_RAD;
    const double p = eye_pitch * DEG_TO_RAD;
    set_vector(look, static_cast<float>(cos(p) * sin(y)), static_cast<float>(-sin(p)),
               static_cast<float>(-cos(p) * cos(y)));
    set_vector(up, static_cast<float>(sin(p) * sin(y)), static_cast<float>(cos(p)),
               static_cast<float>(-sin(p) * cos(y)));
}

void set_self_humanoid_position()
{
    if (!me)
        return;
    me->x = eye_x;
    me->y = eye_y - 1.2f;
    me->z = eye_z;
    me->heading = -eye_yaw;
    me->vx = eye_vx;
    me->vy = eye_vy;
    me->vz = eye_vz;
}
