#include "ui/chat.h"

#include <GL/gl.h>
#include <cstdio>
#include <cstring>

#include "sim/game.h"
#include "input/window.h"
#include "sim/messages.h"
#include "sim/participants.h"
#include "ui/menu.h"
#include "sim/units.h"
#include "sim/session.h"
#include "sim/sides.h"
#include "platform/settings.h"
#include "ui/user_interface.h"

static const float class_colours[3][3] = {{1, 0, 0}, {0, 1, 0}, {1, 1, 1}};

void init_chat(user_interface& ui)
{
    chat_window& c = ui.chat;
    const int forced = c.forced_computer_side;
    c = chat_window{};
    c.forced_computer_side = forced;
    // The menu may open long after the clock started: blink from now on.
    c.next_cursor_blink = ui.now() + 0.333f;
    add_chat_line(c, 2, "Welcome to Kelvarin! ", "");
}

void scoot_chat_in(chat_window& c)
{
    c.scoot_dx = -1920.0f;
}
void scoot_chat_out(chat_window& c)
{
    c.scoot_dx = 1920.0f;
}
void scoot_team_selection_in(chat_window& c)
{
    c.team_scoot_dx = -1536.0f;
}
void scoot_team_selection_out(chat_window& c)
{
    c.team_scoot_dx = 1536.0f;
}

int count_lines(const chat_line& e)
{
    return static_cast<int>((strlen(e.prefix) + e.text.size()) * 8 / chat_dx + 1.0f);
}

void add_chat_line(chat_window& c, int colour, const char* prefix, const char* text)
{
    std::vector<chat_line>& lines = c.lines;
    chat_line e;
    e.colour = (colour >= 0 && colour <= 2) ? colour : 2;
    snprintf(e.prefix, sizeof e.prefix, "%s", prefix ? prefix : "");
    e.text = text ? text : "";
    e.line_start = lines.empty() ? 0 : lines.back().line_start + lines.back().line_count;
    e.line_count = count_lines(e);
    lines.push_back(std::move(e));

    // Keep only the newest entries; the display lines of the dropped ones
    // are taken off every start and off the scroll position.
    if (static_cast<int>(lines.size()) > CHAT_MAX_LINES) {
        size_t drop = lines.size() - CHAT_MAX_LINES;
        int shift = lines[drop].line_start;
        lines.erase(lines.begin(), lines.begin() + static_cast<long>(drop));
        for (chat_line& l : lines)
            l.line_start -= shift;
        c.scroll = c.scroll > shift ? c.scroll - shift : 0;
    }
}

void close_chat(chat_window& c)
{
    c.lines.clear();
    c.scroll = 0;
}

void clear_chat_input(chat_window& c)
{
    c.input[0] = 0;
    c.input_length = 0;
}

void chat_key(user_interface& ui, int code)
{
    chat_window& c = ui.chat;
    if (c.input_length >= CHAT_INPUT_MAX)
        return;
    bool counted = false;
    if (code == KEY_BACKSPACE) {
        if (c.input_length > 0)
            c.input[--c.input_length] = 0;
        counted = true;
    } else if ((code >= 32 && code <= 254) || code == KEY_RETURN) {
        c.input[c.input_length++] = static_cast<char>(code);
        c.input[c.input_length] = 0;
        counted = true;
    }
    if (counted) {
        c.cursor_on = 1;
        c.next_cursor_blink = ui.now() + 0.333f;
    }
}

static void slide(float& pos, float& speed, float limit, float dt)
{
    float p = pos + speed * dt;
    if (p < 0.0f && speed < 0.0f) {
        pos = 0.0f;
        speed = 0.0f;
    } else if (p > limit && speed > 0.0f) {
        pos = limit;
        speed = 0.0f;
    } else {
        pos = p;
    }
}

void simulate_chat_window(user_interface& ui, float dt)
{
    chat_window& c = ui.chat;
    slide(c.scoot, c.scoot_dx, CHAT_OUT, dt);
    if (static_cast<int>(c.lines.size()) - c.scroll + 1 >= chat_dy / 16.0f)
        ++c.scroll;
    if (ui.now() > c.next_cursor_blink) {
        c.cursor_on = !c.cursor_on;
        c.next_cursor_blink += 0.333f;
    }
    if (c.input_length > 0 && c.input[c.input_length - 1] == KEY_RETURN) {
        c.input[--c.input_length] = 0;
        char prefix[40];
        snprintf(prefix, sizeof prefix, "%s: ", ui.session.username.c_str());
        add_chat_line(c, 2, prefix, c.input);
        send_chat_message(ui.session, c.input);
        clear_chat_input(c);
    }
}

void simulate_team_window(chat_window& c, float dt)
{
    slide(c.team_scoot, c.team_scoot_dx, TEAM_OUT, dt);
}

// --- text layout --------------------------------------------------------------

// Character positions of a chat entry: wrap before a character that would
// start past the right margin, stop below the bottom margin.
struct text_cursor {
    int x, y;
};

static bool place_wrapping_first(text_cursor& c)
{
    if (c.x > chat_dx - 10) {
        c.x = 5;
        c.y += 16;
    }
    return !(c.y > chat_dy - 5);
}

std::vector<glyph_pos> layout_chat_text(size_t nchars, int x0, int y0)
{
    std::vector<glyph_pos> out;
    text_cursor c{x0, y0};
    for (size_t i = 0; i < nchars; ++i) {
        if (!place_wrapping_first(c))
            break;
        out.push_back({c.x, c.y});
        c.x += 8;
    }
    return out;
}

static void bitmap_char(int x, int y, unsigned char ch)
{
    glRasterPos2i(x, y);
    glCallList(bitmap_font_base + ch);
}

static void draw_text_run(text_cursor& c, const char* s, size_t n, bool bold, bool& stopped)
{
    for (size_t i = 0; i < n && !stopped; ++i) {
        if (!place_wrapping_first(c)) {
            stopped = true;
            break;
        }
        if (c.y > 20) {
            bitmap_char(c.x, c.y, static_cast<unsigned char>(s[i]));
            if (bold)
                bitmap_char(c.x + 1, c.y, static_cast<unsigned char>(s[i]));
        }
        c.x += 8;
    }
}

static void draw_panel_border()
{
    glColor4f(0.0f, 0.0f, 0.0f, 0.5f);
    glRectf(0.0f, 0.0f, chat_dx, chat_dy);
    glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
    glBegin(GL_LINE_LOOP);
    glVertex2f(0.0f, 0.0f);
    glVertex2f(chat_dx, 0.0f);
    glVertex2f(chat_dx, chat_dy);
    glVertex2f(0.0f, chat_dy);
    glEnd();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

static void draw_chat_line(const chat_line& e, int scroll)
{
    text_cursor c{5, (e.line_start - scroll) * 16 + 21};
    bool stopped = false;
    glColor3fv(class_colours[e.colour]);
    draw_text_run(c, e.prefix, strlen(e.prefix), true, stopped);
    glColor3f(1.0f, 1.0f, 1.0f);
    draw_text_run(c, e.text.data(), e.text.size(), false, stopped);
}

void draw_chat_window(const user_interface& ui)
{
    const chat_window& chat = ui.chat;
    glDisable(GL_TEXTURE_2D);
    glPushMatrix();
    glTranslatef(chat_x1 + chat.scoot, chat_y1, 0.0f);
    draw_panel_border();

    glPushMatrix();
    glTranslatef(0.0f, chat_dy, 0.0f);
    glColor3f(0.0f, 0.0f, 0.0f);
    glRectf(0.0f, 0.0f, chat_dx, 50.0f);
    glColor3f(0.5f, 0.5f, 0.5f);
    glBegin(GL_LINE_LOOP);
    glVertex2f(0.0f, 0.0f);
    glVertex2f(chat_dx, 0.0f);
    glVertex2f(chat_dx, 50.0f);
    glVertex2f(0.0f, 50.0f);
    glEnd();
    glColor3f(1.0f, 1.0f, 1.0f);
    int x = 5, y = 21;
    for (int i = 0; i < chat.input_length; ++i) {
        if (y > chat_dy - 5)
            break;
        if (y > 20)
            bitmap_char(x, y, static_cast<unsigned char>(chat.input[i]));
        x += 8;
        if (x > chat_dx - 10) {
            x = 5;
            y += 16;
        }
    }
    if (chat.cursor_on)
        glRectf(static_cast<float>(x), static_cast<float>(y - 10), static_cast<float>(x + 6),
                static_cast<float>(y + 1));
    glPopMatrix();

    for (const chat_line& e : chat.lines)
        draw_chat_line(e, chat.scroll);
    glPopMatrix();
}

static int computer_level_setting()
{
    return user_settings.computer_level >= LEVEL_EASY && user_settings.computer_level <= LEVEL_HARD
               ? user_settings.computer_level
               : LEVEL_NORMAL;
}

const char* computer_button_label(const chat_window& c)
{
    static const char* const labels[] = {"Computer: Off", "Computer: Easy", "Computer: Normal", "Computer: Hard"};
    const bool on = user_settings.computer || c.forced_computer_side >= 0;
    return labels[on ? computer_level_setting() : 0];
}

void cycle_computer_level(user_interface& ui)
{
    int& forced_computer_side = ui.chat.forced_computer_side;
    if (!user_settings.computer && forced_computer_side < 0) {
        user_settings.computer = 1;
        user_settings.computer_level = LEVEL_EASY;
    } else if (computer_level_setting() < LEVEL_HARD) {
        user_settings.computer_level = computer_level_setting() + 1;
    } else {
        user_settings.computer = 0;
        forced_computer_side = -1;
        user_settings.computer_level = LEVEL_NORMAL;
    }
    save_settings();
    ui.menu.teams[2].label = computer_button_label(ui.chat);
    printf("the computer: %s\n", computer_button_label(ui.chat));
}

int computer_side_wanted(const user_interface& ui)
{
    const session& s = ui.session;
    if (s.parts.empty())
        return -1;
    int side = ui.chat.forced_computer_side;
    if (side < 0 && user_settings.computer)
        side = 1 - s.parts[0].team;
    // Only a side nobody took.
    return (side == TEAM_ATTACKERS || side == TEAM_DEFENDERS) && s.teams[side].members == 0 ? side : -1;
}

static void draw_member_list(const user_interface& ui, int team, float ox, float oy)
{
    const session& s = ui.session;
    glPushMatrix();
    glTranslatef(ox, oy, 0.0f);
    glColor3f(s.teams[team].r, s.teams[team].g, s.teams[team].b);
    int i = 0;
    for (const participant& p : s.parts) {
        if (p.team != team)
            continue;
        text_cursor c{5, 16 * i + 21};
        bool stopped = false;
        draw_text_run(c, p.name.data(), p.name.size(), false, stopped);
        ++i;
    }
    if (computer_side_wanted(ui) == team) {
        char name[40];
        snprintf(name, sizeof name, "Computer (%s)", computer_button_label(ui.chat) + 10);
        text_cursor c{5, 16 * i + 21};
        bool stopped = false;
        draw_text_run(c, name, strlen(name), false, stopped);
    }
    glPopMatrix();
}

void draw_team_selection(user_interface& ui)
{
    glDisable(GL_TEXTURE_2D);
    glPushMatrix();
    glTranslatef(chat_x1, chat_y1 + ui.chat.team_scoot, 0.0f);
    draw_panel_border();
    glEnable(GL_TEXTURE_2D);
    draw_team_buttons(ui);
    glDisable(GL_TEXTURE_2D);
    draw_member_list(ui, 0, chat_dx * 0.5f - 215.0f, 100.0f);
    draw_member_list(ui, 1, 2.0f * chat_dx / 3.0f - 77.0f, 100.0f);
    glColor3f(1.0f, 1.0f, 1.0f);
    glPopMatrix();
}

void team_click(user_interface& ui, int vx, int vy, int b)
{
    int rx = static_cast<int>(vx - chat_x1);
    int ry = static_cast<int>(vy - (chat_y1 + ui.chat.team_scoot));
    int pressed = hit_test_buttons(ui.menu.teams, NUM_TEAM_BUTTONS, rx, ry, b);
    if (pressed == 0 || pressed == 1)
        choose_team(ui.session, pressed);
    else if (pressed == 2) {
        ui.menu.teams[2].state = BUTTON_IDLE;
        cycle_computer_level(ui);
    }
}
