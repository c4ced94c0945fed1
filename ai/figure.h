// The computer side's figure: it walks by routes to where its side needs
// it, shoots arrows at the enemies in sight (as far off the mark as its
// level allows), prays at its side's temple when its health or its favour
// with the gods calls for it, and casts what the gods grant where it helps.
// Its favour grows and its spells are granted by the rules a player's are.
#pragma once

#include <cstdint>

#include "ai/battlefield.h"
#include "ai/levels.h"

struct world;

// What one computer figure knows and holds in a battle.
struct figure_state {
    bool on = false;
    int team = 0;
    level_traits traits{};
    battlefield field;
    bool praying = false;  // on its way to its temple, or there
    float favour = 5.0f;   // as a player's at the start of a game
    int spells[2] = {0, 0};
    uint32_t target = 0;   // whom the bow aims at (its id: it may be gone by the next step)
    float next_shot = 0.0f;
    int spells_cast = 0;
    int arrows = 0;
    bool going = false;    // on its way to the goal last ordered
    float goal_x = 0.0f, goal_z = 0.0f;
};

void start_figure(figure_state& f, const world& w, int team, const level_traits& traits, const battlefield& field);
// Every step: prayer, healing and grants, and the bow.
void step_figure(figure_state& f, world& w, float dt);
// When its side thinks: where to go, whom to shoot, what to cast.
void think_figure(figure_state& f, world& w);
