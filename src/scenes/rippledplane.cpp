#include "scenes/placeholder.h"
#include "scenes/scenes.h"

void RunRippledPlaneScene(uint32_t* frameBuffer) {
    PlainSceneLoop(frameBuffer, 90.0);
}
