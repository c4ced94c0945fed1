#include "game/headless.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cmath>
#include <cstring>
#include <set>

#include "ai/battlefield.h"
#include "ai/computer.h"
#include "sim/end_game.h"
#include "sim/events.h"
#include "sim/game.h"
#include "sim/messages.h"
#include "sim/model_tree.h"
#include "sim/participants.h"
#include "sim/sides.h"
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

// --- battles between two computer sides --------------------------------------

bool parse_battle_args(std::vector<std::string>& args, battle_options& out, std::string& error)
{
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json") {
            out.json = true;
            continue;
        }
        const bool takes_value = a == "--battle" || a == "--attackers" || a == "--defenders" || a == "--minutes";
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
        if (a == "--battle") {
            const unsigned long seed = std::strtoul(v.c_str(), &end, 10);
            if (v.empty() || *end || errno || v[0] == '-' || seed > 0xffffffffUL) {
                error = "--battle needs a seed (a whole number), not \"" + v + "\"";
                return false;
            }
            out.on = true;
            out.seed = static_cast<unsigned>(seed);
        } else if (a == "--attackers" || a == "--defenders") {
            const int level = level_from_name(v.c_str());
            if (!level) {
                error = a + " is easy, normal or hard, not \"" + v + "\"";
                return false;
            }
            (a == "--attackers" ? out.attackers : out.defenders) = level;
        } else {
            const float m = std::strtof(v.c_str(), &end);
            if (v.empty() || *end || errno || !(m > 0.0f && m <= 1e4f)) {
                error = "--minutes needs a number of game minutes, not \"" + v + "\"";
                return false;
            }
            out.minutes = m;
        }
    }
    if (!out.on && rest.size() != args.size()) {
        error = "--attackers, --defenders, --minutes and --json go with --battle SEED";
        return false;
    }
    args = rest;
    return true;
}

int take_battle_args(int& argc, char** argv, battle_options& out)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    if (!parse_battle_args(args, out, error)) {
        fprintf(stderr, "kelvarin: %s\n", error.c_str());
        return 2;
    }
    int n = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--json")
            continue;
        if ((a == "--battle" || a == "--attackers" || a == "--defenders" || a == "--minutes") && i + 1 < argc) {
            ++i;
            continue;
        }
        argv[n++] = argv[i];
    }
    argc = n;
    return -1;
}

namespace {

// The units that count in a battle's toll: figures, soldiers and engines
// (dragons come and go by design, ships never fight).
bool counts(const unit* u)
{
    return u->kind == UNIT_HUMANOID || u->kind == UNIT_CATAPULT || u->kind == UNIT_RAM;
}

void progress_line(FILE* out, int minute, const battlefield& field)
{
    int units[2] = {0, 0};
    for (const unit* u = unit_list; u; u = u->next)
        if (counts(u) && (u->team == 0 || u->team == 1))
            ++units[u->team];
    const float gate = gate_health(field);
    const int holders = count_temple_holders();
    char gate_text[32];
    if (field.gate >= 0 && the_wall_pts[static_cast<size_t>(field.gate)].broken)
        snprintf(gate_text, sizeof gate_text, "broken");
    else
        snprintf(gate_text, sizeof gate_text, "%g", static_cast<double>(gate));
    fprintf(out, "battle: minute %d: attackers %d units, defenders %d units; gate %s; temple %s\n", minute,
            units[TEAM_ATTACKERS], units[TEAM_DEFENDERS], gate_text,
            holders > 0 ? (std::to_string(holders) + " attackers at it").c_str() : "held by the defenders");
}

}  // namespace

void battle_build(const battle_options& o)
{
    static bool started = false;
    if (!started) {
        init_simulation();
        started = true;
    }
    // Nobody plays here: both sides are the computer's, hosted here.
    delete_all_units();
    parts.clear();
    n_parts = 0;
    me = nullptr;
    teams[0].members = teams[1].members = 0;
    clear_computer_sides();
    set_computer_side(TEAM_ATTACKERS, o.attackers, 0);
    set_computer_side(TEAM_DEFENDERS, o.defenders, 0);
    game_state = STATE_MENU;
    seed_game(o.seed);
    build_world();
    clear_events();
    game_state = STATE_PLAY;
    start_computer_players();
}

int battle_step()
{
    game_time += HEADLESS_STEP;
    step_world(HEADLESS_STEP, player_controls{});
    step_computer_players(HEADLESS_STEP);
    clear_events();
    if (count_temple_holders() > TEMPLE_HOLDERS_TO_WIN)
        return TEAM_ATTACKERS;
    if (!computer_sides[TEAM_ATTACKERS].figure)
        return TEAM_DEFENDERS;
    if (!computer_sides[TEAM_DEFENDERS].figure)
        return TEAM_ATTACKERS;
    return -1;
}

battle_result run_battle(const battle_options& o, FILE* progress)
{
    const auto t0 = std::chrono::steady_clock::now();
    battle_build(o);
    const battlefield field = survey_battlefield();

    battle_result r;
    std::set<uint32_t> seen[2];
    const long steps = std::lround(o.minutes * 60.0f / HEADLESS_STEP);
    const long per_minute = std::lround(60.0f / HEADLESS_STEP);
    long step = 0;
    for (; step < steps && r.winner < 0; ++step) {
        for (const unit* u = unit_list; u; u = u->next)
            if (counts(u) && (u->team == 0 || u->team == 1))
                seen[u->team].insert(u->id);
        r.winner = battle_step();
        if (r.winner >= 0 && progress)
            fprintf(progress, "battle: %s after %.1f s\n",
                    r.winner == TEAM_DEFENDERS ? "the attackers' figure fell"
                    : count_temple_holders() > TEMPLE_HOLDERS_TO_WIN ? "the attackers hold the temple"
                                                                     : "the defenders' figure fell",
                    static_cast<double>((step + 1) * HEADLESS_STEP));
        if (progress && (step + 1) % per_minute == 0)
            progress_line(progress, static_cast<int>((step + 1) / per_minute), field);
    }
    r.seconds = static_cast<float>(step) * HEADLESS_STEP;
    for (int team = 0; team < 2; ++team) {
        int alive = 0;
        for (const unit* u = unit_list; u; u = u->next)
            if (u->team == team && counts(u) && seen[team].count(u->id))
                ++alive;
        r.made[team] = static_cast<int>(seen[team].size());
        r.lost[team] = r.made[team] - alive;
    }
    game_state = STATE_MENU;
    r.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return r;
}

std::string battle_line(const battle_options& o, const battle_result& r, bool json)
{
    const char* winner = r.winner == TEAM_ATTACKERS ? "attackers" : (r.winner == TEAM_DEFENDERS ? "defenders" : "none");
    char line[512];
    if (json)
        snprintf(line, sizeof line,
                 "{\"seed\": %u, \"attackers\": \"%s\", \"defenders\": \"%s\", \"winner\": \"%s\", \"seconds\": %.1f, "
                 "\"attackers_lost\": %d, \"attackers_units\": %d, \"defenders_lost\": %d, \"defenders_units\": %d, "
                 "\"wall_seconds\": %.2f}",
                 o.seed, level_name(o.attackers), level_name(o.defenders), winner, static_cast<double>(r.seconds),
                 r.lost[0], r.made[0], r.lost[1], r.made[1], r.wall);
    else
        snprintf(line, sizeof line,
                 "battle: seed %u attackers %s defenders %s winner %s after %.1f s; attackers lost %d of %d, "
                 "defenders lost %d of %d; %.2f s wall",
                 o.seed, level_name(o.attackers), level_name(o.defenders), winner, static_cast<double>(r.seconds),
                 r.lost[0], r.made[0], r.lost[1], r.made[1], r.wall);
    return line;
}

int battle_main(const battle_options& o)
{
    const battle_result r = run_battle(o, stderr);
    printf("%s\n", battle_line(o, r, o.json).c_str());
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
