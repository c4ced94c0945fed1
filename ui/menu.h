// The main and settings menus, the textured menu font and the button
// record. The menu asks for a start or the end of the program (ui/requests.h);
// the program carries it out.
#pragma once

#include <memory>

#include "platform/random.h"

struct unit;
struct user_interface;

struct button {
    int x, y;  // top-left corner, virtual units
    int width, height;
    int state;  // 0 idle, 1 pressed or on, 2 pointer over it
    const char* label;
    float colour[3];  // tint while the state is 1 or 2
    int toggle;       // 1: keeps its state under pointer movement
    unsigned int texture;
};

enum : int {
    BUTTON_IDLE = 0,
    BUTTON_ON = 1,
    BUTTON_HOVER = 2,
};

constexpr int NUM_MAIN_BUTTONS = 5;
constexpr int NUM_SETTINGS_BUTTONS = 4;
constexpr int NUM_TEAM_BUTTONS = 3;  // the two sides, and the computer's level

enum : int {
    MAIN_START = 0,
    MAIN_SETTINGS = 1,
    MAIN_QUIT = 2,
    MAIN_CHAT = 3,
    MAIN_TEAMS = 4,
};
enum : int {
    SETTINGS_VIDEO = 0,
    SETTINGS_SOUND = 1,
    SETTINGS_CONTROLS = 2,
    SETTINGS_MAIN_MENU = 3,
};

// The textured menu font: a display list per glyph over the alphabet
// texture, and each glyph's advance in glyph heights.
struct menu_font {
    unsigned int base = 0;
    unsigned int texture = 0;
    float width[256] = {};
};

// The deleter of the menu picture's catapult (the unit's record is
// complete only where the simulation's units are known).
struct menu_unit_deleter {
    void operator()(unit* u) const;
};

// The menu: its page (0 main menu, 1 settings), its buttons, where the
// pointer was last seen, and the picture's catapult with the random
// numbers that jitter its wheels.
struct menu_screen {
    int page = 0;
    button main[NUM_MAIN_BUTTONS] = {};
    button settings[NUM_SETTINGS_BUTTONS] = {};
    button teams[NUM_TEAM_BUTTONS] = {};
    int mouse_x = -1, mouse_y = -1;
    std::unique_ptr<unit, menu_unit_deleter> catapult;
    rand_stream rng;
};

// Builds the menu (the menu's own part: font, buttons, chat, picture).
void init_menu(user_interface& ui);
void set_menu_gl_params(const user_interface& ui);
// Fills the glyph widths (no GL needed) ...
void init_char_widths(menu_font& f);
// ... and builds the 256 glyph display lists over the alphabet texture.
void setup_font(menu_font& f, unsigned int alphabet_texture);
float draw_string(const menu_font& f, float x, float y, float size, const char* text);
float string_width(const menu_font& f, float size, const char* text);

void init_main_menu_buttons(user_interface& ui);
void init_settings_buttons(user_interface& ui);
void init_team_buttons(user_interface& ui);
void draw_button(user_interface& ui, button* b);
void draw_team_buttons(user_interface& ui);
void draw_menu(user_interface& ui);
// One step of the menu: its buttons' actions, the chat and team windows
// sliding; true when a start was asked for.
bool simulate_menu(user_interface& ui, float dt);
void menu_click(user_interface& ui, int x, int y, int b);
void menu_key(user_interface& ui, int code);

// Pointer input over a set of buttons in its own virtual coordinates: a
// left press (b = 1) strictly inside presses a button, b = -1 hovers a
// non-toggle button, and a non-toggle button not under the pointer goes
// idle. Returns the index of the button pressed by this call, or -1.
int hit_test_buttons(button* set, int n, int vx, int vy, int b);
// Window pixels to virtual units in a window `size` pixels wide (or high).
int window_to_virtual_x(int x, int width);
int window_to_virtual_y(int y, int height);
// The menu's actions for this step's button states (start, settings,
// quit, chat/teams exclusivity); returns 1 when a start was asked for.
int main_menu_step(user_interface& ui);
