// Ways over dry land for the ground units (rams, catapults, soldiers).
//
// The water rule lives here, once: a ground unit whose body is below the
// water line cannot drive (the registry's step pushes it uphill instead),
// and the path search keeps to ground where a unit's body stays above it.
// An order whose straight line runs through such water becomes a route over
// the heightmap's grid, followed waypoint by waypoint; where the straight
// line is dry the unit drives straight as before. A route depends only on
// the unit's position, its target and the terrain, so every copy that
// computes one gets the same.
//
// Routes are kept on the copy that applies the unit's orders (its side's
// leader), which also queues further waypoints behind the current order.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <unordered_map>
#include <vector>

#include "sim/game.h"
#include "sim/units.h"

struct terrain_state;
struct unit;
struct world;

struct waypoint {
    float x, z;
};

// One leg of a unit's route: the waypoints it drives through to the leg's
// end, and what it does there.
struct route_leg {
    std::vector<waypoint> points;  // the last is where the leg ends
    size_t next = 0;               // the waypoint being driven to
    waypoint from{0.0f, 0.0f};     // where the unit set off toward it
    int drive_kind = ORDER_MOVE;   // the order kind while on the way
    int final_kind = ORDER_MOVE;   // and at the end (a catapult attacks)
    float gx = 0.0f, gz = 0.0f;    // the order target at the end
    bool started = false;
    float next_check = 0.0f;       // game time of the next off-route check
    // The waypoints from this one on are kept when the way is planned anew
    // before the unit reaches it (a ram's line-up before a gate); a new way
    // leads to it. None when past the end.
    size_t kept_from = SIZE_MAX;
    // How many times in a row the unit was found getting nowhere, the
    // last time at (stuck_x, stuck_z).
    int detours = 0;
    float stuck_x = 0.0f, stuck_z = 0.0f;
    // Where it was held by a structure meanwhile (a ram at the step of a
    // temple's floor, which a soldier's way may cross): ways found anew go
    // round these.
    std::vector<waypoint> held_at;
};

// What the structures block for a body standing on the ground, per grid
// point and step (sim/route.cpp says how), kept until the structures
// change.
struct structure_cache {
    bool valid = false;
    int models = -1;
    // Each wall point's gate tilt when its ground was last tested (0 for a
    // point without a gate).
    std::vector<float> gate_tilts;
    // Bit d of blocked[n]: the step from n in direction d meets a
    // structure; bit 8: a body over n itself does.
    std::vector<unsigned short> blocked;
};

// The routes of one battle's units, by unit id, and what planning them
// costs: the structures' cache, and the orders planned in the step of
// `budget_time` (stuck units' new ways among them).
struct route_book {
    std::unordered_map<uint32_t, std::deque<route_leg>> legs;
    structure_cache structures;
    float budget_time = -1.0f;
    int planned = 0;
    int stuck_planned = 0;
};

// How high the lowest ground unit (a cart, 0.7 over its axles' ground)
// rides above the terrain; soldiers stand higher.
constexpr float RIDE_HEIGHT = 0.7f;
// A waypoint counts as passed within this distance (beyond every kind's own
// arrival distance, so that no kind stops at a waypoint).
constexpr float WAYPOINT_REACH = 6.0f;
// Upper bound on the grid points one search may settle: the whole grid.
constexpr int ROUTE_SEARCH_LIMIT = 128 * 128;
// Orders planned in one frame at the most (a search takes up to about two
// milliseconds; a flood of orders from the network must not stall a
// frame), and legs one unit may have queued.
constexpr int ROUTE_ORDERS_PER_FRAME = 64;
constexpr int ROUTE_QUEUE_LIMIT = 16;

// The water rule: a body at height y is below the water line.
bool below_water_line(float y);
// A unit that the water holds: a ground unit (not a ship, not flying)
// whose body is below the water line.
bool held_by_water(const unit* u);
// Ground where a ground unit stays above the water line.
bool dry_ground(const terrain_state& t, float x, float z);
// Every point of the straight segment is dry ground (sampled every unit).
bool dry_line(const terrain_state& t, float x0, float z0, float x1, float z1);
// Rams, catapults and computer-driven soldiers: the units that routes serve.
bool is_ground_unit(const world& w, const unit* u);

// A way from (x0, z0) to (x1, z1) over dry ground: the waypoints after the
// start, the last being (x1, z1) itself; just that one when the straight
// line is dry. -1 (and `out` empty) when no dry way reaches the point.
int find_dry_route(world& w, float x0, float z0, float x1, float z1, std::vector<waypoint>& out);
// Where a catapult at (x, z) should stand to throw at (tx, tz): on the line
// toward the point at the throwing range when that place is dry and the
// line to it too (`*straight` set), else the nearest dry ground in range
// that a dry route reaches, away from the spots `taken` by other catapults
// where there is room. -1 when there is none.
int catapult_throwing_spot(world& w, float x, float z, float tx, float tz, waypoint* spot, int* straight,
                           const std::vector<waypoint>& taken = {});

// Moves each of `places` that is under water, or on dry ground that no dry
// way joins to (tx, tz), to the nearest grid point that one does (one with
// dry ground all round where there is any). Places stay as they are when
// (tx, tz) itself is not on dry ground.
void keep_to_joined_ground(world& w, std::vector<waypoint>& places, float tx, float tz);
// The same toward the middle of the city's first gate: where the attackers'
// camp is made, none of it in the sea or cut off from the city.
void keep_to_ground_joined_to_gate(world& w, std::vector<waypoint>& places);

// Whether (x, z) lies at a gate's middle: rams sent to attack there line up
// on that gate and take places side by side across it.
bool at_a_gate(const world& w, float x, float z);
// Applies an order to a unit of this copy's side, routed where needed.
// -1 (the unit keeps its order) when no dry way reaches the point.
int route_order(world& w, unit* u, float x, float z, int order_kind);
// Whether route_order would accept the order (for the copy that sends it).
bool order_reachable(world& w, const unit* u, float x, float z, int order_kind);
// Queues a move to (x, z) after the unit's current order and queued moves;
// an idle unit sets off at once. -1 when no dry way reaches it.
int queue_waypoint(world& w, unit* u, float x, float z);
// Number of legs still ahead of the unit, the current one included.
int route_legs(const world& w, const unit* u);
// One step along the unit's route, before its kind's own step: passes
// reached waypoints and starts queued legs.
void follow_route(world& w, unit* u);
// After the unit's own step: a ground unit of this copy's side sent
// somewhere that has driven for a while without getting anywhere finds
// another way from where it stands (sim/route.cpp says how).
void watch_headway(world& w, unit* u, float dt);
// The unit is gone (or was given a plain order): its route goes too.
void forget_route(world& w, uint32_t id);
// The unit now goes by another id: its route follows it.
void renumber_route(world& w, uint32_t from, uint32_t to);
