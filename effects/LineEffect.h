#pragma once
// LineEffect (class "LineEffect"): the base entity of beam effects. It holds a start and an end
// point and a list of polylines ("beams"), each a list of points given as offsets from the start
// (in the start region's axes), and draws every polyline as a textured ribbon of constant width:
// facing the camera, or in fixed orientation across the camera's up axis and the polyline's
// direction. A window of each polyline (topPercent and bottomPercent, fractions of its points) is
// shown, narrowed and faded over taperPoints points at each end; the texture repeats every
// textureLength along it. Subclasses (ChaosBeam, FlyingBolt) fill the polylines; a plain line
// effect reads nothing from its record.
//
// Each polyline is one draw of at most RibbonStrip::kMaxPairs points. A window reaching past its
// polyline's end (a fraction above 1) ends the pass for that polyline and all later ones; a
// window of fewer than two points skips the polyline.
//
// Decisions made here:
// - the bounds (offsets from the start) begin empty, and a line effect with empty bounds is not
//   queued for drawing rather than refused by the scene renderer every frame;
// - the box is centred on the bounds around the start point, so it holds the drawn polylines;
// - colour bytes are clamped, and a texture length of 0 or less repeats the texture every unit.

#include <string>
#include <vector>

#include "core/Color.h"
#include "core/WorldVec3.h"
#include "engine/Entity.h"
#include "effects/SingleShaderRenderable.h"

namespace GAME {

class GraphicsShader2;
class GraphicsTexture;
class RenderVertexDeclaration;
struct RibbonVertex;

class LineEffect : public Entity, public SingleShaderRenderable {
    GAME_RTTI_DECLARE_CLASS()

public:
    static constexpr const char* kDefaultTexture = "Sandbox/Quellan/LightningTESTA.tex";
    static constexpr const char* kDefaultShader = "Shaders/Effects/TrailAdditive.ssh";
    static constexpr int kSortOrder = 1000;

    LineEffect();
    ~LineEffect() override;

    // Entity.
    void AddToScene(GraphicsSceneRenderer& renderer, const Frustum* frustum) override;
    // Centred on the bounds around the start point, in the entity's region.
    void UpdateBoundingBox() override;
    bool CanCollide(const Entity*) const override { return false; }
    void LogInfo() const override;
    // Runs the clock unless paused; pauses for good once asked to and the window's top has
    // reached the far end.
    void UpdateSelf(int elapsedMs) override;
    // Scales the colour of polyline beam.
    virtual float GetFadeMultiplier(int beam) const;

    // Both points; the bounding box follows the start.
    virtual void SetEndPoints(const WorldVec3& start, const WorldVec3& end);
    void SetTexture(const std::string& fileName);
    void SetShader(const std::string& fileName);
    void SetTopBottomPercent(float top, float bottom) { topPercent_ = top; bottomPercent_ = bottom; }
    void SetPause(bool paused) { paused_ = paused; }
    void DoSetPauseAtTarget() { pauseAtTarget_ = true; }
    void SetWidth(float width) { width_ = width; }
    void SetColor(const Color& color) { color_ = color; }
    void SetTaperPoints(int points) { taperPoints_ = points; }
    void SetTextureLength(float length) { textureLength_ = length; }
    void SetFixedOrientation(bool fixed) { fixedOrientation_ = fixed; }
    // Replaces the polylines (offsets from the start) and the bounds they lie in.
    void SetBeams(const std::vector<std::vector<Vec3>>& beams, const Vec3& boundsMin, const Vec3& boundsMax);
    const std::vector<std::vector<Vec3>>& GetBeams() const { return beams_; }
    const WorldVec3& GetStart() const { return start_; }
    const WorldVec3& GetEnd() const { return end_; }
    bool IsPaused() const { return paused_; }
    int GetTime() const { return time_; }
    float GetTextureLength() const { return textureLength_; }
    const GraphicsTexture* GetLoadedTexture() const { return texture_; }
    const GraphicsShader2* GetLoadedShader() const { return shader_; }

    // GraphicsRenderable.
    int GetNumRenderPasses(const Name&, RenderGenerationId) const override { return 1; }
    const ABBox& GetRenderPassBoundingBox() const override { return GetRegionBoundingBox(false); }
    int GetRenderPassSortOrder(int, const Name&, RenderGenerationId) const override { return kSortOrder; }
    // One ribbon draw per polyline.
    void RenderPass(const RenderablePass& pass, const Name& style, GraphicsCanvas& canvas,
                    const GraphicsSceneRenderer& renderer) const override;

protected:
    std::vector<std::vector<Vec3>> beams_;
    Vec3 boundsMin_;
    Vec3 boundsMax_;
    WorldVec3 start_;
    WorldVec3 end_;
    float width_ = 1.0f;
    Color color_{1.0f, 1.0f, 1.0f, 1.0f};
    float textureLength_ = 5.0f;
    std::string shaderName_;
    std::string textureName_;
    float fade_ = 1.0f;
    float topPercent_ = 0.0f;
    float bottomPercent_ = 0.0f;
    int taperPoints_ = 1;
    bool fixedOrientation_ = false;

private:
    // Writes polyline beam's window as vertex pairs; the number of pairs written.
    uint32_t WritePolyline(int beam, uint32_t top, uint32_t bottom, const Vec3& start, const Coords& regionToScene,
                           const Coords& camera, float theta, RibbonVertex* vertices) const;

    bool paused_ = false;
    bool pausedAtTarget_ = false;
    bool pauseAtTarget_ = false;
    int time_ = 0;
    RenderVertexDeclaration* declaration_ = nullptr;  // owned; null without a render device
};

}  // namespace GAME
