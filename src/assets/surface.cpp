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
        // The block grows to 32 bits a pixel and is expanded where it lies (Convert24To32),
        // rather than into a second block: each page of fresh memory costs a fault when first
        // written, which is most of the time an image takes to load. At least one word: an
        // image 0 wide or 0 high loads, and has no pixels to draw.
        expanded = static_cast<uint32_t*>(
            std::realloc(data, (pixels > 0 ? pixels : 1) * sizeof(uint32_t)));
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
    Convert24To32(reinterpret_cast<const uint8_t*>(expanded), expanded);
    data = expanded;
    bpp = 32;
}

void Surface::Convert24To32(const uint8_t* src, uint32_t* dst) const {
    // From the last pixel back to the first, so that `dst` may be the block `src` lies in, grown
    // to four bytes a pixel: pixel i's word (bytes 4i to 4i + 3) lies at or after its own three
    // bytes and after those of every pixel before it, and each pixel is read before its word is
    // written. The bytes are read as bytes, which may alias the words.
    for (size_t i = static_cast<size_t>(width) * static_cast<size_t>(height); i-- > 0;) {
        const uint8_t* pixel = src + 3 * i;
        dst[i] = (static_cast<uint32_t>(pixel[2]) << 16) | (static_cast<uint32_t>(pixel[1]) << 8) |
                 pixel[0];
    }
}
