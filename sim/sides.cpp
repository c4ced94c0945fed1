#include "sim/sides.h"

#include <cstring>
#include <vector>

#include "sim/game.h"
#include "sim/humanoid.h"
#include "sim/participants.h"
#include "sim/rights.h"
#include "sim/route.h"
#include "sim/session.h"
#include "sim/units.h"
#include "sim/world.h"

static const char* const LEVEL_NAMES[] = {nullptr, "easy", "normal", "hard"};

const char* level_name(int level)
{
    return level >= LEVEL_EASY && level <= LEVEL_HARD ? LEVEL_NAMES[level] : nullptr;
}

int level_from_name(const char* name)
{
    for (int level = LEVEL_EASY; level <= LEVEL_HARD; ++level)
        if (name && !strcmp(name, LEVEL_NAMES[level]))
            return level;
    return 0;
}

void clear_computer_sides(session& s)
{
    for (computer_side& c : s.sides)
        c = computer_side{};
}

void set_computer_side(session& s, int team, int level, uint32_t host)
{
    if (team != TEAM_ATTACKERS && team != TEAM_DEFENDERS)
        return;
    computer_side& c = s.sides[team];
    c.on = true;
    c.host = host;
    c.level = level >= LEVEL_EASY && level <= LEVEL_HARD ? level : LEVEL_NORMAL;
}

bool computer_plays(const session& s, int team)
{
    return (team == TEAM_ATTACKERS || team == TEAM_DEFENDERS) && s.sides[team].on;
}

bool hosts_computer_side(const session& s, int team)
{
    return computer_plays(s, team) && s.sides[team].host == 0;
}

bool leads_side(const session& s, int team)
{
    return (team == TEAM_ATTACKERS || team == TEAM_DEFENDERS) && side_steerer(s, team) == 0;
}

bool plays_side(const session& s, int team)
{
    if (computer_plays(s, team))
        return hosts_computer_side(s, team);
    return team >= 0 && team == local_team(s);
}

bool sender_plays_side(const session& s, uint32_t sender, int sender_team, int team)
{
    if (computer_plays(s, team))
        return !hosts_computer_side(s, team) && sender == s.sides[team].host;
    return sender_team == team;
}

int commanded_side(const session& s, uint32_t slot, uint32_t sender, int sender_team)
{
    if (slot == 0)
        return sender_team;
    const int team = slot == 1 ? TEAM_ATTACKERS : (slot == 2 ? TEAM_DEFENDERS : -1);
    return team >= 0 && computer_plays(s, team) && sender == s.sides[team].host ? team : -1;
}

uint32_t side_slot(const session& s, int team)
{
    return hosts_computer_side(s, team) ? static_cast<uint32_t>(team) + 1 : 0;
}

unit* make_computer_figure(world& w, int team)
{
    session& s = w.session;
    if (!computer_plays(s, team))
        return nullptr;
    unit* u = add_announced_unit(w, COMPUTER_FIGURE_ID + static_cast<uint32_t>(team));
    init_humanoid(w, u);
    humanoid_data* h = humanoid_of(u);
    h->kind = HUMANOID_FIGURE;
    h->weapon = WEAPON_BOW;
    u->made_here = hosts_computer_side(s, team) ? 1 : 0;
    u->creator = s.sides[team].host;
    u->team = team;
    u->health = u->max_health = humanoid_health(HUMANOID_FIGURE);
    u->speed = humanoid_speed(HUMANOID_FIGURE);
    // A player's start place, or the nearest ground joined to the city's
    // gate where that lies in the sea: the computer walks by dry ways.
    std::vector<waypoint> place{{0.0f, team == TEAM_ATTACKERS ? 188.0f : -188.0f}};
    keep_to_ground_joined_to_gate(w, place);
    u->x = place[0].x;
    u->y = 100.0f;
    u->z = place[0].z;
    u->heading = team == TEAM_ATTACKERS ? 0.0f : 180.0f;
    u->vx = u->vy = u->vz = 0.0f;
    u->order_x = u->x;
    u->order_z = u->z;
    u->order_kind = ORDER_NONE;
    u->drive_speed = 15.0f;  // walks as fast as a player
    u->turn_rate = 9.0f;     // and turns at 360 degrees a second
    w.computer_figures[team] = u;
    ++s.teams[team].members;
    return u;
}

int computer_figure_side(const world& w, const unit* u)
{
    if (!u)
        return -1;
    for (int team = 0; team < 2; ++team)
        if (w.session.sides[team].on && w.computer_figures[team] == u)
            return team;
    return -1;
}

void computer_figure_gone(world& w, const unit* u)
{
    const int team = computer_figure_side(w, u);
    if (team < 0)
        return;
    w.computer_figures[team] = nullptr;
    if (w.session.teams[team].members > 0)
        --w.session.teams[team].members;
}
