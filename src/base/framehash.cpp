#include "base/framehash.h"

#include "base/framebuffer.h"

#include <cstring>

namespace {

constexpr uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
constexpr uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;
constexpr uint64_t kPrime3 = 0x165667B19E3779F9ull;
constexpr uint64_t kPrime4 = 0x85EBCA77C2B2AE63ull;
constexpr uint64_t kPrime5 = 0x27D4EB2F165667C5ull;

inline uint64_t RotateLeft(uint64_t value, int bits) {
    return (value << bits) | (value >> (64 - bits));
}

inline uint64_t Round(uint64_t accumulator, uint64_t lane) {
    return RotateLeft(accumulator + lane * kPrime2, 31) * kPrime1;
}

inline uint64_t MergeRound(uint64_t hash, uint64_t accumulator) {
    return (hash ^ Round(0, accumulator)) * kPrime1 + kPrime4;
}

// Eight bytes read as a little-endian number, whatever the machine's order.
inline uint64_t Little64(const uint8_t* bytes) {
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = value << 8 | bytes[i];
    return value;
}

inline uint32_t Little32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

} // namespace

Xxh64::Xxh64() : accumulators_{kPrime1 + kPrime2, kPrime2, 0, 0 - kPrime1} {}

void Xxh64::Stripe(const uint64_t lanes[4]) {
    for (int i = 0; i < 4; ++i)
        accumulators_[i] = Round(accumulators_[i], lanes[i]);
}

void Xxh64::Update(const uint8_t* bytes, size_t count) {
    if (count == 0)
        return; // `bytes` may be null then (an empty vector's data)
    total_ += count;
    if (buffered_ > 0) {
        const size_t take = count < 32 - buffered_ ? count : 32 - buffered_;
        std::memcpy(buffer_ + buffered_, bytes, take);
        buffered_ += take;
        bytes += take;
        count -= take;
        if (buffered_ < 32)
            return;
        const uint64_t lanes[4] = {Little64(buffer_), Little64(buffer_ + 8), Little64(buffer_ + 16),
                                   Little64(buffer_ + 24)};
        Stripe(lanes);
        buffered_ = 0;
    }
    for (; count >= 32; bytes += 32, count -= 32) {
        const uint64_t lanes[4] = {Little64(bytes), Little64(bytes + 8), Little64(bytes + 16),
                                   Little64(bytes + 24)};
        Stripe(lanes);
    }
    std::memcpy(buffer_, bytes, count);
    buffered_ = count;
}

void Xxh64::UpdateSamples(const int16_t* samples, size_t count) {
    uint8_t bytes[256];
    while (count > 0) {
        const size_t take = count < sizeof(bytes) / 2 ? count : sizeof(bytes) / 2;
        for (size_t i = 0; i < take; ++i) {
            const uint16_t sample = static_cast<uint16_t>(samples[i]);
            bytes[2 * i] = static_cast<uint8_t>(sample);
            bytes[2 * i + 1] = static_cast<uint8_t>(sample >> 8);
        }
        Update(bytes, take * 2);
        samples += take;
        count -= take;
    }
}

void Xxh64::UpdatePixels(const uint32_t* pixels, size_t count) {
    // Eight pixels are 24 bytes, three lanes; 32 pixels are three whole stripes. The lanes are
    // put together from the pixel values, with no pass through memory.
    if (buffered_ == 0) {
        for (; count >= 32; pixels += 32, count -= 32) {
            uint64_t lanes[12];
            for (int group = 0; group < 4; ++group) {
                const uint32_t* p = pixels + group * 8;
                uint64_t q[8];
                for (int i = 0; i < 8; ++i)
                    q[i] = p[i] & 0x00FFFFFF;
                lanes[group * 3] = q[0] | q[1] << 24 | q[2] << 48;
                lanes[group * 3 + 1] = q[2] >> 16 | q[3] << 8 | q[4] << 32 | q[5] << 56;
                lanes[group * 3 + 2] = q[5] >> 8 | q[6] << 16 | q[7] << 40;
            }
            Stripe(lanes);
            Stripe(lanes + 4);
            Stripe(lanes + 8);
            total_ += 96;
        }
    }
    for (; count > 0; ++pixels, --count) {
        const uint8_t bytes[3] = {static_cast<uint8_t>(*pixels), static_cast<uint8_t>(*pixels >> 8),
                                  static_cast<uint8_t>(*pixels >> 16)};
        Update(bytes, 3);
    }
}

uint64_t Xxh64::Digest() const {
    uint64_t hash;
    if (total_ >= 32) {
        const uint64_t* v = accumulators_;
        hash =
            RotateLeft(v[0], 1) + RotateLeft(v[1], 7) + RotateLeft(v[2], 12) + RotateLeft(v[3], 18);
        for (int i = 0; i < 4; ++i)
            hash = MergeRound(hash, v[i]);
    } else {
        hash = kPrime5; // the seed, 0, plus the fifth prime
    }
    hash += total_;
    const uint8_t* tail = buffer_;
    size_t left = buffered_;
    for (; left >= 8; tail += 8, left -= 8)
        hash = RotateLeft(hash ^ Round(0, Little64(tail)), 27) * kPrime1 + kPrime4;
    if (left >= 4) {
        hash = RotateLeft(hash ^ Little32(tail) * kPrime1, 23) * kPrime2 + kPrime3;
        tail += 4;
        left -= 4;
    }
    for (; left > 0; ++tail, --left)
        hash = RotateLeft(hash ^ *tail * kPrime5, 11) * kPrime1;
    hash ^= hash >> 33;
    hash *= kPrime2;
    hash ^= hash >> 29;
    hash *= kPrime3;
    hash ^= hash >> 32;
    return hash;
}

uint64_t HashFrame(const uint8_t* pixels, long pitchBytes) {
    Xxh64 hash;
    for (int y = 0; y < kFrameHeight; ++y) {
        uint32_t row[kFrameWidth];
        std::memcpy(row, pixels + y * pitchBytes, sizeof(row));
        hash.UpdatePixels(row, kFrameWidth);
    }
    return hash.Digest();
}
