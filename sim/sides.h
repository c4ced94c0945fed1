// Which copy steers each side. A side that people play is steered by its
// leader, the member with the lowest number; a side given to the computer
// is steered by the copy hosting it (the copy that started the game) for
// every copy alike, and has a figure of its own. "Steering" a side means
// making its starting army, ordering its units, reporting their state,
// applying the blows its units take (a unit's health drops only on the
// copies that play its side) and deciding deaths whose creator has left.
#pragma once

#include <cstdint>

struct session;
struct unit;
struct world;

// Computer levels: how fast it reacts and re-plans, how well it aims and
// casts (never what it has: it gets the units and spells a player's side
// gets).
enum : int {
    LEVEL_EASY = 1,
    LEVEL_NORMAL = 2,
    LEVEL_HARD = 3,
};
// "easy", "normal", "hard" (nullptr for no level), and back (0 for none).
const char* level_name(int level);
int level_from_name(const char* name);

// A side the computer plays, as the session's game gives it (its figure
// is its world's: world::computer_figures).
struct computer_side {
    bool on = false;
    uint32_t host = 0;  // the hosting copy's sender id; 0 when this copy hosts
    int level = LEVEL_NORMAL;
};

// The sides of the game about to be built: none given to the computer,
// then `team` given to it at `level`, hosted by the copy `host` (0: this
// copy). Set before the world is built; they last until the next game.
void clear_computer_sides(session& s);
void set_computer_side(session& s, int team, int level, uint32_t host);
bool computer_plays(const session& s, int team);
// The computer plays the side and this copy hosts it.
bool hosts_computer_side(const session& s, int team);

// Whether this copy steers side `team`'s units: its own side as its
// leader, a computer side it hosts.
bool leads_side(const session& s, int team);
// Whether this copy applies the blows to side `team`'s units: every copy of
// a side people play, the host alone of a computer side.
bool plays_side(const session& s, int team);
// Whether the participant `sender` (its sender id and team) may act for
// side `team`: a member of a side people play, the host of a computer side.
bool sender_plays_side(const session& s, uint32_t sender, int sender_team, int team);
// The side a command names in a slot (1 attackers, 2 defenders, 0 the
// sender's own), as the sender may act for it; -1 when it may not.
int commanded_side(const session& s, uint32_t slot, uint32_t sender, int sender_team);
// The slot that names side `team` in a command this copy sends: 0 for its
// own side, one more than the team for a computer side it hosts.
uint32_t side_slot(const session& s, int team);

// The computer side's figure: made on every copy when the world is built,
// at the side's start place (the id is its side's own, of no participant),
// steered by its host. Its death loses the side the game, as a player's
// does.
constexpr uint32_t COMPUTER_FIGURE_ID = 0x80800;  // + the side
unit* make_computer_figure(world& w, int team);
// The side whose computer figure this is, or -1.
int computer_figure_side(const world& w, const unit* u);
// The figure is gone: the side has nobody left.
void computer_figure_gone(world& w, const unit* u);
