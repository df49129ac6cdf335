// The environment-mapped object scene: a LightWave mesh shaded by its environment map, seen by
// a camera that circles it at a bobbing height, blurred outward from the frame's centre, with
// three frames of a small looping animation along the bottom edge.
#pragma once

#include "engine3d/camera.h"

#include <cstdint>

// The camera of scene-clock time t (seconds): it circles the vertical axis at a distance of 20,
// one turn every 2 pi seconds, at a height swinging between 40 and 80, and looks at (0, 60, 0).
struct ObjectCamera {
    Vec3f position;  // world space
    Vec3f direction; // unit view direction
    float length;    // distance from the camera to the point it looks at
};
ObjectCamera ObjectCameraAt(double t);

// The camera standing at `position`, looking at (0, 60, 0). A camera on that very point has no
// view direction: the process ends with exit code 1 after the trace
// "cam = visee!!! dommage: norme = 0".
ObjectCamera ObjectCameraFrom(Vec3f position);

// The animation counts quarter seconds: the index of time t, truncated toward zero.
int32_t ObjectAnimationIndex(double t);

// The strip frame (0..3) shown in slot `slot` (0, 1, 2 from the left) at animation index
// `index`: three consecutive frames of the four-frame loop.
int32_t ObjectAnimationFrame(int32_t index, int32_t slot);
