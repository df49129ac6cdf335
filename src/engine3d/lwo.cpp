// The LightWave object loader, the two normal passes and the object's life.
//
// Accepted file: an IFF "FORM" of type "LWOB", big-endian throughout.
//   offset 0  "FORM"
//   offset 4  form size, unsigned 32: the bytes after this field that belong to the form
//   offset 8  "LWOB"
//   offset 12 chunks: tag (4 ASCII bytes), data size (unsigned 32), data; no pad byte
// PNTS data: x, y, z per point, IEEE single precision.
// POLS data: 10-byte records: vertex count (must be 3), three point indices (unsigned 16,
// zero-based), surface number (ignored).
// Every other chunk is skipped. Bytes after the form's end are never read.
//
// A point or polygon chunk met again in a later cycle of the walk is read again, and its list
// replaces the one read before. Once the walk is over, every face must name points of the final
// list.
//
// Every step hands a text to Trace (Windows-1252: "\xE9" is the e with acute accent). Every
// failure of the mesh ends the process with exit code 1 after its trace text; the whole-file
// reader ends it with its own codes (2, 1 or 3), and an environment map that cannot be used
// ends it through FatalError (9999).

#include "engine3d/objet3d.h"

#include "assets/wholefile.h"
#include "base/framebuffer.h"
#include "base/process.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kMeshFailure = 1;

// Formats a text with the standard printf rules, whatever its length, and traces it. Without a
// sink nothing is formatted: a mesh's thousands of point and polygon lines would cost more than
// reading it.
void TraceFormatted(const char* format, ...) {
    if (!Tracing())
        return;
    char small[256];
    va_list arguments;
    va_start(arguments, format);
    va_list again;
    va_copy(again, arguments);
    const int length = std::vsnprintf(small, sizeof small, format, arguments);
    va_end(arguments);
    if (length >= 0 && static_cast<size_t>(length) >= sizeof small) {
        std::string text(static_cast<size_t>(length) + 1, '\0');
        std::vsnprintf(&text[0], text.size(), format, again);
        Trace(text.c_str());
    } else {
        Trace(small);
    }
    va_end(again);
}

// Traces the text and ends the process: the mesh cannot be used.
[[noreturn]] void FailMesh(const char* text) {
    Trace(text);
    EndProcess(kMeshFailure);
}

uint32_t ReadU32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

uint16_t ReadU16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

float ReadFloat(const uint8_t* p) {
    const uint32_t bits = ReadU32(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

bool HasTag(const uint8_t* p, const char* tag) {
    return std::memcmp(p, tag, 4) == 0;
}

// Releases a block from LoadWholeFile.
struct FreeBlock {
    void operator()(uint8_t* block) const { std::free(block); }
};

// The chunk walk over one file block. `consumed` counts the form's bytes read so far (the form
// type and whole chunks); the cursor is the offset of the next chunk in the block.
class ChunkWalk {
  public:
    ChunkWalk(Objet3d& object, const uint8_t* block, uint32_t formSize)
        : object_(object), block_(block), formSize_(formSize), formEnd_(uint64_t{8} + formSize) {}

    // Walks the chunks in cycles: a point chunk is read only first in a cycle, a polygon chunk
    // only right after it (or first); then the chunk at the cursor is skipped, whatever it is.
    // Then checks that every face names a point of the list the walk ended with.
    void Run() {
        Walk();
        RequireFacePointsExist();
    }

  private:
    void Walk() {
        if (formSize_ <= 4)
            return; // no chunks
        for (;;) {
            if (HasTag(ChunkAtCursor(), "PNTS"))
                ReadPoints();
            if (consumed_ >= formSize_)
                return;
            if (HasTag(ChunkAtCursor(), "POLS"))
                ReadPolygons();
            if (consumed_ >= formSize_)
                return;
            SkipChunk(ChunkAtCursor());
            if (consumed_ >= formSize_)
                return;
        }
    }

    // A later point list may be shorter than the one the faces were read against, and faces may
    // come before any point list: the indices are checked against the final list only.
    void RequireFacePointsExist() const {
        const int32_t* faces = object_.faces.get();
        for (int32_t n = 0; n < object_.faceCount; ++n, faces += 3) {
            if (faces[0] < object_.pointCount && faces[1] < object_.pointCount &&
                faces[2] < object_.pointCount)
                continue;
            TraceFormatted("Triangle n = %d : point hors limite (%d points)", n,
                           object_.pointCount);
            FailMesh(" LES POINTS DES FACES DOIVENT EXISTER !!!!!!!!!!!");
        }
    }

    // The chunk at the cursor, once its tag and size are known to lie inside the form.
    const uint8_t* ChunkAtCursor() const {
        if (cursor_ + 8 > formEnd_)
            FailMesh(" CHUNK HORS DU FORM !!!!!!!!!!!\n");
        return block_ + cursor_;
    }

    // The chunk's data must end inside the form too.
    void RequireDataInForm(uint32_t dataSize) const {
        if (cursor_ + 8 + dataSize > formEnd_)
            FailMesh(" CHUNK HORS DU FORM !!!!!!!!!!!\n");
    }

    // The chunk at the cursor, announced in the trace with its data size, which must end
    // inside the form; it counts as read.
    uint32_t EnterChunk(const char* announcement, const char* sizeFormat) {
        Trace(announcement);
        const uint32_t dataSize = ReadU32(block_ + cursor_ + 4);
        TraceFormatted(sizeFormat, dataSize);
        RequireDataInForm(dataSize);
        consumed_ += dataSize + 8;
        return dataSize;
    }

    void ReadPoints() {
        const uint8_t* chunk = block_ + cursor_;
        const uint32_t dataSize =
            EnterChunk("Chunk PNTS rencontr\xE9...", "TAILLE DU CHUNK PNTS --> 0x%x");
        if (dataSize % 12 != 0)
            FailMesh(" TAILLE DU CHUNK PNTS PAS MULTIPLE DE 12 !!!!!!!!!!!\n");

        const int32_t pointCount = static_cast<int32_t>(dataSize / 12);
        Trace("NOMBRE DE POINTS", pointCount);
        object_.pointCount = pointCount;
        object_.points.reset(new float[size_t{3} * pointCount]);
        const uint8_t* record = chunk + 8;
        for (int32_t i = 0; i < pointCount; ++i, record += 12) {
            const float x = ReadFloat(record);
            const float y = ReadFloat(record + 4);
            const float z = ReadFloat(record + 8);
            TraceFormatted("POINT n= %d --> [%f][%f][%f]", i, x, y, z);
            object_.points[i * 3 + 0] = x;
            object_.points[i * 3 + 1] = y;
            object_.points[i * 3 + 2] = z;
        }
        Trace("Fin du chunk PNTS");
        cursor_ += 8 + dataSize;
    }

    void ReadPolygons() {
        const uint8_t* chunk = block_ + cursor_;
        const uint32_t dataSize =
            EnterChunk("Chunk POLS rencontr\xE9...", "TAILLE DU CHUNK POLS --> 0x%x");

        const int32_t faceCount = static_cast<int32_t>(dataSize / 10);
        object_.faceCount = faceCount;
        object_.faces.reset(new int32_t[size_t{3} * faceCount]);
        int32_t n = 0;
        for (uint32_t offset = 0; offset < dataSize; offset += 10, ++n) {
            const uint8_t* record = chunk + 8 + offset;
            // The records are checked one by one, so that a polygon that is not a triangle is
            // reported as such even when its longer record breaks the 10-byte rhythm.
            if (dataSize - offset < 10)
                FailMesh(" TAILLE DU CHUNK POLS PAS MULTIPLE DE 10 !!!!!!!!!!!\n");
            const int vertexCount = ReadU16(record);
            if (vertexCount != 3) {
                TraceFormatted("nb de points ds ce triangle : %d", vertexCount);
                FailMesh(" LES FACES DOIVENT ETRE DES TRIANGLES !!!!!!!!!!!");
            }
            const int32_t a = ReadU16(record + 2);
            const int32_t b = ReadU16(record + 4);
            const int32_t c = ReadU16(record + 6);
            object_.faces[n * 3 + 0] = a;
            object_.faces[n * 3 + 1] = b;
            object_.faces[n * 3 + 2] = c;
            // record + 8: the surface number, not used.
            TraceFormatted("Triangle n = %d --> [%d][%d][%d]", n, a, b, c);
        }
        Trace("Fin du chunk POLS");
        cursor_ += 8 + dataSize;
    }

    void SkipChunk(const uint8_t* chunk) {
        const char tag[5] = {static_cast<char>(chunk[0]), static_cast<char>(chunk[1]),
                             static_cast<char>(chunk[2]), static_cast<char>(chunk[3]), '\0'};
        TraceFormatted("Chunk non trait\xE9 : %s", tag);
        const uint32_t dataSize = ReadU32(chunk + 4);
        TraceFormatted("Saut de 0x%x ou %d octets", dataSize, static_cast<int>(dataSize));
        RequireDataInForm(dataSize);
        Trace("Fin du chunk");
        consumed_ += dataSize + 8;
        cursor_ += 8 + dataSize;
    }

    Objet3d& object_;
    const uint8_t* block_;
    const uint32_t formSize_;
    const uint64_t formEnd_; // offset of the first byte after the form
    uint32_t consumed_ = 4;  // the form type
    uint64_t cursor_ = 12;   // the first chunk
};

} // namespace

Objet3d::Objet3d() : pointCount(0), faceCount(0), position{0.0f, 0.0f, 0.0f}, orientation{} {
    orientation[0] = 1.0f;
    orientation[4] = 1.0f;
    orientation[8] = 1.0f;
}

Objet3d::~Objet3d() {
    // The arrays go first, then envMap, whose destructor releases its pixels.
    ReleaseArrays();
}

void Objet3d::ReleaseArrays() {
    pointCount = 0;
    faceCount = 0;
    points.reset();
    viewPoints.reset();
    screenX.reset();
    screenY.reset();
    envCoords.reset();
    pointNormals.reset();
    viewNormals.reset();
    faceNormals.reset();
    faces.reset();
    drawOrder.reset();
    depthKeys.reset();
}

void Objet3d::LoadLWO(const char* LWO_filename) {
    Trace("Objet3d::LoadLWO(char *LWO_filename)");
    TraceFormatted("Ouverture du fichier : %s", LWO_filename);

    // A second load starts from an empty mesh: the normal passes must run again after it.
    ReleaseArrays();

    size_t fileSize = 0;
    std::unique_ptr<uint8_t, FreeBlock> block(LoadWholeFile(LWO_filename, &fileSize));
    if (!block)
        FailMesh(" !!!! IMPOSSIBLE !!!!\n");
    const uint8_t* bytes = block.get();
    if (fileSize < 12)
        FailMesh(" FICHIER TROP COURT !!!!!!!!!!!\n");
    if (!HasTag(bytes, "FORM"))
        FailMesh(" FILE FORMAT ERREUR !!!!!!!!!!!\n");
    Trace("IFF FORMAT --> OK");
    const uint32_t formSize = ReadU32(bytes + 4);
    // Shown as the 32-bit signed long of the original platform.
    TraceFormatted("Taille du chunk FORM = %ld", static_cast<long>(static_cast<int32_t>(formSize)));
    if (!HasTag(bytes + 8, "LWOB"))
        FailMesh(" FILE FORMAT ERREUR !!!!!!!!!!! \n LW5 en triangle oblig\xE9");
    if (uint64_t{8} + formSize > fileSize)
        FailMesh(" TAILLE DU FORM HORS DU FICHIER !!!!!!!!!!!\n");
    Trace("LIGHTWAVE OBJET TYPE --> OK");
    Trace("Ouverture OK");

    ChunkWalk(*this, bytes, formSize).Run();
    block.reset();

    viewPoints.reset(new float[size_t{3} * pointCount]);
    screenX.reset(new int32_t[pointCount]);
    screenY.reset(new int32_t[pointCount]);
    envCoords.reset(new int32_t[size_t{2} * pointCount]);
    drawOrder.reset(new int32_t[faceCount]);
    depthKeys.reset(new float[faceCount]);
    Trace("Fin de LoadLWO");
}

void Objet3d::CalcNormalesFaces() {
    Trace("Objet3d::CalcNormalesFaces()");
    faceNormals.reset(new float[size_t{3} * faceCount]);
    for (int32_t f = 0; f < faceCount; ++f) {
        const float* pa = &points[faces[f * 3 + 0] * 3];
        const float* pb = &points[faces[f * 3 + 1] * 3];
        const float* pc = &points[faces[f * 3 + 2] * 3];
        const double e1x = static_cast<double>(pb[0]) - pa[0];
        const double e1y = static_cast<double>(pb[1]) - pa[1];
        const double e1z = static_cast<double>(pb[2]) - pa[2];
        const double e2x = static_cast<double>(pc[0]) - pa[0];
        const double e2y = static_cast<double>(pc[1]) - pa[1];
        const double e2z = static_cast<double>(pc[2]) - pa[2];
        // e1 x e2: the side from which a, b, c run counter-clockwise (right-handed).
        float* n = &faceNormals[f * 3];
        n[0] = static_cast<float>(e1y * e2z - e1z * e2y);
        n[1] = static_cast<float>(e1z * e2x - e1x * e2z);
        n[2] = static_cast<float>(e1x * e2y - e1y * e2x);
        const double length =
            std::sqrt(static_cast<double>(n[0]) * n[0] + static_cast<double>(n[1]) * n[1] +
                      static_cast<double>(n[2]) * n[2]);
        if (length == 0.0 || std::isnan(length))
            FailMesh("dommage: norme = 0");
        n[0] = static_cast<float>(n[0] / length);
        n[1] = static_cast<float>(n[1] / length);
        n[2] = static_cast<float>(n[2] / length);
    }
    Trace("Fin de CalcNormalesFaces()");
}

void Objet3d::CalcNormalesPoints() {
    Trace("Objet3d::CalcNormalesPoints()");
    pointNormals.reset(new float[size_t{3} * pointCount]);
    // The sum of the normals of the faces that use each point, once per corner, added in face
    // order and corner order. One pass over the faces adds to every point's sum in the same
    // order as a scan of all faces per point would.
    std::vector<double> sums(size_t{3} * pointCount, 0.0);
    for (int32_t f = 0; f < faceCount; ++f) {
        const float* n = &faceNormals[f * 3];
        for (int corner = 0; corner < 3; ++corner) {
            double* s = &sums[size_t{3} * faces[f * 3 + corner]];
            s[0] += n[0];
            s[1] += n[1];
            s[2] += n[2];
        }
    }
    for (int32_t i = 0; i < pointCount; ++i) {
        const double* s = &sums[size_t{3} * i];
        const float length = static_cast<float>(std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]));
        // A point no face uses, or whose face normals cancel out, has no direction.
        if (length == 0.0f || std::isnan(length))
            FailMesh("dommage: norme = 0");
        pointNormals[i * 3 + 0] = static_cast<float>(s[0] / length);
        pointNormals[i * 3 + 1] = static_cast<float>(s[1] / length);
        pointNormals[i * 3 + 2] = static_cast<float>(s[2] / length);
    }
    viewNormals.reset(new float[size_t{3} * pointCount]);
    Trace("Fin de CalcNormalesPoints()");
}

void Objet3d::LoadEnvMap(const char* path) {
    envMap.Load(path);
    // The rasterizer addresses the map as rows of 256 texels, up to row 254: anything but a
    // 256 x 256 image would be read wrongly, or past its end.
    if (envMap.width != kTextureSize || envMap.height != kTextureSize) {
        const std::string message = std::string("Texture d'environnement de mauvaise taille : ") +
                                    path + " (" + std::to_string(envMap.width) + "x" +
                                    std::to_string(envMap.height) + " au lieu de 256x256) !!\n";
        FatalError(message.c_str());
    }
}

void Objet3d::SetPosition(float x, float y, float z) {
    position[0] = x;
    position[1] = y;
    position[2] = z;
}
