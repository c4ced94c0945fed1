// Humanoids: the walking figures (figures, archers, footmen and the summoned
// kinds). A humanoid is a unit of kind UNIT_HUMANOID carrying a
// humanoid_data record.
#pragma once

#include <cstdint>

#include "sim/units.h"

struct world;

enum : int {
    HUMANOID_FIGURE = 0,
    HUMANOID_ARCHER = 1,
    HUMANOID_FOOTMAN = 2,
    HUMANOID_GHOUL = 3,
    HUMANOID_GOBLIN = 4,
    HUMANOID_ORANGATANG = 5,
};

enum : int {
    WEAPON_NONE = 0,
    WEAPON_BOW = 1,
    WEAPON_SWORD = 2,
};

// Body type of a figure: its measures and colours (the renderer compiles
// its look from them when a world is built).
struct humanoid_type {
    float torso_length;
    float leg_length;
    float arm_length;
    float head_size;
    float hip_width;
    float shoulder_width;
    float leg_thickness;
    float arm_thickness;
    float lean;  // degrees
    float skin[3];
    float clothing[3];
    float legs[3];
};

// The four body types (their looks are compiled by the renderer).
extern const humanoid_type human_type, ghoul_type, orangatang_type, goblin_type;
// The body types by index (0 human, 1 ghoul, 2 orangatang, 3 goblin).
constexpr int HUMAN_TYPE_COUNT = 4;
const humanoid_type* human_type_of(int index);
int human_type_index(const humanoid_type* t);

// Fills a body type's measures and colours from its size and proportions.
void fill_human_type(humanoid_type* t, float size, float arm_length, float head_size, float arm_factor,
                     float leg_factor, float lean, const float* skin, const float* clothing, const float* legs);

// The humanoid kind of a unit (HUMANOID_FIGURE ...), -1 for other kinds.
inline int humanoid_kind_of(const unit* u)
{
    const humanoid_data* h = u && u->kind == UNIT_HUMANOID ? humanoid_of(u) : nullptr;
    return h ? h->kind : -1;
}

// The next free soldier id of a side's range (`base`) from this copy's
// counter, which then stands past it.
uint32_t next_humanoid_id(world& w, uint32_t base);
// A new, empty unit with the next free humanoid id of side `team` (this
// copy's own by default; 0x400 serials; past the last, the count starts
// again at 0).
unit* add_humanoid(world& w, int team = -1);
void init_humanoid(world& w, unit* u);
// Appends the humanoid's state record to the open batch.
void conditionally_update_humanoid(world& w, unit* u);
// Applies a received state record: 4 values for a fixed figure, 7 otherwise.
int update_humanoid(world& w, unit* u, int count, const float* values);
// The local copy of a humanoid announced by another copy; nullptr (after a
// message) for a humanoid kind outside 0..5.
unit* spawn_humanoid(world& w, uint32_t id, int team, int kind);
// Full health and speed of a humanoid kind as its creator makes it; the
// copies made from "UNIT" get the same.
float humanoid_health(int kind);
float humanoid_speed(int kind);
void simulate_humanoid(world& w, unit* u, float dt);
// A humanoid leaves the world: an archer's tower waits for a new one.
void humanoid_removed(world& w, unit* u);
// A sword stroke starts now (the figure's arm swings it).
void start_sword_stroke(world& w, unit* u);
