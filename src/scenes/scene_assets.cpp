#include "scenes/scene_assets.h"

#include "base/process.h"

#include <string>

void RequireImageSize(const Surface& image, const char* path, int width, int height) {
    if (image.width == width && image.height == height)
        return;
    std::string message = std::string("Image de mauvaise taille : ") + path + " (" +
                          std::to_string(image.width) + "x" + std::to_string(image.height) +
                          " au lieu de " + std::to_string(width) + "x" + std::to_string(height) +
                          ") !!\n";
    FatalError(message.c_str());
}
