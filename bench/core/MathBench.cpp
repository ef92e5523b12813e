// Culling and picking kernels: the per-object tests run for every entity, region and triangle.

#include "core/ABBox.h"
#include "core/Coords.h"
#include "core/Frustum.h"
#include "core/IntersectionTests.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace GAME {
namespace {

constexpr int kCount = 4096;

// A fixed sequence of floats in [-1, 1), the same on every run.
class Sequence {
public:
    float Next() {
        state = state * 1664525u + 1013904223u;
        return float(state >> 8) * (2.0f / 16777216.0f) - 1.0f;
    }
    Vec3 NextVec3(float scale) { return Vec3(Next(), Next(), Next()) * scale; }

private:
    uint32_t state = 12345u;
};

// A 90-degree view frustum from z = 1 to 100, turned and moved so that no plane is axis-aligned.
Frustum MakeViewFrustum() {
    const Vec3 eye;
    const Vec3 farCorners[4] = {Vec3(-100, -100, 100), Vec3(100, -100, 100), Vec3(100, 100, 100), Vec3(-100, 100, 100)};
    Frustum f;
    for (int i = 0; i < 4; ++i) {
        const Plane side(eye, farCorners[i], farCorners[(i + 1) % 4]);
        f.AddPlane(side.GetDistance(Vec3(0, 0, 50)) >= 0.0f ? side : Plane(-side.normal, -side.d));
    }
    f.AddPlane(Plane(Vec3(0, 0, -1), 100));
    f.AddPlane(Plane(Vec3(0, 0, 1), -1));
    f.Transform(Coords::LookIn(Vec3(3, 1, -2), Vec3(0.2f, -0.1f, 1), Vec3(0, 1, 0)));
    return f;
}

// Culls every shape once per iteration; about one in ten is visible.
template <typename Shape>
void CountVisible(benchmark::State& state, const std::vector<Shape>& shapes) {
    const Frustum frustum = MakeViewFrustum();
    for (auto _ : state) {
        int visible = 0;
        for (const Shape& shape : shapes) {
            visible += TestIntersection(shape, frustum) ? 1 : 0;
        }
        benchmark::DoNotOptimize(visible);
    }
    state.SetItemsProcessed(state.iterations() * int64_t(shapes.size()));
}

void BM_FrustumABBox(benchmark::State& state) {
    Sequence random;
    std::vector<ABBox> boxes;
    for (int i = 0; i < kCount; ++i) {
        boxes.push_back(ABBox(random.NextVec3(120.0f), Vec3(1, 1, 1) + random.NextVec3(0.9f)));
    }
    CountVisible(state, boxes);
}
BENCHMARK(BM_FrustumABBox);

void BM_FrustumSphere(benchmark::State& state) {
    Sequence random;
    std::vector<Sphere> spheres;
    for (int i = 0; i < kCount; ++i) {
        spheres.push_back(Sphere(random.NextVec3(120.0f), 1.0f + random.Next() * 0.9f));
    }
    CountVisible(state, spheres);
}
BENCHMARK(BM_FrustumSphere);

void BM_FrustumOBBox(benchmark::State& state) {
    Sequence random;
    std::vector<OBBox> boxes;
    for (int i = 0; i < kCount; ++i) {
        Coords frame = Coords::Rotation(random.NextVec3(1.0f).Unit(), random.Next() * 3.0f);
        frame.origin = random.NextVec3(120.0f);
        boxes.push_back(OBBox(Vec3(1, 1, 1) + random.NextVec3(0.9f), frame));
    }
    CountVisible(state, boxes);
}
BENCHMARK(BM_FrustumOBBox);

void BM_RayABBox(benchmark::State& state) {
    Sequence random;
    std::vector<ABBox> boxes;
    for (int i = 0; i < kCount; ++i) {
        boxes.push_back(ABBox(random.NextVec3(20.0f), Vec3(1, 1, 1) + random.NextVec3(0.9f)));
    }
    const Ray ray(Vec3(-30, 0.5f, 0.25f), Vec3(1, 0.05f, -0.02f));
    for (auto _ : state) {
        float nearest = Infinity;
        for (const ABBox& box : boxes) {
            nearest = Min(nearest, box.GetIntersection(ray));
        }
        benchmark::DoNotOptimize(nearest);
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_RayABBox);

void BM_RayTriangle(benchmark::State& state) {
    Sequence random;
    std::vector<Vec3> corners;
    for (int i = 0; i < kCount; ++i) {
        const Vec3 centre = random.NextVec3(10.0f);
        corners.push_back(centre + random.NextVec3(2.0f));
        corners.push_back(centre + random.NextVec3(2.0f));
        corners.push_back(centre + random.NextVec3(2.0f));
    }
    const Ray ray(Vec3(-30, 0.5f, 0.25f), Vec3(1, 0.05f, -0.02f));
    for (auto _ : state) {
        float nearest = Infinity;
        for (size_t i = 0; i < corners.size(); i += 3) {
            nearest = Min(nearest, IntersectRayTriangle(ray, corners[i], corners[i + 1], corners[i + 2]));
        }
        benchmark::DoNotOptimize(nearest);
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_RayTriangle);

}  // namespace
}  // namespace GAME
