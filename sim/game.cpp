#include "sim/game.h"

#include <cmath>
#include <cstdio>

static void set_team(team_entry& t, float r, float g, float b, const char* name)
{
    t.r = r;
    t.g = g;
    t.b = b;
    snprintf(t.name, sizeof t.name, "%s", name);
    t.members = 0;
}

void init_teams(team_entry (&teams)[2])
{
    set_team(teams[TEAM_ATTACKERS], 1.0f, 0.5f, 0.5f, "Attackers");
    set_team(teams[TEAM_DEFENDERS], 0.5f, 1.0f, 0.5f, "Defenders");
}

float tuned_decay(float per_step_factor, float dt)
{
    return std::pow(per_step_factor, TUNED_STEPS_PER_SECOND * dt);
}
