#pragma once
// GraphicsPortalRenderer: draws one frame of the 3-D world for one camera. It starts at the
// camera's region, finds the regions visible from it, walks the portals of those regions (regions
// seen through portals facing the camera first, those seen through portals facing away after)
// and renders every region it reaches with its own GraphicsNormalRenderer in that region's
// coordinates, handing the mask of one region's render to the next; then it glows the frame
// (bloom) and draws the frame's debug shapes. The host builds one on the stack each frame,
// configures it and calls Render. The engine's World holds the regions.
//
// Decisions:
// - The walk and the region rendering live here, in world/, since they read regions, portals and
//   levels; the normal renderer (scene/) reaches regions through the WorldScene handed to it.
// - A region already on the current walk is not entered again, and the walk goes at most
//   kMaxWalkDepth portals deep, so any cycle of open portals ends.
// - The sun, ambient colours, fog and bloom of each environment come from the engine's ambiance
//   (SceneAmbiance), or from the one given; without any the frame is dark, without fog or bloom.
// - Fade distances with end <= start make a step: 1 within start of the portal, 0 beyond.
// - Without a transparency manager there is no target: portals have fade 0 and are found by
//   meeting the view alone.

#include "core/Coords.h"
#include "core/Frustum.h"
#include "core/Mem.h"
#include "core/Vec3.h"
#include "render/Camera.h"
#include "render/Viewport.h"
#include "scene/SceneAmbiance.h"
#include "world/WorldScene.h"

namespace GAME {

class GraphicsCanvas;
class GraphicsLight;
class GraphicsNormalRenderer;
class GraphicsTransparencyManager;
class Image;
class Portal;
class RenderTexture;
class World;

class GraphicsPortalRenderer {
public:
    static constexpr float kDefaultFadeStart = 8.0f;
    static constexpr float kDefaultFadeEnd = 11.0f;
    static constexpr int kMaxWalkDepth = 8;
    // The clipping plane of a region seen through a portal lies this far before the portal.
    static constexpr float kClipPlaneOffset = 3.0f;

    // With underground, the region search of an underground region keeps to connected regions.
    GraphicsPortalRenderer(GraphicsCanvas& canvas, Region* cameraRegion, const Camera& camera,
                           const Viewport& viewport, bool underground);
    ~GraphicsPortalRenderer();
    GraphicsPortalRenderer(const GraphicsPortalRenderer&) = delete;
    GraphicsPortalRenderer& operator=(const GraphicsPortalRenderer&) = delete;

    // The camera frustum, in the camera region's space.
    void SetFrustum(const Frustum& frustum) { frustum_ = frustum; }
    void SetTransparencyManager(const GraphicsTransparencyManager* manager) { transparency_ = manager; }
    void SetFadeParameters(float start, float end) {
        fadeStart_ = start;
        fadeEnd_ = end;
    }
    void EnableWireframe(bool enable) { wireframe_ = enable; }
    void EnableShowLights(bool enable) { showLights_ = enable; }
    // Replaces the engine's ambiance; null for none.
    void SetAmbiance(const SceneAmbiance* ambiance) { ambiance_ = ambiance; }

    // Draws the frame into the canvas's current target.
    void Render();
    // Renders into a width x height surface and reads it into image (RGBA); false when the
    // surface could not be made or read.
    bool RenderScreenShot(unsigned width, unsigned height, Image& image);

    // How much a portal shows the region behind it for a target at point (the portal region's
    // space): 1 within start of the portal both across and along its plane, 0 beyond end.
    static float GetPortalFadeValue(const Portal& portal, const Vec3& point, float start, float end);

private:
    struct FoundPortal {
        const Portal* portal = nullptr;
        float fade = 0.0f;
    };

    // One region the walk goes on to through a portal of from (a region of the current one's list).
    struct Walk {
        Region* far = nullptr;
        Coords toCamera;  // far's coords to the camera region
        Region* from = nullptr;
        float blend = 0.0f;
        int depth = 0;
    };

    // Renders the region and the regions its portals show; returns the mask texture handed on
    // (the region's own, or that of the last region walked behind it). A region makes its mask
    // only when something reads it: the regions behind its portals facing away, or the caller
    // (maskWanted), so no mask is drawn or extracted for nothing.
    RenderTexture* WalkRegion(Region* region, const Coords& toCamera, Region* from, float blend, RenderTexture* texture,
                              int depth, bool maskWanted);
    // A region of the walk's list as the camera sees it: its coords to the camera region, and the
    // camera origin and the view in its space.
    struct RegionView {
        Coords toCamera;
        Vec3 eye;
        Frustum frustum;
    };

    RegionView GetRegionView(Region* candidate, Region* region, const Coords& toCamera) const;
    // The first open portal of the regions facing as asked that fades or meets the view.
    FoundPortal FindPortal(const mem::vector<Region*>& regions, Region* region, const Coords& toCamera, bool front) const;
    // The regions behind the open portals facing as asked that fade or meet the view, but excluded
    // and those already on the walk; none deeper than kMaxWalkDepth.
    mem::vector<Walk> GetWalks(Region* region, const Coords& toCamera, const mem::vector<Region*>& regions, bool front,
                               Region* excluded, int depth) const;
    // Walks them in order, each handed the mask of the one before; the last makes its mask only
    // when maskWanted.
    RenderTexture* RenderPortals(Region* region, bool front, const mem::vector<Walk>& walks, RenderTexture* texture,
                                 int depth, bool maskWanted);
    RenderTexture* RenderRegion(Region* region, const Coords& toCamera, const mem::vector<Region*>& regions, float blend,
                                RenderTexture* texture, bool backFound, bool frontFound, int depth,
                                const Portal* clippingPortal);
    void AddPortalNeighbours(GraphicsNormalRenderer& renderer, Region* region, const mem::vector<Region*>& regions,
                             const Frustum& frustum) const;
    void ConfigureRenderer(GraphicsNormalRenderer& renderer, Region* region) const;
    // The ambiance's sun for the region (an ambiance is set).
    GraphicsLight MakeSun(Region* region) const;
    // The planar reflections of the water the camera (moved into the region) sees, drawn before
    // the region when reflections are on and the device can sample them.
    void RenderReflections(Region* region, const Camera& camera);
    // The transparency target in the region's space (a transparency manager is set).
    Vec3 GetTargetIn(const Region* region) const;
    float GetFade(const Portal& portal, const Region* region) const;
    static SceneAmbiance::Environment GetEnvironment(Region* region);
    void AddStatisticLine(int depth, const char* format, const char* name) const;

    World* world_;
    WorldScene scene_;
    const GraphicsTransparencyManager* transparency_ = nullptr;
    GraphicsCanvas& canvas_;
    Viewport viewport_;
    Region* cameraRegion_;
    Camera camera_;
    Frustum frustum_;
    float fadeStart_ = kDefaultFadeStart;
    float fadeEnd_ = kDefaultFadeEnd;
    bool underground_;
    bool regionList_;
    bool wireframe_ = false;
    bool showLights_ = false;
    const SceneAmbiance* ambiance_;
    mem::vector<Region*> path_;  // the regions of the walk from the camera region to the current one
};

}  // namespace GAME
