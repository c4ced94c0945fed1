// Positional sound: two alternating music tracks, surf at the sea corner
// nearest the player, and one-shot or looping effects started by events.
// Nothing is opened or played unless the SOUND option was given.
#pragma once

#include <vector>

struct sound_effect {
    unsigned int source;
    float expires;   // game_time at which it is stopped and removed
    float triggers;  // game_time at which it starts playing
    int loops;
};

extern unsigned int lightning_sound, splash_sound, fire_start_sound, fire_loop_sound;
extern unsigned int water_sounds[3];
extern unsigned int music_sounds[2];
extern unsigned int dragon_sounds[8];
extern unsigned int water_sources[2];
extern int water_current[2];
extern float water_switch_time;
extern unsigned int music_source;
extern int music_current;
extern float music_time;
extern float music_switch_time;
// The live effects, in insertion order.
extern std::vector<sound_effect> active_effects;
// SOUND (or the settings): music, surf and effects on.
extern int do_sound;

void init_sound();
// Sound on or off at once (the Settings menu): the device is opened the
// first time sound is wanted; off pauses music and surf and mutes the rest.
void set_sound_on(int on);
// Music and effects volumes from the settings, applied to what plays now.
void apply_sound_volumes();
void load_sounds();
unsigned int load_wav_file(const char* path);
void simulate_sound(float dt);
// A new game: the effects of the last one stopped and released, the surf
// chosen afresh in the first frame.
void reset_game_sound();
void add_sound_effect(unsigned int buffer, float lifetime, float delay, float x, float y, float z, float ref_distance,
                      int loop);
unsigned int add_sound_effect_source(unsigned int buffer, float x, float y, float z, float ref_distance, int loop);

void initiate_lightning_sound(float x, float z);
void initiate_splash_sound(float x, float z);
void initiate_firestorm_sound(float x, float z);
void initiate_dragon_sound(float x, float y, float z);
// Surf position for an eye position: the sea corner nearest the player.
void surf_position(float eye_x, float eye_z, float out[3]);
