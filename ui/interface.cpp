#include "ui/interface.h"

#include <GL/gl.h>
#include <cmath>
#include <cstdio>

#include "render/camera.h"
#include "game/main_loop.h"
#include "platform/settings.h"
#include "render/textures.h"
#include "platform/vector.h"
#include "input/window.h"
#include "sim/messages.h"
#include "sim/participants.h"
#include "sim/end_game.h"
#include "sim/magic.h"
#include "ui/personal.h"
#include "ui/menu.h"
#include "ui/selection.h"
#include "sim/dragon.h"
#include "sim/projectile.h"
#include "sim/units.h"
#include "sim/light.h"
#include "sim/model_tree.h"
#include "sim/terrain.h"

float next_jump = 0.0f;
float next_player_cdetect = 0.0f;
float next_shoot = 0.0f;
int do_interface = 0;
float interface_y = INTERFACE_Y_HIDDEN;
int waiting_mouse_command = 0;
float g_target_zoom = 1.0f, g_start_zoom = 1.0f, g_start_zoom_time = 0.0f, g_target_zoom_time = 0.0f;
button_slot the_buttons[7];

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
            eye_float += 0.2f;
        if (keys.sink)
            eye_float -= 0.2f;
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

    // The avatar takes the eye's place so the other copies see the player move.
    set_self_humanoid_position();
}

void init_movement()
{
    // game_time starts again at 0 in every game: timers left from an earlier
    // game would hold collision tests, jumps and shots back for as long.
    next_jump = 0.0f;
    next_player_cdetect = 0.0f;
    next_shoot = 0.0f;
    waiting_mouse_command = 0;
    eye_vx = eye_vy = eye_vz = 0.0f;
    eye_float = 2.0f;
    // The models of an earlier game are gone.
    if (me)
        me->touched_model = nullptr;
    g_zoom = g_target_zoom = g_start_zoom = 1.0f;
    g_start_zoom_time = g_target_zoom_time = 0.0f;
    // An empty command bar, slid away: each side's set-up puts its own
    // buttons back.
    for (button_slot& b : the_buttons)
        b = button_slot{};
    do_interface = 0;
    interface_y = INTERFACE_Y_HIDDEN;
    // The player stands at the start position of the side chosen in the menu.
    if (!parts.empty())
        set_init_position(parts[0]);
}

void update_zoom(bool zoom_held)
{
    const float target = zoom_held ? 5.0f : 1.0f;
    if (target != g_target_zoom) {
        g_start_zoom = g_zoom;
        g_start_zoom_time = game_time;
        g_target_zoom_time = game_time + 0.3f;
        g_target_zoom = target;
    }
    if (game_time < g_target_zoom_time) {
        const double s = sin((game_time - g_start_zoom_time) * 5.0 * M_PI / 3.0);
        g_zoom = static_cast<float>(g_start_zoom + (g_target_zoom - g_start_zoom) * s * s);
    } else {
        g_zoom = g_target_zoom;
    }
}

void key_move(float dt)
{
    move_keys keys;
    keys.forward = check_key('w');
    keys.back = check_key('s');
    keys.left = check_key('a');
    keys.right = check_key('d');
    keys.jump = check_key(' ');
    keys.rise = check_key('e');
    keys.sink = check_key('f');
    move_eye(dt, keys);

    if (is_shift_down())
        enable_interface();
    else
        disable_interface();
    update_zoom(is_control_down());
}

void mouse_look()
{
    if (do_interface)
        return;
    float dx, dy;
    mouse_look_delta(dx, dy);
    // Half a degree per pixel at the normal speed of the Controls settings.
    const float turn = 0.5f * static_cast<float>(user_settings.mouse_sensitivity) / 100.0f / g_zoom;
    eye_yaw += dx * turn;
    eye_pitch += (user_settings.invert_look ? -dy : dy) * turn;
    if (eye_pitch < -60.0f)
        eye_pitch = -60.0f;
    if (eye_pitch > 60.0f)
        eye_pitch = 60.0f;
}

// --- command bar ------------------------------------------------------------------

void enable_interface()
{
    if (do_interface)
        return;
    do_interface = 1;
    cursor_visible_mode();
}

void disable_interface()
{
    if (!do_interface)
        return;
    do_interface = 0;
    cursor_look_mode();
}

void set_button(int slot, unsigned int texture, void (*action)(), int enlarge)
{
    if (slot < 0 || slot > 6)
        return;
    the_buttons[slot] = {texture, 0, enlarge, action};
}

void set_button_state(int slot, int highlighted)
{
    if (slot < 0 || slot > 6)
        return;
    the_buttons[slot].highlighted = highlighted;
}

static void highlight_order(int order_kind)
{
    int slot;
    switch (order_kind) {
    case ORDER_NONE: slot = -1; break;
    case ORDER_MOVE: slot = 5; break;
    case ORDER_ATTACK: slot = 4; break;
    case ORDER_HOLD: slot = 6; break;
    default: return;
    }
    for (int s = 4; s <= 6; ++s)
        set_button_state(s, s == slot ? 1 : 0);
}

static void attack_button_action()
{
    highlight_order(ORDER_ATTACK);
    waiting_mouse_command = ORDER_ATTACK;
}

static void move_button_action()
{
    highlight_order(ORDER_MOVE);
    waiting_mouse_command = ORDER_MOVE;
}

static void stop_button_action()
{
    highlight_order(ORDER_HOLD);
    // On this copy only: no command is sent for a stop.
    for (unit* u = unit_list; u; u = u->next)
        if (u->selected)
            u->order_kind = ORDER_HOLD;
}

void init_command_buttons()
{
    set_button(4, attack_button_texid, attack_button_action, 1);
    set_button(5, move_button_texid, move_button_action, 1);
    set_button(6, stop_button_texid, stop_button_action, 1);
}

void deinit_command_buttons()
{
    for (int slot = 4; slot <= 6; ++slot)
        set_button(slot, 0, nullptr, 0);
}

void set_commands(const unit* u)
{
    if (u)
        highlight_order(u->order_kind);
}

void animate_interface()
{
    if (do_interface) {
        interface_y += 0.2f;
        if (interface_y > INTERFACE_Y_SHOWN)
            interface_y = INTERFACE_Y_SHOWN;
    } else {
        interface_y -= 0.2f;
        if (interface_y < INTERFACE_Y_HIDDEN)
            interface_y = INTERFACE_Y_HIDDEN;
    }
}


void draw_interface()
{
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(0.0f, interface_y, -2.001f);
    // The status bars ride on the panel, shown or hidden.
    glDisable(GL_TEXTURE_2D);
    draw_hud();
    glEnable(GL_TEXTURE_2D);
    if (interface_y > INTERFACE_Y_HIDDEN) {
        glEnable(GL_TEXTURE_2D);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        glBindTexture(GL_TEXTURE_2D, wood_texid);
        draw_quad(3.5f, 0.45f);
        glEnable(GL_BLEND);
        for (int slot = 0; slot < 7; ++slot) {
            const button_slot& b = the_buttons[slot];
            if (!b.texture)
                continue;
            const float size = (b.highlighted && b.enlarge) ? 0.4f * 1.4f : 0.4f;
            glPushMatrix();
            glTranslatef(-1.5f + 0.5f * slot, 0.0f, 0.0f);
            glBindTexture(GL_TEXTURE_2D, b.texture);
            draw_quad(size, size);
            glPopMatrix();
        }
        glDisable(GL_BLEND);
    }
    glPopMatrix();
    draw_selection();
    glEnable(GL_DEPTH_TEST);
    enable_lighting();
}

int command_bar_slot(int x, int y, int w, int h)
{
    if (y < 0.854 * h || g_zoom != 1.0f)
        return -1;
    const double u = 1.5 * (x - w / 2) / static_cast<double>(w / 2) + 1.31;
    if (u < 0.0)
        return -1;
    const double scaled = u * 2.692307692307692;
    const int k = static_cast<int>(scaled);
    if (k < 0 || k > 6 || std::fabs(k + 0.5 - scaled) > 0.4)
        return -2;
    return k;
}

// --- routing ----------------------------------------------------------------------

void game_click(int button)
{
    // Riding the dragon: button 1 starts the fire breath, a release stops it.
    if (riding_dragon) {
        if (button == 1 || button == 0)
            tell_dragon_breath(button);
        return;
    }
    if (host_button_down(0) && next_shoot < game_time) {
        player_shoot_arrow();
        next_shoot = game_time + 0.666f;
    }
}

void interface_click(int x, int y, int b)
{
    switch (game_state) {
    case STATE_MENU:
        menu_click(x, y, b);
        return;
    case STATE_WON:
    case STATE_LOST:
        end_game_click(x, y, b);
        return;
    default:
        break;
    }
    if (!do_interface) {
        game_click(b);
        return;
    }
    if (b >= 1) {
        const int slot = command_bar_slot(x, y, g_game_width, g_game_height);
        if (slot >= 0) {
            if (the_buttons[slot].action)
                the_buttons[slot].action();
            return;
        }
        if (slot == -2)
            return;
    }
    // Releases, motion and presses outside the bar go to the selection.
    selection_click(x, y, b);
}

void interface_key(int key)
{
    if (game_state == STATE_MENU) {
        menu_key(key);
        return;
    }
    switch (key) {
    case ':':
        turn_off_nighttime_mode();
        break;
    case 'K':
        turn_on_nighttime_mode();
        break;
    case 'H':
        do_fog = !do_fog;
        break;
    case 'J':
        do_lighting = 1;
        break;
    case 'N':
        do_lighting = 0;
        break;
    case 'L':
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
        break;
    case 'p':
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        break;
    case 'M':
        random_map();
        break;
    case 'O':
        write_terrain_file();
        break;
    case 'Y':
        printf("eye stats: %f %f %f, looking %f %f\n", eye_x, eye_y, eye_z, eye_yaw, eye_pitch);
        printf("\tfloat = %f, vy = %f\n", eye_float, eye_vy);
        print_world_census();
        break;
    default:
        break;
    }
}
