// The pages behind the settings menu's "Video", "Sound" and "Controls"
// buttons: switches and sliders drawn in the menu's own style, in the place
// the chat window leaves free. A change takes effect at once and is saved.
#pragma once

enum : int {
    PAGE_NONE = -1,
    PAGE_VIDEO = 0,
    PAGE_SOUND = 1,
    PAGE_CONTROLS = 2,
};

extern int settings_page;

// Shows a page (PAGE_NONE closes it).
void open_settings_page(int page);
void draw_settings_page();
// Pointer input while the settings menu shows, in virtual units, after the
// settings buttons have seen it (click codes as for menu_click).
void settings_page_click(int vx, int vy, int b);
