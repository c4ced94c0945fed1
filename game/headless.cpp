#include "game/headless.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sim/end_game.h"
#include "sim/events.h"
#include "sim/game.h"
#include "sim/messages.h"
#include "sim/model_tree.h"
#include "sim/participants.h"
#include "sim/units.h"
#include "sim/walls.h"
#include "sim/world.h"

// The step of the headless loop, the timedemo's.
constexpr float HEADLESS_STEP = 0.025f;

bool parse_headless_args(std::vector<std::string>& args, headless_options& out, std::string& error)
{
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool takes_value = a == "--headless" || a == "--side" || a == "--seconds";
        if (!takes_value) {
            rest.push_back(a);
            continue;
        }
        if (i + 1 >= args.size()) {
            error = a + " needs a value";
            return false;
        }
        const std::string& v = args[++i];
        char* end = nullptr;
        errno = 0;
        if (a == "--headless") {
            const unsigned long seed = std::strtoul(v.c_str(), &end, 10);
            if (v.empty() || *end || errno || v[0] == '-' || seed > 0xffffffffUL) {
                error = "--headless needs a seed (a whole number), not \"" + v + "\"";
                return false;
            }
            out.on = true;
            out.seed = static_cast<unsigned>(seed);
        } else if (a == "--side") {
            if (v == "attackers")
                out.side = TEAM_ATTACKERS;
            else if (v == "defenders")
                out.side = TEAM_DEFENDERS;
            else {
                error = "--side is attackers or defenders, not \"" + v + "\"";
                return false;
            }
        } else {
            const float s = std::strtof(v.c_str(), &end);
            if (v.empty() || *end || errno || !(s >= 0.0f && s <= 1e6f)) {
                error = "--seconds needs a number of game seconds, not \"" + v + "\"";
                return false;
            }
            out.seconds = s;
        }
    }
    if (!out.on && rest.size() != args.size()) {
        error = "--side and --seconds go with --headless SEED";
        return false;
    }
    args = rest;
    return true;
}

int take_headless_args(int& argc, char** argv, headless_options& out)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    if (!parse_headless_args(args, out, error)) {
        fprintf(stderr, "kelvarin: %s\n", error.c_str());
        return 2;
    }
    // What is left keeps its order: the options and their values go.
    int n = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if ((a == "--headless" || a == "--side" || a == "--seconds") && i + 1 < argc) {
            ++i;
            continue;
        }
        argv[n++] = argv[i];
    }
    argc = n;
    return -1;
}

void headless_build(unsigned seed, int side)
{
    static bool started = false;
    if (!started) {
        init_simulation();
        started = true;
    }
    if (!default_username)
        default_username = "headless";
    // A world of its own: nothing of an earlier one in the registry.
    delete_all_units();
    game_state = STATE_MENU;
    init_participants();
    choose_team(side);
    seed_game(seed);
    build_world();
    game_state = STATE_PLAY;
    clear_events();
}

long headless_run(float seconds)
{
    const player_controls idle;
    long steps = 0;
    for (float t = 0.0f; t + HEADLESS_STEP / 2 < seconds && game_state == STATE_PLAY; t += HEADLESS_STEP) {
        game_time += HEADLESS_STEP;
        step_world(HEADLESS_STEP, idle);
        // Nobody hears or sees: the events of the step are dropped.
        clear_events();
        end_of_step();
        ++steps;
    }
    return steps;
}

int headless_main(const headless_options& o)
{
    const auto t0 = std::chrono::steady_clock::now();
    headless_build(o.seed, o.side);
    const long steps = headless_run(o.seconds);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    print_world_census();
    printf("headless: seed %u, %ld steps of %g s (%.1f game seconds) in %.3f s\n", o.seed, steps,
           static_cast<double>(HEADLESS_STEP), static_cast<double>(steps * HEADLESS_STEP), wall);
    return 0;
}

siege_outcome headless_siege(unsigned seed, float seconds)
{
    siege_outcome out;
    headless_build(seed, TEAM_ATTACKERS);
    int gate = -1;
    for (int i = 0; i + 1 < n_wall_pts && gate < 0; ++i)
        if (the_wall_pts[static_cast<size_t>(i)].gate)
            gate = i;
    if (gate < 0)
        return out;
    const wall_point& a = the_wall_pts[static_cast<size_t>(gate)];
    const wall_point& b = the_wall_pts[static_cast<size_t>(gate) + 1];
    const float gx = (a.x + b.x) / 2.0f, gz = (a.z + b.z) / 2.0f;
    const model_node* gate_model = get_top_level_model(a.model_id);

    // Each ordered ram: where it last moved to, when, and whether it has
    // been pressed against the gate.
    struct watch {
        uint32_t id;
        float x, z, since;
        bool pressed;
    };
    std::vector<watch> rams;
    for (unit* u = unit_list; u; u = u->next)
        if (u->kind == UNIT_RAM && u->team == TEAM_ATTACKERS) {
            if (issue_unit_order(u->id, TEAM_ATTACKERS, ORDER_ATTACK, gx, gz) == 0)
                rams.push_back({u->id, u->x, u->z, game_time, false});
            else
                ++out.refused;
        }
    out.rams = static_cast<int>(rams.size());
    const float start = game_time;
    while (game_time - start < seconds && game_state == STATE_PLAY) {
        headless_run(HEADLESS_STEP);
        for (watch& w : rams) {
            const unit* u = find_unit(w.id);
            if (!u)
                continue;
            const bool pressing = gate_model && u->touched_model == gate_model;
            w.pressed = w.pressed || pressing;
            if (pressing || std::hypot(u->x - w.x, u->z - w.z) > SIEGE_STILL_REACH) {
                w.x = u->x;
                w.z = u->z;
                w.since = game_time;
            } else if (game_time - w.since > out.longest_still) {
                out.longest_still = game_time - w.since;
                out.still_x = w.x;
                out.still_z = w.z;
            }
        }
        if (a.broken) {
            out.broken = true;
            out.broken_after = game_time - start;
            break;
        }
    }
    for (const watch& w : rams)
        out.pressed += w.pressed ? 1 : 0;
    return out;
}
