// The open sea (a flat textured plane at sea level around the island, with
// a harbour cut and fading edges) and the rippling inland channels, whose
// vertices are worked out again whenever the world's ripple moves on and
// drawn from the game's own memory.
#include "render/water_draw.h"

#include <GL/gl.h>
#include <cmath>
#include <vector>

#include "render/camera.h"
#include "render/sky_draw.h"
#include "render/textures.h"
#include "sim/game.h"
#include "sim/player.h"
#include "sim/terrain.h"
#include "sim/water.h"

// The inland water as strips of triangles. It is not kept in a display
// list: a list made again twenty times a second keeps the driver compiling
// lists in play, and each list compiled then holds on to the driver's
// buffer it landed in.
namespace {
struct water_mesh {
    std::vector<float> position, texcoord, colour;  // 3, 2 and 4 a vertex
    std::vector<GLint> first;                       // where each strip starts
    std::vector<GLsizei> count;                     // and how many vertices it has
    long ripple = -1;                               // the ripple they were made for (-1: none in this game)
};
water_mesh s_water;

void water_vertex(float x, float z)
{
    const float u = (x + 100.0f) * 0.05f, w = (z + 100.0f) * 0.05f;
    s_water.position.insert(s_water.position.end(), {x, water_vertex_height(x, z), z});
    s_water.texcoord.insert(s_water.texcoord.end(),
                            {1.5f * u + 0.06f * sinf(2.0f * u + water_p1), 1.5f * w + 0.06f * sinf(2.0f * w + water_p2)});
    s_water.colour.insert(s_water.colour.end(), {0.9f, 0.9f, 1.0f, water_vertex_alpha(x, z)});
}

// One strip a column 20 wide, from z0 to z1.
void water_square(float x0, float z0, float x1, float z1)
{
    for (float x = x0; x <= x1; x += 20.0f) {
        s_water.first.push_back(static_cast<GLint>(s_water.position.size() / 3));
        for (float z = z0; z <= z1; z += 20.0f) {
            water_vertex(x + 20.0f, z);
            water_vertex(x, z);
        }
        s_water.count.push_back(static_cast<GLsizei>(s_water.position.size() / 3) - s_water.first.back());
    }
}

void make_water_mesh()
{
    s_water.position.clear();
    s_water.texcoord.clear();
    s_water.colour.clear();
    s_water.first.clear();
    s_water.count.clear();
    water_square(0, -80, 200, 120);
    water_square(-60, -100, 100, -80);
    water_square(-120, -140, -40, -100);
    water_square(-120, -220, -100, -140);
    water_square(40, -140, 120, -100);
    water_square(100, -220, 120, -140);
    s_water.ripple = water_ripple;
}
} // namespace

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

void reset_water_draw()
{
    s_water.ripple = -1;
}

void draw_water()
{
    if (s_water.ripple != water_ripple)
        make_water_mesh();
    glEnable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, water_texid);
    glPushMatrix();
    glTranslatef(0.0f, 10.0f, 0.0f);
    glNormal3f(0.0f, 1.0f, 0.0f);
    glVertexPointer(3, GL_FLOAT, 0, s_water.position.data());
    glTexCoordPointer(2, GL_FLOAT, 0, s_water.texcoord.data());
    glColorPointer(4, GL_FLOAT, 0, s_water.colour.data());
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    for (size_t k = 0; k < s_water.first.size(); ++k)
        glDrawArrays(GL_TRIANGLE_STRIP, s_water.first[k], s_water.count[k]);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glPopMatrix();
    glDisable(GL_BLEND);
    glEnable(GL_CULL_FACE);
}
