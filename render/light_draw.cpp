// The sun (its height and brightness follow the darkness of the night) and
// the red flame light circling the island.
#include "render/light_draw.h"

#include <GL/gl.h>
#include <cmath>

#include "sim/game.h"
#include "sim/light.h"
#include "sim/terrain.h"
#include "sim/world.h"

void setup_sunlight(const world& w)
{
    const float c = cosf(w.light.darkness), s = sinf(w.light.darkness);
    const GLfloat position[4] = {0.0f, 3.0f * c, -3.0f * s, 0.0f};
    const float a = 0.2f + 0.15f * c, d = 0.75f + 0.25f * c;
    const GLfloat ambient[4] = {a, a, a, 1.0f};
    const GLfloat diffuse[4] = {d, d, d, 1.0f};
    const GLfloat specular[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glEnable(GL_LIGHT0);
}

void setup_flamelight(const world& w)
{
    const float t = w.time;
    const float x = 100.0f * sinf(t), z = 100.0f * cosf(t);
    const GLfloat position[4] = {x, get_terrain_height(w.terrain, x, z) + 10.0f, z, 1.0f};
    const GLfloat diffuse[4] = {1.0f, 0.3f, 0.3f, 1.0f};
    const GLfloat ambient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glLightfv(GL_LIGHT2, GL_POSITION, position);
    glLightfv(GL_LIGHT2, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT2, GL_AMBIENT, ambient);
    glLightf(GL_LIGHT2, GL_CONSTANT_ATTENUATION, 0.0f);
    glLightf(GL_LIGHT2, GL_LINEAR_ATTENUATION, 0.0f);
    glLightf(GL_LIGHT2, GL_QUADRATIC_ATTENUATION, 0.00001f);
    glEnable(GL_LIGHT2);
}
