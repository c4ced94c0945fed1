// Procedural sound effects: thunder, splash, surf, fire and dragon roars.
#include <algorithm>
#include <cmath>

#include "mathutil.h"
#include "noise.h"
#include "sounds.h"

namespace {

const float kTwoPi = 6.28318530718f;

// Normalises to full scale, then rounds off the peaks: louder body, some grit.
void soft_clip(Signal& s, float drive)
{
    float peak = 0;
    for (float v : s) peak = std::max(peak, std::fabs(v));
    if (peak <= 0) return;
    float k = 1.0f / std::tanh(drive);
    for (float& v : s) v = k * std::tanh(drive * v / peak);
}

// Brown (integrated) noise, kept from drifting.
struct Brown {
    float y = 0;
    float run(float w) { return y = 0.995f * y + 0.08f * w; }
};

// A short bubble: a sine whose pitch rises quickly, as air pockets collapse.
void add_bubble(Signal& s, double at, float f0, float dur, float amp)
{
    int start = seconds_to_samples(at), n = seconds_to_samples(dur);
    float phase = 0;
    for (int i = 0; i < n && start + i < static_cast<int>(s.size()); ++i) {
        float t = static_cast<float>(i) / n;
        float f = f0 * (1.0f + 1.2f * t);
        phase += kTwoPi * f / kRate;
        float env = std::sin(3.14159f * std::min(1.0f, t * 4.0f)) * std::exp(-5.0f * t);
        s[start + i] += amp * env * std::sin(phase);
    }
}

}  // namespace

Signal make_thunder()
{
    // A sharp crack, then a rolling rumble that moves away.
    const double len = 4.0;
    int n = seconds_to_samples(len);
    Signal s(n, 0.0f);
    HashRng rng(601);
    const int bumps = 9;
    float bump_t[bumps], bump_a[bumps];
    for (int k = 0; k < bumps; ++k) {
        bump_t[k] = k == 0 ? 0.05f : rng.range(0.1f, 2.2f);
        bump_a[k] = k == 0 ? 1.5f : rng.range(0.35f, 0.9f);
    }
    Biquad rumble_lp, crack_hp, body_lp;
    crack_hp.highpass(1200.0f, 0.7f);
    Brown brown;
    for (int i = 0; i < n; ++i) {
        float t = static_cast<float>(i) / kRate;
        if (i % 64 == 0) {
            rumble_lp.lowpass(420.0f * std::exp(-t * 0.55f) + 70.0f, 0.9f);
            body_lp.lowpass(1800.0f * std::exp(-t * 3.0f) + 200.0f, 0.7f);
        }
        float w = white(602, static_cast<uint32_t>(i));
        // Crack: bright noise dying within a quarter second, with stutters.
        float stutter = 0.6f + 0.4f * (white(603, static_cast<uint32_t>(i / 220)) > 0.0f);
        float crack = crack_hp.run(w) * std::exp(-t * 18.0f) * stutter;
        // Rumble: deep noise swelling in a few peals.
        float env = 0;
        for (int k = 0; k < bumps; ++k) {
            float d = t - bump_t[k];
            if (d > 0) env += bump_a[k] * (1.0f - std::exp(-d * 12.0f)) * std::exp(-d * 1.6f);
        }
        float rumble = rumble_lp.run(brown.run(w)) * env * 4.0f;
        float body = body_lp.run(w) * std::exp(-t * 4.0f) * 0.5f;
        s[i] = 2.5f * crack + rumble + body;
    }
    soft_clip(s, 1.5f);
    fade_edges(s, 8, seconds_to_samples(0.6));
    return s;
}

Signal make_splash()
{
    const double len = 1.4;
    int n = seconds_to_samples(len);
    Signal s(n, 0.0f);
    Biquad slap, thump, wash;
    slap.bandpass(2200.0f, 0.8f);
    thump.lowpass(320.0f, 0.8f);
    for (int i = 0; i < n; ++i) {
        float t = static_cast<float>(i) / kRate;
        if (i % 64 == 0) wash.bandpass(1500.0f - 700.0f * std::min(t, 1.0f), 0.9f);
        float w = white(611, static_cast<uint32_t>(i));
        float attack = std::min(1.0f, t * 400.0f);
        float v = slap.run(w) * std::exp(-t * 30.0f) * 1.2f;
        v += thump.run(w) * std::exp(-t * 14.0f) * 2.5f;
        float churn = 0.7f + 0.3f * std::sin(kTwoPi * 9.0f * t + 3.0f * white(612, static_cast<uint32_t>(i / 400)));
        v += wash.run(w) * std::exp(-t * 4.5f) * churn * 1.1f;
        s[i] = v * attack;
    }
    HashRng rng(613);
    for (int k = 0; k < 22; ++k) {
        double at = rng.range(0.03f, 1.0f);
        add_bubble(s, at, rng.range(500.0f, 1400.0f), rng.range(0.02f, 0.06f), 0.25f * std::exp(-static_cast<float>(at) * 2.0f));
    }
    fade_edges(s, 4, seconds_to_samples(0.3));
    return s;
}

namespace {

// Surf: waves every `period` seconds, each a swelling roar, a crash and a
// hissing wash. Envelopes are periodic so the clip loops.
Signal surf(double loop_seconds, double period, float crash, float hiss_level, uint32_t seed)
{
    int loop = seconds_to_samples(loop_seconds), fade = seconds_to_samples(1.0);
    int n = loop + fade;
    Signal s(n, 0.0f);
    Biquad body, spray, low;
    Brown brown;
    spray.highpass(2500.0f, 0.7f);
    low.lowpass(180.0f, 0.7f);
    for (int i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kRate;
        float ph = static_cast<float>(std::fmod(t, period) / period);  // 0..1 through one wave
        float swell = smoothstep(0.0f, 0.45f, ph) * (1.0f - smoothstep(0.45f, 1.0f, ph));
        float breaking = std::exp(-std::max(0.0f, ph - 0.42f) * 9.0f) * smoothstep(0.36f, 0.42f, ph);
        float wash = smoothstep(0.42f, 0.55f, ph) * (1.0f - smoothstep(0.6f, 1.0f, ph));
        if (i % 64 == 0) body.lowpass(350.0f + 2200.0f * (0.3f * swell + breaking), 0.7f);
        float w = white(seed, static_cast<uint32_t>(i));
        float v = body.run(w) * (0.25f + 0.6f * swell + crash * breaking);
        v += spray.run(w) * hiss_level * (0.15f + wash);
        v += low.run(brown.run(w)) * 1.0f;  // steady distant rumble of the sea
        s[i] = v;
    }
    return make_loop(s, loop, fade);
}

}  // namespace

Signal make_seaside() { return surf(12.0, 6.0, 1.0f, 0.35f, 621); }

Signal make_waterside()
{
    // Small waves lapping at a bank: soft, quick and irregular, with gurgles.
    const double loop_seconds = 8.0;
    int loop = seconds_to_samples(loop_seconds), fade = seconds_to_samples(0.8);
    int n = loop + fade;
    Signal s(n, 0.0f);
    const double laps[6] = {0.2, 1.5, 2.6, 4.1, 5.3, 6.7};
    Biquad bp, bed;
    bp.bandpass(700.0f, 0.8f);
    bed.lowpass(500.0f, 0.7f);
    for (int i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kRate;
        double tl = std::fmod(t, loop_seconds);
        float env = 0;
        for (double lt : laps) {
            for (double off : {0.0, -loop_seconds, loop_seconds}) {
                double d = tl - (lt + off);
                if (d > 0 && d < 1.5) env += static_cast<float>((1.0 - std::exp(-d * 20.0)) * std::exp(-d * 4.0));
            }
        }
        float w = white(631, static_cast<uint32_t>(i));
        s[i] = bp.run(w) * env * 0.9f + bed.run(w) * 0.25f;
    }
    HashRng rng(632);
    for (double lt : laps) {
        for (int k = 0; k < 3; ++k) {
            double at = lt + rng.range(0.05f, 0.5f);
            add_bubble(s, at, rng.range(250.0f, 600.0f), rng.range(0.03f, 0.07f), 0.2f);
        }
    }
    return make_loop(s, loop, fade);
}

namespace {

// Crackles of burning wood: short bright clicks at random moments.
void add_crackles(Signal& s, double from, double to, float rate, float amp, uint32_t seed)
{
    HashRng rng(seed);
    double t = from;
    while (true) {
        t += -std::log(1.0f - rng.unit() * 0.999f) / rate;
        if (t >= to) break;
        int at = seconds_to_samples(t), len = seconds_to_samples(rng.range(0.002f, 0.012f));
        float a = amp * rng.range(0.2f, 1.0f);
        Biquad hp;
        hp.highpass(rng.range(1500.0f, 4500.0f), 0.8f);
        for (int i = 0; i < len && at + i < static_cast<int>(s.size()); ++i) {
            float e = std::exp(-6.0f * i / len);
            s[at + i] += a * e * hp.run(white(seed + 1, static_cast<uint32_t>(at + i)));
        }
    }
}

}  // namespace

Signal make_fire_start()
{
    // Whoosh of ignition rising into the roar of the fire.
    const double len = 2.0;
    int n = seconds_to_samples(len);
    Signal s(n, 0.0f);
    Biquad sweep, roar;
    roar.lowpass(450.0f, 0.7f);
    Brown brown;
    for (int i = 0; i < n; ++i) {
        float t = static_cast<float>(i) / kRate;
        if (i % 32 == 0) sweep.bandpass(200.0f + 2400.0f * smoothstep(0.0f, 0.5f, t) * std::exp(-t * 0.8f), 1.2f);
        float w = white(641, static_cast<uint32_t>(i));
        float whoosh = sweep.run(w) * smoothstep(0.0f, 0.25f, t) * std::exp(-std::max(0.0f, t - 0.3f) * 2.0f) * 2.2f;
        float body = roar.run(brown.run(w)) * 3.0f * smoothstep(0.1f, 0.6f, t);
        float thump = std::sin(kTwoPi * 55.0f * t) * std::exp(-t * 8.0f) * smoothstep(0.0f, 0.02f, t) * 0.6f;
        s[i] = whoosh + body + thump;
    }
    add_crackles(s, 0.3, len, 25.0f, 0.6f, 642);
    fade_edges(s, 16, seconds_to_samples(0.3));
    return s;
}

Signal make_fire_loop()
{
    const double loop_seconds = 4.0;
    int loop = seconds_to_samples(loop_seconds), fade = seconds_to_samples(0.5);
    int n = loop + fade;
    Signal s(n, 0.0f);
    Biquad roar, hiss;
    roar.lowpass(500.0f, 0.7f);
    hiss.highpass(3000.0f, 0.7f);
    Brown brown;
    for (int i = 0; i < n; ++i) {
        float t = static_cast<float>(i) / kRate;
        // Flutter of the flames: periodic over the loop (1, 3 and 5 cycles).
        float p = kTwoPi * t / static_cast<float>(loop_seconds);
        float flutter = 1.0f + 0.2f * std::sin(p) + 0.12f * std::sin(3 * p + 1.0f) + 0.08f * std::sin(5 * p + 2.0f);
        float w = white(651, static_cast<uint32_t>(i));
        s[i] = roar.run(brown.run(w)) * 3.0f * flutter + hiss.run(w) * 0.08f;
    }
    add_crackles(s, 0.0, loop_seconds + 0.5, 30.0f, 0.55f, 652);
    return make_loop(s, loop, fade);
}

Signal make_dragon_roar(int variant)
{
    // A growling voice: a sawtooth source with a pitch that rises and falls,
    // rough amplitude flutter, breath noise and mouth resonances.
    HashRng rng(661 + variant * 17);
    const float f0 = rng.range(70.0f, 150.0f);
    const double len = rng.range(1.3f, 1.9f);
    const float peak_at = rng.range(0.2f, 0.45f);
    const float rise = rng.range(1.15f, 1.5f), fall = rng.range(0.5f, 0.75f);
    const float growl_hz = rng.range(22.0f, 45.0f), growl_depth = rng.range(0.3f, 0.65f);
    const float formant1 = rng.range(450.0f, 750.0f), formant2 = rng.range(1000.0f, 1600.0f);
    const float breath = rng.range(0.1f, 0.3f);
    int n = seconds_to_samples(len);
    Signal s(n, 0.0f);
    Biquad f1, f2, body, air;
    body.lowpass(900.0f, 0.8f);
    float phase = 0, sub_phase = 0;
    for (int i = 0; i < n; ++i) {
        float t = static_cast<float>(i) / kRate, u = t / static_cast<float>(len);
        // Pitch contour.
        float contour = u < peak_at ? lerp(1.0f, rise, smoothstep(0.0f, peak_at, u))
                                    : lerp(rise, fall, smoothstep(peak_at, 1.0f, u));
        float vib = 1.0f + 0.03f * std::sin(kTwoPi * 6.5f * t) + 0.02f * white(662, static_cast<uint32_t>(i / 300));
        float f = f0 * contour * vib;
        float dphase = f / kRate;
        phase += dphase;
        if (phase >= 1.0f) phase -= 1.0f;
        sub_phase += 0.5f * dphase;
        if (sub_phase >= 1.0f) sub_phase -= 1.0f;
        float src = saw_blep(phase, dphase);
        // Mouth opening: resonances move up as the roar swells.
        if (i % 64 == 0) {
            float open = std::sin(3.14159f * std::min(1.0f, u * 1.2f));
            f1.bandpass(formant1 * (0.7f + 0.5f * open), 3.0f);
            f2.bandpass(formant2 * (0.8f + 0.3f * open), 4.0f);
            air.bandpass(900.0f + 800.0f * open, 1.0f);
        }
        float voiced = f1.run(src) * 1.4f + f2.run(src) * 0.8f + body.run(src) * 0.6f;
        float growl = 1.0f - growl_depth * (0.5f + 0.5f * std::sin(kTwoPi * growl_hz * t + 2.0f * white(663, static_cast<uint32_t>(i / 500))));
        float noise = air.run(white(664 + variant, static_cast<uint32_t>(i))) * breath;
        // Swells to its loudest at the pitch peak, then sinks away.
        float swell = 0.6f + 0.4f * std::exp(-(u - peak_at) * (u - peak_at) / 0.08f);
        float env = smoothstep(0.0f, 0.12f, t) * swell * (1.0f - smoothstep(0.65f, 1.0f, u));
        float sub = std::sin(kTwoPi * sub_phase) * 0.35f;
        s[i] = env * (voiced * growl + noise + sub * growl);
    }
    soft_clip(s, 2.0f);
    fade_edges(s, 32, seconds_to_samples(0.15));
    return s;
}
