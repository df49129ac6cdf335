// Small images of the tests' own, written as the show's files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes `pixels` (width x height words 0x00RRGGBB, top row first) as a 24-bit BMP at `path`,
// making its folders; the test fails if the file cannot be written.
void WriteImage(const std::string& path, int width, int height,
                const std::vector<uint32_t>& pixels);

// width x height pixels of one colour.
std::vector<uint32_t> Filled(int width, int height, uint32_t colour);
