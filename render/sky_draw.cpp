// The sky box, tinted by the darkness of the night, and the clouds.
#include "render/sky_draw.h"

#include <GL/gl.h>
#include <cmath>

#include "render/textures.h"
#include "sim/light.h"
#include "sim/sky.h"

float skybox_dx = 1000.0f, skybox_dy = 840.0f, skybox_dz = 1000.0f;

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
        glBindTexture(GL_TEXTURE_2D, gl_texture(c.texture));
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
