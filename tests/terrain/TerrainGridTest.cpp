// The terrain's sample grid: blocks over grids of several shapes, block bounds and layers, the
// terrain's bounds, and the height, normal and opacity helpers at and beyond the grid's edges.

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

#include "TestTerrain.h"
#include "core/MathExpect.h"
#include "terrain/TerrainBlock.h"

namespace GAME::test {
namespace {

float Slope(unsigned x, unsigned z) { return 0.5f * float(x) - 0.25f * float(z) + 3.0f; }

// Every cell lies in exactly one block; blocks start every 9 samples, are full but for the last
// column and row, which reach the last sample, and their bounds span their samples on x and z.
TEST(TerrainGrid, BlocksCoverEveryCellOnceOnGridsOfManyShapes) {
    TestTerrain refused;
    EXPECT_FALSE(refused.Make(6, 9));
    EXPECT_FALSE(refused.Make(9, 0));
    const std::vector<std::pair<uint32_t, uint32_t>> grids = {{1, 1}, {2, 2},  {3, 3},  {1, 17},   {17, 1},
                                                              {5, 9}, {9, 2}, {33, 3}, {65, 129}, {257, 17}};
    for (const auto& [X, Y] : grids) {
        SCOPED_TRACE(testing::Message() << X << " x " << Y);
        TestTerrain terrain;
        ASSERT_TRUE(terrain.Make(X, Y, Slope));
        const uint32_t cellsX = X - 1, cellsY = Y - 1;
        EXPECT_EQ(terrain.GetNumBlocksX(), (cellsX + 8) / 9);
        EXPECT_EQ(terrain.GetNumBlocksY(), (cellsY + 8) / 9);
        std::vector<int> covered(size_t(cellsX) * cellsY, 0);
        for (uint32_t row = 0; row < terrain.GetNumBlocksY(); ++row) {
            for (uint32_t column = 0; column < terrain.GetNumBlocksX(); ++column) {
                const TerrainBlock& block = *terrain.GetBlock(column, row);
                const uint32_t x0 = 9 * column, z0 = 9 * row;
                const uint32_t nx = block.GetNumXSamples(), ny = block.GetNumYSamples();
                EXPECT_EQ(column + 1 == terrain.GetNumBlocksX() ? X - x0 : TerrainBase::blockSize, nx);
                EXPECT_EQ(row + 1 == terrain.GetNumBlocksY() ? Y - z0 : TerrainBase::blockSize, ny);
                for (uint32_t z = z0; z + 1 < z0 + ny; ++z) {
                    for (uint32_t x = x0; x + 1 < x0 + nx; ++x) ++covered[size_t(z) * cellsX + x];
                }
                ExpectNear(block.GetBoundingBox().GetMin() * Vec3(1, 0, 1), Vec3(float(x0), 0, float(z0)), 0);
                ExpectNear(block.GetBoundingBox().GetMax() * Vec3(1, 0, 1),
                           Vec3(float(x0 + nx - 1), 0, float(z0 + ny - 1)), 0);
            }
        }
        EXPECT_EQ(terrain.GetBlock(terrain.GetNumBlocksX(), 0), nullptr);
        EXPECT_EQ(terrain.GetBlock(0, terrain.GetNumBlocksY()), nullptr);
        EXPECT_EQ(std::count(covered.begin(), covered.end(), 1), ptrdiff_t(covered.size()));
        mem::vector<TerrainObject*> all;
        terrain.GetAllObjects(all);
        EXPECT_EQ(all.size(), size_t(terrain.GetNumBlocksX()) * terrain.GetNumBlocksY());
        EXPECT_EQ(terrain.GetOutOfGridReads(), 0);
    }
}

TEST(TerrainGrid, A129SampleTerrainHas15By15BlocksAndTheTreesHeight) {
    TestTerrain terrain;
    ASSERT_TRUE(terrain.Make(129, 129, [](unsigned x, unsigned z) { return float(x % 7) - float(z % 5); }));
    EXPECT_EQ(std::tuple(terrain.GetNumBlocksX(), terrain.GetNumBlocksY(), terrain.GetBlock(14, 14)->GetNumXSamples()),
              std::tuple(15u, 15u, 3u));
    EXPECT_FLOAT_EQ(terrain.GetBlock(14, 14)->GetBoundingBox().GetMin().x, 126.0f);
    // Vertically the bounds are the tree's, which holds the blocks (heights -4 to 6).
    ExpectNear(terrain.GetBoundingBox().centre, Vec3(64, 1, 64), 1e-4f);
    ExpectNear(terrain.GetBoundingBox().halfSize, Vec3(64, 5, 64), 1e-4f);
    EXPECT_EQ(terrain.GetMapGeometryCreated(), 1);
}

TEST(TerrainGrid, AOneSampleTerrainHasAnEmptyTreeAndNoTreeMeansAHeightOfTwelve) {
    TestTerrain terrain;
    ASSERT_TRUE(terrain.SetNumSamples(33, 17));
    ExpectNear(terrain.GetBoundingBox().centre, Vec3(16, 12, 8), 0);
    ExpectNear(terrain.GetBoundingBox().halfSize, Vec3(16, 12, 8), 0);

    ASSERT_TRUE(terrain.Make(1, 1, [](unsigned, unsigned) { return 7.0f; }));
    EXPECT_EQ(terrain.GetBlock(0, 0), nullptr);
    ExpectNear(terrain.GetBoundingBox().centre, Vec3(0, 0, 0), 0);
    ExpectNear(terrain.GetBoundingBox().halfSize, Vec3(0, 0, 0), 0);
    EXPECT_FLOAT_EQ(terrain.GetHeightInterpolated(0.3f, -4.0f), 7.0f);
    ExpectNear(terrain.GetNormalInterpolated(5.0f, 5.0f), Vec3(0, 1, 0), 0);
    EXPECT_EQ(terrain.GetLayerOpacityInterpolated(0, 0.0f, 0.0f), 0);
    EXPECT_EQ(terrain.GetOutOfGridReads(), 0);
}

TEST(TerrainGrid, BlocksTakeTheirHeightsAndTheLayersShowingInsideThem) {
    TestTerrain terrain;
    terrain.AddLayer([](unsigned, unsigned) { return uint8_t(255); });
    terrain.AddLayer([](unsigned x, unsigned z) { return uint8_t(x >= 20 && z < 5 ? 128 : 0); });
    terrain.AddLayer([](unsigned x, unsigned) { return uint8_t(x < 2 ? 60 : 0); });
    ASSERT_TRUE(terrain.Make(33, 33, Slope));
    // Block (1, 0): x 9..18, z 0..9: heights 3 + 4.5 - 2.25 = 5.25 to 3 + 9 = 12.
    ExpectNear(terrain.GetBlock(1, 0)->GetBoundingBox().centre, Vec3(13.5f, 8.625f, 4.5f));
    ExpectNear(terrain.GetBlock(1, 0)->GetBoundingBox().halfSize, Vec3(4.5f, 3.375f, 4.5f));

    EXPECT_EQ(terrain.GetBlock(0, 0)->GetLayers(), (mem::vector<unsigned>{0, 2}));
    EXPECT_EQ(terrain.GetBlock(1, 1)->GetLayers(), (mem::vector<unsigned>{0}));
    EXPECT_EQ(terrain.GetBlock(2, 0)->GetLayers(), (mem::vector<unsigned>{0, 1}));
    EXPECT_EQ(terrain.GetBlock(3, 0)->GetLayers(), (mem::vector<unsigned>{0, 1}));
    const TerrainBlock& corner = *terrain.GetBlock(0, 0);
    EXPECT_TRUE(corner.HasLayer(0) && corner.HasLayer(2));
    EXPECT_FALSE(corner.HasLayer(1) || corner.HasLayer(3));
}

TEST(TerrainGrid, InterpolatedHeightsAndOpacitiesClampToTheGrid) {
    TestTerrain terrain;
    terrain.AddLayer([](unsigned x, unsigned z) { return uint8_t(x * 40 + z * 10); });
    terrain.AddLayer([](unsigned, unsigned) { return uint8_t(255); });
    ASSERT_TRUE(terrain.Make(5, 9, Slope));
    EXPECT_FLOAT_EQ(terrain.GetHeightInterpolated(1.5f, 2.25f), Slope(1, 2) + 0.25f - 0.0625f);
    EXPECT_FLOAT_EQ(terrain.GetHeightInterpolated(-3.0f, 19.0f), terrain.GetHeight(0, 8));
    EXPECT_FLOAT_EQ(terrain.GetHeightInterpolated(Infinity, -Infinity), terrain.GetHeight(4, 0));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FLOAT_EQ(terrain.GetHeightInterpolated(nan, nan), terrain.GetHeight(0, 0));

    // Between cells (1, 2) 60, (2, 2) 100, (1, 3) 70, (2, 3) 110.
    EXPECT_EQ(terrain.GetLayerOpacityInterpolated(0, 1.5f, 2.5f), 85);
    // Half a cell before the first reads it, as grass placement asks at x - 0.5.
    EXPECT_EQ(terrain.GetLayerOpacityInterpolated(0, -0.5f, -0.5f), 0);
    EXPECT_EQ(terrain.GetLayerOpacityInterpolated(0, 40.0f, 40.0f), 3 * 40 + 7 * 10);
    for (float t = -1.0f; t < 9.0f; t += 0.37f) EXPECT_EQ(terrain.GetLayerOpacityInterpolated(1, t, 8.0f - t), 255);
    EXPECT_EQ(terrain.GetOutOfGridReads(), 0);
}

TEST(TerrainGrid, NormalsTakeNoDifferenceAcrossAnEdgeNorAlongAnAxisOfOneSample) {
    TestTerrain terrain;
    ASSERT_TRUE(terrain.Make(5, 5, Slope));
    // (h(x-1) - h(x+1), 2, h(z-1) - h(z+1)) inside; 0 across the first column and the last row.
    ExpectNear(terrain.GetFastNormal(2, 2), Vec3(-1, 2, 0.5f).Unit());
    ExpectNear(terrain.GetFastNormal(0, 2), Vec3(0, 2, 0.5f).Unit());
    ExpectNear(terrain.GetFastNormal(2, 4), Vec3(-1, 2, 0).Unit());
    ExpectNear(terrain.GetFastNormal(99, 99), terrain.GetFastNormal(4, 4), 0);
    const Vec3 blended = ((terrain.GetFastNormal(3, 1) * 0.75f + terrain.GetFastNormal(4, 1) * 0.25f) * 0.5f +
                          (terrain.GetFastNormal(3, 2) * 0.75f + terrain.GetFastNormal(4, 2) * 0.25f) * 0.5f)
                             .Unit();
    ExpectNear(terrain.GetNormalInterpolated(3.25f, 1.5f), blended);
    ExpectNear(terrain.GetNormalInterpolated(-40.0f, 50.0f), terrain.GetFastNormal(0, 4));

    TestTerrain narrow;
    ASSERT_TRUE(narrow.Make(1, 9, [](unsigned, unsigned z) { return float(z * z); }));
    ExpectNear(narrow.GetFastNormal(0, 4), Vec3(0, 2, 9 - 25).Unit());
    const Vec3 between = (narrow.GetFastNormal(0, 4) + narrow.GetFastNormal(0, 5)).Unit();
    ExpectNear(narrow.GetNormalInterpolated(3.0f, 4.5f), between);
    EXPECT_FLOAT_EQ(narrow.GetHeightInterpolated(-2.0f, 2.5f), 6.5f);
    EXPECT_EQ(terrain.GetOutOfGridReads() + narrow.GetOutOfGridReads(), 0);
}

}  // namespace
}  // namespace GAME::test
