#include "sim/water.h"

#include <GL/gl.h>
#include <cmath>

#include "render/camera.h"
#include "game/main_loop.h"
#include "render/textures.h"
#include "sim/sky.h"
#include "sim/terrain.h"

float norm_ocean[3] = {0.0f, 1.0f, 0.0f};
float water_p1 = 0.0f, water_p2 = 0.0f, water_p3 = 0.0f;
unsigned int water_list = 0xffffffffu;
float next_water_rebuild = -1.0f;

void ocean_vertex(float x, float z)
{
    const float slide = sinf(game_time);
    glTexCoord2f(16.0f * x / skybox_dx + 0.0002f * eye_x * slide, 16.0f * z / skybox_dz + 0.0002f * eye_z * slide);
    glVertex3f(x, ocean_height, z);
}

static void ocean_quad(float x0, float z0, float x1, float z1, float x2, float z2, float x3, float z3)
{
    ocean_vertex(x0, z0);
    ocean_vertex(x1, z1);
    ocean_vertex(x2, z2);
    ocean_vertex(x3, z3);
}

// A sea vertex of the fading edges, with its own alpha.
static void edge_vertex(float x, float z, float a)
{
    glColor4f(0.9f, 0.9f, 1.0f, a);
    ocean_vertex(x, z);
}

void draw_ocean()
{
    const float D = skybox_dx, E = skybox_dz;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, water_texid);
    glColor4f(0.9f, 0.9f, 1.0f, 1.0f);
    glDisable(GL_CULL_FACE);
    glNormal3f(0.0f, 1.0f, 0.0f);
    // The open sea is opaque (an RGB texture under an alpha of 1): drawn
    // without blending, which would only read back what it paints over.
    const bool blending = glIsEnabled(GL_BLEND);
    glDisable(GL_BLEND);
    glBegin(GL_QUADS);
    ocean_quad(-D, -E, -D, -219.5f, D, -219.5f, D, -E);
    ocean_quad(-D, 119.5f, -D, E, D, E, D, 119.5f);
    ocean_quad(-D, -219.5f, -D, 119.5f, -199.5f, 119.5f, -199.5f, -219.5f);
    ocean_quad(229.5f, -219.5f, 229.5f, 119.5f, D, 119.5f, D, -219.5f);
    ocean_quad(80.0f, -220.0f, -80.0f, -220.0f, -80.0f, -180.0f, 80.0f, -180.0f);
    glEnd();

    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    glBegin(GL_QUADS);
    edge_vertex(160, 120, 1);
    edge_vertex(240, 120, 1);
    edge_vertex(240, 80, 1);
    edge_vertex(160, 80, 0);
    glEnd();
    glBegin(GL_TRIANGLES);
    edge_vertex(240, 0, 0);
    edge_vertex(160, 80, 0);
    edge_vertex(240, 80, 1);
    edge_vertex(160, 120, 1);
    edge_vertex(160, 80, 0);
    edge_vertex(80, 120, 0);
    glEnd();
    glBegin(GL_QUADS);
    edge_vertex(-80, -220, 1);
    edge_vertex(-120, -220, 1);
    edge_vertex(-120, -180, 0);
    edge_vertex(-80, -180, 0);
    edge_vertex(120, -220, 1);
    edge_vertex(80, -220, 1);
    edge_vertex(80, -180, 0);
    edge_vertex(120, -180, 0);
    glEnd();
    if (!blending)
        glDisable(GL_BLEND);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glEnable(GL_CULL_FACE);
    glDepthMask(GL_TRUE);
}

void set_water_phases(float t)
{
    water_p1 = sinf(t);
    water_p2 = cosf(0.8f * t);
    water_p3 = 2.0f * t;
}

float water_vertex_height(float x, float z)
{
    const float u = (x + 100.0f) * 0.05f, w = (z + 100.0f) * 0.05f;
    return sinf(2.0f * u + water_p3) * sinf(2.0f * w + water_p3);
}

float water_vertex_alpha(float x, float z)
{
    if ((x == 200.0f && z >= 100.0f) || (z == 120.0f && x >= 180.0f))
        return 0.0f;
    if (z == -220.0f)
        return 0.0f;
    if (z == -200.0f)
        return 0.5f;
    return 0.6f;
}

void water_vertex(float x, float z)
{
    const float u = (x + 100.0f) * 0.05f, w = (z + 100.0f) * 0.05f;
    glNormal3f(0.0f, 1.0f, 0.0f);
    glTexCoord2f(1.5f * u + 0.06f * sinf(2.0f * u + water_p1), 1.5f * w + 0.06f * sinf(2.0f * w + water_p2));
    glColor4f(0.9f, 0.9f, 1.0f, water_vertex_alpha(x, z));
    glVertex3f(x, water_vertex_height(x, z), z);
}

void water_square(float x0, float z0, float x1, float z1)
{
    for (float x = x0; x <= x1; x += 20.0f) {
        glBegin(GL_TRIANGLE_STRIP);
        for (float z = z0; z <= z1; z += 20.0f) {
            water_vertex(x + 20.0f, z);
            water_vertex(x, z);
        }
        glEnd();
    }
}

void reset_game_water()
{
    next_water_rebuild = -1.0f;
}

void draw_water()
{
    if (next_water_rebuild <= game_time) {
        if (water_list != 0xffffffffu)
            glDeleteLists(water_list, 1);
        water_list = glGenLists(1);
        glNewList(water_list, GL_COMPILE);
        set_water_phases(game_time);
        glEnable(GL_BLEND);
        glDisable(GL_CULL_FACE);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, water_texid);
        glPushMatrix();
        glTranslatef(0.0f, 10.0f, 0.0f);
        water_square(0, -80, 200, 120);
        water_square(-60, -100, 100, -80);
        water_square(-120, -140, -40, -100);
        water_square(-120, -220, -100, -140);
        water_square(40, -140, 120, -100);
        water_square(100, -220, 120, -140);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        glPopMatrix();
        glDisable(GL_BLEND);
        glEnable(GL_CULL_FACE);
        glEndList();
        next_water_rebuild = game_time + 0.05f;
    }
    glCallList(water_list);
}
