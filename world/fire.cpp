#include "world/fire.h"

#include "core/main_loop.h"
#include "core/random.h"

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
