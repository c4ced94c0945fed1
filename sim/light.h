// Night falling and lifting: the darkness follows the game clock over two
// seconds after night is turned on (the K key, a lightning strike) or off.
#pragma once

// Darkness: 0 by day, 2.0 at full night.
extern float phase;
// When night mode was last turned on / off; 0 while no such change runs.
extern float night_start_time;
extern float night_end_time;
extern int is_night_time_mode;

void turn_on_nighttime_mode();
void turn_off_nighttime_mode();
// Advances `phase` to game time t (once a play step).
void update_phase(float t);
// A new game starts by day, with no change of light under way.
void reset_game_light();
