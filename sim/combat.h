// Close combat: footmen, goblins, ghouls and orangatangs choose enemies by
// themselves, walk up to them and strike them with a sword. Also the damage
// routines every weapon goes through, with the one rule that keeps the
// copies consistent: a unit's health only drops on its own team's copies.
#pragma once

#include <cstdint>

#include "sim/game.h"

struct unit;
struct world;

// Seconds between two strokes of one fighter.
constexpr float SWORD_COOLDOWN = 0.666f;
// Reach of a sword stroke beyond the target's radius.
constexpr float SWORD_REACH = 3.0f;

// Creation on the copy that owns the new unit; each returns the unit. The
// unit is of side `team`, by default this copy's own.
unit* add_proto_footman(world& w, float x, float y, float z, int team = -1);
unit* add_footman(world& w, float x, float y, float z, int team = -1);
// A footman standing on the ground at (x, z).
unit* add_standing_footman(world& w, float x, float z, int team = -1);
unit* add_ghoul(world& w, float x, float z, int team = -1);
unit* add_goblin(world& w, float x, float z, int team = -1);
unit* add_orangatang(world& w, float x, float z, int team = -1);
// The starting soldiers, made only by the leader of their side.
void init_footmen(world& w);
void init_goblins(world& w);

// One behaviour step (acts only on the leader's copy of the unit's team).
void simulate_close_range_unit(world& w, unit* u, float dt);
// One steering step of dt seconds toward the order target.
void move_close_range_unit(world& w, unit* u, float dt = TUNED_STEP);
// Chooses the attack target among the enemies in sight.
void look_unit(world& w, unit* u);
// Makes every unit that targets `u` forget it (before `u` is freed).
void unit_detarget(world& w, unit* u);
// One sword stroke at the current target.
void attack_footman(world& w, unit* u);

// A stroke of the given reach from attacker at target; 1 on a hit.
int damage_this_unit(world& w, unit* target, unit* attacker, float reach);
// A blast of radius `blast` at a point: hits every unit not on `team` in
// reach; 1 if any was hit; `nearest` receives the distance to the nearest
// unit not hit (0 after a hit).
int damage_unit(world& w, float x, float y, float z, float blast, float* nearest, float damage, int team);
// The same on the ground plane only (a vertical column).
int damage_unit_xz(world& w, float x, float z, float radius, float* nearest, float damage, int team);
// One step of a flying projectile already moved by (dx, dy, dz): tests the
// structures and the units when due; 1 when it hit a unit.
int do_damage_collision_check(world& w, float& x, float& y, float& z, float& dx, float& dy, float& dz, float radius,
                              float& next_check, float speed, float damage, int team);
// The health rule.
void do_damage(world& w, float damage, unit* u);
void take_unit_damage(world& w, float damage, unit* u);
