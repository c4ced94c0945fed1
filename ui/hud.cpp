#include "ui/hud.h"

#include <GL/gl.h>
#include <cmath>

#include "sim/game.h"
#include "render/model_draw.h"
#include "render/textures.h"
#include "sim/participants.h"
#include "ui/interface.h"
#include "sim/magic.h"
#include "ui/menu.h"
#include "sim/combat.h"
#include "sim/units.h"
#include "sim/world.h"
#include "render/renderer.h"
#include "ui/user_interface.h"

// --- status bars ----------------------------------------------------------------

float status_bar_end(float value)
{
    const float v = std::isfinite(value) ? std::fmin(std::fmax(value, 0.0f), 15.0f) : 0.0f;
    return -1.0f + v * 0.1333f;
}

static void bar(float value, float y0, float y1)
{
    const float x1 = status_bar_end(value);
    glBegin(GL_QUADS);
    glVertex2f(-1.0f, y0);
    glVertex2f(x1, y0);
    glVertex2f(x1, y1);
    glVertex2f(-1.0f, y1);
    glEnd();
}

void draw_hud(const world& w)
{
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    const float health = w.me ? w.me->health : 0.0f;
    // GL clamps the colour: red when the health is gone, green when full.
    glColor4f(1.0f - health, health, 0.0f, 0.5f);
    bar(health, 0.2f, 0.3f);
    glColor4f(0.2f, 0.2f, 1.0f, 0.5f);
    bar(w.player.now_favor, 0.3f, 0.4f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

// --- banner -----------------------------------------------------------------------

void set_message(banner_state& m, float now, const char* text, float r, float g, float b, float appear, float fade)
{
    m.text = text ? text : "";
    m.red = r;
    m.green = g;
    m.blue = b;
    m.display_time = now + appear;
    m.fade_time = now + fade;
}

void simulate_message(banner_state& m, float now)
{
    const float t = now;
    if (t < m.display_time) {
        if (t <= m.display_time - BANNER_EDGE) {
            m.alpha = 0.0f;
        } else {
            m.alpha = std::cos(10.0f * (m.display_time - t));
            m.do_message = 1;
        }
    } else if (t <= m.fade_time) {
        m.alpha = 1.0f;
    } else if (m.fade_time + BANNER_EDGE <= t) {
        m.alpha = 0.0f;
        m.do_message = 0;
    } else {
        m.alpha = std::cos(10.0f * (t - m.fade_time));
    }
}

banner_layout layout_banner(const menu_font& f, const char* text)
{
    const float reference = string_width(f, 0.2f, text);
    if (!(reference > 0.0f))
        return {0.0f, 0.0f};
    const float size = 0.3f / (0.5f * reference);
    return {size, 0.5f * string_width(f, size, text)};
}

void draw_message(const user_interface& ui)
{
    const banner_state& m = ui.banner;
    if (!m.do_message)
        return;
    const banner_layout l = layout_banner(ui.font, m.text.c_str());
    if (l.size <= 0.0f)
        return;
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -2.001f);
    glScalef(1.0f, -1.0f, 1.0f);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    // A shadow shimmering slowly between light grey and white.
    const float g = 0.9f + 0.1f * std::sin(2.0f * ui.now());
    glColor4f(g, g, g, m.alpha);
    const float offset = 0.075f * l.size;
    draw_string(ui.font, -l.half_width + offset, 0.7f + offset, l.size, m.text.c_str());
    glColor4f(m.red, m.green, m.blue, m.alpha);
    draw_string(ui.font, -l.half_width, 0.7f, l.size, m.text.c_str());
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glEnable(GL_CULL_FACE);
    glPopMatrix();
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
}

void draw_crosshairs(const user_interface& ui)
{
    if (ui.bar.shown)
        return;
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glTranslatef(0.0f, -0.1f, -2.001f);
    glBindTexture(GL_TEXTURE_2D, ui.renderer.textures[TEX_crosshairs]);
    glColor3f(1.0f, 0.0f, 0.0f);
    draw_quad(0.15f, 0.15f);
    glColor3f(1.0f, 1.0f, 1.0f);
    glEnable(GL_DEPTH_TEST);
    glPopMatrix();
}
