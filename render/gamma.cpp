#include "render/gamma.h"

#include <cstdio>
#include <cstdlib>
#include <sys/time.h>
#include <unistd.h>


gamma_ramps gamma_saved;
gamma_ramps gamma_output;
bool gamma_available = false;
float gamma_now_percent = 100.0f, gamma_now_red = 0.0f, gamma_now_green = 0.0f, gamma_now_blue = 0.0f;
float gamma_dest_percent = 0.0f, gamma_dest_red = 0.0f, gamma_dest_green = 0.0f, gamma_dest_blue = 0.0f;
float fade_time = 0.5f;
static timeval gamma_start_time;
static gamma_loader s_loader = nullptr;
// Whether the display shows other ramps than the saved ones.
static bool s_display_changed = false;

static void restore_gamma_at_exit()
{
    restore_gamma();
}

void save_gamma_ramps(const gamma_ramps& own, gamma_loader loader)
{
    gamma_saved = own;
    s_loader = loader;
    s_display_changed = false;
    gamma_available = loader != nullptr;
    // Every way out through exit (a fatal error, the menu's Quit) puts the
    // user's ramps back; the orderly shut-down and the second SIGINT do it
    // themselves.
    static bool registered = false;
    if (!registered && gamma_available)
        registered = atexit(restore_gamma_at_exit) == 0;
}

void restore_gamma()
{
    if (!gamma_available || !s_display_changed)
        return;
    s_loader(gamma_saved);
    gamma_output = gamma_saved;
    s_display_changed = false;
}

void forget_gamma()
{
    gamma_available = false;
    s_loader = nullptr;
    s_display_changed = false;
}

// --- fades ----------------------------------------------------------------------

void blend_gamma_ramps(const gamma_ramps& saved, float p, uint16_t r, uint16_t g, uint16_t b, gamma_ramps& out)
{
    // Double precision, so a full ramp entry of 65535 at 100 percent stays 65535.
    auto blend = [p](uint16_t colour, uint16_t s) {
        return static_cast<uint16_t>((100.0 - p) * colour * 0.01 + s * 0.01 * p);
    };
    for (int i = 0; i < GAMMA_RAMP_SIZE; ++i) {
        out.red[i] = blend(r, saved.red[i]);
        if (r == g) {
            out.green[i] = blend(g, saved.green[i]);
            out.blue[i] = blend(b, saved.blue[i]);
        } else {
            out.green[i] = saved.green[i];
            out.blue[i] = saved.blue[i];
        }
    }
}

void gamma_fade(float percent, uint16_t r, uint16_t g, uint16_t b)
{
    blend_gamma_ramps(gamma_saved, percent, r, g, b, gamma_output);
    if (!gamma_available)
        return;
    s_loader(gamma_output);
    s_display_changed = true;
}

static void restart_fade_clock()
{
    gettimeofday(&gamma_start_time, nullptr);
}

bool fade_step(float t, float duration, const fade_values& now, const fade_values& dest, fade_values& out)
{
    if (t < 0.25f) {
        auto mix = [t, duration](float a, float b) { return ((duration - t) * a + t * b) / duration; };
        out = {mix(now.percent, dest.percent), mix(now.red, dest.red), mix(now.green, dest.green),
               mix(now.blue, dest.blue)};
        return false;
    }
    out = dest;
    return true;
}

void incremental_fade()
{
    if (gamma_now_percent == gamma_dest_percent && gamma_now_red == gamma_dest_red &&
        gamma_now_green == gamma_dest_green && gamma_now_blue == gamma_dest_blue) {
        if (gamma_dest_green == gamma_dest_red)
            return;
        gamma_fade_in();  // a flash has just finished
    }
    timeval now;
    gettimeofday(&now, nullptr);
    float t = static_cast<float>((now.tv_sec - gamma_start_time.tv_sec) +
                                 (now.tv_usec - gamma_start_time.tv_usec) * 1e-6);
    fade_values cur{gamma_now_percent, gamma_now_red, gamma_now_green, gamma_now_blue};
    fade_values dest{gamma_dest_percent, gamma_dest_red, gamma_dest_green, gamma_dest_blue};
    fade_values out;
    if (fade_step(t, fade_time, cur, dest, out)) {
        gamma_now_percent = dest.percent;
        gamma_now_red = dest.red;
        gamma_now_green = dest.green;
        gamma_now_blue = dest.blue;
    }
    gamma_fade(out.percent, static_cast<uint16_t>(out.red), static_cast<uint16_t>(out.green),
               static_cast<uint16_t>(out.blue));
}

void gamma_fade_to(float percent, float level)
{
    fade_time = 0.5f;
    restart_fade_clock();
    gamma_dest_percent = percent;
    gamma_dest_red = gamma_dest_green = gamma_dest_blue = level;
    if (!gamma_available) {
        // Nothing to show: land on the destination without waiting.
        gamma_now_percent = percent;
        gamma_now_red = gamma_now_green = gamma_now_blue = level;
        return;
    }
    while (gamma_now_percent != gamma_dest_percent) {
        incremental_fade();
        usleep(10000);
    }
}

void gamma_fade_in()
{
    gamma_now_red = 0.0f;
    gamma_dest_red = gamma_dest_green = gamma_dest_blue = 0.0f;
    gamma_dest_percent = 100.0f;
    fade_time = 0.5f;
    restart_fade_clock();
}

void gamma_flash_red()
{
    gamma_now_red = gamma_dest_red = 65535.0f;
    gamma_dest_green = gamma_dest_blue = 0.0f;
    gamma_dest_percent = 100.0f;
    gamma_now_percent = 50.0f;
    fade_time = 0.3f;
    restart_fade_clock();
}

void close_gamma()
{
    restore_gamma();
}
