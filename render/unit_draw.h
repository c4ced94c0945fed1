// Drawing the units of the registry.
#pragma once

struct unit;

// Draws every unit in view but this copy's figure and the invisible (or,
// in the GL selection mode, each one's named picking box).
void draw_units();
void draw_billboarded_circle(unit* u);
// A picking pass (the GL selection mode set up by the caller): the eye's
// view, then each unit's named box.
void draw_units_for_picking();
