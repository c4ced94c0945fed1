// This copy's player: the eye the game is seen from, which is also where the
// player's figure stands, and how it moves. The program hands the step the
// player's controls as plain values (keys held, how far the view turns);
// walking, jumping, swimming, the god mode's rise and sink, collisions with
// the structures and riding the dragon follow from them. The figure ("me")
// takes the eye's place after every step so the other copies see it move.
#pragma once

struct unit;
struct world;

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

// This copy's player in one battle: the eye and its motion, the prayer and
// the gods' favour, the spells granted, the health it heads for, and the
// dragon it called.
struct local_player {
    float eye_x = 0.0f, eye_y = 50.0f, eye_z = 0.0f;
    float eye_yaw = 0.0f;    // degrees; 0 looks along -z, 90 along +x
    float eye_pitch = 0.0f;  // degrees; positive looks down
    float eye_float = 2.0f;  // eye height above the ground
    float walk_phase = 0.0f;  // the walking bob's phase
    float eye_vx = 0.0f, eye_vy = 0.0f, eye_vz = 0.0f;  // eye velocity, units per second
    float next_jump = 0.0f;
    float next_collision_test = 0.0f;
    float next_shoot = 0.0f;
    // The controls of the step under way (a landed dragon ridden here
    // takes off on the walking keys).
    player_controls controls;

    int praying = 0;
    float target_favor = 5.0f;  // favour earned, at most 15
    float now_favor = 5.0f;     // favour shown, following target_favor at 3 a second
    int spells[2] = {0, 0};     // the two spell slots (spell codes)
    int have_spells = 0;        // filled slots
    int dragon_button = 0;      // command-bar slot of the last granted dragon
    int waiting_spell = 0;      // a targeted spell cast, waiting for its ground click (WAITING_*), or 0
    // Health the player's own figure is heading for (the personal state
    // moves the figure's health toward it); blows to the player lower it.
    float target_health = 15.0f;

    // The dragon this copy summoned and has not dismissed, whether the
    // player sits on it, and the next moment at which a summons is taken.
    unit* dragon = nullptr;
    int riding_dragon = 0;
    float next_dragon_call = 0.0f;
};

// One step: the view turns, then the player walks (or rides).
void step_player(world& w, float dt, const player_controls& c);
// The turn alone: yaw and pitch by the given degrees, pitch held within 60.
void turn_view(local_player& p, float yaw, float pitch);

// A press (button 1..3) or release (0) of a pointer button while the view
// looks around: riding the dragon, the first button breathes fire until it
// is released; on foot, the bow shoots while the first button is down
// (`first_down`), at most once every 0.666 s.
void player_click(world& w, int button, bool first_down);
// The bow: an arrow from the eye along the view, told to the other copies
// with "AARW".
void player_shoot_arrow(world& w);

// The pieces of one movement step.
// Horizontal motion for the held keys: the direction sum rescaled to
// speed * dt (zero when no key adds a direction); advances the walk phase.
void walk_motion(local_player& p, const move_keys& keys, float yaw, float speed, float dt, float out[2]);
// Ground snap and gravity for terrain height h under the eye.
void apply_vertical(local_player& p, float h, float dt);
// Keeps a position on the map square.
float clamp_to_world(float v);
// The movement step proper with the given keys.
void move_eye(world& w, float dt, const move_keys& keys);
// Unit vectors along the view and up from it, for the eye's yaw and pitch.
void eye_look_vectors(const local_player& p, float look[3], float up[3]);
// The figure takes the eye's place (and heading and velocity).
void set_self_humanoid_position(world& w);
