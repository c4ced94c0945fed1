// The unit registry: one record for every moving thing in the battle, kept
// in a doubly linked list, newest first. A kind record (humanoid, catapult,
// ...) hangs off each unit and is released with it.
#pragma once

#include <cstddef>
#include <cstdint>
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
    float param[3];  // meaning per kind
    float radius;
    float health;
    float max_health;
    float speed;
    int selected;
    int order_kind;
    int on_water;
    int flying;
    int invisible;
    float invisible_until;
    model_node* touched_model;  // the structure the last collision test found in contact, or none
    void* extra;
    void (*extra_release)(void*);
    void* kind_data;
    void (*kind_release)(void*);
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

extern unit* unit_list;
extern int friends_selected;
extern unit* enemy_selected;
extern int do_check_win;

// Water level: figures below it swim, and a unit crossing it splashes.
constexpr float WATER_LEVEL = 10.0f;

inline uint32_t id_class(uint32_t id)
{
    return id >> 16;
}

// A new record at the head of the registry; the caller fills kind and record.
unit* add_unit(uint32_t id);
// The same for a unit another copy created and announced ("UNIT").
unit* add_announced_unit(uint32_t id);
// First unit with that id, or nullptr. Looked up in an index by id that
// add_unit, set_unit_id and del_unit keep.
unit* find_unit(uint32_t id);
// Gives a unit of the registry another id (the index follows).
void set_unit_id(unit* u, uint32_t id);
// Creates the local copy of a unit announced by another copy ("UNIT").
// `kind` is the humanoid kind (0..5), used for humanoids only.
void spawn_unit(uint32_t id, int team, int kind);
// Whether `id` is one a copy playing for `team` makes and announces
// ("UNIT"): a numbered class, or a humanoid of that side's range.
bool id_made_by_team(uint32_t id, int team);
// The first serial from `from` on (past the last one, from 0 again) whose
// id base + serial no unit carries; `from` itself when every one is taken.
uint32_t free_serial(uint32_t base, uint32_t serials, uint32_t from);
void del_unit(unit* u);
// Removes a unit when the game is over on this copy and its registry is
// cleared: the units this copy decides stay on the copies still playing, so
// only the own figure and a dragon flown from here, which nobody else moves,
// are announced gone.
void drop_unit(unit* u);
// Whether this copy decides the unit's death and announces it: for a
// player's figure its own copy, for any other unit the copy that created
// it (the side's leader, or the copy that summoned it) and, once that
// creator has left the table, the side's leader.
bool decides_death(const unit* u);
// Deletes (and announces) every unit with no health left whose death this
// copy has come to decide: one struck down while its creator still decided
// it, whose creator has since left. Called once a play step; it does its
// walk only after creator_left() (a participant left the table).
void bury_orphaned_dead();
void creator_left();
// Tells the other copies ("UNIT") that this copy made the unit `id` of side
// `team`; `code` is what they need to make it: a humanoid's kind, a ship's
// 2, else 0.
void announce_unit(uint32_t id, int code, int team);
// Announces again ("UNIT") every unit this copy made, for a copy that joined
// the game's channel after the first announcements while the world was
// built (the copies build at their own pace, and a lost "UNIT" is never
// made good otherwise). Called early in a game, and when another copy's
// first state records of the game come in.
void announce_made_units_again();
// Two copies that make a unit at the same moment may draw the same id (each
// counter has followed the same announcements). When the other copy keeps
// the id, this copy's unit moves to a fresh id of its class (and side, for
// soldiers) and is announced again under it. The new id, or 0 when the
// unit keeps its id: not one this copy made and announced, or no id of its
// class is free.
uint32_t renumber_made_unit(unit* u);
// A new game: no selection, no pending win check, and no unit left holding
// a reference into the old world (a touched model, an attack target).
void reset_game_units();
void kill_unit(uint32_t id);
// Applies one received state record; 0 when applied, -1 when the unit is
// unknown or its kind rejects the count.
int update_unit(uint32_t id, int n, const float* params);
// The same for a unit already looked up (by the id the record names).
int update_unit_record(unit* u, int n, const float* params);
// Appends this copy's records to the open unit-state batch.
void send_unit_messages();
// Number of units in the registry.
int count_units();
// Prints the registry to standard output: a count, then one line per unit
// with its id, kind and team (for players reporting problems, and tests).
void print_registry();

// Heading (degrees, 0 along +z, 90 along +x) from (x, z) toward (tx, tz),
// in 0..360.
float heading_toward(float x, float z, float tx, float tz);
// `h` brought within 180 degrees of `ref`, so that the way to turn from
// `ref` is the sign of the difference.
float near_heading(float h, float ref);
// A heading wrapped into 0..360.
float wrap_360(float h);
// Turns u toward the heading `desired` (within 180 degrees of its own) at
// its turn rate, param[2] degrees a tuned step, over dt seconds; never past.
void turn_toward(unit* u, float desired, float dt);

// Unit ids of the numbered classes (catapults, rams, ships): the next free
// id of a class, taken from this copy's counter, and a counter raised past
// an id another copy announced (never beyond the class's serials).
uint32_t next_unit_id(uint32_t id_class, int& counter);
void raise_unit_counter(uint32_t id, int& counter);

// The state record of the engines (catapults, rams): 9 values, x, y, z,
// heading, one of the engine's own (`own`), pitch, vx, vy, vz. Appended to
// the open batch only in play.
void add_engine_update(const unit* u, float own);
// Stores such a record and returns 0 with the engine's own value in `own`;
// another count is reported ("received <what> update with N params") and
// changes nothing (-1).
int apply_engine_update(unit* u, int count, const float* values, const char* what, float* own);
// An order for one unit of a side this copy plays: applied here when this
// copy steers the side, else sent to the copy that does ("ORDR"). -1 when
// no dry way takes the unit there.
int order_unit(unit* u, float x, float z, int order_kind);
// An order from this copy's user to the whole selection at ground (x, z).
// Ground units that no dry way takes there are left as they are, and the
// player is told.
void issue_order(float x, float z, int order_kind);
// A further waypoint for the whole selection, after its current orders.
void queue_order(float x, float z);
// An order received from another copy ("ORDR"); `team` is the sender's.
// ORDR_QUEUE_MOVE queues a waypoint.
// Returns 0 when applied, -1 when refused or not this copy's business.
int issue_unit_order(uint32_t id, int team, int order_kind, float x, float z);
void order_specific_unit(unit* u, float x, float z, int order_kind);
void select_catas();
void clear_selection();

// Whether this copy steers the unit: its own figure, and as its side's
// leader the side's soldiers and engines. Any other soldier or engine
// moves by the records of the copy that steers it, keeping the reported
// velocity between them; a soldier or ram whose records stop (its copy has
// ended its game or gone) stands still a second after the last one.
bool steered_here(const unit* u);
// The per-frame step over every unit: invisibility, motion, crowd
// separation, collision, splash and each kind's own behaviour.
void simulate_units(float dt);
// Pushes a moving unit out of every unit it overlaps (ground plane only),
// visiting the others in registry order. Inside simulate_units this looks
// only at the units filed near it in the crowd grid; the outcome is the
// plain scan's.
void separate_unit(unit* u);
// The plain scan over the whole registry.
void separate_unit_plain(unit* u);
// Whether simulate_units keeps the crowd grid (on by default); off, every
// separation and every look for an enemy is the plain scan.
void set_separation_grid(int on);
// A unit found near another, with its place (x, y, z as the unit has them).
struct near_unit {
    unit* u;
    float x, y, z;
};
// While simulate_units keeps the crowd grid: fills `out` with the units
// other than u, of a team other than `skip_team`, whose horizontal distance
// from u is below `range`, in registry order, and returns true. Returns
// false (and leaves `out` alone) when there is no grid to ask or u is at no
// finite place: the caller then scans the registry itself.
bool units_near(const unit* u, float range, int skip_team, std::vector<near_unit>& out);

// Appliers of received one-shot commands; -1 when a unit is missing.
int make_unit_invisible(uint32_t id, float until);
int unit_attack_sword(uint32_t attacker, uint32_t target, float heading);
