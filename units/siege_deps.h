// The close-range combat operations that the siege kinds use: target
// choice, the steering step shared with the rams, and the damage of flying
// projectiles. They belong to the combat module; until it is part of the
// build, units/siege_deps_fallback.cpp supplies weak stand-ins with the same
// behaviour so that projectiles, archers and rams work and can be tested.
#pragma once

struct unit;

// Chooses the unit's attack target among enemies in sight (50, archers 100).
void look_unit(unit* u);
// One steering step toward the unit's order target.
void move_close_range_unit(unit* u);
// A blast of `blast_radius` at a point: hits every unit not on `team`;
// returns 1 on a hit and writes the distance to the nearest unit not hit.
int damage_unit(float x, float y, float z, float blast_radius, float* nearest, float damage, int team);
// One step of a flying projectile that has already moved by (dx, dy, dz):
// structures push it out (the step becomes that correction), units in reach
// are damaged. Returns 1 on a hit.
int do_damage_collision_check(float& x, float& y, float& z, float& dx, float& dy, float& dz, float radius,
                              float& next_check, float speed, float damage, int team);
// The health rule: only the copies of the unit's own team lower its health.
void do_damage(float damage, unit* u);
// Selects every catapult (and nothing else) and shows the command buttons.
void select_catas();
