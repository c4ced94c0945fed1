#include "sim/light.h"

void turn_on_nighttime_mode(light_state& light, float now)
{
    if (light.night)
        return;
    light.night_start_time = now;
    light.night_end_time = 0.0f;
    light.night = 1;
}

void turn_off_nighttime_mode(light_state& light, float now)
{
    if (!light.night)
        return;
    light.night_end_time = now;
    light.night_start_time = 0.0f;
    light.night = 0;
}

void update_darkness(light_state& light, float t)
{
    if (light.night_start_time != 0.0f) {
        if (t <= light.night_start_time + 2.0f) {
            light.darkness = t - light.night_start_time;
        } else {
            light.darkness = 2.0f;
            light.night_start_time = 0.0f;
        }
    } else if (light.night_end_time != 0.0f) {
        if (t <= light.night_end_time + 2.0f) {
            light.darkness = 2.0f - (t - light.night_end_time);
        } else {
            light.darkness = 0.0f;
            light.night_end_time = 0.0f;
        }
    }
}
