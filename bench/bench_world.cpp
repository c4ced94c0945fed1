// Micro-benchmarks of the world code that runs every frame or at the start
// of play.  Figures only; nothing here is a pass/fail test.
//
//   build/bench/bench_world [--benchmark_filter=REGEX]
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "platform/random.h"
#include "render/camera.h"
#include "render/renderer.h"
#include "render/terrain_render.h"
#include "sim/player.h"
#include "sim/session.h"
#include "sim/terrain.h"
#include "sim/world.h"

namespace {

// A session and a world of their own for one benchmark, the island of seed
// 4242 made in it, and a renderer to draw it (no window: only what the
// renderer computes on the processor is timed).
struct island_scene {
    session s;
    std::unique_ptr<world> w = std::make_unique<world>(s, 4242);
    std::unique_ptr<renderer> r = std::make_unique<renderer>();
    island_scene()
    {
        stream_srand(w->rng, 4242);
        random_map(*w);
    }
};

// Query points spread over the island and a little beyond its edge.
std::vector<float> query_points(int n)
{
    std::vector<float> pts(2 * n);
    rand_stream draws;
    stream_srand(draws, 77);
    for (float& v : pts)
        v = static_cast<float>(stream_rand(draws) % 54000) / 100.0f - 270.0f;
    return pts;
}

void BM_random_map(benchmark::State& state)
{
    session s;
    auto w = std::make_unique<world>(s, 1);
    unsigned seed = 1;
    for (auto _ : state) {
        stream_srand(w->rng, seed++);
        random_map(*w);
        benchmark::DoNotOptimize(w->terrain.height_map[63][63]);
    }
}
BENCHMARK(BM_random_map)->Unit(benchmark::kMillisecond);

void BM_calculate_arrays(benchmark::State& state)
{
    island_scene sc;
    terrain_view& t = sc.r->terrain;
    for (auto _ : state) {
        calculate_arrays(t, sc.w->terrain);
        benchmark::DoNotOptimize(t.normal_array[100]);
    }
}
BENCHMARK(BM_calculate_arrays)->Unit(benchmark::kMicrosecond);

void BM_generate_terrain_texture(benchmark::State& state)
{
    island_scene sc;
    std::vector<unsigned char> rgb(512 * 512 * 3), rgba(64 * 64 * 4);
    for (auto _ : state) {
        generate_terrain_texture(*sc.w, rgb.data(), rgba.data());
        benchmark::DoNotOptimize(rgb[1000]);
    }
}
BENCHMARK(BM_generate_terrain_texture)->Unit(benchmark::kMillisecond);

void BM_get_terrain_height(benchmark::State& state)
{
    island_scene sc;
    const terrain_state& t = sc.w->terrain;
    std::vector<float> pts = query_points(4096);
    size_t k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(get_terrain_height(t, pts[k], pts[k + 1]));
        k = (k + 2) & 8191;
    }
}
BENCHMARK(BM_get_terrain_height);

void BM_get_terrain_normal(benchmark::State& state)
{
    island_scene sc;
    const terrain_state& t = sc.w->terrain;
    std::vector<float> pts = query_points(4096);
    size_t k = 0;
    float n[3];
    for (auto _ : state) {
        get_terrain_normal(t, pts[k], pts[k + 1], n);
        benchmark::DoNotOptimize(n);
        k = (k + 2) & 8191;
    }
}
BENCHMARK(BM_get_terrain_normal);

void BM_get_terrain_gradient(benchmark::State& state)
{
    island_scene sc;
    const terrain_state& t = sc.w->terrain;
    std::vector<float> pts = query_points(4096);
    size_t k = 0;
    float g[2];
    for (auto _ : state) {
        get_terrain_gradient(t, pts[k], pts[k + 1], g);
        benchmark::DoNotOptimize(g);
        k = (k + 2) & 8191;
    }
}
BENCHMARK(BM_get_terrain_gradient);

void BM_calculate_viewing_vectors(benchmark::State& state)
{
    auto r = std::make_unique<renderer>();
    view_state& v = r->view;
    default_frustum(v);
    float yaw = 0.0f;
    for (auto _ : state) {
        v.yaw = yaw;
        v.pitch = 10.0f;
        calculate_viewing_vectors(v);
        benchmark::DoNotOptimize(v.frustum_top);
        yaw += 0.7f;
        if (yaw > 360.0f)
            yaw -= 360.0f;
    }
}
BENCHMARK(BM_calculate_viewing_vectors);

void BM_sphere_in_view(benchmark::State& state)
{
    auto r = std::make_unique<renderer>();
    view_state& v = r->view;
    default_frustum(v);
    local_player eye;
    eye.eye_x = 0.0f;
    eye.eye_y = 40.0f;
    eye.eye_z = 200.0f;
    eye.eye_yaw = 0.0f;
    eye.eye_pitch = 5.0f;
    follow_eye(v, eye);
    std::vector<float> pts = query_points(4096);
    size_t k = 0;
    for (auto _ : state) {
        const float c[3] = {pts[k], 20.0f, pts[k + 1]};
        benchmark::DoNotOptimize(sphere_in_view(v, c, 10.0f));
        k = (k + 2) & 8191;
    }
}
BENCHMARK(BM_sphere_in_view);

} // namespace

BENCHMARK_MAIN();
