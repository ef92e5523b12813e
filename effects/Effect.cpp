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

void Effect::AddEmitter(const EmitterData& data) {
    Emitter& emitter = *emitters_.emplace_back(std::make_unique<Emitter>(data));
    emitter.SetParentEntity(parent_);
    emitter.SetLightMultiplier(lightMultiplier_);
    emitter.SetPause(paused_);
    emitter.SetAnchored(anchored_);
}

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
    paused_ = paused;
    for (auto& emitter : emitters_) emitter->SetPause(paused);
}

void Effect::SetAnchored(bool anchored) {
    anchored_ = anchored;
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

void Effect::SetLightMultiplier(float multiplier) {
    lightMultiplier_ = multiplier;
    for (auto& emitter : emitters_) emitter->SetLightMultiplier(multiplier);
}

void Effect::SetParentEntity(Entity* parent) {
    parent_ = parent;
    for (auto& emitter : emitters_) emitter->SetParentEntity(parent);
}

void Effect::SetEditorRegion(Region* region) {
    for (auto& emitter : emitters_) emitter->SetEditorRegion(region);
}

void Effect::SetLocalOrientFix(bool fix) {
    for (auto& emitter : emitters_) emitter->SetLocalOrientFix(fix);
}

void Effect::SetBoundingBox(const ABBox& box) {
    box_ = box;
    for (auto& emitter : emitters_) emitter->SetBoundingBox(box);
}

void Effect::PreLoad(int priority, bool enqueue) const {
    for (const auto& emitter : emitters_) emitter->PreLoad(priority, enqueue);
}

void Effect::AddToScene(GraphicsSceneRenderer& renderer, const Frustum* frustum) {
    for (auto& emitter : emitters_) emitter->AddToScene(renderer, frustum);
}

EmitterLight* Effect::GetLight(int index) const {
    const Emitter* emitter = GetEmitter(index);
    return emitter ? emitter->GetLight() : nullptr;
}

float Effect::GetFrameScore() {
    float score = 0.0f;
    for (auto& emitter : emitters_) score += emitter->GetFrameScore();
    return score;
}

size_t Effect::CalculateMemoryUsage() const {
    size_t bytes = sizeof(*this) + emitters_.capacity() * sizeof(emitters_[0]) + bones_.capacity() * sizeof(EmitterBone);
    for (const auto& emitter : emitters_) bytes += emitter->CalculateMemoryUsage();
    return bytes;
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
