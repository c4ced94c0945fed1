// The X window, its OpenGL context, the bitmap font, the mouse pointer,
// keyboard translation and polling, and screenshots.
#pragma once

#include <X11/Xlib.h>

// Game key codes besides printable ASCII.
enum : int {
    KEY_KP_ENTER = 3,
    KEY_BACKSPACE = 8,
    KEY_TAB = 9,
    KEY_RETURN = 10,
    KEY_UP = 20,
    KEY_LEFT = 21,
    KEY_RIGHT = 22,
    KEY_DOWN = 23,
    KEY_CONTROL = 24,
    KEY_SHIFT = 25,
    KEY_ALT = 26,
    KEY_NONE = -1,
};

extern Display* display;
extern int screen;
extern Colormap cmap;
extern Window xw;
extern GC gc;
extern int g_game_width, g_game_height;
extern unsigned int bitmap_font_base;
extern int mouse_x, mouse_y;
extern int mouse_buttons;
extern int do_warp;
extern int save_mx, save_my;

void setup_game_graphics_context();
// Switches between the 600 x 400 window (1) and the full screen (0) at once.
void set_window_mode(int windowed);
void close_game_graphics_context();
void init_xwin();
int init_glx();
void swap_buffers();
void process_events();

// A typed key's code, with Shift as its event's modifier state says.
int xlatekeycode(int keycode, unsigned int state);
int xlatekeycode_nomods(int keycode);
// The pure halves of the translation: an X keysym name to a game code
// (printing the unknown-key line for names not in the table), and the
// United States layout's Shift mapping of a game code.
int keysym_name_to_code(const char* name);
int shifted_code(int code);
// The X key name that check_key asks about for a game code.
const char* key_name_for_code(int code);

int check_key(int code);
int check_stringkey(const char* name);
int is_control_down();
int is_shift_down();
int is_alt_down();
int host_button_down(int i);

void warp_pointer(int x, int y);
void show_cursor();
void hide_cursor();
void cursor_visible_mode();
void cursor_hidden_mode();
void cursor_look_mode();
void mouse_look_delta(float& dx, float& dy);

void take_screenshot();
// Converts bottom-up RGBA rows into the screenshot file layout: top row
// first, each channel as a 16-bit little-endian value.
void screenshot_bytes(const unsigned char* rgba, int width, int height, unsigned char* out);
