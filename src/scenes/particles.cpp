#include "scenes/placeholder.h"
#include "scenes/scenes.h"

void RunParticleScene(uint32_t* frameBuffer) {
    ResetSceneClock();
    PlainSceneLoop(frameBuffer, 35.0);
}
