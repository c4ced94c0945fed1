// The lightning bolt of a strike: the sky darkens, a randomly branching bolt
// flickers over the point, storm clouds gather and thunder rolls.
#pragma once

// Where and when the last bolt struck (no bolt is pending at start) and how
// long a bolt lasts. Storm clouds melt away ten seconds after it stops.
extern float last_lightning_x, last_lightning_z;
extern float last_lightning_time;
extern float time_lightning_lasts;

// What the frame at `now` does for a strike at `strike_time` lasting
// `lasts` seconds: the sky darkens for the first second, the bolt may
// flicker from then until the end, and the sky lightens from one second
// before the end.
struct lightning_moment {
    bool night_on;
    bool bolt_may_show;
    bool night_off;
};
lightning_moment lightning_timeline(float now, float strike_time, float lasts);

// A strike at (x, z): remembered as the last one, four storm clouds over the
// point and the thunder. Replaces a strike still under way.
void set_lightning(float x, float z);

// Once per frame of play: drives the darkness and draws the bolt.
void draw_lightning();

// One bolt from 150 above the terrain at (x, z) down toward it.
void do_lightning(float x, float z);

// "LIGH" from a copy casting lightning.
void register_lightning_command();

// A new game: no strike under way (no darkness, no bolt, and the storm
// clouds' time is over), the bolt's twist chosen afresh.
void reset_game_lightning();
