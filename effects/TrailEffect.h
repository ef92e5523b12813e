#pragma once
// TrailEffect (class "TrailEffect"): a ribbon left behind two moving anchor points. While it runs,
// every update records where the anchors are (a segment, when they moved), shrinks the recorded
// segments toward their middles and fades them; dead segments are dropped, and the ribbon is
// smoothed with a Catmull-Rom spline (up to 32 points between neighbouring segments, none across
// a gap over 2 units) and drawn newest first as one strip of at most 500 points. Stopped, it goes
// on recording with alpha 0 so the ribbon fades out; liberated, it records nothing more and
// destroys itself once fewer than two segments remain. WeaponTrail feeds the anchors from a
// weapon's attach points.
//
// Record keys: "Red256", "Green256", "Blue256", "Alpha256" (0 to 255), "MSFadeTime" (ms),
// "Texture", "Shader", "TrailShrinkSpeed", "TextureRepeat", "DragUVs", "TextureDistance",
// "FadeAlpha".
//
// Points are kept relative to the entity's region; when the entity enters another region they are
// moved into the new region's space, so they stay where they were in the world.
//
// Decisions made here: the fade is a float division, and a fade time of 0 or less fades at once;
// a texture distance of 0 or less counts as 1; colour bytes are clamped; Liberate destroys once.

#include <string>
#include <vector>

#include "core/Color.h"
#include "core/WorldVec3.h"
#include "engine/Entity.h"
#include "effects/SingleShaderRenderable.h"

namespace GAME {

class RenderVertexDeclaration;

// One recorded segment or smoothed point of a trail.
struct TrailPoint {
    Vec3 upper;     // first anchor, region-relative
    Vec3 lower;     // second anchor
    float u = 0.0f; // texture coordinate along the trail
    Color colour;   // alpha is the point's fade
};

class TrailEffect : public Entity, public SingleShaderRenderable {
    GAME_RTTI_DECLARE_CLASS()

public:
    static constexpr size_t kSegmentLimit = 16;
    static constexpr size_t kLowEfficiencySegmentLimit = 200;
    static constexpr uint32_t kMaxDrawnPoints = 500;
    static constexpr int kSortOrder = 1050;
    // A frame longer than this restarts the trail.
    static constexpr int kRestartMs = 250;

    TrailEffect();
    ~TrailEffect() override;

    bool Load(const LoadTable& table) override;
    // Queues the texture and the shader when asked to.
    bool PreLoad(int priority, bool enqueue) override;
    // Drawn once both the texture and the shader are ready.
    void AddToScene(GraphicsSceneRenderer& renderer, const Frustum* frustum) override;
    void UpdateBoundingBox() override;
    void InitialUpdate() override;
    void LogInfo() const override;
    void UpdateSelf(int elapsedMs) override;

    void SetDefaultAnchors();
    // Stored relative to the entity's region; nothing while it is in none.
    void SetAnchorPoints(const WorldVec3& first, const WorldVec3& second);
    void Start();
    void Stop() { running_ = false; }
    // Stops recording and destroys the trail (once) when fewer than two segments remain.
    void Liberate() { liberated_ = true; }
    void SetLowEfficiencyMode() { segmentLimit_ = kLowEfficiencySegmentLimit; }
    void SetBBox(const ABBox& box) { SetRegionBoundingBox(box, false); }

    const std::vector<TrailPoint>& GetSegments() const { return segments_; }
    const std::vector<TrailPoint>& GetPoints() const { return points_; }
    const Vec3& GetAnchor1() const { return anchor1_; }
    const Vec3& GetAnchor2() const { return anchor2_; }
    const Color& GetColor() const { return colour_; }

    // GraphicsRenderable.
    int GetNumRenderPasses(const Name&, RenderGenerationId) const override { return 1; }
    const ABBox& GetRenderPassBoundingBox() const override { return GetRegionBoundingBox(false); }
    int GetRenderPassSortOrder(int, const Name&, RenderGenerationId) const override { return kSortOrder; }
    void RenderPass(const RenderablePass& pass, const Name& style, GraphicsCanvas& canvas,
                    const GraphicsSceneRenderer& renderer) const override;

protected:
    void SetAnchors(const Vec3& first, const Vec3& second) {
        anchor1_ = first;
        anchor2_ = second;
    }

private:
    void FollowRegion();
    void InternalUpdate(int elapsedMs, const Coords& coords);
    void CleanSegmentList();
    void FillPoints();
    float TextureDistance() const { return textureDistance_ > 0.0f ? textureDistance_ : 1.0f; }

    size_t segmentLimit_ = kSegmentLimit;
    std::vector<TrailPoint> segments_;  // oldest first
    std::vector<TrailPoint> points_;    // smoothed, rebuilt each update
    float textureDistance_ = 1.0f;
    bool running_ = false;
    Color colour_{0.0f, 0.0f, 0.0f, 0.0f};
    bool graceTaken_ = false;  // an unparented trail waits one update before recording
    bool fadeAlpha_ = true;
    float shrinkSpeed_ = 7.0f;
    int fadeTime_ = 500;
    std::string textureName_ = "System/Textures/White.tex";
    std::string shaderName_ = "Shaders/Effects/TrailAdditive.ssh";
    Vec3 anchor1_;
    Vec3 anchor2_{0.0f, 0.0f, -1.0f};
    RenderVertexDeclaration* declaration_ = nullptr;  // owned
    bool textureRepeat_ = true;
    bool dragUVs_ = true;
    bool liberated_ = false;
    bool destroyQueued_ = false;
    Region* region_ = nullptr;  // the region the points are relative to
};

}  // namespace GAME
