#include "sim/humanoid.h"

#include <cmath>
#include <cstdio>

#include "platform/vector.h"
#include "sim/archer.h"
#include "sim/combat.h"
#include "sim/game.h"
#include "sim/messages.h"
#include "sim/model_tree.h"
#include "sim/participants.h"
#include "sim/rights.h"
#include "sim/session.h"
#include "sim/sides.h"
#include "sim/terrain.h"
#include "sim/wire.h"
#include "sim/world.h"

// --- body types ---------------------------------------------------------------------

// A body type from its size, proportions and colours: size, arm length,
// head size, arm and leg factors, lean, and skin, clothing and leg colours.
static constexpr humanoid_type body_type(float size, float arm_length, float head_size, float arm_factor,
                                         float leg_factor, float lean, const float* skin, const float* clothing,
                                         const float* legs)
{
    humanoid_type t{};
    t.torso_length = 0.7f * size;
    t.leg_length = 1.2f * size;
    t.arm_length = arm_length;
    t.head_size = head_size;
    t.hip_width = 0.3f * size;
    t.shoulder_width = 0.6f * size;
    t.leg_thickness = 0.2f * size * leg_factor;
    t.arm_thickness = 0.12f * arm_length * arm_factor;
    t.lean = lean;
    for (int i = 0; i < 3; ++i) {
        t.skin[i] = skin[i];
        t.clothing[i] = clothing[i];
        t.legs[i] = legs[i];
    }
    return t;
}

void fill_human_type(humanoid_type* t, float size, float arm_length, float head_size, float arm_factor,
                     float leg_factor, float lean, const float* skin, const float* clothing, const float* legs)
{
    *t = body_type(size, arm_length, head_size, arm_factor, leg_factor, lean, skin, clothing, legs);
}

namespace {

constexpr float HUMAN_COLOURS[3][3] = {{0.85f, 0.5f, 0.55f}, {0.6f, 0.4f, 0.4f}, {0.5f, 0.3f, 0.3f}};
constexpr float GHOUL_COLOURS[3][3] = {{0.95f, 0.95f, 0.95f}, {0.95f, 0.95f, 0.95f}, {0.95f, 0.95f, 0.95f}};
constexpr float ORANGATANG_COLOURS[3][3] = {{0.5f, 0.1f, 0.15f}, {0.5f, 0.1f, 0.1f}, {0.5f, 0.1f, 0.1f}};
constexpr float GOBLIN_COLOURS[3][3] = {{0.15f, 0.7f, 0.15f}, {0.1f, 0.1f, 0.1f}, {0.5f, 0.3f, 0.3f}};

} // namespace

constexpr humanoid_type human_type =
    body_type(1, 1, 0.3f, 1, 1, 0, HUMAN_COLOURS[0], HUMAN_COLOURS[1], HUMAN_COLOURS[2]);
constexpr humanoid_type ghoul_type =
    body_type(1, 1, 0.3f, 1, 1, 0, GHOUL_COLOURS[0], GHOUL_COLOURS[1], GHOUL_COLOURS[2]);
constexpr humanoid_type orangatang_type =
    body_type(1, 1, 0.6f, 1, 1, 90, ORANGATANG_COLOURS[0], ORANGATANG_COLOURS[1], ORANGATANG_COLOURS[2]);
constexpr humanoid_type goblin_type =
    body_type(1, 1, 0.3f, 1, 1, 0, GOBLIN_COLOURS[0], GOBLIN_COLOURS[1], GOBLIN_COLOURS[2]);

static const humanoid_type* const BODY_TYPES[HUMAN_TYPE_COUNT] = {&human_type, &ghoul_type, &orangatang_type,
                                                                  &goblin_type};

const humanoid_type* human_type_of(int index)
{
    return index >= 0 && index < HUMAN_TYPE_COUNT ? BODY_TYPES[index] : &human_type;
}

int human_type_index(const humanoid_type* t)
{
    for (int i = 0; i < HUMAN_TYPE_COUNT; ++i)
        if (BODY_TYPES[i] == t)
            return i;
    return 0;
}

uint32_t next_humanoid_id(world& w, uint32_t base)
{
    const uint32_t serial = free_serial(w, base, HUMANOID_SERIALS, w.units.humanoid_counter);
    w.units.humanoid_counter = serial + 1;
    return base + serial;
}

unit* add_humanoid(world& w, int team)
{
    if (team != TEAM_ATTACKERS && team != TEAM_DEFENDERS)
        team = local_team(w);
    return add_unit(w, next_humanoid_id(w, team == TEAM_DEFENDERS ? DEFENDER_HUMANOID_BASE : ATTACKER_HUMANOID_BASE));
}

void init_humanoid(world& w, unit* u)
{
    humanoid_data h;
    h.type = &human_type;
    h.kind = HUMANOID_FIGURE;
    h.weapon = WEAPON_NONE;
    h.swing_started = -1.0f;
    u->kind = UNIT_HUMANOID;
    u->data = h;
    u->heading = 0.0f;
    u->pitch = 0.0f;
    u->radius = 1.0f;
    u->health = 1.0f;
    u->speed = 1e-5f;
    u->next_collision_test = w.time - 1.0f;
    u->flying = 0;
    u->arrival2 = 1.0f;
    u->drive_speed = 10.0f;
    u->turn_rate = 3.0f;
}

void conditionally_update_humanoid(world& w, unit* u)
{
    if (u->fixed) {
        const float v[4] = {u->x, u->y, u->z, u->heading};
        add_unit_update(w, u->id, 4, v);
    } else {
        const float v[7] = {u->x, u->y, u->z, u->heading, u->vx, u->vy, u->vz};
        add_unit_update(w, u->id, 7, v);
    }
}

int update_humanoid(world& w, unit* u, int count, const float* values)
{
    const int want = u->fixed ? 4 : 7;
    if (count != want) {
        refuse_current(w.session, refusal::bad_value, "received %d-humanoid update with %d params", u->fixed ? 1 : 0, count);
        return -1;
    }
    // A record that would put the figure nowhere (NaN, infinity, beyond
    // any place or turn) is dropped whole: one bad record must not poison
    // the whole crowd.
    if (!wire_values_ok(values, count)) {
        refuse_current(w.session, refusal::bad_value, "received humanoid update for %8.8X with a value out of range, ignored", u->id);
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

unit* spawn_humanoid(world& w, uint32_t id, int team, int kind)
{
    printf("spawning humanoid %8.8X for team %d, type %d\n", id, team, kind);
    if (kind < HUMANOID_FIGURE || kind > HUMANOID_ORANGATANG) {
        refuse_current(w.session, refusal::bad_value, "humanoid %8.8X announced with unknown type %d, not created", id, kind);
        return nullptr;
    }
    // Only ids of a side's range raise the counter, and never past its end.
    const uint32_t serial = id & 0xfffu;
    if (serial < HUMANOID_SERIALS && serial >= w.units.humanoid_counter)
        w.units.humanoid_counter = serial + 1;
    unit* u = add_announced_unit(w, id);
    init_humanoid(w, u);
    u->vx = u->vy = u->vz = 0.0f;
    humanoid_data* h = humanoid_of(u);
    h->kind = kind;
    static const humanoid_type* const types[6] = {&human_type, &human_type, &human_type,
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

void simulate_humanoid(world& w, unit* u, float dt)
{
    humanoid_data* h = humanoid_of(u);
    if (!h)
        return;
    if (h->kind == HUMANOID_ARCHER) {
        simulate_archer(w, u);
    } else if (h->kind >= HUMANOID_FOOTMAN) {
        simulate_close_range_unit(w, u, dt);
    } else if (computer_figure_side(w, u) >= 0 && leads_side(w.session, u->team)) {
        // The computer's figure walks where its player sends it, and stands
        // otherwise.
        if (u->order_kind == ORDER_MOVE)
            move_close_range_unit(w, u, dt);
        else
            u->vx = u->vz = 0.0f;
    }

    if (!u->fixed) {
        const float ground = w.terrain.made ? get_terrain_height(w.terrain, u->x, u->z) : 0.0f;
        const float leg = h->type ? h->type->leg_length : 1.2f;
        if (u->y - leg > ground + 0.001f) {
            u->vy -= 7.0f * dt;
        } else {
            u->y = ground + leg;
            u->vy = 0.0f;
        }
    }
}

void humanoid_removed(world& w, unit* u)
{
    if (const humanoid_data* h = humanoid_of(u); h && h->post >= 0)
        archer_fell(w, h->post);
}

void start_sword_stroke(world& w, unit* u)
{
    humanoid_data* h = u->kind == UNIT_HUMANOID ? humanoid_of(u) : nullptr;
    if (h && h->weapon == WEAPON_SWORD)
        h->swing_started = w.time;
}
