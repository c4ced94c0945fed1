#include "render/flames.h"

#include <GL/gl.h>
#include <cmath>
#include <unordered_map>

#include "platform/random.h"
#include "platform/vector.h"
#include "render/textures.h"
#include "sim/fire.h"
#include "sim/game.h"
#include "sim/player.h"

namespace {

struct flame_set {
    std::vector<fire_particle> particles;  // oldest first
    float steps = 0.0f;                    // tuned steps not yet taken
    bool seen = false;
};

std::unordered_map<unsigned, flame_set> s_flames;
rand_stream s_rand;

} // namespace

void step_fire_particles(const fire_source& f, std::vector<fire_particle>& particles, float steps, float dt)
{
    for (int n = 0; n < static_cast<int>(steps); ++n) {
        if (static_cast<int>(particles.size()) < FIRE_MAX_PARTICLES && f.intensity > 0.0001f) {
            for (int attempt = 0; attempt < 4 && static_cast<int>(particles.size()) < FIRE_MAX_PARTICLES;
                 ++attempt) {
                if (f.intensity * 10.0f > static_cast<float>(stream_rand(s_rand) % 160)) {
                    fire_particle p{};
                    for (int k = 0; k < 3; ++k)
                        p.vel[k] = static_cast<float>(stream_rand(s_rand) % 20000) * 0.001f + f.emit_vel[k] - 10.0f;
                    p.ref_height = f.pos[1] + 7.0f;
                    p.life = f.initial_life;
                    particles.push_back(p);
                }
            }
        } else if (!particles.empty()) {
            particles.erase(particles.begin());
        }
    }
    // Motion and fading by the frame's length: accelerated and slowed as
    // once a tuned step.
    const float slow = tuned_decay(0.98f, dt);
    for (fire_particle& p : particles) {
        p.vel[1] += per_tuned_step(f.vertical_accel, dt);
        for (int k = 0; k < 3; ++k) {
            p.vel[k] *= slow;
            p.pos[k] += p.vel[k] * dt;
        }
        p.life *= slow;
    }
}

void step_flames(float dt)
{
    for (auto& [serial, set] : s_flames)
        set.seen = false;
    for (const fire_source* f : live_fire_sources()) {
        flame_set& set = s_flames[f->serial];
        set.seen = true;
        set.steps += TUNED_STEPS_PER_SECOND * dt;
        const float whole = std::floor(set.steps);
        step_fire_particles(*f, set.particles, whole, dt);
        set.steps -= whole;
    }
    for (auto it = s_flames.begin(); it != s_flames.end();)
        it = it->second.seen ? std::next(it) : s_flames.erase(it);
}

const std::vector<fire_particle>& flames_of(const fire_source* f)
{
    static const std::vector<fire_particle> none;
    if (!f)
        return none;
    const auto it = s_flames.find(f->serial);
    return it == s_flames.end() ? none : it->second.particles;
}

size_t flame_source_count()
{
    return s_flames.size();
}

void reset_flames()
{
    s_flames.clear();
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
    const std::vector<fire_particle>& particles = flames_of(f);
    if (particles.empty())
        return;
    const float eye[3] = {eye_x, eye_y, eye_z};
    float d[3], u[3], v[3];
    flame_sprite_axes(f->pos, eye, d, u, v);
    glEnable(GL_TEXTURE_2D);
    glDepthMask(GL_FALSE);
    glBindTexture(GL_TEXTURE_2D, flame_texid);
    const float life0 = f->initial_life != 0.0f ? f->initial_life : 1.0f;
    int i = 0;
    for (const fire_particle& p : particles) {
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
