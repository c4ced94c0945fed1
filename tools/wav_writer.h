// 16-bit PCM mono WAV output.
#pragma once

#include <string>
#include <vector>

// Scales the signal so its largest magnitude is `peak` (a silent signal is left alone).
void normalize(std::vector<float>& samples, float peak);

// Writes a canonical 44-byte-header RIFF/WAVE file, one channel, 16 bits.
// Samples are clamped to [-1, 1]. Returns false (after printing the reason)
// when the file cannot be written.
bool write_wav(const std::string& path, const std::vector<float>& samples, int sample_rate);
