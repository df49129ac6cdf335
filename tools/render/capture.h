// The picture demo-render writes for each presented frame: the 640 x 480 display or only the
// 512 x 256 frame inside it, enlarged by a whole factor with nearest-neighbour (every source
// pixel an N x N block), optionally centred on black in a picture of a chosen size.
//
// Pixels are 32-bit words 0x00RRGGBB (bits 24-31 zero in the output), rows top first.
#pragma once

#include "shell/display.h"

#include <cstdint>
#include <string>

namespace render {

// The largest output picture, in each direction.
constexpr int kMaxCaptureSide = 8192;

// What the command line asks for; zero means not given.
struct CaptureRequest {
    bool frameOnly = false; // the 512 x 256 frame without the display's black border
    int scale = 0;          // --scale N
    bool sized = false;     // --size WxH
    int width = 0;
    int height = 0;
};

struct CaptureGeometry {
    int sourceLeft = 0, sourceTop = 0; // the part of the display that is captured
    int sourceWidth = kDisplayWidth, sourceHeight = kDisplayHeight;
    int scale = 1;             // every source pixel becomes scale x scale output pixels
    int width = kDisplayWidth; // the output picture
    int height = kDisplayHeight;
    int left = 0, top = 0; // where the enlarged source starts in it; the rest is black
};

// Reads "WxH" (two whole numbers); false when the text is not of that form.
bool ParseSize(const std::string& text, int* width, int* height);

// The geometry for a request: the source (display or frame), the factor (--scale N, or the
// largest whole factor that fits --size, else 1) and the output size. Returns false with a
// message when the request cannot be honoured: a factor below 1, a size smaller than the
// source, a picture larger than kMaxCaptureSide, or a width that is not a multiple of 4 or a
// height that is odd (the BMP rows and the H.264 picture need them).
bool MakeCaptureGeometry(const CaptureRequest& request, CaptureGeometry* geometry,
                         std::string* error);

// Fills `out` (geometry.width x geometry.height words, rows of geometry.width) from the display
// picture `display` (rows of `pitchBytes` bytes).
void ComposeCapture(const CaptureGeometry& geometry, const uint8_t* display, long pitchBytes,
                    uint32_t* out);

} // namespace render
