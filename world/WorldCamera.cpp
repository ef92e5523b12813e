#include "world/WorldCamera.h"

#include <cmath>

#include "core/Coords.h"
#include "core/MathUtil.h"
#include "core/Singleton.h"
#include "render/Viewport.h"
#include "sound/SoundManager.h"

namespace GAME {

WorldCamera::WorldCamera()
    : yaw_(DegreesToRadians(50.0f)), pitch_(DegreesToRadians(pitchDefault_)), fov_(DegreesToRadians(30.0f)) {
    zoomTimer_.Reset();
    zoomTimer_.Update(false);
}

Vec3 WorldCamera::GetOffsetFromTarget() const {
    return Vec3(distance_ * std::cos(pitch_) * std::sin(yaw_), distance_ * std::sin(pitch_),
                distance_ * std::cos(pitch_) * std::cos(yaw_));
}

WorldVec3 WorldCamera::CalculateViewPosition(const WorldVec3& target) const {
    return WorldVec3(target.GetRegion(), target.GetRegionPosition() + GetOffsetFromTarget());
}

void WorldCamera::Update() {
    camera_.SetFOV(fov_);
    camera_.SetFarPlane(farPlane_);
    camera_.SetNearPlane(nearPlane_);
    const WorldVec3 target = GetTargetPosition();
    if (!target.GetRegion()) return;
    WorldVec3 view = CalculateViewPosition(target);
    if (acceleration_ != 0.0f) {
        // The present position is in the target's region of the last update.
        const WorldVec3 current(view.GetRegion(), camera_.GetCoords().origin);
        const Vec3 delta = view - current;
        const float length = delta.Length();
        if (length > 0.0f && length < kJumpDistance) {
            view = current;
            view.Translate(delta * acceleration_, false);
        }
    }
    view.TranslateInRegion(cameraOffset_);
    view.MakeRelative(target.GetRegion());
    camera_.SetCoords(Coords::LookAt(view.GetRegionPosition(), target.GetRegionPosition(), Vec3(0, 1, 0)));
}

Region* WorldCamera::GetRegion() const { return GetTargetPosition().GetRegion(); }

WorldCoords WorldCamera::GetCoords() const { return WorldCoords(GetRegion(), camera_.GetCoords()); }

WorldFrustum WorldCamera::GetFrustum(const Viewport& viewport) const {
    return WorldFrustum(GetRegion(), camera_.GetFrustum(viewport));
}

WorldFrustum WorldCamera::GetSubFrustum(const Vec2& min, const Vec2& max, const Viewport& viewport) const {
    return WorldFrustum(GetRegion(), camera_.GetSubFrustum(min, max, viewport));
}

WorldFrustum WorldCamera::GetSubFrustum(const Vec2& min, const Vec2& max, float farPlane,
                                        const Viewport& viewport) const {
    return WorldFrustum(GetRegion(), camera_.GetSubFrustum(min, max, farPlane, viewport));
}

WorldVec3 WorldCamera::GetImagePoint(const Vec2& point, const Viewport& viewport) const {
    return WorldVec3(GetRegion(), camera_.GetImagePoint(point, viewport));
}

WorldRay WorldCamera::GetRayThroughImagePoint(const Vec2& point, const Viewport& viewport) const {
    const WorldVec3 origin(GetRegion(), camera_.GetCoords().origin);
    return WorldRay(origin, (GetImagePoint(point, viewport) - origin).Unit());
}

Vec2 WorldCamera::Project(const WorldVec3& position, const Viewport& viewport) const {
    WorldVec3 relative = position;
    relative.MakeRelative(GetRegion());
    return camera_.Project(relative.GetRegionPosition(), viewport);
}

void WorldCamera::SetListenerPosition() const {
    WorldVec3 ears = GetTargetPosition();
    if (!ears.GetRegion()) return;
    SoundManager* sound = Singleton<SoundManager>::Get();
    ears.TranslateInRegion(Vec3(0, sound->GetCameraLerp(), 0));
    sound->SetEarsPosition(ears);
    Vec3 forward = camera_.GetCoords().zAxis;
    forward.y = 0.0f;
    sound->SetEarsOrientation(forward.Unit(), Vec3(0, -1, 0));
}

}  // namespace GAME
