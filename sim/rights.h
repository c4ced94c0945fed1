// Who may do what over the network. Every copy simulates the whole world,
// but each thing in it is steered or decided by one copy; a datagram that
// changes a thing is taken only from that copy, and at no higher rate than
// the copy's own play produces it. The rules live here, one per message,
// and the dispatcher asks them before a handler runs.
//
// Every copy answers from its own participant table, so copies with the
// same table agree on who steers what.
#pragma once

#include <cstdint>
#include <map>
#include <tuple>

struct session;
struct unit;
struct world;

// --- who steers -------------------------------------------------------------

// The participant (index into `parts`; 0 is this copy) that steers side
// `team`'s soldiers and engines: its member with the lowest number, this
// copy when it ties. -1 when the side has no member. Every rule that says
// "the side's leader" comes here.
int side_steerer(const session& s, int team);
// The participant that steers the unit and reports its state: its player
// for a figure, the copy that summoned it for a dragon, the side's steerer
// for soldiers and engines. -1 for a ship (never reported) or a unit whose
// steering copy is not in the table.
int unit_steerer(const world& w, const unit* u);
// The participant that decides the unit's death: the figure's player, else
// the copy that created the unit; once that copy has left, the side's
// steerer. -1 when nobody in the table does.
int death_decider(const world& w, const unit* u);

// --- refused datagrams ------------------------------------------------------

// Why a datagram (or a record in it) was refused. Each has its own count.
enum class refusal : int {
    malformed,        // cut short, wrong length, no such tag
    unknown_sender,   // no HELO heard from the address
    not_steerer,      // a state record not from the unit's steering copy
    wrong_team,       // names a unit of another side than the sender's
    not_decider,      // a death not from the unit's creator or the figure's owner
    not_striker,      // a blow for a unit that does not strike with a sword
    too_soon,         // a blow or shot faster than the unit's interval allows
    not_shooter,      // a shot or throw by a unit that has no bow or is no catapult
    gate,             // a broken gate mended
    no_ram,           // a gate broken with no ram of the attackers against it
    dragon_order,     // an order for a dragon
    bad_value,        // a value that is no number or out of range
    unit_cap,         // more units than a sender or the world may hold
    projectile_cap,   // more arrows, balls or meteors than may fly
    table_full,       // no room for another participant
    id_taken,         // an id held by a unit of the other side
    invisible,        // invisibility for another unit, or for no time
    out_of_phase,     // a message of play in the menu, or the other way
    unknown_tag,      // a datagram of no kind this game sends
    unknown_unit,     // names a unit this copy does not know
    count_
};
// A short name of the reason ("not steering copy", ...).
const char* refusal_name(refusal why);

// The refusals a session has counted, and when each sender's lines were
// last printed.
struct refusal_report {
    float printed_at = 0.0f;  // session clock of the last line
    long held = 0;            // refused since then, not yet printed
};
// A line's key: the sender, the reason, and the message's kind (its tag,
// or a command's sub-tag; 0 when not known).
using refusal_key = std::tuple<uint32_t, int, uint32_t>;
struct refusal_log {
    long totals[static_cast<int>(refusal::count_)] = {};
    std::map<refusal_key, refusal_report> reports;
};

// Counts one refused datagram from `sender`. The first of a sender, reason
// and kind of message prints the line given (to standard error) at once;
// later ones are counted, and once REFUSAL_REPORT_PERIOD has passed since
// that line the count is printed in one line ("N more refused from ..."). Sender 0 (no
// datagram: a call made by this copy itself) prints every line.
void refuse(session& s, uint32_t sender, refusal why, const char* fmt, ...) __attribute__((format(printf, 4, 5)));
// The same for the sender of the datagram being handled (the dispatcher
// sets it; 0 outside one), for refusals found deep inside a handler.
void refuse_current(session& s, refusal why, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
// The datagram being handled: its sender, and the kind of message (its tag,
// a command's sub-tag once known) its lines are kept by.
void set_current_sender(session& s, uint32_t sender, uint32_t kind = 0);
void set_current_kind(session& s, uint32_t kind);
// Prints the counts held back whose period has passed. Called once a frame.
void report_refusals(session& s);
// Every datagram refused for the reason since the session began.
long refused_total(const session& s, refusal why);

// Seconds between two lines for one sender and reason.
constexpr float REFUSAL_REPORT_PERIOD = 5.0f;

// --- the rules ----------------------------------------------------------------

// Caps honest play never reaches: units the copies announced, per sender
// and in the whole registry; arrows and balls in flight; meteors in flight
// from one sender.
constexpr int MAX_UNITS_PER_SENDER = 400;
constexpr int MAX_UNITS = 2500;
constexpr int MAX_FLYING_SHOTS = 2000;
constexpr int MAX_METEORS_PER_SENDER = 200;

// A blow or shot may come this many intervals early (a datagram delayed and
// the next one on time); over a longer while no faster than the interval.
constexpr float RATE_BURST = 2.0f;

// "UUPD": whether the record from participant `sender` may change `u`.
// Only the unit's steering copy reports it; the side's steerer also takes
// the one record that places a unit from the member that created it.
// Never this copy's own figure.
bool may_report_state(world& w, int sender, const unit* u);

// The rules of the commands, each a row's of the message table: whether the
// sender (the context's) may carry out the command with slots `p` now;
// each refuses (and counts) when not. A unit the command names that this
// copy does not know passes to the handler, which says so.
struct message_context;
// "UNIT": an id of a side the sender acts for, not held by the other side,
// within the units a sender and the world may hold.
bool unit_rule(message_context& c, const uint32_t p[4]);
// "UDIE": from the copy that decides the unit's death, never for this
// copy's own figure.
bool death_rule(message_context& c, const uint32_t p[4]);
// "ORDR": never for a dragon, which only its rider steers.
bool order_rule(message_context& c, const uint32_t p[4]);
// "USWD": a sword soldier the sender steers, no sooner than its interval.
bool sword_rule(message_context& c, const uint32_t p[4]);
// "UARW": a bowman the sender steers; "AARW": the sender's figure; both
// no sooner than a bow reloads, and while the sky has room for arrows.
bool unit_arrow_rule(message_context& c, const uint32_t p[4]);
bool player_arrow_rule(message_context& c, const uint32_t p[4]);
// "UBAL": a catapult the sender steers, no sooner than it reloads.
bool ball_rule(message_context& c, const uint32_t p[4]);
// "FIRE": while the sender's meteors in flight are fewer than its cap.
bool fire_rule(message_context& c, const uint32_t p[4]);
// "GATE": a copy that plays the defenders.
bool gate_rule(message_context& c, const uint32_t p[4]);
// "GBRK": the attackers' leader, for a gate a ram stands against, never
// mending one.
bool gate_break_rule(message_context& c, const uint32_t p[4]);
// "INVS": the sender's own figure, until a time near the sender's clock.
bool invisibility_rule(message_context& c, const uint32_t p[4]);

// Whether the unit `u` (a striker or shooter) may act once more now: at
// most once per `interval` over a while, RATE_BURST turns early at most.
// The appliers of received blows and shots spend the turn (spend_turn)
// once the command has passed their own checks and is carried out.
bool turn_ready(const world& w, unit* u, float interval);
void spend_turn(unit* u);
