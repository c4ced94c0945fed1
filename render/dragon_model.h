// Drawing the dragon and its breath.
#pragma once

struct unit;

// Compiles the body and wing display lists (once; before a dragon is drawn).
void compile_dragon_lists();
void draw_dragon(const unit* u);
