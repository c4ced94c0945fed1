// The pages behind the settings menu's "Video", "Sound" and "Controls"
// buttons: switches and sliders drawn in the menu's own style, in the place
// the chat window leaves free. A change takes effect at once and is saved.
#pragma once

#include "ui/menu.h"

struct user_interface;

enum : int {
    PAGE_NONE = -1,
    PAGE_VIDEO = 0,
    PAGE_SOUND = 1,
    PAGE_CONTROLS = 2,
};

constexpr int SETTINGS_MAX_ROWS = 3;

// The page shown, its switches, and the slider being dragged.
struct settings_pages {
    int page = PAGE_NONE;
    button switches[SETTINGS_MAX_ROWS][2] = {};
    int dragging_row = -1;
};

// Shows a page (PAGE_NONE closes it).
void open_settings_page(user_interface& ui, int page);
void draw_settings_page(user_interface& ui);
// Pointer input while the settings menu shows, in virtual units, after the
// settings buttons have seen it (click codes as for menu_click).
void settings_page_click(user_interface& ui, int vx, int vy, int b);
