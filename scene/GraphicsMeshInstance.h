#pragma once
// GraphicsMeshInstance: one drawn, animated use of a GraphicsMesh: its placement in its region,
// scale, skeletal pose and animation channel, colour, per-section opacities and bounding boxes.
// It is a renderable with one pass per face set of the mesh (pass i draws face set i) in whatever
// style its shaders have; actors own one each.
//
// Drawing sets, besides the material's parameters: "objectToWorldMatrix" and
// "objectToScreenMatrix" (4 x 4), "objectToRegionOffset", "diffuseColor" (half the colour, then
// the highlight), "shadowBias", "blendedGlobalFadeFactor", "transparencyValue" (o^k, o^k, o, o^k
// for the section opacity o, with k = ln(1/255) / ln(0.5), so half opacity maps to 1/255) and,
// for a skinned mesh, "boneMatrix" element j = the skinning matrix of the face set's j-th bone.
//
// Section opacity: a section named "FadeIn" draws at 1 - its stored opacity; sections outside the
// list draw at 1 (at 0 when named "FadeIn"). A face set whose section is below 1 draws with its
// material's transparent ('T') shader; one at exactly 0 is not drawn. See-through walls: each
// frame the renderer marks with SetTransparency the sections that stand between the camera and
// the player (never one named "NoTransparency"), and UpdateSectionOpacities fades marked sections
// down to a minimum and the rest back up, over 750 ms for a full change.
//
// Runs: when the scene renderer draws the same face set of the same mesh for several instances one
// after another in one shader style, the draws make a run if the instances add nothing of their own
// beyond the values above (no override textures, dissolve, skinning or effect, and not a derived
// class). The run's first draw opens a nested Begin depth and sets every parameter; each later draw
// sets its matrices and offset and, of the colour, shadow bias, fade and transparency, only what
// differs from the draw before; the last ends the depth. The device gets the same values for each
// draw as when every draw sets everything.
//
// Overrides: an override shader draws every pass in place of the materials'; override base and
// bump textures go to the shader as "baseTexture" and "bumpTexture".
//
// Dissolve and fade: a dissolve draws with the dissolve shader ("Shaders/StandardDissolveStatic.ssh",
// or "Shaders/StandardDissolveSkinned.ssh" for a mesh with bones) and sends "dissolveColor",
// "dissolveValue" (0 to 1 over the duration) and "dissolveTexture"; an undissolve runs it back
// and then drops the shader. A fade takes "blendedGlobalFadeFactor" from the global multiplier
// down to 0 over the duration, an unfade back. Durations under a millisecond finish at the next
// update.
//
// Effects: the instance owns its installed GMIEffect and the effects it has retired; it updates
// the installed one at the start of Update, and deletes retired ones at its end.
//
// Saved state (SaveState / RestoreState): the pose (SkeletalPose stream, with scale and stretch),
// then the object-space box centre and half size (three f32 each). A restored box stays until the
// mesh's hit boxes give a posed one.

#include <cstdint>
#include <memory>
#include <string>

#include "core/ABBox.h"
#include "core/Color.h"
#include "core/Coords.h"
#include "core/Mem.h"
#include "core/OBBox.h"
#include "core/PhysicsSurface.h"
#include "scene/AnimChannel.h"
#include "scene/GraphicsMesh.h"
#include "scene/GraphicsRenderable.h"
#include "scene/SkeletalPose.h"

namespace GAME {

class BinaryReader;
class BinaryWriter;
class Frustum;
class GMIEffect;
class GraphicsEngine;
class Region;
struct Intersection;
struct Ray;

class GraphicsMeshInstance : public GraphicsRenderable {
public:
    // Mesh loads go through the running engine's graphics engine.
    GraphicsMeshInstance();
    virtual ~GraphicsMeshInstance();
    // A copy takes references of its own to the source's mesh, override shader and textures and
    // dissolve texture, and copies the dissolve and fade state (not the dissolve colour or
    // shader), the placement and boxes, the colour, the shadow flag and bias. The animation, pose,
    // scale, highlight, sections, effects, blend multipliers and unloaded extent start afresh
    // (a copy) or stay (an assignment).
    GraphicsMeshInstance(const GraphicsMeshInstance& other);
    GraphicsMeshInstance& operator=(const GraphicsMeshInstance& other);

    // -- GraphicsRenderable -----------------------------------------------------------------------
    // The mesh's face-set count (0 without a mesh).
    int GetNumRenderPasses(const Name& style, RenderGenerationId generation) const override;
    // The region-space box.
    const ABBox& GetRenderPassBoundingBox() const override { return regionABBox_; }
    // The style's sort order in the pass's shader; 0 when there is no such pass, shader or style.
    int GetRenderPassSortOrder(int pass, const Name& style, RenderGenerationId generation) const override;
    // The override shader when set; else the material's ('T' form while the section is below 1).
    const GraphicsShader2* GetShader2(int pass, const Name& style) const override;
    // The style asked for.
    const Name& GetShaderStyle(int pass, const Name& style, RenderGenerationId generation,
                               const GraphicsLight* light) const override;
    // The base texture override when set; else the material's "baseTexture" parameter, or null.
    const GraphicsTexture* GetTexture(int pass, const Name& style) const override;
    float GetOpacity(int pass, const Name& style) const override;
    // The answers of the queries above from one look-up of the pass's face set.
    bool GetRenderPassInfo(int pass, const Name& style, RenderGenerationId generation, const GraphicsLight* light,
                           PassInfo& info) const override;
    bool GetCastsShadows() const override { return castsShadows_; }
    void RenderPass(const RenderablePass& pass, const Name& style, GraphicsCanvas& canvas,
                    const GraphicsSceneRenderer& renderer) const override;
    void LogInfo() const override;

    // -- Mesh and looks ---------------------------------------------------------------------------
    // Loads through the graphics engine (null clears); the old mesh is released.
    void SetMesh(const char* fileName);
    // Takes over one reference of the mesh (a mesh the graphics engine loaded).
    void SetMesh(const GraphicsMesh* mesh);
    const GraphicsMesh* GetMesh() const { return mesh_; }
    void SetDiffuseColor(const Color& color) { diffuseColor_ = color; }
    const Color& GetDiffuseColor() const { return diffuseColor_; }
    void SetHighlight(float highlight) { highlight_ = highlight; }
    void SetCastsShadows(bool casts) { castsShadows_ = casts; }
    void SetShadowBias(float bias) { shadowBias_ = bias; }
    void SetGlobalBlendAlphaMultiplier(float multiplier) { globalBlend_ = multiplier; }
    void SetMaxGlobalBlendAlphaMultiplier(float multiplier) { maxGlobalBlend_ = multiplier; }
    // The smaller of the multiplier and its maximum.
    float GetGlobalBlendAlphaMultiplier() const;
    // "blendedGlobalFadeFactor": the multiplier, times the fade value while a fade runs or holds,
    // no more than the maximum.
    float GetBlendedGlobalFadeFactor() const;
    // The mesh is loaded and its shaders and textures are ready, and so are the overrides.
    bool GetIsReadyToRender(bool bothShaders) const;
    // Queues the mesh (its dependents with textures) and, with textures, the override textures.
    void PreLoad(int priority, bool withTextures);

    // Override textures: the named one replaces the old (null clears).
    void SetBaseTexture(const char* fileName);
    void SetBumpTexture(const char* fileName);
    const GraphicsTexture* GetBaseTexture() const { return baseTexture_; }
    const GraphicsTexture* GetBumpTexture() const { return bumpTexture_; }
    // Loads the named shader as the override, releasing the old one, and returns it; null leaves
    // the override as it is and returns it.
    const GraphicsShader2* SetOverrideShader(const char* fileName);
    const GraphicsShader2* GetOverrideShader() const { return overrideShader_; }
    // Releases the override when it is that shader, or whatever it is for null.
    void UnloadOverrideShader(const GraphicsShader2* only);

    // -- Placement and boxes ----------------------------------------------------------------------
    void SetObjectToRegionCoords(const Coords& coords);
    const Coords& GetObjectToRegionCoords() const { return objectToRegion_; }
    void SetScale(const Vec3& scale);
    const Vec3& GetScale() const { return scale_; }
    // The half size of the box while the mesh is not loaded.
    void SetUnloadedBoundingBoxExtents(float extent) { unloadedExtent_ = extent; }
    const ABBox& GetObjectSpaceBoundingBox() const { return objectBox_; }
    const OBBox& GetRegionSpaceOBBox() const { return regionOBBox_; }
    const ABBox& GetRegionSpaceABBox() const { return regionABBox_; }
    // The object box: the unloaded extent around the origin while the mesh is not loaded (unless
    // forced), the mesh's bounds for a mesh without bones or hit boxes, else the span of the hit
    // boxes in the current pose; scaled; then the region boxes follow.
    void UpdateBoundingBox(bool force);
    void UpdateRegionSpaceBoundingBox();

    // -- Animation and pose -----------------------------------------------------------------------
    int GetNumAnimChannels() const { return 1; }
    AnimChannel& GetAnimChannel(int) { return channel_; }
    bool GetIsPlayingAnimation() const { return channel_.IsValid(); }
    // False while an animation plays over an empty pose.
    bool IsAnimationValid() const { return !channel_.IsValid() || !pose_.IsEmpty(); }
    const SkeletalPose& GetSkeletalPose() const { return pose_; }
    void SetSkeletalPose(const SkeletalPose& pose) { pose_ = pose; }
    // Makes the skinning matrices from the pose (worn on the parent's skeleton when the parent's
    // mesh has bones), then the bounding box. Only for a mesh with bones, and only when forced,
    // when the mesh is loaded or while an animation plays.
    void UpdatePose(const GraphicsMeshInstance* parent, bool force);
    // Makes the skinning matrices when there are none yet.
    void PrepareForRendering();
    // The skinning matrices; empty until made.
    const mem::vector<Coords>& GetBoneCoords() const { return boneCoords_; }
    // Stores, for every bone of the mesh, the pose that puts the bone at its object-space frame in
    // the given pose (a pose of object-space frames, as a rag doll makes).
    void SetPoseFromObjectSpace(const SkeletalPose& objectSpace);
    // Appends the mesh's attach point names.
    void GetAllAttachedPoints(mem::vector<Name>& names) const;
    // Runs the installed effect, the dissolve and the fade, advances the channel and deletes the
    // retired effects. movement is the root bone's motion, in the bind frame of that bone and
    // scaled (zero without an animation).
    void Update(int ms, Vec3& movement, bool rootOnly);

    // -- Saved state ------------------------------------------------------------------------------
    void SaveState(BinaryWriter& writer) const;
    // False, with the pose and boxes as they were, when the stream is short or corrupt.
    bool RestoreState(BinaryReader& reader);

    // -- Dissolve and fade (see the header comment) -----------------------------------------------
    // r, g, b in 0..255; the texture is the dissolve pattern.
    void BeginDissolve(int r, int g, int b, float seconds, const std::string& texture);
    void BeginUnDissolve(int r, int g, int b, float seconds, const std::string& texture);
    bool GetIsDissolving() const { return dissolving_ || fading_; }
    bool GetIsUnDissolving() const { return undissolving_ || unfading_; }
    bool GetIsDissolved() const { return dissolved_; }
    float GetDissolveParam() const { return dissolveValue_; }
    void BeginFade(float seconds);
    void BeginUnFade(float seconds);
    float GetFadeValue() const { return fadeValue_; }

    // -- Effects ----------------------------------------------------------------------------------
    // Takes ownership; an effect already installed is retired.
    void InstallGMIEffect(GMIEffect* effect);
    // Runs the effect's CleanParent and keeps it to be deleted at the end of the next Update (or
    // with the instance). Retiring an effect again, or one the instance does not hold, does nothing.
    void RetireGMIEffect(GMIEffect* effect);
    GMIEffect* GetGMIEffect() const { return effect_.get(); }

    // -- Hit tests --------------------------------------------------------------------------------
    // The nearest hit of a region-space ray: the collision mesh's (its faces of that surface left
    // out) when the mesh has one; else, for a surface other than 0, the posed and scaled hit boxes
    // (the object box when there are none). The intersection gets the distance and point and no
    // entity; false on a miss.
    bool GetIntersection(const Ray& ray, Intersection& intersection, PhysicsSurface surface) const;
    // Debug boxes (DebugRenderManager) in the region: the region-space box, and each posed hit box.
    void RenderBoundingBox(Region* region, const Color& color) const;
    void RenderHitBoxes(Region* region, const Color& color) const;

    // -- Sections ---------------------------------------------------------------------------------
    int GetNumSections() const;
    // Ignored for a section outside the mesh's.
    void SetSectionOpacity(float opacity, unsigned section);
    // The opacity a section draws at (see the header comment).
    float GetSectionOpacity(uint32_t section) const;
    // Marked sections fall by ms / 750 to no less than minimum, the others rise to 1; the marks
    // are then cleared.
    void UpdateSectionOpacities(int ms, float minimum);
    // Marks the sections whose face sets' boxes meet the frustum (region space). With hit boxes,
    // only when one of the posed hit boxes meets it. Only for a loaded mesh. The region and colour
    // are the caller's own and change nothing.
    void SetTransparency(const Frustum& frustum, Region* region, const Color& color, bool useHitBoxes);
    bool IsSectionMarked(unsigned section) const { return section < fadeMarks_.size() && fadeMarks_[section] != 0; }
    // The stored opacities and the marks, taken and put back whole: a caller that draws the
    // instance in a passing state (the loading's warm-up) leaves it as it found it.
    struct SectionState {
        mem::vector<float> opacities;
        mem::vector<uint8_t> marks;
    };
    SectionState GetSectionState() const { return {sectionOpacities_, fadeMarks_}; }
    void SetSectionState(SectionState state);
    // The bytes the section lists hold.
    size_t CalculateAllocatedMemory() const;

protected:
    // Sends the instance's parameters (see the header comment) to the shader for a pass that
    // draws the face set at the opacity.
    virtual void SetShaderParameters(const GraphicsShader2& shader, const GraphicsMesh::FaceSet& set,
                                     float opacity) const;
    // The index range of a pass that draws the face set: its first face x 3 and its face count.
    virtual void GetPassFaces(const GraphicsMesh::FaceSet& set, int& firstIndex, int& count) const;

private:
    // A pass's face set, material and section name (null where there is none), in one look-up
    // of the mesh.
    struct PassParts {
        const GraphicsMesh::FaceSet* set = nullptr;
        const GraphicsMesh::Material* material = nullptr;
        const std::string* section = nullptr;
    };
    // The values of a draw that may differ between the instances of a run, besides the placement.
    struct InstanceValues {
        float diffuse[4];  // "diffuseColor"
        float shadowBias;
        float fade;        // "blendedGlobalFadeFactor"
        float opacity;     // makes "transparencyValue"
    };
    // The run a draw left open for the next pass (see the header comment); main thread.
    struct OpenRun {
        const GraphicsShader2* shader = nullptr;  // null while no run is open
        PassParts parts;
        GraphicsMesh::MeshRenderInfo info;
        InstanceValues sent;
        float nextOpacity = 1.0f;  // the opacity of the run's next draw
    };
    static OpenRun openRun_;
    // What GetRenderPassInfo last worked out for a pass (in the slot of the pass modulo
    // kMemoPasses), for the passes after it in the same collection of the scene renderer
    // (GraphicsSceneRenderer::GetCollection) that draw the same face set of the same mesh with the
    // same overrides and on the same side of opacity 1; main thread.
    static constexpr uint32_t kMemoPasses = 8;
    struct PassMemo {
        uint32_t collection = 0;  // 0: none
        const GraphicsMesh* mesh = nullptr;
        int pass = 0;
        const GraphicsShader2* overrideShader = nullptr;
        const GraphicsTexture* baseTexture = nullptr;
        uint32_t section = 0;  // the face set's
        bool fadeIn = false;   // the section is named "FadeIn"
        bool transparent = false;
        PassInfo info;
    };
    static PassMemo passMemos_[kMemoPasses];

    PassParts GetPassParts(int pass) const;
    InstanceValues GetInstanceValues(float opacity) const;
    // Sets the values, or with sent only those that differ from it.
    static void SetInstanceValues(const GraphicsShader2& shader, const InstanceValues& values,
                                  const InstanceValues* sent);
    // Whether the instance's draws can join a run (see the header comment), and the same but for
    // the class.
    bool DrawsInRuns() const;
    bool SetsOnlyInstanceValues() const;
    // Whether the next pass, of the same shader style, continues the run of this instance's pass
    // with these parts; then nextOpacity is the opacity it draws at.
    bool JoinsRun(const RenderablePass& pass, const RenderablePass* next, const PassParts& parts,
                  float& nextOpacity) const;
    float GetOpacity(const PassParts& parts) const;
    // GetShader2 and GetTexture for the pass's parts and opacity.
    const GraphicsShader2* GetShader2(const PassParts& parts, float opacity) const;
    const GraphicsTexture* GetTexture(const PassParts& parts) const;
    // The opacity a section draws at, given whether it is named "FadeIn".
    float SectionOpacity(uint32_t section, bool fadeIn) const;
    void ReleaseMesh();
    // Loads the named texture into slot, releasing the old one (null clears).
    void ReplaceTexture(const GraphicsTexture*& slot, const char* fileName);
    // The section list sized to the mesh's sections.
    void SizeSectionLists();
    void UpdateDissolveAndFade(int ms);

    GraphicsEngine* const graphics_;
    const GraphicsMesh* mesh_ = nullptr;
    const GraphicsShader2* overrideShader_ = nullptr;
    float unloadedExtent_ = 0.0f;
    bool boxRestored_ = false;  // the object box came from a saved state
    const GraphicsTexture* baseTexture_ = nullptr;
    const GraphicsTexture* bumpTexture_ = nullptr;
    Coords objectToRegion_;
    mem::vector<Coords> boneCoords_;  // skinning matrices, one per bone; empty until made
    Vec3 scale_{1.0f, 1.0f, 1.0f};
    ABBox objectBox_;
    OBBox regionOBBox_;
    ABBox regionABBox_;
    Color diffuseColor_{1.0f, 1.0f, 1.0f, 1.0f};
    float highlight_ = 0.0f;
    mem::vector<float> sectionOpacities_;  // one per mesh section once set
    mem::vector<uint8_t> fadeMarks_;       // 1: the section fades this frame
    bool castsShadows_ = true;
    float shadowBias_ = 0.01f;
    float globalBlend_ = 1.0f;
    float maxGlobalBlend_ = 1.0f;
    mem::vector<std::unique_ptr<GMIEffect>> retiredEffects_;
    std::unique_ptr<GMIEffect> effect_;
    // Dissolve.
    bool dissolving_ = false;
    bool undissolving_ = false;
    int dissolveDuration_ = 1;  // milliseconds
    float dissolveValue_ = 0.0f;
    Color dissolveColor_{1.0f, 0.0f, 0.0f, 1.0f};
    const GraphicsShader2* dissolveShader_ = nullptr;  // the override the dissolve set, while it is
    const GraphicsTexture* dissolveTexture_ = nullptr;
    bool dissolved_ = false;
    // Fade.
    bool fading_ = false;
    bool unfading_ = false;
    int fadeDuration_ = 1;  // milliseconds
    float fadeValue_ = 1.0f;
    bool faded_ = false;
    // Last: a draw reads the fields above (a few cache lines), the animation only updates.
    AnimChannel channel_;
    SkeletalPose pose_;
};

}  // namespace GAME
