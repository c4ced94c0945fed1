#include "game/main_loop.h"

#include <GL/gl.h>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <malloc.h>

#include "render/camera.h"
#include "game/command_line.h"
#include "render/gamma.h"
#include "platform/paths.h"
#include "platform/random.h"
#include "platform/settings.h"
#include "render/textures.h"
#include "game/timedemo.h"
#include "input/window.h"
#include "sim/messages.h"
#include "net/multicast.h"
#include "sound/sound.h"
#include "sim/end_game.h"
#include "ui/interface.h"
#include "sim/magic.h"
#include "ui/personal.h"
#include "ui/menu.h"
#include "ui/selection.h"
#include "sim/archer.h"
#include "sim/catapult.h"
#include "sim/combat.h"
#include "sim/dragon.h"
#include "sim/humanoid.h"
#include "sim/projectile.h"
#include "sim/ram.h"
#include "sim/route.h"
#include "sim/ship.h"
#include "sim/siege.h"
#include "sim/units.h"
#include "sim/buildings.h"
#include "sim/light.h"
#include "sim/lightning.h"
#include "sim/model_tree.h"
#include "sim/sky.h"
#include "sim/terrain.h"
#include "render/terrain_render.h"
#include "sim/trees.h"
#include "sim/walls.h"
#include "sim/water.h"

int game_state = STATE_MENU;
float game_time = 0.0f;
timeval prev_tv;
volatile int gDone = 0;
int do_log_position = 0;
int do_replay_position = 0;
int do_sound = 0;
int do_god = 0;
int do_window = 0;
int do_fog = 1;
int do_lighting = 1;
int g_render_mode = GL_RENDER;
const char* default_username = nullptr;
FILE* posi_F = nullptr;
float next_send = 0.0f;
int nframes = 0;
int tframes = 0;
float old_frame_time = 0.0f;
float g_terrain_count = 0.0f;
team_entry teams[2];

static std::string g_username_storage;

void parse_args(int argc, char** argv)
{
    if (argc > 1 && argv[1]) {
        // Names travel in 32-byte fields: keep at most 31 characters.
        g_username_storage.assign(argv[1], strnlen(argv[1], 31));
        default_username = g_username_storage.c_str();
    }
    for (int i = 2; i < argc; ++i) {
        const char* w = argv[i];
        if (!strcmp(w, "LOG_POSITION"))
            do_log_position = 1;
        else if (!strcmp(w, "REPLAY_P_LOG"))
            do_replay_position = 1;
        else if (!strcmp(w, "SOUND"))
            do_sound = 1;
        else if (!strcmp(w, "GOD"))
            do_god = 1;
        else if (!strcmp(w, "WINDOW"))
            do_window = 1;
    }
}

static void set_team(team_entry& t, float r, float g, float b, const char* name)
{
    t.r = r;
    t.g = g;
    t.b = b;
    snprintf(t.name, sizeof t.name, "%s", name);
    t.members = 0;
}

void init_teams()
{
    set_team(teams[TEAM_ATTACKERS], 1.0f, 0.5f, 0.5f, "Attackers");
    set_team(teams[TEAM_DEFENDERS], 0.5f, 1.0f, 0.5f, "Defenders");
}

void update_timer()
{
    timeval tv;
    gettimeofday(&tv, nullptr);
    long ds = static_cast<long>(tv.tv_sec) - static_cast<long>(prev_tv.tv_sec);
    long du = static_cast<long>(tv.tv_usec) - static_cast<long>(prev_tv.tv_usec);
    prev_tv = tv;
    if (timedemo_running())
        return;  // the timedemo's clock moves by its fixed step only
    game_time = static_cast<float>(game_time + static_cast<float>(ds));
    game_time = static_cast<float>(game_time + du * 1e-6);
}

static void send_unit_state_now()
{
    send_unit_messages();
    flush_updm_list();
}

void send_network_status()
{
    if (next_send <= game_time) {
        next_send = game_time + 0.05f;
        send_unit_state_now();
    }
}

void simulate_regeneration()
{
    regenerate_archers();
}

void generate_model_lists()
{
    swordList = GenSwordList();
    GenShipList();
}

// --- position log -------------------------------------------------------

static void put_float_le(unsigned char* p, float f)
{
    uint32_t u;
    memcpy(&u, &f, 4);
    p[0] = u & 0xff;
    p[1] = (u >> 8) & 0xff;
    p[2] = (u >> 16) & 0xff;
    p[3] = (u >> 24) & 0xff;
}

static float get_float_le(const unsigned char* p)
{
    uint32_t u = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
    float f;
    memcpy(&f, &u, 4);
    return f;
}

bool append_position_record(const char* path, const position_record& rec)
{
    FILE* f = fopen(path, "ab");
    if (!f)
        return false;
    const float fields[8] = {rec.x, rec.y, rec.z, rec.float_height, rec.pitch, rec.yaw, rec.unused0, rec.unused1};
    unsigned char bytes[32];
    for (int i = 0; i < 8; ++i)
        put_float_le(bytes + 4 * i, fields[i]);
    bool ok = fwrite(bytes, 32, 1, f) == 1;
    ok = (fclose(f) == 0) && ok;
    return ok;
}

bool read_position_record(FILE* f, position_record& rec)
{
    unsigned char bytes[32];
    if (!f || fread(bytes, 1, 32, f) != 32)
        return false;  // end of file, or a truncated last record
    float fields[8];
    for (int i = 0; i < 8; ++i)
        fields[i] = get_float_le(bytes + 4 * i);
    rec = {fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], fields[6], fields[7]};
    return true;
}

void log_position()
{
    append_position_record(user_file_for_writing("path.dat").c_str(),
                           {eye_x, eye_y, eye_z, eye_float, eye_pitch, eye_yaw, 0.0f, 0.0f});
}

void read_log_position()
{
    position_record rec;
    if (!read_position_record(posi_F, rec))
        return;
    eye_x = rec.x;
    eye_y = rec.y;
    eye_z = rec.z;
    eye_float = rec.float_height;
    eye_pitch = rec.pitch;
    eye_yaw = rec.yaw;
}

// --- simulation ---------------------------------------------------------

// When the units made while the world was built are announced again.
constexpr float REANNOUNCE_TIME = 1.5f;

static void simulate_play(float dt)
{
    ++nframes;
    ++tframes;
    if (game_time > old_frame_time + 1.0f) {
        printf("FPS: %d (avg: %f) (avg terrain: %f blocks/frame)\n", nframes,
               static_cast<double>(tframes / game_time), static_cast<double>(g_terrain_count / nframes));
        nframes = 0;
        g_terrain_count = 0.0f;
        old_frame_time = game_time;
        // The GL driver holds memory for what a frame draws until the frame
        // is shown; freed, it stays in the allocator's heap, which would
        // keep the size of the busiest frame so far for the rest of the run.
        // Once a second the free pages go back to the system.
        malloc_trim(0);
    }
    check_for_messages();
    bury_orphaned_dead();
    if (game_time - dt < REANNOUNCE_TIME && game_time >= REANNOUNCE_TIME)
        announce_made_units_again();
    simulate_units(dt);
    animate_interface();
    simulate_walls();
    simulate_skybox();
    simulate_projectiles(dt);
    simulate_magic(dt);
    mouse_look();
    key_move(dt);
    simulate_personal(dt);
    send_network_status();
    simulate_regeneration();
    simulate_message();
    if (do_log_position)
        log_position();
    if (do_replay_position)
        read_log_position();
    const int result = is_end_game();
    if (result == END_WON || result == END_LOST) {
        // The other copies judge the end from this copy's reports, and it
        // sends none once its game is over: the state it ended on goes out
        // now, or a sixth unit reaching the temple here could stay short
        // of it on the others for good.
        send_unit_state_now();
        end_game(result);
    }
}

void simulate()
{
    float t0 = game_time;
    update_timer();
    if (timedemo_running())
        game_time = t0 + TIMEDEMO_STEP;
    float dt = game_time - t0;

    simulate_sound(dt);
    if (dt == 0.0f)
        return;
    switch (game_state) {
    case STATE_MENU:
        simulate_menu(dt);
        return;
    case STATE_PLAY:
        simulate_play(dt);
        return;
    default:
        // End screens simulate nothing and touch no network.
        return;
    }
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

void print_world_census()
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
    printf("world: terrain %08X, trees %d+%d %08X, models %d, clouds %d (%d storm) %08X, water rebuild %.2f, "
           "night %d phase %.2f, strike %g, units %d (%d humanoids, %d catapults, %d rams, %d ships), "
           "projectiles %d\n",
           land.h, num_chestnuts, num_random_trees, woods.h, num_top_level_models(), nclouds, storm, sky.h,
           static_cast<double>(next_water_rebuild), is_night_time_mode, static_cast<double>(phase),
           static_cast<double>(last_lightning_time), total, by_kind[UNIT_HUMANOID], by_kind[UNIT_CATAPULT],
           by_kind[UNIT_RAM], by_kind[UNIT_SHIP], count_projectiles());
}

void reset_game_main_loop()
{
    // The first batch of a game goes out in its first frame, and the
    // frame-rate report counts this game's frames from its first second.
    next_send = 0.0f;
    nframes = 0;
    tframes = 0;
    old_frame_time = 0.0f;
    g_terrain_count = 0.0f;
}

// Everything that belongs to one game, reset before the next world is
// built. game_time starts again at 0 in every game, so a timer left from an
// earlier game would hold the new one back for as long as that game lasted;
// a list would be drawn again on top of the new one; a GL object made for it
// would be lost. A module that keeps state for one game adds its reset
// function here, and nowhere else; the world's builders below then start
// from empty lists and fresh counters.
static void (*const game_resets[])() = {
    reset_game_main_loop,       // unit-state send timer, frame-rate report
    reset_game_camera,          // hurt tilt, walking bob, pitch
    init_movement,              // movement timers, zoom, command bar, start position
    reset_game_selection,       // drag and pick state
    reset_game_menu,            // presence timer, the menu picture's catapult
    reset_game_messages,        // an unsent unit-state batch
    reset_game_units,           // selection, win check, references into the old world
    reset_game_routes,          // routes and queued waypoints
    reset_game_humanoids,       // humanoid ids, body-type and sword display lists
    reset_game_catapults,       // catapult ids
    reset_game_rams,            // ram ids
    reset_game_ships,           // ship ids
    reset_game_dragons,         // the dragon held and ridden, dragon ids, the summoning guard
    reset_game_combat,          // the own figure's pending health
    reset_game_magic,           // the dragon's slot, a meteor count
    reset_game_personal,        // the banner
    clear_projectiles,          // arrows and balls (the menu's catapult throws too)
    clear_model_tree,           // walls, buildings, trunks and their display lists
    clear_trees,                // tree pictures
    reset_game_terrain_render,  // terrain blocks, terrain and minimap textures
    reset_game_water,           // inland water rebuild time
    reset_game_lightning,       // last strike, bolt twist
    reset_game_light,           // night and day
    reset_game_sound,           // effects under way, surf switch time
};

void reset_game_state()
{
    for (void (*reset)() : game_resets)
        reset();
}

void prepare_game_mode()
{
    reset_game_state();
    if (do_replay_position) {
        if (posi_F)
            fclose(posi_F);
        posi_F = fopen(user_file("path.dat").c_str(), "rb");
    }
    init_human_types();
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
    build_archer_projectile_table();
    generate_model_lists();
    setup_personal();
    set_game_gl_params();
    print_world_census();
    gamma_fade_in();
}

// --- loop and ending ----------------------------------------------------

void quit_game_event_loop()
{
    gamma_fade_in();
    if (gDone) {
        // No orderly shut-down follows: the user's ramps go back now (a
        // screen left black or red would outlive the program).
        restore_gamma();
        _exit(-1 & 0xff);
    }
    gDone = 1;
}

void quit_game_event_loop_caller(int)
{
    quit_game_event_loop();
}

// SIGUSR1 asks for the registry to be printed; the loop prints it between
// two frames (a handler may only set a flag).
static volatile sig_atomic_t g_registry_wanted = 0;

static void request_registry_listing(int)
{
    g_registry_wanted = 1;
}

void run_game_event_loop()
{
    gamma_fade_in();
    while (!gDone) {
        incremental_fade();
        simulate();
        g_render_mode = GL_RENDER;
        draw_frame();
        timedemo_frame_drawn();
        swap_buffers();
        if (timedemo_finished())
            break;
        if (check_key('x') && is_alt_down())
            take_screenshot();
        if (check_key('q') && is_alt_down())
            break;
        process_events();
        if (g_registry_wanted) {
            g_registry_wanted = 0;
            print_registry();
        }
    }
}

int main_program(int argc, char** argv)
{
    // Diagnostics must be readable the moment they are printed, even when
    // standard output is a pipe or a file.
    setvbuf(stdout, nullptr, _IOLBF, 0);

    init_paths();
    // The timedemo's options come out of the argument list first; what is
    // left is checked like any command line.
    const int timedemo_args = take_timedemo_args(argc, argv);
    if (timedemo_args >= 0)
        return timedemo_args;
    const int options = check_program_options(argc, argv);
    if (options >= 0)
        return options;
    if (timedemo_requested()) {
        const int status = timedemo_check();
        if (status)
            return status;
    }
    parse_args(argc, argv);
    load_settings();
    gettimeofday(&prev_tv, nullptr);
    init_teams();
    game_srand(timedemo_requested() ? timedemo_seed() : static_cast<unsigned>(time(nullptr)));
    init_sound();
    setup_game_graphics_context();
    signal(SIGINT, quit_game_event_loop_caller);
    signal(SIGUSR1, request_registry_listing);
    load_the_textures();
    init_ipmulticast(0);
    init_wall_links();
    init_siege();
    init_menu();
    if (timedemo_requested())
        timedemo_start();
    gettimeofday(&prev_tv, nullptr);
    run_game_event_loop();

    close_ipmulticast();
    print_network_stats();
    close_game_graphics_context();
    return timedemo_exit_status();
}
