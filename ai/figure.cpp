#include "ai/figure.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "ai/battlefield.h"
#include "ai/computer.h"
#include "sim/buildings.h"
#include "sim/commands.h"
#include "sim/dragon.h"
#include "sim/game.h"
#include "sim/humanoid.h"
#include "sim/lightning.h"
#include "sim/magic.h"
#include "sim/model_tree.h"
#include "sim/projectile.h"
#include "sim/sides.h"
#include "sim/units.h"
#include "sim/session.h"
#include "sim/wire.h"
#include "sim/world.h"

namespace {

// How far the bow reaches (the aiming table's), and when the figure goes to
// pray: its health below the first, or nothing to cast, its favour short of
// a grant and no enemy nearer than the second.
constexpr float BOW_RANGE = 95.0f;
constexpr float PRAY_BELOW_HEALTH = 7.0f;
constexpr float QUIET_RANGE = 70.0f;
constexpr float PLAYER_HEALTH = 15.0f;
constexpr float TEMPLE_REACH = 8.0f;

unit* figure_of(world& w, int team)
{
    return w.computer_figures[team];
}

float random_unit(world& w)
{
    return static_cast<float>(w.rand() % 10001) / 10000.0f;
}

// Whether the figure is at its side's temple: touching it, as a player
// must to pray, or standing within it (its middle is open between the
// pillars, where nothing is touched).
bool at_own_temple(const world& w, const figure_state& f, const unit* u)
{
    const model_node* t = u->touched_model ? is_a_temple(w, u->touched_model) : nullptr;
    if (t && (t->origin[2] < 0.0f) == (u->team == TEAM_DEFENDERS))
        return true;
    const float dx = u->x - f.field.home_temple_x[u->team], dz = u->z - f.field.home_temple_z[u->team];
    return dx * dx + dz * dz < TEMPLE_REACH * TEMPLE_REACH;
}

// The bow: an arrow at the target through the archers' aiming table, off
// by up to the level's error each way, told to the other copies.
void shoot(world& w, figure_state& f, unit* u, const unit* t)
{
    const float gx = t->x - u->x, gz = t->z - u->z;
    const int d = static_cast<int>(std::sqrt(gx * gx + gz * gz));
    const int dh = static_cast<int>(t->y - u->y);
    if (d >= AIM_TABLE_SIZE || dh < -50 || dh > 49)
        return;
    const float err = f.traits.aim_error;
    const float yaw = std::atan2(u->z - t->z, u->x - t->x) * static_cast<float>(180.0 / M_PI) - 90.0f +
                      (random_unit(w) * 2.0f - 1.0f) * err;
    const float pitch = -w.aim.elevation[dh + 50][d] * static_cast<float>(180.0 / M_PI) +
                        (random_unit(w) * 2.0f - 1.0f) * err;
    shoot_arrow(w, u->x, u->y + 0.3f, u->z, yaw, pitch, u->team);
    send_command_message(w.session, "UARW", u->id, float_to_bits(yaw), float_to_bits(pitch), 0);
    u->heading = yaw;
    ++f.arrows;
}

// Whether a unit of side `team` (its figure too) stands within `range` of
// (x, z).
bool friends_near(const world& w, int team, float x, float z, float range)
{
    for (const unit* u = w.units.list; u; u = u->next)
        if (u->team == team && (u->x - x) * (u->x - x) + (u->z - z) * (u->z - z) < range * range)
            return true;
    return false;
}

// The enemy crowd worth a strike: the enemy with the most enemies within
// 15 of it, among those within `range` of (x, z) and with none of the side's
// own within `spare` of them; a poor caster takes the nearest instead.
// Nullptr when there is none; `crowd` is its count.
unit* crowd_target(world& w, const figure_state& f, int team, float x, float z, float range, int& crowd,
                   float spare = 0.0f)
{
    std::vector<unit*> near = enemies_near(w, team, x, z, range);
    if (spare > 0.0f)
        near.erase(std::remove_if(near.begin(), near.end(),
                                  [&](const unit* e) { return friends_near(w, team, e->x, e->z, spare); }),
                   near.end());
    crowd = 0;
    if (near.empty())
        return nullptr;
    if (random_unit(w) > f.traits.skill) {
        crowd = 1;
        const auto from_here = [x, z](const unit* a) { return (a->x - x) * (a->x - x) + (a->z - z) * (a->z - z); };
        return *std::min_element(near.begin(), near.end(),
                                 [&](const unit* a, const unit* b) { return from_here(a) < from_here(b); });
    }
    unit* best = nullptr;
    for (unit* a : near) {
        int n = 0;
        for (const unit* b : near)
            n += (a->x - b->x) * (a->x - b->x) + (a->z - b->z) * (a->z - b->z) < 15.0f * 15.0f ? 1 : 0;
        if (n > crowd) {
            crowd = n;
            best = a;
        }
    }
    return best;
}

// Casts the spell of slot k where it helps, or keeps it for later.
void cast(world& w, figure_state& f, unit* u, int k)
{
    const int team = u->team;
    const int code = f.spells[k];
    bool cast = false;
    switch (code) {
    case SPELL_UNDEAD:
    case SPELL_GOBLINS:
    case SPELL_FOOTMEN:
    case SPELL_CATAPULTS:
    case SPELL_RAMS:
        // Summons only on the side's own half of the map, as for a player.
        if (on_own_side(team, u->z))
            cast = summon_at(w, code, u->x, u->z, team);
        break;
    case SPELL_FIRESTORM:
    case SPELL_LIGHTNING: {
        // Lightning strikes friend and foe: a good caster keeps it off its
        // own (the firestorm spares them).
        const float spare = code == SPELL_LIGHTNING && f.traits.skill >= 0.7f ? LIGHTNING_REACH + 5.0f : 0.0f;
        int crowd = 0;
        unit* t = crowd_target(w, f, team, u->x, u->z, 150.0f, crowd, spare);
        // A master caster strikes the enemy's figure with lightning when it
        // is in reach: two strikes end the battle. Else a good caster waits
        // for a crowd; a poor one strikes at anyone. With its army spent, a
        // good caster strikes what it can (the figure first): nothing else
        // is left to wait for, and an empty hand may be granted a summons.
        const bool spent = army_spent(w, team);
        unit* figure = code == SPELL_LIGHTNING && (f.traits.skill >= 1.0f || (spent && f.traits.skill >= 0.7f))
                           ? nearest_enemy_figure(w, team, u->x, u->z)
                           : nullptr;
        if (figure && friends_near(w, team, figure->x, figure->z, spare))
            figure = nullptr;
        if (figure)
            t = figure;
        const int wanted = f.traits.skill >= 0.7f && !spent ? 3 : 1;
        if (t && (figure || crowd >= wanted) && within_spell_reach(t->x, t->z)) {
            if (code == SPELL_FIRESTORM) {
                do_firestorm(w, t->x, t->z, team);
            } else {
                set_lightning(w, t->x, t->z);
                send_command_message(w.session, "LIGH", float_to_bits(t->x), float_to_bits(t->z), 0, 0);
            }
            cast = true;
        }
        break;
    }
    case SPELL_DRAGON: {
        // A master caster sends it at the enemy's figure, whose fall ends
        // the battle; others at the enemy's catapults, else its crowd.
        unit* t = f.traits.skill >= 1.0f ? nearest_enemy_figure(w, team, u->x, u->z) : nullptr;
        for (unit* e = w.units.list; e && !t; e = e->next)
            if (e->team != team && e->kind == UNIT_CATAPULT)
                t = e;
        int crowd = 0;
        if (!t)
            t = crowd_target(w, f, team, u->x, u->z, 250.0f, crowd);
        cast = t && send_dragon(w, team, t);
        break;
    }
    default:
        // Invisibility hides only a player's own figure from the others:
        // the computer lets the spell go for another.
        cast = code != SPELL_NONE;
        break;
    }
    if (cast) {
        f.spells[k] = SPELL_NONE;
        ++f.spells_cast;
        printf("the computer's %s cast spell %d\n", w.session.teams[team].name, code);
    }
}

// The gods' grant by the player's rule: a spell drawn for the side, into the
// first empty slot, for the favour it costs.
void grant(world& w, figure_state& f, int team)
{
    const int slot = f.spells[0] == SPELL_NONE ? 0 : (f.spells[1] == SPELL_NONE ? 1 : -1);
    if (slot < 0)
        return;
    int team_units = 0;
    for (const unit* u = w.units.list; u; u = u->next)
        team_units += u->team == team ? 1 : 0;
    int code;
    do
        code = spell_for_draw(w.rand(), team_units, team);
    while (code == f.spells[1 - slot]);
    f.spells[slot] = code;
    f.favour -= GRANT_COST;
}

// Where the figure stands to fight: the attackers' behind their army before
// the gate (through it once it is open), the defenders' inside the gate.
void fighting_place(const world& w, const figure_state& f, const unit* u, float& x, float& z)
{
    const battlefield& b = f.field;
    if (u->team == TEAM_ATTACKERS) {
        if (gate_open(w, b)) {
            // Just through the gate: a place a walk reaches.
            before_gate(b, -12.0f, 0.0f, x, z);
        } else {
            before_gate(b, 55.0f, 0.0f, x, z);
        }
    } else if (gate_open(w, b)) {
        // The gate open, in front of the temple: the figure's fall loses
        // the battle.
        x = b.temple_x + (b.gate_x - b.temple_x) * 0.25f;
        z = b.temple_z + (b.gate_z - b.temple_z) * 0.25f;
    } else {
        before_gate(b, -40.0f, 0.0f, x, z);
    }
}

// Sends the figure to (x, z) unless it is there or on its way there. Its
// order names the next point of its route, not the goal: the goal is kept
// here, or every thought would plan the way afresh and undo the way round
// whatever held it.
void go(world& w, figure_state& f, unit* u, float x, float z)
{
    const float dx = f.goal_x - x, dz = f.goal_z - z;
    if (u->order_kind == ORDER_MOVE && f.going && dx * dx + dz * dz < 4.0f)
        return;
    if ((u->x - x) * (u->x - x) + (u->z - z) * (u->z - z) < 9.0f)
        return;
    f.going = order_unit(w, u, x, z, ORDER_MOVE) == 0;
    f.goal_x = x;
    f.goal_z = z;
}

}  // namespace

void start_figure(figure_state& f, const world& w, int team, const level_traits& traits, const battlefield& field)
{
    f = figure_state{};
    f.on = hosts_computer_side(w.session, team);
    f.team = team;
    f.traits = traits;
    f.field = field;
}

void step_figure(figure_state& f, world& w, float dt)
{
    const int team = f.team;
    unit* u = figure_of(w, team);
    if (!f.on || !u)
        return;
    if (f.praying && at_own_temple(w, f, u)) {
        // Favour and healing as a player earns them at the temple.
        f.favour = std::fmin(f.favour + dt * 4.0f * 0.333f, MAX_FAVOR);
        u->health = std::fmin(u->health + 0.25f * dt, PLAYER_HEALTH);
        if (f.favour >= GRANT_FAVOR && (f.spells[0] == SPELL_NONE || f.spells[1] == SPELL_NONE))
            grant(w, f, team);
    }
    // The bow, as often as it reloads.
    const unit* t = f.target ? find_unit(w, f.target) : nullptr;
    if (t && w.time >= f.next_shot) {
        const float dx = t->x - u->x, dz = t->z - u->z;
        if (t->health > 0.0f && dx * dx + dz * dz < BOW_RANGE * BOW_RANGE)
            shoot(w, f, u, t);
        f.next_shot = w.time + BOW_RELOAD;
    }
}

void think_figure(figure_state& f, world& w)
{
    const int team = f.team;
    unit* u = figure_of(w, team);
    if (!f.on || !u)
        return;
    // The nearest enemy in the bow's reach.
    f.target = 0;
    float best = BOW_RANGE * BOW_RANGE;
    for (unit* e : enemies_near(w, team, u->x, u->z, BOW_RANGE)) {
        float d2 = (e->x - u->x) * (e->x - u->x) + (e->z - u->z) * (e->z - u->z);
        // A skilled archer aims at the enemy's figure before its soldiers:
        // its fall ends the battle.
        if (f.traits.skill >= 0.7f && humanoid_kind_of(e) == HUMANOID_FIGURE)
            d2 *= 0.05f;
        if (d2 < best) {
            best = d2;
            f.target = e->id;
        }
    }
    const bool spells_held = f.spells[0] != SPELL_NONE || f.spells[1] != SPELL_NONE;
    const bool quiet = enemies_near(w, team, u->x, u->z, QUIET_RANGE).empty();
    if (u->health < PRAY_BELOW_HEALTH || (!spells_held && f.favour < GRANT_FAVOR && quiet))
        f.praying = true;
    else if (u->health >= PLAYER_HEALTH - 0.5f && (spells_held || f.favour >= GRANT_FAVOR))
        f.praying = false;
    if (f.praying) {
        const int home = team;
        go(w, f, u, f.field.home_temple_x[home], f.field.home_temple_z[home]);
    } else {
        float x, z;
        fighting_place(w, f, u, x, z);
        // Both armies spent, the attackers' figure goes after the
        // defenders' (and strikes it with what it holds): two sides left
        // with figures and engines that cannot reach each other would stand
        // for ever. The defenders' figure holds its city, and while the
        // enemy still has an army, that army comes (or is sought out by
        // the figure's own side): a figure that walked out alone would
        // only fall.
        if (team == TEAM_ATTACKERS && army_spent(w, team) && army_spent(w, 1 - team))
            if (const unit* e = nearest_enemy_figure(w, team, u->x, u->z)) {
                x = e->x;
                z = e->z;
            }
        // A summons waits for the side's own half of the map.
        for (int code : f.spells)
            if (code == SPELL_UNDEAD || code == SPELL_GOBLINS || code == SPELL_FOOTMEN || code == SPELL_CATAPULTS ||
                code == SPELL_RAMS) {
                if (!on_own_side(team, z))
                    z = team == TEAM_ATTACKERS ? 4.0f : -4.0f;
                break;
            }
        go(w, f, u, x, z);
    }
    for (int k = 0; k < 2; ++k)
        if (f.spells[k] != SPELL_NONE)
            cast(w, f, u, k);
}
