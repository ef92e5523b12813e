#pragma once
// Random shapes for the world tests: view frusta at any position and heading, boxes and rays.

#include "core/Coords.h"
#include "core/Frustum.h"
#include "core/Vec3.h"
#include "render/Camera.h"
#include "render/Viewport.h"
#include "world/Portal.h"

#include <random>
#include <utility>

namespace GAME::test {

// A doorway two wide and two high in the x/y plane of portal space, facing +z (or -z).
inline mem::vector<Portal::Triangle> Doorway(bool facingPlusZ) {
    mem::vector<Portal::Triangle> triangles{Portal::Triangle{{Vec3(-1, 0, 0), Vec3(1, 0, 0), Vec3(1, 2, 0)}},
                                            Portal::Triangle{{Vec3(-1, 0, 0), Vec3(1, 2, 0), Vec3(-1, 2, 0)}}};
    if (!facingPlusZ) {
        for (Portal::Triangle& triangle : triangles) std::swap(triangle.corner[1], triangle.corner[2]);
    }
    return triangles;
}

// A camera's view frustum at origin looking along forward, with the given vertical angle of view
// (radians) over a 4:3 view, reaching farDistance.
inline Frustum MakeViewFrustum(const Vec3& origin, const Vec3& forward, float fov, float farDistance) {
    Camera camera;
    camera.SetCoords(Coords::LookIn(origin, forward, Vec3(0, 1, 0)));
    camera.SetFOV(fov);
    camera.SetFarPlane(farDistance);
    return camera.GetFrustum(Viewport(0, 0, 640, 480));
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
        return MakeViewFrustum(Point(low, high), Direction(), Uniform(0.4f, 1.6f), farDistance);
    }

private:
    std::mt19937 engine_;
};

}  // namespace GAME::test
