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

#include <cstdint>
#include <vector>

struct unit;

struct waypoint {
    float x, z;
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
bool dry_ground(float x, float z);
// Every point of the straight segment is dry ground (sampled every unit).
bool dry_line(float x0, float z0, float x1, float z1);
// Rams, catapults and computer-driven soldiers: the units that routes serve.
bool is_ground_unit(const unit* u);

// A way from (x0, z0) to (x1, z1) over dry ground: the waypoints after the
// start, the last being (x1, z1) itself; just that one when the straight
// line is dry. -1 (and `out` empty) when no dry way reaches the point.
int find_dry_route(float x0, float z0, float x1, float z1, std::vector<waypoint>& out);
// Where a catapult at (x, z) should stand to throw at (tx, tz): on the line
// toward the point at the throwing range when that place is dry and the
// line to it too (`*straight` set), else the nearest dry ground in range
// that a dry route reaches, away from the spots `taken` by other catapults
// where there is room. -1 when there is none.
int catapult_throwing_spot(float x, float z, float tx, float tz, waypoint* spot, int* straight,
                           const std::vector<waypoint>& taken = {});

// Moves each of `places` that is under water, or on dry ground that no dry
// way joins to (tx, tz), to the nearest grid point that one does (one with
// dry ground all round where there is any). Places stay as they are when
// (tx, tz) itself is not on dry ground.
void keep_to_joined_ground(std::vector<waypoint>& places, float tx, float tz);
// The same toward the middle of the city's first gate: where the attackers'
// camp is made, none of it in the sea or cut off from the city.
void keep_to_ground_joined_to_gate(std::vector<waypoint>& places);

// Whether (x, z) lies at a gate's middle: rams sent to attack there line up
// on that gate and take places side by side across it.
bool at_a_gate(float x, float z);
// Applies an order to a unit of this copy's side, routed where needed.
// -1 (the unit keeps its order) when no dry way reaches the point.
int route_order(unit* u, float x, float z, int order_kind);
// Whether route_order would accept the order (for the copy that sends it).
bool order_reachable(const unit* u, float x, float z, int order_kind);
// Queues a move to (x, z) after the unit's current order and queued moves;
// an idle unit sets off at once. -1 when no dry way reaches it.
int queue_waypoint(unit* u, float x, float z);
// Number of legs still ahead of the unit, the current one included.
int route_legs(const unit* u);
// One step along the unit's route, before its kind's own step: passes
// reached waypoints and starts queued legs.
void follow_route(unit* u);
// After the unit's own step: a ground unit of this copy's side sent
// somewhere that has driven for a while without getting anywhere finds
// another way from where it stands (sim/route.cpp says how).
void watch_headway(unit* u, float dt);
// The unit is gone (or was given a plain order): its route goes too.
void forget_route(uint32_t id);
// The unit now goes by another id: its route follows it.
void renumber_route(uint32_t from, uint32_t to);
// A new game: no routes.
void reset_game_routes();
