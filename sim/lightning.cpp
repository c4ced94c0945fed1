#include "sim/lightning.h"

#include <cmath>
#include <cstdio>

#include "sim/game.h"
#include "platform/random.h"
#include "sim/commands.h"
#include "sim/rights.h"
#include "sim/wire.h"
#include "sim/events.h"
#include "sim/light.h"
#include "sim/sky.h"

float last_lightning_x = 0.0f, last_lightning_z = 0.0f;
float last_lightning_time = -1e13f;
float time_lightning_lasts = 5.0f;

void reset_game_lightning()
{
    last_lightning_x = last_lightning_z = 0.0f;
    last_lightning_time = -1e13f;
}

void simulate_lightning()
{
    const lightning_moment m = lightning_timeline(game_time, last_lightning_time, time_lightning_lasts);
    if (m.night_on)
        turn_on_nighttime_mode();
    if (m.night_off)
        turn_off_nighttime_mode();
}

lightning_moment lightning_timeline(float now, float strike_time, float lasts)
{
    lightning_moment m{};
    m.night_on = now < strike_time + 1.0f;
    m.bolt_may_show = !m.night_on && now < strike_time + lasts;
    m.night_off = strike_time + lasts - 1.0f < now && now < strike_time + lasts + 1.0f;
    return m;
}

void set_lightning(float x, float z)
{
    last_lightning_x = x;
    last_lightning_z = z;
    last_lightning_time = game_time;
    for (int i = 0; i < 4; ++i)
        add_cloud(x, z);
    emit_at(sim_event_kind::thunder, x, 0.0f, z);
}

// "LIGH": x and z of the strike. A point that is no place would put the
// clouds and the thunder nowhere; while no game is played there is no sky
// to strike from; and a sky full of storm clouds takes no more strikes
// until they have melted away (a stream of commands must not pile them up).
static void receive_lightning(const uint32_t p[4], int)
{
    const float x = bits_to_float(p[0]), z = bits_to_float(p[1]);
    if (!wire_value_ok(x) || !wire_value_ok(z)) {
        refuse(current_sender(), refusal::bad_value, "LIGH at a point that is not a number, ignored");
        return;
    }
    if (game_state != STATE_PLAY) {
        refuse(current_sender(), refusal::out_of_phase, "LIGH while no game is played, ignored");
        return;
    }
    if (count_storm_clouds() >= MAX_STORM_CLOUDS) {
        refuse(current_sender(), refusal::projectile_cap, "LIGH at (%g, %g): the sky holds %d storm clouds already, ignored", static_cast<double>(x),
                static_cast<double>(z), MAX_STORM_CLOUDS);
        return;
    }
    set_lightning(x, z);
}

void register_lightning_command()
{
    register_command("LIGH", 0, receive_lightning);
}
