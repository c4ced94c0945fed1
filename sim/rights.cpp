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
#include "sim/messages.h"
#include "sim/model_tree.h"
#include "sim/participants.h"
#include "sim/projectile.h"
#include "sim/sides.h"
#include "sim/units.h"
#include "sim/walls.h"
#include "sim/wire.h"

// --- who steers -----------------------------------------------------------------

int side_steerer(int team)
{
    // A side the computer plays is steered by the copy hosting it, whoever
    // else stands on the side.
    if (computer_plays(team)) {
        if (hosts_computer_side(team))
            return 0;
        const int host = find_participant(computer_sides[team].host);
        return host > 0 ? host : -1;
    }
    int best = -1, best_number = 0;
    for (int i = 0; i < n_parts; ++i) {
        const participant& p = parts[static_cast<size_t>(i)];
        if (p.team != team)
            continue;
        const int number = p.is_self ? my_numb : p.number;
        if (best < 0 || number < best_number) {
            best = i;
            best_number = number;
        }
    }
    return best;
}

// The entry whose figure the unit is, or -1. The computer's figure is
// its side's steerer's.
static int owner_of_figure(const unit* u)
{
    if (const int team = computer_figure_side(u); team >= 0)
        return side_steerer(team);
    for (int i = 0; i < n_parts; ++i)
        if (parts[static_cast<size_t>(i)].figure == u)
            return i;
    return -1;
}

// The entry of the copy that created an announced unit; -1 when it was
// made here, is not known, or the copy has left.
static int creator_entry(const unit* u)
{
    if (u->made_here || !u->creator)
        return -1;
    const int c = find_participant(u->creator);
    return c > 0 ? c : -1;  // the own entry carries id 0 and is never the creator
}

static int weapon_of(const unit* u)
{
    const auto* h = u->kind == UNIT_HUMANOID ? static_cast<const humanoid_data*>(u->kind_data) : nullptr;
    return h ? h->weapon : WEAPON_NONE;
}

static bool is_figure(const unit* u)
{
    return u->kind == UNIT_HUMANOID && humanoid_kind_of(u) == HUMANOID_FIGURE;
}

int unit_steerer(const unit* u)
{
    switch (u->kind) {
    case UNIT_HUMANOID:
        return is_figure(u) ? owner_of_figure(u) : side_steerer(u->team);
    case UNIT_CATAPULT:
    case UNIT_RAM:
        return side_steerer(u->team);
    case UNIT_DRAGON:
        return u->made_here ? 0 : creator_entry(u);
    default:
        return -1;
    }
}

int death_decider(const unit* u)
{
    if (is_figure(u))
        return owner_of_figure(u);
    if (u->made_here)
        return 0;
    if (const int c = creator_entry(u); c >= 0)
        return c;
    // A creator that has left decides nothing any more: its side's steerer,
    // by the rule every copy applies to the same table, takes over.
    return u->creator ? side_steerer(u->team) : -1;
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

struct report_state {
    float printed_at = 0.0f;  // game_time of the last line
    long held = 0;            // refused since then, not yet printed
};

// A line's key: the sender, the reason, and the message's kind (its tag,
// or a command's sub-tag; 0 when not known).
using report_key = std::tuple<uint32_t, int, uint32_t>;

long s_totals[static_cast<int>(refusal::count_)] = {};
// Senders are few (one entry an address); a stream of forged addresses
// shares one entry once the map is full.
std::map<report_key, report_state> s_reports;
constexpr size_t MAX_REPORTED = 1024;
constexpr uint32_t SHARED_ENTRY = 0xFFFFFFFF;

uint32_t s_current_sender = 0;
uint32_t s_current_kind = 0;

// game_time starts again at 0 with every game: a line "printed" in the
// future belongs to the last game.
bool period_over(const report_state& r)
{
    return game_time < r.printed_at || game_time - r.printed_at >= REFUSAL_REPORT_PERIOD;
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

void print_held(const report_key& key, report_state& r)
{
    const auto& [sender, why, kind] = key;
    fprintf(stderr, "%ld more refused from %8.8X in %.0f s: %s%s\n", r.held, sender,
            static_cast<double>(REFUSAL_REPORT_PERIOD), kind_text(kind).c_str(), refusal_names[why]);
    r.held = 0;
    r.printed_at = game_time;
}

}  // namespace

const char* refusal_name(refusal why)
{
    return refusal_names[static_cast<int>(why)];
}

void refuse(uint32_t sender, refusal why, const char* fmt, ...)
{
    const int w = static_cast<int>(why);
    ++s_totals[w];
    // Sender 0: no datagram, a call from this copy itself; printed each time.
    report_state* r = nullptr;
    if (sender != 0) {
        report_key key{sender, w, sender == s_current_sender ? s_current_kind : 0};
        if (s_reports.size() >= MAX_REPORTED && !s_reports.count(key))
            key = report_key{SHARED_ENTRY, w, 0};
        auto [it, fresh] = s_reports.try_emplace(key);
        r = &it->second;
        if (!fresh && !period_over(*r)) {
            ++r->held;
            return;
        }
        if (r->held > 0)
            print_held(key, *r);
    }
    va_list ap;
    va_start(ap, fmt);
    vfprintf(stderr, fmt, ap);
    va_end(ap);
    fputc('\n', stderr);
    if (r)
        r->printed_at = game_time;
}

uint32_t current_sender()
{
    return s_current_sender;
}

void set_current_sender(uint32_t sender, uint32_t kind)
{
    s_current_sender = sender;
    s_current_kind = kind;
}

void set_current_kind(uint32_t kind)
{
    s_current_kind = kind;
}

void report_refusals()
{
    for (auto& [key, r] : s_reports)
        if (r.held > 0 && period_over(r))
            print_held(key, r);
}

long refused_total(refusal why)
{
    return s_totals[static_cast<int>(why)];
}

void reset_refusal_reports()
{
    s_reports.clear();
}

// --- the rules ----------------------------------------------------------------------

bool turn_ready(unit* u, float interval)
{
    if (game_time < u->turn_at)
        u->turn_at = game_time - interval * RATE_BURST;  // a new game's clock
    u->turn_tokens = std::min(RATE_BURST, u->turn_tokens + (game_time - u->turn_at) / interval);
    u->turn_at = game_time;
    return u->turn_tokens >= 1.0f;
}

void spend_turn(unit* u)
{
    u->turn_tokens = std::max(0.0f, u->turn_tokens - 1.0f);
}

bool may_report_state(int sender, const unit* u)
{
    const participant& s = parts[static_cast<size_t>(sender)];
    if (u != me) {
        if (unit_steerer(u) == sender)
            return true;
        // The side's steerer takes the record that places a unit from its
        // creator; the other copies take it too, until the steerer reports.
        if (u->awaiting_place && u->creator == s.id)
            return true;
    }
    if (!sender_plays_side(s.id, s.team, u->team))
        refuse(s.id, refusal::wrong_team, "member of team %d sent the state of unit %8.8X of team %d, ignored", s.team,
               u->id, u->team);
    else
        refuse(s.id, refusal::not_steerer, "member of team %d sent the state of unit %8.8X, which it does not steer, ignored",
               s.team, u->id);
    return false;
}

namespace {

using command_rule = bool (*)(const uint32_t p[4], const participant& s, int sender);

// A unit named by a command must be of a side the sender acts for.
bool own_side(const unit* u, const participant& s, const char* what)
{
    if (sender_plays_side(s.id, s.team, u->team))
        return true;
    refuse(s.id, refusal::wrong_team, "member of team %d tried to %s with unit %8.8X of team %d", s.team, what, u->id,
           u->team);
    return false;
}

bool steered_by_sender(const unit* u, const participant& s, int sender, const char* what)
{
    if (unit_steerer(u) == sender)
        return true;
    refuse(s.id, refusal::not_steerer, "%s for unit %8.8X from %8.8X, which does not steer it, ignored", what, u->id,
           s.id);
    return false;
}

bool turn_taken(unit* u, const participant& s, float interval, const char* what)
{
    if (turn_ready(u, interval))
        return true;
    refuse(s.id, refusal::too_soon, "%s for unit %8.8X sooner than every %g s, ignored", what, u->id,
           static_cast<double>(interval));
    return false;
}

// Arrows and catapult balls in flight, and meteors from one sender.
bool room_to_shoot(const participant& s, const char* what)
{
    int shots = 0;
    for (const projectile* p = proj; p; p = p->next)
        shots += p->meteor ? 0 : 1;
    if (shots < MAX_FLYING_SHOTS)
        return true;
    refuse(s.id, refusal::projectile_cap, "%s while %d arrows and balls fly, ignored", what, shots);
    return false;
}

bool unit_rule(const uint32_t p[4], const participant& s, int)
{
    // p[2] names a computer side the sender hosts, 0 its own side.
    const int team = commanded_side(p[2], s.id, s.team);
    if (team < 0 || !id_made_by_team(p[0], team))
        return true;  // no id of a side the sender acts for: the handler says so
    const unit* had = find_unit(p[0]);
    if (had && !had->made_here && had->creator == s.id)
        return true;  // its creator's second announcement
    // Two copies may announce one id at the same moment; within a side the
    // lower number keeps it (yield_id). An id held by the other side's unit
    // is no such race the sender may win: it would take that unit over.
    if (had && had->team != team) {
        refuse(s.id, refusal::id_taken, "UNIT %8.8X from a member of team %d is held by a unit of team %d, refused", p[0],
               team, had->team);
        return false;
    }
    int by_sender = 0, all = 0;
    for (const unit* u = unit_list; u; u = u->next) {
        ++all;
        by_sender += !u->made_here && u->creator == s.id ? 1 : 0;
    }
    if (by_sender >= MAX_UNITS_PER_SENDER || all >= MAX_UNITS) {
        refuse(s.id, refusal::unit_cap, "UNIT %8.8X from %8.8X refused: it holds %d units, the world %d", p[0], s.id,
               by_sender, all);
        return false;
    }
    return true;
}

bool death_rule(const uint32_t p[4], const participant& s, int sender)
{
    const unit* u = find_unit(p[0]);
    if (!u)
        return true;  // already gone here
    if (u != me && death_decider(u) == sender)
        return true;
    if (u->team != s.team)
        refuse(s.id, refusal::wrong_team, "member of team %d tried to kill unit %8.8X of team %d", s.team, p[0], u->team);
    else
        refuse(s.id, refusal::not_decider, "UDIE for unit %8.8X from %8.8X, which does not decide its death, ignored",
               p[0], s.id);
    return false;
}

bool order_rule(const uint32_t p[4], const participant& s, int)
{
    const unit* u = find_unit(p[0]);
    if (!u || u->kind != UNIT_DRAGON)
        return true;
    refuse(s.id, refusal::dragon_order, "ORDR for dragon %8.8X, which only its rider steers, ignored", p[0]);
    return false;
}

bool sword_rule(const uint32_t p[4], const participant& s, int sender)
{
    unit* a = find_unit(p[0]);
    if (!a)
        return true;  // the handler says so
    if (!own_side(a, s, "strike") || !steered_by_sender(a, s, sender, "USWD"))
        return false;
    if (weapon_of(a) != WEAPON_SWORD || is_figure(a)) {
        refuse(s.id, refusal::not_striker, "USWD for unit %8.8X, which carries no sword, ignored", p[0]);
        return false;
    }
    return turn_taken(a, s, SWORD_COOLDOWN, "USWD");
}

bool unit_arrow_rule(const uint32_t p[4], const participant& s, int sender)
{
    unit* u = find_unit(p[0]);
    if (!u)
        return true;
    if (!own_side(u, s, "shoot") || !steered_by_sender(u, s, sender, "UARW"))
        return false;
    if (weapon_of(u) != WEAPON_BOW) {
        refuse(s.id, refusal::not_shooter, "Unit %8.8X trying to shoot, but has no bow", u->id);
        return false;
    }
    return room_to_shoot(s, "UARW") && turn_taken(u, s, BOW_RELOAD, "UARW");
}

bool player_arrow_rule(const uint32_t[4], const participant& s, int)
{
    if (!s.figure)
        return true;
    return room_to_shoot(s, "AARW") && turn_taken(s.figure, s, BOW_RELOAD, "AARW");
}

bool ball_rule(const uint32_t p[4], const participant& s, int sender)
{
    unit* u = find_unit(p[0]);
    if (!u)
        return true;
    if (!own_side(u, s, "throw"))
        return false;
    if (u->kind != UNIT_CATAPULT)
        return true;  // the handler refuses what is no catapult
    return steered_by_sender(u, s, sender, "UBAL") && room_to_shoot(s, "UBAL") &&
           turn_taken(u, s, CATAPULT_RELOAD, "UBAL");
}

bool fire_rule(const uint32_t[4], const participant& s, int)
{
    int mine = 0;
    for (const projectile* p = proj; p; p = p->next)
        mine += p->meteor && p->source == s.id ? 1 : 0;
    if (mine < MAX_METEORS_PER_SENDER)
        return true;
    refuse(s.id, refusal::projectile_cap, "FIRE while %d meteors of %8.8X fall, ignored", mine, s.id);
    return false;
}

bool gate_break_rule(const uint32_t p[4], const participant& s, int sender)
{
    if (sender != side_steerer(TEAM_ATTACKERS)) {
        refuse(s.id, refusal::not_steerer, "GBRK from %8.8X, which does not lead the attackers, ignored", s.id);
        return false;
    }
    const int index = named_gate(bits_to_float(p[0]));
    if (index < 0)
        return true;  // the handler says it names no gate
    // Broken gates are never mended: a gate "broken" by 0 would make every
    // copy lay its routes anew for nothing.
    // (set_break_gate reads the value truncated, anything but a number as 1.)
    if (const float v = bits_to_float(p[1]); v > -1.0f && v < 1.0f) {
        refuse(s.id, refusal::gate, "GBRK mending gate %d, ignored", index);
        return false;
    }
    if (gate_broken(index))
        return false;  // nothing to do
    const model_node* gate = get_top_level_model(the_wall_pts[static_cast<size_t>(index)].model_id);
    for (const unit* u = unit_list; u; u = u->next)
        if (u->kind == UNIT_RAM && u->team == TEAM_ATTACKERS && gate && u->touched_model &&
            recursive_find_modeltree(gate, u->touched_model))
            return true;
    refuse(s.id, refusal::no_ram, "GBRK for gate %d, which no ram stands against, ignored", index);
    return false;
}

struct rule_entry {
    uint32_t subtag;
    command_rule rule;
};

const rule_entry rules[] = {
    {make_tag("UNIT"), unit_rule},        {make_tag("UDIE"), death_rule},
    {make_tag("ORDR"), order_rule},       {make_tag("USWD"), sword_rule},
    {make_tag("UARW"), unit_arrow_rule},  {make_tag("AARW"), player_arrow_rule},
    {make_tag("UBAL"), ball_rule},        {make_tag("FIRE"), fire_rule},
    {make_tag("GBRK"), gate_break_rule},
};

}  // namespace

bool command_allowed(uint32_t subtag, const uint32_t p[4], int sender)
{
    if (sender < 0 || sender >= n_parts)
        return false;
    for (const rule_entry& r : rules)
        if (r.subtag == subtag)
            return r.rule(p, parts[static_cast<size_t>(sender)], sender);
    return true;
}
