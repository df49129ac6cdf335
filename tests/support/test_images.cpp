#include "test_images.h"

#include "assets/bmp.h"

#include <gtest/gtest.h>

#include <filesystem>

void WriteImage(const std::string& path, int width, int height,
                const std::vector<uint32_t>& pixels) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty())
        std::filesystem::create_directories(folder);
    std::vector<uint8_t> bytes(static_cast<size_t>(width) * height * 3);
    PackBGR24(pixels.data(), bytes.data(), width * height);
    ASSERT_EQ(0, WriteBMP(path.c_str(), bytes.data(), width, height, 24, nullptr)) << path;
}

std::vector<uint32_t> Filled(int width, int height, uint32_t colour) {
    return std::vector<uint32_t>(static_cast<size_t>(width) * height, colour);
}
