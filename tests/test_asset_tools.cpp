// Tests of the asset generators' building blocks: tiling noise, filters,
// plucked-string tuning, loops, and the .tex and WAV writers.
#include <gtest/gtest.h>

#include <cairo.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "noise.h"
#include "synth.h"
#include "tex_image.h"
#include "wav_writer.h"

namespace {

std::vector<uint8_t> slurp(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::string temp_path(const char* name) { return "asset_tools_" + std::to_string(getpid()) + "_" + name; }

TEST(TileNoise, RepeatsWithPeriodOne)
{
    for (float u : {0.0f, 0.137f, 0.5f, 0.93f}) {
        for (float v : {0.0f, 0.31f, 0.77f}) {
            EXPECT_NEAR(tile_fbm(u, v, 3, 5, 4, 7), tile_fbm(u + 1.0f, v, 3, 5, 4, 7), 1e-4f);
            EXPECT_NEAR(tile_fbm(u, v, 3, 5, 4, 7), tile_fbm(u, v + 1.0f, 3, 5, 4, 7), 1e-4f);
            EXPECT_NEAR(tile_noise(u * 4, v * 4, 4, 4, 9), tile_noise(u * 4 - 4, v * 4 + 8, 4, 4, 9), 1e-4f);
            CellSample a = tile_cells(u, v, 6, 3), b = tile_cells(u - 1.0f, v + 1.0f, 6, 3);
            EXPECT_NEAR(a.f1, b.f1, 1e-4f);
            EXPECT_EQ(a.id, b.id);
        }
    }
}

TEST(TileNoise, VariesAndStaysInRange)
{
    float lo = 1e9f, hi = -1e9f;
    for (int i = 0; i < 400; ++i) {
        float n = tile_fbm(hash_unit(1, i), hash_unit(2, i), 4, 4, 5, 11);
        lo = std::min(lo, n);
        hi = std::max(hi, n);
    }
    EXPECT_GT(hi - lo, 0.5f);
    EXPECT_GE(lo, -1.5f);
    EXPECT_LE(hi, 1.5f);
    // Different seeds give different fields.
    EXPECT_NE(tile_fbm(0.3f, 0.6f, 4, 4, 3, 1), tile_fbm(0.3f, 0.6f, 4, 4, 3, 2));
}

// Frequency of a periodic signal by autocorrelation over [from, from + len).
double measured_pitch(const Signal& s, int from, int len, double lo_hz, double hi_hz)
{
    int best_lag = 0;
    double best = -1e30;
    int min_lag = static_cast<int>(kRate / hi_hz), max_lag = static_cast<int>(kRate / lo_hz) + 1;
    std::vector<double> score(max_lag + 2, 0.0);
    for (int lag = min_lag; lag <= max_lag + 1; ++lag) {
        double c = 0;
        for (int i = from; i < from + len; ++i) c += s[i] * s[i + lag];
        score[lag] = c;
        if (lag <= max_lag && c > best) {
            best = c;
            best_lag = lag;
        }
    }
    // Parabolic refinement between neighbouring lags.
    double a = score[best_lag - 1], b = score[best_lag], c = score[best_lag + 1];
    double shift = (a - c) / (2 * (a - 2 * b + c));
    return kRate / (best_lag + shift);
}

TEST(Pluck, SoundsAtTheRequestedPitch)
{
    // Out-of-tune strings would make the music sour; allow about 10 cents.
    for (float f : {98.0f, 220.0f, 392.0f, 659.25f, 880.0f}) {
        Signal s = pluck(f, 2.0f, 0.6f, 0.6, 5);
        double got = measured_pitch(s, kRate / 10, kRate / 5, f * 0.8, f * 1.25);
        EXPECT_NEAR(1200.0 * std::log2(got / f), 0.0, 10.0) << f << " Hz came out at " << got;
    }
}

TEST(Pluck, DiesAwayAsAsked)
{
    Signal s = pluck(220.0f, 0.5f, 0.5f, 1.5, 3);
    auto level = [&](double t) {
        double e = 0;
        int a = seconds_to_samples(t), n = kRate / 20;
        for (int i = a; i < a + n; ++i) e += s[i] * s[i];
        return std::sqrt(e / n);
    };
    EXPECT_GT(level(0.05), 0.01);
    EXPECT_LT(level(1.0), level(0.05) * 0.01);  // -40 dB after twice its 60 dB time
}

TEST(Filters, LowPassAndHighPassSeparateTones)
{
    auto gain = [](Biquad f, float hz) {
        double peak = 0;
        for (int i = 0; i < kRate; ++i) {
            float y = f.run(std::sin(6.2831853f * hz * i / kRate));
            if (i > kRate / 2) peak = std::max(peak, static_cast<double>(std::fabs(y)));
        }
        return peak;
    };
    Biquad lp, hp, bp;
    lp.lowpass(500.0f, 0.707f);
    hp.highpass(2000.0f, 0.707f);
    bp.bandpass(1000.0f, 2.0f);
    EXPECT_NEAR(gain(lp, 100.0f), 1.0, 0.05);
    EXPECT_LT(gain(lp, 5000.0f), 0.02);
    EXPECT_LT(gain(hp, 200.0f), 0.02);
    EXPECT_NEAR(gain(hp, 8000.0f), 1.0, 0.1);
    EXPECT_NEAR(gain(bp, 1000.0f), 1.0, 0.05);
    EXPECT_LT(gain(bp, 100.0f), 0.1);
}

TEST(Loops, JoinEndToStartLikeTheSourceContinues)
{
    // A slowly varying source: a looped copy must continue from its last
    // sample into its first just as the source continues past that point.
    Signal src(3000);
    for (size_t i = 0; i < src.size(); ++i) src[i] = std::sin(static_cast<float>(i) * 0.01f) + 0.3f * std::sin(static_cast<float>(i) * 0.037f);
    Signal loop = make_loop(src, 2500, 400);
    ASSERT_EQ(loop.size(), 2500u);
    EXPECT_NEAR(loop[0], src[2500], 0.01f);
    EXPECT_NEAR(loop[2499], src[2499], 1e-6f);
    EXPECT_NEAR(loop[1000], src[1000], 1e-6f);
    // Across the cross-fade the signal has no jump bigger than the source's own steps.
    for (int i = 1; i < 400; ++i) EXPECT_LT(std::fabs(loop[i] - loop[i - 1]), 0.05f) << i;
}

TEST(TexWriter, HeaderAndRowOrder)
{
    Image img = make_image(2, 3, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x) put_pixel(img, x, y, rgb(y / 2.0f, x, 0));
    const std::string path = temp_path("rows.tex");
    ASSERT_TRUE(write_tex(path, img, RowOrder::top_first));
    std::vector<uint8_t> top = slurp(path);
    ASSERT_TRUE(write_tex(path, img, RowOrder::bottom_first));
    std::vector<uint8_t> bottom = slurp(path);
    std::remove(path.c_str());
    ASSERT_EQ(top.size(), 12u + 2 * 3 * 3);
    ASSERT_EQ(bottom.size(), top.size());
    const uint8_t header[12] = {2, 0, 0, 0, 3, 0, 0, 0, 3, 0, 0, 0};
    EXPECT_TRUE(std::equal(header, header + 12, top.begin()));
    // Picture row 0 (red 0) first, or picture row 2 (red 255) first.
    EXPECT_EQ(top[12], 0);
    EXPECT_EQ(top[12 + 2 * 6], 255);
    EXPECT_EQ(bottom[12], 255);
    EXPECT_EQ(bottom[12 + 2 * 6], 0);
    EXPECT_EQ(top[12 + 3 + 1], 255);  // second pixel of a row has green 1
    EXPECT_FALSE(write_tex("/nonexistent-dir/x.tex", img, RowOrder::top_first));
}

TEST(TexWriter, QuadOrderStoresColumnsBottomUp)
{
    // A 2 x 3 picture: red marks the row (0 top .. 255 bottom), green the column.
    Image img = make_image(2, 3, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x) put_pixel(img, x, y, rgb(y / 2.0f, x, 0));
    const std::string path = temp_path("quad.tex");
    ASSERT_TRUE(write_tex(path, img, RowOrder::quad));
    std::vector<uint8_t> f = slurp(path);
    std::remove(path.c_str());
    ASSERT_EQ(f.size(), 12u + 2 * 3 * 3);
    // Width and height swap: one file row per picture column.
    const uint8_t header[12] = {3, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0};
    EXPECT_TRUE(std::equal(header, header + 12, f.begin()));
    auto px = [&](int row, int col, int c) { return f[12 + (row * 3 + col) * 3 + c]; };
    // File row 0 is the left column, starting at the picture's bottom (s = 0).
    EXPECT_EQ(px(0, 0, 0), 255);
    EXPECT_EQ(px(0, 1, 0), 128);
    EXPECT_EQ(px(0, 2, 0), 0);
    EXPECT_EQ(px(0, 0, 1), 0);
    // File row 1 is the right column.
    EXPECT_EQ(px(1, 0, 1), 255);
    EXPECT_EQ(px(1, 2, 0), 0);
}

TEST(CairoImages, AlphaIsUnpremultiplied)
{
    cairo_surface_t* s = new_surface(4, 4);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgba(cr, 1.0, 0.5, 0.0, 0.5);
    cairo_paint(cr);
    cairo_destroy(cr);
    Image img = image_from_surface(s, 4);
    cairo_surface_destroy(s);
    Color c = get_pixel(img, 2, 2);
    EXPECT_NEAR(c.r, 1.0f, 0.02f);
    EXPECT_NEAR(c.g, 0.5f, 0.02f);
    EXPECT_NEAR(c.a, 0.5f, 0.02f);
    // And back: the copy for drawing keeps the colour.
    cairo_surface_t* back = surface_from_image(img);
    Image again = image_from_surface(back, 4);
    cairo_surface_destroy(back);
    EXPECT_NEAR(get_pixel(again, 1, 1).g, 0.5f, 0.02f);
}

TEST(WavWriter, CanonicalMonoHeaderAndClampedSamples)
{
    Signal s = {0.0f, 0.5f, -0.5f, 2.0f, -3.0f};
    const std::string path = temp_path("x.wav");
    ASSERT_TRUE(write_wav(path, s, 22050));
    std::vector<uint8_t> b = slurp(path);
    std::remove(path.c_str());
    ASSERT_EQ(b.size(), 44u + 10);
    auto le16 = [&](size_t i) { return static_cast<int16_t>(b[i] | (b[i + 1] << 8)); };
    auto le32 = [&](size_t i) { return b[i] | (b[i + 1] << 8) | (b[i + 2] << 16) | (b[i + 3] << 24); };
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
    EXPECT_EQ(le32(4), 36 + 10);
    EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(le16(22), 1);       // channels
    EXPECT_EQ(le32(24), 22050);   // rate
    EXPECT_EQ(le32(28), 44100);   // bytes per second
    EXPECT_EQ(le16(34), 16);      // bits
    EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
    EXPECT_EQ(le32(40), 10);
    EXPECT_EQ(le16(44), 0);
    EXPECT_EQ(le16(46), 16384);
    EXPECT_EQ(le16(48), -16384);
    EXPECT_EQ(le16(50), 32767);
    EXPECT_EQ(le16(52), -32767);

    Signal quiet = {0.1f, -0.2f};
    normalize(quiet, 0.8f);
    EXPECT_NEAR(quiet[1], -0.8f, 1e-6f);
    EXPECT_NEAR(quiet[0], 0.4f, 1e-6f);
}

}  // namespace
