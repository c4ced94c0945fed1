// The computer side's figure: it walks by routes to where its side needs
// it, shoots arrows at the enemies in sight (as far off the mark as its
// level allows), prays at its side's temple when its health or its favour
// with the gods calls for it, and casts what the gods grant where it helps.
// Its favour grows and its spells are granted by the rules a player's are.
#pragma once

struct battlefield;
struct level_traits;

void start_figure(int team, const level_traits& traits, const battlefield& field);
// Every step: prayer, healing and grants, and the bow.
void step_figure(int team, float dt);
// When its side thinks: where to go, whom to shoot, what to cast.
void think_figure(int team);

int figure_spells_cast(int team);
int figure_arrows(int team);
