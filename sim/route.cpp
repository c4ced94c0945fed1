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
#include "sim/humanoid.h"
#include "sim/game.h"
#include "sim/units.h"
#include "sim/model_tree.h"
#include "sim/terrain.h"
#include "sim/walls.h"
#include "sim/sides.h"

// --- the water rule -------------------------------------------------------------------

bool below_water_line(float y)
{
    return y < WATER_LEVEL;
}

bool held_by_water(const unit* u)
{
    return !u->on_water && !u->flying && below_water_line(u->y);
}

bool dry_ground(float x, float z)
{
    if (!height_map[0])
        return true;  // no island yet: nothing to drown in
    return !below_water_line(get_terrain_height(x, z) + RIDE_HEIGHT);
}

bool dry_line(float x0, float z0, float x1, float z1)
{
    if (!height_map[0])
        return true;
    // Both ends on dry ground lie on the map, so the samples are bounded
    // (a point from the network may lie anywhere).
    if (!dry_ground(x0, z0) || !dry_ground(x1, z1))
        return false;
    const float dx = x1 - x0, dz = z1 - z0;
    const float len = std::sqrt(dx * dx + dz * dz);
    if (!std::isfinite(len))
        return false;
    const int steps = static_cast<int>(std::ceil(len));
    for (int k = 0; k <= steps; ++k) {
        const float t = steps ? static_cast<float>(k) / static_cast<float>(steps) : 0.0f;
        if (!dry_ground(x0 + dx * t, z0 + dz * t))
            return false;
    }
    return true;
}

bool is_ground_unit(const unit* u)
{
    if (u->on_water || u->flying || u->fixed)
        return false;
    if (u->kind == UNIT_CATAPULT || u->kind == UNIT_RAM)
        return true;
    if (computer_figure_side(u) >= 0)
        return true;  // the computer's figure walks by routes as its soldiers do
    return u->kind == UNIT_HUMANOID && u->kind_data &&
           static_cast<const humanoid_data*>(u->kind_data)->kind >= HUMANOID_FOOTMAN;
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
bool open_line(const walls_t& walls, float x0, float z0, float x1, float z1)
{
    if (!dry_line(x0, z0, x1, z1))
        return false;
    for (const wall_stretch& w : walls)
        if (crosses(w, x0, z0, x1, z1))
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
// dear for every search, so it is kept until the structures change: a world
// is built (other models) or a gate falls or is lowered (other closed walls).
constexpr float STANDING = 2.0f;
constexpr float BODY = 0.8f;
constexpr float SAMPLE = 0.5f;

struct structure_cache {
    bool valid = false;
    int models = -1;
    std::vector<float> walls_key;
    // Bit d of blocked[n]: the step from n in direction d (dirs below)
    // meets a structure; bit 8: a body over n itself does.
    std::vector<unsigned short> blocked;
};
structure_cache s_structures;

const int STEP_DIRS[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
const int OPPOSITE_DIR[8] = {1, 0, 3, 2, 7, 6, 5, 4};

bool body_meets_structure(float x, float z)
{
    // (A face the body lies close behind counts as a hit without touching
    // it; only a face that pushes the body out is one it touches.)
    const float y = get_terrain_height(x, z) + STANDING;
    float p[3] = {x, y, z};
    const float still[3] = {0.0f, 0.0f, 0.0f};
    do_collision_check(p, still, BODY, nullptr);
    return p[0] != x || p[1] != y || p[2] != z;
}

std::vector<float> walls_key(const walls_t& walls)
{
    std::vector<float> key;
    for (const wall_stretch& w : walls)
        key.insert(key.end(), {w.ax, w.az, w.bx, w.bz, w.half});
    return key;
}

const std::vector<unsigned short>& structure_blocks(const walls_t& walls)
{
    structure_cache& c = s_structures;
    const int models = num_top_level_models();
    std::vector<float> key = walls_key(walls);
    if (c.valid && c.models == models && c.walls_key == key)
        return c.blocked;
    c.valid = true;
    c.models = models;
    c.walls_key = std::move(key);
    c.blocked.assign(N * N, 0);
    if (models == 0)
        return c.blocked;
    auto inside = [](int i, int j) {
        return i >= 0 && j >= 0 && i < N && j < N && std::fabs(node_x(j * N + i)) <= EDGE &&
               std::fabs(node_z(j * N + i)) <= EDGE;
    };
    for (int n = 0; n < N * N; ++n)
        if (inside(n % N, n / N) && body_meets_structure(node_x(n), node_z(n)))
            c.blocked[static_cast<size_t>(n)] = 0x100;
    // A step and its way back share the points between their ends: each
    // pair is sampled once. A step is closed by those points or by a body
    // over the end it leads to.
    for (int n = 0; n < N * N; ++n) {
        const int i = n % N, j = n / N;
        if (!inside(i, j))
            continue;
        const float x = node_x(n), z = node_z(n);
        for (int d = 0; d < 8; ++d) {
            const int d_back = OPPOSITE_DIR[d];
            if (d_back < d)
                continue;
            const int a = i + STEP_DIRS[d][0], b = j + STEP_DIRS[d][1];
            if (!inside(a, b))
                continue;
            const int m = b * N + a;
            const float dx = 4.0f * static_cast<float>(STEP_DIRS[d][0]), dz = 4.0f * static_cast<float>(STEP_DIRS[d][1]);
            const int samples = static_cast<int>(std::ceil(std::hypot(dx, dz) / SAMPLE));
            bool between = false;
            for (int k = 1; k < samples && !between; ++k) {
                const float t = static_cast<float>(k) / static_cast<float>(samples);
                between = body_meets_structure(x + dx * t, z + dz * t);
            }
            unsigned short& there = c.blocked[static_cast<size_t>(n)];
            unsigned short& back = c.blocked[static_cast<size_t>(m)];
            if (between || (back & 0x100))
                there = static_cast<unsigned short>(there | (1u << d));
            if (between || (there & 0x100))
                back = static_cast<unsigned short>(back | (1u << d_back));
        }
    }
    return c.blocked;
}

// Whether a body standing on the straight way from a to b meets a
// structure (sampled every SAMPLE).
bool structure_across(waypoint a, waypoint b)
{
    const float len = std::hypot(b.x - a.x, b.z - a.z);
    const int samples = static_cast<int>(std::ceil(len / SAMPLE));
    for (int k = 0; k <= samples; ++k) {
        const float t = samples ? static_cast<float>(k) / static_cast<float>(samples) : 0.0f;
        if (body_meets_structure(a.x + (b.x - a.x) * t, a.z + (b.z - a.z) * t))
            return true;
    }
    return false;
}

// `dry`: a point a ground unit may stand on, on dry ground and clear of
// the closed walls; `shore`: one next to a point that is not. `blocked`:
// the steps the structures close (none when they are left out).
struct grid {
    std::vector<unsigned char> dry, shore;
    walls_t walls;
    const std::vector<unsigned short>* blocked = nullptr;
};

grid make_grid(const walls_t& walls, bool structures)
{
    grid g;
    g.walls = walls;
    if (structures)
        g.blocked = &structure_blocks(walls);
    g.dry.assign(N * N, 0);
    g.shore.assign(N * N, 0);
    for (int n = 0; n < N * N; ++n) {
        const float x = node_x(n), z = node_z(n);
        if (std::fabs(x) > EDGE || std::fabs(z) > EDGE)
            continue;
        g.dry[static_cast<size_t>(n)] =
            !height_map[0] || !below_water_line(height_map[n / N][n % N] + RIDE_HEIGHT) ? 1 : 0;
        if (g.blocked && ((*g.blocked)[static_cast<size_t>(n)] & 0x100))
            g.dry[static_cast<size_t>(n)] = 0;
    }
    for (const wall_stretch& w : walls) {
        const float r = w.half + WALL_ROOM;
        auto cell = [](float v) { return std::clamp(static_cast<int>(std::floor((v + 256.0f) / 4.0f)), 0, N - 1); };
        for (int j = cell(std::fmin(w.az, w.bz) - r); j <= cell(std::fmax(w.az, w.bz) + r) + 1 && j < N; ++j)
            for (int i = cell(std::fmin(w.ax, w.bx) - r); i <= cell(std::fmax(w.ax, w.bx) + r) + 1 && i < N; ++i)
                if (distance_to(w, node_x(j * N + i), node_z(j * N + i)) < r)
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
int nearest_node(const grid& g, float x, float z, int cells, bool need_line)
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
            if (need_line && !open_line(g.walls, x, z, node_x(n), node_z(n)))
                continue;
            best = n;
            best_d = d;
        }
    return best;
}

int start_node(const grid& g, float x, float z)
{
    return dry_ground(x, z) ? nearest_node(g, x, z, 2, true) : nearest_node(g, x, z, 6, false);
}

// A straight leg with dry ground `half` to either side of it, and no
// closed wall across.
bool dry_corridor(waypoint a, waypoint b, float half, const walls_t& walls)
{
    const float dx = b.x - a.x, dz = b.z - a.z;
    const float len = std::sqrt(dx * dx + dz * dz);
    if (len < 1e-3f)
        return true;
    const float px = -dz / len * half, pz = dx / len * half;
    return open_line(walls, a.x, a.z, b.x, b.z) && open_line(walls, a.x + px, a.z + pz, b.x + px, b.z + pz) &&
           open_line(walls, a.x - px, a.z - pz, b.x - px, b.z - pz);
}

float distance(waypoint a, waypoint b)
{
    return std::hypot(b.x - a.x, b.z - a.z);
}

// The grid path from the start position over `nodes` to the goal, with
// the points a straight dry leg can skip left out.
void straighten(const grid& g, const std::vector<waypoint>& pts, std::vector<waypoint>& out)
{
    out.clear();
    size_t cur = 0;
    while (cur + 1 < pts.size()) {
        size_t next = cur + 1;
        for (size_t j = pts.size() - 1; j > cur + 1; --j)
            if (distance(pts[cur], pts[j]) <= MAX_LEG && dry_corridor(pts[cur], pts[j], CORRIDOR, g.walls) &&
                !(g.blocked && structure_across(pts[cur], pts[j]))) {
                next = j;
                break;
            }
        out.push_back(pts[next]);
        cur = next;
    }
}

} // namespace

namespace {

int route_between(const walls_t& walls, bool structures, float x0, float z0, float x1, float z1,
                  std::vector<waypoint>& out)
{
    out.clear();
    if (open_line(walls, x0, z0, x1, z1) && !(structures && structure_across({x0, z0}, {x1, z1}))) {
        out.push_back({x1, z1});
        return 0;
    }
    if (!dry_ground(x1, z1))
        return -1;
    const grid g = make_grid(walls, structures);
    const int start = start_node(g, x0, z0);
    const int goal = nearest_node(g, x1, z1, 2, true);
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
    straighten(g, pts, out);
    return 0;
}

} // namespace

int find_dry_route(float x0, float z0, float x1, float z1, std::vector<waypoint>& out)
{
    out.clear();
    if (!std::isfinite(x0) || !std::isfinite(z0) || !std::isfinite(x1) || !std::isfinite(z1))
        return -1;
    // Through the gates where they stand open; where no way leads past the
    // walls (the gates are shut), the way the water alone allows, which
    // ends at the wall.
    const walls_t walls = closed_wall_stretches();
    if (num_top_level_models() > 0 && route_between(walls, true, x0, z0, x1, z1, out) == 0)
        return 0;
    return route_between({}, false, x0, z0, x1, z1, out);
}

static int throwing_spot(const walls_t& walls, float x, float z, float tx, float tz, waypoint* spot, int* straight,
                         const std::vector<waypoint>& taken)
{
    *straight = 0;
    if (!std::isfinite(x) || !std::isfinite(z) || !std::isfinite(tx) || !std::isfinite(tz))
        return -1;
    const float target_ground = get_terrain_height(tx, tz);
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
        range = predicted_catapult_range(get_terrain_height(s.x, s.z) + RIDE_HEIGHT, target_ground);
        s = {tx + dx * range, tz + dz * range};
    }
    if (range > 0.0f && dry_ground(s.x, s.z) && open_line(walls, x, z, s.x, s.z)) {
        *spot = s;
        *straight = 1;
        return 0;
    }
    if (!(range > 0.0f))
        s = {x, z};
    // Else the dry ground in range nearest to that place, among what a dry
    // route reaches; ground with dry ground all round first, since the
    // catapult still rolls a little along its aim to find the range.
    const grid g = make_grid(walls, !walls.empty());
    const int start = start_node(g, x, z);
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
        const float r = predicted_catapult_range(height_map[0] ? height_map[n / N][n % N] + RIDE_HEIGHT : RIDE_HEIGHT,
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

int catapult_throwing_spot(float x, float z, float tx, float tz, waypoint* spot, int* straight,
                           const std::vector<waypoint>& taken)
{
    const walls_t walls = closed_wall_stretches();
    if (!walls.empty() && throwing_spot(walls, x, z, tx, tz, spot, straight, taken) == 0)
        return 0;
    return throwing_spot({}, x, z, tx, tz, spot, straight, taken);
}

// --- routes of units ------------------------------------------------------------------

namespace {

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
};

std::unordered_map<uint32_t, std::deque<route_leg>> s_routes;
// Orders planned in the frame of `s_budget_time`.
float s_budget_time = -1.0f;
int s_planned = 0;

bool within_budget()
{
    if (game_time != s_budget_time) {
        s_budget_time = game_time;
        s_planned = 0;
    }
    if (++s_planned <= ROUTE_ORDERS_PER_FRAME)
        return true;
    if (s_planned == ROUTE_ORDERS_PER_FRAME + 1)
        fprintf(stderr, "more than %d orders to plan in one frame; the rest are refused\n", ROUTE_ORDERS_PER_FRAME);
    return false;
}

// A ram sent at a gate lines up before it: it drives to the point this far
// straight out from the gate's middle, on the side it comes from, and from
// there straight at the gate, along the bridge that may lie before it
// (whose railings would hold a ram coming at the gate from aside).
constexpr float GATE_APPROACH = 50.0f;
constexpr float AT_GATE = 8.0f;

bool gate_approach(float sx, float sz, float x, float z, waypoint& out)
{
    for (int i = 0; i + 1 < n_wall_pts; ++i) {
        const wall_point& a = the_wall_pts[static_cast<size_t>(i)];
        const wall_point& b = the_wall_pts[static_cast<size_t>(i) + 1];
        const float mx = (a.x + b.x) / 2.0f, mz = (a.z + b.z) / 2.0f;
        if (!a.gate || !(std::hypot(x - mx, z - mz) <= AT_GATE))
            continue;
        const float len = std::hypot(b.x - a.x, b.z - a.z);
        if (!(len > 1e-3f))
            continue;
        float nx = -(b.z - a.z) / len, nz = (b.x - a.x) / len;
        if ((sx - mx) * nx + (sz - mz) * nz < 0.0f) {
            nx = -nx;
            nz = -nz;
        }
        out = {mx + nx * GATE_APPROACH, mz + nz * GATE_APPROACH};
        return std::hypot(sx - mx, sz - mz) > GATE_APPROACH + WAYPOINT_REACH && dry_ground(out.x, out.z);
    }
    return false;
}

// Where the side's other catapults throw from or are on their way to throw
// from: the ends of their routes, and where those without one stand
// attacking.
std::vector<waypoint> catapult_spots_taken(const unit* u)
{
    std::vector<waypoint> taken;
    for (const unit* o = unit_list; o; o = o->next) {
        if (o == u || o->kind != UNIT_CATAPULT || o->team != u->team)
            continue;
        auto it = s_routes.find(o->id);
        if (it != s_routes.end() && !it->second.empty()) {
            if (it->second.back().final_kind == ORDER_ATTACK)
                taken.push_back(it->second.back().points.back());
        } else if (o->order_kind == ORDER_ATTACK) {
            taken.push_back({o->x, o->z});
        }
    }
    return taken;
}

// Plans the way for one order from (sx, sz); `plain` when the kind's own
// straight driving does it. -1 when no dry way reaches the point.
int plan_leg(const unit* u, float sx, float sz, float x, float z, int order_kind, route_leg& leg, bool& plain)
{
    plain = true;
    if (!is_ground_unit(u) || (order_kind != ORDER_MOVE && order_kind != ORDER_ATTACK))
        return 0;
    if (!within_budget())
        return -1;
    leg.gx = x;
    leg.gz = z;
    if (u->kind == UNIT_CATAPULT && order_kind == ORDER_ATTACK) {
        waypoint spot;
        int straight = 0;
        if (catapult_throwing_spot(sx, sz, x, z, &spot, &straight, catapult_spots_taken(u)) != 0)
            return -1;
        if (straight)
            return 0;
        if (find_dry_route(sx, sz, spot.x, spot.z, leg.points) != 0)
            return -1;
        leg.drive_kind = ORDER_MOVE;
        leg.final_kind = ORDER_ATTACK;
        plain = false;
        return 0;
    }
    waypoint before;
    if (u->kind == UNIT_RAM && order_kind == ORDER_ATTACK && gate_approach(sx, sz, x, z, before) &&
        find_dry_route(sx, sz, before.x, before.z, leg.points) == 0) {
        leg.kept_from = leg.points.size() - 1;
        leg.points.push_back({x, z});
        leg.drive_kind = leg.final_kind = order_kind;
        plain = false;
        return 0;
    }
    if (find_dry_route(sx, sz, x, z, leg.points) != 0)
        return -1;
    leg.drive_kind = leg.final_kind = order_kind;
    const waypoint a{sx, sz}, b{x, z};
    plain = leg.points.size() == 1 &&
            dry_corridor(a, b, std::fmax(CORRIDOR, DRIFT * distance(a, b)), closed_wall_stretches());
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

// A unit off its way (and not off it to fight: an attack chases whom it
// sees) is given a new way from where it stands to the leg's end. When the
// frame's planning is spent, or no dry way is found from here (the water
// is still pushing it ashore), it keeps its way and is checked again later.
void replan_if_lost(unit* u, route_leg& leg)
{
    if (game_time < leg.next_check)
        return;
    leg.next_check = game_time + REPLAN_INTERVAL;
    if (u->target_seen && u->attack_target)
        return;
    if (!held_by_water(u) && off_leg(u, leg.from, leg.points[leg.next]) <= OFF_ROUTE)
        return;
    if (!within_budget())
        return;
    // A new way to the leg's end, or to the first of the waypoints kept.
    size_t head = leg.points.size() - 1;
    if (leg.kept_from < head && leg.next <= leg.kept_from)
        head = leg.kept_from;
    const waypoint end = leg.points[head];
    std::vector<waypoint> way;
    if (find_dry_route(u->x, u->z, end.x, end.z, way) != 0)
        return;
    leg.kept_from = head < leg.points.size() - 1 ? way.size() - 1 : SIZE_MAX;
    way.insert(way.end(), leg.points.begin() + static_cast<std::ptrdiff_t>(head) + 1, leg.points.end());
    leg.points = std::move(way);
    leg.next = 0;
    aim_at(u, leg, {u->x, u->z});
}

} // namespace

int route_order(unit* u, float x, float z, int order_kind)
{
    route_leg leg;
    bool plain = true;
    if (plan_leg(u, u->x, u->z, x, z, order_kind, leg, plain) != 0)
        return -1;
    forget_route(u->id);
    if (plain) {
        order_specific_unit(u, x, z, order_kind);
        return 0;
    }
    leg.started = true;
    aim_at(u, leg, {u->x, u->z});
    s_routes[u->id].push_back(std::move(leg));
    return 0;
}

bool order_reachable(const unit* u, float x, float z, int order_kind)
{
    route_leg leg;
    bool plain = true;
    return plan_leg(u, u->x, u->z, x, z, order_kind, leg, plain) == 0;
}

int queue_waypoint(unit* u, float x, float z)
{
    auto it = s_routes.find(u->id);
    const bool routed = it != s_routes.end() && !it->second.empty();
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
    if (!is_ground_unit(u)) {
        leg.points.push_back({x, z});  // ships and the like sail straight
        leg.gx = x;
        leg.gz = z;
    } else if (plan_leg(u, from.x, from.z, x, z, ORDER_MOVE, leg, plain) != 0) {
        return -1;
    }
    std::deque<route_leg>& legs = s_routes[u->id];
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
    follow_route(u);  // an idle unit sets off at once
    return 0;
}

int route_legs(const unit* u)
{
    auto it = s_routes.find(u->id);
    return it == s_routes.end() ? 0 : static_cast<int>(it->second.size());
}

void follow_route(unit* u)
{
    if (s_routes.empty())
        return;
    auto it = s_routes.find(u->id);
    if (it == s_routes.end())
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
            s_routes.erase(it);  // another order or behaviour took over
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
                s_routes.erase(it);  // stopped short of its way
                return;
            }
            // On the way: steered along the leg (a fighter's attack moves
            // the order target to the enemy it meets, and back here).
            replan_if_lost(u, leg);
            const waypoint w = lead_point(u, leg.from, leg.points[leg.next]);
            u->order_x = w.x;
            u->order_z = w.z;
            return;
        }
        if (!last) {
            ++leg.next;
            aim_at(u, leg, leg.points[leg.next - 1]);
            return;
        }
        if (attack_at_end) {
            order_specific_unit(u, leg.gx, leg.gz, leg.final_kind);
            s_routes.erase(it);
            return;
        }
        legs.pop_front();
    }
    s_routes.erase(it);
}

void forget_route(uint32_t id)
{
    s_routes.erase(id);
}

void renumber_route(uint32_t from, uint32_t to)
{
    auto legs = s_routes.extract(from);
    if (legs.empty())
        return;
    legs.key() = to;
    s_routes.insert(std::move(legs));
}

void reset_game_routes()
{
    s_routes.clear();
    // A new world may hold the same number of models over other ground.
    s_structures.valid = false;
    s_budget_time = -1.0f;
    s_planned = 0;
}
