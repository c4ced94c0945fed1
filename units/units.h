// The unit registry: one record for every moving thing in the battle, kept
// in a doubly linked list, newest first. A kind record (humanoid, catapult,
// ...) hangs off each unit and is released with it.
#pragma once

#include <cstdint>

// Unit kinds (the kind field).
enum : int {
    UNIT_HUMANOID = 1,
    UNIT_CATAPULT = 2,
    UNIT_RAM = 3,
    UNIT_DRAGON = 4,
    UNIT_SHIP = 5,
};

// Id classes: the upper 16 bits of a unit id.
enum : uint32_t {
    ID_CLASS_CATAPULT = 0x0001,
    ID_CLASS_RAM = 0x0004,
    ID_CLASS_DRAGON = 0x0005,
    ID_CLASS_SHIP = 0x0006,
    ID_CLASS_HUMANOID = 0x0008,
};

// A participant's avatar carries 0x80400 + the participant's number.
constexpr uint32_t AVATAR_ID_BASE = 0x80400;

// Order kinds.
enum : int {
    ORDER_NONE = 0,
    ORDER_MOVE = 1,
    ORDER_ATTACK = 2,
    ORDER_ENGAGED = 3,
    ORDER_HOLD = 4,
};

struct unit {
    float x, y, z;
    float pitch;
    float heading;  // degrees
    float vx, vy, vz;
    float order_x, order_y, order_z;
    float order_heading;
    float param[3];  // meaning per kind
    float radius;
    float health;
    float max_health;
    float speed;
    int team;
    int selected;
    int order_kind;
    int on_water;
    int flying;
    int fixed;
    int invisible;
    float invisible_until;
    int touched_model;
    uint32_t id;
    float next_collision_test;
    void* extra;
    void (*extra_release)(void*);
    int kind;
    void* kind_data;
    void (*kind_release)(void*);
    int target_seen;
    unit* attack_target;
    float last_attack_time;
    unit* next;
    unit* prev;
};

extern unit* unit_list;
extern int friends_selected;
extern unit* enemy_selected;
extern int do_check_win;

inline uint32_t id_class(uint32_t id)
{
    return id >> 16;
}

// A new record at the head of the registry; the caller fills kind and record.
unit* add_unit(uint32_t id);
// First unit with that id, or nullptr.
unit* find_unit(uint32_t id);
void del_unit(unit* u);
void kill_unit(uint32_t id);
// Applies one received state record; 0 when applied, -1 when the unit is
// unknown or its kind rejects the count.
int update_unit(uint32_t id, int n, const float* params);
// Appends this copy's records to the open unit-state batch.
void send_unit_messages();
// Number of units in the registry.
int count_units();
