#include "synth.h"

#include <algorithm>
#include <cmath>

#include "noise.h"

namespace {
const float kTwoPi = 6.28318530718f;
}

float white(uint32_t seed, uint32_t i) { return hash_unit(seed, i) * 2.0f - 1.0f; }

void Biquad::lowpass(float freq, float q)
{
    float w = kTwoPi * std::min(freq, kRate * 0.45f) / kRate, alpha = std::sin(w) / (2 * q), c = std::cos(w);
    float a0 = 1 + alpha;
    b0 = (1 - c) / 2 / a0;
    b1 = (1 - c) / a0;
    b2 = b0;
    a1 = -2 * c / a0;
    a2 = (1 - alpha) / a0;
}

void Biquad::highpass(float freq, float q)
{
    float w = kTwoPi * std::min(freq, kRate * 0.45f) / kRate, alpha = std::sin(w) / (2 * q), c = std::cos(w);
    float a0 = 1 + alpha;
    b0 = (1 + c) / 2 / a0;
    b1 = -(1 + c) / a0;
    b2 = b0;
    a1 = -2 * c / a0;
    a2 = (1 - alpha) / a0;
}

void Biquad::bandpass(float freq, float q)
{
    float w = kTwoPi * std::min(freq, kRate * 0.45f) / kRate, alpha = std::sin(w) / (2 * q), c = std::cos(w);
    float a0 = 1 + alpha;
    b0 = alpha / a0;
    b1 = 0;
    b2 = -alpha / a0;
    a1 = -2 * c / a0;
    a2 = (1 - alpha) / a0;
}

float Biquad::run(float x)
{
    float y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
}

void OnePole::set(float freq) { a = 1.0f - std::exp(-kTwoPi * freq / kRate); }

float saw_blep(float phase, float dphase)
{
    float v = 2.0f * phase - 1.0f;
    if (phase < dphase) {
        float t = phase / dphase;
        v -= t + t - t * t - 1.0f;
    } else if (phase > 1.0f - dphase) {
        float t = (phase - 1.0f) / dphase;
        v -= t * t + t + t + 1.0f;
    }
    return v;
}

Signal pluck(float freq, float t60, float bright, double length, uint32_t seed)
{
    int n = seconds_to_samples(length);
    Signal y(n, 0.0f);
    // The two-point average adds half a sample of delay to the loop.
    float delay = kRate / freq - 0.5f;
    int head = static_cast<int>(std::ceil(delay)) + 1;
    // Excitation: a burst of smoothed noise; duller for small `bright`.
    OnePole lp;
    lp.set(300.0f + bright * 6000.0f);
    float mean = 0;
    for (int i = 0; i < head && i < n; ++i) {
        y[i] = lp.run(white(seed, static_cast<uint32_t>(i)));
        mean += y[i];
    }
    mean /= static_cast<float>(std::max(1, std::min(head, n)));
    for (int i = 0; i < head && i < n; ++i) y[i] -= mean;
    // Loop gain per period for the requested decay time.
    float g = std::pow(10.0f, -3.0f / (freq * t60));
    auto at = [&](float pos) {
        int i = static_cast<int>(std::floor(pos));
        float f = pos - i;
        float a = i >= 0 ? y[i] : 0.0f, b = i + 1 >= 0 ? y[i + 1] : 0.0f;
        return a + (b - a) * f;
    };
    for (int i = head; i < n; ++i) {
        float p = static_cast<float>(i) - delay;
        y[i] = g * 0.5f * (at(p) + at(p - 1.0f));
    }
    // Soften the onset of the raw noise burst.
    int ramp = std::min(n, 24);
    for (int i = 0; i < ramp; ++i) y[i] *= static_cast<float>(i) / ramp;
    return y;
}

void mix_into(Signal& dst, const Signal& src, int at, float gain)
{
    if (at < 0) return;
    size_t need = static_cast<size_t>(at) + src.size();
    if (dst.size() < need) dst.resize(need, 0.0f);
    for (size_t i = 0; i < src.size(); ++i) dst[at + i] += gain * src[i];
}

Signal reverb(const Signal& dry, float wet, float room)
{
    // Four parallel feedback combs with damping, then two all-passes.
    const int comb_len[4] = {1116, 1188, 1277, 1356};
    const int ap_len[2] = {225, 341};
    std::vector<Signal> comb(4);
    std::vector<float> comb_lp(4, 0.0f);
    std::vector<int> comb_pos(4, 0);
    for (int k = 0; k < 4; ++k) comb[k].assign(comb_len[k] / 2, 0.0f);  // lengths tuned for 44.1 kHz, halved
    std::vector<Signal> ap(2);
    std::vector<int> ap_pos(2, 0);
    for (int k = 0; k < 2; ++k) ap[k].assign(ap_len[k] / 2, 0.0f);
    Signal out(dry.size());
    const float damp = 0.3f;
    for (size_t i = 0; i < dry.size(); ++i) {
        float in = dry[i] * 0.25f, acc = 0;
        for (int k = 0; k < 4; ++k) {
            float d = comb[k][comb_pos[k]];
            comb_lp[k] = d * (1 - damp) + comb_lp[k] * damp;
            comb[k][comb_pos[k]] = in + comb_lp[k] * room;
            comb_pos[k] = (comb_pos[k] + 1) % static_cast<int>(comb[k].size());
            acc += d;
        }
        for (int k = 0; k < 2; ++k) {
            float d = ap[k][ap_pos[k]];
            float v = -acc + d;
            ap[k][ap_pos[k]] = acc + d * 0.5f;
            ap_pos[k] = (ap_pos[k] + 1) % static_cast<int>(ap[k].size());
            acc = v;
        }
        out[i] = dry[i] * (1.0f - wet * 0.5f) + acc * wet;
    }
    return out;
}

Signal make_loop(const Signal& src, int loop_len, int fade)
{
    Signal out(src.begin(), src.begin() + loop_len);
    for (int i = 0; i < fade; ++i) {
        float t = (i + 0.5f) / fade;
        float g_in = std::sin(t * kTwoPi / 4), g_out = std::cos(t * kTwoPi / 4);
        out[i] = src[i] * g_in + src[loop_len + i] * g_out;
    }
    return out;
}

void fade_edges(Signal& s, int in, int out)
{
    int n = static_cast<int>(s.size());
    for (int i = 0; i < in && i < n; ++i) s[i] *= static_cast<float>(i) / in;
    for (int i = 0; i < out && i < n; ++i) s[n - 1 - i] *= static_cast<float>(i) / out;
}
