#include "ui/settings_menu.h"

#include <GL/gl.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "render/camera.h"
#include "sim/game.h"
#include "input/window.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "render/textures.h"
#include "sound/sound.h"
#include "ui/chat.h"
#include "ui/menu.h"
#include "render/renderer.h"
#include "ui/user_interface.h"

namespace {

// One line of a page: a switch (two buttons, off and on) or, without
// button labels, a slider over the setting's range.
struct settings_row {
    const char* label;
    int settings_record::*value;
    const char* off_label;
    const char* on_label;
    void (*apply)(user_interface&);           // makes the stored value take effect in this run
    int (*in_effect)(const user_interface&);  // what this run uses, when a command-line word may differ
};

void apply_display(user_interface&) { set_window_mode(!user_settings.fullscreen); }
void apply_fog(user_interface& ui) { ui.renderer.view.fog = user_settings.fog; }
void apply_sound(user_interface& ui) { set_sound_on(ui.sound, user_settings.sound); }
void apply_volumes(user_interface& ui) { apply_sound_volumes(ui.sound); }
void apply_nothing(user_interface&) {}  // read where it is used
int display_in_effect(const user_interface&) { return !do_window; }
int fog_in_effect(const user_interface& ui) { return ui.renderer.view.fog; }
int sound_in_effect(const user_interface& ui) { return ui.sound.on ? 1 : 0; }

constexpr int MAX_ROWS = SETTINGS_MAX_ROWS;
struct settings_page_layout {
    const char* title;
    int rows;
    settings_row row[MAX_ROWS];
};

const settings_page_layout kPages[] = {
    {"Video", 2,
     {{"Display", &settings_record::fullscreen, "Window", "Full Screen", apply_display, display_in_effect},
      {"Fog", &settings_record::fog, "Off", "On", apply_fog, fog_in_effect}}},
    {"Sound", 3,
     {{"Sound", &settings_record::sound, "Off", "On", apply_sound, sound_in_effect},
      {"Music", &settings_record::music_volume, nullptr, nullptr, apply_volumes, nullptr},
      {"Effects", &settings_record::effects_volume, nullptr, nullptr, apply_volumes, nullptr}}},
    {"Controls", 2,
     {{"Mouse Speed", &settings_record::mouse_sensitivity, nullptr, nullptr, apply_nothing, nullptr},
      {"Invert Look", &settings_record::invert_look, "Off", "On", apply_nothing, nullptr}}},
};

// The page fills the place of the chat window, which slides away while the
// settings menu shows.
constexpr float PANEL_X = chat_x1, PANEL_Y = chat_y1, PANEL_W = chat_dx, PANEL_H = chat_dy;
constexpr int ROW_Y0 = static_cast<int>(PANEL_Y) + 140, ROW_DY = 120;
constexpr int CONTROL_X = static_cast<int>(PANEL_X) + 350;
constexpr int SWITCH_W = 220, SWITCH_GAP = 30, CONTROL_H = 50;
constexpr int TRACK_W = 380, TRACK_H = 16, KNOB_W = 24;

const settings_page_layout* page_layout(int page)
{
    return page >= 0 && page < static_cast<int>(sizeof kPages / sizeof kPages[0]) ? &kPages[page] : nullptr;
}

const setting_field& field_of(const settings_row& r)
{
    for (int i = 0; i < num_setting_fields; ++i)
        if (setting_fields[i].value == r.value)
            return setting_fields[i];
    return setting_fields[0];  // every row names a field of the file
}

int shown_value(const user_interface& ui, const settings_row& r)
{
    return r.in_effect ? r.in_effect(ui) : user_settings.*(r.value);
}

int row_top(int i)
{
    return ROW_Y0 + ROW_DY * i;
}

// Switch buttons show the value in effect: the chosen one is on.
void sync_switches(user_interface& ui)
{
    const settings_page_layout* p = page_layout(ui.settings.page);
    for (int i = 0; p && i < p->rows; ++i)
        if (p->row[i].off_label)
            for (int k = 0; k < 2; ++k)
                ui.settings.switches[i][k].state = shown_value(ui, p->row[i]) == k ? BUTTON_ON : BUTTON_IDLE;
}

void change(user_interface& ui, const settings_row& r, int v, bool save)
{
    const setting_field& f = field_of(r);
    if (v < f.low)
        v = f.low;
    if (v > f.high)
        v = f.high;
    user_settings.*(r.value) = v;
    r.apply(ui);
    if (save)
        save_settings();
}

int slider_value(const settings_row& r, int vx)
{
    const setting_field& f = field_of(r);
    const float t = static_cast<float>(vx - CONTROL_X) / TRACK_W;
    return f.low + static_cast<int>(t * static_cast<float>(f.high - f.low) + 0.5f);
}

void quad(float x0, float y0, float x1, float y1)
{
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(x0, y0);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(x0, y1);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(x1, y1);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(x1, y0);
    glEnd();
}

void outline(float x0, float y0, float x1, float y1)
{
    glBegin(GL_LINE_LOOP);
    glVertex2f(x0, y0);
    glVertex2f(x1, y0);
    glVertex2f(x1, y1);
    glVertex2f(x0, y1);
    glEnd();
}

// Text in the X bitmap font (the menu font has letters only), one
// character every six window pixels.
void bitmap_text(int window_width, float x, float y, const char* text)
{
    const float advance = window_width > 0 ? 6.0f * VIRTUAL_WIDTH / static_cast<float>(window_width) : 6.0f;
    for (const char* c = text; *c; ++c, x += advance) {
        glRasterPos2f(x, y);
        glCallList(bitmap_font_base + static_cast<unsigned char>(*c));
    }
}

// The settings file's path as a player writes it, with "~" for the home.
std::string shown_path(const std::string& path)
{
    const char* home = getenv("HOME");
    const size_t n = home ? strlen(home) : 0;
    if (n > 1 && path.compare(0, n, home) == 0 && path.size() > n && path[n] == '/')
        return "~" + path.substr(n);
    return path;
}

void draw_slider(const user_interface& ui, const settings_row& r, int top, const float* colour)
{
    const setting_field& f = field_of(r);
    const int v = user_settings.*(r.value);
    const float x0 = CONTROL_X, x1 = CONTROL_X + TRACK_W;
    const float ty = top + (CONTROL_H - TRACK_H) / 2.0f;
    const float kx = x0 + TRACK_W * static_cast<float>(v - f.low) / static_cast<float>(f.high - f.low);
    glDisable(GL_TEXTURE_2D);
    glColor4f(0.0f, 0.0f, 0.0f, 0.6f);
    quad(x0, ty, x1, ty + TRACK_H);
    glColor3fv(colour);
    quad(x0, ty, kx, ty + TRACK_H);
    glColor3f(1.0f, 1.0f, 1.0f);
    outline(x0, ty, x1, ty + TRACK_H);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, ui.renderer.textures[TEX_sky_button]);
    quad(kx - KNOB_W / 2.0f, static_cast<float>(top), kx + KNOB_W / 2.0f, static_cast<float>(top + CONTROL_H));
    glDisable(GL_TEXTURE_2D);
    outline(kx - KNOB_W / 2.0f, static_cast<float>(top), kx + KNOB_W / 2.0f, static_cast<float>(top + CONTROL_H));
    char text[16];
    snprintf(text, sizeof text, "%d%%", v);
    bitmap_text(ui.renderer.view.width, x1 + 25.0f, top + CONTROL_H / 2.0f + 8.0f, text);
    glEnable(GL_TEXTURE_2D);
}

}  // namespace

void open_settings_page(user_interface& ui, int page)
{
    ui.settings.page = page;
    ui.settings.dragging_row = -1;
    for (int k = PAGE_VIDEO; k <= PAGE_CONTROLS; ++k)
        if (k != page)
            ui.menu.settings[k].state = BUTTON_IDLE;
    const settings_page_layout* p = page_layout(page);
    if (!p)
        return;
    const float* colour = ui.menu.settings[page].colour;
    for (int i = 0; i < p->rows; ++i) {
        const settings_row& r = p->row[i];
        if (!r.off_label)
            continue;
        const char* labels[2] = {r.off_label, r.on_label};
        for (int k = 0; k < 2; ++k) {
            button& b = ui.settings.switches[i][k];
            b = button{CONTROL_X + k * (SWITCH_W + SWITCH_GAP), row_top(i), SWITCH_W, CONTROL_H, BUTTON_IDLE,
                       labels[k], {colour[0], colour[1], colour[2]}, 1, ui.renderer.textures[TEX_sky_button]};
        }
    }
    sync_switches(ui);
}

void draw_settings_page(user_interface& ui)
{
    const int settings_page = ui.settings.page;
    const settings_page_layout* p = page_layout(settings_page);
    if (!p)
        return;
    const int width = ui.renderer.view.width;
    glDisable(GL_TEXTURE_2D);
    glColor4f(0.0f, 0.0f, 0.0f, 0.5f);
    glRectf(PANEL_X, PANEL_Y, PANEL_X + PANEL_W, PANEL_Y + PANEL_H);
    glColor3f(0.0f, 0.0f, 0.0f);
    outline(PANEL_X, PANEL_Y, PANEL_X + PANEL_W, PANEL_Y + PANEL_H);
    glEnable(GL_TEXTURE_2D);
    glColor3fv(ui.menu.settings[settings_page].colour);
    draw_string(ui.font, PANEL_X + 30.0f, PANEL_Y + 25.0f, 70.0f, p->title);
    sync_switches(ui);
    for (int i = 0; i < p->rows; ++i) {
        const settings_row& r = p->row[i];
        glColor3f(1.0f, 1.0f, 1.0f);
        draw_string(ui.font, PANEL_X + 30.0f, static_cast<float>(row_top(i) + 8), 40.0f, r.label);
        if (r.off_label) {
            draw_button(ui, &ui.settings.switches[i][0]);
            draw_button(ui, &ui.settings.switches[i][1]);
        } else {
            draw_slider(ui, r, row_top(i), ui.menu.settings[settings_page].colour);
        }
    }
    glDisable(GL_TEXTURE_2D);
    glColor3f(0.85f, 0.85f, 0.85f);
    const std::string where = shown_path(settings_file_path());
    bitmap_text(width, PANEL_X + 40.0f, PANEL_Y + PANEL_H - 60.0f,
                where.empty() ? "Changes take effect at once, for this run only (no home directory)."
                              : "Changes take effect at once and are saved in");
    bitmap_text(width, PANEL_X + 40.0f, PANEL_Y + PANEL_H - 30.0f, where.c_str());
    glEnable(GL_TEXTURE_2D);
    glColor3f(1.0f, 1.0f, 1.0f);
}

void settings_page_click(user_interface& ui, int vx, int vy, int b)
{
    const settings_page_layout* p = page_layout(ui.settings.page);
    if (!p)
        return;
    int& dragging_row = ui.settings.dragging_row;
    // The open page's button stays lit while the pointer is elsewhere.
    button& open = ui.menu.settings[ui.settings.page];
    if (open.state == BUTTON_IDLE)
        open.state = BUTTON_ON;
    for (int i = 0; i < p->rows; ++i) {
        const settings_row& r = p->row[i];
        if (r.off_label) {
            const int pressed = hit_test_buttons(ui.settings.switches[i], 2, vx, vy, b);
            if (pressed >= 0)
                change(ui, r, pressed, true);
            continue;
        }
        const int top = row_top(i);
        const bool on_track = vx >= CONTROL_X - KNOB_W && vx <= CONTROL_X + TRACK_W + KNOB_W && vy >= top &&
                              vy <= top + CONTROL_H;
        if (b == 1 && on_track) {
            dragging_row = i;
            change(ui, r, slider_value(r, vx), false);
        } else if (b == -1 && dragging_row == i && host_button_down(0)) {
            change(ui, r, slider_value(r, vx), false);
        } else if (b == 0 && dragging_row == i) {
            change(ui, r, slider_value(r, vx), true);
            dragging_row = -1;
        }
    }
    sync_switches(ui);
}
