// The view from the player's eye (sim/player.h): the projection, the view
// vectors used for culling, fog, the zoom and the hurt tilt, and the 2-D
// overlay space (a virtual 1280 x 1024 screen, origin top-left, y down).
#pragma once

#include "sim/pick.h"
#include "sim/player.h"

// The size of the picture drawn, in pixels (the window's).
extern int g_game_width, g_game_height;
extern float g_zoom;
extern float got_hurt;   // view roll in degrees after a hit
extern float g_target_zoom, g_start_zoom, g_start_zoom_time, g_target_zoom_time;
extern int do_fog;
extern int do_lighting;  // lighting in play (J on, N off)

extern float look_vect[3], up_vect[3], right_vect[3];
extern float frustum_left_vect[3], frustum_right_vect[3], frustum_bot_vect[3], frustum_top_vect[3];

constexpr float VIRTUAL_WIDTH = 1280.0f;
constexpr float VIRTUAL_HEIGHT = 1024.0f;

void default_frustum();
// Recomputes the view vectors and side planes from eye_yaw, eye_pitch, g_zoom.
void calculate_viewing_vectors();
// Fog, exp2 from the fragment's depth in every frame: this density (per
// eye-space unit) with the eye above 10, the other under the water.
constexpr float HIGH_FOG_DENSITY = 0.0005f;
constexpr float UNDERWATER_FOG_DENSITY = 0.005f;
// This frame's fog colour, RGBA, as set_fog_mode left it.
extern float fog_colour[4];
void set_fog_mode();
void set_game_gl_params();
// A new game's view: no hurt tilt or flash, no zoom.
void reset_game_camera();
// The player was struck: the view tilts and the screen flashes red.
void camera_hurt();
// Once a frame of play: the hurt tilt wears off, the zoom eases toward 5
// while `zoom_held`, else 1.
void step_view(float dt, bool zoom_held);
void update_zoom(bool zoom_held);
void set_scene_color();
// Lighting on, unless the player has turned it off (N): every place that
// switches lighting back on during a frame goes through here.
void enable_lighting();
// The view from the eye: the modelview matrix of a frame of play (the
// hurt roll and the walking bob included).
void load_eye_matrix();
// The view that matrix is made from, with the zoom and the picture's size.
view_pose current_view_pose();
void push_2d_matrix();
void pop_2d_matrix();
// Whether a sphere lies at least partly on the visible side of the near
// plane and the four side planes.
bool sphere_in_view(const float centre[3], float radius);
