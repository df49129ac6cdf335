// The readers on real-world files: the BMP Suite's good, questionable and bad files
// (tests/data/bmp, with its README). Every file gets the code its header calls for, none makes
// a reader crash or step out of bounds (the sanitizer build runs this too), and every file that
// is accepted gives the pixels ImageMagick reads from it.
#include "assets/bmp.h"
#include "assets/surface.h"

#include "process_capture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

namespace {

const std::string kCorpus = std::string(TEST_DATA_DIR) + "/bmp/";

// The code each file's header calls for: 1 no "BM", 2 not 8 or 24 bits, 4 width not a multiple
// of 4, 3 compressed, 5 impossible size, 0 read. Most of the suite is 127 pixels wide.
const std::map<std::string, int> kExpectedCodes = {
    {"b/badbitcount.bmp", 2},    {"b/badbitssize.bmp", 2},
    {"b/baddens1.bmp", 2},       {"b/baddens2.bmp", 2},
    {"b/badfilesize.bmp", 2},    {"b/badheadersize.bmp", 2},
    {"b/badpalettesize.bmp", 4}, {"b/badplanes.bmp", 2},
    {"b/badrle.bmp", 4},         {"b/badrle4.bmp", 2},
    {"b/badrle4bis.bmp", 2},     {"b/badrle4ter.bmp", 2},
    {"b/badrlebis.bmp", 4},      {"b/badrleter.bmp", 4},
    {"b/badwidth.bmp", 2},       {"b/pal8badindex.bmp", 4},
    {"b/reallybig.bmp", 5},      {"b/rgb16-880.bmp", 2},
    {"b/rletopdown.bmp", 4},     {"b/shortfile.bmp", 2},
    {"g/pal1.bmp", 2},           {"g/pal1bg.bmp", 2},
    {"g/pal1wb.bmp", 2},         {"g/pal4.bmp", 2},
    {"g/pal4gs.bmp", 2},         {"g/pal4rle.bmp", 2},
    {"g/pal8-0.bmp", 4},         {"g/pal8.bmp", 4},
    {"g/pal8gs.bmp", 4},         {"g/pal8nonsquare.bmp", 4},
    {"g/pal8os2.bmp", 2},        {"g/pal8rle.bmp", 4},
    {"g/pal8topdown.bmp", 4},    {"g/pal8v4.bmp", 4},
    {"g/pal8v5.bmp", 4},         {"g/pal8w124.bmp", 0},
    {"g/pal8w125.bmp", 4},       {"g/pal8w126.bmp", 4},
    {"g/rgb16-565.bmp", 2},      {"g/rgb16-565pal.bmp", 2},
    {"g/rgb16.bmp", 2},          {"g/rgb16bfdef.bmp", 2},
    {"g/rgb24.bmp", 4},          {"g/rgb24pal.bmp", 4},
    {"g/rgb32.bmp", 2},          {"g/rgb32bf.bmp", 2},
    {"g/rgb32bfdef.bmp", 2},     {"q/pal1huffmsb.bmp", 2},
    {"q/pal1p1.bmp", 2},         {"q/pal2.bmp", 2},
    {"q/pal2color.bmp", 2},      {"q/pal4rlecut.bmp", 2},
    {"q/pal4rletrns.bmp", 2},    {"q/pal8offs.bmp", 4},
    {"q/pal8os2-hs.bmp", 2},     {"q/pal8os2-sz.bmp", 2},
    {"q/pal8os2sp.bmp", 2},      {"q/pal8os2v2-16.bmp", 4},
    {"q/pal8os2v2-40sz.bmp", 4}, {"q/pal8os2v2-sz.bmp", 4},
    {"q/pal8os2v2.bmp", 4},      {"q/pal8oversizepal.bmp", 4},
    {"q/pal8rlecut.bmp", 4},     {"q/pal8rletrns.bmp", 4},
    {"q/rgb16-231.bmp", 2},      {"q/rgb16-3103.bmp", 2},
    {"q/rgb16faketrns.bmp", 2},  {"q/rgb24jpeg.bmp", 2},
    {"q/rgb24largepal.bmp", 4},  {"q/rgb24lprof.bmp", 4},
    {"q/rgb24png.bmp", 2},       {"q/rgb24prof.bmp", 4},
    {"q/rgb24prof2.bmp", 4},     {"q/rgb24rle24.bmp", 4},
    {"q/rgb32-111110.bmp", 2},   {"q/rgb32-7187.bmp", 2},
    {"q/rgb32-xbgr.bmp", 2},     {"q/rgb32fakealpha.bmp", 2},
    {"q/rgb32h52.bmp", 2},       {"q/rgba16-1924.bmp", 2},
    {"q/rgba16-4444.bmp", 2},    {"q/rgba16-5551.bmp", 2},
    {"q/rgba32-1.bmp", 2},       {"q/rgba32-1010102.bmp", 2},
    {"q/rgba32-2.bmp", 2},       {"q/rgba32-61754.bmp", 2},
    {"q/rgba32-81284.bmp", 2},   {"q/rgba32abf.bmp", 2},
    {"q/rgba32h56.bmp", 2},      {"q/rgba64.bmp", 2},
    {"x/ba-bm.bmp", 1},
};

// ImageMagick's reading of a file as 8-bit red, green, blue bytes, top row first; empty when
// ImageMagick is not there or cannot read the file.
std::string ImageMagickRgb(const std::string& path) {
    std::string command = "convert '" + path + "' -depth 8 rgb:- 2>/dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return "";
    std::string bytes;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        bytes.append(buffer, got);
    pclose(pipe);
    return bytes;
}

bool HaveImageMagick() {
    std::FILE* pipe = popen("convert -version 2>/dev/null", "r");
    if (!pipe)
        return false;
    char buffer[256] = {};
    size_t got = std::fread(buffer, 1, sizeof buffer - 1, pipe);
    pclose(pipe);
    return got > 0 && std::strstr(buffer, "ImageMagick") != nullptr;
}

// Our reading of an accepted file as red, green, blue bytes: 24-bit pixels reordered, 8-bit
// indices looked up in the palette the reader returned.
std::string OurRgb(const uint8_t* pixels, int width, int height, int bpp, const uint8_t* palette) {
    std::string rgb;
    for (int i = 0; i < width * height; ++i) {
        const uint8_t* bgr = bpp == 24 ? pixels + 3 * i : palette + 4 * pixels[i];
        rgb += {static_cast<char>(bgr[2]), static_cast<char>(bgr[1]), static_cast<char>(bgr[0])};
    }
    return rgb;
}

void ExpectSamePixelsAsImageMagick(const std::string& path) {
    uint8_t* pixels = nullptr;
    uint8_t* palette = nullptr;
    int width = 0, height = 0, bpp = 0;
    ASSERT_EQ(0, ReadBMP(path.c_str(), &pixels, &width, &height, &bpp, &palette));
    std::string ours = OurRgb(pixels, width, height, bpp, palette);
    std::free(pixels);
    std::free(palette);
    std::string theirs = ImageMagickRgb(path);
    ASSERT_EQ(ours.size(), theirs.size());
    EXPECT_TRUE(ours == theirs) << "pixels differ from ImageMagick's";
}

} // namespace

TEST(BmpCorpus, EveryFileGetsTheCodeItsHeaderCallsFor) {
    int files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(kCorpus)) {
        if (entry.path().extension() != ".bmp")
            continue;
        std::string name = std::filesystem::relative(entry.path(), kCorpus).generic_string();
        SCOPED_TRACE(name);
        auto expected = kExpectedCodes.find(name);
        ASSERT_NE(kExpectedCodes.end(), expected) << "a file the table does not know";
        ++files;

        uint8_t* pixels = nullptr;
        uint8_t* palette = nullptr;
        int width = 0, height = 0, bpp = 0;
        int code = ReadBMP(entry.path().string().c_str(), &pixels, &width, &height, &bpp, &palette);
        EXPECT_EQ(expected->second, code);
        if (code == 0) {
            // Touch every byte, so that the sanitizer sees a block of the announced size.
            size_t bytes = static_cast<size_t>(width) * height * (bpp / 8);
            volatile uint8_t sink = 0;
            for (size_t i = 0; i < bytes; ++i)
                sink = sink ^ pixels[i];
        } else {
            EXPECT_EQ(nullptr, pixels);
        }
        std::free(pixels);
        std::free(palette);

        Surface surface;
        EXPECT_EQ(expected->second, surface.BMP_Load(entry.path().string().c_str()));
        EXPECT_EQ(code == 0, surface.data != nullptr);
    }
    EXPECT_EQ(kExpectedCodes.size(), static_cast<size_t>(files));
}

TEST(BmpCorpus, AcceptedFilesGiveTheSamePixelsAsImageMagick) {
    if (!HaveImageMagick())
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    int compared = 0;
    for (const auto& [name, code] : kExpectedCodes) {
        if (code != 0)
            continue;
        SCOPED_TRACE(name);
        ExpectSamePixelsAsImageMagick(kCorpus + name);
        ++compared;
    }
    EXPECT_GT(compared, 0);
}

TEST(BmpCorpus, TwentyFourBitFilesWrittenByImageMagickReadTheSame) {
    // The suite's 24-bit pictures are 127 pixels wide, which the readers refuse; ImageMagick
    // crops them to 124 and writes them as plain bottom-row-first files.
    if (!HaveImageMagick())
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    TempWorkingDirectory dir;
    for (const char* name : {"g/rgb24.bmp", "q/rgb24prof.bmp", "g/pal8.bmp", "g/rgb32.bmp"}) {
        SCOPED_TRACE(name);
        std::string command = "convert '" + kCorpus + name +
                              "' -crop 124x61+2+1 +repage -type truecolor BMP3:crop.bmp";
        ASSERT_EQ(0, std::system(command.c_str()));
        ExpectSamePixelsAsImageMagick("crop.bmp");
        Surface surface("crop.bmp");
        EXPECT_EQ(124, surface.width);
        EXPECT_EQ(61, surface.height);
    }
}
