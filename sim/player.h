// This copy's player: the eye the game is seen from, which is also where the
// player's figure stands, and how it moves. The program hands the step the
// player's controls as plain values (keys held, how far the view turns);
// walking, jumping, swimming, the god mode's rise and sink, collisions with
// the structures and riding the dragon follow from them. The figure ("me")
// takes the eye's place after every step so the other copies see it move.
#pragma once

extern float eye_x, eye_y, eye_z;
extern float eye_yaw;    // degrees; 0 looks along -z, 90 along +x
extern float eye_pitch;  // degrees; positive looks down
extern float eye_float;  // eye height above the ground
extern float walk_phase;  // the walking bob's phase
extern float eye_vx, eye_vy, eye_vz;  // eye velocity, units per second
extern float next_jump;
extern float next_player_cdetect;
extern float next_shoot;

// Keys held this step for walking.
struct move_keys {
    bool forward = false, back = false, left = false, right = false;  // "w", "s", "a", "d"
    bool jump = false;                                                // space
    bool rise = false, sink = false;                                  // "e", "f" (god mode)
};

// What the player does this step.
struct player_controls {
    move_keys keys;
    float turn_yaw = 0.0f, turn_pitch = 0.0f;  // degrees the view turns (the mouse's look)
};

// The controls of the step under way (a landed dragon ridden here takes
// off on the walking keys).
const player_controls& current_controls();
void set_controls(const player_controls& c);

// One step: the view turns, then the player walks (or rides).
void step_player(float dt, const player_controls& c);
// The turn alone: yaw and pitch by the given degrees, pitch held within 60.
void turn_view(float yaw, float pitch);

// A press (button 1..3) or release (0) of a pointer button while the view
// looks around: riding the dragon, the first button breathes fire until it
// is released; on foot, the bow shoots while the first button is down
// (`first_down`), at most once every 0.666 s.
void player_click(int button, bool first_down);
// The bow: an arrow from the eye along the view, told to the other copies
// with "AARW".
void player_shoot_arrow();

// The pieces of one movement step.
// Horizontal motion for the held keys: the direction sum rescaled to
// speed * dt (zero when no key adds a direction); advances walk_phase.
void walk_motion(const move_keys& keys, float yaw, float speed, float dt, float out[2]);
// Ground snap and gravity for terrain height h under the eye.
void apply_vertical(float h, float dt);
// Keeps a position on the map square.
float clamp_to_world(float v);
// The movement step proper with the given keys.
void move_eye(float dt, const move_keys& keys);
// A new game: movement timers and velocity cleared, the eye at the start
// position of the player's side.
void init_movement();
// Unit vectors along the view and up from it, for the eye's yaw and pitch.
void eye_look_vectors(float look[3], float up[3]);
// The figure takes the eye's place (and heading and velocity).
void set_self_humanoid_position();
