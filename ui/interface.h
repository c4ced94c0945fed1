// Input routing by game mode, the command bar and the movement controls:
// walking, swimming, jumping, looking and zooming.
#pragma once

// Pointer input once per pass: b = button pressed (1..3), 0 released,
// -1 nothing changed. Window pixel coordinates.
void interface_click(int x, int y, int b);
// A translated key press.
void interface_key(int key);

// The eye velocity (eye_vx, eye_vy, eye_vz) lives with the eye state in core/camera.h.
extern float next_jump;
extern float next_player_cdetect;
extern float next_shoot;
extern int do_interface;    // 1 while the command bar is shown and the pointer free
extern float interface_y;   // -1.73 hidden .. -1.28 shown
extern int waiting_mouse_command;  // 0 none, 1 move, 2 attack
extern float g_target_zoom, g_start_zoom, g_start_zoom_time, g_target_zoom_time;

constexpr float INTERFACE_Y_SHOWN = -1.28f;
constexpr float INTERFACE_Y_HIDDEN = -1.73f;

struct button_slot {
    unsigned int texture;  // 0: empty, not drawn
    int highlighted;
    int enlarge;           // grow when highlighted
    void (*action)();
};
extern button_slot the_buttons[7];

// Keys held this frame for walking (polled, not event-driven).
struct move_keys {
    bool forward, back, left, right;  // "w", "s", "a", "d"
    bool jump;                        // space
    bool rise, sink;                  // "e", "f" (god mode)
};

void key_move(float dt);
void mouse_look();
void game_click(int button);

// The pieces of one movement step, without the keyboard.
// Horizontal motion for the held keys: the direction sum rescaled to
// speed * dt (zero when no key adds a direction); advances walk_phase.
void walk_motion(const move_keys& keys, float yaw, float speed, float dt, float out[2]);
// Ground snap and gravity (step 7) for terrain height h under the eye.
void apply_vertical(float h, float dt);
// Keeps a position on the map square.
float clamp_to_world(float v);
// The movement step proper with the given keys.
void move_eye(float dt, const move_keys& keys);
// A new game: movement timers and velocity cleared, an empty command bar,
// the eye at the start position of the player's side.
void init_movement();
// Zoom ease towards 5 while `zoom_held`, else 1.
void update_zoom(bool zoom_held);

// Which slot of the command bar a press at (x, y) hits in a w x h window:
// 0..6 a slot, -1 not in the bar (the press goes to the selection),
// -2 in the bar but between slots (nothing happens).
int command_bar_slot(int x, int y, int w, int h);

void set_button(int slot, unsigned int texture, void (*action)(), int enlarge);
void set_button_state(int slot, int highlighted);
void init_command_buttons();
void deinit_command_buttons();
struct unit;
// Highlights the button of the unit's order kind: 1 move, 2 attack, 4 stop,
// 0 none; other kinds leave the highlights.
void set_commands(const unit* u);
void draw_interface();
void animate_interface();
void enable_interface();
void disable_interface();
