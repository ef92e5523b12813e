// Costs of the effect data the particle code leans on: curve look-ups (several per particle per
// update) and parsing a whole effect file (on the resource loader's thread).

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "core/CurveData.h"
#include "effects/EffectData.h"
#include "files/BinaryWriter.h"

namespace {

using namespace GAME;

// A curve of state.range(0) evenly spaced points read at 1000 times. range(1): 0 clamped times
// over 14 domains, 1 looping times inside the domain (the emitter's own clock), 2 looping times
// over 14 domains (wrapped by fmod).
void BM_CurveGetYFast(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::vector<CurveData::Point> points;
    for (int i = 0; i < count; ++i) points.push_back({static_cast<float>(i), static_cast<float>(i % 7)});
    CurveData curve;
    curve.SetPoints(points);
    const float domain = static_cast<float>(count - 1);
    curve.SetDomain(domain);
    curve.SetLoop(state.range(1) != 0);
    const float span = (state.range(1) == 1 ? 0.999f : 14.0f) * domain;
    for (auto _ : state) {
        float sum = 0.0f;
        for (int i = 0; i < 1000; ++i) sum += curve.GetYFast(static_cast<float>(i) * 0.001f * span);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 1000);
}
BENCHMARK(BM_CurveGetYFast)->ArgsProduct({{2, 8, 64}, {0, 1, 2}});

// An effect of 8 emitters with 8-point curves, parsed from memory.
void BM_EffectBufferLoad(benchmark::State& state) {
    EffectData effect;
    for (int e = 0; e < 8; ++e) {
        auto emitter = std::make_unique<EmitterData>();
        for (int c = 0; c < EmitterData::kNumCurves; ++c) {
            std::vector<CurveData::Point> points;
            for (int i = 0; i < 8; ++i) points.push_back({static_cast<float>(i) * 0.25f, static_cast<float>(c + i)});
            emitter->GetCurve(c)->SetPoints(points);
        }
        effect.AddEmitterData(std::move(emitter));
    }
    BinaryWriter writer;
    effect.BinaryWrite(writer);
    for (auto _ : state) {
        EffectData loaded;
        benchmark::DoNotOptimize(loaded.BufferLoad(writer.GetBuffer(), writer.GetPosition()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * writer.GetPosition());
}
BENCHMARK(BM_EffectBufferLoad);

}  // namespace
