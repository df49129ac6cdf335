#include "assets/bmp.h"
#include "base/framebuffer.h"
#include "shell/demo.h"

#include <cstdio>
#include <memory>
#include <new>

namespace {

int32_t grabCounter = 1; // the number of the next screenshot

} // namespace

void Demo::SaveScreenshot() {
    // 512 x 256 pixels of 3 bytes; a screenshot that cannot be made is skipped.
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[kFramePixels * 3]);
    if (!block)
        return;
    PackBGR24(frameBuffer, block.get(), kFramePixels);

    char name[20]; // "grab_%d.bmp" fits for every positive number
    std::snprintf(name, sizeof(name), "grab_%d.bmp", static_cast<int>(grabCounter));
    grabCounter = grabCounter == INT32_MAX ? 1 : grabCounter + 1;

    WriteBMP(name, block.get(), kFrameWidth, kFrameHeight, 24, nullptr);
}

void ResetScreenshotCounter() {
    grabCounter = 1;
}
