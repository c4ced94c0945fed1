// What one frame shows, by the game's phase.
#pragma once

struct program;

// A frame of play: the scenery, the projectiles and units, the clouds,
// then the overlays, from the eye of the player of the battle being played.
void draw_game_frame(program& p);
// The frame of the current phase: the menu, play, or an end screen.
void draw_frame(program& p);
