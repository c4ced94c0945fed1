#include "sim/terrain.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/paths.h"
#include "platform/vector.h"
#include "sim/world.h"

const float skybox_barrier_dx = 258.0f, skybox_barrier_dz = 258.0f;

void terrain_replaced(terrain_state& t)
{
    ++t.generation;
    t.edits.clear();
}

void init_terrain(world& w)
{
    if (read_terrain_file(w.terrain, user_file("terrain.out").c_str()) != 0)
        random_map(w);
    w.terrain.colour_texels.assign(512 * 512 * 3, 0);
    w.terrain.minimap_texels.assign(64 * 64 * 4, 0);
    generate_terrain_texture(w, w.terrain.colour_texels.data(), w.terrain.minimap_texels.data());
    ++w.terrain.colours_made;
}

// --- the map's colours ---------------------------------------------------------

static int clamp_byte(int v)
{
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

void generate_terrain_texture(world& w, unsigned char* rgb, unsigned char* rgba)
{
    const terrain_state& ground = w.terrain;
    for (int mr = 0; mr < 64; ++mr)
        for (int mc = 0; mc < 64; ++mc) {
            unsigned char* m = &rgba[4 * (64 * mr + mc)];
            m[0] = 100;
            m[1] = 100;
            m[2] = 255;
            m[3] = (mr - 32) * (mr - 32) + (mc - 32) * (mc - 32) <= 1023 ? 180 : 0;
        }
    for (int r = 0; r < 512; ++r)
        for (int c = 0; c < 512; ++c) {
            const float h = ground.height_map[c / 4][r / 4];
            const int q = w.rand() % 1000;
            int R, G, B;
            if (r == 0 || c == 0 || q < 100) {
                if (h > q) {
                    R = w.rand() % 64 + 170;
                    G = w.rand() % 55 + 164;
                    B = w.rand() % 32 + 160;
                } else {
                    R = 130;
                    G = w.rand() % 5 + 250;
                    B = w.rand() % 32 + 130;
                }
            } else {
                const unsigned char* L = &rgb[3 * (512 * r + c - 1)];
                const unsigned char* U = &rgb[3 * (512 * (r - 1) + c)];
                int rr = w.rand() % 16, rg = w.rand() % 32, rb = w.rand() % 32;
                R = static_cast<int>(0.5f * L[0] + 0.5f * U[0] + rr - 8);
                G = static_cast<int>(0.5f * L[1] + 0.5f * U[1] + rg - 16);
                B = static_cast<int>(0.5f * L[2] + 0.5f * U[2] + rb - 16);
                if (R > G)
                    R = G;
                if (B > G)
                    B = G;
            }
            unsigned char* t = &rgb[3 * (512 * r + c)];
            t[0] = static_cast<unsigned char>(clamp_byte(R));
            t[1] = static_cast<unsigned char>(clamp_byte(G));
            t[2] = static_cast<unsigned char>(clamp_byte(B));

            const int mr = static_cast<int>((256 - r) * 0.0875 + 32.0);
            const int mc = static_cast<int>(64.0 - ((256 - c) * 0.0875 + 32.0));
            if (mr < 0 || mr > 63 || mc < 0 || mc > 63)
                continue;
            unsigned char* m = &rgba[4 * (64 * mr + mc)];
            if (h < 10.0f) {
                m[0] = 100;
                m[1] = 100;
                m[2] = 255;
            } else {
                m[0] = t[0];
                m[1] = t[1];
                m[2] = t[2];
                m[3] = 255;
            }
        }
}

// --- generation -------------------------------------------------------------

void set_terrain(world& w, int x, int z, int x1, int z1, int x2, int z2)
{
    terrain_state& t = w.terrain;
    float len = static_cast<float>((x2 - x1) + (z2 - z1)) * 0.5f;
    if (t.height_fixed[z][x])
        return;
    float h = (t.height_map[z1][x1] + t.height_map[z2][x2]) * 0.5f;
    int r = w.rand();
    h = h + static_cast<float>((r % 100) - 50) * len * 0.01f;
    t.height_map[z][x] = h;
    t.height_fixed[z][x] = 1;
}

void recursive_terrain(world& w, int x, int z, int width, int depth)
{
    if (width < 2 && depth < 2)
        return;
    int mx = x + width / 2, mz = z + depth / 2;
    int x2 = x + width, z2 = z + depth;
    set_terrain(w, x, mz, x, z, x, z2);
    set_terrain(w, x2, mz, x2, z, x2, z2);
    set_terrain(w, mx, z, x, z, x2, z);
    set_terrain(w, mx, z2, x, z2, x2, z2);
    set_terrain(w, mx, mz, mx, z, mx, z2);
    recursive_terrain(w, x, z, mx - x, mz - z);
    recursive_terrain(w, mx, z, x2 - mx, mz - z);
    recursive_terrain(w, x, mz, mx - x, z2 - mz);
    recursive_terrain(w, mx, mz, x2 - mx, z2 - mz);
}

static void anchor(terrain_state& t, int i, int j, float h)
{
    t.height_map[j][i] = h;
    t.height_fixed[j][i] = 1;
}

void random_map(world& w)
{
    terrain_state& t = w.terrain;
    t.made = true;
    std::memset(t.height_fixed, 0, sizeof t.height_fixed);
    anchor(t, 0, 0, 0.0f);
    anchor(t, 127, 0, 0.0f);
    anchor(t, 63, 63, 0.0f);
    anchor(t, 127, 127, 0.0f);
    anchor(t, 0, 63, 150.0f);
    anchor(t, 0, 127, 70.0f);
    for (int i = 59; i <= 68; ++i) {
        for (int j = 0; j <= 9; ++j)
            anchor(t, i, j, 50.0f);
        for (int j = 32; j <= 46; ++j)
            anchor(t, i, j, 20.0f);
    }
    recursive_terrain(w, 0, 0, 127, 127);
    calculate_normals(t);
    terrain_replaced(t);
}

// --- terrain file -----------------------------------------------------------

int read_terrain_file(terrain_state& t, const char* path)
{
    FILE* f = fopen(path, "rb");
    if (!f) {
        printf("couldn't read to terrain file\n");
        return -1;
    }
    // Read one byte more than a map needs, so an oversized file shows.
    std::vector<unsigned char> bytes(TERRAIN_FILE_BYTES + 1);
    size_t got = fread(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    if (got != static_cast<size_t>(TERRAIN_FILE_BYTES)) {
        fprintf(stderr, "terrain file %s is %s (expected %ld bytes); ignoring it\n", path,
                got < static_cast<size_t>(TERRAIN_FILE_BYTES) ? "too short" : "too long", TERRAIN_FILE_BYTES);
        return -1;
    }
    std::vector<float> heights(TERRAIN_VERTS);
    for (int k = 0; k < TERRAIN_VERTS; ++k) {
        const unsigned char* p = &bytes[4 * k];
        uint32_t u = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
        float h;
        std::memcpy(&h, &u, 4);
        if (!std::isfinite(h)) {
            fprintf(stderr, "terrain file %s has a non-finite height at row %d, column %d; ignoring it\n", path,
                    k / TERRAIN_SIZE, k % TERRAIN_SIZE);
            return -1;
        }
        if (std::fabs(h) > TERRAIN_MAX_ABS_HEIGHT) {
            fprintf(stderr, "terrain file %s has an implausible height %g at row %d, column %d; ignoring it\n", path,
                    static_cast<double>(h), k / TERRAIN_SIZE, k % TERRAIN_SIZE);
            return -1;
        }
        heights[k] = h;
    }
    std::memcpy(t.height_map, heights.data(), heights.size() * sizeof(float));
    t.made = true;
    printf("0,0 = %f, 10,10 = %f, 50, 50 = %f\n", t.height_map[0][0], t.height_map[10][10], t.height_map[50][50]);
    calculate_normals(t);
    terrain_replaced(t);
    return 0;
}

int write_terrain_path(const terrain_state& t, const char* path)
{
    if (!t.made)
        return -1;
    std::vector<unsigned char> bytes(TERRAIN_FILE_BYTES);
    const float* heights = &t.height_map[0][0];
    for (int k = 0; k < TERRAIN_VERTS; ++k) {
        uint32_t u;
        std::memcpy(&u, &heights[k], 4);
        for (int b = 0; b < 4; ++b)
            bytes[4 * k + b] = static_cast<unsigned char>((u >> (8 * b)) & 0xff);
    }
    FILE* f = fopen(path, "wb");
    if (!f) {
        printf("couldn't write to terrain file\n");
        return -1;
    }
    size_t put = fwrite(bytes.data(), 1, bytes.size(), f);
    if (fclose(f) != 0 || put != bytes.size()) {
        printf("couldn't write to terrain file\n");
        return -1;
    }
    return 0;
}

int write_terrain_file(const terrain_state& t)
{
    return write_terrain_path(t, user_file_for_writing("terrain.out").c_str());
}

// --- normals ------------------------------------------------------------------

void calculate_normals(terrain_state& t)
{
    calculate_normals_in(t, 0, 0, 127, 127);
}

static int clamp_index(int v)
{
    return v < 0 ? 0 : (v > 127 ? 127 : v);
}

void calculate_normals_in(terrain_state& t, int i0, int j0, int i1, int j1)
{
    i0 = clamp_index(i0);
    j0 = clamp_index(j0);
    i1 = clamp_index(i1);
    j1 = clamp_index(j1);
    for (int i = i0; i <= i1; ++i)
        for (int j = j0; j <= j1; ++j) {
            float h = t.height_map[j][i];
            float dx = i < 127 ? t.height_map[j][i + 1] - h : h - t.height_map[j][i - 1];
            float dz = j < 127 ? t.height_map[j + 1][i] - h : h - t.height_map[j - 1][i];
            float a[3] = {0.0f, dz, 1.0f}, b[3] = {1.0f, dx, 0.0f}, n[3];
            cross_product(a, b, n);
            normalize_vector(n);
            for (int c = 0; c < 3; ++c)
                t.normals[c][j][i] = n[c];
        }
}

// --- queries ------------------------------------------------------------------

static bool inside_barrier(float x, float z)
{
    return x > -skybox_barrier_dx && x < skybox_barrier_dx && z > -skybox_barrier_dz && z < skybox_barrier_dz;
}

float get_terrain_height(const terrain_state& t, float x, float z)
{
    if (!inside_barrier(x, z) || !t.made)
        return OCEAN_HEIGHT - 20.0f;
    float u = 64.0f + x * 0.25f, v = 64.0f + z * 0.25f;
    int i0 = static_cast<int>(u), j0 = static_cast<int>(v);
    int i1 = static_cast<int>(u + 0.999f), j1 = static_cast<int>(v + 0.999f);
    if (i0 < 0 || j0 < 0 || i1 >= TERRAIN_SIZE || j1 >= TERRAIN_SIZE)
        return -10.0f;
    float tx = u - i0, tz = v - j0;
    return (1 - tx) * (1 - tz) * t.height_map[j0][i0] + (1 - tx) * tz * t.height_map[j1][i0] +
           tx * (1 - tz) * t.height_map[j0][i1] + tx * tz * t.height_map[j1][i1];
}

// Grid cell at or below-left of a world position; false when off the grid.
static bool grid_cell(float x, float z, int& i, int& j)
{
    i = static_cast<int>(64.0f + x / 4.0f);
    j = static_cast<int>(64.0f + z / 4.0f);
    return i >= 0 && j >= 0 && i <= 127 && j <= 127;
}

void get_terrain_normal(const terrain_state& t, float x, float z, float out[3])
{
    int i, j;
    if (inside_barrier(x, z) && t.made && grid_cell(x, z, i, j)) {
        for (int c = 0; c < 3; ++c)
            out[c] = t.normals[c][j][i];
        return;
    }
    set_vector(out, 0.0f, 1.0f, 0.0f);
}

void get_terrain_gradient(const terrain_state& t, float x, float z, float out[2])
{
    int i, j;
    if (!inside_barrier(x, z)) {
        out[0] = -x;
        out[1] = -z;
    } else if (t.made && grid_cell(x, z, i, j)) {
        out[0] = -t.normals[0][j][i];
        out[1] = -t.normals[2][j][i];
    } else {
        out[0] = -x / 4.0f;
        out[1] = -z / 4.0f;
    }
    if (out[0] == 0.0f && out[1] == 0.0f)
        return;
    // hypot: squaring tiny (denormal) or huge components would underflow to
    // a zero length or overflow to an infinite one.
    float len = std::hypot(out[0], out[1]);
    out[0] /= len;
    out[1] /= len;
}

// --- local edits ------------------------------------------------------------

// Affected index range of an edit: from trunc(c - r) while index <= c + r.
static void edit_range(float c, int r, int& lo, int& hi)
{
    lo = static_cast<int>(c - r);
    hi = lo - 1;
    while (hi + 1 <= c + r)
        ++hi;
}

// False when an edit centred at grid position (cx, cz) cannot reach a grid
// point (far outside the map, or not a number); such an edit changes
// nothing, and its index range would not even fit an int.
static bool edit_reaches_grid(float cx, float cz, int r)
{
    return cx > -1.0f - r && cx < 128.0f + r && cz > -1.0f - r && cz < 128.0f + r;
}

// The grid window of an edit at world (x, z) with radius r: its centre in
// grid units and its index ranges (which may reach past the map's edge).
struct edit_window {
    float cx, cz;
    int i_lo, i_hi, j_lo, j_hi;
};

// False when the edit cannot reach a grid point; otherwise fills `w`.
static bool open_edit(float x, float z, int r, edit_window& w)
{
    w.cx = 64.0f + x / 4.0f;
    w.cz = 64.0f + z / 4.0f;
    if (!edit_reaches_grid(w.cx, w.cz, r))
        return false;
    edit_range(w.cx, r, w.i_lo, w.i_hi);
    edit_range(w.cz, r, w.j_lo, w.j_hi);
    return true;
}

// Edits kept for the renderer at most; past this many the map counts as
// replaced (it is then made again whole).
constexpr size_t MAX_TERRAIN_EDITS = 1024;

static void finish_edit(terrain_state& t, float cx, float cz, int r)
{
    const terrain_edit e{static_cast<int>(cx - r), static_cast<int>(cz - r), static_cast<int>(cx + r),
                         static_cast<int>(cz + r), cx, cz, r};
    calculate_normals_in(t, e.i0, e.j0, e.i1, e.j1);
    if (t.edits.size() >= MAX_TERRAIN_EDITS)
        terrain_replaced(t);
    else
        t.edits.push_back(e);
}

void offset_terrain(terrain_state& t, float x, float z, float amount, int r)
{
    printf("v = %f\n", amount);
    if (!t.made || r <= 0)
        return;
    edit_window ew;
    if (!open_edit(x, z, r, ew))
        return;
    const auto [cx, cz, i_lo, i_hi, j_lo, j_hi] = ew;
    const double k = 1.5707963267948966 / r * 0.9;
    for (int i = i_lo; i <= i_hi; ++i)
        for (int j = j_lo; j <= j_hi; ++j) {
            if (i < 0 || j < 0 || i > 127 || j > 127)
                continue;
            double w = cos((cx - i) * k) * cos((cz - j) * k);
            t.height_map[j][i] += static_cast<float>(w * amount);
        }
    finish_edit(t, cx, cz, r);
}

void raise_terrain(terrain_state& t, float x, float z, int radius)
{
    offset_terrain(t, x, z, 1.0f, radius);
}

void lower_terrain(terrain_state& t, float x, float z, int radius)
{
    offset_terrain(t, x, z, -1.0f, radius);
}

void smooth_terrain(terrain_state& t, float x, float z, int r)
{
    printf("v = %f\n", 0.0);
    if (!t.made || r < 0)
        return;
    edit_window ew;
    if (!open_edit(x, z, r, ew))
        return;
    const auto [cx, cz, i_lo, i_hi, j_lo, j_hi] = ew;
    double sum = 0.0;
    int count = 0;
    for (int i = i_lo; i <= i_hi; ++i)
        for (int j = j_lo; j <= j_hi; ++j)
            if (i >= 0 && j >= 0 && i <= 127 && j <= 127) {
                sum += t.height_map[j][i];
                ++count;
            }
    if (count == 0)
        return;
    float mean = static_cast<float>(sum / count);
    for (int i = i_lo; i <= i_hi; ++i)
        for (int j = j_lo; j <= j_hi; ++j)
            if (i >= 0 && j >= 0 && i <= 127 && j <= 127)
                t.height_map[j][i] = t.height_map[j][i] * 0.95f + mean * 0.05f;
    finish_edit(t, cx, cz, r);
}
