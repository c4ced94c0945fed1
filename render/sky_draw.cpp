// The sky box, tinted by the darkness of the night, and the clouds.
#include "render/sky_draw.h"

#include <GL/gl.h>
#include <cmath>

#include "render/renderer.h"
#include "render/textures.h"
#include "sim/light.h"
#include "sim/sky.h"
#include "sim/world.h"

void draw_clouds(const renderer& r, const world& w)
{
    glColor4f(1.0f, 1.0f, 1.0f, 0.5f);
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    for (const cloud& c : w.sky.clouds) {
        const float h = c.size * 0.5f;
        glDepthMask(GL_FALSE);
        glPushMatrix();
        glTranslatef(c.x, c.y, c.z);
        glBindTexture(GL_TEXTURE_2D, r.textures.texture_of(c.texture));
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

void draw_skybox(const renderer& r, float darkness)
{
    glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT);
    // Opaque: blending would only read back what it paints over.
    glDisable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_CULL_FACE);  // seen from inside
    glEnable(GL_TEXTURE_2D);
    const float g = 0.55f + 0.45f * cosf(darkness);
    glColor3f(g, g, g);
    glPushMatrix();
    glScalef(SKYBOX_DX, SKYBOX_DY, SKYBOX_DZ);
    const float e = 1.01f;
    auto face = [](unsigned int tex) {
        glBindTexture(GL_TEXTURE_2D, tex);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    };
    // Back (z = +1)
    face(r.textures[TEX_sky_back]);
    glBegin(GL_QUADS);
    glNormal3f(0.0f, 0.0f, -1.0f);
    sky_vertex(0, 0, e, e, e);
    sky_vertex(0, 1, e, 0, e);
    sky_vertex(1, 1, -e, 0, e);
    sky_vertex(1, 0, -e, e, e);
    glEnd();
    // Front (z = -1)
    face(r.textures[TEX_sky_front]);
    glBegin(GL_QUADS);
    glNormal3f(0.0f, 0.0f, -1.0f);
    sky_vertex(0, 0, -e, e, -e);
    sky_vertex(0, 1, -e, 0, -e);
    sky_vertex(1, 1, e, 0, -e);
    sky_vertex(1, 0, e, e, -e);
    glEnd();
    // Left (x = +1)
    face(r.textures[TEX_sky_left]);
    glBegin(GL_QUADS);
    glNormal3f(-1.0f, 0.0f, 0.0f);
    sky_vertex(0, 0, e, e, -e);
    sky_vertex(0, 1, e, 0, -e);
    sky_vertex(1, 1, e, 0, e);
    sky_vertex(1, 0, e, e, e);
    glEnd();
    // Right (x = -1)
    face(r.textures[TEX_sky_right]);
    glBegin(GL_QUADS);
    glNormal3f(1.0f, 0.0f, 0.0f);
    sky_vertex(0, 0, -e, e, e);
    sky_vertex(0, 1, -e, 0, e);
    sky_vertex(1, 1, -e, 0, -e);
    sky_vertex(1, 0, -e, e, -e);
    glEnd();
    // Top (y = +1)
    face(r.textures[TEX_sky_top]);
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
