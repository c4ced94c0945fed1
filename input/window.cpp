#include "input/window.h"

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/XKBlib.h>
#include <X11/extensions/xf86vmode.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "input/pointer_motion.h"

Display* display = nullptr;
int screen = 0;
Colormap cmap = 0;
Window xw = 0;
GC gc = nullptr;
int window_width = 0, window_height = 0;
int do_window = 0;
unsigned int bitmap_font_base = 0;
int mouse_x = -1, mouse_y = -1;
int mouse_buttons = 0;
int do_warp = 1;
int save_mx = -1, save_my = -1;

// The pointer's positions and the warps on their way, for mouse look.
static pointer_motion s_pointer;

static Cursor arrowcursor = None;
static Cursor blankcursor = None;
static GLXContext glx_context = nullptr;

static constexpr long kEventMask = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                                   EnterWindowMask | LeaveWindowMask | PointerMotionMask;
static_assert(kEventMask == 0x7F);

// The class name lets desktops match the window with the game's desktop
// entry and icon.
static void set_window_identity()
{
    XClassHint hint;
    char res_name[] = "kelvarin", res_class[] = "Kelvarin";
    hint.res_name = res_name;
    hint.res_class = res_class;
    XSetClassHint(display, xw, &hint);
}

// Full screen under a window manager: the window state a desktop's manager
// honours (before mapping, as a property; afterwards, as a request to the
// root window). Without a manager nothing reads it and the window's own
// size, that of the screen, does the work.
static void ask_full_screen(bool on, bool mapped)
{
    const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
    Atom full = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
    if (!mapped) {
        if (on)
            XChangeProperty(display, xw, state, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&full),
                            1);
        return;
    }
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = xw;
    ev.xclient.message_type = state;
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = on ? 1 : 0;  // add or remove
    ev.xclient.data.l[1] = static_cast<long>(full);
    ev.xclient.data.l[3] = 1;  // a normal application
    XSendEvent(display, RootWindow(display, screen), False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
}

void set_window_mode(int windowed)
{
    do_window = windowed ? 1 : 0;
    if (!display || !xw)
        return;
    const int w = windowed ? 600 : XDisplayWidth(display, screen);
    const int h = windowed ? 400 : XDisplayHeight(display, screen);
    ask_full_screen(!windowed, true);
    XMoveResizeWindow(display, xw, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h));
    XSync(display, False);
    window_width = w;
    window_height = h;
    glViewport(0, 0, w, h);
    // The pointer of the menu and of mouse look is kept in window pixels.
    save_mx = save_my = -1;
}

void init_xwin()
{
    display = XOpenDisplay(nullptr);
    if (!display) {
        const char* name = getenv("DISPLAY");
        fprintf(stderr,
                "kelvarin: cannot open the X display \"%s\". Start the game from a desktop (an X11\n"
                "kelvarin: session, or Xwayland), or set DISPLAY to a display you may use, e.g. DISPLAY=:0.\n",
                name ? name : "");
        exit(-1);
    }
    XAutoRepeatOn(display);
    screen = DefaultScreen(display);
    cmap = DefaultColormap(display, screen);

    if (do_window) {
        window_width = 600;
        window_height = 400;
    } else {
        window_width = XDisplayWidth(display, screen);
        window_height = XDisplayHeight(display, screen);
    }
    xw = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, window_width, window_height, 0, 0,
                             WhitePixel(display, screen));
    XStoreName(display, xw, "Kelvarin");
    set_window_identity();
    if (!do_window)
        ask_full_screen(true, false);
    XMapWindow(display, xw);

    XGCValues gcv;
    gcv.function = GXcopy;
    gc = XCreateGC(display, xw, GCFunction, &gcv);

    XSetWindowAttributes attr;
    attr.event_mask = kEventMask;
    attr.bit_gravity = CenterGravity;
    XChangeWindowAttributes(display, xw, CWEventMask | CWBitGravity, &attr);
}

static void explain_missing_gl()
{
    fprintf(stderr, "kelvarin: the X display offers no OpenGL (GLX) with a double-buffered RGB picture and a depth\n"
                    "kelvarin: buffer. Install the Mesa OpenGL drivers (Debian: libgl1-mesa-dri libglx-mesa0) or\n"
                    "kelvarin: run the game on a display that has OpenGL; glxinfo shows what the display offers.\n");
}

int init_glx()
{
    int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_DEPTH_SIZE, 16, None};
    XVisualInfo* vi = glXChooseVisual(display, screen, attributes);
    if (!vi) {
        fprintf(stderr, "init_glx(): couldn't choose visual\n");
        explain_missing_gl();
        return -1;
    }
    glx_context = glXCreateContext(display, vi, nullptr, True);
    XFree(vi);
    if (!glx_context) {
        fprintf(stderr, "init_glx(): couldn't setup the context\n");
        explain_missing_gl();
        return -1;
    }
    glXMakeCurrent(display, xw, glx_context);

    bitmap_font_base = glGenLists(256);
    XFontStruct* font = XLoadQueryFont(display, "6x10");
    if (!font) {
        fprintf(stderr, "init_glx(): couldn't load the X font \"6x10\"\n");
        fprintf(stderr, "kelvarin: the chat and the names are written in the X server's \"6x10\" font. Install the\n"
                        "kelvarin: X fonts (Debian: xfonts-base) and restart the X server, or run \"xset fp rehash\".\n");
        return -1;
    }
    glXUseXFont(font->fid, 0, 256, bitmap_font_base);
    // Some GL libraries flag an error for the font's empty glyphs (the
    // control characters) although every list is built; drop it here so it
    // is not blamed on the first texture upload.
    glGetError();
    XFreeFont(display, font);
    return 0;
}

void setup_game_graphics_context()
{
    init_xwin();
    // Nothing can be drawn without a context or the text font: stop here
    // with the message init_glx printed rather than run blind.
    if (init_glx() != 0) {
        fprintf(stderr, "cannot draw without an OpenGL context and the \"6x10\" font; exiting\n");
        exit(-1);
    }
    hide_cursor();
    XFlush(display);
}

void close_game_graphics_context()
{
    show_cursor();
}

// --- the display's gamma ramps ------------------------------------------------

bool read_display_gamma(uint16_t* red, uint16_t* green, uint16_t* blue, int size)
{
    int event_base = 0, error_base = 0, have = 0;
    return display && XF86VidModeQueryExtension(display, &event_base, &error_base) &&
           XF86VidModeGetGammaRampSize(display, screen, &have) && have == size &&
           XF86VidModeGetGammaRamp(display, screen, size, red, green, blue);
}

void load_display_gamma(const uint16_t* red, const uint16_t* green, const uint16_t* blue, int size)
{
    if (!display)
        return;
    XF86VidModeSetGammaRamp(display, screen, size, const_cast<uint16_t*>(red), const_cast<uint16_t*>(green),
                            const_cast<uint16_t*>(blue));
    // Sent now: on the way out nothing else may flush the request.
    XFlush(display);
}

void swap_buffers()
{
    glXWaitGL();
    glXWaitX();
    glXSwapBuffers(display, xw);
}

// The keyboard's state is asked of the X server at most once between two
// passes over the event queue: each question is a round trip, and a frame
// asks about a dozen keys.
static char s_keymap[32];
static bool s_keymap_current = false;

static std::vector<input_event> s_events;

std::vector<input_event> take_input_events()
{
    std::vector<input_event> out;
    out.swap(s_events);
    return out;
}

void process_events()
{
    s_keymap_current = false;
    XEvent ev;
    int click = -1;
    while (XCheckWindowEvent(display, xw, kEventMask, &ev)) {
        bool stop = false;
        switch (ev.type) {
        case KeyPress:
            s_events.push_back({input_event::typed, xlatekeycode(static_cast<int>(ev.xkey.keycode), ev.xkey.state), 0, 0, 0});
            break;
        case ButtonPress:
            if (ev.xbutton.button >= 1 && ev.xbutton.button <= 31)
                mouse_buttons |= 1 << (ev.xbutton.button - 1);
            pointer_event(s_pointer, ev.xbutton.serial, ev.xbutton.x, ev.xbutton.y, true);
            mouse_x = ev.xbutton.x;
            mouse_y = ev.xbutton.y;
            click = static_cast<int>(ev.xbutton.button);
            stop = true;
            break;
        case ButtonRelease:
            if (ev.xbutton.button >= 1 && ev.xbutton.button <= 31)
                mouse_buttons &= ~(1 << (ev.xbutton.button - 1));
            pointer_event(s_pointer, ev.xbutton.serial, ev.xbutton.x, ev.xbutton.y, true);
            mouse_x = ev.xbutton.x;
            mouse_y = ev.xbutton.y;
            click = 0;
            stop = true;
            break;
        case MotionNotify:
            pointer_event(s_pointer, ev.xmotion.serial, ev.xmotion.x, ev.xmotion.y, true);
            mouse_x = ev.xmotion.x;
            mouse_y = ev.xmotion.y;
            break;
        case EnterNotify:
            pointer_event(s_pointer, ev.xcrossing.serial, ev.xcrossing.x, ev.xcrossing.y, false);
            do_warp = 1;
            break;
        case LeaveNotify:
            pointer_event(s_pointer, ev.xcrossing.serial, ev.xcrossing.x, ev.xcrossing.y, false);
            do_warp = 0;
            break;
        default:
            break;
        }
        if (stop)
            break;
    }
    s_events.push_back({input_event::pointer, 0, mouse_x, mouse_y, click});
}

// --- keys -----------------------------------------------------------------

struct key_name_code {
    const char* name;
    int code;
};

static const key_name_code kKeyNames[] = {
    {"space", 32},        {"Tab", 9},           {"grave", 96},      {"minus", 45},      {"equal", 61},
    {"slash", 47},        {"bracketleft", 91},  {"bracketright", 93}, {"semicolon", 59}, {"apostrophe", 39},
    {"period", 46},       {"comma", 44},        {"backslash", 92},  {"BackSpace", 8},   {"Return", 10},
    {"KP_Enter", 3},      {"Up", 20},           {"Left", 21},       {"Right", 22},      {"Down", 23},
};

static const key_name_code kKeyPrefixes[] = {{"Control", 24}, {"Shift", 25}, {"Alt", 26}};

int keysym_name_to_code(const char* name)
{
    if (!name)
        return -1;
    if (name[0] && !name[1])
        return static_cast<unsigned char>(name[0]);
    for (const auto& k : kKeyNames)
        if (!strcmp(name, k.name))
            return k.code;
    for (const auto& k : kKeyPrefixes)
        if (!strncmp(name, k.name, strlen(k.name)))
            return k.code;
    printf("unknown Xlib keycode: %s\n", name);
    return -1;
}

int shifted_code(int code)
{
    static const int kShiftTable[][2] = {
        {45, 95}, {61, 43}, {49, 33}, {50, 64}, {51, 35},  {52, 36},  {53, 37},  {54, 94},  {55, 38},  {56, 42}, {57, 40},
        {48, 41}, {47, 63}, {92, 124}, {39, 34}, {91, 123}, {93, 125}, {59, 58}, {44, 60}, {46, 62}, {96, 126},
    };
    if (code >= 'a' && code <= 'z')
        return code - 'a' + 'A';
    for (const auto& e : kShiftTable)
        if (e[0] == code)
            return e[1];
    return code;
}

int xlatekeycode_nomods(int keycode)
{
    KeySym sym = XkbKeycodeToKeysym(display, static_cast<KeyCode>(keycode), 0, 0);
    if (sym == NoSymbol)
        return -1;
    return keysym_name_to_code(XKeysymToString(sym));
}

// A typed key takes Shift from the state the server recorded with its
// event, not from the keyboard as it is when the game reads the event: in a
// slow frame Shift may be let go by then, and Shift+O would arrive as "o";
// and with the pointer outside the window no held key counts at all.
int xlatekeycode(int keycode, unsigned int state)
{
    const int code = xlatekeycode_nomods(keycode);
    return (state & ShiftMask) ? shifted_code(code) : code;
}

const char* key_name_for_code(int code)
{
    // One-character names live in a static table so the pointer stays valid.
    static char single[128][2];
    if (code >= 32 && code <= 127) {
        if (code == 32)
            return "space";
        if (code == 47)
            return "slash";
        int c = code;
        if (c >= 'A' && c <= 'Z')
            c = c - 'A' + 'a';
        single[code][0] = static_cast<char>(c);
        single[code][1] = 0;
        return single[code];
    }
    return "moogoo";  // no keysym has this name, so nothing matches
}

int check_stringkey(const char* name)
{
    if (!s_keymap_current) {
        XQueryKeymap(display, s_keymap);
        s_keymap_current = true;
    }
    const char* keys = s_keymap;
    KeySym sym = XStringToKeysym(name);
    unsigned int kc = sym == NoSymbol ? 0 : (XKeysymToKeycode(display, sym) & 0xff);
    return (keys[kc >> 3] >> (kc & 7)) & 1;
}

int check_key(int code)
{
    if (!do_warp)
        return 0;
    switch (code) {
    case KEY_CONTROL:
        return check_stringkey("Control_L") || check_stringkey("Control_R");
    case KEY_SHIFT:
        return check_stringkey("Shift_L") || check_stringkey("Shift_R");
    case KEY_ALT:
        return check_stringkey("Alt_L") || check_stringkey("Alt_R");
    default:
        return check_stringkey(key_name_for_code(code));
    }
}

int is_control_down() { return check_key(KEY_CONTROL); }
int is_shift_down() { return check_key(KEY_SHIFT); }
int is_alt_down() { return check_key(KEY_ALT); }

int host_button_down(int i)
{
    return (mouse_buttons >> i) & 1;
}

// --- pointer ----------------------------------------------------------------

static void send_warp(int x, int y, bool look_start)
{
    mouse_x = x;
    mouse_y = y;
    if (!do_warp)
        return;
    pointer_warped(s_pointer, NextRequest(display), x, y, look_start);
    XWarpPointer(display, None, xw, 0, 0, 0, 0, x, y);
    // Sent at once rather than with the frame: the sooner the server carries
    // it out, the less the pointer can run towards the window's edge.
    XFlush(display);
}

void warp_pointer(int x, int y)
{
    send_warp(x, y, false);
}

static void set_window_cursor(Cursor c)
{
    XSetWindowAttributes attr;
    attr.cursor = c;
    XChangeWindowAttributes(display, xw, CWCursor, &attr);
}

void show_cursor()
{
    if (arrowcursor == None)
        arrowcursor = XCreateFontCursor(display, 0);
    set_window_cursor(arrowcursor);
}

void hide_cursor()
{
    if (blankcursor == None) {
        static char bits[1] = {0};
        Pixmap source = XCreateBitmapFromData(display, xw, bits, 1, 1);
        Pixmap mask = XCreateBitmapFromData(display, xw, bits, 1, 1);
        XColor black{};
        blankcursor = XCreatePixmapCursor(display, source, mask, &black, &black, 1, 1);
        XFreePixmap(display, source);
        XFreePixmap(display, mask);
    }
    set_window_cursor(blankcursor);
}

static void restore_saved_pointer()
{
    if (save_mx == -1 && save_my == -1) {
        save_mx = window_width / 2;
        save_my = window_height - 50;
    }
    warp_pointer(save_mx, save_my);
}

void cursor_visible_mode()
{
    restore_saved_pointer();
    show_cursor();
}

void cursor_hidden_mode()
{
    restore_saved_pointer();
    hide_cursor();
}

void cursor_look_mode()
{
    save_mx = mouse_x;
    save_my = mouse_y;
    hide_cursor();
    pointer_clear_look(s_pointer);
    send_warp(window_width / 2, window_height / 2, true);
}

void mouse_look_delta(float& dx, float& dy)
{
    pointer_take_look(s_pointer, dx, dy);
    // The pointer goes back to the middle only when it is not there or on
    // its way there already.
    int x, y;
    pointer_expected(s_pointer, x, y);
    if (x != window_width / 2 || y != window_height / 2)
        warp_pointer(window_width / 2, window_height / 2);
}
