// The camera axes of a ray-cast scene, kept from one frame to the next.
//
// The ray-cast scenes build their screen axes by the same rule as the 3D engine's camera matrix
// (engine3d/camera.h), but keep what they built: a direction with no horizontal component
// (F.x = F.y = 0) leaves every axis as it was after the previous frame, and a direction that
// leaves the correction angle undefined (k = 0) reuses the previous correction inputs. Before
// the first update everything is zero.
#pragma once

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
