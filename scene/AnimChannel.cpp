#include "scene/AnimChannel.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/MathUtil.h"
#include "engine/Entity.h"
#include "scene/GraphicsAnim.h"

namespace GAME {

void AnimChannel::PlayAnimation(const GraphicsAnim* anim, bool loop, float speed, int blendTimeMs) {
    const Request request{anim, loop, blendTimeMs, speed};
    if (IsFading()) {
        queue_.push_back(request);
        return;
    }
    if (current_.anim) fadeOut_ = current_;
    Start(request);
    blendElapsed_ = 0;
    blendDuration_ = blendTimeMs;
}

void AnimChannel::StopAnimation() {
    fadeOut_ = PlayState();
    current_ = PlayState();
    queue_.clear();
    ++starts_;
}

void AnimChannel::Start(const Request& request) {
    current_ = PlayState();
    current_.anim = request.anim;
    current_.loop = request.loop;
    current_.speed = request.speed;
    ++starts_;
}

bool AnimChannel::Update(int dtMs, const Name& rootBone, SkeletalPose& pose, Vec3& rootVelocity, bool rootOnly) {
    if (IsFading()) {
        blendElapsed_ += dtMs;
        if (blendElapsed_ > blendDuration_) {
            blendElapsed_ = 0;
            if (!queue_.empty()) {
                const Request next = queue_.front();
                queue_.pop_front();
                blendDuration_ = next.blendTime;
                fadeOut_ = current_;
                Start(next);
            } else {
                blendDuration_ = 0;
                fadeOut_ = PlayState();
            }
        }
    } else {
        blendElapsed_ = std::min(blendElapsed_ + dtMs, blendDuration_);
    }
    if (!current_.anim) return false;

    Advance(current_, dtMs, rootBone, pose, rootVelocity, rootOnly, true);

    if (IsFading()) {
        Vec3 fadeVelocity;
        fadePose_.Clear();
        Advance(fadeOut_, dtMs, rootBone, fadePose_, fadeVelocity, rootOnly, false);
        const float t = blendDuration_ > 0 ? static_cast<float>(blendElapsed_) / static_cast<float>(blendDuration_) : 1.0f;
        pose.Blend(fadePose_, 1.0f - t);
        rootVelocity = rootVelocity * t + fadeVelocity * (1.0f - t);
    }
    return true;
}

void AnimChannel::Advance(PlayState& state, int dtMs, const Name& rootBone, SkeletalPose& pose, Vec3& rootVelocity,
                          bool rootOnly, bool notify) {
    const GraphicsAnim& anim = *state.anim;
    const float newTime = state.time + static_cast<float>(dtMs) * state.speed;
    if (rootOnly) {
        anim.GetPose(pose, newTime, state.loop, rootBone);
    } else {
        anim.GetPose(pose, newTime, state.loop);
    }

    Coords root = pose.GetBoneCoords(rootBone);
    rootVelocity = dtMs < 1 ? Vec3() : (root.origin - state.lastRoot) * (1000.0f / static_cast<float>(dtMs));
    state.lastRoot = root.origin;
    root.origin = Vec3();
    pose.SetBoneCoords(rootBone, root);

    bool ended = false;
    if (notify && entity_) {
        const float frameCount = static_cast<float>(anim.GetLength());
        const float rate = static_cast<float>(anim.GetFrameRate());
        float f0 = rate * state.time * 0.001f;
        float f1 = rate * newTime * 0.001f;
        if (state.loop) {
            f0 = WrapToRange(f0, 0.0f, frameCount);
            f1 = WrapToRange(f1, 0.0f, frameCount);
        }
        const bool wrapped = state.loop && f1 < f0;
        const auto passed = [&](float p) { return (f0 <= p && p < f1) || (wrapped && (p >= f0 || p < f1)); };

        const uint32_t starts = starts_;
        for (int i = 0; i < anim.GetNumCallbackPoints(); ++i) {
            const GraphicsAnim::CallbackPoint& point = anim.GetCallbackPoint(i);
            if (!passed(static_cast<float>(point.frame))) continue;
            entity_->AnimationCallback(entityIndex_, point.name);
            if (starts_ != starts) return;  // the callback replaced or stopped this animation
        }
        for (int i = 0; i < anim.GetNumCreateEntity(); ++i) {
            const GraphicsAnim::CreateEntity& point = anim.GetCreateEntity(i);
            if (!passed(static_cast<float>(point.frame))) continue;
            if (Entity* created = entity_->CreateAttachedEntity(point.entity, point.attach)) {
                PrepareCreatedEntity(*created);
            }
        }
        const float last = frameCount - 1.0f;
        ended = state.loop ? wrapped : (f0 < last && last <= f1);
    }
    state.time = newTime;

    if (ended) {
        static const Name kEnd = Name::Create("End");
        entity_->AnimationCallback(entityIndex_, kEnd);
    }
}

int AnimChannel::GetCurrentFrame() const {
    if (!current_.anim) return 0;
    const double frame = std::trunc(double(current_.anim->GetFrameRate()) * double(current_.time) * 0.001);
    // Clamped: a looping channel's time grows without bound.
    if (std::isnan(frame)) return 0;
    return static_cast<int>(std::clamp(frame, double(std::numeric_limits<int>::min()),
                                       double(std::numeric_limits<int>::max())));
}

const std::string& AnimChannel::GetCurrentAnimationName() const {
    static const std::string kNone = "(none)";
    return current_.anim ? current_.anim->GetFileName() : kNone;
}

float AnimChannel::GetBlendAmount() const {
    if (!current_.anim) return 0.0f;
    if (IsFading() || blendDuration_ <= 0) return 1.0f;
    return static_cast<float>(blendElapsed_) / static_cast<float>(blendDuration_);
}

}  // namespace GAME
