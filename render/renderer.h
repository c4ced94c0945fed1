// The renderer's own state, apart from the world it draws: the view from
// the eye, the loaded textures, the display lists of the structures, the
// ground, the figures, the engines, the ships, the dragon and what flies,
// the flames, the lightning bolt and the inland water's mesh. The program
// keeps one renderer for as long as its window is open; a new game resets
// what belonged to the last world (reset_game_renderer). The renderer reads
// the world through a const reference and never changes it.
#pragma once

#include "render/camera.h"
#include "render/dragon_model.h"
#include "render/engine_models.h"
#include "render/flames.h"
#include "render/humanoid_model.h"
#include "render/lightning_draw.h"
#include "render/model_draw.h"
#include "render/projectile_draw.h"
#include "render/ship_model.h"
#include "render/terrain_render.h"
#include "render/textures.h"
#include "render/water_draw.h"

struct renderer {
    view_state view;
    texture_table textures;
    model_lists models;
    terrain_view terrain;
    humanoid_looks humanoids;
    engine_looks engines;
    ship_looks ships;
    dragon_looks dragons;
    projectile_looks projectiles;
    flame_state flames;
    bolt_look bolt;
    water_mesh water;
};

// A new game: the last world's lists and textures released, the flames,
// the bolt and the water forgotten, the view without tilt or zoom.
void reset_game_renderer(renderer& r);
// Every list and texture of the world just built, made now rather than
// during play (a list compiled in play lands in whatever buffer the driver
// is filling then, and holds it for the rest of the program).
void compile_world_lists(renderer& r, const world& w);
