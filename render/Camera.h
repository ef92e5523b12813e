#pragma once
// Camera: a projection (perspective or orthographic) and a placement, answering where a world
// point lands on the screen, which point or ray lies under a screen point, the projection matrix,
// and the frustum of the view, of a sub-rectangle of it, or of a set of boxes. A plain value type.
//
// The camera looks along the z axis of its placement with y up. Image coordinates (u, v) run
// 0..1 across the viewport from the left and the top; u = 0 lies on the +x side of the camera (a
// right-handed frame seen from behind), so camera-space x maps to -u. The projection follows
// Direct3D: depth 0 at the near plane, 1 at the far plane.
//
// The image rectangle lies at distance 1 along the z axis. Its half extents are (A t, t) for
// GetImagePoint and the projections, and (A C t, t) for the matrices and frusta, where
// t = tan(FOV / 2), A is the viewport's aspect ratio and C the camera aspect; an orthographic
// camera's are (width / 2, height / 2).

#include "core/ABBox.h"
#include "core/Coords.h"
#include "core/Frustum.h"
#include "core/MathUtil.h"
#include "core/Mat4.h"
#include "core/Mem.h"
#include "core/Ray.h"
#include "core/Vec2.h"
#include "core/Vec3.h"
#include "render/Viewport.h"

#include <cstdint>

namespace GAME {

enum class CameraType : uint32_t {
    Perspective = 0,
    Orthographic = 1,
};

class Camera {
public:
    void SetType(CameraType type) { type_ = type; }
    CameraType GetType() const { return type_; }
    // The full vertical angle of view, radians.
    void SetFOV(float fov) { fov_ = fov; }
    float GetFOV() const { return fov_; }
    // The orthographic image size in world units.
    void SetWidth(float width) { width_ = width; }
    void SetHeight(float height) { height_ = height; }
    // The placement: the camera's axes and origin in the world (a rigid frame).
    void SetCoords(const Coords& coords) { coords_ = coords; }
    const Coords& GetCoords() const { return coords_; }
    void SetNearPlane(float distance) { near_ = distance; }
    float GetNearPlane() const { return near_; }
    // May be +infinity (no far plane).
    void SetFarPlane(float distance) { far_ = distance; }
    float GetFarPlane() const { return far_; }
    // Widens the matrices and frusta horizontally by this factor.
    void SetCameraAspect(float aspect) { cameraAspect_ = aspect; }
    float GetCameraAspect() const { return cameraAspect_; }

    // The world point of the image rectangle at image coordinates uv; (0, 0, 0) for an unknown type.
    Vec3 GetImagePoint(const Vec2& uv, const Viewport& viewport) const;
    // Perspective: from the camera origin through the image point (unit direction). Orthographic:
    // from the image point along the z axis.
    Ray GetRayThroughImagePoint(const Vec2& uv, const Viewport& viewport) const;

    // Where a world point lands, in pixels from the viewport's corner. A point level with or
    // behind a perspective camera has no true image (its result is mirrored or infinite).
    Vec2 Project(const Vec3& point, const Viewport& viewport) const;
    // The same in image coordinates, 0..1 across the viewport.
    Vec2 ProjectToImageSpace(const Vec3& point, const Viewport& viewport) const;

    // Camera space to clip space (column vectors): x and y to -1..1 across the view (or the
    // sub-rectangle min..max of image coordinates), depth to 0..1, w = camera-space z.
    void GetCameraToScreenMatrix(Mat4& matrix, const Viewport& viewport) const;
    void GetSubCameraToScreenMatrix(Mat4& matrix, const Vec2& min, const Vec2& max, const Viewport& viewport) const;

    // World-space frusta of the view or of the sub-rectangle min..max of image coordinates, with
    // inward planes in the order: x <= right, x >= left, y <= top, y >= bottom, then the far plane
    // (none when far is +infinity) and, orthographic only, the near plane. A perspective frustum
    // has no near plane; a sub-rectangle of zero height (width) gets side (top and bottom) planes
    // parallel to the z axis at the image-plane coordinates.
    Frustum GetFrustum(const Viewport& viewport) const;
    Frustum GetSubFrustum(const Vec2& min, const Vec2& max, const Viewport& viewport) const;
    Frustum GetSubFrustum(const Vec2& min, const Vec2& max, float farPlane, const Viewport& viewport) const;
    // The smallest rectangle of image coordinates (min..max, inside 0..1) that holds the image of
    // every box, each moved by offset. A box reaching the near plane of a perspective camera (or
    // behind it) needs the whole view. False, with min and max unchanged, when no part of any
    // box's image lies inside the view.
    bool GetMinImageRect(const Viewport& viewport, const Vec3& offset, const mem::vector<ABBox>& boxes, Vec2& min,
                         Vec2& max) const;
    // The sub-frustum of GetMinImageRect's rectangle; false, with out unchanged, where it is false.
    bool GetMinFrustum(const Viewport& viewport, const Vec3& offset, const mem::vector<ABBox>& boxes,
                       Frustum& out) const;
    // Half extents of the image rectangle (at distance 1 for a perspective camera) for a
    // horizontal widening (A, or A C).
    Vec2 GetImageHalfSize(float aspect) const;

private:
    // The image coordinates (0..1 across the viewport) of a camera-space point.
    Vec2 GetImageCoordinates(const Vec3& cameraPoint, const Viewport& viewport) const;

    CameraType type_ = CameraType::Perspective;
    Coords coords_;
    float fov_ = DegreesToRadians(60.0f);
    float width_ = 1.0f;
    float height_ = 1.0f;
    float near_ = 1.0f;
    float far_ = 100.0f;
    float cameraAspect_ = 1.0f;
};

}  // namespace GAME
