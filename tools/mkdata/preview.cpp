#include "mkdata/preview.h"

#include "assets/bmp.h"
#include "engine3d/camera.h"
#include "engine3d/objet3d.h"
#include "mkdata/draw.h"
#include "mkdata/images.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace mkdata {

namespace {

// A canvas holding 32-bit words exactly (whole channel values convert back unchanged).
Canvas CanvasOf(const uint32_t* words, int width, int height) {
    Canvas canvas(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint32_t w = words[size_t(y) * size_t(width) + size_t(x)];
            canvas.Set(x, y,
                       Color{double((w >> 16) & 255), double((w >> 8) & 255), double(w & 255)});
        }
    }
    return canvas;
}

// Reads a 24-bit image of the tree as 32-bit words.
std::vector<uint32_t> ReadWords(const std::string& path, int* width, int* height) {
    uint8_t* pixels = nullptr;
    uint8_t* palette = nullptr;
    int bpp = 0;
    if (ReadBMP(path.c_str(), &pixels, width, height, &bpp, &palette) != 0 || bpp != 24) {
        std::free(pixels);
        std::free(palette);
        GeneratorFailure("cannot read " + path + " as a 24-bit BMP");
    }
    std::vector<uint32_t> words(size_t(*width) * size_t(*height));
    UnpackBGR24(pixels, words.data(), int(words.size()));
    std::free(pixels);
    std::free(palette);
    return words;
}

// Lays the frames of a vertical strip out in a grid of `columns` frames per row.
Canvas LayOutStrip(const Canvas& strip, int frames, int columns) {
    int frameHeight = strip.Height() / frames;
    int rows = (frames + columns - 1) / columns;
    Canvas grid(strip.Width() * columns, frameHeight * rows);
    for (int frame = 0; frame < frames; ++frame) {
        int left = (frame % columns) * strip.Width(), top = (frame / columns) * frameHeight;
        for (int y = 0; y < frameHeight; ++y)
            for (int x = 0; x < strip.Width(); ++x)
                grid.Set(left + x, top + y, strip.Get(x, frame * frameHeight + y));
    }
    return grid;
}

Canvas Repeat(const Canvas& tile, int times) {
    Canvas out(tile.Width() * times, tile.Height() * times);
    for (int y = 0; y < out.Height(); ++y)
        for (int x = 0; x < out.Width(); ++x)
            out.Set(x, y, tile.Get(x % tile.Width(), y % tile.Height()));
    return out;
}

Canvas ScaleUp(const Canvas& image, int factor) {
    Canvas out(image.Width() * factor, image.Height() * factor);
    for (int y = 0; y < out.Height(); ++y)
        for (int x = 0; x < out.Width(); ++x)
            out.Set(x, y, image.Get(x / factor, y / factor));
    return out;
}

std::string TileName(int index, const std::string& path) {
    std::string name = path.substr(0, path.size() - 4); // without ".bmp"
    for (char& c : name)
        if (c == '/')
            c = '-';
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%02d-", index);
    return prefix + name + ".bmp";
}

// The object scene's camera at scene-clock time t, and the mesh drawn from it.
Canvas RenderMeshView(Objet3d& mesh, double t) {
    const float cx = float(std::sin(t) * -20.0);
    const float cy = float(60.0 - std::sin(t * 1.3) * 20.0);
    const float cz = float(std::cos(t) * -20.0);
    const float dx = -cx, dy = 60.0f - cy, dz = -cz;
    const float length = float(std::sqrt(double(dx) * dx + double(dy) * dy + double(dz) * dz));
    CameraMatrix matrix;
    BuildCameraMatrix(matrix, dx / length, dy / length, dz / length, 0.0);
    std::vector<uint32_t> frame(512 * 256, 0);
    mesh.Render(matrix, Vec3f{cx, cy, cz}, frame.data());
    return CanvasOf(frame.data(), 512, 256);
}

} // namespace

void WriteContactSheetParts(const std::string& dataDir, const std::string& outDir) {
    MakeFolder(outDir + "/tiles");
    MakeFolder(outDir + "/mesh");
    int index = 1;
    for (const ImageFile& image : ShowImages()) {
        int width = 0, height = 0;
        std::vector<uint32_t> words = ReadWords(dataDir + "/" + image.path, &width, &height);
        Canvas canvas = CanvasOf(words.data(), width, height);
        if (image.frames > 1)
            canvas = LayOutStrip(canvas, image.frames, image.frames < 10 ? image.frames : 10);
        if (image.kind == ImageKind::kTexture)
            canvas = Repeat(canvas, 2);
        int longest = canvas.Width() > canvas.Height() ? canvas.Width() : canvas.Height();
        if (longest * 2 <= 384)
            canvas = ScaleUp(canvas, 384 / longest);
        SaveImage(canvas, outDir + "/tiles/" + TileName(index++, image.path));
    }

    Objet3d mesh;
    std::string meshPath = dataDir + "/3d/u_mec.lwo", envPath = dataDir + "/3d/env_neg.bmp";
    mesh.LoadLWO(meshPath.c_str());
    mesh.CalcNormalesFaces();
    mesh.CalcNormalesPoints();
    mesh.LoadEnvMap(envPath.c_str());
    mesh.SetPosition(0.0f, 0.0f, 0.0f);
    // Three moments of the scene: from the front a little above, from behind and above (the
    // camera at its highest), from the side and below (at its lowest).
    const struct {
        double t;
        const char* name;
    } views[] = {{40.84, "1-front-t40.84"}, {44.71, "2-above-t44.71"}, {51.96, "3-below-t51.96"}};
    for (const auto& view : views)
        SaveImage(RenderMeshView(mesh, view.t), outDir + "/mesh/" + view.name + ".bmp");
}

} // namespace mkdata
