#include "sim/lightning.h"

#include <cmath>
#include <cstdio>

#include "sim/events.h"
#include "sim/light.h"
#include "sim/message_table.h"
#include "sim/rights.h"
#include "sim/session.h"
#include "sim/sky.h"
#include "sim/wire.h"
#include "sim/world.h"

void simulate_lightning(world& w)
{
    const lightning_moment m = lightning_timeline(w.time, w.lightning.time, w.lightning.lasts);
    if (m.night_on)
        turn_on_nighttime_mode(w.light, w.time);
    if (m.night_off)
        turn_off_nighttime_mode(w.light, w.time);
}

lightning_moment lightning_timeline(float now, float strike_time, float lasts)
{
    lightning_moment m{};
    m.night_on = now < strike_time + 1.0f;
    m.bolt_may_show = !m.night_on && now < strike_time + lasts;
    m.night_off = strike_time + lasts - 1.0f < now && now < strike_time + lasts + 1.0f;
    return m;
}

void set_lightning(world& w, float x, float z)
{
    w.lightning.x = x;
    w.lightning.z = z;
    w.lightning.time = w.time;
    for (int i = 0; i < 4; ++i)
        add_cloud(w, x, z);
    emit_at(w.session.events, sim_event_kind::thunder, x, 0.0f, z);
}

// "LIGH": x and z of the strike. A point that is no place would put the
// clouds and the thunder nowhere; and a sky full of storm clouds takes no
// more strikes until they have melted away (a stream of commands must not
// pile them up).
void receive_lightning(message_context& c, const uint32_t p[4])
{
    world& w = *c.w;
    const float x = bits_to_float(p[0]), z = bits_to_float(p[1]);
    if (!wire_value_ok(x) || !wire_value_ok(z)) {
        refuse(c.s, c.sender, refusal::bad_value, "LIGH at a point that is not a number, ignored");
        return;
    }
    if (count_storm_clouds(w.sky) >= MAX_STORM_CLOUDS) {
        refuse(c.s, c.sender, refusal::projectile_cap,
               "LIGH at (%g, %g): the sky holds %d storm clouds already, ignored", static_cast<double>(x),
               static_cast<double>(z), MAX_STORM_CLOUDS);
        return;
    }
    set_lightning(w, x, z);
}
