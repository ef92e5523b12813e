#include "core/Vec3.h"

namespace GAME {

Vec3 Vec3::GetPerpendicular() const {
    // |unit(v).y| >= 1 - 0.0001, compared on squares to avoid the square root.
    constexpr float kThreshold = 1.0f - 0.0001f;
    const bool vertical = y * y >= kThreshold * kThreshold * LengthSquared();
    // v x (0, 1, 0) = (-z, 0, x); v x (1, 0, 0) = (0, z, -y).
    return (vertical ? Vec3(0.0f, z, -y) : Vec3(-z, 0.0f, x)).Unit();
}

}  // namespace GAME
