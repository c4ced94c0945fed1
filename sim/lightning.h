// A lightning strike: the sky darkens, storm clouds gather, thunder rolls
// and the point is struck (the damage is the gods', sim/magic.h; the bolt
// is drawn by the renderer).
#pragma once

#include <cstdint>

struct message_context;
struct world;

// Where and when the last bolt struck (no bolt is pending at a battle's
// start) and how long a bolt lasts. Storm clouds melt away ten seconds
// after it stops.
struct lightning_state {
    float x = 0.0f, z = 0.0f;
    float time = -1e13f;
    float lasts = 5.0f;
};

// What the frame at `now` does for a strike at `strike_time` lasting
// `lasts` seconds: the sky darkens for the first second, the bolt may
// flicker from then until the end, and the sky lightens from one second
// before the end.
struct lightning_moment {
    bool night_on;
    bool bolt_may_show;
    bool night_off;
};
lightning_moment lightning_timeline(float now, float strike_time, float lasts);

// A strike at (x, z): remembered as the last one, four storm clouds over the
// point and the thunder. Replaces a strike still under way.
void set_lightning(world& w, float x, float z);

// Once a play step: the darkness of the last strike falls and lifts.
void simulate_lightning(world& w);

// "LIGH" from a copy casting lightning.
void receive_lightning(message_context& c, const uint32_t p[4]);
