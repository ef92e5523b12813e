#pragma once
// Effect: one playing instance of an effect file: an Emitter per EmitterData of its EffectData,
// in the same order, the bone list they share and their bounds; its setters forward to every
// emitter. It keeps no pointer to the EffectData: every call that needs it takes it, and the
// owner keeps the effect resource loaded while the effect plays. It owns its emitters, so it is
// not copied.
//
// An emitter added later takes the effect's parent, light multiplier, pause and anchoring. Emitter
// lights are never attached to the parent entity: the emitter owns and places its light.

#include <memory>
#include <vector>

#include "core/ABBox.h"
#include "core/Coords.h"
#include "effects/Emitter.h"

namespace GAME {

class EffectData;
class EmitterLight;
class Entity;
class Frustum;
class GraphicsSceneRenderer;

class Effect {
public:
    // One emitter per EmitterData (none for a null or empty EffectData).
    explicit Effect(const EffectData* data);
    ~Effect();
    Effect(const Effect&) = delete;
    Effect& operator=(const Effect&) = delete;

    void AddEmitter(const EmitterData& data);
    // Past the end: nothing.
    void RemoveEmitter(int index);

    // Updates every emitter with its data, at coords, and fills box with the union of their
    // bounds in region space (a local emitter's box moved to the effect's origin). Without
    // emitters the box is left as it was.
    void Update(const WorldCoords& coords, const EffectData& data, ABBox& box);
    // Restarts every emitter's clock and empties the bone list.
    void Reset(const EffectData& data);
    // The segments bone emitters emit along (replacing the previous ones); empty: shape emission.
    void SetBoneList(const std::vector<EmitterBone>& bones) { bones_ = bones; }

    void SetPause(bool paused);
    void SetAnchored(bool anchored);
    void SetAnchor1(const WorldVec3& position);
    void SetAnchor2(const WorldVec3& position);
    void StartEmitting();
    void StopEmitting();
    // Sets every emitter's drawn-since-last-step flag (done by drawing).
    void MarkDrawn();
    void SetLightMultiplier(float multiplier);
    // The entity the emitters are drawn under.
    void SetParentEntity(Entity* parent);
    void SetEditorRegion(Region* region);
    void SetLocalOrientFix(bool fix);
    void SetBoundingBox(const ABBox& box);
    void PreLoad(int priority, bool enqueue) const;
    // Every emitter's lights and particles.
    void AddToScene(GraphicsSceneRenderer& renderer, const Frustum* frustum);

    int GetNumEmitters() const { return static_cast<int>(emitters_.size()); }
    Emitter* GetEmitter(int index) const;
    // That emitter's light; null past the end or without one.
    EmitterLight* GetLight(int index) const;
    // Every emitter complete (true with none).
    bool IsComplete() const;
    bool HasActiveParticles() const;
    int GetNumParticles() const;
    // The smallest emitter progress, 1 with no emitters.
    float GetProgress(const EffectData& data) const;
    const ABBox& GetBoundingBox() const { return box_; }
    // The sum of the emitters' frame scores.
    float GetFrameScore();
    size_t CalculateMemoryUsage() const;

private:
    std::vector<std::unique_ptr<Emitter>> emitters_;
    std::vector<EmitterBone> bones_;
    Coords coords_;  // region coordinates of the last update
    ABBox box_;
    Entity* parent_ = nullptr;
    float lightMultiplier_ = 1.0f;
    bool paused_ = false;
    bool anchored_ = false;
};

}  // namespace GAME
