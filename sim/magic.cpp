#include "sim/magic.h"

#include <cmath>
#include <cstdio>

#include "sim/buildings.h"
#include "sim/catapult.h"
#include "sim/combat.h"
#include "sim/commands.h"
#include "sim/dragon.h"
#include "sim/events.h"
#include "sim/game.h"
#include "sim/humanoid.h"
#include "sim/lightning.h"
#include "sim/message_table.h"
#include "sim/participants.h"
#include "sim/player.h"
#include "sim/projectile.h"
#include "sim/ram.h"
#include "sim/rights.h"
#include "sim/session.h"
#include "sim/sides.h"
#include "sim/units.h"
#include "sim/wire.h"
#include "sim/world.h"

// What each spell code is: the god's announcement with its colour.
struct spell_entry {
    const char* message;
    float r, g, b;
};

static const spell_entry spell_table[] = {
    {nullptr, 0, 0, 0},
    {"Apollo has granted you a Dragon", 1.0f, 0.0f, 0.0f},
    {"Hades has offered you an army of Undead", 0.6f, 0.6f, 0.6f},
    {"Hermes will throw Fire for you", 1.0f, 0.6f, 0.0f},
    {"Hermes will make you Invisible", 0.0f, 0.0f, 0.0f},
    {"Zeus will call Lightning for you", 0.0f, 0.5f, 1.0f},
    {"Ares has offered you a band of Goblins", 0.0f, 1.0f, 0.0f},
    {nullptr, 0, 0, 0},
    {"Ares has offered you a group of Catapults", 1.0f, 0.5f, 0.5f},
    {"Hephestus has offered you a group of Battering Rams", 1.0f, 0.5f, 0.5f},
    {"Zeus has offered you an army of Footmen", 0.0f, 0.0f, 0.0f},
};
static_assert(sizeof spell_table / sizeof spell_table[0] == SPELL_CODES);

static const char* const SIDE_WARNING = "You can only summon units on your side of the map!";

// --- prayer, favour and health ------------------------------------------------------

void do_pray(world& w)
{
    local_player& p = w.player;
    if (p.praying) {
        stop_praying(p);
        return;
    }
    if (w.me && w.me->touched_model && is_a_temple(w, w.me->touched_model)) {
        p.praying = 1;
        printf("praying\n");
    } else {
        printf("no temple to pray at here\n");
    }
}

void stop_praying(local_player& p)
{
    if (!p.praying)
        return;
    p.praying = 0;
    printf("no longer praying\n");
}

// `v` one step of at most `step` toward `target`, landing on it when close.
static void approach(float& v, float target, float step)
{
    if (std::fabs(v - target) <= step)
        v = target;
    else
        v += v < target ? step : -step;
}

void simulate_personal(world& w, float dt)
{
    local_player& p = w.player;
    const int god = w.session.god;
    if (p.praying && p.target_favor < MAX_FAVOR)
        p.target_favor += dt * (god ? 100.0f : 4.0f) * 0.333f;
    if (p.praying && p.now_favor >= GRANT_FAVOR && p.have_spells < 2)
        grant_spell(w);
    if (p.target_favor > MAX_FAVOR)
        p.target_favor = MAX_FAVOR;
    if (p.praying && p.target_health < MAX_HEALTH)
        p.target_health = std::fmin(p.target_health + (god ? 1.0f : 0.25f) * dt, MAX_HEALTH);
    if (w.me)
        approach(w.me->health, p.target_health, 5.0f * dt);
    approach(p.now_favor, p.target_favor, 3.0f * dt);
}

// --- granting -------------------------------------------------------------------------

int spell_for_draw(int r, int team_units, int team)
{
    const int q = r % 100, c = q % 5;
    if (q <= 50 || team_units > MAX_TEAM_FOR_SUMMONS) {
        static const int spells[5] = {SPELL_DRAGON, SPELL_FIRESTORM, SPELL_INVISIBILITY, SPELL_LIGHTNING,
                                      SPELL_LIGHTNING};
        return spells[c];
    }
    static const int armies[5] = {SPELL_UNDEAD, SPELL_GOBLINS, SPELL_FOOTMEN, SPELL_CATAPULTS, SPELL_RAMS};
    // The defenders have no use for rams: Zeus strikes for them instead.
    if (armies[c] == SPELL_RAMS && team == TEAM_DEFENDERS)
        return SPELL_LIGHTNING;
    return armies[c];
}

void grant_spell(world& w)
{
    local_player& p = w.player;
    const int team = local_team(w);
    int team_units = 0;
    for (const unit* u = w.units.list; u; u = u->next)
        if (u->team == team)
            ++team_units;
    const int slot = p.spells[0] == SPELL_NONE ? 0 : (p.spells[1] == SPELL_NONE ? 1 : -1);
    if (slot < 0)
        return;
    const int other = p.spells[1 - slot];
    int code;
    do
        code = spell_for_draw(w.rand(), team_units, team);
    while (code == other || (code == SPELL_DRAGON && (other == SPELL_DISMOUNT || p.dragon)));
    p.spells[slot] = code;
    ++p.have_spells;
    p.target_favor -= GRANT_COST;
    const spell_entry& e = spell_table[code];
    emit_banner(w.session.events, e.message, e.r, e.g, e.b, 0.3f, 3.0f);
    if (code == SPELL_DRAGON)
        p.dragon_button = slot + 2;
    printf("the gods grant spell %d in slot %d\n", code, slot);
}

// --- casting --------------------------------------------------------------------------

void magic_button(world& w, int k)
{
    local_player& p = w.player;
    if (k < 0 || k > 1 || p.spells[k] == SPELL_NONE)
        return;
    const int code = p.spells[k];
    printf("casting spell %d from slot %d\n", code, k);
    if (code == SPELL_DRAGON) {
        // The slot becomes the dragon's dismount button and stays filled
        // while the dragon is out. A summons the dragon refuses (one still
        // held, or one called less than a second ago) keeps the spell.
        call_dragon(w);
        if (p.dragon)
            p.spells[k] = SPELL_DISMOUNT;
        return;
    }
    // Every other spell leaves its slot at once, a targeted one too, which
    // then waits for its ground click.
    p.spells[k] = SPELL_NONE;
    if (p.have_spells > 0)
        --p.have_spells;
    switch (code) {
    case SPELL_UNDEAD: call_dead(w); break;
    case SPELL_FIRESTORM: p.waiting_spell = WAITING_FIRESTORM; break;
    case SPELL_INVISIBILITY: do_invisibility(w); break;
    case SPELL_LIGHTNING: p.waiting_spell = WAITING_LIGHTNING; break;
    case SPELL_GOBLINS: call_goblins(w); break;
    case SPELL_DISMOUNT: dismount_dragon(w); break;
    case SPELL_CATAPULTS: call_catapults(w); break;
    case SPELL_RAMS: call_rams(w); break;
    case SPELL_FOOTMEN: call_footmen(w); break;
    default: break;
    }
}

// --- summons --------------------------------------------------------------------------

bool on_own_side(int team, float z)
{
    if (team == TEAM_ATTACKERS)
        return z >= 0.0f;
    if (team == TEAM_DEFENDERS)
        return z <= 0.0f;
    return false;
}

// Whether this player may summon now; the warning when not on its side.
static bool may_summon(world& w)
{
    if (!w.me)
        return false;
    if (!on_own_side(local_team(w), w.player.eye_z)) {
        emit_banner(w.session.events, SIDE_WARNING, 1.0f, 0.0f, 0.0f, 0.3f, 2.0f);
        return false;
    }
    return true;
}

// Soldiers of side `team` in a block around (ax, az): `columns` x `rows`, 6
// apart across and 3 apart along, starting 3 right and 3 ahead of it.
static void summon_block(world& w, float ax, float az, int team, int columns, int rows,
                         unit* (*add)(world&, float, float, int))
{
    for (int i = 0; i < columns; ++i)
        for (int j = 0; j < rows; ++j)
            conditionally_update_humanoid(w, add(w, ax + 3.0f - 6.0f * i, az + 3.0f - 3.0f * j, team));
}

static unit* add_summoned_catapult(world& w, float x, float z, int team)
{
    unit* u = add_catapult(w, x, z, team);
    u->health = u->max_health = 10.0f;
    return u;
}

// Engines of side `team` in a row 24 behind (ax, az) (toward -z), 6 apart.
static void summon_row(world& w, float ax, float az, int team, int count, unit* (*add)(world&, float, float, int),
                       void (*report)(world&, unit*))
{
    for (int i = 0; i < count; ++i)
        report(w, add(w, ax + 6.0f - 6.0f * i, az - 24.0f, team));
}

bool summon_at(world& w, int code, float x, float z, int team)
{
    switch (code) {
    case SPELL_UNDEAD: summon_block(w, x, z, team, 2, 4, add_ghoul); return true;
    case SPELL_GOBLINS: summon_block(w, x, z, team, 2, 2, add_goblin); return true;
    case SPELL_FOOTMEN: summon_block(w, x, z, team, 3, 2, add_standing_footman); return true;
    case SPELL_CATAPULTS:
        summon_row(w, x, z, team, 4, add_summoned_catapult, conditionally_update_catapult);
        return true;
    case SPELL_RAMS: summon_row(w, x, z, team, 3, add_ram, conditionally_update_batram); return true;
    default: return false;
    }
}

// The player's summons, around its figure.
static void summon_here(world& w, int code)
{
    if (may_summon(w))
        summon_at(w, code, w.me->x, w.me->z, local_team(w));
}

void call_dead(world& w)
{
    summon_here(w, SPELL_UNDEAD);
}

void call_goblins(world& w)
{
    summon_here(w, SPELL_GOBLINS);
}

void call_footmen(world& w)
{
    summon_here(w, SPELL_FOOTMEN);
}

void call_catapults(world& w)
{
    summon_here(w, SPELL_CATAPULTS);
}

void call_rams(world& w)
{
    summon_here(w, SPELL_RAMS);
}

void do_invisibility(world& w)
{
    if (!w.me)
        return;
    // The other copies hide the figure; this one never draws its own.
    send_command_message(w.session, "INVS", w.me->id, float_to_bits(w.time + INVISIBILITY_TIME), 0, 0);
}

// --- firestorm and lightning ------------------------------------------------------------

bool within_spell_reach(float x, float z)
{
    return std::isfinite(x) && std::isfinite(z) && std::fabs(x) <= SPELL_REACH && std::fabs(z) <= SPELL_REACH;
}

void launch_meteor(world& w, float x, float z, int team, unsigned source)
{
    const float pos[3] = {x, 150.0f, z};
    const float vel[3] = {0.0f, -static_cast<float>(5 + w.rand() % 15), 0.0f};
    const float flame[3] = {x, 50.0f, z};
    projectile* p = throw_ball(w, pos, vel, team, flame, 1.0f);
    p->meteor = 1;
    p->source = source;
    printf("meteor falling at (%.1f, %.1f)\n", static_cast<double>(x), static_cast<double>(z));
}

// Whether a targeted spell may land at the ground point; says where it
// lands, or that it cannot.
static bool spell_lands(const char* lands, const char* spell, float x, float z)
{
    const bool ok = within_spell_reach(x, z);
    if (ok)
        printf("%s at (%f, %f)\n", lands, static_cast<double>(x), static_cast<double>(z));
    else
        printf("%s cannot reach (%f, %f)\n", spell, static_cast<double>(x), static_cast<double>(z));
    return ok;
}

void do_firestorm(world& w, float x, float z, int team)
{
    if (!spell_lands("firestorm", "the firestorm", x, z))
        return;
    emit_at(w.session.events, sim_event_kind::firestorm, x, 0.0f, z);
    if (team != TEAM_ATTACKERS && team != TEAM_DEFENDERS)
        team = local_team(w);
    for (int i = 0; i < METEORS_PER_FIRESTORM; ++i) {
        const float dx = static_cast<float>(w.rand() % 20 - 10);
        const float dz = static_cast<float>(w.rand() % 20 - 10);
        launch_meteor(w, x + dx, z + dz, team);
        send_command_message(w.session, "FIRE", float_to_bits(x + dx), float_to_bits(z + dz),
                             side_slot(w.session, team), 0);
    }
}

void cast_lightning(world& w, float x, float z)
{
    if (!spell_lands("lightning strikes", "lightning", x, z))
        return;
    set_lightning(w, x, z);
    send_command_message(w.session, "LIGH", float_to_bits(x), float_to_bits(z), 0, 0);
}

float lightning_damage(float since, float lasts, float d, float r, float dt)
{
    if (!(since >= LIGHTNING_DAMAGE_DELAY && since <= lasts))
        return 0.0f;
    if (!(d <= LIGHTNING_REACH + r))
        return 0.0f;
    return LIGHTNING_DAMAGE_RATE * dt;
}

void simulate_magic(world& w, float dt)
{
    const lightning_state& bolt = w.lightning;
    const float since = w.time - bolt.time;
    if (!(since >= LIGHTNING_DAMAGE_DELAY && since <= bolt.lasts))
        return;
    for (unit* u = w.units.list; u;) {
        unit* next = u->next;  // the strike may kill this unit
        const float dx = u->x - bolt.x, dz = u->z - bolt.z;
        const float damage = lightning_damage(since, bolt.lasts, std::sqrt(dx * dx + dz * dz), u->radius, dt);
        if (damage > 0.0f)
            do_damage(w, damage, u);
        u = next;
    }
}

// "FIRE": one meteor of a peer's firestorm. It spares the caster's team,
// as the caster's own meteors do.
void receive_fire(message_context& c, const uint32_t p[4])
{
    world& w = *c.w;
    const float x = bits_to_float(p[0]), z = bits_to_float(p[1]);
    const participant& s = c.who();
    if (!within_spell_reach(x, z)) {
        refuse(c.s, s.id, refusal::bad_value, "FIRE at a point out of reach, ignored");
        return;
    }
    // Meteors alone count here: arrows and balls in flight hold no
    // firestorm back.
    if (count_meteors(w.projectiles) >= MAX_FLYING_FOR_METEORS) {
        refuse(c.s, s.id, refusal::projectile_cap, "FIRE while %d meteors fall, ignored", MAX_FLYING_FOR_METEORS);
        return;
    }
    const int team = commanded_side(c.s, p[2], s.id, s.team);
    if (team < 0) {
        refuse(c.s, s.id, refusal::wrong_team, "FIRE for side %u from %8.8X, which hosts no such side, ignored", p[2],
               s.id);
        return;
    }
    launch_meteor(w, x, z, team, s.id);
}

// --- the dragon's button ----------------------------------------------------------------

void delete_dismount_dragon_button(world& w)
{
    local_player& p = w.player;
    for (int k = 0; k < 2; ++k) {
        if (p.spells[k] != SPELL_DISMOUNT)
            continue;
        p.spells[k] = SPELL_NONE;
        if (p.have_spells > 0)
            --p.have_spells;
    }
}

void setup_personal(local_player& p)
{
    p.spells[0] = p.spells[1] = SPELL_NONE;
    p.have_spells = 0;
    p.target_health = MAX_HEALTH;
    p.target_favor = p.now_favor = 5.0f;
    p.praying = 0;
}
