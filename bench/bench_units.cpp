// The per-frame unit step (simulate_units) for crowds of 100, 1000 and 5000
// mixed units spread over the island, with the crowd grid and with the
// plain separation scan.  Figures only; nothing here is a pass/fail test.
//
//   build/bench/bench_units [--benchmark_filter=REGEX] 2>/dev/null
// (the scene's creation announces every unit; without a network the sends
// complain on stderr.)
#include <benchmark/benchmark.h>

#include "crowd_scene.h"

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

} // namespace

BENCHMARK_MAIN();
