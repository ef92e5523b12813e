#pragma once
// GraphicsBudget: keeps video memory free. The graphics engine runs its budget step once a frame,
// and every budgeted resource manager (textures, fonts, meshes, shaders) runs it after its own
// budget: when the device's free video memory runs low, each budgeted manager evicts resources
// that have not been used for a while, the more eagerly the less is free.

#include "core/Mem.h"

#include <cstddef>
#include <cstdint>
#include <mutex>

namespace GAME {

class BaseResourceManager;
class RenderDevice;

class GraphicsBudget {
public:
    // Below this much free video memory, unused resources are evicted after few frames ...
    static constexpr size_t kLowMemory = 25165824;  // 24 MiB
    // ... below this, after kRelaxedFrames frames.
    static constexpr size_t kTightMemory = 67108864;  // 64 MiB
    static constexpr uint32_t kRelaxedFrames = 400;

    explicit GraphicsBudget(RenderDevice& device) : device_(device) {}
    GraphicsBudget(const GraphicsBudget&) = delete;
    GraphicsBudget& operator=(const GraphicsBudget&) = delete;

    void AddManager(BaseResourceManager* manager);
    void RemoveManager(BaseResourceManager* manager);

    // The budget step: with less than kLowMemory free, every budgeted manager evicts what was not
    // used for (free x 2.3047130e-06 + 2) frames (2 frames with nothing free, about 60 at the
    // threshold); with less than kTightMemory free, what was not used for kRelaxedFrames frames.
    // Evictions wait 200 frames and spare resources of 8 KiB or less.
    void MaintainBudget();

private:
    RenderDevice& device_;
    std::mutex lock_;  // the managers may run the step from any thread
    mem::vector<BaseResourceManager*> managers_;
};

}  // namespace GAME
