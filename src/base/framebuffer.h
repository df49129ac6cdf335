// The frame buffer: the one picture every scene draws into.
//
// 512 x 256 pixels of 32 bits, rows of 512 words with no gap, top row first. Pixel (x, y) is
// word y * 512 + x. Each word is 0x00RRGGBB: blue in bits 0-7, green in bits 8-15, red in
// bits 16-23, bits 24-31 zero. Surfaces loaded from BMP files use the same pixel layout, so
// their pixels can be copied or added straight into the frame.
#pragma once

#include <cstdint>

constexpr int kFrameWidth = 512;
constexpr int kFrameHeight = 256;
constexpr int kFramePixels = kFrameWidth * kFrameHeight; // 131,072 words, 524,288 bytes

// Pointer to the first of the kFramePixels words of a frame buffer.
using FrameBuffer = uint32_t*;

// Textures of the block mapper, the rotozoom and the rasterizer are kTextureSize x kTextureSize
// words in the same pixel layout, rows of kTextureSize words: texel (x, y) is y * 256 + x.
constexpr int kTextureSize = 256;
