#include "sim/lightning.h"

#include <GL/gl.h>
#include <cmath>
#include <cstdio>

#include "render/camera.h"
#include "game/main_loop.h"
#include "platform/random.h"
#include "sim/commands.h"
#include "sim/wire.h"
#include "sound/sound.h"
#include "sim/light.h"
#include "sim/sky.h"
#include "sim/terrain.h"

float last_lightning_x = 0.0f, last_lightning_z = 0.0f;
float last_lightning_time = -1e13f;
float time_lightning_lasts = 5.0f;

// The bolt bulges sideways toward this angle (radians), which changes four
// times a second.
static float s_twist_angle = 0.0f;
static float s_next_twist = 0.0f;

void reset_game_lightning()
{
    last_lightning_x = last_lightning_z = 0.0f;
    last_lightning_time = -1e13f;
    s_twist_angle = 0.0f;
    s_next_twist = 0.0f;
}

lightning_moment lightning_timeline(float now, float strike_time, float lasts)
{
    lightning_moment m{};
    m.night_on = now < strike_time + 1.0f;
    m.bolt_may_show = !m.night_on && now < strike_time + lasts;
    m.night_off = strike_time + lasts - 1.0f < now && now < strike_time + lasts + 1.0f;
    return m;
}

void set_lightning(float x, float z)
{
    last_lightning_x = x;
    last_lightning_z = z;
    last_lightning_time = game_time;
    for (int i = 0; i < 4; ++i)
        add_cloud(x, z);
    initiate_lightning_sound(x, z);
}

void draw_lightning()
{
    const lightning_moment m = lightning_timeline(game_time, last_lightning_time, time_lightning_lasts);
    if (m.night_on)
        turn_on_nighttime_mode();
    else if (m.bolt_may_show && game_rand() % 5 == 0)
        do_lightning(last_lightning_x, last_lightning_z);  // flickers: about one frame in five
    if (m.night_off)
        turn_off_nighttime_mode();
}

// One branch of the bolt, n segments down from (ox, oy, oz) in a frame
// turned by (rx, ry, rz) degrees; heights use whole-number division, as the
// bolt's shape is made of.
static void display_lightning(float width, float ox, float oy, float oz, float rx, float ry, float rz, int depth,
                              int n, int length, float angle)
{
    glPushMatrix();
    glTranslatef(ox, oy, oz);
    glRotatef(rx, 1.0f, 0.0f, 0.0f);
    glRotatef(ry, 0.0f, 1.0f, 0.0f);
    glRotatef(rz, 0.0f, 0.0f, 1.0f);
    glLineWidth(width);
    float x = 0.0f, z = 0.0f;
    const double bulge = static_cast<double>(n / 2);
    for (int i = 0; i < n; ++i) {
        const float top = static_cast<float>(-(i * length) / n);
        const float bottom = static_cast<float>(-((i + 1) * length) / n);
        const double wave = bulge * std::sin(2.0 * M_PI * i / n);
        const float nx = static_cast<float>((game_rand() % 500 - 1000) * 0.01 + wave * std::sin(angle));
        const float nz = static_cast<float>((game_rand() % 500 - 1000) * 0.01 + wave * std::cos(angle));
        glBegin(GL_LINES);
        glVertex3f(x, top, z);
        glVertex3f(nx, bottom, nz);
        glEnd();
        if (game_rand() % (n + 2) == 0 && depth != 0) {
            const float brx = static_cast<float>(game_rand() % 60 - 30);
            const float bry = static_cast<float>(game_rand() % 360);
            const float brz = static_cast<float>(game_rand() % 60 - 30);
            display_lightning(width * 0.5f, nx, bottom, nz, brx, bry, brz, depth - 1, (n - i) / 2, length * 2 / 7,
                              angle);
            glLineWidth(width);
        }
        x = nx;
        z = nz;
    }
    glPopMatrix();
}

void do_lightning(float x, float z)
{
    if (game_time > s_next_twist) {
        s_twist_angle = static_cast<float>(game_rand() % 10);
        s_next_twist = game_time + 0.25f;
    }
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_CULL_FACE);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glDisable(GL_TEXTURE_2D);
    display_lightning(6.0f, x, get_terrain_height(x, z) + 150.0f, z, 0.0f, 0.0f, 0.0f, 4, 30, 150, s_twist_angle);
    glEnable(GL_TEXTURE_2D);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glDisable(GL_BLEND);
    glEnable(GL_CULL_FACE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    enable_lighting();
}

// "LIGH": x and z of the strike. A point that is no place would put the
// clouds and the thunder nowhere; while no game is played there is no sky
// to strike from; and a sky full of storm clouds takes no more strikes
// until they have melted away (a stream of commands must not pile them up).
static void receive_lightning(const uint32_t p[4], int)
{
    const float x = bits_to_float(p[0]), z = bits_to_float(p[1]);
    if (!wire_value_ok(x) || !wire_value_ok(z)) {
        fprintf(stderr, "LIGH at a point that is not a number, ignored\n");
        return;
    }
    if (game_state != STATE_PLAY) {
        fprintf(stderr, "LIGH while no game is played, ignored\n");
        return;
    }
    if (count_storm_clouds() >= MAX_STORM_CLOUDS) {
        fprintf(stderr, "LIGH at (%g, %g): the sky holds %d storm clouds already, ignored\n", static_cast<double>(x),
                static_cast<double>(z), MAX_STORM_CLOUDS);
        return;
    }
    set_lightning(x, z);
}

void register_lightning_command()
{
    register_command("LIGH", 0, receive_lightning);
}
