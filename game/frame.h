// What one frame shows, by the game's phase.
#pragma once

// A frame of play: the scenery, the projectiles and units, the clouds,
// then the overlays. In the GL selection mode only the units are drawn
// (they alone carry names to pick).
void draw_game_frame();
// The frame of the current phase: the menu, play, or an end screen.
void draw_frame();
