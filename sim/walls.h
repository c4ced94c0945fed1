// The city's walls, towers and gates, placed from "walls.txt": a polyline of
// wall points, each with the wall's height and thickness there, a tower flag
// and a flag that makes the stretch to the next point a gate. Every stretch
// and every tower is a top-level model; gates are hinged panels the
// defenders raise and lower together, and a gate worn down by rams falls for
// good.
#pragma once

#include <string>
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
    float regen_time = -1.0f;      // game_time at which an emptied slot may be refilled
};

// How the walls reach the modules that own the network, the teams and the
// archers. Whoever owns those fills these at start-up; an unset link is
// simply skipped.
struct wall_links {
    // Sends a command message with its tag and four parameters.
    void (*send_command)(const char* tag, float p0, float p1, float p2, float p3) = nullptr;
    // Posts a tower archer at (x, y, z) and records it in the wall point.
    void (*add_archer)(float x, float y, float z, wall_point& pt) = nullptr;
};

extern wall_links g_wall_links;
extern std::vector<wall_point> the_wall_pts;
extern int n_wall_pts;
extern int gate_up;                  // defenders' wish for all gates: 1 up (closed), 0 lowered
extern std::string walls_filename;   // "walls.txt"

// Reads walls_filename and builds every stretch and tower. Returns the
// number of wall points read, or -1 when the file cannot be opened (the
// game then goes on without walls). A line whose point is no place, whose
// thickness or height is not positive, or whose point repeats the one
// before is refused with a line on the error stream; reading goes on.
int load_walls();
void add_wall_pt(const wall_point& pt);
int add_wall_model(const float a[3], float thick_a, float height_a, const float b[3], float thick_b, float height_b,
                   int is_gate);
struct model_node;
void set_gate_shape_mp(model_node& node, float angle, const float a[3], float thick_a, const float up_a[3],
                       const float b[3], float thick_b, const float up_b[3], int is_gate);
void set_gate_shape(int model_id, float angle, const float a[3], const float b[3], float thickness, float height);
int add_tower_model(const float point[3], float width, float height, int square, wall_point& rec);

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
std::vector<wall_stretch> closed_wall_stretches();

void set_gate(int ignored, float angle);
void set_gate_bool(int up);
// The defenders' gate button (command bar slot 0): every gate up or down,
// and "GATE" to the other copies.
void gate_func();
void set_break_gate(int gate_index, float value);
// Once a play step of dt seconds: breaking and swinging of the gates.
void simulate_walls(float dt = TUNED_STEP);

// Receivers of the "GATE" and "GBRK" commands, given the command's
// parameters as parsed by the command dispatcher.
void receive_gate_command(float p0);
void receive_gate_break_command(float p0, float p1);
// The gate a "GBRK" names by the float `code`: the index of the wall point
// that starts it, or -1 when the code names no gate of this city.
int named_gate(float code);
// Whether the gate starting at wall point `index` has been broken.
bool gate_broken(int index);

// Registers the "GATE" and "GBRK" command handlers.
void register_wall_commands();
// Start-up: joins the walls to the command messages, the participant table
// and the archers, and registers the wall commands.
void init_wall_links();
