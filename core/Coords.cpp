#include "core/Coords.h"

#include "core/Mat3.h"
#include "core/Quaternion.h"

#include <cmath>

namespace GAME {

const Coords Coords::Identity;

Coords::Coords(const Vec3& translation, const Mat3& axes)
    : xAxis(axes.GetColumn(0)), yAxis(axes.GetColumn(1)), zAxis(axes.GetColumn(2)), origin(translation) {}

Coords Coords::Rotation(const Vec3& axis, float angle) {
    // Rodrigues: R = c I + s [k]x + (1 - c) k kᵀ, columns taken as the axes.
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    const float t = 1.0f - c;
    const Vec3& k = axis;
    return Coords(Vec3(c + t * k.x * k.x, t * k.x * k.y + s * k.z, t * k.x * k.z - s * k.y),
                  Vec3(t * k.x * k.y - s * k.z, c + t * k.y * k.y, t * k.y * k.z + s * k.x),
                  Vec3(t * k.x * k.z + s * k.y, t * k.y * k.z - s * k.x, c + t * k.z * k.z),
                  Vec3());
}

Coords Coords::RotationX(float angle) {
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    return Coords(Vec3(1.0f, 0.0f, 0.0f), Vec3(0.0f, c, s), Vec3(0.0f, -s, c), Vec3());
}

Coords Coords::RotationY(float angle) {
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    return Coords(Vec3(c, 0.0f, -s), Vec3(0.0f, 1.0f, 0.0f), Vec3(s, 0.0f, c), Vec3());
}

Coords Coords::RotationZ(float angle) {
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    return Coords(Vec3(c, s, 0.0f), Vec3(-s, c, 0.0f), Vec3(0.0f, 0.0f, 1.0f), Vec3());
}

Coords Coords::LookAt(const Vec3& position, const Vec3& target, const Vec3& up) {
    return LookIn(position, target - position, up);
}

Coords Coords::LookIn(const Vec3& position, const Vec3& direction, const Vec3& up) {
    const Vec3 forward = direction.Unit();
    if (forward == Vec3()) {
        return Translation(position);
    }
    Vec3 side = Cross(up, forward).Unit();
    if (side == Vec3()) {
        // Looking straight along up (a top-down view with a world up): any perpendicular will do.
        side = forward.GetPerpendicular();
    }
    return Coords(side, Cross(forward, side), forward, position);
}

Plane Coords::TransformPlane(const Plane& plane) const {
    const Vec3 normal = TransformVector(plane.normal);
    return Plane(normal, plane.d - Dot(normal, origin));
}

Coords Coords::Inverse() const {
    const Vec3 x(xAxis.x, yAxis.x, zAxis.x);
    const Vec3 y(xAxis.y, yAxis.y, zAxis.y);
    const Vec3 z(xAxis.z, yAxis.z, zAxis.z);
    return Coords(x, y, z, -(x * origin.x + y * origin.y + z * origin.z));
}

void Coords::NormalizeAxes() {
    xAxis = xAxis.Unit();
    yAxis = yAxis.Unit();
    zAxis = zAxis.Unit();
}

void Coords::Orthonormalize() {
    xAxis = xAxis.Unit();
    yAxis = (yAxis - xAxis * Dot(xAxis, yAxis)).Unit();
    zAxis = (zAxis - xAxis * Dot(xAxis, zAxis) - yAxis * Dot(yAxis, zAxis)).Unit();
}

Mat3 Coords::GetMat3() const { return Mat3::FromColumns(xAxis, yAxis, zAxis); }

Quaternion Coords::GetQuaternion() const { return Quaternion(GetMat3()); }

}  // namespace GAME

