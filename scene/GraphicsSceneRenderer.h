#pragma once
// GraphicsSceneRenderer: gathers what one render of one region shows and draws it by shader
// style. Use: construct; SetViewer; optionally SetGenerationId and the switches;
// AddRegionToScene for every region to show (its contents call AddRenderable and AddLight); then
// RenderStyle (or CollectPasses and RenderPasses) for each style; destroy.
//
// The transparency frustum lives with the renderers that know regions (world/), which add it to
// their region contents.
//
// Scene space is the viewer region's coordinates; every other region is placed in it by its
// region-to-scene coords, of which the first given for a region stay for the whole render. A
// region added by itself (AddRegionToScene(Region*)) is placed by the difference of its offset in
// the world and the viewer's, which the renderer's SceneWorld knows (without one every region
// lies at the viewer's origin), and then as the viewer's region is.
// The queue holds raw pointers: renderables must outlive the render. A renderable added for a
// region that has no coords yet places that region as AddRegionToScene(Region*) would, and that
// call, made later, still adds the region's contents: the order of submission does not matter.
//
// Passes are sorted by sort order, then shader, style and texture, so each change of shader style
// costs one End/Begin and one SetShaderConstants, and equal keys keep their submission order.

#include <cstdint>

#include "core/ABBox.h"
#include "core/Coords.h"
#include "core/Frustum.h"
#include "core/Mat4.h"
#include "core/Mem.h"
#include "core/Name.h"
#include "core/Sphere.h"
#include "render/Camera.h"
#include "render/RenderDevice.h"
#include "render/Viewport.h"
#include "scene/GraphicsLight.h"
#include "scene/RenderablePass.h"

namespace GAME {

class GraphicsCanvas;
class GraphicsEngine;
class GraphicsRenderable;
class GraphicsShader2;
class Region;
class SceneWorld;

// The shader style names the scene renderers draw with.
struct SceneStyleNames {
    Name ambientLight;                // "ambientLightStyle"
    Name depthOnly;                   // "depthOnlyStyle"
    Name depth;                       // "depthStyle"
    Name emissive;                    // "emissiveStyle"
    Name fog;                         // "fogStyle"
    Name color;                       // "colorStyle"
    Name postRender;                  // "postRenderStyle"
    Name directionalDiffuseAmbient;   // "dLightDiffuseAmbientStyle"
    Name pointDiffuseAmbient;         // "pLightDiffuseAmbientStyle"
    Name directionalDiffuse;          // "dLightDiffuseStyle"
    Name pointDiffuse;                // "pLightDiffuseStyle"
    Name pointSimple;                 // "pLightSimpleStyle"
    Name pointSimpleAmbient;          // "pLightSimpleAmbientStyle"
    Name transparencyMask;            // "transparencyMaskStyle"

    // Made on first use.
    static const SceneStyleNames& Get();
};

class GraphicsSceneRenderer {
public:
    // What the region contents and the submitters draw; all but BoundingBoxes set at construction.
    enum RenderFlag : uint32_t {
        kTerrain = 1,
        kGrass = 2,
        kGridTiles = 4,
        kMeshes = 8,
        kEffects = 16,
        kDecals = 32,
        kWater = 64,
        kBoundingBoxes = 128,
    };
    // A light whose red, green and blue are all at most this is too dim to draw.
    static constexpr float kDimLight = 0.03f;
    // The sort orders RenderStyle draws, both ends included.
    static constexpr int kMinSortOrder = -1;
    static constexpr int kMaxSortOrder = 20000;

    // Takes the graphics engine from the running engine (none when there is no engine). The world
    // places regions and gives their contents; it may be null.
    explicit GraphicsSceneRenderer(SceneWorld* world = nullptr);
    virtual ~GraphicsSceneRenderer();
    GraphicsSceneRenderer(const GraphicsSceneRenderer&) = delete;
    GraphicsSceneRenderer& operator=(const GraphicsSceneRenderer&) = delete;

    // The portal mask shader all scene renderers share.
    static void CreateResources(GraphicsEngine& graphics);
    static void DestroyResources(GraphicsEngine& graphics);
    static const GraphicsShader2* GetPortalMaskShader();

    // Copies the viewer, refreshes the shadows switch from the graphics engine and makes the
    // world-to-camera coords and the world-to-screen matrix.
    void SetViewer(Region* viewerRegion, const Camera& camera, const Viewport& viewport, const Frustum& frustum);
    void SetWorldToScreenMatrix(const Mat4& matrix) { worldToScreen_ = matrix; }

    // Keeps the first coords given for a region.
    void SetRegionToSceneCoords(Region* region, const Coords& regionToScene);
    // The identity for a region without coords.
    Coords GetRegionToSceneCoords(Region* region) const;
    const mem::map<Region*, Coords>& GetRegionToSceneCoordsMap() const { return regionToScene_; }
    // Enters the coords, moves the scene frustum into the region's coordinates and adds the
    // region's contents (AddRegionContents).
    void AddRegionToScene(Region* region, const Coords& regionToScene, Region* from);
    // The same for a region placed by its offset from the viewer's region, after the viewer
    // region's own coords when it has any; nothing for a null region or one that already has
    // coords (unless only a renderable of it gave them), so a region's contents are added once.
    void AddRegionToScene(Region* region);
    // The translation by the region's offset in the world less the viewer region's (the identity
    // without a world or a viewer region).
    Coords GetOffsetCoords(const Region* region) const;

    // Queues the renderable with its box in scene space; a box that is not finite is refused and
    // logged. Nothing happens for a null pointer.
    void AddRenderable(GraphicsRenderable* renderable, Region* region);
    // Copies the light unless it is too dim (kDimLight); without shadows the copy casts none.
    void AddLight(const GraphicsLight& light);
    const mem::vector<GraphicsLight>& GetLights() const { return lights_; }
    int GetNumPassesWithStyle(const Name& style) const;
    // The camera-space box around every queued renderable that has a pass: each renderable's own
    // box placed by its region's offset from the viewer's. min and max stay at +infinity and
    // -infinity when nothing is queued.
    void GetViewSpaceExtents(Vec3& min, Vec3& max) const;

    void SetGenerationId(RenderGenerationId generation) { generation_ = generation; }
    RenderGenerationId GetGenerationId() const { return generation_; }
    // True when any of the bits is set.
    bool IsRenderFlagSet(uint32_t flags) const { return (flags_ & flags) != 0; }
    void EnableTerrain(bool enable) { SetFlag(kTerrain, enable); }
    void EnableGrass(bool enable) { SetFlag(kGrass, enable); }
    void EnableGridTiles(bool enable) { SetFlag(kGridTiles, enable); }
    void EnableMeshes(bool enable) { SetFlag(kMeshes, enable); }
    void EnableEffects(bool enable) { SetFlag(kEffects, enable); }
    void EnableDecals(bool enable) { SetFlag(kDecals, enable); }
    void EnableWater(bool enable) { SetFlag(kWater, enable); }
    void EnableBoundingBoxes(bool enable) { SetFlag(kBoundingBoxes, enable); }
    uint32_t GetRenderFlags() const { return flags_; }

    const Frustum& GetFrustum() const { return frustum_; }
    Region* GetViewerRegion() const { return viewerRegion_; }
    SceneWorld* GetSceneWorld() const { return world_; }
    const Coords& GetWorldToCameraCoords() const { return worldToCamera_; }
    virtual const Camera& GetCamera() const { return camera_; }
    virtual const Viewport& GetViewport() const { return viewport_; }
    virtual const Mat4& GetWorldToScreenMatrix() const { return worldToScreen_; }
    // Sets the frame's constants of a shader; called each time a shader style is begun.
    virtual void SetShaderConstants(GraphicsCanvas& canvas, const GraphicsShader2* shader) const = 0;
    virtual bool IsShadowOnly() const { return false; }

    // Appends a pass for every pass of every queued renderable that has the style, a sort order
    // within [minSortOrder, maxSortOrder], a shader and the style in that shader. With a light
    // sphere only renderables whose scene box meets the sphere take part.
    void CollectPasses(mem::vector<RenderablePass>& passes, const Name& style, int minSortOrder, int maxSortOrder,
                       const Sphere* lightSphere = nullptr, const GraphicsLight* light = nullptr) const;
    // Draws the passes ordered by sort order, shader, style and texture (stable: equal keys in
    // their order in the list, which stays as it is).
    void RenderPasses(GraphicsCanvas& canvas, const mem::vector<RenderablePass>& passes, const Name& style) const;
    // Every pass of the style with sort orders kMinSortOrder to kMaxSortOrder, without a light.
    void RenderStyle(GraphicsCanvas& canvas, const Name& style) const;
    // While RenderPasses draws a pass: the pass it draws next when that one has the same shader and
    // style (its renderable may leave the shader's state in place for it); null otherwise.
    const RenderablePass* GetNextPassInStyle() const { return nextInStyle_; }
    // While CollectPasses runs, a number no other call had (main thread); 0 otherwise. Nothing
    // loads, unloads or reloads resources while passes are collected, so a renderable may answer a
    // pass from what it worked out for an earlier pass of the same collection.
    static uint32_t GetCollection() { return collection_; }

protected:
    // Adds what the region shows; nothing in the base.
    virtual void AddRegionContents(Region* region, const Coords& regionToScene, const Frustum& regionFrustum);

    GraphicsEngine* GetGraphicsEngine() const { return graphics_; }

private:
    struct QueueEntry {
        GraphicsRenderable* renderable;
        Region* region;
        const Coords* regionToScene;  // the value in regionToScene_
        ABBox sceneBox;
    };

    void SetFlag(uint32_t flag, bool enable) { flags_ = enable ? flags_ | flag : flags_ & ~flag; }
    // Where AddRegionToScene(Region*) places the region.
    Coords GetPlacementByOffset(const Region* region) const;

    mem::vector<QueueEntry> queue_;
    mem::vector<GraphicsLight> lights_;
    Camera camera_;
    Region* viewerRegion_ = nullptr;
    Frustum frustum_;
    Viewport viewport_;
    Coords worldToCamera_;
    Mat4 worldToScreen_;
    mem::map<Region*, Coords> regionToScene_;
    mem::vector<Region*> placedOnly_;  // placed by a renderable of theirs, contents not yet added
    // The region of the last renderable queued, its coords in regionToScene_ (which stay put) and
    // whether they turn: a region's renderables mostly come one after another.
    Region* lastRegion_ = nullptr;
    const Coords* lastRegionToScene_ = nullptr;
    bool lastRegionTurned_ = false;
    mutable const RenderablePass* nextInStyle_ = nullptr;
    static uint32_t collection_;
    static uint32_t collections_;
    RenderGenerationId generation_{};
    uint32_t flags_ = 127;
    bool shadows_ = false;
    SceneWorld* const world_;
    GraphicsEngine* const graphics_;
};

}  // namespace GAME
