#include "render/camera.h"

#include <GL/gl.h>
#include <cmath>
#include <algorithm>
#include <cstdio>

#include "platform/vector.h"
#include "sim/game.h"
#include "sim/light.h"

int g_game_width = 0, g_game_height = 0;
float g_zoom = 1.0f;
float got_hurt = 0.0f;
float g_target_zoom = 1.0f, g_start_zoom = 1.0f, g_start_zoom_time = 0.0f, g_target_zoom_time = 0.0f;
int do_fog = 1;
int do_lighting = 1;

// How fast the hurt tilt wears off, degrees a second.
constexpr float HURT_RECOVERY = 56.0f;

float look_vect[3], up_vect[3], right_vect[3];
float frustum_left_vect[3], frustum_right_vect[3], frustum_bot_vect[3], frustum_top_vect[3];

void default_frustum()
{
    float z = g_zoom;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-2.0 / z, 2.0 / z, -1.5 / z, 1.5 / z, 2.0, 40000.0);
    glMatrixMode(GL_MODELVIEW);
}

void calculate_viewing_vectors()
{
    eye_look_vectors(look_vect, up_vect);
    cross_product(look_vect, up_vect, right_vect);

    const float z = g_zoom;
    float v[3];
    // v = a*look + b*side, one edge direction of the view volume
    auto edge = [&v](const float* dir, float a, const float* side, float b) {
        set_vector(v, a * dir[0] + b * side[0], a * dir[1] + b * side[1], a * dir[2] + b * side[2]);
    };
    edge(look_vect, 2.0f, right_vect, -2.0f / z);
    cross_product(v, up_vect, frustum_left_vect);
    normalize_vector(frustum_left_vect);
    edge(look_vect, 2.0f, right_vect, 2.0f / z);
    cross_product(up_vect, v, frustum_right_vect);
    normalize_vector(frustum_right_vect);
    edge(look_vect, 1.5f, up_vect, -1.5f / z);
    cross_product(right_vect, v, frustum_bot_vect);
    normalize_vector(frustum_bot_vect);
    edge(look_vect, 1.5f, up_vect, 1.5f / z);
    cross_product(v, right_vect, frustum_top_vect);
    normalize_vector(frustum_top_vect);
}

bool sphere_in_view(const float centre[3], float radius)
{
    float d[3] = {centre[0] - eye_x, centre[1] - eye_y, centre[2] - eye_z};
    const float* planes[] = {look_vect, frustum_left_vect, frustum_right_vect, frustum_bot_vect, frustum_top_vect};
    for (const float* n : planes)
        if (dot_product(d, n) < -radius)
            return false;
    return true;
}

float fog_colour[4] = {0.0f, 0.0f, 0.0f, 1.0f};

// Every frame, above the water or under it, draws everything in exp2 fog
// from the fragment's depth: the driver builds a program for each mix of
// fixed-function state it meets, so one mode and one source keep their
// number fixed however the eye moves. Under the water the fog is thick and
// blue, 1/e at 200 units, through its colour and density alone.
void set_fog_mode()
{
    glFogi(GL_FOG_MODE, GL_EXP2);
    if (eye_y < 10.0f) {
        set_vector(fog_colour, 0.4f, 0.4f, 0.8f);
        fog_colour[3] = 0.0f;
        glFogf(GL_FOG_DENSITY, UNDERWATER_FOG_DENSITY);
    } else {
        const float g = 0.41f + 0.3f * cosf(phase);
        set_vector(fog_colour, g, g, g);
        fog_colour[3] = 1.0f;
        glFogf(GL_FOG_DENSITY, HIGH_FOG_DENSITY);
    }
    glFogfv(GL_FOG_COLOR, fog_colour);
    glClearColor(fog_colour[0], fog_colour[1], fog_colour[2], 0.0f);
}

void set_game_gl_params()
{
    glViewport(0, 0, g_game_width, g_game_height);
    glDisable(GL_LIGHTING);
    glEnable(GL_COLOR_MATERIAL);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_FOG);
    glEnable(GL_CULL_FACE);
}

void reset_game_camera()
{
    got_hurt = 0.0f;
    g_zoom = g_target_zoom = g_start_zoom = 1.0f;
    g_start_zoom_time = g_target_zoom_time = 0.0f;
}

void camera_hurt()
{
    got_hurt = 15.0f;
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

void step_view(float dt, bool zoom_held)
{
    if (got_hurt > 0.0f)
        got_hurt = std::max(0.0f, got_hurt - HURT_RECOVERY * dt);
    update_zoom(zoom_held);
}

void enable_lighting()
{
    if (do_lighting)
        glEnable(GL_LIGHTING);
    else
        glDisable(GL_LIGHTING);
}

void set_scene_color()
{
    glColor3f(1.0f, 1.0f, 1.0f);
}

view_pose current_view_pose()
{
    return {{eye_x, eye_y + 0.4f * sinf(walk_phase), eye_z}, eye_pitch, eye_yaw, got_hurt,
            g_zoom, g_game_width, g_game_height};
}

void load_eye_matrix()
{
    const view_pose v = current_view_pose();
    glLoadIdentity();
    glScalef(VIEW_SCALE, VIEW_SCALE, VIEW_SCALE);
    glRotatef(v.pitch, 1.0f, 0.0f, 0.0f);
    glRotatef(v.yaw, 0.0f, 1.0f, 0.0f);
    glRotatef(v.roll, 0.0f, 0.0f, 1.0f);
    glTranslatef(-v.eye[0], -v.eye[1], -v.eye[2]);
}

void push_2d_matrix()
{
    const int w = g_game_width, h = g_game_height;
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glScalef(2.0f / w, -2.0f / h, 1.0f);
    glTranslatef(static_cast<float>(-(w / 2)), static_cast<float>(-(h / 2)), 0.0f);
    glScalef(w / VIRTUAL_WIDTH, h / VIRTUAL_HEIGHT, 1.0f);
    glMatrixMode(GL_MODELVIEW);
}

void pop_2d_matrix()
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    default_frustum();
}
