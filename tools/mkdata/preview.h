// The parts of the data tree's contact sheet, for looking at the art.
//
// Writes into outDir:
//   tiles/NN-<name>.bmp  every image of the tree as read back from dataDir: animation strips
//                        laid out frame by frame, textures repeated 2 x 2 (a seam would show),
//                        small images scaled up with whole pixels
//   mesh/<view>.bmp      the mesh rendered by the show's engine, with its environment map, from
//                        three camera positions of the object scene (no blur, no strip)
// ImageMagick's montage then puts each folder on one sheet (the Makefile's contact-sheet).
#pragma once

#include <string>

namespace mkdata {

void WriteContactSheetParts(const std::string& dataDir, const std::string& outDir);

} // namespace mkdata
