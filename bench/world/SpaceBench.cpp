// Loose quadtree queries against scanning every object, over 10,000 and 100,000 entity-sized
// objects spread over a 2,048 x 2,048 square (up to 40 units tall), and the cost of inserting and
// moving objects. Queries are entity-sized: boxes 40 units across, spheres of radius 20, view
// camera frusta 150 units deep, and rays that stop at the first object hit.

#include "core/Coords.h"
#include "core/IntersectionTests.h"
#include "render/Camera.h"
#include "render/Viewport.h"
#include "world/Space.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <deque>
#include <random>

namespace GAME {
namespace {

constexpr float kHalfWorld = 1024.0f;
constexpr int kQueries = 256;

struct Object {
    ABBox box;
    SpaceLinks<Object> links;
};

struct ObjectTraits {
    static SpaceLinks<Object>& GetLinks(Object& object) { return object.links; }
    static const ABBox& GetBoundingBox(const Object& object, bool) { return object.box; }
    static void GetIntersection(Object& object, const Ray& ray, Intersection& hit, PhysicsSurface) {
        hit.distance = object.box.GetIntersection(ray);
    }
};

using Tree = Space<Object, ObjectTraits, SpaceInsideNodes::TakeAll>;

// The same shapes on every run.
class Sequence {
public:
    float Uniform(float low, float high) { return std::uniform_real_distribution<float>(low, high)(engine_); }
    Vec3 Point(float height) {
        return Vec3(Uniform(-kHalfWorld, kHalfWorld), Uniform(0, height), Uniform(-kHalfWorld, kHalfWorld));
    }
    Vec3 Direction() {
        const float angle = Uniform(0, 6.2831853f);
        return Vec3(std::cos(angle), Uniform(-0.2f, 0.2f), std::sin(angle)).Unit();
    }

private:
    std::mt19937 engine_{2024u};
};

ABBox RandomObjectBox(Sequence& sequence) {
    return ABBox(sequence.Point(40.0f),
                 Vec3(sequence.Uniform(0.3f, 2.0f), sequence.Uniform(0.5f, 3.0f), sequence.Uniform(0.3f, 2.0f)));
}

Frustum ViewFrustum(const Vec3& origin, const Vec3& forward) {
    Camera camera;
    camera.SetCoords(Coords::LookIn(origin, forward, Vec3(0, 1, 0)));
    camera.SetFOV(1.2f);
    camera.SetFarPlane(150.0f);
    return camera.GetFrustum(Viewport(0, 0, 1024, 768));
}

// One populated tree per object count, and the queries every benchmark of that count runs.
struct Scene {
    std::deque<Object> objects;
    Tree tree{Vec2(0, 0), Vec2(kHalfWorld, kHalfWorld)};
    std::vector<ABBox> boxes;
    std::vector<Sphere> spheres;
    std::vector<Frustum> frusta;
    std::vector<Ray> rays;

    explicit Scene(int count) : objects(size_t(count)) {
        Sequence sequence;
        for (Object& object : objects) {
            object.box = RandomObjectBox(sequence);
            tree.AddObject(object);
        }
        for (int i = 0; i < kQueries; ++i) {
            boxes.emplace_back(sequence.Point(40.0f), Vec3(20, 20, 20));
            spheres.emplace_back(sequence.Point(40.0f), 20.0f);
            frusta.push_back(ViewFrustum(sequence.Point(40.0f), sequence.Direction()));
            rays.emplace_back(sequence.Point(40.0f), sequence.Direction());
        }
    }

    static Scene& Get(int count) {
        static Scene small(10000);
        static Scene large(100000);
        return count == 10000 ? small : large;
    }
};

// One query per iteration, cycling through the scene's queries; query(scene, i, found) fills found.
template <class Query>
void RunQueries(benchmark::State& state, const Query& query) {
    Scene& scene = Scene::Get(int(state.range(0)));
    mem::vector<Object*> found;
    int i = 0;
    for (auto _ : state) {
        found.clear();
        query(scene, size_t(i), found);
        benchmark::DoNotOptimize(found.data());
        i = (i + 1) % kQueries;
    }
    state.SetItemsProcessed(state.iterations());
}

// The same query answered by testing every object.
template <class Test>
void ScanAll(benchmark::State& state, const Test& test) {
    RunQueries(state, [&test](Scene& scene, size_t i, mem::vector<Object*>& found) {
        for (Object& object : scene.objects) {
            if (test(scene, object, i)) found.push_back(&object);
        }
    });
}

void BM_BoxTree(benchmark::State& state) {
    RunQueries(state,
               [](Scene& scene, size_t i, mem::vector<Object*>& found) { scene.tree.GetInBox(found, scene.boxes[i]); });
}
void BM_BoxScan(benchmark::State& state) {
    ScanAll(state, [](const Scene& scene, const Object& object, size_t i) {
        return TestIntersection(object.box, scene.boxes[i]);
    });
}

void BM_SphereTree(benchmark::State& state) {
    RunQueries(state, [](Scene& scene, size_t i, mem::vector<Object*>& found) {
        scene.tree.GetInSphere(found, scene.spheres[i]);
    });
}
void BM_SphereScan(benchmark::State& state) {
    ScanAll(state, [](const Scene& scene, const Object& object, size_t i) {
        return TestIntersection(object.box, scene.spheres[i]);
    });
}

void BM_FrustumTree(benchmark::State& state) {
    RunQueries(state, [](Scene& scene, size_t i, mem::vector<Object*>& found) {
        scene.tree.GetInFrustum(found, &scene.frusta[i], 1);
    });
}
void BM_FrustumScan(benchmark::State& state) {
    ScanAll(state,
            [](const Scene& scene, const Object& object, size_t i) { return scene.frusta[i].TestABBox(object.box); });
}

void BM_RayTree(benchmark::State& state) {
    Scene& scene = Scene::Get(int(state.range(0)));
    int i = 0;
    for (auto _ : state) {
        Intersection hit;
        benchmark::DoNotOptimize(scene.tree.Pick(scene.rays[size_t(i)], hit, PhysicsSurface::None));
        i = (i + 1) % kQueries;
    }
    state.SetItemsProcessed(state.iterations());
}
void BM_RayScan(benchmark::State& state) {
    Scene& scene = Scene::Get(int(state.range(0)));
    int i = 0;
    for (auto _ : state) {
        float nearest = Infinity;
        const Object* picked = nullptr;
        for (const Object& object : scene.objects) {
            const float t = object.box.GetIntersection(scene.rays[size_t(i)]);
            if (t < nearest) {
                nearest = t;
                picked = &object;
            }
        }
        benchmark::DoNotOptimize(picked);
        i = (i + 1) % kQueries;
    }
    state.SetItemsProcessed(state.iterations());
}

// Inserting every object into an empty tree; items are objects.
void BM_Insert(benchmark::State& state) {
    Sequence sequence;
    std::deque<Object> objects(size_t(state.range(0)));
    for (Object& object : objects) object.box = RandomObjectBox(sequence);
    for (auto _ : state) {
        Tree tree(Vec2(0, 0), Vec2(kHalfWorld, kHalfWorld));
        for (Object& object : objects) {
            object.links = SpaceLinks<Object>();
            tree.AddObject(object);
        }
        benchmark::DoNotOptimize(tree.GetNumObjects());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Moving objects a step of up to one unit and re-placing them, as a frame of walking entities.
void BM_Move(benchmark::State& state) {
    Sequence sequence;
    std::deque<Object> objects(size_t(state.range(0)));
    Tree tree(Vec2(0, 0), Vec2(kHalfWorld, kHalfWorld));
    for (Object& object : objects) {
        object.box = RandomObjectBox(sequence);
        tree.AddObject(object);
    }
    std::vector<Vec3> steps;
    for (int i = 0; i < 4096; ++i)
        steps.push_back(Vec3(sequence.Uniform(-1, 1), sequence.Uniform(-0.1f, 0.1f), sequence.Uniform(-1, 1)));
    size_t next = 0;
    for (auto _ : state) {
        Object& object = objects[next % objects.size()];
        object.box.centre += steps[next % steps.size()];
        tree.UpdateObject(object);
        ++next;
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_BoxTree)->Arg(10000)->Arg(100000);
BENCHMARK(BM_BoxScan)->Arg(10000)->Arg(100000);
BENCHMARK(BM_SphereTree)->Arg(10000)->Arg(100000);
BENCHMARK(BM_SphereScan)->Arg(10000)->Arg(100000);
BENCHMARK(BM_FrustumTree)->Arg(10000)->Arg(100000);
BENCHMARK(BM_FrustumScan)->Arg(10000)->Arg(100000);
BENCHMARK(BM_RayTree)->Arg(10000)->Arg(100000);
BENCHMARK(BM_RayScan)->Arg(10000)->Arg(100000);
BENCHMARK(BM_Insert)->Arg(10000)->Arg(100000);
BENCHMARK(BM_Move)->Arg(10000)->Arg(100000);

}  // namespace
}  // namespace GAME
