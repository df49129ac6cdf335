#include "scenes/placeholder.h"
#include "scenes/scenes.h"

void RunPlanesScene(uint32_t* frameBuffer) {
    PlainSceneLoop(frameBuffer, 122.0);
}
