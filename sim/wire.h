// Little-endian field access for datagrams. Every received message is read
// through `wire_reader`, which never looks past the datagram's length; every
// sent message is built with the `put_*` helpers into a growing buffer.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

// The tag of a message or command as the receiver compares it: the four
// letters read as a big-endian integer ("CMND" is 0x434D4E44).
constexpr uint32_t make_tag(const char (&s)[5])
{
    return (static_cast<uint32_t>(static_cast<unsigned char>(s[0])) << 24) |
           (static_cast<uint32_t>(static_cast<unsigned char>(s[1])) << 16) |
           (static_cast<uint32_t>(static_cast<unsigned char>(s[2])) << 8) |
           static_cast<uint32_t>(static_cast<unsigned char>(s[3]));
}

// Reverses the four bytes of a 32-bit value in place.
void swap_bytes(uint32_t* v);

struct wire_reader {
    const unsigned char* data;
    int len;
    int pos = 0;

    wire_reader(const unsigned char* d, int l) : data(d), len(l < 0 ? 0 : l) {}

    int remaining() const { return len - pos; }
    // Each read fails (returns false, position unchanged) when the field
    // would run past the end of the datagram.
    bool u32(uint32_t& out)
    {
        if (remaining() < 4)
            return false;
        const unsigned char* p = data + pos;
        out = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
              (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
        pos += 4;
        return true;
    }
    bool i32(int32_t& out)
    {
        uint32_t u;
        if (!u32(u))
            return false;
        out = static_cast<int32_t>(u);
        return true;
    }
    bool f32(float& out)
    {
        uint32_t u;
        if (!u32(u))
            return false;
        memcpy(&out, &u, 4);
        return true;
    }
    // The message tag: the first four bytes with their order reversed.
    bool tag(uint32_t& out)
    {
        if (!u32(out))
            return false;
        swap_bytes(&out);
        return true;
    }
    // n floats in a row (a state record's values).
    bool f32s(float* out, long long n)
    {
        if (n < 0 || remaining() < 4 * n)
            return false;
        if (n == 0)
            return true;  // out may be null then (an empty vector's data)
        if constexpr (std::endian::native == std::endian::little) {
            memcpy(out, data + pos, static_cast<size_t>(4 * n));
            pos += static_cast<int>(4 * n);
        } else {
            for (long long i = 0; i < n; ++i)
                f32(out[i]);
        }
        return true;
    }
    bool bytes(unsigned char* out, int n)
    {
        if (n < 0 || remaining() < n)
            return false;
        memcpy(out, data + pos, static_cast<size_t>(n));
        pos += n;
        return true;
    }
    bool skip(long long n)
    {
        if (n < 0 || remaining() < n)
            return false;
        pos += static_cast<int>(n);
        return true;
    }
};

// Largest magnitude of a received coordinate, velocity, angle or time: far
// beyond any place, speed, turn or moment of a game, and small enough that
// nothing computed from it overflows or runs long. NaN and infinity are out
// of range too.
constexpr float WIRE_VALUE_LIMIT = 1e6f;

// Within [-limit, limit]; NaN never is.
inline bool wire_value_within(float v, float limit)
{
    return v >= -limit && v <= limit;
}

inline bool wire_value_ok(float v)
{
    return wire_value_within(v, WIRE_VALUE_LIMIT);
}

inline bool wire_values_ok(const float* v, int n)
{
    for (int i = 0; i < n; ++i)
        if (!wire_value_ok(v[i]))
            return false;
    return true;
}

inline void put_u32(std::vector<unsigned char>& b, uint32_t v)
{
    b.push_back(static_cast<unsigned char>(v & 0xff));
    b.push_back(static_cast<unsigned char>((v >> 8) & 0xff));
    b.push_back(static_cast<unsigned char>((v >> 16) & 0xff));
    b.push_back(static_cast<unsigned char>((v >> 24) & 0xff));
}
inline void put_i32(std::vector<unsigned char>& b, int32_t v)
{
    put_u32(b, static_cast<uint32_t>(v));
}
inline void put_f32(std::vector<unsigned char>& b, float f)
{
    uint32_t u;
    memcpy(&u, &f, 4);
    put_u32(b, u);
}
// Writes a tag so that its letters appear in reading order.
inline void put_tag(std::vector<unsigned char>& b, const char (&s)[5])
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<unsigned char>(s[i]));
}
// Overwrites four bytes at `at` (the buffer must already hold them).
inline void patch_u32(std::vector<unsigned char>& b, size_t at, uint32_t v)
{
    b[at] = static_cast<unsigned char>(v & 0xff);
    b[at + 1] = static_cast<unsigned char>((v >> 8) & 0xff);
    b[at + 2] = static_cast<unsigned char>((v >> 16) & 0xff);
    b[at + 3] = static_cast<unsigned char>((v >> 24) & 0xff);
}
inline float bits_to_float(uint32_t u)
{
    float f;
    memcpy(&f, &u, 4);
    return f;
}
inline uint32_t float_to_bits(float f)
{
    uint32_t u;
    memcpy(&u, &f, 4);
    return u;
}
