#pragma once

#include "VectorGeometry.h"

// A rotation as a unit quaternion: imaginary part (x, y, z) and real part w,
// stored in that order.
struct TQuaternion
{
    TAffineVector ImagPart;
    float RealPart = 1;

    friend bool operator==(const TQuaternion&, const TQuaternion&) = default;
};

constexpr TQuaternion IdentityQuaternion{{0, 0, 0}, 1};

// (sin(angle / 2) x axis, cos(angle / 2)) for a unit axis and radians; its
// matrix turns row vectors as the rotation matrices of the scene do.
TQuaternion QuaternionFromAxisAngle(const TAffineVector& axis, float angle);
// Hamilton product: the rotation of b followed by that of a.
TQuaternion QuaternionMultiply(const TQuaternion& a, const TQuaternion& b);
float QuaternionMagnitude(const TQuaternion& q);
// A quaternion too short to have a direction becomes the identity.
TQuaternion QuaternionNormalize(const TQuaternion& q);
// Spherical interpolation along the shorter arc; near-equal quaternions are
// interpolated linearly, where the arc formula would divide by almost zero.
TQuaternion QuaternionSlerp(const TQuaternion& q1, const TQuaternion& q2, float t);
// The row-vector rotation matrix of a quaternion (normalised first), with no
// translation.
TMatrix QuaternionToMatrix(const TQuaternion& q);
// The unit quaternion of the rotation part of a row-vector matrix.
TQuaternion QuaternionFromMatrix(const TMatrix& m);

// The rotation of angles (x, y, z) in radians applied about X, then Y, then
// Z: qZ x qY x qX, the same rotation as the matrix Rx x Ry x Rz. Exactly at
// y = +-90 degrees it is taken half-way between the rotations 0.001 degree
// either side.
TQuaternion QuaternionFromAngles(const TAffineVector& angles);
// The angles (x, y, z) whose matrix Rx x Ry x Rz is the rotation part of m.
TAffineVector AnglesFromRotationMatrix(const TMatrix& m);
// Half-way along the shorter arc between two angle triples, for factor t;
// bitwise-equal triples are returned as they are.
TAffineVector InterpolateAngles(const TAffineVector& a, const TAffineVector& b, float t);
