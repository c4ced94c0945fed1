#include "ui/menu.h"

#include <GL/gl.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unistd.h>

#include "render/camera.h"
#include "sim/game.h"
#include "render/engine_models.h"
#include "ui/requests.h"
#include "platform/random.h"
#include "render/textures.h"
#include "input/window.h"
#include "sim/participants.h"
#include "ui/chat.h"
#include "ui/settings_menu.h"
#include "render/renderer.h"
#include "sim/catapult.h"
#include "sim/fire.h"
#include "sim/session.h"
#include "sim/units.h"
#include "ui/user_interface.h"

void menu_unit_deleter::operator()(unit* u) const
{
    delete u;
}

static const char ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// --- font ------------------------------------------------------------------------

void init_char_widths(menu_font& f)
{
    for (float& w : f.width)
        w = 1.0f;
    auto set = [&f](const char* chars, float w) {
        for (const char* c = chars; *c; ++c)
            f.width[static_cast<unsigned char>(*c)] = w;
    };
    set(" ", 0.6f);
    set("A", 0.81f);
    set("BEFHLSUVZ", 0.75f);
    set("CDGQRT", 0.8f);
    set("I", 0.4f);
    set("M", 0.9f);
    set("NY", 0.7f);
    set("auv", 0.65f);
    set("bdhkops", 0.6f);
    set("c", 0.63f);
    set("e", 0.67f);
    set("fl", 0.4f);
    set("g", 0.55f);
    set("i", 0.35f);
    set("m", 0.95f);
    set("n", 0.75f);
    set("r", 0.5f);
    set("t", 0.45f);
    set("y", 0.7f);
}

void setup_font(menu_font& f, unsigned int alphabet_texture)
{
    init_char_widths(f);
    f.texture = alphabet_texture;
    if (!f.base)
        f.base = glGenLists(256);
    for (int code = 0; code < 256; ++code) {
        glNewList(f.base + code, GL_COMPILE);
        const char* at = code ? strchr(ALPHABET, code) : nullptr;
        if (at) {
            int i = static_cast<int>(at - ALPHABET);
            float s0 = 0.125f * (i % 8) + 0.02f, s1 = 0.125f * (i % 8) + 0.11f;
            float t0 = 0.125f * (i / 8) + 0.007f, t1 = 0.125f * (i / 8) + 0.11f;
            glBegin(GL_QUADS);
            glTexCoord2f(s0, t0);
            glVertex2f(0.0f, 0.0f);
            glTexCoord2f(s1, t0);
            glVertex2f(1.0f, 0.0f);
            glTexCoord2f(s1, t1);
            glVertex2f(1.0f, 1.0f);
            glTexCoord2f(s0, t1);
            glVertex2f(0.0f, 1.0f);
            glEnd();
        }
        glEndList();
    }
}

float draw_string(const menu_font& f, float x, float y, float size, const char* text)
{
    if (!text)
        return -1.0f;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, f.texture);
    glPushMatrix();
    glTranslatef(x, y, 0.0f);
    glScalef(size, size, 1.0f);
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; ++c) {
        glCallList(f.base + *c);
        glTranslatef(f.width[*c], 0.0f, 0.0f);
    }
    glPopMatrix();
    return 0.0f;
}

float string_width(const menu_font& f, float size, const char* text)
{
    if (!text)
        return 0.0f;
    float w = 0.0f;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; ++c)
        w += f.width[*c] * size;
    return w;
}

// --- buttons -----------------------------------------------------------------------

static void set_button(button& b, unsigned int texture, int x, int y, int w, int h, const char* label, float r,
                       float g, float bl, int toggle, int state)
{
    b.x = x;
    b.y = y;
    b.width = w;
    b.height = h;
    b.state = state;
    b.label = label;
    b.colour[0] = r;
    b.colour[1] = g;
    b.colour[2] = bl;
    b.toggle = toggle;
    b.texture = texture;
}

void init_main_menu_buttons(user_interface& ui)
{
    button* main_buttons = ui.menu.main;
    const unsigned int t = ui.renderer.textures[TEX_sky_button];
    set_button(main_buttons[MAIN_START], t, 50, 100, 250, 50, "Start Game", 0, 1, 0, 0, 0);
    set_button(main_buttons[MAIN_SETTINGS], t, 50, 200, 250, 50, "Settings", 1, 1, 0, 0, 0);
    set_button(main_buttons[MAIN_QUIT], t, 50, 300, 250, 50, "Quit", 1, 0, 0, 0, 0);
    set_button(main_buttons[MAIN_CHAT], t, 450, 950, 250, 50, "Chat", 1, 1, 1, 1, 1);
    set_button(main_buttons[MAIN_TEAMS], t, 750, 950, 250, 50, "Teams", 1, 1, 1, 1, 0);
}

void init_settings_buttons(user_interface& ui)
{
    button* settings_buttons = ui.menu.settings;
    const unsigned int t = ui.renderer.textures[TEX_sky_button];
    set_button(settings_buttons[SETTINGS_VIDEO], t, 50, 100, 250, 50, "Video", 0, 1, 1, 0, 0);
    set_button(settings_buttons[SETTINGS_SOUND], t, 50, 200, 250, 50, "Sound", 1, 1, 0, 0, 0);
    set_button(settings_buttons[SETTINGS_CONTROLS], t, 50, 300, 250, 50, "Controls", 1, 0.5f, 0.5f, 0, 0);
    set_button(settings_buttons[SETTINGS_MAIN_MENU], t, 50, 400, 250, 50, "Main Menu", 0, 1, 0, 0, 0);
}

void init_team_buttons(user_interface& ui)
{
    button* team_buttons = ui.menu.teams;
    const unsigned int t = ui.renderer.textures[TEX_sky_button];
    set_button(team_buttons[0], t, static_cast<int>(chat_dx / 3 - 90), 50, 180, 36, "Attackers", 1, 1, 1, 0, 0);
    set_button(team_buttons[1], t, static_cast<int>(2 * chat_dx / 3 - 100), 50, 180, 36, "Defenders", 1, 1, 1, 0, 0);
    set_button(team_buttons[2], t, static_cast<int>(chat_dx / 2 - 160), static_cast<int>(chat_dy - 70), 320, 36,
               computer_button_label(ui.chat), 1, 1, 1, 0, 0);
}

int hit_test_buttons(button* set, int n, int vx, int vy, int b)
{
    int pressed = -1;
    for (int i = 0; i < n; ++i) {
        button& bt = set[i];
        bool inside = bt.x < vx && vx < bt.x + bt.width && bt.y < vy && vy < bt.y + bt.height;
        if (inside) {
            if (b == 1) {
                bt.state = BUTTON_ON;
                pressed = i;
            } else if (b == -1 && !bt.toggle) {
                bt.state = BUTTON_HOVER;
            }
        } else if (!bt.toggle) {
            bt.state = BUTTON_IDLE;
        }
    }
    return pressed;
}

// One frame of the menu picture's catapult, driven by the start button.
static void animate_menu_catapult(menu_screen& m, float now, const button& start)
{
    catapult_data* c = m.catapult ? catapult_of(m.catapult.get()) : nullptr;
    if (!c)
        return;
    c->wheel_angle += static_cast<float>(stream_rand(m.rng) * 3.0 / 2147483648.0);
    c->arm_angle += c->arm_speed;
    if (c->arm_angle > 170.0f) {
        c->arm_angle = 170.0f;
        c->arm_speed *= -0.5f;
    }
    if (c->arm_angle < 90.0f) {
        c->arm_angle = 90.0f;
        c->arm_speed *= -0.5f;
    }
    if (c->arm_angle < 169.5f)
        c->arm_speed += 0.15f;
    if (start.state == BUTTON_HOVER) {
        if (c->reload_time < now) {
            c->arm_speed = -5.0f;
            c->reload_time = now + 2.0f;
        }
        c->wheel_angle += static_cast<float>(stream_rand(m.rng) * 7.0 / 2147483648.0);
    }
}

void draw_button(user_interface& ui, button* b)
{
    glPushMatrix();
    glTranslatef(static_cast<float>(b->x + b->width / 2), static_cast<float>(b->y + b->height / 2), 0.0f);
    if (b->state == BUTTON_IDLE) {
        glColor3f(1.0f, 1.0f, 1.0f);
    } else {
        glColor3fv(b->colour);
        glScalef(0.9f, 0.9f, 1.0f);
    }
    if (b == &ui.menu.main[MAIN_START])
        animate_menu_catapult(ui.menu, ui.now(), *b);
    const float hw = b->width / 2.0f, hh = b->height / 2.0f;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, b->texture);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(-hw, -hh);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(-hw, hh);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(hw, hh);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(hw, -hh);
    glEnd();
    draw_string(ui.font, -hw + 10.0f, -hh + 10.0f, 0.7f * b->height, b->label);
    if (!(b->toggle && b->state != BUTTON_ON)) {
        glDisable(GL_TEXTURE_2D);
        glColor3f(1.0f, 1.0f, 1.0f);
        glBegin(GL_LINE_LOOP);
        glVertex2f(-hw, -hh);
        glVertex2f(hw, -hh);
        glVertex2f(hw, hh);
        glVertex2f(-hw, hh);
        glEnd();
        glEnable(GL_TEXTURE_2D);
    }
    glPopMatrix();
}

void draw_team_buttons(user_interface& ui)
{
    for (button& b : ui.menu.teams)
        draw_button(ui, &b);
}

// --- set-up ---------------------------------------------------------------------

void set_menu_gl_params(const user_interface& ui)
{
    glViewport(0, 0, ui.renderer.view.width, ui.renderer.view.height);
    push_2d_matrix(ui.renderer.view);
    glDisable(GL_CULL_FACE);
}

void init_menu(user_interface& ui)
{
    set_game_gl_params(ui.renderer.view);
    set_menu_gl_params(ui);
    setup_font(ui.font, ui.renderer.textures[TEX_alphabet]);
    // The picture's catapult: a record of its own, outside any world, made
    // as a catapult is (its two draws come from the menu's numbers, as
    // they always have: this copy's number is drawn after them).
    ui.menu.catapult.reset(new unit{});
    unit* u = ui.menu.catapult.get();
    catapult_data c;
    c.arm_angle = 160.0f;
    c.reload_time = static_cast<float>(ui.session.rand() % 4 + 1);
    c.burning = ui.session.rand() % 5 == 0 ? 1 : 0;
    u->kind = UNIT_CATAPULT;
    u->data = std::move(c);
    u->health = u->max_health = 10.0f;
    u->radius = 1.0f;
    u->team = 0;
    u->pitch = 0.0f;
    init_chat(ui);
    init_main_menu_buttons(ui);
    init_settings_buttons(ui);
    init_team_buttons(ui);
    scoot_chat_in(ui.chat);  // "Chat" starts on
    clear_chat_input(ui.chat);
}

// --- drawing --------------------------------------------------------------------

static void draw_catapult_animation(user_interface& ui)
{
    unit* catapult_animation = ui.menu.catapult.get();
    if (!catapult_animation)
        return;
    const view_state& view = ui.renderer.view;
    glPushMatrix();
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    pop_2d_matrix(view);
    glLoadIdentity();
    glTranslatef(-7.0f, -3.5f, -10.0f);
    glRotatef(25.0f, 1.0f, 0.0f, 0.0f);
    glRotatef(45.0f, 0.0f, 1.0f, 0.0f);
    glScalef(1.4f, 1.4f, 1.4f);
    catapult_animation->x = catapult_animation->y = catapult_animation->z = 0.0f;
    catapult_animation->heading = 0.0f;
    draw_catapult_model(ui.renderer, ui.session.teams, catapult_animation);
    push_2d_matrix(view);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glPopMatrix();
}

static void draw_cursor(const menu_screen& m)
{
    static const float pts[][2] = {{0, 0}, {20, 0}, {14, 6}, {20, 14}, {14, 20}, {6, 14}, {0, 20}, {0, 0}};
    glDisable(GL_TEXTURE_2D);
    glPushMatrix();
    glTranslatef(static_cast<float>(m.mouse_x), static_cast<float>(m.mouse_y), 0.0f);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_POLYGON);
    for (const auto& p : pts)
        glVertex2fv(p);
    glEnd();
    glColor3f(0.0f, 0.0f, 0.0f);
    glBegin(GL_LINE_LOOP);
    for (const auto& p : pts)
        glVertex2fv(p);
    glEnd();
    glPopMatrix();
    glColor3f(1.0f, 1.0f, 1.0f);
}

void draw_menu(user_interface& ui)
{
    glLineWidth(1.0f);
    glDisable(GL_FOG);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glLoadIdentity();
    glColor3f(1.0f, 1.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, ui.renderer.textures[TEX_sky_menu]);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(0.0f, 0.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(0.0f, VIRTUAL_HEIGHT);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(VIRTUAL_WIDTH, VIRTUAL_HEIGHT);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(VIRTUAL_WIDTH, 0.0f);
    glEnd();

    draw_team_selection(ui);
    draw_chat_window(ui);
    glEnable(GL_TEXTURE_2D);
    glColor3f(0.0f, 0.0f, 0.0f);
    draw_string(ui.font, 400.0f, 100.0f, 100.0f, "Kelvarin");
    if (ui.menu.page == 0) {
        draw_string(ui.font, 550.0f, 200.0f, 75.0f, "Main Menu");
        for (button& b : ui.menu.main)
            draw_button(ui, &b);
    } else {
        draw_string(ui.font, 550.0f, 200.0f, 50.0f, "Settings Menu");
        for (button& b : ui.menu.settings)
            draw_button(ui, &b);
        draw_settings_page(ui);
    }
    glColor3f(1.0f, 1.0f, 1.0f);
    draw_catapult_animation(ui);
    draw_cursor(ui.menu);
}

// --- input and simulation -----------------------------------------------------------

int window_to_virtual_x(int x, int width)
{
    return width > 0 ? static_cast<int>(x * VIRTUAL_WIDTH / width) : x;
}

int window_to_virtual_y(int y, int height)
{
    return height > 0 ? static_cast<int>(y * VIRTUAL_HEIGHT / height) : y;
}

void menu_click(user_interface& ui, int x, int y, int b)
{
    const int vx = window_to_virtual_x(x, ui.renderer.view.width);
    const int vy = window_to_virtual_y(y, ui.renderer.view.height);
    button* main_buttons = ui.menu.main;
    button* settings_buttons = ui.menu.settings;
    chat_window& chat = ui.chat;
    ui.menu.mouse_x = vx;
    ui.menu.mouse_y = vy;
    if (ui.menu.page == 0) {
        int pressed = hit_test_buttons(main_buttons, NUM_MAIN_BUTTONS, vx, vy, b);
        if (pressed == MAIN_SETTINGS) {
            if (main_buttons[MAIN_CHAT].state == BUTTON_ON)
                scoot_chat_out(chat);
            if (main_buttons[MAIN_TEAMS].state == BUTTON_ON)
                scoot_team_selection_out(chat);
        } else if (pressed == MAIN_CHAT) {
            main_buttons[MAIN_TEAMS].state = BUTTON_IDLE;
            scoot_team_selection_out(chat);
            scoot_chat_in(chat);
        } else if (pressed == MAIN_TEAMS) {
            main_buttons[MAIN_CHAT].state = BUTTON_IDLE;
            scoot_chat_out(chat);
            scoot_team_selection_in(chat);
        }
    } else {
        int pressed = hit_test_buttons(settings_buttons, NUM_SETTINGS_BUTTONS, vx, vy, b);
        if (pressed == SETTINGS_MAIN_MENU) {
            if (main_buttons[MAIN_CHAT].state == BUTTON_ON)
                scoot_chat_in(chat);
            if (main_buttons[MAIN_TEAMS].state == BUTTON_ON)
                scoot_team_selection_in(chat);
        } else if (pressed >= 0) {
            open_settings_page(ui, pressed);  // "Video", "Sound" or "Controls"
        }
        settings_page_click(ui, vx, vy, b);
    }
    if (main_buttons[MAIN_TEAMS].state == BUTTON_ON)
        team_click(ui, vx, vy, b);
}

void menu_key(user_interface& ui, int code)
{
    if ((code == 'q' || code == 'Q') && is_alt_down()) {
        request(ui, ui_request::quit);
        return;
    }
    chat_key(ui, code);
}

int main_menu_step(user_interface& ui)
{
    button* main_buttons = ui.menu.main;
    if (main_buttons[MAIN_START].state == BUTTON_ON) {
        main_buttons[MAIN_START].state = BUTTON_IDLE;
        request(ui, ui_request::start_game);
        return 1;
    }
    if (main_buttons[MAIN_SETTINGS].state == BUTTON_ON)
        ui.menu.page = 1;
    else if (main_buttons[MAIN_QUIT].state == BUTTON_ON)
        request(ui, ui_request::quit);
    else if (main_buttons[MAIN_CHAT].state == BUTTON_ON)
        main_buttons[MAIN_TEAMS].state = BUTTON_IDLE;
    else if (main_buttons[MAIN_TEAMS].state == BUTTON_ON)
        main_buttons[MAIN_CHAT].state = BUTTON_IDLE;
    return 0;
}

bool simulate_menu(user_interface& ui, float dt)
{
    if (main_menu_step(ui))
        return true;
    simulate_chat_window(ui, dt);
    simulate_team_window(ui.chat, dt);
    if (ui.menu.settings[SETTINGS_MAIN_MENU].state == BUTTON_ON) {
        ui.menu.settings[SETTINGS_MAIN_MENU].state = BUTTON_IDLE;
        ui.menu.page = 0;
        open_settings_page(ui, PAGE_NONE);
    }
    return false;
}
