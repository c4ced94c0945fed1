#include "wav_writer.h"
#include "file_out.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

void normalize(std::vector<float>& samples, float peak)
{
    float m = 0;
    for (float s : samples) m = std::max(m, std::fabs(s));
    if (m <= 0) return;
    float k = peak / m;
    for (float& s : samples) s *= k;
}

static void put16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v & 255));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

static void put32(std::vector<uint8_t>& out, uint32_t v)
{
    put16(out, static_cast<uint16_t>(v & 0xffff));
    put16(out, static_cast<uint16_t>(v >> 16));
}

static void put_tag(std::vector<uint8_t>& out, const char* tag)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(tag[i]));
}

bool write_wav(const std::string& path, const std::vector<float>& samples, int sample_rate)
{
    const uint32_t data_bytes = static_cast<uint32_t>(samples.size() * 2);
    std::vector<uint8_t> out;
    out.reserve(44 + data_bytes);
    put_tag(out, "RIFF");
    put32(out, 36 + data_bytes);
    put_tag(out, "WAVE");
    put_tag(out, "fmt ");
    put32(out, 16);                 // size of the format chunk
    put16(out, 1);                  // PCM
    put16(out, 1);                  // mono
    put32(out, static_cast<uint32_t>(sample_rate));
    put32(out, static_cast<uint32_t>(sample_rate) * 2);  // bytes per second
    put16(out, 2);                  // bytes per frame
    put16(out, 16);                 // bits per sample
    put_tag(out, "data");
    put32(out, data_bytes);
    for (float s : samples) {
        float c = s < -1.0f ? -1.0f : (s > 1.0f ? 1.0f : s);
        int v = static_cast<int>(std::lround(c * 32767.0f));
        put16(out, static_cast<uint16_t>(static_cast<int16_t>(v)));
    }
    return write_whole_file(path, out);
}
