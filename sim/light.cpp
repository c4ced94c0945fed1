#include "sim/light.h"

#include <GL/gl.h>
#include <cmath>

#include "game/main_loop.h"
#include "sim/terrain.h"

float phase = 0.0f;
float night_start_time = 0.0f;
float night_end_time = 0.0f;
int is_night_time_mode = 0;

void reset_game_light()
{
    phase = 0.0f;
    night_start_time = night_end_time = 0.0f;
    is_night_time_mode = 0;
}

void turn_on_nighttime_mode()
{
    if (is_night_time_mode)
        return;
    night_start_time = game_time;
    night_end_time = 0.0f;
    is_night_time_mode = 1;
}

void turn_off_nighttime_mode()
{
    if (!is_night_time_mode)
        return;
    night_end_time = game_time;
    night_start_time = 0.0f;
    is_night_time_mode = 0;
}

void update_phase(float t)
{
    if (night_start_time != 0.0f) {
        if (t <= night_start_time + 2.0f) {
            phase = t - night_start_time;
        } else {
            phase = 2.0f;
            night_start_time = 0.0f;
        }
    } else if (night_end_time != 0.0f) {
        if (t <= night_end_time + 2.0f) {
            phase = 2.0f - (t - night_end_time);
        } else {
            phase = 0.0f;
            night_end_time = 0.0f;
        }
    }
}

void setup_sunlight()
{
    update_phase(game_time);
    const float c = cosf(phase), s = sinf(phase);
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

void setup_flamelight()
{
    const float t = game_time;
    const float x = 100.0f * sinf(t), z = 100.0f * cosf(t);
    const GLfloat position[4] = {x, get_terrain_height(x, z) + 10.0f, z, 1.0f};
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
