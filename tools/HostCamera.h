#pragma once
// HostCamera: the sample host's world camera. Its target flies a slow loop over the sample world
// (an ellipse around the world box's centre), so the regions under it stream in and out; the
// arrow keys orbit the camera around the target and the mouse wheel moves it nearer or farther.

#include "core/Vec3.h"
#include "world/WorldCamera.h"

namespace GAME {

class InputDevice;
class World;

class HostCamera : public WorldCamera {
public:
    // Arrow key codes, and the orbit and zoom steps a frame.
    static constexpr unsigned kLeftKey = 203;
    static constexpr unsigned kRightKey = 205;
    static constexpr unsigned kUpKey = 200;
    static constexpr unsigned kDownKey = 208;
    static constexpr float kOrbitStep = 0.03f;   // radians
    static constexpr float kZoomStep = 4.0f;     // units a wheel notch
    static constexpr float kMinDistance = 8.0f;
    static constexpr float kMaxDistance = 200.0f;
    // The loop's speed in radians a second.
    static constexpr float kLoopSpeed = 0.35f;

    // Follows a loop over the world's box; the input device may be null.
    HostCamera(World& world, const InputDevice* input);

    // Moves the target along its loop by the elapsed time.
    void Advance(int elapsedMs);
    // The target in the region that holds it; without one (outside every region) no region.
    WorldVec3 GetTargetPosition() const override;
    void ProcessInput() override;

private:
    World& world_;
    const InputDevice* input_;
    float angle_ = 0.0f;
};

}  // namespace GAME
