// Hashes that state the show's pictures and music: XXH64 (seed 0), the 64-bit xxHash.
//
// A frame's hash is XXH64 of its 512 x 256 pixels as bytes: blue, green, red for each pixel,
// left to right, top row first (393,216 bytes, the pixel rows of a top-down 24-bit BMP of the
// frame). The bytes follow from the pixel values (base/framebuffer.h), so the hash is the same on
// machines of either byte order, and any port can compute it with any XXH64 (`xxhsum -H1` of
// those bytes). The music's hash is XXH64 of its 16-bit samples, little-endian, left and right
// interleaved, as a WAV file's data holds them.
#pragma once

#include <cstddef>
#include <cstdint>

// XXH64 fed in pieces: the same result as one pass over all the bytes.
class Xxh64 {
  public:
    Xxh64();
    void Update(const uint8_t* bytes, size_t count);
    // Adds 16-bit samples as little-endian bytes.
    void UpdateSamples(const int16_t* samples, size_t count);
    // Adds pixels 0x00RRGGBB as their blue, green and red bytes.
    void UpdatePixels(const uint32_t* pixels, size_t count);
    uint64_t Digest() const;

  private:
    void Stripe(const uint64_t lanes[4]);

    uint64_t accumulators_[4];
    uint64_t total_ = 0; // bytes taken so far
    uint8_t buffer_[32]; // bytes of a stripe not yet complete
    size_t buffered_ = 0;
};

// The hash of the 512 x 256 frame whose top-left pixel is `pixels`, rows `pitchBytes` apart.
uint64_t HashFrame(const uint8_t* pixels, long pitchBytes);
