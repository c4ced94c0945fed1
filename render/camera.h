// The player's eye, the projection and view vectors used for culling, fog,
// the composition of a frame of play, and the 2-D overlay space (a virtual
// 1280 x 1024 screen, origin top-left, y down).
#pragma once

extern float eye_x, eye_y, eye_z;
extern float eye_yaw;    // degrees; 0 looks along -z, 90 along +x
extern float eye_pitch;  // degrees; positive looks down
extern float eye_float;  // eye height above the ground
extern float g_zoom;
extern float got_hurt;   // view roll in degrees after a hit
extern float walk_phase;
extern float eye_vx, eye_vy, eye_vz;  // eye velocity, units per second

extern float look_vect[3], up_vect[3], right_vect[3];
extern float frustum_left_vect[3], frustum_right_vect[3], frustum_bot_vect[3], frustum_top_vect[3];

constexpr float VIRTUAL_WIDTH = 1280.0f;
constexpr float VIRTUAL_HEIGHT = 1024.0f;

void default_frustum();
// Recomputes the view vectors and side planes from eye_yaw, eye_pitch, g_zoom.
void calculate_viewing_vectors();
// Fog with the eye above 10: exp2 mode at this density (per eye-space unit).
constexpr float HIGH_FOG_DENSITY = 0.0005f;
void set_fog_mode();
void set_game_gl_params();
// A new game's view: no hurt tilt or flash, no walking bob, level pitch.
void reset_game_camera();
void set_scene_color();
// Lighting on, unless the player has turned it off (N): every place that
// switches lighting back on during a frame goes through here.
void enable_lighting();
void draw_frame();
void draw_game_frame();
void push_2d_matrix();
void pop_2d_matrix();
// Whether a sphere lies at least partly on the visible side of the near
// plane and the four side planes.
bool sphere_in_view(const float centre[3], float radius);
