// The per-frame unit step (simulate_units) for crowds of 100, 1000 and 5000
// mixed units spread over the island, with the crowd grid and with the
// plain separation scan.  Figures only; nothing here is a pass/fail test.
//
//   build/bench/bench_units [--benchmark_filter=REGEX] 2>/dev/null
// (the scene's creation announces every unit; without a network the sends
// complain on stderr.)
#include <benchmark/benchmark.h>

#include <vector>

#include "core/random.h"
#include "crowd_scene.h"
#include "units/route.h"
#include "world/terrain.h"

namespace {

void run(benchmark::State& state, int grid)
{
    const int count = static_cast<int>(state.range(0));
    build_crowd_scene(count, 7);
    set_separation_grid(grid);
    for (auto _ : state) {
        game_time += 0.05f;
        simulate_units(0.05f);
        benchmark::DoNotOptimize(unit_list->x);
    }
    set_separation_grid(1);
    state.counters["units"] = count_units();
}

void BM_simulate_units_grid(benchmark::State& state)
{
    run(state, 1);
}
void BM_simulate_units_plain(benchmark::State& state)
{
    run(state, 0);
}
BENCHMARK(BM_simulate_units_grid)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_simulate_units_plain)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMicrosecond);

// The path search on a generated island: a ram's way from the attackers'
// camp round the sea to the gate (a grid search and the straightening),
// and a catapult's throwing spot (the search over everything reachable).
void generated_island()
{
    allocate_terrain();
    game_srand(10240);
    random_map();
}

void BM_dry_route_to_gate(benchmark::State& state)
{
    generated_island();
    std::vector<waypoint> r;
    for (auto _ : state)
        benchmark::DoNotOptimize(find_dry_route(20.0f, 150.0f, -6.0f, -100.0f, r));
    state.counters["waypoints"] = static_cast<double>(r.size());
}
BENCHMARK(BM_dry_route_to_gate)->Unit(benchmark::kMicrosecond);

void BM_catapult_throwing_spot(benchmark::State& state)
{
    generated_island();
    waypoint spot;
    int straight = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(catapult_throwing_spot(40.0f, 150.0f, -2.5f, -152.5f, &spot, &straight));
}
BENCHMARK(BM_catapult_throwing_spot)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
