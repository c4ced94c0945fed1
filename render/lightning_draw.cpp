// The bolt of a lightning strike: randomly branching lines from 150 above
// the point down to it, flickering (about one frame in five shows it). The
// bolt's shapes come from the renderer's own random numbers.
#include "render/lightning_draw.h"

#include <GL/gl.h>
#include <cmath>

#include "platform/random.h"
#include "render/camera.h"
#include "render/renderer.h"
#include "sim/game.h"
#include "sim/lightning.h"
#include "sim/terrain.h"
#include "sim/world.h"

void reset_lightning_draw(bolt_look& b)
{
    b.twist_angle = 0.0f;
    b.next_twist = 0.0f;
}

void draw_lightning(renderer& r, const world& w)
{
    const lightning_state& bolt = w.lightning;
    const lightning_moment m = lightning_timeline(w.time, bolt.time, bolt.lasts);
    if (!m.night_on && m.bolt_may_show && stream_rand(r.bolt.rng) % 5 == 0)
        do_lightning(r, w, bolt.x, bolt.z);  // flickers: about one frame in five
}

// One branch of the bolt, n segments down from (ox, oy, oz) in a frame
// turned by (rx, ry, rz) degrees; heights use whole-number division, as the
// bolt's shape is made of.
static void display_lightning(rand_stream& rng, float width, float ox, float oy, float oz, float rx, float ry, float rz, int depth,
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
        const float nx = static_cast<float>((stream_rand(rng) % 500 - 1000) * 0.01 + wave * std::sin(angle));
        const float nz = static_cast<float>((stream_rand(rng) % 500 - 1000) * 0.01 + wave * std::cos(angle));
        glBegin(GL_LINES);
        glVertex3f(x, top, z);
        glVertex3f(nx, bottom, nz);
        glEnd();
        if (stream_rand(rng) % (n + 2) == 0 && depth != 0) {
            const float brx = static_cast<float>(stream_rand(rng) % 60 - 30);
            const float bry = static_cast<float>(stream_rand(rng) % 360);
            const float brz = static_cast<float>(stream_rand(rng) % 60 - 30);
            display_lightning(rng, width * 0.5f, nx, bottom, nz, brx, bry, brz, depth - 1, (n - i) / 2, length * 2 / 7,
                              angle);
            glLineWidth(width);
        }
        x = nx;
        z = nz;
    }
    glPopMatrix();
}

void do_lightning(renderer& r, const world& w, float x, float z)
{
    bolt_look& b = r.bolt;
    if (w.time > b.next_twist) {
        b.twist_angle = static_cast<float>(stream_rand(b.rng) % 10);
        b.next_twist = w.time + 0.25f;
    }
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_CULL_FACE);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glDisable(GL_TEXTURE_2D);
    display_lightning(b.rng, 6.0f, x, get_terrain_height(w.terrain, x, z) + 150.0f, z, 0.0f, 0.0f, 0.0f, 4, 30, 150,
                      b.twist_angle);
    glEnable(GL_TEXTURE_2D);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glDisable(GL_BLEND);
    glEnable(GL_CULL_FACE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    enable_lighting(r.view);
}
