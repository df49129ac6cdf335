// The camera: a rotation matrix built from a view direction and a roll angle.
//
// Camera space: x grows to the right on the screen, y grows downward (towards higher frame
// buffer rows), z grows away from the camera. The matrix holds the three camera axes in world
// coordinates, one per row; multiplying a world-space offset by it gives camera space.
//
// The matrix is built in three steps, which the ray-cast scenes also use one by one (they keep
// the results of the first two steps from one frame to the next when a direction leaves them
// undefined, see below):
//
//   1. CameraPerpendicularAxes: two axes U and V perpendicular to the unit direction
//      F = (a, b, c), with h = sqrt(a^2 + b^2):
//         U = (a*c/h, b*c/h, -h)   (in the vertical plane through F, pointing "down" the view)
//         V = (-b/h, a/h, 0)       (horizontal)
//      each component rounded to float. Undefined when h = 0 (F straight along z).
//   2. CameraCorrectionInputs: the correction angle phi = atan2(y, x) that turns U and V so
//      that the screen stays level, with y = U.y and x = V.y / k, k = sqrt(V.y^2 + U.y^2)
//      (only the second argument is divided by k). Undefined when k = 0 (F = (0, +-1, 0)).
//   3. CameraScreenAxes: for theta = roll + phi (double precision), the screen axes
//         row 0 = cos(theta)*U - sin(theta)*V   (screen columns, to the right)
//         row 1 = sin(theta)*U + cos(theta)*V   (screen rows, downward)
//      each component rounded to float.
//
// BuildCameraMatrix runs the three steps and sets row 2 to F itself. For a unit F the three
// rows are orthonormal, and row 0 x row 1 = row 2.
#pragma once

// Three floats, passed by value: a camera position, a point.
struct Vec3f {
    float x, y, z;
};

// Nine floats m[0..8], row by row: row 0 (m[0], m[1], m[2]) is the screen's column axis, row 1
// (m[3], m[4], m[5]) its row axis (pointing down the screen), row 2 (m[6], m[7], m[8]) the unit
// view direction.
struct CameraMatrix {
    float m[9];
};

// Step 1. Writes U and V for the direction (a, b, c) and returns true; returns false and leaves
// u and v untouched when h = 0.
bool CameraPerpendicularAxes(float a, float b, float c, float u[3], float v[3]);

// Step 2. Writes the two inputs of the correction angle, phi = atan2(*y, *x), and returns true;
// returns false and leaves *y and *x untouched when k = 0.
bool CameraCorrectionInputs(const float u[3], const float v[3], double* y, double* x);

// Step 3. Writes the screen axes (rows 0 and 1 of the matrix) for the angle theta.
void CameraScreenAxes(const float u[3], const float v[3], double theta, float row0[3],
                      float row1[3]);

// Fills `matrix` from the unit view direction (dirX, dirY, dirZ) and the roll angle in radians.
// The caller normalises the direction.
//
// The two undefined cases are settled here as follows:
//   - k = 0 (the direction (0, +-1, 0)): phi = atan2(roll, roll), which is 0 for roll 0.
//   - h = 0 (the direction (0, 0, +-1)): U and V are their limits as the direction tips towards
//     +x, U = (sign(c), 0, 0) and V = (0, 1, 0); then k = 1 and phi = 0, so the view straight
//     along +z has row 0 = (1, 0, 0), row 1 = (0, 1, 0) for roll 0, and the view along -z has
//     row 0 = (-1, 0, 0), row 1 = (0, 1, 0): an orthonormal, right-handed matrix with world +y
//     down the screen, as for every level view.
void BuildCameraMatrix(CameraMatrix& matrix, float dirX, float dirY, float dirZ, double roll);
