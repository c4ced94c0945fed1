// The siege engines' look: the cart both kinds ride on (wheels, axles,
// frame), the catapult's throwing arm, and the ram's housing and its beam
// swinging on ropes. Tinted with the side's colour.
#include "render/engine_models.h"

#include <GL/gl.h>
#include <cmath>

#include "platform/vector.h"
#include "render/camera.h"
#include "render/model_draw.h"
#include "render/renderer.h"
#include "render/textures.h"
#include "sim/catapult.h"
#include "sim/game.h"
#include "sim/ram.h"
#include "sim/session.h"
#include "sim/units.h"
#include "sim/world.h"

// A closed tube along +z from 0 to `length`.
static void tube(float length, float radius, int sides)
{
    glBegin(GL_QUAD_STRIP);
    for (int i = 0; i <= sides; ++i) {
        float a = static_cast<float>(2.0 * M_PI * i / sides);
        float cx = cosf(a), cy = sinf(a);
        glNormal3f(cx, cy, 0.0f);
        glTexCoord2f(static_cast<float>(i) / sides, 0.0f);
        glVertex3f(radius * cx, radius * cy, 0.0f);
        glTexCoord2f(static_cast<float>(i) / sides, 1.0f);
        glVertex3f(radius * cx, radius * cy, length);
    }
    glEnd();
}

static void disk(float radius, float z, float nz, int sides)
{
    glBegin(GL_TRIANGLE_FAN);
    glNormal3f(0.0f, 0.0f, nz);
    glTexCoord2f(0.5f, 0.5f);
    glVertex3f(0.0f, 0.0f, z);
    for (int i = 0; i <= sides; ++i) {
        float a = static_cast<float>(2.0 * M_PI * i / sides) * (nz > 0 ? 1.0f : -1.0f);
        glTexCoord2f(0.5f + 0.5f * cosf(a), 0.5f + 0.5f * sinf(a));
        glVertex3f(radius * cosf(a), radius * sinf(a), z);
    }
    glEnd();
}

// A half sphere opening towards +z (the cup of the arm).
static void half_sphere(float radius, int slices, int stacks)
{
    for (int j = 0; j < stacks; ++j) {
        float t0 = static_cast<float>(M_PI / 2 * j / stacks), t1 = static_cast<float>(M_PI / 2 * (j + 1) / stacks);
        glBegin(GL_QUAD_STRIP);
        for (int i = 0; i <= slices; ++i) {
            float a = static_cast<float>(2.0 * M_PI * i / slices);
            for (float t : {t0, t1}) {
                float nx = sinf(t) * cosf(a), ny = sinf(t) * sinf(a), nz = -cosf(t);
                glNormal3f(nx, ny, nz);
                glVertex3f(radius * nx, radius * ny, radius * nz);
            }
        }
        glEnd();
    }
}

static void build_lists(engine_looks& e)
{
    const unsigned int axles_list = e.axles_list = glGenLists(5);
    const unsigned int frame_list = e.frame_list = axles_list + 1;
    const unsigned int arm_list = e.arm_list = axles_list + 2;
    const unsigned int rim_list = e.rim_list = axles_list + 3;
    const unsigned int face_list = e.face_list = axles_list + 4;

    // A wheel about the z axis: its wooden rim, and its two faces in a list
    // of their own, so that a cart's wheels share one texture change.
    glNewList(rim_list, GL_COMPILE);
    glTranslatef(0.0f, 0.0f, -0.05f);
    tube(0.1f, 0.3f, 12);
    glEndList();
    glNewList(face_list, GL_COMPILE);
    glTranslatef(0.0f, 0.0f, -0.05f);
    disk(0.3f, 0.0f, -1.0f, 12);
    disk(0.3f, 0.1f, 1.0f, 12);
    glEndList();

    // One axle across the cart (along x), centred.
    glNewList(axles_list, GL_COMPILE);
    glPushMatrix();
    glTranslatef(-0.5f, 0.0f, 0.0f);
    glRotatef(90.0f, 0.0f, 1.0f, 0.0f);
    tube(1.0f, 0.1f, 6);
    glPopMatrix();
    glEndList();

    // Two side rails along the cart 0.3 apart and a cross bar.
    glNewList(frame_list, GL_COMPILE);
    for (float sx : {-0.15f, 0.15f}) {
        glPushMatrix();
        glTranslatef(sx, 0.0f, -0.75f);
        tube(1.5f, 0.05f, 6);
        glPopMatrix();
    }
    glPushMatrix();
    glTranslatef(-0.25f, 0.0f, 0.0f);
    glRotatef(90.0f, 0.0f, 1.0f, 0.0f);
    tube(0.5f, 0.03f, 6);
    glPopMatrix();
    glEndList();

    // The arm: a rod from 0.3 behind the pivot, with the cup at 2.1.
    glNewList(arm_list, GL_COMPILE);
    glPushMatrix();
    glTranslatef(0.0f, 0.0f, -0.3f);
    tube(2.0f, 0.07f, 6);
    glPopMatrix();
    glPushMatrix();
    glTranslatef(0.0f, 0.0f, 2.1f);
    glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
    half_sphere(0.2f, 8, 4);
    glPopMatrix();
    glEndList();
}

// One list drawn at each of the four wheels, turned to `angle`.
static void wheels(unsigned int list, float angle)
{
    for (float az : {-0.75f, 0.75f})
        for (float wx : {-0.5f, 0.5f}) {
            glPushMatrix();
            glTranslatef(wx, 0.0f, az);
            glRotatef(90.0f, 0.0f, 1.0f, 0.0f);
            glRotatef(angle, 0.0f, 0.0f, 1.0f);
            glCallList(list);
            glPopMatrix();
        }
}

void draw_cart(const renderer& r, float wheel_angle)
{
    const engine_looks& e = r.engines;
    // Grouped by texture: the GL driver pays more for each texture change
    // than for these few triangles. The wood is left bound, as the arm and
    // the ram's housing that follow are wood too.
    glBindTexture(GL_TEXTURE_2D, r.textures[TEX_wheel]);
    wheels(e.face_list, wheel_angle);
    glBindTexture(GL_TEXTURE_2D, r.textures[TEX_wood]);
    wheels(e.rim_list, wheel_angle);
    for (float az : {-0.75f, 0.75f}) {
        glPushMatrix();
        glTranslatef(0.0f, 0.0f, az);
        glCallList(e.axles_list);
        glPopMatrix();
    }
    glCallList(e.frame_list);
}

void draw_catapult_model(renderer& r, const team_entry (&teams)[2], const unit* u)
{
    const catapult_data* c = catapult_of(u);
    if (!c)
        return;
    if (!r.engines.axles_list)
        build_lists(r.engines);  // the menu's picture comes before any world
    const int t = (u->team == 0 || u->team == 1) ? u->team : 0;
    glColor3f(teams[t].r, teams[t].g, teams[t].b);
    glEnable(GL_TEXTURE_2D);
    glPushMatrix();
    glTranslatef(u->x, u->y, u->z);
    glScalef(1.3f, 1.3f, 1.3f);
    glRotatef(u->heading, 0.0f, 1.0f, 0.0f);
    glRotatef(u->pitch, 1.0f, 0.0f, 0.0f);
    glScalef(2.0f, 2.0f, 2.0f);
    draw_cart(r, c->wheel_angle);
    glPushMatrix();
    glRotatef(-c->arm_angle, 1.0f, 0.0f, 0.0f);
    glCallList(r.engines.arm_list);
    glPopMatrix();
    glPopMatrix();
    glColor3f(1.0f, 1.0f, 1.0f);
}

void draw_catapult(renderer& r, const world& w, const unit* u)
{
    float to_eye[3] = {r.view.eye[0] - u->x, r.view.eye[1] - u->y, r.view.eye[2] - u->z};
    if (dot_product(to_eye, r.view.look) > 0.0f)
        return;
    draw_catapult_model(r, w.session.teams, u);
}

// --- the ram's housing and beam ----------------------------------------------

// Boxes by their full sizes.
static void box(float w, float h, float d)
{
    draw_box(w / 2, h / 2, d / 2);
}

static constexpr float POST_X = 0.25f, POST_Z = 0.4f;
static constexpr float PLANK_Y = 0.2f, POST_Y = PLANK_Y + 0.5f, POST_HEIGHT = 0.8f;
static constexpr float POST_TOP = POST_Y + POST_HEIGHT / 2;
static constexpr float BEAM_Y = POST_Y - 0.1f, BEAM_SIZE = 0.3f, BEAM_LENGTH = 3.0f, BEAM_SCALE = 1.1f;

static void build_housing_list(engine_looks& e)
{
    e.housing_list = glGenLists(1);
    glNewList(e.housing_list, GL_COMPILE);
    glPushMatrix();
    glTranslatef(0.0f, PLANK_Y, 0.0f);
    box(0.3f, 0.02f, 0.8f);
    glPopMatrix();
    for (float px : {-POST_X, POST_X})
        for (float pz : {-POST_Z, POST_Z}) {
            glPushMatrix();
            glTranslatef(px, POST_Y, pz);
            box(0.03f, POST_HEIGHT, 0.03f);
            glPopMatrix();
        }
    glEndList();
}

void compile_engine_lists(renderer& r)
{
    if (!r.engines.axles_list)
        build_lists(r.engines);
    if (!r.engines.housing_list)
        build_housing_list(r.engines);
}

void draw_battering_ram(const renderer& r, const world& w, const unit* u)
{
    const ram_data* ram = ram_of(u);
    if (!ram)
        return;
    const team_entry(&teams)[2] = w.session.teams;
    float to_eye[3] = {r.view.eye[0] - u->x, r.view.eye[1] - u->y, r.view.eye[2] - u->z};
    if (dot_product(to_eye, r.view.look) > 0.0f)
        return;
    const int t = (u->team == 0 || u->team == 1) ? u->team : 0;
    glColor3f(teams[t].r, teams[t].g, teams[t].b);
    glEnable(GL_TEXTURE_2D);
    glPushMatrix();
    glTranslatef(u->x, u->y, u->z);
    glRotatef(u->heading, 0.0f, 1.0f, 0.0f);
    glRotatef(u->pitch, 1.0f, 0.0f, 0.0f);
    glScalef(1.1f, 1.1f, 1.1f);
    glScalef(2.5f, 2.0f, 2.0f);
    glTranslatef(0.0f, 0.13f, 0.0f);
    draw_cart(r, ram->wheel_angle);
    glCallList(r.engines.housing_list);  // in the wood the cart left bound
    // The beam, swinging along the cart.
    glPushMatrix();
    glTranslatef(0.0f, BEAM_Y, 0.5f - ram->swing);
    glScalef(BEAM_SCALE, BEAM_SCALE, BEAM_SCALE);
    box(BEAM_SIZE, BEAM_SIZE, BEAM_LENGTH);
    glPopMatrix();
    // Four ropes from the post tops down to the beam.
    glDisable(GL_TEXTURE_2D);
    glLineWidth(10.0f);
    glColor3f(0.45f, 0.35f, 0.2f);
    const float beam_top = BEAM_Y + BEAM_SIZE * BEAM_SCALE / 2;
    glBegin(GL_LINES);
    for (float px : {-POST_X, POST_X})
        for (float pz : {-POST_Z, POST_Z}) {
            glVertex3f(px, POST_TOP, pz);
            glVertex3f(px * 0.5f, beam_top, pz - ram->swing);
        }
    glEnd();
    glLineWidth(1.0f);
    glEnable(GL_TEXTURE_2D);
    glPopMatrix();
    glColor3f(1.0f, 1.0f, 1.0f);
}
