// The open sea (a flat textured plane at sea level around the island, with
// a harbour cut and fading edges) and the rippling inland channels, whose
// vertices are worked out again whenever the world's ripple moves on and
// drawn from the game's own memory.
#include "render/water_draw.h"

#include <GL/gl.h>
#include <cmath>
#include <vector>

#include "render/camera.h"
#include "render/renderer.h"
#include "render/sky_draw.h"
#include "render/textures.h"
#include "sim/game.h"
#include "sim/terrain.h"
#include "sim/water.h"
#include "sim/world.h"

namespace {

void water_vertex(water_mesh& m, const water_state& water, float x, float z)
{
    const float u = (x + 100.0f) * 0.05f, w = (z + 100.0f) * 0.05f;
    m.position.insert(m.position.end(), {x, water_vertex_height(water, x, z), z});
    m.texcoord.insert(m.texcoord.end(),
                      {1.5f * u + 0.06f * sinf(2.0f * u + water.p1), 1.5f * w + 0.06f * sinf(2.0f * w + water.p2)});
    m.colour.insert(m.colour.end(), {0.9f, 0.9f, 1.0f, water_vertex_alpha(x, z)});
}

// One strip a column 20 wide, from z0 to z1.
void water_square(water_mesh& m, const water_state& water, float x0, float z0, float x1, float z1)
{
    for (float x = x0; x <= x1; x += 20.0f) {
        m.first.push_back(static_cast<GLint>(m.position.size() / 3));
        for (float z = z0; z <= z1; z += 20.0f) {
            water_vertex(m, water, x + 20.0f, z);
            water_vertex(m, water, x, z);
        }
        m.count.push_back(static_cast<GLsizei>(m.position.size() / 3) - m.first.back());
    }
}

void make_water_mesh(water_mesh& m, const water_state& water)
{
    m.position.clear();
    m.texcoord.clear();
    m.colour.clear();
    m.first.clear();
    m.count.clear();
    water_square(m, water, 0, -80, 200, 120);
    water_square(m, water, -60, -100, 100, -80);
    water_square(m, water, -120, -140, -40, -100);
    water_square(m, water, -120, -220, -100, -140);
    water_square(m, water, 40, -140, 120, -100);
    water_square(m, water, 100, -220, 120, -140);
    m.ripple = water.ripple;
}

// The sea's vertices: their texture slides with the eye and the clock.
struct sea {
    const view_state& v;
    float slide;
    void vertex(float x, float z) const { ocean_vertex(v, slide, x, z); }
    void quad(float x0, float z0, float x1, float z1, float x2, float z2, float x3, float z3) const
    {
        vertex(x0, z0);
        vertex(x1, z1);
        vertex(x2, z2);
        vertex(x3, z3);
    }
    // A sea vertex of the fading edges, with its own alpha.
    void edge(float x, float z, float a) const
    {
        glColor4f(0.9f, 0.9f, 1.0f, a);
        vertex(x, z);
    }
};

} // namespace

void ocean_vertex(const view_state& v, float slide, float x, float z)
{
    glTexCoord2f(16.0f * x / SKYBOX_DX + 0.0002f * v.eye[0] * slide,
                 16.0f * z / SKYBOX_DZ + 0.0002f * v.eye[2] * slide);
    glVertex3f(x, OCEAN_HEIGHT, z);
}

void draw_ocean(const renderer& r, const world& w)
{
    const sea s{r.view, sinf(w.time)};
    const float D = SKYBOX_DX, E = SKYBOX_DZ;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, r.textures[TEX_water]);
    glColor4f(0.9f, 0.9f, 1.0f, 1.0f);
    glDisable(GL_CULL_FACE);
    glNormal3f(0.0f, 1.0f, 0.0f);
    // The open sea is opaque (an RGB texture under an alpha of 1): drawn
    // without blending, which would only read back what it paints over.
    const bool blending = glIsEnabled(GL_BLEND);
    glDisable(GL_BLEND);
    glBegin(GL_QUADS);
    s.quad(-D, -E, -D, -219.5f, D, -219.5f, D, -E);
    s.quad(-D, 119.5f, -D, E, D, E, D, 119.5f);
    s.quad(-D, -219.5f, -D, 119.5f, -199.5f, 119.5f, -199.5f, -219.5f);
    s.quad(229.5f, -219.5f, 229.5f, 119.5f, D, 119.5f, D, -219.5f);
    s.quad(80.0f, -220.0f, -80.0f, -220.0f, -80.0f, -180.0f, 80.0f, -180.0f);
    glEnd();
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    glBegin(GL_QUADS);
    s.edge(160, 120, 1);
    s.edge(240, 120, 1);
    s.edge(240, 80, 1);
    s.edge(160, 80, 0);
    glEnd();
    glBegin(GL_TRIANGLES);
    s.edge(240, 0, 0);
    s.edge(160, 80, 0);
    s.edge(240, 80, 1);
    s.edge(160, 120, 1);
    s.edge(160, 80, 0);
    s.edge(80, 120, 0);
    glEnd();
    glBegin(GL_QUADS);
    s.edge(-80, -220, 1);
    s.edge(-120, -220, 1);
    s.edge(-120, -180, 0);
    s.edge(-80, -180, 0);
    s.edge(120, -220, 1);
    s.edge(80, -220, 1);
    s.edge(80, -180, 0);
    s.edge(120, -180, 0);
    glEnd();
    if (!blending)
        glDisable(GL_BLEND);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glEnable(GL_CULL_FACE);
    glDepthMask(GL_TRUE);
}

void reset_water_draw(water_mesh& m)
{
    m.ripple = -1;
}

void draw_water(renderer& r, const world& w)
{
    water_mesh& m = r.water;
    if (m.ripple != w.water.ripple)
        make_water_mesh(m, w.water);
    glEnable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, r.textures[TEX_water]);
    glPushMatrix();
    glTranslatef(0.0f, 10.0f, 0.0f);
    glNormal3f(0.0f, 1.0f, 0.0f);
    glVertexPointer(3, GL_FLOAT, 0, m.position.data());
    glTexCoordPointer(2, GL_FLOAT, 0, m.texcoord.data());
    glColorPointer(4, GL_FLOAT, 0, m.colour.data());
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    for (size_t k = 0; k < m.first.size(); ++k)
        glDrawArrays(GL_TRIANGLE_STRIP, m.first[k], m.count[k]);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glPopMatrix();
    glDisable(GL_BLEND);
    glEnable(GL_CULL_FACE);
}
