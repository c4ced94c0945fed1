#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <AL/al.h>
#include <unistd.h>

#include "sound/sound.h"
#include "sound/wav_file.h"
#include "sim/terrain.h"

namespace {

void put16(std::vector<unsigned char>& v, int x)
{
    v.push_back(x & 0xff);
    v.push_back((x >> 8) & 0xff);
}

void put32(std::vector<unsigned char>& v, uint32_t x)
{
    for (int i = 0; i < 4; ++i)
        v.push_back((x >> (8 * i)) & 0xff);
}

std::vector<unsigned char> make_wav(int channels, int bits, int rate, uint32_t data_len, size_t actual_data)
{
    std::vector<unsigned char> v;
    for (char c : std::string("RIFF"))
        v.push_back(c);
    put32(v, 36 + data_len);
    for (char c : std::string("WAVEfmt "))
        v.push_back(c);
    put32(v, 16);
    put16(v, 1);
    put16(v, channels);
    put32(v, rate);
    put32(v, rate * channels * bits / 8);
    put16(v, channels * bits / 8);
    put16(v, bits);
    for (char c : std::string("data"))
        v.push_back(c);
    put32(v, data_len);
    for (size_t i = 0; i < actual_data; ++i)
        v.push_back(static_cast<unsigned char>(i));
    return v;
}

} // namespace

TEST(Wav, ParsesPcmAndRejectsDamagedFiles)
{
    wav_data w;
    std::string err;
    auto good = make_wav(1, 16, 22050, 100, 100);
    ASSERT_TRUE(parse_wav(good.data(), good.size(), w, err)) << err;
    EXPECT_EQ(w.channels, 1);
    EXPECT_EQ(w.frequency, 22050);
    EXPECT_EQ(w.samples.size(), 100u);

    // A data chunk claiming more than the file holds.
    auto overrun = make_wav(1, 16, 22050, 1000000, 100);
    EXPECT_FALSE(parse_wav(overrun.data(), overrun.size(), w, err));
    // An odd byte count in 16-bit data keeps whole frames only.
    auto odd = make_wav(2, 16, 44100, 7, 7);
    ASSERT_TRUE(parse_wav(odd.data(), odd.size(), w, err));
    EXPECT_EQ(w.samples.size(), 4u);
    // Unsupported formats and plain garbage.
    auto weird = make_wav(3, 24, 8000, 12, 12);
    EXPECT_FALSE(parse_wav(weird.data(), weird.size(), w, err));
    for (size_t cut = 0; cut < 44; ++cut)
        EXPECT_FALSE(parse_wav(good.data(), cut, w, err)) << cut;
}

TEST(Sound, WithoutTheOptionNothingIsCreated)
{
    sound_system snd;
    snd.on = 0;
    init_sound(snd);
    add_sound_effect(snd, 0, 5, 1, 0, 0, 0, 20, 0);
    initiate_splash_sound(snd, 1, 2);
    EXPECT_TRUE(snd.effects.empty());
    EXPECT_EQ(snd.device, nullptr);
    simulate_sound(snd, 0.1f, nullptr);
    EXPECT_TRUE(snd.effects.empty());
}

TEST(Sound, SurfStandsAtTheNearestSeaCorner)
{
    float p[3];
    surf_position(0.0f, -0.1f, p);
    EXPECT_EQ(p[0], 256.0f);
    EXPECT_EQ(p[1], 10.0f);
    EXPECT_EQ(p[2], -256.0f);
    surf_position(-0.01f, 3.0f, p);
    EXPECT_EQ(p[0], -256.0f);
    EXPECT_EQ(p[2], 256.0f);
}

// With a real OpenAL device (the wave-file backend, writing to a file in a
// directory of its own): effects start at their trigger time and leave the
// table at expiry, in order, on the sound's own clock (moved on by each
// frame's step).
TEST(Sound, EffectsTriggerAndExpireInOrder)
{
    char tmpl[] = "/tmp/kvt-sound-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl;
    const std::string conf_path = dir + "/alsoft_test.conf", out_path = dir + "/sound_test_out.wav";
    FILE* conf = fopen(conf_path.c_str(), "w");
    ASSERT_NE(conf, nullptr);
    fprintf(conf, "[general]\ndrivers=wave\n[wave]\nfile=%s\n", out_path.c_str());
    fclose(conf);
    setenv("ALSOFT_CONF", conf_path.c_str(), 1);
    setenv("ALSOFT_DRIVERS", "wave", 1);

    auto ground = std::make_unique<terrain_state>();
    sound_system snd;
    snd.on = 1;
    snd.clock = 100.0f;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    init_sound(snd);  // no sounds/ folder here: buffers stay empty, the game goes on
    testing::internal::GetCapturedStderr();
    // The wave backend opened its output file: a real device is in use.
    const bool device_file = access(out_path.c_str(), F_OK) == 0;
    std::filesystem::remove_all(dir);
    ASSERT_TRUE(device_file);
    ASSERT_NE(snd.device, nullptr);
    add_sound_effect(snd, 0, 2.0f, 0.0f, 0, 0, 0, 3, 0);  // a
    add_sound_effect(snd, 0, 2.0f, 0.0f, 0, 0, 0, 3, 0);  // b, expires with a
    add_sound_effect(snd, 0, 7.0f, 1.0f, 0, 0, 0, 33, 1); // c, starts a second later
    ASSERT_EQ(snd.effects.size(), 3u);
    unsigned c_source = snd.effects[2].source;

    simulate_sound(snd, 0.5f, nullptr);  // 100.5
    EXPECT_EQ(snd.effects.size(), 3u);
    EXPECT_GT(snd.effects[0].triggers, 1e12f);
    EXPECT_EQ(snd.effects[2].triggers, 101.0f);

    simulate_sound(snd, 1.5f, nullptr);  // 102
    std::string out = testing::internal::GetCapturedStdout();
    ASSERT_EQ(snd.effects.size(), 1u);
    EXPECT_EQ(snd.effects[0].source, c_source);
    EXPECT_EQ(snd.effects[0].expires, 107.0f);
    EXPECT_NE(out.find("playing sound source " + std::to_string(c_source)), std::string::npos) << out;

    simulate_sound(snd, 5.0f, nullptr);  // 107
    EXPECT_TRUE(snd.effects.empty());

    // A firestorm: ignition at once for 2 s, a looping burn from t+1 to t+7.
    snd.clock = 200.0f;
    initiate_firestorm_sound(snd, *ground, 0.0f, 0.0f);
    ASSERT_EQ(snd.effects.size(), 2u);
    EXPECT_EQ(snd.effects[0].triggers, 200.0f);
    EXPECT_EQ(snd.effects[0].expires, 202.0f);
    EXPECT_EQ(snd.effects[1].triggers, 201.0f);
    EXPECT_EQ(snd.effects[1].expires, 207.0f);
    EXPECT_EQ(snd.effects[1].loops, 1);
    testing::internal::CaptureStdout();
    for (float dt : {0.0f, 1.0f, 1.0f})  // 200, 201, 202
        simulate_sound(snd, dt, nullptr);
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(snd.effects.size(), 1u);
    EXPECT_EQ(snd.effects[0].loops, 1);
    simulate_sound(snd, 5.0f, nullptr);  // 207
    EXPECT_TRUE(snd.effects.empty());
}
