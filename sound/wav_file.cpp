#include "sound/wav_file.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

uint32_t le32(const unsigned char* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t le16(const unsigned char* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

} // namespace

bool parse_wav(const unsigned char* bytes, size_t size, wav_data& out, std::string& error)
{
    if (size < 12 || memcmp(bytes, "RIFF", 4) != 0 || memcmp(bytes + 8, "WAVE", 4) != 0) {
        error = "not a RIFF WAVE file";
        return false;
    }
    bool have_format = false;
    size_t pos = 12;
    while (pos + 8 <= size) {
        const unsigned char* chunk = bytes + pos;
        uint32_t len = le32(chunk + 4);
        size_t body = pos + 8;
        if (len > size - body) {
            error = "chunk runs past the end of the file";
            return false;
        }
        if (!memcmp(chunk, "fmt ", 4)) {
            if (len < 16) {
                error = "format chunk too short";
                return false;
            }
            const unsigned char* f = bytes + body;
            if (le16(f) != 1) {
                error = "not PCM";
                return false;
            }
            out.channels = le16(f + 2);
            out.frequency = static_cast<int>(le32(f + 4));
            out.bits_per_sample = le16(f + 14);
            if ((out.channels != 1 && out.channels != 2) || (out.bits_per_sample != 8 && out.bits_per_sample != 16) ||
                out.frequency <= 0 || out.frequency > 384000) {
                error = "unsupported sample format";
                return false;
            }
            have_format = true;
        } else if (!memcmp(chunk, "data", 4)) {
            if (!have_format) {
                error = "data before format";
                return false;
            }
            size_t frame = static_cast<size_t>(out.channels) * (out.bits_per_sample / 8);
            size_t usable = len - len % frame;
            out.samples.assign(bytes + body, bytes + body + usable);
            return true;
        }
        pos = body + len + (len & 1);
    }
    error = have_format ? "no data chunk" : "no format chunk";
    return false;
}

bool read_wav_file(const char* path, wav_data& out, std::string& error)
{
    std::unique_ptr<FILE, int (*)(FILE*)> f(fopen(path, "rb"), fclose);
    if (!f) {
        error = "cannot open";
        return false;
    }
    std::vector<unsigned char> bytes;
    unsigned char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f.get())) > 0) {
        bytes.insert(bytes.end(), buf, buf + n);
        if (bytes.size() > (256u << 20)) {
            error = "file too large";
            return false;
        }
    }
    return parse_wav(bytes.data(), bytes.size(), out, error);
}
