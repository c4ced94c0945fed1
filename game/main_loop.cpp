#include "game/main_loop.h"

#include <GL/gl.h>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <malloc.h>
#include <string>
#include <unistd.h>

#include "game/command_line.h"
#include "game/frame.h"
#include "ai/computer.h"
#include "game/headless.h"
#include "game/timedemo.h"
#include "input/window.h"
#include "net/multicast.h"
#include "platform/paths.h"
#include "platform/random.h"
#include "platform/settings.h"
#include "render/camera.h"
#include "render/dragon_model.h"
#include "render/engine_models.h"
#include "render/flames.h"
#include "render/gamma.h"
#include "render/humanoid_model.h"
#include "render/lightning_draw.h"
#include "render/model_draw.h"
#include "render/projectile_draw.h"
#include "render/screenshot.h"
#include "render/ship_model.h"
#include "render/terrain_render.h"
#include "render/textures.h"
#include "render/water_draw.h"
#include "sim/commands.h"
#include "sim/end_game.h"
#include "sim/events.h"
#include "sim/messages.h"
#include "sim/participants.h"
#include "sim/sides.h"
#include "sim/player.h"
#include "sim/units.h"
#include "sim/world.h"
#include "sound/sound.h"
#include "ui/chat.h"
#include "ui/hud.h"
#include "ui/interface.h"
#include "ui/menu.h"
#include "ui/requests.h"
#include "ui/selection.h"

timeval prev_tv;
volatile sig_atomic_t quit_requested = 0;
// Set by a second SIGINT.
static volatile sig_atomic_t g_leave_now = 0;
// Set once the window and the display's ramps are closed: a second SIGINT
// from then on ends the program in its handler.
static volatile sig_atomic_t g_display_closed = 0;
int do_log_position = 0;
int do_replay_position = 0;
FILE* position_log_file = nullptr;
int nframes = 0;
int tframes = 0;
float old_frame_time = 0.0f;

static std::string g_username_storage;
// When this copy next announces itself in the menu.
static float s_next_presence = 0.0f;

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

// The settings of the file, where the command line left the choice open:
// its words only ever turn these on for the run.
void apply_settings()
{
    if (user_settings.sound)
        do_sound = 1;
    if (!user_settings.fullscreen)
        do_window = 1;
    do_fog = user_settings.fog;
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
    if (!read_position_record(position_log_file, rec))
        return;
    eye_x = rec.x;
    eye_y = rec.y;
    eye_z = rec.z;
    eye_float = rec.float_height;
    eye_pitch = rec.pitch;
    eye_yaw = rec.yaw;
}

// --- events -------------------------------------------------------------

void deliver_events()
{
    for (const sim_event& e : pending_events()) {
        switch (e.kind) {
        case sim_event_kind::splash:
            initiate_splash_sound(e.x, e.z);
            break;
        case sim_event_kind::thunder:
            initiate_lightning_sound(e.x, e.z);
            break;
        case sim_event_kind::firestorm:
            initiate_firestorm_sound(e.x, e.z);
            break;
        case sim_event_kind::dragon_roar:
            initiate_dragon_sound(e.x, e.y, e.z);
            break;
        case sim_event_kind::hurt:
            camera_hurt();
            break;
        case sim_event_kind::banner:
            set_message(e.text.c_str(), e.r, e.g, e.b, e.appear, e.fade);
            break;
        case sim_event_kind::chat:
            add_chat_line(e.colour, e.prefix.c_str(), e.text.c_str());
            break;
        }
    }
    clear_events();
}

// --- the steps of the phases --------------------------------------------

// The player's controls of this step: the walking keys held, and how far
// the mouse turned the view (not while the command bar frees the pointer).
static player_controls read_controls()
{
    player_controls c;
    c.keys.forward = check_key('w');
    c.keys.back = check_key('s');
    c.keys.left = check_key('a');
    c.keys.right = check_key('d');
    c.keys.jump = check_key(' ');
    c.keys.rise = check_key('e');
    c.keys.sink = check_key('f');
    if (!do_interface) {
        float dx, dy;
        mouse_look_delta(dx, dy);
        // Half a degree per pixel at the normal speed of the Controls settings.
        const float turn = 0.5f * static_cast<float>(user_settings.mouse_sensitivity) / 100.0f / g_zoom;
        c.turn_yaw = dx * turn;
        c.turn_pitch = (user_settings.invert_look ? -dy : dy) * turn;
    }
    return c;
}

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
    step_world(dt, read_controls());
    step_computer_players(dt);
    animate_interface(dt);
    if (is_shift_down())
        enable_interface();
    else
        disable_interface();
    step_view(dt, is_control_down());
    step_flames(dt);
    simulate_message();
    if (do_log_position)
        log_position();
    if (do_replay_position)
        read_log_position();
    end_of_step();
}

void simulate_lobby(float dt)
{
    if (simulate_menu(dt))
        return;  // a start was asked for: it is carried out before the next frame
    if (game_time - s_next_presence >= 0.2f) {
        broadcast_self();
        s_next_presence = game_time;
    }
    check_for_messages();
    expire_participants();
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
        simulate_lobby(dt);
        break;
    case STATE_PLAY:
        simulate_play(dt);
        break;
    default:
        // End screens simulate nothing and touch no network.
        break;
    }
    deliver_events();
}

// --- switches between the phases ---------------------------------------

static void reset_frame_report()
{
    // The frame-rate report counts this game's frames from its first second.
    nframes = 0;
    tframes = 0;
    old_frame_time = 0.0f;
    g_terrain_count = 0.0f;
    // The presence timer follows game_time, which starts again at 0, so that
    // the menu after this game announces this copy at once.
    s_next_presence = 0.0f;
}

// The presentation's part of everything that belongs to one game; the
// simulation resets its own when the world is built (reset_world_state).
static void (*const presentation_resets[])() = {
    reset_frame_report,         // frame-rate report, presence timer
    reset_game_camera,          // hurt tilt, zoom
    reset_game_interface,       // command bar, an order waiting for its point
    reset_game_selection,       // drag and pick state
    reset_game_menu,            // the menu picture's catapult
    reset_game_personal,        // the banner
    release_humanoid_lists,     // body-type and sword lists
    release_model_lists,        // the structures' lists
    reset_game_terrain_render,  // terrain blocks, terrain and minimap textures
    reset_water_draw,           // the inland water's vertices
    reset_lightning_draw,       // the bolt's twist
    reset_flames,               // flames of the last game's fires
    reset_game_sound,           // effects under way, surf switch time
};

void reset_presentation()
{
    for (void (*reset)() : presentation_resets)
        reset();
}

void prepare_game_mode()
{
    reset_presentation();
    if (do_replay_position) {
        if (position_log_file)
            fclose(position_log_file);
        position_log_file = fopen(user_file("path.dat").c_str(), "rb");
    }
    build_world();
    start_computer_players();
    // Every list and texture of this world is made now, not during play: a
    // list compiled in play lands in whatever buffer the driver is filling
    // then, and holds it for the rest of the program.
    compile_humanoid_lists();
    compile_ship_lists();
    compile_engine_lists();
    compile_projectile_lists();
    compile_dragon_lists();
    compile_model_lists();
    sync_terrain_render();
    generate_map_call_list();
    set_game_gl_params();
    cursor_look_mode();
    gamma_fade_in();
}

void begin_play(const start_info& start)
{
    gamma_fade_to(0.0f, 0.0f);
    close_chat();
    close_ipmulticast();
    clear_computer_sides();
    if (start.computer_team >= 0)
        set_computer_side(start.computer_team, start.level, start.host);
    init_ipmulticast(seed_game(start.seed));
    usleep(300000);
    prepare_game_mode();
    game_state = STATE_PLAY;
    game_time = 0.0f;
    // The world took its time to build: play starts from now.
    gettimeofday(&prev_tv, nullptr);
}

// The menu, built afresh: its own part, then the participant table (this
// copy's entry first).
static void enter_menu()
{
    init_menu();
    cursor_hidden_mode();
    init_participants();
}

void back_to_menu()
{
    // Whatever the result, the next game starts from an empty registry:
    // units left over from this one must not walk into it.
    delete_all_units();
    // Back in the lobby's channel, where the menu meets the other copies.
    close_ipmulticast();
    init_ipmulticast(0);
    game_state = STATE_MENU;
    enter_menu();
}

void carry_out_requests()
{
    switch (take_request()) {
    case ui_request::start_game:
        if (game_state == STATE_MENU) {
            const int computer = computer_side_wanted();
            begin_play(announce_start(computer, computer >= 0 ? user_settings.computer_level : 0));
        }
        break;
    case ui_request::back_to_menu:
        if (game_state == STATE_WON || game_state == STATE_LOST)
            back_to_menu();
        break;
    case ui_request::quit:
        quit_requested = 1;
        break;
    case ui_request::none:
        break;
    }
    start_info start;
    if (take_start_request(start) && game_state == STATE_MENU)
        begin_play(start);
}

// --- loop and ending ----------------------------------------------------

void quit_game_event_loop()
{
    if (quit_requested) {
        // Past the display's close nothing is left to put back: leave now.
        if (g_display_closed)
            _exit(-1 & 0xff);
        g_leave_now = 1;
        alarm(LEAVE_GRACE_SECONDS);
        return;
    }
    quit_requested = 1;
}

void leave_if_interrupted_twice()
{
    if (!g_leave_now)
        return;
    // No orderly shut-down follows: the user's ramps go back now (a screen
    // left black or red would outlive the program).
    restore_gamma();
    _exit(-1 & 0xff);
}

static void leave_on_alarm(int)
{
    _exit(-1 & 0xff);
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

// The input of the last pass over the window's events, to the interface.
static void route_input()
{
    for (const input_event& e : take_input_events()) {
        if (e.kind == input_event::typed)
            interface_key(e.key);
        else
            interface_click(e.x, e.y, e.button, host_button_down(0) != 0);
    }
}

void run_game_event_loop()
{
    gamma_fade_in();
    while (!quit_requested) {
        leave_if_interrupted_twice();
        incremental_fade();
        simulate();
        carry_out_requests();
        if (quit_requested)
            break;
        g_game_width = window_width;
        g_game_height = window_height;
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
        route_input();
        carry_out_requests();
        if (g_registry_wanted) {
            g_registry_wanted = 0;
            print_registry();
        }
    }
}

// The display's own ramps, read once the window is open, and how ramps
// reach it: the fades rewrite them.
static void load_gamma_on_display(const gamma_ramps& r)
{
    load_display_gamma(r.red, r.green, r.blue, GAMMA_RAMP_SIZE);
}

static void init_gamma()
{
    gamma_ramps own;
    if (!read_display_gamma(own.red, own.green, own.blue, GAMMA_RAMP_SIZE)) {
        printf("no gamma ramps on this display: fades are off\n");
        return;
    }
    save_gamma_ramps(own, load_gamma_on_display);
}

static void show_cursor_free()
{
    cursor_visible_mode();
}

static void show_cursor_look()
{
    cursor_look_mode();
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
    // The headless loop needs nothing of the window, the sound or the network.
    headless_options headless;
    const int headless_args = take_headless_args(argc, argv, headless);
    if (headless_args >= 0)
        return headless_args;
    battle_options battle;
    const int battle_args = take_battle_args(argc, argv, battle);
    if (battle_args >= 0)
        return battle_args;
    int computer_side = -1, computer_level = 0;
    const int computer_args = take_computer_args(argc, argv, computer_side, computer_level);
    if (computer_args >= 0)
        return computer_args;
    long long island = -1;
    const int island_args = take_island_args(argc, argv, island);
    if (island_args >= 0)
        return island_args;
    choose_start_island(island);
    const int options = check_program_options(argc, argv);
    if (options >= 0)
        return options;
    if (timedemo_requested()) {
        const int status = timedemo_check();
        if (status)
            return status;
    }
    parse_args(argc, argv);
    if (headless.on)
        return headless_main(headless);
    if (battle.on)
        return battle_main(battle);
    load_settings();
    apply_settings();
    gettimeofday(&prev_tv, nullptr);
    init_simulation();
    // The menu's draws (this copy's player number among them) differ between
    // copies started in the same second: the time alone gave two such copies
    // the same number. A game's own draws start from its island's seed.
    game_srand(timedemo_requested() ? timedemo_seed()
                                    : static_cast<unsigned>(time(nullptr)) ^ (static_cast<unsigned>(getpid()) << 10) ^
                                          static_cast<unsigned>(prev_tv.tv_usec));
    init_sound();
    setup_game_graphics_context();
    init_gamma();
    gamma_fade_to(0, 0);
    g_game_width = window_width;
    g_game_height = window_height;
    name_tag_font_base = bitmap_font_base;
    interface_cursor_visible = show_cursor_free;
    interface_cursor_look = show_cursor_look;
    signal(SIGINT, quit_game_event_loop_caller);
    signal(SIGALRM, leave_on_alarm);
    signal(SIGUSR1, request_registry_listing);
    load_the_textures();
    set_datagram_sender(send_multicast);
    init_ipmulticast(0);
    enter_menu();
    if (computer_side >= 0) {
        // The computer takes that side for this run, the player the other.
        forced_computer_side = computer_side;
        user_settings.computer_level = computer_level;
        choose_team(1 - computer_side);
        team_buttons[2].label = computer_button_label();
    }
    if (timedemo_requested())
        timedemo_start();
    gettimeofday(&prev_tv, nullptr);
    run_game_event_loop();

    leave_if_interrupted_twice();
    close_ipmulticast();
    print_network_stats();
    leave_if_interrupted_twice();
    close_game_graphics_context();
    close_gamma();
    g_display_closed = 1;
    // A second SIGINT that came while the window closed.
    leave_if_interrupted_twice();
    return timedemo_exit_status();
}
