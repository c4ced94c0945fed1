// Archers on the city's towers: fixed defenders with bows, posted by the
// defenders' leader when the walls are built, shooting lobbed arrows at
// enemies within 100 through the aiming table, and replaced 300 s after
// they fall, on the copy that posted them.
#pragma once

struct unit;
struct world;

constexpr float ARCHER_REGENERATION_DELAY = 300.0f;

// Posts an archer whose feet stand at (x, y, z) on the tower of wall point
// `tower`.
unit* add_archer(world& w, float x, float y, float z, int tower);
// The archer of wall point `tower` fell: its tower waits 300 s for a new one.
void archer_fell(world& w, int tower);
// Behaviour step (from the humanoid step, for archers).
void simulate_archer(world& w, unit* u);
// One shot at the current target.
void shoot_archer(world& w, unit* u);
// Refills the towers whose archer fell on this copy, once their time is up.
void regenerate_archers(world& w);
