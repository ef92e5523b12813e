// Fuzzes EffectData::BufferLoad (both emitter forms and the curves inside them). Whatever loads
// must write out and load back to the same bytes, and its curves must give finite values.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "effects/EffectData.h"
#include "files/BinaryWriter.h"

namespace {

std::vector<unsigned char> Written(const GAME::EffectData& effect) {
    GAME::BinaryWriter writer;
    effect.BinaryWrite(writer);
    return {writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    GAME::EffectData effect;
    if (!effect.BufferLoad(data, static_cast<uint32_t>(size))) {
        if (effect.GetNumEmitters() != 0) std::abort();
        return 0;
    }
    for (int i = 0; i < effect.GetNumEmitters(); ++i)
        for (int c = 0; c < GAME::EmitterData::kNumCurves; ++c)
            if (!std::isfinite(effect.GetEmitterData(i)->GetCurve(c)->GetYFast(static_cast<float>(i + c) * 0.37f)))
                std::abort();

    const std::vector<unsigned char> first = Written(effect);
    GAME::EffectData again;
    if (!again.BufferLoad(first.data(), static_cast<uint32_t>(first.size()))) std::abort();
    if (Written(again) != first) std::abort();
    return 0;
}
