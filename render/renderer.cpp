#include "render/renderer.h"

#include "sim/world.h"

void reset_game_renderer(renderer& r)
{
    reset_game_camera(r.view);
    release_humanoid_lists(r);
    release_model_lists(r);
    reset_game_terrain_render(r.terrain);
    reset_water_draw(r.water);
    reset_lightning_draw(r.bolt);
    reset_flames(r.flames);
}

void compile_world_lists(renderer& r, const world& w)
{
    compile_humanoid_lists(r);
    compile_ship_lists(r);
    compile_engine_lists(r);
    compile_projectile_lists(r);
    compile_dragon_lists(r);
    compile_model_lists(r, w);
    sync_terrain_render(r, w.terrain);
    generate_map_call_list(r.terrain, w.terrain);
}
