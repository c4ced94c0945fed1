// Drawing the siege engines: catapults and battering rams, both on carts.
#pragma once

struct unit;

// Compiles the carts', arms' and rams' display lists (once; before an
// engine is drawn in play).
void compile_engine_lists();
// Draws the catapult unless it lies behind the viewer.
void draw_catapult(const unit* u);
// Draws the model at the unit's position without the visibility test (the
// menu's picture too).
void draw_catapult_model(const unit* u);
// The cart under the arm, in model units: axles with wheels turned by
// `wheel_angle`, and the frame. Shared with the battering rams.
void draw_cart(float wheel_angle);
void draw_battering_ram(const unit* u);
