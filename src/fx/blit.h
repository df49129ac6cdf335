// Additive sprite blit: adds a 32-bit image onto the frame buffer, channel by channel.
#pragma once

#include "base/framebuffer.h"

#include <cstdint>

// Adds `width` x `height` words of `source` (0x00RRGGBB, rows of `width` words with no gap, top
// row first; bits 24-31 ignored) onto the frame with its top-left pixel at frame position
// (x, y). Red, green and blue are added separately and each saturates at 255: black leaves the
// frame as it was, white turns it white. Frame words that are touched come out with bits
// 24-31 zero. The position may put the image partly or wholly outside the frame; only the part
// inside is read and drawn. A width or height of zero or below draws nothing. The source and
// the frame must not overlap.
void BlitAdditive(const uint32_t* source, int32_t width, int32_t height, FrameBuffer frame,
                  int32_t x, int32_t y);
