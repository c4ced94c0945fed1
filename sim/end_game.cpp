#include "sim/end_game.h"

#include <cstdio>

#include "sim/buildings.h"
#include "sim/game.h"
#include "sim/model_tree.h"
#include "sim/participants.h"
#include "sim/session.h"
#include "sim/units.h"
#include "sim/world.h"

int count_temple_holders(const world& w)
{
    int holders = 0;
    for (const unit* u = w.units.list; u; u = u->next) {
        if (!u->touched_model || u->team != TEAM_ATTACKERS)
            continue;
        const model_node* temple = is_a_temple(w, u->touched_model);
        if (temple && temple->origin[2] < 0.0f)
            ++holders;
    }
    return holders;
}

int is_end_game(world& w)
{
    if (count_temple_holders(w) > TEMPLE_HOLDERS_TO_WIN)
        return i_am_defender(w.session) ? END_LOST : END_WON;
    if (w.me && !(w.me->health > 0.0f))
        return END_LOST;
    const int own = local_team(w);
    if (w.units.win_check_due && (own == 0 || own == 1) && w.session.teams[1 - own].members == 0 && !w.alone) {
        w.units.win_check_due = 0;
        return END_WON;
    }
    return END_GOES_ON;
}

// The own figure is about to go: its table entry must not keep pointing at
// it.
static void forget_own_figure(session& s)
{
    for (participant& p : s.parts)
        if (p.is_self)
            p.figure = nullptr;
}

// The registry is cleared because the game is over here, not because its
// units died: the copies still playing keep them.
void delete_all_units(world& w)
{
    forget_own_figure(w.session);
    while (w.units.list)
        drop_unit(w, w.units.list);
    w.me = nullptr;
}

void end_game(world& w, int result)
{
    if (result != END_WON && result != END_LOST)
        return;
    const int own = local_team(w);
    w.session.phase = result;
    printf("the game is over: %s, %d units at the temple\n", result == END_WON ? "won" : "lost",
           count_temple_holders(w));
    if (result == END_LOST) {
        if ((own == 0 || own == 1) && w.session.teams[own].members == 1) {
            delete_all_units(w);
        } else if (w.me) {
            unit* figure = w.me;
            forget_own_figure(w.session);
            del_unit(w, figure);
        }
    }
    w.me = nullptr;
}
