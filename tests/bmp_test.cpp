// The BMP readers and writer: round trips, the result codes and the order of their checks,
// palettes, and headers or files that lie about their size.
#include "assets/bmp.h"
#include "assets/surface.h"

#include "bmp_builder.h"
#include "process_capture.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct ReadResult {
    int code = -1;
    uint8_t* pixels = nullptr;
    int width = -7, height = -7, bpp = -7;
    uint8_t* palette = reinterpret_cast<uint8_t*>(&code); // a marker: "never written"
    ~ReadResult() {
        std::free(pixels);
        if (palette != reinterpret_cast<uint8_t*>(&code))
            std::free(palette);
    }
    bool PaletteUntouched() const { return palette == reinterpret_cast<const uint8_t*>(&code); }
};

void Read(const std::string& path, ReadResult* r) {
    r->code = ReadBMP(path.c_str(), &r->pixels, &r->width, &r->height, &r->bpp, &r->palette);
}

// An asymmetric 8 x 5 picture: every pixel different, no two rows alike.
std::vector<uint32_t> AsymmetricPicture() {
    std::vector<uint32_t> picture(8 * 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 8; ++x)
            picture[y * 8 + x] = static_cast<uint32_t>((x * 37 + 1) << 16 | (y * 51 + 3) << 8 |
                                                       (x * y * 13 + x + 7));
    return picture;
}

std::string Packed(const std::vector<uint32_t>& words) {
    std::string bytes(words.size() * 3, '\0');
    PackBGR24(words.data(), reinterpret_cast<uint8_t*>(&bytes[0]), static_cast<int>(words.size()));
    return bytes;
}

} // namespace

TEST(Bmp, TopRowFirstAndBottomRowFirstFilesGiveTheSameMemory) {
    TempWorkingDirectory dir;
    std::vector<uint32_t> picture = AsymmetricPicture();
    std::string rows = Packed(picture);

    ASSERT_EQ(0, WriteBMP("top.bmp", rows.data(), 8, 5, 24, nullptr));
    std::string bottomFirst;
    for (int y = 4; y >= 0; --y)
        bottomFirst += rows.substr(y * 24, 24);
    BmpFields fields;
    fields.width = 8;
    fields.heightField = 5;
    ASSERT_TRUE(WriteFileBytes("bottom.bmp", MakeBmp(fields, "", bottomFirst)));

    for (const char* name : {"top.bmp", "bottom.bmp"}) {
        SCOPED_TRACE(name);
        ReadResult r;
        Read(name, &r);
        ASSERT_EQ(0, r.code);
        EXPECT_EQ(8, r.width);
        EXPECT_EQ(5, r.height);
        EXPECT_EQ(24, r.bpp);
        EXPECT_EQ(nullptr, r.palette);
        ASSERT_EQ(0, std::memcmp(r.pixels, rows.data(), rows.size()));
    }
}

TEST(Bmp, PackThenUnpackKeepsEveryWordWithItsTopByteCleared) {
    std::vector<uint32_t> words = {0xFF123456, 0x00000000, 0xFFFFFFFF, 0x01ABCDEF, 0x80000001};
    std::string bytes = Packed(words);
    EXPECT_EQ(std::string("\x56\x34\x12", 3), bytes.substr(0, 3)); // blue, green, red
    std::vector<uint32_t> back(words.size());
    UnpackBGR24(reinterpret_cast<const uint8_t*>(bytes.data()), back.data(),
                static_cast<int>(back.size()));
    for (size_t i = 0; i < words.size(); ++i)
        EXPECT_EQ(words[i] & 0x00FFFFFF, back[i]) << i;
}

TEST(Bmp, ScreenshotSizedFileHasTheHeaderFieldsAndSizeOfATopRowFirst24BitFile) {
    TempWorkingDirectory dir;
    std::vector<uint8_t> pixels(512 * 256 * 3, 0x42);
    ASSERT_EQ(0, WriteBMP("grab.bmp", pixels.data(), 512, 256, 24, nullptr));
    std::string file = ReadFileBytes("grab.bmp");
    ASSERT_EQ(393274u, file.size());
    auto field = [&](size_t at, int size) {
        uint32_t v = 0;
        for (int i = size - 1; i >= 0; --i)
            v = v << 8 | static_cast<uint8_t>(file[at + i]);
        return v;
    };
    EXPECT_EQ("BM", file.substr(0, 2));
    EXPECT_EQ(393274u, field(2, 4));
    EXPECT_EQ(0u, field(6, 4));
    EXPECT_EQ(58u, field(10, 4));
    EXPECT_EQ(40u, field(14, 4));
    EXPECT_EQ(512u, field(18, 4));
    EXPECT_EQ(static_cast<uint32_t>(-256), field(22, 4));
    EXPECT_EQ(1u, field(26, 2));
    EXPECT_EQ(24u, field(28, 2));
    EXPECT_EQ(0u, field(30, 4));
    EXPECT_EQ(0u, field(34, 4));
    EXPECT_EQ(2000u, field(38, 4));
    EXPECT_EQ(2000u, field(42, 4));
    EXPECT_EQ(0u, field(46, 4));
    EXPECT_EQ(0u, field(50, 4));
    EXPECT_EQ(std::string(4, '\0'), file.substr(54, 4));
    EXPECT_EQ(std::string(pixels.begin(), pixels.end()), file.substr(58));
}

TEST(Bmp, EightBitFileWritesItsPaletteAndReadsBackAsIndices) {
    TempWorkingDirectory dir;
    std::string palette = TestPalette();
    std::vector<uint8_t> indices(12 * 3);
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = static_cast<uint8_t>(i * 7);
    ASSERT_EQ(0, WriteBMP("p.bmp", indices.data(), 12, 3, 8,
                          reinterpret_cast<const uint8_t*>(palette.data())));
    std::string file = ReadFileBytes("p.bmp");
    ASSERT_EQ(54u + 1024u + 36u, file.size());
    EXPECT_EQ(1078, static_cast<uint8_t>(file[10]) | static_cast<uint8_t>(file[11]) << 8);

    ReadResult r;
    Read("p.bmp", &r);
    ASSERT_EQ(0, r.code);
    EXPECT_EQ(8, r.bpp);
    ASSERT_NE(nullptr, r.palette);
    EXPECT_EQ(0, std::memcmp(r.palette, palette.data(), 1024));
    EXPECT_EQ(0, std::memcmp(r.pixels, indices.data(), indices.size()));
}

TEST(Bmp, PaletteIsAlwaysTakenFromOffset54) {
    // A 124-byte header puts the real palette elsewhere; the reader still takes offset 54 on.
    TempWorkingDirectory dir;
    BmpFields fields;
    fields.bpp = 8;
    fields.width = 4;
    fields.heightField = -2;
    fields.headerSize = 124;
    fields.dataOffset = 54 + 1024 + 100;
    std::string palette = TestPalette();
    std::string file = MakeBmp(fields, palette + std::string(100, '\x77'), "\x01\x02\x03\x04zyxw");
    ASSERT_TRUE(WriteFileBytes("v5.bmp", file));
    ReadResult r;
    Read("v5.bmp", &r);
    ASSERT_EQ(0, r.code);
    EXPECT_EQ(0, std::memcmp(r.palette, file.data() + 54, 1024));
    EXPECT_EQ(0, std::memcmp(r.pixels, "\x01\x02\x03\x04zyxw", 8));
}

TEST(Bmp, WriterRefusesWhatItCannotWrite) {
    TempWorkingDirectory dir;
    uint32_t pixels[16] = {};
    EXPECT_EQ(1, WriteBMP("w32.bmp", pixels, 4, 4, 32, nullptr));
    EXPECT_FALSE(std::filesystem::exists("w32.bmp"));
    EXPECT_EQ(1, WriteBMP("neg.bmp", pixels, -4, 4, 24, nullptr));
    EXPECT_FALSE(std::filesystem::exists("neg.bmp"));
    EXPECT_EQ(1, WriteBMP("no/such/folder/x.bmp", pixels, 4, 4, 24, nullptr));
    std::filesystem::create_directory("a_folder.bmp");
    EXPECT_EQ(1, WriteBMP("a_folder.bmp", pixels, 4, 4, 24, nullptr));
    // 16 bits per pixel is written with one zero palette entry, like 24.
    EXPECT_EQ(0, WriteBMP("w16.bmp", pixels, 4, 2, 16, nullptr));
    EXPECT_EQ(54u + 4u + 16u, ReadFileBytes("w16.bmp").size());
}

// Each row: the header, the code, and the one trace line after the fixed first one.
struct CodeCase {
    const char* name;
    BmpFields fields;
    int code;
    const char* trace; // null: no trace line of its own
};

BmpFields Fields(int32_t width, int32_t heightField, uint16_t bpp, uint32_t compression = 0,
                 const char* signature = "BM") {
    BmpFields f;
    f.width = width;
    f.heightField = heightField;
    f.bpp = bpp;
    f.compression = compression;
    f.signature = signature;
    return f;
}

const char kCompressed[] = "Compression non support\xE9"
                           "e";
const char kBadSize[] = "Taille non support\xE9"
                        "e";
const char kLoaded[] = "Chargement surface BMP : OK";

const CodeCase kCodeCases[] = {
    {"NotBM", Fields(4, 4, 24, 0, "MB"), 1, "Format non BMP"},
    {"NotBMAndEverythingElseWrong", Fields(3, 0, 32, 1, "BA"), 1, "Format non BMP"},
    {"ThirtyTwoBits", Fields(4, 4, 32), 2, "BMP pas 24 Bits"},
    {"SixteenBits", Fields(4, 4, 16), 2, "BMP pas 24 Bits"},
    {"ThirtyTwoBitsOddWidthCompressed", Fields(510, 4, 32, 3), 2, "BMP pas 24 Bits"},
    {"Width510", Fields(510, 4, 24), 4, "Pas multiple de 4"},
    {"CompressedEightBit322Wide", Fields(322, 4, 8, 1), 4, "Pas multiple de 4"},
    {"RunLengthEightBit256Wide", Fields(256, 4, 8, 1), 3, kCompressed},
    {"CompressedWithZeroWidth", Fields(0, 4, 24, 2), 3, kCompressed},
    {"ZeroWidth", Fields(0, 4, 24), 0, kLoaded},
    {"NegativeWidthMultipleOf4", Fields(-4, 4, 24), 5, kBadSize},
    {"MostNegativeWidth", Fields(INT_MIN, 4, 8), 5, kBadSize},
    {"ZeroHeight", Fields(4, 0, 24), 0, kLoaded},
    {"ZeroWidthBillionsOfRows", Fields(0, INT_MAX, 8), 0, kLoaded},
    {"MostNegativeHeight", Fields(4, INT_MIN, 24), 5, kBadSize},
    {"BillionsOfPixels", Fields(65536, 65536, 24), 5, kBadSize},
    {"JustOver16MiPixels", Fields(4096, -4097, 8), 5, kBadSize},
    {"WidthTimesHeightWrapsTo32Bits", Fields(1 << 16, (1 << 16) + 1, 24), 5, kBadSize},
};

TEST(Bmp, ResultCodesFollowTheOrderOfTheChecks) {
    TempWorkingDirectory dir;
    for (const CodeCase& c : kCodeCases) {
        SCOPED_TRACE(c.name);
        std::string path = std::string(c.name) + ".bmp";
        ASSERT_TRUE(WriteFileBytes(path, MakeBmp(c.fields, "", std::string(64, '\x11'))));

        ReadResult r;
        Read(path, &r);
        EXPECT_EQ(c.code, r.code);
        // An image 0 wide or 0 high loads (it has no pixels, and draws nothing).
        EXPECT_EQ(c.code == 0, r.pixels != nullptr);

        TraceRecorder traces;
        Surface surface;
        EXPECT_EQ(c.code, surface.BMP_Load(path.c_str()));
        std::vector<std::string> expected = {"Surface::BMP_Load(char *nom)", c.trace};
        EXPECT_EQ(expected, traces.Texts());
        EXPECT_EQ(c.code == 0, surface.data != nullptr);
        if (c.code == 0 && surface.bpp == 24) {
            EXPECT_EQ(-1, ExitCodeOf([&] { surface.Load(path.c_str()); }));
            EXPECT_EQ(32, surface.bpp);
        }
        if (c.code != 0) {
            EXPECT_EQ(nullptr, surface.palette);
        }
    }
}

TEST(Bmp, MissingFileGivesCodeOneWithoutATraceOfItsOwn) {
    TempWorkingDirectory dir;
    ReadResult r;
    Read("absent.bmp", &r);
    EXPECT_EQ(1, r.code);
    TraceRecorder traces;
    Surface surface;
    EXPECT_EQ(1, surface.BMP_Load("absent.bmp"));
    EXPECT_EQ(std::vector<std::string>{"Surface::BMP_Load(char *nom)"}, traces.Texts());
}

TEST(Bmp, FieldsStoredBeforeTheFailingCheckKeepTheirValues) {
    TempWorkingDirectory dir;
    ASSERT_TRUE(WriteFileBytes("w.bmp", MakeBmp(Fields(510, 9, 24), "", "")));
    ReadResult r;
    Read("w.bmp", &r);
    EXPECT_EQ(4, r.code);
    EXPECT_EQ(24, r.bpp);
    EXPECT_EQ(510, r.width);
    EXPECT_EQ(-7, r.height);       // not reached
    EXPECT_EQ(nullptr, r.palette); // cleared for a 24-bit file

    ASSERT_TRUE(WriteFileBytes("c.bmp", MakeBmp(Fields(8, -9, 8, 1), "", "")));
    ReadResult c;
    Read("c.bmp", &c);
    EXPECT_EQ(3, c.code);
    EXPECT_EQ(9, c.height);
    EXPECT_TRUE(c.PaletteUntouched()); // nothing allocated for an 8-bit file that fails
}

TEST(Bmp, ShortFileGetsItsMissingPixelsZeroed) {
    TempWorkingDirectory dir;
    // 8 x 4, bottom row first, but only the two bottom rows are in the file.
    std::string twoRows(2 * 24, '\0');
    for (size_t i = 0; i < twoRows.size(); ++i)
        twoRows[i] = static_cast<char>(0x80 + i);
    ASSERT_TRUE(WriteFileBytes("short.bmp", MakeBmp(Fields(8, 4, 24), "", twoRows + "\x01")));
    ReadResult r;
    Read("short.bmp", &r);
    ASSERT_EQ(0, r.code);
    std::string expected = std::string(48, '\0') + twoRows.substr(24, 24) + twoRows.substr(0, 24);
    expected[24] = '\x01'; // the one byte of the second row that the file does hold
    EXPECT_EQ(expected, std::string(reinterpret_cast<char*>(r.pixels), 96));

    // Pixel data offset past the end of the file, and an 8-bit file cut inside its palette.
    BmpFields far = Fields(4, -2, 24);
    far.dataOffset = 0xFFFFFFF0u;
    ASSERT_TRUE(WriteFileBytes("far.bmp", MakeBmp(far, "", std::string(24, '\x55'))));
    ReadResult f;
    Read("far.bmp", &f);
    ASSERT_EQ(0, f.code);
    EXPECT_EQ(std::string(24, '\0'), std::string(reinterpret_cast<char*>(f.pixels), 24));

    ASSERT_TRUE(WriteFileBytes("cut.bmp", MakeBmp(Fields(4, 1, 8), "\x09\x08\x07", "")));
    ReadResult p;
    Read("cut.bmp", &p);
    ASSERT_EQ(0, p.code);
    EXPECT_EQ(std::string("\x09\x08\x07") + std::string(1021, '\0'),
              std::string(reinterpret_cast<char*>(p.palette), 1024));
    EXPECT_EQ(std::string(4, '\0'), std::string(reinterpret_cast<char*>(p.pixels), 4));
}

TEST(Bmp, FileShorterThanItsHeadersReadsTheMissingBytesAsZero) {
    TempWorkingDirectory dir;
    ASSERT_TRUE(WriteFileBytes("b.bmp", "B"));
    ASSERT_TRUE(WriteFileBytes("bm.bmp", "BM\x10\x00"));
    ASSERT_TRUE(WriteFileBytes("empty.bmp", ""));
    std::string upToHeight = MakeBmp(Fields(4, 2, 24), "", "").substr(0, 29); // bpp 24, no more
    ASSERT_TRUE(WriteFileBytes("nocompression.bmp", upToHeight));
    ReadResult b, bm, empty, noCompression;
    Read("b.bmp", &b);
    Read("bm.bmp", &bm);
    Read("empty.bmp", &empty);
    Read("nocompression.bmp", &noCompression);
    EXPECT_EQ(1, b.code);
    EXPECT_EQ(1, empty.code);
    EXPECT_EQ(2, bm.code); // bits per pixel reads as 0
    EXPECT_EQ(0, noCompression.code);
    EXPECT_EQ(std::string(24, '\0'),
              std::string(reinterpret_cast<char*>(noCompression.pixels), 24));
}
