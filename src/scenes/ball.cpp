#include "scenes/placeholder.h"
#include "scenes/scenes.h"

void RunBallScene(uint32_t* frameBuffer) {
    PlainSceneLoop(frameBuffer, 75.0);
}
