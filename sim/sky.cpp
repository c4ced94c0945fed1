#include "sim/sky.h"

#include <GL/gl.h>
#include <cmath>

#include "game/main_loop.h"
#include "platform/random.h"
#include "render/textures.h"
#include "sim/light.h"
#include "sim/lightning.h"

float skybox_dx = 1000.0f, skybox_dy = 840.0f, skybox_dz = 1000.0f;

std::vector<cloud> the_clouds;
int nclouds = 0;
int aclouds = 0;

// A uniform fraction in [0, 1).
static float fraction()
{
    return static_cast<float>(game_rand() * 4.656613e-10);
}

static void append_cloud(const cloud& c)
{
    if (nclouds + 1 > aclouds) {
        aclouds = aclouds > 0 ? 2 * aclouds : 2;
        the_clouds.reserve(static_cast<size_t>(aclouds));
    }
    the_clouds.push_back(c);
    nclouds = static_cast<int>(the_clouds.size());
}

void init_skybox()
{
    the_clouds.clear();
    the_clouds.shrink_to_fit();
    nclouds = 0;
    aclouds = 2;
    the_clouds.reserve(2);
    for (int i = 0; i < 20; ++i)
        add_random_cloud();
}

void random_cloud(cloud& c)
{
    c.x = static_cast<float>(game_rand() % 1000 - 500) * 0.5f;
    c.z = static_cast<float>(game_rand() % 1000 - 500) * 0.5f;
    c.y = 200.0f;
    c.vx = (fraction() - 0.5f) * 0.1f;
    c.vz = (fraction() - 0.5f) * 0.1f;
    c.vy = (fraction() - 0.5f) * 0.02f;
    c.texture = (game_rand() & 1) ? cloud1_texid : cloud2_texid;
    c.size = static_cast<float>(game_rand() % 40 + 40);
}

void add_random_cloud()
{
    cloud c{};
    random_cloud(c);
    c.storm = 0;
    append_cloud(c);
}

int count_storm_clouds()
{
    int n = 0;
    for (const cloud& c : the_clouds)
        n += c.storm;
    return n;
}

void add_cloud(float x, float z)
{
    if (count_storm_clouds() >= MAX_STORM_CLOUDS)
        return;
    cloud c{};
    c.x = static_cast<float>(game_rand() % 60) + x - 30.0f;
    c.z = static_cast<float>(game_rand() % 60) + z - 30.0f;
    c.y = 160.0f;
    c.vx = (fraction() - 0.5f) * 0.1f;
    c.vz = (fraction() - 0.5f) * 0.1f;
    c.vy = (fraction() - 0.5f) * 0.02f;
    c.texture = (game_rand() & 1) ? cloud1_texid : cloud2_texid;
    c.size = static_cast<float>(game_rand() % 40 + 40);
    c.storm = 1;
    append_cloud(c);
}

void simulate_skybox()
{
    const bool storm_over = game_time > last_lightning_time + time_lightning_lasts + 10.0f;
    for (int i = 0; i < nclouds; ++i) {
        cloud& c = the_clouds[static_cast<size_t>(i)];
        c.x += c.vx;
        c.y += c.vy;
        c.z += c.vz;
        if (std::fabs(c.x) > 256.0f || std::fabs(c.z) > 256.0f || std::fabs(c.y) > 256.0f)
            random_cloud(c);
        if (storm_over && c.storm == 1) {
            // The cloud moving into this place is looked at next frame.
            the_clouds.erase(the_clouds.begin() + i);
            nclouds = static_cast<int>(the_clouds.size());
        }
    }
}

void draw_clouds()
{
    glColor4f(1.0f, 1.0f, 1.0f, 0.5f);
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    for (const cloud& c : the_clouds) {
        const float h = c.size * 0.5f;
        glDepthMask(GL_FALSE);
        glPushMatrix();
        glTranslatef(c.x, c.y, c.z);
        glBindTexture(GL_TEXTURE_2D, c.texture);
        glBegin(GL_QUADS);
        glTexCoord2f(0.0f, 0.0f);
        glVertex3f(-h, 0.0f, -h);
        glTexCoord2f(1.0f, 0.0f);
        glVertex3f(h, 0.0f, -h);
        glTexCoord2f(1.0f, 1.0f);
        glVertex3f(h, 0.0f, h);
        glTexCoord2f(0.0f, 1.0f);
        glVertex3f(-h, 0.0f, h);
        glEnd();
        glPopMatrix();
        glDepthMask(GL_TRUE);
    }
    glDisable(GL_BLEND);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

static void sky_vertex(float s, float t, float x, float y, float z)
{
    glTexCoord2f(s, t);
    glVertex3f(x, y, z);
}

void draw_skybox()
{
    glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT);
    // Opaque: blending would only read back what it paints over.
    glDisable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_CULL_FACE);  // seen from inside
    glEnable(GL_TEXTURE_2D);
    const float g = 0.55f + 0.45f * cosf(phase);
    glColor3f(g, g, g);
    glPushMatrix();
    glScalef(skybox_dx, skybox_dy, skybox_dz);
    const float e = 1.01f;
    auto face = [](unsigned int tex) {
        glBindTexture(GL_TEXTURE_2D, tex);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    };
    // Back (z = +1)
    face(sky_back_texid);
    glBegin(GL_QUADS);
    glNormal3f(0.0f, 0.0f, -1.0f);
    sky_vertex(0, 0, e, e, e);
    sky_vertex(0, 1, e, 0, e);
    sky_vertex(1, 1, -e, 0, e);
    sky_vertex(1, 0, -e, e, e);
    glEnd();
    // Front (z = -1)
    face(sky_front_texid);
    glBegin(GL_QUADS);
    glNormal3f(0.0f, 0.0f, -1.0f);
    sky_vertex(0, 0, -e, e, -e);
    sky_vertex(0, 1, -e, 0, -e);
    sky_vertex(1, 1, e, 0, -e);
    sky_vertex(1, 0, e, e, -e);
    glEnd();
    // Left (x = +1)
    face(sky_left_texid);
    glBegin(GL_QUADS);
    glNormal3f(-1.0f, 0.0f, 0.0f);
    sky_vertex(0, 0, e, e, -e);
    sky_vertex(0, 1, e, 0, -e);
    sky_vertex(1, 1, e, 0, e);
    sky_vertex(1, 0, e, e, e);
    glEnd();
    // Right (x = -1)
    face(sky_right_texid);
    glBegin(GL_QUADS);
    glNormal3f(1.0f, 0.0f, 0.0f);
    sky_vertex(0, 0, -e, e, e);
    sky_vertex(0, 1, -e, 0, e);
    sky_vertex(1, 1, -e, 0, -e);
    sky_vertex(1, 0, -e, e, -e);
    glEnd();
    // Top (y = +1)
    face(sky_top_texid);
    glBegin(GL_QUADS);
    glNormal3f(0.0f, -1.0f, 0.0f);
    sky_vertex(1, 0, e, e, e);
    sky_vertex(0, 0, -e, e, e);
    sky_vertex(0, 1, -e, e, -e);
    sky_vertex(1, 1, e, e, -e);
    glEnd();
    glPopMatrix();
    glPopAttrib();
    glColor3f(1.0f, 1.0f, 1.0f);
}
