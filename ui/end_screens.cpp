// The end screens: one still message, victory or defeat, until a click.
#include "ui/end_screens.h"

#include <GL/gl.h>

#include "render/camera.h"
#include "ui/menu.h"
#include "render/renderer.h"
#include "ui/requests.h"
#include "ui/user_interface.h"

void setup_2d_view()
{
    glDisable(GL_FOG);
    glEnable(GL_DEPTH_TEST);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor3f(1.0f, 1.0f, 1.0f);
}

// One line of an end screen, centred on the screen's middle. The glyphs are
// 120 units high unless the line would not fit the 1280-unit width, as
// "You are victorious!" would not: then they shrink until it does.
static void draw_centred_line(const menu_font& f, float y, const char* text)
{
    constexpr float size = 120.0f, room = 1240.0f;
    const float width = string_width(f, size, text);
    const float fitted = width > room ? size * room / width : size;
    draw_string(f, -string_width(f, fitted, text) / 2, y, fitted, text);
}

void draw_win_frame(const user_interface& ui)
{
    push_2d_matrix(ui.renderer.view);
    setup_2d_view();
    glTranslatef(640.0f, 512.0f, 0.0f);
    draw_centred_line(ui.font, 0.0f, "You are victorious!");
    pop_2d_matrix(ui.renderer.view);
}

void draw_lose_frame(const user_interface& ui)
{
    push_2d_matrix(ui.renderer.view);
    setup_2d_view();
    glColor3f(1.0f, 0.0f, 0.0f);
    glTranslatef(640.0f, 512.0f, 0.0f);
    draw_centred_line(ui.font, -75.0f, "You have failed");
    draw_centred_line(ui.font, 75.0f, "to achieve victory.");
    pop_2d_matrix(ui.renderer.view);
}

void end_game_click(user_interface& ui, int, int, int b)
{
    // A pressed button goes back to the menu.
    if (b > 0)
        request(ui, ui_request::back_to_menu);
}
