#pragma once
// GMIEffectListener: told when a mesh-instance effect (GMIEffect) has finished, with the id its
// creator gave it. The listener is told once, during the instance's update, after which the
// instance retires the effect; a listener may install a follow-up effect on the same instance.

namespace GAME {

class GMIEffectListener {
public:
    // The effect of that id has finished.
    virtual void OnGMIEffectFinished(int effectId) = 0;

protected:
    ~GMIEffectListener() = default;
};

}  // namespace GAME
