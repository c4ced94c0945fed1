#include "noise.h"

#include <cmath>

uint32_t hash_u32(uint32_t x)
{
    // A well-mixing integer finaliser (xorshift-multiply rounds).
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

uint32_t hash_combine(uint32_t seed, uint32_t v) { return hash_u32(seed ^ (v + 0x9e3779b9U + (seed << 6) + (seed >> 2))); }

float hash_unit(uint32_t seed, uint32_t i) { return (hash_combine(seed, i) >> 8) * (1.0f / 16777216.0f); }

static inline float fade(float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); }

static inline int wrap(int v, int period) { return ((v % period) + period) % period; }

static float grad2(uint32_t h, float x, float y)
{
    // One of 16 evenly spread unit directions.
    float a = (h & 15) * (6.28318530718f / 16.0f);
    return std::cos(a) * x + std::sin(a) * y;
}

float tile_noise(float x, float y, int period_x, int period_y, uint32_t seed)
{
    float fx = std::floor(x), fy = std::floor(y);
    int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    float rx = x - fx, ry = y - fy;
    int x0 = wrap(ix, period_x), x1 = wrap(ix + 1, period_x);
    int y0 = wrap(iy, period_y), y1 = wrap(iy + 1, period_y);
    auto h = [&](int a, int b) { return hash_combine(hash_combine(seed, static_cast<uint32_t>(a)), static_cast<uint32_t>(b)); };
    float n00 = grad2(h(x0, y0), rx, ry);
    float n10 = grad2(h(x1, y0), rx - 1, ry);
    float n01 = grad2(h(x0, y1), rx, ry - 1);
    float n11 = grad2(h(x1, y1), rx - 1, ry - 1);
    float u = fade(rx), v = fade(ry);
    float nx0 = n00 + (n10 - n00) * u;
    float nx1 = n01 + (n11 - n01) * u;
    return (nx0 + (nx1 - nx0) * v) * 1.41421356f;
}

float tile_fbm(float u, float v, int cells_x, int cells_y, int octaves, uint32_t seed, float gain)
{
    float sum = 0, amp = 1, norm = 0;
    int cx = cells_x, cy = cells_y;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * tile_noise(u * cx, v * cy, cx, cy, seed + 1013u * o);
        norm += amp;
        amp *= gain;
        cx *= 2;
        cy *= 2;
    }
    return sum / norm;
}

CellSample tile_cells(float u, float v, int cells, uint32_t seed, float jitter)
{
    float x = u * cells, y = v * cells;
    int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
    CellSample best{1e9f, 1e9f, 0, 0, 0};
    for (int dy = -2; dy <= 2; ++dy) {
        for (int dx = -2; dx <= 2; ++dx) {
            int cx = ix + dx, cy = iy + dy;
            uint32_t h = hash_combine(hash_combine(seed, static_cast<uint32_t>(wrap(cx, cells))),
                                      static_cast<uint32_t>(wrap(cy, cells)));
            float px = cx + 0.5f + jitter * (hash_unit(h, 1) - 0.5f);
            float py = cy + 0.5f + jitter * (hash_unit(h, 2) - 0.5f);
            float ox = x - px, oy = y - py;
            float d = std::sqrt(ox * ox + oy * oy);
            if (d < best.f1) {
                best.f2 = best.f1;
                best.f1 = d;
                best.id = h;
                best.dx = ox;
                best.dy = oy;
            } else if (d < best.f2) {
                best.f2 = d;
            }
        }
    }
    return best;
}

static float grad3(uint32_t h, float x, float y, float z)
{
    switch (h % 12) {
    case 0: return x + y;
    case 1: return -x + y;
    case 2: return x - y;
    case 3: return -x - y;
    case 4: return x + z;
    case 5: return -x + z;
    case 6: return x - z;
    case 7: return -x - z;
    case 8: return y + z;
    case 9: return -y + z;
    case 10: return y - z;
    default: return -y - z;
    }
}

float noise3(float x, float y, float z, uint32_t seed)
{
    float fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
    int ix = static_cast<int>(fx), iy = static_cast<int>(fy), iz = static_cast<int>(fz);
    float rx = x - fx, ry = y - fy, rz = z - fz;
    auto h = [&](int a, int b, int c) {
        return hash_combine(hash_combine(hash_combine(seed, static_cast<uint32_t>(a)), static_cast<uint32_t>(b)),
                            static_cast<uint32_t>(c));
    };
    float u = fade(rx), v = fade(ry), w = fade(rz);
    float n000 = grad3(h(ix, iy, iz), rx, ry, rz);
    float n100 = grad3(h(ix + 1, iy, iz), rx - 1, ry, rz);
    float n010 = grad3(h(ix, iy + 1, iz), rx, ry - 1, rz);
    float n110 = grad3(h(ix + 1, iy + 1, iz), rx - 1, ry - 1, rz);
    float n001 = grad3(h(ix, iy, iz + 1), rx, ry, rz - 1);
    float n101 = grad3(h(ix + 1, iy, iz + 1), rx - 1, ry, rz - 1);
    float n011 = grad3(h(ix, iy + 1, iz + 1), rx, ry - 1, rz - 1);
    float n111 = grad3(h(ix + 1, iy + 1, iz + 1), rx - 1, ry - 1, rz - 1);
    float x00 = n000 + (n100 - n000) * u, x10 = n010 + (n110 - n010) * u;
    float x01 = n001 + (n101 - n001) * u, x11 = n011 + (n111 - n011) * u;
    float y0 = x00 + (x10 - x00) * v, y1 = x01 + (x11 - x01) * v;
    return (y0 + (y1 - y0) * w) * 0.9f;
}

float fbm3(float x, float y, float z, int octaves, uint32_t seed, float gain)
{
    float sum = 0, amp = 1, norm = 0, f = 1;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * noise3(x * f, y * f, z * f, seed + 7919u * o);
        norm += amp;
        amp *= gain;
        f *= 2.0f;
    }
    return sum / norm;
}
