#include "sim/route.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <queue>
#include <unordered_map>
#include <utility>

#include "sim/catapult.h"
#include "sim/game.h"
#include "sim/humanoid.h"
#include "sim/model_tree.h"
#include "sim/session.h"
#include "sim/sides.h"
#include "sim/terrain.h"
#include "sim/units.h"
#include "sim/walls.h"
#include "sim/world.h"

// --- the water rule -------------------------------------------------------------------

bool below_water_line(float y)
{
    return y < WATER_LEVEL;
}

bool held_by_water(const unit* u)
{
    return !u->on_water && !u->flying && below_water_line(u->y);
}

bool dry_ground(const terrain_state& t, float x, float z)
{
    if (!t.made)
        return true;  // no island yet: nothing to drown in
    return !below_water_line(get_terrain_height(t, x, z) + RIDE_HEIGHT);
}

bool dry_line(const terrain_state& t, float x0, float z0, float x1, float z1)
{
    if (!t.made)
        return true;
    // Both ends on dry ground lie on the map, so the samples are bounded
    // (a point from the network may lie anywhere).
    if (!dry_ground(t, x0, z0) || !dry_ground(t, x1, z1))
        return false;
    const float dx = x1 - x0, dz = z1 - z0;
    const float len = std::sqrt(dx * dx + dz * dz);
    if (!std::isfinite(len))
        return false;
    const int steps = static_cast<int>(std::ceil(len));
    for (int k = 0; k <= steps; ++k) {
        const float f = steps ? static_cast<float>(k) / static_cast<float>(steps) : 0.0f;
        if (!dry_ground(t, x0 + dx * f, z0 + dz * f))
            return false;
    }
    return true;
}

bool is_ground_unit(const world& w, const unit* u)
{
    if (u->on_water || u->flying || u->fixed)
        return false;
    if (u->kind == UNIT_CATAPULT || u->kind == UNIT_RAM)
        return true;
    if (computer_figure_side(w, u) >= 0)
        return true;  // the computer's figure walks by routes as its soldiers do
    return humanoid_kind_of(u) >= HUMANOID_FOOTMAN;
}

// --- the grid search ------------------------------------------------------------------

namespace {

constexpr int N = TERRAIN_SIZE;
constexpr int STEP = 10, DIAGONAL_STEP = 14;
// Entering a grid point next to water costs as much as three more steps:
// routes keep off the shore where they can, since units steer loosely.
constexpr int SHORE_COST = 30;
// Grid points this far out are beyond the carts' reach (they stay within
// 250 of the middle) and beyond the island anyway.
constexpr float EDGE = 248.0f;
// A leg keeps this much dry ground on either side and is no longer than
// this: units on a route are steered along their legs (below), but still
// drive within 10 degrees of where they are steered.
constexpr float CORRIDOR = 3.0f;
constexpr float MAX_LEG = 48.0f;
// Left to themselves (no route), units wander off their straight line by
// up to about this share of its length: an order whose straight line has
// water that close is followed as a route, along that same line.
constexpr float DRIFT = 0.1f;
// A unit on a route is steered at the point this far ahead of it on its
// leg, so it keeps within about two units of the leg.
constexpr float LEAD = 10.0f;
// A catapult's spot counts as in range this close to its throwing range
// (it throws within 2).
constexpr float RANGE_SLACK = 1.5f;
// Catapults sent at one point spread along the ring of their range: a spot
// this close to another catapult's is taken only when no other spot as far
// inland is left (the first to arrive would hold the others out of range).
constexpr float CATAPULT_SPACING = 8.0f;
// A unit this far from its leg (pushed by others, thrown back by the
// water) has lost its way and gets a new one from where it stands; the
// check runs this often.
constexpr float OFF_ROUTE = 8.0f;
constexpr float REPLAN_INTERVAL = 0.5f;
// Routes keep this far from the face of a closed wall (a body's radius and
// room to steer); it also makes the band of grid points a wall closes wider
// than a diagonal grid step, so no step of the search jumps a wall.
constexpr float WALL_ROOM = 2.0f;

using walls_t = std::vector<wall_stretch>;

// Whether the segment from p to q crosses the line of the stretch, drawn
// on past its ends by the towers' reach and a body's radius so that no way
// grazes a tower at a gate's side. A segment that only touches the line or
// ends on it does not cross (an order at a gate is one to drive up to it).
bool crosses(const wall_stretch& w, float px, float pz, float qx, float qz)
{
    auto side = [](float ax, float az, float bx, float bz, float cx, float cz) {
        return (bx - ax) * (cz - az) - (bz - az) * (cx - ax);
    };
    const float len = std::hypot(w.bx - w.ax, w.bz - w.az);
    const float e = len > 1e-3f ? (w.half * 1.2f + 1.0f) / len : 0.0f;
    const float ax = w.ax - (w.bx - w.ax) * e, az = w.az - (w.bz - w.az) * e;
    const float bx = w.bx + (w.bx - w.ax) * e, bz = w.bz + (w.bz - w.az) * e;
    const float d1 = side(ax, az, bx, bz, px, pz), d2 = side(ax, az, bx, bz, qx, qz);
    const float d3 = side(px, pz, qx, qz, ax, az), d4 = side(px, pz, qx, qz, bx, bz);
    auto apart = [](float a, float b) { return (a > 0.0f && b < 0.0f) || (a < 0.0f && b > 0.0f); };
    return apart(d1, d2) && apart(d3, d4);
}

// Dry ground all along the segment, and no closed wall across it.
bool open_line(world& w, const walls_t& walls, float x0, float z0, float x1, float z1)
{
    if (!dry_line(w.terrain, x0, z0, x1, z1))
        return false;
    for (const wall_stretch& ws : walls)
        if (crosses(ws, x0, z0, x1, z1))
            return false;
    return true;
}

float distance_to(const wall_stretch& w, float x, float z)
{
    const float dx = w.bx - w.ax, dz = w.bz - w.az;
    const float len2 = dx * dx + dz * dz;
    float t = len2 > 1e-6f ? ((x - w.ax) * dx + (z - w.az) * dz) / len2 : 0.0f;
    t = std::fmin(std::fmax(t, 0.0f), 1.0f);
    return std::hypot(x - (w.ax + dx * t), z - (w.az + dz * t));
}

float node_x(int n)
{
    return 4.0f * static_cast<float>(n % N) - 256.0f;
}
float node_z(int n)
{
    return 4.0f * static_cast<float>(n / N) - 256.0f;
}

// --- what the structures block ----------------------------------------------------------
//
// A body standing over the ground (its centre STANDING above it, of radius
// BODY: above a bridge's deck, at the height of its railings and of every
// wall and house) may not overlap a structure's model. For each grid point
// and each step to a neighbour, sampled every SAMPLE along the step, whether
// such a body overlaps one. The collision test per sample makes this too
// dear for every search (a fifth of a second for the whole island), so it
// is kept until the structures change: a world is built (other models), or
// a gate comes to rest at another tilt (lowered, raised or fallen), when
// only the ground the gate can reach is tested again. A gate still swinging
// keeps the tilt it was tested at.
constexpr float STANDING = 2.0f;
constexpr float BODY = 0.8f;
constexpr float SAMPLE = 0.5f;

const int STEP_DIRS[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
const int OPPOSITE_DIR[8] = {1, 0, 3, 2, 7, 6, 5, 4};

bool body_meets_structure(world& w, float x, float z)
{
    // (A face the body lies close behind counts as a hit without touching
    // it; only a face that pushes the body out is one it touches.)
    const float y = get_terrain_height(w.terrain, x, z) + STANDING;
    float p[3] = {x, y, z};
    const float still[3] = {0.0f, 0.0f, 0.0f};
    do_collision_check(w.structures, p, still, BODY, nullptr);
    return p[0] != x || p[1] != y || p[2] != z;
}

// A rectangle of grid points, corners included.
struct grid_rect {
    int i0, j0, i1, j1;
    bool holds(int i, int j) const { return i >= i0 && i <= i1 && j >= j0 && j <= j1; }
};

// Tests the grid points of `r` and the steps between two of them afresh.
// A step that leaves `r` keeps what it had: `r` reaches a step's length
// beyond the ground that changed, so neither its samples nor its outer end
// changed.
void test_structures(world& w, std::vector<unsigned short>& blocked, const grid_rect& r)
{
    auto inside = [](int i, int j) {
        return i >= 0 && j >= 0 && i < N && j < N && std::fabs(node_x(j * N + i)) <= EDGE &&
               std::fabs(node_z(j * N + i)) <= EDGE;
    };
    for (int j = r.j0; j <= r.j1; ++j)
        for (int i = r.i0; i <= r.i1; ++i) {
            if (!inside(i, j))
                continue;
            const int n = j * N + i;
            unsigned short kept = 0;
            for (int d = 0; d < 8; ++d)
                if (!r.holds(i + STEP_DIRS[d][0], j + STEP_DIRS[d][1]))
                    kept = static_cast<unsigned short>(kept | (blocked[static_cast<size_t>(n)] & (1u << d)));
            blocked[static_cast<size_t>(n)] = body_meets_structure(w, node_x(n), node_z(n)) ? 0x100 | kept : kept;
        }
    // A step and its way back share the points between their ends: each
    // pair is sampled once. A step is closed by those points or by a body
    // over the end it leads to.
    for (int j = r.j0; j <= r.j1; ++j)
        for (int i = r.i0; i <= r.i1; ++i) {
            if (!inside(i, j))
                continue;
            const int n = j * N + i;
            const float x = node_x(n), z = node_z(n);
            for (int d = 0; d < 8; ++d) {
                const int d_back = OPPOSITE_DIR[d];
                if (d_back < d)
                    continue;
                const int a = i + STEP_DIRS[d][0], b = j + STEP_DIRS[d][1];
                if (!inside(a, b) || !r.holds(a, b))
                    continue;
                const int m = b * N + a;
                const float dx = 4.0f * static_cast<float>(STEP_DIRS[d][0]);
                const float dz = 4.0f * static_cast<float>(STEP_DIRS[d][1]);
                const int samples = static_cast<int>(std::ceil(std::hypot(dx, dz) / SAMPLE));
                bool between = false;
                for (int k = 1; k < samples && !between; ++k) {
                    const float t = static_cast<float>(k) / static_cast<float>(samples);
                    between = body_meets_structure(w, x + dx * t, z + dz * t);
                }
                unsigned short& there = blocked[static_cast<size_t>(n)];
                unsigned short& back = blocked[static_cast<size_t>(m)];
                if (between || (back & 0x100))
                    there = static_cast<unsigned short>(there | (1u << d));
                if (between || (there & 0x100))
                    back = static_cast<unsigned short>(back | (1u << d_back));
            }
        }
}

// The grid points whose tests the gate starting at wall point i can change,
// whatever its tilt: the ground within its height (and a body) of the
// stretch, and a step's length more.
grid_rect gate_ground(world& w, size_t i)
{
    const wall_point& a = w.walls.points[i];
    const wall_point& b = w.walls.points[i + 1];
    const float reach = std::fmax(a.height, b.height) + std::fmax(a.thickness, b.thickness) + BODY + 8.0f;
    auto low = [](float v) { return std::clamp(static_cast<int>(std::floor((v + 256.0f) / 4.0f)), 0, N - 1); };
    auto high = [](float v) { return std::clamp(static_cast<int>(std::ceil((v + 256.0f) / 4.0f)), 0, N - 1); };
    return {low(std::fmin(a.x, b.x) - reach), low(std::fmin(a.z, b.z) - reach), high(std::fmax(a.x, b.x) + reach),
            high(std::fmax(a.z, b.z) + reach)};
}

float gate_tilt(world& w, size_t i)
{
    return i + 1 < static_cast<size_t>(w.walls.count()) && w.walls.points[i].gate ? w.walls.points[i].angle : 0.0f;
}

const std::vector<unsigned short>& structure_blocks(world& w)
{
    structure_cache& c = w.routes.structures;
    const int models = num_top_level_models(w.structures);
    const size_t points = static_cast<size_t>(std::max(w.walls.count(), 0));
    if (!c.valid || c.models != models || c.gate_tilts.size() != points) {
        c.valid = true;
        c.models = models;
        c.gate_tilts.assign(points, 0.0f);
        for (size_t i = 0; i < points; ++i)
            c.gate_tilts[i] = gate_tilt(w, i);
        c.blocked.assign(N * N, 0);
        if (models > 0)
            test_structures(w, c.blocked, {0, 0, N - 1, N - 1});
        return c.blocked;
    }
    for (size_t i = 0; i < points; ++i) {
        const wall_point& p = w.walls.points[i];
        if (gate_tilt(w, i) == c.gate_tilts[i] || p.angle != p.target)
            continue;
        c.gate_tilts[i] = gate_tilt(w, i);
        test_structures(w, c.blocked, gate_ground(w, i));
    }
    return c.blocked;
}

// Whether a body standing on the straight way from a to b meets a
// structure (sampled every SAMPLE).
bool structure_across(world& w, waypoint a, waypoint b)
{
    const float len = std::hypot(b.x - a.x, b.z - a.z);
    const int samples = static_cast<int>(std::ceil(len / SAMPLE));
    for (int k = 0; k <= samples; ++k) {
        const float t = samples ? static_cast<float>(k) / static_cast<float>(samples) : 0.0f;
        if (body_meets_structure(w, a.x + (b.x - a.x) * t, a.z + (b.z - a.z) * t))
            return true;
    }
    return false;
}

// Units standing in the way of one that finds a way round them: each a
// circle the unit's middle must keep out of (its radius and theirs).
struct standing_unit {
    float x, z, reach;
};
using standing_t = std::vector<standing_unit>;

// A grid point this much further from a standing unit is clear of it; a
// leg keeps this much further away.
constexpr float UNIT_ROOM = 1.0f;
constexpr float UNIT_LEG_ROOM = 0.25f;
// A way found anew goes round the standing units this near, and round a
// place where a structure held the unit, taken to reach this far before it.
constexpr float STANDING_REACH = 30.0f;
constexpr float HELD_AHEAD = 2.0f;

// Whether the straight way from a to b keeps clear of the standing units;
// one that a already touches does not count when the way leads away from
// it (a unit pressed against another backs off or turns aside), or, to the
// grid point a way sets off from, at all (a unit wedged among others slides
// out between them).
bool clear_of_units(const standing_t& units, waypoint a, waypoint b, bool setting_off = false)
{
    const float dx = b.x - a.x, dz = b.z - a.z;
    const float len2 = dx * dx + dz * dz;
    for (const standing_unit& o : units) {
        const float room = o.reach + UNIT_LEG_ROOM;
        const float ax = a.x - o.x, az = a.z - o.z;
        if (ax * ax + az * az < room * room && (setting_off || ax * dx + az * dz >= 0.0f))
            continue;
        float t = len2 > 1e-6f ? -(ax * dx + az * dz) / len2 : 0.0f;
        t = std::fmin(std::fmax(t, 0.0f), 1.0f);
        const float cx = ax + dx * t, cz = az + dz * t;
        if (cx * cx + cz * cz < room * room)
            return false;
    }
    return true;
}

// `dry`: a point a ground unit may stand on, on dry ground and clear of
// the closed walls (and of the standing units a way goes round); `shore`:
// one next to a point that is not. `blocked`: the steps the structures
// close (none when they are left out).
struct grid {
    std::vector<unsigned char> dry, shore;
    walls_t walls;
    const std::vector<unsigned short>* blocked = nullptr;
    standing_t units;
};

grid make_grid(world& w, const walls_t& walls, bool structures, const standing_t& units = {})
{
    grid g;
    g.walls = walls;
    g.units = units;
    if (structures)
        g.blocked = &structure_blocks(w);
    g.dry.assign(N * N, 0);
    g.shore.assign(N * N, 0);
    for (int n = 0; n < N * N; ++n) {
        const float x = node_x(n), z = node_z(n);
        if (std::fabs(x) > EDGE || std::fabs(z) > EDGE)
            continue;
        g.dry[static_cast<size_t>(n)] =
            !w.terrain.made || !below_water_line(w.terrain.height_map[n / N][n % N] + RIDE_HEIGHT) ? 1 : 0;
        if (g.blocked && ((*g.blocked)[static_cast<size_t>(n)] & 0x100))
            g.dry[static_cast<size_t>(n)] = 0;
    }
    for (const wall_stretch& ws : walls) {
        const float r = ws.half + WALL_ROOM;
        auto cell = [](float v) { return std::clamp(static_cast<int>(std::floor((v + 256.0f) / 4.0f)), 0, N - 1); };
        for (int j = cell(std::fmin(ws.az, ws.bz) - r); j <= cell(std::fmax(ws.az, ws.bz) + r) + 1 && j < N; ++j)
            for (int i = cell(std::fmin(ws.ax, ws.bx) - r); i <= cell(std::fmax(ws.ax, ws.bx) + r) + 1 && i < N; ++i)
                if (distance_to(ws, node_x(j * N + i), node_z(j * N + i)) < r)
                    g.dry[static_cast<size_t>(j * N + i)] = 0;
    }
    for (const standing_unit& o : units) {
        const float r = o.reach + UNIT_ROOM;
        auto cell = [](float v) { return std::clamp(static_cast<int>(std::floor((v + 256.0f) / 4.0f)), 0, N - 1); };
        for (int j = cell(o.z - r); j <= cell(o.z + r) + 1 && j < N; ++j)
            for (int i = cell(o.x - r); i <= cell(o.x + r) + 1 && i < N; ++i)
                if (std::hypot(node_x(j * N + i) - o.x, node_z(j * N + i) - o.z) < r)
                    g.dry[static_cast<size_t>(j * N + i)] = 0;
    }
    for (int n = 0; n < N * N; ++n) {
        const int i = n % N, j = n / N;
        for (int dj = -1; dj <= 1; ++dj)
            for (int di = -1; di <= 1; ++di) {
                const int a = i + di, b = j + dj;
                if (a < 0 || b < 0 || a >= N || b >= N || !g.dry[static_cast<size_t>(b * N + a)])
                    g.shore[static_cast<size_t>(n)] = 1;
            }
    }
    return g;
}

int octile(int a, int b)
{
    const int di = std::abs(a % N - b % N), dj = std::abs(a / N - b / N);
    return STEP * std::max(di, dj) + (DIAGONAL_STEP - STEP) * std::min(di, dj);
}

// Cheapest costs from `start` over dry grid points (to `goal` when it is
// not -1, settling no more than needed). Ties go to the lower grid index,
// so the outcome depends on nothing but the terrain and the two points.
bool search(const grid& g, int start, int goal, std::vector<int>& cost, std::vector<int>& from)
{
    cost.assign(N * N, INT_MAX);
    from.assign(N * N, -1);
    using item = std::pair<int, int>;  // estimated total, grid index
    std::priority_queue<item, std::vector<item>, std::greater<item>> open;
    auto estimate = [&](int n) { return goal < 0 ? 0 : octile(n, goal); };
    cost[static_cast<size_t>(start)] = 0;
    open.push({estimate(start), start});
    int settled = 0;
    while (!open.empty()) {
        const auto [f, n] = open.top();
        open.pop();
        if (f > cost[static_cast<size_t>(n)] + estimate(n))
            continue;  // already settled cheaper
        if (n == goal)
            return true;
        if (++settled > ROUTE_SEARCH_LIMIT)
            break;
        const int i = n % N, j = n / N;
        for (int k = 0; k < 8; ++k) {
            const int* d = STEP_DIRS[k];
            if (g.blocked && ((*g.blocked)[static_cast<size_t>(n)] & (1u << k)))
                continue;
            const int a = i + d[0], b = j + d[1];
            if (a < 0 || b < 0 || a >= N || b >= N)
                continue;
            const int m = b * N + a;
            if (!g.dry[static_cast<size_t>(m)])
                continue;
            const bool diagonal = d[0] && d[1];
            // A diagonal step crosses a cell: all four of its corners dry.
            if (diagonal && !(g.dry[static_cast<size_t>(j * N + a)] && g.dry[static_cast<size_t>(b * N + i)]))
                continue;
            const int c = cost[static_cast<size_t>(n)] + (diagonal ? DIAGONAL_STEP : STEP) +
                          (g.shore[static_cast<size_t>(m)] ? SHORE_COST : 0);
            if (c < cost[static_cast<size_t>(m)]) {
                cost[static_cast<size_t>(m)] = c;
                from[static_cast<size_t>(m)] = n;
                open.push({c + estimate(m), m});
            }
        }
    }
    return goal < 0;
}

// The dry grid point nearest to (x, z) (within `cells` grid steps) that a
// dry straight line joins to it; with `need_line` false any dry point does
// (for a unit already in the water, which the water pushes ashore).
int nearest_node(world& w, const grid& g, float x, float z, int cells, bool need_line)
{
    if (!(std::fabs(x) < 1000.0f && std::fabs(z) < 1000.0f))
        return -1;  // far off the map (or no number): no grid point near
    const int ci = static_cast<int>(std::floor((x + 256.0f) / 4.0f));
    const int cj = static_cast<int>(std::floor((z + 256.0f) / 4.0f));
    int best = -1;
    float best_d = 0.0f;
    for (int j = cj - cells + 1; j <= cj + cells; ++j)
        for (int i = ci - cells + 1; i <= ci + cells; ++i) {
            if (i < 0 || j < 0 || i >= N || j >= N || !g.dry[static_cast<size_t>(j * N + i)])
                continue;
            const int n = j * N + i;
            const float dx = node_x(n) - x, dz = node_z(n) - z;
            const float d = dx * dx + dz * dz;
            if (best >= 0 && !(d < best_d))
                continue;
            if (need_line && !(open_line(w, g.walls, x, z, node_x(n), node_z(n)) &&
                               clear_of_units(g.units, {x, z}, {node_x(n), node_z(n)}, true)))
                continue;
            best = n;
            best_d = d;
        }
    return best;
}

int start_node(world& w, const grid& g, float x, float z)
{
    return dry_ground(w.terrain, x, z) ? nearest_node(w, g, x, z, 2, true) : nearest_node(w, g, x, z, 6, false);
}

// A straight leg with dry ground `half` to either side of it, and no
// closed wall across.
bool dry_corridor(world& w, waypoint a, waypoint b, float half, const walls_t& walls)
{
    const float dx = b.x - a.x, dz = b.z - a.z;
    const float len = std::sqrt(dx * dx + dz * dz);
    if (len < 1e-3f)
        return true;
    const float px = -dz / len * half, pz = dx / len * half;
    return open_line(w, walls, a.x, a.z, b.x, b.z) && open_line(w, walls, a.x + px, a.z + pz, b.x + px, b.z + pz) &&
           open_line(w, walls, a.x - px, a.z - pz, b.x - px, b.z - pz);
}

float distance(waypoint a, waypoint b)
{
    return std::hypot(b.x - a.x, b.z - a.z);
}

// The grid path from the start position over `nodes` to the goal, with
// the points a straight dry leg can skip left out.
void straighten(world& w, const grid& g, const std::vector<waypoint>& pts, std::vector<waypoint>& out)
{
    out.clear();
    size_t cur = 0;
    while (cur + 1 < pts.size()) {
        size_t next = cur + 1;
        for (size_t j = pts.size() - 1; j > cur + 1; --j)
            if (distance(pts[cur], pts[j]) <= MAX_LEG && dry_corridor(w, pts[cur], pts[j], CORRIDOR, g.walls) &&
                clear_of_units(g.units, pts[cur], pts[j]) && !(g.blocked && structure_across(w, pts[cur], pts[j]))) {
                next = j;
                break;
            }
        out.push_back(pts[next]);
        cur = next;
    }
}

} // namespace

namespace {

int route_between(world& w, const walls_t& walls, bool structures, const standing_t& units, float x0, float z0, float x1,
                  float z1, std::vector<waypoint>& out)
{
    out.clear();
    if (open_line(w, walls, x0, z0, x1, z1) && clear_of_units(units, {x0, z0}, {x1, z1}) &&
        !(structures && structure_across(w, {x0, z0}, {x1, z1}))) {
        out.push_back({x1, z1});
        return 0;
    }
    if (!dry_ground(w.terrain, x1, z1))
        return -1;
    const grid g = make_grid(w, walls, structures, units);
    const int start = start_node(w, g, x0, z0);
    const int goal = nearest_node(w, g, x1, z1, 2, true);
    if (start < 0 || goal < 0)
        return -1;
    std::vector<int> cost, from;
    if (!search(g, start, goal, cost, from))
        return -1;
    std::vector<waypoint> pts;
    for (int n = goal; n >= 0; n = from[static_cast<size_t>(n)])
        pts.push_back({node_x(n), node_z(n)});
    pts.push_back({x0, z0});
    std::reverse(pts.begin(), pts.end());
    pts.push_back({x1, z1});
    straighten(w, g, pts, out);
    return 0;
}

} // namespace

namespace {

int through_open_gate(world& w, const walls_t& walls, float x0, float z0, float x1, float z1, std::vector<waypoint>& out);

// find_dry_route, round the standing units where a way does (else as if
// they were not there). `kept_clear`: only a way that keeps clear of the
// structures, none where the ground alone would allow one.
int dry_route(world& w, float x0, float z0, float x1, float z1, std::vector<waypoint>& out, const standing_t& units,
              bool kept_clear = false)
{
    out.clear();
    if (!std::isfinite(x0) || !std::isfinite(z0) || !std::isfinite(x1) || !std::isfinite(z1))
        return -1;
    // Through the gates where they stand open; where no way leads past the
    // walls (the gates are shut), the way the water alone allows, which
    // ends at the wall.
    const walls_t walls = closed_wall_stretches(w.walls);
    if (num_top_level_models(w.structures) > 0) {
        if (!units.empty() && route_between(w, walls, true, units, x0, z0, x1, z1, out) == 0)
            return 0;
        if (route_between(w, walls, true, {}, x0, z0, x1, z1, out) == 0)
            return 0;
        if (through_open_gate(w, walls, x0, z0, x1, z1, out) == 0)
            return 0;
    }
    if (kept_clear)
        return -1;
    if (!units.empty() && route_between(w, {}, false, units, x0, z0, x1, z1, out) == 0)
        return 0;
    return route_between(w, {}, false, {}, x0, z0, x1, z1, out);
}

} // namespace

int find_dry_route(world& w, float x0, float z0, float x1, float z1, std::vector<waypoint>& out)
{
    return dry_route(w, x0, z0, x1, z1, out, {});
}

static int throwing_spot(world& w, const walls_t& walls, float x, float z, float tx, float tz, waypoint* spot, int* straight,
                         const std::vector<waypoint>& taken)
{
    *straight = 0;
    if (!std::isfinite(x) || !std::isfinite(z) || !std::isfinite(tx) || !std::isfinite(tz))
        return -1;
    const float target_ground = get_terrain_height(w.terrain, tx, tz);
    // Where the catapult, aiming from here, stops: on the line toward the
    // point, at the range thrown from the ground there.
    float dx = x - tx, dz = z - tz;
    const float d = std::hypot(dx, dz);
    if (d < 1e-3f) {
        dx = 0.0f;
        dz = 1.0f;
    } else {
        dx /= d;
        dz /= d;
    }
    waypoint s{x, z};
    float range = 0.0f;
    for (int k = 0; k < 3; ++k) {
        range = predicted_catapult_range(get_terrain_height(w.terrain, s.x, s.z) + RIDE_HEIGHT, target_ground);
        s = {tx + dx * range, tz + dz * range};
    }
    if (range > 0.0f && dry_ground(w.terrain, s.x, s.z) && open_line(w, walls, x, z, s.x, s.z)) {
        *spot = s;
        *straight = 1;
        return 0;
    }
    if (!(range > 0.0f))
        s = {x, z};
    // Else the dry ground in range nearest to that place, among what a dry
    // route reaches; ground with dry ground all round first, since the
    // catapult still rolls a little along its aim to find the range.
    const grid g = make_grid(w, walls, !walls.empty());
    const int start = start_node(w, g, x, z);
    if (start < 0)
        return -1;
    std::vector<int> cost, from;
    search(g, start, -1, cost, from);
    int best = -1;
    bool best_inland = false, best_free = false;
    float best_d = 0.0f;
    for (int n = 0; n < N * N; ++n) {
        if (cost[static_cast<size_t>(n)] == INT_MAX)
            continue;
        const float nx = node_x(n), nz = node_z(n);
        const float r = predicted_catapult_range(w.terrain.made ? w.terrain.height_map[n / N][n % N] + RIDE_HEIGHT : RIDE_HEIGHT,
                                                 target_ground);
        if (!(std::fabs(r - std::hypot(nx - tx, nz - tz)) < RANGE_SLACK))
            continue;
        const bool inland = !g.shore[static_cast<size_t>(n)];
        const bool free = std::none_of(taken.begin(), taken.end(), [&](const waypoint& t) {
            return std::hypot(nx - t.x, nz - t.z) < CATAPULT_SPACING;
        });
        const float dd = (nx - s.x) * (nx - s.x) + (nz - s.z) * (nz - s.z);
        if (best < 0 || (inland && !best_inland) ||
            (inland == best_inland && ((free && !best_free) || (free == best_free && dd < best_d)))) {
            best = n;
            best_inland = inland;
            best_free = free;
            best_d = dd;
        }
    }
    if (best < 0)
        return -1;
    *spot = {node_x(best), node_z(best)};
    return 0;
}

int catapult_throwing_spot(world& w, float x, float z, float tx, float tz, waypoint* spot, int* straight,
                           const std::vector<waypoint>& taken)
{
    const walls_t walls = closed_wall_stretches(w.walls);
    if (!walls.empty() && throwing_spot(w, walls, x, z, tx, tz, spot, straight, taken) == 0)
        return 0;
    return throwing_spot(w, {}, x, z, tx, tz, spot, straight, taken);
}

// Places moved onto joined ground keep this far apart where they can.
constexpr float PLACES_APART = 6.0f;

void keep_to_joined_ground(world& w, std::vector<waypoint>& places, float tx, float tz)
{
    if (!w.terrain.made || !dry_ground(w.terrain, tx, tz))
        return;
    const grid g = make_grid(w, {}, false);
    const int start = nearest_node(w, g, tx, tz, 2, true);
    if (start < 0)
        return;
    std::vector<int> cost, from;
    search(g, start, -1, cost, from);
    for (size_t k = 0; k < places.size(); ++k) {
        waypoint& p = places[k];
        const int here = nearest_node(w, g, p.x, p.z, 2, false);
        if (dry_ground(w.terrain, p.x, p.z) && here >= 0 && cost[static_cast<size_t>(here)] != INT_MAX)
            continue;
        // The nearest joined grid point with dry ground all round, else the
        // nearest joined one; apart from the places before it where there
        // is room.
        int best = -1;
        bool best_inland = false, best_apart = false;
        float best_d = 0.0f;
        for (int n = 0; n < N * N; ++n) {
            if (cost[static_cast<size_t>(n)] == INT_MAX)
                continue;
            const bool inland = !g.shore[static_cast<size_t>(n)];
            const bool apart = std::none_of(places.begin(), places.begin() + static_cast<std::ptrdiff_t>(k),
                                            [&](const waypoint& q) {
                                                return std::hypot(node_x(n) - q.x, node_z(n) - q.z) < PLACES_APART;
                                            });
            const float d = std::hypot(node_x(n) - p.x, node_z(n) - p.z);
            if (best < 0 || (inland && !best_inland) ||
                (inland == best_inland && ((apart && !best_apart) || (apart == best_apart && d < best_d)))) {
                best = n;
                best_inland = inland;
                best_apart = apart;
                best_d = d;
            }
        }
        if (best >= 0)
            p = {node_x(best), node_z(best)};
    }
}

void keep_to_ground_joined_to_gate(world& w, std::vector<waypoint>& places)
{
    for (int i = 0; i + 1 < w.walls.count(); ++i) {
        const wall_point& a = w.walls.points[static_cast<size_t>(i)];
        const wall_point& b = w.walls.points[static_cast<size_t>(i) + 1];
        if (a.gate) {
            keep_to_joined_ground(w, places, (a.x + b.x) / 2.0f, (a.z + b.z) / 2.0f);
            return;
        }
    }
}

// --- routes of units ------------------------------------------------------------------

namespace {

// Ways found anew for units that get nowhere, at the most in one frame (a
// crowd pressing on can hold many at once; the others try again later),
// and how many the frame of `w.routes.budget_time` found.
constexpr int STUCK_PLANS_PER_FRAME = 4;

void new_budget_frame(world& w)
{
    if (w.time != w.routes.budget_time) {
        w.routes.budget_time = w.time;
        w.routes.planned = 0;
        w.routes.stuck_planned = 0;
    }
}

bool within_budget(world& w)
{
    new_budget_frame(w);
    if (++w.routes.planned <= ROUTE_ORDERS_PER_FRAME)
        return true;
    if (w.routes.planned == ROUTE_ORDERS_PER_FRAME + 1)
        fprintf(stderr, "more than %d orders to plan in one frame; the rest are refused\n", ROUTE_ORDERS_PER_FRAME);
    return false;
}

// The units within `reach` of u that stand (or get nowhere themselves), as
// circles u keeps out of; not those on the water or in the air.
standing_t standing_units_near(world& w, const unit* u, float reach)
{
    standing_t out;
    for (const unit* o = w.units.list; o; o = o->next) {
        if (o == u || o->flying || o->on_water || !(std::hypot(o->x - u->x, o->z - u->z) < reach))
            continue;
        const bool idle = (o->order_kind == ORDER_NONE || o->order_kind == ORDER_HOLD) && steered_here(w, o);
        if (idle || (o->vx == 0.0f && o->vz == 0.0f) || o->stalled_for > 0.0f)
            out.push_back({o->x, o->z, o->radius + u->radius});
    }
    return out;
}

// --- rams at a gate -------------------------------------------------------------------
//
// A ram sent at a gate lines up before it: it drives to a point straight
// out from the gate, on the side it comes from, and from there straight at
// the gate, along the bridge that may lie before it (whose railings would
// hold a ram coming at the gate from aside). The point lies GATE_APPROACH
// out where the ground allows, else as far out as there is dry ground all
// the way in (before some gates the island falls to the water just beyond
// the bridge's end). Rams sent at one gate take places side by side across
// it where there is room, since a ram that stands behind another strikes
// nothing.
constexpr float GATE_APPROACH = 50.0f;
constexpr float GATE_APPROACH_MIN = 12.0f;
constexpr float GATE_APPROACH_STEP = 2.0f;
constexpr float AT_GATE = 8.0f;
constexpr float GATE_SLOT = 4.0f;
// A ram this close to the line in of its place is on it already.
constexpr float ON_LANE = 1.5f;

// A gate seen from one side: its middle, the way out from it toward that
// side and the way along it (unit vectors), half its length and how far its
// face stands from its middle line.
struct gate_front {
    int index;
    float mx, mz, nx, nz, ax, az;
    float half, face;
};

// The gate whose middle lies within AT_GATE of (x, z), seen from (sx, sz).
bool gate_near(const world& w, float x, float z, float sx, float sz, gate_front& g)
{
    for (int i = 0; i + 1 < w.walls.count(); ++i) {
        const wall_point& a = w.walls.points[static_cast<size_t>(i)];
        const wall_point& b = w.walls.points[static_cast<size_t>(i) + 1];
        const float mx = (a.x + b.x) / 2.0f, mz = (a.z + b.z) / 2.0f;
        if (!a.gate || !(std::hypot(x - mx, z - mz) <= AT_GATE))
            continue;
        const float len = std::hypot(b.x - a.x, b.z - a.z);
        if (!(len > 1e-3f))
            continue;
        g.index = i;
        g.mx = mx;
        g.mz = mz;
        g.ax = (b.x - a.x) / len;
        g.az = (b.z - a.z) / len;
        g.nx = -g.az;
        g.nz = g.ax;
        if ((sx - mx) * g.nx + (sz - mz) * g.nz < 0.0f) {
            g.nx = -g.nx;
            g.nz = -g.nz;
        }
        g.half = len / 2.0f;
        g.face = std::fmax(a.thickness, b.thickness) / 2.0f;
        return true;
    }
    return false;
}

// The point `across` along the gate from its middle and `out` before it.
waypoint gate_point(const gate_front& g, float across, float out)
{
    return {g.mx + g.ax * across + g.nx * out, g.mz + g.az * across + g.nz * out};
}

float across_of(const gate_front& g, float x, float z)
{
    return (x - g.mx) * g.ax + (z - g.mz) * g.az;
}

float out_of(const gate_front& g, float x, float z)
{
    return (x - g.mx) * g.nx + (z - g.mz) * g.nz;
}

// The height at which a ram's body is tried before a gate: riding just
// clear of a bridge's deck.
float ram_body_y(world& w, float x, float z, float radius)
{
    return (w.terrain.made ? get_terrain_height(w.terrain, x, z) : 0.0f) + radius + 0.6f;
}

// Whether a ram of `radius` pressed against the gate at `across` strikes the
// gate itself (not a tower or the wall beside it, which a blow would meet
// first), and finds room before it, from its face out to a ram's length or
// two: no tower or railing within reach of its sides.
bool gate_place_clear(world& w, const gate_front& g, float across, float radius)
{
    const model_node* gate = get_top_level_model(w.structures, w.walls.points[static_cast<size_t>(g.index)].model_id);
    const float still[3] = {0.0f, 0.0f, 0.0f};
    // (A ram steers within a unit or so of its line.)
    for (float aside : {-1.0f, 0.0f, 1.0f}) {
        const waypoint at = gate_point(g, across + aside, g.face + radius - 0.1f);
        float p[3] = {at.x, ram_body_y(w, at.x, at.z, radius), at.z};
        model_node* struck = nullptr;
        do_collision_check(w.structures, p, still, radius, &struck);
        if (!gate || struck != gate)
            return false;
    }
    for (int k = 0; k < 4; ++k) {
        const waypoint at = gate_point(g, across, g.face + radius + 1.0f + 3.0f * static_cast<float>(k));
        const float y = ram_body_y(w, at.x, at.z, radius + 0.5f);
        float q[3] = {at.x, y, at.z};
        do_collision_check(w.structures, q, still, radius + 0.5f, nullptr);
        if (q[0] != at.x || q[1] != y || q[2] != at.z)
            return false;
    }
    return true;
}

// The places across the gate where rams of `radius` can press it side by
// side: as many as fit, GATE_SLOT apart, tried every half unit along it.
std::vector<float> gate_places(world& w, const gate_front& g, float radius)
{
    std::vector<float> places;
    for (float across = -g.half; across <= g.half; across += 0.5f)
        if ((places.empty() || across >= places.back() + GATE_SLOT) && gate_place_clear(w, g, across, radius))
            places.push_back(across);
    return places;
}

// A place along the gate that another of the side's rams holds: where it
// stands at the gate (rank 0), or the end of its way there when it is
// nearer the gate than the ram that looks for a place (1) or further (2).
struct gate_claim {
    float across;
    int rank;
};
std::vector<gate_claim> gate_claims(world& w, const unit* u, const gate_front& g, float sx, float sz);

// The place across the gate for the ram at (sx, sz), among those where it
// strikes the gate with room before it: one no other ram holds, else one
// that a ram further off is on its way to (this one comes first), the
// nearest to the ram's own line among them; the middle when there is no
// such place. Where something stands in `units` right before the gate (a
// place where a structure held the ram, which a place's trial missed), the
// place counts as held.
float gate_place(world& w, const unit* u, const gate_front& g, float sx, float sz, const standing_t& units)
{
    std::vector<gate_claim> claims = gate_claims(w, u, g, sx, sz);
    for (const standing_unit& o : units)
        if (std::fabs(out_of(g, o.x, o.z)) <= g.face + u->radius + HELD_AHEAD &&
            std::fabs(across_of(g, o.x, o.z)) <= g.half)
            claims.push_back({across_of(g, o.x, o.z), 0});
    const float own = across_of(g, sx, sz);
    float best = 0.0f;
    int best_rank = -1;
    float best_d = 0.0f;
    for (float across : gate_places(w, g, u->radius)) {
        int rank = 3;
        for (const gate_claim& c : claims)
            if (std::fabs(c.across - across) < GATE_SLOT * 0.75f)
                rank = std::min(rank, c.rank);
        const float d = std::fabs(own - across);
        if (rank > best_rank || (rank == best_rank && d < best_d)) {
            best = across;
            best_rank = rank;
            best_d = d;
        }
    }
    return best;
}

// The point to line up on before the gate's place `across`: the farthest
// out (up to GATE_APPROACH) that is dry with dry ground all the way in.
bool gate_line_up(world& w, const gate_front& g, float across, waypoint& out)
{
    const waypoint face = gate_point(g, across, g.face);
    for (float d = GATE_APPROACH; d >= GATE_APPROACH_MIN; d -= GATE_APPROACH_STEP) {
        const waypoint p = gate_point(g, across, d);
        if (dry_ground(w.terrain, p.x, p.z) && dry_line(w.terrain, p.x, p.z, face.x, face.z)) {
            out = p;
            return true;
        }
    }
    return false;
}

// Points beside the line-up point `before` of the gate `g`, nearest first,
// from which a body drives straight to it (dry ground, no structure across):
// where a bridge's railings reach the water's edge, its deck is entered
// from the bank below a railing's end, between the grid's points. The first
// that `take` accepts is kept in `out`.
template <class F>
bool beside_line_up(world& w, const gate_front& g, waypoint before, F&& take, waypoint& out)
{
    for (float aside = 4.0f; aside <= 20.0f; aside += 2.0f)
        for (float away : {0.0f, 2.0f, 4.0f})
            for (float sign : {-1.0f, 1.0f}) {
                const waypoint p{before.x + g.ax * sign * aside + g.nx * away,
                                 before.z + g.az * sign * aside + g.nz * away};
                if (dry_line(w.terrain, p.x, p.z, before.x, before.z) && !structure_across(w, p, before) && take(p)) {
                    out = p;
                    return true;
                }
            }
    return false;
}

// Whether the grid's ways from the point whose costs `cost` holds reach a
// grid point beside (x, z).
bool reached(world& w, const grid& reach, const std::vector<int>& cost, waypoint p)
{
    const int n = nearest_node(w, reach, p.x, p.z, 1, true);
    return n >= 0 && cost[static_cast<size_t>(n)] != INT_MAX;
}

// Where the way in before a gate is closed to the grid's ways, a way clear
// of the structures from (sx, sz) to the nearest point beside the line-up
// point `before` that such a way reaches and from which the ram drives
// straight to it.
bool gate_entry(world& w, const gate_front& g, waypoint before, float sx, float sz, const standing_t& units,
                std::vector<waypoint>& way)
{
    const grid reach = make_grid(w, closed_wall_stretches(w.walls), true, units);
    const int start = start_node(w, reach, sx, sz);
    if (start < 0)
        return false;
    std::vector<int> cost, from;
    search(reach, start, -1, cost, from);
    waypoint p;
    return beside_line_up(w, 
        g, before,
        [&](waypoint q) { return reached(w, reach, cost, q) && dry_route(w, sx, sz, q.x, q.z, way, units, true) == 0; }, p);
}

// The way of a ram at (sx, sz) sent at the gate: to the line-up point of its
// place, kept when the way is planned anew, then in. A ram on the line in
// already drives straight in; one standing right before the gate (held
// behind another) moves across to its place first. False when there is no
// point to line up on, or no dry way to it.
bool plan_gate_attack(world& w, const unit* u, float sx, float sz, const gate_front& g, const standing_t& units,
                      route_leg& leg)
{
    const float across = gate_place(w, u, g, sx, sz, units);
    waypoint before;
    if (!gate_line_up(w, g, across, before))
        return false;
    const waypoint press = gate_point(g, across, 0.0f);
    leg.points.clear();
    leg.gx = press.x;
    leg.gz = press.z;
    leg.drive_kind = leg.final_kind = ORDER_ATTACK;
    const float out = out_of(g, sx, sz), side = across_of(g, sx, sz);
    const float lined_up = out_of(g, before.x, before.z) + WAYPOINT_REACH;
    if (out > g.face && out <= lined_up && std::fabs(side - across) < ON_LANE) {
        leg.points.push_back(press);
        return true;
    }
    const waypoint beside = gate_point(g, across, out);
    if (out > g.face && out < GATE_APPROACH_MIN && std::fabs(side) < g.half &&
        open_line(w, closed_wall_stretches(w.walls), sx, sz, beside.x, beside.z) && clear_of_units(units, {sx, sz}, beside)) {
        leg.points = {beside, press};
        return true;
    }
    if (dry_route(w, sx, sz, before.x, before.z, leg.points, units, true) == 0) {
        leg.kept_from = leg.points.size() - 1;
    } else if (gate_entry(w, g, before, sx, sz, units, leg.points)) {
        leg.kept_from = leg.points.size() - 1;
        leg.points.push_back(before);
    } else if (dry_route(w, sx, sz, before.x, before.z, leg.points, units) == 0) {
        leg.kept_from = leg.points.size() - 1;
    } else {
        return false;
    }
    leg.points.push_back(press);
    return true;
}

// The way from the grid's ways onto the line out through the middle of the
// gate `g` on its side: the nearest point on it that the grid's ways from
// the point whose costs `cost` holds reach; where they reach none (a bridge
// before the gate), a point beside its line-up point that they reach, then
// that point. Empty when there is neither.
std::vector<waypoint> onto_gate_line(world& w, const grid& reach, const gate_front& g, const std::vector<int>& cost)
{
    const waypoint face = gate_point(g, 0.0f, g.face);
    for (float d = g.face + WAYPOINT_REACH; d <= GATE_APPROACH; d += GATE_APPROACH_STEP) {
        const waypoint p = gate_point(g, 0.0f, d);
        if (!dry_line(w.terrain, p.x, p.z, face.x, face.z))
            break;
        if (reached(w, reach, cost, p))
            return {p};
    }
    waypoint before, p;
    if (gate_line_up(w, g, 0.0f, before) &&
        beside_line_up(w, g, before, [&](waypoint q) { return reached(w, reach, cost, q); }, p))
        return {p, before};
    return {};
}

// Where the grid's ways lead through no open gate (a bridge before it whose
// deck they cannot step onto, as above), a way straight through the middle
// of one: onto its line on the start's side, through, and off its line on
// the goal's side.
int through_open_gate(world& w, const walls_t& walls, float x0, float z0, float x1, float z1, std::vector<waypoint>& out)
{
    out.clear();
    bool any_open = false;
    for (int i = 0; i + 1 < w.walls.count(); ++i)
        any_open = any_open || gate_stands_open(w.walls.points[static_cast<size_t>(i)]);
    if (!any_open)
        return -1;
    const grid reach = make_grid(w, walls, true);
    const int start = start_node(w, reach, x0, z0);
    const int goal = nearest_node(w, reach, x1, z1, 2, true);
    if (start < 0 || goal < 0)
        return -1;
    std::vector<int> from_start, from_goal, unused;
    search(reach, start, -1, from_start, unused);
    search(reach, goal, -1, from_goal, unused);
    for (int i = 0; i + 1 < w.walls.count(); ++i) {
        const wall_point& a = w.walls.points[static_cast<size_t>(i)];
        const wall_point& b = w.walls.points[static_cast<size_t>(i) + 1];
        gate_front near, far;
        if (!gate_stands_open(a) || !gate_near(w, (a.x + b.x) / 2.0f, (a.z + b.z) / 2.0f, x0, z0, near))
            continue;
        for (int flip = 0; flip < 2; ++flip) {
            if (flip) {
                near.nx = -near.nx;
                near.nz = -near.nz;
            }
            far = near;
            far.nx = -near.nx;
            far.nz = -near.nz;
            const std::vector<waypoint> in = onto_gate_line(w, reach, near, from_start);
            const std::vector<waypoint> on = onto_gate_line(w, reach, far, from_goal);
            std::vector<waypoint> last;
            if (in.empty() || on.empty() || route_between(w, walls, true, {}, x0, z0, in[0].x, in[0].z, out) != 0 ||
                route_between(w, walls, true, {}, on[0].x, on[0].z, x1, z1, last) != 0)
                continue;
            out.insert(out.end(), in.begin() + 1, in.end());
            out.insert(out.end(), on.rbegin(), on.rend());
            out.insert(out.end(), last.begin(), last.end());
            return 0;
        }
    }
    out.clear();
    return -1;
}

// Where the side's other catapults throw from or are on their way to throw
// from: the ends of their routes, and where those without one stand
// attacking.
std::vector<waypoint> catapult_spots_taken(world& w, const unit* u)
{
    std::vector<waypoint> taken;
    for (const unit* o = w.units.list; o; o = o->next) {
        if (o == u || o->kind != UNIT_CATAPULT || o->team != u->team)
            continue;
        auto it = w.routes.legs.find(o->id);
        if (it != w.routes.legs.end() && !it->second.empty()) {
            if (it->second.back().final_kind == ORDER_ATTACK)
                taken.push_back(it->second.back().points.back());
        } else if (o->order_kind == ORDER_ATTACK) {
            taken.push_back({o->x, o->z});
        }
    }
    return taken;
}

std::vector<gate_claim> gate_claims(world& w, const unit* u, const gate_front& g, float sx, float sz)
{
    std::vector<gate_claim> claims;
    auto at_gate = [&](float x, float z) {
        return std::fabs(out_of(g, x, z)) <= AT_GATE && std::fabs(across_of(g, x, z)) <= g.half + AT_GATE;
    };
    const float own = std::hypot(sx - g.mx, sz - g.mz);
    for (const unit* o = w.units.list; o; o = o->next) {
        if (o == u || o->kind != UNIT_RAM || o->team != u->team)
            continue;
        auto it = w.routes.legs.find(o->id);
        float tx = o->order_x, tz = o->order_z;
        bool attacking = o->order_kind == ORDER_ATTACK;
        if (it != w.routes.legs.end() && !it->second.empty()) {
            tx = it->second.back().gx;
            tz = it->second.back().gz;
            attacking = it->second.back().final_kind == ORDER_ATTACK;
        }
        if (std::fabs(out_of(g, o->x, o->z)) <= g.face + o->radius + 3.0f && at_gate(o->x, o->z))
            claims.push_back({across_of(g, o->x, o->z), 0});
        else if (attacking && at_gate(tx, tz))
            claims.push_back({across_of(g, tx, tz), std::hypot(o->x - g.mx, o->z - g.mz) < own ? 1 : 2});
    }
    return claims;
}

// Plans the way for one order from (sx, sz), round the standing `units`
// where a way does; `plain` when the kind's own straight driving does it.
// -1 when no dry way reaches the point.
int plan_leg(world& w, const unit* u, float sx, float sz, float x, float z, int order_kind, route_leg& leg, bool& plain,
             const standing_t& units = {})
{
    plain = true;
    if (!is_ground_unit(w, u) || (order_kind != ORDER_MOVE && order_kind != ORDER_ATTACK))
        return 0;
    if (!within_budget(w))
        return -1;
    leg.gx = x;
    leg.gz = z;
    if (u->kind == UNIT_CATAPULT && order_kind == ORDER_ATTACK) {
        waypoint spot;
        int straight = 0;
        if (catapult_throwing_spot(w, sx, sz, x, z, &spot, &straight, catapult_spots_taken(w, u)) != 0)
            return -1;
        if (straight)
            return 0;
        if (dry_route(w, sx, sz, spot.x, spot.z, leg.points, units) != 0)
            return -1;
        leg.drive_kind = ORDER_MOVE;
        leg.final_kind = ORDER_ATTACK;
        plain = false;
        return 0;
    }
    gate_front g;
    if (u->kind == UNIT_RAM && order_kind == ORDER_ATTACK && gate_near(w, x, z, sx, sz, g) &&
        !w.walls.points[static_cast<size_t>(g.index)].broken && plan_gate_attack(w, u, sx, sz, g, units, leg)) {
        plain = false;
        return 0;
    }
    if (dry_route(w, sx, sz, x, z, leg.points, units) != 0)
        return -1;
    leg.drive_kind = leg.final_kind = order_kind;
    const waypoint a{sx, sz}, b{x, z};
    plain = leg.points.size() == 1 &&
            dry_corridor(w, a, b, std::fmax(CORRIDOR, DRIFT * distance(a, b)), closed_wall_stretches(w.walls));
    return 0;
}

// The point LEAD ahead of the unit on the way from `from` to `to` (`to`
// itself when that is nearer).
waypoint lead_point(const unit* u, waypoint from, waypoint to)
{
    const float dx = to.x - from.x, dz = to.z - from.z;
    const float len = std::sqrt(dx * dx + dz * dz);
    if (!(len > 1e-3f))
        return to;
    const float along = ((u->x - from.x) * dx + (u->z - from.z) * dz) / len + LEAD;
    if (!(along < len))
        return to;
    const float t = std::fmax(along, 0.0f) / len;
    return {from.x + dx * t, from.z + dz * t};
}

// Sets off from `from` toward the leg's next waypoint.
void aim_at(unit* u, route_leg& leg, waypoint from)
{
    leg.from = from;
    const waypoint w = lead_point(u, leg.from, leg.points[leg.next]);
    order_specific_unit(u, w.x, w.z, leg.drive_kind);
}

float distance2(const unit* u, const waypoint& w)
{
    const float dx = w.x - u->x, dz = w.z - u->z;
    return dx * dx + dz * dz;
}

// How far the unit stands from the straight way between a and b.
float off_leg(const unit* u, waypoint a, waypoint b)
{
    const float dx = b.x - a.x, dz = b.z - a.z;
    const float len2 = dx * dx + dz * dz;
    float t = len2 > 1e-6f ? ((u->x - a.x) * dx + (u->z - a.z) * dz) / len2 : 0.0f;
    t = std::fmin(std::fmax(t, 0.0f), 1.0f);
    return std::sqrt(distance2(u, {a.x + dx * t, a.z + dz * t}));
}

// What a way found anew for u goes round: the units standing near it, and
// the places where a structure held it on this leg.
standing_t in_the_way(world& w, const unit* u, const route_leg& leg)
{
    standing_t units = standing_units_near(w, u, STANDING_REACH);
    for (const waypoint& held : leg.held_at)
        units.push_back({held.x, held.z, u->radius + HELD_AHEAD});
    return units;
}

// A unit off its way (and not off it to fight: an attack chases whom it
// sees) is given a new way from where it stands to the leg's end. When the
// frame's planning is spent, or no dry way is found from here (the water
// is still pushing it ashore), it keeps its way and is checked again later.
void replan_if_lost(world& w, unit* u, route_leg& leg)
{
    if (w.time < leg.next_check)
        return;
    leg.next_check = w.time + REPLAN_INTERVAL;
    if (u->target_seen && u->attack_target)
        return;
    if (!held_by_water(u) && off_leg(u, leg.from, leg.points[leg.next]) <= OFF_ROUTE)
        return;
    if (!within_budget(w))
        return;
    // A new way to the leg's end, or to the first of the waypoints kept.
    size_t head = leg.points.size() - 1;
    if (leg.kept_from < head && leg.next <= leg.kept_from)
        head = leg.kept_from;
    const waypoint end = leg.points[head];
    std::vector<waypoint> way;
    if (dry_route(w, u->x, u->z, end.x, end.z, way, in_the_way(w, u, leg)) != 0)
        return;
    leg.kept_from = head < leg.points.size() - 1 ? way.size() - 1 : SIZE_MAX;
    way.insert(way.end(), leg.points.begin() + static_cast<std::ptrdiff_t>(head) + 1, leg.points.end());
    leg.points = std::move(way);
    leg.next = 0;
    aim_at(u, leg, {u->x, u->z});
}

// --- units that get nowhere -----------------------------------------------------------
//
// A unit sent somewhere that drives on for STUCK_AFTER seconds without
// getting STILL_REACH from where it was (held by units standing in its way,
// by a tower or a railing, by a bank it cannot climb) finds another way from
// where it stands: round the units standing near it and the places where a
// structure held it, and a ram sent at a gate lines up on it anew, at a
// place across it that no other ram holds. Found stuck again near the same
// place, it first steps aside, and the idle units of its side in front of
// it step off its line. A move held within WAYPOINT_REACH of its end has
// come as near as it can, and ends there. Nothing here draws from the
// game's random numbers: the same seed and orders give the same siege.
constexpr float STILL_REACH = 1.0f;
constexpr float STUCK_AFTER = 2.0f;
constexpr float STEP_ASIDE = 6.0f;
// How far off a stuck unit's line the idle units before it step.
constexpr float MAKE_WAY = 6.0f;

// A ram pressed against a gate that still stands: where it was sent.
bool pressing_gate(world& w, const unit* u)
{
    if (u->kind != UNIT_RAM || !u->touched_model)
        return false;
    for (int i = 0; i + 1 < w.walls.count(); ++i) {
        const wall_point& pt = w.walls.points[static_cast<size_t>(i)];
        if (pt.gate && !pt.broken && get_top_level_model(w.structures, pt.model_id) == u->touched_model)
            return true;
    }
    return false;
}

// A place STEP_ASIDE to one side of the unit (the side turns with `n`),
// else behind it, that it can drive straight to: dry, clear of the walls,
// the structures and the standing units.
bool step_aside(world& w, const unit* u, const standing_t& units, int n, waypoint& out)
{
    const float h = u->heading * static_cast<float>(M_PI / 180.0);
    const float fx = std::sin(h), fz = std::cos(h);
    const float side = n % 2 ? 1.0f : -1.0f;
    const waypoint here{u->x, u->z};
    const waypoint tries[3] = {{u->x + fz * side * STEP_ASIDE, u->z - fx * side * STEP_ASIDE},
                               {u->x - fz * side * STEP_ASIDE, u->z + fx * side * STEP_ASIDE},
                               {u->x - fx * STEP_ASIDE, u->z - fz * STEP_ASIDE}};
    for (const waypoint& to : tries)
        if (open_line(w, closed_wall_stretches(w.walls), u->x, u->z, to.x, to.z) && clear_of_units(units, here, to) &&
            !body_meets_structure(w, to.x, to.z)) {
            out = to;
            return true;
        }
    return false;
}

// The idle ground units of u's side that stand against its front step off
// its line (a ram made among the goblins of the camp could not get out).
void make_way(world& w, const unit* u)
{
    const float h = u->heading * static_cast<float>(M_PI / 180.0);
    const float fx = std::sin(h), fz = std::cos(h);
    for (unit* o = w.units.list; o; o = o->next) {
        if (o == u || o->team != u->team || o->order_kind != ORDER_NONE || !is_ground_unit(w, o) || !steered_here(w, o) ||
            (o->target_seen && o->attack_target))
            continue;
        const float dx = o->x - u->x, dz = o->z - u->z;
        const float reach = o->radius + u->radius;
        const float along = dx * fx + dz * fz, across = dx * fz - dz * fx;
        if (!(along > 0.0f) || !(std::hypot(dx, dz) < reach + 1.0f))
            continue;
        // (Clear of u's line even where the unit stops short, as a
        // catapult does, within 5 of where it was sent.)
        const float side = across < 0.0f ? -1.0f : 1.0f;
        const float off = side * (reach + MAKE_WAY);
        route_order(w, o, u->x + fx * along + fz * off, u->z + fz * along - fx * off, ORDER_MOVE);
    }
}

void find_a_way(world& w, unit* u)
{
    auto it = w.routes.legs.find(u->id);
    route_leg* cur = it != w.routes.legs.end() && !it->second.empty() ? &it->second.front() : nullptr;
    const int final_kind = cur ? cur->final_kind : u->order_kind;
    const waypoint target = cur ? waypoint{cur->gx, cur->gz} : waypoint{u->order_x, u->order_z};
    const waypoint end = cur ? cur->points.back() : target;
    const waypoint here{u->x, u->z};
    gate_front g;
    const bool at_gate = u->kind == UNIT_RAM && final_kind == ORDER_ATTACK &&
                         gate_near(w, target.x, target.z, u->x, u->z, g) &&
                         !w.walls.points[static_cast<size_t>(g.index)].broken;
    if (!at_gate && distance(here, end) <= WAYPOINT_REACH) {
        if (u->order_kind == ORDER_MOVE) {
            u->order_kind = ORDER_NONE;  // a route goes on with its next leg
            u->vx = u->vz = 0.0f;
        }
        return;
    }
    new_budget_frame(w);
    if (w.routes.planned >= ROUTE_ORDERS_PER_FRAME || ++w.routes.stuck_planned > STUCK_PLANS_PER_FRAME)
        return;  // tried again once it has driven as long again
    // Stuck again near the place it was stuck before, it remembers where
    // structures held it since.
    route_leg leg;
    int detours = 1;
    if (cur && cur->detours > 0 && distance(here, {cur->stuck_x, cur->stuck_z}) < 2.0f * WAYPOINT_REACH) {
        detours = cur->detours + 1;
        leg.held_at = cur->held_at;
    }
    if (u->touched_model) {
        const float h = u->heading * static_cast<float>(M_PI / 180.0);
        leg.held_at.push_back(
            {u->x + std::sin(h) * (u->radius + HELD_AHEAD), u->z + std::cos(h) * (u->radius + HELD_AHEAD)});
    }
    const standing_t units = in_the_way(w, u, leg);
    if (detours > 1)
        make_way(w, u);
    waypoint from = here, aside;
    const bool stepping = detours > 1 && step_aside(w, u, units, detours, aside);
    if (stepping)
        from = aside;
    bool plain = true;
    if (plan_leg(w, u, from.x, from.z, target.x, target.z, final_kind, leg, plain, units) != 0)
        return;
    if (leg.points.empty()) {
        // A catapult that throws from where its own driving takes it: only
        // the step aside is left to try.
        if (!stepping)
            return;
        leg.drive_kind = ORDER_MOVE;
        leg.final_kind = final_kind;
    }
    if (stepping) {
        leg.points.insert(leg.points.begin(), aside);
        if (leg.kept_from != SIZE_MAX)
            ++leg.kept_from;
    }
    leg.detours = detours;
    leg.stuck_x = u->x;
    leg.stuck_z = u->z;
    leg.started = true;
    leg.next_check = w.time + REPLAN_INTERVAL;
    std::deque<route_leg>& legs = w.routes.legs[u->id];
    if (cur)
        legs.front() = std::move(leg);
    else
        legs.push_front(std::move(leg));
    aim_at(u, legs.front(), here);
}

} // namespace

void watch_headway(world& w, unit* u, float dt)
{
    const bool going = (u->order_kind == ORDER_MOVE || u->order_kind == ORDER_ATTACK) && is_ground_unit(w, u) &&
                       !(u->target_seen && u->attack_target) && steered_here(w, u);
    if (!going || std::hypot(u->x - u->headway_x, u->z - u->headway_z) > STILL_REACH || pressing_gate(w, u)) {
        u->headway_x = u->x;
        u->headway_z = u->z;
        u->stalled_for = 0.0f;
        return;
    }
    // Turning where it stands, or standing at its goal, it wants no headway.
    if (u->vx == 0.0f && u->vz == 0.0f)
        return;
    u->stalled_for += dt;
    if (u->stalled_for < STUCK_AFTER)
        return;
    u->stalled_for = 0.0f;
    find_a_way(w, u);
}

bool at_a_gate(const world& w, float x, float z)
{
    gate_front g;
    return gate_near(w, x, z, x, z, g);
}

int route_order(world& w, unit* u, float x, float z, int order_kind)
{
    route_leg leg;
    bool plain = true;
    if (plan_leg(w, u, u->x, u->z, x, z, order_kind, leg, plain, standing_units_near(w, u, HUGE_VALF)) != 0)
        return -1;
    forget_route(w, u->id);
    if (plain) {
        order_specific_unit(u, x, z, order_kind);
        return 0;
    }
    leg.started = true;
    aim_at(u, leg, {u->x, u->z});
    w.routes.legs[u->id].push_back(std::move(leg));
    return 0;
}

bool order_reachable(world& w, const unit* u, float x, float z, int order_kind)
{
    route_leg leg;
    bool plain = true;
    return plan_leg(w, u, u->x, u->z, x, z, order_kind, leg, plain) == 0;
}

int queue_waypoint(world& w, unit* u, float x, float z)
{
    auto it = w.routes.legs.find(u->id);
    const bool routed = it != w.routes.legs.end() && !it->second.empty();
    if (routed && it->second.size() >= static_cast<size_t>(ROUTE_QUEUE_LIMIT))
        return -1;
    // An attack lasts until the next order: nothing queued behind it would
    // ever start.
    if (routed ? it->second.back().final_kind == ORDER_ATTACK : u->order_kind == ORDER_ATTACK)
        return -1;
    waypoint from{u->x, u->z};
    if (routed)
        from = it->second.back().points.back();
    else if (u->order_kind == ORDER_MOVE)
        from = {u->order_x, u->order_z};
    route_leg leg;
    bool plain = true;
    if (!is_ground_unit(w, u)) {
        leg.points.push_back({x, z});  // ships and the like sail straight
        leg.gx = x;
        leg.gz = z;
    } else if (plan_leg(w, u, from.x, from.z, x, z, ORDER_MOVE, leg, plain) != 0) {
        return -1;
    }
    std::deque<route_leg>& legs = w.routes.legs[u->id];
    if (!routed && u->order_kind == ORDER_MOVE) {
        // The plain move under way becomes the first leg.
        route_leg current;
        current.points.push_back(from);
        current.from = {u->x, u->z};
        current.gx = from.x;
        current.gz = from.z;
        current.started = true;
        legs.push_back(std::move(current));
    }
    legs.push_back(std::move(leg));
    follow_route(w, u);  // an idle unit sets off at once
    return 0;
}

int route_legs(const world& w, const unit* u)
{
    auto it = w.routes.legs.find(u->id);
    return it == w.routes.legs.end() ? 0 : static_cast<int>(it->second.size());
}

void follow_route(world& w, unit* u)
{
    if (w.routes.legs.empty())
        return;
    auto it = w.routes.legs.find(u->id);
    if (it == w.routes.legs.end())
        return;
    std::deque<route_leg>& legs = it->second;
    while (!legs.empty()) {
        route_leg& leg = legs.front();
        if (!leg.started) {
            leg.started = true;
            aim_at(u, leg, {u->x, u->z});
        }
        const bool idle = u->order_kind == ORDER_NONE;
        if (!idle && u->order_kind != leg.drive_kind) {
            w.routes.legs.erase(it);  // another order or behaviour took over
            return;
        }
        const float d2 = distance2(u, leg.points[leg.next]);
        const bool last = leg.next + 1 == leg.points.size();
        // A kind that stops at a waypoint of its own accord has reached it.
        const float reach = idle ? 2.0f * WAYPOINT_REACH : WAYPOINT_REACH;
        const bool attack_at_end = leg.final_kind != leg.drive_kind;
        const bool arrived = last ? idle || (attack_at_end && d2 <= reach * reach) : d2 <= reach * reach;
        if (!arrived) {
            if (idle) {
                w.routes.legs.erase(it);  // stopped short of its way
                return;
            }
            // On the way: steered along the leg (a fighter's attack moves
            // the order target to the enemy it meets, and back here).
            replan_if_lost(w, u, leg);
            const waypoint ahead = lead_point(u, leg.from, leg.points[leg.next]);
            u->order_x = ahead.x;
            u->order_z = ahead.z;
            return;
        }
        if (!last) {
            ++leg.next;
            aim_at(u, leg, leg.points[leg.next - 1]);
            return;
        }
        if (attack_at_end) {
            order_specific_unit(u, leg.gx, leg.gz, leg.final_kind);
            w.routes.legs.erase(it);
            return;
        }
        legs.pop_front();
    }
    w.routes.legs.erase(it);
}

void forget_route(world& w, uint32_t id)
{
    w.routes.legs.erase(id);
}

void renumber_route(world& w, uint32_t from, uint32_t to)
{
    auto legs = w.routes.legs.extract(from);
    if (legs.empty())
        return;
    legs.key() = to;
    w.routes.legs.insert(std::move(legs));
}
