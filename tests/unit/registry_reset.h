// Empties the unit registry between scenes, for tests and benchmarks.
#pragma once

#include "sim/participants.h"
#include "sim/units.h"

// Every unit but the participants' figures (the lobby reset takes those),
// and no selection left pointing at them.
inline void empty_registry()
{
    for (unit* u = unit_list; u;) {
        unit* next = u->next;
        bool figure = false;
        for (const participant& p : parts)
            figure = figure || p.figure == u;
        if (!figure)
            del_unit(u);
        u = next;
    }
    friends_selected = 0;
    enemy_selected = nullptr;
}
