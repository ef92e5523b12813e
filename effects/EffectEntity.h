#pragma once
// EffectEntity (class "EffectEntity"): the world entity that plays one effect file. It holds the
// file's EffectResource and makes its Effect on the first update after the resource has loaded,
// then feeds the effect its frame every update, follows anchors and bone segments, and can take
// itself out of the world once the effect is complete.
//
// Record keys: "effectFile" (the effect file), "emitterType" ("Standard" by default, "BoneList",
// "AllBones"), "Anchored", "localOrientFix", "boneList" (bone names).
//
// The effect's emitters are drawn in the entity's region; they step only after being drawn, so an
// effect out of sight costs no particle work (its clock still runs). The entity scales its
// emitters' lights by a multiplier that moves toward its target at one unit a second (FadeLight
// takes them out over a second).
//
// Self removal: in the update in which its effect completes, an entity set to remove itself leaves
// the world, a self-deleting child leaves its parent, and either is queued for destruction once,
// even when both are set.

#include <memory>
#include <string>
#include <vector>

#include "core/ABBox.h"
#include "core/WorldVec3.h"
#include "effects/Emitter.h"
#include "engine/Entity.h"

namespace GAME {

class Effect;
class EffectResource;

class EffectEntity : public Entity {
    GAME_RTTI_DECLARE_CLASS()

public:
    // A segment between two points given by code (SetDynamicLines).
    struct Segment {
        Vec3 start;
        Vec3 end;
    };

    EffectEntity();
    // Gives back the resource and deletes the effect.
    ~EffectEntity() override;

    bool Load(const LoadTable& table) override;
    size_t CalculateMemoryUsage() const override;
    size_t CalculateAllocatedMemory() const override;
    // Queues the effect file, and the textures and shaders of the effect once it is made.
    bool PreLoad(int priority, bool enqueue) override;
    // The effect, and with the bounding-box flag a red box around the entity.
    void AddToScene(GraphicsSceneRenderer& renderer, const Frustum* frustum) override;
    void UpdateBoundingBox() override;
    // Only in the editor and for a surface argument other than 0: a sphere of radius 1 at the
    // entity's position.
    bool GetIntersection(const Ray& ray, Intersection& intersection, PhysicsSurface surface) override;
    void UpdateSelf(int elapsedMs) override;

    // Plays the effect file (the resource of that name); replaces the effect.
    void Load(const std::string& fileName);
    // Plays the resource, taking over the caller's reference (null: nothing); replaces the effect.
    void SetResource(const EffectResource* resource);
    // A new effect from the loaded resource, started or stopped as the entity is.
    void ReLoad();
    void Reset();
    // World::AddEntity at coords; self remove as given.
    bool AddToWorld(const WorldCoords& coords, bool selfRemove);
    void SetSelfRemove(bool selfRemove) { selfRemove_ = selfRemove; }
    // Destroys itself when the effect completes while it is attached to a parent.
    void MakeSelfDeletingChild() { selfDeletingChild_ = true; }
    void StartEmitting();
    void StopEmitting();
    bool HasActiveParticles() const;
    // The lights go out over one second.
    void FadeLight() { lightTarget_ = 0.0f; }
    float GetLightMultiplier() const { return lightMultiplier_; }
    // Anchors given by code win over the parent's "Anchor1" and "Anchor2" attach points.
    void SetAnchored(bool anchored);
    void SetAnchor1(const WorldVec3& position) { anchor1_ = position; }
    void SetAnchor2(const WorldVec3& position) { anchor2_ = position; }
    // Replaces the bone segments with the given ones (flags: whether each emits) and marks the
    // entity as emitting along lines given by code, until a record's known "emitterType" says
    // otherwise. A segment shorter than the emitter can draw along is lengthened to run toward
    // (0.001, 0.001, 0.001).
    void SetDynamicLines(const std::vector<Segment>& segments, const std::vector<bool>& flags);
    const std::vector<EmitterBone>& GetBoneSegments() const { return segments_; }
    // Appends a segment from each chosen bone of the parent actor's posed mesh to its parent bone
    // (all bones, or the named ones the mesh has; roots are skipped). False when the parent is no
    // actor with a mesh.
    bool PullParentBones(std::vector<EmitterBone>& bones) const;

    // Null until the resource has loaded.
    Effect* GetEffect() { return effect_.get(); }
    const Effect* GetEffect() const { return effect_.get(); }
    const EffectResource* GetResource() const { return resource_; }
    bool GetIsAnchored() const { return anchored_; }
    bool GetUsesBoneList() const { return boneList_; }
    bool GetUsesAllBones() const { return allBones_; }
    bool GetUsesDynamicLines() const { return dynamicLines_; }
    bool GetLocalOrientFix() const { return localOrientFix_; }
    const std::vector<std::string>& GetBoneNames() const { return boneNames_; }

private:
    void MakeEffect();
    void ReleaseResource();

    ABBox effectBox_{Vec3(), Vec3(1.0f, 1.0f, 1.0f)};
    std::vector<EmitterBone> segments_;
    std::vector<std::string> boneNames_;
    bool dynamicLines_ = false;
    bool boneList_ = false;
    bool allBones_ = false;
    bool selfRemove_ = false;
    bool emitting_ = true;
    bool anchored_ = false;
    bool hasEffectBox_ = false;
    bool anchorsGiven_ = false;
    bool selfDeletingChild_ = false;
    bool destroyQueued_ = false;  // destroyed once, whichever flag asked first
    bool localOrientFix_ = false;
    float lightMultiplier_ = 1.0f;
    float lightTarget_ = 1.0f;
    const EffectResource* resource_ = nullptr;
    std::unique_ptr<Effect> effect_;
    WorldVec3 anchor1_;
    WorldVec3 anchor2_;
};

}  // namespace GAME
