// The screens a game ends on.
#pragma once

void setup_2d_view();
void draw_win_frame();
void draw_lose_frame();

// Pointer input on an end screen: a pressed button (b > 0) asks to go back
// to the menu; motion and releases do nothing.
void end_game_click(int x, int y, int b);
