#include "sim/world.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/random.h"
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
#include "sim/ship.h"
#include "sim/sides.h"
#include "sim/siege.h"
#include "sim/sky.h"
#include "sim/terrain.h"
#include "sim/trees.h"
#include "sim/units.h"
#include "sim/walls.h"
#include "sim/water.h"

// When the next unit-state batch goes out.
static float s_next_send = 0.0f;

void init_simulation()
{
    init_teams();
    init_wall_links();
    init_siege();
}

void reset_send_timer()
{
    // The first batch of a game goes out in its first step.
    s_next_send = 0.0f;
}

// Everything of the simulation that belongs to one game, reset before the
// next world is built. game_time starts again at 0 in every game, so a
// timer left from an earlier game would hold the new one back for as long
// as that game lasted, and a list would carry the old world into the new.
// A module that keeps state for one game adds its reset function here, and
// nowhere else; the world's builders then start from empty lists and fresh
// counters.
static void (*const world_resets[])() = {
    reset_send_timer,        // unit-state send timer
    init_movement,           // movement timers, start position
    reset_game_messages,     // an unsent unit-state batch
    reset_game_units,        // selection, win check, references into the old world
    reset_game_routes,       // routes and queued waypoints
    reset_game_humanoids,    // humanoid ids
    reset_game_catapults,    // catapult ids
    reset_game_rams,         // ram ids
    reset_game_ships,        // ship ids
    reset_game_dragons,      // the dragon held and ridden, dragon ids, the summoning guard
    reset_game_combat,       // the own figure's pending health
    reset_game_magic,        // the dragon's slot, a spell waiting for its target
    clear_projectiles,       // arrows and balls
    clear_model_tree,        // walls, buildings, trunks
    clear_trees,             // tree pictures
    reset_game_water,        // the inland water's ripple
    reset_game_lightning,    // last strike
    reset_game_light,        // night and day
    reset_game_sides,        // the computer sides' figures
};

void reset_world_state()
{
    for (void (*reset)() : world_resets)
        reset();
}

int seed_game(unsigned seed)
{
    game_srand(seed);
    // Alone with nobody on the other side, a game never ends for want of
    // an enemy; the computer is an enemy.
    single_player = n_parts == 1 && !computer_plays(TEAM_ATTACKERS) && !computer_plays(TEAM_DEFENDERS) ? 1 : 0;
    return game_rand() % 10000;
}

void build_world()
{
    reset_world_state();
    game_time = 0.0f;
    fill_human_types();
    init_terrain();
    // The city stands on the finished terrain: walls, then buildings, then
    // trees.
    load_walls();
    load_buildings();
    load_trees();
    init_skybox();
    init_rams();
    init_catapults();
    // Each side's starting soldiers, made by that side's leader only.
    init_footmen();
    init_goblins();
    init_ships();
    // The computer sides' figures, on every copy.
    for (int team : {TEAM_ATTACKERS, TEAM_DEFENDERS})
        if (computer_plays(team))
            make_computer_figure(team);
    build_archer_projectile_table();
    setup_personal();
    print_world_census();
}

// --- the step ---------------------------------------------------------------

// When the units made while the world was built are announced again: a
// copy whose world took longer to build (a loaded machine, a slow driver)
// joins the game's channel after the first announcement and would never
// hear of them.
constexpr float REANNOUNCE_TIMES[] = {1.5f, 5.0f, 15.0f};

static void send_unit_state_now()
{
    send_unit_messages();
    flush_updm_list();
}

void send_network_status()
{
    if (s_next_send <= game_time) {
        s_next_send = game_time + 0.05f;
        send_unit_state_now();
    }
}

void step_world(float dt, const player_controls& controls)
{
    set_controls(controls);
    bury_orphaned_dead();
    for (float t : REANNOUNCE_TIMES)
        if (game_time - dt < t && game_time >= t)
            announce_made_units_again();
    simulate_units(dt);
    simulate_walls(dt);
    simulate_skybox(dt);
    simulate_projectiles(dt);
    simulate_magic(dt);
    step_player(dt, controls);
    simulate_personal(dt);
    send_network_status();
    regenerate_archers();
    simulate_lightning();
    update_phase(game_time);
    simulate_water();
}

int end_of_step()
{
    const int result = is_end_game();
    if (result != END_WON && result != END_LOST)
        return END_GOES_ON;
    // The other copies judge the end from this copy's reports, and it sends
    // none once its game is over: the state it ended on goes out now, or a
    // sixth unit reaching the temple here could stay short of it on the
    // others for good.
    send_unit_state_now();
    end_game(result);
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

std::string world_census()
{
    census_sum land, woods, sky;
    if (height_map[0])
        for (int j = 0; j < TERRAIN_SIZE; ++j)
            land.add(height_map[j], TERRAIN_SIZE * sizeof(float));
    for (const auto* list : {&chestnuts, &random_trees})
        for (const tree_pos& t : *list) {
            woods.add_int(t.x);
            woods.add_int(t.y);
            woods.add_int(t.z);
        }
    int storm = 0;
    for (const cloud& c : the_clouds) {
        for (float v : {c.x, c.y, c.z, c.vx, c.vy, c.vz, c.size})
            sky.add_float(v);
        storm += c.storm;
    }
    int by_kind[6] = {};
    int total = 0;
    for (const unit* u = unit_list; u; u = u->next, ++total)
        if (u->kind >= 0 && u->kind < 6)
            ++by_kind[u->kind];
    char line[512];
    snprintf(line, sizeof line,
           "world: terrain %08X, trees %d+%d %08X, models %d, clouds %d (%d storm) %08X, water rebuild %.2f, "
           "night %d phase %.2f, strike %g, units %d (%d humanoids, %d catapults, %d rams, %d ships), "
           "projectiles %d",
           land.h, num_chestnuts, num_random_trees, woods.h, num_top_level_models(), nclouds, storm, sky.h,
           static_cast<double>(next_water_rebuild), is_night_time_mode, static_cast<double>(phase),
           static_cast<double>(last_lightning_time), total, by_kind[UNIT_HUMANOID], by_kind[UNIT_CATAPULT],
           by_kind[UNIT_RAM], by_kind[UNIT_SHIP], count_projectiles());
    return line;
}

void print_world_census()
{
    printf("%s\n", world_census().c_str());
}
