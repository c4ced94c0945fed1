// What flies: arrows (a red shaft along their launch angles) and catapult
// balls (a wooden sphere, trailing flames when it burns).
#include "render/projectile_draw.h"

#include <GL/gl.h>
#include <cmath>

#include "render/camera.h"
#include "render/flames.h"
#include "render/model_draw.h"
#include "render/renderer.h"
#include "render/textures.h"
#include "sim/fire.h"
#include "sim/projectile.h"
#include "sim/world.h"

void compile_projectile_lists(renderer& r)
{
    if (r.projectiles.ball_list)
        return;
    const unsigned int ball_list = r.projectiles.ball_list = glGenLists(2);
    const unsigned int arrow_list = r.projectiles.arrow_list = ball_list + 1;
    glNewList(ball_list, GL_COMPILE);
    draw_sphere(0.5f, 10, 10);
    glEndList();
    glNewList(arrow_list, GL_COMPILE);
    glCullFace(GL_FRONT);
    // Along -z: a point, the shaft, a point; 1.6 long in all.
    glPushMatrix();
    glRotatef(180.0f, 0.0f, 1.0f, 0.0f);
    glTranslatef(0.0f, 0.0f, -0.8f);
    draw_cone(0.2f, 0.0f, 0.05f, 5);
    glTranslatef(0.0f, 0.0f, 0.2f);
    draw_cone(1.2f, 0.05f, 0.05f, 5);
    glTranslatef(0.0f, 0.0f, 1.2f);
    draw_cone(0.2f, 0.05f, 0.0f, 5);
    glPopMatrix();
    glEndList();
}

static void draw_ball(renderer& r, const projectile* p)
{
    glColor3f(1.0f, 1.0f, 1.0f);
    set_scene_color();
    glDisable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, r.textures[TEX_wood]);
    glCallList(r.projectiles.ball_list);
    if (const auto* f = static_cast<const fire_source*>(p->data)) {
        glEnable(GL_BLEND);
        draw_firesource(r, f);
        glDisable(GL_BLEND);
    }
}

static void draw_arrow(const renderer& r, const projectile* p)
{
    const auto* a = static_cast<const arrow_data*>(p->data);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, r.textures[TEX_wood]);
    glColor3f(1.0f, 0.0f, 0.0f);
    if (a) {
        glRotatef(-a->yaw, 0.0f, 1.0f, 0.0f);
        glRotatef(-a->pitch, 1.0f, 0.0f, 0.0f);
    }
    glCallList(r.projectiles.arrow_list);
    glCullFace(GL_BACK);
    glColor3f(1.0f, 1.0f, 1.0f);
}

void draw_projectiles(renderer& r, const world& w)
{
    for (const projectile* p = w.projectiles.head; p; p = p->next) {
        glPushMatrix();
        glTranslatef(p->x, p->y, p->z);
        if (p->kind == PROJECTILE_ARROW)
            draw_arrow(r, p);
        else if (p->kind == PROJECTILE_BALL)
            draw_ball(r, p);
        glPopMatrix();
    }
}
