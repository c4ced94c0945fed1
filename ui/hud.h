// The local player's own state on screen: the health and favour bars on
// the command panel, the aiming mark, and the banner, one centred coloured
// message that fades in and out over the scene (the gods' announcements,
// the summoning warning).
#pragma once

#include <string>

struct menu_font;
struct user_interface;
struct world;

// The two status bars, drawn in the command panel's frame.
void draw_hud(const world& w);
// Right end of a status bar for `value` (0..15; values outside are held to
// that range): the bar starts at x = -1, and 15 spans two units.
float status_bar_end(float value);

struct banner_state;
// The banner: `text` in colour (r, g, b), fully shown `appear` seconds
// after `now` and fading from `fade` seconds after it. Replaces any banner
// at once.
void set_message(banner_state& m, float now, const char* text, float r, float g, float b, float appear, float fade);
// Once per play frame: the banner's opacity and whether it is drawn.
void simulate_message(banner_state& m, float now);
// Among the overlays of a play frame.
void draw_message(const user_interface& ui);
// The aiming mark in the middle of the view (not while the command bar is out).
void draw_crosshairs(const user_interface& ui);

// Seconds the banner takes to switch on before it is fully shown, and to
// switch off after it begins to fade.
constexpr float BANNER_EDGE = 0.31415927f;

struct banner_state {
    std::string text;
    float red = 1.0f, green = 1.0f, blue = 1.0f;
    float alpha = 0.0f;
    float display_time = 0.0f;  // the battle's time at which it is fully shown
    float fade_time = 0.0f;     // the battle's time at which it starts to fade
    int do_message = 0;         // drawn at all
};

// Glyph size and half-width of a banner text: every banner is drawn three
// units wide at the overlay depth, whatever its length. Both are 0 for a
// text without width.
struct banner_layout {
    float size;
    float half_width;
};
banner_layout layout_banner(const menu_font& f, const char* text);
