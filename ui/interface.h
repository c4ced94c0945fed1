// Input routing by game mode, the command panel and the movement controls.
#pragma once

// Pointer input once per pass: b = button pressed (1..3), 0 released,
// -1 nothing changed. Window pixel coordinates.
void interface_click(int x, int y, int b);
// A translated key press.
void interface_key(int key);
