// Micro-benchmarks of the world code that runs every frame or at the start
// of play.  Figures only; nothing here is a pass/fail test.
//
//   build/bench/bench_world [--benchmark_filter=REGEX]
#include <benchmark/benchmark.h>

#include <vector>

#include "render/camera.h"
#include "platform/random.h"
#include "sim/terrain.h"
#include "render/terrain_render.h"

namespace {

void make_island()
{
    game_srand(4242);
    random_map();
}

// Query points spread over the island and a little beyond its edge.
std::vector<float> query_points(int n)
{
    std::vector<float> pts(2 * n);
    game_srand(77);
    for (float& v : pts)
        v = static_cast<float>(game_rand() % 54000) / 100.0f - 270.0f;
    return pts;
}

void BM_random_map(benchmark::State& state)
{
    unsigned seed = 1;
    for (auto _ : state) {
        game_srand(seed++);
        random_map();
        benchmark::DoNotOptimize(height_map[63][63]);
    }
}
BENCHMARK(BM_random_map)->Unit(benchmark::kMillisecond);

void BM_calculate_arrays(benchmark::State& state)
{
    make_island();
    for (auto _ : state) {
        calculate_arrays();
        benchmark::DoNotOptimize(normal_array[100]);
    }
}
BENCHMARK(BM_calculate_arrays)->Unit(benchmark::kMicrosecond);

void BM_generate_terrain_texture(benchmark::State& state)
{
    make_island();
    std::vector<unsigned char> rgb(512 * 512 * 3), rgba(64 * 64 * 4);
    for (auto _ : state) {
        generate_terrain_texture(rgb.data(), rgba.data());
        benchmark::DoNotOptimize(rgb[1000]);
    }
}
BENCHMARK(BM_generate_terrain_texture)->Unit(benchmark::kMillisecond);

void BM_get_terrain_height(benchmark::State& state)
{
    make_island();
    std::vector<float> pts = query_points(4096);
    size_t k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(get_terrain_height(pts[k], pts[k + 1]));
        k = (k + 2) & 8191;
    }
}
BENCHMARK(BM_get_terrain_height);

void BM_get_terrain_normal(benchmark::State& state)
{
    make_island();
    std::vector<float> pts = query_points(4096);
    size_t k = 0;
    float n[3];
    for (auto _ : state) {
        get_terrain_normal(pts[k], pts[k + 1], n);
        benchmark::DoNotOptimize(n);
        k = (k + 2) & 8191;
    }
}
BENCHMARK(BM_get_terrain_normal);

void BM_get_terrain_gradient(benchmark::State& state)
{
    make_island();
    std::vector<float> pts = query_points(4096);
    size_t k = 0;
    float g[2];
    for (auto _ : state) {
        get_terrain_gradient(pts[k], pts[k + 1], g);
        benchmark::DoNotOptimize(g);
        k = (k + 2) & 8191;
    }
}
BENCHMARK(BM_get_terrain_gradient);

void BM_calculate_viewing_vectors(benchmark::State& state)
{
    default_frustum();
    float yaw = 0.0f;
    for (auto _ : state) {
        eye_yaw = yaw;
        eye_pitch = 10.0f;
        calculate_viewing_vectors();
        benchmark::DoNotOptimize(frustum_top_vect);
        yaw += 0.7f;
        if (yaw > 360.0f)
            yaw -= 360.0f;
    }
}
BENCHMARK(BM_calculate_viewing_vectors);

void BM_sphere_in_view(benchmark::State& state)
{
    default_frustum();
    eye_x = 0.0f;
    eye_y = 40.0f;
    eye_z = 200.0f;
    eye_yaw = 0.0f;
    eye_pitch = 5.0f;
    calculate_viewing_vectors();
    std::vector<float> pts = query_points(4096);
    size_t k = 0;
    for (auto _ : state) {
        const float c[3] = {pts[k], 20.0f, pts[k + 1]};
        benchmark::DoNotOptimize(sphere_in_view(c, 10.0f));
        k = (k + 2) & 8191;
    }
}
BENCHMARK(BM_sphere_in_view);

} // namespace

BENCHMARK_MAIN();
