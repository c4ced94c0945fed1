// Catapults: wheeled carts with a throwing arm. This holds the catapult
// record, its set-up and its drawing (also used by the menu picture).
#pragma once

struct unit;

struct catapult_data {
    float arm_angle;    // degrees: 160 cocked, 90 at the end of a throw
    float arm_speed;    // in units of 75 degrees per second
    float wheel_angle;  // degrees
    float reload_time;  // game_time before which no throw
    int burning;        // throws burning balls
};

extern int catapult_id;

// Makes `u` a catapult standing at (x, z).
void init_catapult(unit* u, float x, float z);
// Draws the catapult unless it lies behind the viewer.
void draw_catapult(unit* u);
// Draws the model at the unit's position without the visibility test.
void draw_catapult_model(unit* u);
