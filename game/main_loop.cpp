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

volatile sig_atomic_t quit_requested = 0;
// Set by a second SIGINT.
static volatile sig_atomic_t g_leave_now = 0;
// Set once the window and the display's ramps are closed: a second SIGINT
// from then on ends the program in its handler.
static volatile sig_atomic_t g_display_closed = 0;

void parse_args(program& p, int argc, char** argv)
{
    if (argc > 1 && argv[1])
        // Names travel in 32-byte fields: keep at most 31 characters.
        p.s.username.assign(argv[1], strnlen(argv[1], 31));
    for (int i = 2; i < argc; ++i) {
        const char* w = argv[i];
        if (!strcmp(w, "LOG_POSITION"))
            p.positions.write = true;
        else if (!strcmp(w, "REPLAY_P_LOG"))
            p.positions.replay = true;
        else if (!strcmp(w, "SOUND"))
            p.snd.on = 1;
        else if (!strcmp(w, "GOD"))
            p.s.god = 1;
        else if (!strcmp(w, "WINDOW"))
            do_window = 1;
    }
}

// The settings of the file, where the command line left the choice open:
// its words only ever turn these on for the run.
void apply_settings(program& p)
{
    if (user_settings.sound)
        p.snd.on = 1;
    if (!user_settings.fullscreen)
        do_window = 1;
    p.r.view.fog = user_settings.fog;
}

// A clock moved on by ds seconds and du microseconds, in the steps the
// game's clock has always taken (whole seconds first, in float).
static void advance_clock(float& clock, long ds, long du)
{
    clock = static_cast<float>(clock + static_cast<float>(ds));
    clock = static_cast<float>(clock + du * 1e-6);
}

float update_timer(program& p)
{
    timeval tv;
    gettimeofday(&tv, nullptr);
    const long ds = static_cast<long>(tv.tv_sec) - static_cast<long>(p.prev_tv.tv_sec);
    const long du = static_cast<long>(tv.tv_usec) - static_cast<long>(p.prev_tv.tv_usec);
    p.prev_tv = tv;
    const bool play = p.s.phase == STATE_PLAY && p.w;
    float& clock = play ? p.w->time : p.s.now;
    const float t0 = clock;
    if (p.demo.running) {
        // The timedemo's clocks move by its fixed step only.
        clock = t0 + TIMEDEMO_STEP;
        if (play)
            p.s.now += TIMEDEMO_STEP;
    } else {
        advance_clock(clock, ds, du);
        if (play)
            advance_clock(p.s.now, ds, du);
    }
    return clock - t0;
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

void log_position(const program& p)
{
    const local_player& e = p.w->player;
    append_position_record(user_file_for_writing("path.dat").c_str(),
                           {e.eye_x, e.eye_y, e.eye_z, e.eye_float, e.eye_pitch, e.eye_yaw, 0.0f, 0.0f});
}

void read_log_position(program& p)
{
    position_record rec;
    if (!read_position_record(p.positions.replay_file.get(), rec))
        return;
    local_player& e = p.w->player;
    e.eye_x = rec.x;
    e.eye_y = rec.y;
    e.eye_z = rec.z;
    e.eye_float = rec.float_height;
    e.eye_pitch = rec.pitch;
    e.eye_yaw = rec.yaw;
}

// --- events -------------------------------------------------------------

void deliver_events(program& p)
{
    event_list& events = p.s.events;
    for (const sim_event& e : events.pending) {
        switch (e.kind) {
        case sim_event_kind::splash:
            initiate_splash_sound(p.snd, e.x, e.z);
            break;
        case sim_event_kind::thunder:
            if (p.w)
                initiate_lightning_sound(p.snd, p.w->terrain, e.x, e.z);
            break;
        case sim_event_kind::firestorm:
            if (p.w)
                initiate_firestorm_sound(p.snd, p.w->terrain, e.x, e.z);
            break;
        case sim_event_kind::dragon_roar:
            initiate_dragon_sound(p.snd, e.x, e.y, e.z);
            break;
        case sim_event_kind::hurt:
            camera_hurt(p.r.view);
            break;
        case sim_event_kind::banner:
            set_message(p.ui.banner, p.ui.now(), e.text.c_str(), e.r, e.g, e.b, e.appear, e.fade);
            break;
        case sim_event_kind::chat:
            add_chat_line(p.ui.chat, e.colour, e.prefix.c_str(), e.text.c_str());
            break;
        }
    }
    events.pending.clear();
}

// --- the steps of the phases --------------------------------------------

// The player's controls of this step: the walking keys held, and how far
// the mouse turned the view (not while the command bar frees the pointer).
static player_controls read_controls(const program& p)
{
    player_controls c;
    c.keys.forward = check_key('w');
    c.keys.back = check_key('s');
    c.keys.left = check_key('a');
    c.keys.right = check_key('d');
    c.keys.jump = check_key(' ');
    c.keys.rise = check_key('e');
    c.keys.sink = check_key('f');
    if (!p.ui.bar.shown) {
        float dx, dy;
        mouse_look_delta(dx, dy);
        // Half a degree per pixel at the normal speed of the Controls settings.
        const float turn = 0.5f * static_cast<float>(user_settings.mouse_sensitivity) / 100.0f / p.r.view.zoom;
        c.turn_yaw = dx * turn;
        c.turn_pitch = (user_settings.invert_look ? -dy : dy) * turn;
    }
    return c;
}

static void report_frame_rate(program& p)
{
    frame_report& f = p.report;
    const float now = p.w->time;
    ++f.frames;
    ++f.total_frames;
    if (now > f.last_line + 1.0f) {
        printf("FPS: %d (avg: %f) (avg terrain: %f blocks/frame)\n", f.frames,
               static_cast<double>(f.total_frames / now), static_cast<double>(p.r.terrain.count / f.frames));
        f.frames = 0;
        p.r.terrain.count = 0.0f;
        f.last_line = now;
        // The GL driver holds memory for what a frame draws until the frame
        // is shown; freed, it stays in the allocator's heap, which would
        // keep the size of the busiest frame so far for the rest of the run.
        // Once a second the free pages go back to the system.
        malloc_trim(0);
    }
}

static void simulate_play(program& p, float dt)
{
    world& w = *p.w;
    report_frame_rate(p);
    check_for_messages(p.s, &w);
    step_world(w, dt, read_controls(p));
    step_computer_players(p.ai, w, dt);
    animate_interface(p.ui.bar, dt);
    if (is_shift_down())
        enable_interface(p.ui);
    else
        disable_interface(p.ui);
    step_view(p.r.view, dt, is_control_down());
    step_flames(p.r.flames, w.fires, dt);
    simulate_message(p.ui.banner, w.time);
    if (p.positions.write)
        log_position(p);
    if (p.positions.replay)
        read_log_position(p);
    end_of_step(w);
}

void simulate_lobby(program& p, float dt)
{
    if (simulate_menu(p.ui, dt))
        return;  // a start was asked for: it is carried out before the next frame
    if (p.s.now - p.next_presence >= 0.2f) {
        broadcast_self(p.s);
        p.next_presence = p.s.now;
    }
    check_for_messages(p.s, nullptr);
    expire_participants(p.s);
}

void simulate(program& p)
{
    const float dt = update_timer(p);
    simulate_sound(p.snd, dt, p.w && p.s.phase == STATE_PLAY ? &p.w->player : nullptr);
    if (dt == 0.0f)
        return;
    switch (p.s.phase) {
    case STATE_MENU:
        simulate_lobby(p, dt);
        break;
    case STATE_PLAY:
        simulate_play(p, dt);
        break;
    default:
        // End screens simulate nothing and touch no network.
        break;
    }
    deliver_events(p);
}

void apply_player_actions(program& p)
{
    std::vector<player_action> actions = take_player_actions(p.ui);
    if (!p.w || p.s.phase != STATE_PLAY)
        return;  // asked of a battle that is over
    for (const player_action& a : actions)
        apply_player_action(*p.w, a);
}

// --- switches between the phases ---------------------------------------

void reset_presentation(program& p)
{
    // The frame-rate report counts this game's frames from its first second.
    p.report = frame_report{};
    p.r.terrain.count = 0.0f;
    reset_game_renderer(p.r);
    reset_game_interface(p.ui);
    reset_game_sound(p.snd);
}

void begin_play(program& p, const start_info& start)
{
    gamma_fade_to(0.0f, 0.0f);
    close_chat(p.ui.chat);
    close_ipmulticast();
    clear_computer_sides(p.s);
    if (start.computer_team >= 0)
        set_computer_side(p.s, start.computer_team, start.level, start.host);
    // The world of the start's seed: its first draw is the game's channel.
    p.w.reset();
    p.w = std::make_unique<world>(p.s, start.seed);
    init_ipmulticast(p.w->channel);
    usleep(300000);
    reset_presentation(p);
    if (p.positions.replay)
        p.positions.replay_file.reset(fopen(user_file("path.dat").c_str(), "rb"));
    build_world(*p.w);
    start_computer_players(p.ai, *p.w);
    compile_world_lists(p.r, *p.w);
    set_game_gl_params(p.r.view);
    cursor_look_mode();
    gamma_fade_in();
    p.ui.world = p.w.get();
    p.s.phase = STATE_PLAY;
    // The world took its time to build: play starts from now.
    gettimeofday(&p.prev_tv, nullptr);
}

// The menu, built afresh: its own part, then the participant table (this
// copy's entry first).
static void enter_menu(program& p)
{
    init_menu(p.ui);
    cursor_hidden_mode();
    init_participants(p.s);
}

void back_to_menu(program& p)
{
    // The battle's world goes with everything in it: nothing of it walks
    // into the next game.
    p.ui.world = nullptr;
    p.w.reset();
    // Back in the lobby's channel, where the menu meets the other copies.
    close_ipmulticast();
    init_ipmulticast(0);
    p.s.phase = STATE_MENU;
    enter_menu(p);
}

void carry_out_requests(program& p)
{
    switch (take_request(p.ui)) {
    case ui_request::start_game:
        if (p.s.phase == STATE_MENU) {
            const int computer = computer_side_wanted(p.ui);
            begin_play(p, announce_start(p.s, computer, computer >= 0 ? user_settings.computer_level : 0));
        }
        break;
    case ui_request::back_to_menu:
        if (p.s.phase == STATE_WON || p.s.phase == STATE_LOST)
            back_to_menu(p);
        break;
    case ui_request::quit:
        quit_requested = 1;
        break;
    case ui_request::none:
        break;
    }
    start_info start;
    if (take_start_request(p.s, start) && p.s.phase == STATE_MENU)
        begin_play(p, start);
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
static void route_input(program& p)
{
    for (const input_event& e : take_input_events()) {
        if (e.kind == input_event::typed)
            interface_key(p.ui, e.key);
        else
            interface_click(p.ui, e.x, e.y, e.button, host_button_down(0) != 0);
    }
}

void run_game_event_loop(program& p)
{
    gamma_fade_in();
    while (!quit_requested) {
        leave_if_interrupted_twice();
        incremental_fade();
        simulate(p);
        carry_out_requests(p);
        if (quit_requested)
            break;
        p.r.view.width = window_width;
        p.r.view.height = window_height;
        draw_frame(p);
        timedemo_frame_drawn(p.demo, p.s.phase, p.r.view.width, p.r.view.height);
        swap_buffers();
        if (timedemo_finished(p.demo, p.s.phase, p.r.view.width, p.r.view.height))
            break;
        if (check_key('x') && is_alt_down())
            take_screenshot(p.r.view.width, p.r.view.height);
        if (check_key('q') && is_alt_down())
            break;
        process_events();
        route_input(p);
        apply_player_actions(p);
        carry_out_requests(p);
        if (g_registry_wanted) {
            g_registry_wanted = 0;
            if (p.w)
                print_registry(*p.w);
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
    timedemo_options demo;
    const int timedemo_args = take_timedemo_args(argc, argv, demo);
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
    const int options = check_program_options(argc, argv);
    if (options >= 0)
        return options;
    if (headless.on || battle.on) {
        if (headless.on)
            return headless_main(headless);
        return battle_main(battle);
    }
    // The program: its session, renderer, sound and interface, for the run.
    auto owned = std::make_unique<program>();
    program& p = *owned;
    p.demo.options = demo;
    if (demo.on) {
        const int status = timedemo_check(p.demo);
        if (status)
            return status;
    }
    choose_start_island(p.s, island);
    parse_args(p, argc, argv);
    load_settings();
    apply_settings(p);
    gettimeofday(&p.prev_tv, nullptr);
    // The menu's draws (this copy's player number among them) differ between
    // copies started in the same second: the time alone gave two such copies
    // the same number. A game's own draws start from its island's seed.
    stream_srand(p.s.rng, demo.on ? demo.seed
                                  : static_cast<unsigned>(time(nullptr)) ^ (static_cast<unsigned>(getpid()) << 10) ^
                                        static_cast<unsigned>(p.prev_tv.tv_usec));
    init_sound(p.snd);
    setup_game_graphics_context();
    init_gamma();
    gamma_fade_to(0, 0);
    p.r.view.width = window_width;
    p.r.view.height = window_height;
    p.r.humanoids.name_tag_font_base = bitmap_font_base;
    p.ui.cursor_visible = show_cursor_free;
    p.ui.cursor_look = show_cursor_look;
    signal(SIGINT, quit_game_event_loop_caller);
    signal(SIGALRM, leave_on_alarm);
    signal(SIGUSR1, request_registry_listing);
    load_the_textures(p.r.textures);
    p.s.link.sender = send_multicast;
    init_ipmulticast(0);
    enter_menu(p);
    if (computer_side >= 0) {
        // The computer takes that side for this run, the player the other.
        p.ui.chat.forced_computer_side = computer_side;
        user_settings.computer_level = computer_level;
        choose_team(p.s, 1 - computer_side);
        p.ui.menu.teams[2].label = computer_button_label(p.ui.chat);
    }
    if (demo.on) {
        p.positions.replay = true;
        begin_play(p, timedemo_start(p.demo));
    }
    gettimeofday(&p.prev_tv, nullptr);
    run_game_event_loop(p);

    leave_if_interrupted_twice();
    close_ipmulticast();
    print_network_stats(p.s.now);
    leave_if_interrupted_twice();
    // The battle's lists and the renderer's textures go while the context
    // still stands.
    p.ui.world = nullptr;
    p.w.reset();
    close_game_graphics_context();
    close_gamma();
    g_display_closed = 1;
    // A second SIGINT that came while the window closed.
    leave_if_interrupted_twice();
    return timedemo_exit_status(p.demo);
}
