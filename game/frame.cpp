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
#include "sim/game.h"
#include "sim/player.h"
#include "ui/end_screens.h"
#include "ui/hud.h"
#include "ui/interface.h"
#include "ui/menu.h"

namespace {

void checkpoint(const char* label)
{
    GLenum err = glGetError();
    if (err != GL_NO_ERROR)
        printf("%s glGetError() = %d\n", label, static_cast<int>(err));
}
} // namespace

void draw_game_frame()
{
    checkpoint("pre-setup");
    default_frustum();
    enable_lighting();
    calculate_viewing_vectors();

    set_fog_mode();
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glClear(GL_DEPTH_BUFFER_BIT);
    if (do_fog)
        glEnable(GL_FOG);
    else
        glDisable(GL_FOG);

    load_eye_matrix();

    set_scene_color();
    setup_sunlight();
    setup_flamelight();
    if (got_hurt > 0.0f)
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
    draw_models();
    checkpoint("post-buildings");
    set_scene_color();
    draw_map();
    checkpoint("post-map");

    // The sky box lies outside everything else, so it goes after the
    // opaque terrain: the depth test then drops the sky behind the hills
    // before it is shaded. Nothing blended has been drawn yet, so the
    // picture is the one drawn sky first.
    if (eye_y > 10.0f)
        draw_skybox();

    draw_ocean();
    draw_water();
    draw_trees();
    set_scene_color();
    checkpoint("post-scenery");

    // Projectiles with their flames.
    set_scene_color();
    draw_projectiles();
    set_scene_color();
    draw_units();
    draw_participants();
    checkpoint("post-units");

    glEnable(GL_BLEND);
    draw_clouds();
    glDisable(GL_BLEND);

    // Overlays: the lightning bolt and the crosshairs come first, then the
    // minimap, the command bar with the status bars, and the banner last.
    draw_lightning();
    draw_crosshairs();
    draw_minimap();
    draw_interface();
    draw_message();
    checkpoint("post-overlays");
}

void draw_frame()
{
    switch (game_state) {
    case STATE_MENU:
        draw_menu();
        break;
    case STATE_WON:
        draw_win_frame();
        break;
    case STATE_LOST:
        draw_lose_frame();
        break;
    default:
        draw_game_frame();
        break;
    }
}
