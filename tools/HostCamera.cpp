#include "HostCamera.h"

#include <algorithm>
#include <cmath>

#include "core/IntVec3.h"
#include "render/InputDevice.h"
#include "world/Region.h"
#include "world/World.h"

namespace GAME {

HostCamera::HostCamera(World& world, const InputDevice* input) : world_(world), input_(input) {
    SetAcceleration(0.2f);
}

void HostCamera::Advance(int elapsedMs) { angle_ += kLoopSpeed * float(elapsedMs) * 0.001f; }

WorldVec3 HostCamera::GetTargetPosition() const {
    const ABBox& box = world_.GetWorldBox();
    // Inside the box by a tenth of its size, so the loop never leaves the world.
    const Vec3 world(box.centre.x + 0.9f * box.halfSize.x * std::cos(angle_), box.centre.y,
                     box.centre.z + 0.9f * box.halfSize.z * std::sin(angle_));
    Region* region =
        world_.GetRegionContainingPoint(IntVec3(int(std::floor(world.x)), int(std::floor(world.y)), int(std::floor(world.z))));
    if (!region) return WorldVec3();
    const IntVec3& offset = region->GetOffsetFromWorld();
    return WorldVec3(region, world - Vec3(float(offset.x), float(offset.y), float(offset.z)));
}

void HostCamera::ProcessInput() {
    if (!input_) return;
    if (input_->IsKeyDown(kLeftKey)) SetCameraYaw(GetCameraYaw() - kOrbitStep);
    if (input_->IsKeyDown(kRightKey)) SetCameraYaw(GetCameraYaw() + kOrbitStep);
    if (input_->IsKeyDown(kUpKey)) SetCameraPitch(std::min(GetCameraPitch() + kOrbitStep, 1.5f));
    if (input_->IsKeyDown(kDownKey)) SetCameraPitch(std::max(GetCameraPitch() - kOrbitStep, 0.1f));
    for (unsigned i = 0; i < input_->GetNumMouseEvents(); ++i) {
        const InputDevice::MouseEvent event = input_->GetMouseEvent(i);
        const float step = event.type == InputDevice::MouseEvent::WheelUp     ? -kZoomStep
                           : event.type == InputDevice::MouseEvent::WheelDown ? kZoomStep
                                                                              : 0.0f;
        SetCameraDistance(std::clamp(GetCameraDistance() + step, kMinDistance, kMaxDistance));
    }
}

}  // namespace GAME
