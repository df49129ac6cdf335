// Build-time settings of the show, fixed when the program is built (CMake options
// DEMO_FULLSCREEN and DEMO_FLIPCHAIN, both 1 in the shipped program).
#pragma once

#include <cstdint>

#ifndef DEMO_FULLSCREEN
#define DEMO_FULLSCREEN 1
#endif
#ifndef DEMO_FLIPCHAIN
#define DEMO_FLIPCHAIN 1
#endif

// Nonzero: a borderless 640 x 480 window and the exclusive 640 x 480 x 32 display mode.
// 0: a captioned 518 x 281 window on the desktop, and the windowed copy.
constexpr int32_t FullScreen = DEMO_FULLSCREEN;
// 1: a primary surface with one back buffer, each frame drawn into it and flipped.
// Any other value: frames are drawn straight into the primary surface.
constexpr int32_t FlipChain = DEMO_FLIPCHAIN;
