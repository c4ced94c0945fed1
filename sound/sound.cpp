#include "sound/sound.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <cstdio>

#include "platform/paths.h"
#include "platform/random.h"
#include "platform/settings.h"
#include "sim/game.h"
#include "sim/player.h"
#include "sim/terrain.h"
#include "sound/wav_file.h"

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

void init_sound(sound_system& snd)
{
    if (!snd.on)
        return;
    snd.effects.clear();
    ALCdevice* device = alcOpenDevice(nullptr);
    if (!device)
        return;
    ALCcontext* context = alcCreateContext(device, nullptr);
    if (!context) {
        alcCloseDevice(device);
        return;
    }
    snd.device = device;
    snd.context = context;
    alcMakeContextCurrent(context);
    load_sounds(snd);
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

void load_sounds(sound_system& snd)
{
    snd.lightning_sound = load_wav_file("sounds/lightning.wav");
    snd.splash_sound = load_wav_file("sounds/splash.wav");
    alGenSources(2, snd.water_sources);
    snd.water_sounds[0] = load_wav_file("sounds/seaside.wav");
    snd.water_sounds[1] = load_wav_file("sounds/seaside.wav");
    snd.water_sounds[2] = load_wav_file("sounds/waterside.wav");
    snd.fire_start_sound = load_wav_file("sounds/firestart.wav");
    snd.fire_loop_sound = load_wav_file("sounds/fireloop.wav");
    alGenSources(1, &snd.music_source);
    snd.music_sounds[0] = load_wav_file("sounds/human1.wav");
    snd.music_sounds[1] = load_wav_file("sounds/human2.wav");
    for (int i = 0; i < 8; ++i) {
        char path[32];
        snprintf(path, sizeof path, "sounds/dragon%d.wav", i);
        snd.dragon_sounds[i] = load_wav_file(path);
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

void add_sound_effect(sound_system& snd, unsigned int buffer, float lifetime, float delay, float x, float y, float z,
                      float ref_distance, int loop)
{
    if (!snd.on)
        return;
    unsigned int source = add_sound_effect_source(buffer, x, y, z, ref_distance, loop);
    snd.effects.push_back({source, snd.clock + lifetime, snd.clock + delay, loop});
}

void initiate_lightning_sound(sound_system& snd, const terrain_state& ground, float x, float z)
{
    add_sound_effect(snd, snd.lightning_sound, 5.0f, 1.0f, x, get_terrain_height(ground, x, z), z, 20.0f, 0);
}

void initiate_firestorm_sound(sound_system& snd, const terrain_state& ground, float x, float z)
{
    // A one-shot ignition at once, then a looping burn from one second on,
    // cut off seven seconds after the call.
    float y = get_terrain_height(ground, x, z);
    add_sound_effect(snd, snd.fire_start_sound, 2.0f, 0.0f, x, y, z, 33.0f, 0);
    add_sound_effect(snd, snd.fire_loop_sound, 7.0f, 1.0f, x, y, z, 33.0f, 1);
}

void initiate_splash_sound(sound_system& snd, float x, float z)
{
    add_sound_effect(snd, snd.splash_sound, 2.0f, 0.0f, x, 10.0f, z, 3.0f, 0);
}

void initiate_dragon_sound(sound_system& snd, float x, float y, float z)
{
    add_sound_effect(snd, snd.dragon_sounds[stream_rand(snd.rng) % 8], 2.0f, 0.0f, x, y, z, 30.0f, 0);
}

void reset_game_sound(sound_system& snd)
{
    for (sound_effect& e : snd.effects) {
        alSourceStop(e.source);
        alDeleteSources(1, &e.source);
    }
    snd.effects.clear();
    snd.water_switch_time = snd.clock;
}

static void move_listener(const local_player* p)
{
    if (p) {
        alListener3f(AL_POSITION, p->eye_x, p->eye_y, p->eye_z);
        alListener3f(AL_VELOCITY, p->eye_vx, p->eye_vy, p->eye_vz);
        float look[3], up[3];
        eye_look_vectors(*p, look, up);
        const float orientation[6] = {look[0], look[1], look[2], up[0], up[1], up[2]};
        alListenerfv(AL_ORIENTATION, orientation);
    } else {
        alListener3f(AL_POSITION, 0.0f, 0.0f, 0.0f);
        alListener3f(AL_VELOCITY, 0.0f, 0.0f, 0.0f);
        const float orientation[6] = {0.0f, 0.0f, -1.0f, 0.0f, 1.0f, 0.0f};
        alListenerfv(AL_ORIENTATION, orientation);
    }
}

static void simulate_effects(sound_system& snd)
{
    std::vector<sound_effect>& active_effects = snd.effects;
    for (size_t i = 0; i < active_effects.size();) {
        sound_effect& e = active_effects[i];
        if (e.triggers <= snd.clock) {
            e.triggers = snd.clock + 1e13f;  // never again
            alSourcei(e.source, AL_LOOPING, e.loops);
            alSourcePlay(e.source);
            printf("playing sound source %d\n", e.source);
        }
        if (e.expires <= snd.clock) {
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

static void simulate_water_sounds(sound_system& snd, const local_player* p)
{
    if (snd.water_switch_time < snd.clock) {
        snd.water_current[0] = -1;
        snd.water_switch_time = snd.clock + 10.0f;
    }
    float pos[3];
    surf_position(p ? p->eye_x : 0.0f, p ? p->eye_z : 0.0f, pos);
    for (int i = 0; i < 2; ++i) {
        const unsigned int source = snd.water_sources[i];
        if (snd.water_current[i] == -1) {
            snd.water_current[i] = stream_rand(snd.rng) % 3;
            alSourceStop(source);
            alSourcei(source, AL_BUFFER, static_cast<ALint>(snd.water_sounds[snd.water_current[i]]));
            alSourcei(source, AL_LOOPING, AL_TRUE);
            alSourcef(source, AL_REFERENCE_DISTANCE, 5.0f);
            alSourcef(source, AL_GAIN, effects_gain());
            alSourcePlay(source);
        }
        alSourcefv(source, AL_POSITION, pos);
    }
}

static void simulate_music(sound_system& snd, const local_player* p, float dt)
{
    const unsigned int music_source = snd.music_source;
    if (p) {
        float look[3], up[3];
        eye_look_vectors(*p, look, up);
        alSource3f(music_source, AL_POSITION, p->eye_x + 5.0f * look[0], p->eye_y + 5.0f * look[1],
                   p->eye_z + 5.0f * look[2]);
    } else {
        alSource3f(music_source, AL_POSITION, 0.0f, 0.0f, 5.0f);
    }
    float& music_time = snd.music_time;
    float& music_switch_time = snd.music_switch_time;
    int& music_current = snd.music_current;
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
        alSourcei(music_source, AL_BUFFER, static_cast<ALint>(snd.music_sounds[music_current]));
        alSourcef(music_source, AL_GAIN, MUSIC_GAIN * music_volume());
        alSourcePlay(music_source);
    }
    if (music_switch_time < music_time + 3.0f)
        alSourcef(music_source, AL_GAIN, (music_switch_time - music_time) * 0.05f * music_volume());  // to 0 in 3 s
}

void simulate_sound(sound_system& snd, float dt, const local_player* listener)
{
    snd.clock += dt;
    if (!snd.on)
        return;
    move_listener(listener);
    simulate_effects(snd);
    simulate_water_sounds(snd, listener);
    simulate_music(snd, listener, dt);
}

void apply_sound_volumes(sound_system& snd)
{
    if (!snd.context)
        return;
    for (const sound_effect& e : snd.effects)
        alSourcef(e.source, AL_GAIN, effects_gain());
    for (unsigned int source : snd.water_sources)
        alSourcef(source, AL_GAIN, effects_gain());
    // Within a track's last seconds the fade sets the gain every frame.
    if (!(snd.music_switch_time < snd.music_time + 3.0f))
        alSourcef(snd.music_source, AL_GAIN, MUSIC_GAIN * music_volume());
}

void set_sound_on(sound_system& snd, int on)
{
    if (on && !snd.context) {
        snd.on = 1;
        init_sound(snd);  // opens the device the first time sound is wanted
        return;
    }
    snd.on = on ? 1 : 0;
    if (!snd.context)
        return;
    alListenerf(AL_GAIN, on ? 1.0f : 0.0f);
    // Music and surf wait where they are while sound is off.
    unsigned int loops[3] = {snd.music_source, snd.water_sources[0], snd.water_sources[1]};
    for (unsigned int source : loops) {
        ALint state = 0;
        alGetSourcei(source, AL_SOURCE_STATE, &state);
        if (on && state == AL_PAUSED)
            alSourcePlay(source);
        else if (!on && state == AL_PLAYING)
            alSourcePause(source);
    }
}
