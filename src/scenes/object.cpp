#include "scenes/placeholder.h"
#include "scenes/scenes.h"

void RunObjectScene(uint32_t* frameBuffer) {
    PlainSceneLoop(frameBuffer, 60.0);
}
