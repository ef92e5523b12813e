#pragma once
// DebugRenderManager: debug shapes any part of the engine asks for this frame (text labels, boxes,
// spheres, frusta, lines, arrows and cones), each in a region's coordinates and a colour. Each
// request queues one small item; Flush, once a frame over the rendered scene, draws every item
// through a primitive drawer in request order and deletes it.
//
// Decisions:
// - Requests may come from any thread (physics and effects update off the main thread): the queue
//   is locked. Flush runs on the main thread, which draws.
// - Requests without a region do nothing, except screen text, which has no region. A null region
//   given to a request with a region means geometry in the camera region's own frame.
// - Text needs a font (SetFont; the engine hands its renderer the graphics engine's default font
//   at start-up): text queued before there is one is not drawn. Text is drawn in the engine's
//   utility font style; world text behind the camera is not drawn.
// - Every item but a line with its own shader draws with the graphics engine's basic shader.

#include "core/Color.h"
#include "core/CriticalSection.h"
#include "core/Mem.h"

#include <atomic>
#include <memory>

namespace GAME {

class Camera;
class Frustum;
class GraphicsCanvas;
class GraphicsFont;
class GraphicsPrimitiveDrawer;
class GraphicsShader2;
class Region;
struct ABBox;
struct OBBox;
struct Sphere;
struct Vec2;
struct Vec3;
struct Viewport;

// One queued request: it draws itself once.
class DebugRenderItem {
public:
    virtual ~DebugRenderItem() = default;
    virtual void Draw(GraphicsPrimitiveDrawer& drawer) const = 0;
};

class DebugRenderManager {
public:
    DebugRenderManager();
    virtual ~DebugRenderManager();
    DebugRenderManager(const DebugRenderManager&) = delete;
    DebugRenderManager& operator=(const DebugRenderManager&) = delete;

    // While disabled, requests queue nothing.
    void Enable() { enabled_ = true; }
    void Disable() { enabled_ = false; }
    // The font of text queued afterwards (see the header comment).
    void SetFont(const GraphicsFont* font) { font_ = font; }

    // Text at a pixel of the target.
    void RenderText(const char* text, const Vec2& position, const Color& color);
    // Text at a point of the region's space.
    void RenderText(const char* text, Region* region, const Vec3& position, const Color& color);
    void RenderBox(Region* region, const OBBox& box, const Color& color);
    void RenderBox(Region* region, const ABBox& box, const Color& color);
    // Rings of latitude and meridians.
    void RenderSphere(Region* region, const Sphere& sphere, const Color& color);
    // The outline of each face.
    void RenderFrustum(Region* region, const Frustum& frustum, const Color& color);
    // A null shader draws with the basic shader.
    void RenderLine(Region* region, const Vec3& start, const Vec3& end, const Color& color,
                    const GraphicsShader2* shader);
    // A line with two head strokes at end, spread across the view.
    void RenderArrow(Region* region, const Vec3& start, const Vec3& end, const Color& color);
    // Lines from the apex to the base circle around end (radius: the axis length times tan(angle))
    // and the circle itself.
    void RenderCone(Region* region, const Vec3& apex, const Vec3& end, float angle, const Color& color);

    // Without a region: nothing is queued.
    void RenderText(const char*, const Vec3&, const Color&) {}
    void RenderBox(const OBBox&, const Color&) {}
    void RenderBox(const ABBox&, const Color&) {}
    void RenderSphere(const Sphere&, const Color&) {}
    void RenderFrustum(const Frustum&, const Color&) {}
    void RenderArrow(const Vec3&, const Vec3&, const Color&) {}
    void RenderCone(const Vec3&, const Vec3&, float, const Color&) {}

    // Draws and deletes the queued items over the scene in the viewport: when there are any, the
    // viewport's depth is cleared to 1 first, and the items are drawn under the camera (standing in
    // cameraRegion) without wire-frame. Main thread.
    void Flush(GraphicsCanvas& canvas, Region* cameraRegion, const Camera& camera, const Viewport& viewport);

    // Items waiting for Flush.
    size_t GetNumQueued() const;

private:
    void Queue(std::unique_ptr<DebugRenderItem> item);

    std::atomic<bool> enabled_{true};
    std::atomic<const GraphicsFont*> font_{nullptr};
    mutable CriticalSection queueLock_;
    mem::vector<std::unique_ptr<DebugRenderItem>> queue_;  // in request order
};

}  // namespace GAME
