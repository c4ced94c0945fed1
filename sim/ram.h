// Battering rams: wheeled carts carrying a beam hung on ropes. Ordered to
// attack, a ram drives to the ordered point, swings its beam and knocks one
// point a second off the structure it is pressed against.
#pragma once

struct unit;
struct model_node;

struct ram_data {
    float swing;        // the beam's offset along the cart, model units
    float wheel_angle;  // degrees
};

extern int ram_id;

constexpr float RAM_BLOW_INTERVAL = 1.0f;

void init_battering_ram(unit* u, float x, float z);
// Announces ("UNIT") and adds a new ram of side `team` (this copy's own by
// default) at (x, z).
unit* add_ram(float x, float z, int team = -1);
// The copy of a ram announced by another copy.
unit* spawn_ram(unsigned id, int team);
// The attackers' leader's five rams.
void init_rams();
// A new game numbers its rams from 0.
void reset_game_rams();

void simulate_ram(unit* u, float dt);
// One blow at a structure: a point off its health, at most once a second,
// and only to structures that can be damaged.
void attack_ram(unit* u, model_node* model);
// The structure the ram was last found pressed against, or nullptr.
model_node* ram_touched_model(const unit* u);

// Unit-state record: x, y, z, heading, swing, pitch, vx, vy, vz.
void conditionally_update_batram(unit* u);
int update_ram(unit* u, int count, const float* values);
