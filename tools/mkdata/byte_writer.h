// The bytes of a file built in memory, numbers stored little-endian (least significant byte
// first) as the XM module and RIFF/WAVE formats want them, whatever the machine's own order.
// The data generator, the offline renderer and the tests' small files share it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class ByteWriter {
  public:
    std::vector<uint8_t> bytes;

    // The low 8, 16 or 32 bits of `value`; a negative number gives its two's complement.
    void U8(uint32_t value) { bytes.push_back(static_cast<uint8_t>(value)); }
    void U16(uint32_t value) {
        U8(value & 0xFF);
        U8((value >> 8) & 0xFF);
    }
    void U32(uint32_t value) {
        U16(value & 0xFFFF);
        U16(value >> 16);
    }
    // 16-bit samples, each as U16 stores it.
    void Samples16(const int16_t* samples, size_t count) {
        bytes.reserve(bytes.size() + count * 2);
        for (size_t i = 0; i < count; ++i)
            U16(static_cast<uint16_t>(samples[i]));
    }
    // A four-character chunk name ("RIFF", "fmt "), as it is.
    void Tag(const char* name) { bytes.insert(bytes.end(), name, name + 4); }
    // A fixed-length text field, cut to `length` or padded with spaces.
    void Text(const std::string& text, size_t length) {
        for (size_t i = 0; i < length; ++i)
            U8(i < text.size() ? static_cast<uint8_t>(text[i]) : ' ');
    }
    void Zeros(size_t count) { bytes.insert(bytes.end(), count, 0); }
    void Append(const std::vector<uint8_t>& more) {
        bytes.insert(bytes.end(), more.begin(), more.end());
    }
};
