#pragma once
// GraphicsTransparencyManager: for every region of the world, a blend amount between 0 and 1 that
// rises while the region is near the transparency target (the player: its own region and the
// regions its portals lead to) and falls otherwise, over kFadeTime of game time. The portal
// renderer reads the amounts to fade regions in and out as the target walks between them, and
// hands the manager's transparency frustum, height and target to each region's normal renderer,
// which makes what stands between the camera and the target see-through. The host owns the
// manager, sets its target every frame and gives it to the portal renderer.
//
// Underground (or while the target's level is not loaded) only the target's own region fades in.
// The amounts are indexed by the regions' world indices and persist between frames; an index
// outside them (or -1, a region the world does not know) reads 0.

#include <cstdint>

#include "core/GameTimer.h"
#include "core/Mem.h"
#include "core/WorldVec3.h"
#include "world/WorldFrustum.h"

namespace GAME {

class Region;
class World;

class GraphicsTransparencyManager {
public:
    // Milliseconds a region takes to fade fully in or out.
    static constexpr int kFadeTime = 350;

    GraphicsTransparencyManager() = default;

    // Stores the target and, once per engine frame, moves every region's amount on by the game
    // time since the last update (in the engine's world).
    void SetTargetPosition(const WorldVec3& position);
    const WorldVec3& GetTargetPosition() const { return target_; }
    // One step of the fade for the target's region: each region's amount rises or falls by
    // elapsedMs / kFadeTime, kept within [0, 1].
    void UpdateBlendAmounts(const World& world, int elapsedMs);

    void SetTransparencyFrustum(const WorldFrustum& frustum) { frustum_ = frustum; }
    const WorldFrustum& GetTransparencyFrustum() const { return frustum_; }
    void SetTransparencyHeight(float height) { height_ = height; }
    float GetTransparencyHeight() const { return height_; }

    // 0 for a null region or one outside the amounts.
    float GetRegionBlendAmount(const Region* region) const;

private:
    WorldVec3 target_;
    mem::vector<float> amounts_;
    float height_ = 0.0f;
    GameTimer timer_;
    uint32_t lastFrame_ = 0;
    WorldFrustum frustum_;
};

}  // namespace GAME
