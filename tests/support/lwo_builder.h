// Builds LightWave object files (IFF "FORM" of type "LWOB") in memory, chunk by chunk.
//
// Numbers are written big-endian. The form size is computed from the chunks unless it is set
// by hand, so malformed files can be made too:
//
//   std::string file = LwoBuilder()
//                          .Points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}})
//                          .Chunk("SRFS", std::string("Default\0", 8))
//                          .Triangles({{0, 1, 2}})
//                          .Build();
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class LwoBuilder {
  public:
    using Point = std::array<float, 3>;
    using Triangle = std::array<uint16_t, 3>;

    // Appends a chunk with any tag (four characters) and data.
    LwoBuilder& Chunk(const std::string& tag, const std::string& data);
    // Appends a PNTS chunk with the points.
    LwoBuilder& Points(const std::vector<Point>& points);
    // Appends a POLS chunk of triangles, each with the surface number given.
    LwoBuilder& Triangles(const std::vector<Triangle>& triangles, uint16_t surface = 1);
    // Appends a POLS chunk of polygons with any number of vertices (vertex count, indices,
    // surface number 1 per record).
    LwoBuilder& Polygons(const std::vector<std::vector<uint16_t>>& polygons);

    // Writes "FORM" + size + form type + the chunks. The size is 4 + the chunks' bytes unless
    // SetFormSize gave another one.
    std::string Build(const std::string& formType = "LWOB") const;
    LwoBuilder& SetFormSize(uint32_t formSize);

    // Record encoders, also useful on their own.
    static std::string U16(uint16_t value);
    static std::string U32(uint32_t value);
    static std::string Float(float value);
    static std::string PointsData(const std::vector<Point>& points);
    static std::string TrianglesData(const std::vector<Triangle>& triangles, uint16_t surface);

  private:
    std::string chunks_;
    bool formSizeSet_ = false;
    uint32_t formSize_ = 0;
};
