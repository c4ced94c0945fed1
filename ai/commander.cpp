// The commanders: one for each computer side this copy hosts. The
// attackers group before the gate, send the rams at it and keep them
// pressing, bombard the towers beside it with the catapults, escort the
// rams with the soldiers, and once the gate is open pour through to the
// defenders' temple; they sail the ships in. The defenders meet what comes
// at the gate with their soldiers, lower the gate to sally out and raise it
// when the enemy is close, and fall back to the temple when the gate is
// lost or few are left. Either re-plans a unit that stood short of its goal
// for longer than its level allows.
#include "ai/computer.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "ai/battlefield.h"
#include "ai/figure.h"
#include "sim/buildings.h"
#include "sim/end_game.h"
#include "sim/game.h"
#include "sim/humanoid.h"
#include "sim/route.h"
#include "sim/sides.h"
#include "sim/units.h"
#include "sim/session.h"
#include "sim/walls.h"
#include "sim/world.h"

namespace {

const level_traits LEVELS[4] = {
    {1.0f, 12.0f, 4.0f, 0.7f, 8},    // (no level: as normal)
    {2.5f, 25.0f, 9.0f, 0.2f, 3},    // easy
    {1.0f, 12.0f, 4.0f, 0.7f, 8},    // normal
    {0.4f, 6.0f, 1.5f, 1.0f, 1000},  // hard
};

// How far a unit must move to count as moving, and how near its goal it
// may stop.
constexpr float MOVED = 1.0f;
constexpr float AT_GOAL = 6.0f;
// The defenders sally when the enemy comes within this of the gate, and
// raise it when within the second; they leave the gate alone for this long
// after working it.
constexpr float SALLY_RANGE = 110.0f;
constexpr float CLOSE_RANGE = 25.0f;
constexpr float REOPEN_RANGE = 45.0f;
constexpr float TEMPLE_GUARD_RANGE = 80.0f;
constexpr float GATE_WORK_INTERVAL = 4.0f;

float dist2(float ax, float az, float bx, float bz)
{
    return (ax - bx) * (ax - bx) + (az - bz) * (az - bz);
}

// Gives the unit an order through the path a player's order takes, and
// counts it; a refused order (no dry way) leaves the unit as it was.
bool order(world& w, commander& c, unit* u, float x, float z, int kind)
{
    if (c.orders_left <= 0 || order_unit(w, u, x, z, kind) != 0)
        return false;
    --c.orders_left;
    ++c.report.orders;
    unit_memory& m = c.memory[u->id];
    // The same order given again (the unit had let it drop on its way, as
    // a unit finding its own way round something does) leaves the time it
    // has stood where it is running.
    const bool again = m.ordered && m.kind == kind && dist2(m.goal_x, m.goal_z, x, z) < MOVED * MOVED;
    if (!again) {
        m.x = u->x;
        m.z = u->z;
        m.since = w.time;
    }
    m.ordered = true;
    m.goal_x = x;
    m.goal_z = z;
    m.kind = kind;
    return true;
}

// Whether the unit stood (moved less than MOVED) for longer than the level
// allows while short of its goal; its memory follows it.
bool stuck(const world& w, commander& c, const unit* u)
{
    unit_memory& m = c.memory[u->id];
    if (dist2(u->x, u->z, m.x, m.z) > MOVED * MOVED) {
        m.x = u->x;
        m.z = u->z;
        m.since = w.time;
        m.detours = 0;
        return false;
    }
    if (u->order_kind != ORDER_MOVE && u->order_kind != ORDER_ATTACK)
        return false;
    // A unit pressing where it was sent (a ram at its gate, a soldier at
    // its point) has not stopped short.
    if (dist2(u->x, u->z, m.goal_x, m.goal_z) < AT_GOAL * AT_GOAL)
        return false;
    return w.time - m.since > c.traits.replan;
}

// A unit that stood short of its goal is ordered afresh from where it
// stands; a second time at the same place, first aside (the side by its id,
// so that two stuck together part), then on.
void replan(world& w, commander& c, unit* u, float x, float z, int kind)
{
    unit_memory& m = c.memory[u->id];
    ++c.report.replans;
    if (m.detours++ % 2 == 1) {
        const float side = (u->id & 1) ? 12.0f : -12.0f;
        const float dx = x - u->x, dz = z - u->z, d = std::sqrt(dx * dx + dz * dz);
        if (d > 1.0f && order(w, c, u, u->x - dz / d * side, u->z + dx / d * side, ORDER_MOVE))
            return;
    }
    order(w, c, u, x, z, kind);
    m.since = w.time;
}

// Keeps a unit on its way to (x, z) with the order `kind`: ordered when it
// has another order (or none), made again when it stood too long.
void keep_at(world& w, commander& c, unit* u, float x, float z, int kind, float near = 4.0f)
{
    const unit_memory& m = c.memory[u->id];
    // Still on the way this commander sent it (an order that has run out,
    // a move arrived, counts as no order).
    const bool going = m.ordered && m.kind == kind && dist2(m.goal_x, m.goal_z, x, z) < near * near &&
                       u->order_kind != ORDER_NONE;
    if (!going) {
        if (!order(w, c, u, x, z, kind)) {
            // No dry way to the point itself: as near as the way allows,
            // before the gate on this side.
            float bx, bz;
            before_gate(c.field, 30.0f, 0.0f, bx, bz);
            order(w, c, u, bx, bz, ORDER_MOVE);
        }
        return;
    }
    if (stuck(w, c, u))
        replan(w, c, u, x, z, kind);
}

bool is_soldier(const unit* u)
{
    return humanoid_kind_of(u) >= HUMANOID_FOOTMAN;
}

// --- the attackers ------------------------------------------------------------

void attack(world& w, commander& c)
{
    const battlefield& f = c.field;
    const bool open = gate_open(w, f);
    std::vector<unit*> rams, catapults, soldiers;
    for (unit* u : fighters_of(w, c.team)) {
        if (u->kind == UNIT_RAM)
            rams.push_back(u);
        else if (u->kind == UNIT_CATAPULT)
            catapults.push_back(u);
        else if (is_soldier(u))
            soldiers.push_back(u);
    }
    // Where the rams are: the soldiers escort them.
    float rx = 0, rz = 0;
    for (const unit* r : rams) {
        rx += r->x / static_cast<float>(rams.size());
        rz += r->z / static_cast<float>(rams.size());
    }
    if (rams.empty())
        before_gate(f, 45.0f, 0.0f, rx, rz);
    if (!open) {
        for (unit* r : rams)
            keep_at(w, c, r, f.gate_x, f.gate_z, ORDER_ATTACK);
        // The soldiers keep beside the rams, a little out from them, and
        // fight whatever comes (a soldier with no order looks for enemies),
        // unless what they went for stands where they cannot reach it
        // (behind the walls).
        for (size_t k = 0; k < soldiers.size(); ++k) {
            unit* s = soldiers[k];
            if (s->order_kind == ORDER_ENGAGED || (s->order_kind == ORDER_ATTACK && !stuck(w, c, s)))
                continue;
            const float ex = rx + f.out_x * 12.0f + static_cast<float>(k % 5) * 3.0f - 6.0f;
            const float ez = rz + f.out_z * 12.0f + static_cast<float>(k / 5 % 4) * 3.0f;
            if (dist2(s->x, s->z, ex, ez) > 15.0f * 15.0f)
                keep_at(w, c, s, ex, ez, ORDER_MOVE, 10.0f);
        }
    } else {
        // Through the gate to the temple, everything that walks. A master
        // commander sends them together, since one by one they fall to the
        // temple's guard: they gather just inside the gate until enough to
        // hold the temple are there, then go on; too few left, they gather
        // again.
        std::vector<unit*> walkers = rams;
        for (unit* u : soldiers)
            if (u->order_kind != ORDER_ENGAGED)
                walkers.push_back(u);
        float mx, mz;
        before_gate(f, -15.0f, 0.0f, mx, mz);
        const size_t needed = TEMPLE_HOLDERS_TO_WIN + 1;
        const auto gathered = std::count_if(walkers.begin(), walkers.end(), [&](const unit* u) {
            return dist2(u->x, u->z, mx, mz) < 20.0f * 20.0f;
        });
        if (c.traits.skill < 1.0f)
            c.pushing = true;
        else if (walkers.size() < needed)
            c.pushing = false;
        else if (static_cast<size_t>(gathered) >= needed)
            c.pushing = true;
        for (size_t k = 0; k < walkers.size(); ++k) {
            if (c.pushing)
                keep_at(w, c, walkers[k], f.temple_x, f.temple_z, ORDER_MOVE);
            else
                keep_at(w, c, walkers[k], mx + static_cast<float>(k % 4) * 3.0f - 4.5f,
                        mz - static_cast<float>(k / 4 % 4) * 3.0f, ORDER_MOVE, 8.0f);
        }
    }
    // The catapults bombard the towers beside the gate, open or not: their
    // archers cover the way in, and a catapult sent at the temple drives
    // straight at it, not by the way through the gate. With no ram left to
    // break the gate, they bombard the gate itself.
    for (size_t k = 0; k < catapults.size(); ++k) {
        float tx = f.gate_x, tz = f.gate_z;
        const int tower = f.towers_by_gate[k % 2];
        if (tower >= 0 && (open || !rams.empty())) {
            tx = w.walls.points[static_cast<size_t>(tower)].x;
            tz = w.walls.points[static_cast<size_t>(tower)].z;
        }
        keep_at(w, c, catapults[k], tx, tz, ORDER_ATTACK);
    }
    if (!c.ships_sent) {
        // The ships sail off once, out of the way (one order for them all).
        c.ships_sent = true;
        for (unit* u = w.units.list; u; u = u->next)
            if (u->kind == UNIT_SHIP && u->team == c.team)
                order_unit(w, u, u->x * 0.8f, 260.0f, ORDER_MOVE);
    }
}

// --- the defenders ------------------------------------------------------------

void defend(world& w, commander& c)
{
    const battlefield& f = c.field;
    std::vector<unit*> soldiers;
    for (unit* u : fighters_of(w, c.team))
        if (is_soldier(u))
            soldiers.push_back(u);
    // What comes at the gate from outside, nearest first.
    std::vector<unit*> threats, close;
    unit* nearest = nullptr;
    float nearest2 = 1e30f;
    for (unit* u : enemies_near(w, c.team, f.gate_x, f.gate_z, SALLY_RANGE)) {
        if (within_gate(f, u))
            continue;  // inside already: the temple's defence meets it
        threats.push_back(u);
        const float d2 = dist2(u->x, u->z, f.gate_x, f.gate_z);
        // A gate that is up stays up until the enemy has drawn back well
        // beyond the range that raised it, or it would swing up and down
        // while one hovers at the edge.
        const float reach = w.walls.gate_up ? REOPEN_RANGE : CLOSE_RANGE;
        if (d2 < reach * reach)
            close.push_back(u);
        // Rams first: they are what breaks the gate (a skilled commander
        // knows it better).
        const float weight = u->kind == UNIT_RAM ? 0.5f - 0.4f * c.traits.skill : 1.0f;
        if (d2 * weight < nearest2) {
            nearest2 = d2 * weight;
            nearest = u;
        }
    }
    const bool broken = f.gate >= 0 && w.walls.points[static_cast<size_t>(f.gate)].broken;
    const int inside = count_temple_holders(w);
    // Fallen back on the temple, the soldiers go for the enemies that come
    // near it: standing by while they linger would hold the battle for ever.
    std::vector<unit*> raiders = enemies_near(w, c.team, f.temple_x, f.temple_z, TEMPLE_GUARD_RANGE);
    // Those still outside a shut gate are beyond reach (the way to them
    // ends at the wall).
    if (!gate_open(w, f))
        raiders.erase(std::remove_if(raiders.begin(), raiders.end(), [&](const unit* u) { return !within_gate(f, u); }),
                      raiders.end());
    // Nearest the temple first; a skilled commander takes those at the
    // temple itself first of all.
    auto urgency = [&](const unit* u) {
        const float d2 = dist2(u->x, u->z, f.temple_x, f.temple_z);
        return c.traits.skill >= 0.7f && u->touched_model && is_a_temple(w, u->touched_model) ? d2 * 0.1f : d2;
    };
    std::stable_sort(raiders.begin(), raiders.end(),
                     [&](const unit* a, const unit* b) { return urgency(a) < urgency(b); });
    unit* raider = raiders.empty() ? nullptr : raiders.front();
    const float raider2 = raider ? urgency(raider) : 1e30f;
    // A skilled commander meets as many raiders as it has soldiers for, two
    // at each; a poor one sends them all at the first.
    const size_t met = c.traits.skill >= 0.7f ? std::max<size_t>(1, std::min(raiders.size(), soldiers.size() / 2)) : 1;
    // The soldiers fall back on the temple once the gate is broken, or
    // (the more skilled the sooner) once it is worn down.
    const float gate_left = f.gate >= 0 && c.gate_full > 0.0f ? gate_health(w, f) / c.gate_full : 1.0f;
    const bool worn = gate_left < 0.5f * c.traits.skill;
    const bool fall_back = broken || worn || soldiers.size() < 4 || inside > 0 || raider2 < 60.0f * 60.0f;
    // The attackers' army spent, the soldiers go out after their figure:
    // nothing else would end the battle.
    unit* hunted = army_spent(w, 1 - c.team) && !soldiers.empty() ? nearest_enemy_figure(w, c.team, f.gate_x, f.gate_z)
                                                                : nullptr;
    // The gate: down to sally while the enemy is on its way (or to go out
    // after its figure), up when it is close (or nothing comes), never more
    // often than every few seconds.
    if (f.gate >= 0 && !broken && w.time >= c.next_gate_work) {
        // It sallies only as many as it is against, the more skilled the
        // fewer it dares to meet.
        const float dare = 0.5f + c.traits.skill;
        const bool want_down = hunted || (!threats.empty() && close.empty() && soldiers.size() >= 4 &&
                                          static_cast<float>(soldiers.size()) >= dare * static_cast<float>(threats.size()) &&
                                          !fall_back);
        if (want_down == (w.walls.gate_up != 0)) {
            gate_func(w);
            ++c.report.gate_moves;
            c.next_gate_work = w.time + GATE_WORK_INTERVAL;
        }
    }
    if (hunted) {
        for (unit* s : soldiers)
            if (s->order_kind != ORDER_ENGAGED && (s->order_kind != ORDER_ATTACK || s->attack_target != hunted))
                keep_at(w, c, s, hunted->x, hunted->z, ORDER_ATTACK, 10.0f);
        return;
    }
    for (size_t k = 0; k < soldiers.size(); ++k) {
        unit* s = soldiers[k];
        if (s->order_kind == ORDER_ENGAGED)
            continue;
        const float sx = static_cast<float>(k % 4) * 4.0f - 6.0f, sz = static_cast<float>(k / 4 % 4) * 4.0f;
        if (fall_back && raider) {
            unit* r = raiders[k % met];
            if (s->order_kind != ORDER_ATTACK || s->attack_target != r)
                keep_at(w, c, s, r->x, r->z, ORDER_ATTACK, 10.0f);
        } else if (fall_back) {
            keep_at(w, c, s, f.temple_x + sx, f.temple_z + 12.0f + sz, ORDER_MOVE, 8.0f);
        } else if (nearest && !w.walls.gate_up) {
            if (s->order_kind != ORDER_ATTACK || s->attack_target != nearest)
                keep_at(w, c, s, nearest->x, nearest->z, ORDER_ATTACK, 10.0f);
        } else if (s->order_kind == ORDER_NONE) {
            float hx, hz;
            before_gate(f, -18.0f - sz, sx, hx, hz);
            if (dist2(s->x, s->z, hx, hz) > 12.0f * 12.0f)
                keep_at(w, c, s, hx, hz, ORDER_MOVE, 8.0f);
        }
    }
}

}  // namespace

const level_traits& traits_of(int level)
{
    return LEVELS[level >= LEVEL_EASY && level <= LEVEL_HARD ? level : 0];
}

commander_report computer_report(const computer_players& ai, int team)
{
    if (team != TEAM_ATTACKERS && team != TEAM_DEFENDERS)
        return {};
    commander_report r = ai.commanders[team].report;
    r.spells_cast = ai.figures[team].spells_cast;
    r.arrows = ai.figures[team].arrows;
    return r;
}

void start_computer_players(computer_players& ai, const world& w)
{
    const battlefield field = survey_battlefield(w);
    for (int team : {TEAM_ATTACKERS, TEAM_DEFENDERS}) {
        commander& c = ai.commanders[team];
        c = commander{};
        c.on = hosts_computer_side(w.session, team);
        c.team = team;
        c.traits = traits_of(w.session.sides[team].level);
        c.field = field;
        c.gate_full = gate_health(w, field);
        // The two sides think in turn, not in the same step.
        c.next_think = team == TEAM_ATTACKERS ? 0.5f : 0.5f + c.traits.think / 2;
        start_figure(ai.figures[team], w, team, c.traits, field);
    }
}

void step_computer_players(computer_players& ai, world& w, float dt)
{
    for (commander& c : ai.commanders) {
        if (!c.on || !computer_plays(w.session, c.team))
            continue;
        step_figure(ai.figures[c.team], w, dt);
        if (w.time < c.next_think)
            continue;
        c.next_think = w.time + c.traits.think;
        c.orders_left = c.traits.orders;
        if (c.team == TEAM_ATTACKERS)
            attack(w, c);
        else
            defend(w, c);
        think_figure(ai.figures[c.team], w);
    }
}
