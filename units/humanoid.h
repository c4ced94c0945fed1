// Humanoids: the walking figures (avatars, archers, footmen and the summoned
// kinds). A humanoid is a unit of kind UNIT_HUMANOID carrying a
// humanoid_data record.
#pragma once

#include <cstdint>

#include "units/units.h"

enum : int {
    HUMANOID_AVATAR = 0,
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

// Body type of a figure; the display lists are compiled with the world.
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
    unsigned int lists[6];  // hips, torso, neck with head, shoulder bar, arm, leg
};

extern humanoid_type human_type, ghoul_type, orangatang_type, goblin_type;

struct humanoid_data {
    humanoid_type* type;
    float leg_angles[2][2];  // hip, knee per leg (radians)
    float arm_angles[2];     // radians
    int kind;
    int weapon;
    int swing_state;
    float swing_roll, swing_pitch;  // degrees
};

extern uint32_t humanoid_id;

// Fills a body type's measures and colours (its display lists are compiled
// separately, with a GL context).
void fill_human_type(humanoid_type* t, float size, float arm_length, float head_size, float arm_factor,
                     float leg_factor, float lean, const float* skin, const float* clothing, const float* legs);

// A new, empty unit with the next humanoid id of this copy's side.
unit* add_humanoid();
void init_humanoid(unit* u);
// Appends the humanoid's state record to the open batch.
void conditionally_update_humanoid(unit* u);
// Applies a received state record: 4 values for a fixed figure, 7 otherwise.
int update_humanoid(unit* u, int count, const float* values);
