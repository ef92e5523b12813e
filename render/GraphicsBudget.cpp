#include "render/GraphicsBudget.h"

#include "files/BaseResourceManager.h"
#include "render/RenderDevice.h"

#include <algorithm>

namespace GAME {

namespace {

// Eviction parameters of the budget step.
constexpr uint32_t kNeverByTouch = 0xFFFFFFFFu;  // resources are evicted by use only
constexpr size_t kSmallResource = 8192;          // bytes of video memory always spared
constexpr uint32_t kDelayFrames = 200;

}  // namespace

void GraphicsBudget::AddManager(BaseResourceManager* manager) {
    std::lock_guard<std::mutex> lock(lock_);
    managers_.push_back(manager);
}

void GraphicsBudget::RemoveManager(BaseResourceManager* manager) {
    std::lock_guard<std::mutex> lock(lock_);
    managers_.erase(std::remove(managers_.begin(), managers_.end(), manager), managers_.end());
}

void GraphicsBudget::MaintainBudget() {
    const size_t free = device_.GetAvailableVideoMemory();
    uint32_t framesSinceUsed = 0;
    if (free < kLowMemory) {
        framesSinceUsed = static_cast<uint32_t>(double(free) * 2.3047130e-06 + 2.0);
    } else if (free < kTightMemory) {
        framesSinceUsed = kRelaxedFrames;
    } else {
        return;
    }
    mem::vector<BaseResourceManager*> managers;
    {
        std::lock_guard<std::mutex> lock(lock_);
        managers = managers_;
    }
    for (BaseResourceManager* manager : managers) {
        manager->EvictOldResources(kNeverByTouch, framesSinceUsed, kSmallResource, kDelayFrames);
    }
}

}  // namespace GAME
