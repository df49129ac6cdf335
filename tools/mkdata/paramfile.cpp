#include "mkdata/paramfile.h"

#include "mkdata/draw.h"

#include <cstdio>

namespace mkdata {

std::string BallParameterText() {
    std::string text;
    text += "; Ball scene: texture, 30-frame animation strip, logo, then the camera's speed\n";
    text += "[boule_text]\n";
    text += std::string(kBallTexturePath) + "\n";
    text += "[anim_octet]\n";
    text += std::string(kBallAnimationPath) + "\n";
    text += "[boule_logo]\n";
    text += std::string(kBallLogoPath) + "\n";
    // Camera time per scene second: the eye turns by 0.3 radian per unit.
    text += "[boule_vitesse]\n";
    text += "1.0\n";
    // Animation frames per unit of camera time: with the speed above, frames per second.
    text += "[anim_speed]\n";
    text += "15\n";
    return text;
}

void WriteParamFile(const std::string& dataDir) {
    MakeFolder(dataDir + "/boule");
    std::string path = dataDir + "/boule/boule.ini";
    std::string text = BallParameterText();
    // Binary mode: the same line feeds on every system.
    std::FILE* file = std::fopen(path.c_str(), "wb");
    bool written = file && std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (file && std::fclose(file) != 0)
        written = false;
    if (!written)
        GeneratorFailure("cannot write " + path);
}

} // namespace mkdata
