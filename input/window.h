// The X window, its OpenGL context, the bitmap font, the mouse pointer,
// keyboard translation and polling, the display's gamma ramps, and the
// events of the window delivered as a queue the program drains.
#pragma once

#include <X11/Xlib.h>
#include <cstdint>
#include <vector>

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
extern int window_width, window_height;
// WINDOW: a 600 x 400 window rather than the full screen.
extern int do_window;
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
// A key typed (with Shift as its event said), or the pointer's state after
// a pass over the window's events: its position and a button pressed
// (1..3), released (0) or neither (-1).
struct input_event {
    enum kind_t { typed, pointer } kind;
    int key;
    int x, y, button;
};
// One pass over the window's events (it stops at the first button press or
// release, so that each pass hands on at most one click); what they say
// waits in the queue.
void process_events();
// The events waiting, oldest first; the queue is empty after.
std::vector<input_event> take_input_events();

// The display's own gamma ramps of `size` entries a channel (false without
// the video-mode extension, or another size), and loading ramps onto it.
bool read_display_gamma(uint16_t* red, uint16_t* green, uint16_t* blue, int size);
void load_display_gamma(const uint16_t* red, const uint16_t* green, const uint16_t* blue, int size);

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


