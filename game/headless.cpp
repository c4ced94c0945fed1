#include "game/headless.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <set>

#include "ai/battlefield.h"
#include "ai/computer.h"
#include "sim/end_game.h"
#include "sim/events.h"
#include "sim/game.h"
#include "sim/messages.h"
#include "sim/model_tree.h"
#include "sim/participants.h"
#include "sim/session.h"
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

namespace {

// Takes the options a parser understood out of argv; what is left keeps its
// order. `valued` are the options followed by a value, `flags` those alone.
template <class Options>
int take_args(int& argc, char** argv, Options& out,
              bool (*parse)(std::vector<std::string>&, Options&, std::string&),
              std::initializer_list<const char*> valued, std::initializer_list<const char*> flags)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    if (!parse(args, out, error)) {
        fprintf(stderr, "kelvarin: %s\n", error.c_str());
        return 2;
    }
    const auto among = [](const char* a, std::initializer_list<const char*> names) {
        for (const char* n : names)
            if (!strcmp(a, n))
                return true;
        return false;
    };
    int n = 1;
    for (int i = 1; i < argc; ++i) {
        if (among(argv[i], flags))
            continue;
        if (among(argv[i], valued) && i + 1 < argc) {
            ++i;
            continue;
        }
        argv[n++] = argv[i];
    }
    argc = n;
    return -1;
}

}  // namespace

int take_headless_args(int& argc, char** argv, headless_options& out)
{
    return take_args(argc, argv, out, parse_headless_args, {"--headless", "--side", "--seconds"}, {});
}

void headless_build(headless_game& g, unsigned seed, int side)
{
    session& s = g.s;
    if (s.username.empty())
        s.username = "headless";
    // A world of its own: the last one and its table go.
    g.w.reset();
    s.phase = STATE_MENU;
    init_participants(s);
    choose_team(s, side);
    g.w = std::make_unique<world>(s, seed);
    build_world(*g.w);
    s.phase = STATE_PLAY;
    s.events.pending.clear();
}

long headless_run(headless_game& g, float seconds)
{
    world& w = *g.w;
    const player_controls idle;
    long steps = 0;
    for (float t = 0.0f; t + HEADLESS_STEP / 2 < seconds && g.s.phase == STATE_PLAY; t += HEADLESS_STEP) {
        w.time += HEADLESS_STEP;
        step_world(w, HEADLESS_STEP, idle);
        // Nobody hears or sees: the events of the step are dropped.
        g.s.events.pending.clear();
        end_of_step(w);
        ++steps;
    }
    return steps;
}

int headless_main(const headless_options& o)
{
    const auto t0 = std::chrono::steady_clock::now();
    headless_game g;
    headless_build(g, o.seed, o.side);
    const long steps = headless_run(g, o.seconds);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    print_world_census(*g.w);
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
    return take_args(argc, argv, out, parse_battle_args, {"--battle", "--attackers", "--defenders", "--minutes"},
                     {"--json"});
}

namespace {

// The units that count in a battle's toll: figures, soldiers and engines
// (dragons come and go by design, ships never fight).
bool counts(const unit* u)
{
    return u->kind == UNIT_HUMANOID || u->kind == UNIT_CATAPULT || u->kind == UNIT_RAM;
}

void progress_line(const world& w, FILE* out, int minute, const battlefield& field)
{
    int units[2] = {0, 0};
    for (const unit* u = w.units.list; u; u = u->next)
        if (counts(u) && (u->team == 0 || u->team == 1))
            ++units[u->team];
    const float gate = gate_health(w, field);
    const int holders = count_temple_holders(w);
    char gate_text[32];
    if (field.gate >= 0 && w.walls.points[static_cast<size_t>(field.gate)].broken)
        snprintf(gate_text, sizeof gate_text, "broken");
    else
        snprintf(gate_text, sizeof gate_text, "%g", static_cast<double>(gate));
    fprintf(out, "battle: minute %d: attackers %d units, defenders %d units; gate %s; temple %s\n", minute,
            units[TEAM_ATTACKERS], units[TEAM_DEFENDERS], gate_text,
            holders > 0 ? (std::to_string(holders) + " attackers at it").c_str() : "held by the defenders");
}

}  // namespace

void battle_build(headless_game& g, const battle_options& o)
{
    session& s = g.s;
    // Nobody plays here: both sides are the computer's, hosted here.
    g.w.reset();
    s.parts.clear();
    s.teams[0].members = s.teams[1].members = 0;
    clear_computer_sides(s);
    set_computer_side(s, TEAM_ATTACKERS, o.attackers, 0);
    set_computer_side(s, TEAM_DEFENDERS, o.defenders, 0);
    s.phase = STATE_MENU;
    g.w = std::make_unique<world>(s, o.seed);
    build_world(*g.w);
    s.events.pending.clear();
    s.phase = STATE_PLAY;
    start_computer_players(g.ai, *g.w);
}

int battle_step(headless_game& g)
{
    world& w = *g.w;
    w.time += HEADLESS_STEP;
    step_world(w, HEADLESS_STEP, player_controls{});
    step_computer_players(g.ai, w, HEADLESS_STEP);
    g.s.events.pending.clear();
    if (count_temple_holders(w) > TEMPLE_HOLDERS_TO_WIN)
        return TEAM_ATTACKERS;
    if (!w.computer_figures[TEAM_ATTACKERS])
        return TEAM_DEFENDERS;
    if (!w.computer_figures[TEAM_DEFENDERS])
        return TEAM_ATTACKERS;
    return -1;
}

battle_result run_battle(const battle_options& o, FILE* progress)
{
    const auto t0 = std::chrono::steady_clock::now();
    headless_game g;
    battle_build(g, o);
    const world& w = *g.w;
    const battlefield field = survey_battlefield(w);

    battle_result r;
    std::set<uint32_t> seen[2];
    const long steps = std::lround(o.minutes * 60.0f / HEADLESS_STEP);
    const long per_minute = std::lround(60.0f / HEADLESS_STEP);
    long step = 0;
    for (; step < steps && r.winner < 0; ++step) {
        for (const unit* u = w.units.list; u; u = u->next)
            if (counts(u) && (u->team == 0 || u->team == 1))
                seen[u->team].insert(u->id);
        r.winner = battle_step(g);
        if (r.winner >= 0 && progress)
            fprintf(progress, "battle: %s after %.1f s\n",
                    r.winner == TEAM_DEFENDERS ? "the attackers' figure fell"
                    : count_temple_holders(w) > TEMPLE_HOLDERS_TO_WIN ? "the attackers hold the temple"
                                                                     : "the defenders' figure fell",
                    static_cast<double>((step + 1) * HEADLESS_STEP));
        if (progress && (step + 1) % per_minute == 0)
            progress_line(w, progress, static_cast<int>((step + 1) / per_minute), field);
    }
    r.seconds = static_cast<float>(step) * HEADLESS_STEP;
    for (int team = 0; team < 2; ++team) {
        int alive = 0;
        for (const unit* u = w.units.list; u; u = u->next)
            if (u->team == team && counts(u) && seen[team].count(u->id))
                ++alive;
        r.made[team] = static_cast<int>(seen[team].size());
        r.lost[team] = r.made[team] - alive;
    }
    g.s.phase = STATE_MENU;
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
    headless_game g;
    headless_build(g, seed, TEAM_ATTACKERS);
    world& w = *g.w;
    int gate = -1;
    for (int i = 0; i + 1 < w.walls.count() && gate < 0; ++i)
        if (w.walls.points[static_cast<size_t>(i)].gate)
            gate = i;
    if (gate < 0)
        return out;
    const wall_point& a = w.walls.points[static_cast<size_t>(gate)];
    const wall_point& b = w.walls.points[static_cast<size_t>(gate) + 1];
    const float gx = (a.x + b.x) / 2.0f, gz = (a.z + b.z) / 2.0f;
    const model_node* gate_model = get_top_level_model(w.structures, a.model_id);

    // Each ordered ram: where it last moved to, when, and whether it has
    // been pressed against the gate.
    struct watch {
        uint32_t id;
        float x, z, since;
        bool pressed;
    };
    std::vector<watch> rams;
    for (unit* u = w.units.list; u; u = u->next)
        if (u->kind == UNIT_RAM && u->team == TEAM_ATTACKERS) {
            if (issue_unit_order(w, u->id, TEAM_ATTACKERS, ORDER_ATTACK, gx, gz) == 0)
                rams.push_back({u->id, u->x, u->z, w.time, false});
            else
                ++out.refused;
        }
    out.rams = static_cast<int>(rams.size());
    const float start = w.time;
    while (w.time - start < seconds && g.s.phase == STATE_PLAY) {
        headless_run(g, HEADLESS_STEP);
        for (watch& r : rams) {
            const unit* u = find_unit(w, r.id);
            if (!u)
                continue;
            const bool pressing = gate_model && u->touched_model == gate_model;
            r.pressed = r.pressed || pressing;
            if (pressing || std::hypot(u->x - r.x, u->z - r.z) > SIEGE_STILL_REACH) {
                r.x = u->x;
                r.z = u->z;
                r.since = w.time;
            } else if (w.time - r.since > out.longest_still) {
                out.longest_still = w.time - r.since;
                out.still_x = r.x;
                out.still_z = r.z;
            }
        }
        if (a.broken) {
            out.broken = true;
            out.broken_after = w.time - start;
            break;
        }
    }
    for (const watch& r : rams)
        out.pressed += r.pressed ? 1 : 0;
    return out;
}
