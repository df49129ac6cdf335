// 16-bit stereo PCM RIFF/WAVE files, as the data generator's module render and the offline
// renderer's --frames write them: the 44-byte header (RIFF, a 16-byte "fmt " chunk, "data"),
// then the samples interleaved left, right, each a little-endian two's complement number.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes `samples` (left, right, left, ...) at `sampleRate` frames per second to `path`,
// replacing the file. False when it cannot be written whole, or when the samples are more
// than a WAVE file's 32-bit sizes can count.
bool WriteWav(const std::string& path, const std::vector<int16_t>& samples, int sampleRate);
