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
#include "sim/catapult.h"
#include "sim/units.h"

int menu_state = 0;
button main_buttons[NUM_MAIN_BUTTONS];
button settings_buttons[NUM_SETTINGS_BUTTONS];
button team_buttons[NUM_TEAM_BUTTONS];
unsigned int font_base = 0;
float char_width[256];
int latest_mouse_x = -1, latest_mouse_y = -1;
unit* catapult_animation = nullptr;

// The menu picture's catapult lives outside the unit registry; its kind
// record goes with it.
struct menu_catapult_deleter {
    void operator()(unit* u) const
    {
        if (u->kind_data && u->kind_release)
            u->kind_release(u->kind_data);
        delete u;
    }
};
static std::unique_ptr<unit, menu_catapult_deleter> g_catapult_animation;
// The picture's own random numbers (the wheels' jitter).
static rand_stream s_rand;

static const char ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// --- font ------------------------------------------------------------------------

void init_char_widths()
{
    for (float& w : char_width)
        w = 1.0f;
    auto set = [](const char* chars, float w) {
        for (const char* c = chars; *c; ++c)
            char_width[static_cast<unsigned char>(*c)] = w;
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

void setup_font()
{
    init_char_widths();
    if (!font_base)
        font_base = glGenLists(256);
    for (int code = 0; code < 256; ++code) {
        glNewList(font_base + code, GL_COMPILE);
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

float draw_string(float x, float y, float size, const char* text)
{
    if (!text)
        return -1.0f;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, alphabet_texid);
    glPushMatrix();
    glTranslatef(x, y, 0.0f);
    glScalef(size, size, 1.0f);
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; ++c) {
        glCallList(font_base + *c);
        glTranslatef(char_width[*c], 0.0f, 0.0f);
    }
    glPopMatrix();
    return 0.0f;
}

float string_width(float size, const char* text)
{
    if (!text)
        return 0.0f;
    float w = 0.0f;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; ++c)
        w += char_width[*c] * size;
    return w;
}

// --- buttons -----------------------------------------------------------------------

static void set_button(button& b, int x, int y, int w, int h, const char* label, float r, float g, float bl,
                       int toggle, int state)
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
    b.texture = sky_button_texid;
}

void init_main_menu_buttons()
{
    set_button(main_buttons[MAIN_START], 50, 100, 250, 50, "Start Game", 0, 1, 0, 0, 0);
    set_button(main_buttons[MAIN_SETTINGS], 50, 200, 250, 50, "Settings", 1, 1, 0, 0, 0);
    set_button(main_buttons[MAIN_QUIT], 50, 300, 250, 50, "Quit", 1, 0, 0, 0, 0);
    set_button(main_buttons[MAIN_CHAT], 450, 950, 250, 50, "Chat", 1, 1, 1, 1, 1);
    set_button(main_buttons[MAIN_TEAMS], 750, 950, 250, 50, "Teams", 1, 1, 1, 1, 0);
}

void init_settings_buttons()
{
    set_button(settings_buttons[SETTINGS_VIDEO], 50, 100, 250, 50, "Video", 0, 1, 1, 0, 0);
    set_button(settings_buttons[SETTINGS_SOUND], 50, 200, 250, 50, "Sound", 1, 1, 0, 0, 0);
    set_button(settings_buttons[SETTINGS_CONTROLS], 50, 300, 250, 50, "Controls", 1, 0.5f, 0.5f, 0, 0);
    set_button(settings_buttons[SETTINGS_MAIN_MENU], 50, 400, 250, 50, "Main Menu", 0, 1, 0, 0, 0);
}

void init_team_buttons()
{
    set_button(team_buttons[0], static_cast<int>(chat_dx / 3 - 90), 50, 180, 36, "Attackers", 1, 1, 1, 0, 0);
    set_button(team_buttons[1], static_cast<int>(2 * chat_dx / 3 - 100), 50, 180, 36, "Defenders", 1, 1, 1, 0, 0);
    set_button(team_buttons[2], static_cast<int>(chat_dx / 2 - 160), static_cast<int>(chat_dy - 70), 320, 36,
               computer_button_label(), 1, 1, 1, 0, 0);
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
static void animate_menu_catapult(const button& start)
{
    if (!catapult_animation)
        return;
    auto* c = static_cast<catapult_data*>(catapult_animation->kind_data);
    c->wheel_angle += static_cast<float>(stream_rand(s_rand) * 3.0 / 2147483648.0);
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
        if (c->reload_time < game_time) {
            c->arm_speed = -5.0f;
            c->reload_time = game_time + 2.0f;
        }
        c->wheel_angle += static_cast<float>(stream_rand(s_rand) * 7.0 / 2147483648.0);
    }
}

void draw_button(button* b)
{
    glPushMatrix();
    glTranslatef(static_cast<float>(b->x + b->width / 2), static_cast<float>(b->y + b->height / 2), 0.0f);
    if (b->state == BUTTON_IDLE) {
        glColor3f(1.0f, 1.0f, 1.0f);
    } else {
        glColor3fv(b->colour);
        glScalef(0.9f, 0.9f, 1.0f);
    }
    if (b == &main_buttons[MAIN_START])
        animate_menu_catapult(*b);
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
    draw_string(-hw + 10.0f, -hh + 10.0f, 0.7f * b->height, b->label);
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

void draw_main_buttons()
{
    for (button& b : main_buttons)
        draw_button(&b);
}

void draw_settings_buttons()
{
    for (button& b : settings_buttons)
        draw_button(&b);
}

void draw_team_buttons()
{
    for (button& b : team_buttons)
        draw_button(&b);
}

// --- set-up ---------------------------------------------------------------------

void set_menu_gl_params()
{
    glViewport(0, 0, g_game_width, g_game_height);
    push_2d_matrix();
    glDisable(GL_CULL_FACE);
}

void init_menu()
{
    set_game_gl_params();
    set_menu_gl_params();
    setup_font();
    // The picture's catapult: a record of its own, outside the world.
    if (!g_catapult_animation)
        g_catapult_animation.reset(new unit{});
    catapult_animation = g_catapult_animation.get();
    init_catapult(catapult_animation, 0.0f, 0.0f);
    catapult_animation->team = 0;
    catapult_animation->pitch = 0.0f;
    init_chat();
    init_main_menu_buttons();
    init_settings_buttons();
    init_team_buttons();
    scoot_chat_in();  // "Chat" starts on
    clear_chat_input();
}

// --- drawing --------------------------------------------------------------------

static void draw_catapult_animation()
{
    if (!catapult_animation)
        return;
    glPushMatrix();
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    pop_2d_matrix();
    glLoadIdentity();
    glTranslatef(-7.0f, -3.5f, -10.0f);
    glRotatef(25.0f, 1.0f, 0.0f, 0.0f);
    glRotatef(45.0f, 0.0f, 1.0f, 0.0f);
    glScalef(1.4f, 1.4f, 1.4f);
    catapult_animation->x = catapult_animation->y = catapult_animation->z = 0.0f;
    catapult_animation->heading = 0.0f;
    draw_catapult_model(catapult_animation);
    push_2d_matrix();
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glPopMatrix();
}

void draw_cursor()
{
    static const float pts[][2] = {{0, 0}, {20, 0}, {14, 6}, {20, 14}, {14, 20}, {6, 14}, {0, 20}, {0, 0}};
    glDisable(GL_TEXTURE_2D);
    glPushMatrix();
    glTranslatef(static_cast<float>(latest_mouse_x), static_cast<float>(latest_mouse_y), 0.0f);
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

void draw_menu()
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
    glBindTexture(GL_TEXTURE_2D, sky_menu_texid);
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

    draw_team_selection();
    draw_chat_window();
    glEnable(GL_TEXTURE_2D);
    glColor3f(0.0f, 0.0f, 0.0f);
    draw_string(400.0f, 100.0f, 100.0f, "Kelvarin");
    if (menu_state == 0) {
        draw_string(550.0f, 200.0f, 75.0f, "Main Menu");
        draw_main_buttons();
    } else {
        draw_string(550.0f, 200.0f, 50.0f, "Settings Menu");
        draw_settings_buttons();
        draw_settings_page();
    }
    glColor3f(1.0f, 1.0f, 1.0f);
    draw_catapult_animation();
    draw_cursor();
}

// --- input and simulation -----------------------------------------------------------

int window_to_virtual_x(int x)
{
    return g_game_width > 0 ? static_cast<int>(x * VIRTUAL_WIDTH / g_game_width) : x;
}

int window_to_virtual_y(int y)
{
    return g_game_height > 0 ? static_cast<int>(y * VIRTUAL_HEIGHT / g_game_height) : y;
}

void menu_click(int x, int y, int b)
{
    const int vx = window_to_virtual_x(x), vy = window_to_virtual_y(y);
    latest_mouse_x = vx;
    latest_mouse_y = vy;
    if (menu_state == 0) {
        int pressed = hit_test_buttons(main_buttons, NUM_MAIN_BUTTONS, vx, vy, b);
        if (pressed == MAIN_SETTINGS) {
            if (main_buttons[MAIN_CHAT].state == BUTTON_ON)
                scoot_chat_out();
            if (main_buttons[MAIN_TEAMS].state == BUTTON_ON)
                scoot_team_selection_out();
        } else if (pressed == MAIN_CHAT) {
            main_buttons[MAIN_TEAMS].state = BUTTON_IDLE;
            scoot_team_selection_out();
            scoot_chat_in();
        } else if (pressed == MAIN_TEAMS) {
            main_buttons[MAIN_CHAT].state = BUTTON_IDLE;
            scoot_chat_out();
            scoot_team_selection_in();
        }
    } else {
        int pressed = hit_test_buttons(settings_buttons, NUM_SETTINGS_BUTTONS, vx, vy, b);
        if (pressed == SETTINGS_MAIN_MENU) {
            if (main_buttons[MAIN_CHAT].state == BUTTON_ON)
                scoot_chat_in();
            if (main_buttons[MAIN_TEAMS].state == BUTTON_ON)
                scoot_team_selection_in();
        } else if (pressed >= 0) {
            open_settings_page(pressed);  // "Video", "Sound" or "Controls"
        }
        settings_page_click(vx, vy, b);
    }
    if (main_buttons[MAIN_TEAMS].state == BUTTON_ON)
        team_click(vx, vy, b);
}

void menu_key(int code)
{
    if ((code == 'q' || code == 'Q') && is_alt_down()) {
        request(ui_request::quit);
        return;
    }
    chat_key(code);
}

int main_menu_step()
{
    if (main_buttons[MAIN_START].state == BUTTON_ON) {
        main_buttons[MAIN_START].state = BUTTON_IDLE;
        request(ui_request::start_game);
        return 1;
    }
    if (main_buttons[MAIN_SETTINGS].state == BUTTON_ON)
        menu_state = 1;
    else if (main_buttons[MAIN_QUIT].state == BUTTON_ON)
        request(ui_request::quit);
    else if (main_buttons[MAIN_CHAT].state == BUTTON_ON)
        main_buttons[MAIN_TEAMS].state = BUTTON_IDLE;
    else if (main_buttons[MAIN_TEAMS].state == BUTTON_ON)
        main_buttons[MAIN_CHAT].state = BUTTON_IDLE;
    return 0;
}

bool simulate_menu(float dt)
{
    if (main_menu_step())
        return true;
    simulate_chat_window(dt);
    simulate_team_window(dt);
    if (settings_buttons[SETTINGS_MAIN_MENU].state == BUTTON_ON) {
        settings_buttons[SETTINGS_MAIN_MENU].state = BUTTON_IDLE;
        menu_state = 0;
        open_settings_page(PAGE_NONE);
    }
    return false;
}

void reset_game_menu()
{
    if (catapult_animation && catapult_animation->kind_data)
        static_cast<catapult_data*>(catapult_animation->kind_data)->reload_time = 0.0f;
}
