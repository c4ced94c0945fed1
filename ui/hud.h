// The local player's own state on screen: the health and favour bars on
// the command panel, the aiming mark, and the banner, one centred coloured
// message that fades in and out over the scene (the gods' announcements,
// the summoning warning).
#pragma once

#include <string>

// No banner left from an earlier game (its times are on that game's clock).
void reset_game_personal();

// The two status bars, drawn in the command panel's frame.
void draw_hud();
// Right end of a status bar for `value` (0..15; values outside are held to
// that range): the bar starts at x = -1, and 15 spans two units.
float status_bar_end(float value);

// The banner: `text` in colour (r, g, b), fully shown `appear` seconds from
// now and fading from `fade` seconds from now. Replaces any banner at once.
void set_message(const char* text, float r, float g, float b, float appear, float fade);
// Once per play frame: the banner's opacity and whether it is drawn.
void simulate_message();
// Among the overlays of a play frame.
void draw_message();
// The aiming mark in the middle of the view (not while the command bar is out).
void draw_crosshairs();

// Seconds the banner takes to switch on before it is fully shown, and to
// switch off after it begins to fade.
constexpr float BANNER_EDGE = 0.31415927f;

struct banner_state {
    std::string text;
    float red = 1.0f, green = 1.0f, blue = 1.0f;
    float alpha = 0.0f;
    float display_time = 0.0f;  // game_time at which it is fully shown
    float fade_time = 0.0f;     // game_time at which it starts to fade
    int do_message = 0;         // drawn at all
};
const banner_state& current_banner();

// Glyph size and half-width of a banner text: every banner is drawn three
// units wide at the overlay depth, whatever its length. Both are 0 for a
// text without width.
struct banner_layout {
    float size;
    float half_width;
};
banner_layout layout_banner(const char* text);
