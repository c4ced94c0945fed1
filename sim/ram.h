// Battering rams: wheeled carts carrying a beam hung on ropes. Ordered to
// attack, a ram drives to the ordered point, swings its beam and knocks one
// point a second off the structure it is pressed against.
#pragma once

#include <cstdint>

struct unit;
struct model_node;
struct world;

// The ram's own record is ram_data (sim/units.h).

constexpr float RAM_BLOW_INTERVAL = 1.0f;

void init_battering_ram(world& w, unit* u, float x, float z);
// Announces ("UNIT") and adds a new ram of side `team` (this copy's own by
// default) at (x, z).
unit* add_ram(world& w, float x, float z, int team = -1);
// The copy of a ram announced by another copy.
unit* spawn_ram(world& w, uint32_t id, int team, int code);
// The attackers' leader's five rams.
void init_rams(world& w);

void simulate_ram(world& w, unit* u, float dt);
// One blow at a structure: a point off its health, at most once a second,
// and only to structures that can be damaged.
void attack_ram(const world& w, unit* u, model_node* model);
// The structure the ram was last found pressed against, or nullptr.
model_node* ram_touched_model(const unit* u);

// Unit-state record: x, y, z, heading, swing, pitch, vx, vy, vz.
void conditionally_update_batram(world& w, unit* u);
int update_ram(world& w, unit* u, int count, const float* values);
