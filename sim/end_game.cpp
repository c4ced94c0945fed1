#include "sim/end_game.h"

#include <GL/gl.h>
#include <cstdio>

#include "render/camera.h"
#include "game/main_loop.h"
#include "net/multicast.h"
#include "sim/participants.h"
#include "ui/menu.h"
#include "sim/units.h"
#include "sim/buildings.h"
#include "sim/model_tree.h"

int count_temple_holders()
{
    int holders = 0;
    for (const unit* u = unit_list; u; u = u->next) {
        if (!u->touched_model || u->team != TEAM_ATTACKERS)
            continue;
        const model_node* temple = is_a_temple(u->touched_model);
        if (temple && temple->origin[2] < 0.0f)
            ++holders;
    }
    return holders;
}

int is_end_game()
{
    if (count_temple_holders() > TEMPLE_HOLDERS_TO_WIN)
        return i_am_defender() ? END_LOST : END_WON;
    if (me && !(me->health > 0.0f))
        return END_LOST;
    const int own = local_team();
    if (do_check_win && (own == 0 || own == 1) && teams[1 - own].members == 0 && !single_player) {
        do_check_win = 0;
        return END_WON;
    }
    return END_GOES_ON;
}

// The own figure is about to go: its table entry must not keep pointing at
// it (the menu's rebuilt table releases the old entries' figures).
static void forget_own_figure()
{
    for (participant& p : parts)
        if (p.is_self)
            p.avatar = nullptr;
}

// The registry is cleared because the game is over here, not because its
// units died: the copies still playing keep them.
void delete_all_units()
{
    forget_own_figure();
    while (unit_list)
        drop_unit(unit_list);
    me = nullptr;
}

void end_game(int result)
{
    if (result != END_WON && result != END_LOST)
        return;
    const int own = local_team();
    game_state = result;
    printf("the game is over: %s, %d units at the temple\n", result == END_WON ? "won" : "lost",
           count_temple_holders());
    if (result == END_LOST) {
        if ((own == 0 || own == 1) && teams[own].members == 1) {
            delete_all_units();
        } else if (me) {
            unit* figure = me;
            forget_own_figure();
            del_unit(figure);
        }
    }
    me = nullptr;
}

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
static void draw_centred_line(float y, const char* text)
{
    constexpr float size = 120.0f, room = 1240.0f;
    const float width = string_width(size, text);
    const float fitted = width > room ? size * room / width : size;
    draw_string(-string_width(fitted, text) / 2, y, fitted, text);
}

void draw_win_frame()
{
    push_2d_matrix();
    setup_2d_view();
    glTranslatef(640.0f, 512.0f, 0.0f);
    draw_centred_line(0.0f, "You are victorious!");
    pop_2d_matrix();
}

void draw_lose_frame()
{
    push_2d_matrix();
    setup_2d_view();
    glColor3f(1.0f, 0.0f, 0.0f);
    glTranslatef(640.0f, 512.0f, 0.0f);
    draw_centred_line(-75.0f, "You have failed");
    draw_centred_line(75.0f, "to achieve victory.");
    pop_2d_matrix();
}

void end_game_click(int, int, int b)
{
    if (b <= 0)
        return;
    // Whatever the result, the next game starts from an empty registry: units
    // left over from this one must not walk into it.
    delete_all_units();
    // Back in the lobby's channel, where the menu meets the other copies.
    close_ipmulticast();
    init_ipmulticast(0);
    game_state = STATE_MENU;
    init_menu();
}
