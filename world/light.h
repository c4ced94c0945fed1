// Sunlight, the circling flame light, and night falling and lifting.
#pragma once

// Darkness: 0 by day, 2.0 at full night.
extern float phase;

void setup_sunlight();
void setup_flamelight();
