#include "test_images.h"

#include "assets/bmp.h"
#include "lwo_builder.h"
#include "process_capture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

constexpr int kShapeWidth = 320, kShapeHeight = 200;

// A 320 x 200 shape lit along one row, from column `first` to `last`.
std::vector<uint32_t> LineShape(int row, int first, int last) {
    std::vector<uint32_t> pixels(kShapeWidth * kShapeHeight, 0);
    for (int column = first; column <= last; ++column)
        pixels[row * kShapeWidth + column] = 0xFFFFFF;
    return pixels;
}

std::string Octahedron() {
    std::vector<LwoBuilder::Point> points = {{8, 60, 0}, {-8, 60, 0}, {0, 68, 0},
                                             {0, 52, 0}, {0, 60, 8},  {0, 60, -8}};
    std::vector<LwoBuilder::Triangle> faces;
    for (int sx = 0; sx < 2; ++sx)
        for (int sy = 0; sy < 2; ++sy)
            for (int sz = 0; sz < 2; ++sz) {
                const uint16_t a = sx, b = 2 + sy, c = 4 + sz;
                if ((sx + sy + sz) % 2 == 0) // faces turned outward
                    faces.push_back({a, b, c});
                else
                    faces.push_back({a, c, b});
            }
    return LwoBuilder().Points(points).Triangles(faces).Build();
}

} // namespace

void WriteImage(const std::string& path, int width, int height,
                const std::vector<uint32_t>& pixels) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty())
        std::filesystem::create_directories(folder);
    std::vector<uint8_t> bytes(static_cast<size_t>(width) * height * 3);
    PackBGR24(pixels.data(), bytes.data(), width * height);
    ASSERT_EQ(0, WriteBMP(path.c_str(), bytes.data(), width, height, 24, nullptr)) << path;
}

void WriteImage(const std::string& path, int width, int height, uint32_t colour) {
    WriteImage(path, width, height, Filled(width, height, colour));
}

std::vector<uint32_t> ReadImage(const std::string& path, int* width, int* height) {
    uint8_t* pixels = nullptr;
    uint8_t* palette = nullptr;
    int w = 0, h = 0, bpp = 0;
    const int code = ReadBMP(path.c_str(), &pixels, &w, &h, &bpp, &palette);
    std::vector<uint32_t> words;
    if (code == 0 && bpp == 24) {
        words.resize(static_cast<size_t>(w) * h);
        UnpackBGR24(pixels, words.data(), w * h);
    }
    std::free(pixels);
    std::free(palette);
    if (width)
        *width = w;
    if (height)
        *height = h;
    EXPECT_EQ(0, code) << path;
    EXPECT_EQ(24, bpp) << path;
    return words;
}

std::vector<uint32_t> Filled(int width, int height, uint32_t colour) {
    return std::vector<uint32_t>(static_cast<size_t>(width) * height, colour);
}

std::vector<uint32_t> NumberedStrip(int width, int frameHeight, int frames) {
    std::vector<uint32_t> strip(static_cast<size_t>(width) * frameHeight * frames);
    for (size_t p = 0; p < strip.size(); ++p)
        strip[p] = static_cast<uint32_t>(p / (static_cast<size_t>(width) * frameHeight) + 1);
    return strip;
}

uint32_t TestTexel(int x, int y) {
    return static_cast<uint32_t>(x) << 16 | static_cast<uint32_t>(y) << 8 | 0x40;
}

void WriteTestTexture(const std::string& path, int width, int height, int bitsPerPixel) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::vector<uint32_t> words(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            words[y * width + x] = TestTexel(x & 255, y & 255);
    std::vector<uint8_t> bytes(words.size() * 3);
    PackBGR24(words.data(), bytes.data(), static_cast<int>(words.size()));
    if (bitsPerPixel == 8)
        bytes.resize(words.size());
    ASSERT_EQ(0, WriteBMP(path.c_str(), bytes.data(), width, height, bitsPerPixel, nullptr))
        << path;
}

void WriteParticleSceneFiles() {
    WriteImage("data/particules/forme.bmp", 320, 200, LineShape(100, 100, 139));
    WriteImage("data/particules/forme2.bmp", 320, 200, LineShape(50, 20, 39));
    WriteImage("data/particules/forme3.bmp", 320, 200, LineShape(150, 200, 219));
    WriteImage("data/particules/light2.bmp", 4, 4, 0x202020);
    WriteImage("data/klvlogo.bmp", 8, 4, 0xFF0000);
}

void WriteObjectSceneFiles(uint32_t envMapColour) {
    ASSERT_TRUE(WriteFileBytes("data/3d/u_mec.lwo", Octahedron()));
    WriteImage("data/3d/env_neg.bmp", 256, 256, envMapColour);
    WriteImage("data/boule/anim_cercle2.bmp", 64, 256, NumberedStrip(64, 64, 4));
}
