// Triangle scan conversion with an affine texture, into the 512 x 256 frame buffer.
//
// Fixed point: edge positions, texture coordinates along edges and spans, and their steps are
// 16.16 (value x 65536) in 32-bit signed integers; divisions truncate toward zero and ">> 16"
// rounds toward minus infinity.
#pragma once

#include <cstdint>

// Texture coordinates from 0 up to (not including) 255.0 in 16.16 address the texture; any
// other coordinate reads texel 0.
constexpr int32_t kTextureCoordinateLimit = 0xFF0000;

// Fills the triangle with corners (x0, y0), (x1, y1), (x2, y2) (frame buffer columns and
// rows) and texture coordinates (s0, t0), (s1, t1), (s2, t2) (texel column and row), each
// pixel a plain copy of the texel picked by affine interpolation.
//
// texture: rows of 256 words 0x00RRGGBB, at least 255 rows (texel (s, t) is word t * 256 + s).
// frameBuffer: 512 x 256 words, rows of 512.
//
// Rules: the corners are ordered by row; both edges start exactly at the corners' whole
// coordinates (no sub-pixel correction); the bottom row y2 is never drawn, nor is the top row
// of a triangle with a single top corner; both end pixels of each span are written. Pixels
// outside the frame buffer are skipped without changing the texture stepping of the others.
//
// Every arithmetic step stays within 32 bits when the columns and rows lie in -8192 ... 8191
// and the texture coordinates in -2048 ... 2047 (the 3D engine passes corners inside a
// 150-pixel guard window and texture coordinates 7 ... 247).
void DrawTexturedTriangle(const uint32_t* texture, uint32_t* frameBuffer, int32_t x0, int32_t y0,
                          int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t s0, int32_t t0,
                          int32_t s1, int32_t t1, int32_t s2, int32_t t2);

class Objet3d;
struct Vec3f;

// Draws the object's faces in the order drawOrder[faceCount - 1] down to drawOrder[0], each as
// Objet3d::DrawFace draws it (the same guard window and back-face tests, the same triangles in
// the same order, so the same pixels), with the tests made first for every face in face order
// and only the faces that pass visited in depth order. Keeps a work array from call to call;
// not reentrant.
void DrawFacesBackToFront(const Objet3d& object, Vec3f cameraPosition, uint32_t* frameBuffer);
