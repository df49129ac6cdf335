#include "scenes/rotozoom.h"

#include "assets/surface.h"
#include "base/numeric.h"
#include "base/vector_forms.h"
#include "fx/blit.h"
#include "fx/radialblur.h"
#include "scenes/rotozoom_forms.h"
#include "scenes/scene_assets.h"
#include "scenes/scenes.h"
#include "shell/clock.h"
#include "shell/display.h"

#include <cmath>
#include <cstring>

namespace {

constexpr const char* kTexturePath = "data/rotozoom/texture.bmp";
constexpr const char* kOverlayPath = "data/boule/under.bmp";
constexpr const char* kLogoPath = "data/logofin.bmp";
constexpr float kRotozoomEnd = 132.0f;
constexpr double kLogoEnd = kShowEnd; // the show ends with the end logo

// 20.12 fixed point: 4096 is one texel.
constexpr double kFixedOne = 4096.0;

} // namespace

RotozoomCorners RotozoomCornersAt(double angle) {
    const double ca = 100.0 * std::sin(0.13 * angle) + 1.4 * angle + 64.0;
    const double cb = 100.0 * std::cos(0.1 * angle) + 1.2 * angle + 64.0;
    // The corner angles use 3.14 and 4.71 as written, not pi and 3 pi / 2.
    const double phi0 = angle;
    const double phi2 = angle + 3.14;
    const double phi3 = angle + 4.71;
    RotozoomCorners corners;
    corners.a0 = ca + 256.0 * std::sin(phi0);
    corners.b0 = cb + 256.0 * std::cos(phi0);
    corners.a2 = ca + 256.0 * std::sin(phi2);
    corners.b2 = cb + 256.0 * std::cos(phi2);
    corners.a3 = ca + 256.0 * std::sin(phi3);
    corners.b3 = cb + 256.0 * std::cos(phi3);
    return corners;
}

RotozoomSteps RotozoomFixedPoint(const RotozoomCorners& corners) {
    RotozoomSteps steps;
    steps.a = TruncateToInt32(corners.a3 * kFixedOne);
    steps.b = TruncateToInt32(corners.b3 * kFixedOne);
    steps.ra = TruncateToInt32((corners.a2 - corners.a3) * kFixedOne / 256.0);
    steps.rb = TruncateToInt32((corners.b2 - corners.b3) * kFixedOne / 256.0);
    steps.pa = TruncateToInt32((corners.a0 - corners.a3) * kFixedOne / 256.0);
    steps.pb = TruncateToInt32((corners.b0 - corners.b3) * kFixedOne / 256.0);
    return steps;
}

namespace {

// One pixel's texel index from its 20.12 position: row bits 12..19 of a, column bits 12..19
// of b. The shifts are logical here, but the bits kept are the same as an arithmetic shift's.
inline uint32_t TexelIndex(uint32_t a, uint32_t b) {
    return ((a >> 4) & 0xFF00) | ((b >> 12) & 0xFF);
}

// One pixel at a time, row by row. Unsigned sums wrap around like the machine's 32-bit
// registers.
void FillOneByOne(const uint32_t* texture, FrameBuffer frame, const RotozoomSteps& steps) {
    uint32_t rowA = static_cast<uint32_t>(steps.a);
    uint32_t rowB = static_cast<uint32_t>(steps.b);
    const uint32_t pa = static_cast<uint32_t>(steps.pa);
    const uint32_t pb = static_cast<uint32_t>(steps.pb);
    uint32_t* pixel = frame;
    for (int y = 0; y < kFrameHeight; ++y) {
        rowA += static_cast<uint32_t>(steps.ra);
        rowB += static_cast<uint32_t>(steps.rb);
        uint32_t xa = rowA;
        uint32_t xb = rowB;
        for (int x = 0; x < kFrameWidth; ++x) {
            xa += pa; // the step comes before the fetch
            xb += pb;
            *pixel++ = texture[TexelIndex(xa, xb)];
        }
    }
}

// At the AVX2 level the fill has two forms, and the processor decides which one runs
// (FillRotozoomAvx2).
constexpr VectorForms<RotozoomFillFunction> fill{FillOneByOne, nullptr, X86_FORM(FillRotozoomAvx2),
                                                 nullptr};

// Each method's own form, where this build has it.
RotozoomFillFunction FormOf(RotozoomMethod method) {
    switch (method) {
    case RotozoomMethod::kOneByOne:
        return FillOneByOne;
    case RotozoomMethod::kGather:
        return X86_FORM(FillRotozoomGather);
    case RotozoomMethod::kBitExtract:
        return X86_64_FORM(FillRotozoomBitExtract);
    }
    return nullptr;
}

} // namespace

bool RotozoomMethodAvailable(RotozoomMethod method) {
    if (method == RotozoomMethod::kOneByOne)
        return true;
    // The other two need AVX2, which comes with BMI2.
    return FormOf(method) != nullptr && ProcessorVectorLevel() >= VectorLevel::kAvx2;
}

RotozoomMethod RotozoomPreferredMethod() {
    if (fill.Current() == FillOneByOne)
        return RotozoomMethod::kOneByOne;
    // As FillRotozoomAvx2 picks.
    return ProcessorHasFastBitExtract() ? RotozoomMethod::kBitExtract : RotozoomMethod::kGather;
}

void FillRotozoomWith(RotozoomMethod method, const uint32_t* texture, FrameBuffer frame,
                      const RotozoomCorners& corners) {
    const RotozoomFillFunction form = FormOf(method);
    (form != nullptr ? form : FillOneByOne)(texture, frame, RotozoomFixedPoint(corners));
}

void FillRotozoom(const uint32_t* texture, FrameBuffer frame, const RotozoomCorners& corners) {
    fill.Current()(texture, frame, RotozoomFixedPoint(corners));
}

void RotozoomBlurCentre(double angle, int32_t* x, int32_t* y) {
    *x = TruncateToInt32(256.0 + 140.0 * std::cos(1.3 * angle));
    *y = TruncateToInt32(128.0 + 95.0 * std::sin(1.1 * angle));
}

void RunRotozoomScene(FrameBuffer frameBuffer) {
    Surface texture(kTexturePath);
    RequireImageSize(texture, kTexturePath, kTextureSize, kTextureSize);
    Surface overlay(kOverlayPath);

    if (SceneSeconds() < kRotozoomEnd) {
        float t1;
        do {
            t1 = static_cast<float>(SceneSeconds()); // for the end test only
            const double angle = 0.6 * static_cast<double>(SceneSeconds());
            FillRotozoom(texture.data, frameBuffer, RotozoomCornersAt(angle));
            int32_t blurX, blurY;
            RotozoomBlurCentre(angle, &blurX, &blurY);
            RadialBlur(frameBuffer, blurX, blurY);
            BlitAdditive(overlay.data, overlay.width, overlay.height, frameBuffer,
                         kFrameWidth - overlay.width, 0);
            PresentFrame(frameBuffer);
        } while (t1 < kRotozoomEnd);
    }

    Surface logo(kLogoPath);
    if (SceneSeconds() < kLogoEnd) {
        // Unlike the other loops, the end test reads the clock after the present.
        do {
            std::memset(frameBuffer, 0, kFramePixels * sizeof(uint32_t));
            BlitAdditive(logo.data, logo.width, logo.height, frameBuffer, 0, 0);
            PresentFrame(frameBuffer);
        } while (SceneSeconds() < kLogoEnd);
    }
    // The logo, the overlay and the texture are released in that order (reverse construction).
}
