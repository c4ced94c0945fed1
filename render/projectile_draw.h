// Drawing the projectiles in flight.
#pragma once

void draw_projectiles();
