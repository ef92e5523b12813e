#pragma once
// Vec3: three floats, the engine's point and direction type.
//
// A plain value type: public fields (other classes and the binary readers rely on the names x, y, z),
// inline arithmetic, no virtual functions. `operator*` between two vectors is the component-wise
// product; the dot product is always spelled `Dot`.

#include <cmath>

namespace GAME {

struct Vec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    constexpr Vec3() = default;
    constexpr Vec3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

    constexpr Vec3 operator+(const Vec3& v) const { return Vec3(x + v.x, y + v.y, z + v.z); }
    constexpr Vec3 operator-(const Vec3& v) const { return Vec3(x - v.x, y - v.y, z - v.z); }
    constexpr Vec3 operator-() const { return Vec3(-x, -y, -z); }
    constexpr Vec3 operator*(float s) const { return Vec3(x * s, y * s, z * s); }
    constexpr Vec3 operator*(const Vec3& v) const { return Vec3(x * v.x, y * v.y, z * v.z); }
    constexpr Vec3 operator/(float s) const { return *this * (1.0f / s); }

    constexpr Vec3& operator+=(const Vec3& v) { x += v.x; y += v.y; z += v.z; return *this; }
    constexpr Vec3& operator-=(const Vec3& v) { x -= v.x; y -= v.y; z -= v.z; return *this; }
    constexpr Vec3& operator*=(float s) { x *= s; y *= s; z *= s; return *this; }

    constexpr bool operator==(const Vec3&) const = default;

    constexpr float LengthSquared() const { return x * x + y * y + z * z; }
    float Length() const { return std::sqrt(LengthSquared()); }

    // The unit-length copy; the zero vector stays zero. Testing the squared length (not the length)
    // keeps 1 / length finite: the smallest non-zero length is about 1e-23.
    Vec3 Unit() const {
        const float lengthSquared = LengthSquared();
        return lengthSquared > 0.0f ? *this * (1.0f / std::sqrt(lengthSquared)) : Vec3();
    }

    // All three components finite (no infinity, no NaN).
    bool IsValid() const { return std::isfinite(x) && std::isfinite(y) && std::isfinite(z); }

    // A unit vector at right angles to this one: unit(v x (0, 1, 0)), or unit(v x (1, 0, 0)) when
    // the vector is within 0.0001 of vertical. The vertical test is made on the direction, not on
    // the raw y, so that short and long vertical vectors get a perpendicular too. Zero gives zero.
    Vec3 GetPerpendicular() const;
};

constexpr Vec3 operator*(float s, const Vec3& v) { return v * s; }

constexpr float Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

constexpr Vec3 Cross(const Vec3& a, const Vec3& b) {
    return Vec3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

}  // namespace GAME
