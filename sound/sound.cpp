#include "sound/sound.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <cstdio>

#include "sim/player.h"
#include "sim/game.h"
#include "platform/paths.h"
#include "platform/random.h"
#include "platform/settings.h"
#include "sound/wav_file.h"
#include "sim/terrain.h"

unsigned int lightning_sound = 0, splash_sound = 0, fire_start_sound = 0, fire_loop_sound = 0;
unsigned int water_sounds[3];
unsigned int music_sounds[2];
unsigned int dragon_sounds[8];
unsigned int water_sources[2];
int water_current[2] = {-1, -1};
float water_switch_time = 0.0f;
unsigned int music_source = 0;
int music_current = -1;
float music_time = 0.0f;
float music_switch_time = 0.0f;
std::vector<sound_effect> active_effects;
int do_sound = 0;
// The sound's own random numbers (which roar, which surf).
static rand_stream s_rand;

static ALCdevice* sound_device = nullptr;
static ALCcontext* sound_context = nullptr;

// The music's own loudness at full music volume.
static constexpr float MUSIC_GAIN = 0.15f;

static float effects_gain()
{
    return static_cast<float>(user_settings.effects_volume) / 100.0f;
}

static float music_volume()
{
    return static_cast<float>(user_settings.music_volume) / 100.0f;
}

void init_sound()
{
    if (!do_sound)
        return;
    active_effects.clear();
    sound_device = alcOpenDevice(nullptr);
    if (!sound_device)
        return;
    sound_context = alcCreateContext(sound_device, nullptr);
    if (!sound_context) {
        alcCloseDevice(sound_device);
        sound_device = nullptr;
        return;
    }
    alcMakeContextCurrent(sound_context);
    load_sounds();
}

static ALenum al_format(const wav_data& w)
{
    if (w.channels == 1)
        return w.bits_per_sample == 8 ? AL_FORMAT_MONO8 : AL_FORMAT_MONO16;
    return w.bits_per_sample == 8 ? AL_FORMAT_STEREO8 : AL_FORMAT_STEREO16;
}

unsigned int load_wav_file(const char* path)
{
    ALuint buffer = 0;
    alGenBuffers(1, &buffer);
    ALenum err = alGetError();
    if (err != AL_NO_ERROR)
        printf("after genbuffers, error = %d\n", err);

    wav_data wav;
    std::string why;
    const std::string found = data_file(path);
    if (!read_wav_file(found.c_str(), wav, why)) {
        fprintf(stderr, "couldn't load %s: %s\n", found.c_str(), why.c_str());
        return buffer;  // stays empty; the game goes on
    }
    printf("WAV %s: data %p, size %d, freq %d\n", path, static_cast<const void*>(wav.samples.data()),
           static_cast<int>(wav.samples.size()), wav.frequency);
    err = alGetError();
    if (err != AL_NO_ERROR)
        printf("after loadwav, error = %d\n", err);
    alBufferData(buffer, al_format(wav), wav.samples.data(), static_cast<ALsizei>(wav.samples.size()), wav.frequency);
    err = alGetError();
    if (err != AL_NO_ERROR)
        printf("after bufferdata, error = %d\n", err);
    return buffer;
}

void load_sounds()
{
    lightning_sound = load_wav_file("sounds/lightning.wav");
    splash_sound = load_wav_file("sounds/splash.wav");
    alGenSources(2, water_sources);
    water_sounds[0] = load_wav_file("sounds/seaside.wav");
    water_sounds[1] = load_wav_file("sounds/seaside.wav");
    water_sounds[2] = load_wav_file("sounds/waterside.wav");
    fire_start_sound = load_wav_file("sounds/firestart.wav");
    fire_loop_sound = load_wav_file("sounds/fireloop.wav");
    alGenSources(1, &music_source);
    music_sounds[0] = load_wav_file("sounds/human1.wav");
    music_sounds[1] = load_wav_file("sounds/human2.wav");
    for (int i = 0; i < 8; ++i) {
        char path[32];
        snprintf(path, sizeof path, "sounds/dragon%d.wav", i);
        dragon_sounds[i] = load_wav_file(path);
    }
}

unsigned int add_sound_effect_source(unsigned int buffer, float x, float y, float z, float ref_distance, int loop)
{
    ALuint source = 0;
    alGenSources(1, &source);
    alSource3f(source, AL_POSITION, x, y, z);
    alSourcei(source, AL_BUFFER, static_cast<ALint>(buffer));
    alSourcei(source, AL_REFERENCE_DISTANCE, static_cast<ALint>(ref_distance));
    alSourcei(source, AL_LOOPING, loop);
    alSourcef(source, AL_GAIN, effects_gain());
    printf("attaching buffer %d to source %d\n", buffer, source);
    return source;
}

void add_sound_effect(unsigned int buffer, float lifetime, float delay, float x, float y, float z, float ref_distance,
                      int loop)
{
    if (!do_sound)
        return;
    unsigned int source = add_sound_effect_source(buffer, x, y, z, ref_distance, loop);
    active_effects.push_back({source, game_time + lifetime, game_time + delay, loop});
}

void initiate_lightning_sound(float x, float z)
{
    add_sound_effect(lightning_sound, 5.0f, 1.0f, x, get_terrain_height(x, z), z, 20.0f, 0);
}

void initiate_firestorm_sound(float x, float z)
{
    // A one-shot ignition at once, then a looping burn from one second on,
    // cut off seven seconds after the call.
    float y = get_terrain_height(x, z);
    add_sound_effect(fire_start_sound, 2.0f, 0.0f, x, y, z, 33.0f, 0);
    add_sound_effect(fire_loop_sound, 7.0f, 1.0f, x, y, z, 33.0f, 1);
}

void initiate_splash_sound(float x, float z)
{
    add_sound_effect(splash_sound, 2.0f, 0.0f, x, 10.0f, z, 3.0f, 0);
}

void initiate_dragon_sound(float x, float y, float z)
{
    add_sound_effect(dragon_sounds[stream_rand(s_rand) % 8], 2.0f, 0.0f, x, y, z, 30.0f, 0);
}

void reset_game_sound()
{
    for (sound_effect& e : active_effects) {
        alSourceStop(e.source);
        alDeleteSources(1, &e.source);
    }
    active_effects.clear();
    water_switch_time = 0.0f;
}

static void move_listener()
{
    if (game_state == STATE_PLAY) {
        alListener3f(AL_POSITION, eye_x, eye_y, eye_z);
        alListener3f(AL_VELOCITY, eye_vx, eye_vy, eye_vz);
        float look[3], up[3];
        eye_look_vectors(look, up);
        const float orientation[6] = {look[0], look[1], look[2], up[0], up[1], up[2]};
        alListenerfv(AL_ORIENTATION, orientation);
    } else {
        alListener3f(AL_POSITION, 0.0f, 0.0f, 0.0f);
        alListener3f(AL_VELOCITY, 0.0f, 0.0f, 0.0f);
        const float orientation[6] = {0.0f, 0.0f, -1.0f, 0.0f, 1.0f, 0.0f};
        alListenerfv(AL_ORIENTATION, orientation);
    }
}

static void simulate_effects()
{
    for (size_t i = 0; i < active_effects.size();) {
        sound_effect& e = active_effects[i];
        if (e.triggers <= game_time) {
            e.triggers = game_time + 1e13f;  // never again
            alSourcei(e.source, AL_LOOPING, e.loops);
            alSourcePlay(e.source);
            printf("playing sound source %d\n", e.source);
        }
        if (e.expires <= game_time) {
            alSourceStop(e.source);
            alDeleteSources(1, &e.source);
            active_effects.erase(active_effects.begin() + static_cast<long>(i));
            continue;  // the next entry has moved into this place
        }
        ++i;
    }
}

void surf_position(float ex, float ez, float out[3])
{
    out[0] = ex >= 0.0f ? 256.0f : -256.0f;
    out[1] = 10.0f;
    out[2] = ez >= 0.0f ? 256.0f : -256.0f;
}

static void simulate_water_sounds()
{
    if (water_switch_time < game_time) {
        water_current[0] = -1;
        water_switch_time = game_time + 10.0f;
    }
    float pos[3];
    surf_position(eye_x, eye_z, pos);
    for (int i = 0; i < 2; ++i) {
        if (water_current[i] == -1) {
            water_current[i] = stream_rand(s_rand) % 3;
            alSourceStop(water_sources[i]);
            alSourcei(water_sources[i], AL_BUFFER, static_cast<ALint>(water_sounds[water_current[i]]));
            alSourcei(water_sources[i], AL_LOOPING, AL_TRUE);
            alSourcef(water_sources[i], AL_REFERENCE_DISTANCE, 5.0f);
            alSourcef(water_sources[i], AL_GAIN, effects_gain());
            alSourcePlay(water_sources[i]);
        }
        alSourcefv(water_sources[i], AL_POSITION, pos);
    }
}

static void simulate_music(float dt)
{
    float look[3], up[3];
    eye_look_vectors(look, up);
    if (game_state == STATE_PLAY)
        alSource3f(music_source, AL_POSITION, eye_x + 5.0f * look[0], eye_y + 5.0f * look[1],
                   eye_z + 5.0f * look[2]);
    else
        alSource3f(music_source, AL_POSITION, 0.0f, 0.0f, 5.0f);
    music_time += dt;
    if (music_switch_time < music_time) {
        if (music_current != 1) {
            music_current = 1;
            music_switch_time = music_time + 108.0f;
        } else {
            music_current = 0;
            music_switch_time = music_time + 120.0f;
        }
        alSourceStop(music_source);
        alSourcei(music_source, AL_BUFFER, static_cast<ALint>(music_sounds[music_current]));
        alSourcef(music_source, AL_GAIN, MUSIC_GAIN * music_volume());
        alSourcePlay(music_source);
    }
    if (music_switch_time < music_time + 3.0f)
        alSourcef(music_source, AL_GAIN, (music_switch_time - music_time) * 0.05f * music_volume());  // to 0 in 3 s
}

void simulate_sound(float dt)
{
    if (!do_sound)
        return;
    move_listener();
    simulate_effects();
    simulate_water_sounds();
    simulate_music(dt);
}

void apply_sound_volumes()
{
    if (!sound_context)
        return;
    for (const sound_effect& e : active_effects)
        alSourcef(e.source, AL_GAIN, effects_gain());
    for (unsigned int source : water_sources)
        alSourcef(source, AL_GAIN, effects_gain());
    // Within a track's last seconds the fade sets the gain every frame.
    if (!(music_switch_time < music_time + 3.0f))
        alSourcef(music_source, AL_GAIN, MUSIC_GAIN * music_volume());
}

void set_sound_on(int on)
{
    if (on && !sound_context) {
        do_sound = 1;
        init_sound();  // opens the device the first time sound is wanted
        return;
    }
    do_sound = on ? 1 : 0;
    if (!sound_context)
        return;
    alListenerf(AL_GAIN, on ? 1.0f : 0.0f);
    // Music and surf wait where they are while sound is off.
    unsigned int loops[3] = {music_source, water_sources[0], water_sources[1]};
    for (unsigned int source : loops) {
        ALint state = 0;
        alGetSourcei(source, AL_SOURCE_STATE, &state);
        if (on && state == AL_PAUSED)
            alSourcePlay(source);
        else if (!on && state == AL_PLAYING)
            alSourcePause(source);
    }
}
