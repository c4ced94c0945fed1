// Drawing the dragon and its breath.
#pragma once

struct unit;

void draw_dragon(const unit* u);
