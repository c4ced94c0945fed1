// The main and settings menus, the textured menu font and the button
// record. The menu asks for a start or the end of the program (ui/requests.h);
// the program carries it out.
#pragma once

struct unit;

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

extern int menu_state;  // 0 main menu, 1 settings
extern button main_buttons[NUM_MAIN_BUTTONS];
extern button settings_buttons[NUM_SETTINGS_BUTTONS];
extern button team_buttons[NUM_TEAM_BUTTONS];
extern unsigned int font_base;
extern float char_width[256];
extern int latest_mouse_x, latest_mouse_y;
extern unit* catapult_animation;

// Builds the menu (the menu's own part: font, buttons, chat, picture).
void init_menu();
void set_menu_gl_params();
// Fills char_width (no GL needed) ...
void init_char_widths();
// ... and builds the 256 glyph display lists over the alphabet texture.
void setup_font();
float draw_string(float x, float y, float size, const char* text);
float string_width(float size, const char* text);

void init_main_menu_buttons();
void init_settings_buttons();
void init_team_buttons();
void draw_button(button* b);
void draw_main_buttons();
void draw_settings_buttons();
void draw_team_buttons();
void draw_menu();
void draw_cursor();
// One step of the menu: its buttons' actions, the chat and team windows
// sliding; true when a start was asked for.
bool simulate_menu(float dt);
void menu_click(int x, int y, int b);
void menu_key(int code);
// A new game: the menu picture's catapult may throw again.
void reset_game_menu();

// Pointer input over a set of buttons in its own virtual coordinates: a
// left press (b = 1) strictly inside presses a button, b = -1 hovers a
// non-toggle button, and a non-toggle button not under the pointer goes
// idle. Returns the index of the button pressed by this call, or -1.
int hit_test_buttons(button* set, int n, int vx, int vy, int b);
// Window pixels to virtual units.
int window_to_virtual_x(int x);
int window_to_virtual_y(int y);
// The menu's actions for this step's button states (start, settings,
// quit, chat/teams exclusivity); returns 1 when a start was asked for.
int main_menu_step();
