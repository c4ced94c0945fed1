#include "sim/world.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "sim/archer.h"
#include "sim/buildings.h"
#include "sim/catapult.h"
#include "sim/combat.h"
#include "sim/commands.h"
#include "sim/dragon.h"
#include "sim/end_game.h"
#include "sim/events.h"
#include "sim/game.h"
#include "sim/humanoid.h"
#include "sim/light.h"
#include "sim/lightning.h"
#include "sim/magic.h"
#include "sim/messages.h"
#include "sim/model_tree.h"
#include "sim/participants.h"
#include "sim/projectile.h"
#include "sim/ram.h"
#include "sim/route.h"
#include "sim/session.h"
#include "sim/ship.h"
#include "sim/sides.h"
#include "sim/sky.h"
#include "sim/terrain.h"
#include "sim/trees.h"
#include "sim/units.h"
#include "sim/walls.h"
#include "sim/water.h"

world::world(::session& s, unsigned seed) : session(s)
{
    stream_srand(rng, seed);
    // Alone with nobody on the other side, a game never ends for want of
    // an enemy; the computer is an enemy.
    alone = s.parts.size() == 1 && !computer_plays(s, TEAM_ATTACKERS) && !computer_plays(s, TEAM_DEFENDERS) ? 1 : 0;
    channel = rand() % 10000;
    units.departures_seen = s.departures;
}

world::~world()
{
    // Nothing of this battle stays pointed at: the participants' figures
    // go with the registry (those of another world, already made for the
    // next battle, stay).
    for (participant& p : session.parts)
        if (p.figure && find_unit(*this, p.figure->id) == p.figure)
            p.figure = nullptr;
}

void reset_send_timer(world& w)
{
    // The next batch goes out in the next step.
    w.batch.next_send = 0.0f;
}

void build_world(world& w)
{
    w.time = 0.0f;
    make_participant_figures(w);
    init_terrain(w);
    // The city stands on the finished terrain: walls, then buildings, then
    // trees.
    load_walls(w);
    load_buildings(w);
    load_trees(w);
    init_skybox(w);
    init_rams(w);
    init_catapults(w);
    // Each side's starting soldiers, made by that side's leader only.
    init_footmen(w);
    init_goblins(w);
    init_ships(w);
    // The computer sides' figures, on every copy.
    for (int team : {TEAM_ATTACKERS, TEAM_DEFENDERS})
        if (computer_plays(w.session, team))
            make_computer_figure(w, team);
    build_archer_projectile_table(w.aim);
    setup_personal(w.player);
    print_world_census(w);
}

// --- the step ---------------------------------------------------------------

// When the units made while the world was built are announced again: a
// copy whose world took longer to build (a loaded machine, a slow driver)
// joins the game's channel after the first announcement and would never
// hear of them.
constexpr float REANNOUNCE_TIMES[] = {1.5f, 5.0f, 15.0f};

static void send_unit_state_now(world& w)
{
    send_unit_messages(w);
    flush_state_batch(w);
}

void send_network_status(world& w)
{
    if (w.batch.next_send <= w.time) {
        w.batch.next_send = w.time + 0.05f;
        send_unit_state_now(w);
    }
}

void step_world(world& w, float dt, const player_controls& controls)
{
    w.player.controls = controls;
    bury_orphaned_dead(w);
    for (float t : REANNOUNCE_TIMES)
        if (w.time - dt < t && w.time >= t)
            announce_made_units_again(w);
    simulate_units(w, dt);
    simulate_walls(w, dt);
    simulate_skybox(w, dt);
    simulate_projectiles(w, dt);
    simulate_magic(w, dt);
    step_player(w, dt, controls);
    simulate_personal(w, dt);
    send_network_status(w);
    regenerate_archers(w);
    simulate_lightning(w);
    update_darkness(w.light, w.time);
    simulate_water(w);
}

int end_of_step(world& w)
{
    const int result = is_end_game(w);
    if (result != END_WON && result != END_LOST)
        return END_GOES_ON;
    // The other copies judge the end from this copy's reports, and it sends
    // none once its game is over: the state it ended on goes out now, or a
    // sixth unit reaching the temple here could stay short of it on the
    // others for good.
    send_unit_state_now(w);
    end_game(w, result);
    return result;
}

// --- census -------------------------------------------------------------

// FNV-1a over the bytes of a run of values: equal worlds give equal sums.
struct census_sum {
    uint32_t h = 2166136261u;
    void add(const void* p, size_t n)
    {
        const auto* b = static_cast<const unsigned char*>(p);
        for (size_t i = 0; i < n; ++i)
            h = (h ^ b[i]) * 16777619u;
    }
    void add_float(float f) { add(&f, sizeof f); }
    void add_int(int v) { add(&v, sizeof v); }
};

std::string world_census(const world& w)
{
    census_sum land, woods, sky;
    if (w.terrain.made)
        for (int j = 0; j < TERRAIN_SIZE; ++j)
            land.add(w.terrain.height_map[j], TERRAIN_SIZE * sizeof(float));
    for (const auto* list : {&w.trees.chestnuts, &w.trees.random_trees})
        for (const tree_pos& t : *list) {
            woods.add_int(t.x);
            woods.add_int(t.y);
            woods.add_int(t.z);
        }
    int storm = 0;
    for (const cloud& c : w.sky.clouds) {
        for (float v : {c.x, c.y, c.z, c.vx, c.vy, c.vz, c.size})
            sky.add_float(v);
        storm += c.storm;
    }
    int by_kind[6] = {};
    int total = 0;
    for (const unit* u = w.units.list; u; u = u->next, ++total)
        if (u->kind >= 0 && u->kind < 6)
            ++by_kind[u->kind];
    char line[512];
    snprintf(line, sizeof line,
             "world: terrain %08X, trees %d+%d %08X, models %d, clouds %d (%d storm) %08X, water rebuild %.2f, "
             "night %d phase %.2f, strike %g, units %d (%d humanoids, %d catapults, %d rams, %d ships), "
             "projectiles %d",
             land.h, static_cast<int>(w.trees.chestnuts.size()), static_cast<int>(w.trees.random_trees.size()),
             woods.h, num_top_level_models(w.structures), static_cast<int>(w.sky.clouds.size()), storm, sky.h,
             static_cast<double>(w.water.next_rebuild), w.light.night, static_cast<double>(w.light.darkness),
             static_cast<double>(w.lightning.time), total, by_kind[UNIT_HUMANOID], by_kind[UNIT_CATAPULT],
             by_kind[UNIT_RAM], by_kind[UNIT_SHIP], count_projectiles(w.projectiles));
    return line;
}

void print_world_census(const world& w)
{
    printf("%s\n", world_census(w).c_str());
}
