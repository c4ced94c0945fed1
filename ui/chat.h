// The chat window with its input line, and the team window where each
// player picks a side. Both share one place on the menu screen and slide
// away when the other is shown.
#pragma once

#include <string>
#include <vector>

struct button;
struct user_interface;

constexpr float chat_x1 = 360.0f;
constexpr float chat_y1 = 275.0f;
constexpr float chat_dx = 865.0f;
constexpr float chat_dy = 595.0f;
constexpr float CHAT_OUT = 1280.0f - chat_x1;  // 920
constexpr float TEAM_OUT = 1024.0f - chat_y1;  // 749

// Longest input line, and how many chat entries are kept (the oldest go).
constexpr int CHAT_INPUT_MAX = 1023;
constexpr int CHAT_MAX_LINES = 300;

struct chat_line {
    int colour;      // 0 red, 1 green, 2 white
    char prefix[32];  // always terminated
    std::string text;
    int line_start;
    int line_count;
};

// The chat and team windows: where each stands on its slide, the entries
// and the input line, and the computer's side the command line gave.
struct chat_window {
    float scoot = CHAT_OUT, scoot_dx = 0.0f;
    float team_scoot = TEAM_OUT, team_scoot_dx = 0.0f;
    std::vector<chat_line> lines;
    int scroll = 0;
    char input[1024] = {};
    int input_length = 0;
    int cursor_on = 1;
    float next_cursor_blink = 0.333f;
    // The side the command line gave the computer for this run (-1: none).
    int forced_computer_side = -1;
};

void init_chat(user_interface& ui);
void scoot_chat_in(chat_window& c);
void scoot_chat_out(chat_window& c);
void scoot_team_selection_in(chat_window& c);
void scoot_team_selection_out(chat_window& c);
void add_chat_line(chat_window& c, int colour, const char* prefix, const char* text);
int count_lines(const chat_line& entry);
void close_chat(chat_window& c);
void clear_chat_input(chat_window& c);
// Feeds one key to the input line.
void chat_key(user_interface& ui, int code);
// The windows slide, the cursor blinks, and a finished line goes out.
void simulate_chat_window(user_interface& ui, float dt);
void simulate_team_window(chat_window& c, float dt);
void draw_chat_window(const user_interface& ui);
void draw_team_selection(user_interface& ui);
void team_click(user_interface& ui, int vx, int vy, int b);

// The computer in the team window: it plays the side nobody took (when the
// settings say so, or the command line gave it a side), at the level the
// settings keep. The button's label says its level ("Computer: Off" ...);
// a press goes on to the next (off, easy, normal, hard, off) and saves it.
const char* computer_button_label(const chat_window& c);
void cycle_computer_level(user_interface& ui);
// The side the computer plays if this copy starts the game now, -1 for none:
// the side nobody took, as the settings or the command line ask.
int computer_side_wanted(const user_interface& ui);

// Where each character of a text goes when laid out like a chat line from
// (5, y0): one (x, y) per character until the window's height cuts it.
struct glyph_pos {
    int x, y;
};
std::vector<glyph_pos> layout_chat_text(size_t nchars, int x0, int y0);
