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
#include "render/ship_model.h"
#include "sim/dragon.h"
#include "sim/participants.h"
#include "sim/ship.h"
#include "sim/units.h"

void draw_billboarded_circle(unit* u)
{
    const bool friendly = u->team == local_team();
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
    auto point = [](float a) {
        const float c = std::cos(a), sn = std::sin(a);
        glVertex3f(c * right_vect[0] + sn * up_vect[0], c * right_vect[1] + sn * up_vect[1],
                   c * right_vect[2] + sn * up_vect[2]);
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
        auto at = [](float r, float up) {
            glVertex3f(r * right_vect[0] + up * up_vect[0], r * right_vect[1] + up * up_vect[1],
                       r * right_vect[2] + up * up_vect[2]);
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
    enable_lighting();
}

static void draw_unit_by_kind(unit* u)
{
    switch (u->kind) {
    case UNIT_HUMANOID:
        draw_humanoid(u);
        break;
    case UNIT_CATAPULT:
        draw_catapult(u);
        break;
    case UNIT_RAM:
        draw_battering_ram(u);
        break;
    case UNIT_DRAGON:
        draw_dragon(u);
        break;
    case UNIT_SHIP:
        draw_ship(u);
        break;
    default:
        break;
    }
}

void draw_units()
{
    for (unit* u = unit_list; u; u = u->next) {
        if (u->invisible || u == me)
            continue;
        const float centre[3] = {u->x, u->y, u->z};
        // The dragon's wings and tail reach far beyond its body's radius.
        const float reach = u->kind == UNIT_DRAGON ? DRAGON_DRAW_RADIUS : 1.5f * u->radius;
        if (!sphere_in_view(centre, reach))
            continue;
        if (u->selected)
            draw_billboarded_circle(u);
        draw_unit_by_kind(u);
        const GLenum err = glGetError();
        if (err != GL_NO_ERROR)
            printf("post-draw-unit %8.8X glGetError() = %d\n", u->id, static_cast<int>(err));
    }
}
