// Small synthesis toolkit for the sound generators: noise, filters,
// oscillators, plucked strings, a room reverb and seamless loops.
#pragma once

#include <cstdint>
#include <vector>

constexpr int kRate = 22050;  // samples per second of every generated sound

using Signal = std::vector<float>;

inline int seconds_to_samples(double s) { return static_cast<int>(s * kRate + 0.5); }

// White noise in [-1, 1) for sample i of stream `seed`.
float white(uint32_t seed, uint32_t i);

// Biquad filter (RBJ cookbook); coefficients may be changed while running.
struct Biquad {
    float b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    float x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    void lowpass(float freq, float q);
    void highpass(float freq, float q);
    void bandpass(float freq, float q);  // 0 dB peak gain
    float run(float x);
};

// One-pole low-pass smoothing, coefficient from a cut-off frequency.
struct OnePole {
    float a = 0, y = 0;
    void set(float freq);
    float run(float x) { return y += a * (x - y); }
};

// Band-limited sawtooth (polyBLEP); phase in [0, 1).
float saw_blep(float phase, float dphase);

// Plucked string (Karplus-Strong with a fractional delay) of the given
// frequency; `t60` seconds until it has died away by 60 dB, `bright` 0..1.
Signal pluck(float freq, float t60, float bright, double length, uint32_t seed);

// Adds `src` into `dst` starting at sample `at`, scaled by `gain`.
void mix_into(Signal& dst, const Signal& src, int at, float gain);

// Schroeder room reverb; returns the wet signal mixed with the dry one.
Signal reverb(const Signal& dry, float wet, float room);

// Makes a signal of `loop_len` samples that loops without a click, from a
// source at least loop_len + fade samples long: the source's tail after
// loop_len is cross-faded (equal power) into its head.
Signal make_loop(const Signal& src, int loop_len, int fade);

// Linear fade-in over `in` and fade-out over `out` samples.
void fade_edges(Signal& s, int in, int out);
