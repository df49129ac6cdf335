// The ball scene's parameter file, data/boule/boule.ini: its three image paths and two speeds.
//
// Format: a comment line starting with ';', then entries of two lines each, the key line in
// brackets and its value line on the next line. Lines end with a single line feed.
#pragma once

#include <string>

namespace mkdata {

// Paths of the ball scene's images, as written in the parameter file (relative to the folder
// the show runs in).
constexpr const char* kBallTexturePath = "data/boule/boule.bmp";
constexpr const char* kBallAnimationPath = "data/boule/octet.bmp";
constexpr const char* kBallLogoPath = "data/boule/logo.bmp";

// The text of the parameter file.
std::string BallParameterText();

// Writes <dataDir>/boule/boule.ini.
void WriteParamFile(const std::string& dataDir);

} // namespace mkdata
