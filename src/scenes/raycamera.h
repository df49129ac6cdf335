// The camera axes of a ray-cast scene, kept from one frame to the next.
//
// The ray-cast scenes build their screen axes by the same rule as the 3D engine's camera matrix
// (engine3d/camera.h), but keep what they built: a direction with no horizontal component
// (F.x = F.y = 0) leaves every axis as it was after the previous frame, and a direction that
// leaves the correction angle undefined (k = 0) reuses the previous correction inputs. Before
// the first update everything is zero.
#pragma once

#include "fx/blockgrid.h"
#include "shell/clock.h"

class RayCameraAxes {
  public:
    // Builds the axes for the unit view direction (fx, fy, fz) and the roll angle in radians.
    void Update(float fx, float fy, float fz, double roll);

    // The unit direction, in world space, of the ray through grid point (c, r), which stands for
    // frame pixel (8c, 8r): focal * F + (8r - 128) * down + (8c - 256) * right, normalised,
    // each component rounded to float. F is the view direction the caller casts along.
    void GridRay(float fx, float fy, float fz, double focal, int c, int r, float ray[3]) const;

    float right[3] = {};   // screen columns (row 0 of the camera matrix)
    float down[3] = {};    // screen rows, downward (row 1)
    float forward[3] = {}; // the view direction (row 2)

  private:
    double correctionY_ = 0.0; // the correction angle is atan2(correctionY_, correctionX_)
    double correctionX_ = 0.0;
};

// Hands `store(index, ray)` the ray of every grid point, row by row, each with its grid index:
// the rays through the frame that a ray-cast scene casts into the world, focal length `focal`.
template <class Store>
void ForEachGridRay(const RayCameraAxes& axes, float fx, float fy, float fz, double focal,
                    Store store) {
    for (int r = 0; r < kGridRows; ++r)
        for (int c = 0; c < kGridColumns; ++c) {
            float ray[3];
            axes.GridRay(fx, fy, fz, focal, c, r, ray);
            store(GridIndex(c, r), ray);
        }
}

// Draws frames until the scene clock reaches `end`: each frame reads the clock once and hands
// the reading to `drawFrame(t, tf)` (as double and as float), which draws and presents. The
// last frame is the first whose float reading reaches the end; none when the scene is over.
template <class DrawFrame> void DrawFramesUntil(float end, DrawFrame drawFrame) {
    if (SceneSeconds() >= end)
        return;
    float tf;
    do {
        const double t = static_cast<double>(SceneSeconds());
        tf = static_cast<float>(t);
        drawFrame(t, tf);
    } while (tf < end);
}
