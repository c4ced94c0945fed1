#include "render/camera.h"

#include <GL/gl.h>
#include <cmath>
#include <cstdio>

#include "render/gamma.h"
#include "game/main_loop.h"
#include "platform/vector.h"
#include "input/window.h"
#include "sim/end_game.h"
#include "ui/interface.h"
#include "ui/menu.h"
#include "ui/personal.h"
#include "sim/humanoid.h"
#include "sim/projectile.h"
#include "sim/units.h"
#include "sim/light.h"
#include "sim/lightning.h"
#include "sim/sky.h"
#include "render/terrain_render.h"
#include "sim/water.h"
#include "sim/model_tree.h"
#include "sim/trees.h"

float eye_x = 0.0f, eye_y = 50.0f, eye_z = 0.0f;
float eye_yaw = 0.0f;
float eye_pitch = 0.0f;
float eye_float = 2.0f;
float g_zoom = 1.0f;
float got_hurt = 0.0f;
float walk_phase = 0.0f;
float eye_vx = 0.0f, eye_vy = 0.0f, eye_vz = 0.0f;

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
    const double y = eye_yaw * DEG_TO_RAD;
    const double p = eye_pitch * DEG_TO_RAD;
    set_vector(look_vect, static_cast<float>(cos(p) * sin(y)), static_cast<float>(-sin(p)),
               static_cast<float>(-cos(p) * cos(y)));
    set_vector(up_vect, static_cast<float>(sin(p) * sin(y)), static_cast<float>(cos(p)),
               static_cast<float>(-sin(p) * cos(y)));
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

void set_fog_mode()
{
    if (eye_y < 10.0f) {
        GLfloat colour[4] = {0.4f, 0.4f, 0.8f, 0.0f};
        glFogi(GL_FOG_MODE, GL_EXP);
        glFogfv(GL_FOG_COLOR, colour);
        glFogf(GL_FOG_DENSITY, 0.005f);
        glClearColor(0.4f, 0.4f, 0.8f, 0.0f);
    } else {
        float g = 0.41f + 0.3f * cosf(phase);
        GLfloat colour[4] = {g, g, g, 1.0f};
        glFogi(GL_FOG_MODE, GL_EXP2);
        glFogfv(GL_FOG_COLOR, colour);
        glFogf(GL_FOG_DENSITY, HIGH_FOG_DENSITY);
        glClearColor(g, g, g, 0.0f);
    }
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
    cursor_look_mode();
}

void reset_game_camera()
{
    got_hurt = 0.0f;
    walk_phase = 0.0f;
    eye_pitch = 0.0f;
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
    if (got_hurt > 0.0f)
        got_hurt -= 0.2f;
}

static void checkpoint(const char* label)
{
    GLenum err = glGetError();
    if (err != GL_NO_ERROR)
        printf("%s glGetError() = %d\n", label, static_cast<int>(err));
}

void draw_game_frame()
{
    checkpoint("pre-setup");
    const bool selecting = g_render_mode == GL_SELECT;
    if (!selecting)
        default_frustum();
    enable_lighting();
    calculate_viewing_vectors();
    if (selecting)
        glPushName(99);

    set_fog_mode();
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glClear(GL_DEPTH_BUFFER_BIT);
    if (do_fog)
        glEnable(GL_FOG);
    else
        glDisable(GL_FOG);

    glLoadIdentity();
    glScalef(5.0f, 5.0f, 5.0f);
    glRotatef(eye_pitch, 1.0f, 0.0f, 0.0f);
    glRotatef(eye_yaw, 0.0f, 1.0f, 0.0f);
    glRotatef(got_hurt, 0.0f, 0.0f, 1.0f);
    glTranslatef(-eye_x, -(eye_y + 0.4f * sinf(walk_phase)), -eye_z);

    set_scene_color();
    setup_sunlight();
    setup_flamelight();
    if (got_hurt > 0.0f)
        gamma_flash_red();
    checkpoint("post-setup");

    glDisable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    set_scene_color();
    if (selecting) {
        // A picking pass records hits only for named things, and only the
        // units carry names (the scenery would all answer to 99, which
        // names nothing). Drawing the scenery here would change no
        // selection, cost a whole frame per drag step, and, in the GL
        // selection mode of some drivers, memory on every pass.
        set_scene_color();
        draw_units();
        checkpoint("post-units");
        return;
    }
    // The city's models are opaque and drawn with the depth test, so the
    // order among them and the ground does not change the picture; drawn
    // first, they let the depth test drop the ground they hide before it
    // is shaded, rather than the ground being shaded and then painted over.
    set_scene_color();
    draw_models();
    checkpoint("post-buildings");
    set_scene_color();
    draw_map();
    checkpoint("post-map");

    // The sky box lies outside everything else, so it goes after the
    // opaque terrain: the depth test then drops the sky behind the hills
    // before it is shaded. Nothing blended has been drawn yet, so the
    // picture is the one drawn sky first.
    if (eye_y > 10.0f)
        draw_skybox();

    draw_ocean();
    draw_water();
    draw_trees();
    set_scene_color();
    checkpoint("post-scenery");

    // Projectiles with their flames.
    set_scene_color();
    draw_projectiles();
    set_scene_color();
    draw_units();
    draw_participants();
    checkpoint("post-units");

    glEnable(GL_BLEND);
    draw_clouds();
    glDisable(GL_BLEND);

    // Overlays: the lightning bolt and the crosshairs come first, then the
    // minimap, the command bar with the status bars, and the banner last.
    draw_lightning();
    draw_crosshairs();
    draw_minimap();
    draw_interface();
    draw_message();
    checkpoint("post-overlays");
}

void draw_frame()
{
    switch (game_state) {
    case STATE_MENU:
        draw_menu();
        break;
    case STATE_WON:
        draw_win_frame();
        break;
    case STATE_LOST:
        draw_lose_frame();
        break;
    default:
        draw_game_frame();
        break;
    }
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
