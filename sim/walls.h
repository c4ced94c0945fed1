// The city's walls, towers and gates, placed from "walls.txt": a polyline of
// wall points, each with the wall's height and thickness there, a tower flag
// and a flag that makes the stretch to the next point a gate. Every stretch
// and every tower is a top-level model; gates are hinged panels the
// defenders raise and lower together, and a gate worn down by rams falls for
// good.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/game.h"

struct wall_point {
    float x = 0, y = 0, z = 0;     // y: ground - 1.49 (walls are sunk into the ground)
    float thickness = 0, height = 0;
    unsigned char tower = 0, gate = 0;
    float angle = 0;               // current tilt of the gate starting here, degrees, 0 = upright
    float target = 0;              // where the gate is swinging to
    int model_id = -1;             // model of the stretch starting here
    int broken = 0;                // 1 once the gate has been broken
    // Archer posted on this point's tower by this copy (its unit id).
    bool has_archer = false;
    unsigned archer_id = 0;
    bool archer_emptied = false;   // only an emptied slot is refilled
    float regen_time = -1.0f;      // battle time at which an emptied slot may be refilled
};

// The city's walls of one battle: the wall points in file order, and the
// defenders' wish for all gates: 1 up (closed), 0 lowered.
struct walls_state {
    std::vector<wall_point> points;
    int gate_up = 1;
    int count() const { return static_cast<int>(points.size()); }
};

struct message_context;
struct model_node;
struct structure_tree;
struct world;

// Reads the session's walls file and builds every stretch and tower (the
// defenders' leader posts an archer on each tower). Returns the number of
// wall points read, or -1 when the file cannot be opened (the game then
// goes on without walls). A line whose point is no place, whose thickness
// or height is not positive, or whose point repeats the one before is
// refused with a line on the error stream; reading goes on.
int load_walls(world& w);
int add_wall_model(structure_tree& t, const float a[3], float thick_a, float height_a, const float b[3], float thick_b,
                   float height_b, int is_gate);
void set_gate_shape_mp(model_node& node, float angle, const float a[3], float thick_a, const float up_a[3],
                       const float b[3], float thick_b, const float up_b[3], int is_gate);
void set_gate_shape(structure_tree& t, int model_id, float angle, const float a[3], const float b[3], float thickness,
                    float height);
// A tower at wall point `index`.
int add_tower_model(world& w, const float point[3], float width, float height, int square, int index);

// A stretch of wall on the ground, from (ax, az) to (bx, bz), half as thick
// as the thicker of its two ends.
struct wall_stretch {
    float ax, az, bx, bz, half;
};
// Whether the gate starting at this point lets units on the ground through:
// broken, or lowered more than half way.
bool gate_stands_open(const wall_point& p);
// The stretches a unit on the ground cannot pass: every one but the open
// gates.
std::vector<wall_stretch> closed_wall_stretches(const walls_state& walls);

// Every gate not broken swings to `angle` (0 up, 90 lowered).
void set_gate(walls_state& walls, float angle);
void set_gate_bool(walls_state& walls, int up);
// The defenders' gate button (command bar slot 0): every gate up or down,
// and "GATE" to the other copies.
void gate_func(world& w);
void set_break_gate(walls_state& walls, int gate_index, float value);
// Once a play step of dt seconds: breaking and swinging of the gates.
void simulate_walls(world& w, float dt = TUNED_STEP);

// "GATE": the defenders raise or lower every gate. "GBRK": the attackers'
// leader says a gate broke.
void receive_gate(message_context& c, const uint32_t p[4]);
void receive_gate_break(message_context& c, const uint32_t p[4]);
// The gate a "GBRK" names by the float `code`: the index of the wall point
// that starts it, or -1 when the code names no gate of this city.
int named_gate(const walls_state& walls, float code);
// Whether the gate starting at wall point `index` has been broken.
bool gate_broken(const walls_state& walls, int index);
