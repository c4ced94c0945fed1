// Everything that flies (arrows, catapult balls, meteors) is a projectile
// in one list, moved and tested for hits by the same code; each kind
// supplies its own step and dispose callbacks, and the renderer draws it by
// its kind. This module also holds the arrow and the archers' aiming table.
#pragma once

#include <cstdint>

struct message_context;
struct world;

// Projectile kinds, as the renderer draws them.
enum : int {
    PROJECTILE_ARROW = 1,
    PROJECTILE_BALL = 2,  // a catapult ball or a meteor
};

struct projectile {
    float x, y, z;
    float vx, vy, vz;     // units per second
    float expiry;         // battle time after which the projectile is removed
    float damage;         // dealt to each unit it hits
    float next_check;     // battle time of the next hit test
    float max_speed;
    float radius;
    int team;             // the shooter's team: never hit
    int kind;             // PROJECTILE_ARROW or PROJECTILE_BALL
    int meteor;           // 1 for a firestorm's meteor
    unsigned source;      // the sender id of the copy that made it fly; 0 for this copy
    void* data;           // kind data (an arrow: launch yaw and pitch; a ball: its fire source or none)
    void (*step)(world& w, projectile* p, float dt);  // before the move
    void (*dispose)(projectile* p);                    // frees the kind data
    projectile* next;
    projectile* prev;
};

// The projectiles of one battle, the newest first. Destroying the list
// frees every one.
struct projectile_list {
    projectile_list() = default;
    ~projectile_list();
    projectile_list(const projectile_list&) = delete;
    projectile_list& operator=(const projectile_list&) = delete;
    projectile* head = nullptr;
};

constexpr float ARROW_DAMAGE = 1.0f;
constexpr float ARROW_RADIUS = 0.5f;
constexpr float ARROW_MAX_SPEED = 45.0f;
constexpr float ARROW_SPEED = 30.0f;
constexpr float ARROW_LIFETIME = 10.0f;
constexpr float ARROW_GRAVITY = 3.0f;
// Seconds between two shots of the same bow.
constexpr float BOW_RELOAD = 0.666f;

// An arrow's kind data: its launch angles in degrees.
struct arrow_data {
    float yaw, pitch;
};

// Takes ownership of `p` (created with new). -1 for a null record.
int add_projectile(world& w, projectile* p);
// Unlinks, disposes of and frees `p`; returns the projectile after it.
projectile* del_projectile(projectile_list& list, projectile* p);
int count_projectiles(const projectile_list& list);
// Meteors in flight (the firestorms' limit counts these alone).
int count_meteors(const projectile_list& list);

void simulate_projectiles(world& w, float dt);

// An arrow from (x, y, z); yaw and pitch in degrees, pitch positive down
// (the eye's convention).
int shoot_arrow(world& w, float x, float y, float z, float yaw, float pitch, int team);

// Re-creates an archer's arrow on this copy ("UARW"); -1 for an unknown id
// or a unit without a bow.
int unit_shoot_arrow(world& w, uint32_t id, float yaw, float pitch);
// "AARW": a player's arrow, from the sender's figure. "UARW": an archer of
// the sender's side shoots.
void receive_player_arrow(message_context& c, const uint32_t p[4]);
void receive_unit_arrow(message_context& c, const uint32_t p[4]);

// --- aiming table ------------------------------------------------------------

constexpr int AIM_TABLE_SIZE = 100;
// elevation[height difference + 50][horizontal distance]: elevation in
// radians that lands an arrow launched at 30 under gravity 3 at that
// offset; 0 where no angle reaches (a level shot).
struct aim_table {
    float elevation[AIM_TABLE_SIZE][AIM_TABLE_SIZE] = {};
};
void build_archer_projectile_table(aim_table& table);
