#include "core/Quaternion.h"

#include "core/Mat3.h"

#include <algorithm>
#include <cmath>

namespace GAME {

Quaternion::Quaternion(const Mat3& m) {
    // Take the square root of the largest of w², x², y², z² for accuracy, then the others from
    // the off-diagonal sums and differences.
    const float trace = m(0, 0) + m(1, 1) + m(2, 2);
    if (trace > 0.0f) {
        const float s = 0.5f / std::sqrt(trace + 1.0f);
        w = 0.25f / s;
        x = (m(2, 1) - m(1, 2)) * s;
        y = (m(0, 2) - m(2, 0)) * s;
        z = (m(1, 0) - m(0, 1)) * s;
    } else if (m(0, 0) > m(1, 1) && m(0, 0) > m(2, 2)) {
        const float s = 2.0f * std::sqrt(1.0f + m(0, 0) - m(1, 1) - m(2, 2));
        w = (m(2, 1) - m(1, 2)) / s;
        x = 0.25f * s;
        y = (m(0, 1) + m(1, 0)) / s;
        z = (m(0, 2) + m(2, 0)) / s;
    } else if (m(1, 1) > m(2, 2)) {
        const float s = 2.0f * std::sqrt(1.0f + m(1, 1) - m(0, 0) - m(2, 2));
        w = (m(0, 2) - m(2, 0)) / s;
        x = (m(0, 1) + m(1, 0)) / s;
        y = 0.25f * s;
        z = (m(1, 2) + m(2, 1)) / s;
    } else {
        const float s = 2.0f * std::sqrt(1.0f + m(2, 2) - m(0, 0) - m(1, 1));
        w = (m(1, 0) - m(0, 1)) / s;
        x = (m(0, 2) + m(2, 0)) / s;
        y = (m(1, 2) + m(2, 1)) / s;
        z = 0.25f * s;
    }
}

Quaternion Quaternion::Normalized() const {
    const float lengthSquared = LengthSquared();
    if (!(lengthSquared > 0.0f)) {
        return Quaternion();
    }
    const float scale = 1.0f / std::sqrt(lengthSquared);
    return Quaternion(x * scale, y * scale, z * scale, w * scale);
}

Quaternion Quaternion::Slerp(const Quaternion& a, const Quaternion& b, float w) {
    float d = Dot(a, b);
    Quaternion to = b;
    if (d < 0.0f) {
        d = -d;
        to = -b;
    }
    if (d < 1.0f - 0.0001f) {
        const float theta = std::acos(d);
        const float inverseSine = 1.0f / std::sin(theta);
        return a * (std::sin((1.0f - w) * theta) * inverseSine) + to * (std::sin(w * theta) * inverseSine);
    }
    return a * (1.0f - w) + to * w;
}

namespace {

uint32_t PackComponent(float c) {
    c = std::isnan(c) ? 0.0f : std::clamp(c, -1.0f, 1.0f);
    return static_cast<uint32_t>((c + 1.0f) * 127.5f);
}

float UnpackComponent(uint32_t byte) { return static_cast<float>(byte & 0xFFu) * (2.0f / 255.0f) - 1.0f; }

}  // namespace

uint32_t Quaternion::Pack() const {
    return PackComponent(x) | PackComponent(y) << 8 | PackComponent(z) << 16 | PackComponent(w) << 24;
}

Quaternion Quaternion::Unpack(uint32_t packed) {
    return Quaternion(UnpackComponent(packed), UnpackComponent(packed >> 8), UnpackComponent(packed >> 16),
                      UnpackComponent(packed >> 24));
}

}  // namespace GAME
