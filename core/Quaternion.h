#pragma once
// Quaternion: a rotation as (x, y, z, w), w the scalar part; the default is the identity (0, 0, 0, 1).
//
// Products follow the matrices: Mat3(a * b) == Mat3(a) * Mat3(b), so a * b rotates by b first.
// Conversions use the usual column-vector rotation matrix (see Mat3).
//
// Animation data interpolates with Slerp and saved poses store rotations packed into one byte per
// component (Pack / Unpack).

#include <cstdint>

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

    constexpr Quaternion operator*(float s) const { return Quaternion(x * s, y * s, z * s, w * s); }
    constexpr Quaternion operator+(const Quaternion& q) const { return Quaternion(x + q.x, y + q.y, z + q.z, w + q.w); }
    constexpr Quaternion operator-() const { return Quaternion(-x, -y, -z, -w); }

    constexpr float LengthSquared() const { return x * x + y * y + z * z + w * w; }
    // The inverse rotation of a unit quaternion: x, y and z negated.
    constexpr Quaternion Conjugate() const { return Quaternion(-x, -y, -z, w); }

    // The unit-length copy; a zero quaternion becomes the identity, as it does in Mat3.
    Quaternion Normalized() const;

    // Spherical interpolation from a (w = 0) to b (w = 1) along the shorter arc: b is negated when
    // the four-component dot product is negative. Within 0.0001 of parallel the two are blended
    // linearly, where the sine of the angle is too small to divide by. The result is not
    // normalised, so a blend of unit quaternions comes out slightly short near the linear case.
    static Quaternion Slerp(const Quaternion& a, const Quaternion& b, float w);

    // Packs the four components into bytes, x in the lowest byte and w in the highest; each byte is
    // trunc((c + 1) * 127.5). Components are clamped to [-1, 1] first (a larger one would wrap to
    // the opposite sign) and a NaN component packs as 0.
    uint32_t Pack() const;
    // The components of a packed quaternion: byte * (2 / 255) - 1 each.
    static Quaternion Unpack(uint32_t packed);
};

constexpr float Dot(const Quaternion& a, const Quaternion& b) { return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w; }

}  // namespace GAME
