// The composition of a frame: the menu, an end screen, or a frame of play
// drawn from the player's eye, scenery first, then what moves, then the
// overlays.
#include "game/frame.h"

#include <GL/gl.h>
#include <cstdio>

#include "render/camera.h"
#include "render/flames.h"
#include "render/gamma.h"
#include "render/humanoid_model.h"
#include "render/light_draw.h"
#include "render/lightning_draw.h"
#include "render/model_draw.h"
#include "render/projectile_draw.h"
#include "render/sky_draw.h"
#include "render/terrain_render.h"
#include "render/trees_draw.h"
#include "render/unit_draw.h"
#include "render/water_draw.h"
#include "game/program.h"
#include "render/renderer.h"
#include "sim/game.h"
#include "sim/player.h"
#include "sim/world.h"
#include "ui/end_screens.h"
#include "ui/hud.h"
#include "ui/interface.h"
#include "ui/menu.h"
#include "ui/selection.h"
#include "ui/user_interface.h"

namespace {

void checkpoint(const char* label)
{
    GLenum err = glGetError();
    if (err != GL_NO_ERROR)
        printf("%s glGetError() = %d\n", label, static_cast<int>(err));
}
} // namespace

void draw_game_frame(program& p)
{
    renderer& r = p.r;
    const world& w = *p.w;
    view_state& v = r.view;
    checkpoint("pre-setup");
    default_frustum(v);
    enable_lighting(v);
    follow_eye(v, w.player);

    set_fog_mode(v, w.light.darkness);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glClear(GL_DEPTH_BUFFER_BIT);
    if (v.fog)
        glEnable(GL_FOG);
    else
        glDisable(GL_FOG);

    load_eye_matrix(v);

    set_scene_color();
    setup_sunlight(w);
    setup_flamelight(w);
    if (v.hurt > 0.0f)
        gamma_flash_red();
    checkpoint("post-setup");

    glDisable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    set_scene_color();
    // The city's models are opaque and drawn with the depth test, so the
    // order among them and the ground does not change the picture; drawn
    // first, they let the depth test drop the ground they hide before it
    // is shaded, rather than the ground being shaded and then painted over.
    set_scene_color();
    draw_models(r, w);
    checkpoint("post-buildings");
    set_scene_color();
    draw_map(r, w);
    checkpoint("post-map");

    // The sky box lies outside everything else, so it goes after the
    // opaque terrain: the depth test then drops the sky behind the hills
    // before it is shaded. Nothing blended has been drawn yet, so the
    // picture is the one drawn sky first.
    if (v.eye[1] > 10.0f)
        draw_skybox(r, w.light.darkness);

    draw_ocean(r, w);
    draw_water(r, w);
    draw_trees(r, w);
    set_scene_color();
    checkpoint("post-scenery");

    // Projectiles with their flames.
    set_scene_color();
    draw_projectiles(r, w);
    set_scene_color();
    draw_units(r, w, selected_units(p.ui.selection));
    draw_participants(r, w);
    checkpoint("post-units");

    glEnable(GL_BLEND);
    draw_clouds(r, w);
    glDisable(GL_BLEND);

    // Overlays: the lightning bolt and the crosshairs come first, then the
    // minimap, the command bar with the status bars, and the banner last.
    draw_lightning(r, w);
    draw_crosshairs(p.ui);
    draw_minimap(r, w);
    draw_interface(p.ui);
    draw_message(p.ui);
    checkpoint("post-overlays");
}

void draw_frame(program& p)
{
    switch (p.s.phase) {
    case STATE_MENU:
        draw_menu(p.ui);
        break;
    case STATE_WON:
        draw_win_frame(p.ui);
        break;
    case STATE_LOST:
        draw_lose_frame(p.ui);
        break;
    default:
        if (p.w)
            draw_game_frame(p);
        break;
    }
}
