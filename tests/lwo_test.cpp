// The LightWave object loader, the normal passes and the environment map.
#include "engine3d/objet3d.h"

#include "assets/bmp.h"
#include "base/process.h"
#include "support/lwo_builder.h"
#include "support/process_capture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

using Points = std::vector<LwoBuilder::Point>;

const Points kTriangle = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
const std::string kSurfaceNames("Default\0", 8);

class LwoTest : public testing::Test {
  protected:
    // Writes the bytes to a file and loads it; returns the exit code, or -1 if the load ended
    // normally.
    int Load(const std::string& bytes) {
        EXPECT_TRUE(WriteFileBytes("mesh.lwo", bytes));
        return ExitCodeOf([&] { object_.LoadLWO("mesh.lwo"); });
    }
    int NormalPasses() {
        return ExitCodeOf([&] {
            object_.CalcNormalesFaces();
            object_.CalcNormalesPoints();
        });
    }
    const std::string& LastTrace() const { return traces_.Texts().back(); }
    std::vector<float> FaceNormal(int f) const {
        return {object_.faceNormals[f * 3], object_.faceNormals[f * 3 + 1],
                object_.faceNormals[f * 3 + 2]};
    }
    std::vector<float> PointNormal(int i) const {
        return {object_.pointNormals[i * 3], object_.pointNormals[i * 3 + 1],
                object_.pointNormals[i * 3 + 2]};
    }

    TempWorkingDirectory folder_;
    TraceRecorder traces_;
    Objet3d object_;
};

TEST_F(LwoTest, EveryStepIsTracedInOrder) {
    // The usual order of a LightWave object: the surface chunks are skipped, one per cycle.
    ASSERT_EQ(Load(LwoBuilder()
                       .Points({{1.5f, -2.25f, 0.001f}, {1, 0, 0}, {0, 1, 0}})
                       .Chunk("SRFS", kSurfaceNames)
                       .Triangles({{0, 1, 2}})
                       .Chunk("SURF", std::string(30, 'x'))
                       .Build()),
              -1);
    const std::vector<std::string> expected = {
        "Objet3d::LoadLWO(char *LWO_filename)",
        "Ouverture du fichier : mesh.lwo",
        "IFF FORMAT --> OK",
        "Taille du chunk FORM = 120",
        "LIGHTWAVE OBJET TYPE --> OK",
        "Ouverture OK",
        "Chunk PNTS rencontr\xE9...",
        "TAILLE DU CHUNK PNTS --> 0x24",
        "NOMBRE DE POINTS",
        "POINT n= 0 --> [1.500000][-2.250000][0.001000]",
        "POINT n= 1 --> [1.000000][0.000000][0.000000]",
        "POINT n= 2 --> [0.000000][1.000000][0.000000]",
        "Fin du chunk PNTS",
        "Chunk non trait\xE9 : SRFS",
        "Saut de 0x8 ou 8 octets",
        "Fin du chunk",
        "Chunk POLS rencontr\xE9...",
        "TAILLE DU CHUNK POLS --> 0xa",
        "Triangle n = 0 --> [0][1][2]",
        "Fin du chunk POLS",
        "Chunk non trait\xE9 : SURF",
        "Saut de 0x1e ou 30 octets",
        "Fin du chunk",
        "Fin de LoadLWO",
    };
    EXPECT_EQ(traces_.Texts(), expected);
    EXPECT_EQ(object_.points[0], 1.5f);
    EXPECT_EQ(object_.points[1], -2.25f);
    EXPECT_EQ(object_.points[2], 0.001f);
}

TEST_F(LwoTest, UsualChunkOrderSkipsSurfaceChunks) {
    ASSERT_EQ(Load(LwoBuilder()
                       .Points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}})
                       .Chunk("SRFS", kSurfaceNames)
                       .Triangles({{0, 1, 2}, {2, 1, 3}}, 0xFFFF)
                       .Chunk("SURF", std::string(30, 'x'))
                       .Build()),
              -1);
    EXPECT_EQ(object_.pointCount, 4);
    EXPECT_EQ(object_.faceCount, 2);
    const int32_t faces[] = {0, 1, 2, 2, 1, 3};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(object_.faces[i], faces[i]);
    EXPECT_TRUE(traces_.Contains("Chunk non trait\xE9 : SRFS"));
    EXPECT_TRUE(traces_.Contains("Saut de 0x8 ou 8 octets"));
    EXPECT_TRUE(traces_.Contains("Chunk non trait\xE9 : SURF"));
    EXPECT_TRUE(traces_.Contains("Saut de 0x1e ou 30 octets"));
    EXPECT_EQ(LastTrace(), "Fin de LoadLWO");
    // Per-frame arrays are ready for the first frame.
    EXPECT_NE(object_.viewPoints, nullptr);
    EXPECT_NE(object_.screenX, nullptr);
    EXPECT_NE(object_.screenY, nullptr);
    EXPECT_NE(object_.envCoords, nullptr);
    EXPECT_NE(object_.drawOrder, nullptr);
    EXPECT_NE(object_.depthKeys, nullptr);
}

TEST_F(LwoTest, SkippedChunksOfAnySizeMoveTheCursorExactly) {
    // Odd sizes get no pad byte; the polygon chunk comes right after the 6- and 5-byte chunks.
    ASSERT_EQ(Load(LwoBuilder()
                       .Points(kTriangle)
                       .Chunk("ABCD", "123456")
                       .Chunk("EFGH", "12345")
                       .Triangles({{2, 0, 1}})
                       .Build()),
              -1);
    EXPECT_TRUE(traces_.Contains("Saut de 0x6 ou 6 octets"));
    EXPECT_TRUE(traces_.Contains("Saut de 0x5 ou 5 octets"));
    EXPECT_EQ(object_.faceCount, 1);
    EXPECT_EQ(object_.faces[0], 2);
}

TEST_F(LwoTest, ChunksAreReadOnlyInTheirPlaceInACycle) {
    // A point list right after the polygon list is skipped like any other chunk, and so is a
    // second polygon list in a row.
    ASSERT_EQ(
        Load(LwoBuilder().Points(kTriangle).Triangles({{0, 1, 2}}).Points({{5, 5, 5}}).Build()),
        -1);
    EXPECT_EQ(object_.pointCount, 3);
    EXPECT_TRUE(traces_.Contains("Chunk non trait\xE9 : PNTS"));

    ASSERT_EQ(Load(LwoBuilder()
                       .Points(kTriangle)
                       .Triangles({{0, 1, 2}})
                       .Triangles({{2, 1, 0}, {0, 2, 1}})
                       .Build()),
              -1);
    EXPECT_EQ(object_.faceCount, 1);
    EXPECT_TRUE(traces_.Contains("Chunk non trait\xE9 : POLS"));
}

TEST_F(LwoTest, ALaterListReadInItsPlaceReplacesTheFirst) {
    // PNTS, SRFS, PNTS, POLS: the second point list starts the second cycle and is read.
    ASSERT_EQ(Load(LwoBuilder()
                       .Points({{9, 9, 9}, {8, 8, 8}})
                       .Chunk("SRFS", kSurfaceNames)
                       .Points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}})
                       .Triangles({{0, 1, 3}})
                       .Build()),
              -1);
    EXPECT_EQ(object_.pointCount, 4);
    EXPECT_EQ(object_.points[3], 1.0f);
    EXPECT_EQ(object_.points[11], 1.0f);
    EXPECT_EQ(object_.faces[2], 3);

    // PNTS, POLS, SRFS, POLS: the second polygon list comes right after the skipped chunk.
    ASSERT_EQ(Load(LwoBuilder()
                       .Points(kTriangle)
                       .Triangles({{0, 1, 2}})
                       .Chunk("SRFS", kSurfaceNames)
                       .Triangles({{2, 1, 0}, {1, 2, 0}})
                       .Build()),
              -1);
    EXPECT_EQ(object_.faceCount, 2);
    EXPECT_EQ(object_.faces[0], 2);
    EXPECT_EQ(object_.faces[3], 1);
    EXPECT_EQ(LastTrace(), "Fin de LoadLWO");
}

TEST_F(LwoTest, FormEndBoundsTheWalk) {
    // Bytes after the form's declared end are never looked at.
    std::string file = LwoBuilder().Points(kTriangle).Triangles({{0, 1, 2}}).Build();
    ASSERT_EQ(Load(file + "JUNKJUNKJUNK"), -1);
    EXPECT_EQ(object_.faceCount, 1);
    EXPECT_FALSE(traces_.Contains("Chunk non trait\xE9 : JUNK"));

    // A form of 4 bytes holds no chunk at all.
    ASSERT_EQ(Load(LwoBuilder().Build()), -1);
    EXPECT_EQ(object_.pointCount, 0);
    EXPECT_EQ(object_.faceCount, 0);
    ASSERT_EQ(NormalPasses(), -1);
}

TEST_F(LwoTest, PointIndicesAreUnsigned) {
    Points many(40000, {0, 0, 0});
    many[39999] = {1, 0, 0};
    many[32768] = {0, 1, 0};
    ASSERT_EQ(Load(LwoBuilder().Points(many).Triangles({{0, 39999, 32768}}).Build()), -1);
    EXPECT_EQ(object_.faces[1], 39999);
    EXPECT_EQ(object_.faces[2], 32768);
}

TEST_F(LwoTest, SecondLoadStartsFromAnEmptyMesh) {
    ASSERT_EQ(Load(LwoBuilder().Points(kTriangle).Triangles({{0, 1, 2}}).Build()), -1);
    ASSERT_EQ(NormalPasses(), -1);
    ASSERT_EQ(Load(LwoBuilder().Points({{0, 0, 0}, {2, 0, 0}, {0, 0, 2}, {9, 9, 9}}).Build()), -1);
    EXPECT_EQ(object_.pointCount, 4);
    EXPECT_EQ(object_.faceCount, 0);
    EXPECT_EQ(object_.faceNormals, nullptr);
    EXPECT_EQ(object_.pointNormals, nullptr);
}

struct Malformed {
    const char* name;
    std::string bytes;
    int exitCode;
    std::string lastTrace;
};

std::string Truncated(const std::string& bytes, size_t length) {
    return bytes.substr(0, length);
}

std::string WithU32At(std::string bytes, size_t offset, uint32_t value) {
    return bytes.replace(offset, 4, LwoBuilder::U32(value));
}

TEST_F(LwoTest, MalformedFilesEndTheProcessWithCodeOne) {
    const std::string good = LwoBuilder().Points(kTriangle).Triangles({{0, 1, 2}}).Build();
    const std::string kFormat = " FILE FORMAT ERREUR !!!!!!!!!!!\n";
    const std::string kOutside = " CHUNK HORS DU FORM !!!!!!!!!!!\n";
    const std::string kIndex = " LES POINTS DES FACES DOIVENT EXISTER !!!!!!!!!!!";
    const Malformed cases[] = {
        {"not an IFF form", "MROF" + good.substr(4), 1, kFormat},
        {"LWO2 form type", LwoBuilder().Points(kTriangle).Build("LWO2"), 1,
         " FILE FORMAT ERREUR !!!!!!!!!!! \n LW5 en triangle oblig\xE9"},
        {"quadrilateral", LwoBuilder().Points(kTriangle).Polygons({{0, 1, 2, 0}}).Build(), 1,
         " LES FACES DOIVENT ETRE DES TRIANGLES !!!!!!!!!!!"},
        {"empty file", "", 1, " FICHIER TROP COURT !!!!!!!!!!!\n"},
        {"header cut short", Truncated(good, 11), 1, " FICHIER TROP COURT !!!!!!!!!!!\n"},
        {"form size beyond the file", WithU32At(good, 4, static_cast<uint32_t>(good.size() - 7)), 1,
         " TAILLE DU FORM HORS DU FICHIER !!!!!!!!!!!\n"},
        {"file cut inside a chunk", Truncated(good, good.size() - 3), 1,
         " TAILLE DU FORM HORS DU FICHIER !!!!!!!!!!!\n"},
        {"chunk header cut by the form end",
         WithU32At(LwoBuilder().Points(kTriangle).Triangles({{0, 1, 2}}).Build() + "SURF", 4,
                   static_cast<uint32_t>(good.size() - 8 + 4)),
         1, kOutside},
        {"point data past the form end", WithU32At(good, 12 + 4, 60), 1, kOutside},
        {"polygon data past the form end", WithU32At(good, 12 + 8 + 36 + 4, 20), 1, kOutside},
        {"skipped chunk past the form end",
         WithU32At(LwoBuilder().Points(kTriangle).Chunk("SRFS", kSurfaceNames).Build(),
                   12 + 8 + 36 + 4, 0xFFFFFFF0u),
         1, kOutside},
        {"point data not whole points",
         LwoBuilder().Chunk("PNTS", LwoBuilder::PointsData(kTriangle) + "x").Build(), 1,
         " TAILLE DU CHUNK PNTS PAS MULTIPLE DE 12 !!!!!!!!!!!\n"},
        {"polygon data not whole records",
         LwoBuilder()
             .Points(kTriangle)
             .Chunk("POLS", LwoBuilder::TrianglesData({{0, 1, 2}}, 1) + "xyzzy")
             .Build(),
         1, " TAILLE DU CHUNK POLS PAS MULTIPLE DE 10 !!!!!!!!!!!\n"},
        {"index equal to the point count",
         LwoBuilder().Points(kTriangle).Triangles({{0, 1, 3}}).Build(), 1, kIndex},
        {"polygons and no points", LwoBuilder().Triangles({{0, 0, 0}}).Build(), 1, kIndex},
        {"later point list too short for the faces read before it",
         LwoBuilder()
             .Points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}})
             .Triangles({{0, 1, 3}})
             .Chunk("SRFS", kSurfaceNames)
             .Points(kTriangle)
             .Build(),
         1, kIndex},
    };
    for (const Malformed& c : cases) {
        Objet3d object;
        ASSERT_TRUE(WriteFileBytes("bad.lwo", c.bytes));
        const size_t before = traces_.Texts().size();
        EXPECT_EQ(ExitCodeOf([&] { object.LoadLWO("bad.lwo"); }), c.exitCode) << c.name;
        ASSERT_GT(traces_.Texts().size(), before) << c.name;
        EXPECT_EQ(LastTrace(), c.lastTrace) << c.name;
        EXPECT_FALSE(traces_.Contains("Fin de LoadLWO")) << c.name;
    }
}

TEST_F(LwoTest, QuadrilateralTracesItsVertexCount) {
    ASSERT_EQ(Load(LwoBuilder().Points(kTriangle).Polygons({{0, 1, 2, 0}}).Build()), 1);
    const std::vector<std::string>& texts = traces_.Texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[texts.size() - 2], "nb de points ds ce triangle : 4");
}

TEST_F(LwoTest, MissingFileEndsThroughTheWholeFileReader) {
    std::string printed;
    EXPECT_EQ(ExitCodeAndOutputOf([&] { object_.LoadLWO("nowhere.lwo"); }, &printed), 2);
    EXPECT_NE(printed.find("nowhere.lwo"), std::string::npos);
}

TEST_F(LwoTest, FaceNormalFollowsTheCornerOrder) {
    ASSERT_EQ(Load(LwoBuilder()
                       .Points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 0}, {0, 7, 0}, {3, 0, 0}})
                       .Triangles({{0, 1, 2}, {3, 4, 5}})
                       .Build()),
              -1);
    ASSERT_EQ(NormalPasses(), -1);
    EXPECT_EQ(FaceNormal(0), (std::vector<float>{0, 0, 1}));
    EXPECT_EQ(FaceNormal(1), (std::vector<float>{0, 0, -1})); // clockwise, any size
    EXPECT_EQ(PointNormal(0), (std::vector<float>{0, 0, 1}));
    EXPECT_TRUE(traces_.Contains("Fin de CalcNormalesFaces()"));
    EXPECT_EQ(LastTrace(), "Fin de CalcNormalesPoints()");
    EXPECT_NE(object_.viewNormals, nullptr);
}

TEST_F(LwoTest, SharedPointsAverageTheirFacesUnweighted) {
    // The edge from (0,0,0) to (0,1,0) joins a face of normal (0,0,1) and a face of normal
    // (1,0,0); the second face is much larger, which changes nothing.
    ASSERT_EQ(Load(LwoBuilder()
                       .Points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, -9}})
                       .Triangles({{0, 1, 2}, {0, 3, 2}})
                       .Build()),
              -1);
    ASSERT_EQ(NormalPasses(), -1);
    EXPECT_EQ(FaceNormal(1), (std::vector<float>{1, 0, 0}));
    EXPECT_EQ(PointNormal(0), (std::vector<float>{0.70710677f, 0, 0.70710677f}));
    EXPECT_EQ(PointNormal(2), (std::vector<float>{0.70710677f, 0, 0.70710677f}));
    EXPECT_EQ(PointNormal(1), (std::vector<float>{0, 0, 1}));
    EXPECT_EQ(PointNormal(3), (std::vector<float>{1, 0, 0}));
}

TEST_F(LwoTest, NormalsWithoutDirectionEndTheProcess) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* name;
        Points points;
        std::vector<LwoBuilder::Triangle> triangles;
    };
    const Case cases[] = {
        {"collinear corners", {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}}, {{0, 1, 2}}},
        {"a corner that is not a number", {{0, 0, 0}, {1, 0, 0}, {0, nan, 0}}, {{0, 1, 2}}},
        {"a point no face uses", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {5, 5, 5}}, {{0, 1, 2}}},
        {"face normals that cancel out", kTriangle, {{0, 1, 2}, {0, 2, 1}}},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Load(LwoBuilder().Points(c.points).Triangles(c.triangles).Build()), -1) << c.name;
        EXPECT_EQ(NormalPasses(), 1) << c.name;
        EXPECT_EQ(LastTrace(), "dommage: norme = 0") << c.name;
    }
}

// A 24-bit BMP file of the given size, pixel (x, y) = 0x00RRGGBB with red = x, green = y.
void WriteImage(const char* path, int width, int height) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 3];
            p[0] = 0x40;
            p[1] = static_cast<uint8_t>(y);
            p[2] = static_cast<uint8_t>(x);
        }
    ASSERT_EQ(WriteBMP(path, pixels.data(), width, height, 24, nullptr), 0);
}

TEST_F(LwoTest, EnvironmentMapMustCoverTheTexelsTheRasterizerReads) {
    WriteImage("env.bmp", 256, 256);
    ASSERT_EQ(ExitCodeOf([&] { object_.LoadEnvMap("env.bmp"); }), -1);
    EXPECT_EQ(object_.envMap.width, 256);
    EXPECT_EQ(object_.envMap.data[7 * 256 + 200], 0xC80740u);

    for (auto size : {std::pair<int, int>{128, 128}, {256, 252}, {252, 256}, {512, 512}}) {
        WriteImage("other.bmp", size.first, size.second);
        Objet3d object;
        EXPECT_EQ(ExitCodeOf([&] { object.LoadEnvMap("other.bmp"); }), kFatalExitCode);
        EXPECT_EQ(std::string(LastFatalMessage()),
                  "Texture d'environnement de mauvaise taille : other.bmp (" +
                      std::to_string(size.first) + "x" + std::to_string(size.second) +
                      " au lieu de 256x256) !!\n");
    }
    Objet3d object;
    EXPECT_EQ(ExitCodeOf([&] { object.LoadEnvMap("missing.bmp"); }), kFatalExitCode);
}

} // namespace
