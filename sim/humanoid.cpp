#include "sim/humanoid.h"

#include <cmath>
#include <cstdio>

#include "sim/game.h"
#include "platform/vector.h"
#include "sim/messages.h"
#include "sim/participants.h"
#include "sim/rights.h"
#include "sim/wire.h"
#include "sim/archer.h"
#include "sim/combat.h"
#include "sim/model_tree.h"
#include "sim/sides.h"
#include "sim/terrain.h"

humanoid_type human_type, ghoul_type, orangatang_type, goblin_type;
uint32_t humanoid_id = 0;

// --- body types ---------------------------------------------------------------------

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

// The four body types: size, arm length, head size, arm and leg factors,
// lean, and skin, clothing and leg colours.
struct body_recipe {
    humanoid_type* type;
    float size, arm_length, head_size, arm_factor, leg_factor, lean;
    float skin[3], clothing[3], legs[3];
};

static const body_recipe body_recipes[4] = {
    {&human_type, 1, 1, 0.3f, 1, 1, 0, {0.85f, 0.5f, 0.55f}, {0.6f, 0.4f, 0.4f}, {0.5f, 0.3f, 0.3f}},
    {&ghoul_type, 1, 1, 0.3f, 1, 1, 0, {0.95f, 0.95f, 0.95f}, {0.95f, 0.95f, 0.95f}, {0.95f, 0.95f, 0.95f}},
    {&orangatang_type, 1, 1, 0.6f, 1, 1, 90, {0.5f, 0.1f, 0.15f}, {0.5f, 0.1f, 0.1f}, {0.5f, 0.1f, 0.1f}},
    {&goblin_type, 1, 1, 0.3f, 1, 1, 0, {0.15f, 0.7f, 0.15f}, {0.1f, 0.1f, 0.1f}, {0.5f, 0.3f, 0.3f}},
};

humanoid_type* human_type_of(int index)
{
    return index >= 0 && index < HUMAN_TYPE_COUNT ? body_recipes[index].type : &human_type;
}

int human_type_index(const humanoid_type* t)
{
    for (int i = 0; i < HUMAN_TYPE_COUNT; ++i)
        if (body_recipes[i].type == t)
            return i;
    return 0;
}

void reset_game_humanoids()
{
    humanoid_id = 0;
}

void fill_human_types()
{
    for (const body_recipe& r : body_recipes)
        fill_human_type(r.type, r.size, r.arm_length, r.head_size, r.arm_factor, r.leg_factor, r.lean, r.skin,
                        r.clothing, r.legs);
}

static void release_humanoid_data(void* p)
{
    delete static_cast<humanoid_data*>(p);
}

int humanoid_kind_of(const unit* u)
{
    if (!u || u->kind != UNIT_HUMANOID || !u->kind_data)
        return -1;
    return static_cast<const humanoid_data*>(u->kind_data)->kind;
}

uint32_t next_humanoid_id(uint32_t base)
{
    const uint32_t serial = free_serial(base, HUMANOID_SERIALS, humanoid_id);
    humanoid_id = serial + 1;
    return base + serial;
}

unit* add_humanoid(int team)
{
    if (team != TEAM_ATTACKERS && team != TEAM_DEFENDERS)
        team = local_team();
    return add_unit(next_humanoid_id(team == TEAM_DEFENDERS ? DEFENDER_HUMANOID_BASE : ATTACKER_HUMANOID_BASE));
}

void init_humanoid(unit* u)
{
    if (u->kind_data && u->kind_release)
        u->kind_release(u->kind_data);
    auto* h = new humanoid_data{};
    h->type = &human_type;
    h->kind = HUMANOID_FIGURE;
    h->weapon = WEAPON_NONE;
    h->swing_started = -1.0f;
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
        refuse(current_sender(), refusal::bad_value, "received %d-humanoid update with %d params", u->fixed ? 1 : 0, count);
        return -1;
    }
    // A record that would put the figure nowhere (NaN, infinity, beyond
    // any place or turn) is dropped whole: one bad record must not poison
    // the whole crowd.
    if (!wire_values_ok(values, count)) {
        refuse(current_sender(), refusal::bad_value, "received humanoid update for %8.8X with a value out of range, ignored", u->id);
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

// --- the network's humanoids ----------------------------------------------------------

// By humanoid kind: figure, archer, footman, ghoul, goblin, orangatang.
static const float kind_health[6] = {15.0f, 2.0f, 3.0f, 2.0f, 5.0f, 4.0f};
static const float kind_speed[6] = {35.0f, 10.0f, 10.0f, 10.0f, 10.0f, 10.0f};

float humanoid_health(int kind)
{
    return kind >= HUMANOID_FIGURE && kind <= HUMANOID_ORANGATANG ? kind_health[kind] : 1.0f;
}

float humanoid_speed(int kind)
{
    return kind >= HUMANOID_FIGURE && kind <= HUMANOID_ORANGATANG ? kind_speed[kind] : 1e-5f;
}

unit* spawn_humanoid(uint32_t id, int team, int kind)
{
    printf("spawning humanoid %8.8X for team %d, type %d\n", id, team, kind);
    if (kind < HUMANOID_FIGURE || kind > HUMANOID_ORANGATANG) {
        refuse(current_sender(), refusal::bad_value, "humanoid %8.8X announced with unknown type %d, not created", id, kind);
        return nullptr;
    }
    // Only ids of a side's range raise the counter, and never past its end.
    const uint32_t serial = id & 0xfffu;
    if (serial < HUMANOID_SERIALS && serial >= humanoid_id)
        humanoid_id = serial + 1;
    unit* u = add_announced_unit(id);
    init_humanoid(u);
    u->vx = u->vy = u->vz = 0.0f;
    auto* h = static_cast<humanoid_data*>(u->kind_data);
    h->kind = kind;
    static humanoid_type* const types[6] = {&human_type, &human_type, &human_type,
                                            &ghoul_type, &goblin_type, &orangatang_type};
    static const int weapons[6] = {WEAPON_NONE, WEAPON_BOW, WEAPON_SWORD, WEAPON_SWORD, WEAPON_SWORD, WEAPON_SWORD};
    h->type = types[kind];
    h->weapon = weapons[kind];
    u->fixed = kind == HUMANOID_ARCHER ? 1 : 0;
    u->health = u->max_health = humanoid_health(kind);
    u->speed = humanoid_speed(kind);
    u->team = team;
    return u;
}

// --- behaviour ------------------------------------------------------------

void simulate_humanoid(unit* u, float dt)
{
    auto* h = static_cast<humanoid_data*>(u->kind_data);
    if (!h)
        return;
    if (h->kind == HUMANOID_ARCHER) {
        simulate_archer(u);
    } else if (h->kind >= HUMANOID_FOOTMAN) {
        simulate_close_range_unit(u, dt);
    } else if (computer_figure_side(u) >= 0 && leads_side(u->team)) {
        // The computer's figure walks where its player sends it, and stands
        // otherwise.
        if (u->order_kind == ORDER_MOVE)
            move_close_range_unit(u, dt);
        else
            u->vx = u->vz = 0.0f;
    }

    if (!u->fixed) {
        const float ground = height_map[0] ? get_terrain_height(u->x, u->z) : 0.0f;
        const float leg = h->type ? h->type->leg_length : 1.2f;
        if (u->y - leg > ground + 0.001f) {
            u->vy -= 7.0f * dt;
        } else {
            u->y = ground + leg;
            u->vy = 0.0f;
        }
    }
}

void start_sword_stroke(unit* u)
{
    if (u->kind == UNIT_HUMANOID && u->kind_data) {
        auto* h = static_cast<humanoid_data*>(u->kind_data);
        if (h->weapon == WEAPON_SWORD)
            h->swing_started = game_time;
    }
}
