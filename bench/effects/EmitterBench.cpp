// Particle update: ten full emitters of 10,000 particles (the array's maximum), with colour,
// size, speed, spin, gravity and drag curves, against a plain loop doing the same arithmetic over
// a struct-of-arrays of 100,000 particles. The ratio of the two is the emitter's overhead.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "core/GameClock.h"
#include "core/Random.h"
#include "effects/Emitter.h"
#include "effects/EmitterData.h"
#include "world/Region.h"

namespace {

using namespace GAME;

constexpr int kEmitters = 10;
constexpr int kParticles = kEmitters * Emitter::kMaxParticles;
constexpr double kStepMs = 16.0;

void SetCurve(EmitterData& data, int slot, const mem::vector<CurveData::Point>& points, float domain) {
    CurveData* curve = data.GetCurve(slot);
    curve->SetDomain(domain);
    curve->SetPoints(points);
}

// Long-lived particles filling the array in the first update; colour, size and speed change.
EmitterData BenchData() {
    EmitterData data;
    data.SetFloat(EmitterData::Float_Life, 1.0e6f);
    SetCurve(data, EmitterData::Curve_Radius, {{0.0f, 1.0f}, {1.0e6f, 1.0f}}, 1.0e6f);
    SetCurve(data, EmitterData::Curve_Rate, {{0.0f, 1.0e6f}, {0.05f, 1.0e6f}, {0.06f, 0.0f}, {1.0e6f, 0.0f}}, 1.0e6f);
    SetCurve(data, EmitterData::Curve_Speed, {{0.0f, 2.0f}, {1.0e6f, 5.0f}}, 1.0e6f);
    SetCurve(data, EmitterData::Curve_Red, {{0.0f, 1.0f}, {5.0f, 0.2f}, {100.0f, 0.0f}}, 100.0f);
    SetCurve(data, EmitterData::Curve_Green, {{0.0f, 0.8f}, {5.0f, 0.1f}, {100.0f, 0.0f}}, 100.0f);
    SetCurve(data, EmitterData::Curve_Size, {{0.0f, 0.1f}, {3.0f, 1.0f}, {100.0f, 2.0f}}, 100.0f);
    SetCurve(data, EmitterData::Curve_Drag, {{0.0f, 0.0f}, {100.0f, 0.01f}}, 100.0f);
    return data;
}

void BM_EmitterUpdate(benchmark::State& state) {
    GameClock::Get().Reset();
    SeedRand15(1);
    const EmitterData data = BenchData();
    std::vector<std::unique_ptr<Emitter>> emitters;
    Region region(nullptr, 0, "bench", ABBox(), IntVec3(0, 0, 0), RegionId(1, 0, 0, 0));
    const WorldCoords coords(&region, Coords::Identity);
    ABBox box;
    for (int i = 0; i < kEmitters; ++i) emitters.push_back(std::make_unique<Emitter>(data));
    GameClock::Get().AdvanceBy(kStepMs);
    for (auto& emitter : emitters) emitter->Update(coords, box, data, nullptr);
    for (auto _ : state) {
        GameClock::Get().AdvanceBy(kStepMs);
        for (auto& emitter : emitters) {
            emitter->MarkDrawn();
            emitter->Update(coords, box, data, nullptr);
        }
        benchmark::DoNotOptimize(box);
    }
    // The array holds its margin of 100 records too, so each emitter is a little over 10,000.
    int live = 0;
    for (auto& emitter : emitters) live += emitter->GetNumParticles();
    if (live < kParticles) state.SkipWithError("the emitters are not full");
    state.SetItemsProcessed(state.iterations() * live);
}
BENCHMARK(BM_EmitterUpdate)->Unit(benchmark::kMicrosecond);

// The same per-particle arithmetic over separate arrays: the naive loop to compare against.
void BM_PlainParticleLoop(benchmark::State& state) {
    const EmitterData data = BenchData();
    struct Arrays {
        std::vector<float> life, age, spin, size, stretch, px, py, pz, vx, vy, vz, r, g, b, alpha;
        std::vector<uint32_t> frame;
    } a;
    for (auto* v : {&a.life, &a.age, &a.spin, &a.size, &a.stretch, &a.px, &a.py, &a.pz, &a.vx, &a.vy, &a.vz, &a.r,
                    &a.g, &a.b, &a.alpha})
        v->assign(kParticles, 0.0f);
    a.frame.assign(kParticles, 0);
    for (int i = 0; i < kParticles; ++i) {
        a.life[i] = 1.0e6f;
        a.vx[i] = static_cast<float>(i % 7) * 0.1f;
        a.vy[i] = 2.0f;
        a.vz[i] = static_cast<float>(i % 5) * 0.1f;
    }
    const CurveData& alpha = *data.GetCurve(EmitterData::Curve_Alpha);
    const CurveData& red = *data.GetCurve(EmitterData::Curve_Red);
    const CurveData& green = *data.GetCurve(EmitterData::Curve_Green);
    const CurveData& blue = *data.GetCurve(EmitterData::Curve_Blue);
    const CurveData& spin = *data.GetCurve(EmitterData::Curve_Spin);
    const CurveData& size = *data.GetCurve(EmitterData::Curve_Size);
    const CurveData& gravity = *data.GetCurve(EmitterData::Curve_Gravity);
    const CurveData& stretch = *data.GetCurve(EmitterData::Curve_Stretch);
    const CurveData& drag = *data.GetCurve(EmitterData::Curve_Drag);
    const float dt = static_cast<float>(kStepMs) * 0.001f;
    for (auto _ : state) {
        Vec3 low(1e30f, 1e30f, 1e30f);
        Vec3 high(-1e30f, -1e30f, -1e30f);
        for (int i = 0; i < kParticles; ++i) {
            a.age[i] += dt;
            const float age = a.age[i];
            if (age >= a.life[i]) continue;
            a.size[i] = size.GetYFast(age);
            a.stretch[i] = stretch.GetYFast(age);
            a.px[i] += a.vx[i] * dt;
            a.py[i] += a.vy[i] * dt;
            a.pz[i] += a.vz[i] * dt;
            a.spin[i] += (spin.GetYFast(age) - spin.GetRange() * 0.5f) * dt;
            a.vy[i] -= (gravity.GetYFast(age) - gravity.GetRange() * 0.5f) * dt;
            const float keep = 1.0f - drag.GetYFast(age);
            a.vx[i] *= keep;
            a.vy[i] *= keep;
            a.vz[i] *= keep;
            a.r[i] = red.GetYFast(age);
            a.g[i] = green.GetYFast(age);
            a.b[i] = blue.GetYFast(age);
            a.alpha[i] = alpha.GetYFast(age);
            a.frame[i] = 0;
            low = Vec3(std::min(low.x, a.px[i]), std::min(low.y, a.py[i]), std::min(low.z, a.pz[i]));
            high = Vec3(std::max(high.x, a.px[i]), std::max(high.y, a.py[i]), std::max(high.z, a.pz[i]));
        }
        benchmark::DoNotOptimize(low);
        benchmark::DoNotOptimize(high);
        benchmark::DoNotOptimize(a.px.data());
    }
    state.SetItemsProcessed(state.iterations() * kParticles);
}
BENCHMARK(BM_PlainParticleLoop)->Unit(benchmark::kMicrosecond);

}  // namespace
