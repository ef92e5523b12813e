#pragma once
// AnimChannel: plays animations on one layer of a mesh instance. It advances time, samples the
// pose, takes the root bone's motion out of the pose as a velocity, cross-fades from the previous
// animation into the next, queues the animations asked for during a cross-fade, and tells the
// owning entity about callback points, creation points and the end of the animation.
//
// States: idle -> playing (PlayAnimation) -> fading (a PlayAnimation while one plays: the old
// animation becomes the fade-out state for the blend time; further requests queue and each starts
// its own fade when the running one ends) -> playing the last started animation -> idle after
// StopAnimation. A fade runs while the fade-out state has an animation. A non-looping animation
// keeps being sampled at its last frame after its end; only the "End" callback marks it.
//
// Points: over an update the current animation moves from frame f0 to f1 (frameRate x time /
// 1000; wrapped into [0, frame count) when looping). A point at frame p is passed when
// f0 <= p < f1, or, when the loop wrapped (f1 < f0), when p >= f0 or p < f1; each fires once per
// pass, callback points first (Entity::AnimationCallback), then creation points
// (Entity::CreateAttachedEntity, then PrepareCreatedEntity: an effect made there is a
// self-deleting child, gone when its effect is done). The end is reached when a looping animation wraps, or when a
// non-looping one steps onto or past its last frame; the entity then gets the Name of "End" after
// the time has moved on. Callback frames wrap with the frame count while looped sampling repeats
// every frame count - 1 frames (GraphicsAnim), so on long loops the points drift a frame a cycle
// against the pose; animators place points with that in mind.
//
// Callbacks may start or stop animations on this channel. When one replaces or stops the current
// animation, the rest of that animation's update is dropped: no further points fire, and the new
// animation keeps its own start time, so the callback (and anyone after it) sees the new
// animation's time.
//
// Root motion: after sampling, the root bone's origin is compared with its origin of the previous
// update; the difference per second is the root velocity (zero for steps under 1 ms), and the
// root bone is written back with its origin at 0, so the bone stays in place while the entity moves.

#include <cstdint>
#include <deque>
#include <string>

#include "core/Name.h"
#include "core/Vec3.h"
#include "scene/SkeletalPose.h"

namespace GAME {

class Entity;
class GraphicsAnim;

class AnimChannel {
public:
    // The entity that gets the callbacks (null: none) and the index it is told with them.
    void SetEntity(int index, Entity* entity) {
        entityIndex_ = index;
        entity_ = entity;
    }

    // Starts the animation at time 0, fading from the one that plays over blendTimeMs; while a
    // fade runs the request waits in the queue instead.
    void PlayAnimation(const GraphicsAnim* anim, bool loop, float speed, int blendTimeMs);
    // Stops the current and the fading animations and empties the queue.
    void StopAnimation();
    // Advances by dtMs and writes the pose and the root bone's velocity (units per second). With
    // rootOnly only the root bone is sampled. False when no animation is current.
    bool Update(int dtMs, const Name& rootBone, SkeletalPose& pose, Vec3& rootVelocity, bool rootOnly);

    // True while an animation plays, fades out or waits in the queue.
    bool IsValid() const { return current_.anim || fadeOut_.anim || !queue_.empty(); }
    // Readies an entity made at a creation point: an effect entity (or one derived from it) is made
    // a self-deleting child. Defined with the effect entity (effects/EffectEntity.cpp), which
    // scene/ does not include.
    static void PrepareCreatedEntity(Entity& created);

    // The current animation's frame (truncated toward zero); 0 without one.
    int GetCurrentFrame() const;
    // The current animation's file name, or "(none)".
    const std::string& GetCurrentAnimationName() const;
    // 0 without a current animation; 1 while a fade from another animation runs; otherwise how far
    // the channel has faded in from nothing (elapsed / blend time, 1 when the blend time is 0).
    float GetBlendAmount() const;

private:
    // One playing animation.
    struct PlayState {
        const GraphicsAnim* anim = nullptr;  // null when nothing plays
        bool loop = false;
        float time = 0.0f;   // milliseconds played
        float speed = 1.0f;  // time scale
        Vec3 lastRoot;       // root bone origin of the previous update
    };

    // An animation asked for during a fade.
    struct Request {
        const GraphicsAnim* anim = nullptr;
        bool loop = false;
        int blendTime = 0;  // milliseconds
        float speed = 1.0f;
    };

    bool IsFading() const { return fadeOut_.anim != nullptr; }
    // Makes the request the current state, starting at time 0.
    void Start(const Request& request);
    // Moves a state on by dtMs: samples, takes out the root motion and, with notify, fires the
    // points passed and the end.
    void Advance(PlayState& state, int dtMs, const Name& rootBone, SkeletalPose& pose, Vec3& rootVelocity,
                 bool rootOnly, bool notify);

    int entityIndex_ = 0;
    Entity* entity_ = nullptr;
    std::deque<Request> queue_;  // first in, first out
    PlayState fadeOut_;
    PlayState current_;
    int blendElapsed_ = 0;   // milliseconds
    int blendDuration_ = 0;  // milliseconds
    uint32_t starts_ = 0;    // bumped when the current state is replaced or cleared, so that an
                             // advance notices a callback that did so
    SkeletalPose fadePose_;  // the fade-out sample, kept so that updates do not allocate
};

}  // namespace GAME
