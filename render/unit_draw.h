// Drawing the units of the registry.
#pragma once

struct unit;

// Draws every unit in view but this copy's figure and the invisible.
void draw_units();
void draw_billboarded_circle(unit* u);
