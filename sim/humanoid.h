// Humanoids: the walking figures (avatars, archers, footmen and the summoned
// kinds). A humanoid is a unit of kind UNIT_HUMANOID carrying a
// humanoid_data record.
#pragma once

#include <cstdint>

#include "sim/units.h"

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
// The sword's display list, compiled with the world's model lists.
extern unsigned int swordList;

// The sword mesh: 80 triangles in four material runs (pommel, grip, guard,
// blade); the blade lies along Y from -0.5 to 0.5.
constexpr int SWORD_VERTICES = 48;
constexpr int SWORD_NORMALS = 72;
constexpr int SWORD_TEXCOORDS = 60;
constexpr int SWORD_FACES = 80;
extern const float (&sword_vertex_table)[SWORD_VERTICES][3];
extern const float (&sword_normal_table)[SWORD_NORMALS][3];
extern const float (&sword_texcoord_table)[SWORD_TEXCOORDS][2];
extern const unsigned char (&sword_face_table)[SWORD_FACES][9];
extern const int sword_runs[4];

// Pose of the limbs for one step: swimming below the water line, walking
// when |vx| + |vz| exceeds 0.1, otherwise standing.
enum : int {
    POSE_STANDING = 0,
    POSE_WALKING = 1,
    POSE_SWIMMING = 2,
};
int humanoid_pose(const unit* u);
// Sets the limb angles of `h` for pose `pose` at time `t` (seconds).
void animate_limbs(humanoid_data* h, int pose, float t);

// Fills a body type's measures and colours (its display lists are compiled
// separately, with a GL context).
void fill_human_type(humanoid_type* t, float size, float arm_length, float head_size, float arm_factor,
                     float leg_factor, float lean, const float* skin, const float* clothing, const float* legs);

// Builds a body type and compiles its six display lists (needs GL).
void make_human_type(humanoid_type* t, float size, float arm_length, float head_size, float arm_factor,
                     float leg_factor, float lean, const float* skin, const float* clothing, const float* legs);
// A new game: the humanoid id counter from 0, and the body types' and the
// sword's display lists released (the world's model lists make them again).
void reset_game_humanoids();
// The four body types, built at the start of every game.
void init_human_types();
// Their measures and colours alone, without display lists.
void fill_human_types();

// The humanoid kind of a unit (HUMANOID_AVATAR ...), -1 for other kinds.
int humanoid_kind_of(const unit* u);

// The next free soldier id of a side's range (`base`) from this copy's
// counter, which then stands past it.
uint32_t next_humanoid_id(uint32_t base);
// A new, empty unit with the next free humanoid id of this copy's side
// (0x400 serials; past the last, the count starts again at 0).
unit* add_humanoid();
void init_humanoid(unit* u);
// Appends the humanoid's state record to the open batch.
void conditionally_update_humanoid(unit* u);
// Applies a received state record: 4 values for a fixed figure, 7 otherwise.
int update_humanoid(unit* u, int count, const float* values);
// The local copy of a humanoid announced by another copy; nullptr (after a
// message) for a humanoid kind outside 0..5.
unit* spawn_humanoid(uint32_t id, int team, int kind);
// Full health and speed of a humanoid kind as its creator makes it; the
// copies made from "UNIT" get the same.
float humanoid_health(int kind);
float humanoid_speed(int kind);
void simulate_humanoid(unit* u, float dt);
// The sword swing, one state step per call.
void simulate_weapon(humanoid_data* h);
void draw_humanoid(unit* u);
void draw_weapon(humanoid_data* h);
void draw_sword();
unsigned int GenSwordList();
// Name tags over the other participants' figures.
void draw_participants();
