#pragma once
// Coords: an affine frame of three axes and an origin (twelve floats, stored and saved in that order).
//
// A point p maps to origin + xAxis * p.x + yAxis * p.y + zAxis * p.z: the axes are the columns of
// the 3 x 3 part (Mat3, Mat4). Composition reads like matrix products: (a * b) applies b first, then
// a, so (a * b).TransformPoint(p) == a.TransformPoint(b.TransformPoint(p)) and
// Mat4(a * b) == Mat4(a) * Mat4(b).
//
// Frames from LookAt / LookIn look along +z with +y up and x = Cross(up, forward): the camera's
// convention (its image u = 0 lies on the +x side), right-handed like the rotations below.
// Inverse and TransformPlane are for rigid frames (orthonormal axes), which all placements are.

#include "core/Plane.h"
#include "core/Vec3.h"

namespace GAME {

class Mat3;
struct Quaternion;

struct Coords {
    Vec3 xAxis{1.0f, 0.0f, 0.0f};
    Vec3 yAxis{0.0f, 1.0f, 0.0f};
    Vec3 zAxis{0.0f, 0.0f, 1.0f};
    Vec3 origin;

    static const Coords Identity;

    constexpr Coords() = default;
    constexpr Coords(const Vec3& x, const Vec3& y, const Vec3& z, const Vec3& o)
        : xAxis(x), yAxis(y), zAxis(z), origin(o) {}
    // The frame whose 3 x 3 part is the matrix (its columns become the axes).
    Coords(const Vec3& translation, const Mat3& axes);

    constexpr bool operator==(const Coords&) const = default;

    // Identity axes at the given origin.
    static constexpr Coords Translation(const Vec3& origin) {
        return Coords(Vec3(1.0f, 0.0f, 0.0f), Vec3(0.0f, 1.0f, 0.0f), Vec3(0.0f, 0.0f, 1.0f), origin);
    }
    // Rotation by angle radians about a unit axis through the origin, counter-clockwise when the
    // axis points at the viewer (right-hand rule).
    static Coords Rotation(const Vec3& axis, float angle);
    static Coords RotationX(float angle);
    static Coords RotationY(float angle);
    static Coords RotationZ(float angle);
    // A rigid frame at position whose z axis points at target (LookAt) or along direction (LookIn),
    // with the y axis as close to up as possible. An up parallel to the view falls back to a
    // perpendicular of the view; a zero view direction keeps the identity axes.
    static Coords LookAt(const Vec3& position, const Vec3& target, const Vec3& up);
    static Coords LookIn(const Vec3& position, const Vec3& direction, const Vec3& up);

    // Axes only: for directions and offsets.
    constexpr Vec3 TransformVector(const Vec3& v) const { return xAxis * v.x + yAxis * v.y + zAxis * v.z; }
    constexpr Vec3 TransformPoint(const Vec3& p) const { return TransformVector(p) + origin; }
    // The plane through the transformed points, facing the same side.
    Plane TransformPlane(const Plane& plane) const;

    constexpr Coords operator*(const Coords& b) const {
        return Coords(TransformVector(b.xAxis), TransformVector(b.yAxis), TransformVector(b.zAxis),
                      TransformPoint(b.origin));
    }

    // The inverse of a rigid frame: transposed axes, origin -(axesᵀ · origin).
    Coords Inverse() const;

    // Scales each axis to unit length (zero axes stay zero).
    void NormalizeAxes();
    // Makes the axes orthonormal by Gram-Schmidt in x, y, z order, keeping the handedness.
    void Orthonormalize();
    // True when the axes form a left-handed (mirrored) basis: negative determinant.
    bool IsMirrored() const { return Dot(Cross(xAxis, yAxis), zAxis) < 0.0f; }

    // The 3 x 3 part as a matrix and as a rotation (for orthonormal, unmirrored axes).
    Mat3 GetMat3() const;
    Quaternion GetQuaternion() const;
};

}  // namespace GAME
