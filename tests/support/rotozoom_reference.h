// Plain reference of the rotozoom fill: the rule written out literally, one pixel at a time,
// for checking the optimised FillRotozoom bit for bit and for timing it against.
#pragma once

#include "base/framebuffer.h"
#include "scenes/rotozoom.h"

#include <cstdint>

// Fills the 512 x 256 frame from the 256 x 256 texture for the corners, as FillRotozoom does.
void ReferenceFillRotozoom(const uint32_t* texture, FrameBuffer frame,
                           const RotozoomCorners& corners);
