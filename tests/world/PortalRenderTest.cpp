// A portal's debug drawing on the GL device, read back: its triangles land where the camera
// projects its corners carried by the portal's coords and then the given frame.

#include "world/Portal.h"

#include "support/GLEngineBed.h"
#include "core/Coords.h"
#include "core/MathUtil.h"
#include "core/Singleton.h"
#include "pathing/PathFinder.h"
#include "render/Camera.h"
#include "render/GraphicsPrimitiveDrawer.h"
#include "support/LogCapture.h"
#include "support/OffscreenDevice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace GAME::test {
namespace {

TEST(PortalRender, TrianglesLandWhereTheFrameAndCoordsPlaceThem) {
    LogCapture log;
    GLEngineBed bed;
    ASSERT_TRUE(bed.IsReady());
    bed.Clear();
    const Viewport whole(0, 0, GLEngineBed::kWidth, GLEngineBed::kHeight);
    Camera camera;
    camera.SetCoords(Coords::LookAt(Vec3(0.5f, 1.0f, -6.0f), Vec3(0.5f, 1.0f, 0.0f), Vec3(0.0f, 1.0f, 0.0f)));
    {
        Portal portal;
        // A doorway two wide and two high facing -z, towards the camera once drawn reversed.
        portal.SetTriangles({Portal::Triangle{{Vec3(-1, 0, 0), Vec3(1, 2, 0), Vec3(1, 0, 0)}},
                             Portal::Triangle{{Vec3(-1, 0, 0), Vec3(-1, 2, 0), Vec3(1, 2, 0)}}});
        portal.SetCoords(Coords::Translation(Vec3(0.0f, 0.5f, 0.0f)));
        GraphicsPrimitiveDrawer drawer(bed.Canvas());
        drawer.SetCamera(nullptr, camera, whole);
        drawer.SetColor(Color(1.0f, 1.0f, 1.0f, 1.0f));
        drawer.Begin(GraphicsPrimitiveDrawer::PrimitiveType::Lines);  // a primitive of another kind before
        drawer.End();
        portal.Render(drawer, Coords::Translation(Vec3(1.0f, 0.0f, 0.0f)));
    }
    Singleton<PathFinder>::Destroy();
    float left = 1e9f, top = 1e9f, right = -1e9f, bottom = -1e9f;
    for (const Vec3& corner : {Vec3(0, 0.5f, 0), Vec3(2, 0.5f, 0), Vec3(0, 2.5f, 0), Vec3(2, 2.5f, 0)}) {
        const Vec2 p = camera.Project(corner, whole);
        left = std::min(left, p.x);
        top = std::min(top, p.y);
        right = std::max(right, p.x);
        bottom = std::max(bottom, p.y);
    }
    const std::vector<int> drawn = bed.FindDrawn(Rgba(0, 0, 0));
    ASSERT_EQ(drawn.size(), 4u);
    EXPECT_NEAR(drawn[0], left, 1.0f);
    EXPECT_NEAR(drawn[1], top, 1.0f);
    EXPECT_NEAR(drawn[2], right, 1.0f);
    EXPECT_NEAR(drawn[3], bottom, 1.0f);
    const Vec2 inside = camera.Project(Vec3(1.5f, 1.0f, 0.0f), whole);  // off every edge: filled
    EXPECT_EQ(bed.ReadPixels()[size_t(int(inside.y) * GLEngineBed::kWidth + int(inside.x))], Rgba(255, 255, 255));
    EXPECT_EQ(log.Count(LogPriority::Error), 0u);
}

}  // namespace
}  // namespace GAME::test
