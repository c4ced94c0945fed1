// The unit registry: one record for every moving thing in the battle, kept
// in a doubly linked list, newest first. A kind record (humanoid, catapult,
// ...) hangs off each unit and is released with it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

struct model_node;

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

// A participant's figure carries 0x80400 + the participant's number.
constexpr uint32_t FIGURE_ID_BASE = 0x80400;
// Serials of an id class: the numbered classes (catapults, rams, the dragon,
// ships) use the lower 16 bits; the humanoids a copy makes take 0x400
// serials above their side's base, so that neither side reaches the
// figures' range or the other side's.
constexpr uint32_t CLASS_SERIALS = 0x10000;
constexpr uint32_t HUMANOID_SERIALS = 0x400;
constexpr uint32_t DEFENDER_HUMANOID_BASE = 0x80000;
constexpr uint32_t ATTACKER_HUMANOID_BASE = 0x81000;

// Order kinds.
enum : int {
    ORDER_NONE = 0,
    ORDER_MOVE = 1,
    ORDER_ATTACK = 2,
    ORDER_ENGAGED = 3,
    ORDER_HOLD = 4,
};

// The "ORDR" code of a further waypoint queued behind a unit's current
// orders; no unit carries it as its order kind.
constexpr int ORDR_QUEUE_MOVE = 5;

// Each kind's own record, held in the unit (unit::data).
struct humanoid_type;
struct fire_source;

struct humanoid_data {
    const humanoid_type* type = nullptr;
    int kind = 0;            // HUMANOID_FIGURE ...
    int weapon = 0;          // WEAPON_NONE ...
    float swing_started = 0; // game time of the last sword stroke (-1: none)
    int post = -1;           // an archer's tower: the wall point it stands on (-1: none)
};

struct catapult_data {
    float arm_angle = 0;    // degrees: 160 cocked, 90 at the end of a throw
    float arm_speed = 0;    // in units of 75 degrees per second
    float wheel_angle = 0;  // degrees
    float reload_time = 0;  // game time before which no throw
    int burning = 0;        // throws burning balls
    // The range it throws at, worked out when it is cocked and may throw.
    // Driving to an ordered point keeps the squared distance to it here,
    // which an attack ordered after a move reads as the range until its
    // first look.
    float range = 0;
};

struct ram_data {
    float swing = 0;        // the beam's offset along the cart, model units
    float wheel_angle = 0;  // degrees
};

struct dragon_data {
    int controlled = 0;                   // 1 on the copy that summoned it
    std::unique_ptr<fire_source> breath;  // intensity 10 while breathing fire, else 0
};

struct ship_data {
    float distance2 = 0;  // squared distance to its ordered point, when last sailing toward it
};

using unit_kind_data = std::variant<std::monostate, humanoid_data, catapult_data, ram_data, dragon_data, ship_data>;

// A received state record reads and writes only the first 64 bytes (place,
// velocity, team, kind, id and the times of its collision test and last
// record): a unit starts a cache line, so a record costs one line load.
struct alignas(64) unit {
    float x, y, z;
    float pitch;
    float heading;  // degrees
    float vx, vy, vz;
    int team;
    int kind;
    int fixed;
    uint32_t id;
    float next_collision_test;
    // When the last state record for the unit came (its creation before
    // any): a unit steered elsewhere whose records stop stands still.
    float reported_at;
    float order_x, order_y, order_z;
    float order_heading;
    // How it moves toward its ordered point: within the square root of
    // `arrival2` it has arrived (soldiers, rams), `drive_speed` is the speed
    // it walks or drives at (a cart's and a ship's change as they go), and
    // it turns `turn_rate` degrees a tuned step.
    float arrival2;
    float drive_speed;
    float turn_rate;
    float radius;
    float health;
    float max_health;
    float speed;
    int order_kind;
    int on_water;
    int flying;
    int invisible;
    float invisible_until;
    model_node* touched_model;  // the structure the last collision test found in contact, or none
    unit_kind_data data;
    int target_seen;
    unit* attack_target;
    float last_attack_time;
    // Set when this copy created the unit (and announced it): this copy
    // alone decides the unit's death. Not set for units from "UNIT", whose
    // creator's sender id is kept instead (0 when not known): once that
    // participant has left, the side's leader decides in its place.
    int made_here;
    uint32_t creator;
    // Set for a unit from "UNIT" until a state record places it. Its
    // creator appends one at once; the side's leader, which steers the unit
    // and takes no one else's records for it, takes that first one and
    // reports the unit only once it is placed (or the record is overdue).
    int awaiting_place;
    // The unit's turns to strike or shoot by another copy's word (a blow,
    // an arrow, a ball): how many it has in hand, and when they were last
    // counted (take_turn in sim/rights.h).
    float turn_tokens;
    float turn_at;
    // Where the crowd grid has the unit filed while simulate_units runs
    // (kept by the registry; meaningless between steps): the slot of its
    // cell and its place in registry order.
    int grid_slot;
    long long grid_order;
    // Kept on the copy that steers the unit while it has an order to go
    // somewhere: where it last made headway, and for how long it has been
    // driving since without getting anywhere (sim/route.cpp).
    float headway_x, headway_z;
    float stalled_for;
    unit* next;
    unit* prev;
};
static_assert(offsetof(unit, reported_at) + sizeof(float) <= 64, "a state record's fields fit one cache line");

// The kind records of a unit, or null when it is of another kind.
inline humanoid_data* humanoid_of(unit* u) { return u ? std::get_if<humanoid_data>(&u->data) : nullptr; }
inline const humanoid_data* humanoid_of(const unit* u) { return u ? std::get_if<humanoid_data>(&u->data) : nullptr; }
inline catapult_data* catapult_of(unit* u) { return u ? std::get_if<catapult_data>(&u->data) : nullptr; }
inline const catapult_data* catapult_of(const unit* u) { return u ? std::get_if<catapult_data>(&u->data) : nullptr; }
inline ram_data* ram_of(unit* u) { return u ? std::get_if<ram_data>(&u->data) : nullptr; }
inline const ram_data* ram_of(const unit* u) { return u ? std::get_if<ram_data>(&u->data) : nullptr; }
inline dragon_data* dragon_of(unit* u) { return u ? std::get_if<dragon_data>(&u->data) : nullptr; }
inline const dragon_data* dragon_of(const unit* u) { return u ? std::get_if<dragon_data>(&u->data) : nullptr; }
inline ship_data* ship_of(unit* u) { return u ? std::get_if<ship_data>(&u->data) : nullptr; }

struct message_context;
struct session;
struct world;

// --- the kinds ----------------------------------------------------------------------

// What a kind is drawn as (the renderer has a picture for each).
enum class unit_look { none, humanoid, catapult, ram, dragon, ship };

// Every unit kind is one row: what makes, steps and reports it, and what
// each copy asks of it. Nothing else in the game chooses by the kind.
struct unit_kind_row {
    int kind;                 // UNIT_HUMANOID ...
    const char* name;         // for diagnostics ("catapult")
    uint32_t id_class;        // the upper 16 bits of the ids of its units
    unit_look look;
    // Steered by its side's leader (soldiers, engines), so its state comes
    // from there; otherwise the kind keeps its own rule (figures by their
    // player, a dragon by its summoner, ships by nobody).
    bool steered_by_side;
    // Stands still when the records of the copy that steers it stop.
    bool stands_when_records_stop;
    // Announced again early in a battle, for copies that joined late
    // (soldiers and engines; a dragon's one announcement is enough).
    bool announced_again;
    // The local copy of a unit another copy announced ("UNIT"); `code` is
    // the announcement's (a humanoid's kind). Null for kinds never
    // announced.
    unit* (*spawn)(world& w, uint32_t id, int team, int code);
    // Its own behaviour, once a step after the registry has moved it.
    void (*step)(world& w, unit* u, float dt);
    // Appends its state record to the open batch (what the copy that
    // steers it reports); null for kinds that report nothing.
    void (*write_record)(world& w, unit* u);
    // Applies a received record; 0 when applied, -1 when refused.
    int (*read_record)(world& w, unit* u, int count, const float* values);
    // What the unit holds in the world goes with it (an archer's tower
    // waits for a new one); null when nothing.
    void (*removed)(world& w, unit* u);
    // A free id for a unit of the kind that must leave its own (another
    // copy keeps it), from this copy's counters; null for kinds never
    // announced.
    uint32_t (*fresh_id)(world& w, const unit* u);
};
// The table of kinds, a row for each kind from UNIT_HUMANOID on, in order.
constexpr int UNIT_KIND_COUNT = UNIT_SHIP - UNIT_HUMANOID + 1;
extern const unit_kind_row UNIT_KIND_ROWS[UNIT_KIND_COUNT];
// The row of a kind, or null for none; the row of an id's class, or null.
inline const unit_kind_row* kind_row(int kind)
{
    return kind >= UNIT_HUMANOID && kind <= UNIT_SHIP ? &UNIT_KIND_ROWS[kind - UNIT_HUMANOID] : nullptr;
}
const unit_kind_row* class_row(uint32_t id_class);

// --- the registry -------------------------------------------------------------------

// A unit as its crowd-grid cell holds it (sim/units.cpp says how the grid
// works).
struct grid_entry {
    float x, y, z, radius;
    int order;
    unit* u;
};
struct crowd_grid {
    bool live = false;
    std::vector<std::vector<grid_entry>> cells;  // per side and cell
    // Per side and row of cells: how many units are filed in it, and the
    // columns that held any since the build (a search skips empty rows and
    // the empty ends of the others).
    std::vector<int> row_count;
    std::vector<int> row_lo, row_hi;
    std::vector<int> used;     // slots that may hold units, cleared at the next build
    std::vector<unit*> added;  // units made during the step, filed in no cell
    // The units present when the step began, by order key, and one mark
    // bit for each (all clear between searches).
    std::vector<unit*> by_order;
    std::vector<std::array<float, 3>> place_by_order;  // as last filed
    std::vector<uint64_t> marks;
    long long first_order = 0;
    float max_radius = 0.0f;
};
// A unit near the one being separated, as the grid held it.
struct grid_near_entry {
    int order;
    float x, z, radius;
    unit* u;
};
// A unit found near another, with its place (x, y, z as the unit has them).
struct near_unit {
    unit* u;
    float x, y, z;
};
// The first unit in registry order with an id, and how many carry it.
struct id_slot {
    unit* first = nullptr;
    int count = 0;
};
constexpr uint32_t ID_TABLE_CLASSES = 16;

// The units of one battle, newest first, with their index by id, the crowd
// grid of the step under way, and the counters of the ids this copy hands
// out. Destroying it frees every unit.
struct unit_registry {
    unit_registry() = default;
    ~unit_registry();
    unit_registry(const unit_registry&) = delete;
    unit_registry& operator=(const unit_registry&) = delete;

    unit* list = nullptr;
    // Set when a unit is removed: the end of the game is judged again.
    int win_check_due = 0;
    // The session's departures whose dead this registry has buried.
    long departures_seen = 0;
    // Serial counters of the ids this copy hands out.
    int catapult_counter = 0, ram_counter = 0, ship_counter = 0, dragon_counter = 0;
    uint32_t humanoid_counter = 0;

    // The step under way: the unit after the one being stepped (deleting
    // moves it on), the unit being stepped and whether it deleted itself.
    unit* walk_next = nullptr;
    const unit* stepping = nullptr;
    bool stepping_deleted = false;
    crowd_grid grid;
    bool grid_enabled = true;
    std::vector<id_slot> id_tables[ID_TABLE_CLASSES];
    std::unordered_map<uint32_t, id_slot> ids;
    // Room the searches of a step reuse (their contents mean nothing
    // between calls).
    std::vector<grid_near_entry> near_scratch;
    std::vector<std::pair<int, near_unit>> added_scratch;
    std::vector<near_unit> look_scratch;
};

// Water level: figures below it swim, and a unit crossing it splashes.
constexpr float WATER_LEVEL = 10.0f;

inline uint32_t id_class(uint32_t id)
{
    return id >> 16;
}

// A new record at the head of the registry; the caller fills kind and record.
unit* add_unit(world& w, uint32_t id);
// The same for a unit another copy created and announced ("UNIT").
unit* add_announced_unit(world& w, uint32_t id);
// First unit with that id, or nullptr. Looked up in an index by id that
// add_unit, set_unit_id and del_unit keep.
unit* find_unit(world& w, uint32_t id);
const unit* find_unit(const world& w, uint32_t id);
// Gives a unit of the registry another id (the index follows).
void set_unit_id(world& w, unit* u, uint32_t id);
// Creates the local copy of a unit announced by another copy ("UNIT").
// `code` is the humanoid kind (0..5), used for humanoids only.
void spawn_unit(world& w, uint32_t id, int team, int code);
// Whether `id` is one a copy playing for `team` makes and announces
// ("UNIT"): a numbered class, or a humanoid of that side's range.
bool id_made_by_team(uint32_t id, int team);
// The first serial from `from` on (past the last one, from 0 again) whose
// id base + serial no unit carries; `from` itself when every one is taken.
uint32_t free_serial(const world& w, uint32_t base, uint32_t serials, uint32_t from);
void del_unit(world& w, unit* u);
// Removes a unit when the game is over on this copy and its registry is
// cleared: the units this copy decides stay on the copies still playing, so
// only the own figure and a dragon flown from here, which nobody else moves,
// are announced gone.
void drop_unit(world& w, unit* u);
// Whether this copy decides the unit's death and announces it: for a
// player's figure its own copy, for any other unit the copy that created
// it (the side's leader, or the copy that summoned it) and, once that
// creator has left the table, the side's leader.
bool decides_death(const world& w, const unit* u);
// Deletes (and announces) every unit with no health left whose death this
// copy has come to decide: one struck down while its creator still decided
// it, whose creator has since left. Called once a play step; it does its
// walk only after a participant left the session's table.
void bury_orphaned_dead(world& w);
// Tells the other copies ("UNIT") that this copy made the unit `id` of side
// `team`; `code` is what they need to make it: a humanoid's kind, a ship's
// 2, else 0.
void announce_unit(world& w, uint32_t id, int code, int team);
// Announces again ("UNIT") every unit this copy made, for a copy that joined
// the game's channel after the first announcements while the world was
// built (the copies build at their own pace, and a lost "UNIT" is never
// made good otherwise). Called early in a game, and when another copy's
// first state records of the game come in.
void announce_made_units_again(world& w);
// Two copies that make a unit at the same moment may draw the same id (each
// counter has followed the same announcements). When the other copy keeps
// the id, this copy's unit moves to a fresh id of its class (and side, for
// soldiers) and is announced again under it. The new id, or 0 when the
// unit keeps its id: not one this copy made and announced, or no id of its
// class is free.
uint32_t renumber_made_unit(world& w, unit* u);
void kill_unit(world& w, uint32_t id);
// Applies one received state record; 0 when applied, -1 when the unit is
// unknown or its kind rejects the count.
int update_unit(world& w, uint32_t id, int n, const float* params);
// The same for a unit already looked up (by the id the record names).
int update_unit_record(world& w, unit* u, int n, const float* params);
// Appends the unit's state record to the open batch, as its kind reports it.
void append_unit_record(world& w, unit* u);
// Appends this copy's records to the open unit-state batch.
void send_unit_messages(world& w);
// Number of units in the registry.
int count_units(const world& w);
// Prints the registry to standard output: a count, then one line per unit
// with its id, kind and team (for players reporting problems, and tests).
void print_registry(const world& w);

// Heading (degrees, 0 along +z, 90 along +x) from (x, z) toward (tx, tz),
// in 0..360.
float heading_toward(float x, float z, float tx, float tz);
// `h` brought within 180 degrees of `ref`, so that the way to turn from
// `ref` is the sign of the difference.
float near_heading(float h, float ref);
// A heading wrapped into 0..360.
float wrap_360(float h);
// Turns u toward the heading `desired` (within 180 degrees of its own) at
// its turn rate over dt seconds; never past.
void turn_toward(unit* u, float desired, float dt);

// Unit ids of the numbered classes (catapults, rams, ships): the next free
// id of a class, taken from this copy's counter, and a counter raised past
// an id another copy announced (never beyond the class's serials).
uint32_t next_unit_id(const world& w, uint32_t id_class, int& counter);
void raise_unit_counter(uint32_t id, int& counter);

// The state record of the engines (catapults, rams): 9 values, x, y, z,
// heading, one of the engine's own (`own`), pitch, vx, vy, vz. Appended to
// the open batch only in play.
void add_engine_update(world& w, const unit* u, float own);
// Stores such a record and returns 0 with the engine's own value in `own`;
// another count is reported ("received <what> update with N params") and
// changes nothing (-1).
int apply_engine_update(world& w, unit* u, int count, const float* values, const char* what, float* own);
// An order for one unit of a side this copy plays: applied here when this
// copy steers the side, else sent to the copy that does ("ORDR"). -1 when
// no dry way takes the unit there.
int order_unit(world& w, unit* u, float x, float z, int order_kind);
// An order from this copy's user to the units it selected (their ids) at
// ground (x, z). Ground units that no dry way takes there are left as they
// are, and the player is told.
void issue_order(world& w, const std::vector<uint32_t>& selected, float x, float z, int order_kind);
// A further waypoint for the selected units, after their current orders.
void queue_order(world& w, const std::vector<uint32_t>& selected, float x, float z);
// An order received from another copy ("ORDR"); `team` is the sender's.
// ORDR_QUEUE_MOVE queues a waypoint.
// Returns 0 when applied, -1 when refused or not this copy's business.
int issue_unit_order(world& w, uint32_t id, int team, int order_kind, float x, float z);
void order_specific_unit(unit* u, float x, float z, int order_kind);

// Whether this copy steers the unit: its own figure, and as its side's
// leader the side's soldiers and engines. Any other soldier or engine
// moves by the records of the copy that steers it, keeping the reported
// velocity between them; a soldier or ram whose records stop (its copy has
// ended its game or gone) stands still a second after the last one.
bool steered_here(const world& w, const unit* u);
// The per-frame step over every unit: invisibility, motion, crowd
// separation, collision, splash and each kind's own behaviour.
void simulate_units(world& w, float dt);
// Pushes a moving unit out of every unit it overlaps (ground plane only),
// visiting the others in registry order. Inside simulate_units this looks
// only at the units filed near it in the crowd grid; the outcome is the
// plain scan's.
void separate_unit(world& w, unit* u);
// The plain scan over the whole registry.
void separate_unit_plain(world& w, unit* u);
// Whether simulate_units keeps the crowd grid (on by default); off, every
// separation and every look for an enemy is the plain scan.
void set_separation_grid(world& w, int on);
// While simulate_units keeps the crowd grid: fills `out` with the units
// other than u, of a team other than `skip_team`, whose horizontal distance
// from u is below `range`, in registry order, and returns true. Returns
// false (and leaves `out` alone) when there is no grid to ask or u is at no
// finite place: the caller then scans the registry itself.
bool units_near(world& w, const unit* u, float range, int skip_team, std::vector<near_unit>& out);

// Appliers of received one-shot commands; -1 when a unit is missing.
int make_unit_invisible(world& w, uint32_t id, float until);
int unit_attack_sword(world& w, uint32_t attacker, uint32_t target, float heading);
