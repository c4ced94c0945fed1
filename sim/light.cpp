#include "sim/light.h"

#include <cmath>

#include "sim/game.h"

float phase = 0.0f;
float night_start_time = 0.0f;
float night_end_time = 0.0f;
int is_night_time_mode = 0;

void reset_game_light()
{
    phase = 0.0f;
    night_start_time = night_end_time = 0.0f;
    is_night_time_mode = 0;
}

void turn_on_nighttime_mode()
{
    if (is_night_time_mode)
        return;
    night_start_time = game_time;
    night_end_time = 0.0f;
    is_night_time_mode = 1;
}

void turn_off_nighttime_mode()
{
    if (!is_night_time_mode)
        return;
    night_end_time = game_time;
    night_start_time = 0.0f;
    is_night_time_mode = 0;
}

void update_phase(float t)
{
    if (night_start_time != 0.0f) {
        if (t <= night_start_time + 2.0f) {
            phase = t - night_start_time;
        } else {
            phase = 2.0f;
            night_start_time = 0.0f;
        }
    } else if (night_end_time != 0.0f) {
        if (t <= night_end_time + 2.0f) {
            phase = 2.0f - (t - night_end_time);
        } else {
            phase = 0.0f;
            night_end_time = 0.0f;
        }
    }
}
