#include "sim/fire.h"

#include <GL/gl.h>
#include <cmath>

#include "render/camera.h"
#include "game/main_loop.h"
#include "platform/random.h"
#include "render/textures.h"
#include "platform/vector.h"

int simulate_firesource(fire_source* f, float dt)
{
    if (!f)
        return 1;
    if (static_cast<int>(f->particles.size()) < FIRE_MAX_PARTICLES && f->intensity > 0.0001f) {
        for (int attempt = 0; attempt < 4 && static_cast<int>(f->particles.size()) < FIRE_MAX_PARTICLES; ++attempt) {
            if (f->intensity * 10.0f > static_cast<float>(game_rand() % 160)) {
                fire_particle p{};
                for (int k = 0; k < 3; ++k)
                    p.vel[k] = static_cast<float>(game_rand() % 20000) * 0.001f + f->emit_vel[k] - 10.0f;
                p.ref_height = f->pos[1] + 7.0f;
                p.life = f->initial_life;
                f->particles.push_back(p);
            }
        }
    } else if (!f->particles.empty()) {
        f->particles.erase(f->particles.begin());
    }
    for (fire_particle& p : f->particles) {
        p.vel[1] += f->vertical_accel;
        for (int k = 0; k < 3; ++k) {
            p.vel[k] *= 0.98f;
            p.pos[k] += p.vel[k] * dt;
        }
        p.life *= 0.98f;
    }
    return (f->expiry != 0.0f && f->expiry < game_time) ? 1 : 0;
}

void flame_sprite_axes(const float source_pos[3], const float eye[3], float d[3], float u[3], float v[3])
{
    set_vector(d, eye[0] - source_pos[0], eye[1] - source_pos[1], eye[2] - source_pos[2]);
    normalize_vector(d);
    float a[3];
    if (std::fabs(d[1]) >= 0.1f)
        set_vector(a, 1.0f, 0.0f, 0.0f);
    else
        set_vector(a, 0.0f, 1.0f, 0.0f);
    cross_product(d, a, u);
    normalize_vector(u);
    cross_product(d, u, v);
    normalize_vector(v);
}

void draw_firesource(const fire_source* f)
{
    if (!f || f->particles.empty())
        return;
    const float eye[3] = {eye_x, eye_y, eye_z};
    float d[3], u[3], v[3];
    flame_sprite_axes(f->pos, eye, d, u, v);
    glEnable(GL_TEXTURE_2D);
    glDepthMask(GL_FALSE);
    glBindTexture(GL_TEXTURE_2D, flame_texid);
    const float life0 = f->initial_life != 0.0f ? f->initial_life : 1.0f;
    int i = 0;
    for (const fire_particle& p : f->particles) {
        // Older particles are larger, and fade from white through pink to
        // dark red as their life runs out.
        const float r = 2.0f * p.life / life0;
        glColor4f(r, r / 2, r / 2, std::fabs(p.pos[1] - p.ref_height) / 7.0f);
        const float s = static_cast<float>(100 - i) * 0.08f;
        float corner[3];
        for (int k = 0; k < 3; ++k)
            corner[k] = p.pos[k] - (u[k] + v[k]) * s / 2;
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        glBegin(GL_QUADS);
        glNormal3fv(d);
        glTexCoord2f(0.0f, 0.0f);
        glVertex3fv(corner);
        glTexCoord2f(1.0f, 0.0f);
        glVertex3f(corner[0] + u[0] * s, corner[1] + u[1] * s, corner[2] + u[2] * s);
        glTexCoord2f(1.0f, 1.0f);
        glVertex3f(corner[0] + (u[0] + v[0]) * s, corner[1] + (u[1] + v[1]) * s, corner[2] + (u[2] + v[2]) * s);
        glTexCoord2f(0.0f, 1.0f);
        glVertex3f(corner[0] + v[0] * s, corner[1] + v[1] * s, corner[2] + v[2] * s);
        glEnd();
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        ++i;
    }
    glDepthMask(GL_TRUE);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}
