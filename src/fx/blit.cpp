#include "fx/blit.h"

#include "base/vector_forms.h"
#include "fx/blit_forms.h"

namespace {

// The plain form: one pixel at a time.
void AddRowsPlain(const uint32_t* source, int32_t width, uint32_t* frame, int32_t count,
                  int32_t rows) {
    for (int32_t r = 0; r < rows; ++r, source += width, frame += kFrameWidth)
        for (int32_t i = 0; i < count; ++i)
            frame[i] = AddSaturated(frame[i], source[i]);
}

constexpr VectorForms<AddRowsFunction> addRows{AddRowsPlain, X86_FORM(AddRowsSse2),
                                               X86_FORM(AddRowsAvx2), X86_FORM(AddRowsAvx512)};

} // namespace

void BlitAdditive(const uint32_t* source, int32_t width, int32_t height, FrameBuffer frame,
                  int32_t x, int32_t y) {
    if (width <= 0 || height <= 0)
        return;
    // Wholly outside. Compared in 64 bits so that no sum below can overflow.
    if (x <= -static_cast<int64_t>(width) || y <= -static_cast<int64_t>(height) ||
        x >= kFrameWidth || y >= kFrameHeight)
        return;

    int64_t firstColumn = x < 0 ? 0 : x;
    int64_t firstRow = y < 0 ? 0 : y;
    int64_t endColumn = static_cast<int64_t>(x) + width;
    int64_t endRow = static_cast<int64_t>(y) + height;
    if (endColumn > kFrameWidth)
        endColumn = kFrameWidth;
    if (endRow > kFrameHeight)
        endRow = kFrameHeight;

    const uint32_t* sourceRow = source + (firstRow - y) * width + (firstColumn - x);
    uint32_t* frameRow = frame + firstRow * kFrameWidth + firstColumn;
    addRows.Current()(sourceRow, width, frameRow, static_cast<int32_t>(endColumn - firstColumn),
                      static_cast<int32_t>(endRow - firstRow));
}
