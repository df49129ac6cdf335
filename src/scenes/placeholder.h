// Stand-in frame loop for scenes that are not built yet: a black frame until the end time.
#pragma once

#include "fx/framebuffer.h"
#include "shell/clock.h"
#include "shell/display.h"

#include <cstring>

inline void PlainSceneLoop(uint32_t* frameBuffer, double endTime) {
    if (SceneSeconds() >= endTime)
        return;
    double t;
    do {
        t = static_cast<double>(SceneSeconds());
        std::memset(frameBuffer, 0, kFramePixels * sizeof(uint32_t));
        PresentFrame(frameBuffer);
    } while (t < endTime);
}
