// Procedurally composed background music: a modal melody over a chord
// progression, with plucked accompaniment, a bass line, a soft string pad and
// a frame drum, mixed into a room.
//
// Each track is a sequence of 8-bar sections. A section's melody is built
// from a two-bar motif that is stated, moved onto the next chords, stated
// again, and closed by a cadence; the motif belongs to the section's theme, so
// a theme returns recognisably later in the piece.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "mathutil.h"
#include "noise.h"
#include "sounds.h"

namespace {

const float kTwoPi = 6.28318530718f;

float midi_freq(int m) { return 440.0f * std::pow(2.0f, (m - 69) / 12.0f); }

struct Mode {
    int root;       // MIDI note of the tonic in the accompaniment octave
    int steps[7];   // semitones above the tonic of the seven degrees
};

// MIDI note of scale index i (degree i mod 7, octave i div 7) above base.
int scale_note(const Mode& m, int base, int i)
{
    int oct = i >= 0 ? i / 7 : -((-i + 6) / 7);
    int deg = i - oct * 7;
    return base + 12 * oct + m.steps[deg];
}

struct Section {
    char theme;               // 'A', 'B' or 0 for no melody
    std::vector<int> chords;  // chord degree per bar
    bool full_cadence;
    bool pad;
    bool drum;
};

struct Style {
    uint32_t seed;
    int beats;                // beats per bar (3 or 4)
    double bpm;
    Mode mode;
    bool fiddle_melody;       // bowed melody instead of the recorder
    std::vector<Section> sections;
};

struct Note {
    double start, dur;
    int midi;
    float vel;
};

// A two-bar melodic idea: rhythm in eighths and the scale step before each note.
struct Motif {
    std::vector<int> rhythm[2];
    std::vector<int> steps[2];
};

const std::vector<std::vector<int>> kRhythms3 = {{2, 2, 2}, {3, 1, 2}, {2, 1, 1, 2}, {4, 2}, {2, 4}, {1, 1, 2, 2}, {3, 1, 1, 1}};
const std::vector<std::vector<int>> kRhythms4 = {{2, 2, 2, 2}, {3, 1, 2, 2}, {2, 1, 1, 4}, {4, 2, 2}, {2, 2, 4}, {1, 1, 2, 2, 2}, {3, 1, 4}};

int pick_step(HashRng& rng)
{
    static const int steps[] = {-2, -1, -1, -1, 0, 1, 1, 1, 2, 2, -3, 3, 4};
    return steps[rng.below(static_cast<int>(sizeof steps / sizeof steps[0]))];
}

Motif make_motif(HashRng& rng, int beats)
{
    const auto& table = beats == 3 ? kRhythms3 : kRhythms4;
    Motif m;
    for (int b = 0; b < 2; ++b) {
        m.rhythm[b] = table[rng.below(static_cast<int>(table.size()))];
        for (size_t k = 0; k < m.rhythm[b].size(); ++k) m.steps[b].push_back(pick_step(rng));
    }
    return m;
}

bool is_chord_tone(int idx, int chord)
{
    int d = ((idx % 7) + 7) % 7;
    for (int k : {0, 2, 4})
        if (d == (chord + k) % 7) return true;
    return false;
}

int nearest_chord_tone(int idx, int chord)
{
    for (int r = 0; r < 4; ++r) {
        if (is_chord_tone(idx - r, chord)) return idx - r;
        if (is_chord_tone(idx + r, chord)) return idx + r;
    }
    return idx;
}

class Composer {
public:
    explicit Composer(const Style& st) : st_(st), rng_(st.seed) {}

    void compose()
    {
        const double eighth = 30.0 / st_.bpm;
        const double bar = eighth * 2 * st_.beats;
        Motif themes[2] = {make_motif(rng_, st_.beats), make_motif(rng_, st_.beats)};
        int bar_no = 0;
        int seen_a = 0;
        for (const Section& sec : st_.sections) {
            for (size_t b = 0; b < sec.chords.size(); ++b) accompany(sec, sec.chords[b], (bar_no + b) * bar, bar, eighth);
            if (sec.theme) {
                Motif m = themes[sec.theme == 'A' ? 0 : 1];
                if (sec.theme == 'A' && seen_a++ % 2 == 1) vary(m);  // every other statement is varied
                melody_section(sec, m, bar_no * bar, eighth, sec.theme == 'B' ? 2 : 0);
            }
            bar_no += static_cast<int>(sec.chords.size());
        }
        // Final tonic chord, left to ring.
        double end = bar_no * bar;
        for (int k : {0, 2, 4, 7}) accomp.push_back({end + 0.03 * k, bar * 1.5, scale_note(st_.mode, st_.mode.root, k), 0.7f});
        bass.push_back({end, bar * 1.5, st_.mode.root - 12, 0.8f});
        melody.push_back({end, bar * 1.2, scale_note(st_.mode, st_.mode.root + 12, 7), 0.6f});
        length = end + bar * 1.5 + 2.5;
    }

    std::vector<Note> melody, accomp, bass, pad, drum;
    double length = 0;

private:
    const Style& st_;
    HashRng rng_;
    int cur_ = 4;  // melody position: scale index above the melody's tonic

    void vary(Motif& m)
    {
        // Invert the second bar's contour.
        for (int& s : m.steps[1]) s = -s;
    }

    void accompany(const Section& sec, int chord, double t, double bar, double eighth)
    {
        const Mode& md = st_.mode;
        int root = scale_note(md, md.root, chord);
        if (root - md.root > 5) root -= 12;  // keep the chord roots close around the tonic
        int third = root + (scale_note(md, md.root, chord + 2) - scale_note(md, md.root, chord));
        int fifth = root + (scale_note(md, md.root, chord + 4) - scale_note(md, md.root, chord));
        bass.push_back({t, bar * 0.9, root - 12, 0.9f});
        if (st_.beats == 3) {
            // Waltz: bass on one, chord on two and three; broken chords in the B theme.
            if (sec.theme == 'B') {
                int pat[6] = {root, fifth, third + 12, fifth, root + 12, fifth};
                for (int k = 0; k < 6; ++k) accomp.push_back({t + k * eighth, eighth * 3, pat[k], k == 0 ? 0.7f : 0.5f});
            } else {
                for (int beat = 1; beat < 3; ++beat) {
                    double bt = t + beat * 2 * eighth;
                    accomp.push_back({bt, eighth * 2, third, 0.5f});
                    accomp.push_back({bt + 0.012, eighth * 2, fifth, 0.45f});
                    accomp.push_back({bt + 0.024, eighth * 2, root + 12, 0.4f});
                }
            }
        } else {
            int pat[8] = {root, fifth, root + 12, third + 12, fifth + 12, third + 12, root + 12, fifth};
            for (int k = 0; k < 8; ++k) accomp.push_back({t + k * eighth, eighth * 2.5, pat[k], k % 4 == 0 ? 0.65f : 0.45f});
            bass.push_back({t + 4 * eighth, bar * 0.45, fifth - 12, 0.7f});
        }
        if (sec.pad) pad.push_back({t, bar, root, 0.5f}), pad.push_back({t, bar, third, 0.5f}), pad.push_back({t, bar, fifth, 0.5f});
        if (sec.drum) {
            drum.push_back({t, 0.3, 0, 1.0f});
            drum.push_back({t + (st_.beats == 3 ? 4 : 4) * eighth, 0.3, 1, 0.55f});
            if (st_.beats == 4) drum.push_back({t + 7 * eighth, 0.3, 1, 0.35f});
        }
    }

    void play_bar(const std::vector<int>& rhythm, const std::vector<int>& steps, int chord, double t, double eighth,
                  int low, int high)
    {
        int pos = 0;
        for (size_t k = 0; k < rhythm.size(); ++k) {
            int next = cur_ + steps[k];
            // Stay within the section's range: turn back at its edges.
            if (next > high) next -= 2 + (next - high);
            if (next < low) next += 2 + (low - next);
            bool strong = pos == 0 || (st_.beats == 4 && pos == 4);
            if (strong) next = nearest_chord_tone(next, chord);
            cur_ = next;
            melody.push_back({t + pos * eighth, rhythm[k] * eighth, scale_note(st_.mode, st_.mode.root + 12, cur_),
                              strong ? 0.85f : 0.7f});
            pos += rhythm[k];
        }
    }

    // Eight bars: the motif, the motif one step higher on the next chords,
    // the motif again from its first note, and a cadence (a scale run into
    // the goal note, held for the last bar).
    void melody_section(const Section& sec, const Motif& m, double t0, double eighth, int lift)
    {
        const double bar = eighth * 2 * st_.beats;
        const int n = static_cast<int>(sec.chords.size());
        const int low = lift, high = 9 + lift;
        const int first = nearest_chord_tone(4 + lift, sec.chords[0]);
        const int starts[3] = {first, first + 1, first};
        for (int k = 0; k < 3 && 2 * k + 2 < n; ++k) {
            int b = 2 * k;
            cur_ = nearest_chord_tone(starts[k], sec.chords[b]) - m.steps[0][0];
            play_bar(m.rhythm[0], m.steps[0], sec.chords[b], t0 + b * bar, eighth, low, high);
            play_bar(m.rhythm[1], m.steps[1], sec.chords[b + 1], t0 + (b + 1) * bar, eighth, low, high);
        }
        // Goal: the tonic after a full cadence, else the chord tone nearest
        // the melody on the last chord.
        int last = sec.chords[n - 1];
        int goal = sec.full_cadence ? (cur_ >= 4 ? 7 : 0) : nearest_chord_tone(cur_, last);
        int notes = st_.beats;
        int dir = cur_ > goal ? 1 : -1;  // run down onto the goal from above, or up from below
        double tc = t0 + (n - 2) * bar;
        for (int k = 0; k < notes; ++k) {
            cur_ = goal + dir * (notes - k);
            melody.push_back({tc + 2 * k * eighth, 2 * eighth, scale_note(st_.mode, st_.mode.root + 12, cur_),
                              k == 0 ? 0.8f : 0.7f});
        }
        cur_ = goal;
        melody.push_back({t0 + (n - 1) * bar, bar * 0.95, scale_note(st_.mode, st_.mode.root + 12, cur_), 0.8f});
    }
};

// --- instruments ------------------------------------------------------------

Signal recorder(float freq, double dur, float vel, uint32_t seed)
{
    int n = seconds_to_samples(dur + 0.08);
    Signal s(n);
    double ph = 0;
    OnePole breath;
    breath.set(freq * 3.0f);
    for (int i = 0; i < n; ++i) {
        float t = static_cast<float>(i) / kRate;
        float vib = 1.0f + 0.005f * smoothstep(0.2f, 0.5f, t) * std::sin(kTwoPi * 5.0f * t);
        ph += freq * vib / kRate;
        float p = static_cast<float>(ph - std::floor(ph));
        float tone = std::sin(kTwoPi * p) + 0.18f * std::sin(2 * kTwoPi * p) + 0.07f * std::sin(3 * kTwoPi * p);
        float env = smoothstep(0.0f, 0.04f, t) * (1.0f - smoothstep(static_cast<float>(dur) - 0.02f, static_cast<float>(dur) + 0.08f, t));
        s[i] = vel * env * (tone + 0.06f * breath.run(white(seed, static_cast<uint32_t>(i))));
    }
    return s;
}

// A bowed fiddle: bright sawtooth softened by a low-pass, slow bow attack
// and a singing vibrato.
Signal fiddle(float freq, double dur, float vel)
{
    int n = seconds_to_samples(dur + 0.12);
    Signal s(n);
    float p = 0;
    OnePole lp1, lp2;
    lp1.set(freq * 4.0f);
    lp2.set(2500.0f);
    for (int i = 0; i < n; ++i) {
        float t = static_cast<float>(i) / kRate;
        float vib = 1.0f + 0.006f * smoothstep(0.15f, 0.4f, t) * std::sin(kTwoPi * 5.5f * t);
        float dp = freq * vib / kRate;
        p += dp;
        if (p >= 1.0f) p -= 1.0f;
        float env = smoothstep(0.0f, 0.07f, t) * (1.0f - smoothstep(static_cast<float>(dur) - 0.03f, static_cast<float>(dur) + 0.12f, t));
        s[i] = vel * env * lp2.run(lp1.run(saw_blep(p, dp)));
    }
    return s;
}

Signal string_pad(float freq, double dur, float vel)
{
    int n = seconds_to_samples(dur + 0.6);
    Signal s(n);
    float p[3] = {0.0f, 0.33f, 0.67f};
    const float detune[3] = {1.0f, 1.004f, 0.996f};
    OnePole lp;
    lp.set(1100.0f);
    for (int i = 0; i < n; ++i) {
        float t = static_cast<float>(i) / kRate;
        float v = 0;
        for (int k = 0; k < 3; ++k) {
            float dp = freq * detune[k] / kRate;
            p[k] += dp;
            if (p[k] >= 1.0f) p[k] -= 1.0f;
            v += saw_blep(p[k], dp);
        }
        float env = smoothstep(0.0f, 0.45f, t) * (1.0f - smoothstep(static_cast<float>(dur), static_cast<float>(dur) + 0.6f, t));
        s[i] = vel * env * lp.run(v) / 3.0f;
    }
    return s;
}

Signal frame_drum(int kind, float vel, uint32_t seed)
{
    // kind 0: deep stroke in the middle of the skin; 1: lighter rim stroke.
    int n = seconds_to_samples(0.4);
    Signal s(n);
    double ph = 0;
    Biquad bp;
    bp.bandpass(kind == 0 ? 900.0f : 2200.0f, 1.2f);
    for (int i = 0; i < n; ++i) {
        float t = static_cast<float>(i) / kRate;
        float f = (kind == 0 ? 70.0f : 150.0f) + 60.0f * std::exp(-t * 30.0f);
        ph += f / kRate;
        float body = std::sin(kTwoPi * static_cast<float>(ph)) * std::exp(-t * (kind == 0 ? 9.0f : 18.0f));
        float slap = bp.run(white(seed, static_cast<uint32_t>(i))) * std::exp(-t * 40.0f);
        s[i] = vel * (body * (kind == 0 ? 1.0f : 0.4f) + slap * 0.8f);
    }
    return s;
}

Signal render(const Composer& c, const Style& st)
{
    Signal mel, acc, bas, pad, drm;
    uint32_t id = 0;
    for (const Note& n : c.melody) {
        float f = midi_freq(n.midi);
        Signal s = st.fiddle_melody ? fiddle(f, n.dur * 0.97, n.vel) : recorder(f, n.dur * 0.95, n.vel, st.seed + 100 + id);
        mix_into(mel, s, seconds_to_samples(n.start), 1.0f);
        ++id;
    }
    for (const Note& n : c.accomp) {
        Signal s = pluck(midi_freq(n.midi), 1.6f, 0.6f, std::min(2.5, n.dur + 1.0), st.seed + 5000 + id++);
        mix_into(acc, s, seconds_to_samples(n.start), n.vel);
    }
    for (const Note& n : c.bass) {
        Signal s = pluck(midi_freq(n.midi), 2.5f, 0.35f, std::min(3.0, n.dur + 0.8), st.seed + 9000 + id++);
        mix_into(bas, s, seconds_to_samples(n.start), n.vel);
    }
    for (const Note& n : c.pad) mix_into(pad, string_pad(midi_freq(n.midi), n.dur, n.vel), seconds_to_samples(n.start), 1.0f);
    for (const Note& n : c.drum) mix_into(drm, frame_drum(n.midi, n.vel, st.seed + 13000 + id++), seconds_to_samples(n.start), 1.0f);
    Signal mix(seconds_to_samples(c.length), 0.0f);
    auto add = [&](const Signal& s, float g) {
        for (size_t i = 0; i < s.size() && i < mix.size(); ++i) mix[i] += g * s[i];
    };
    add(mel, st.fiddle_melody ? 0.55f : 0.33f);
    add(acc, 0.55f);
    add(bas, 0.7f);
    add(pad, 0.10f);
    add(drm, 0.35f);
    Signal out = reverb(mix, 0.35f, 0.82f);
    return out;
}

Style track_style(int track)
{
    Style st;
    if (track == 0) {
        // G major, 3/4: a lilting recorder tune over a lute.
        st.seed = 701;
        st.beats = 3;
        st.bpm = 84;
        st.mode = Mode{55, {0, 2, 4, 5, 7, 9, 11}};
        st.fiddle_melody = false;
        std::vector<int> a = {0, 4, 5, 3, 0, 4, 3, 4}, a2 = {0, 4, 5, 3, 0, 3, 4, 0};
        std::vector<int> b = {5, 3, 0, 4, 5, 3, 1, 4}, b2 = {3, 4, 2, 5, 3, 0, 1, 4};
        st.sections = {{0, {0, 3, 0, 4}, false, false, false},
                       {'A', a, false, false, true},
                       {'A', a2, true, false, true},
                       {'B', b, false, true, true},
                       {'B', b2, false, true, true},
                       {'A', a, false, false, true},
                       {'A', a2, true, true, true},
                       {0, {3, 4, 0, 0}, true, true, false}};
    } else {
        // D dorian, 4/4: a fiddle tune over flowing arpeggios and strings.
        st.seed = 733;
        st.beats = 4;
        st.bpm = 100;
        st.mode = Mode{50, {0, 2, 3, 5, 7, 9, 10}};
        st.fiddle_melody = true;
        std::vector<int> a = {0, 6, 2, 3, 0, 6, 3, 4}, a2 = {0, 6, 2, 3, 0, 3, 6, 0};
        std::vector<int> b = {2, 6, 3, 0, 2, 6, 3, 4}, b2 = {3, 2, 6, 0, 3, 2, 4, 4};
        st.sections = {{0, {0, 6, 0, 6}, false, true, false},
                       {'A', a, false, true, false},
                       {'A', a2, true, true, true},
                       {'B', b, false, true, true},
                       {'B', b2, false, true, true},
                       {'A', a2, true, true, true},
                       {0, {3, 6, 0, 0}, true, true, false}};
    }
    return st;
}

}  // namespace

Signal make_music(int track, double min_seconds)
{
    Style st = track_style(track);
    Composer c(st);
    c.compose();
    Signal s = render(c, st);
    // Pad with the reverberant tail to the required length, then fade the end.
    if (static_cast<double>(s.size()) < min_seconds * kRate + kRate)
        s.resize(static_cast<size_t>(min_seconds * kRate) + kRate, 0.0f);
    fade_edges(s, 64, seconds_to_samples(2.0));
    return s;
}
