#include "units/humanoid.h"

#include <cstdio>

#include "core/main_loop.h"
#include "net/messages.h"
#include "net/participants.h"

humanoid_type human_type, ghoul_type, orangatang_type, goblin_type;
uint32_t humanoid_id = 0;

void fill_human_type(humanoid_type* t, float size, float arm_length, float head_size, float arm_factor,
                     float leg_factor, float lean, const float* skin, const float* clothing, const float* legs)
{
    t->torso_length = 0.7f * size;
    t->leg_length = 1.2f * size;
    t->arm_length = arm_length;
    t->head_size = head_size;
    t->hip_width = 0.3f * size;
    t->shoulder_width = 0.6f * size;
    t->leg_thickness = 0.2f * size * leg_factor;
    t->arm_thickness = 0.12f * arm_length * arm_factor;
    t->lean = lean;
    for (int i = 0; i < 3; ++i) {
        t->skin[i] = skin[i];
        t->clothing[i] = clothing[i];
        t->legs[i] = legs[i];
    }
}

static void release_humanoid_data(void* p)
{
    delete static_cast<humanoid_data*>(p);
}

unit* add_humanoid()
{
    uint32_t serial = humanoid_id++;
    uint32_t base = i_am_defender() ? 0x80000u : 0x81000u;
    return add_unit(base + serial);
}

void init_humanoid(unit* u)
{
    if (u->kind_data && u->kind_release)
        u->kind_release(u->kind_data);
    auto* h = new humanoid_data{};
    h->type = &human_type;
    h->kind = HUMANOID_AVATAR;
    h->weapon = WEAPON_NONE;
    u->kind = UNIT_HUMANOID;
    u->kind_data = h;
    u->kind_release = release_humanoid_data;
    u->heading = 0.0f;
    u->pitch = 0.0f;
    u->radius = 1.0f;
    u->health = 1.0f;
    u->speed = 1e-5f;
    u->extra = nullptr;
    u->extra_release = nullptr;
    u->next_collision_test = game_time - 1.0f;
    u->flying = 0;
    u->param[0] = 1.0f;   // arrival threshold (squared distance)
    u->param[1] = 10.0f;  // walking speed
    u->param[2] = 3.0f;   // turn rate, degrees per step
}

void conditionally_update_humanoid(unit* u)
{
    if (u->fixed) {
        const float v[4] = {u->x, u->y, u->z, u->heading};
        add_unit_update(u->id, 4, v);
    } else {
        const float v[7] = {u->x, u->y, u->z, u->heading, u->vx, u->vy, u->vz};
        add_unit_update(u->id, 7, v);
    }
}

int update_humanoid(unit* u, int count, const float* values)
{
    const int want = u->fixed ? 4 : 7;
    if (count != want) {
        printf("received %d-humanoid update with %d params\n", u->fixed ? 1 : 0, count);
        return -1;
    }
    u->x = values[0];
    u->y = values[1];
    u->z = values[2];
    u->heading = values[3];
    if (count == 7) {
        u->vx = values[4];
        u->vy = values[5];
        u->vz = values[6];
    }
    return 0;
}
