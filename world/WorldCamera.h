#pragma once
// WorldCamera: the game's viewing camera, in region-relative coordinates. It follows a target the
// host's subclass supplies (GetTargetPosition), orbits it at a distance, yaw and pitch, eases
// towards its new place when given an acceleration, and keeps a Camera in the target's region
// for the projection. It answers the host's and the portal renderer's questions: the frustum,
// picking rays, projections, and where the sound listener stands.
//
// Easing: each Update moves the camera by the acceleration times the way left when that is under
// kJumpDistance; farther (a teleport, a portal crossing) it jumps. The camera offset is added
// after easing, within the view position's region.
//
// Threads: main thread.

#include "core/SystemTimer.h"
#include "core/Vec3.h"
#include "core/WorldCoords.h"
#include "core/WorldVec3.h"
#include "render/Camera.h"
#include "world/WorldFrustum.h"
#include "world/WorldRay.h"

namespace GAME {

class Region;
struct Vec2;
struct Viewport;

class WorldCamera {
public:
    static constexpr float kJumpDistance = 10.0f;

    WorldCamera();
    virtual ~WorldCamera() = default;

    // Places the region camera for this frame (see above); a target without a region moves
    // nothing, and only the projection is updated.
    virtual void Update();
    // The position the camera follows.
    virtual WorldVec3 GetTargetPosition() const = 0;
    // The host's input handling (zoom, orbit).
    virtual void ProcessInput() = 0;
    void UpdateFromInput() { ProcessInput(); }

    // Orbit and projection; angles in radians, except the pitch default, in degrees.
    float GetCameraDistance() const { return distance_; }
    void SetCameraDistance(float distance) { distance_ = distance; }
    float GetDistance() const { return distance_; }
    float GetCameraYaw() const { return yaw_; }
    void SetCameraYaw(float yaw) { yaw_ = yaw; }
    float GetCameraPitch() const { return pitch_; }
    void SetCameraPitch(float pitch) { pitch_ = pitch; }
    float GetCameraFOV() const { return fov_; }
    void SetCameraFOV(float fov) { fov_ = fov; }
    float GetCameraNearPlane() const { return nearPlane_; }
    void SetCameraNearPlane(float distance) { nearPlane_ = distance; }
    float GetCameraFarPlane() const { return farPlane_; }
    void SetCameraFarPlane(float distance) { farPlane_ = distance; }
    float GetCameraDistanceDefault() const { return distanceDefault_; }
    void SetCameraDistanceDefault(float distance) { distanceDefault_ = distance; }
    float GetCameraPitchDefault() const { return pitchDefault_; }
    void SetCameraPitchDefault(float degrees) { pitchDefault_ = degrees; }
    // The share of the way left the camera moves per update; 0 jumps at once.
    void SetAcceleration(float acceleration) { acceleration_ = acceleration; }
    Vec3& GetCameraOffset() { return cameraOffset_; }
    const Vec3& GetCameraOffset() const { return cameraOffset_; }

    const Camera& GetRegionCamera() const { return camera_; }
    void SetRegionCamera(const Camera& camera) { camera_ = camera; }
    // The target's region, in whose space the region camera stands.
    Region* GetRegion() const;
    WorldCoords GetCoords() const;

    // Views, rays and projections in the target's region.
    Frustum GetRegionFrustum(const Viewport& viewport) const { return camera_.GetFrustum(viewport); }
    WorldFrustum GetFrustum(const Viewport& viewport) const;
    WorldFrustum GetSubFrustum(const Vec2& min, const Vec2& max, const Viewport& viewport) const;
    WorldFrustum GetSubFrustum(const Vec2& min, const Vec2& max, float farPlane, const Viewport& viewport) const;
    WorldVec3 GetImagePoint(const Vec2& point, const Viewport& viewport) const;
    // From the camera through the image point, of unit length.
    WorldRay GetRayThroughImagePoint(const Vec2& point, const Viewport& viewport) const;
    Vec2 Project(const WorldVec3& position, const Viewport& viewport) const;
    // (d cos(pitch) sin(yaw), d sin(pitch), d cos(pitch) cos(yaw)) for the distance d.
    Vec3 GetOffsetFromTarget() const;

    // The listener at the target, raised by the sound manager's camera lerp, facing along the
    // camera's view flattened to the ground.
    void SetListenerPosition() const;

protected:
    // The target's position moved by the orbit offset, in the target's region.
    virtual WorldVec3 CalculateViewPosition(const WorldVec3& target) const;
    SystemTimer& GetZoomTimer() { return zoomTimer_; }

private:
    float distanceDefault_ = 40.0f;
    float pitchDefault_ = 40.0f;
    float distance_ = 40.0f;
    float yaw_;
    float pitch_;
    float fov_;
    float farPlane_ = 750.0f;
    float nearPlane_ = 1.0f;
    Vec3 cameraOffset_;
    Camera camera_;
    SystemTimer zoomTimer_;
    float acceleration_ = 0.0f;
};

}  // namespace GAME
