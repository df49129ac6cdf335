#include "assets/surface.h"

#include "assets/bmp.h"
#include "base/process.h"

#include <cstdlib>
#include <string>

Surface::Surface() : data(nullptr), width(0), height(0), bpp(0), palette(nullptr) {}

Surface::Surface(const char* path) : Surface() {
    Load(path);
}

Surface::~Surface() {
    std::free(data);
    std::free(palette);
}

int Surface::BMP_Load(const char* nom) {
    Trace("Surface::BMP_Load(char *nom)");
    std::free(data);
    std::free(palette);
    data = nullptr;
    palette = nullptr;

    uint8_t* pixels = nullptr;
    int result = ReadBMPFile(nom, BmpTrace::kTraced, &pixels, &width, &height, &bpp, &palette);
    if (result == kBmpOk)
        data = reinterpret_cast<uint32_t*>(pixels);
    return result;
}

void Surface::Load(const char* path) {
    int result = BMP_Load(path);
    uint32_t* expanded = nullptr;
    // An 8-bit block holds one byte per pixel: expanding it as three would read past its end.
    if (result == kBmpOk && bpp == 24) {
        size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
        // At least one word: an image 0 wide or 0 high loads, and has no pixels to draw.
        expanded =
            static_cast<uint32_t*>(std::malloc((pixels > 0 ? pixels : 1) * sizeof(uint32_t)));
    }
    if (!expanded) {
        std::free(data);
        std::free(palette);
        data = nullptr;
        palette = nullptr;
        std::string message = "Impossible de charger l'Surface : ";
        message += path ? path : "(null)";
        message += " !!\n";
        FatalError(message.c_str());
    }
    Convert24To32(reinterpret_cast<const uint8_t*>(data), expanded);
    std::free(data);
    data = expanded;
    bpp = 32;
}

void Surface::Convert24To32(const uint8_t* src, uint32_t* dst) const {
    UnpackBGR24(src, dst, width * height);
}
