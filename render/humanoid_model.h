// The figures' look: body types compiled into display lists, limbs by pose,
// the sword and its stroke, and the name tags over other players' figures.
#pragma once

#include <cstdint>

#include "sim/humanoid.h"

struct renderer;
struct world;

// The figures' display lists: each body type's six (hips, torso, neck and
// head, shoulder bar, arm, leg) and the sword's, and the bitmap font's first
// list for the name tags (set by the program).
struct humanoid_looks {
    unsigned int body_lists[HUMAN_TYPE_COUNT][6] = {};
    unsigned int sword_list = 0;
    unsigned int name_tag_font_base = 0;
};

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
// The limb angles of a figure in a frame.
struct limb_pose {
    float leg_angles[2][2];  // hip, knee per leg (radians)
    float arm_angles[2];     // radians
};
// The limb angles for pose `pose` at time `t` (seconds).
void animate_limbs(limb_pose& out, int pose, float t);

// The sword's roll and pitch (degrees) `since` seconds after a stroke began
// (none for a negative time); `seed` picks the stroke's roll (-45..44).
struct sword_swing {
    float roll = 0.0f, pitch = 0.0f;
};
sword_swing sword_swing_at(float since, uint32_t seed);


// Compiles the body types' and the sword's lists (when a world is built);
// release_humanoid_lists frees them.
void compile_humanoid_lists(renderer& r);
void release_humanoid_lists(renderer& r);
unsigned int GenSwordList();
void draw_sword(const renderer& r);
void draw_humanoid(const renderer& r, const world& w, const unit* u);
void draw_weapon(const renderer& r, const world& w, const unit* u, const limb_pose& limbs);
// Name tags over the other participants' figures.
void draw_participants(const renderer& r, const world& w);
