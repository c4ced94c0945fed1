#include "render/flames.h"

#include <GL/gl.h>
#include <cmath>
#include <unordered_map>

#include "platform/random.h"
#include "platform/vector.h"
#include "render/renderer.h"
#include "render/textures.h"
#include "sim/fire.h"
#include "sim/game.h"
#include "sim/world.h"

void step_fire_particles(rand_stream& rng, const fire_source& f, std::vector<fire_particle>& particles, float steps,
                         float dt)
{
    for (int n = 0; n < static_cast<int>(steps); ++n) {
        if (static_cast<int>(particles.size()) < FIRE_MAX_PARTICLES && f.intensity > 0.0001f) {
            for (int attempt = 0; attempt < 4 && static_cast<int>(particles.size()) < FIRE_MAX_PARTICLES;
                 ++attempt) {
                if (f.intensity * 10.0f > static_cast<float>(stream_rand(rng) % 160)) {
                    fire_particle p{};
                    for (int k = 0; k < 3; ++k)
                        p.vel[k] = static_cast<float>(stream_rand(rng) % 20000) * 0.001f + f.emit_vel[k] - 10.0f;
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

void step_flames(flame_state& flames, const fire_list& fires, float dt)
{
    for (auto& [serial, set] : flames.sets)
        set.seen = false;
    for (const fire_source* f : fires.live) {
        flame_set& set = flames.sets[f->serial];
        set.seen = true;
        set.steps += TUNED_STEPS_PER_SECOND * dt;
        const float whole = std::floor(set.steps);
        step_fire_particles(flames.rng, *f, set.particles, whole, dt);
        set.steps -= whole;
    }
    for (auto it = flames.sets.begin(); it != flames.sets.end();)
        it = it->second.seen ? std::next(it) : flames.sets.erase(it);
}

const std::vector<fire_particle>* flames_of(const flame_state& flames, const fire_source* f)
{
    if (!f)
        return nullptr;
    const auto it = flames.sets.find(f->serial);
    return it == flames.sets.end() ? nullptr : &it->second.particles;
}

size_t flame_source_count(const flame_state& flames)
{
    return flames.sets.size();
}

void reset_flames(flame_state& flames)
{
    flames.sets.clear();
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

void draw_firesource(const renderer& r, const fire_source* f)
{
    const std::vector<fire_particle>* found = flames_of(r.flames, f);
    if (!found || found->empty())
        return;
    const std::vector<fire_particle>& particles = *found;
    const float* eye = r.view.eye;
    float d[3], u[3], v[3];
    flame_sprite_axes(f->pos, eye, d, u, v);
    glEnable(GL_TEXTURE_2D);
    glDepthMask(GL_FALSE);
    glBindTexture(GL_TEXTURE_2D, r.textures[TEX_flame]);
    const float life0 = f->initial_life != 0.0f ? f->initial_life : 1.0f;
    int i = 0;
    for (const fire_particle& p : particles) {
        // Older particles are larger, and fade from white through pink to
        // dark red as their life runs out.
        const float red = 2.0f * p.life / life0;
        glColor4f(red, red / 2, red / 2, std::fabs(p.pos[1] - p.ref_height) / 7.0f);
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
