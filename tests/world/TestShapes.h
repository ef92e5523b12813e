#pragma once
// Random shapes for the world tests: view frusta at any position and heading, boxes and rays.

#include "core/Coords.h"
#include "core/Frustum.h"
#include "core/Vec3.h"

#include <cmath>
#include <random>

namespace GAME::test {

// A view frustum at origin looking along forward, with the given half angle (radians) on both
// image axes, between the near and far distances.
inline Frustum MakeViewFrustum(const Vec3& origin, const Vec3& forward, float halfAngle, float nearDistance,
                               float farDistance) {
    const float c = std::cos(halfAngle);
    const float s = std::sin(halfAngle);
    Frustum frustum;
    frustum.AddPlane(Plane(Vec3(0, 0, 1), -nearDistance));
    frustum.AddPlane(Plane(Vec3(0, 0, -1), farDistance));
    frustum.AddPlane(Plane(Vec3(c, 0, s), 0));
    frustum.AddPlane(Plane(Vec3(-c, 0, s), 0));
    frustum.AddPlane(Plane(Vec3(0, c, s), 0));
    frustum.AddPlane(Plane(Vec3(0, -c, s), 0));
    frustum.Transform(Coords::LookIn(origin, forward, Vec3(0, 1, 0)));
    return frustum;
}

// Uniform numbers from a fixed seed, so every run tests the same shapes.
class Shapes {
public:
    explicit Shapes(unsigned seed) : engine_(seed) {}

    float Uniform(float low, float high) { return std::uniform_real_distribution<float>(low, high)(engine_); }
    Vec3 Point(const Vec3& low, const Vec3& high) {
        return Vec3(Uniform(low.x, high.x), Uniform(low.y, high.y), Uniform(low.z, high.z));
    }
    Vec3 Direction() {
        for (;;) {
            const Vec3 v = Point(Vec3(-1, -1, -1), Vec3(1, 1, 1));
            if (v.LengthSquared() > 0.01f && v.LengthSquared() <= 1.0f) return v.Unit();
        }
    }
    Frustum ViewFrustum(const Vec3& low, const Vec3& high, float farDistance) {
        return MakeViewFrustum(Point(low, high), Direction(), Uniform(0.2f, 0.8f), Uniform(0.1f, 2.0f), farDistance);
    }

private:
    std::mt19937 engine_;
};

}  // namespace GAME::test
