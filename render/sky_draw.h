// Drawing the sky box and the clouds.
#pragma once

struct renderer;
struct world;

// Half the sky box's extent along x, y and z.
constexpr float SKYBOX_DX = 1000.0f, SKYBOX_DY = 840.0f, SKYBOX_DZ = 1000.0f;

// The sky box, darker the darker the night (the world's darkness, or 0 in
// the menu's picture).
void draw_skybox(const renderer& r, float darkness);
void draw_clouds(const renderer& r, const world& w);
