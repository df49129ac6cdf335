#include "render/capture.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace render {
namespace {

bool ParseWhole(const std::string& text, int* value) {
    if (text.empty() || text.size() > 6 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    *value = std::atoi(text.c_str());
    return true;
}

} // namespace

bool ParseSize(const std::string& text, int* width, int* height) {
    const size_t x = text.find('x');
    return x != std::string::npos && ParseWhole(text.substr(0, x), width) &&
           ParseWhole(text.substr(x + 1), height);
}

bool MakeCaptureGeometry(const CaptureRequest& request, CaptureGeometry* geometry,
                         std::string* error) {
    CaptureGeometry g;
    if (request.frameOnly) {
        g.sourceLeft = kFrameLeft;
        g.sourceTop = kFrameTop;
        g.sourceWidth = kFrameWidth;
        g.sourceHeight = kFrameHeight;
    }
    const std::string source = request.frameOnly ? "the 512 x 256 frame" : "the 640 x 480 display";
    if (request.scale != 0 && request.sized) {
        *error = "--scale and --size both set the picture's size: give one of them";
        return false;
    }
    if (request.sized) {
        if (request.width < g.sourceWidth || request.height < g.sourceHeight) {
            *error = "--size " + std::to_string(request.width) + "x" +
                     std::to_string(request.height) + " is smaller than " + source;
            return false;
        }
        g.scale = std::min(request.width / g.sourceWidth, request.height / g.sourceHeight);
        g.width = request.width;
        g.height = request.height;
    } else {
        if (request.scale < 0) {
            *error = "--scale takes a whole number, 1 or more";
            return false;
        }
        g.scale = request.scale == 0 ? 1 : request.scale;
        if (g.scale > kMaxCaptureSide / g.sourceWidth) {
            *error = "--scale " + std::to_string(g.scale) + " makes a picture wider than " +
                     std::to_string(kMaxCaptureSide) + " pixels";
            return false;
        }
        g.width = g.sourceWidth * g.scale;
        g.height = g.sourceHeight * g.scale;
    }
    if (g.width > kMaxCaptureSide || g.height > kMaxCaptureSide) {
        *error = "--size: at most " + std::to_string(kMaxCaptureSide) + " pixels each way";
        return false;
    }
    if (g.width % 4 != 0 || g.height % 2 != 0) {
        *error = "--size: the width must be a multiple of 4 and the height even (as BMP rows "
                 "and H.264 pictures need)";
        return false;
    }
    g.left = (g.width - g.sourceWidth * g.scale) / 2;
    g.top = (g.height - g.sourceHeight * g.scale) / 2;
    *geometry = g;
    return true;
}

void ComposeCapture(const CaptureGeometry& g, const uint8_t* display, long pitchBytes,
                    uint32_t* out) {
    const size_t width = static_cast<size_t>(g.width);
    const int enlargedWidth = g.sourceWidth * g.scale;
    const int enlargedHeight = g.sourceHeight * g.scale;
    // Black above and below the enlarged source.
    std::memset(out, 0, width * g.top * sizeof(uint32_t));
    const int below = g.height - g.top - enlargedHeight;
    std::memset(out + width * (g.top + enlargedHeight), 0, width * below * sizeof(uint32_t));
    for (int y = 0; y < g.sourceHeight; ++y) {
        const uint32_t* source =
            reinterpret_cast<const uint32_t*>(display + (g.sourceTop + y) * pitchBytes) +
            g.sourceLeft;
        uint32_t* row = out + width * (g.top + static_cast<size_t>(y) * g.scale);
        // One enlarged row, black at both sides, then repeated scale - 1 times below it.
        std::fill(row, row + g.left, 0u);
        uint32_t* pixel = row + g.left;
        for (int x = 0; x < g.sourceWidth; ++x) {
            const uint32_t word = source[x] & 0x00FFFFFF;
            for (int k = 0; k < g.scale; ++k)
                *pixel++ = word;
        }
        std::fill(row + g.left + enlargedWidth, row + width, 0u);
        for (int k = 1; k < g.scale; ++k)
            std::memcpy(row + width * k, row, width * sizeof(uint32_t));
    }
}

} // namespace render
