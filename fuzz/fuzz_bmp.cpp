// The BMP readers on any bytes: ReadBMP, and Surface::Load (which reads through BMP_Load).
#include "assets/bmp.h"
#include "assets/surface.h"
#include "fuzz_support.h"

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    PrepareFuzzing();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = WriteInput(data, size, ".bmp");

    uint8_t* pixels = nullptr;
    uint8_t* palette = nullptr;
    int width = 0, height = 0, bpp = 0;
    if (ReadBMP(path.c_str(), &pixels, &width, &height, &bpp, &palette) == 0) {
        // Touch every byte the reader promises, so a short block shows up.
        volatile uint8_t sum = 0;
        size_t bytes = static_cast<size_t>(width) * height * (bpp / 8);
        for (size_t i = 0; i < bytes; i++)
            sum = sum + pixels[i];
        if (palette)
            sum = sum + palette[1023];
    }
    std::free(pixels);
    std::free(palette);

    try {
        Surface image(path.c_str());
        // The last pixel of the image, where it has any (an image 0 wide or high loads too).
        if (image.width > 0 && image.height > 0) {
            volatile uint32_t last = image.data[image.width * image.height - 1];
            (void)last;
        }
    } catch (const FuzzProcessEnd&) {
    }
    return 0;
}
