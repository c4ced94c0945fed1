// The sky box faces, the cloud sprites and the menu backgrounds.
//
// Every sky box texel is coloured from the direction in which it is seen, so
// two faces that meet show exactly the same colours along their common edge.
#include <cairo.h>

#include <cmath>
#include <vector>

#include "noise.h"
#include "textures.h"

namespace {

const uint32_t kSkySeed = 301;

// Colour of the sky seen along the unit direction (dx, dy, dz); y is up.
Color sky_color(float dx, float dy, float dz)
{
    const Color haze = rgb(0.80f, 0.86f, 0.92f);
    const Color mid = rgb(0.55f, 0.70f, 0.91f);
    const Color zenith = rgb(0.27f, 0.45f, 0.82f);
    float e = dy;
    Color c = mix(haze, mid, smoothstep(0.0f, 0.35f, e));
    c = mix(c, zenith, smoothstep(0.3f, 1.0f, e));
    if (e < 0.0f) c = mix(haze, rgb(0.70f, 0.76f, 0.82f), smoothstep(0.0f, -0.2f, e));
    // The noon sun stands overhead: a soft glow around the zenith.
    c = mix(c, rgb(1.0f, 0.98f, 0.92f), 0.3f * std::pow(clamp01(e), 60.0f));
    if (e > 0.005f) {
        // Clouds on a flat layer above the island: perspective makes them
        // smaller and flatter towards the horizon, where they fade into haze.
        float k = 2.6f / (e + 0.06f);
        float px = dx * k, pz = dz * k;
        float n = fbm3(px, pz, 0.37f, 6, kSkySeed);
        float cover = smoothstep(0.02f, 0.38f, n + 0.06f) * smoothstep(0.01f, 0.22f, e);
        float under = fbm3(px + 3.1f, pz - 1.7f, 4.2f, 3, kSkySeed + 1);
        float thick = clamp01((n - 0.05f) * 2.2f);
        Color white = rgb(0.99f, 0.99f, 1.0f);
        Color grey = rgb(0.70f, 0.74f, 0.82f);
        Color cloud = mix(white, grey, clamp01(0.55f * thick + 0.35f * under));
        c = mix(c, cloud, 0.92f * cover);
    }
    return c;
}

// Point of the unit sky box (x, z in [-1.01, 1.01], y in [0, 1.01]) that a
// face shows at texture coordinates (s, t), as the box is drawn: t = 0 at
// the top edge of the side faces.
void face_point(SkyFace face, float s, float t, float& x, float& y, float& z)
{
    const float e = 1.01f;
    switch (face) {
    case SkyFace::back:  x = e - 2 * e * s; y = e * (1 - t); z = e; break;
    case SkyFace::front: x = -e + 2 * e * s; y = e * (1 - t); z = -e; break;
    case SkyFace::left:  x = e; y = e * (1 - t); z = -e + 2 * e * s; break;
    case SkyFace::right: x = -e; y = e * (1 - t); z = e - 2 * e * s; break;
    case SkyFace::top:   x = -e + 2 * e * s; y = e; z = e - 2 * e * t; break;
    }
}

}  // namespace

Image make_sky_face(SkyFace face, int size)
{
    // Texels at s, t = i / (size - 1) put the first and last texel exactly on
    // the box edges, so faces that meet share identical edge texels.
    Image img = make_image(size, size, 3);
    for (int r = 0; r < size; ++r) {
        for (int c = 0; c < size; ++c) {
            float s = static_cast<float>(c) / (size - 1), t = static_cast<float>(r) / (size - 1);
            float x = 0, y = 0, z = 0;
            face_point(face, s, t, x, y, z);
            // The box is scaled by (1000, 840, 1000) around the viewer.
            float wx = x * 1000.0f, wy = y * 840.0f, wz = z * 1000.0f;
            float len = std::sqrt(wx * wx + wy * wy + wz * wz);
            put_pixel(img, c, r, sky_color(wx / len, wy / len, wz / len));
        }
    }
    return img;
}

Image make_cloud(int variant)
{
    // A white cloud filling most of the square and fading to full
    // transparency before its border. Variant 0 is a round heap, variant 1 a
    // long streaky bank.
    const int n = 256;
    Image img = make_image(n, n, 4);
    uint32_t seed = 311 + variant;
    HashRng rng(seed);
    struct Blob { float x, y, r; };
    std::vector<Blob> blobs;
    for (int i = 0; i < 11; ++i) {
        float a = rng.range(0.0f, 6.2831853f), d = rng.range(0.0f, 0.26f);
        blobs.push_back({0.5f + d * std::cos(a), 0.5f + d * std::sin(a), rng.range(0.11f, 0.21f)});
    }
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            float u = (x + 0.5f) / n, v = (y + 0.5f) / n;
            float field = 0, detail = 0;
            if (variant == 0) {
                for (const Blob& b : blobs) {
                    float dx = u - b.x, dy = v - b.y;
                    field = std::max(field, 1.0f - std::sqrt(dx * dx + dy * dy) / b.r);
                }
                detail = fbm3(u * 7.0f, v * 7.0f, 0.5f, 5, seed);
            } else {
                float dx = (u - 0.5f) / 0.44f, dy = (v - 0.5f) / 0.30f;
                field = 1.0f - std::sqrt(dx * dx + dy * dy);
                detail = fbm3(u * 4.0f, v * 11.0f, 0.5f, 5, seed);
            }
            float dens = field * 1.3f + 0.5f * detail;
            // Nothing reaches the border of the square.
            float edge = std::min(std::min(u, 1 - u), std::min(v, 1 - v));
            dens *= smoothstep(0.01f, 0.1f, edge);
            float a = smoothstep(0.05f, 0.55f, dens);
            float shade = clamp01(0.55f + 0.6f * fbm3(u * 4.0f + 9.0f, v * 4.0f, 1.5f, 3, seed + 5));
            Color c = mix(rgb(0.80f, 0.82f, 0.88f), rgb(1.0f, 1.0f, 1.0f), shade);
            c.a = a;
            put_pixel(img, x, y, c);
        }
    }
    return img;
}

Image make_sky_menu()
{
    // The menu picture: a bright sky with the island city beyond the sea.
    // Row 0 is the top of the screen; the title is written in black near the top.
    const int w = 512, h = 512;
    const float horizon = 0.64f * h;
    Image sky = make_image(w, h, 4);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            float v = y / horizon, u = static_cast<float>(x) / w;
            Color c = mix(rgb(0.68f, 0.80f, 0.95f), rgb(0.98f, 0.93f, 0.82f), smoothstep(0.0f, 1.0f, v));
            float n = fbm3(u * 5.0f, v * 9.0f / (0.4f + v), 2.0f, 6, 321);
            float cover = smoothstep(0.05f, 0.45f, n) * smoothstep(1.0f, 0.55f, v);
            c = mix(c, rgb(1.0f, 1.0f, 1.0f), 0.85f * cover);
            if (y >= horizon) {
                float d = (y - horizon) / (h - horizon);
                c = mix(rgb(0.36f, 0.55f, 0.72f), rgb(0.12f, 0.30f, 0.48f), d);
                float glint = std::pow(clamp01(0.5f + 0.5f * fbm3(u * 40.0f, d * 12.0f, 3.0f, 3, 322)), 6.0f);
                c = mix(c, rgb(0.95f, 0.95f, 0.9f), 0.6f * glint);
            }
            c.a = 1.0f;
            put_pixel(sky, x, y, c);
        }
    }
    Image out = paint_over(sky, 3, [&](cairo_t* cr) {
        // Distant island ridge.
        cairo_set_source_rgb(cr, 0.42, 0.52, 0.50);
        cairo_move_to(cr, 150, horizon + 2);
        cairo_curve_to(cr, 200, horizon - 30, 260, horizon - 48, 330, horizon - 44);
        cairo_curve_to(cr, 390, horizon - 40, 440, horizon - 20, 500, horizon + 2);
        cairo_close_path(cr);
        cairo_fill(cr);
        // The walled city on the ridge: curtain wall, towers with battlements, a keep.
        cairo_set_source_rgb(cr, 0.33, 0.37, 0.42);
        double wall_top = horizon - 58;
        cairo_rectangle(cr, 235, wall_top, 190, 26);
        cairo_fill(cr);
        for (int i = 0; i < 9; ++i) {  // merlons
            cairo_rectangle(cr, 238 + i * 21, wall_top - 6, 10, 6);
        }
        cairo_fill(cr);
        double towers[4] = {228, 290, 362, 420};
        for (double tx : towers) {
            cairo_rectangle(cr, tx, wall_top - 26, 20, 52);
            cairo_fill(cr);
            for (int m = 0; m < 3; ++m) cairo_rectangle(cr, tx - 2 + m * 9, wall_top - 32, 6, 6);
            cairo_fill(cr);
        }
        cairo_rectangle(cr, 315, wall_top - 52, 30, 52);  // keep
        cairo_fill(cr);
        cairo_move_to(cr, 311, wall_top - 52);
        cairo_line_to(cr, 330, wall_top - 80);
        cairo_line_to(cr, 349, wall_top - 52);
        cairo_close_path(cr);
        cairo_fill(cr);
        cairo_set_source_rgb(cr, 0.2, 0.22, 0.26);  // gate
        cairo_arc(cr, 330, wall_top + 26, 9, 3.14159, 0);
        cairo_fill(cr);
        // Foreground meadow at the lower left, where the menu catapult stands.
        cairo_pattern_t* grass = cairo_pattern_create_linear(0, horizon, 0, h);
        cairo_pattern_add_color_stop_rgb(grass, 0, 0.45, 0.60, 0.28);
        cairo_pattern_add_color_stop_rgb(grass, 1, 0.25, 0.42, 0.16);
        cairo_set_source(cr, grass);
        cairo_move_to(cr, 0, horizon + 40);
        cairo_curve_to(cr, 120, horizon + 20, 220, horizon + 60, 300, h);
        cairo_line_to(cr, 0, h);
        cairo_close_path(cr);
        cairo_fill(cr);
        cairo_pattern_destroy(grass);
    });
    // Grass texture over the meadow.
    for (int y = static_cast<int>(horizon); y < h; ++y)
        for (int x = 0; x < w; ++x) {
            Color c = get_pixel(out, x, y);
            if (c.g > c.b + 0.08f) put_pixel(out, x, y, scale_rgb(c, 1.0f + 0.12f * fbm3(x * 0.3f, y * 0.08f, 7.0f, 3, 323)));
        }
    return out;
}

Image make_sky_button()
{
    // A deep blue evening sky behind the white button labels, with a bevel.
    const int w = 256, h = 64;
    Image img = make_image(w, h, 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            float u = static_cast<float>(x) / w, v = static_cast<float>(y) / h;
            Color c = mix(rgb(0.10f, 0.18f, 0.42f), rgb(0.20f, 0.36f, 0.66f), v);
            float n = fbm3(u * 6.0f, v * 2.0f, 0.8f, 5, 331);
            c = mix(c, rgb(0.55f, 0.62f, 0.80f), 0.45f * smoothstep(0.1f, 0.5f, n));
            int edge = std::min(std::min(x, w - 1 - x), std::min(y, h - 1 - y));
            if (edge < 3) {
                bool lit = (y <= x && y < h / 2) || (x < 3 && x <= y);
                c = lit ? mix(c, rgb(0.85f, 0.90f, 1.0f), 0.6f) : scale_rgb(c, 0.45f);
            }
            put_pixel(img, x, y, c);
        }
    }
    return img;
}
