// Pictograms for the command bar, the spell and summon buttons, and a few
// small pictures (aiming cross, catapult wheel, house front), drawn with
// Cairo in a 128 x 128 space with y pointing down.
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <vector>

#include "noise.h"
#include "textures.h"

namespace {

const int kIcon = 128;
const double kPi = 3.14159265358979;

void set_rgb(cairo_t* cr, const Color& c) { cairo_set_source_rgb(cr, c.r, c.g, c.b); }

// Button face: a radial gradient in the button's colour inside a bronze frame.
void background(cairo_t* cr, const Color& inner, const Color& outer)
{
    cairo_pattern_t* p = cairo_pattern_create_radial(64, 54, 8, 64, 64, 92);
    cairo_pattern_add_color_stop_rgb(p, 0, inner.r, inner.g, inner.b);
    cairo_pattern_add_color_stop_rgb(p, 1, outer.r, outer.g, outer.b);
    cairo_set_source(cr, p);
    cairo_paint(cr);
    cairo_pattern_destroy(p);
    cairo_set_line_width(cr, 6);
    cairo_set_source_rgb(cr, 0.62, 0.47, 0.20);
    cairo_rectangle(cr, 3, 3, 122, 122);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 2);
    cairo_set_source_rgb(cr, 0.92, 0.80, 0.45);
    cairo_move_to(cr, 1, 127);
    cairo_line_to(cr, 1, 1);
    cairo_line_to(cr, 127, 1);
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0.25, 0.16, 0.05);
    cairo_move_to(cr, 127, 1);
    cairo_line_to(cr, 127, 127);
    cairo_line_to(cr, 1, 127);
    cairo_stroke(cr);
}

// Fill the current path with a colour and outline it dark, keeping the path.
void fill_outline(cairo_t* cr, const Color& fill, double line = 2.5)
{
    set_rgb(cr, fill);
    cairo_fill_preserve(cr);
    cairo_set_source_rgba(cr, 0.05, 0.04, 0.03, 0.9);
    cairo_set_line_width(cr, line);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr);
}

// A limb or body part as a round-capped thick line with a dark rim.
void limb(cairo_t* cr, double x0, double y0, double x1, double y1, double w, const Color& c)
{
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_source_rgba(cr, 0.05, 0.04, 0.03, 0.9);
    cairo_set_line_width(cr, w + 4);
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    cairo_stroke(cr);
    set_rgb(cr, c);
    cairo_set_line_width(cr, w);
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    cairo_stroke(cr);
}

void circle(cairo_t* cr, double x, double y, double r)
{
    cairo_new_sub_path(cr);
    cairo_arc(cr, x, y, r, 0, 2 * kPi);
}

// A standing man seen from the front, feet at (x, y), h tall.
void standing_figure(cairo_t* cr, double x, double y, double h, const Color& c)
{
    double s = h / 100.0;
    limb(cr, x, y - 58 * s, x - 12 * s, y, 11 * s, c);      // legs
    limb(cr, x, y - 58 * s, x + 12 * s, y, 11 * s, c);
    limb(cr, x, y - 85 * s, x - 22 * s, y - 52 * s, 9 * s, c);  // arms
    limb(cr, x, y - 85 * s, x + 22 * s, y - 52 * s, 9 * s, c);
    limb(cr, x, y - 85 * s, x, y - 55 * s, 20 * s, c);     // body
    circle(cr, x, y - 94 * s, 10 * s);                      // head
    fill_outline(cr, c, 2.0);
}

void arrow(cairo_t* cr, double x, double y, double len, double angle, double w, const Color& c)
{
    // Arrow from (x, y) pointing along angle (radians, y down), total length len.
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, angle);
    double head = w * 2.2;
    cairo_move_to(cr, 0, -w / 2);
    cairo_line_to(cr, len - head, -w / 2);
    cairo_line_to(cr, len - head, -w * 1.3);
    cairo_line_to(cr, len, 0);
    cairo_line_to(cr, len - head, w * 1.3);
    cairo_line_to(cr, len - head, w / 2);
    cairo_line_to(cr, 0, w / 2);
    cairo_close_path(cr);
    cairo_restore(cr);
    fill_outline(cr, c, 3.0);
}

void sword(cairo_t* cr, double x, double y, double angle, double scale)
{
    // Pommel at (x, y); the blade points along angle.
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, angle);
    cairo_scale(cr, scale, scale);
    // Blade.
    cairo_move_to(cr, 30, -6);
    cairo_line_to(cr, 118, -6);
    cairo_line_to(cr, 134, 0);
    cairo_line_to(cr, 118, 6);
    cairo_line_to(cr, 30, 6);
    cairo_close_path(cr);
    cairo_pattern_t* p = cairo_pattern_create_linear(0, -6, 0, 6);
    cairo_pattern_add_color_stop_rgb(p, 0, 0.98, 0.98, 1.0);
    cairo_pattern_add_color_stop_rgb(p, 0.5, 0.80, 0.82, 0.88);
    cairo_pattern_add_color_stop_rgb(p, 1, 0.50, 0.52, 0.58);
    cairo_set_source(cr, p);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(p);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.12);
    cairo_set_line_width(cr, 2.5);
    cairo_stroke(cr);
    cairo_set_source_rgba(cr, 0.4, 0.42, 0.5, 0.8);  // fuller
    cairo_set_line_width(cr, 1.5);
    cairo_move_to(cr, 34, 0);
    cairo_line_to(cr, 110, 0);
    cairo_stroke(cr);
    // Cross guard, grip, pommel.
    cairo_rectangle(cr, 24, -20, 8, 40);
    fill_outline(cr, rgb(0.95f, 0.75f, 0.25f), 2.5);
    cairo_rectangle(cr, 6, -4.5, 18, 9);
    fill_outline(cr, rgb(0.45f, 0.25f, 0.12f), 2.5);
    circle(cr, 4, 0, 7);
    fill_outline(cr, rgb(0.95f, 0.75f, 0.25f), 2.5);
    cairo_restore(cr);
}

void spoked_wheel(cairo_t* cr, double x, double y, double r, int spokes)
{
    circle(cr, x, y, r);
    cairo_set_source_rgb(cr, 0.10, 0.07, 0.04);
    cairo_set_line_width(cr, r * 0.32 + 2);
    cairo_stroke(cr);
    circle(cr, x, y, r);
    cairo_set_source_rgb(cr, 0.55, 0.38, 0.20);
    cairo_set_line_width(cr, r * 0.32);
    cairo_stroke(cr);
    cairo_set_line_width(cr, std::max(2.0, r * 0.14));
    cairo_set_source_rgb(cr, 0.45, 0.30, 0.16);
    for (int i = 0; i < spokes; ++i) {
        double a = i * 2 * kPi / spokes;
        cairo_move_to(cr, x, y);
        cairo_line_to(cr, x + r * std::cos(a), y + r * std::sin(a));
    }
    cairo_stroke(cr);
    circle(cr, x, y, r * 0.22);
    fill_outline(cr, rgb(0.35f, 0.35f, 0.38f), 1.5);
}

// Side view of a catapult standing on ground line y, centred on x.
void catapult(cairo_t* cr, double x, double y, double s)
{
    const Color wood = rgb(0.62f, 0.42f, 0.22f);
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_scale(cr, s, s);
    // Throwing arm, cocked back, with the ball in its cup.
    limb(cr, -10, -34, 34, -74, 6, wood);
    circle(cr, 37, -80, 9);
    fill_outline(cr, rgb(0.45f, 0.30f, 0.16f), 2.0);
    circle(cr, 37, -84, 7);
    fill_outline(cr, rgb(0.55f, 0.55f, 0.58f), 2.0);
    // Frame: base beam, uprights, brace.
    cairo_rectangle(cr, -46, -24, 92, 9);
    fill_outline(cr, wood, 2.5);
    limb(cr, -16, -20, -10, -46, 6, wood);
    limb(cr, 10, -20, -10, -46, 6, wood);
    cairo_rectangle(cr, -16, -50, 12, 8);
    fill_outline(cr, rgb(0.35f, 0.35f, 0.38f), 2.0);
    cairo_restore(cr);
    spoked_wheel(cr, x - 30 * s, y - 12 * s, 12 * s, 6);
    spoked_wheel(cr, x + 30 * s, y - 12 * s, 12 * s, 6);
}

// Side view of a winged dragon facing left; (x, y) is the middle of its body.
void dragon(cairo_t* cr, double x, double y, double s, const Color& body)
{
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_scale(cr, s, s);
    Color dark = scale_rgb(body, 0.6f);
    // Far wing.
    cairo_move_to(cr, 2, -6);
    cairo_line_to(cr, 22, -52);
    cairo_curve_to(cr, 30, -44, 34, -36, 40, -30);
    cairo_curve_to(cr, 32, -24, 26, -20, 18, -10);
    cairo_close_path(cr);
    fill_outline(cr, dark, 2.0);
    // Tail with a spade tip.
    cairo_move_to(cr, 22, 2);
    cairo_curve_to(cr, 44, 0, 50, 22, 62, 14);
    cairo_curve_to(cr, 52, 28, 40, 12, 20, 10);
    cairo_close_path(cr);
    fill_outline(cr, body, 2.0);
    cairo_move_to(cr, 58, 12);
    cairo_line_to(cr, 70, 6);
    cairo_line_to(cr, 66, 20);
    cairo_close_path(cr);
    fill_outline(cr, body, 2.0);
    // Legs.
    limb(cr, -12, 6, -16, 22, 6, body);
    limb(cr, 14, 6, 16, 22, 6, body);
    // Body.
    cairo_save(cr);
    cairo_scale(cr, 1.0, 0.55);
    circle(cr, 2, 2, 26);
    cairo_restore(cr);
    fill_outline(cr, body, 2.5);
    // Neck and head.
    cairo_move_to(cr, -18, -4);
    cairo_curve_to(cr, -30, -14, -26, -30, -36, -38);
    cairo_line_to(cr, -28, -44);
    cairo_curve_to(cr, -18, -34, -16, -20, -8, -10);
    cairo_close_path(cr);
    fill_outline(cr, body, 2.5);
    cairo_move_to(cr, -26, -46);
    cairo_line_to(cr, -50, -40);   // snout
    cairo_line_to(cr, -52, -35);
    cairo_line_to(cr, -38, -33);
    cairo_line_to(cr, -30, -34);
    cairo_close_path(cr);
    fill_outline(cr, body, 2.5);
    cairo_move_to(cr, -28, -46);   // horns
    cairo_line_to(cr, -18, -58);
    cairo_line_to(cr, -24, -44);
    cairo_close_path(cr);
    fill_outline(cr, rgb(0.95f, 0.90f, 0.75f), 1.5);
    circle(cr, -36, -41, 2.2);     // eye
    cairo_set_source_rgb(cr, 1.0, 0.9, 0.2);
    cairo_fill(cr);
    // Near wing, a bat wing with ribs.
    cairo_move_to(cr, -4, -8);
    cairo_line_to(cr, 6, -62);
    cairo_line_to(cr, 44, -46);
    cairo_curve_to(cr, 34, -40, 32, -32, 36, -24);
    cairo_curve_to(cr, 24, -26, 18, -18, 16, -10);
    cairo_close_path(cr);
    fill_outline(cr, scale_rgb(body, 1.15f), 2.5);
    cairo_set_source_rgba(cr, 0.1, 0.05, 0.05, 0.8);
    cairo_set_line_width(cr, 1.5);
    cairo_move_to(cr, 6, -62);
    cairo_line_to(cr, 34, -30);
    cairo_move_to(cr, 6, -62);
    cairo_line_to(cr, 18, -14);
    cairo_stroke(cr);
    cairo_restore(cr);
}

// A portcullis in a stone arch.
void gate(cairo_t* cr, double drop)
{
    cairo_rectangle(cr, 18, 14, 92, 100);
    fill_outline(cr, rgb(0.55f, 0.53f, 0.50f), 2.5);
    cairo_move_to(cr, 34, 114);
    cairo_line_to(cr, 34, 50);
    cairo_arc(cr, 64, 50, 30, kPi, 2 * kPi);
    cairo_line_to(cr, 94, 114);
    cairo_close_path(cr);
    fill_outline(cr, rgb(0.10f, 0.09f, 0.10f), 2.5);
    cairo_save(cr);
    cairo_move_to(cr, 34, 114);
    cairo_line_to(cr, 34, 50);
    cairo_arc(cr, 64, 50, 30, kPi, 2 * kPi);
    cairo_line_to(cr, 94, 114);
    cairo_close_path(cr);
    cairo_clip(cr);
    cairo_set_source_rgb(cr, 0.60, 0.60, 0.64);
    cairo_set_line_width(cr, 4);
    for (int i = 0; i < 5; ++i) {
        double gx = 40 + i * 12;
        cairo_move_to(cr, gx, 10);
        cairo_line_to(cr, gx, drop);
        cairo_line_to(cr, gx - 2, drop + 6);
    }
    for (double gy = drop - 10; gy > 10; gy -= 14) {
        cairo_move_to(cr, 34, gy);
        cairo_line_to(cr, 94, gy);
    }
    cairo_stroke(cr);
    cairo_restore(cr);
    // Stone joints.
    cairo_set_source_rgba(cr, 0.2, 0.2, 0.2, 0.6);
    cairo_set_line_width(cr, 1.5);
    for (double gy = 30; gy < 114; gy += 16) {
        cairo_move_to(cr, 18, gy);
        cairo_line_to(cr, 34, gy);
        cairo_move_to(cr, 94, gy);
        cairo_line_to(cr, 110, gy);
    }
    cairo_stroke(cr);
}

void selection_brackets(cairo_t* cr, double x0, double y0, double x1, double y1)
{
    cairo_set_line_width(cr, 5);
    cairo_set_source_rgb(cr, 0.3, 1.0, 0.3);
    double l = 16;
    cairo_move_to(cr, x0, y0 + l); cairo_line_to(cr, x0, y0); cairo_line_to(cr, x0 + l, y0);
    cairo_move_to(cr, x1 - l, y0); cairo_line_to(cr, x1, y0); cairo_line_to(cr, x1, y0 + l);
    cairo_move_to(cr, x1, y1 - l); cairo_line_to(cr, x1, y1); cairo_line_to(cr, x1 - l, y1);
    cairo_move_to(cr, x0 + l, y1); cairo_line_to(cr, x0, y1); cairo_line_to(cr, x0, y1 - l);
    cairo_stroke(cr);
}

void flame_tongue(cairo_t* cr, double x, double base, double w, double h)
{
    cairo_move_to(cr, x - w / 2, base);
    cairo_curve_to(cr, x - w / 2, base - h * 0.5, x - w * 0.1, base - h * 0.6, x, base - h);
    cairo_curve_to(cr, x + w * 0.2, base - h * 0.6, x + w / 2, base - h * 0.5, x + w / 2, base);
    cairo_close_path(cr);
}

// --- the pictures -----------------------------------------------------------

void draw_attack(cairo_t* cr)
{
    background(cr, rgb(0.75f, 0.25f, 0.18f), rgb(0.30f, 0.05f, 0.03f));
    sword(cr, 20, 108, -kPi / 4, 0.78);
}

void draw_stop(cairo_t* cr)
{
    background(cr, rgb(0.45f, 0.45f, 0.48f), rgb(0.15f, 0.15f, 0.17f));
    cairo_new_path(cr);
    for (int i = 0; i < 8; ++i) {
        double a = kPi / 8 + i * kPi / 4;
        cairo_line_to(cr, 64 + 50 * std::cos(a), 64 + 50 * std::sin(a));
    }
    cairo_close_path(cr);
    fill_outline(cr, rgb(0.97f, 0.97f, 0.97f), 2.5);
    cairo_new_path(cr);
    for (int i = 0; i < 8; ++i) {
        double a = kPi / 8 + i * kPi / 4;
        cairo_line_to(cr, 64 + 44 * std::cos(a), 64 + 44 * std::sin(a));
    }
    cairo_close_path(cr);
    cairo_set_source_rgb(cr, 0.80, 0.05, 0.05);
    cairo_fill(cr);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 28);
    cairo_text_extents_t ext;
    cairo_text_extents(cr, "STOP", &ext);
    cairo_move_to(cr, 64 - ext.width / 2 - ext.x_bearing, 64 - ext.height / 2 - ext.y_bearing);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_show_text(cr, "STOP");
}

void draw_move(cairo_t* cr)
{
    background(cr, rgb(0.35f, 0.70f, 0.30f), rgb(0.08f, 0.28f, 0.06f));
    // Footprints walking towards the arrow.
    for (int i = 0; i < 3; ++i) {
        double fx = 22 + i * 20, fy = (i % 2) ? 98 : 110;
        cairo_save(cr);
        cairo_translate(cr, fx, fy);
        cairo_rotate(cr, kPi / 2);
        cairo_scale(cr, 1.0, 0.6);
        circle(cr, 0, 0, 7);
        cairo_restore(cr);
        cairo_set_source_rgba(cr, 0.05, 0.15, 0.03, 0.7);
        cairo_fill(cr);
    }
    arrow(cr, 16, 52, 98, 0.0, 18, rgb(1.0f, 1.0f, 0.95f));
}

void draw_pray(cairo_t* cr)
{
    background(cr, rgb(0.35f, 0.45f, 0.85f), rgb(0.08f, 0.10f, 0.35f));
    // Rays from the heavens in the upper right.
    cairo_set_source_rgba(cr, 1.0, 0.92, 0.5, 0.55);
    for (int i = 0; i < 7; ++i) {
        double a = kPi * 0.55 + i * 0.14;
        cairo_move_to(cr, 118, 10);
        cairo_line_to(cr, 118 + 160 * std::cos(a - 0.04), 10 + 160 * std::sin(a - 0.04));
        cairo_line_to(cr, 118 + 160 * std::cos(a + 0.04), 10 + 160 * std::sin(a + 0.04));
        cairo_close_path(cr);
    }
    cairo_fill(cr);
    circle(cr, 112, 16, 14);
    cairo_set_source_rgb(cr, 1.0, 0.95, 0.6);
    cairo_fill(cr);
    // A figure kneeling upright, seen from the side and facing the light,
    // hands raised and joined.
    const Color c = rgb(0.97f, 0.93f, 0.85f);
    limb(cr, 58, 110, 24, 112, 11, c);   // shin on the ground, foot behind
    limb(cr, 58, 110, 56, 82, 12, c);    // thigh, upright above the knee
    limb(cr, 56, 84, 60, 52, 16, c);     // body
    limb(cr, 60, 58, 80, 46, 8, c);      // upper arm reaching up and forward
    limb(cr, 80, 46, 86, 28, 8, c);      // forearm, hands together
    circle(cr, 64, 38, 10);              // head, tilted up
    fill_outline(cr, c, 2.0);
}

void draw_lightning(cairo_t* cr)
{
    background(cr, rgb(0.35f, 0.38f, 0.50f), rgb(0.08f, 0.08f, 0.15f));
    // Storm cloud.
    circle(cr, 40, 34, 18);
    circle(cr, 64, 26, 22);
    circle(cr, 88, 34, 18);
    circle(cr, 64, 42, 20);
    cairo_set_source_rgb(cr, 0.55, 0.57, 0.62);
    cairo_fill(cr);
    // Bolt.
    cairo_move_to(cr, 66, 40);
    cairo_line_to(cr, 46, 78);
    cairo_line_to(cr, 62, 78);
    cairo_line_to(cr, 48, 118);
    cairo_line_to(cr, 86, 66);
    cairo_line_to(cr, 68, 66);
    cairo_line_to(cr, 82, 40);
    cairo_close_path(cr);
    fill_outline(cr, rgb(1.0f, 0.92f, 0.2f), 3.0);
}

void draw_firestorm(cairo_t* cr)
{
    background(cr, rgb(0.55f, 0.18f, 0.08f), rgb(0.18f, 0.03f, 0.02f));
    // Falling meteors with fiery tails.
    double m[3][3] = {{40, 40, 10}, {82, 30, 8}, {96, 66, 7}};
    for (auto& mm : m) {
        cairo_pattern_t* p = cairo_pattern_create_linear(mm[0], mm[1], mm[0] - 40, mm[1] - 40);
        cairo_pattern_add_color_stop_rgba(p, 0, 1.0, 0.7, 0.1, 1.0);
        cairo_pattern_add_color_stop_rgba(p, 1, 1.0, 0.3, 0.0, 0.0);
        cairo_set_source(cr, p);
        cairo_move_to(cr, mm[0] - mm[2], mm[1] + mm[2] * 0.5);
        cairo_line_to(cr, mm[0] - 40, mm[1] - 40);
        cairo_line_to(cr, mm[0] + mm[2] * 0.5, mm[1] - mm[2]);
        cairo_close_path(cr);
        cairo_fill(cr);
        cairo_pattern_destroy(p);
        circle(cr, mm[0], mm[1], mm[2]);
        fill_outline(cr, rgb(1.0f, 0.9f, 0.5f), 2.0);
    }
    // Flames on the ground.
    double xs[5] = {22, 44, 64, 86, 106};
    double hs[5] = {30, 44, 52, 40, 28};
    for (int i = 0; i < 5; ++i) {
        flame_tongue(cr, xs[i], 120, 26, hs[i]);
        fill_outline(cr, rgb(1.0f, 0.45f, 0.05f), 2.0);
        flame_tongue(cr, xs[i], 120, 12, hs[i] * 0.6);
        set_rgb(cr, rgb(1.0f, 0.9f, 0.3f));
        cairo_fill(cr);
    }
}

void draw_invisibility(cairo_t* cr)
{
    background(cr, rgb(0.55f, 0.35f, 0.75f), rgb(0.15f, 0.05f, 0.28f));
    // A faded figure: translucent body and a dashed outline.
    cairo_push_group(cr);
    standing_figure(cr, 64, 118, 100, rgb(0.9f, 0.9f, 1.0f));
    cairo_pop_group_to_source(cr);
    cairo_paint_with_alpha(cr, 0.35);
    double dash[2] = {6, 5};
    cairo_set_dash(cr, dash, 2, 0);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_set_line_width(cr, 2.5);
    circle(cr, 64, 24, 12);
    cairo_stroke(cr);
    cairo_move_to(cr, 52, 40);
    cairo_line_to(cr, 76, 40);
    cairo_line_to(cr, 90, 70);
    cairo_move_to(cr, 52, 40);
    cairo_line_to(cr, 38, 70);
    cairo_move_to(cr, 54, 42);
    cairo_line_to(cr, 54, 66);
    cairo_line_to(cr, 48, 118);
    cairo_move_to(cr, 74, 42);
    cairo_line_to(cr, 74, 66);
    cairo_line_to(cr, 80, 118);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
    // Sparkles.
    double sp[4][2] = {{24, 30}, {104, 36}, {100, 96}, {28, 92}};
    cairo_set_source_rgb(cr, 1.0, 1.0, 0.8);
    cairo_set_line_width(cr, 2);
    for (auto& p : sp) {
        cairo_move_to(cr, p[0] - 7, p[1]); cairo_line_to(cr, p[0] + 7, p[1]);
        cairo_move_to(cr, p[0], p[1] - 7); cairo_line_to(cr, p[0], p[1] + 7);
    }
    cairo_stroke(cr);
}

void draw_dragon_summon(cairo_t* cr)
{
    background(cr, rgb(0.55f, 0.72f, 0.95f), rgb(0.15f, 0.28f, 0.55f));
    dragon(cr, 66, 76, 1.05, rgb(0.80f, 0.12f, 0.08f));
}

void draw_dragon_dismount(cairo_t* cr)
{
    background(cr, rgb(0.55f, 0.72f, 0.95f), rgb(0.15f, 0.28f, 0.55f));
    dragon(cr, 52, 52, 0.72, rgb(0.80f, 0.12f, 0.08f));
    // The rider jumps off to the ground, which is shown as a strip of grass.
    cairo_rectangle(cr, 6, 112, 116, 10);
    set_rgb(cr, rgb(0.25f, 0.55f, 0.20f));
    cairo_fill(cr);
    arrow(cr, 86, 40, 46, kPi / 2, 10, rgb(1.0f, 0.95f, 0.3f));
    standing_figure(cr, 104, 112, 46, rgb(0.97f, 0.93f, 0.85f));
}

void draw_catapult_summon(cairo_t* cr)
{
    background(cr, rgb(0.80f, 0.65f, 0.40f), rgb(0.35f, 0.22f, 0.08f));
    catapult(cr, 64, 112, 1.1);
}

void draw_select_catas(cairo_t* cr)
{
    background(cr, rgb(0.55f, 0.55f, 0.50f), rgb(0.18f, 0.18f, 0.15f));
    catapult(cr, 64, 104, 0.85);
    selection_brackets(cr, 14, 14, 114, 114);
}

void draw_ram(cairo_t* cr)
{
    background(cr, rgb(0.80f, 0.65f, 0.40f), rgb(0.35f, 0.22f, 0.08f));
    const Color wood = rgb(0.60f, 0.40f, 0.20f);
    // Roof and posts.
    cairo_move_to(cr, 16, 44);
    cairo_line_to(cr, 64, 22);
    cairo_line_to(cr, 112, 44);
    cairo_close_path(cr);
    fill_outline(cr, rgb(0.45f, 0.30f, 0.15f), 2.5);
    limb(cr, 26, 44, 26, 92, 5, wood);
    limb(cr, 102, 44, 102, 92, 5, wood);
    // Ropes and the log with its iron head.
    cairo_set_source_rgb(cr, 0.85, 0.80, 0.60);
    cairo_set_line_width(cr, 2);
    cairo_move_to(cr, 40, 40); cairo_line_to(cr, 46, 64);
    cairo_move_to(cr, 88, 40); cairo_line_to(cr, 94, 64);
    cairo_stroke(cr);
    cairo_rectangle(cr, 14, 62, 96, 16);
    fill_outline(cr, rgb(0.50f, 0.33f, 0.16f), 2.5);
    cairo_move_to(cr, 108, 58);
    cairo_line_to(cr, 124, 70);
    cairo_line_to(cr, 108, 82);
    cairo_close_path(cr);
    fill_outline(cr, rgb(0.55f, 0.56f, 0.60f), 2.5);
    // Cart and wheels.
    cairo_rectangle(cr, 14, 90, 100, 8);
    fill_outline(cr, wood, 2.5);
    spoked_wheel(cr, 34, 106, 13, 6);
    spoked_wheel(cr, 94, 106, 13, 6);
}

void draw_footman(cairo_t* cr)
{
    background(cr, rgb(0.60f, 0.60f, 0.65f), rgb(0.20f, 0.20f, 0.25f));
    const Color skin = rgb(0.95f, 0.80f, 0.65f);
    const Color mail = rgb(0.65f, 0.66f, 0.70f);
    // Spear held upright.
    limb(cr, 96, 120, 96, 22, 4, rgb(0.55f, 0.38f, 0.20f));
    cairo_move_to(cr, 96, 4);
    cairo_line_to(cr, 103, 24);
    cairo_line_to(cr, 89, 24);
    cairo_close_path(cr);
    fill_outline(cr, rgb(0.85f, 0.86f, 0.9f), 2.0);
    // Body.
    limb(cr, 58, 84, 50, 120, 11, mail);
    limb(cr, 70, 84, 78, 120, 11, mail);
    limb(cr, 64, 50, 64, 84, 26, mail);
    limb(cr, 74, 54, 92, 70, 8, mail);
    circle(cr, 64, 34, 12);
    fill_outline(cr, skin, 2.0);
    // Helmet with a nose guard.
    cairo_move_to(cr, 50, 34);
    cairo_arc(cr, 64, 34, 14, kPi, 2 * kPi);
    cairo_close_path(cr);
    fill_outline(cr, rgb(0.70f, 0.72f, 0.78f), 2.0);
    cairo_rectangle(cr, 62, 32, 4, 10);
    fill_outline(cr, rgb(0.70f, 0.72f, 0.78f), 1.0);
    // Kite shield with a cross.
    cairo_move_to(cr, 26, 52);
    cairo_line_to(cr, 60, 52);
    cairo_curve_to(cr, 60, 80, 52, 96, 43, 108);
    cairo_curve_to(cr, 34, 96, 26, 80, 26, 52);
    cairo_close_path(cr);
    fill_outline(cr, rgb(0.15f, 0.30f, 0.75f), 2.5);
    cairo_set_source_rgb(cr, 0.95, 0.85, 0.30);
    cairo_set_line_width(cr, 4);
    cairo_move_to(cr, 43, 56); cairo_line_to(cr, 43, 100);
    cairo_move_to(cr, 30, 70); cairo_line_to(cr, 56, 70);
    cairo_stroke(cr);
}

void draw_ghoul(cairo_t* cr)
{
    background(cr, rgb(0.45f, 0.60f, 0.45f), rgb(0.08f, 0.15f, 0.10f));
    const Color bone = rgb(0.92f, 0.90f, 0.80f);
    // Skull.
    cairo_move_to(cr, 34, 70);
    cairo_curve_to(cr, 20, 30, 46, 14, 64, 14);
    cairo_curve_to(cr, 82, 14, 108, 30, 94, 70);
    cairo_line_to(cr, 86, 84);
    cairo_line_to(cr, 42, 84);
    cairo_close_path(cr);
    fill_outline(cr, bone, 3.0);
    // Jaw.
    cairo_rectangle(cr, 44, 84, 40, 22);
    fill_outline(cr, bone, 3.0);
    // Eye sockets with a green glow, nose, teeth.
    cairo_set_source_rgb(cr, 0.05, 0.05, 0.05);
    circle(cr, 50, 56, 11);
    circle(cr, 78, 56, 11);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.4, 1.0, 0.4);
    circle(cr, 50, 57, 3.5);
    circle(cr, 78, 57, 3.5);
    cairo_fill(cr);
    cairo_move_to(cr, 64, 66);
    cairo_line_to(cr, 58, 78);
    cairo_line_to(cr, 70, 78);
    cairo_close_path(cr);
    cairo_set_source_rgb(cr, 0.05, 0.05, 0.05);
    cairo_fill(cr);
    cairo_set_line_width(cr, 2);
    for (int i = 0; i < 5; ++i) {
        cairo_move_to(cr, 50 + i * 7, 86);
        cairo_line_to(cr, 50 + i * 7, 104);
    }
    cairo_move_to(cr, 44, 95);
    cairo_line_to(cr, 84, 95);
    cairo_stroke(cr);
}

void draw_goblin(cairo_t* cr)
{
    background(cr, rgb(0.75f, 0.60f, 0.35f), rgb(0.30f, 0.18f, 0.06f));
    const Color skin = rgb(0.40f, 0.70f, 0.22f);
    // Big pointed ears.
    cairo_move_to(cr, 36, 52); cairo_line_to(cr, 4, 30); cairo_line_to(cr, 34, 74); cairo_close_path(cr);
    fill_outline(cr, skin, 2.5);
    cairo_move_to(cr, 92, 52); cairo_line_to(cr, 124, 30); cairo_line_to(cr, 94, 74); cairo_close_path(cr);
    fill_outline(cr, skin, 2.5);
    // Head.
    cairo_save(cr);
    cairo_translate(cr, 64, 66);
    cairo_scale(cr, 1.0, 1.15);
    circle(cr, 0, 0, 34);
    cairo_restore(cr);
    fill_outline(cr, skin, 3.0);
    // Yellow slit eyes under a frowning brow.
    cairo_save(cr);
    cairo_translate(cr, 50, 58);
    cairo_scale(cr, 1.0, 0.7);
    circle(cr, 0, 0, 8);
    cairo_restore(cr);
    cairo_save(cr);
    cairo_translate(cr, 78, 58);
    cairo_scale(cr, 1.0, 0.7);
    circle(cr, 0, 0, 8);
    cairo_restore(cr);
    fill_outline(cr, rgb(1.0f, 0.90f, 0.10f), 2.0);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_rectangle(cr, 48.5, 53, 3, 10);
    cairo_rectangle(cr, 76.5, 53, 3, 10);
    cairo_fill(cr);
    cairo_set_line_width(cr, 3);
    cairo_move_to(cr, 38, 44); cairo_line_to(cr, 58, 52);
    cairo_move_to(cr, 90, 44); cairo_line_to(cr, 70, 52);
    cairo_stroke(cr);
    // Long nose and a toothy grin.
    cairo_move_to(cr, 64, 58); cairo_line_to(cr, 58, 78); cairo_line_to(cr, 70, 78); cairo_close_path(cr);
    fill_outline(cr, scale_rgb(skin, 0.85f), 2.0);
    cairo_move_to(cr, 42, 86);
    cairo_curve_to(cr, 54, 100, 74, 100, 86, 86);
    cairo_curve_to(cr, 74, 94, 54, 94, 42, 86);
    cairo_close_path(cr);
    fill_outline(cr, rgb(0.25f, 0.05f, 0.05f), 2.0);
    cairo_set_source_rgb(cr, 1, 1, 0.9);
    for (int i = 0; i < 3; ++i) {
        double tx = 52 + i * 10;
        cairo_move_to(cr, tx, 90); cairo_line_to(cr, tx + 3, 96); cairo_line_to(cr, tx + 6, 91);
        cairo_close_path(cr);
    }
    cairo_fill(cr);
}

void draw_raise_gate(cairo_t* cr)
{
    background(cr, rgb(0.55f, 0.75f, 0.50f), rgb(0.12f, 0.28f, 0.10f));
    gate(cr, 54);
    arrow(cr, 64, 116, 90, -kPi / 2, 14, rgb(0.4f, 1.0f, 0.35f));
}

void draw_lower_gate(cairo_t* cr)
{
    background(cr, rgb(0.80f, 0.45f, 0.40f), rgb(0.30f, 0.06f, 0.05f));
    gate(cr, 112);
    arrow(cr, 64, 12, 90, kPi / 2, 14, rgb(1.0f, 0.45f, 0.35f));
}

const std::map<std::string, std::function<void(cairo_t*)>>& icon_table()
{
    static const std::map<std::string, std::function<void(cairo_t*)>> table = {
        {"attack_button", draw_attack},
        {"stop_button", draw_stop},
        {"move_button", draw_move},
        {"pray_button", draw_pray},
        {"lightning", draw_lightning},
        {"firestorm", draw_firestorm},
        {"invisibility", draw_invisibility},
        {"dragon_summon_button", draw_dragon_summon},
        {"dragon_dismount_button", draw_dragon_dismount},
        {"catapult_summon_button", draw_catapult_summon},
        {"select_catas", draw_select_catas},
        {"ram_button", draw_ram},
        {"footman_button", draw_footman},
        {"ghoul_button", draw_ghoul},
        {"goblin_button", draw_goblin},
        {"raise_gate", draw_raise_gate},
        {"lower_gate", draw_lower_gate},
    };
    return table;
}

}  // namespace

Image make_icon(const std::string& name)
{
    auto it = icon_table().find(name);
    if (it == icon_table().end()) {
        std::fprintf(stderr, "no pictogram named %s\n", name.c_str());
        return Image{};
    }
    return paint_image(kIcon, kIcon, 3, [&](cairo_t* cr) {
        it->second(cr);
    });
}

Image make_crosshairs()
{
    // White marks on transparent ground; the game tints them red.
    const int n = 64;
    Image img = paint_image(n, n, 4, [&](cairo_t* cr) {
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_set_line_width(cr, 3);
        circle(cr, 32, 32, 20);
        cairo_stroke(cr);
        cairo_set_line_width(cr, 3);
        cairo_move_to(cr, 32, 4); cairo_line_to(cr, 32, 22);
        cairo_move_to(cr, 32, 42); cairo_line_to(cr, 32, 60);
        cairo_move_to(cr, 4, 32); cairo_line_to(cr, 22, 32);
        cairo_move_to(cr, 42, 32); cairo_line_to(cr, 60, 32);
        cairo_stroke(cr);
        circle(cr, 32, 32, 2.5);
        cairo_fill(cr);
    });
    // Transparent texels stay white so filtering never darkens the marks.
    for (size_t k = 0; k < img.pixels.size(); k += 4) img.pixels[k] = img.pixels[k + 1] = img.pixels[k + 2] = 255;
    return img;
}

Image make_wheel()
{
    // A wooden cart wheel filling the square: iron tyre, rim, eight spokes, hub.
    const int n = 128;
    Image wood = make_image(n, n, 3);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            float g = tile_fbm(static_cast<float>(x) / n, static_cast<float>(y) / n, 2, 16, 3, 501);
            put_pixel(wood, x, y, scale_rgb(rgb(0.55f, 0.37f, 0.20f), 0.9f + 0.25f * g));
        }
    return paint_over(wood, 3, [&](cairo_t* cr) {
        double c = n / 2.0;
        cairo_set_source_rgba(cr, 0.12, 0.08, 0.04, 0.85);  // gaps between the spokes
        circle(cr, c, c, 50);
        cairo_fill(cr);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        for (int i = 0; i < 8; ++i) {
            double a = i * kPi / 4;
            limb(cr, c, c, c + 52 * std::cos(a), c + 52 * std::sin(a), 9, rgb(0.62f, 0.43f, 0.24f));
        }
        circle(cr, c, c, 55);
        cairo_set_line_width(cr, 12);
        cairo_set_source_rgb(cr, 0.50, 0.33, 0.17);
        cairo_stroke(cr);
        circle(cr, c, c, 62);
        cairo_set_line_width(cr, 4);
        cairo_set_source_rgb(cr, 0.30, 0.30, 0.33);
        cairo_stroke(cr);
        circle(cr, c, c, 13);
        fill_outline(cr, rgb(0.45f, 0.45f, 0.48f), 2.5);
        circle(cr, c, c, 4);
        cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
        cairo_fill(cr);
    });
}

Image make_house()
{
    // A house front: plastered wall, tiled roof, door and windows.
    const int n = 128;
    return paint_image(n, n, 3, [&](cairo_t* cr) {
        cairo_set_source_rgb(cr, 0.62, 0.78, 0.95);
        cairo_paint(cr);
        cairo_rectangle(cr, 14, 54, 100, 74);
        fill_outline(cr, rgb(0.90f, 0.84f, 0.70f), 2.0);
        cairo_move_to(cr, 4, 58);
        cairo_line_to(cr, 64, 12);
        cairo_line_to(cr, 124, 58);
        cairo_close_path(cr);
        fill_outline(cr, rgb(0.70f, 0.28f, 0.18f), 2.0);
        cairo_set_source_rgba(cr, 0.3, 0.1, 0.05, 0.6);
        cairo_set_line_width(cr, 1.5);
        for (int i = 1; i < 5; ++i) {
            double y = 12 + i * 9.2;
            double half = (y - 12) * 60.0 / 46.0;
            cairo_move_to(cr, 64 - half, y);
            cairo_line_to(cr, 64 + half, y);
        }
        cairo_stroke(cr);
        cairo_rectangle(cr, 54, 88, 20, 40);
        fill_outline(cr, rgb(0.45f, 0.28f, 0.14f), 2.0);
        for (double wx : {24.0, 86.0}) {
            cairo_rectangle(cr, wx, 72, 18, 18);
            fill_outline(cr, rgb(0.25f, 0.35f, 0.50f), 2.0);
            cairo_move_to(cr, wx + 9, 72); cairo_line_to(cr, wx + 9, 90);
            cairo_move_to(cr, wx, 81); cairo_line_to(cr, wx + 18, 81);
            cairo_stroke(cr);
        }
    });
}

void draw_game_icon(cairo_t* cr)
{
    // The badge: a rounded square of evening sky over the sea.
    auto badge = [cr] {
        const double r = 24, a = 4, b = 124;
        cairo_new_sub_path(cr);
        cairo_arc(cr, b - r, a + r, r, -kPi / 2, 0);
        cairo_arc(cr, b - r, b - r, r, 0, kPi / 2);
        cairo_arc(cr, a + r, b - r, r, kPi / 2, kPi);
        cairo_arc(cr, a + r, a + r, r, kPi, 3 * kPi / 2);
        cairo_close_path(cr);
    };
    cairo_save(cr);
    badge();
    cairo_clip(cr);
    cairo_pattern_t* sky = cairo_pattern_create_linear(0, 4, 0, 92);
    cairo_pattern_add_color_stop_rgb(sky, 0, 0.10, 0.20, 0.55);
    cairo_pattern_add_color_stop_rgb(sky, 1, 0.55, 0.75, 0.95);
    cairo_set_source(cr, sky);
    cairo_paint(cr);
    cairo_pattern_destroy(sky);
    cairo_rectangle(cr, 0, 88, 128, 40);
    set_rgb(cr, rgb(0.12f, 0.35f, 0.62f));
    cairo_fill(cr);
    // The island: a green hill rising to the city on the right.
    cairo_move_to(cr, 0, 104);
    cairo_curve_to(cr, 30, 94, 60, 90, 80, 82);
    cairo_curve_to(cr, 100, 76, 120, 78, 128, 80);
    cairo_line_to(cr, 128, 128);
    cairo_line_to(cr, 0, 128);
    cairo_close_path(cr);
    fill_outline(cr, rgb(0.30f, 0.62f, 0.25f), 2.0);

    // The city's tower: grey stone with battlements, a gate and a red flag.
    const Color stone = rgb(0.72f, 0.70f, 0.66f);
    cairo_move_to(cr, 78, 84);
    cairo_line_to(cr, 78, 40);
    for (int i = 0; i < 4; ++i) {
        const double x = 78 + i * 10;
        cairo_line_to(cr, x, 30);
        cairo_line_to(cr, x + 5, 30);
        cairo_line_to(cr, x + 5, 40);
        cairo_line_to(cr, x + 10, 40);
    }
    cairo_line_to(cr, 118, 84);
    cairo_close_path(cr);
    fill_outline(cr, stone, 2.5);
    cairo_move_to(cr, 90, 84);
    cairo_line_to(cr, 90, 66);
    cairo_arc(cr, 98, 66, 8, kPi, 2 * kPi);
    cairo_line_to(cr, 106, 84);
    cairo_close_path(cr);
    fill_outline(cr, rgb(0.18f, 0.12f, 0.08f), 2.0);
    limb(cr, 98, 30, 98, 8, 2.5, rgb(0.35f, 0.25f, 0.15f));
    cairo_move_to(cr, 99, 8);
    cairo_line_to(cr, 118, 13);
    cairo_line_to(cr, 99, 19);
    cairo_close_path(cr);
    fill_outline(cr, rgb(0.85f, 0.15f, 0.12f), 1.5);

    // The attackers' catapult in front, and its burning ball on the way.
    catapult(cr, 36, 112, 0.5);
    cairo_set_source_rgba(cr, 1.0, 0.85, 0.4, 0.9);
    cairo_set_line_width(cr, 3);
    cairo_set_dash(cr, std::vector<double>{4, 5}.data(), 2, 0);
    cairo_move_to(cr, 56, 66);
    cairo_curve_to(cr, 62, 30, 72, 22, 78, 24);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
    circle(cr, 82, 25, 7);
    fill_outline(cr, rgb(1.0f, 0.55f, 0.10f), 2.0);
    cairo_restore(cr);

    // A bronze rim like the game's buttons.
    badge();
    cairo_set_source_rgb(cr, 0.62, 0.47, 0.20);
    cairo_set_line_width(cr, 6);
    cairo_stroke(cr);
}
