#include "ui/interface.h"

#include <GL/gl.h>
#include <cmath>
#include <cstdio>

#include "render/camera.h"
#include "render/model_draw.h"
#include "render/textures.h"
#include "sim/game.h"
#include "sim/light.h"
#include "sim/magic.h"
#include "sim/participants.h"
#include "sim/player.h"
#include "sim/terrain.h"
#include "sim/units.h"
#include "sim/walls.h"
#include "sim/world.h"
#include "ui/end_screens.h"
#include "ui/hud.h"
#include "ui/menu.h"
#include "ui/selection.h"

int do_interface = 0;
float interface_y = INTERFACE_Y_HIDDEN;
int waiting_mouse_command = 0;
button_slot the_buttons[7];
void (*interface_cursor_visible)() = nullptr;
void (*interface_cursor_look)() = nullptr;

// The order button last lit (4 attack, 5 move, 6 stop; -1 none): a unit
// engaged with an enemy leaves the lights as they were.
static int s_lit_order = -1;

void reset_game_interface()
{
    waiting_mouse_command = 0;
    s_lit_order = -1;
    for (button_slot& b : the_buttons)
        b = button_slot{};
    do_interface = 0;
    interface_y = INTERFACE_Y_HIDDEN;
}

// --- command bar ------------------------------------------------------------------

void enable_interface()
{
    if (do_interface)
        return;
    do_interface = 1;
    if (interface_cursor_visible)
        interface_cursor_visible();
}

void disable_interface()
{
    if (!do_interface)
        return;
    do_interface = 0;
    if (interface_cursor_look)
        interface_cursor_look();
}

static int slot_of_order(int order_kind)
{
    switch (order_kind) {
    case ORDER_MOVE: return 5;
    case ORDER_ATTACK: return 4;
    case ORDER_HOLD: return 6;
    default: return -1;
    }
}

static void attack_button_action()
{
    s_lit_order = slot_of_order(ORDER_ATTACK);
    waiting_mouse_command = ORDER_ATTACK;
}

static void move_button_action()
{
    s_lit_order = slot_of_order(ORDER_MOVE);
    waiting_mouse_command = ORDER_MOVE;
}

static void stop_button_action()
{
    s_lit_order = slot_of_order(ORDER_HOLD);
    // On this copy only: no command is sent for a stop.
    for (unit* u = unit_list; u; u = u->next)
        if (u->selected)
            u->order_kind = ORDER_HOLD;
}

// The button of each spell code (none for no spell).
static unsigned spell_texture(int code)
{
    static const unsigned int* const textures[SPELL_CODES] = {
        nullptr,
        &dragon_summon_button_texid,
        &ghoul_button_texid,
        &firestorm_texid,
        &invisibility_texid,
        &lightning_texid,
        &goblin_button_texid,
        &dragon_dismount_button_texid,
        &catapult_summon_button_texid,
        &ram_button_texid,
        &footman_button_texid,
    };
    return code > SPELL_NONE && code < SPELL_CODES ? *textures[code] : 0;
}

void refresh_command_bar()
{
    for (button_slot& b : the_buttons)
        b = button_slot{};
    if (i_am_defender() && n_wall_pts > 0)
        the_buttons[0] = {gate_up ? lower_gate_texid : raise_gate_texid, 0, 0, gate_func};
    else if (i_am_attacker())
        the_buttons[0] = {select_catas_texid, 0, 1, select_catas};
    the_buttons[1] = {pray_button_texid, praying, 1, do_pray};
    void (*const cast[2])() = {magic_button_1, magic_button_2};
    for (int k = 0; k < 2; ++k)
        if (what_spells[k] > SPELL_NONE && what_spells[k] < SPELL_CODES)
            // The dismount button keeps its size when highlighted.
            the_buttons[2 + k] = {spell_texture(what_spells[k]), 0, what_spells[k] == SPELL_DISMOUNT ? 0 : 1, cast[k]};
    if (friends_selected <= 0) {
        s_lit_order = -1;
        return;
    }
    the_buttons[4] = {attack_button_texid, 0, 1, attack_button_action};
    the_buttons[5] = {move_button_texid, 0, 1, move_button_action};
    the_buttons[6] = {stop_button_texid, 0, 1, stop_button_action};
    for (const unit* u = unit_list; u; u = u->next)
        if (u->selected && u->team == local_team()) {
            if (u->order_kind != ORDER_ENGAGED)
                s_lit_order = slot_of_order(u->order_kind);
            break;
        }
    if (s_lit_order >= 4)
        the_buttons[s_lit_order].highlighted = 1;
}

void animate_interface(float dt)
{
    const float step = per_tuned_step(0.2f, dt);
    if (do_interface) {
        interface_y += step;
        if (interface_y > INTERFACE_Y_SHOWN)
            interface_y = INTERFACE_Y_SHOWN;
    } else {
        interface_y -= step;
        if (interface_y < INTERFACE_Y_HIDDEN)
            interface_y = INTERFACE_Y_HIDDEN;
    }
}
void draw_interface()
{
    refresh_command_bar();
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

void interface_click(int x, int y, int b, bool first_down)
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
        player_click(b, first_down);
        return;
    }
    if (b >= 1) {
        refresh_command_bar();
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
