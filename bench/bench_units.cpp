// The per-frame unit step (simulate_units) for crowds of 100, 1000 and 5000
// mixed units spread over the island, with the crowd grid and with the
// plain separation scan; the same step for two armies in contact (1000 to
// 20000 humanoids, half of them fighting on this copy); and the receiving
// side: one second of state records (20 batches) for N units applied.
// Figures only; nothing here is a pass/fail test.
//
//   build/bench/bench_units [--benchmark_filter=REGEX]
// (the scene's creation announces every unit; without a network the
// datagrams find no sender and are only counted.)
#include <benchmark/benchmark.h>

#include <utility>
#include <vector>

#include "platform/random.h"
#include "crowd_scene.h"
#include "sim/messages.h"
#include "sim/humanoid.h"
#include "sim/route.h"
#include "sim/terrain.h"

namespace {

void run(benchmark::State& state, int grid)
{
    const int count = static_cast<int>(state.range(0));
    crowd_scene sc;
    build_crowd_scene(sc, count, 7);
    world& w = *sc.w;
    set_separation_grid(w, grid);
    for (auto _ : state) {
        w.time += 0.05f;
        simulate_units(w, 0.05f);
        benchmark::DoNotOptimize(w.units.list->x);
    }
    state.counters["units"] = count_units(w);
}

void BM_simulate_units_grid(benchmark::State& state)
{
    run(state, 1);
}
void BM_simulate_units_plain(benchmark::State& state)
{
    run(state, 0);
}
// A fixed stretch of the scene's life: its units arrive and stop as it
// goes on, so a step costs less late than early, and a run whose length
// followed the machine's speed would measure another stretch.
BENCHMARK(BM_simulate_units_grid)->Arg(100)->Arg(1000)->Arg(5000)->Iterations(400)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_simulate_units_plain)->Arg(100)->Arg(1000)->Arg(5000)->Iterations(400)->Unit(benchmark::kMicrosecond);

// Two armies in contact. The first 40 steps (2 s of game time) bring the
// front together before the timing starts.
void run_battle(benchmark::State& state, int grid)
{
    const int count = static_cast<int>(state.range(0));
    crowd_scene sc;
    build_battle_scene(sc, count, 7);
    world& w = *sc.w;
    set_separation_grid(w, grid);
    for (int i = 0; i < 40; ++i) {
        other_side_reports(w);
        w.time += 0.05f;
        simulate_units(w, 0.05f);
    }
    int engaged = 0;
    for (auto _ : state) {
        other_side_reports(w);
        w.time += 0.05f;
        simulate_units(w, 0.05f);
        benchmark::DoNotOptimize(w.units.list->x);
    }
    for (unit* u = w.units.list; u; u = u->next)
        engaged += u->attack_target != nullptr;
    state.counters["units"] = count_units(w);
    state.counters["with_target"] = engaged;
}

void BM_battle_step_grid(benchmark::State& state)
{
    run_battle(state, 1);
}
void BM_battle_step_plain(benchmark::State& state)
{
    run_battle(state, 0);
}
// Each step moves the battle on, and a later phase (more units in contact)
// costs more: every build times the same steps, a fixed number of them.
BENCHMARK(BM_battle_step_grid)->Arg(1000)->Arg(5000)->Iterations(200)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_battle_step_grid)->Arg(20000)->Iterations(50)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_battle_step_plain)->Arg(1000)->Arg(5000)->Iterations(200)->Unit(benchmark::kMicrosecond);

// The receiving copy of a battle of N: a member of team 1 that leads
// nothing, hearing its own side's leader report the footmen and the other
// side's leader the goblins. Each unit carries an id of its own (the scene
// numbers more humanoids than one side's id range holds).
constexpr uint32_t LEADER_1 = 0x0a4d0002u, LEADER_0 = 0x0a4d0003u;

void hear_leaders(crowd_scene& sc)
{
    session& s = sc.s;
    world& w = *sc.w;
    // Heard in the menu, before the battle began.
    s.phase = STATE_MENU;
    for (const auto& [helo, sender] : {std::pair{helo_bytes("leader1", 1, 100), LEADER_1},
                                       std::pair{helo_bytes("leader0", 0, 101), LEADER_0}})
        client_message(s, nullptr, helo.data(), static_cast<int>(helo.size()), sender);
    s.phase = STATE_PLAY;
    uint32_t serial[2] = {0, 0};
    for (unit* u = w.units.list; u; u = u->next)
        if (u->kind == UNIT_HUMANOID && humanoid_kind_of(u) != HUMANOID_FIGURE && (u->team == 0 || u->team == 1))
            set_unit_id(w, u, (u->team == 1 ? 0x88000u : 0x8c000u) + serial[u->team]++);
}

// One second of state records for every unit of a battle of N: 20 sends by
// each leader, each reporting every unit of its side once (7 values, as
// humanoids are reported), cut into datagrams as a sender cuts them;
// applied as received. "applied" counts the units left where the last
// record put them (all of them, unless records are refused).
void BM_apply_records(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    crowd_scene sc;
    build_battle_scene(sc, count, 7);
    world& w = *sc.w;
    hear_leaders(sc);
    std::vector<std::pair<uint32_t, size_t>> batches;  // sender, first datagram after its send
    std::vector<std::vector<unsigned char>> datagrams;
    sc.s.link.observer = [&datagrams](const unsigned char* buf, int len) { datagrams.emplace_back(buf, buf + len); };
    long records_per_second = 0;
    std::vector<std::pair<const unit*, float>> last_x;  // where the last record puts each unit
    for (int send = 0; send < 20; ++send)
        for (int team = 1; team >= 0; --team) {
            for (unit* u = w.units.list; u; u = u->next) {
                if (u->team != team || (u->kind == UNIT_HUMANOID && humanoid_kind_of(u) == HUMANOID_FIGURE))
                    continue;
                const float v[7] = {u->x + 0.01f * static_cast<float>(send), u->y, u->z, u->heading, u->vx, u->vy, u->vz};
                add_unit_update(w, u->id, 7, v);
                ++records_per_second;
                if (send == 19)
                    last_x.emplace_back(u, v[0]);
            }
            flush_state_batch(w);
            batches.emplace_back(team == 1 ? LEADER_1 : LEADER_0, datagrams.size());
        }
    sc.s.link.observer = nullptr;
    for (auto _ : state) {
        size_t d = 0;
        for (const auto& [sender, end] : batches)
            for (; d < end; ++d)
                client_message(sc.s, &w, datagrams[d].data(), static_cast<int>(datagrams[d].size()), sender);
    }
    int applied = 0;
    for (const auto& [u, x] : last_x)
        applied += u->x == x;
    state.counters["datagrams"] = static_cast<double>(datagrams.size());
    state.counters["records/s"] = benchmark::Counter(
        static_cast<double>(records_per_second) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["applied"] = applied;
}
BENCHMARK(BM_apply_records)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMicrosecond);

// The path search on a generated island: a ram's way from the attackers'
// camp round the sea to the gate (a grid search and the straightening),
// and a catapult's throwing spot (the search over everything reachable).
world& generated_island(crowd_scene& sc)
{
    sc.w.reset();
    lone_copy(sc.s);
    sc.w = play_world(sc.s);
    stream_srand(sc.w->rng, 10240);
    random_map(*sc.w);
    return *sc.w;
}

void BM_dry_route_to_gate(benchmark::State& state)
{
    crowd_scene sc;
    world& w = generated_island(sc);
    std::vector<waypoint> r;
    for (auto _ : state)
        benchmark::DoNotOptimize(find_dry_route(w, 20.0f, 150.0f, -6.0f, -100.0f, r));
    state.counters["waypoints"] = static_cast<double>(r.size());
}
BENCHMARK(BM_dry_route_to_gate)->Unit(benchmark::kMicrosecond);

void BM_catapult_throwing_spot(benchmark::State& state)
{
    crowd_scene sc;
    world& w = generated_island(sc);
    waypoint spot;
    int straight = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(catapult_throwing_spot(w, 40.0f, 150.0f, -2.5f, -152.5f, &spot, &straight));
}
BENCHMARK(BM_catapult_throwing_spot)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
