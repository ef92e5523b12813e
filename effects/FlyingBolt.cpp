#include "effects/FlyingBolt.h"

namespace GAME {

GAME_RTTI_DEFINE_CLASS(FlyingBolt, LineEffect);

FlyingBolt::FlyingBolt() {
    beams_.resize(1);
    SetTopBottomPercent(1.0f, 0.0f);
    taperPoints_ = 2;
    width_ = 0.7f;
}

bool FlyingBolt::Load(const LoadTable& table) {
    if (!LineEffect::Load(table)) return false;
    fixedOrientation_ = true;
    SetTexture(kRecordTexture);
    return true;
}

void FlyingBolt::UpdateSelf(int elapsedMs) {
    LineEffect::UpdateSelf(elapsedMs);
    textureLength_ = 1.4f;
    const Coords& frame = GetCoords().GetRegionCoords();
    std::vector<Vec3>& streak = beams_[0];
    streak.clear();
    for (int i = 0; i < 10; ++i) streak.push_back(frame.zAxis * (0.14f * static_cast<float>(i)));
    start_ = end_ = GetCoords().GetOrigin();
    end_.TranslateInRegion(frame.zAxis * 1.4f);
    boundsMin_ = Vec3(-1.0f, -1.0f, -1.0f);
    boundsMax_ = Vec3(1.0f, 1.0f, 1.0f);
    UpdateBoundingBox();
}

}  // namespace GAME
