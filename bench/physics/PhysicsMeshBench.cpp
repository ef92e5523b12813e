// Physics-mesh queries through the box tree against testing every face, on a rolling ground of
// 20,000 triangles (100 x 100 quads). Rays come down from above at random slants, as picks and
// line-of-sight checks do; boxes are entity-sized and rest in the ground.

#include "core/IntersectionTests.h"
#include "files/BinaryWriter.h"
#include "physics/CollisionContact.h"
#include "physics/CollisionTests.h"
#include "physics/PhysicsMesh.h"
#include "physics/PhysicsMeshWriter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace GAME {
namespace {

constexpr int kQuads = 100;
constexpr int kQueries = 1024;

// The same queries on every run.
class Sequence {
public:
    float Next() { return unit_(engine_); }

private:
    std::mt19937 engine_{12345u};
    std::uniform_real_distribution<float> unit_{-1.0f, 1.0f};
};

float Height(float x, float z) { return 3.0f * std::sin(x * 0.13f) * std::cos(z * 0.11f) + 0.5f * std::sin(x * 0.9f + z); }

const PhysicsMesh& Ground() {
    static const PhysicsMesh mesh = [] {
        mem::vector<Vec3> vertices;
        for (int z = 0; z <= kQuads; ++z) {
            for (int x = 0; x <= kQuads; ++x) vertices.push_back(Vec3(float(x), Height(float(x), float(z)), float(z)));
        }
        mem::vector<PhysicsMesh::Face> faces;
        auto add = [&](uint32_t a, uint32_t b, uint32_t c) {
            PhysicsMesh::Face face;
            face.vertices[0] = a;
            face.vertices[1] = b;
            face.vertices[2] = c;
            face.surface = PhysicsSurface(faces.size() % 8);
            faces.push_back(face);
        };
        for (uint32_t z = 0; z < kQuads; ++z) {
            for (uint32_t x = 0; x < kQuads; ++x) {
                const uint32_t i = z * (kQuads + 1) + x;
                add(i, i + kQuads + 1, i + 1);
                add(i + 1, i + kQuads + 1, i + kQuads + 2);
            }
        }
        BinaryWriter writer;
        PhysicsMeshWriter::Write(writer, faces, vertices);
        PhysicsMesh loaded;
        loaded.Initialize(writer.GetBuffer(), int(writer.GetPosition()));
        return loaded;
    }();
    return mesh;
}

std::vector<Ray> Rays() {
    Sequence random;
    std::vector<Ray> rays;
    for (int i = 0; i < kQueries; ++i) {
        const Vec3 origin(50 + 50 * random.Next(), 20 + 10 * random.Next(), 50 + 50 * random.Next());
        rays.push_back(Ray(origin, Vec3(random.Next(), -1.0f, random.Next()) * 100.0f));
    }
    return rays;
}

std::vector<OBBox> Boxes() {
    Sequence random;
    std::vector<OBBox> boxes;
    for (int i = 0; i < kQueries; ++i) {
        const float x = 50 + 48 * random.Next(), z = 50 + 48 * random.Next();
        Coords frame = Coords::RotationY(3.0f * random.Next());
        frame.origin = Vec3(x, Height(x, z) + 0.3f, z);
        boxes.push_back(OBBox(Vec3(0.4f, 0.9f, 0.4f), frame));
    }
    return boxes;
}

void BM_RayThroughTree(benchmark::State& state) {
    const PhysicsMesh& mesh = Ground();
    const std::vector<Ray> rays = Rays();
    for (auto _ : state) {
        for (const Ray& ray : rays) {
            Intersection hit;
            mesh.GetIntersection(ray, hit, PhysicsSurface::None);
            benchmark::DoNotOptimize(hit.distance);
        }
    }
    state.SetItemsProcessed(state.iterations() * kQueries);
}
BENCHMARK(BM_RayThroughTree);

void BM_RayAgainstEveryFace(benchmark::State& state) {
    const PhysicsMesh& mesh = Ground();
    const std::vector<Ray> rays = Rays();
    for (auto _ : state) {
        for (const Ray& ray : rays) {
            float nearest = Infinity;
            for (int i = 0; i < mesh.GetNumFaces(); ++i) {
                const PhysicsMesh::Face& f = mesh.GetFace(i);
                nearest = Min(nearest, IntersectRayTriangle(ray, mesh.GetVertex(int(f.vertices[0])),
                                                            mesh.GetVertex(int(f.vertices[1])),
                                                            mesh.GetVertex(int(f.vertices[2]))));
            }
            benchmark::DoNotOptimize(nearest);
        }
    }
    state.SetItemsProcessed(state.iterations() * kQueries);
}
BENCHMARK(BM_RayAgainstEveryFace);

void BM_BoxThroughTree(benchmark::State& state) {
    const PhysicsMesh& mesh = Ground();
    const std::vector<OBBox> boxes = Boxes();
    CollisionContact contacts[32];
    for (auto _ : state) {
        for (const OBBox& box : boxes) {
            benchmark::DoNotOptimize(mesh.FindCollisions(box, contacts, 32, PhysicsSurface::None));
        }
    }
    state.SetItemsProcessed(state.iterations() * kQueries);
}
BENCHMARK(BM_BoxThroughTree);

void BM_BoxAgainstEveryFace(benchmark::State& state) {
    const PhysicsMesh& mesh = Ground();
    const std::vector<OBBox> boxes = Boxes();
    CollisionContact contacts[32];
    for (auto _ : state) {
        for (const OBBox& box : boxes) {
            int found = 0;
            for (int i = 0; i < mesh.GetNumFaces() && found < 32; ++i) {
                const PhysicsMesh::Face& f = mesh.GetFace(i);
                const Vec3 triangle[3] = {mesh.GetVertex(int(f.vertices[0])), mesh.GetVertex(int(f.vertices[1])),
                                          mesh.GetVertex(int(f.vertices[2]))};
                found += CollideTriangleOBBox(triangle, box, contacts + found, 32 - found);
            }
            benchmark::DoNotOptimize(found);
        }
    }
    state.SetItemsProcessed(state.iterations() * kQueries);
}
BENCHMARK(BM_BoxAgainstEveryFace);

}  // namespace
}  // namespace GAME
