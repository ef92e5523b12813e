// Shadow-map fitting against brute force: every point of a caster that shadows something the
// camera sees lands inside the map, on the same texel as the point it shadows and nearer the
// light, and the map is no larger than it must be; and the map's set-up edge cases.

#include "scene/GraphicsShadowMap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "core/Singleton.h"
#include "engine/Engine.h"
#include "render/Camera.h"
#include "render/DebugRenderManager.h"
#include "render/InputDevice.h"
#include "support/GLEngineBed.h"
#include "support/InputEvents.h"

namespace GAME {
namespace {

struct MapPoint {
    Vec3 p;
    bool ok = false;
};

MapPoint ToMap(const Mat4& m, const Vec3& p) {
    const float w = m(3, 0) * p.x + m(3, 1) * p.y + m(3, 2) * p.z + m(3, 3);
    if (!(w > 0.0f)) return {};
    const auto row = [&](int r) { return (m(r, 0) * p.x + m(r, 1) * p.y + m(r, 2) * p.z + m(r, 3)) / w; };
    return {Vec3(row(0), row(1), row(2)), true};
}

struct Scene {
    std::string name;
    Vec3 eye, target, light;
};

TEST(ShadowMapFit, EveryCasterOfAVisibleShadowLandsInTheMapOnTheTexelOfItsShadow) {
    const Vec3 boundsMin(-30.0f, -1.0f, -30.0f), boundsMax(30.0f, 12.0f, 30.0f);
    // Casters: a tall post beside the view, boxes on the ground, one overhanging the camera.
    const std::vector<ABBox> casters = {
        ABBox(Vec3(0.0f, 1.0f, 8.0f), Vec3(1.0f, 1.0f, 1.0f)),   ABBox(Vec3(-9.0f, 5.0f, 4.0f), Vec3(0.5f, 5.0f, 0.5f)),
        ABBox(Vec3(6.0f, 0.5f, 15.0f), Vec3(2.0f, 0.5f, 3.0f)), ABBox(Vec3(0.0f, 10.0f, -2.0f), Vec3(3.0f, 0.5f, 3.0f)),
        ABBox(Vec3(14.0f, 2.0f, -6.0f), Vec3(1.0f, 2.0f, 1.0f)),
    };
    const std::vector<Scene> scenes = {
        {"oblique sun", Vec3(0.0f, 6.0f, -6.0f), Vec3(0.0f, 0.0f, 10.0f), Vec3(0.6f, -0.7f, 0.4f)},
        {"sun behind the camera", Vec3(2.0f, 3.0f, -8.0f), Vec3(0.0f, 0.0f, 6.0f), Vec3(-0.1f, -0.5f, 0.9f)},
        {"sun ahead", Vec3(-3.0f, 4.0f, -4.0f), Vec3(2.0f, 0.0f, 12.0f), Vec3(0.2f, -0.4f, -0.9f)},
        {"low sun from the side", Vec3(0.0f, 2.0f, -3.0f), Vec3(3.0f, 0.5f, 9.0f), Vec3(1.0f, -0.15f, 0.1f)},
        {"view along the light", Vec3(0.0f, 10.0f, 0.0f), Vec3(0.0f, 0.0f, 0.0001f), Vec3(0.0f, -1.0f, 0.0f)},
        {"view within half a degree", Vec3(1.0f, 9.0f, -1.0f), Vec3(1.0f, 0.0f, -0.92f), Vec3(0.0f, -1.0f, 0.0f)},
        {"view within three degrees", Vec3(1.0f, 9.0f, -1.0f), Vec3(1.5f, 0.0f, -1.0f), Vec3(0.0f, -1.0f, 0.0f)},
    };
    std::mt19937 random(7);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const Viewport viewport(0, 0, 160, 100);
    for (int algorithm = 0; algorithm <= 2; ++algorithm) {
        for (const Scene& scene : scenes) {
            SCOPED_TRACE(scene.name + ", algorithm " + std::to_string(algorithm));
            Camera camera;
            camera.SetFOV(1.0f);
            camera.SetNearPlane(0.5f);
            camera.SetFarPlane(30.0f);
            camera.SetCoords(Coords::LookAt(scene.eye, scene.target, Vec3(0.0f, 1.0f, 0.0f)));
            const Frustum view = camera.GetFrustum(viewport);
            const Vec3 light = scene.light.Unit();

            Frustum volume;
            GraphicsShadowMap::MakeSweptVolume(volume, view, boundsMin, boundsMax, light);
            float nearest = INFINITY;
            for (const ABBox& box : casters) nearest = std::min(nearest, GraphicsShadowMap::GetLowestExtent(box, light));
            volume.AddPlane(Plane(light, -nearest));
            Vec3 corners[GraphicsShadowMap::kMaxCornerPoints];
            std::fill(std::begin(corners), std::end(corners), Vec3(500.0f, 500.0f, 500.0f));  // none past count
            const int count = Frustum::GetCornerPoints(corners, GraphicsShadowMap::kMaxCornerPoints, volume);
            ASSERT_GT(count, 3);
            Mat4 map;
            ASSERT_TRUE(GraphicsShadowMap::Fit(map, algorithm, camera, light, corners, count));
            for (int row = 0; row < 4; ++row) {
                for (int col = 0; col < 4; ++col) ASSERT_TRUE(std::isfinite(map(row, col)));
            }
            Vec3 low(1e9f, 1e9f, 1e9f), high(-1e9f, -1e9f, -1e9f);
            for (int i = 0; i < count; ++i) {
                const MapPoint p = ToMap(map, corners[i]);
                low = Vec3(std::min(low.x, p.p.x), std::min(low.y, p.p.y), std::min(low.z, p.p.z));
                high = Vec3(std::max(high.x, p.p.x), std::max(high.y, p.p.y), std::max(high.z, p.p.z));
            }
            // The fit is tight: the volume's corners reach every edge of the map and its nearest depth.
            for (const float edge : {low.x, low.y, -high.x, -high.y}) EXPECT_NEAR(edge, -1.0f, 1e-3f);
            EXPECT_NEAR(low.z, 0.0f, 1e-3f);
            EXPECT_NEAR(high.z, algorithm == 2 ? std::min(high.z, 1.0f) : 1.0f, 1e-3f);
            // The trapezoid puts the point kFocusDistance ahead at 80 % of the map's depth (sun behind).
            const Vec3 focus = camera.GetCoords().origin + camera.GetCoords().zAxis * GraphicsShadowMap::kFocusDistance;
            EXPECT_TRUE(algorithm != 2 || scene.name != "sun behind the camera" ||
                        std::fabs(ToMap(map, focus).p.y - 0.6f) < 1e-4f);

            // Visible points, and the caster points along the ray from each towards the light.
            int checked = 0, failures = 0;
            for (int sample = 0; sample < 30000 && failures < 5; ++sample) {
                const Vec3 r(boundsMin.x + unit(random) * (boundsMax.x - boundsMin.x),
                             boundsMin.y + unit(random) * (boundsMax.y - boundsMin.y),
                             boundsMin.z + unit(random) * (boundsMax.z - boundsMin.z));
                if (!view.TestSphere(Sphere(r, 0.0f))) continue;
                const MapPoint shadowed = ToMap(map, r);
                for (float t = 0.05f; t < 60.0f; t += 0.25f) {
                    const Vec3 c = r - light * t;
                    const bool inCaster = std::any_of(casters.begin(), casters.end(), [&](const ABBox& box) {
                        const Vec3 d = c - box.centre;
                        return std::fabs(d.x) <= box.halfSize.x && std::fabs(d.y) <= box.halfSize.y &&
                               std::fabs(d.z) <= box.halfSize.z;
                    });
                    if (!inCaster) continue;
                    ++checked;
                    const MapPoint caster = ToMap(map, c);
                    const float tolerance = 2e-3f;
                    const bool inside = caster.ok && std::fabs(caster.p.x) <= 1.0f + tolerance &&
                                        std::fabs(caster.p.y) <= 1.0f + tolerance && caster.p.z >= -tolerance &&
                                        caster.p.z <= 1.0f + tolerance;
                    const bool sameTexel = shadowed.ok && std::fabs(shadowed.p.x - caster.p.x) < tolerance &&
                                           std::fabs(shadowed.p.y - caster.p.y) < tolerance;
                    const bool nearer = shadowed.ok && caster.p.z <= shadowed.p.z + 1e-4f;
                    if (!(inside && sameTexel && nearer)) {
                        ++failures;
                        ADD_FAILURE() << "caster (" << c.x << ", " << c.y << ", " << c.z << ") maps to (" << caster.p.x
                                      << ", " << caster.p.y << ", " << caster.p.z << "), its shadow at (" << r.x << ", "
                                      << r.y << ", " << r.z << ") to (" << shadowed.p.x << ", " << shadowed.p.y << ", "
                                      << shadowed.p.z << ")";
                    }
                }
            }
            EXPECT_GT(checked, 100);
        }
    }
}

TEST(ShadowMapFit, RefusesUnknownAlgorithmsAndNonFiniteSurfaces) {
    Camera camera;
    const Vec3 points[4] = {Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0), Vec3(0, 0, 1)};
    Mat4 map;
    EXPECT_FALSE(GraphicsShadowMap::Fit(map, 3, camera, Vec3(0, -1, 0), points, 4));
    EXPECT_FALSE(GraphicsShadowMap::Fit(map, -1, camera, Vec3(0, -1, 0), points, 4));
    EXPECT_FALSE(GraphicsShadowMap::Fit(map, 0, camera, Vec3(0, -1, 0), points, 0));

    GraphicsLight sun;
    sun.SetType(GraphicsLight::Type::Directional);
    GraphicsShadowMap shadowMap(sun, nullptr);
    RenderablePass pass;
    pass.sceneBox = ABBox(Vec3(NAN, 0.0f, 0.0f), Vec3(1.0f, 1.0f, 1.0f));
    EXPECT_FALSE(shadowMap.AddSurface(pass, true));
    pass.sceneBox = ABBox(Vec3(), Vec3(INFINITY, 1.0f, 1.0f));
    EXPECT_FALSE(shadowMap.AddSurface(pass, true));
    EXPECT_EQ(shadowMap.GetNumSurfaces(), 0);
    pass.sceneBox = ABBox(Vec3(), Vec3(0.5f, 2.0f, 3.0f));
    EXPECT_TRUE(shadowMap.AddSurface(pass, false));
    EXPECT_EQ(shadowMap.GetNumSurfaces(), 0);
    EXPECT_TRUE(shadowMap.AddSurface(pass, true));
    EXPECT_EQ(shadowMap.GetNumSurfaces(), 1);
    // The casters' extent across the light (the sun shines along z).
    Engine engine;
    shadowMap.DebugStatistics();
    EXPECT_EQ(engine.GetStatisticText(),
              (mem::vector<std::string>{"numSurfaces = 1", "xSize       = 1.000000", "ySize       = 4.000000"}));

    // Labels go to the casters only.
    DebugRenderManager& debug = *Singleton<DebugRenderManager>::Get();
    const size_t queued = debug.GetNumQueued();
    shadowMap.DrawLabels("caster", Color(1.0f, 1.0f, 0.0f, 1.0f));
    EXPECT_EQ(debug.GetNumQueued(), queued + 1);
    Singleton<DebugRenderManager>::Destroy();
}

// While caps lock is on, the trapezoid stays fitted to the camera of the last fit before it went
// on, wherever the camera goes; the other fits follow the camera.
TEST(ShadowMapFit, TheTrapezoidKeepsItsCameraWhileCapsLockIsOn) {
    test::GLEngineBed bed{true};
    ASSERT_TRUE(bed.IsReady());
    InputDevice& input = *bed.GetEngine().GetInputDevice();
    Camera here, there;
    here.SetCoords(Coords::LookAt(Vec3(0.0f, 6.0f, -6.0f), Vec3(0.0f, 0.0f, 10.0f), Vec3(0.0f, 1.0f, 0.0f)));
    there.SetCoords(Coords::LookAt(Vec3(4.0f, 5.0f, -3.0f), Vec3(-2.0f, 0.0f, 12.0f), Vec3(0.0f, 1.0f, 0.0f)));
    const Vec3 light = Vec3(0.6f, -0.7f, 0.4f).Unit();
    const Vec3 points[8] = {Vec3(-10, 0, 0), Vec3(10, 0, 0), Vec3(-10, 0, 30), Vec3(10, 0, 30),
                            Vec3(-10, 8, 0), Vec3(10, 8, 0), Vec3(-10, 8, 30), Vec3(10, 8, 30)};
    const auto fit = [&](int algorithm, const Camera& camera) {
        Mat4 map;
        EXPECT_TRUE(GraphicsShadowMap::Fit(map, algorithm, camera, light, points, 8));
        return std::vector<float>(map.GetData(), map.GetData() + 16);
    };
    const std::vector<float> fromHere = fit(2, here), fromThere = fit(2, there);
    const std::vector<float> orthographicThere = fit(0, there);
    ASSERT_NE(fromHere, fromThere);
    fit(2, here);
    const auto capsLock = [&](bool on) {
        test::SetCapsLock(on);
        input.Update();
        ASSERT_EQ(input.IsKeyDown(58), on);
    };
    capsLock(true);
    EXPECT_EQ(fit(2, there), fromHere);
    EXPECT_EQ(fit(0, there), orthographicThere);
    capsLock(false);
    EXPECT_EQ(fit(2, there), fromThere);
}

}  // namespace
}  // namespace GAME
