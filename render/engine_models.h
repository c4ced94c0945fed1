// Drawing the siege engines: catapults and battering rams, both on carts.
#pragma once

struct renderer;
struct team_entry;
struct unit;
struct world;

// The engines' display lists: the cart's wheels (rims and faces), axles and
// frame, the catapult's arm, and the ram's housing.
struct engine_looks {
    unsigned int axles_list = 0, frame_list = 0, arm_list = 0, rim_list = 0, face_list = 0;
    unsigned int housing_list = 0;
};

// Compiles the carts', arms' and rams' display lists (once; before an
// engine is drawn in play).
void compile_engine_lists(renderer& r);
// Draws the catapult unless it lies behind the viewer.
void draw_catapult(renderer& r, const world& w, const unit* u);
// Draws the model at the unit's position without the visibility test, in
// its side's colour (the menu's picture too).
void draw_catapult_model(renderer& r, const team_entry (&teams)[2], const unit* u);
// The cart under the arm, in model units: axles with wheels turned by
// `wheel_angle`, and the frame. Shared with the battering rams.
void draw_cart(const renderer& r, float wheel_angle);
void draw_battering_ram(const renderer& r, const world& w, const unit* u);
