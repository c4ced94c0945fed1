#include "sim/units.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <unordered_map>
#include <utility>
#include <vector>

#include "sim/game.h"
#include "platform/random.h"
#include "sim/commands.h"
#include "sim/messages.h"
#include "sim/participants.h"
#include "sim/rights.h"
#include "sim/wire.h"
#include "sim/events.h"
#include "sim/catapult.h"
#include "sim/combat.h"
#include "sim/magic.h"
#include "sim/dragon.h"
#include "sim/humanoid.h"
#include "sim/ram.h"
#include "sim/route.h"
#include "sim/sides.h"
#include "sim/ship.h"
#include "sim/model_tree.h"
#include "sim/terrain.h"

unit* unit_list = nullptr;
int friends_selected = 0;
unit* enemy_selected = nullptr;
int do_check_win = 0;

// The unit after the one being stepped: a step may delete other units (a
// blow that kills its target), and deleting moves this on.
static unit* s_walk_next = nullptr;


// The body of the crowd separation for one other unit (at ox, oz, of
// radius oradius): pushes u out of it when they overlap.
static inline void push_apart_from(unit* u, float ox, float oz, float oradius)
{
    float dx = ox - u->x, dz = oz - u->z;
    const float d2 = dx * dx + dz * dz;
    const float r = u->radius + oradius;
    if (!(d2 < r * r))
        return;
    float d = std::sqrt(d2);
    if (d < 0.2f || !std::isfinite(d)) {
        const float a = static_cast<float>(game_rand() % 100);
        dx = std::sin(a);
        dz = std::cos(a);
        d = 1.0f;
    }
    u->x -= dx / d * (r - d);
    u->z -= dz / d * (r - d);
}

static inline void push_apart(unit* u, const unit* o)
{
    push_apart_from(u, o->x, o->z, o->radius);
}

void separate_unit_plain(unit* u)
{
    for (unit* o = unit_list; o; o = o->next)
        if (o != u)
            push_apart(u, o);
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

// A unit as its cell holds it: its place, radius and order key as they
// were when it was last filed, so that a search reads the cell's entries
// one after another without visiting the unit records. Only a unit's own
// step moves it (or changes its radius or side) while the grid is live, and
// it is filed again right after that step; during the step itself searches
// take the stepping unit from its record instead of its entry.
struct grid_entry {
    float x, y, z, radius;
    int order;
    unit* u;
};

struct crowd_grid {
    bool live = false;
    std::vector<std::vector<grid_entry>> cells;  // GRID_SIDES * GRID_AREA slots
    // Per side and row of cells: how many units are filed in it, and the
    // columns that held any since the build (a search skips empty rows and
    // the empty ends of the others).
    std::vector<int> row_count;
    std::vector<int> row_lo, row_hi;
    std::vector<int> used;  // slots that may hold units, cleared at the next build
    std::vector<unit*> added;  // units made during the step, filed in no cell
    // The units present when the step began, by order key, and one mark
    // bit for each (all clear between searches): a search marks what it
    // finds and reads the marks back in order, instead of sorting.
    std::vector<unit*> by_order;
    std::vector<std::array<float, 3>> place_by_order;  // as last filed
    std::vector<uint64_t> marks;
    long long first_order = 0;
    float max_radius = 0.0f;
};

crowd_grid s_grid;
bool s_grid_enabled = true;
// Set when the unit being stepped deleted itself.
const unit* s_stepping = nullptr;
bool s_stepping_deleted = false;

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

void grid_unfile(unit* u)
{
    const int slot = u->grid_slot;
    u->grid_slot = -1;
    if (slot == GRID_ADDED) {
        s_grid.added.erase(std::find(s_grid.added.begin(), s_grid.added.end(), u));
        return;
    }
    if (slot < 0)
        return;
    std::vector<grid_entry>& c = s_grid.cells[static_cast<size_t>(slot)];
    if (const auto it = entry_of(c, u); it != c.end()) {
        *it = c.back();
        c.pop_back();
        --s_grid.row_count[static_cast<size_t>(slot / GRID_CELLS)];
    }
}

void note_place(const unit* u)
{
    if (u->grid_order >= 0 && static_cast<size_t>(u->grid_order) < s_grid.place_by_order.size())
        s_grid.place_by_order[static_cast<size_t>(u->grid_order)] = {u->x, u->y, u->z};
}

void grid_file(unit* u)
{
    note_place(u);
    const int slot = grid_slot_of(u);
    u->grid_slot = slot;
    if (u->radius > s_grid.max_radius)
        s_grid.max_radius = u->radius;
    if (slot < 0)
        return;
    std::vector<grid_entry>& c = s_grid.cells[static_cast<size_t>(slot)];
    if (c.empty())
        s_grid.used.push_back(slot);
    c.push_back(live_entry(u));
    const size_t row = static_cast<size_t>(slot / GRID_CELLS);
    const int column = slot % GRID_CELLS;
    ++s_grid.row_count[row];
    s_grid.row_lo[row] = std::min(s_grid.row_lo[row], column);
    s_grid.row_hi[row] = std::max(s_grid.row_hi[row], column);
}

void grid_build()
{
    if (s_grid.cells.empty())
        s_grid.cells.resize(static_cast<size_t>(GRID_SIDES) * GRID_AREA);
    s_grid.row_count.assign(static_cast<size_t>(GRID_SIDES) * GRID_CELLS, 0);
    s_grid.row_lo.assign(static_cast<size_t>(GRID_SIDES) * GRID_CELLS, GRID_CELLS);
    s_grid.row_hi.assign(static_cast<size_t>(GRID_SIDES) * GRID_CELLS, -1);
    for (int c : s_grid.used)
        s_grid.cells[static_cast<size_t>(c)].clear();
    s_grid.used.clear();
    s_grid.added.clear();
    s_grid.max_radius = 0.0f;
    s_grid.by_order.clear();
    s_grid.place_by_order.clear();
    for (unit* u = unit_list; u; u = u->next) {
        u->grid_order = static_cast<long long>(s_grid.by_order.size());
        s_grid.by_order.push_back(u);
        s_grid.place_by_order.emplace_back();
        grid_file(u);
    }
    s_grid.marks.assign((s_grid.by_order.size() + 63) / 64, 0);
    s_grid.first_order = 0;
    s_grid.live = true;
}

// After a unit's step: its entry takes its new place (and cell).
void grid_refile(unit* u)
{
    if (u->grid_slot == GRID_ADDED)
        return;
    const int slot = grid_slot_of(u);
    if (slot != u->grid_slot || slot < 0) {
        grid_unfile(u);
        grid_file(u);
        return;
    }
    if (u->radius > s_grid.max_radius)
        s_grid.max_radius = u->radius;
    note_place(u);
    std::vector<grid_entry>& c = s_grid.cells[static_cast<size_t>(slot)];
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
void grid_visit(float x, float z, float range, const bool (&sides)[GRID_SIDES], Visit visit)
{
    const int z0 = grid_coord(z - range), z1 = grid_coord(z + range);
    const int xa = grid_coord(x - range), xb = grid_coord(x + range);
    const float range2 = range * range;
    const unit* const stepping = s_stepping_deleted ? nullptr : s_stepping;
    for (int gz = z0; gz <= z1; ++gz) {
        bool filled = false;
        for (int side = 0; side < GRID_SIDES; ++side)
            filled = filled || (sides[side] && s_grid.row_count[static_cast<size_t>(side * GRID_CELLS + gz)] > 0);
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
            if (!sides[side] || s_grid.row_count[row] == 0)
                continue;
            const size_t first = row * GRID_CELLS;
            const int end = std::min(x1, s_grid.row_hi[row]);
            for (int gx = std::max(x0, s_grid.row_lo[row]); gx <= end; ++gx)
                for (const grid_entry& e : s_grid.cells[first + static_cast<size_t>(gx)])
                    if (e.u != stepping)
                        visit(e, side);
        }
    }
    // The stepping unit, from its record (its entry lags behind its step,
    // and a unit filed nowhere may have come to a place); one made during
    // the step is among the added.
    if (stepping && stepping->grid_slot != GRID_ADDED && sides[grid_side(stepping->team)])
        visit(live_entry(stepping), grid_side(stepping->team));
    for (unit* o : s_grid.added)
        visit(live_entry(o), grid_side(o->team));
}

void separate_unit_grid(unit* u)
{
    if (!std::isfinite(u->x) || !std::isfinite(u->z) || !std::isfinite(u->radius) ||
        !std::isfinite(s_grid.max_radius)) {
        separate_unit_plain(u);
        return;
    }
    const float cx = u->x, cz = u->z;
    const float reach = u->radius + s_grid.max_radius + GRID_SLACK;
    // While u stays within `keep` of where it started, a unit further than
    // their radii and the slack from that start cannot overlap it (the
    // margin of half the slack covers rounding): only the others are
    // visited, in registry order, at the places their entries hold.
    struct near_entry {
        int order;
        float x, z, radius;
        unit* u;
    };
    static std::vector<near_entry> near;
    near.clear();
    const bool sides[GRID_SIDES] = {true, true, true};
    grid_visit(cx, cz, reach, sides, [&](const grid_entry& e, int) {
        if (e.u == u)
            return;
        const float dx = e.x - cx, dz = e.z - cz;
        const float lim = std::fabs(u->radius + e.radius) + GRID_SLACK;
        if (dx * dx + dz * dz < lim * lim)
            near.push_back({e.order, e.x, e.z, e.radius, e.u});
    });
    std::sort(near.begin(), near.end(), [](const near_entry& a, const near_entry& b) { return a.order < b.order; });
    const float keep = GRID_SLACK / 2;
    for (const near_entry& o : near) {
        push_apart_from(u, o.x, o.z, o.radius);
        const float mx = u->x - cx, mz = u->z - cz;
        if (!(mx * mx + mz * mz <= keep * keep)) {
            // Pushed too far for the cells searched: the rest plainly.
            for (unit* p = o.u->next; p; p = p->next)
                if (p != u)
                    push_apart(u, p);
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
struct id_slot {
    unit* first = nullptr;
    int count = 0;
};
constexpr uint32_t ID_TABLE_CLASSES = 16;
std::vector<id_slot> s_id_tables[ID_TABLE_CLASSES];
std::unordered_map<uint32_t, id_slot> s_ids;

id_slot* id_slot_of(uint32_t id, bool make)
{
    const uint32_t c = id_class(id);
    if (c >= ID_TABLE_CLASSES) {
        if (make)
            return &s_ids[id];
        const auto it = s_ids.find(id);
        return it == s_ids.end() ? nullptr : &it->second;
    }
    std::vector<id_slot>& table = s_id_tables[c];
    if (table.empty()) {
        if (!make)
            return nullptr;
        table.resize(CLASS_SERIALS);
    }
    return &table[id & (CLASS_SERIALS - 1)];
}

// u is linked into the registry already.
void index_add(unit* u)
{
    id_slot& slot = *id_slot_of(u->id, true);
    if (slot.count++ == 0 || u == unit_list) {
        slot.first = u;
        return;
    }
    for (unit* o = unit_list; o; o = o->next)
        if (o->id == u->id) {
            slot.first = o;
            return;
        }
}

// u is still linked into the registry.
void index_remove(const unit* u)
{
    id_slot* slot = id_slot_of(u->id, false);
    if (!slot || slot->count == 0)
        return;
    if (--slot->count == 0) {
        slot->first = nullptr;
        if (id_class(u->id) >= ID_TABLE_CLASSES)
            s_ids.erase(u->id);
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

bool units_near(const unit* u, float range, int skip_team, std::vector<near_unit>& out)
{
    if (!s_grid.live || !std::isfinite(u->x) || !std::isfinite(u->z) || !std::isfinite(range))
        return false;
    const float range2 = range * range;
    const float ux = u->x, uz = u->z;
    const bool sides[GRID_SIDES] = {skip_team != 0, skip_team != 1, true};
    static std::vector<std::pair<int, near_unit>> added;  // made during the step: first in the registry
    added.clear();
    std::vector<uint64_t>& marks = s_grid.marks;
    size_t lo = marks.size(), hi = 0;
    grid_visit(ux, uz, range, sides, [&](const grid_entry& e, int side) {
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
    const unit* const stepping = s_stepping_deleted ? nullptr : s_stepping;
    for (size_t w = lo; w <= hi && w < marks.size(); ++w) {
        for (uint64_t bits = marks[w]; bits; bits &= bits - 1) {
            const size_t k = w * 64 + static_cast<size_t>(std::countr_zero(bits));
            unit* o = s_grid.by_order[k];
            if (o == stepping) {
                out.push_back({o, o->x, o->y, o->z});
            } else {
                const std::array<float, 3>& p = s_grid.place_by_order[k];
                out.push_back({o, p[0], p[1], p[2]});
            }
        }
        marks[w] = 0;
    }
    return true;
}

unit* add_unit(uint32_t id)
{
    unit* u = new unit{};
    u->id = id;
    u->vx = 0.1f;  // separates a new unit from anything it overlaps on its first frame
    u->radius = 1.0f;
    u->invisible_until = -1.0f;
    u->made_here = 1;
    u->reported_at = game_time;
    u->turn_tokens = RATE_BURST;
    u->turn_at = game_time;
    u->next = unit_list;
    u->prev = nullptr;
    if (unit_list)
        unit_list->prev = u;
    unit_list = u;
    index_add(u);
    if (s_grid.live) {
        // Newest first in the registry, so the smallest order key.
        u->grid_order = --s_grid.first_order;
        u->grid_slot = GRID_ADDED;
        s_grid.added.push_back(u);
    }
    return u;
}

unit* add_announced_unit(uint32_t id)
{
    unit* u = add_unit(id);
    u->made_here = 0;  // its creator decides its death
    return u;
}

unit* find_unit(uint32_t id)
{
    const id_slot* slot = id_slot_of(id, false);
    return slot ? slot->first : nullptr;
}

void set_unit_id(unit* u, uint32_t id)
{
    if (u->id == id)
        return;
    index_remove(u);
    u->id = id;
    index_add(u);
}

int count_units()
{
    int n = 0;
    for (unit* u = unit_list; u; u = u->next)
        ++n;
    return n;
}

void print_registry()
{
    printf("registry: %d units\n", count_units());
    for (const unit* u = unit_list; u; u = u->next)
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

uint32_t free_serial(uint32_t base, uint32_t serials, uint32_t from)
{
    for (uint32_t k = 0; k < serials; ++k) {
        const uint32_t s = (from + k) % serials;
        if (!find_unit(base + s))
            return s;
    }
    return from % serials;
}

void spawn_unit(uint32_t id, int team, int kind)
{
    if (find_unit(id)) {
        refuse(current_sender(), refusal::bad_value, "Trying to spawn %8.8X, which already exists", id);
        return;
    }
    printf("spawning unit %8.8X for team %d\n", id, team);
    switch (id_class(id)) {
    case ID_CLASS_CATAPULT:
        spawn_catapult(id, team);
        break;
    case ID_CLASS_RAM:
        spawn_ram(id, team);
        break;
    case ID_CLASS_DRAGON:
        spawn_dragon(id, team);
        break;
    case ID_CLASS_HUMANOID:
        spawn_humanoid(id, team, kind);
        break;
    default:
        // Ships and unknown classes are not created from the network.
        break;
    }
}

static bool is_figure(const unit* u)
{
    return humanoid_kind_of(u) == HUMANOID_FIGURE;
}

bool decides_death(const unit* u)
{
    return death_decider(u) == 0;
}

void announce_unit(uint32_t id, int code, int team)
{
    // A unit made for a computer side this copy hosts names its side (one
    // more than the team number); a copy's own units leave it 0.
    send_command_message("UNIT", id, float_to_bits(static_cast<float>(code)), side_slot(team), 0);
}

void announce_made_units_again()
{
    for (const unit* u = unit_list; u; u = u->next) {
        if (!u->made_here || !plays_side(u->team))
            continue;
        if (u->kind == UNIT_HUMANOID && !is_figure(u))
            announce_unit(u->id, humanoid_kind_of(u), u->team);
        else if (u->kind == UNIT_CATAPULT || u->kind == UNIT_RAM)
            announce_unit(u->id, 0, u->team);
    }
}

// Set when a participant leaves the table: only then can a unit's death
// pass to this copy while the unit already has no health left.
static bool s_creator_left = false;

void creator_left()
{
    s_creator_left = true;
}

void bury_orphaned_dead()
{
    if (!s_creator_left)
        return;
    s_creator_left = false;
    for (unit* u = unit_list; u;) {
        unit* next = u->next;
        if (!(u->health > 0.0f) && !is_figure(u) && decides_death(u))
            del_unit(u);  // frees only this unit: the walk goes on from next
        u = next;
    }
}

static void remove_unit(unit* u, bool game_goes_on)
{
    if (!u)
        return;
    const bool figure = is_figure(u);
    // 1. Another participant's figure takes its table entry with it; a
    //    computer side's figure leaves its side with nobody.
    const bool computer_figure = computer_figure_side(u) >= 0;
    if (computer_figure)
        computer_figure_gone(u);
    else if (figure && u != me)
        delete_participant_by_unit(u);
    // 2. This copy's dragon is forgotten, nobody rides it any more, and its
    //    dismount button leaves the command bar.
    if (u == my_dragon) {
        my_dragon = nullptr;
        riding_dragon = 0;
        delete_dismount_dragon_button();
    }
    // A dragon summoned here is announced dead from here, whether or not
    // this copy leads its team: nobody else flies it.
    const bool dragon_flown_here = dragon_is_flown_here(u);
    // 3. Nobody keeps attacking it.
    unit_detarget(u);
    forget_route(u->id);
    // 4. Kind records.
    if (u->extra && u->extra_release)
        u->extra_release(u->extra);
    if (u->kind_data && u->kind_release)
        u->kind_release(u->kind_data);
    u->extra = nullptr;
    u->kind_data = nullptr;

    // 5. Unlink (from the crowd grid too while a step runs).
    if (s_grid.live) {
        grid_unfile(u);
        if (u == s_stepping)
            s_stepping_deleted = true;
    }
    index_remove(u);
    if (s_walk_next == u)
        s_walk_next = u->next;
    if (u->prev)
        u->prev->next = u->next;
    else if (unit_list == u)
        unit_list = u->next;
    if (u->next)
        u->next->prev = u->prev;

    // 6. Selection counts.
    const int my_team = local_team();
    if (u->selected) {
        if (u->team == my_team) {
            if (friends_selected > 0)
                --friends_selected;
        } else if (enemy_selected == u) {
            enemy_selected = nullptr;
        }
    }
    if (enemy_selected == u)
        enemy_selected = nullptr;

    // 7. The copy that decides a unit's death announces it (the creator;
    //    a dragon where it is flown); the own figure is announced by the
    //    side's leader.
    const bool announce =
        figure && !computer_figure ? u == me && u->team == my_team && i_am_team_leader() : decides_death(u);
    if ((announce && (game_goes_on || u == me)) || dragon_flown_here)
        send_command_message("UDIE", u->id, 0, 0, 0);
    // 8. Release.
    if (me == u)
        me = nullptr;
    delete u;
    do_check_win = 1;
}

void del_unit(unit* u)
{
    remove_unit(u, true);
}

void drop_unit(unit* u)
{
    remove_unit(u, false);
}

void reset_game_units()
{
    s_creator_left = false;
    for (unit* u = unit_list; u; u = u->next) {
        u->selected = 0;
        u->touched_model = nullptr;
        u->attack_target = nullptr;
        u->target_seen = 0;
    }
    friends_selected = 0;
    enemy_selected = nullptr;
    do_check_win = 0;
}

void kill_unit(uint32_t id)
{
    if (unit* u = find_unit(id))
        del_unit(u);
}

int update_unit(uint32_t id, int n, const float* params)
{
    unit* u = find_unit(id);
    return u ? update_unit_record(u, n, params) : -1;
}

// The record for a unit's class, applied when it fits the unit's kind.
static int apply_unit_record(unit* u, int n, const float* params)
{
    switch (id_class(u->id)) {
    case ID_CLASS_HUMANOID:
        return u->kind == UNIT_HUMANOID ? update_humanoid(u, n, params) : -1;
    case ID_CLASS_CATAPULT:
        return u->kind == UNIT_CATAPULT ? update_catapult(u, n, params) : -1;
    case ID_CLASS_RAM:
        return u->kind == UNIT_RAM ? update_ram(u, n, params) : -1;
    case ID_CLASS_DRAGON:
        return u->kind == UNIT_DRAGON ? update_dragon(u, n, params) : -1;
    default:
        return -1;
    }
}

int update_unit_record(unit* u, int n, const float* params)
{
    if (apply_unit_record(u, n, params) != 0)
        return -1;
    u->reported_at = game_time;
    u->awaiting_place = 0;
    // A unit moved by its owner's record may now touch a structure: its
    // collision test (and so its touched model) is due at once.
    if (game_time < u->next_collision_test)
        u->next_collision_test = game_time;
    return 0;
}

// A soldier or ram steered elsewhere goes on at its last reported velocity
// only this long: once its copy stops reporting (the game is over there, or
// the copy is gone) it stands where the last records put it, rather than
// walking on for ever.
constexpr float RECORDS_STALE_AFTER = 1.0f;

// Soldiers and engines are steered by the copy that steers their side (its
// leader, or the host of a computer side), a figure by its player's copy;
// ships and dragons are counted as steered here (ships are never reported,
// a dragon keeps its own rule). unit_steerer says which copy that is.
static bool steered_by_this_copy(const unit* u)
{
    switch (u->kind) {
    case UNIT_HUMANOID:
    case UNIT_CATAPULT:
    case UNIT_RAM:
        return unit_steerer(u) == 0;
    default:
        return true;
    }
}

// Appends the unit's state record to the open batch, as its kind reports
// it (a dragon only where it was summoned; ships never).
static void append_unit_record(unit* u)
{
    switch (u->kind) {
    case UNIT_HUMANOID:
        conditionally_update_humanoid(u);
        break;
    case UNIT_CATAPULT:
        conditionally_update_catapult(u);
        break;
    case UNIT_RAM:
        conditionally_update_batram(u);
        break;
    case UNIT_DRAGON:
        conditionally_update_dragon(u);
        break;
    default:
        break;
    }
}

// A unit from "UNIT" whose placing record has not come yet, and is not
// overdue (reported_at holds the unit's creation until a record comes).
static bool waits_to_be_placed(const unit* u)
{
    return u->awaiting_place && game_time <= u->reported_at + RECORDS_STALE_AFTER;
}

// Reports the units this copy steers (steered_by_this_copy) and has placed:
// its figure, and the units of the sides it plays (its own, a computer side
// it hosts).
void send_unit_messages()
{
    if (!me && !hosts_computer_side(TEAM_ATTACKERS) && !hosts_computer_side(TEAM_DEFENDERS))
        return;
    const int my_team = local_team();
    for (unit* u = unit_list; u; u = u->next)
        if ((u == me || u->team == my_team || hosts_computer_side(u->team)) && steered_by_this_copy(u) &&
            !waits_to_be_placed(u))
            append_unit_record(u);
}

// A free id of the unit's class from this copy's counters, or 0. Soldiers
// stay in their side's range.
static uint32_t fresh_unit_id(const unit* u)
{
    uint32_t id = 0;
    switch (id_class(u->id)) {
    case ID_CLASS_HUMANOID:
        id = next_humanoid_id(u->id >= ATTACKER_HUMANOID_BASE ? ATTACKER_HUMANOID_BASE : DEFENDER_HUMANOID_BASE);
        break;
    case ID_CLASS_CATAPULT:
        id = next_unit_id(ID_CLASS_CATAPULT, catapult_id);
        break;
    case ID_CLASS_RAM:
        id = next_unit_id(ID_CLASS_RAM, ram_id);
        break;
    case ID_CLASS_DRAGON:
        id = next_unit_id(ID_CLASS_DRAGON, dragon_id);
        break;
    default:
        return 0;  // ships are never announced
    }
    return find_unit(id) ? 0 : id;
}

uint32_t renumber_made_unit(unit* u)
{
    if (!u->made_here || is_figure(u))
        return 0;
    const uint32_t fresh = fresh_unit_id(u);
    if (!fresh)
        return 0;
    const uint32_t old = u->id;
    set_unit_id(u, fresh);
    renumber_route(old, fresh);
    announce_unit(fresh, u->kind == UNIT_HUMANOID ? humanoid_kind_of(u) : 0, u->team);
    append_unit_record(u);  // places it where the leader steers it, as a summon does
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
    const float step = std::fmin(per_tuned_step(u->param[2], dt), std::fabs(diff));
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
uint32_t next_unit_id(uint32_t id_class, int& counter)
{
    const uint32_t base = id_class << 16;
    const uint32_t serial = free_serial(base, CLASS_SERIALS, static_cast<uint32_t>(counter));
    counter = static_cast<int>((serial + 1) & (CLASS_SERIALS - 1));
    return base + serial;
}

void raise_unit_counter(uint32_t id, int& counter)
{
    const int serial = static_cast<int>(id & (CLASS_SERIALS - 1));
    if (serial >= counter)
        counter = (serial + 1) & static_cast<int>(CLASS_SERIALS - 1);
}

void add_engine_update(const unit* u, float own)
{
    if (game_state != STATE_PLAY)
        return;
    const float v[9] = {u->x, u->y, u->z, u->heading, own, u->pitch, u->vx, u->vy, u->vz};
    add_unit_update(u->id, 9, v);
}

int apply_engine_update(unit* u, int count, const float* values, const char* what, float* own)
{
    if (count != 9) {
        printf("received %s update with %d params\n", what, count);
        return -1;
    }
    if (!wire_values_ok(values, count)) {
        refuse(current_sender(), refusal::bad_value, "received %s update for %8.8X with a value out of range, ignored", what, u->id);
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

// Calls f(unit, goal x, goal z) for each selected unit of this copy's side:
// its goal is the clicked point shifted by the unit's offset from the
// middle of the selection, so the group keeps its shape. Returns how many
// of them f refused (f returns nonzero).
template <class F>
static int for_each_order_goal(float x, float z, F&& f)
{
    double sx = 0.0, sz = 0.0;
    int n = 0;
    for (unit* u = unit_list; u; u = u->next)
        if (u->selected) {
            sx += u->x;
            sz += u->z;
            ++n;
        }
    if (n == 0)
        return 0;
    const float mx = static_cast<float>(sx / n), mz = static_cast<float>(sz / n);
    const int my_team = local_team();
    int refused = 0;
    for (unit* u = unit_list; u; u = u->next)
        if (u->selected && u->team == my_team && f(u, x + u->x - mx, z + u->z - mz) != 0)
            ++refused;
    return refused;
}

static void send_order(const unit* u, int code, float gx, float gz)
{
    send_command_message("ORDR", u->id, float_to_bits(static_cast<float>(code)), float_to_bits(gx),
                         float_to_bits(gz));
}

// The player's line for units that no dry way takes to the point: on the
// banner, and on the terminal with the place and the count.
static void report_refused(int refused, float x, float z)
{
    if (refused <= 0)
        return;
    emit_banner("No way over dry land", 1.0f, 0.8f, 0.2f, 0.3f, 2.0f);
    printf("No way over dry land to (%.0f, %.0f) for %d of the selected units\n", static_cast<double>(x),
           static_cast<double>(z), refused);
}

int order_unit(unit* u, float x, float z, int order_kind)
{
    if (leads_side(u->team))
        return route_order(u, x, z, order_kind);
    if (!order_reachable(u, x, z, order_kind))
        return -1;
    send_order(u, order_kind, x, z);
    return 0;
}

void issue_order(float x, float z, int order_kind)
{
    // Rams sent at a gate go at the gate itself, where they take places
    // across it, not at the places along the wall that keeping the group's
    // shape would give them.
    const bool at_gate = order_kind == ORDER_ATTACK && at_a_gate(x, z);
    const int refused = for_each_order_goal(x, z, [&](unit* u, float gx, float gz) {
        if (at_gate && u->kind == UNIT_RAM) {
            gx = x;
            gz = z;
        }
        if (leads_side(u->team))
            return route_order(u, gx, gz, order_kind);
        if (!order_reachable(u, gx, gz, order_kind))
            return -1;
        send_order(u, order_kind, gx, gz);
        return 0;
    });
    report_refused(refused, x, z);
}

void queue_order(float x, float z)
{
    const int refused = for_each_order_goal(x, z, [&](unit* u, float gx, float gz) {
        if (leads_side(u->team))
            return queue_waypoint(u, gx, gz);
        // The leader knows the unit's orders and plans the leg; water at
        // the point itself is refused here already.
        if (is_ground_unit(u) && !dry_ground(gx, gz))
            return -1;
        send_order(u, ORDR_QUEUE_MOVE, gx, gz);
        return 0;
    });
    report_refused(refused, x, z);
}

int issue_unit_order(uint32_t id, int team, int order_kind, float x, float z)
{
    // Only the copy that steers the unit's side carries out its members' orders.
    unit* u = find_unit(id);
    if (!u) {
        refuse(current_sender(), refusal::unknown_unit, "tried to issue order %d->(%f,%f) to unit %8.8X which doesn't exist!", order_kind,
                static_cast<double>(x), static_cast<double>(z), id);
        return -1;
    }
    if (u->team != team) {
        refuse(current_sender(), refusal::wrong_team, "member of team %d tried to order unit %8.8X of team %d", team, id, u->team);
        return -1;
    }
    // A unit of a side this copy does not steer is its steering copy's
    // business: its state records would overwrite whatever is done here.
    if (!leads_side(u->team))
        return -1;
    const int applied = order_kind == ORDR_QUEUE_MOVE ? queue_waypoint(u, x, z) : route_order(u, x, z, order_kind);
    if (applied != 0) {
        refuse(current_sender(), refusal::bad_value, "order %d->(%f,%f) for unit %8.8X refused: no way over dry land", order_kind,
                static_cast<double>(x), static_cast<double>(z), id);
        return -1;
    }
    return 0;
}

void select_catas()
{
    friends_selected = 0;
    enemy_selected = nullptr;
    const int my_team = local_team();
    for (unit* u = unit_list; u; u = u->next) {
        u->selected = u->kind == UNIT_CATAPULT ? 1 : 0;
        if (u->selected && u->team == my_team)
            ++friends_selected;
    }
}

void clear_selection()
{
    for (unit* u = unit_list; u; u = u->next)
        u->selected = 0;
    friends_selected = 0;
    enemy_selected = nullptr;
}

// --- simulation -------------------------------------------------------------------


void set_separation_grid(int on)
{
    s_grid_enabled = on != 0;
}

void separate_unit(unit* u)
{
    if (s_grid.live)
        separate_unit_grid(u);
    else
        separate_unit_plain(u);
}

static void simulate_kind(unit* u, float dt)
{
    switch (u->kind) {
    case UNIT_HUMANOID:
        simulate_humanoid(u, dt);
        break;
    case UNIT_CATAPULT:
        simulate_catapult(u, dt);
        break;
    case UNIT_RAM:
        simulate_ram(u, dt);
        break;
    case UNIT_DRAGON:
        simulate_dragon(u, dt);
        break;
    case UNIT_SHIP:
        simulate_ship(u, dt);
        break;
    default:
        break;
    }
}

// How high a soldier steps up onto something low in its way.
constexpr float STEP_UP = 0.6f;

static bool records_stopped(const unit* u)
{
    return (u->kind == UNIT_HUMANOID || u->kind == UNIT_RAM) && game_time > u->reported_at + RECORDS_STALE_AFTER &&
           !steered_by_this_copy(u);
}

bool steered_here(const unit* u)
{
    return steered_by_this_copy(u);
}

void simulate_units(float dt)
{
    if (s_grid_enabled)
        grid_build();
    for (unit* u = unit_list; u;) {
        s_walk_next = u->next;
        s_stepping = u;
        s_stepping_deleted = false;
        // An invisible unit shows again once its end time has passed, whatever
        // that time (-1 only marks a unit that is not hidden).
        if (u->invisible && u->invisible_until < game_time) {
            u->invisible_until = -1.0f;
            u->invisible = 0;
        }
        if (!u->fixed) {
            if (records_stopped(u))
                u->vx = u->vz = 0.0f;
            if (held_by_water(u) && height_map[0]) {
                float g[2];
                get_terrain_gradient(u->x, u->z, g);
                u->vx = 2.0f * g[0];
                u->vy = 0.0f;
                u->vz = 2.0f * g[1];
            }
            const float old[3] = {u->x, u->y, u->z};
            u->x += u->vx * dt;
            u->y += u->vy * dt;
            u->z += u->vz * dt;
            if (!u->flying && (u->vx != 0.0f || u->vz != 0.0f))
                separate_unit(u);
            if (game_time > u->next_collision_test) {
                u->touched_model = nullptr;
                float p[3] = {u->x, u->y, u->z};
                const float step[3] = {u->vx * dt, u->vy * dt, u->vz * dt};
                model_node* touched = nullptr;
                float free_distance = do_collision_check(p, step, u->radius, &touched);
                // A soldier held back by something low (the end of a
                // bridge's deck) steps onto it: tried again a step higher,
                // nothing holds it back.
                if (u->kind == UNIT_HUMANOID && !u->flying && (p[0] != u->x || p[2] != u->z)) {
                    float q[3] = {u->x, u->y + STEP_UP, u->z};
                    model_node* above = nullptr;
                    const float room = do_collision_check(q, step, u->radius, &above);
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
                u->next_collision_test = game_time + free_distance / (u->speed + std::fabs(u->vy));
            }
            if (!u->on_water && old[1] > WATER_LEVEL && u->y <= WATER_LEVEL)
                emit_at(sim_event_kind::splash, u->x, u->y, u->z);
        }
        follow_route(u);
        simulate_kind(u, dt);
        if (!s_stepping_deleted)
            watch_headway(u, dt);
        if (s_grid.live && !s_stepping_deleted)
            grid_refile(u);
        u = s_walk_next;
    }
    s_walk_next = nullptr;
    s_stepping = nullptr;
    s_grid.live = false;
}

// --- command appliers -------------------------------------------------------------

int make_unit_invisible(uint32_t id, float until)
{
    unit* u = find_unit(id);
    if (!u) {
        refuse(current_sender(), refusal::unknown_unit, "Unit %8.8X trying to be invisible, but doesn't exist", id);
        return -1;
    }
    u->invisible = 1;
    u->invisible_until = until;
    return 0;
}

int unit_attack_sword(uint32_t attacker, uint32_t target, float heading)
{
    // The blow may delete its target: a unit striking itself would be
    // gone before its swing.
    if (attacker == target) {
        refuse(current_sender(), refusal::bad_value, "Unit %8.8X trying to strike itself", attacker);
        return -1;
    }
    unit* a = find_unit(attacker);
    if (!a) {
        refuse(current_sender(), refusal::unknown_unit, "Unit %8.8X trying to swing sword at %8.8X, but doesn't exist", attacker, target);
        return -1;
    }
    unit* t = find_unit(target);
    if (!t) {
        refuse(current_sender(), refusal::unknown_unit, "Unit %8.8X trying to attack unit %8.8X which doesn't exist", attacker, target);
        return -1;
    }
    spend_turn(a);
    a->heading = heading;
    damage_this_unit(t, a, 3.0f);
    // The blow may have deleted the target, never the attacker (another
    // unit).
    start_sword_stroke(a);
    return 0;
}
