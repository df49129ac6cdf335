// Loading a scene's images with the size the scene relies on.
#pragma once

#include "assets/surface.h"

// Ends the process through FatalError (exit code 9999) unless the loaded surface is exactly
// width x height pixels: textures of the block mapper, the rotozoom and the rasterizer are read
// as 256 x 256 and shape images as 320 x 200, and a smaller image would be read out of bounds.
void RequireImageSize(const Surface& image, const char* path, int width, int height);
