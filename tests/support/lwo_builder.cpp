#include "lwo_builder.h"

#include <cstring>

std::string LwoBuilder::U16(uint16_t value) {
    return std::string{static_cast<char>(value >> 8), static_cast<char>(value & 0xFF)};
}

std::string LwoBuilder::U32(uint32_t value) {
    return std::string{static_cast<char>(value >> 24), static_cast<char>((value >> 16) & 0xFF),
                       static_cast<char>((value >> 8) & 0xFF), static_cast<char>(value & 0xFF)};
}

std::string LwoBuilder::Float(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return U32(bits);
}

std::string LwoBuilder::PointsData(const std::vector<Point>& points) {
    std::string data;
    for (const Point& p : points)
        data += Float(p[0]) + Float(p[1]) + Float(p[2]);
    return data;
}

std::string LwoBuilder::TrianglesData(const std::vector<Triangle>& triangles, uint16_t surface) {
    std::string data;
    for (const Triangle& t : triangles)
        data += U16(3) + U16(t[0]) + U16(t[1]) + U16(t[2]) + U16(surface);
    return data;
}

LwoBuilder& LwoBuilder::Chunk(const std::string& tag, const std::string& data) {
    chunks_ += tag.substr(0, 4);
    chunks_.append(4 - (tag.size() < 4 ? tag.size() : 4), ' ');
    chunks_ += U32(static_cast<uint32_t>(data.size()));
    chunks_ += data;
    return *this;
}

LwoBuilder& LwoBuilder::Points(const std::vector<Point>& points) {
    return Chunk("PNTS", PointsData(points));
}

LwoBuilder& LwoBuilder::Triangles(const std::vector<Triangle>& triangles, uint16_t surface) {
    return Chunk("POLS", TrianglesData(triangles, surface));
}

LwoBuilder& LwoBuilder::Polygons(const std::vector<std::vector<uint16_t>>& polygons) {
    std::string data;
    for (const std::vector<uint16_t>& polygon : polygons) {
        data += U16(static_cast<uint16_t>(polygon.size()));
        for (uint16_t index : polygon)
            data += U16(index);
        data += U16(1);
    }
    return Chunk("POLS", data);
}

LwoBuilder& LwoBuilder::SetFormSize(uint32_t formSize) {
    formSizeSet_ = true;
    formSize_ = formSize;
    return *this;
}

std::string LwoBuilder::Build(const std::string& formType) const {
    const uint32_t formSize = formSizeSet_ ? formSize_ : static_cast<uint32_t>(4 + chunks_.size());
    return "FORM" + U32(formSize) + formType.substr(0, 4) + chunks_;
}
