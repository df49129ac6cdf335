#include "scenes/placeholder.h"
#include "scenes/scenes.h"

void RunRotozoomScene(uint32_t* frameBuffer) {
    PlainSceneLoop(frameBuffer, 180.0);
}
