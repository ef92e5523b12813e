#include "effects/Effect.h"

#include <algorithm>

#include "effects/EffectData.h"
#include "effects/EmitterData.h"

namespace GAME {

Effect::Effect(const EffectData* data) {
    if (!data) return;
    for (int i = 0; i < data->GetNumEmitters(); ++i) AddEmitter(*data->GetEmitterData(i));
}

Effect::~Effect() = default;

void Effect::AddEmitter(const EmitterData& data) { emitters_.push_back(std::make_unique<Emitter>(data)); }

void Effect::RemoveEmitter(int index) {
    if (index < 0 || index >= GetNumEmitters()) return;
    emitters_.erase(emitters_.begin() + index);
}

void Effect::Update(const WorldCoords& coords, const EffectData& data, ABBox& box) {
    coords_ = coords.GetRegionCoords();
    const std::vector<EmitterBone>* bones = bones_.empty() ? nullptr : &bones_;
    // Emitters past the data's end (the data lost emitters while playing) have nothing to run.
    const int count = std::min(GetNumEmitters(), data.GetNumEmitters());
    for (int i = 0; i < count; ++i) {
        Emitter& emitter = *emitters_[static_cast<size_t>(i)];
        ABBox emitterBox(Vec3(), Vec3(1.0f, 1.0f, 1.0f));
        emitter.Update(coords, emitterBox, *data.GetEmitterData(i), bones);
        if (emitter.GetIsEmitLocally()) emitterBox.Translate(coords_.origin);
        box_ = i == 0 ? emitterBox : ABBox::Union(box_, emitterBox);
    }
    if (count > 0) box = box_;
}

void Effect::Reset(const EffectData& data) {
    const int count = std::min(GetNumEmitters(), data.GetNumEmitters());
    for (int i = 0; i < count; ++i) emitters_[static_cast<size_t>(i)]->Reset(*data.GetEmitterData(i));
    bones_.clear();
}

void Effect::SetPause(bool paused) {
    for (auto& emitter : emitters_) emitter->SetPause(paused);
}

void Effect::SetAnchored(bool anchored) {
    for (auto& emitter : emitters_) emitter->SetAnchored(anchored);
}

void Effect::SetAnchor1(const WorldVec3& position) {
    for (auto& emitter : emitters_) emitter->SetAnchor1(position);
}

void Effect::SetAnchor2(const WorldVec3& position) {
    for (auto& emitter : emitters_) emitter->SetAnchor2(position);
}

void Effect::StartEmitting() {
    for (auto& emitter : emitters_) emitter->StartEmitting();
}

void Effect::StopEmitting() {
    for (auto& emitter : emitters_) emitter->StopEmitting();
}

void Effect::MarkDrawn() {
    for (auto& emitter : emitters_) emitter->MarkDrawn();
}

Emitter* Effect::GetEmitter(int index) const {
    return index >= 0 && index < GetNumEmitters() ? emitters_[static_cast<size_t>(index)].get() : nullptr;
}

bool Effect::IsComplete() const {
    return std::all_of(emitters_.begin(), emitters_.end(), [](const auto& e) { return e->IsComplete(); });
}

bool Effect::HasActiveParticles() const {
    return std::any_of(emitters_.begin(), emitters_.end(), [](const auto& e) { return e->HasActiveParticles(); });
}

int Effect::GetNumParticles() const {
    int total = 0;
    for (const auto& emitter : emitters_) total += emitter->GetNumParticles();
    return total;
}

float Effect::GetProgress(const EffectData& data) const {
    float progress = 1.0f;
    const int count = std::min(GetNumEmitters(), data.GetNumEmitters());
    for (int i = 0; i < count; ++i)
        progress = std::min(progress, emitters_[static_cast<size_t>(i)]->GetProgress(*data.GetEmitterData(i)));
    return progress;
}

}  // namespace GAME
