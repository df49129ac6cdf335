// Every image of the show, drawn from code, and the list of files they go to.
//
// All images are 24-bit BMP files with widths that are multiples of 4, stored with the
// program's own writer (see draw.h). Textures are 256 x 256 and tile without seams; the three
// particle shapes are 320 x 200 outlines whose lit (non-zero) pixels are the swarm's targets.
// Logos are added onto the frame, so their black is transparent.
#pragma once

#include "mkdata/draw.h"
#include "mkdata/font.h"

#include <string>
#include <vector>

namespace mkdata {

enum class ImageKind {
    kPicture, // a sprite, a strip or a logo
    kShape,   // a particle shape: its lit pixels are targets, their number is bounded
    kTexture, // a texture that must repeat without seams
};

// One image file of the data tree: its path below the data folder, its size and its painter.
struct ImageFile {
    std::string path; // e.g. "particules/forme.bmp"
    int width;
    int height;
    Canvas (*paint)();
    int frames; // animation frames stacked top to bottom (1 for a still image)
    ImageKind kind;
};

// The images, in the order the show first loads them.
const std::vector<ImageFile>& ShowImages();

// The smallest and largest number of lit pixels a particle shape may have: every particle
// visits every lit pixel every frame, and too few make a thin figure.
constexpr int kShapeMinLitPixels = 1500;
constexpr int kShapeMaxLitPixels = 4000;

// The group's moth emblem of the logos ('#' for a dot, rows top first), and the lettering style
// it is drawn in, with dots of `dot` pixels.
const std::vector<std::string>& MothEmblemDots();
TextStyle EmblemStyle(int dot);

// Writes every image below dataDir, making the folders.
void WriteImages(const std::string& dataDir);

} // namespace mkdata
