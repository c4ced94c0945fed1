// What every part of the simulation shares about a game: its phases (no
// game, play, won, lost), the two sides, and the rate its per-step rules
// were tuned at. The clock of a battle is its world's (sim/world.h), and
// starts at 0 when the world is made.
#pragma once

// Game phases (session::phase): no game (the menu), play, and this copy's end.
enum : int {
    STATE_MENU = 0,
    STATE_PLAY = 1,
    STATE_WON = 2,
    STATE_LOST = 3,
};

// Team numbers.
enum : int {
    TEAM_ATTACKERS = 0,
    TEAM_DEFENDERS = 1,
};

struct team_entry {
    float r, g, b;  // the side's colour, as the figures and engines wear it
    char name[32];
    int members;    // participants playing for the side (and its computer figure)
};

// The two sides' colours and names, no members yet.
void init_teams(team_entry (&teams)[2]);

// The rate at which the per-step rules of the game were tuned: a rule that
// once moved by a fixed amount each step moves by that amount this many
// times a game second, whatever the step length.
constexpr float TUNED_STEPS_PER_SECOND = 40.0f;
// One step at the tuned rate, in seconds.
constexpr float TUNED_STEP = 1.0f / TUNED_STEPS_PER_SECOND;
// `per_step` (an amount a step at the tuned rate) over `dt` seconds.
inline float per_tuned_step(float per_step, float dt)
{
    return per_step * (TUNED_STEPS_PER_SECOND * dt);
}
// A factor applied once a step at the tuned rate (a decay), over `dt`.
float tuned_decay(float per_step_factor, float dt);
