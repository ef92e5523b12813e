#include "core/Mat3.h"

#include "core/Quaternion.h"

namespace GAME {

Mat3::Mat3(const Quaternion& q) {
    // Scaling by 2 / |q|² makes any non-zero quaternion a pure rotation; for zero the scale is 0
    // and the matrix stays the identity.
    const float lengthSquared = q.LengthSquared();
    const float s = lengthSquared > 0.0f ? 2.0f / lengthSquared : 0.0f;
    const float xx = q.x * q.x * s, yy = q.y * q.y * s, zz = q.z * q.z * s;
    const float xy = q.x * q.y * s, xz = q.x * q.z * s, yz = q.y * q.z * s;
    const float wx = q.w * q.x * s, wy = q.w * q.y * s, wz = q.w * q.z * s;
    m[0][0] = 1.0f - (yy + zz); m[0][1] = xy - wz;          m[0][2] = xz + wy;
    m[1][0] = xy + wz;          m[1][1] = 1.0f - (xx + zz); m[1][2] = yz - wx;
    m[2][0] = xz - wy;          m[2][1] = yz + wx;          m[2][2] = 1.0f - (xx + yy);
}

}  // namespace GAME
