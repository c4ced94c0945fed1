// The screens a game ends on.
#pragma once

struct user_interface;

void setup_2d_view();
void draw_win_frame(const user_interface& ui);
void draw_lose_frame(const user_interface& ui);

// Pointer input on an end screen: a pressed button (b > 0) asks to go back
// to the menu; motion and releases do nothing.
void end_game_click(user_interface& ui, int x, int y, int b);
