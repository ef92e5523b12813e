// The editable terrain's editor overlays drawn on the GL device and read back: impassable cells
// as a checkerboard of tinted squares, and the outline.

#include <gtest/gtest.h>

#include "core/Coords.h"
#include "render/GraphicsPrimitiveDrawer.h"
#include "support/GLEngineBed.h"
#include "support/OffscreenDevice.h"
#include "terrain/Terrain.h"

namespace GAME::test {
namespace {

constexpr uint32_t kBlack = Rgba(0, 0, 0);

TEST(TerrainOverlayTest, ImpassableCellsAndTheBorderLandOnTheirCells) {
    GLEngineBed bed;
    ASSERT_TRUE(bed.IsReady());
    Terrain terrain(nullptr);
    ASSERT_TRUE(terrain.New(16, 16));
    terrain.SetPassable(2, 4, 2);
    terrain.SetPassable(5, 7, 2);
    terrain.SetPassable(6, 7, 2);  // black: only its alpha shows
    // Seen from above in pixels, four to a unit.
    const Coords fourfold(Vec3(4, 0, 0), Vec3(0, 4, 0), Vec3(0, 0, 4), Vec3(0, 0, 0));
    bed.Clear();
    {
        GraphicsPrimitiveDrawer drawer(bed.Canvas());
        drawer.Enable2DMode(Viewport(0, 0, GLEngineBed::kWidth, GLEngineBed::kHeight));
        terrain.RenderImpassableAreas(drawer, fourfold);
    }
    EXPECT_EQ(bed.FindDrawn(kBlack), (std::vector<int>{8, 16, 28, 32}));
    const std::vector<uint32_t> pixels = bed.ReadPixels();
    const auto at = [&pixels](int x, int y) { return pixels[size_t(y) * GLEngineBed::kWidth + size_t(x)]; };
    const uint32_t tint = at(10, 18);
    EXPECT_NEAR(int(tint & 0xFF), 64, 2);  // red at a quarter
    EXPECT_EQ(tint & 0xFFFF00, 0u);
    EXPECT_EQ(at(22, 30), tint);
    EXPECT_EQ(at(26, 30) & 0xFFFFFF, 0u);
    EXPECT_NE(at(26, 30), kBlack);

    bed.Clear();
    {
        GraphicsPrimitiveDrawer drawer(bed.Canvas());
        drawer.Enable2DMode(Viewport(0, 0, GLEngineBed::kWidth, GLEngineBed::kHeight));
        terrain.RenderBorder(drawer);
    }
    const std::vector<int> outline = bed.FindDrawn(kBlack);
    ASSERT_EQ(outline.size(), 4u);
    for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(outline[i], i < 2 ? 0 : 16, 1) << i;
}

}  // namespace
}  // namespace GAME::test
