// What the program does when a file beside it is missing, cut short, of the wrong kind or of
// the wrong size: every row of the README's "When files are damaged" table, with the text each
// failure hands to FatalError or to the trace. Each row damages one file of a copy of the
// generated data tree, then runs the scene that reads it (or the whole program, for the music)
// with Escape pressed after the first frame.
#include "assets/bmp.h"
#include "base/process.h"
#include "platform/headless/headless.h"
#include "process_capture.h"
#include "run_folder.h"
#include "scenes/scenes.h"
#include "shell/demo.h"
#include "shell/music.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace {

namespace fs = std::filesystem;

enum class Damage {
    kMissing,     // the file is not there
    kFolder,      // a folder stands where the file should be
    kCutInData,   // the file ends halfway through its content
    kCutInHeader, // only its first 20 bytes are left
    kText,        // a text file under the same name
    kEightBit,    // an 8-bit BMP of 256 x 256
    kSmall,       // a 24-bit BMP of 128 x 128
    kNoRows,      // a 24-bit BMP of 128 x 0: no pixels at all
};

constexpr int kPlays = 0; // the scene plays (its first frame is shown, Escape then quits)

struct Row {
    const char* file;
    Damage damage;
    int scene; // 0..5, 6 for the end logo (the last scene entered at 132 s), -1: the program
    int exitCode;
    const char* printed; // standard output
    // The text given to FatalError (exit code 9999), or the last trace (exit code 1 from the
    // mesh); kCannotLoad: the image loader's text for this file; null: not checked.
    const char* text = nullptr;
};

const char kCannotLoad[] = "Impossible de charger l'Surface : data/<file> !!\n";
const char kMeshOutsideFile[] = " TAILLE DU FORM HORS DU FICHIER !!!!!!!!!!!\n";
const char kRippleTexture[] =
    "Impossible de charger la texture : data/boule/tex7c.bmp (BMP 24 bits 256x256) !!\n";

const char kOpenFailed[] = "ca chie! -> impossible d'ouvrir le fichier: data/3d/u_mec.lwo \n";

const Row kRows[] = {
    {"mirel.xm", Damage::kMissing, -1, 1,
     "MIDAS error: Unable to read module file data/mirel.xm: No such file or directory\n"},
    {"mirel.xm", Damage::kCutInData, -1, kPlays, ""},
    {"mirel.xm", Damage::kCutInHeader, -1, 1, nullptr},
    {"mirel.xm", Damage::kText, -1, 1, nullptr},
    {"mirel.xm", Damage::kFolder, -1, 1, nullptr},

    {"particules/forme.bmp", Damage::kMissing, 0, kFatalExitCode, "", kCannotLoad},
    {"particules/forme2.bmp", Damage::kCutInData, 0, kPlays, ""},
    {"particules/forme3.bmp", Damage::kCutInHeader, 0, kFatalExitCode, "", kCannotLoad},
    {"particules/forme.bmp", Damage::kText, 0, kFatalExitCode, "", kCannotLoad},
    {"particules/forme.bmp", Damage::kEightBit, 0, kFatalExitCode, "", kCannotLoad},
    {"particules/forme.bmp", Damage::kSmall, 0, kFatalExitCode, "",
     "Image de mauvaise taille : data/particules/forme.bmp (128x128 au lieu de 320x200) !!\n"},
    {"particules/light2.bmp", Damage::kMissing, 0, kFatalExitCode, "", kCannotLoad},
    {"particules/light2.bmp", Damage::kSmall, 0, kPlays, ""},
    {"particules/light2.bmp", Damage::kNoRows, 0, kPlays, ""},
    {"klvlogo.bmp", Damage::kCutInData, 0, kPlays, ""},
    {"klvlogo.bmp", Damage::kFolder, 0, kFatalExitCode, "", kCannotLoad},

    {"3d/u_mec.lwo", Damage::kMissing, 1, 2, kOpenFailed},
    {"3d/u_mec.lwo", Damage::kFolder, 1, 2, kOpenFailed},
    {"3d/u_mec.lwo", Damage::kCutInData, 1, 1, "", kMeshOutsideFile},
    {"3d/u_mec.lwo", Damage::kCutInHeader, 1, 1, "", kMeshOutsideFile},
    {"3d/u_mec.lwo", Damage::kText, 1, 1, "", " FILE FORMAT ERREUR !!!!!!!!!!!\n"},
    {"3d/env_neg.bmp", Damage::kMissing, 1, kFatalExitCode, "", kCannotLoad},
    {"3d/env_neg.bmp", Damage::kCutInData, 1, kPlays, ""},
    {"3d/env_neg.bmp", Damage::kSmall, 1, kFatalExitCode, "",
     "Texture d'environnement de mauvaise taille : data/3d/env_neg.bmp (128x128 au lieu de "
     "256x256) !!\n"},
    {"boule/anim_cercle2.bmp", Damage::kEightBit, 1, kFatalExitCode, "", kCannotLoad},
    {"boule/anim_cercle2.bmp", Damage::kSmall, 1, kPlays, ""},

    {"boule/boule.ini", Damage::kMissing, 2, kFatalExitCode, "",
     "fichier ini data/boule/boule.ini absent"},
    {"boule/boule.ini", Damage::kCutInData, 2, kFatalExitCode, ""}, // image keys lost
    {"boule/boule.ini", Damage::kText, 2, kFatalExitCode, "",
     "Impossible de charger l'Surface : [boule_text] absent de data/boule/boule.ini !!\n"},
    {"boule/boule.bmp", Damage::kMissing, 2, kFatalExitCode, "", kCannotLoad},
    {"boule/boule.bmp", Damage::kSmall, 2, kFatalExitCode, "",
     "Image de mauvaise taille : data/boule/boule.bmp (128x128 au lieu de 256x256) !!\n"},
    {"boule/boule.bmp", Damage::kCutInData, 2, kPlays, ""},
    {"boule/octet.bmp", Damage::kSmall, 2, kPlays, ""},
    {"boule/octet.bmp", Damage::kNoRows, 2, kPlays, ""},
    {"boule/logo.bmp", Damage::kText, 2, kFatalExitCode, "", kCannotLoad},

    {"boule/tex7c.bmp", Damage::kMissing, 3, kFatalExitCode, "", kRippleTexture},
    {"boule/tex7c.bmp", Damage::kCutInData, 3, kPlays, ""},
    {"boule/tex7c.bmp", Damage::kEightBit, 3, kFatalExitCode, "", kRippleTexture},
    {"boule/tex7c.bmp", Damage::kSmall, 3, kFatalExitCode, "", kRippleTexture},

    {"zoom/texture1.bmp", Damage::kMissing, 4, kFatalExitCode, "", kCannotLoad},
    {"zoom/texture1.bmp", Damage::kCutInData, 4, kPlays, ""},
    {"zoom/texture1.bmp", Damage::kSmall, 4, kFatalExitCode, "",
     "Image de mauvaise taille : data/zoom/texture1.bmp (128x128 au lieu de 256x256) !!\n"},
    {"zoom/texture1.bmp", Damage::kNoRows, 4, kFatalExitCode, "",
     "Image de mauvaise taille : data/zoom/texture1.bmp (128x0 au lieu de 256x256) !!\n"},

    {"rotozoom/texture.bmp", Damage::kMissing, 5, kFatalExitCode, "", kCannotLoad},
    {"rotozoom/texture.bmp", Damage::kSmall, 5, kFatalExitCode, "",
     "Image de mauvaise taille : data/rotozoom/texture.bmp (128x128 au lieu de 256x256) !!\n"},
    {"rotozoom/texture.bmp", Damage::kCutInData, 5, kPlays, ""},
    {"boule/under.bmp", Damage::kSmall, 5, kPlays, ""},
    {"boule/under.bmp", Damage::kText, 5, kFatalExitCode, "", kCannotLoad},
    {"logofin.bmp", Damage::kMissing, 6, kFatalExitCode, "", kCannotLoad},
    {"logofin.bmp", Damage::kSmall, 6, kPlays, ""},
    {"logofin.bmp", Damage::kNoRows, 6, kPlays, ""},
};

void (*const kScenes[7])(uint32_t*) = {RunParticleScene,     RunObjectScene, RunBallScene,
                                       RunRippledPlaneScene, RunPlanesScene, RunRotozoomScene,
                                       RunRotozoomScene};
// Where each starts in the show, in frames of 1/60 s.
const long kSceneStartFrames[7] = {0, 2101, 3601, 4501, 5401, 7321, 7921};

std::string Bmp(int width, int height, int bpp) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * (bpp / 8), 0x40);
    std::vector<uint8_t> palette(1024, 0x20);
    WriteBMP("damaged.tmp", pixels.data(), width, height, bpp, palette.data());
    std::string bytes = ReadFileBytes("damaged.tmp");
    fs::remove("damaged.tmp");
    return bytes;
}

void Spoil(const std::string& path, Damage damage) {
    std::string bytes = ReadFileBytes(path);
    fs::remove(path);
    switch (damage) {
    case Damage::kMissing:
        break;
    case Damage::kFolder:
        fs::create_directory(path);
        break;
    case Damage::kCutInData:
        WriteFileBytes(path, bytes.substr(0, 54 + (bytes.size() - 54) / 2));
        break;
    case Damage::kCutInHeader:
        WriteFileBytes(path, bytes.substr(0, 20));
        break;
    case Damage::kText:
        WriteFileBytes(path, "This is not the file you are looking for.\n");
        break;
    case Damage::kEightBit:
        WriteFileBytes(path, Bmp(256, 256, 8));
        break;
    case Damage::kSmall:
        WriteFileBytes(path, Bmp(128, 128, 24));
        break;
    case Damage::kNoRows:
        WriteFileBytes(path, Bmp(128, 0, 24));
        break;
    }
}

const char* NameOf(Damage damage) {
    const char* names[] = {"missing", "folder", "cut in data", "cut in header",
                           "text",    "8-bit",  "128 x 128",   "128 x 0"};
    return names[static_cast<int>(damage)];
}

TEST(DamagedFiles, EachEndsWithItsCodeAndMessageOrPlays) {
    const fs::path generated = fs::path(DEMO_BINARY_DIR) / "data";
    if (!ShowDataGenerated())
        GTEST_SKIP() << "the generated data tree is not there";
    for (const Row& row : kRows) {
        SCOPED_TRACE(std::string(row.file) + ", " + NameOf(row.damage));
        TempWorkingDirectory folder;
        fs::copy(generated, "data", fs::copy_options::recursive);
        Spoil("data/" + std::string(row.file), row.damage);

        headless::Reset();
        headless::ScriptKey(1, VK_ESCAPE);
        TraceRecorder traces;
        ProgramResult result;
        if (row.scene < 0) {
            result = RunProgram();
        } else {
            StartHeadlessDisplay();
            ASSERT_TRUE(StartMusic(mainWindow));
            headless::AdvanceClock(kSceneStartFrames[row.scene] * headless::kTicksPerFrame);
            result.exitCode = ExitCodeAndOutputOf([&] { kScenes[row.scene](theDemo->frameBuffer); },
                                                  &result.output);
        }
        EXPECT_EQ(result.exitCode, row.exitCode);
        if (row.text == kCannotLoad) {
            EXPECT_EQ(LastFatalMessage(),
                      "Impossible de charger l'Surface : data/" + std::string(row.file) + " !!\n");
        } else if (row.text && row.exitCode == kFatalExitCode) {
            EXPECT_STREQ(LastFatalMessage(), row.text);
        } else if (row.text) {
            ASSERT_FALSE(traces.Texts().empty());
            EXPECT_EQ(traces.Texts().back(), row.text);
        }
        if (row.printed) {
            EXPECT_EQ(result.output, row.printed);
        }
        EXPECT_EQ(headless::PresentCount(), row.exitCode == kPlays ? 2 : 0);
        ResetShellState();
    }
}

} // namespace
