#include "render/Camera.h"

#include "core/Plane.h"

namespace GAME {

Vec2 Camera::GetImageHalfSize(float aspect) const {
    if (type_ == CameraType::Orthographic) {
        return Vec2(width_ * 0.5f, height_ * 0.5f);
    }
    const float t = Tan(fov_ * 0.5f);
    return Vec2(aspect * t, t);
}

Vec2 Camera::GetImageCoordinates(const Vec3& p, const Viewport& viewport) const {
    float sx = 0.0f;
    float sy = 0.0f;
    if (type_ == CameraType::Orthographic) {
        sx = p.x / (width_ * 0.5f);
        sy = p.y / (height_ * 0.5f);
    } else {
        const float t = Tan(fov_ * 0.5f);
        sx = p.x / (t * p.z * viewport.GetAspectRatio());
        sy = p.y / (t * p.z);
    }
    return Vec2((1.0f - sx) * 0.5f, (1.0f - sy) * 0.5f);
}

Vec3 Camera::GetImagePoint(const Vec2& uv, const Viewport& viewport) const {
    if (type_ != CameraType::Perspective && type_ != CameraType::Orthographic) {
        return Vec3();
    }
    const Vec2 half = GetImageHalfSize(viewport.GetAspectRatio());
    const float sx = (1.0f - 2.0f * uv.x) * half.x;
    const float sy = (1.0f - 2.0f * uv.y) * half.y;
    return coords_.origin + coords_.zAxis + coords_.xAxis * sx + coords_.yAxis * sy;
}

Ray Camera::GetRayThroughImagePoint(const Vec2& uv, const Viewport& viewport) const {
    const Vec3 point = GetImagePoint(uv, viewport);
    if (type_ == CameraType::Orthographic) {
        return Ray(point, coords_.zAxis);
    }
    return Ray(coords_.origin, (point - coords_.origin).Unit());
}

Vec2 Camera::Project(const Vec3& point, const Viewport& viewport) const {
    const Vec2 image = GetImageCoordinates(coords_.Inverse().TransformPoint(point), viewport);
    return Vec2(float(viewport.width) * image.x, float(viewport.height) * image.y);
}

Vec2 Camera::ProjectToImageSpace(const Vec3& point, const Viewport& viewport) const {
    return GetImageCoordinates(coords_.Inverse().TransformPoint(point), viewport);
}

void Camera::GetCameraToScreenMatrix(Mat4& matrix, const Viewport& viewport) const {
    GetSubCameraToScreenMatrix(matrix, Vec2(0.0f, 0.0f), Vec2(1.0f, 1.0f), viewport);
}

void Camera::GetSubCameraToScreenMatrix(Mat4& matrix, const Vec2& min, const Vec2& max,
                                        const Viewport& viewport) const {
    if (type_ == CameraType::Orthographic) {
        matrix = Mat4(-1.0f / (width_ * 0.5f), 0.0f, 0.0f, 0.0f,
                      0.0f, 1.0f / (height_ * 0.5f), 0.0f, 0.0f,
                      0.0f, 0.0f, 1.0f / far_, 0.0f,
                      0.0f, 0.0f, 0.0f, 1.0f);
        return;
    }
    // The image-plane edges of the sub-rectangle: l and r at u = min.x and max.x (l on the +x
    // side), tp and b at v = min.y and max.y. Each edge maps to its side of clip space, so the
    // centre term is -(r + l) / (r - l): the sub-rectangle itself fills the target, not its mirror.
    const Vec2 half = GetImageHalfSize(viewport.GetAspectRatio() * cameraAspect_);
    const float l = half.x - 2.0f * half.x * min.x;
    const float r = half.x - 2.0f * half.x * max.x;
    const float tp = half.y - 2.0f * half.y * min.y;
    const float b = half.y - 2.0f * half.y * max.y;
    const float q = far_ == Infinity ? 1.0f : far_ / (far_ - near_);
    matrix = Mat4(2.0f / (r - l), 0.0f, -(r + l) / (r - l), 0.0f,
                  0.0f, 2.0f / (tp - b), -(tp + b) / (tp - b), 0.0f,
                  0.0f, 0.0f, q, -q * near_,
                  0.0f, 0.0f, 1.0f, 0.0f);
}

Frustum Camera::GetFrustum(const Viewport& viewport) const {
    return GetSubFrustum(Vec2(0.0f, 0.0f), Vec2(1.0f, 1.0f), far_, viewport);
}

Frustum Camera::GetSubFrustum(const Vec2& min, const Vec2& max, const Viewport& viewport) const {
    return GetSubFrustum(min, max, far_, viewport);
}

Frustum Camera::GetSubFrustum(const Vec2& min, const Vec2& max, float farPlane, const Viewport& viewport) const {
    const Vec2 half = GetImageHalfSize(viewport.GetAspectRatio() * cameraAspect_);
    const float x0 = (1.0f - 2.0f * min.x) * half.x;
    const float x1 = (1.0f - 2.0f * max.x) * half.x;
    const float y0 = (1.0f - 2.0f * min.y) * half.y;
    const float y1 = (1.0f - 2.0f * max.y) * half.y;
    const float xmin = Min(x0, x1);
    const float xmax = Max(x0, x1);
    const float ymin = Min(y0, y1);
    const float ymax = Max(y0, y1);

    Frustum frustum;
    const auto add = [&](const Plane& cameraPlane) { frustum.AddPlane(coords_.TransformPlane(cameraPlane)); };
    if (type_ == CameraType::Orthographic) {
        add(Plane(Vec3(-1.0f, 0.0f, 0.0f), xmax));
        add(Plane(Vec3(1.0f, 0.0f, 0.0f), -xmin));
        add(Plane(Vec3(0.0f, -1.0f, 0.0f), ymax));
        add(Plane(Vec3(0.0f, 1.0f, 0.0f), -ymin));
        add(Plane(Vec3(0.0f, 0.0f, -1.0f), farPlane));
        add(Plane(Vec3(0.0f, 0.0f, 1.0f), -near_));
        return frustum;
    }
    // Planes through the eye and an edge of the image rectangle; an edge of zero length spans no
    // plane, so a flat rectangle gets planes parallel to the view axis instead.
    if (ymax - ymin <= 0.0f) {
        add(Plane(Vec3(-1.0f, 0.0f, 0.0f), xmax));
        add(Plane(Vec3(1.0f, 0.0f, 0.0f), -xmin));
    } else {
        add(Plane(Vec3(-1.0f, 0.0f, xmax).Unit(), 0.0f));
        add(Plane(Vec3(1.0f, 0.0f, -xmin).Unit(), 0.0f));
    }
    if (xmax - xmin <= 0.0f) {
        add(Plane(Vec3(0.0f, -1.0f, 0.0f), ymax));
        add(Plane(Vec3(0.0f, 1.0f, 0.0f), -ymin));
    } else {
        add(Plane(Vec3(0.0f, -1.0f, ymax).Unit(), 0.0f));
        add(Plane(Vec3(0.0f, 1.0f, -ymin).Unit(), 0.0f));
    }
    if (farPlane != Infinity) {
        add(Plane(Vec3(0.0f, 0.0f, -1.0f), farPlane));
    }
    return frustum;
}

bool Camera::GetMinImageRect(const Viewport& viewport, const Vec3& offset, const mem::vector<ABBox>& boxes,
                             Vec2& outMin, Vec2& outMax) const {
    const Coords toCamera = coords_.Inverse();
    Vec2 min(1.0f, 1.0f);
    Vec2 max(0.0f, 0.0f);
    for (const ABBox& box : boxes) {
        Vec3 corners[8];
        ABBox(box.centre + offset, box.halfSize).GetCorners(corners);
        for (const Vec3& corner : corners) {
            const Vec3 p = toCamera.TransformPoint(corner);
            if (type_ == CameraType::Perspective && p.z <= near_) {
                // A corner this close (or behind) has no usable image: the box may cover any part
                // of the view.
                min = Vec2(0.0f, 0.0f);
                max = Vec2(1.0f, 1.0f);
                continue;
            }
            const Vec2 image = GetImageCoordinates(p, viewport);
            min = Vec2(Min(min.x, image.x), Min(min.y, image.y));
            max = Vec2(Max(max.x, image.x), Max(max.y, image.y));
        }
    }
    min = Vec2(Max(min.x, 0.0f), Max(min.y, 0.0f));
    max = Vec2(Min(max.x, 1.0f), Min(max.y, 1.0f));
    if (!(min.x < max.x && min.y < max.y)) {
        return false;
    }
    outMin = min;
    outMax = max;
    return true;
}

bool Camera::GetMinFrustum(const Viewport& viewport, const Vec3& offset, const mem::vector<ABBox>& boxes,
                           Frustum& out) const {
    Vec2 min, max;
    if (!GetMinImageRect(viewport, offset, boxes, min, max)) return false;
    out = GetSubFrustum(min, max, far_, viewport);
    return true;
}

}  // namespace GAME
