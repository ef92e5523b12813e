// The portal renderer's fade of a portal near the transparency target (no device needed).

#include "world/GraphicsPortalRenderer.h"

#include <gtest/gtest.h>

#include "core/Singleton.h"
#include "pathing/PathFinder.h"
#include "world/Portal.h"

namespace GAME {
namespace {

TEST(PortalFade, OneNearThePortalNoneBeyondTheEndAStepForAnEmptyRange) {
    {
        // A doorway two wide on the x/y plane at z = 5, facing +z.
        Portal portal;
        portal.SetTriangles({Portal::Triangle{{Vec3(-1, 0, 0), Vec3(1, 0, 0), Vec3(1, 2, 0)}},
                             Portal::Triangle{{Vec3(-1, 0, 0), Vec3(1, 2, 0), Vec3(-1, 2, 0)}}});
        portal.SetCoords(Coords::Translation(Vec3(0.0f, 0.0f, 5.0f)));
        const auto fade = [&](const Vec3& p, float start, float end) {
            return GraphicsPortalRenderer::GetPortalFadeValue(portal, p, start, end);
        };
        EXPECT_EQ(fade(Vec3(0.0f, 0.0f, 5.0f + 8.0f), 8.0f, 11.0f), 1.0f);
        EXPECT_NEAR(fade(Vec3(0.0f, 0.0f, 5.0f + 9.5f), 8.0f, 11.0f), 0.5f, 1e-5f);  // across the plane
        // Along it (the choke point sits 0.1 below the doorway, at its padded foot).
        EXPECT_NEAR(fade(Vec3(9.5f, -0.1f, 5.0f), 8.0f, 11.0f), 0.5f, 1e-5f);
        EXPECT_EQ(fade(Vec3(0.0f, 0.0f, 5.0f + 12.0f), 8.0f, 11.0f), 0.0f);
        // Behind the portal only the distance along the plane counts.
        EXPECT_EQ(fade(Vec3(0.0f, 0.0f, -20.0f), 8.0f, 11.0f), 0.0f);
        EXPECT_EQ(fade(Vec3(0.0f, 0.0f, 4.0f), 8.0f, 11.0f), 1.0f);
        // Equal distances make a step instead of dividing by zero.
        EXPECT_EQ(fade(Vec3(0.0f, 0.0f, 5.0f + 8.0f), 8.0f, 8.0f), 1.0f);
        EXPECT_EQ(fade(Vec3(0.0f, 0.0f, 5.0f + 8.5f), 8.0f, 8.0f), 0.0f);
    }
    Singleton<PathFinder>::Destroy();
}

}  // namespace
}  // namespace GAME
