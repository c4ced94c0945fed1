#include "ui/selection.h"

#include <GL/gl.h>
#include <algorithm>
#include <cstdio>

#include "input/window.h"
#include "render/camera.h"
#include "render/renderer.h"
#include "render/terrain_render.h"
#include "sim/magic.h"
#include "sim/participants.h"
#include "sim/pick.h"
#include "sim/session.h"
#include "sim/units.h"
#include "sim/world.h"
#include "ui/interface.h"
#include "ui/user_interface.h"

std::vector<uint32_t> selected_units(const selection_state& s)
{
    std::vector<uint32_t> all = s.friends;
    if (s.enemy)
        all.push_back(s.enemy);
    return all;
}

void clear_selection(selection_state& s)
{
    s.friends.clear();
    s.enemy = 0;
}

void forget_gone_units(selection_state& s, const world& w)
{
    std::erase_if(s.friends, [&w](uint32_t id) { return !find_unit(w, id); });
    if (s.enemy && !find_unit(w, s.enemy))
        s.enemy = 0;
}

void select_catapults(user_interface& ui)
{
    selection_state& s = ui.selection;
    clear_selection(s);
    if (!ui.world)
        return;
    const int team = local_team(*ui.world);
    for (const unit* u = ui.world->units.list; u; u = u->next)
        if (u->kind == UNIT_CATAPULT && u->team == team)
            s.friends.push_back(u->id);
}

void select_name(user_interface& ui, uint32_t id)
{
    selection_state& s = ui.selection;
    const unit* u = ui.world ? find_unit(*ui.world, id) : nullptr;
    if (!u)
        return;
    if (u->team == local_team(*ui.world)) {
        if (std::find(s.friends.begin(), s.friends.end(), id) == s.friends.end())
            s.friends.push_back(id);
        s.enemy = 0;
    } else if (s.friends.empty() && !s.enemy) {
        s.enemy = id;
    }
}

pick_window make_pick_window(int x1, int y1, int x2, int y2, int w, int h)
{
    pick_window p{x1 - w / 2, x2 - w / 2, h / 2 - y2, h / 2 - y1};
    if (p.right - p.left < MIN_PICK_SIZE) {
        p.left -= MIN_PICK_SIZE / 2;
        p.right += MIN_PICK_SIZE / 2;
    }
    if (p.top - p.bottom < MIN_PICK_SIZE) {
        p.bottom -= MIN_PICK_SIZE / 2;
        p.top += MIN_PICK_SIZE / 2;
    }
    return p;
}

void selection_drag(user_interface& ui, int x, int y)
{
    selection_state& s = ui.selection;
    s.extend = display && is_alt_down() ? 1 : 0;
    if (!s.extend)
        clear_selection(s);
    s.drag_x1 = s.x_i < x ? s.x_i : x;
    s.drag_x2 = s.x_i < x ? x : s.x_i;
    s.drag_y1 = s.y_i < y ? s.y_i : y;
    s.drag_y2 = s.y_i < y ? y : s.y_i;
    const view_state& v = ui.renderer.view;
    const int w = v.width, h = v.height;
    if (w <= 0 || h <= 0 || !ui.world)
        return;  // no picture to pick from
    const pick_window p = make_pick_window(s.drag_x1, s.drag_y1, s.drag_x2, s.drag_y2, w, h);
    const view_rect r{static_cast<float>(p.left), static_cast<float>(p.right), static_cast<float>(p.bottom),
                      static_cast<float>(p.top)};
    for (uint32_t id : units_in_view_rect(*ui.world, current_view_pose(v), r))
        select_name(ui, id);
}

// The ground point under window pixel (x, y), if the pointer is on the island.
static bool ground_at(const user_interface& ui, int x, int y, float& gx, float& gz)
{
    return ui.world && screen_to_terrain_coords(ui.renderer.view, ui.world->terrain, x, y, &gx, &gz) == 0;
}

static void order_selection(user_interface& ui, player_action_kind kind, float x, float z, int order)
{
    player_action a(kind, x, z, order);
    a.units = ui.selection.friends;
    ui.actions.push_back(std::move(a));
}

void move_click(user_interface& ui, int x, int y)
{
    float gx, gz;
    if (ground_at(ui, x, y, gx, gz))
        order_selection(ui, player_action_kind::order, gx, gz, ORDER_MOVE);
}

void terrain_click(user_interface& ui, int x, int y)
{
    float gx, gz;
    if (!ground_at(ui, x, y, gx, gz))
        return;
    if (!display)
        return;  // the keys held decide, and there is no keyboard
    const int radius = check_key('r') ? 2 : 5;
    if (check_key('g'))
        ui.actions.emplace_back(player_action_kind::lower_ground, gx, gz, radius);
    else if (check_key('t'))
        ui.actions.emplace_back(player_action_kind::raise_ground, gx, gz, radius);
    else if (check_key('b'))
        ui.actions.emplace_back(player_action_kind::smooth_ground, gx, gz, radius);
    else if (check_key('u'))
        ui.actions.emplace_back(player_action_kind::plant_tree, gx, gz);
}

void selection_click(user_interface& ui, int x, int y, int button)
{
    selection_state& s = ui.selection;
    if (button > 0) {
        s.mouse_down = button;
    } else if (button == 0) {
        s.mouse_down = 0;
        s.in_select = 0;
    }
    if (s.mouse_down == 2) {
        if (ui.session.god)
            terrain_click(ui, x, y);
        move_click(ui, x, y);
        return;
    }
    if (button == 1) {
        float gx = 0.0f, gz = 0.0f;
        if (ui.bar.waiting_order) {
            if (ground_at(ui, x, y, gx, gz))
                order_selection(ui, player_action_kind::order, gx, gz, ui.bar.waiting_order);
            ui.bar.waiting_order = 0;
        } else if (ui.world && ui.world->player.waiting_spell) {
            const bool hit = ground_at(ui, x, y, gx, gz);
            ui.actions.emplace_back(player_action_kind::spell_target, gx, gz, hit ? 1 : 0);
        } else {
            s.in_select = 1;
            s.x_i = x;
            s.y_i = y;
            selection_drag(ui, x, y);
        }
        return;
    }
    if (button == 3 && !s.in_select) {
        // Shift + right click: a further waypoint after the current orders.
        float gx, gz;
        if (ground_at(ui, x, y, gx, gz))
            order_selection(ui, player_action_kind::queue_order, gx, gz, 0);
        return;
    }
    if (s.in_select)
        selection_drag(ui, x, y);
}

void draw_selection(const user_interface& ui)
{
    const selection_state& s = ui.selection;
    if (!s.in_select)
        return;
    const view_state& v = ui.renderer.view;
    push_2d_matrix(v);
    glPushMatrix();
    glLoadIdentity();
    glScalef(VIRTUAL_WIDTH / v.width, VIRTUAL_HEIGHT / v.height, 1.0f);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glColor3f(0.0f, 1.0f, 0.0f);
    glLineWidth(2.0f);
    glBegin(GL_LINE_LOOP);
    glVertex2i(s.drag_x1, s.drag_y1);
    glVertex2i(s.drag_x2, s.drag_y1);
    glVertex2i(s.drag_x2, s.drag_y2);
    glVertex2i(s.drag_x1, s.drag_y2);
    glEnd();
    glColor3f(1.0f, 1.0f, 1.0f);
    glEnable(GL_TEXTURE_2D);
    glPopMatrix();
    pop_2d_matrix(v);
}
