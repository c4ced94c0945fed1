#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <unistd.h>
#include <vector>

#include "game_fixture.h"
#include "platform/random.h"
#include "render/camera.h"
#include "render/renderer.h"
#include "render/terrain_render.h"
#include "sim/sky.h"
#include "sim/terrain.h"

namespace {

std::string temp_path(const char* tag)
{
    return std::string("/tmp/kv_terrain_") + tag + "_" + std::to_string(getpid());
}

void write_bytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    if (!bytes.empty())
        fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

// A world whose island the test makes, and a renderer that draws it.
class terrain_test : public game_test {
protected:
    renderer r;
    world* w = nullptr;
    terrain_state* t = nullptr;

    void SetUp() override
    {
        w = &fresh_game();
        t = &w->terrain;
    }

    std::vector<float> snapshot() const
    {
        std::vector<float> out;
        for (int j = 0; j < 128; ++j)
            out.insert(out.end(), t->height_map[j], t->height_map[j] + 128);
        return out;
    }

    // A fresh island from `seed`.
    void generate(unsigned seed)
    {
        stream_srand(w->rng, seed);
        random_map(*w);
    }

    // A flat map at height h, with the renderer's arrays following it.
    void flat_map(float h)
    {
        flat_ground(h);
        sync_terrain_render(r, *t);
    }

    void mark_all_blocks_compiled()
    {
        for (int a = 0; a < 4; ++a)
            for (int b = 0; b < 4; ++b)
                r.terrain.map_lists[a][b] = 100 + 4 * a + b;
    }

    int count_invalid_blocks() const
    {
        int n = 0;
        for (int a = 0; a < 4; ++a)
            for (int b = 0; b < 4; ++b)
                n += r.terrain.map_lists[a][b] == MAP_LIST_NONE ? 1 : 0;
        return n;
    }
};

struct TerrainGeneration : terrain_test {};
struct TerrainQueries : terrain_test {};
struct TerrainFile : terrain_test {};
struct TerrainEdits : terrain_test {};
struct TerrainRender : terrain_test {};
struct TerrainTexture : terrain_test {};
struct TerrainPicking : terrain_test {};
struct TerrainFog : terrain_test {};

} // namespace

TEST_F(TerrainGeneration, AnchorsKeepTheirValuesAndEveryPointIsSet)
{
    generate(12345);
    EXPECT_EQ(t->height_map[0][0], 0.0f);
    EXPECT_EQ(t->height_map[0][127], 0.0f);
    EXPECT_EQ(t->height_map[63][63], 0.0f);
    EXPECT_EQ(t->height_map[127][127], 0.0f);
    EXPECT_EQ(t->height_map[63][0], 150.0f);
    EXPECT_EQ(t->height_map[127][0], 70.0f);
    for (int i = 59; i <= 68; ++i) {
        for (int j = 0; j <= 9; ++j)
            EXPECT_EQ(t->height_map[j][i], 50.0f);
        for (int j = 32; j <= 46; ++j)
            EXPECT_EQ(t->height_map[j][i], 20.0f);
    }
    int untouched = 0;
    for (int j = 0; j < 128; ++j)
        for (int i = 0; i < 128; ++i) {
            untouched += t->height_fixed[j][i] ? 0 : 1;
            ASSERT_TRUE(std::isfinite(t->height_map[j][i]));
        }
    EXPECT_EQ(untouched, 0);
}

TEST_F(TerrainGeneration, SameSeedGivesBitIdenticalMapsAndTheSameRandomTail)
{
    generate(777);
    std::vector<float> a = snapshot();
    int next_a = w->rand();
    // Scribble over the map so the second run cannot pass by leftovers.
    for (int j = 0; j < 128; ++j)
        for (int i = 0; i < 128; ++i)
            t->height_map[j][i] = -1234.0f;
    generate(777);
    std::vector<float> b = snapshot();
    int next_b = w->rand();
    EXPECT_EQ(0, std::memcmp(a.data(), b.data(), a.size() * sizeof(float)));
    EXPECT_EQ(next_a, next_b);

    generate(778);
    std::vector<float> c = snapshot();
    EXPECT_NE(0, std::memcmp(a.data(), c.data(), a.size() * sizeof(float)));
}

TEST_F(TerrainGeneration, DisplacementStaysWithinHalfTheSegment)
{
    // The first edge midpoint (0, 63) is an anchor; the first drawn point
    // is the right edge midpoint (127, 63) between two zero corners with a
    // half length of 63.5: |h| <= 0.5 * 63.5.
    generate(4242);
    EXPECT_LE(std::fabs(t->height_map[63][127]), 0.5f * 63.5f);
    stream_srand(w->rng, 4242);
    int r = w->rand();
    EXPECT_FLOAT_EQ(t->height_map[63][127], ((r % 100) - 50) * 63.5f * 0.01f);
}

TEST_F(TerrainQueries, HeightsAtGridPointsMidpointsAndOffTheMap)
{
    generate(99);
    // grid point (i, j) = (70, 20) sits at x = 24, z = -176
    EXPECT_EQ(get_terrain_height(*t, 24.0f, -176.0f), t->height_map[20][70]);
    EXPECT_FLOAT_EQ(get_terrain_height(*t, 26.0f, -176.0f), 0.5f * (t->height_map[20][70] + t->height_map[20][71]));
    EXPECT_FLOAT_EQ(get_terrain_height(*t, 24.0f, -174.0f), 0.5f * (t->height_map[20][70] + t->height_map[21][70]));
    // the last grid line is still on the map
    EXPECT_EQ(get_terrain_height(*t, 252.0f, 0.0f), t->height_map[64][127]);
    // off the map: the strict barrier, and the missing column 128
    EXPECT_EQ(get_terrain_height(*t, 258.0f, 0.0f), -10.0f);
    EXPECT_EQ(get_terrain_height(*t, 0.0f, -258.0f), -10.0f);
    EXPECT_EQ(get_terrain_height(*t, 253.0f, 0.0f), -10.0f);
    EXPECT_EQ(get_terrain_height(*t, 1e9f, 3.0f), -10.0f);
    float n[3];
    get_terrain_normal(*t, 300.0f, 0.0f, n);
    EXPECT_EQ(n[0], 0.0f);
    EXPECT_EQ(n[1], 1.0f);
    EXPECT_EQ(n[2], 0.0f);
    get_terrain_normal(*t, 24.5f, -175.0f, n);
    EXPECT_EQ(n[1], t->normals[1][20][70]);
    EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0f, 1e-5);
}

TEST_F(TerrainQueries, NormalsUseAStepOfOneAndTheGradientPointsUphill)
{
    // A ramp rising 1 per grid point along +x: dx = 1, normal (-1, 1, 0)/sqrt2.
    t->made = true;
    for (int j = 0; j < 128; ++j)
        for (int i = 0; i < 128; ++i)
            t->height_map[j][i] = static_cast<float>(i);
    calculate_normals(*t);
    calculate_arrays(r.terrain, *t);
    EXPECT_NEAR(t->normals[0][10][10], -0.70710677f, 1e-6);
    EXPECT_NEAR(t->normals[1][10][10], 0.70710677f, 1e-6);
    EXPECT_NEAR(t->normals[0][10][127], -0.70710677f, 1e-6);  // the last column looks back
    float g[2];
    get_terrain_gradient(*t, 0.0f, 0.0f, g);
    EXPECT_NEAR(g[0], 1.0f, 1e-6);
    EXPECT_NEAR(g[1], 0.0f, 1e-6);
    EXPECT_FLOAT_EQ(r.terrain.vertex_array[3 * (128 * 10 + 5) + 1], 10.0f);
    EXPECT_FLOAT_EQ(r.terrain.fog_array[128 * 10 + 5], 2000.0f);
    EXPECT_FLOAT_EQ(r.terrain.fog_array[128 * 60 + 5], 0.0f);
}

TEST_F(TerrainQueries, GradientIsZeroOnFlatGroundAndPointsHomeFromTheSea)
{
    flat_map(30.0f);
    float g[2] = {5.0f, 5.0f};
    get_terrain_gradient(*t, 10.0f, 10.0f, g);
    EXPECT_EQ(g[0], 0.0f);
    EXPECT_EQ(g[1], 0.0f);
    get_terrain_gradient(*t, 300.0f, -400.0f, g);
    EXPECT_NEAR(g[0], -0.6f, 1e-6);
    EXPECT_NEAR(g[1], 0.8f, 1e-6);
    // inside the barrier but off the grid (x >= 256)
    get_terrain_gradient(*t, 257.0f, 0.0f, g);
    EXPECT_NEAR(g[0], -1.0f, 1e-6);
    EXPECT_NEAR(g[1], 0.0f, 1e-6);
}

TEST_F(TerrainFile, WriteThenReadReproducesTheMapExactly)
{
    generate(31337);
    std::vector<float> before = snapshot();
    std::string path = temp_path("roundtrip");
    ASSERT_EQ(write_terrain_path(*t, path.c_str()), 0);
    FILE* f = fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    fseek(f, 0, SEEK_END);
    EXPECT_EQ(ftell(f), 65536);
    // little-endian float of height_map[0][1] at byte 4
    fseek(f, 4, SEEK_SET);
    unsigned char b[4];
    ASSERT_EQ(fread(b, 1, 4, f), 4u);
    fclose(f);
    uint32_t u = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
    float v;
    std::memcpy(&v, &u, 4);
    EXPECT_EQ(v, t->height_map[0][1]);

    generate(1);
    testing::internal::CaptureStdout();
    ASSERT_EQ(read_terrain_file(*t, path.c_str()), 0);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("0,0 = "), std::string::npos);
    EXPECT_NE(out.find("50, 50 = "), std::string::npos);
    std::vector<float> after = snapshot();
    EXPECT_EQ(0, std::memcmp(before.data(), after.data(), before.size() * sizeof(float)));
    // derived arrays follow the file
    sync_terrain_render(r, *t);
    EXPECT_EQ(r.terrain.vertex_array[3 * (128 * 3 + 7) + 1], t->height_map[7][3]);
    unlink(path.c_str());
}

TEST_F(TerrainFile, HostileFilesAreRejectedAndLeaveTheMapAlone)
{
    generate(555);
    std::vector<float> before = snapshot();
    std::string path = temp_path("hostile");

    testing::internal::CaptureStdout();
    EXPECT_EQ(read_terrain_file(*t, "/nonexistent/terrain.out"), -1);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("couldn't read to terrain file"), std::string::npos);

    std::vector<unsigned char> bytes(65536, 0);  // all heights 0.0
    std::vector<unsigned char> shorter(bytes.begin(), bytes.begin() + 1000);
    write_bytes(path, shorter);
    testing::internal::CaptureStderr();
    EXPECT_EQ(read_terrain_file(*t, path.c_str()), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("too short"), std::string::npos);

    write_bytes(path, {});
    EXPECT_EQ(read_terrain_file(*t, path.c_str()), -1);

    std::vector<unsigned char> longer = bytes;
    longer.push_back(0);
    write_bytes(path, longer);
    testing::internal::CaptureStderr();
    EXPECT_EQ(read_terrain_file(*t, path.c_str()), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("too long"), std::string::npos);

    std::vector<unsigned char> nan_file = bytes;
    // a quiet NaN (0x7fc00000) as the very last height
    nan_file[65532] = 0x00;
    nan_file[65533] = 0x00;
    nan_file[65534] = 0xc0;
    nan_file[65535] = 0x7f;
    write_bytes(path, nan_file);
    testing::internal::CaptureStderr();
    EXPECT_EQ(read_terrain_file(*t, path.c_str()), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("non-finite"), std::string::npos);

    std::vector<unsigned char> inf_file = bytes;
    inf_file[2] = 0x80;  // +infinity (0x7f800000) as height_map[0][0]
    inf_file[3] = 0x7f;
    write_bytes(path, inf_file);
    EXPECT_EQ(read_terrain_file(*t, path.c_str()), -1);

    std::vector<float> after = snapshot();
    EXPECT_EQ(0, std::memcmp(before.data(), after.data(), before.size() * sizeof(float)));

    // the well-formed all-zero file is accepted
    write_bytes(path, bytes);
    EXPECT_EQ(read_terrain_file(*t, path.c_str()), 0);
    EXPECT_EQ(t->height_map[63][0], 0.0f);
    unlink(path.c_str());
}

TEST_F(TerrainFile, UnwritablePathIsReported)
{
    generate(5);
    testing::internal::CaptureStdout();
    EXPECT_EQ(write_terrain_path(*t, "/nonexistent/dir/terrain.out"), -1);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("couldn't write to terrain file"), std::string::npos);
}

TEST_F(TerrainEdits, RaiseAddsOneAtTheCentreAndRebuildsOnlyReachedBlocks)
{
    flat_map(20.0f);
    mark_all_blocks_compiled();
    // grid point (48, 48) is x = z = -64, the middle of block (1, 1)
    raise_terrain(*t, -64.0f, -64.0f, 5);
    sync_terrain_render(r, *t);
    EXPECT_EQ(t->height_map[48][48], 21.0f);
    EXPECT_GT(t->height_map[48][49], 20.0f);
    EXPECT_LT(t->height_map[48][49], 21.0f);
    EXPECT_GT(t->height_map[53][53], 20.0f);   // the rim still rises a little
    EXPECT_EQ(t->height_map[48][54], 20.0f);   // outside the square: untouched
    EXPECT_EQ(count_invalid_blocks(), 1);
    EXPECT_EQ(r.terrain.map_lists[1][1], MAP_LIST_NONE);
    EXPECT_EQ(r.terrain.vertex_array[3 * (128 * 48 + 48) + 1], 21.0f);  // derived arrays follow

    // near a corner of four blocks, never more than four
    mark_all_blocks_compiled();
    lower_terrain(*t, 0.0f, 0.0f, 5);
    sync_terrain_render(r, *t);
    EXPECT_EQ(t->height_map[64][64], 19.0f);
    EXPECT_EQ(count_invalid_blocks(), 4);
    EXPECT_EQ(r.terrain.map_lists[1][1], MAP_LIST_NONE);
    EXPECT_EQ(r.terrain.map_lists[2][2], MAP_LIST_NONE);
    EXPECT_EQ(r.terrain.map_lists[0][0], 100u);
}

TEST_F(TerrainEdits, SmoothRelaxesTowardsTheMeanAndIgnoresOffGridSquares)
{
    flat_map(10.0f);
    t->height_map[48][48] = 30.0f;
    smooth_terrain(*t, -64.0f, -64.0f, 1);  // 3 x 3 square, mean = 10 + 20/9
    sync_terrain_render(r, *t);
    float mean = 10.0f + 20.0f / 9.0f;
    EXPECT_NEAR(t->height_map[48][48], 30.0f * 0.95f + mean * 0.05f, 1e-4);
    EXPECT_NEAR(t->height_map[47][47], 10.0f * 0.95f + mean * 0.05f, 1e-4);
    EXPECT_EQ(t->height_map[46][48], 10.0f);

    std::vector<float> before = snapshot();
    mark_all_blocks_compiled();
    smooth_terrain(*t, 5000.0f, 5000.0f, 5);
    sync_terrain_render(r, *t);
    EXPECT_EQ(0, std::memcmp(before.data(), snapshot().data(), before.size() * sizeof(float)));
    EXPECT_EQ(count_invalid_blocks(), 0);
}

TEST_F(TerrainRender, StripTableAndBlockSpheres)
{
    allocate_terrain_arrays(r.terrain);
    EXPECT_EQ(r.terrain.index_array[0], 0u);
    EXPECT_EQ(r.terrain.index_array[1], 1u);
    EXPECT_EQ(r.terrain.index_array[256 * 5 + 2 * 3], 128u * 3 + 5);
    EXPECT_EQ(r.terrain.index_array[256 * 126 + 255], 128u * 127 + 127);
    flat_map(20.0f);
    calculate_map_seg_sphere(r.terrain, *t, 1, 2, 32, 64, 64, 96);
    EXPECT_FLOAT_EQ(r.terrain.map_list_spheres[1][2][0], -64.0f);
    EXPECT_FLOAT_EQ(r.terrain.map_list_spheres[1][2][1], 20.0f);
    EXPECT_FLOAT_EQ(r.terrain.map_list_spheres[1][2][2], 64.0f);
    EXPECT_FLOAT_EQ(r.terrain.map_list_spheres[1][2][3], std::sqrt(2.0f) * 64.0f);
    // a block behind the eye is culled, one ahead is not
    r.view.eye[0] = 0;
    r.view.eye[1] = 30;
    r.view.eye[2] = 0;
    r.view.yaw = 0;
    r.view.pitch = 0;
    r.view.zoom = 1;
    calculate_viewing_vectors(r.view);
    for (int a = 0; a < 4; ++a)
        for (int b = 0; b < 4; ++b) {
            int i0 = 32 * a, j0 = 32 * b;
            calculate_map_seg_sphere(r.terrain, *t, a, b, i0, j0, std::min(i0 + 32, 127), std::min(j0 + 32, 127));
        }
    EXPECT_FALSE(frustum_cull_terrain(r, 1, 0));  // ahead (-z)
    EXPECT_TRUE(frustum_cull_terrain(r, 1, 3));   // behind, centre z = 192
}

TEST_F(TerrainTexture, SameSeedSameTextureAndWaterIsBlueOnTheMinimap)
{
    flat_map(-5.0f);  // all under water
    std::vector<unsigned char> rgb(512 * 512 * 3), rgba(64 * 64 * 4), rgb2(rgb.size()), rgba2(rgba.size());
    stream_srand(w->rng, 9);
    generate_terrain_texture(*w, rgb.data(), rgba.data());
    stream_srand(w->rng, 9);
    generate_terrain_texture(*w, rgb2.data(), rgba2.data());
    EXPECT_EQ(rgb, rgb2);
    EXPECT_EQ(rgba, rgba2);
    // low ground: fresh texels are bright green
    EXPECT_EQ(rgb[0], 130);
    EXPECT_GE(rgb[1], 250);
    for (size_t k = 0; k < rgb.size(); k += 3)
        ASSERT_LE(rgb[k], rgb[k + 1]);  // green never below red
    // minimap: transparent outside the disc, water alpha 180 inside
    EXPECT_EQ(rgba[3], 0);
    const unsigned char* centre = &rgba[4 * (64 * 32 + 32)];
    EXPECT_EQ(centre[0], 100);
    EXPECT_EQ(centre[2], 255);
    EXPECT_EQ(centre[3], 180);

    flat_map(120.0f);  // all high ground: opaque land texels
    generate_terrain_texture(*w, rgb.data(), rgba.data());
    centre = &rgba[4 * (64 * 32 + 32)];
    EXPECT_EQ(centre[3], 255);
    EXPECT_GE(rgb[0], 170);  // grey-beige
}

TEST_F(TerrainPicking, LookingDownFindsTheGroundAndTheSeaPlaneOffTheMap)
{
    flat_map(20.0f);
    r.view.width = 600;
    r.view.height = 400;
    r.view.zoom = 1;
    r.view.eye[0] = 10;
    r.view.eye[1] = 50;
    r.view.eye[2] = 20;
    r.view.yaw = 0;
    r.view.pitch = 45;  // looking down at 45 degrees along -z
    calculate_viewing_vectors(r.view);
    float x, z;
    ASSERT_EQ(screen_to_terrain_coords(r.view, *t, 300, 200, &x, &z), 0);
    EXPECT_NEAR(x, 10.0f, 1.0f);
    EXPECT_NEAR(z, 20.0f - 30.0f, 1.0f);

    // straight up over the map: nothing
    r.view.pitch = -60;
    r.view.eye[1] = 30;
    calculate_viewing_vectors(r.view);
    EXPECT_EQ(screen_to_terrain_coords(r.view, *t, 300, 0, &x, &z), -1);
    EXPECT_EQ(x, 0.0f);
    EXPECT_EQ(z, 0.0f);

    // eye outside the square looking down: meets y = -10
    r.view.eye[0] = 300;
    r.view.eye[1] = 40;
    r.view.eye[2] = 0;
    r.view.pitch = 45;
    calculate_viewing_vectors(r.view);
    ASSERT_EQ(screen_to_terrain_coords(r.view, *t, 300, 200, &x, &z), 0);
    EXPECT_NEAR(x, 300.0f, 1e-3);
    EXPECT_NEAR(z, -50.0f, 1e-3);
}

// The island, its texture and its clouds from one seed, as sums of their
// bits: a copy built anywhere (any processor, any compiler that keeps
// floating point to IEEE single and double, no contraction) must come out
// with exactly these, or it plays on another island than its peers.
TEST_F(TerrainGeneration, OneSeedGivesTheSameIslandTextureAndCloudsOnEveryBuild)
{
    auto fnv = [](const void* p, size_t n, uint32_t h = 2166136261u) {
        const auto* b = static_cast<const unsigned char*>(p);
        for (size_t i = 0; i < n; ++i)
            h = (h ^ b[i]) * 16777619u;
        return h;
    };
    stream_srand(w->rng, 23456);
    random_map(*w);
    uint32_t land = 2166136261u;
    for (int j = 0; j < TERRAIN_SIZE; ++j)
        land = fnv(t->height_map[j], TERRAIN_SIZE * sizeof(float), land);
    std::vector<unsigned char> rgb(512 * 512 * 3), rgba(64 * 64 * 4);
    generate_terrain_texture(*w, rgb.data(), rgba.data());
    const uint32_t texture = fnv(rgba.data(), rgba.size(), fnv(rgb.data(), rgb.size()));
    init_skybox(*w);
    uint32_t sky = 2166136261u;
    for (const cloud& c : w->sky.clouds)
        for (float v : {c.x, c.y, c.z, c.vx, c.vy, c.vz, c.size})
            sky = fnv(&v, sizeof v, sky);
    EXPECT_EQ(land, 0xB1BA6CECu);
    EXPECT_EQ(texture, 0x78083A27u);
    EXPECT_EQ(sky, 0xC39C8825u);
}

// Coarser pieces of the drawn terrain: whatever the step, the triangles
// cover the piece once, wound like the full-detail strips (back faces are
// culled), and the piece's outline keeps every grid point, so that two
// neighbouring pieces of any levels share their edges and leave no crack.
TEST(TerrainDetail, CoarsePiecesCoverTheirSquareAndKeepFullDetailEdges)
{
    terrain_view view;
    allocate_terrain_arrays(view);
    auto x_of = [](uint32_t v) { return static_cast<long>(v / 128); };
    auto z_of = [](uint32_t v) { return static_cast<long>(v % 128); };
    // Twice the signed (x, z) area of a triangle, in grid cells.
    auto area2 = [&](uint32_t p, uint32_t q, uint32_t r) {
        return (x_of(q) - x_of(p)) * (z_of(r) - z_of(p)) - (z_of(q) - z_of(p)) * (x_of(r) - x_of(p));
    };
    // The first triangle of the first strip sets the winding of the ground.
    const long strip_sign = area2(view.index_array[0], view.index_array[1], view.index_array[2]) > 0 ? 1 : -1;

    const int pieces[][4] = {{0, 0, 16, 16}, {112, 48, 127, 64}, {96, 112, 127, 127}, {32, 32, 64, 64}};
    for (const auto& pc : pieces)
        for (int step : {1, 2, 4, 8}) {
            const int i0 = pc[0], j0 = pc[1], i1 = pc[2], j1 = pc[3];
            SCOPED_TRACE(testing::Message() << "piece " << i0 << "," << j0 << " - " << i1 << "," << j1 << " step "
                                            << step);
            std::vector<uint32_t> t;
            terrain_block_triangles(i0, j0, i1, j1, step, t);
            ASSERT_EQ(t.size() % 3, 0u);
            long area = 0;
            std::map<std::pair<uint32_t, uint32_t>, int> edges;
            for (size_t k = 0; k < t.size(); k += 3) {
                for (int c = 0; c < 3; ++c) {
                    ASSERT_GE(x_of(t[k + c]), i0);
                    ASSERT_LE(x_of(t[k + c]), i1);
                    ASSERT_GE(z_of(t[k + c]), j0);
                    ASSERT_LE(z_of(t[k + c]), j1);
                    ++edges[{t[k + c], t[k + (c + 1) % 3]}];
                }
                const long a2 = area2(t[k], t[k + 1], t[k + 2]);
                ASSERT_NE(a2, 0) << "flat triangle " << k / 3;
                ASSERT_EQ(a2 > 0 ? 1 : -1, strip_sign) << "triangle " << k / 3 << " faces away";
                area += a2 * strip_sign;
            }
            EXPECT_EQ(area, 2L * (i1 - i0) * (j1 - j0));
            // Inner edges are shared by two triangles, one each way; what is
            // left is the outline, cut at every grid point.
            std::set<std::pair<uint32_t, uint32_t>> outline;
            for (const auto& [e, n] : edges) {
                ASSERT_EQ(n, 1) << "edge drawn twice the same way";
                if (edges.count({e.second, e.first}))
                    continue;
                const uint32_t lo = std::min(e.first, e.second), hi = std::max(e.first, e.second);
                EXPECT_TRUE(hi - lo == 1 || hi - lo == 128) << "outline edge " << lo << "-" << hi << " skips points";
                const bool on_rim = (x_of(lo) == x_of(hi) && (x_of(lo) == i0 || x_of(lo) == i1)) ||
                                    (z_of(lo) == z_of(hi) && (z_of(lo) == j0 || z_of(lo) == j1));
                EXPECT_TRUE(on_rim) << "open edge " << lo << "-" << hi << " inside the piece";
                outline.insert({lo, hi});
            }
            EXPECT_EQ(outline.size(), static_cast<size_t>(2 * (i1 - i0) + 2 * (j1 - j0)));
            if (step >= 4) {
                EXPECT_LT(t.size() / 3, static_cast<size_t>((i1 - i0) * (j1 - j0) / 2)) << "not coarser";
            }
        }

    // Finer cells on screen never get a coarser level, and the detail layer
    // (compiled for full detail only) is never asked of a coarser one; the
    // nearest ground keeps it, the farthest does not.
    int last = 0;
    for (float px = 64.0f; px > 0.1f; px *= 0.8f) {
        const int level = terrain_detail_level(px);
        EXPECT_GE(level, last);
        EXPECT_LT(level, TERRAIN_DETAIL_LEVELS);
        if (terrain_detail_layer_shown(px)) {
            EXPECT_EQ(level, 0) << px << " px";
        }
        last = level;
    }
    EXPECT_TRUE(terrain_detail_layer_shown(64.0f));
    EXPECT_FALSE(terrain_detail_layer_shown(0.1f));
    EXPECT_EQ(terrain_detail_level(64.0f), 0);
    EXPECT_EQ(last, TERRAIN_DETAIL_LEVELS - 1);
}

TEST_F(TerrainFog, HazeInterpolatedOverTheFactorsGivesTheExp2FogOfTheIslandsGround)
{
    // The ground's haze is interpolated linearly over 1 - its exp2 fog
    // factors: between points (along the edges and across the middle of each
    // cell's triangles) that must stay close to the exp2 fog of the
    // interpolated coordinate: within a colour level but for a few cells of
    // the steepest cliffs, and within five levels there.
    generate(31337);
    calculate_arrays(r.terrain, *t);
    const std::vector<float>& fog = r.terrain.fog_array;
    std::vector<float> f;
    terrain_fog_factors(fog.data(), TERRAIN_VERTS, HIGH_FOG_DENSITY, f);
    ASSERT_EQ(f.size(), static_cast<size_t>(TERRAIN_VERTS));
    // Edge midpoints and the middle of a triangle, as weights of its corners.
    const float kMidpoints[][3] = {{0.5f, 0.5f, 0.0f}, {0.0f, 0.5f, 0.5f}, {0.5f, 0.0f, 0.5f},
                                   {1 / 3.0f, 1 / 3.0f, 1 / 3.0f}};
    auto exp2_fog = [](float c) { return std::exp(-(HIGH_FOG_DENSITY * c) * (HIGH_FOG_DENSITY * c)); };
    float worst_between = 0.0f;
    int samples = 0, over_a_level = 0;
    const float most_fog = 1.0f - *std::max_element(f.begin(), f.end());
    for (int i = 0; i + 1 < 128; ++i)
        for (int j = 0; j + 1 < 128; ++j) {
            const int a = 128 * i + j, b = a + 1, c = a + 128, d = c + 1;
            for (auto [p, q, r] : {std::tuple{a, b, c}, std::tuple{b, c, d}}) {
                for (const auto& m : kMidpoints) {
                    const float coord = m[0] * fog[p] + m[1] * fog[q] + m[2] * fog[r];
                    const float lerped = 1.0f - (m[0] * f[p] + m[1] * f[q] + m[2] * f[r]);
                    const float e = std::fabs(lerped - exp2_fog(coord));
                    worst_between = std::max(worst_between, e);
                    ++samples;
                    over_a_level += e > 1.0f / 255.0f ? 1 : 0;
                }
            }
        }
    EXPECT_LT(worst_between, 5.0f / 255.0f);
    EXPECT_LT(over_a_level * 1000, samples) << over_a_level << " of " << samples << " over a level";
    EXPECT_LT(most_fog, 0.5f) << "the sea floor should be in thick fog, or this tests nothing";
}
