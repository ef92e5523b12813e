#include "world/GraphicsTransparencyManager.h"

#include <algorithm>

#include "engine/Engine.h"
#include "world/Level.h"
#include "world/Region.h"
#include "world/World.h"

namespace GAME {

void GraphicsTransparencyManager::SetTargetPosition(const WorldVec3& position) {
    target_ = position;
    if (gEngine == nullptr || gEngine->GetFrameCount() == lastFrame_) return;
    lastFrame_ = gEngine->GetFrameCount();
    timer_.Update(false);
    if (const World* world = gEngine->GetWorld()) UpdateBlendAmounts(*world, timer_.GetElapsedTime());
}

void GraphicsTransparencyManager::UpdateBlendAmounts(const World& world, int elapsedMs) {
    const Region* targetRegion = target_.GetRegion();
    if (targetRegion == nullptr) return;
    const Level* level = targetRegion->GetLevel();
    const bool outdoor = targetRegion->IsLevelLoaded() && level != nullptr && !level->IsUnderground();
    amounts_.resize(size_t(std::max(world.GetNumRegions(), 0)), 0.0f);
    const float step = float(elapsedMs) / float(kFadeTime);
    const int targetIndex = world.GetRegionIndex(targetRegion);
    for (size_t i = 0; i < amounts_.size(); ++i) {
        Region* candidate = nullptr;
        if (outdoor) {
            Region* region = world.GetRegion(int(i));
            if (region != nullptr && region->IsLevelLoaded()) candidate = region;
        }
        float& amount = amounts_[i];
        if (int(i) == targetIndex || targetRegion->IsNeighbor(candidate)) {
            amount = std::min(amount + step, 1.0f);
        } else {
            amount -= step;
            if (!(amount > 0.0f)) amount = 0.0f;
        }
    }
}

float GraphicsTransparencyManager::GetRegionBlendAmount(const Region* region) const {
    if (region == nullptr) return 0.0f;
    const int index = region->GetIndex();
    return index >= 0 && size_t(index) < amounts_.size() ? amounts_[size_t(index)] : 0.0f;
}

}  // namespace GAME
