#pragma once
// HostCamera: the sample host's world camera. The host places its target at a point of the world
// (world space) each frame; the camera orbits that point at the distance, yaw and pitch the host
// sets, in the region that holds the point.

#include "core/Vec3.h"
#include "world/WorldCamera.h"

namespace GAME {

class World;

class HostCamera : public WorldCamera {
public:
    explicit HostCamera(World& world) : world_(world) {}

    void SetTarget(const Vec3& worldPoint) { target_ = worldPoint; }
    // The target in the region that holds it; without one (outside every region) no region.
    WorldVec3 GetTargetPosition() const override;
    // The host steers the camera itself.
    void ProcessInput() override {}

private:
    World& world_;
    Vec3 target_;
};

}  // namespace GAME
