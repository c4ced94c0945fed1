// Drawing the sky box and the clouds.
#pragma once

// Half the sky box's extent along x, y and z.
extern float skybox_dx, skybox_dy, skybox_dz;

void draw_skybox();
void draw_clouds();
