// Tree billboards and the flame sprite.
//
// A tree picture is drawn on a square texture but shown on a rectangle 10
// wide and 15 high, so it is designed in a virtual 256 x 384 space and squeezed
// vertically. The game only draws texels whose alpha is exactly 1, so alpha is
// either 0 or 1. The trunk stands in the middle (where the two crossed planes
// meet) and reaches the bottom edge.
#include <cairo.h>

#include <cmath>
#include <vector>

#include "noise.h"
#include "textures.h"

namespace {

const int kSize = 256;
const float kVirtualH = 384.0f;
const float kSqueeze = kSize / kVirtualH;

struct Blob {
    float x, y, r;
};

struct TreeStyle {
    uint32_t seed;
    float crown_x, crown_y, crown_rx, crown_ry;  // crown ellipse, virtual space
    int blobs;
    float blob_r0, blob_r1;
    float trunk_w;       // at the ground
    float trunk_top;     // virtual y where the trunk ends inside the crown
    int branches;
    Color leaf_dark, leaf_light;
    bool candles;        // white flower spikes (chestnut)
};

void draw_wood(cairo_t* cr, float x0, float y0, float x1, float y1, float w0, float w1)
{
    // A tapered limb from (x0, y0) with width w0 to (x1, y1) with width w1.
    float dx = x1 - x0, dy = y1 - y0, len = std::sqrt(dx * dx + dy * dy);
    float nx = -dy / len, ny = dx / len;
    cairo_move_to(cr, x0 + nx * w0 / 2, y0 + ny * w0 / 2);
    cairo_line_to(cr, x1 + nx * w1 / 2, y1 + ny * w1 / 2);
    cairo_line_to(cr, x1 - nx * w1 / 2, y1 - ny * w1 / 2);
    cairo_line_to(cr, x0 - nx * w0 / 2, y0 - ny * w0 / 2);
    cairo_close_path(cr);
    cairo_pattern_t* p = cairo_pattern_create_linear(x0 + nx * w0, y0 + ny * w0, x0 - nx * w0, y0 - ny * w0);
    cairo_pattern_add_color_stop_rgb(p, 0, 0.46, 0.34, 0.22);
    cairo_pattern_add_color_stop_rgb(p, 1, 0.20, 0.13, 0.08);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

// Trunk and limbs drawn by Cairo; returns the picture (alpha marks wood).
Image draw_trunk(const TreeStyle& st)
{
    return paint_image(kSize, kSize, 4, [&](cairo_t* cr) {
        cairo_scale(cr, 1.0, kSqueeze);
        float cx = kSize / 2.0f;
        draw_wood(cr, cx, kVirtualH + 4, cx, st.trunk_top, st.trunk_w, st.trunk_w * 0.35f);
        // Root flare.
        draw_wood(cr, cx - st.trunk_w * 0.9f, kVirtualH + 2, cx, kVirtualH - 30, st.trunk_w * 0.5f, st.trunk_w * 0.3f);
        draw_wood(cr, cx + st.trunk_w * 0.9f, kVirtualH + 2, cx, kVirtualH - 30, st.trunk_w * 0.5f, st.trunk_w * 0.3f);
        HashRng rng(st.seed + 7);
        for (int i = 0; i < st.branches; ++i) {
            float y0 = lerp(st.trunk_top + 20, st.crown_y + st.crown_ry * 0.6f, rng.unit());
            float side = (i % 2) ? 1.0f : -1.0f;
            float x1 = cx + side * st.crown_rx * rng.range(0.4f, 0.8f);
            float y1 = y0 - st.crown_ry * rng.range(0.25f, 0.6f);
            draw_wood(cr, cx, y0, x1, y1, st.trunk_w * 0.4f, 2.0f);
        }
    });
}

Image make_broadleaf(const TreeStyle& st)
{
    Image trunk = draw_trunk(st);
    HashRng rng(st.seed);
    std::vector<Blob> blobs;
    for (int i = 0; i < st.blobs; ++i) {
        // Spread the leaf clusters over the crown ellipse, more of them outside.
        float a = rng.range(0.0f, 6.2831853f), d = std::sqrt(rng.unit());
        float r = rng.range(st.blob_r0, st.blob_r1);
        blobs.push_back({st.crown_x + std::cos(a) * d * (st.crown_rx - r),
                         st.crown_y + std::sin(a) * d * (st.crown_ry - r), r});
    }
    std::vector<Blob> candles;
    if (st.candles) {
        for (int i = 0; i < 11; ++i) {
            const Blob& b = blobs[rng.below(static_cast<int>(blobs.size()))];
            float a = rng.range(3.6f, 5.8f);  // upper side of a cluster
            candles.push_back({b.x + std::cos(a) * b.r * 0.7f, b.y + std::sin(a) * b.r * 0.7f, rng.range(4.0f, 6.0f)});
        }
    }
    Image img = make_image(kSize, kSize, 4);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            float X = x + 0.5f, Y = (y + 0.5f) / kSqueeze;
            // Blend the blobs smoothly: the crown reads as one mass of foliage
            // lit from the upper left, darker underneath and between clusters.
            float field = 0, light_sum = 0, weight = 0;
            for (const Blob& b : blobs) {
                float dx = (X - b.x) / b.r, dy = (Y - b.y) / b.r;
                float f = 1.0f - std::sqrt(dx * dx + dy * dy);
                if (f <= 0) continue;
                field = std::max(field, f);
                float w = f * f;
                light_sum += w * clamp01(0.55f - 0.4f * dx - 0.5f * dy);
                weight += w;
            }
            float light = weight > 0 ? light_sum / weight : 0;
            float leaves = fbm3(X * 0.09f, Y * 0.09f, 0.5f, 3, st.seed + 1);
            float clumps = fbm3(X * 0.03f, Y * 0.03f, 2.5f, 3, st.seed + 2);
            float sprigs = fbm3(X * 0.3f, Y * 0.3f, 4.5f, 2, st.seed + 4);
            bool leaf = field > 0.0f && field + 0.35f * leaves + 0.15f * clumps > 0.2f;
            // Keep a clear border so clamped texels stay transparent.
            if (x < 2 || x >= kSize - 2 || y < 2) leaf = false;
            Color c = get_pixel(trunk, x, y);
            bool wood = c.a > 0.5f;
            if (wood) c = scale_rgb(c, 1.0f + 0.25f * fbm3(X * 0.5f, Y * 0.08f, 1.0f, 2, st.seed + 3));
            if (leaf) {
                float rx = (X - st.crown_x) / st.crown_rx, ry = (Y - st.crown_y) / st.crown_ry;
                float crown_light = clamp01(0.5f - 0.35f * rx - 0.55f * ry);
                float depth = smoothstep(0.0f, 0.5f, field + 0.3f * leaves);
                float t = clamp01(0.15f + 0.45f * light + 0.35f * crown_light + 0.25f * sprigs + 0.2f * clumps) *
                          (0.55f + 0.45f * depth);
                c = mix(st.leaf_dark, st.leaf_light, t);
                for (const Blob& k : candles) {
                    float dx = (X - k.x) / (k.r * 0.45f), dy = (Y - k.y) / (k.r * 1.6f);
                    // An upright cone: tip at dy = -1, base at dy = 1.
                    if (dy > -1.0f && dy < 1.0f && std::fabs(dx) < (dy + 1.0f) * 0.5f)
                        c = mix(rgb(0.95f, 0.92f, 0.82f), rgb(0.92f, 0.72f, 0.70f), clamp01(0.5f + sprigs));
                }
            }
            bool solid = leaf || wood;
            if (!solid) c = st.leaf_dark;
            c.a = solid ? 1.0f : 0.0f;
            put_pixel(img, x, y, c);
        }
    }
    return img;
}

}  // namespace

Image make_tree_chestnut()
{
    TreeStyle st{401, 128, 148, 124, 140, 60, 26, 36, 22, 210, 6,
                 rgb(0.08f, 0.22f, 0.06f), rgb(0.42f, 0.66f, 0.20f), true};
    return make_broadleaf(st);
}

Image make_oak()
{
    TreeStyle st{421, 128, 140, 124, 128, 60, 24, 40, 30, 200, 8,
                 rgb(0.10f, 0.18f, 0.05f), rgb(0.46f, 0.56f, 0.20f), false};
    return make_broadleaf(st);
}

Image make_tree_random()
{
    // A fir: stacked drooping tiers of branches around a thin trunk.
    Image img = make_image(kSize, kSize, 4);
    const float top = 14.0f, base = 345.0f, cx = kSize / 2.0f;
    const int tiers = 7;
    const Color dark = rgb(0.05f, 0.17f, 0.08f), light = rgb(0.22f, 0.42f, 0.18f);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            float X = x + 0.5f, Y = (y + 0.5f) / kSqueeze;
            float dx = X - cx;
            Color c = dark;
            bool solid = false;
            // Trunk.
            if (Y > 250.0f && std::fabs(dx) < 7.0f - (kVirtualH - Y) * 0.01f) {
                c = mix(rgb(0.42f, 0.28f, 0.18f), rgb(0.20f, 0.12f, 0.07f), clamp01(0.5f + dx / 8.0f));
                c = scale_rgb(c, 1.0f + 0.2f * fbm3(X * 0.5f, Y * 0.1f, 1.0f, 2, 431));
                solid = true;
            }
            if (Y > top && Y < base) {
                float h = (Y - top) / (base - top);           // 0 at the tip, 1 at the lowest tier
                float tier = h * tiers;
                float in_tier = tier - std::floor(tier);      // 0 at a tier's top, 1 at its fringe
                float width = (12.0f + 110.0f * h) * (0.55f + 0.45f * in_tier);
                float ragged = 14.0f * fbm3(X * 0.12f, Y * 0.12f, 3.0f, 3, 432);
                if (std::fabs(dx) < width + ragged && x >= 2 && x < kSize - 2 && y >= 2) {
                    float side = clamp01(0.55f - dx / (width + 1.0f) * 0.45f);
                    float t = clamp01(side * (0.5f + 0.6f * in_tier) + 0.25f * fbm3(X * 0.2f, Y * 0.2f, 5.0f, 2, 433));
                    c = mix(dark, light, t);
                    // Snowless fir: bright needle tips along the drooping fringe.
                    if (in_tier > 0.85f) c = scale_rgb(c, 1.15f);
                    solid = true;
                }
            }
            c.a = solid ? 1.0f : 0.0f;
            put_pixel(img, x, y, c);
        }
    }
    return img;
}

Image make_flame()
{
    // A soft tongue of fire, white-yellow in the core, transparent at the border.
    const int n = 64;
    Image img = make_image(n, n, 4);
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            float u = (x + 0.5f) / n - 0.5f, v = (y + 0.5f) / n - 0.58f;  // v < 0 is upwards
            float flick = 0.06f * fbm3(u * 6.0f, v * 4.0f, 0.7f, 3, 441);
            float sx = u / (0.30f + 0.25f * clamp01(v + 0.5f)) + flick;
            float sy = v < 0 ? v / 0.52f : v / 0.34f;
            float d = std::sqrt(sx * sx + sy * sy);
            float a = smoothstep(1.0f, 0.25f, d);
            float ex = std::min(std::min(x, n - 1 - x), std::min(y, n - 1 - y));
            if (ex < 1) a = 0;
            Color c = mix(rgb(1.0f, 0.55f, 0.15f), rgb(1.0f, 0.97f, 0.80f), smoothstep(0.9f, 0.2f, d));
            c.a = a;
            put_pixel(img, x, y, c);
        }
    }
    return img;
}
