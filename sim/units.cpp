#include "sim/units.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <unordered_map>
#include <utility>
#include <vector>

#include "sim/archer.h"
#include "sim/catapult.h"
#include "sim/combat.h"
#include "sim/commands.h"
#include "sim/dragon.h"
#include "sim/events.h"
#include "sim/game.h"
#include "sim/humanoid.h"
#include "sim/magic.h"
#include "sim/messages.h"
#include "sim/model_tree.h"
#include "sim/participants.h"
#include "sim/ram.h"
#include "sim/rights.h"
#include "sim/route.h"
#include "sim/session.h"
#include "sim/ship.h"
#include "sim/sides.h"
#include "sim/terrain.h"
#include "sim/wire.h"
#include "sim/world.h"

// --- the kinds ------------------------------------------------------------------

namespace {

// A soldier keeps its side's range of ids.
uint32_t fresh_humanoid_id(world& w, const unit* u)
{
    return next_humanoid_id(w, u->id >= ATTACKER_HUMANOID_BASE ? ATTACKER_HUMANOID_BASE : DEFENDER_HUMANOID_BASE);
}

// The numbered classes take the next free serial of their counter.
template <uint32_t Class, int unit_registry::*Counter>
uint32_t fresh_numbered_id(world& w, const unit*)
{
    return next_unit_id(w, Class, w.units.*Counter);
}

} // namespace

// One row a kind, in the order of the kinds' numbers (kind_row finds a
// row by its place).
const unit_kind_row UNIT_KIND_ROWS[UNIT_KIND_COUNT] = {
    {UNIT_HUMANOID, "humanoid", ID_CLASS_HUMANOID, unit_look::humanoid, true, true, true, spawn_humanoid,
     simulate_humanoid, conditionally_update_humanoid, update_humanoid, humanoid_removed, fresh_humanoid_id},
    {UNIT_CATAPULT, "catapult", ID_CLASS_CATAPULT, unit_look::catapult, true, false, true, spawn_catapult,
     simulate_catapult, conditionally_update_catapult, update_catapult, nullptr,
     fresh_numbered_id<ID_CLASS_CATAPULT, &unit_registry::catapult_counter>},
    {UNIT_RAM, "battering ram", ID_CLASS_RAM, unit_look::ram, true, true, true, spawn_ram, simulate_ram,
     conditionally_update_batram, update_ram, nullptr, fresh_numbered_id<ID_CLASS_RAM, &unit_registry::ram_counter>},
    {UNIT_DRAGON, "dragon", ID_CLASS_DRAGON, unit_look::dragon, false, false, false, spawn_dragon, simulate_dragon,
     conditionally_update_dragon, update_dragon, nullptr,
     fresh_numbered_id<ID_CLASS_DRAGON, &unit_registry::dragon_counter>},
    {UNIT_SHIP, "ship", ID_CLASS_SHIP, unit_look::ship, false, false, false, nullptr, simulate_ship, nullptr,
     nullptr, nullptr, nullptr},
};

const unit_kind_row* class_row(uint32_t id_class)
{
    for (const unit_kind_row& r : UNIT_KIND_ROWS)
        if (r.id_class == id_class)
            return &r;
    return nullptr;
}


// The body of the crowd separation for one other unit (at ox, oz, of
// radius oradius): pushes u out of it when they overlap.
static inline void push_apart_from(world& w, unit* u, float ox, float oz, float oradius)
{
    float dx = ox - u->x, dz = oz - u->z;
    const float d2 = dx * dx + dz * dz;
    const float r = u->radius + oradius;
    if (!(d2 < r * r))
        return;
    float d = std::sqrt(d2);
    if (d < 0.2f || !std::isfinite(d)) {
        const float a = static_cast<float>(w.rand() % 100);
        dx = std::sin(a);
        dz = std::cos(a);
        d = 1.0f;
    }
    u->x -= dx / d * (r - d);
    u->z -= dz / d * (r - d);
}

static inline void push_apart(world& w, unit* u, const unit* o)
{
    push_apart_from(w, u, o->x, o->z, o->radius);
}

void separate_unit_plain(world& w, unit* u)
{
    for (unit* o = w.units.list; o; o = o->next)
        if (o != u)
            push_apart(w, u, o);
}

// --- crowd grid -------------------------------------------------------------------
//
// Pushing a unit out of every other unit it overlaps scans the whole
// registry, which makes a frame quadratic in the number of units. During
// simulate_units the units are also kept in a uniform grid over the island,
// and a unit looks only at the grid cells around it. The outcome must be the
// plain scan's to the last bit (positions and the random numbers drawn for
// units on the same spot), so:
//  - the nearby units are visited in registry order (each carries an order
//    key that follows the list: new units come first and get a smaller key);
//  - the cells searched reach SLACK further than any overlap can, and while
//    the pushed unit stays within SLACK / 2 of where the search began, no
//    unit outside those cells can overlap it; once it has been pushed
//    further, the rest of the registry is scanned plainly from the unit
//    last visited on.
//  - a unit stepped in simulate_units is filed again after its step; a unit
//    deleted meanwhile leaves the grid at once; a unit added meanwhile
//    (whose place and side its maker sets only afterwards) is kept aside
//    and offered to every search until the step ends.
// Each cell is kept once per side (attackers, defenders, anything else), so
// a look for enemies passes over the looker's friends without visiting
// them. Units outside the grid are filed in its border cells; units at a
// non-finite place overlap nothing and are filed nowhere.
namespace {

constexpr float GRID_ORIGIN = -512.0f;
constexpr float GRID_CELL = 8.0f;
constexpr int GRID_CELLS = 128;  // per axis: -512 .. 512
constexpr int GRID_AREA = GRID_CELLS * GRID_CELLS;
constexpr int GRID_SIDES = 3;  // team 0, team 1, any other team
constexpr float GRID_SLACK = 2.0f;
constexpr int GRID_ADDED = -2;  // grid_slot of a unit made during the step

int grid_coord(float v)
{
    // (The cell's side is a power of two: multiplying by its inverse is
    // the division, exactly.)
    float c = std::floor((v - GRID_ORIGIN) * (1.0f / GRID_CELL));
    if (!(c > 0.0f))
        return 0;
    if (c > static_cast<float>(GRID_CELLS - 1))
        return GRID_CELLS - 1;
    return static_cast<int>(c);
}

int grid_side(int team)
{
    return team == 0 || team == 1 ? team : 2;
}

int grid_slot_of(const unit* u)
{
    if (!std::isfinite(u->x) || !std::isfinite(u->z))
        return -1;
    return grid_side(u->team) * GRID_AREA + grid_coord(u->z) * GRID_CELLS + grid_coord(u->x);
}

grid_entry live_entry(const unit* u)
{
    return {u->x, u->y, u->z, u->radius, static_cast<int>(u->grid_order), const_cast<unit*>(u)};
}

std::vector<grid_entry>::iterator entry_of(std::vector<grid_entry>& c, const unit* u)
{
    return std::find_if(c.begin(), c.end(), [u](const grid_entry& e) { return e.u == u; });
}

void grid_unfile(world& w, unit* u)
{
    const int slot = u->grid_slot;
    u->grid_slot = -1;
    if (slot == GRID_ADDED) {
        w.units.grid.added.erase(std::find(w.units.grid.added.begin(), w.units.grid.added.end(), u));
        return;
    }
    if (slot < 0)
        return;
    std::vector<grid_entry>& c = w.units.grid.cells[static_cast<size_t>(slot)];
    if (const auto it = entry_of(c, u); it != c.end()) {
        *it = c.back();
        c.pop_back();
        --w.units.grid.row_count[static_cast<size_t>(slot / GRID_CELLS)];
    }
}

void note_place(world& w, const unit* u)
{
    if (u->grid_order >= 0 && static_cast<size_t>(u->grid_order) < w.units.grid.place_by_order.size())
        w.units.grid.place_by_order[static_cast<size_t>(u->grid_order)] = {u->x, u->y, u->z};
}

void grid_file(world& w, unit* u)
{
    note_place(w, u);
    const int slot = grid_slot_of(u);
    u->grid_slot = slot;
    if (u->radius > w.units.grid.max_radius)
        w.units.grid.max_radius = u->radius;
    if (slot < 0)
        return;
    std::vector<grid_entry>& c = w.units.grid.cells[static_cast<size_t>(slot)];
    if (c.empty())
        w.units.grid.used.push_back(slot);
    c.push_back(live_entry(u));
    const size_t row = static_cast<size_t>(slot / GRID_CELLS);
    const int column = slot % GRID_CELLS;
    ++w.units.grid.row_count[row];
    w.units.grid.row_lo[row] = std::min(w.units.grid.row_lo[row], column);
    w.units.grid.row_hi[row] = std::max(w.units.grid.row_hi[row], column);
}

void grid_build(world& w)
{
    if (w.units.grid.cells.empty())
        w.units.grid.cells.resize(static_cast<size_t>(GRID_SIDES) * GRID_AREA);
    w.units.grid.row_count.assign(static_cast<size_t>(GRID_SIDES) * GRID_CELLS, 0);
    w.units.grid.row_lo.assign(static_cast<size_t>(GRID_SIDES) * GRID_CELLS, GRID_CELLS);
    w.units.grid.row_hi.assign(static_cast<size_t>(GRID_SIDES) * GRID_CELLS, -1);
    for (int c : w.units.grid.used)
        w.units.grid.cells[static_cast<size_t>(c)].clear();
    w.units.grid.used.clear();
    w.units.grid.added.clear();
    w.units.grid.max_radius = 0.0f;
    w.units.grid.by_order.clear();
    w.units.grid.place_by_order.clear();
    for (unit* u = w.units.list; u; u = u->next) {
        u->grid_order = static_cast<long long>(w.units.grid.by_order.size());
        w.units.grid.by_order.push_back(u);
        w.units.grid.place_by_order.emplace_back();
        grid_file(w, u);
    }
    w.units.grid.marks.assign((w.units.grid.by_order.size() + 63) / 64, 0);
    w.units.grid.first_order = 0;
    w.units.grid.live = true;
}

// After a unit's step: its entry takes its new place (and cell).
void grid_refile(world& w, unit* u)
{
    if (u->grid_slot == GRID_ADDED)
        return;
    const int slot = grid_slot_of(u);
    if (slot != u->grid_slot || slot < 0) {
        grid_unfile(w, u);
        grid_file(w, u);
        return;
    }
    if (u->radius > w.units.grid.max_radius)
        w.units.grid.max_radius = u->radius;
    note_place(w, u);
    std::vector<grid_entry>& c = w.units.grid.cells[static_cast<size_t>(slot)];
    if (const auto it = entry_of(c, u); it != c.end())
        *it = live_entry(u);
}

// Calls visit(entry, side) for every unit filed in the cells of the given
// sides that a circle of `range` around (x, z) touches, row by row: each
// row of cells only as wide as the circle is at the row's nearest edge
// (with a margin of a unit for rounding, and the border rows, which hold
// everything beyond the grid, taken whole). Units made during the step and
// the unit being stepped are handed over as their records have them.
template <typename Visit>
void grid_visit(world& w, float x, float z, float range, const bool (&sides)[GRID_SIDES], Visit visit)
{
    const int z0 = grid_coord(z - range), z1 = grid_coord(z + range);
    const int xa = grid_coord(x - range), xb = grid_coord(x + range);
    const float range2 = range * range;
    const unit* const stepping = w.units.stepping_deleted ? nullptr : w.units.stepping;
    for (int gz = z0; gz <= z1; ++gz) {
        bool filled = false;
        for (int side = 0; side < GRID_SIDES; ++side)
            filled = filled || (sides[side] && w.units.grid.row_count[static_cast<size_t>(side * GRID_CELLS + gz)] > 0);
        if (!filled)
            continue;
        int x0 = xa, x1 = xb;
        // (A circle two cells across or less gains nothing by it.)
        if (gz > 0 && gz < GRID_CELLS - 1 && range > GRID_CELL && std::isfinite(range2)) {
            const float lo = GRID_ORIGIN + static_cast<float>(gz) * GRID_CELL;
            // (z is finite here: plain comparisons, no library call.)
            const float gap = std::max(0.0f, std::max(lo - z, z - (lo + GRID_CELL)) - 1.0f);
            if (gap >= range)
                continue;
            const float half = std::sqrt(range2 - gap * gap) + 1.0f;
            x0 = std::max(xa, grid_coord(x - half));
            x1 = std::min(xb, grid_coord(x + half));
        }
        for (int side = 0; side < GRID_SIDES; ++side) {
            const size_t row = static_cast<size_t>(side * GRID_CELLS + gz);
            if (!sides[side] || w.units.grid.row_count[row] == 0)
                continue;
            const size_t first = row * GRID_CELLS;
            const int end = std::min(x1, w.units.grid.row_hi[row]);
            for (int gx = std::max(x0, w.units.grid.row_lo[row]); gx <= end; ++gx)
                for (const grid_entry& e : w.units.grid.cells[first + static_cast<size_t>(gx)])
                    if (e.u != stepping)
                        visit(e, side);
        }
    }
    // The stepping unit, from its record (its entry lags behind its step,
    // and a unit filed nowhere may have come to a place); one made during
    // the step is among the added.
    if (stepping && stepping->grid_slot != GRID_ADDED && sides[grid_side(stepping->team)])
        visit(live_entry(stepping), grid_side(stepping->team));
    for (unit* o : w.units.grid.added)
        visit(live_entry(o), grid_side(o->team));
}

void separate_unit_grid(world& w, unit* u)
{
    if (!std::isfinite(u->x) || !std::isfinite(u->z) || !std::isfinite(u->radius) ||
        !std::isfinite(w.units.grid.max_radius)) {
        separate_unit_plain(w, u);
        return;
    }
    const float cx = u->x, cz = u->z;
    const float reach = u->radius + w.units.grid.max_radius + GRID_SLACK;
    // While u stays within `keep` of where it started, a unit further than
    // their radii and the slack from that start cannot overlap it (the
    // margin of half the slack covers rounding): only the others are
    // visited, in registry order, at the places their entries hold.
    std::vector<grid_near_entry>& near = w.units.near_scratch;
    near.clear();
    const bool sides[GRID_SIDES] = {true, true, true};
    grid_visit(w, cx, cz, reach, sides, [&](const grid_entry& e, int) {
        if (e.u == u)
            return;
        const float dx = e.x - cx, dz = e.z - cz;
        const float lim = std::fabs(u->radius + e.radius) + GRID_SLACK;
        if (dx * dx + dz * dz < lim * lim)
            near.push_back({e.order, e.x, e.z, e.radius, e.u});
    });
    std::sort(near.begin(), near.end(),
              [](const grid_near_entry& a, const grid_near_entry& b) { return a.order < b.order; });
    const float keep = GRID_SLACK / 2;
    for (const grid_near_entry& o : near) {
        push_apart_from(w, u, o.x, o.z, o.radius);
        const float mx = u->x - cx, mz = u->z - cz;
        if (!(mx * mx + mz * mz <= keep * keep)) {
            // Pushed too far for the cells searched: the rest plainly.
            for (unit* p = o.u->next; p; p = p->next)
                if (p != u)
                    push_apart(w, u, p);
            return;
        }
    }
}

// --- id index ---------------------------------------------------------------------
//
// find_unit runs for every received state record, every picked id and every
// projectile hit, so ids are indexed beside the list. Should two units ever
// carry one id, the index holds the first of them in registry order, as the
// plain scan finds it, and how many carry it. The id classes units are made
// in (the low ones) get a table by serial, made at the first unit of the
// class; any other id goes to a hash.
id_slot* id_slot_of(world& w, uint32_t id, bool make)
{
    const uint32_t c = id_class(id);
    if (c >= ID_TABLE_CLASSES) {
        if (make)
            return &w.units.ids[id];
        const auto it = w.units.ids.find(id);
        return it == w.units.ids.end() ? nullptr : &it->second;
    }
    std::vector<id_slot>& table = w.units.id_tables[c];
    if (table.empty()) {
        if (!make)
            return nullptr;
        table.resize(CLASS_SERIALS);
    }
    return &table[id & (CLASS_SERIALS - 1)];
}

// u is linked into the registry already.
void index_add(world& w, unit* u)
{
    id_slot& slot = *id_slot_of(w, u->id, true);
    if (slot.count++ == 0 || u == w.units.list) {
        slot.first = u;
        return;
    }
    for (unit* o = w.units.list; o; o = o->next)
        if (o->id == u->id) {
            slot.first = o;
            return;
        }
}

// u is still linked into the registry.
void index_remove(world& w, const unit* u)
{
    id_slot* slot = id_slot_of(w, u->id, false);
    if (!slot || slot->count == 0)
        return;
    if (--slot->count == 0) {
        slot->first = nullptr;
        if (id_class(u->id) >= ID_TABLE_CLASSES)
            w.units.ids.erase(u->id);
        return;
    }
    if (slot->first == u) {
        unit* o = u->next;
        while (o && o->id != u->id)
            o = o->next;
        slot->first = o;
    }
}

} // namespace

bool units_near(world& w, const unit* u, float range, int skip_team, std::vector<near_unit>& out)
{
    if (!w.units.grid.live || !std::isfinite(u->x) || !std::isfinite(u->z) || !std::isfinite(range))
        return false;
    const float range2 = range * range;
    const float ux = u->x, uz = u->z;
    const bool sides[GRID_SIDES] = {skip_team != 0, skip_team != 1, true};
    // Made during the step: first in the registry.
    std::vector<std::pair<int, near_unit>>& added = w.units.added_scratch;
    added.clear();
    std::vector<uint64_t>& marks = w.units.grid.marks;
    size_t lo = marks.size(), hi = 0;
    grid_visit(w, ux, uz, range, sides, [&](const grid_entry& e, int side) {
        if (e.u == u || (side == 2 && e.u->team == skip_team))
            return;
        const float dx = e.x - ux, dz = e.z - uz;
        if (!(dx * dx + dz * dz < range2))
            return;
        if (e.order < 0) {
            added.push_back({e.order, {e.u, e.x, e.y, e.z}});
            return;
        }
        const size_t k = static_cast<size_t>(e.order);
        marks[k / 64] |= uint64_t{1} << (k % 64);
        lo = std::min(lo, k / 64);
        hi = std::max(hi, k / 64);
    });
    std::sort(added.begin(), added.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    out.clear();
    for (const auto& a : added)
        out.push_back(a.second);
    // The places as filed, but the stepping unit's as it is now.
    const unit* const stepping = w.units.stepping_deleted ? nullptr : w.units.stepping;
    for (size_t word = lo; word <= hi && word < marks.size(); ++word) {
        for (uint64_t bits = marks[word]; bits; bits &= bits - 1) {
            const size_t k = word * 64 + static_cast<size_t>(std::countr_zero(bits));
            unit* o = w.units.grid.by_order[k];
            if (o == stepping) {
                out.push_back({o, o->x, o->y, o->z});
            } else {
                const std::array<float, 3>& p = w.units.grid.place_by_order[k];
                out.push_back({o, p[0], p[1], p[2]});
            }
        }
        marks[word] = 0;
    }
    return true;
}

unit* add_unit(world& w, uint32_t id)
{
    unit* u = new unit{};
    u->id = id;
    u->vx = 0.1f;  // separates a new unit from anything it overlaps on its first frame
    u->radius = 1.0f;
    u->invisible_until = -1.0f;
    u->made_here = 1;
    u->reported_at = w.time;
    u->turn_tokens = RATE_BURST;
    u->turn_at = w.time;
    u->next = w.units.list;
    u->prev = nullptr;
    if (w.units.list)
        w.units.list->prev = u;
    w.units.list = u;
    index_add(w, u);
    if (w.units.grid.live) {
        // Newest first in the registry, so the smallest order key.
        u->grid_order = --w.units.grid.first_order;
        u->grid_slot = GRID_ADDED;
        w.units.grid.added.push_back(u);
    }
    return u;
}

unit* add_announced_unit(world& w, uint32_t id)
{
    unit* u = add_unit(w, id);
    u->made_here = 0;  // its creator decides its death
    return u;
}

unit* find_unit(world& w, uint32_t id)
{
    const id_slot* slot = id_slot_of(w, id, false);
    return slot ? slot->first : nullptr;
}

const unit* find_unit(const world& w, uint32_t id)
{
    // A look-up without `make` changes nothing.
    return find_unit(const_cast<world&>(w), id);
}

void set_unit_id(world& w, unit* u, uint32_t id)
{
    if (u->id == id)
        return;
    index_remove(w, u);
    u->id = id;
    index_add(w, u);
}

int count_units(const world& w)
{
    int n = 0;
    for (const unit* u = w.units.list; u; u = u->next)
        ++n;
    return n;
}

void print_registry(const world& w)
{
    printf("registry: %d units\n", count_units(w));
    for (const unit* u = w.units.list; u; u = u->next)
        printf("unit %8.8X kind %d team %d\n", u->id, u->kind, u->team);
}

bool id_made_by_team(uint32_t id, int team)
{
    switch (id_class(id)) {
    case ID_CLASS_CATAPULT:
    case ID_CLASS_RAM:
    case ID_CLASS_DRAGON:
    case ID_CLASS_SHIP:
        return true;
    case ID_CLASS_HUMANOID:
        return (team == TEAM_DEFENDERS && id - DEFENDER_HUMANOID_BASE < HUMANOID_SERIALS) ||
               (team == TEAM_ATTACKERS && id - ATTACKER_HUMANOID_BASE < HUMANOID_SERIALS);
    default:
        return false;
    }
}

uint32_t free_serial(const world& w, uint32_t base, uint32_t serials, uint32_t from)
{
    for (uint32_t k = 0; k < serials; ++k) {
        const uint32_t s = (from + k) % serials;
        if (!find_unit(w, base + s))
            return s;
    }
    return from % serials;
}

void spawn_unit(world& w, uint32_t id, int team, int code)
{
    if (find_unit(w, id)) {
        refuse_current(w.session, refusal::bad_value, "Trying to spawn %8.8X, which already exists", id);
        return;
    }
    printf("spawning unit %8.8X for team %d\n", id, team);
    // Ships and unknown classes are not created from the network.
    if (const unit_kind_row* row = class_row(id_class(id)); row && row->spawn)
        row->spawn(w, id, team, code);
}

static bool is_figure(const unit* u)
{
    return humanoid_kind_of(u) == HUMANOID_FIGURE;
}

// What another copy needs besides the id to make the unit: a soldier's
// humanoid kind, else 0.
static int announcement_code(const unit* u)
{
    const humanoid_data* h = humanoid_of(u);
    return h ? h->kind : 0;
}

bool decides_death(const world& w, const unit* u)
{
    return death_decider(w, u) == 0;
}

void announce_unit(world& w, uint32_t id, int code, int team)
{
    // A unit made for a computer side this copy hosts names its side (one
    // more than the team number); a copy's own units leave it 0.
    send_command_message(w.session, "UNIT", id, float_to_bits(static_cast<float>(code)), side_slot(w.session, team), 0);
}

void announce_made_units_again(world& w)
{
    for (const unit* u = w.units.list; u; u = u->next) {
        if (!u->made_here || !plays_side(w.session, u->team))
            continue;
        const unit_kind_row* row = kind_row(u->kind);
        if (row && row->announced_again && !is_figure(u))
            announce_unit(w, u->id, announcement_code(u), u->team);
    }
}

void bury_orphaned_dead(world& w)
{
    // Only when a participant has left the table can a unit's death pass
    // to this copy while the unit already has no health left.
    if (w.units.departures_seen == w.session.departures)
        return;
    w.units.departures_seen = w.session.departures;
    for (unit* u = w.units.list; u;) {
        unit* next = u->next;
        if (!(u->health > 0.0f) && !is_figure(u) && decides_death(w, u))
            del_unit(w, u);  // frees only this unit: the walk goes on from next
        u = next;
    }
}

static void remove_unit(world& w, unit* u, bool game_goes_on)
{
    if (!u)
        return;
    const bool figure = is_figure(u);
    // 1. Another participant's figure takes its table entry with it; a
    //    computer side's figure leaves its side with nobody.
    const bool computer_figure = computer_figure_side(w, u) >= 0;
    if (computer_figure)
        computer_figure_gone(w, u);
    else if (figure && u != w.me)
        delete_participant_by_unit(w.session, u);
    // 2. This copy's dragon is forgotten, nobody rides it any more, and its
    //    dismount button leaves the command bar.
    if (u == w.player.dragon) {
        w.player.dragon = nullptr;
        w.player.riding_dragon = 0;
        delete_dismount_dragon_button(w);
    }
    // A dragon summoned here is announced dead from here, whether or not
    // this copy leads its team: nobody else flies it.
    const bool dragon_flown_here = dragon_is_flown_here(u);
    // 3. Nobody keeps attacking it.
    unit_detarget(w, u);
    forget_route(w, u->id);
    // 4. What its kind holds in the world goes with it (its own record
    //    goes with the unit).
    if (const unit_kind_row* row = kind_row(u->kind); row && row->removed)
        row->removed(w, u);

    // 5. Unlink (from the crowd grid too while a step runs).
    if (w.units.grid.live) {
        grid_unfile(w, u);
        if (u == w.units.stepping)
            w.units.stepping_deleted = true;
    }
    index_remove(w, u);
    if (w.units.walk_next == u)
        w.units.walk_next = u->next;
    if (u->prev)
        u->prev->next = u->next;
    else if (w.units.list == u)
        w.units.list = u->next;
    if (u->next)
        u->next->prev = u->prev;

    // 6. The copy that decides a unit's death announces it (the creator;
    //    a dragon where it is flown); the own figure is announced by the
    //    side's leader.
    const int my_team = local_team(w);
    const bool announce = figure && !computer_figure
                              ? u == w.me && u->team == my_team && i_am_team_leader(w.session)
                              : decides_death(w, u);
    if ((announce && (game_goes_on || u == w.me)) || dragon_flown_here)
        send_command_message(w.session, "UDIE", u->id, 0, 0, 0);
    // 7. Release.
    if (w.me == u)
        w.me = nullptr;
    delete u;
    w.units.win_check_due = 1;
}

void del_unit(world& w, unit* u)
{
    remove_unit(w, u, true);
}

void drop_unit(world& w, unit* u)
{
    remove_unit(w, u, false);
}

unit_registry::~unit_registry()
{
    // The world is going: its units go without a word to anyone.
    while (list) {
        unit* u = list;
        list = u->next;
        delete u;
    }
}

void kill_unit(world& w, uint32_t id)
{
    if (unit* u = find_unit(w, id))
        del_unit(w, u);
}

int update_unit(world& w, uint32_t id, int n, const float* params)
{
    unit* u = find_unit(w, id);
    return u ? update_unit_record(w, u, n, params) : -1;
}

// The record for a unit's class, applied when it fits the unit's kind.
static int apply_unit_record(world& w, unit* u, int n, const float* params)
{
    const unit_kind_row* row = class_row(id_class(u->id));
    if (!row || row->kind != u->kind || !row->read_record)
        return -1;
    return row->read_record(w, u, n, params);
}

int update_unit_record(world& w, unit* u, int n, const float* params)
{
    if (apply_unit_record(w, u, n, params) != 0)
        return -1;
    u->reported_at = w.time;
    u->awaiting_place = 0;
    // A unit moved by its owner's record may now touch a structure: its
    // collision test (and so its touched model) is due at once.
    if (w.time < u->next_collision_test)
        u->next_collision_test = w.time;
    return 0;
}

// A soldier or ram steered elsewhere goes on at its last reported velocity
// only this long: once its copy stops reporting (the game is over there, or
// the copy is gone) it stands where the last records put it, rather than
// walking on for ever.
constexpr float RECORDS_STALE_AFTER = 1.0f;

// Soldiers, figures and engines are steered by the copy unit_steerer names
// (a soldier's or engine's side's leader or computer host, a figure's
// player); ships and dragons are counted as steered here (ships are never
// reported, a dragon keeps its own rule).
static bool steered_by_this_copy(const world& w, const unit* u)
{
    const unit_kind_row* row = kind_row(u->kind);
    if (!row || !row->steered_by_side)
        return true;
    return unit_steerer(w, u) == 0;
}

void append_unit_record(world& w, unit* u)
{
    if (const unit_kind_row* row = kind_row(u->kind); row && row->write_record)
        row->write_record(w, u);
}

// A unit from "UNIT" whose placing record has not come yet, and is not
// overdue (reported_at holds the unit's creation until a record comes).
static bool waits_to_be_placed(const world& w, const unit* u)
{
    return u->awaiting_place && w.time <= u->reported_at + RECORDS_STALE_AFTER;
}

// Reports the units this copy steers (steered_by_this_copy) and has placed:
// its figure, and the units of the sides it plays (its own, a computer side
// it hosts).
void send_unit_messages(world& w)
{
    const session& s = w.session;
    if (!w.me && !hosts_computer_side(s, TEAM_ATTACKERS) && !hosts_computer_side(s, TEAM_DEFENDERS))
        return;
    const int my_team = local_team(w);
    for (unit* u = w.units.list; u; u = u->next)
        if ((u == w.me || u->team == my_team || hosts_computer_side(s, u->team)) && steered_by_this_copy(w, u) &&
            !waits_to_be_placed(w, u))
            append_unit_record(w, u);
}

// A free id of the unit's class from this copy's counters, or 0. Soldiers
// stay in their side's range.
static uint32_t fresh_unit_id(world& w, const unit* u)
{
    const unit_kind_row* row = class_row(id_class(u->id));
    if (!row || !row->fresh_id)
        return 0;  // ships are never announced
    const uint32_t id = row->fresh_id(w, u);
    return find_unit(w, id) ? 0 : id;
}

uint32_t renumber_made_unit(world& w, unit* u)
{
    if (!u->made_here || is_figure(u))
        return 0;
    const uint32_t fresh = fresh_unit_id(w, u);
    if (!fresh)
        return 0;
    const uint32_t old = u->id;
    set_unit_id(w, u, fresh);
    renumber_route(w, old, fresh);
    announce_unit(w, fresh, announcement_code(u), u->team);
    append_unit_record(w, u);  // places it where the leader steers it, as a summon does
    return fresh;
}

// --- orders -------------------------------------------------------------------

float heading_toward(float x, float z, float tx, float tz)
{
    float h = static_cast<float>(90.0 - atan2(static_cast<double>(tz - z), static_cast<double>(tx - x)) * 180.0 / M_PI);
    if (h < 0.0f)
        h += 360.0f;
    if (h > 360.0f)
        h -= 360.0f;
    return h;
}

// Headings come from the network too. Far away (or no number at all), h is
// first brought within a turn of ref in one step; the turns after it then
// take at most two steps each, and are bounded so that rounding at huge
// values (where adding 360 no longer changes a float) cannot keep them going.
float near_heading(float h, float ref)
{
    const float d = h - ref;
    if (!(std::fabs(d) <= 720.0f))
        h = ref + std::fmod(d, 360.0f);
    for (int turns = 0; turns < 2 && h - ref <= -180.0f; ++turns)
        h += 360.0f;
    for (int turns = 0; turns < 2 && h - ref > 180.0f; ++turns)
        h -= 360.0f;
    return h;
}

void turn_toward(unit* u, float desired, float dt)
{
    const float diff = desired - u->heading;
    const float step = std::fmin(per_tuned_step(u->turn_rate, dt), std::fabs(diff));
    u->heading += diff > 0.0f ? step : -step;
}

float wrap_360(float h)
{
    // One step for any value (a turn off is the same exact result as a
    // subtraction); what is no number stays so.
    if (h > 360.0f) {
        h = std::fmod(h, 360.0f);
        if (h == 0.0f)
            h = 360.0f;
    } else if (h < 0.0f) {
        h = std::fmod(h, 360.0f);
        if (h < 0.0f)
            h += 360.0f;
    }
    return h;
}

// Serials are 16 bits: past the last one a counter starts again at 0
// rather than spill into the next class.
uint32_t next_unit_id(const world& w, uint32_t id_class, int& counter)
{
    const uint32_t base = id_class << 16;
    const uint32_t serial = free_serial(w, base, CLASS_SERIALS, static_cast<uint32_t>(counter));
    counter = static_cast<int>((serial + 1) & (CLASS_SERIALS - 1));
    return base + serial;
}

void raise_unit_counter(uint32_t id, int& counter)
{
    const int serial = static_cast<int>(id & (CLASS_SERIALS - 1));
    if (serial >= counter)
        counter = (serial + 1) & static_cast<int>(CLASS_SERIALS - 1);
}

void add_engine_update(world& w, const unit* u, float own)
{
    if (w.session.phase != STATE_PLAY)
        return;
    const float v[9] = {u->x, u->y, u->z, u->heading, own, u->pitch, u->vx, u->vy, u->vz};
    add_unit_update(w, u->id, 9, v);
}

int apply_engine_update(world& w, unit* u, int count, const float* values, const char* what, float* own)
{
    if (count != 9) {
        printf("received %s update with %d params\n", what, count);
        return -1;
    }
    if (!wire_values_ok(values, count)) {
        refuse_current(w.session, refusal::bad_value, "received %s update for %8.8X with a value out of range, ignored",
                       what, u->id);
        return -1;
    }
    u->x = values[0];
    u->y = values[1];
    u->z = values[2];
    u->heading = values[3];
    *own = values[4];
    u->pitch = values[5];
    u->vx = values[6];
    u->vy = values[7];
    u->vz = values[8];
    return 0;
}

void order_specific_unit(unit* u, float x, float z, int order_kind)
{
    if (!u)
        return;
    u->order_x = x;
    u->order_z = z;
    u->order_heading = heading_toward(u->x, u->z, x, z);
    u->order_kind = order_kind;
}

static bool among(const std::vector<uint32_t>& ids, uint32_t id)
{
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// Calls f(unit, goal x, goal z) for each selected unit of this copy's side,
// in registry order: its goal is the clicked point shifted by the unit's
// offset from the middle of the selection, so the group keeps its shape.
// Returns how many of them f refused (f returns nonzero).
template <class F>
static int for_each_order_goal(world& w, const std::vector<uint32_t>& selected, float x, float z, F&& f)
{
    double sx = 0.0, sz = 0.0;
    int n = 0;
    for (unit* u = w.units.list; u; u = u->next)
        if (among(selected, u->id)) {
            sx += u->x;
            sz += u->z;
            ++n;
        }
    if (n == 0)
        return 0;
    const float mx = static_cast<float>(sx / n), mz = static_cast<float>(sz / n);
    const int my_team = local_team(w);
    int refused = 0;
    for (unit* u = w.units.list; u; u = u->next)
        if (among(selected, u->id) && u->team == my_team && f(u, x + u->x - mx, z + u->z - mz) != 0)
            ++refused;
    return refused;
}

static void send_order(world& w, const unit* u, int code, float gx, float gz)
{
    send_command_message(w.session, "ORDR", u->id, float_to_bits(static_cast<float>(code)), float_to_bits(gx),
                         float_to_bits(gz));
}

// The player's line for units that no dry way takes to the point: on the
// banner, and on the terminal with the place and the count.
static void report_refused(world& w, int refused, float x, float z)
{
    if (refused <= 0)
        return;
    emit_banner(w.session.events, "No way over dry land", 1.0f, 0.8f, 0.2f, 0.3f, 2.0f);
    printf("No way over dry land to (%.0f, %.0f) for %d of the selected units\n", static_cast<double>(x),
           static_cast<double>(z), refused);
}

int order_unit(world& w, unit* u, float x, float z, int order_kind)
{
    if (leads_side(w.session, u->team))
        return route_order(w, u, x, z, order_kind);
    if (!order_reachable(w, u, x, z, order_kind))
        return -1;
    send_order(w, u, order_kind, x, z);
    return 0;
}

void issue_order(world& w, const std::vector<uint32_t>& selected, float x, float z, int order_kind)
{
    // Rams sent at a gate go at the gate itself, where they take places
    // across it, not at the places along the wall that keeping the group's
    // shape would give them.
    const bool at_gate = order_kind == ORDER_ATTACK && at_a_gate(w, x, z);
    const int refused = for_each_order_goal(w, selected, x, z, [&](unit* u, float gx, float gz) {
        if (at_gate && u->kind == UNIT_RAM) {
            gx = x;
            gz = z;
        }
        if (leads_side(w.session, u->team))
            return route_order(w, u, gx, gz, order_kind);
        if (!order_reachable(w, u, gx, gz, order_kind))
            return -1;
        send_order(w, u, order_kind, gx, gz);
        return 0;
    });
    report_refused(w, refused, x, z);
}

void queue_order(world& w, const std::vector<uint32_t>& selected, float x, float z)
{
    const int refused = for_each_order_goal(w, selected, x, z, [&](unit* u, float gx, float gz) {
        if (leads_side(w.session, u->team))
            return queue_waypoint(w, u, gx, gz);
        // The leader knows the unit's orders and plans the leg; water at
        // the point itself is refused here already.
        if (is_ground_unit(w, u) && !dry_ground(w.terrain, gx, gz))
            return -1;
        send_order(w, u, ORDR_QUEUE_MOVE, gx, gz);
        return 0;
    });
    report_refused(w, refused, x, z);
}

int issue_unit_order(world& w, uint32_t id, int team, int order_kind, float x, float z)
{
    // Only the copy that steers the unit's side carries out its members' orders.
    unit* u = find_unit(w, id);
    if (!u) {
        refuse_current(w.session, refusal::unknown_unit,
                       "tried to issue order %d->(%f,%f) to unit %8.8X which doesn't exist!", order_kind,
                       static_cast<double>(x), static_cast<double>(z), id);
        return -1;
    }
    if (u->team != team) {
        refuse_current(w.session, refusal::wrong_team, "member of team %d tried to order unit %8.8X of team %d", team, id,
                       u->team);
        return -1;
    }
    // A unit of a side this copy does not steer is its steering copy's
    // business: its state records would overwrite whatever is done here.
    if (!leads_side(w.session, u->team))
        return -1;
    const int applied = order_kind == ORDR_QUEUE_MOVE ? queue_waypoint(w, u, x, z) : route_order(w, u, x, z, order_kind);
    if (applied != 0) {
        refuse_current(w.session, refusal::bad_value, "order %d->(%f,%f) for unit %8.8X refused: no way over dry land",
                       order_kind, static_cast<double>(x), static_cast<double>(z), id);
        return -1;
    }
    return 0;
}

// --- simulation -------------------------------------------------------------------


void set_separation_grid(world& w, int on)
{
    w.units.grid_enabled = on != 0;
}

void separate_unit(world& w, unit* u)
{
    if (w.units.grid.live)
        separate_unit_grid(w, u);
    else
        separate_unit_plain(w, u);
}

static void simulate_kind(world& w, unit* u, float dt)
{
    if (const unit_kind_row* row = kind_row(u->kind); row && row->step)
        row->step(w, u, dt);
}

// How high a soldier steps up onto something low in its way.
constexpr float STEP_UP = 0.6f;

static bool records_stopped(const world& w, const unit* u)
{
    const unit_kind_row* row = kind_row(u->kind);
    return row && row->stands_when_records_stop && w.time > u->reported_at + RECORDS_STALE_AFTER &&
           !steered_by_this_copy(w, u);
}

bool steered_here(const world& w, const unit* u)
{
    return steered_by_this_copy(w, u);
}

void simulate_units(world& w, float dt)
{
    if (w.units.grid_enabled)
        grid_build(w);
    for (unit* u = w.units.list; u;) {
        w.units.walk_next = u->next;
        w.units.stepping = u;
        w.units.stepping_deleted = false;
        // An invisible unit shows again once its end time has passed, whatever
        // that time (-1 only marks a unit that is not hidden).
        if (u->invisible && u->invisible_until < w.time) {
            u->invisible_until = -1.0f;
            u->invisible = 0;
        }
        if (!u->fixed) {
            if (records_stopped(w, u))
                u->vx = u->vz = 0.0f;
            if (held_by_water(u) && w.terrain.made) {
                float g[2];
                get_terrain_gradient(w.terrain, u->x, u->z, g);
                u->vx = 2.0f * g[0];
                u->vy = 0.0f;
                u->vz = 2.0f * g[1];
            }
            const float old[3] = {u->x, u->y, u->z};
            u->x += u->vx * dt;
            u->y += u->vy * dt;
            u->z += u->vz * dt;
            if (!u->flying && (u->vx != 0.0f || u->vz != 0.0f))
                separate_unit(w, u);
            if (w.time > u->next_collision_test) {
                u->touched_model = nullptr;
                float p[3] = {u->x, u->y, u->z};
                const float step[3] = {u->vx * dt, u->vy * dt, u->vz * dt};
                model_node* touched = nullptr;
                float free_distance = do_collision_check(w.structures, p, step, u->radius, &touched);
                // A soldier held back by something low (the end of a
                // bridge's deck) steps onto it: tried again a step higher,
                // nothing holds it back.
                if (u->kind == UNIT_HUMANOID && !u->flying && (p[0] != u->x || p[2] != u->z)) {
                    float q[3] = {u->x, u->y + STEP_UP, u->z};
                    model_node* above = nullptr;
                    const float room = do_collision_check(w.structures, q, step, u->radius, &above);
                    if (q[0] == u->x && q[2] == u->z) {
                        std::copy(q, q + 3, p);
                        touched = above;
                        free_distance = room;
                    }
                }
                u->touched_model = touched;
                u->x = p[0];
                u->y = p[1];
                u->z = p[2];
                if (dt > 0.0f) {
                    float* vel[3] = {&u->vx, &u->vy, &u->vz};
                    for (int k = 0; k < 3; ++k) {
                        const float rate = (p[k] - old[k]) / dt;
                        if (std::fabs(rate) < std::fabs(*vel[k]))
                            *vel[k] = rate;
                    }
                }
                u->next_collision_test = w.time + free_distance / (u->speed + std::fabs(u->vy));
            }
            if (!u->on_water && old[1] > WATER_LEVEL && u->y <= WATER_LEVEL)
                emit_at(w.session.events, sim_event_kind::splash, u->x, u->y, u->z);
        }
        follow_route(w, u);
        simulate_kind(w, u, dt);
        if (!w.units.stepping_deleted)
            watch_headway(w, u, dt);
        if (w.units.grid.live && !w.units.stepping_deleted)
            grid_refile(w, u);
        u = w.units.walk_next;
    }
    w.units.walk_next = nullptr;
    w.units.stepping = nullptr;
    w.units.grid.live = false;
}

// --- command appliers -------------------------------------------------------------

int make_unit_invisible(world& w, uint32_t id, float until)
{
    unit* u = find_unit(w, id);
    if (!u) {
        refuse_current(w.session, refusal::unknown_unit, "Unit %8.8X trying to be invisible, but doesn't exist", id);
        return -1;
    }
    u->invisible = 1;
    u->invisible_until = until;
    return 0;
}

int unit_attack_sword(world& w, uint32_t attacker, uint32_t target, float heading)
{
    // The blow may delete its target: a unit striking itself would be
    // gone before its swing.
    if (attacker == target) {
        refuse_current(w.session, refusal::bad_value, "Unit %8.8X trying to strike itself", attacker);
        return -1;
    }
    unit* a = find_unit(w, attacker);
    if (!a) {
        refuse_current(w.session, refusal::unknown_unit, "Unit %8.8X trying to swing sword at %8.8X, but doesn't exist", attacker, target);
        return -1;
    }
    unit* t = find_unit(w, target);
    if (!t) {
        refuse_current(w.session, refusal::unknown_unit, "Unit %8.8X trying to attack unit %8.8X which doesn't exist", attacker, target);
        return -1;
    }
    spend_turn(a);
    a->heading = heading;
    damage_this_unit(w, t, a, 3.0f);
    // The blow may have deleted the target, never the attacker (another
    // unit).
    start_sword_stroke(w, a);
    return 0;
}
