// Drawing the units: each kind's model, and a ring with a health bar around
// the selected ones.
#include "render/unit_draw.h"

#include <GL/gl.h>
#include <cmath>
#include <cstdio>

#include "render/camera.h"
#include "render/dragon_model.h"
#include "render/engine_models.h"
#include "render/humanoid_model.h"
#include "render/renderer.h"
#include "render/ship_model.h"
#include "sim/dragon.h"
#include "sim/participants.h"
#include "sim/ship.h"
#include "sim/units.h"
#include "sim/world.h"

#include <algorithm>

void draw_billboarded_circle(const renderer& r, const world& w, const unit* u)
{
    const bool friendly = u->team == local_team(w);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    if (friendly)
        glColor3f(0.0f, 1.0f, 0.0f);
    else
        glColor3f(1.0f, 0.0f, 0.0f);
    glLineWidth(3.0f);
    glPushMatrix();
    glTranslatef(u->x, u->y, u->z);
    const float s = 2.0f * u->radius;
    glScalef(s, s, s);
    auto point = [&r](float a) {
        const float c = std::cos(a), sn = std::sin(a);
        glVertex3f(c * r.view.right[0] + sn * r.view.up[0], c * r.view.right[1] + sn * r.view.up[1],
                   c * r.view.right[2] + sn * r.view.up[2]);
    };
    const float step = static_cast<float>(18.0 * M_PI / 180.0);
    if (u->kind == UNIT_SHIP) {
        glBegin(GL_LINES);
        for (int i = 0; i < 10; ++i) {
            point(step * i);
            point(step * (i + 1));
        }
        glEnd();
    } else {
        glBegin(GL_LINE_LOOP);
        for (int i = 0; i < 21; ++i)
            point(step * i);
        glEnd();
    }
    if (friendly && u->max_health > 0.0f) {
        const float frac = u->health / u->max_health;
        const float len = frac;
        glEnable(GL_BLEND);
        glColor4f((u->max_health - u->health) / u->max_health, frac, 0.0f, 0.5f);
        auto at = [&r](float across, float up) {
            glVertex3f(across * r.view.right[0] + up * r.view.up[0], across * r.view.right[1] + up * r.view.up[1],
                       across * r.view.right[2] + up * r.view.up[2]);
        };
        glBegin(GL_QUADS);
        at(0.5f, 1.1f);
        at(0.5f - len, 1.1f);
        at(0.5f - len, 1.2f);
        at(0.5f, 1.2f);
        glEnd();
        glDisable(GL_BLEND);
    }
    glPopMatrix();
    glEnable(GL_TEXTURE_2D);
    glColor3f(1.0f, 1.0f, 1.0f);
    enable_lighting(r.view);
}

namespace {

void draw_nothing(renderer&, const world&, const unit*) {}
void draw_humanoid_look(renderer& r, const world& w, const unit* u)
{
    draw_humanoid(r, w, u);
}
void draw_ram_look(renderer& r, const world& w, const unit* u)
{
    draw_battering_ram(r, w, u);
}
void draw_ship_look(renderer& r, const world& w, const unit* u)
{
    draw_ship(r, w, u);
}

// How each look is drawn, by unit_look.
void (*const LOOK_DRAWERS[])(renderer&, const world&, const unit*) = {
    draw_nothing,     // none
    draw_humanoid_look,
    draw_catapult,
    draw_ram_look,
    draw_dragon,
    draw_ship_look,
};
static_assert(sizeof LOOK_DRAWERS / sizeof LOOK_DRAWERS[0] == static_cast<size_t>(unit_look::ship) + 1);

} // namespace

void draw_units(renderer& r, const world& w, const std::vector<uint32_t>& selected)
{
    for (const unit* u = w.units.list; u; u = u->next) {
        if (u->invisible || u == w.me)
            continue;
        const float centre[3] = {u->x, u->y, u->z};
        // The dragon's wings and tail reach far beyond its body's radius.
        const float reach = u->kind == UNIT_DRAGON ? DRAGON_DRAW_RADIUS : 1.5f * u->radius;
        if (!sphere_in_view(r.view, centre, reach))
            continue;
        if (std::find(selected.begin(), selected.end(), u->id) != selected.end())
            draw_billboarded_circle(r, w, u);
        const unit_kind_row* row = kind_row(u->kind);
        LOOK_DRAWERS[static_cast<size_t>(row ? row->look : unit_look::none)](r, w, u);
        const GLenum err = glGetError();
        if (err != GL_NO_ERROR)
            printf("post-draw-unit %8.8X glGetError() = %d\n", u->id, static_cast<int>(err));
    }
}
