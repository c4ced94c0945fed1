#include "ui/interface.h"

#include <GL/gl.h>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "render/camera.h"
#include "render/model_draw.h"
#include "render/renderer.h"
#include "sim/game.h"
#include "sim/magic.h"
#include "sim/participants.h"
#include "sim/player.h"
#include "sim/session.h"
#include "sim/terrain.h"
#include "sim/units.h"
#include "sim/walls.h"
#include "sim/world.h"
#include "ui/end_screens.h"
#include "ui/hud.h"
#include "ui/menu.h"
#include "ui/selection.h"
#include "ui/user_interface.h"

// --- command bar ------------------------------------------------------------------

void enable_interface(user_interface& ui)
{
    if (ui.bar.shown)
        return;
    ui.bar.shown = 1;
    if (ui.cursor_visible)
        ui.cursor_visible();
}

void disable_interface(user_interface& ui)
{
    if (!ui.bar.shown)
        return;
    ui.bar.shown = 0;
    if (ui.cursor_look)
        ui.cursor_look();
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

static void attack_button_action(user_interface& ui)
{
    ui.bar.lit_order = slot_of_order(ORDER_ATTACK);
    ui.bar.waiting_order = ORDER_ATTACK;
}

static void move_button_action(user_interface& ui)
{
    ui.bar.lit_order = slot_of_order(ORDER_MOVE);
    ui.bar.waiting_order = ORDER_MOVE;
}

static void stop_button_action(user_interface& ui)
{
    ui.bar.lit_order = slot_of_order(ORDER_HOLD);
    // On this copy only: no command is sent for a stop.
    player_action a(player_action_kind::hold);
    a.units = selected_units(ui.selection);
    ui.actions.push_back(std::move(a));
}

static void gate_button_action(user_interface& ui)
{
    ui.actions.emplace_back(player_action_kind::toggle_gate);
}

static void pray_button_action(user_interface& ui)
{
    ui.actions.emplace_back(player_action_kind::pray);
}

static void first_spell_action(user_interface& ui)
{
    ui.actions.emplace_back(player_action_kind::cast, 0.0f, 0.0f, 0);
}

static void second_spell_action(user_interface& ui)
{
    ui.actions.emplace_back(player_action_kind::cast, 0.0f, 0.0f, 1);
}

// The button of each spell code (none for no spell).
static unsigned spell_texture(const texture_table& t, int code)
{
    static const unsigned materials[SPELL_CODES] = {
        0,
        TEX_dragon_summon_button,
        TEX_ghoul_button,
        TEX_firestorm,
        TEX_invisibility,
        TEX_lightning,
        TEX_goblin_button,
        TEX_dragon_dismount_button,
        TEX_catapult_summon_button,
        TEX_ram_button,
        TEX_footman_button,
    };
    return code > SPELL_NONE && code < SPELL_CODES ? t[materials[code]] : 0;
}

void refresh_command_bar(user_interface& ui)
{
    command_bar& bar = ui.bar;
    for (button_slot& b : bar.slots)
        b = button_slot{};
    if (!ui.world)
        return;
    const world& w = *ui.world;
    const texture_table& t = ui.renderer.textures;
    forget_gone_units(ui.selection, w);
    if (i_am_defender(ui.session) && w.walls.count() > 0)
        bar.slots[0] = {w.walls.gate_up ? t[TEX_lower_gate] : t[TEX_raise_gate], 0, 0, gate_button_action};
    else if (i_am_attacker(ui.session))
        bar.slots[0] = {t[TEX_select_catas], 0, 1, select_catapults};
    bar.slots[1] = {t[TEX_pray_button], w.player.praying, 1, pray_button_action};
    void (*const cast[2])(user_interface&) = {first_spell_action, second_spell_action};
    for (int k = 0; k < 2; ++k) {
        const int spell = w.player.spells[k];
        if (spell > SPELL_NONE && spell < SPELL_CODES)
            // The dismount button keeps its size when highlighted.
            bar.slots[2 + k] = {spell_texture(t, spell), 0, spell == SPELL_DISMOUNT ? 0 : 1, cast[k]};
    }
    if (ui.selection.friends.empty()) {
        bar.lit_order = -1;
        return;
    }
    bar.slots[4] = {t[TEX_attack_button], 0, 1, attack_button_action};
    bar.slots[5] = {t[TEX_move_button], 0, 1, move_button_action};
    bar.slots[6] = {t[TEX_stop_button], 0, 1, stop_button_action};
    // The first selected unit of the registry's order lights its order.
    const std::vector<uint32_t>& picked = ui.selection.friends;
    for (const unit* u = w.units.list; u; u = u->next)
        if (std::find(picked.begin(), picked.end(), u->id) != picked.end()) {
            if (u->order_kind != ORDER_ENGAGED)
                bar.lit_order = slot_of_order(u->order_kind);
            break;
        }
    if (bar.lit_order >= 4)
        bar.slots[bar.lit_order].highlighted = 1;
}

void animate_interface(command_bar& bar, float dt)
{
    const float step = per_tuned_step(0.2f, dt);
    if (bar.shown) {
        bar.y += step;
        if (bar.y > INTERFACE_Y_SHOWN)
            bar.y = INTERFACE_Y_SHOWN;
    } else {
        bar.y -= step;
        if (bar.y < INTERFACE_Y_HIDDEN)
            bar.y = INTERFACE_Y_HIDDEN;
    }
}

void draw_interface(user_interface& ui)
{
    refresh_command_bar(ui);
    const command_bar& bar = ui.bar;
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(0.0f, bar.y, -2.001f);
    // The status bars ride on the panel, shown or hidden.
    glDisable(GL_TEXTURE_2D);
    if (ui.world)
        draw_hud(*ui.world);
    glEnable(GL_TEXTURE_2D);
    if (bar.y > INTERFACE_Y_HIDDEN) {
        glEnable(GL_TEXTURE_2D);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        glBindTexture(GL_TEXTURE_2D, ui.renderer.textures[TEX_wood]);
        draw_quad(3.5f, 0.45f);
        glEnable(GL_BLEND);
        for (int slot = 0; slot < 7; ++slot) {
            const button_slot& b = bar.slots[slot];
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
    draw_selection(ui);
    glEnable(GL_DEPTH_TEST);
    enable_lighting(ui.renderer.view);
}

int command_bar_slot(int x, int y, int w, int h, float zoom)
{
    if (y < 0.854 * h || zoom != 1.0f)
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

void interface_click(user_interface& ui, int x, int y, int b, bool first_down)
{
    switch (ui.session.phase) {
    case STATE_MENU:
        menu_click(ui, x, y, b);
        return;
    case STATE_WON:
    case STATE_LOST:
        end_game_click(ui, x, y, b);
        return;
    default:
        break;
    }
    if (!ui.bar.shown) {
        player_action a(player_action_kind::click, 0.0f, 0.0f, b);
        a.first_down = first_down;
        ui.actions.push_back(std::move(a));
        return;
    }
    if (b >= 1) {
        refresh_command_bar(ui);
        const view_state& v = ui.renderer.view;
        const int slot = command_bar_slot(x, y, v.width, v.height, v.zoom);
        if (slot >= 0) {
            if (ui.bar.slots[slot].action)
                ui.bar.slots[slot].action(ui);
            return;
        }
        if (slot == -2)
            return;
    }
    // Releases, motion and presses outside the bar go to the selection.
    selection_click(ui, x, y, b);
}

void interface_key(user_interface& ui, int key)
{
    if (ui.session.phase == STATE_MENU) {
        menu_key(ui, key);
        return;
    }
    view_state& v = ui.renderer.view;
    switch (key) {
    case ':':
        ui.actions.emplace_back(player_action_kind::night, 0.0f, 0.0f, 0);
        break;
    case 'K':
        ui.actions.emplace_back(player_action_kind::night, 0.0f, 0.0f, 1);
        break;
    case 'H':
        v.fog = !v.fog;
        break;
    case 'J':
        v.lighting = 1;
        break;
    case 'N':
        v.lighting = 0;
        break;
    case 'L':
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
        break;
    case 'p':
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        break;
    case 'M':
        ui.actions.emplace_back(player_action_kind::new_island);
        break;
    case 'O':
        if (ui.world)
            write_terrain_file(ui.world->terrain);
        break;
    case 'Y':
        if (ui.world) {
            const local_player& p = ui.world->player;
            printf("eye stats: %f %f %f, looking %f %f\n", p.eye_x, p.eye_y, p.eye_z, p.eye_yaw, p.eye_pitch);
            printf("\tfloat = %f, vy = %f\n", p.eye_float, p.eye_vy);
            print_world_census(*ui.world);
        }
        break;
    default:
        break;
    }
}
