#pragma once
// SoundManager: the listener of positional sound (Singleton<SoundManager>).
//
// The engine plays no sound: this manager has a silent backend. It keeps the listener's position,
// orientation and camera lift, which the scene sets each frame, so that whatever plays sound later
// starts from them; nothing reaches an audio device.

#include "core/Vec3.h"
#include "core/WorldVec3.h"

namespace GAME {

class SoundManager {
public:
    SoundManager() = default;
    SoundManager(const SoundManager&) = delete;
    SoundManager& operator=(const SoundManager&) = delete;

    // How far above the camera's target the listener sits, along the region's y axis (0 by default).
    float GetCameraLerp() const { return cameraLerp_; }
    void SetCameraLerp(float lift) { cameraLerp_ = lift; }

    void SetEarsPosition(const WorldVec3& position) { earsPosition_ = position; }
    const WorldVec3& GetEarsPosition() const { return earsPosition_; }

    // The listener's facing and up directions, stored as given.
    void SetEarsOrientation(const Vec3& forward, const Vec3& up) {
        earsForward_ = forward;
        earsUp_ = up;
    }
    const Vec3& GetEarsForward() const { return earsForward_; }
    const Vec3& GetEarsUp() const { return earsUp_; }

private:
    float cameraLerp_ = 0.0f;
    WorldVec3 earsPosition_;
    Vec3 earsForward_{0.0f, 0.0f, 1.0f};
    Vec3 earsUp_{0.0f, 1.0f, 0.0f};
};

}  // namespace GAME
