// Surface: an image loaded from a 24-bit BMP file, expanded to the frame buffer's pixel layout.
//
// After Load, `data` holds width x height 32-bit words 0x00RRGGBB (see base/framebuffer.h), rows
// of `width` words with no gap, top row first: pixel (x, y) is data[y * width + x]. Between
// BMP_Load and Load, `data` holds the file's raw block instead (1 or 3 bytes per pixel, rows
// back to back, top row first; read it through reinterpret_cast<uint8_t*>) and `bpp` says
// which. The Surface owns `data` and `palette` (both from std::malloc) and releases them in its
// destructor.
#pragma once

#include <cstdint>

class Surface {
  public:
    uint32_t* data;   // pixel block, owned (see above)
    int32_t width;    // pixels per row
    int32_t height;   // number of rows
    int32_t bpp;      // bits per pixel of `data`: 8 or 24 after BMP_Load, 32 after Load
    uint8_t* palette; // 256 entries of blue, green, red, reserved for an 8-bit image; else null

    // An empty surface: no pixels, width and height 0.
    Surface();
    // An empty surface, then Load(path). This is how the scenes create their images.
    explicit Surface(const char* path);
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;
    virtual ~Surface();

    // Reads a 24-bit BMP file and expands it to 32-bit words. Any failure is fatal:
    // FatalError("Impossible de charger l'Surface : <path> !!\n"), exit code 9999: every
    // nonzero BMP_Load result, an 8-bit file (it has one byte per pixel, not three), and a
    // 32-bit block that cannot be allocated. Nothing is left allocated on those paths.
    void Load(const char* path);

    // Reads the BMP file `nom` into data, width, height, bpp and palette without conversion,
    // first releasing any pixel block and palette the surface held. Returns 0, or 1 (cannot
    // open / not "BM"), 2 (not 8 or 24 bits), 3 (compressed), 4 (width not a multiple of 4),
    // 5 (sizes the reader refuses), 6 (no memory): see assets/bmp.h. Hands its progress texts
    // to Trace.
    int BMP_Load(const char* nom);

    // Expands width x height 3-byte pixels (blue, green, red) from src into 32-bit words at dst.
    // dst may start where src does (Load expands a block where it lies).
    void Convert24To32(const uint8_t* src, uint32_t* dst) const;
};
