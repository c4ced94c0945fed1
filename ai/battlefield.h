// What a computer side knows of the battlefield, as a player sees it: where
// the city's gate is and which way is out, where the temples stand, and the
// units of each side.
#pragma once

#include <vector>

struct unit;
struct world;

struct battlefield {
    int gate = -1;                    // the wall point that starts the gate, -1 without one
    float gate_x = 0, gate_z = 0;     // the gate's middle
    float out_x = 0, out_z = 1;       // unit direction out of the city at the gate
    float temple_x = -40, temple_z = -150;       // the defenders' temple: the attackers' goal
    float home_temple_x[2] = {-56, -40};         // each side's own temple, to pray at
    float home_temple_z[2] = {150, -150};
    int towers_by_gate[2] = {-1, -1};  // wall points of the towers flanking the gate
};

// Looks the battlefield up in the world just built.
battlefield survey_battlefield(const world& w);

// Whether the gate stands open (broken, or lowered more than half way).
bool gate_open(const world& w, const battlefield& b);
// The gate's health left (its model's), -1 without a gate.
float gate_health(const world& w, const battlefield& b);

// A point `d` out of the city from the gate's middle, and `side` across it.
void before_gate(const battlefield& b, float d, float side, float& x, float& z);
// Whether the unit stands past the gate, in the city.
bool within_gate(const battlefield& b, const unit* u);

// Units of side `team` that fight for it (soldiers and engines, not the
// figures, dragons or ships), and the enemy's within `range` of (x, z).
std::vector<unit*> fighters_of(world& w, int team);
std::vector<unit*> enemies_near(world& w, int team, float x, float z, float range);
// Whether side `team` has nothing left that walks and fights but its
// figure (engines that throw from afar and the towers' archers aside).
bool army_spent(world& w, int team);
// The figure of side `team`'s enemy nearest to (x, z) (a player's or the
// computer's), or null.
unit* nearest_enemy_figure(world& w, int team, float x, float z);
