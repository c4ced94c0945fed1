// What every part of the simulation shares about the game being played: its
// phase (no game, play, won, lost), its clock, the two teams, and the god
// mode of this copy's player. A game is state with a beginning and an end:
// game_time starts at 0 when a world is built and only moves while it is
// played.
#pragma once

// Game phases (game_state): no game (the menu), play, and this copy's end.
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
    int members;    // participants playing for the side
};

extern int game_state;
extern float game_time;  // seconds
extern team_entry teams[2];
// GOD: this copy's player walks three times as fast, rises and sinks at
// will, prays 25 and heals 4 times as fast.
extern int do_god;

void init_teams();

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
