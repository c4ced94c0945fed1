// Night falling and lifting: the darkness follows the battle's clock over
// two seconds after night is turned on (the K key, a lightning strike) or
// off.
#pragma once

struct light_state {
    // Darkness: 0 by day, 2.0 at full night.
    float darkness = 0.0f;
    // When night mode was last turned on / off; 0 while no such change runs.
    float night_start_time = 0.0f;
    float night_end_time = 0.0f;
    int night = 0;
};

void turn_on_nighttime_mode(light_state& light, float now);
void turn_off_nighttime_mode(light_state& light, float now);
// Advances the darkness to game time t (once a play step).
void update_darkness(light_state& light, float t);
