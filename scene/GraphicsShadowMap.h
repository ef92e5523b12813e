#pragma once
// GraphicsShadowMap: the depth of one light's shadow casters seen from the light, drawn for one
// render of the normal renderer, which feeds it the passes of the frame (AddSurface), has it draw
// into a render surface (RenderPoint for one face of a point light, RenderDirectional for a
// directional light) and receives the world-to-map matrix the receivers look the map up with.
// The map works in its region's space, which is the scene space of the renderer that made it.
//
// A directional map is fitted to what the camera sees: the view frustum bounded by the surfaces'
// box is swept towards the light (everything that can shadow a visible point), cut at the
// nearest shadow caster, and its corner points are fitted by one of three algorithms:
//   kOrthographic     an orthographic box along the light;
//   kPerspectiveWarp  a perspective warp in the plane of light and view, so that texels near the
//                     camera are smaller (the renderer's choice);
//   kTrapezoidal      a trapezoid around the view seen from the light, warped onto the map so
//                     that the point kFocusDistance ahead of the camera lands at 80 % of its
//                     depth.
// Depth in every map runs 0..1 away from the light.
//
// A point light's face is a perspective view along the face direction whose image spreads
// kPointFaceSpread units per unit of distance (the shadow shaders project it, the world-to-map
// matrix is the rigid world-to-face transform); its depth is the distance from the light over the
// light's radius, written per pixel.
//
// Decisions:
// - The map looks along the direction the light shines (the third axis of its coords).
// - The warps cannot be built when view and light are (nearly) parallel (sine of the angle below
//   kMinWarpSine), nor the perspective warp when a point lies behind its projection centre: the
//   orthographic fit is used then. Extents below kMinExtent count as kMinExtent.
// - The trapezoid's focus point is kept between a tenth and half of the trapezoid's height from
//   its top line, so that its projection point lies in front of it at a finite distance.
// - A point light's map is always drawn, cleared when no caster is near: the surfaces are shared,
//   and would otherwise show another light's shadows.
// - Casters come from the world (SceneWorld) when the map has one; without one they are the
//   renderables of the shadow-casting surfaces added.

#include "core/ABBox.h"
#include "core/Color.h"
#include "core/Frustum.h"
#include "core/Mat4.h"
#include "core/Mem.h"
#include "core/Vec3.h"
#include "scene/GraphicsLight.h"
#include "scene/RenderablePass.h"

namespace GAME {

class Camera;
class Entity;
class GraphicsCanvas;
class GraphicsShadowMapRenderer;
class Region;
class RenderSurface;
class SceneWorld;

class GraphicsShadowMap {
public:
    // The directional fitting algorithms.
    enum Algorithm : int { kOrthographic = 0, kPerspectiveWarp = 1, kTrapezoidal = 2 };

    static constexpr int kMaxCornerPoints = 200;
    static constexpr float kFocusDistance = 40.0f;
    static constexpr float kMinWarpSine = 0.01f;
    static constexpr float kMinExtent = 1e-4f;
    static constexpr float kPointFaceSpread = 2.0f;

    // world may be null (see the header comment).
    GraphicsShadowMap(const GraphicsLight& light, Region* region, SceneWorld* world = nullptr);

    // Extends the bounds by the pass's box (and the casters' light-space bounds, keeping the pass,
    // when it casts a shadow); false, changing nothing, for a box that is not finite.
    bool AddSurface(const RenderablePass& pass, bool castsShadow);
    int GetNumSurfaces() const { return int(surfaces_.size()); }

    // Draws the face of the point light looking along faceDirection; worldToMap receives the
    // world-to-face transform.
    bool RenderPoint(GraphicsCanvas& canvas, const Vec3& faceDirection, RenderSurface* target, Mat4& worldToMap);
    // Fits the map to the view and draws it; worldToMap receives the fitted matrix followed by
    // the texture bias. False when the working volume is not finite or the algorithm unknown. With
    // no surfaces the map is only cleared and worldToMap stays as it was.
    bool RenderDirectional(GraphicsCanvas& canvas, const Camera& camera, const Frustum& viewFrustum, int algorithm,
                           RenderSurface* target, Mat4& worldToMap);
    // The statistic lines of the map.
    void DebugStatistics() const;
    // Queues the text (DebugRenderManager) at the centre of each shadow caster added.
    void DrawLabels(const char* text, const Color& color) const;

    // The fitting, exposed for its arithmetic.
    // The view frustum bounded by the box [boundsMin, boundsMax] and swept towards the light
    // (shining along lightDirection).
    static void MakeSweptVolume(Frustum& out, const Frustum& viewFrustum, const Vec3& boundsMin,
                                const Vec3& boundsMax, const Vec3& lightDirection);
    // The lowest extent of the box along direction.
    static float GetLowestExtent(const ABBox& box, const Vec3& direction);
    // The clip matrix (x and y in -1..1, depth 0..1 after the division by w) of the algorithm
    // fitted to the points; false for an unknown algorithm or no points.
    static bool Fit(Mat4& out, int algorithm, const Camera& camera, const Vec3& lightDirection, const Vec3* points,
                    int count);
    // Clip space to texture coordinates: x from -1..1 to 0..1, y from -1..1 to 1..0.
    static Mat4 GetTextureBias();
    // The camera the trapezoid is fitted for: the given one, which is kept, except while frozen,
    // when it is the one kept last (the first camera ever given is kept in any case). Fit freezes
    // it while caps lock is toggled on, so that the fitted trapezoid can be looked at from
    // elsewhere. Main thread only.
    static const Camera& GetTrapezoidCamera(const Camera& camera, bool frozen);

private:
    // The light's position or direction in the map's region.
    Coords GetLightToRegionCoords() const;
    void SetUpRenderer(GraphicsShadowMapRenderer& renderer) const;
    // Queues the entity (with its region) or, without a world, the casting surfaces.
    void AddEntity(GraphicsShadowMapRenderer& renderer, Entity* entity) const;
    void AddCastingSurfaces(GraphicsShadowMapRenderer& renderer) const;

    mem::vector<RenderablePass> surfaces_;
    GraphicsLight light_;
    Region* region_;
    SceneWorld* world_;
    Coords worldToLight_;
    Coords lightFrame_;
    Vec3 casterMin_, casterMax_;  // light space
    Vec3 boundsMin_, boundsMax_;  // region space, all surfaces
};

}  // namespace GAME
