// Scalar helpers shared by the picture and sound generators.
#pragma once

inline float clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

inline float lerp(float a, float b, float t) { return a + (b - a) * t; }

// Hermite step from 0 at e0 to 1 at e1 (e1 may be below e0 for a falling step).
inline float smoothstep(float e0, float e1, float x)
{
    float t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3.0f - 2.0f * t);
}
