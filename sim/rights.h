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

struct unit;

// --- who steers -------------------------------------------------------------

// The participant (index into `parts`; 0 is this copy) that steers side
// `team`'s soldiers and engines: its member with the lowest number, this
// copy when it ties. -1 when the side has no member. Every rule that says
// "the side's leader" comes here.
int side_steerer(int team);
// The participant that steers the unit and reports its state: its player
// for a figure, the copy that summoned it for a dragon, the side's steerer
// for soldiers and engines. -1 for a ship (never reported) or a unit whose
// steering copy is not in the table.
int unit_steerer(const unit* u);
// The participant that decides the unit's death: the figure's player, else
// the copy that created the unit; once that copy has left, the side's
// steerer. -1 when nobody in the table does.
int death_decider(const unit* u);

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

// Counts one refused datagram from `sender`. The first of a sender, reason
// and kind of message prints the line given (to standard error) at once;
// later ones are counted, and once REFUSAL_REPORT_PERIOD has passed since
// that line the count is printed in one line ("N more refused from ..."). Sender 0 (no
// datagram: a call made by this copy itself) prints every line.
void refuse(uint32_t sender, refusal why, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
// The sender of the datagram being handled (the dispatcher sets it; 0
// outside one), for refusals found deep inside a handler, and the kind of
// message (its tag, a command's sub-tag once known) its lines are kept by.
uint32_t current_sender();
void set_current_sender(uint32_t sender, uint32_t kind = 0);
void set_current_kind(uint32_t kind);
// Prints the counts held back whose period has passed. Called once a frame.
void report_refusals();
// Every datagram refused for the reason since the program started.
long refused_total(refusal why);
// Forgets the senders' report periods (the counts stay): tests start afresh.
void reset_refusal_reports();

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
bool may_report_state(int sender, const unit* u);

// Whether a "CMND" of sub-tag `subtag` with slots `p` may be carried out
// for participant `sender`; refuses (and counts) when it may not. Sub-tags
// without a rule here are taken as they come (their handlers check values).
bool command_allowed(uint32_t subtag, const uint32_t p[4], int sender);

// Whether the unit `u` (a striker or shooter) may act once more now: at
// most once per `interval` over a while, RATE_BURST turns early at most.
// The appliers of received blows and shots spend the turn (spend_turn)
// once the command has passed their own checks and is carried out.
bool turn_ready(unit* u, float interval);
void spend_turn(unit* u);
