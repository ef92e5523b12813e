#include "effects/ChaosBeam.h"

#include <algorithm>
#include <cmath>

#include "core/Random.h"
#include "core/Singleton.h"
#include "effects/EffectEntity.h"
#include "engine/Engine.h"
#include "engine/ObjectManager.h"
#include "files/LoadTable.h"
#include "world/Region.h"
#include "world/World.h"

namespace GAME {

GAME_RTTI_DEFINE_CLASS(ChaosBeam, LineEffect);

ChaosBeam::ChaosBeam() {
    width_ = 0.5f;
    textureLength_ = 6.0f;
    SetTexture(kDefaultTexture);
    SetShader(kDefaultShader);
    SetNumBeams(3);
    SetTopBottomPercent(1.0f, 0.0f);
    taperPoints_ = 5;
}

ChaosBeam::~ChaosBeam() {
    if (EffectEntity* effect = GetEffect()) {
        effect->StopEmitting();
        effect->SetSelfRemove(true);
    }
}

void ChaosBeam::SetEffect(EffectEntity* effect) { effectId_ = effect ? effect->GetObjectId() : 0; }

EffectEntity* ChaosBeam::GetEffect() const {
    if (effectId_ == 0) return nullptr;
    Object* object = Singleton<ObjectManager>::Get()->GetObject(effectId_);
    return object && object->GetRTTIClassInfo()->IsA(&EffectEntity::classInfo) ? static_cast<EffectEntity*>(object)
                                                                               : nullptr;
}

bool ChaosBeam::Load(const LoadTable& table) {
    if (!LineEffect::Load(table)) return false;
    color_ = Color(1.0f, 1.0f, 1.0f, 1.0f);
    const float stretch = table.GetFloat("TextureStretch", 0.0f);
    if (stretch > 0.0f) textureLength_ = stretch;
    textureName_ = table.GetValue("Texture", "");
    shaderName_ = table.GetValue("Shader", "");
    if (!shaderName_.empty()) SetShader(shaderName_);
    if (!textureName_.empty()) SetTexture(textureName_);
    return true;
}

void ChaosBeam::SetEndPoints(const WorldVec3& start, const WorldVec3& end) {
    const Vec3 span = start.GetRegion() ? start.GetRegion()->GetRelativePosition(end) - start.GetRegionPosition()
                                        : Vec3();
    const Vec3 reach(20.0f, 20.0f, 20.0f);
    boundsMin_ = Vec3(std::min(0.0f, span.x), std::min(0.0f, span.y), std::min(0.0f, span.z)) - reach;
    boundsMax_ = Vec3(std::max(0.0f, span.x), std::max(0.0f, span.y), std::max(0.0f, span.z)) + reach;
    LineEffect::SetEndPoints(start, end);
}

void ChaosBeam::SetNumBeams(int count) {
    numBeams_ = std::max(0, count);
    beams_.resize(static_cast<size_t>(numBeams_) + 1);
    periods_.clear();
    for (int i = 0; i < numBeams_; ++i)
        periods_.push_back(static_cast<int>(static_cast<float>(Rand15()) / 32767.0f * 1000.0f + 500.0f));
}

void ChaosBeam::Liberate() {
    if (liberated_) return;
    liberated_ = true;
    if (IsInWorld()) {
        if (World* world = gEngine != nullptr ? gEngine->GetWorld() : nullptr) world->RemoveEntity(this);
    }
    Singleton<ObjectManager>::Get()->DestroyObjectEx(this, __FILE__, __LINE__);
}

void ChaosBeam::UpdateSelf(int elapsedMs) {
    LineEffect::UpdateSelf(elapsedMs);
    if (!start_.GetRegion()) return;
    elapsed_ += elapsedMs;
    BuildStrands();
    if (EffectEntity* effect = GetEffect()) FeedEffect(*effect);
}

void ChaosBeam::FeedEffect(EffectEntity& effect) const {
    std::vector<EffectEntity::Segment> segments;
    for (const std::vector<Vec3>& strand : beams_) {
        for (size_t i = 1; i < strand.size(); ++i) segments.push_back({strand[i - 1], strand[i]});
    }
    effect.SetDynamicLines(segments, std::vector<bool>(segments.size(), true));
}

void ChaosBeam::BuildStrands() {
    const Vec3 start = start_.GetRegionPosition();
    const Vec3 end = start_.GetRegion()->GetRelativePosition(end_);
    const float time = static_cast<float>(elapsed_) * 0.001f;
    const float length = (end - start).Length();
    const int count = static_cast<int>(length * kPointsPerUnit);
    for (std::vector<Vec3>& strand : beams_) strand.clear();
    if (count == 0) return;
    const Vec3 step = (end - start).Unit() * (length / static_cast<float>(count));
    // Across the beam, level with the ground, and the lift perpendicular to both (zero for a
    // vertical beam, which then shows no jitter).
    const Vec3 side = Cross(step, Vec3(0.0f, 1.0f, 0.0f)).Unit();
    const Vec3 lift = Cross(side, step).Unit();

    std::vector<Vec3> wobble(static_cast<size_t>(count));
    for (int k = 0; k < count; ++k) {
        const float envelope = std::min(static_cast<float>(std::min(k, count - k)) * 0.05f, 1.0f);
        const float fk = static_cast<float>(k);
        wobble[static_cast<size_t>(k)] = side * (2.0f * ampScale_ *
                                                 (std::cos(fk / 31.0f + 2.0f * time) + std::sin(fk / 23.0f - time / 3.0f)) *
                                                 envelope);
    }
    const float scaledTime = time * timeScale_;
    const int points = std::min(count, kMaxPoints);
    for (int b = 0; b < numBeams_; ++b) {
        std::vector<Vec3>& strand = beams_[static_cast<size_t>(b)];
        const float period = static_cast<float>(periods_[static_cast<size_t>(b)]) * 0.001f;
        Vec3 at = start;
        for (int m = 0; m < points; ++m) {
            const float fm = static_cast<float>(m);
            const float w1 = std::sin(0.25f * fm + 2.0f * scaledTime) * std::cos(fm / (10.0f * period) + scaledTime / 3.0f);
            const float w2 = std::sin(fm * period / 2.0f + scaledTime / 2.0f) * std::cos(0.1f * fm + 2.0f * scaledTime);
            float gain = std::min(1.0f, (at - start).Length());
            const float toEnd = (at - end).Length();
            if (toEnd < 1.0f) gain = (1.0f - toEnd) * 1.5f + 1.0f;
            strand.push_back(at + wobble[static_cast<size_t>(m)] + (side * w1 + lift * w2) * (gain * 0.3f) - start);
            at += step;
        }
    }
}

}  // namespace GAME
