// A bounds-checked reader for PCM WAV files (8- or 16-bit, mono or stereo).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct wav_data {
    int channels = 0;
    int bits_per_sample = 0;
    int frequency = 0;
    std::vector<unsigned char> samples;  // the raw sample bytes
};

// Parses a whole file image; on failure returns false and says why in `error`.
bool parse_wav(const unsigned char* bytes, size_t size, wav_data& out, std::string& error);
bool read_wav_file(const char* path, wav_data& out, std::string& error);
