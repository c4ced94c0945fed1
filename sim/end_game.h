// The end of a game: each copy decides for itself, once a play step,
// whether its player has won (the attackers hold the defenders' temple, or
// the other side is gone) or lost (the temple taken, or the player's own
// figure dead).
#pragma once

struct unit;
struct model_node;
struct world;

// Results, the same values as the session's phases won and lost.
enum { END_GOES_ON = 1, END_WON = 2, END_LOST = 3 };

// More than this many attacker units pressed against the defenders' temple
// take it.
constexpr int TEMPLE_HOLDERS_TO_WIN = 5;

// Attacker units pressed against the temple that stands in the defenders'
// half of the map (its centre at z < 0).
int count_temple_holders(const world& w);

// END_GOES_ON, END_WON or END_LOST for this frame.
int is_end_game(world& w);

// Enters the won or lost phase. A lost player who was the last of the side
// (as far as this copy knows) takes every unit with it; otherwise only the
// player's own figure goes.
void end_game(world& w, int result);

// Empties the unit registry, the participants' figures included.
void delete_all_units(world& w);
