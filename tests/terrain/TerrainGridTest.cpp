// The terrain's sample grid: valid counts, blocks over grids of several shapes, block bounds and
// layers, the terrain's bounds, and the height, normal and opacity helpers at and beyond the
// grid's edges.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "TestTerrain.h"
#include "core/MathExpect.h"
#include "terrain/TerrainBlock.h"

namespace GAME::test {
namespace {

float Slope(unsigned x, unsigned z) { return 0.5f * float(x) - 0.25f * float(z) + 3.0f; }

TEST(TerrainGrid, SampleCountsAreOneMoreThanZeroOrAPowerOfTwo) {
    for (uint32_t valid : {1u, 2u, 3u, 5u, 9u, 17u, 129u, 1025u, 0x80000001u}) {
        EXPECT_TRUE(TerrainBase::IsValidSampleCount(valid)) << valid;
    }
    for (uint32_t invalid : {0u, 4u, 6u, 10u, 100u, 128u, 0xFFFFFFFFu}) {
        EXPECT_FALSE(TerrainBase::IsValidSampleCount(invalid)) << invalid;
    }
    TestTerrain terrain;
    EXPECT_FALSE(terrain.Make(6, 9));
    EXPECT_FALSE(terrain.Make(9, 0));
    EXPECT_EQ(terrain.GetNumXSamples(), 0u);
    EXPECT_TRUE(terrain.Make(9, 257));
    EXPECT_EQ(terrain.GetNumXSamples(), 9u);
    EXPECT_EQ(terrain.GetNumYSamples(), 257u);
}

// Every cell lies in exactly one block; blocks start every 9 samples, share their edge samples
// with their neighbours and reach the last sample; their bounds span their samples on x and z.
TEST(TerrainGrid, BlocksCoverEveryCellOnceOnGridsOfManyShapes) {
    const std::vector<std::pair<uint32_t, uint32_t>> grids = {{1, 1},  {2, 2},   {3, 3},  {1, 17}, {17, 1}, {5, 9},
                                                              {9, 5},  {17, 17}, {33, 3}, {65, 129}, {10 - 1, 2}};
    for (const auto& [X, Y] : grids) {
        SCOPED_TRACE(testing::Message() << X << " x " << Y);
        TestTerrain terrain;
        ASSERT_TRUE(terrain.Make(X, Y, Slope));
        const uint32_t cellsX = X - 1, cellsY = Y - 1;
        EXPECT_EQ(terrain.GetNumBlocksX(), (cellsX + 8) / 9);
        EXPECT_EQ(terrain.GetNumBlocksY(), (cellsY + 8) / 9);
        if (cellsX == 0 || cellsY == 0) {
            EXPECT_EQ(terrain.GetNumBlocksX() * terrain.GetNumBlocksY(), 0u);
        }
        std::vector<int> covered(size_t(cellsX) * cellsY, 0);
        for (uint32_t row = 0; row < terrain.GetNumBlocksY(); ++row) {
            for (uint32_t column = 0; column < terrain.GetNumBlocksX(); ++column) {
                const TerrainBlock* block = terrain.GetBlock(column, row);
                ASSERT_NE(block, nullptr);
                EXPECT_EQ(block->GetColumn(), column);
                EXPECT_EQ(block->GetRow(), row);
                const uint32_t x0 = 9 * column, z0 = 9 * row;
                const uint32_t nx = block->GetNumXSamples(), ny = block->GetNumYSamples();
                EXPECT_GE(nx, 2u);
                EXPECT_LE(nx, TerrainBase::blockSize);
                EXPECT_LE(x0 + nx, X);
                EXPECT_LE(z0 + ny, Y);
                // Interior blocks are full; the last column and row reach the last sample.
                EXPECT_EQ(nx == TerrainBase::blockSize || x0 + nx == X, true);
                EXPECT_EQ(column + 1 == terrain.GetNumBlocksX(), x0 + nx == X);
                EXPECT_EQ(row + 1 == terrain.GetNumBlocksY(), z0 + ny == Y);
                for (uint32_t z = z0; z + 1 < z0 + ny; ++z) {
                    for (uint32_t x = x0; x + 1 < x0 + nx; ++x) ++covered[size_t(z) * cellsX + x];
                }
                const ABBox& bounds = block->GetBoundingBox();
                EXPECT_FLOAT_EQ(bounds.GetMin().x, float(x0));
                EXPECT_FLOAT_EQ(bounds.GetMax().x, float(x0 + nx - 1));
                EXPECT_FLOAT_EQ(bounds.GetMin().z, float(z0));
                EXPECT_FLOAT_EQ(bounds.GetMax().z, float(z0 + ny - 1));
            }
        }
        EXPECT_EQ(terrain.GetBlock(terrain.GetNumBlocksX(), 0), nullptr);
        EXPECT_EQ(terrain.GetBlock(0, terrain.GetNumBlocksY()), nullptr);
        for (size_t cell = 0; cell < covered.size(); ++cell) ASSERT_EQ(covered[cell], 1) << "cell " << cell;

        // The tree holds every block, and its square is 9 x (a power of two) blocks wide.
        mem::vector<TerrainObject*> all;
        terrain.GetAllObjects(all);
        EXPECT_EQ(all.size(), size_t(terrain.GetNumBlocksX()) * terrain.GetNumBlocksY());
        EXPECT_EQ(terrain.GetOutOfGridReads(), 0);
    }
}

TEST(TerrainGrid, A129SampleTerrainHas15By15BlocksAndA144UnitTree) {
    TestTerrain terrain;
    ASSERT_TRUE(terrain.Make(129, 129, [](unsigned x, unsigned z) { return float(x % 7) - float(z % 5); }));
    EXPECT_EQ(terrain.GetNumBlocksX(), 15u);
    EXPECT_EQ(terrain.GetNumBlocksY(), 15u);
    const TerrainBlock* last = terrain.GetBlock(14, 14);
    EXPECT_EQ(last->GetNumXSamples(), 3u);
    EXPECT_EQ(last->GetNumYSamples(), 3u);
    EXPECT_FLOAT_EQ(last->GetBoundingBox().GetMin().x, 126.0f);
    // Vertically the bounds are the tree's, which holds the blocks (heights -4 to 6).
    const ABBox bounds = terrain.GetBoundingBox();
    ExpectNear(bounds.centre, Vec3(64, 1, 64), 1e-4f);
    ExpectNear(bounds.halfSize, Vec3(64, 5, 64), 1e-4f);
    EXPECT_EQ(terrain.GetMapGeometryCreated(), 1);
}

TEST(TerrainGrid, AOneSampleTerrainHasNoBlocksAndAnEmptyTree) {
    TestTerrain terrain;
    ASSERT_TRUE(terrain.Make(1, 1, [](unsigned, unsigned) { return 7.0f; }));
    EXPECT_EQ(terrain.GetNumBlocksX(), 0u);
    EXPECT_EQ(terrain.GetBlock(0, 0), nullptr);
    mem::vector<TerrainObject*> all;
    terrain.GetAllObjects(all);
    EXPECT_TRUE(all.empty());
    // The tree exists but holds nothing: its vertical extent is empty at y = 0.
    ExpectNear(terrain.GetBoundingBox().centre, Vec3(0, 0, 0), 0.0f);
    ExpectNear(terrain.GetBoundingBox().halfSize, Vec3(0, 0, 0), 0.0f);
    EXPECT_FLOAT_EQ(terrain.GetHeightInterpolated(0.3f, -4.0f), 7.0f);
    ExpectNear(terrain.GetFastNormal(0, 0), Vec3(0, 1, 0), 0.0f);
    ExpectNear(terrain.GetNormalInterpolated(5.0f, 5.0f), Vec3(0, 1, 0), 0.0f);
    EXPECT_EQ(terrain.GetLayerOpacityInterpolated(0, 0.0f, 0.0f), 0);
    EXPECT_EQ(terrain.GetOutOfGridReads(), 0);
}

TEST(TerrainGrid, WithoutATreeTheBoundsReportAHeightOfTwelve) {
    TestTerrain terrain;
    ASSERT_TRUE(terrain.SetNumSamples(33, 17));
    ExpectNear(terrain.GetBoundingBox().centre, Vec3(16, 12, 8), 0.0f);
    ExpectNear(terrain.GetBoundingBox().halfSize, Vec3(16, 12, 8), 0.0f);
}

TEST(TerrainGrid, BlockBoundsFollowTheHeightsOfTheirSamples) {
    TestTerrain terrain;
    ASSERT_TRUE(terrain.Make(17, 17, Slope));
    // Block (1, 0): x 9..16, z 0..9: heights 3 + 4.5 - 2.25 = 5.25 to 3 + 8 = 11.
    const ABBox& bounds = terrain.GetBlock(1, 0)->GetBoundingBox();
    ExpectNear(bounds.centre, Vec3(12.5f, 8.125f, 4.5f), 1e-5f);
    ExpectNear(bounds.halfSize, Vec3(3.5f, 2.875f, 4.5f), 1e-5f);
}

TEST(TerrainGrid, BlocksListTheLayersShowingInsideThemInAscendingOrder) {
    TestTerrain terrain;
    terrain.AddLayer([](unsigned, unsigned) { return uint8_t(255); });
    terrain.AddLayer([](unsigned x, unsigned z) { return uint8_t(x >= 20 && z < 5 ? 128 : 0); });
    terrain.AddLayer([](unsigned x, unsigned) { return uint8_t(x < 2 ? 60 : 0); });
    ASSERT_TRUE(terrain.Make(33, 33));
    EXPECT_EQ(terrain.GetBlock(0, 0)->GetLayers(), (mem::vector<unsigned>{0, 2}));
    EXPECT_EQ(terrain.GetBlock(1, 1)->GetLayers(), (mem::vector<unsigned>{0}));
    EXPECT_EQ(terrain.GetBlock(2, 0)->GetLayers(), (mem::vector<unsigned>{0, 1}));
    EXPECT_EQ(terrain.GetBlock(3, 0)->GetLayers(), (mem::vector<unsigned>{0, 1}));
    EXPECT_EQ(terrain.GetBlock(3, 3)->GetLayers(), (mem::vector<unsigned>{0}));

    const TerrainBlock* corner = terrain.GetBlock(0, 0);
    EXPECT_TRUE(corner->HasLayer(0));
    EXPECT_FALSE(corner->HasLayer(1));
    EXPECT_TRUE(corner->HasLayer(2));
    EXPECT_FALSE(corner->HasLayer(3));
}

TEST(TerrainGrid, InterpolatedHeightsClampToTheGrid) {
    TestTerrain terrain;
    ASSERT_TRUE(terrain.Make(5, 9, Slope));
    EXPECT_FLOAT_EQ(terrain.GetHeightInterpolated(1.5f, 2.25f), Slope(1, 2) + 0.25f - 0.0625f);
    EXPECT_FLOAT_EQ(terrain.GetHeightInterpolated(-3.0f, 9.0f + 10.0f), terrain.GetHeight(0, 8));
    EXPECT_FLOAT_EQ(terrain.GetHeightInterpolated(100.0f, -1.0f), terrain.GetHeight(4, 0));
    EXPECT_FLOAT_EQ(terrain.GetHeightInterpolated(4.0f, 8.0f), terrain.GetHeight(4, 8));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FLOAT_EQ(terrain.GetHeightInterpolated(nan, nan), terrain.GetHeight(0, 0));
    EXPECT_FLOAT_EQ(terrain.GetHeightInterpolated(Infinity, -Infinity), terrain.GetHeight(4, 0));
    EXPECT_EQ(terrain.GetOutOfGridReads(), 0);
}

TEST(TerrainGrid, FastNormalsTakeNoDifferenceAcrossAnEdge) {
    TestTerrain flat;
    ASSERT_TRUE(flat.Make(3, 3));
    ExpectNear(flat.GetFastNormal(0, 0), Vec3(0, 1, 0), 0.0f);

    TestTerrain terrain;
    ASSERT_TRUE(terrain.Make(5, 5, Slope));
    // Interior: (h(x-1) - h(x+1), 2, h(z-1) - h(z+1)) = (-1, 2, 0.5).
    ExpectNear(terrain.GetFastNormal(2, 2), Vec3(-1, 2, 0.5f).Unit(), 1e-6f);
    // On the first column and the last row the difference across that edge is 0.
    ExpectNear(terrain.GetFastNormal(0, 2), Vec3(0, 2, 0.5f).Unit(), 1e-6f);
    ExpectNear(terrain.GetFastNormal(2, 4), Vec3(-1, 2, 0).Unit(), 1e-6f);
    // Indices beyond the grid read the edge.
    ExpectNear(terrain.GetFastNormal(99, 99), terrain.GetFastNormal(4, 4), 0.0f);
    EXPECT_EQ(terrain.GetOutOfGridReads(), 0);
}

TEST(TerrainGrid, ATerrainOneSampleWideHasNoSlopeAcrossItAndReadsNothingOutside) {
    TestTerrain terrain;
    ASSERT_TRUE(terrain.Make(1, 9, [](unsigned, unsigned z) { return float(z * z); }));
    ExpectNear(terrain.GetFastNormal(0, 4), Vec3(0, 2, 9 - 25).Unit(), 1e-6f);
    const Vec3 between = terrain.GetNormalInterpolated(3.0f, 4.5f);
    ExpectNear(between, ((terrain.GetFastNormal(0, 4) + terrain.GetFastNormal(0, 5)) * 0.5f).Unit(), 1e-6f);
    EXPECT_FLOAT_EQ(terrain.GetHeightInterpolated(-2.0f, 2.5f), 6.5f);
    EXPECT_EQ(terrain.GetLayerOpacityInterpolated(0, 0.5f, 0.5f), 0);
    EXPECT_EQ(terrain.GetOutOfGridReads(), 0);
}

TEST(TerrainGrid, InterpolatedNormalsBlendTheCornersAndClampToTheGrid) {
    TestTerrain terrain;
    ASSERT_TRUE(terrain.Make(9, 9, [](unsigned x, unsigned z) { return float(x * x) * 0.1f + float(z); }));
    const Vec3 n00 = terrain.GetFastNormal(3, 5), n10 = terrain.GetFastNormal(4, 5);
    const Vec3 n01 = terrain.GetFastNormal(3, 6), n11 = terrain.GetFastNormal(4, 6);
    const Vec3 expected = ((n00 * 0.75f + n10 * 0.25f) * 0.5f + (n01 * 0.75f + n11 * 0.25f) * 0.5f).Unit();
    ExpectNear(terrain.GetNormalInterpolated(3.25f, 5.5f), expected, 1e-6f);
    ExpectNear(terrain.GetNormalInterpolated(-40.0f, 50.0f), terrain.GetFastNormal(0, 8), 1e-6f);
    ExpectNear(terrain.GetNormalInterpolated(8.0f, 8.0f), terrain.GetFastNormal(8, 8), 1e-6f);
    EXPECT_EQ(terrain.GetOutOfGridReads(), 0);
}

TEST(TerrainGrid, InterpolatedOpacitiesClampToTheCells) {
    TestTerrain terrain;
    terrain.AddLayer([](unsigned x, unsigned z) { return uint8_t(x * 40 + z * 10); });
    terrain.AddLayer([](unsigned, unsigned) { return uint8_t(255); });
    ASSERT_TRUE(terrain.Make(5, 5));
    // Between cells (1, 2) 60, (2, 2) 100, (1, 3) 70, (2, 3) 110.
    EXPECT_EQ(terrain.GetLayerOpacityInterpolated(0, 1.5f, 2.5f), 85);
    // Half a cell before the first one reads it, as grass placement asks at x - 0.5.
    EXPECT_EQ(terrain.GetLayerOpacityInterpolated(0, -0.5f, -0.5f), 0);
    EXPECT_EQ(terrain.GetLayerOpacityInterpolated(0, 3.5f, 3.9f), 3 * 40 + 3 * 10);
    EXPECT_EQ(terrain.GetLayerOpacityInterpolated(0, 40.0f, 40.0f), 3 * 40 + 3 * 10);
    for (float t = -1.0f; t < 5.0f; t += 0.37f) EXPECT_EQ(terrain.GetLayerOpacityInterpolated(1, t, 4.0f - t), 255);
    EXPECT_EQ(terrain.GetOutOfGridReads(), 0);
}

}  // namespace
}  // namespace GAME::test
