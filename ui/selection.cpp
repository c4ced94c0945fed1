#include "ui/selection.h"

#include <GL/gl.h>
#include <cstdio>

#include "render/camera.h"
#include "sim/game.h"
#include "input/window.h"
#include "sim/participants.h"
#include "ui/interface.h"
#include "sim/magic.h"
#include "sim/pick.h"
#include "sim/units.h"
#include "sim/terrain.h"
#include "render/terrain_render.h"
#include "sim/trees.h"

int mouse_down = 0;
int in_select = 0;
int x_i = 0, y_i = 0;
int drag_x1 = 0, drag_y1 = 0, drag_x2 = 0, drag_y2 = 0;
int extend_selection = 0;

void reset_game_selection()
{
    mouse_down = 0;
    in_select = 0;
    x_i = y_i = 0;
    drag_x1 = drag_y1 = drag_x2 = drag_y2 = 0;
    extend_selection = 0;
}

void select_name(uint32_t id)
{
    unit* u = find_unit(id);
    if (!u)
        return;
    if (u->team == local_team()) {
        if (!u->selected) {
            u->selected = 1;
            ++friends_selected;
        }
        if (enemy_selected) {
            enemy_selected->selected = 0;
            enemy_selected = nullptr;
        }
    } else if (friends_selected == 0 && !enemy_selected) {
        u->selected = 1;
        enemy_selected = u;
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

void selection_drag(int x, int y)
{
    extend_selection = display && is_alt_down() ? 1 : 0;
    if (!extend_selection)
        clear_selection();
    drag_x1 = x_i < x ? x_i : x;
    drag_x2 = x_i < x ? x : x_i;
    drag_y1 = y_i < y ? y_i : y;
    drag_y2 = y_i < y ? y : y_i;
    const int w = g_game_width, h = g_game_height;
    if (w <= 0 || h <= 0)
        return;  // no picture to pick from
    const pick_window p = make_pick_window(drag_x1, drag_y1, drag_x2, drag_y2, w, h);
    const view_rect r{static_cast<float>(p.left), static_cast<float>(p.right), static_cast<float>(p.bottom),
                      static_cast<float>(p.top)};
    for (uint32_t id : units_in_view_rect(current_view_pose(), r))
        select_name(id);
}

void move_click(int x, int y)
{
    float gx, gz;
    if (screen_to_terrain_coords(x, y, &gx, &gz) == 0)
        issue_order(gx, gz, ORDER_MOVE);
}

void terrain_click(int x, int y)
{
    float gx, gz;
    if (screen_to_terrain_coords(x, y, &gx, &gz) != 0)
        return;
    if (!display)
        return;  // the keys held decide, and there is no keyboard
    const int radius = check_key('r') ? 2 : 5;
    if (check_key('g'))
        lower_terrain(gx, gz, radius);
    else if (check_key('t'))
        raise_terrain(gx, gz, radius);
    else if (check_key('b'))
        smooth_terrain(gx, gz, radius);
    else if (check_key('u'))
        save_tree(gx, gz);
}

void selection_click(int x, int y, int button)
{
    if (button > 0) {
        mouse_down = button;
    } else if (button == 0) {
        mouse_down = 0;
        in_select = 0;
    }
    if (mouse_down == 2) {
        if (do_god)
            terrain_click(x, y);
        move_click(x, y);
        return;
    }
    if (button == 1) {
        float gx, gz;
        if (waiting_mouse_command) {
            if (screen_to_terrain_coords(x, y, &gx, &gz) == 0)
                issue_order(gx, gz, waiting_mouse_command);
            waiting_mouse_command = 0;
        } else if (waiting_spell_command == WAITING_FIRESTORM) {
            waiting_spell_command = 0;
            if (screen_to_terrain_coords(x, y, &gx, &gz) == 0)
                do_firestorm(gx, gz);
        } else if (waiting_spell_command == WAITING_LIGHTNING) {
            waiting_spell_command = 0;
            if (screen_to_terrain_coords(x, y, &gx, &gz) == 0)
                cast_lightning(gx, gz);
        } else {
            in_select = 1;
            x_i = x;
            y_i = y;
            selection_drag(x, y);
        }
        return;
    }
    if (button == 3 && !in_select) {
        // Shift + right click: a further waypoint after the current orders.
        float gx, gz;
        if (screen_to_terrain_coords(x, y, &gx, &gz) == 0)
            queue_order(gx, gz);
        return;
    }
    if (in_select)
        selection_drag(x, y);
}

void draw_selection()
{
    if (!in_select)
        return;
    push_2d_matrix();
    glPushMatrix();
    glLoadIdentity();
    glScalef(VIRTUAL_WIDTH / g_game_width, VIRTUAL_HEIGHT / g_game_height, 1.0f);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glColor3f(0.0f, 1.0f, 0.0f);
    glLineWidth(2.0f);
    glBegin(GL_LINE_LOOP);
    glVertex2i(drag_x1, drag_y1);
    glVertex2i(drag_x2, drag_y1);
    glVertex2i(drag_x2, drag_y2);
    glVertex2i(drag_x1, drag_y2);
    glEnd();
    glColor3f(1.0f, 1.0f, 1.0f);
    glEnable(GL_TEXTURE_2D);
    glPopMatrix();
    pop_2d_matrix();
}
