// The ball scene: a textured ball cast by one ray per block-grid point, blurred outward from
// its projected centre, with three copies of a looping animation; image paths and the two
// speed factors come from the parameter file data/boule/boule.ini.
//
// World space: the ball is a sphere of radius 5000 on the origin; its texture is wrapped by
// longitude around the z axis and by height along z.
#pragma once

#include "engine3d/camera.h"

#include <cstdint>

// The camera for the time parameter a (scene seconds times the speed factor): the eye swings
// around the ball, always at least 5600 from its centre, and aims at a point that wanders
// within 2000 of it.
struct BallCamera {
    Vec3f eye;    // world space
    Vec3f target; // the point aimed at
    float roll;   // radians
};
BallCamera BallCameraAt(double a);

// The unit direction from the eye to the target. Ends the process through FatalError
// ("camera erreur: position = vis\xE9e!!\n") when the two are the same point.
Vec3f BallViewDirection(const BallCamera& camera);

// Fills every point (c, r) of blockGrid with the ray through frame pixel (8c, 8r): a point whose
// ray meets the ball (radius R, at the origin) gets its texture coordinates (16.16; the texel
// column is |longitude| * 256 / pi, the texel row z * 150 / R) and light 0; a point whose ray
// misses gets u = v = 0x7F000000 and the empty light marker kEmptyLight. The rays leave the
// eye through the screen of focal length f centred on (256, 128), turned by the roll (radians).
// Writes the screen position of the ball's centre, with the offsets 255 and 127, into
// *centreX and *centreY.
//
// The camera axes are kept from one call to the next (scenes/raycamera.h): a direction with no
// horizontal component keeps the previous call's axes, forward one included.
void ComputeBallGrid(float f, float R, Vec3f eye, Vec3f direction, double roll, int32_t* centreX,
                     int32_t* centreY);

// The grid value of a point whose ray misses the ball (u and v; its light is kEmptyLight).
constexpr int32_t kBallMissCoordinate = 0x7F000000;

// Moves a blur centre into the range the blur is drawn with: x into 3..509, y into 3..251.
void ClampBallBlurCentre(int32_t* x, int32_t* y);

// The animation frame (0..29) for the animation factor times a, truncated toward zero; the
// remainder is taken non-negative, so a negative product also picks a frame of the strip.
int32_t BallAnimationFrame(double animationFactor, double a);
