#include "sim/rights.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <string>
#include <tuple>

#include "sim/buildings.h"
#include "sim/catapult.h"
#include "sim/combat.h"
#include "sim/game.h"
#include "sim/humanoid.h"
#include "sim/magic.h"
#include "sim/message_table.h"
#include "sim/messages.h"
#include "sim/model_tree.h"
#include "sim/participants.h"
#include "sim/projectile.h"
#include "sim/session.h"
#include "sim/sides.h"
#include "sim/units.h"
#include "sim/walls.h"
#include "sim/wire.h"
#include "sim/world.h"

// --- who steers -----------------------------------------------------------------

int side_steerer(const session& s, int team)
{
    // A side the computer plays is steered by the copy hosting it, whoever
    // else stands on the side.
    if (computer_plays(s, team)) {
        if (hosts_computer_side(s, team))
            return 0;
        const int host = find_participant(s, s.sides[team].host);
        return host > 0 ? host : -1;
    }
    int best = -1, best_number = 0;
    for (size_t i = 0; i < s.parts.size(); ++i) {
        const participant& p = s.parts[i];
        if (p.team != team)
            continue;
        const int number = p.is_self ? s.my_number : p.number;
        if (best < 0 || number < best_number) {
            best = static_cast<int>(i);
            best_number = number;
        }
    }
    return best;
}

// The entry whose figure the unit is, or -1. The computer's figure is
// its side's steerer's.
static int owner_of_figure(const world& w, const unit* u)
{
    if (const int team = computer_figure_side(w, u); team >= 0)
        return side_steerer(w.session, team);
    const std::vector<participant>& parts = w.session.parts;
    for (size_t i = 0; i < parts.size(); ++i)
        if (parts[i].figure == u)
            return static_cast<int>(i);
    return -1;
}

// The entry of the copy that created an announced unit; -1 when it was
// made here, is not known, or the copy has left.
static int creator_entry(const world& w, const unit* u)
{
    if (u->made_here || !u->creator)
        return -1;
    const int c = find_participant(w.session, u->creator);
    return c > 0 ? c : -1;  // the own entry carries id 0 and is never the creator
}

static int weapon_of(const unit* u)
{
    const humanoid_data* h = u->kind == UNIT_HUMANOID ? humanoid_of(u) : nullptr;
    return h ? h->weapon : WEAPON_NONE;
}

static bool is_figure(const unit* u)
{
    return u->kind == UNIT_HUMANOID && humanoid_kind_of(u) == HUMANOID_FIGURE;
}

int unit_steerer(const world& w, const unit* u)
{
    if (is_figure(u))
        return owner_of_figure(w, u);
    const unit_kind_row* row = kind_row(u->kind);
    if (row && row->steered_by_side)
        return side_steerer(w.session, u->team);
    // A dragon is steered where it was summoned; ships by nobody.
    if (u->kind == UNIT_DRAGON)
        return u->made_here ? 0 : creator_entry(w, u);
    return -1;
}

int death_decider(const world& w, const unit* u)
{
    if (is_figure(u))
        return owner_of_figure(w, u);
    if (u->made_here)
        return 0;
    if (const int c = creator_entry(w, u); c >= 0)
        return c;
    // A creator that has left decides nothing any more: its side's steerer,
    // by the rule every copy applies to the same table, takes over.
    return u->creator ? side_steerer(w.session, u->team) : -1;
}

// --- refused datagrams --------------------------------------------------------------

namespace {

const char* const refusal_names[] = {
    "malformed",         "unknown sender",          "not the steering copy", "unit of another side",
    "death not decided", "no sword",                "too soon",              "no bow or catapult",
    "gate mended",       "no ram at the gate",      "order for a dragon",      "value out of range",    "too many units",
    "too many in flight", "participant table full", "id held by the other side", "invisibility",
    "out of phase",      "unknown tag",             "unknown unit",
};
static_assert(sizeof refusal_names / sizeof refusal_names[0] == static_cast<size_t>(refusal::count_));

// Senders are few (one entry an address); a stream of forged addresses
// shares one entry once the map is full.
constexpr size_t MAX_REPORTED = 1024;
constexpr uint32_t SHARED_ENTRY = 0xFFFFFFFF;

bool period_over(const session& s, const refusal_report& r)
{
    return s.now - r.printed_at >= REFUSAL_REPORT_PERIOD;
}

std::string kind_text(uint32_t kind)
{
    if (!kind)
        return "";
    // A tag as make_tag packs it: the first letter in the high byte.
    const unsigned char b[4] = {static_cast<unsigned char>(kind >> 24), static_cast<unsigned char>(kind >> 16),
                                static_cast<unsigned char>(kind >> 8), static_cast<unsigned char>(kind)};
    return printable_bytes(b, 4) + " ";
}

void print_held(const session& s, const refusal_key& key, refusal_report& r)
{
    const auto& [sender, why, kind] = key;
    fprintf(stderr, "%ld more refused from %8.8X in %.0f s: %s%s\n", r.held, sender,
            static_cast<double>(REFUSAL_REPORT_PERIOD), kind_text(kind).c_str(), refusal_names[why]);
    r.held = 0;
    r.printed_at = s.now;
}

void refuse_line(session& s, uint32_t sender, refusal why, const char* fmt, va_list ap)
{
    const int w = static_cast<int>(why);
    ++s.refusals.totals[w];
    // Sender 0: no datagram, a call from this copy itself; printed each time.
    refusal_report* r = nullptr;
    if (sender != 0) {
        refusal_key key{sender, w, sender == s.current_sender ? s.current_kind : 0};
        std::map<refusal_key, refusal_report>& reports = s.refusals.reports;
        if (reports.size() >= MAX_REPORTED && !reports.count(key))
            key = refusal_key{SHARED_ENTRY, w, 0};
        auto [it, fresh] = reports.try_emplace(key);
        r = &it->second;
        if (!fresh && !period_over(s, *r)) {
            ++r->held;
            return;
        }
        if (r->held > 0)
            print_held(s, key, *r);
    }
    vfprintf(stderr, fmt, ap);
    fputc('\n', stderr);
    if (r)
        r->printed_at = s.now;
}

}  // namespace

const char* refusal_name(refusal why)
{
    return refusal_names[static_cast<int>(why)];
}

void refuse(session& s, uint32_t sender, refusal why, const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    refuse_line(s, sender, why, fmt, ap);
    va_end(ap);
}

void refuse_current(session& s, refusal why, const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    refuse_line(s, s.current_sender, why, fmt, ap);
    va_end(ap);
}

void set_current_sender(session& s, uint32_t sender, uint32_t kind)
{
    s.current_sender = sender;
    s.current_kind = kind;
}

void set_current_kind(session& s, uint32_t kind)
{
    s.current_kind = kind;
}

void report_refusals(session& s)
{
    for (auto& [key, r] : s.refusals.reports)
        if (r.held > 0 && period_over(s, r))
            print_held(s, key, r);
}

long refused_total(const session& s, refusal why)
{
    return s.refusals.totals[static_cast<int>(why)];
}

// --- the rules ----------------------------------------------------------------------

bool turn_ready(const world& w, unit* u, float interval)
{
    if (w.time < u->turn_at)
        u->turn_at = w.time - interval * RATE_BURST;  // a record from a clock that ran ahead
    u->turn_tokens = std::min(RATE_BURST, u->turn_tokens + (w.time - u->turn_at) / interval);
    u->turn_at = w.time;
    return u->turn_tokens >= 1.0f;
}

void spend_turn(unit* u)
{
    u->turn_tokens = std::max(0.0f, u->turn_tokens - 1.0f);
}

bool may_report_state(world& w, int sender, const unit* u)
{
    session& ses = w.session;
    const participant& s = ses.parts[static_cast<size_t>(sender)];
    if (u != w.me) {
        if (unit_steerer(w, u) == sender)
            return true;
        // The side's steerer takes the record that places a unit from its
        // creator; the other copies take it too, until the steerer reports.
        if (u->awaiting_place && u->creator == s.id)
            return true;
    }
    if (!sender_plays_side(ses, s.id, s.team, u->team))
        refuse(ses, s.id, refusal::wrong_team, "member of team %d sent the state of unit %8.8X of team %d, ignored",
               s.team, u->id, u->team);
    else
        refuse(ses, s.id, refusal::not_steerer,
               "member of team %d sent the state of unit %8.8X, which it does not steer, ignored", s.team, u->id);
    return false;
}

namespace {

// A unit named by a command must be of a side the sender acts for.
bool own_side(message_context& c, const unit* u, const char* what)
{
    const participant& s = c.who();
    if (sender_plays_side(c.s, s.id, s.team, u->team))
        return true;
    refuse(c.s, s.id, refusal::wrong_team, "member of team %d tried to %s with unit %8.8X of team %d", s.team, what,
           u->id, u->team);
    return false;
}

bool steered_by_sender(message_context& c, const unit* u, const char* what)
{
    if (unit_steerer(*c.w, u) == c.from)
        return true;
    refuse(c.s, c.sender, refusal::not_steerer, "%s for unit %8.8X from %8.8X, which does not steer it, ignored", what,
           u->id, c.sender);
    return false;
}

bool turn_taken(message_context& c, unit* u, float interval, const char* what)
{
    if (turn_ready(*c.w, u, interval))
        return true;
    refuse(c.s, c.sender, refusal::too_soon, "%s for unit %8.8X sooner than every %g s, ignored", what, u->id,
           static_cast<double>(interval));
    return false;
}

// Arrows and catapult balls in flight, and meteors from one sender.
bool room_to_shoot(message_context& c, const char* what)
{
    int shots = 0;
    for (const projectile* p = c.w->projectiles.head; p; p = p->next)
        shots += p->meteor ? 0 : 1;
    if (shots < MAX_FLYING_SHOTS)
        return true;
    refuse(c.s, c.sender, refusal::projectile_cap, "%s while %d arrows and balls fly, ignored", what, shots);
    return false;
}

} // namespace

bool unit_rule(message_context& c, const uint32_t p[4])
{
    const participant& s = c.who();
    const world& w = *c.w;
    // p[2] names a computer side the sender hosts, 0 its own side.
    const int team = commanded_side(c.s, p[2], s.id, s.team);
    if (team < 0 || !id_made_by_team(p[0], team))
        return true;  // no id of a side the sender acts for: the handler says so
    const unit* had = find_unit(w, p[0]);
    if (had && !had->made_here && had->creator == s.id)
        return true;  // its creator's second announcement
    // Two copies may announce one id at the same moment; within a side the
    // lower number keeps it (yield_id). An id held by the other side's unit
    // is no such race the sender may win: it would take that unit over.
    if (had && had->team != team) {
        refuse(c.s, s.id, refusal::id_taken, "UNIT %8.8X from a member of team %d is held by a unit of team %d, refused",
               p[0], team, had->team);
        return false;
    }
    int by_sender = 0, all = 0;
    for (const unit* u = w.units.list; u; u = u->next) {
        ++all;
        by_sender += !u->made_here && u->creator == s.id ? 1 : 0;
    }
    if (by_sender >= MAX_UNITS_PER_SENDER || all >= MAX_UNITS) {
        refuse(c.s, s.id, refusal::unit_cap, "UNIT %8.8X from %8.8X refused: it holds %d units, the world %d", p[0],
               s.id, by_sender, all);
        return false;
    }
    return true;
}

bool death_rule(message_context& c, const uint32_t p[4])
{
    const participant& s = c.who();
    const world& w = *c.w;
    const unit* u = find_unit(w, p[0]);
    if (!u)
        return true;  // already gone here
    if (u != w.me && death_decider(w, u) == c.from)
        return true;
    if (u->team != s.team)
        refuse(c.s, s.id, refusal::wrong_team, "member of team %d tried to kill unit %8.8X of team %d", s.team, p[0],
               u->team);
    else
        refuse(c.s, s.id, refusal::not_decider,
               "UDIE for unit %8.8X from %8.8X, which does not decide its death, ignored", p[0], s.id);
    return false;
}

bool order_rule(message_context& c, const uint32_t p[4])
{
    const unit* u = find_unit(*c.w, p[0]);
    if (!u || u->kind != UNIT_DRAGON)
        return true;
    refuse(c.s, c.sender, refusal::dragon_order, "ORDR for dragon %8.8X, which only its rider steers, ignored", p[0]);
    return false;
}

bool sword_rule(message_context& c, const uint32_t p[4])
{
    unit* a = find_unit(*c.w, p[0]);
    if (!a)
        return true;  // the handler says so
    if (!own_side(c, a, "strike") || !steered_by_sender(c, a, "USWD"))
        return false;
    if (weapon_of(a) != WEAPON_SWORD || is_figure(a)) {
        refuse(c.s, c.sender, refusal::not_striker, "USWD for unit %8.8X, which carries no sword, ignored", p[0]);
        return false;
    }
    return turn_taken(c, a, SWORD_COOLDOWN, "USWD");
}

bool unit_arrow_rule(message_context& c, const uint32_t p[4])
{
    unit* u = find_unit(*c.w, p[0]);
    if (!u)
        return true;
    if (!own_side(c, u, "shoot") || !steered_by_sender(c, u, "UARW"))
        return false;
    if (weapon_of(u) != WEAPON_BOW) {
        refuse(c.s, c.sender, refusal::not_shooter, "Unit %8.8X trying to shoot, but has no bow", u->id);
        return false;
    }
    return room_to_shoot(c, "UARW") && turn_taken(c, u, BOW_RELOAD, "UARW");
}

bool player_arrow_rule(message_context& c, const uint32_t[4])
{
    unit* figure = c.who().figure;
    if (!figure)
        return true;
    return room_to_shoot(c, "AARW") && turn_taken(c, figure, BOW_RELOAD, "AARW");
}

bool ball_rule(message_context& c, const uint32_t p[4])
{
    unit* u = find_unit(*c.w, p[0]);
    if (!u)
        return true;
    if (!own_side(c, u, "throw"))
        return false;
    if (u->kind != UNIT_CATAPULT)
        return true;  // the handler refuses what is no catapult
    return steered_by_sender(c, u, "UBAL") && room_to_shoot(c, "UBAL") && turn_taken(c, u, CATAPULT_RELOAD, "UBAL");
}

bool fire_rule(message_context& c, const uint32_t[4])
{
    int mine = 0;
    for (const projectile* p = c.w->projectiles.head; p; p = p->next)
        mine += p->meteor && p->source == c.sender ? 1 : 0;
    if (mine < MAX_METEORS_PER_SENDER)
        return true;
    refuse(c.s, c.sender, refusal::projectile_cap, "FIRE while %d meteors of %8.8X fall, ignored", mine, c.sender);
    return false;
}

bool gate_rule(message_context& c, const uint32_t[4])
{
    const participant& s = c.who();
    if (sender_plays_side(c.s, s.id, s.team, TEAM_DEFENDERS))
        return true;
    refuse(c.s, s.id, refusal::wrong_team, "member of team %d tried to work the gates", s.team);
    return false;
}

bool gate_break_rule(message_context& c, const uint32_t p[4])
{
    const world& w = *c.w;
    if (c.from != side_steerer(c.s, TEAM_ATTACKERS)) {
        refuse(c.s, c.sender, refusal::not_steerer, "GBRK from %8.8X, which does not lead the attackers, ignored",
               c.sender);
        return false;
    }
    const int index = named_gate(w.walls, bits_to_float(p[0]));
    if (index < 0)
        return true;  // the handler says it names no gate
    // Broken gates are never mended: a gate "broken" by 0 would make every
    // copy lay its routes anew for nothing.
    // (set_break_gate reads the value truncated, anything but a number as 1.)
    if (const float v = bits_to_float(p[1]); v > -1.0f && v < 1.0f) {
        refuse(c.s, c.sender, refusal::gate, "GBRK mending gate %d, ignored", index);
        return false;
    }
    if (gate_broken(w.walls, index))
        return false;  // nothing to do
    const model_node* gate = get_top_level_model(w.structures, w.walls.points[static_cast<size_t>(index)].model_id);
    for (const unit* u = w.units.list; u; u = u->next)
        if (u->kind == UNIT_RAM && u->team == TEAM_ATTACKERS && gate && u->touched_model &&
            recursive_find_modeltree(gate, u->touched_model))
            return true;
    refuse(c.s, c.sender, refusal::no_ram, "GBRK for gate %d, which no ram stands against, ignored", index);
    return false;
}

// The clocks of one game agree roughly, so an end time far beyond the
// sender's clock + 15 is a lie, and so is any unit but the sender's own
// figure.
bool invisibility_rule(message_context& c, const uint32_t p[4])
{
    const world& w = *c.w;
    const float until = bits_to_float(p[1]);
    if (!wire_value_ok(until)) {
        refuse(c.s, c.sender, refusal::bad_value, "INVS for unit %8.8X without an end time, ignored", p[0]);
        return false;
    }
    const unit* figure = c.who().figure;
    if (!figure || figure->id != p[0]) {
        refuse(c.s, c.sender, refusal::invisible, "INVS for unit %8.8X, which is not the sender's figure, ignored",
               p[0]);
        return false;
    }
    if (until > w.time + 2.0f * INVISIBILITY_TIME || !(until > w.time)) {
        refuse(c.s, c.sender, refusal::invisible, "INVS for unit %8.8X until %f, not within the next %g s, ignored",
               p[0], static_cast<double>(until), static_cast<double>(2.0f * INVISIBILITY_TIME));
        return false;
    }
    return true;
}
