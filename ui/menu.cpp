#include "ui/menu.h"

#include <GL/gl.h>
#include <cstdlib>
#include <cstring>

#include "core/camera.h"
#include "core/textures.h"
#include "core/window.h"

void init_menu()
{
    set_game_gl_params();
    glDisable(GL_FOG);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    cursor_hidden_mode();
}

static void draw_background()
{
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, sky_menu_texid);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(0.0f, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(VIRTUAL_WIDTH, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(VIRTUAL_WIDTH, VIRTUAL_HEIGHT);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(0.0f, VIRTUAL_HEIGHT);
    glEnd();
    glDisable(GL_TEXTURE_2D);
}

static void draw_bitmap_text(float x, float y, const char* text)
{
    glRasterPos2f(x, y);
    glListBase(bitmap_font_base);
    glCallLists(static_cast<int>(strlen(text)), GL_UNSIGNED_BYTE, text);
}

void draw_menu()
{
    glViewport(0, 0, g_game_width, g_game_height);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    push_2d_matrix();
    draw_background();
    glColor3f(1.0f, 1.0f, 0.0f);
    draw_bitmap_text(600.0f, 100.0f, "Kelvarin");
    pop_2d_matrix();
}

void simulate_menu(float)
{
}

void menu_click(int, int, int)
{
}

void menu_key(int code)
{
    // Alt+Q leaves the game at once from the menu.
    if ((code == 'q' || code == 'Q') && is_alt_down())
        exit(0);
}
