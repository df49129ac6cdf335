// Surface: loading a 24-bit file into 32-bit pixels, and every way a load ends the process.
#include "assets/surface.h"

#include "assets/bmp.h"
#include "bmp_builder.h"
#include "process_capture.h"
#include "base/process.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// 4 x 3 picture, bottom row first in the file: pixel (x, y) has blue x, green y, red 0x80 + x + y.
std::string FourByThreeFile() {
    std::string rows;
    for (int y = 2; y >= 0; --y)
        for (int x = 0; x < 4; ++x)
            rows += {static_cast<char>(x), static_cast<char>(y), static_cast<char>(0x80 + x + y)};
    BmpFields fields;
    fields.width = 4;
    fields.heightField = 3;
    return MakeBmp(fields, "", rows);
}

} // namespace

TEST(Surface, LoadExpandsToRedGreenBlueWords) {
    TempWorkingDirectory dir;
    ASSERT_TRUE(WriteFileBytes("p.bmp", FourByThreeFile()));
    TraceRecorder traces;
    Surface surface("p.bmp");
    EXPECT_EQ(4, surface.width);
    EXPECT_EQ(3, surface.height);
    EXPECT_EQ(32, surface.bpp);
    EXPECT_EQ(nullptr, surface.palette);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(static_cast<uint32_t>((0x80 + x + y) << 16 | y << 8 | x),
                      surface.data[y * 4 + x]);
    std::vector<std::string> expected = {"Surface::BMP_Load(char *nom)",
                                         "Chargement surface BMP : OK"};
    EXPECT_EQ(expected, traces.Texts());
}

TEST(Surface, EmptySurfaceAndReloading) {
    TempWorkingDirectory dir;
    Surface surface;
    EXPECT_EQ(nullptr, surface.data);
    EXPECT_EQ(0, surface.width);
    EXPECT_EQ(0, surface.height);

    BmpFields eight;
    eight.bpp = 8;
    eight.width = 4;
    eight.heightField = -1;
    ASSERT_TRUE(WriteFileBytes("i.bmp", MakeBmp(eight, TestPalette(), "\x05\x06\x07\x08")));
    ASSERT_TRUE(WriteFileBytes("p.bmp", FourByThreeFile()));
    // BMP_Load keeps the raw block: one byte per pixel and the palette for an 8-bit file.
    ASSERT_EQ(0, surface.BMP_Load("i.bmp"));
    EXPECT_EQ(8, surface.bpp);
    EXPECT_EQ(0, std::memcmp(surface.data, "\x05\x06\x07\x08", 4));
    ASSERT_NE(nullptr, surface.palette);
    EXPECT_EQ(0, std::memcmp(surface.palette, TestPalette().data(), 1024));
    // Loading again replaces block and palette (the sanitizer build sees a leak otherwise).
    surface.Load("p.bmp");
    EXPECT_EQ(nullptr, surface.palette);
    EXPECT_EQ(32, surface.bpp);
    EXPECT_EQ(0x800000u, surface.data[0]);
}

TEST(Surface, EveryLoadFailureIsFatalWithTheFullPathInTheMessage) {
    TempWorkingDirectory dir;
    BmpFields eight;
    eight.bpp = 8;
    eight.width = 4;
    eight.heightField = 2;
    BmpFields huge;
    huge.width = 1 << 20;
    huge.heightField = 1 << 20;
    BmpFields odd;
    odd.width = 3;
    ASSERT_TRUE(WriteFileBytes("eight.bmp", MakeBmp(eight, TestPalette(), "12345678")));
    ASSERT_TRUE(WriteFileBytes("huge.bmp", MakeBmp(huge, "", "")));
    ASSERT_TRUE(WriteFileBytes("odd.bmp", MakeBmp(odd, "", "123456789")));
    std::string longPath = std::string(3000, 'd') + ".bmp";

    for (const std::string& path : {std::string("absent.bmp"), std::string("eight.bmp"),
                                    std::string("huge.bmp"), std::string("odd.bmp"), longPath}) {
        SCOPED_TRACE(path.substr(0, 20));
        EXPECT_EQ(kFatalExitCode, ExitCodeOf([&] { Surface surface(path.c_str()); }));
        EXPECT_EQ("Impossible de charger l'Surface : " + path + " !!\n",
                  std::string(LastFatalMessage()));
    }

    // Through Load on an existing surface: nothing is left behind for the destructor but nulls.
    Surface surface;
    EXPECT_EQ(kFatalExitCode, ExitCodeOf([&] { surface.Load("eight.bmp"); }));
    EXPECT_EQ(nullptr, surface.data);
    EXPECT_EQ(nullptr, surface.palette);
}
