#include "render/camera.h"

#include <GL/gl.h>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/vector.h"
#include "sim/game.h"

// How fast the hurt tilt wears off, degrees a second.
constexpr float HURT_RECOVERY = 56.0f;

void default_frustum(const view_state& v)
{
    const float z = v.zoom;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-2.0 / z, 2.0 / z, -1.5 / z, 1.5 / z, 2.0, 40000.0);
    glMatrixMode(GL_MODELVIEW);
}

void follow_eye(view_state& v, const local_player& p)
{
    v.eye[0] = p.eye_x;
    v.eye[1] = p.eye_y;
    v.eye[2] = p.eye_z;
    v.yaw = p.eye_yaw;
    v.pitch = p.eye_pitch;
    v.walk_phase = p.walk_phase;
    calculate_viewing_vectors(v);
}

void calculate_viewing_vectors(view_state& v)
{
    local_player turns;
    turns.eye_yaw = v.yaw;
    turns.eye_pitch = v.pitch;
    eye_look_vectors(turns, v.look, v.up);
    cross_product(v.look, v.up, v.right);

    const float z = v.zoom;
    float e[3];
    // e = a*look + b*side, one edge direction of the view volume
    auto edge = [&e](const float* dir, float a, const float* side, float b) {
        set_vector(e, a * dir[0] + b * side[0], a * dir[1] + b * side[1], a * dir[2] + b * side[2]);
    };
    edge(v.look, 2.0f, v.right, -2.0f / z);
    cross_product(e, v.up, v.frustum_left);
    normalize_vector(v.frustum_left);
    edge(v.look, 2.0f, v.right, 2.0f / z);
    cross_product(v.up, e, v.frustum_right);
    normalize_vector(v.frustum_right);
    edge(v.look, 1.5f, v.up, -1.5f / z);
    cross_product(v.right, e, v.frustum_bot);
    normalize_vector(v.frustum_bot);
    edge(v.look, 1.5f, v.up, 1.5f / z);
    cross_product(e, v.right, v.frustum_top);
    normalize_vector(v.frustum_top);
}

bool sphere_in_view(const view_state& v, const float centre[3], float radius)
{
    float d[3] = {centre[0] - v.eye[0], centre[1] - v.eye[1], centre[2] - v.eye[2]};
    const float* planes[] = {v.look, v.frustum_left, v.frustum_right, v.frustum_bot, v.frustum_top};
    for (const float* n : planes)
        if (dot_product(d, n) < -radius)
            return false;
    return true;
}

// Every frame, above the water or under it, draws everything in exp2 fog
// from the fragment's depth: the driver builds a program for each mix of
// fixed-function state it meets, so one mode and one source keep their
// number fixed however the eye moves. Under the water the fog is thick and
// blue, 1/e at 200 units, through its colour and density alone.
void set_fog_mode(view_state& v, float darkness)
{
    glFogi(GL_FOG_MODE, GL_EXP2);
    if (v.eye[1] < 10.0f) {
        set_vector(v.fog_colour, 0.4f, 0.4f, 0.8f);
        v.fog_colour[3] = 0.0f;
        glFogf(GL_FOG_DENSITY, UNDERWATER_FOG_DENSITY);
    } else {
        const float g = 0.41f + 0.3f * cosf(darkness);
        set_vector(v.fog_colour, g, g, g);
        v.fog_colour[3] = 1.0f;
        glFogf(GL_FOG_DENSITY, HIGH_FOG_DENSITY);
    }
    glFogfv(GL_FOG_COLOR, v.fog_colour);
    glClearColor(v.fog_colour[0], v.fog_colour[1], v.fog_colour[2], 0.0f);
}

void set_game_gl_params(const view_state& v)
{
    glViewport(0, 0, v.width, v.height);
    glDisable(GL_LIGHTING);
    glEnable(GL_COLOR_MATERIAL);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_FOG);
    glEnable(GL_CULL_FACE);
}

void reset_game_camera(view_state& v)
{
    v.hurt = 0.0f;
    v.zoom = v.target_zoom = v.start_zoom = 1.0f;
    v.clock = v.start_zoom_time = v.target_zoom_time = 0.0f;
}

void camera_hurt(view_state& v)
{
    v.hurt = 15.0f;
}

void update_zoom(view_state& v, bool zoom_held)
{
    const float target = zoom_held ? 5.0f : 1.0f;
    if (target != v.target_zoom) {
        v.start_zoom = v.zoom;
        v.start_zoom_time = v.clock;
        v.target_zoom_time = v.clock + 0.3f;
        v.target_zoom = target;
    }
    if (v.clock < v.target_zoom_time) {
        const double s = sin((v.clock - v.start_zoom_time) * 5.0 * M_PI / 3.0);
        v.zoom = static_cast<float>(v.start_zoom + (v.target_zoom - v.start_zoom) * s * s);
    } else {
        v.zoom = v.target_zoom;
    }
}

void step_view(view_state& v, float dt, bool zoom_held)
{
    v.clock += dt;
    if (v.hurt > 0.0f)
        v.hurt = std::max(0.0f, v.hurt - HURT_RECOVERY * dt);
    update_zoom(v, zoom_held);
}

void enable_lighting(const view_state& v)
{
    if (v.lighting)
        glEnable(GL_LIGHTING);
    else
        glDisable(GL_LIGHTING);
}

void set_scene_color()
{
    glColor3f(1.0f, 1.0f, 1.0f);
}

view_pose current_view_pose(const view_state& v)
{
    return {{v.eye[0], v.eye[1] + 0.4f * sinf(v.walk_phase), v.eye[2]}, v.pitch, v.yaw, v.hurt, v.zoom, v.width,
            v.height};
}

void load_eye_matrix(const view_state& v)
{
    const view_pose p = current_view_pose(v);
    glLoadIdentity();
    glScalef(VIEW_SCALE, VIEW_SCALE, VIEW_SCALE);
    glRotatef(p.pitch, 1.0f, 0.0f, 0.0f);
    glRotatef(p.yaw, 0.0f, 1.0f, 0.0f);
    glRotatef(p.roll, 0.0f, 0.0f, 1.0f);
    glTranslatef(-p.eye[0], -p.eye[1], -p.eye[2]);
}

void push_2d_matrix(const view_state& v)
{
    const int w = v.width, h = v.height;
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glScalef(2.0f / w, -2.0f / h, 1.0f);
    glTranslatef(static_cast<float>(-(w / 2)), static_cast<float>(-(h / 2)), 0.0f);
    glScalef(w / VIRTUAL_WIDTH, h / VIRTUAL_HEIGHT, 1.0f);
    glMatrixMode(GL_MODELVIEW);
}

void pop_2d_matrix(const view_state& v)
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    default_frustum(v);
}
