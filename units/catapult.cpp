#include "units/catapult.h"

#include <GL/gl.h>
#include <cmath>

#include "core/camera.h"
#include "core/main_loop.h"
#include "core/random.h"
#include "core/textures.h"
#include "core/vector.h"
#include "net/participants.h"
#include "units/units.h"

int catapult_id = 0;

static void release_catapult_data(void* p)
{
    delete static_cast<catapult_data*>(p);
}

void init_catapult(unit* u, float x, float z)
{
    if (u->kind_data && u->kind_release)
        u->kind_release(u->kind_data);
    auto* c = new catapult_data{};
    c->arm_angle = 160.0f;
    c->arm_speed = 0.0f;
    c->wheel_angle = 0.0f;
    c->reload_time = static_cast<float>(game_rand() % 4 + 1);
    c->burning = game_rand() % 5 == 0 ? 1 : 0;
    u->kind_data = c;
    u->kind_release = release_catapult_data;
    u->x = x;
    u->z = z;
    u->order_x = x;
    u->order_z = z;
    u->heading = 180.0f;
    u->pitch = 91.0f;
    u->team = me ? me->team : 1;
    u->extra = nullptr;
    u->extra_release = nullptr;
    u->attack_target = nullptr;
    u->health = u->max_health = 10.0f;
    u->radius = 1.0f;
    u->speed = 15.0f;
    u->kind = UNIT_CATAPULT;
    u->order_kind = ORDER_NONE;
    u->param[0] = 0.0f;  // range register
    u->param[1] = 0.0f;  // drive speed
    u->param[2] = 3.0f;  // turn rate
    u->next_collision_test = game_time - 1.0f;
    u->flying = 0;
}

// --- model -------------------------------------------------------------------

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

static unsigned int axles_list = 0, frame_list = 0, arm_list = 0;

static void build_lists()
{
    axles_list = glGenLists(3);
    frame_list = axles_list + 1;
    arm_list = axles_list + 2;

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

static void wheel(float angle)
{
    glPushMatrix();
    glRotatef(90.0f, 0.0f, 1.0f, 0.0f);
    glRotatef(angle, 0.0f, 0.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, wood_texid);
    glTranslatef(0.0f, 0.0f, -0.05f);
    tube(0.1f, 0.3f, 12);
    glBindTexture(GL_TEXTURE_2D, wheel_texid);
    disk(0.3f, 0.0f, -1.0f, 12);
    disk(0.3f, 0.1f, 1.0f, 12);
    glPopMatrix();
}

void draw_catapult_model(unit* u)
{
    auto* c = static_cast<catapult_data*>(u->kind_data);
    if (!c)
        return;
    if (!axles_list)
        build_lists();
    const int t = (u->team == 0 || u->team == 1) ? u->team : 0;
    glColor3f(teams[t].r, teams[t].g, teams[t].b);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, wood_texid);
    glPushMatrix();
    glTranslatef(u->x, u->y, u->z);
    glScalef(1.3f, 1.3f, 1.3f);
    glRotatef(u->heading, 0.0f, 1.0f, 0.0f);
    glRotatef(u->pitch, 1.0f, 0.0f, 0.0f);
    glScalef(2.0f, 2.0f, 2.0f);
    for (float az : {-0.75f, 0.75f}) {
        glPushMatrix();
        glTranslatef(0.0f, 0.0f, az);
        glBindTexture(GL_TEXTURE_2D, wood_texid);
        glCallList(axles_list);
        for (float wx : {-0.5f, 0.5f}) {
            glPushMatrix();
            glTranslatef(wx, 0.0f, 0.0f);
            wheel(c->wheel_angle);
            glPopMatrix();
        }
        glPopMatrix();
    }
    glBindTexture(GL_TEXTURE_2D, wood_texid);
    glCallList(frame_list);
    glPushMatrix();
    glRotatef(-c->arm_angle, 1.0f, 0.0f, 0.0f);
    glCallList(arm_list);
    glPopMatrix();
    glPopMatrix();
    glColor3f(1.0f, 1.0f, 1.0f);
}

void draw_catapult(unit* u)
{
    float to_eye[3] = {eye_x - u->x, eye_y - u->y, eye_z - u->z};
    if (dot_product(to_eye, look_vect) > 0.0f)
        return;
    draw_catapult_model(u);
}
