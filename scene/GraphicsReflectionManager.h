#pragma once
// GraphicsReflectionManager: the planar reflections of one region render. Water surfaces own
// GraphicsReflectionPlanes; each frame the manager gathers the planes of the levels in view
// (through SceneWorld), merges those that lie in one plane into a group, draws the scene mirrored
// in each group's plane into a 512 x 512 temporary surface of the canvas and hands that surface to
// every plane of the group, whose water then samples it as its reflection.
//
// A reflection is drawn by a normal renderer from the camera reflected in the plane with its
// second axis negated: a proper (right-handed) camera below the plane, so faces keep their
// winding, whose image is the mirror image upside down. Whoever samples the surface at a screen
// position (u, v) of the main view reads it at (u, 1 - v). Only the "reflectionStyle" passes of
// what lies on the normal's side of the plane are drawn, lit by the sun alone.
//
// Decisions:
// - A group's plane is carried into the rendered region by the whole offset between the regions
//   (d - n . offset), which for the horizontal planes of water is the vertical offset alone.
// - The reflection's camera aspect is the main viewport's width / height; a viewport without
//   height keeps the camera's aspect (no division by zero).
// - Without a sun the reflection is drawn by a black light (ambient colours only).
// - The canvas's target and viewport are put back after each reflection (not the default target),
//   so a frame drawn into another surface (a screenshot) stays there.
// - Only the part of the surface the group's water can read is drawn: the scene is cut (by the
//   scissor) to the rectangle of the group's visible element boxes in the reflected view, widened
//   by kReadMargin texels for filtered reads and shaders that displace their reads. The rest of
//   the surface is cleared only (transparent black: no reflection there).

#include "core/ABBox.h"
#include "core/Color.h"
#include "core/Mem.h"
#include "core/Plane.h"
#include "render/Viewport.h"

namespace GAME {

class Camera;
class GraphicsCanvas;
class GraphicsLight;
class Region;
class RenderSurface;
class SceneWorld;

// A plane a surface reflects in, owned by that surface (a water layer or path).
struct GraphicsReflectionPlane {
    Plane plane{Vec3(0.0f, 1.0f, 0.0f), 0.0f};  // region space; the reflecting side is the normal's
    ABBox box;                                  // the surface's extent in its region
    Region* region = nullptr;                   // a plane without a region is ignored
    RenderSurface* surface = nullptr;           // the reflection, written by the manager
};

class GraphicsReflectionManager {
public:
    static constexpr int kSurfaceSize = 512;
    static constexpr float kReadMargin = 8.0f;
    // Planes merge when their normals' dot product is above this and their boxes' centre heights
    // differ by at most kMergeHeight.
    static constexpr float kMergeDot = 0.95f;
    static constexpr float kMergeHeight = 0.25f;

    // What one region render gives the reflections.
    struct RenderSet {
        const Camera* camera = nullptr;
        Region* region = nullptr;  // the region rendered (scene space is its space)
        Viewport viewport;
        const GraphicsLight* sun = nullptr;
        const Color* skyAmbient = nullptr;
        const Color* groundAmbient = nullptr;
    };

    // The world the planes and the scene are gathered from; null: only planes added directly, and
    // renderers that draw nothing of a world.
    explicit GraphicsReflectionManager(SceneWorld* world = nullptr);
    ~GraphicsReflectionManager();
    GraphicsReflectionManager(const GraphicsReflectionManager&) = delete;
    GraphicsReflectionManager& operator=(const GraphicsReflectionManager&) = delete;

    // Joins the plane to the first group it lies in, or makes a group of it.
    void AddReflectionPlane(GraphicsReflectionPlane& plane);
    // Adds the box (the plane's region space) to the visible parts of the plane's group.
    void UpdatePlaneElementBounds(const GraphicsReflectionPlane* plane, const ABBox& box);
    // Gathers the planes in view and draws each group's reflection; returns the number drawn.
    int RenderReflections(GraphicsCanvas& canvas, const RenderSet& set);
    // The group boxes and their element boxes as debug boxes.
    void RenderActivePlaneBounds() const;

    int GetNumGroups() const { return int(groups_.size()); }
    // The members of group i.
    const mem::vector<GraphicsReflectionPlane*>& GetGroupPlanes(int i) const { return groups_[size_t(i)].planes; }

private:
    struct PlaneGroup {
        Plane plane;
        ABBox box;  // in the group's region
        Region* region = nullptr;
        RenderSurface* surface = nullptr;
        mem::vector<GraphicsReflectionPlane*> planes;
        mem::vector<ABBox> elementBounds;  // in the group's region
    };

    void GatherPlanes(const RenderSet& set);
    // False when the group's elements show nowhere in the view.
    bool RenderGroup(GraphicsCanvas& canvas, const RenderSet& set, PlaneGroup& group);
    // The position of from's origin in to's space.
    Vec3 GetOffset(const Region* from, const Region* to) const;

    SceneWorld* world_;
    mem::vector<PlaneGroup> groups_;
};

}  // namespace GAME
