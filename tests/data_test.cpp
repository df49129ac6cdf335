// The generated data tree: written whole by the mkdata program, the same bytes on every run,
// and read back with the show's own readers with every size and limit the scenes rely on.
#include "assets/bmp.h"
#include "assets/inifile.h"
#include "assets/surface.h"
#include "base/process.h"
#include "engine3d/camera.h"
#include "engine3d/objet3d.h"
#include "mkdata/draw.h"
#include "mkdata/font.h"
#include "mkdata/icon.h"
#include "mkdata/images.h"
#include "mkdata/mesh.h"
#include "support/process_capture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

#ifndef DEMO_PROGRAM_RUNNER
#define DEMO_PROGRAM_RUNNER "" // what starts the build's programs: nothing, or an emulator
#endif

// Runs this build's mkdata once into a fresh folder, shared by the suite. The show names its
// files "data/...", relative to the folder it runs in; Path() resolves such names here.
class DataTree : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        root_ = (fs::temp_directory_path() / ("data_test_" + std::to_string(getpid()))).string();
        fs::remove_all(root_);
        fs::create_directories(root_);
        std::string command = DEMO_PROGRAM_RUNNER "\"" + std::string(DEMO_BINARY_DIR) +
                              "/mkdata\" \"" + root_ + "/data\" > \"" + root_ +
                              "/mkdata.log\" 2>&1";
#ifdef _WIN32
        command = "\"" + command + "\""; // cmd.exe takes off the outer pair of quotes
#endif
        exitStatus_ = std::system(command.c_str());
    }
    static void TearDownTestSuite() {
        fs::remove_all(root_);
    }
    void SetUp() override {
        ASSERT_EQ(exitStatus_, 0) << ReadFileBytes(root_ + "/mkdata.log");
    }

    static std::string Path(const std::string& showPath) {
        return root_ + "/" + showPath;
    }

    // Loads an image as the scenes do; fails the test instead of ending the process.
    static std::unique_ptr<Surface> Load(const std::string& showPath) {
        std::unique_ptr<Surface> surface = std::make_unique<Surface>();
        EXPECT_EQ(ExitCodeOf([&] { surface->Load(Path(showPath).c_str()); }), -1) << showPath;
        return surface;
    }

    static std::string root_;
    static int exitStatus_;
};

std::string DataTree::root_;
int DataTree::exitStatus_ = -1;

// Every file of a tree, by its path below the tree's root.
std::map<std::string, uint64_t> FileHashes(const std::string& root) {
    std::map<std::string, uint64_t> hashes;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file())
            continue;
        std::string bytes = ReadFileBytes(entry.path().string());
        uint64_t hash = 14695981039346656037ull; // FNV-1a
        for (unsigned char c : bytes)
            hash = (hash ^ c) * 1099511628211ull;
        hashes[fs::relative(entry.path(), root).generic_string()] = hash;
    }
    return hashes;
}

TEST_F(DataTree, HoldsEveryFileTheShowReadsWithTheSameBytesAsTheBuildsOwnRun) {
    const char* const showFiles[] = {"particules/forme.bmp",
                                     "particules/forme2.bmp",
                                     "particules/forme3.bmp",
                                     "particules/light2.bmp",
                                     "klvlogo.bmp",
                                     "3d/u_mec.lwo",
                                     "3d/env_neg.bmp",
                                     "boule/anim_cercle2.bmp",
                                     "boule/boule.ini",
                                     "boule/tex7c.bmp",
                                     "zoom/texture1.bmp",
                                     "rotozoom/texture.bmp",
                                     "boule/under.bmp",
                                     "logofin.bmp",
                                     "mirel.xm"};
    std::map<std::string, uint64_t> here = FileHashes(Path("data"));
    for (const char* file : showFiles)
        EXPECT_EQ(here.count(file), 1u) << file;

    // The build ran mkdata into its own data/ (and marked it complete): a second run, here,
    // must give the same files with the same bytes.
    std::map<std::string, uint64_t> build = FileHashes(std::string(DEMO_BINARY_DIR) + "/data");
    build.erase(".complete");
    EXPECT_EQ(here, build);
}

struct ImageRule {
    const char* path;
    int width;  // exact width, or 0 when only maxWidth holds
    int height; // exact height, or 0 when only maxHeight holds
    int maxWidth;
    int maxHeight;
    int frames; // the height must split into this many equal frames
};

// Sizes the scenes rely on: 320 x 200 shapes, 256 x 256 textures, strips of 4 and 30 frames
// (three of the first side by side with 5-pixel gaps; the second drawn at columns 384 and 448),
// and sprites and logos that fit the frame.
const ImageRule kImageRules[] = {
    {"data/particules/forme.bmp", 320, 200, 320, 200, 1},
    {"data/particules/forme2.bmp", 320, 200, 320, 200, 1},
    {"data/particules/forme3.bmp", 320, 200, 320, 200, 1},
    {"data/particules/light2.bmp", 0, 0, 32, 32, 1},
    {"data/klvlogo.bmp", 0, 0, 512, 256, 1},
    {"data/3d/env_neg.bmp", 256, 256, 256, 256, 1},
    {"data/boule/anim_cercle2.bmp", 0, 0, (512 - 10) / 3, 4 * 256, 4},
    {"data/boule/tex7c.bmp", 256, 256, 256, 256, 1},
    {"data/zoom/texture1.bmp", 256, 256, 256, 256, 1},
    {"data/rotozoom/texture.bmp", 256, 256, 256, 256, 1},
    {"data/boule/under.bmp", 0, 0, 512, 256, 1},
    {"data/logofin.bmp", 0, 0, 512, 256, 1},
};

void CheckImageRule(const ImageRule& rule, const std::string& file) {
    SCOPED_TRACE(rule.path);
    uint8_t* pixels = nullptr;
    uint8_t* palette = nullptr;
    int width = 0, height = 0, bpp = 0;
    ASSERT_EQ(ReadBMP(file.c_str(), &pixels, &width, &height, &bpp, &palette), 0);
    std::free(pixels);
    std::free(palette);
    EXPECT_EQ(bpp, 24);
    EXPECT_EQ(width % 4, 0);
    if (rule.width) {
        EXPECT_EQ(width, rule.width);
    }
    if (rule.height) {
        EXPECT_EQ(height, rule.height);
    }
    EXPECT_GT(width, 0);
    EXPECT_LE(width, rule.maxWidth);
    EXPECT_GE(height, rule.frames);
    EXPECT_LE(height, rule.maxHeight);
    EXPECT_EQ(height % rule.frames, 0);
}

TEST_F(DataTree, ImagesAreTwentyFourBitWithTheSizesTheScenesRead) {
    for (const ImageRule& rule : kImageRules) {
        CheckImageRule(rule, Path(rule.path));
        Load(rule.path);
    }
}

// Number of pixels that are not 0 (the particle scene's targets).
int LitPixels(const Surface& image) {
    int lit = 0;
    for (int i = 0; i < image.width * image.height; ++i)
        lit += image.data[i] != 0;
    return lit;
}

TEST_F(DataTree, ParticleShapesHaveEnoughLitPixelsButNotTooMany) {
    for (const char* path : {"data/particules/forme.bmp", "data/particules/forme2.bmp",
                             "data/particules/forme3.bmp"}) {
        std::unique_ptr<Surface> shape = Load(path);
        int lit = LitPixels(*shape);
        EXPECT_GE(lit, mkdata::kShapeMinLitPixels) << path;
        EXPECT_LE(lit, mkdata::kShapeMaxLitPixels) << path;
    }
}

// Largest channel of a pixel.
int Brightest(uint32_t pixel) {
    int r = (pixel >> 16) & 255, g = (pixel >> 8) & 255, b = pixel & 255;
    return r > g ? (r > b ? r : b) : (g > b ? g : b);
}

TEST_F(DataTree, AddedImagesHaveBlackBordersSoNoBoxShows) {
    // Sprites, strips and logos are added onto the frame: black adds nothing, anything else
    // would draw the edge of the image.
    for (const char* path : {"data/particules/light2.bmp", "data/klvlogo.bmp",
                             "data/boule/anim_cercle2.bmp", "data/boule/octet.bmp",
                             "data/boule/logo.bmp", "data/boule/under.bmp", "data/logofin.bmp"}) {
        std::unique_ptr<Surface> image = Load(path);
        int brightest = 0;
        for (int y = 0; y < image->height; ++y) {
            for (int x = 0; x < image->width; ++x) {
                if (x == 0 || y == 0 || x == image->width - 1 || y == image->height - 1) {
                    int b = Brightest(image->data[y * image->width + x]);
                    brightest = b > brightest ? b : brightest;
                }
            }
        }
        EXPECT_LE(brightest, 4) << path;
    }
}

// Mean absolute channel difference between column x and column (x + 1) mod 256 (or rows).
double EdgeDifference(const Surface& texture, int index, bool columns) {
    double sum = 0.0;
    for (int i = 0; i < 256; ++i) {
        uint32_t a = columns ? texture.data[i * 256 + index] : texture.data[index * 256 + i];
        int next = (index + 1) % 256;
        uint32_t b = columns ? texture.data[i * 256 + next] : texture.data[next * 256 + i];
        for (int shift = 0; shift < 24; shift += 8)
            sum += std::abs(int((a >> shift) & 255) - int((b >> shift) & 255));
    }
    return sum / 256.0;
}

TEST_F(DataTree, TexturesRepeatWithoutVisibleSeams) {
    // The wrap from the last column (row) to the first must be no harsher than the harshest
    // step between two neighbouring columns (rows) inside the texture.
    for (const char* path : {"data/boule/tex7c.bmp", "data/zoom/texture1.bmp",
                             "data/rotozoom/texture.bmp", "data/boule/boule.bmp"}) {
        std::unique_ptr<Surface> texture = Load(path);
        ASSERT_EQ(texture->width, 256);
        for (bool columns : {true, false}) {
            double worstInside = 0.0;
            for (int i = 0; i < 255; ++i) {
                double d = EdgeDifference(*texture, i, columns);
                worstInside = d > worstInside ? d : worstInside;
            }
            EXPECT_LE(EdgeDifference(*texture, 255, columns), worstInside)
                << path << (columns ? " columns" : " rows");
        }
    }
}

// How much a pixel lifts the radial blur's ray that runs through it, per channel, on average
// over the image: the ray keeps its value minus one plus 23/1000 of the pixel's, so levels of
// 87 and more lift it, levels under 44 lower it. Red, green, blue.
std::vector<double> MeanRayLift(const Surface& image) {
    std::vector<double> lift(3, 0.0);
    for (int i = 0; i < image.width * image.height; ++i)
        for (int channel = 0; channel < 3; ++channel)
            lift[channel] += 23 * int((image.data[i] >> (16 - 8 * channel)) & 255) / 1000 - 1;
    for (double& l : lift)
        l /= double(image.width) * image.height;
    return lift;
}

TEST_F(DataTree, BlurredScenesImagesNeitherWashOutNorFadeToBlack) {
    // The ball and the rotozoom fill the whole frame before the blur: a texture that lifts the
    // rays too much turns the frame into a white sheet, one that lifts no channel leaves it
    // nearly black.
    for (const char* path : {"data/boule/boule.bmp", "data/rotozoom/texture.bmp"}) {
        std::vector<double> lift = MeanRayLift(*Load(path));
        for (double l : lift)
            EXPECT_LE(l, 0.8) << path;
        EXPECT_GE(*std::max_element(lift.begin(), lift.end()), 0.1) << path;
    }
    // The object stands alone on black: its reflections must lift the rays enough to carry
    // light outward, and not so much that they flood the frame.
    std::vector<double> lift = MeanRayLift(*Load("data/3d/env_neg.bmp"));
    double strongest = *std::max_element(lift.begin(), lift.end());
    EXPECT_GE(strongest, 0.5);
    EXPECT_LE(strongest, 2.0);
}

TEST_F(DataTree, ParameterFileNamesTheBallImagesAndPleasantSpeeds) {
    std::string text = ReadFileBytes(Path("data/boule/boule.ini"));
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text[0], ';');
    EXPECT_EQ(text.find('\r'), std::string::npos);

    std::string cwd = fs::current_path().string();
    fs::current_path(root_); // the file's paths are relative to the show's folder
    {
        std::unique_ptr<IniFile> ini;
        ASSERT_EQ(ExitCodeOf([&] { ini = std::make_unique<IniFile>("data/boule/boule.ini"); }), -1);
        const char* texture = ini->FindText("[boule_text]");
        const char* strip = ini->FindText("[anim_octet]");
        const char* logo = ini->FindText("[boule_logo]");
        ASSERT_TRUE(texture && strip && logo);
        CheckImageRule({"[boule_text]", 256, 256, 256, 256, 1}, texture);
        CheckImageRule({"[anim_octet]", 0, 0, 64, 30 * 256, 30}, strip);
        CheckImageRule({"[boule_logo]", 0, 0, 512, 256, 1}, logo);

        // The camera turns by 0.3 radian per unit of scaled time; the animation shows
        // speed x factor frames per second.
        double speed = ini->FindNumber("[boule_vitesse]");
        double frames = ini->FindNumber("[anim_speed]");
        EXPECT_GT(speed, 0.2);
        EXPECT_LT(speed, 3.0);
        EXPECT_GE(speed * frames, 8.0);
        EXPECT_LE(speed * frames, 30.0);
    }
    fs::current_path(cwd);
}

// Loads the mesh with both normal passes; fails the test on a fatal end.
void LoadMesh(Objet3d& mesh, const std::string& path) {
    EXPECT_EQ(ExitCodeOf([&] {
                  mesh.LoadLWO(path.c_str());
                  mesh.CalcNormalesFaces();
                  mesh.CalcNormalesPoints();
              }),
              -1);
}

struct Vec {
    double x, y, z;
};

Vec PointOf(const Objet3d& mesh, int i) {
    return {mesh.points[i * 3], mesh.points[i * 3 + 1], mesh.points[i * 3 + 2]};
}

TEST_F(DataTree, MeshIsTheGeneratorsMeshAndLoadsWithBothNormalPasses) {
    Objet3d mesh;
    LoadMesh(mesh, Path("data/3d/u_mec.lwo"));
    mkdata::Mesh built = mkdata::BuildMannequin();
    ASSERT_EQ(mesh.pointCount, int(built.points.size()));
    ASSERT_EQ(mesh.faceCount, int(built.triangles.size()));
    EXPECT_GE(mesh.faceCount, 1000);
    EXPECT_LE(mesh.faceCount, 8000);
    for (int i = 0; i < mesh.pointCount; ++i)
        for (int k = 0; k < 3; ++k)
            ASSERT_EQ(mesh.points[i * 3 + k], built.points[i][k]) << i;
    for (int f = 0; f < mesh.faceCount; ++f)
        for (int k = 0; k < 3; ++k)
            ASSERT_EQ(mesh.faces[f * 3 + k], built.triangles[f][k]) << f;
}

TEST_F(DataTree, MeshIsClosedWoundOutwardAndWithinReachOfTheCamera) {
    Objet3d mesh;
    LoadMesh(mesh, Path("data/3d/u_mec.lwo"));
    ASSERT_GT(mesh.faceCount, 0);

    // Every point near the scene's aim point (0, 60, 0) and used by a face.
    std::vector<int> uses(mesh.pointCount, 0);
    for (int f = 0; f < mesh.faceCount * 3; ++f)
        uses[mesh.faces[f]]++;
    for (int i = 0; i < mesh.pointCount; ++i) {
        Vec p = PointOf(mesh, i);
        EXPECT_LE(std::sqrt(p.x * p.x + (p.y - 60) * (p.y - 60) + p.z * p.z), 8.0) << i;
        EXPECT_GT(uses[i], 0) << i;
    }

    // Closed and consistently wound: every edge a -> b of a face is matched by exactly one
    // edge b -> a of another face.
    std::map<std::pair<int, int>, int> edges;
    for (int f = 0; f < mesh.faceCount; ++f)
        for (int k = 0; k < 3; ++k)
            edges[{mesh.faces[f * 3 + k], mesh.faces[f * 3 + (k + 1) % 3]}]++;
    for (const auto& [edge, count] : edges) {
        ASSERT_EQ(count, 1) << edge.first << "-" << edge.second;
        ASSERT_EQ(edges.count({edge.second, edge.first}), 1u) << edge.first << "-" << edge.second;
    }

    // Outward: each closed part (faces joined through shared points) encloses a positive
    // volume, and no triangle is a sliver.
    std::vector<int> part(mesh.pointCount);
    for (int i = 0; i < mesh.pointCount; ++i)
        part[i] = i;
    auto find = [&](int i) {
        while (part[i] != i)
            i = part[i] = part[part[i]];
        return i;
    };
    for (int f = 0; f < mesh.faceCount; ++f)
        for (int k = 1; k < 3; ++k)
            part[find(mesh.faces[f * 3 + k])] = find(mesh.faces[f * 3]);
    std::map<int, double> volumes;
    for (int f = 0; f < mesh.faceCount; ++f) {
        Vec a = PointOf(mesh, mesh.faces[f * 3]), b = PointOf(mesh, mesh.faces[f * 3 + 1]),
            c = PointOf(mesh, mesh.faces[f * 3 + 2]);
        a.y -= 60, b.y -= 60, c.y -= 60;
        volumes[find(mesh.faces[f * 3])] +=
            (a.x * (b.y * c.z - b.z * c.y) + a.y * (b.z * c.x - b.x * c.z) +
             a.z * (b.x * c.y - b.y * c.x)) /
            6.0;
        Vec e1{b.x - a.x, b.y - a.y, b.z - a.z}, e2{c.x - a.x, c.y - a.y, c.z - a.z};
        Vec n{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x};
        EXPECT_GT(std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z) / 2.0, 1e-4) << f;
    }
    EXPECT_GE(volumes.size(), 2u);
    for (const auto& [root, volume] : volumes)
        EXPECT_GT(volume, 0.0) << "part of point " << root;
}

TEST_F(DataTree, MeshStandsUprightAndFillsTheViewFromEverySide) {
    Objet3d mesh;
    LoadMesh(mesh, Path("data/3d/u_mec.lwo"));
    ASSERT_EQ(ExitCodeOf([&] { mesh.LoadEnvMap(Path("data/3d/env_neg.bmp").c_str()); }), -1);
    mesh.SetPosition(0, 0, 0);

    // Taller than wide, with the head (the points of smallest y: up on the screen) on the
    // vertical axis and the feet apart below.
    double top = 1e9, bottom = -1e9, left = 1e9, right = -1e9;
    for (int i = 0; i < mesh.pointCount; ++i) {
        Vec p = PointOf(mesh, i);
        top = p.y < top ? p.y : top;
        bottom = p.y > bottom ? p.y : bottom;
        left = p.x < left ? p.x : left;
        right = p.x > right ? p.x : right;
    }
    EXPECT_GT(bottom - top, 1.5 * (right - left));
    for (int i = 0; i < mesh.pointCount; ++i) {
        Vec p = PointOf(mesh, i);
        if (p.y < top + 0.5) {
            EXPECT_LT(std::sqrt(p.x * p.x + p.z * p.z), 1.0) << i;
        }
    }

    // The object scene's camera on a full turn: the figure is drawn whole (a margin of black
    // all round) and large enough on screen.
    for (int step = 0; step < 24; ++step) {
        double t = 35.0 + step * 25.0 / 24.0;
        float cx = float(std::sin(t) * -20.0), cy = float(60.0 - std::sin(t * 1.3) * 20.0),
              cz = float(std::cos(t) * -20.0);
        float dx = -cx, dy = 60.0f - cy, dz = -cz;
        float length = float(std::sqrt(double(dx) * dx + double(dy) * dy + double(dz) * dz));
        CameraMatrix matrix;
        BuildCameraMatrix(matrix, dx / length, dy / length, dz / length, 0.0);
        std::vector<uint32_t> frame(512 * 256, 0);
        mesh.Render(matrix, Vec3f{cx, cy, cz}, frame.data());
        int drawn = 0, minX = 512, maxX = -1, minY = 256, maxY = -1;
        for (int y = 0; y < 256; ++y) {
            for (int x = 0; x < 512; ++x) {
                if (frame[y * 512 + x] == 0)
                    continue;
                ++drawn;
                minX = x < minX ? x : minX, maxX = x > maxX ? x : maxX;
                minY = y < minY ? y : minY, maxY = y > maxY ? y : maxY;
            }
        }
        SCOPED_TRACE("t = " + std::to_string(t));
        EXPECT_GE(drawn, 2400);
        EXPECT_GE(minX, 8);
        EXPECT_LE(maxX, 503);
        EXPECT_GE(minY, 4);
        EXPECT_LE(maxY, 251);
        EXPECT_GE(maxY - minY, 100);
    }
}

TEST(PixelFont, EveryGlyphIsFiveDotsWideWithOnlyDotsAndBlanks) {
    for (int c = 32; c < 127; ++c) {
        const char* const* rows = mkdata::GlyphRows(char(c));
        bool letterOrDigit =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (letterOrDigit) {
            EXPECT_NE(rows, nullptr) << char(c);
        }
        if (!rows)
            continue;
        for (int row = 0; row < mkdata::kGlyphRows; ++row) {
            ASSERT_NE(rows[row], nullptr) << char(c) << " row " << row;
            EXPECT_EQ(std::string(rows[row]).find_first_not_of("#."), std::string::npos)
                << char(c) << " row " << row;
            EXPECT_EQ(std::string(rows[row]).size(), size_t(mkdata::kGlyphColumns))
                << char(c) << " row " << row;
        }
    }
}

TEST(Drawing, NoiseAndCellsRepeatExactlyOverTheirTile) {
    mkdata::TilingNoise noise(5, 8);
    mkdata::TilingFractal fractal(6, 4, 4, 0.5);
    mkdata::TilingCells cells(7, 6, 256);
    for (double x = -3.7; x < 20; x += 1.37) {
        for (double y = -5.1; y < 20; y += 2.11) {
            EXPECT_NEAR(noise.Value(x + 8, y), noise.Value(x, y), 1e-12);
            EXPECT_NEAR(noise.Value(x, y - 16), noise.Value(x, y), 1e-12);
            EXPECT_NEAR(fractal.Value(x + 256, y + 256), fractal.Value(x, y), 1e-12);
            double a1, a2, b1, b2;
            cells.Distances(x, y, &a1, &a2);
            cells.Distances(x + 256, y - 256, &b1, &b2);
            EXPECT_NEAR(a1, b1, 1e-9);
            EXPECT_NEAR(a2, b2, 1e-9);
        }
    }
}

TEST(Drawing, SaveImageRefusesWidthsTheReadersRefuseAndFoldersItCannotWrite) {
    TempWorkingDirectory folder;
    EXPECT_EQ(ExitCodeOf([] { mkdata::SaveImage(mkdata::Canvas(30, 8), "odd.bmp"); }),
              kFatalExitCode);
    EXPECT_FALSE(fs::exists("odd.bmp"));
    EXPECT_EQ(ExitCodeOf([] { mkdata::SaveImage(mkdata::Canvas(8, 8), "missing/x.bmp"); }),
              kFatalExitCode);

    // An asymmetric picture with out-of-range channels reads back clamped, pixel for pixel.
    mkdata::Canvas canvas(12, 5);
    canvas.Set(0, 0, {300, -20, 127.5});
    canvas.Set(11, 4, {1, 2, 3});
    ASSERT_EQ(ExitCodeOf([&] { mkdata::SaveImage(canvas, "ok.bmp"); }), -1);
    Surface surface("ok.bmp");
    ASSERT_EQ(surface.width, 12);
    ASSERT_EQ(surface.height, 5);
    EXPECT_EQ(surface.data[0], 0xFF0080u);
    EXPECT_EQ(surface.data[12 * 5 - 1], 0x010203u);
    EXPECT_EQ(surface.data[1], 0u);
}

// The icon file, read back field by field: a 33-pixel picture (mask rows padded to 8 bytes) with
// a different word in every pixel, and the program's own icon at its four sizes.
TEST(ProgramIcon, FileHoldsEachPictureBottomRowFirstWithAMaskOfItsTransparentPixels) {
    auto u16 = [](const std::vector<uint8_t>& b, size_t at) { return b[at] | b[at + 1] << 8; };
    auto u32 = [&](const std::vector<uint8_t>& b, size_t at) {
        return uint32_t(u16(b, at)) | uint32_t(u16(b, at + 2)) << 16;
    };
    mkdata::IconPicture odd{33, std::vector<uint32_t>(33 * 33)};
    for (uint32_t i = 0; i < odd.pixels.size(); ++i)
        odd.pixels[i] = (i % 5 == 0 ? 0u : 0xFF000000u) | i * 2654435761u >> 8;
    const std::vector<uint8_t> bytes = mkdata::IconFileBytes({odd});
    ASSERT_EQ(bytes.size(), 6u + 16 + 40 + 33 * 33 * 4 + 33 * 8);
    EXPECT_EQ(u16(bytes, 2), 1);                  // an icon, not a cursor
    EXPECT_EQ(u16(bytes, 4), 1);                  // one picture
    EXPECT_EQ(u32(bytes, 14), bytes.size() - 22); // its bytes
    EXPECT_EQ(u32(bytes, 18), 22u);               // where they start
    EXPECT_EQ(u32(bytes, 22 + 8), 66u);           // height: colour and mask rows
    int wrongPixels = 0, wrongMask = 0;
    for (int y = 0; y < 33; ++y)
        for (int x = 0; x < 33; ++x) {
            const uint32_t word = odd.pixels[size_t(y) * 33 + size_t(x)];
            const size_t row = size_t(32 - y); // the file's rows run from the bottom up
            wrongPixels += u32(bytes, 62 + (row * 33 + size_t(x)) * 4) != word;
            const uint8_t mask = bytes[62 + 33 * 33 * 4 + row * 8 + size_t(x) / 8];
            wrongMask += ((mask >> (7 - x % 8)) & 1) != (word >> 24 == 0);
        }
    EXPECT_EQ(wrongPixels, 0);
    EXPECT_EQ(wrongMask, 0);

    for (int size : mkdata::kIconSizes) {
        SCOPED_TRACE(size);
        const mkdata::IconPicture icon = mkdata::PaintIcon(size);
        ASSERT_EQ(icon.pixels.size(), size_t(size) * size_t(size));
        EXPECT_EQ(icon.pixels.front() >> 24, 0u); // the tile's rounded corners are clear
        EXPECT_EQ(icon.pixels.back() >> 24, 0u);
        const uint32_t centre = icon.pixels[size_t(size) * size_t(size / 2) + size_t(size / 2)];
        EXPECT_EQ(centre >> 24, 255u);
        EXPECT_GT((centre >> 16 & 0xFF) + (centre >> 8 & 0xFF), 200u); // the emblem's warm glow
    }
}

// The PNG icon for Linux desktops, read back: the chunks and their CRCs (IEND's is the known
// AE 42 60 82), the stored deflate blocks undone into rows of RGBA under a filter byte of 0, and
// the zlib stream's Adler-32 of them. 150 pixels square makes 90,150 bytes of rows: two blocks.
TEST(ProgramIcon, PngHoldsRowsOfRgbaInStoredBlocks) {
    auto be32 = [](const std::vector<uint8_t>& b, size_t at) {
        return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 |
               b[at + 3];
    };
    const mkdata::IconPicture icon = mkdata::PaintIcon(150);
    const std::vector<uint8_t> png = mkdata::PngFileBytes(icon);
    const uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    ASSERT_GT(png.size(), 8u + 25 + 12 + 12);
    EXPECT_TRUE(std::equal(signature, signature + 8, png.begin()));
    EXPECT_EQ(be32(png, 8), 13u);
    EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
    EXPECT_EQ(be32(png, 16), 150u);
    EXPECT_EQ(be32(png, 20), 150u);
    EXPECT_EQ(png[24], 8);
    EXPECT_EQ(png[25], 6); // RGBA
    const size_t idat = 8 + 25;
    const uint32_t idatLength = be32(png, idat);
    EXPECT_EQ(std::string(png.begin() + long(idat) + 4, png.begin() + long(idat) + 8), "IDAT");
    const std::vector<uint8_t> tail(png.end() - 12, png.end());
    EXPECT_EQ(tail, (std::vector<uint8_t>{0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82}));
    ASSERT_EQ(png.size(), idat + 12 + idatLength + 12);

    std::vector<uint8_t> rows;
    size_t at = idat + 8 + 2; // after the zlib header
    int blocks = 0;
    for (bool last = false; !last; ++blocks) {
        last = png[at] & 1;
        const size_t length = png[at + 1] | png[at + 2] << 8;
        EXPECT_EQ(png[at], last ? 1 : 0); // stored
        EXPECT_EQ(length ^ 0xFFFFu, size_t(png[at + 3] | png[at + 4] << 8));
        rows.insert(rows.end(), png.begin() + long(at) + 5, png.begin() + long(at + 5 + length));
        at += 5 + length;
    }
    EXPECT_EQ(blocks, 2);
    ASSERT_EQ(rows.size(), 150u * (1 + 150 * 4));
    uint32_t a = 1, b = 0;
    for (uint8_t byte : rows) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    EXPECT_EQ(be32(png, at), b << 16 | a);
    int wrong = 0;
    for (size_t y = 0; y < 150; ++y) {
        const uint8_t* row = rows.data() + y * (1 + 150 * 4);
        wrong += row[0] != 0;
        for (size_t x = 0; x < 150; ++x) {
            const uint32_t argb = icon.pixels[y * 150 + x];
            const uint8_t* p = row + 1 + x * 4;
            wrong +=
                (uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]) != argb;
        }
    }
    EXPECT_EQ(wrong, 0);
}

} // namespace
