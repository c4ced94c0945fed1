// Three-float vector helpers shared by every module. Vectors are plain
// float[3] arrays, as stored in the game's records.
#pragma once

#include <cmath>

constexpr double DEG_TO_RAD = 0.017453292519943295;

inline void set_vector(float v[3], float x, float y, float z)
{
    v[0] = x;
    v[1] = y;
    v[2] = z;
}

inline void copy_vector(float dst[3], const float src[3])
{
    dst[0] = src[0];
    dst[1] = src[1];
    dst[2] = src[2];
}

inline float dot_product(const float a[3], const float b[3])
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// out = a x b; out may alias neither input.
inline void cross_product(const float a[3], const float b[3], float out[3])
{
    float x = a[1] * b[2] - a[2] * b[1];
    float y = a[2] * b[0] - a[0] * b[2];
    float z = a[0] * b[1] - a[1] * b[0];
    set_vector(out, x, y, z);
}

// out = a + b
inline void add_vector(const float a[3], const float b[3], float out[3])
{
    set_vector(out, a[0] + b[0], a[1] + b[1], a[2] + b[2]);
}

// out = a - b
inline void subtract_vector(const float a[3], const float b[3], float out[3])
{
    set_vector(out, a[0] - b[0], a[1] - b[1], a[2] - b[2]);
}

inline void scale_vector(float v[3], float s)
{
    v[0] *= s;
    v[1] *= s;
    v[2] *= s;
}

inline float vector_length(const float v[3])
{
    return std::sqrt(dot_product(v, v));
}

// Divides by the length; a zero vector stays zero instead of becoming NaN.
inline void normalize_vector(float v[3])
{
    float len = vector_length(v);
    if (len > 0.0f)
        scale_vector(v, 1.0f / len);
}
