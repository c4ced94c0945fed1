// The view from the player's eye (the world's local_player): the
// projection, the view vectors used for culling, fog, the zoom and the hurt
// tilt, and the 2-D overlay space (a virtual 1280 x 1024 screen, origin
// top-left, y down). The eye is the world's; the rest is the view's own.
#pragma once

#include "sim/pick.h"
#include "sim/player.h"

struct world;

struct view_state {
    // The size of the picture drawn, in pixels (the window's).
    int width = 0, height = 0;
    float zoom = 1.0f;
    float hurt = 0.0f;  // view roll in degrees after a hit
    // The zoom eases from start_zoom toward target_zoom over 0.3 s of the
    // view's own clock (seconds of play it has been stepped).
    float clock = 0.0f;
    float target_zoom = 1.0f, start_zoom = 1.0f, start_zoom_time = 0.0f, target_zoom_time = 0.0f;
    int fog = 1;
    int lighting = 1;  // lighting in play (J on, N off)
    // The view vectors and side planes, from the eye's turns and the zoom.
    float look[3] = {0, 0, -1}, up[3] = {0, 1, 0}, right[3] = {1, 0, 0};
    float frustum_left[3] = {}, frustum_right[3] = {}, frustum_bot[3] = {}, frustum_top[3] = {};
    // This frame's fog colour, RGBA, as set_fog_mode left it.
    float fog_colour[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    // The eye the frame is drawn from (the player's, the walking bob aside).
    float eye[3] = {0.0f, 50.0f, 0.0f};
    float yaw = 0.0f, pitch = 0.0f, walk_phase = 0.0f;
};

constexpr float VIRTUAL_WIDTH = 1280.0f;
constexpr float VIRTUAL_HEIGHT = 1024.0f;

void default_frustum(const view_state& v);
// The eye of the frame from the player's, then the view vectors and side
// planes from its turns and the zoom.
void follow_eye(view_state& v, const local_player& p);
void calculate_viewing_vectors(view_state& v);
// Fog, exp2 from the fragment's depth in every frame: this density (per
// eye-space unit) with the eye above 10, the other under the water.
constexpr float HIGH_FOG_DENSITY = 0.0005f;
constexpr float UNDERWATER_FOG_DENSITY = 0.005f;
// `darkness` is the world's (sim/light.h): 0 by day, 2 at full night.
void set_fog_mode(view_state& v, float darkness);
void set_game_gl_params(const view_state& v);
// A new game's view: no hurt tilt or flash, no zoom.
void reset_game_camera(view_state& v);
// The player was struck: the view tilts and the screen flashes red.
void camera_hurt(view_state& v);
// Once a frame of play: the hurt tilt wears off, the zoom eases toward 5
// while `zoom_held`, else 1.
void step_view(view_state& v, float dt, bool zoom_held);
void update_zoom(view_state& v, bool zoom_held);
void set_scene_color();
// Lighting on, unless the player has turned it off (N): every place that
// switches lighting back on during a frame goes through here.
void enable_lighting(const view_state& v);
// The view from the eye: the modelview matrix of a frame of play (the
// hurt roll and the walking bob included).
void load_eye_matrix(const view_state& v);
// The view that matrix is made from, with the zoom and the picture's size.
view_pose current_view_pose(const view_state& v);
void push_2d_matrix(const view_state& v);
void pop_2d_matrix(const view_state& v);
// Whether a sphere lies at least partly on the visible side of the near
// plane and the four side planes.
bool sphere_in_view(const view_state& v, const float centre[3], float radius);
