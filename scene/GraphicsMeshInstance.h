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
// material's transparent ('T') shader; one at exactly 0 is not drawn.

#include <cstdint>
#include <string>

#include "core/ABBox.h"
#include "core/Color.h"
#include "core/Coords.h"
#include "core/Mem.h"
#include "core/OBBox.h"
#include "scene/AnimChannel.h"
#include "scene/GraphicsMesh.h"
#include "scene/GraphicsRenderable.h"
#include "scene/SkeletalPose.h"

namespace GAME {

class GraphicsEngine;

class GraphicsMeshInstance : public GraphicsRenderable {
public:
    // Mesh loads go through the running engine's graphics engine.
    GraphicsMeshInstance();
    virtual ~GraphicsMeshInstance();
    GraphicsMeshInstance(const GraphicsMeshInstance&) = delete;
    GraphicsMeshInstance& operator=(const GraphicsMeshInstance&) = delete;

    // -- GraphicsRenderable -----------------------------------------------------------------------
    // The mesh's face-set count (0 without a mesh).
    int GetNumRenderPasses(const Name& style, RenderGenerationId generation) const override;
    // The region-space box.
    const ABBox& GetRenderPassBoundingBox() const override { return regionABBox_; }
    // The style's sort order in the pass's shader; 0 when there is no such pass, shader or style.
    int GetRenderPassSortOrder(int pass, const Name& style, RenderGenerationId generation) const override;
    const GraphicsShader2* GetShader2(int pass, const Name& style) const override;
    // The style asked for.
    const Name& GetShaderStyle(int pass, const Name& style, RenderGenerationId generation,
                               const GraphicsLight* light) const override;
    // The material's "baseTexture" parameter, or null.
    const GraphicsTexture* GetTexture(int pass, const Name& style) const override;
    float GetOpacity(int pass, const Name& style) const override;
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
    // The mesh is loaded and its shaders and textures are ready.
    bool GetIsReadyToRender(bool bothShaders) const;

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
    // Advances the channel; movement is the root bone's motion, in the bind frame of that bone and
    // scaled (zero without an animation).
    void Update(int ms, Vec3& movement, bool rootOnly);

    // -- Sections ---------------------------------------------------------------------------------
    int GetNumSections() const;
    // Ignored for a section outside the mesh's.
    void SetSectionOpacity(float opacity, unsigned section);
    // The opacity a section draws at (see the header comment).
    float GetSectionOpacity(uint32_t section) const;

protected:
    // Sends the instance's parameters (see the header comment) to the shader.
    virtual void SetShaderParameters(const GraphicsShader2& shader, int pass) const;
    // The index range of the pass: the face set's first face x 3 and its face count.
    virtual void GetPassFaces(int pass, int& firstIndex, int& count) const;

private:
    // The face set of a pass; null outside them or without a mesh.
    const GraphicsMesh::FaceSet* GetFaceSet(int pass) const;
    void ReleaseMesh();

    GraphicsEngine* const graphics_;
    const GraphicsMesh* mesh_ = nullptr;
    float unloadedExtent_ = 0.0f;
    Coords objectToRegion_;
    AnimChannel channel_;
    SkeletalPose pose_;
    mem::vector<Coords> boneCoords_;  // skinning matrices, one per bone; empty until made
    Vec3 scale_{1.0f, 1.0f, 1.0f};
    ABBox objectBox_;
    OBBox regionOBBox_;
    ABBox regionABBox_;
    Color diffuseColor_{1.0f, 1.0f, 1.0f, 1.0f};
    float highlight_ = 0.0f;
    mem::vector<float> sectionOpacities_;  // one per mesh section once set
    bool castsShadows_ = true;
    float shadowBias_ = 0.01f;
    float globalBlend_ = 1.0f;
    float maxGlobalBlend_ = 1.0f;
};

}  // namespace GAME
