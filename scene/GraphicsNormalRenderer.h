#pragma once
// GraphicsNormalRenderer: the forward renderer of one region's scene. The portal renderer builds
// one for each region it draws, fills it (viewer, sun, ambient colours, fog, switches, regions)
// and calls Render, which clears the target, prepares the lights (screen rectangles, shadow
// surfaces), draws the opaque passes once per light, then the emissive, post-render, transparent
// and fog passes; it can write the region's mask into a small texture (makeMask) and blend the
// region over what was drawn before it (blended), so that regions seen through portals fade in
// and out.
//
// Decisions:
// - Regions are reached through SceneWorld (scene/ may not include world/): the region contents,
//   BuildScene's region list, the elements standing in open portals and the portal mask. Without
//   one a renderer draws what was added to it directly.
// - The render targets are shared by all normal renderers. The first render makes them for the
//   engine's canvas and its target sizes unless CreateRenderTargets made them before, and loads
//   the shadow-map and scene renderers' resources (the portal mask shader); the graphics engine
//   releases them all when it shuts down. Our device has no 16-bit colour with depth,
//   so the shadow surfaces are RGBA unless it says otherwise.
// - Shadow maps: every light record starts with the white no-shadow surface; a shadow-casting
//   light that gets a directional or point surface has its map drawn there (GraphicsShadowMap,
//   the perspective warp for the sun, the downward face for a point light). A record drawn
//   without a surface (RenderLightStyle) samples the no-shadow surface. A light none of whose
//   passes has a shader taking the map ("shadowTexture" or "worldToShadowMatrix") draws no map and
//   takes no surface, unless shadows are being debugged (which shows the maps). The first record's
//   map is bound for the emissive and post-render passes and the transparent passes' depth step
//   too: their shaders count.
// - Fog parameters store 1 / (end - start) as 0 when the range is empty (no division by zero).
// - A transparent pass whose shader lacks the depth style is skipped for the depth step.
// - The mask's "mask" passes are the portal mask: the portals of the portal regions drawn with
//   "Shaders/PortalMask.ssh" (alpha only, depth tested), so a region's doorways are where the
//   region behind shows.
//
// Light records are sorted by decreasing screen area (shadow casters first with low-quality
// lighting); a point light entirely off screen is dropped. The first record is drawn with the
// ambient style over the whole viewport, every other one additively inside its screen rectangle.
// With show lights on, each light is drawn last: the axis circles and lines of its reach and the
// outline of its marker in white, the marker (an octahedron) filled with the light's colour.

#include <cstdint>

#include "core/Color.h"
#include "core/Mat4.h"
#include "core/Mem.h"
#include "core/Plane.h"
#include "core/Rect.h"
#include "core/Sphere.h"
#include "core/Vec3.h"
#include "scene/GraphicsSceneRenderer.h"

namespace GAME {

class GraphicsTexture;
struct OBBox;
class RenderSurface;
class RenderTexture;
class SceneWorld;

class GraphicsNormalRenderer : public GraphicsSceneRenderer {
public:
    // One light kept for a render.
    struct LightRecord {
        const GraphicsLight* light = nullptr;  // one of the scene's lights
        Rect scissor;                          // pixels
        RenderSurface* shadowSurface = nullptr;
        Mat4 worldToShadow;                    // written by the shadow map
        Sphere sphere;                         // scene space
    };

    // Sizes and counts of the shared targets.
    static constexpr int kPointShadowSurfaces = 8;
    static constexpr int kFrameCopySize = 512;
    static constexpr int kMaskSize = 512;
    static constexpr int kNoShadowSize = 16;
    // Show lights: the segments of each circle of a light's sphere, the size of its marker.
    static constexpr unsigned kShowLightSegments = 32;
    static constexpr float kShowLightMarkerSize = 0.5f;
    // The sort order of the transparent band.
    static constexpr int kTransparentSortOrder = 10000;
    static constexpr const char* kInvTransparencyMaskTexture = "System/Textures/InvTransparencyMask.tex";

    explicit GraphicsNormalRenderer(SceneWorld* world = nullptr);
    ~GraphicsNormalRenderer() override;

    // The shared targets for a canvas of the given size (see the table in the source); the
    // inverse transparency mask texture is loaded with them.
    static void CreateRenderTargets(GraphicsEngine& graphics, unsigned shadowSize, unsigned pointShadowSize);
    static void DestroyRenderTargets(GraphicsEngine& graphics);
    // Copies the viewport's rectangle of the canvas's target into the frame-buffer copy.
    static void UpdateFrameBufferCopy(GraphicsCanvas& canvas);

    // Switches and parameters.
    void SetClearFlags(unsigned flags) { clearFlags_ = flags; }
    // Alpha is always 1.
    void SetBackgroundColor(const Color& color) { backgroundColor_ = Color(color.r, color.g, color.b, 1.0f); }
    const Color& GetBackgroundColor() const { return backgroundColor_; }
    void SetBackgroundTexture(const GraphicsTexture* texture) { backgroundTexture_ = texture; }
    void SetShadowSoftness(float softness) { shadowSoftness_ = softness; }
    void ShowLights(bool show) { showLights_ = show; }
    void EnableShadows(bool enable) { shadows_ = enable; }
    void EnableLighting(bool enable) { lighting_ = enable; }
    void EnableTransparency(bool enable) { transparency_ = enable; }
    void EnableFog(bool enable) { fog_ = enable; }
    void EnableRendering(bool enable) { rendering_ = enable; }
    void EnableWireframe(bool enable) { wireframe_ = enable; }
    void EnableBloom(bool enable) { bloom_ = enable; }
    void SetBloomParams(const Vec3& params) { bloomParams_ = params; }
    // The plane (scene space) beyond which nothing is drawn; also raises the clipping-plane flag.
    void SetClippingPlane(const Plane& plane);
    // Sets the clipping plane, carried to clip space by the world-to-screen matrix, as the
    // canvas's clipping plane 0.
    void SetCanvasClippingPlane(GraphicsCanvas& canvas) const;
    // The regions whose portals make the portal mask; not owned, may be null.
    void SetPortalRegions(const mem::vector<Region*>* regions) { portalRegions_ = regions; }
    // The transparency frustum (in region's space; a null region sets only the height).
    void SetTransparency(Region* region, const Frustum& frustum, float height);
    float GetTransparencyHeight() const { return transparencyHeight_; }
    // The position (scene space) of what the camera should see through walls to.
    void SetTransparencyTarget(const Vec3& target) { transparencyTarget_ = target; }
    void SetSkyAmbientColor(const Color& color) { skyAmbient_ = color; }
    void SetGroundAmbientColor(const Color& color) { groundAmbient_ = color; }
    // Stored as (start, 1 / (end - start), amount), 0 for the middle term when end <= start.
    void SetDepthFogParams(float start, float end, float amount);
    void SetHeightFogParams(float start, float end, float amount);
    const Vec3& GetDepthFogParams() const { return depthFog_; }
    const Vec3& GetHeightFogParams() const { return heightFog_; }
    void SetFogColor(const Color& color) { fogColor_ = color; }
    void Reset() {}

    // Adds the regions seen from the viewer's region (loaded ones, or all with includeUnloaded),
    // each placed by its offset from the viewer's region and the viewer's region-to-scene coords
    // (AddRegionToScene(Region*)).
    void BuildScene(bool includeUnloaded);
    // Adds the region's elements standing inside the box (region space) that are drawn across
    // portals, the region placed by regionToScene.
    void AddElementsInBox(Region* region, const OBBox& box, const Coords& regionToScene);

    // Draws the scene into target (or into the frame surface, composited over target, when
    // blended) and returns the region's mask texture when makeMask; underground has no effect.
    RenderTexture* Render(GraphicsCanvas& canvas, float blend, RenderTexture* previous, bool makeMask, bool blended,
                          RenderSurface* target, bool underground);
    RenderTexture* Render(GraphicsCanvas& canvas, bool makeMask, bool underground);
    RenderTexture* RenderBlended(GraphicsCanvas& canvas, float blend, RenderTexture* previous, bool makeMask,
                                 bool underground);
    // Draws every pass of the style lit by the light alone over the whole viewport, after
    // clearing with clearFlags when they are not 0.
    void RenderLightStyle(GraphicsCanvas& canvas, const GraphicsLight& light, const Name& style, unsigned clearFlags);
    // Glow of the frame's bright parts when bloom is on and its parameters ask for it.
    void PostProcess(GraphicsCanvas& canvas);

    void SetShaderConstants(GraphicsCanvas& canvas, const GraphicsShader2* shader) const override;

    // Light preparation, exposed for its arithmetic.
    // The pixel rectangle a point light's sphere (scene space) covers; empty (zero size) when it
    // lies behind the camera.
    Rect GetLightScissorRect(const Sphere& sphere) const;
    // The records of the scene's lights that show, sorted; shadow surfaces not yet assigned.
    void BuildLightRecords(mem::vector<LightRecord>& out) const;
    const mem::vector<LightRecord>& GetLightRecords() const { return records_; }

protected:
    void AddRegionContents(Region* region, const Coords& regionToScene, const Frustum& regionFrustum) override;

private:
    // The style a record's light draws with; null for a light type that is not drawn.
    static const Name* GetLightStyle(const GraphicsLight& light, bool withAmbient);

    void PrepareLights(GraphicsCanvas& canvas);
    // The shadow step: gives every record its shadow surface and draws the shadow maps.
    void RenderShadowMaps(GraphicsCanvas& canvas);
    // Whether a pass drawn with the record bound has a shader that takes its map: the passes its
    // light draws, with or without ambient, and for the first record also the emissive,
    // post-render and transparent passes.
    bool IsShadowMapRead(const LightRecord& record) const;
    void RenderAllPasses(GraphicsCanvas& canvas, RenderSurface* target);
    // Every pass in the sort range once per light record (see the source); only is a list of
    // passes the lit passes keep to, in its order for equal keys (null: all, in queue order).
    void RenderLitPasses(GraphicsCanvas& canvas, int minSortOrder, int maxSortOrder, bool withAmbient,
                         const mem::vector<RenderablePass>* only);
    void RenderRange(GraphicsCanvas& canvas, const Name& style, int minSortOrder, int maxSortOrder);
    void RenderTransparencyMask(GraphicsCanvas& canvas, RenderSurface* target, const Viewport& viewport);
    void RenderTransparentPasses(GraphicsCanvas& canvas, mem::vector<RenderablePass>& passes);
    void RenderShowLights(GraphicsCanvas& canvas);
    RenderTexture* RenderMask(GraphicsCanvas& canvas);
    void RenderPortalMask(GraphicsCanvas& canvas);
    void Composite(GraphicsCanvas& canvas, float blend, RenderTexture* previous, RenderSurface* target);
    Viewport GetTargetViewport(GraphicsCanvas& canvas, RenderSurface* target) const;

    const mem::vector<Region*>* portalRegions_ = nullptr;
    Vec3 transparencyTarget_;
    Region* transparencyRegion_ = nullptr;
    Frustum transparencyFrustum_;
    bool hasTransparencyFrustum_ = false;
    float transparencyHeight_ = 0.0f;
    mutable const RenderTexture* alphaMaskTexture_ = nullptr;
    float alphaMaskFactor_ = 1.0f;
    const GraphicsTexture* backgroundTexture_ = nullptr;
    float timeStamp_;  // seconds of game time at construction
    int pointShadowsUsed_ = 0;
    Color backgroundColor_{0.0f, 0.0f, 0.0f, 1.0f};
    bool shadows_ = true;
    bool lighting_ = true;
    bool wireframe_ = false;
    bool rendering_ = true;
    bool fog_ = false;
    bool showLights_ = false;
    bool transparency_ = true;
    bool bloom_ = false;
    Color skyAmbient_{0.0f, 0.0f, 0.0f, 1.0f};
    Color groundAmbient_{0.0f, 0.0f, 0.0f, 1.0f};
    Color fogColor_{0.0f, 0.0f, 0.0f, 1.0f};
    Vec3 bloomParams_;
    Vec3 depthFog_;
    Vec3 heightFog_;
    float shadowSoftness_ = 0.0f;
    const LightRecord* currentLight_ = nullptr;  // the record being drawn (read by SetShaderConstants)
    Plane clippingPlane_;
    bool hasClippingPlane_ = false;
    unsigned clearFlags_ = 0x21;
    mem::vector<LightRecord> records_;
};

}  // namespace GAME
