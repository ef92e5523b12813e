#pragma once
// Mat3: a 3 x 3 float matrix, row-major, acting on column vectors (M * v); the default is the
// identity. A Coords frame's axes are the columns of its 3 x 3 part.

#include "core/Vec3.h"

namespace GAME {

struct Quaternion;

class Mat3 {
public:
    constexpr Mat3() : m{{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}} {}
    // The rotation matrix of a quaternion of any length; a zero quaternion gives the identity.
    explicit Mat3(const Quaternion& q);

    static constexpr Mat3 FromColumns(const Vec3& c0, const Vec3& c1, const Vec3& c2) {
        Mat3 r;
        r.m[0][0] = c0.x; r.m[0][1] = c1.x; r.m[0][2] = c2.x;
        r.m[1][0] = c0.y; r.m[1][1] = c1.y; r.m[1][2] = c2.y;
        r.m[2][0] = c0.z; r.m[2][1] = c1.z; r.m[2][2] = c2.z;
        return r;
    }

    constexpr float& operator()(int row, int col) { return m[row][col]; }
    constexpr float operator()(int row, int col) const { return m[row][col]; }

    constexpr Vec3 GetColumn(int col) const { return Vec3(m[0][col], m[1][col], m[2][col]); }

    constexpr Mat3 operator*(const Mat3& b) const {
        Mat3 r;
        for (int row = 0; row < 3; ++row) {
            for (int col = 0; col < 3; ++col) {
                r.m[row][col] = m[row][0] * b.m[0][col] + m[row][1] * b.m[1][col] + m[row][2] * b.m[2][col];
            }
        }
        return r;
    }

    constexpr Vec3 operator*(const Vec3& v) const {
        return Vec3(m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z,
                    m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
                    m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z);
    }

private:
    float m[3][3];
};

}  // namespace GAME
