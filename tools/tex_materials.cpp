// Seamlessly tiling material textures. Every function of (u, v) below repeats
// with period 1, and u = x / width, v = y / height, so the right column joins
// the left one and the bottom row the top one.
#include <cmath>

#include "noise.h"
#include "textures.h"

namespace {

const int N = 256;

template <typename F>
Image fill(int w, int h, F f)
{
    Image img = make_image(w, h, 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) put_pixel(img, x, y, f(static_cast<float>(x) / w, static_cast<float>(y) / h, x, y));
    return img;
}

float frac(float v) { return v - std::floor(v); }

// Fine per-pixel grain in [-1, 1], smoothed a little so it survives mipmaps.
float pixel_grain(int x, int y, int w, int h, uint32_t seed)
{
    auto at = [&](int a, int b) {
        a = (a % w + w) % w;
        b = (b % h + h) % h;
        return hash_unit(hash_combine(seed, static_cast<uint32_t>(a)), static_cast<uint32_t>(b)) * 2.0f - 1.0f;
    };
    return 0.5f * at(x, y) + 0.125f * (at(x + 1, y) + at(x - 1, y) + at(x, y + 1) + at(x, y - 1));
}

}  // namespace

Image make_wood()
{
    const Color light = rgb(0.66f, 0.46f, 0.27f);
    const Color dark = rgb(0.40f, 0.24f, 0.12f);
    return fill(N, N, [&](float u, float v, int x, int y) {
        // Grain lines run along u: the ring phase grows with v and is bent by noise.
        float warp = tile_fbm(u, v, 2, 6, 4, 11);
        float ring = frac(v * 10.0f + warp * 1.2f + 0.3f * tile_fbm(u, v, 1, 3, 2, 12));
        float band = smoothstep(0.0f, 0.25f, ring) * (1.0f - smoothstep(0.55f, 1.0f, ring));
        float fibre = tile_fbm(u, v, 3, 96, 2, 13);
        float t = 0.35f + 0.45f * band + 0.2f * fibre + 0.04f * pixel_grain(x, y, N, N, 14);
        Color c = mix(dark, light, clamp01(t));
        // A few darker knots.
        CellSample k = tile_cells(u, v, 3, 15, 0.9f);
        if ((k.id & 3) == 0) c = scale_rgb(c, 0.75f + 0.25f * smoothstep(0.05f, 0.22f, k.f1));
        return c;
    });
}

Image make_stone_floor()
{
    // Four courses of dressed stones; each course has its own joints.
    const int rows = 4, row_h = N / rows;
    int edges[rows][4];
    int count[rows];
    HashRng rng(21);
    for (int r = 0; r < rows; ++r) {
        count[r] = 2 + rng.below(2);
        int offset = rng.below(N);
        for (int k = 0; k < count[r]; ++k) {
            float base = static_cast<float>(k) * N / count[r];
            edges[r][k] = (offset + static_cast<int>(base + rng.range(-18.0f, 18.0f))) % N;
        }
        // Keep the joints in increasing order around the ring.
        for (int a = 0; a < count[r]; ++a)
            for (int b = a + 1; b < count[r]; ++b)
                if (edges[r][b] < edges[r][a]) std::swap(edges[r][a], edges[r][b]);
    }
    return fill(N, N, [&](float u, float v, int x, int y) {
        int r = y / row_h, ly = y % row_h;
        // Which stone of the course, and the distance to its left and right joints.
        int n = count[r];
        int k = 0;
        while (k < n && edges[r][k] <= x) ++k;
        int left = k == 0 ? edges[r][n - 1] - N : edges[r][k - 1];
        int right = k == n ? edges[r][0] + N : edges[r][k];
        int stone = (k + n - 1) % n;
        float dl = static_cast<float>(x - left), dr = static_cast<float>(right - x);
        float dt = static_cast<float>(ly), db = static_cast<float>(row_h - ly);
        float wobble = 1.6f * tile_fbm(u, v, 16, 16, 2, 22);
        float d = std::min(std::min(dl, dr), std::min(dt, db)) + wobble;
        uint32_t sid = hash_combine(23, static_cast<uint32_t>(r * 8 + stone));
        float tone = 0.82f + 0.3f * hash_unit(sid, 0);
        float warm = hash_unit(sid, 1) * 0.06f;
        Color base = rgb(0.55f + warm, 0.53f + warm * 0.5f, 0.50f);
        float surface = 0.12f * tile_fbm(u, v, 8, 8, 5, 24) + 0.05f * pixel_grain(x, y, N, N, 25);
        CellSample pit = tile_cells(u, v, 40, 26, 0.9f);
        if (pit.f1 < 0.12f) surface -= 0.08f;
        Color c = scale_rgb(base, tone + surface);
        // Chiselled edges: lit along the top and left, shaded along the bottom and right.
        if (d < 7.0f) {
            float e = 1.0f - d / 7.0f;
            bool lit = std::min(dt, dl) <= std::min(db, dr);
            c = scale_rgb(c, 1.0f + (lit ? 0.18f : -0.28f) * e);
        }
        if (d < 2.5f) {
            Color mortar = rgb(0.30f, 0.29f, 0.27f);
            c = mix(mortar, c, smoothstep(1.0f, 2.5f, d));
        }
        return c;
    });
}

static Color marble_at(float u, float v, int x, int y, float vein_strength)
{
    float turb = tile_fbm(u, v, 3, 3, 6, 31);
    float s1 = std::sin(6.2831853f * (u * 2.0f + v) + 7.0f * turb);
    float s2 = std::sin(6.2831853f * (u - 3.0f * v) + 5.0f * tile_fbm(u, v, 4, 4, 5, 32));
    float vein = std::pow(1.0f - std::fabs(s1), 14.0f) * 0.8f + std::pow(1.0f - std::fabs(s2), 30.0f) * 0.4f;
    float cloud = 0.05f * tile_fbm(u, v, 2, 2, 4, 33);
    Color base = rgb(0.93f + cloud, 0.92f + cloud, 0.89f + cloud);
    Color veinc = rgb(0.50f, 0.52f, 0.58f);
    Color c = mix(base, veinc, clamp01(vein * vein_strength));
    return scale_rgb(c, 1.0f + 0.015f * pixel_grain(x, y, N, N, 34));
}

Image make_marble()
{
    return fill(N, N, [](float u, float v, int x, int y) { return marble_at(u, v, x, y, 1.0f); });
}

Image make_column()
{
    // Fluted shaft: four flutes across the tile; s runs around the column.
    return fill(N, N, [](float u, float v, int x, int y) {
        Color c = marble_at(u, v, x, y, 0.45f);
        float f = frac(u * 4.0f);
        // The flat fillet between two flutes catches the light; inside a
        // flute the concave surface is lit on one side and shaded on the other.
        if (f < 0.05f || f > 0.95f) return scale_rgb(c, 0.97f);
        float g = (f - 0.05f) / 0.9f;
        float light = 0.62f + 0.30f * std::pow(std::sin(3.14159265f * g), 0.5f) + 0.08f * (0.5f - g);
        return scale_rgb(c, light);
    });
}

Image make_kelvarin_gate()
{
    // Vertical oak planks held by two iron bands with rivets.
    const int planks = 8, pw = N / planks;
    return fill(N, N, [&](float u, float v, int x, int y) {
        int p = x / pw, lx = x % pw;
        uint32_t pid = hash_combine(41, static_cast<uint32_t>(p));
        float grain = tile_fbm(u, v, 24, 2, 3, 42 + p);
        float tone = 0.85f + 0.25f * hash_unit(pid, 0);
        Color wood = scale_rgb(rgb(0.42f, 0.27f, 0.15f), tone + 0.18f * grain + 0.05f * pixel_grain(x, y, N, N, 43));
        float edge = std::min(lx, pw - 1 - lx);
        if (edge < 1) wood = rgb(0.08f, 0.05f, 0.03f);
        else if (edge < 3) wood = scale_rgb(wood, 0.7f);
        auto band = [&](int y0) { return y >= y0 && y < y0 + 22; };
        bool on_band = band(36) || band(164);
        if (on_band) {
            int by = band(36) ? y - 36 : y - 164;
            float rust = tile_fbm(u, v, 16, 16, 4, 44);
            Color iron = scale_rgb(rgb(0.26f, 0.26f, 0.28f), 1.0f + 0.35f * rust);
            if (rust > 0.35f) iron = mix(iron, rgb(0.40f, 0.22f, 0.12f), 0.5f);
            if (by < 2) iron = scale_rgb(iron, 1.4f);
            if (by > 19) iron = scale_rgb(iron, 0.55f);
            float rx = static_cast<float>(lx) - pw / 2.0f + 0.5f, ry = static_cast<float>(by) - 10.5f;
            float rd = std::sqrt(rx * rx + ry * ry);
            if (rd < 4.5f) {
                float shade = 0.9f + 0.6f * clamp01((-rx - ry) / 6.0f);
                iron = scale_rgb(rgb(0.36f, 0.36f, 0.38f), shade);
            }
            return iron;
        }
        // Shadow under each band.
        if ((y >= 58 && y < 62) || (y >= 186 && y < 190)) wood = scale_rgb(wood, 0.7f);
        return wood;
    });
}

Image make_stucco()
{
    return fill(N, N, [](float u, float v, int x, int y) {
        float blotch = 0.06f * tile_fbm(u, v, 3, 3, 4, 51);
        float trowel = 0.04f * tile_fbm(u, v, 10, 6, 3, 52);
        float grain = 0.05f * pixel_grain(x, y, N, N, 53);
        Color c = scale_rgb(rgb(0.88f, 0.82f, 0.70f), 1.0f + blotch + trowel + grain);
        if (hash_unit(hash_combine(54, static_cast<uint32_t>(x)), static_cast<uint32_t>(y)) < 0.006f)
            c = scale_rgb(c, 0.8f);
        return c;
    });
}

Image make_wood_ceiling()
{
    // Overlapping wooden shingles, rows staggered by half a shingle.
    const int rows = 8, rh = N / rows, sw = 32;
    return fill(N, N, [&](float u, float v, int x, int y) {
        int r = y / rh, ly = y % rh;
        int xs = (x + (r % 2) * (sw / 2)) % N;
        int k = xs / sw, lx = xs % sw;
        uint32_t sid = hash_combine(61, static_cast<uint32_t>(r * 16 + k));
        float tone = 0.8f + 0.35f * hash_unit(sid, 0);
        float grain = tile_fbm(u, v, 32, 3, 3, 62);
        Color c = scale_rgb(rgb(0.46f, 0.28f, 0.17f), tone + 0.15f * grain + 0.04f * pixel_grain(x, y, N, N, 63));
        // Shadow cast by the row above, lighter towards the exposed lower edge.
        c = scale_rgb(c, 0.65f + 0.35f * smoothstep(0.0f, 10.0f, static_cast<float>(ly)));
        if (ly >= rh - 2) c = scale_rgb(c, 1.15f);
        if (lx == 0 || lx == sw - 1) c = scale_rgb(c, 0.45f);
        return c;
    });
}

Image make_water()
{
    const Color deep = rgb(0.08f, 0.26f, 0.42f);
    const Color shallow = rgb(0.18f, 0.44f, 0.58f);
    const Color crest = rgb(0.75f, 0.88f, 0.95f);
    return fill(N, N, [&](float u, float v, int, int) {
        float w = tile_fbm(u, v, 4, 4, 5, 71);
        float ridge = 1.0f - std::fabs(tile_fbm(u, v, 6, 6, 4, 72) + 0.4f * w);
        float ripple = 1.0f - std::fabs(tile_fbm(u, v, 12, 12, 2, 73));
        Color c = mix(deep, shallow, clamp01(0.5f + 0.8f * w));
        c = mix(c, crest, clamp01(std::pow(ridge, 8.0f) * 0.8f + std::pow(ripple, 14.0f) * 0.35f));
        return c;
    });
}

Image make_fabric()
{
    // Plain weave, four pixels per thread; light so the clothing colour shows.
    const int t = 4;
    return fill(N, N, [&](float u, float v, int x, int y) {
        int cx = x / t, cy = y / t;
        float lx = (x % t + 0.5f) / t, ly = (y % t + 0.5f) / t;
        bool weft_on_top = ((cx + cy) & 1) == 0;
        float across = weft_on_top ? ly : lx;
        uint32_t thread = weft_on_top ? hash_combine(81, static_cast<uint32_t>(cy)) : hash_combine(82, static_cast<uint32_t>(cx));
        float shade = 0.72f + 0.28f * std::sin(3.14159265f * across);
        float slub = 0.06f * (hash_unit(thread, 0) - 0.5f) + 0.05f * tile_fbm(u, v, 8, 8, 3, 83);
        return scale_rgb(rgb(0.86f, 0.84f, 0.80f), shade + slub);
    });
}

Image make_dragon_skin(bool red)
{
    const Color base = red ? rgb(0.62f, 0.10f, 0.06f) : rgb(0.16f, 0.46f, 0.12f);
    const Color shine = red ? rgb(0.92f, 0.38f, 0.16f) : rgb(0.50f, 0.78f, 0.25f);
    const Color seam = red ? rgb(0.22f, 0.03f, 0.02f) : rgb(0.04f, 0.16f, 0.04f);
    uint32_t seed = red ? 91 : 92;
    return fill(N, N, [&](float u, float v, int x, int y) {
        CellSample s = tile_cells(u, v, 14, seed, 0.55f);
        // Each scale is lit from its upper side and darkens into the seams.
        float dome = clamp01(1.0f - s.f1 * 1.3f);
        float lit = clamp01(0.5f - 0.9f * s.dy + 0.2f * s.dx);
        float edge = smoothstep(0.02f, 0.16f, s.f2 - s.f1);
        float tone = 0.85f + 0.3f * hash_unit(s.id, 3);
        Color c = mix(base, shine, clamp01(lit * dome * 0.9f));
        c = scale_rgb(c, tone + 0.05f * pixel_grain(x, y, N, N, seed + 1) + 0.08f * tile_fbm(u, v, 4, 4, 3, seed + 2));
        return mix(seam, c, edge);
    });
}

Image make_terrain_detail()
{
    // Multiplied onto the terrain colour, so it stays close to white (mean
    // about 0.84): clods and small stones over fine grit.
    return fill(N, N, [](float u, float v, int x, int y) {
        float broad = 0.07f * tile_fbm(u, v, 6, 6, 4, 101);
        float clods = 0.05f * tile_fbm(u, v, 24, 24, 3, 102);
        CellSample p = tile_cells(u, v, 20, 103, 0.9f);
        float stone = (1.0f - smoothstep(0.22f, 0.34f, p.f1)) * (hash_unit(p.id, 1) - 0.45f) * 0.12f;
        float grit = 0.045f * pixel_grain(x, y, N, N, 104);
        float g = 0.84f + broad + clods + stone + grit;
        return rgb(g, g * 0.99f, g * 0.97f);
    });
}
