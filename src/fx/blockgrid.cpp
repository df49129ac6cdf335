#include "fx/blockgrid.h"

#include "base/vector_forms.h"
#include "fx/blockgrid_forms.h"

BlockGrid blockGrid;

namespace {

// Grey added to a texel for light level L = light >> 8, as three bytes of a word: red and green
// get L & 255, blue gets L, or 255 when L as an unsigned number is above 255. A saturating byte
// add of this word is the pixel rule for every L.
inline uint32_t LightAddend(int32_t light) {
    uint32_t level = static_cast<uint32_t>(light >> 8);
    uint32_t low = level & 0xFF;
    uint32_t blue = level > 0xFF ? 0xFF : level;
    return low << 16 | low << 8 | blue;
}

inline uint32_t AddSaturated(uint32_t texel, uint32_t addend) {
    uint32_t result = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        uint32_t c = ((texel >> shift) & 0xFF) + ((addend >> shift) & 0xFF);
        result |= (c > 0xFF ? 0xFF : c) << shift;
    }
    return result;
}

// The plain form: eight pixels of one block row, one at a time.
inline void DrawRow(const uint32_t* texture, uint32_t* out, int32_t u, int32_t v, int32_t light,
                    int32_t du, int32_t dv, int32_t dlight) {
    for (int k = 0; k < 8; ++k) {
        out[k] = AddSaturated(texture[TexelIndex(u, v)], LightAddend(light));
        u = Add(u, du);
        v = Add(v, dv);
        light = Add(light, dlight);
    }
}

constexpr VectorForms<MapBlockFunction> mapBlock{DrawBlock<DrawRow>, X86_FORM(MapBlockSse2),
                                                 nullptr, nullptr};
constexpr VectorForms<MapGridFunction> mapGrid{MapAllBlocks<DrawBlock<DrawRow>>,
                                               X86_FORM(MapGridSse2), X86_FORM(MapGridAvx2),
                                               X86_FORM(MapGridAvx512)};
constexpr VectorForms<MapGridFunction> mapGridMasked{
    MapFilledBlocks<DrawBlock<DrawRow>>, X86_FORM(MapGridMaskedSse2), X86_FORM(MapGridMaskedAvx2),
    X86_FORM(MapGridMaskedAvx512)};

} // namespace

void MapBlock(const uint32_t* texture, uint32_t* blockTopLeft, int j, int i) {
    mapBlock.Current()(texture, blockTopLeft, j, i);
}

void MapGrid(const uint32_t* texture, FrameBuffer frame) {
    mapGrid.Current()(texture, frame);
}

void MapGridMasked(const uint32_t* texture, FrameBuffer frame) {
    mapGridMasked.Current()(texture, frame);
}
