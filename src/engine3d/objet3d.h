// Objet3d: the one 3D object of the show, a triangle mesh read from a LightWave object file,
// shaded by an environment map and drawn with the painter's method.
//
// Spaces: `points`, `pointNormals` and `faceNormals` are in object space; the object sits at
// `position` in world space (its `orientation` is kept but not applied); `viewPoints` and
// `viewNormals` are in camera space (see engine3d/camera.h); `screenX`/`screenY` are frame
// buffer columns and rows.
//
// Use: construct, LoadLWO, CalcNormalesFaces, CalcNormalesPoints, LoadEnvMap, SetPosition, then
// Render once per frame. Each load or normal pass is made once per object. Every failure ends
// the process (exit code 1 for the mesh, 9999 for the environment map); nothing is returned.
//
// Every array is owned by the object. Point arrays have pointCount entries (entry i belongs to
// point i), face arrays faceCount entries (entry f belongs to face f); vectors are stored as
// consecutive x, y, z floats.
#pragma once

#include "assets/surface.h"
#include "engine3d/camera.h"

#include <cstdint>
#include <memory>

class Objet3d {
  public:
    int32_t pointCount;                    // number of points
    int32_t faceCount;                     // number of triangles
    std::unique_ptr<float[]> points;       // x, y, z per point, as read from the file
    std::unique_ptr<float[]> viewPoints;   // x, y, z per point in camera space, every frame
    std::unique_ptr<int32_t[]> screenX;    // projected column per point, every frame
    std::unique_ptr<int32_t[]> screenY;    // projected row per point, every frame
    std::unique_ptr<int32_t[]> envCoords;  // environment-map u, v per point, every frame
    std::unique_ptr<float[]> pointNormals; // unit normal per point (object space)
    std::unique_ptr<float[]> viewNormals;  // point normals in camera space, every frame
    std::unique_ptr<float[]> faceNormals;  // unit normal per face (object space)
    std::unique_ptr<int32_t[]> faces;      // point indices a, b, c per face, in file order
    float position[3];                     // placement in world space
    float orientation[9];                  // rotation, row by row; identity, not applied
    std::unique_ptr<int32_t[]> drawOrder;  // face indices by ascending depth key, every frame
    std::unique_ptr<float[]> depthKeys;    // mean camera-space z per face, every frame
    Surface envMap; // environment map, 256 x 256 words 0x00RRGGBB, rows of 256

    // An empty object: no points, no faces, no arrays, at the origin, identity orientation.
    Objet3d();
    Objet3d(const Objet3d&) = delete;
    Objet3d& operator=(const Objet3d&) = delete;
    // Releases every array the object holds, then the environment map's pixels.
    virtual ~Objet3d();

    // Reads the LightWave object file (an IFF FORM of type LWOB; big-endian numbers): its
    // PNTS chunk gives the points, its POLS chunk the triangles (a later one of either, read in
    // its place in the chunk walk, replaces the earlier list), every other chunk is skipped.
    // Allocates the per-frame arrays. Every step is traced; a file outside the accepted subset
    // ends the process with exit code 1 (or the reader's codes 2, 1, 3).
    void LoadLWO(const char* LWO_filename);

    // Unit face normals: (b - a) x (c - a) for the corners a, b, c, normalised. A triangle of
    // zero area ends the process with exit code 1.
    void CalcNormalesFaces();

    // Unit point normals: the plain sum of the normals of the faces that use the point (once
    // per corner), normalised; allocates viewNormals. A point that no face uses, or whose face
    // normals cancel out, ends the process with exit code 1.
    void CalcNormalesPoints();

    // Loads the environment map from a 24-bit BMP file. A file that cannot be loaded, or an
    // image that is not 256 x 256, ends the process through FatalError (9999).
    void LoadEnvMap(const char* path);

    // Places the object in world space.
    void SetPosition(float x, float y, float z);

    // Draws the object for one frame over what the frame buffer holds (it does not clear it):
    // TransformPoints, CalcEnvCoords, CalcDepthKeys, SortFaces, then DrawFace from the farthest
    // face to the nearest.
    void Render(const CameraMatrix& cameraMatrix, Vec3f cameraPosition, uint32_t* frameBuffer);

    // Moves every point into camera space (viewPoints), projects it (screenX, screenY: column
    // x * 256 / z + 256, row y * 256 / z + 128, truncated; (256, 128) when z is 0) and turns
    // its normal into camera space (viewNormals). Points behind the camera are not rejected.
    void TransformPoints(const CameraMatrix& cameraMatrix, Vec3f cameraPosition);

    // Environment-map coordinates from the camera-space normals: u = n.x * 120 + 127,
    // v = n.y * 120 + 127, truncated (7 ... 247 for a unit normal).
    void CalcEnvCoords();

    // Depth key of each face (the mean camera-space z of its corners); resets drawOrder to
    // 0, 1, 2, ...
    void CalcDepthKeys();

    // Sorts drawOrder by ascending depth key (engine3d/sort.h).
    void SortFaces();

    // Draws one face unless a corner lies outside the guard window (150 pixels around the
    // frame) or the face turns its back to the camera.
    void DrawFace(Vec3f cameraPosition, uint32_t* frameBuffer, int32_t face);

  private:
    // Releases the eleven arrays and empties the mesh (the environment map stays).
    void ReleaseArrays();
};
