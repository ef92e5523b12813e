#include "render/Camera.h"

#include "core/MathExpect.h"
#include "core/Plane.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace GAME {
namespace {

using test::ExpectNear;

constexpr float kTolerance = 1e-4f;

void ExpectNear(const Vec2& actual, const Vec2& expected, float tolerance = kTolerance) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
}

void ExpectNear(const Plane& actual, const Plane& expected) {
    ExpectNear(actual.normal, expected.normal);
    EXPECT_NEAR(actual.d, expected.d, kTolerance);
}

// (M * (p, 1)) divided by w: x, y in -1..1 across the view, z the depth.
Vec3 ToClip(const Mat4& m, const Vec3& p, float* w = nullptr) {
    const float x = m(0, 0) * p.x + m(0, 1) * p.y + m(0, 2) * p.z + m(0, 3);
    const float y = m(1, 0) * p.x + m(1, 1) * p.y + m(1, 2) * p.z + m(1, 3);
    const float z = m(2, 0) * p.x + m(2, 1) * p.y + m(2, 2) * p.z + m(2, 3);
    const float cw = m(3, 0) * p.x + m(3, 1) * p.y + m(3, 2) * p.z + m(3, 3);
    if (w != nullptr) *w = cw;
    return Vec3(x / cw, y / cw, z / cw);
}

// The smallest distance of the point inside the frustum's planes (negative: outside).
float Inside(const Frustum& frustum, const Vec3& point) {
    float inside = Infinity;
    for (uint32_t i = 0; i < frustum.GetNumPlanes(); ++i)
        inside = Min(inside, frustum.GetPlane(i).GetDistance(point));
    return inside;
}

// A perspective camera turned and moved away from the world axes, so that a frame or
// handedness mistake shows.
Camera TurnedCamera() {
    Camera camera;
    camera.SetCoords(Coords::LookAt(Vec3(3.0f, 2.0f, -4.0f), Vec3(-1.0f, 0.5f, 6.0f), Vec3(0.0f, 1.0f, 0.0f)));
    camera.SetFOV(DegreesToRadians(70.0f));
    camera.SetNearPlane(0.5f);
    camera.SetFarPlane(40.0f);
    return camera;
}

Camera OrthographicCamera() {
    Camera camera;
    camera.SetType(CameraType::Orthographic);
    camera.SetWidth(16.0f);
    camera.SetHeight(9.0f);
    camera.SetNearPlane(2.0f);
    camera.SetFarPlane(30.0f);
    Coords coords = Coords::RotationY(0.7f) * Coords::RotationX(-0.3f);
    coords.origin = Vec3(1.0f, 4.0f, -2.0f);
    camera.SetCoords(coords);
    return camera;
}

TEST(ViewportTest, ValuesAndDeviceCoordinates) {
    const Viewport empty;
    EXPECT_EQ(empty, Viewport(0, 0, 0, 0));

    const Viewport viewport(10, 20, 200, 100);
    EXPECT_EQ(viewport.GetWidth(), 200);
    EXPECT_EQ(viewport.GetHeight(), 100);
    EXPECT_FLOAT_EQ(viewport.GetAspectRatio(), 2.0f);
    EXPECT_EQ(viewport.GetRect(), Rect(10.0f, 20.0f, 200.0f, 100.0f));
    ExpectNear(viewport.ConvertFromDeviceCoords(Vec2(10.0f, 20.0f)), Vec2(-1.0f, -1.0f));
    ExpectNear(viewport.ConvertFromDeviceCoords(Vec2(210.0f, 120.0f)), Vec2(1.0f, 1.0f));
    ExpectNear(viewport.ConvertFromDeviceCoords(Vec2(110.0f, 45.0f)), Vec2(0.0f, -0.5f));
}

TEST(CameraTest, Defaults) {
    const Camera camera;
    EXPECT_EQ(camera.GetType(), CameraType::Perspective);
    EXPECT_FLOAT_EQ(camera.GetFOV(), DegreesToRadians(60.0f));
    EXPECT_EQ(camera.GetCoords(), Coords::Identity);
    EXPECT_FLOAT_EQ(camera.GetNearPlane(), 1.0f);
    EXPECT_FLOAT_EQ(camera.GetFarPlane(), 100.0f);
    EXPECT_FLOAT_EQ(camera.GetCameraAspect(), 1.0f);
}

TEST(CameraTest, ProjectsKnownPoints) {
    Camera camera;
    camera.SetFOV(DegreesToRadians(90.0f));
    const Viewport square(0, 0, 100, 100);
    ExpectNear(camera.Project(Vec3(0.0f, 0.0f, 1.0f), square), Vec2(50.0f, 50.0f));
    // +x lands on the left, +y at the top.
    ExpectNear(camera.Project(Vec3(1.0f, 0.0f, 1.0f), square), Vec2(0.0f, 50.0f));
    ExpectNear(camera.Project(Vec3(0.0f, 1.0f, 1.0f), square), Vec2(50.0f, 0.0f));
    ExpectNear(camera.Project(Vec3(-2.0f, -2.0f, 2.0f), square), Vec2(100.0f, 100.0f));
    ExpectNear(camera.ProjectToImageSpace(Vec3(-1.0f, 0.5f, 2.0f), square), Vec2(0.75f, 0.375f));
    // Relative to the viewport's corner, widened by its aspect ratio.
    const Viewport wide(30, 40, 200, 100);
    ExpectNear(camera.Project(Vec3(2.0f, 0.0f, 1.0f), wide), Vec2(0.0f, 50.0f));
    ExpectNear(camera.Project(Vec3(1.0f, 0.0f, 1.0f), wide), Vec2(50.0f, 50.0f));

    // A camera behind the origin looking at it with y up sees world +x on its left, as the
    // right-handed placement from LookAt says.
    camera.SetCoords(Coords::LookAt(Vec3(0.0f, 0.0f, -5.0f), Vec3(), Vec3(0.0f, 1.0f, 0.0f)));
    EXPECT_LT(camera.Project(Vec3(1.0f, 0.0f, 0.0f), square).x, 50.0f);
    ExpectNear(camera.Project(Vec3(0.0f, 0.0f, 0.0f), square), Vec2(50.0f, 50.0f));

    Camera ortho;
    ortho.SetType(CameraType::Orthographic);
    ortho.SetWidth(4.0f);
    ortho.SetHeight(2.0f);
    ExpectNear(ortho.ProjectToImageSpace(Vec3(1.0f, 0.5f, 7.0f), square), Vec2(0.25f, 0.25f));
    ExpectNear(ortho.Project(Vec3(-2.0f, -1.0f, 3.0f), wide), Vec2(200.0f, 100.0f));
}

TEST(CameraTest, ImagePointsLieOnTheImageRectangle) {
    Camera camera;
    camera.SetFOV(DegreesToRadians(90.0f));
    const Viewport wide(0, 0, 200, 100);
    ExpectNear(camera.GetImagePoint(Vec2(0.0f, 0.0f), wide), Vec3(2.0f, 1.0f, 1.0f));
    ExpectNear(camera.GetImagePoint(Vec2(1.0f, 1.0f), wide), Vec3(-2.0f, -1.0f, 1.0f));
    ExpectNear(camera.GetImagePoint(Vec2(0.5f, 0.5f), wide), Vec3(0.0f, 0.0f, 1.0f));

    const Camera ortho = OrthographicCamera();
    const Coords& c = ortho.GetCoords();
    ExpectNear(ortho.GetImagePoint(Vec2(0.0f, 1.0f), wide), c.TransformPoint(Vec3(8.0f, -4.5f, 1.0f)));

    Camera unknown;
    unknown.SetType(static_cast<CameraType>(2));
    ExpectNear(unknown.GetImagePoint(Vec2(0.2f, 0.3f), wide), Vec3());
}

TEST(CameraTest, PickingRaysPassThroughPixelCentres) {
    const Viewport viewport(5, 7, 64, 48);
    for (const Camera& camera : {TurnedCamera(), OrthographicCamera()}) {
        const bool ortho = camera.GetType() == CameraType::Orthographic;
        for (int py = 0; py < viewport.height; py += 7) {
            for (int px = 0; px < viewport.width; px += 9) {
                const Vec2 centre(float(px) + 0.5f, float(py) + 0.5f);
                const Ray ray = camera.GetRayThroughImagePoint(
                    Vec2(centre.x / float(viewport.width), centre.y / float(viewport.height)), viewport);
                EXPECT_NEAR(ray.direction.Length(), 1.0f, kTolerance);
                if (ortho) {
                    ExpectNear(ray.direction, camera.GetCoords().zAxis);
                } else {
                    ExpectNear(ray.origin, camera.GetCoords().origin);
                }
                for (const float t : {1.0f, 6.0f, 25.0f})
                    ExpectNear(camera.Project(ray.GetPoint(t), viewport), centre, 1e-3f);
            }
        }
    }
}

TEST(CameraTest, TheMatrixAgreesWithProjectAndMapsDepthToZeroOne) {
    Camera camera = TurnedCamera();
    const Viewport viewport(0, 0, 160, 90);
    Mat4 matrix;
    camera.GetCameraToScreenMatrix(matrix, viewport);
    const Coords toCamera = camera.GetCoords().Inverse();
    for (const Vec3& world : {Vec3(-1.0f, 0.5f, 6.0f), Vec3(0.0f, 2.0f, 3.0f), Vec3(2.0f, -1.0f, 10.0f)}) {
        const Vec3 clip = ToClip(matrix, toCamera.TransformPoint(world));
        const Vec2 pixel = camera.Project(world, viewport);
        EXPECT_NEAR((clip.x + 1.0f) * 0.5f * 160.0f, pixel.x, 1e-3f);
        EXPECT_NEAR((1.0f - clip.y) * 0.5f * 90.0f, pixel.y, 1e-3f);
    }
    EXPECT_NEAR(ToClip(matrix, Vec3(0.3f, 0.1f, 0.5f)).z, 0.0f, kTolerance);
    EXPECT_NEAR(ToClip(matrix, Vec3(0.3f, 0.1f, 40.0f)).z, 1.0f, kTolerance);
    float w = 0.0f;
    ToClip(matrix, Vec3(0.3f, 0.1f, 7.0f), &w);
    EXPECT_FLOAT_EQ(w, 7.0f);

    // Without a far plane depth approaches 1 at infinity.
    camera.SetFarPlane(Infinity);
    camera.GetCameraToScreenMatrix(matrix, viewport);
    EXPECT_FLOAT_EQ(matrix(2, 2), 1.0f);
    EXPECT_FLOAT_EQ(matrix(2, 3), -0.5f);

    // The camera aspect widens the matrix's view.
    camera.SetCameraAspect(2.0f);
    Mat4 widened;
    camera.GetCameraToScreenMatrix(widened, viewport);
    EXPECT_FLOAT_EQ(widened(0, 0), matrix(0, 0) * 0.5f);
    EXPECT_FLOAT_EQ(widened(1, 1), matrix(1, 1));

    const Camera ortho = OrthographicCamera();
    ortho.GetCameraToScreenMatrix(matrix, viewport);
    ExpectNear(ToClip(matrix, Vec3(8.0f, 4.5f, 30.0f)), Vec3(-1.0f, 1.0f, 1.0f));
    ExpectNear(ToClip(matrix, Vec3(-8.0f, -4.5f, 0.0f)), Vec3(1.0f, -1.0f, 0.0f));
}

TEST(CameraTest, TheSubMatrixFillsTheTargetWithTheSubRectangle) {
    const Camera camera = TurnedCamera();
    const Viewport viewport(0, 0, 120, 80);
    const Vec2 min(0.25f, 0.5f);
    const Vec2 max(0.5f, 0.875f);
    Mat4 matrix;
    camera.GetSubCameraToScreenMatrix(matrix, min, max, viewport);
    // The camera-space point at image coordinates uv, depth z.
    const float t = std::tan(camera.GetFOV() * 0.5f);
    const auto at = [&](float u, float v, float z) {
        return Vec3((1.0f - 2.0f * u) * t * 1.5f * z, (1.0f - 2.0f * v) * t * z, z);
    };
    // The sub-rectangle's first corner, its other corner and its middle, at different depths.
    for (const auto& [u, v, z, clip] : {std::tuple(min.x, min.y, 3.0f, Vec2(-1.0f, 1.0f)),
                                        std::tuple(max.x, max.y, 9.0f, Vec2(1.0f, -1.0f)),
                                        std::tuple(0.375f, 0.6875f, 5.0f, Vec2(0.0f, 0.0f))}) {
        const Vec3 p = ToClip(matrix, at(u, v, z));
        ExpectNear(Vec2(p.x, p.y), clip);
    }
}

TEST(CameraTest, TheFrustumHoldsExactlyWhatTheViewShows) {
    const Viewport viewport(0, 0, 160, 90);
    for (const Camera& camera : {TurnedCamera(), OrthographicCamera()}) {
        const bool ortho = camera.GetType() == CameraType::Orthographic;
        const Frustum frustum = camera.GetFrustum(viewport);
        EXPECT_EQ(frustum.GetNumPlanes(), ortho ? 6u : 5u);
        const Coords toCamera = camera.GetCoords().Inverse();
        int seen = 0;
        int hidden = 0;
        for (float x = -30.0f; x <= 30.0f; x += 2.3f) {
            for (float y = -20.0f; y <= 20.0f; y += 1.9f) {
                for (float z = -20.0f; z <= 50.0f; z += 2.1f) {
                    const Vec3 world = camera.GetCoords().TransformPoint(Vec3(x, y, z));
                    const float inside = Inside(frustum, world);
                    if (std::fabs(inside) < 1e-3f) continue;  // on a plane: either answer is right
                    const float depth = toCamera.TransformPoint(world).z;
                    const Vec2 image = camera.ProjectToImageSpace(world, viewport);
                    const bool shown = depth > (ortho ? camera.GetNearPlane() : 0.0f) &&
                                       depth < camera.GetFarPlane() && image.x >= 0.0f && image.x <= 1.0f &&
                                       image.y >= 0.0f && image.y <= 1.0f;
                    EXPECT_EQ(inside > 0.0f, shown) << x << ", " << y << ", " << z;
                    (shown ? seen : hidden) += 1;
                }
            }
        }
        EXPECT_GT(seen, 100);
        EXPECT_GT(hidden, 100);
    }
}

TEST(CameraTest, ASubFrustumHoldsExactlyItsPartOfTheImage) {
    const Camera camera = TurnedCamera();
    const Viewport viewport(0, 0, 160, 90);
    const Vec2 min(0.2f, 0.55f);
    const Vec2 max(0.6f, 0.9f);
    const Frustum frustum = camera.GetSubFrustum(min, max, 20.0f, viewport);
    EXPECT_EQ(frustum.GetNumPlanes(), 5u);
    const Coords toCamera = camera.GetCoords().Inverse();
    for (float u = -0.1f; u <= 1.1f; u += 0.0625f) {
        for (float v = -0.1f; v <= 1.1f; v += 0.0625f) {
            for (const float z : {0.5f, 10.0f, 19.0f, 21.0f}) {
                const Ray ray = camera.GetRayThroughImagePoint(Vec2(u, v), viewport);
                const Vec3 world = ray.GetPoint(z / Dot(ray.direction, camera.GetCoords().zAxis));
                if (std::fabs(Inside(frustum, world)) < 1e-3f) continue;
                const bool shown = u > min.x && u < max.x && v > min.y && v < max.y && z < 20.0f;
                EXPECT_EQ(Inside(frustum, world) > 0.0f, shown) << u << ", " << v << ", " << z;
                EXPECT_NEAR(toCamera.TransformPoint(world).z, z, 1e-3f);
            }
        }
    }
}

TEST(CameraTest, FarPlanesAndDegenerateSubRectangles) {
    Camera camera;
    camera.SetFOV(DegreesToRadians(90.0f));
    const Viewport square(0, 0, 100, 100);
    camera.SetFarPlane(Infinity);
    EXPECT_EQ(camera.GetFrustum(square).GetNumPlanes(), 4u);
    EXPECT_GT(Inside(camera.GetFrustum(square), Vec3(0.0f, 0.0f, 1e30f)), 0.0f);

    // A sub-rectangle of zero height: side planes parallel to the view axis at the image-plane
    // x coordinates (u 0.25..0.75 gives x -0.5..0.5), then planes through the eye for y.
    const Frustum flat = camera.GetSubFrustum(Vec2(0.25f, 0.5f), Vec2(0.75f, 0.5f), 10.0f, square);
    ASSERT_EQ(flat.GetNumPlanes(), 5u);
    const Plane planes[] = {Plane(Vec3(-1.0f, 0.0f, 0.0f), 0.5f), Plane(Vec3(1.0f, 0.0f, 0.0f), 0.5f),
                            Plane(Vec3(0.0f, -1.0f, 0.0f), 0.0f), Plane(Vec3(0.0f, 1.0f, 0.0f), 0.0f),
                            Plane(Vec3(0.0f, 0.0f, -1.0f), 10.0f)};
    for (uint32_t i = 0; i < 5; ++i) ExpectNear(flat.GetPlane(i), planes[i]);
    // And one of zero width the same with x and y exchanged.
    const Frustum thin = camera.GetSubFrustum(Vec2(0.5f, 0.0f), Vec2(0.5f, 1.0f), 10.0f, square);
    ExpectNear(thin.GetPlane(2), Plane(Vec3(0.0f, -1.0f, 0.0f), 1.0f));
    ExpectNear(thin.GetPlane(3), Plane(Vec3(0.0f, 1.0f, 0.0f), 1.0f));
}

TEST(CameraTest, MinFrustumEnclosesTheBoxesOrReportsNothingVisible) {
    const Camera camera = TurnedCamera();
    const Viewport viewport(0, 0, 160, 90);
    const Coords& c = camera.GetCoords();
    const Vec3 offset(0.5f, -0.25f, 1.0f);
    Frustum out;

    EXPECT_FALSE(camera.GetMinFrustum(viewport, offset, {}, out));
    // Entirely off-screen to the left (the camera's +x side).
    const mem::vector<ABBox> left = {ABBox(c.TransformPoint(Vec3(30.0f, 0.0f, 10.0f)) - offset, Vec3(1, 1, 1))};
    EXPECT_FALSE(camera.GetMinFrustum(viewport, offset, left, out));
    EXPECT_EQ(out.GetNumPlanes(), 0u);

    const mem::vector<ABBox> boxes = {ABBox(c.TransformPoint(Vec3(1.0f, 0.5f, 8.0f)) - offset, Vec3(0.5f, 0.5f, 0.5f)),
                                      ABBox(c.TransformPoint(Vec3(2.0f, 1.0f, 12.0f)) - offset, Vec3(0.3f, 0.2f, 0.4f))};
    ASSERT_TRUE(camera.GetMinFrustum(viewport, offset, boxes, out));
    for (const ABBox& box : boxes) {
        Vec3 corners[8];
        ABBox(box.centre + offset, box.halfSize).GetCorners(corners);
        for (const Vec3& corner : corners) EXPECT_GT(Inside(out, corner), -1e-3f);
    }
    // Tight: the view's centre and its other side are outside.
    EXPECT_LT(Inside(out, c.TransformPoint(Vec3(0.0f, 0.0f, 10.0f))), 0.0f);
    EXPECT_LT(Inside(out, c.TransformPoint(Vec3(-3.0f, -1.0f, 10.0f))), 0.0f);

    // A box reaching behind the camera: its corners' images say nothing about what shows. This one
    // runs along the view axis beside the camera; the corners project near the centre, but its
    // near part shows at the left edge. The whole view is taken.
    Camera level = camera;
    level.SetCoords(Coords::Translation(Vec3(3.0f, 2.0f, -4.0f)));
    const Vec3 origin = level.GetCoords().origin;
    const mem::vector<ABBox> straddling = {ABBox(origin + Vec3(1.1f, 0.0f, 0.0f) - offset, Vec3(0.1f, 0.1f, 10.0f))};
    ASSERT_TRUE(level.GetMinFrustum(viewport, offset, straddling, out));
    const Vec3 shown = origin + Vec3(1.1f, 0.0f, 2.0f);
    ASSERT_LT(level.ProjectToImageSpace(shown, viewport).x, 0.4f);
    EXPECT_GT(Inside(out, shown), 0.0f);
    const Frustum whole = level.GetFrustum(viewport);
    ASSERT_EQ(out.GetNumPlanes(), whole.GetNumPlanes());
    for (uint32_t i = 0; i < whole.GetNumPlanes(); ++i) ExpectNear(out.GetPlane(i), whole.GetPlane(i));
}

}  // namespace
}  // namespace GAME
