// Positional sound: two alternating music tracks, surf at the sea corner
// nearest the player, and one-shot or looping effects started by events.
// Nothing is opened or played unless the SOUND option was given.
#pragma once

#include <vector>

#include "platform/random.h"

struct local_player;
struct terrain_state;

struct sound_effect {
    unsigned int source;
    float expires;   // sound clock at which it is stopped and removed
    float triggers;  // sound clock at which it starts playing
    int loops;
};

// The program's sound: the device, the buffers and sources, the effects
// playing, the music's and the surf's turns, and a clock of its own (the
// seconds it has been stepped, in every phase).
struct sound_system {
    // SOUND (or the settings): music, surf and effects on.
    int on = 0;
    void* device = nullptr;   // the OpenAL device and context, once opened
    void* context = nullptr;
    float clock = 0.0f;
    unsigned int lightning_sound = 0, splash_sound = 0, fire_start_sound = 0, fire_loop_sound = 0;
    unsigned int water_sounds[3] = {};
    unsigned int music_sounds[2] = {};
    unsigned int dragon_sounds[8] = {};
    unsigned int water_sources[2] = {};
    int water_current[2] = {-1, -1};
    float water_switch_time = 0.0f;
    unsigned int music_source = 0;
    int music_current = -1;
    float music_time = 0.0f;
    float music_switch_time = 0.0f;
    // The live effects, in insertion order.
    std::vector<sound_effect> effects;
    // The sound's own random numbers (which roar, which surf).
    rand_stream rng;
};

void init_sound(sound_system& snd);
// Sound on or off at once (the Settings menu): the device is opened the
// first time sound is wanted; off pauses music and surf and mutes the rest.
void set_sound_on(sound_system& snd, int on);
// Music and effects volumes from the settings, applied to what plays now.
void apply_sound_volumes(sound_system& snd);
void load_sounds(sound_system& snd);
unsigned int load_wav_file(const char* path);
// One frame of dt seconds, heard from the player's eye (none in the menu:
// from the middle of the map).
void simulate_sound(sound_system& snd, float dt, const local_player* listener);
// A new game: the effects of the last one stopped and released, the surf
// chosen afresh in the first frame.
void reset_game_sound(sound_system& snd);
void add_sound_effect(sound_system& snd, unsigned int buffer, float lifetime, float delay, float x, float y, float z,
                      float ref_distance, int loop);
unsigned int add_sound_effect_source(unsigned int buffer, float x, float y, float z, float ref_distance, int loop);

void initiate_lightning_sound(sound_system& snd, const terrain_state& ground, float x, float z);
void initiate_splash_sound(sound_system& snd, float x, float z);
void initiate_firestorm_sound(sound_system& snd, const terrain_state& ground, float x, float z);
void initiate_dragon_sound(sound_system& snd, float x, float y, float z);
// Surf position for an eye position: the sea corner nearest the player.
void surf_position(float eye_x, float eye_z, float out[3]);
