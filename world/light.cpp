#include "world/light.h"

float phase = 0.0f;

void setup_sunlight()
{
}

void setup_flamelight()
{
}
