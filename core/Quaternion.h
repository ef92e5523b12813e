#pragma once
// Quaternion: a rotation as (x, y, z, w), w the scalar part; the default is the identity (0, 0, 0, 1).
//
// Products follow the matrices: Mat3(a * b) == Mat3(a) * Mat3(b), so a * b rotates by b first.
// Conversions use the usual column-vector rotation matrix (see Mat3).

namespace GAME {

class Mat3;

struct Quaternion {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 1.0f;

    constexpr Quaternion() = default;
    constexpr Quaternion(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
    // The rotation of a rotation matrix (orthonormal, not mirrored).
    explicit Quaternion(const Mat3& rotation);

    constexpr bool operator==(const Quaternion&) const = default;

    constexpr Quaternion operator*(const Quaternion& q) const {
        return Quaternion(w * q.x + x * q.w + y * q.z - z * q.y,
                          w * q.y - x * q.z + y * q.w + z * q.x,
                          w * q.z + x * q.y - y * q.x + z * q.w,
                          w * q.w - x * q.x - y * q.y - z * q.z);
    }

    constexpr float LengthSquared() const { return x * x + y * y + z * z + w * w; }

    // The unit-length copy; a zero quaternion becomes the identity, as it does in Mat3.
    Quaternion Normalized() const;
};

}  // namespace GAME
