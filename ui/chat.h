// The chat window with its input line, and the team window where each
// player picks a side. Both share one place on the menu screen and slide
// away when the other is shown.
#pragma once

#include <string>
#include <vector>

struct button;

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

extern float chat_scoot, scoot_dx, team_scoot, team_scoot_dx;
extern std::vector<chat_line> lines;
extern int nchat_lines;
extern int scroll;
extern char chat_buffer[1024];
extern int chat_buffer_index;
extern int flash_cursor_on;
extern float next_chat_cursor_blink;

void init_chat();
void scoot_chat_in();
void scoot_chat_out();
void scoot_team_selection_in();
void scoot_team_selection_out();
void add_chat_line(int colour, const char* prefix, const char* text);
int count_lines(const chat_line& entry);
void close_chat();
void clear_chat_input();
// Feeds one key to the input line.
void chat_key(int code);
void simulate_chat_window(float dt);
void simulate_team_window(float dt);
void draw_chat_window();
void draw_team_selection();
void team_click(int vx, int vy, int b);

// The computer in the team window: it plays the side nobody took (when the
// settings say so, or the command line gave it a side), at the level the
// settings keep. The button's label says its level ("Computer: Off" ...);
// a press goes on to the next (off, easy, normal, hard, off) and saves it.
const char* computer_button_label();
void cycle_computer_level();
// The side the command line gave the computer for this run (-1: none).
extern int forced_computer_side;
// The side the computer plays if this copy starts the game now, -1 for none:
// the side nobody took, as the settings or the command line ask.
int computer_side_wanted();

// Where each character of a text goes when laid out like a chat line from
// (5, y0): one (x, y) per character until the window's height cuts it.
struct glyph_pos {
    int x, y;
};
std::vector<glyph_pos> layout_chat_text(size_t nchars, int x0, int y0);
