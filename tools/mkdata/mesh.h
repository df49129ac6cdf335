// The object scene's mesh: a chrome mannequin, written as a LightWave object file.
//
// The figure is built from closed ellipsoid parts (head, torso, limbs, joints), each wound so
// that its face normals point outward: for the corners a, b, c of a triangle, (b - a) x (c - a)
// points away from the inside. It stands upright around the point (0, 60, 0), where the scene's
// camera aims, with world +y pointing down the screen: the head is at the smaller y, the feet at
// the larger.
//
// File layout (an IFF "FORM" of type "LWOB", numbers big-endian):
//   PNTS  12 bytes per point: x, y, z as IEEE single precision
//   SRFS  the surface names, each NUL-terminated and padded to an even length
//   POLS  10 bytes per triangle: vertex count 3, three point indices, surface number 1
//   SURF  the surface's name and a colour sub-chunk (readers of the show skip it)
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace mkdata {

struct Mesh {
    std::vector<std::array<float, 3>> points;
    std::vector<std::array<uint16_t, 3>> triangles; // point indices, outward winding
};

// The mannequin, in world coordinates.
Mesh BuildMannequin();

// The mesh as the bytes of an LWOB file with the four chunks PNTS, SRFS, POLS and SURF.
std::vector<uint8_t> EncodeLwob(const Mesh& mesh);

// Writes <dataDir>/3d/u_mec.lwo.
void WriteMesh(const std::string& dataDir);

} // namespace mkdata
