// The grass of the terrain blocks, with the engine headless on the recording device: blades placed
// by the position hash where the layer's density allows, the same on every rebuild; the quality
// and variation rules; the spring grid that pushes and winds move; the pooled grass buffers.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <cstring>

#include "TestTerrain.h"
#include "render/RenderDevice.h"
#include "support/GraphicsTestBed.h"
#include "support/RecordingEngineTest.h"
#include "support/RecordingResources.h"
#include "terrain/TerrainBlock.h"
#include "terrain/TerrainType.h"
#include "world/PhysicsGrassWind.h"

namespace GAME::test {
namespace {

// Blades of height 2 and width 0.5, one variation, 50% minimum opacity.
constexpr const char* kMeadow = "Records/Terrain/Meadow.dbr";
constexpr const char* kShort = "Records/Terrain/Short.dbr";
constexpr const char* kBare = "Records/Terrain/Bare.dbr";
// Two variations in every five places of the grid.
constexpr const char* kSparse = "Records/Terrain/Sparse.dbr";

// One blade vertex: position, normal, u, v.
struct BladeVertex {
    float position[3];
    float normal[3];
    float uv[2];
};

class GrassTest : public RecordingEngineTest {
protected:
    void SetUp() override {
        const std::vector<uint8_t> dds = MakeDdsFile(4, 4);
        directory.WriteFile("Terrain/Blades.tex", std::string(dds.begin(), dds.end()));
        const std::string blades = "Class,TerrainType,\nBladeTextureFileName,Terrain/Blades.tex,\n";
        directory.WriteFile(kMeadow, blades + "BladeHeight,2.0,\nBladeWidth,0.5,\nMinimumBladeOpacity,50,\n");
        directory.WriteFile(kShort, blades + "BladeHeight,1.5,\nBladeVariations,0,\n");
        directory.WriteFile(kBare, "Class,TerrainType,\n");
        directory.WriteFile(kSparse, blades + "BladeSpacing,3,\nBladeVariations,2,\n");
        StartEngine();
    }
    void TearDown() override {
        terrain.reset();
        for (TerrainType*& type : types) TerrainType::Destroy(type);
        RecordingEngineTest::TearDown();
    }

    TerrainType* Type(const char* record) {
        TerrainType* type = TerrainType::Create(record);
        EXPECT_NE(type, nullptr);
        type->LoadTextures();
        types.push_back(type);
        return type;
    }
    // A 17 x 17-sample terrain (2 x 2 blocks) on a gentle slope.
    void Make(const TestTerrain::CellFunction& opacity, TerrainType* type) {
        terrain = std::make_unique<TestTerrain>();
        terrain->AddLayer(opacity, type);
        ASSERT_TRUE(terrain->Make(17, 17, [](unsigned x, unsigned z) { return 0.25f * float(x) + 0.1f * float(z); }));
    }
    TerrainBlock& Block(unsigned column, unsigned row) { return *terrain->GetBlock(column, row); }
    static std::vector<BladeVertex> Blades(const TerrainBlock::GrassRecord& record) {
        const auto& data = static_cast<const RecordingVertexBuffer*>(record.geometry.vertices)->GetData();
        std::vector<BladeVertex> vertices(record.count * 4);
        std::memcpy(vertices.data(), data.data(), vertices.size() * sizeof(BladeVertex));
        return vertices;
    }
    static const float* Tips(const TerrainBlock::GrassRecord& record) {
        return reinterpret_cast<const float*>(
            static_cast<const RecordingVertexBuffer*>(record.geometry.displacements)->GetData().data());
    }

    std::unique_ptr<TestTerrain> terrain;
    std::vector<TerrainType*> types;
};

TEST_F(GrassTest, BladesGrowWhereTheDensityAllowsTheSameOnEveryRebuild) {
    // Wang's hash, as computed from its published steps.
    EXPECT_EQ(GrassHash(0), 3232319850u);
    EXPECT_EQ(GrassHash(1), 663891101u);
    EXPECT_EQ(GrassHash(12343), 3964046397u);
    EXPECT_EQ(GrassHash(0xFFFFFFFFu), 1895078355u);

    // Dense on the cells x < 6, thin (below the minimum) further on.
    Make([](unsigned x, unsigned) { return x < 6 ? uint8_t(255) : uint8_t(40); }, Type(kMeadow));
    TerrainBlock& left = Block(0, 0);
    left.Prepare();
    const TerrainBlock::GrassRecord* record = left.GetGrassRecord(0);
    ASSERT_NE(record, nullptr);
    ASSERT_GT(record->count, 100u);
    ASSERT_LT(record->count, 16u * 16u);
    const std::vector<BladeVertex> first = Blades(*record);

    // The first blade stands at the block's corner, where the opacity half a cell back
    // extrapolates to full; its turn, size and texture follow the hash of its position.
    const float angle = float(GrassHash(0)) * 0.017453292f;
    const float dx = std::cos(angle) * 0.5f, dz = std::sin(angle) * 0.5f;
    const BladeVertex& top = first[0];
    for (const auto& [got, expected] : {std::pair{top.position[0], -dx}, {top.position[1], 2.0f},
                                        {top.position[2], -dz}, {first[2].position[0], dx},
                                        {first[2].position[1], 0.0f}, {first[1].uv[0], 1.0f}, {first[3].uv[1], 1.0f}})
        EXPECT_FLOAT_EQ(got, expected);
    const Vec3 normal = terrain->GetNormalInterpolated(0, 0);
    EXPECT_EQ(Vec3(top.normal[0], top.normal[1], top.normal[2]), normal);

    // Every blade stands on the ground where the layer reaches the minimum opacity, as tall as its
    // share of the opacity.
    for (size_t blade = 0; blade < record->count; ++blade) {
        const BladeVertex& up = first[blade * 4];
        const BladeVertex& down = first[blade * 4 + 3];
        const float x = (down.position[0] + first[blade * 4 + 2].position[0]) * 0.5f;
        const float z = (down.position[2] + first[blade * 4 + 2].position[2]) * 0.5f;
        const float opacity = terrain->GetLayerOpacityInterpolated(0, x - 0.5f, z - 0.5f);
        ASSERT_GE(opacity, 127.0f) << x << ", " << z;
        ASSERT_NEAR(down.position[1], terrain->GetHeightInterpolated(x, z), 1e-5f);
        ASSERT_NEAR(up.position[1] - down.position[1], opacity / 255.0f * 2.0f, 1e-5f);
    }
    // No blade on the thin cells, and none where an opaque layer above covers the meadow.
    Block(1, 0).Prepare();
    EXPECT_EQ(Block(1, 0).GetGrassRecord(0)->count, 0u);

    // Rebuilt, the grass is the same, byte for byte.
    left.Unload();
    EXPECT_EQ(left.GetGrassRecord(0), nullptr);
    left.Prepare();
    const std::vector<BladeVertex> again = Blades(*left.GetGrassRecord(0));
    ASSERT_EQ(again.size(), first.size());
    EXPECT_EQ(std::memcmp(again.data(), first.data(), first.size() * sizeof(BladeVertex)), 0);

    terrain->AddLayer([](unsigned, unsigned) { return uint8_t(255); }, Type(kBare));
    terrain->InitializeBlocks(false);
    Block(0, 0).Prepare();
    ASSERT_EQ(Block(0, 0).GetLayers(), (mem::vector<unsigned>{0, 1}));
    EXPECT_EQ(Block(0, 0).GetGrassRecord(0)->count, 0u);
    // A type without a blade texture gets no buffers, and its grass is not moved.
    EXPECT_EQ(Block(0, 0).GetGrassRecord(1)->geometry.vertices, nullptr);
    Block(0, 0).DisplaceGrass(1.16f, 1.16f, 1.0f, 0.5f);
    Block(0, 0).Update(*terrain, 16);
}

// The spacing leaves a place of the grid bare unless its hash, modulo spacing plus variations,
// names a variation.
TEST_F(GrassTest, TheSpacingThinsTheGridByThePositionHash) {
    Make([](unsigned, unsigned) { return uint8_t(255); }, Type(kSparse));
    Block(0, 0).Prepare();
    uint32_t expected = 0, places = 0;
    for (float z = 0.0f; z <= 9.0f; z += TerrainBlock::kGrassSpacing) {
        for (float x = 0.0f; x <= 9.0f; x += TerrainBlock::kGrassSpacing) {
            ++places;
            expected += GrassHash(uint32_t(int32_t(12343.0f * x + 7873.0f * z))) % 5 < 2;
        }
    }
    EXPECT_EQ(Block(0, 0).GetGrassRecord(0)->count, expected);
    EXPECT_GT(expected, places / 5);
    EXPECT_LT(expected, places * 3 / 5);
}

TEST_F(GrassTest, OpacityBeforeTheFirstCellExtrapolatesAndIsClamped) {
    Make([](unsigned x, unsigned) { return x == 0 ? uint8_t(200) : uint8_t(0); }, nullptr);
    for (const auto& [x, opacity] :
         {std::pair{0.5f, 100}, {-0.25f, 250}, {-0.5f, 255}, {-40.0f, 255}, {3.0f, 0}, {80.0f, 0}, {NAN, 0}})
        EXPECT_EQ(terrain->GetLayerOpacityInterpolated(0, x, 3), opacity) << x;
    // Inside, the four cells around a point blend; the last row and column repeat themselves.
    const auto opacity = [](int x, int z) { return float((std::min(x, 15) * 37 + std::min(z, 15) * 11) % 256); };
    Make([&](unsigned x, unsigned z) { return uint8_t(opacity(int(x), int(z))); }, nullptr);
    for (float z = 0.0f; z <= 16.0f; z += 0.75f) {
        for (float x = 0.0f; x <= 16.0f; x += 0.75f) {
            const int i = std::min(int(x), 15), j = std::min(int(z), 15);
            const float fx = x - float(i), fz = z - float(j);
            const float a = opacity(i, j) + (opacity(i + 1, j) - opacity(i, j)) * fx;
            const float b = opacity(i, j + 1) + (opacity(i + 1, j + 1) - opacity(i, j + 1)) * fx;
            EXPECT_NEAR(terrain->GetLayerOpacityInterpolated(0, x, z), a + (b - a) * fz, 1.0f) << x << ", " << z;
        }
    }
    EXPECT_EQ(terrain->GetOutOfGridReads(), 0);
}

TEST_F(GrassTest, QualityAndVariationsDecideWhichLayersGrowGrass) {
    Make([](unsigned, unsigned) { return uint8_t(255); }, Type(kShort));
    Block(0, 0).Prepare();
    // No variations: buffers, but no blade (and no division by zero).
    ASSERT_NE(Block(0, 0).GetGrassRecord(0)->geometry.vertices, nullptr);
    EXPECT_EQ(Block(0, 0).GetGrassRecord(0)->count, 0u);

    Make([](unsigned, unsigned) { return uint8_t(255); }, Type(kMeadow));
    terrain->SetLowQuality(true);
    Block(0, 0).Prepare();
    const std::vector<BladeVertex> low = Blades(*Block(0, 0).GetGrassRecord(0));
    ASSERT_FALSE(low.empty());
    EXPECT_NEAR(low[0].position[1] - low[3].position[1], 1.0f, 1e-5f);  // half of 2.0
    // Blades below 1.75 grow nothing in the low-quality mode; a change of mode rebuilds.
    Make([](unsigned, unsigned) { return uint8_t(255); }, Type(kShort));
    Block(0, 0).Prepare();
    terrain->SetLowQuality(true);
    Block(0, 0).Prepare();
    EXPECT_TRUE(Block(0, 0).IsLowQuality());
    EXPECT_EQ(Block(0, 0).GetGrassRecord(0)->geometry.vertices, nullptr);
}

TEST_F(GrassTest, PushesAndWindsMoveTheSpringGrid) {
    Make([](unsigned, unsigned) { return uint8_t(255); }, Type(kMeadow));
    TerrainBlock& block = Block(0, 0);
    float d[2], v[2];
    block.DisplaceGrass(1.16f, 1.16f, 1.0f, 0.5f);  // no grid before the grass is built
    int32_t c0, c1, r0, r1;
    block.GetActiveRect(c0, c1, r0, r1);
    EXPECT_EQ(c0, TerrainBlock::kNoActiveNode);
    block.Prepare();

    // A push centred on node (2, 2) leaves that node and moves its neighbours outward.
    block.DisplaceGrass(2 * 0.58f, 2 * 0.58f, 1.0f, 0.5f);
    block.GetNodeMotion(2, 2, d, v);
    EXPECT_EQ(v[0], 0.0f);
    EXPECT_EQ(v[1], 0.0f);
    block.GetNodeMotion(3, 2, d, v);
    EXPECT_FLOAT_EQ(v[0], 0.5f);
    EXPECT_NEAR(v[1], 0.0f, 1e-6f);
    block.GetNodeMotion(2, 1, d, v);
    EXPECT_NEAR(v[1], -0.5f, 1e-6f);
    block.GetActiveRect(c0, c1, r0, r1);
    EXPECT_EQ(c0, 0);
    EXPECT_EQ(c1, 4);

    // 200 ms integrate as 50: the velocity damps, then moves the node.
    block.Update(*terrain, 200);
    block.GetNodeMotion(3, 2, d, v);
    EXPECT_FLOAT_EQ(v[0], 0.5f * 0.95f);
    EXPECT_FLOAT_EQ(d[0], 0.5f * 0.95f * 0.05f);
    // The next update writes the tips as the nodes stand, scaled by the blade height, before it
    // moves them on.
    float before[17 * 17][2];
    for (unsigned node = 0; node < 17 * 17; ++node) block.GetNodeMotion(node % 17, node / 17, before[node], v);
    block.Update(*terrain, 16);
    const TerrainBlock::GrassRecord& record = *block.GetGrassRecord(0);
    const float* tips = Tips(record);
    int moved = 0;
    for (size_t vertex = 0; vertex < record.count * 4; ++vertex) {
        const float* node = before[record.nodes[vertex]];
        ASSERT_EQ(tips[vertex * 2], 2.0f * node[0]);
        ASSERT_EQ(tips[vertex * 2 + 1], 2.0f * node[1]);
        moved += node[0] != 0.0f;
    }
    EXPECT_GT(moved, 0);

    // Left alone, a pushed node swings back through its rest and dies down.
    float least = 0.0f, early = 0.0f, late = 0.0f;  // the furthest from rest in the first and last 15
    for (int frame = 0; frame < 60; ++frame) {
        block.Update(*terrain, 50);
        block.GetNodeMotion(3, 2, d, v);
        least = std::min(least, d[0]);
        if (frame < 15) early = std::max(early, std::fabs(d[0]));
        if (frame >= 45) late = std::max(late, std::fabs(d[0]));
    }
    EXPECT_LT(least, -0.001f);
    EXPECT_LT(late, early / 2.0f);

    // Rebuilt on the buffers it gave back, the grass stands straight; pushes beyond the block's
    // far nodes leave its grid at rest.
    block.Unload();
    block.Prepare();
    for (size_t i = 0; i < block.GetGrassRecord(0)->count * 8; ++i) ASSERT_EQ(Tips(*block.GetGrassRecord(0))[i], 0.0f);
    for (const auto& [x, z] : {std::pair{12.0f, 4.0f}, {4.0f, 12.0f}}) {
        block.DisplaceGrass(x, z, 1.0f, 0.5f);
        block.Update(*terrain, 16);
        block.GetActiveRect(c0, c1, r0, r1);
        EXPECT_EQ(c0, TerrainBlock::kNoActiveNode) << x << ", " << z;
    }

    // A wind along +x from node (8, 8) pushes only the nodes ahead of it, harder at the rim.
    terrain->CreateGrassWind(PhysicsGrassWind{1.0f, 3.0f, 8 * 0.58f, 8 * 0.58f, 2.0f, 0.0f});
    block.GetNodeMotion(7, 8, d, v);
    EXPECT_EQ(v[0], 0.0f);
    block.GetNodeMotion(9, 8, d, v);
    const float near = v[0];
    block.GetNodeMotion(12, 8, d, v);
    EXPECT_GT(near, 0.0f);
    EXPECT_NEAR(v[0], (4 * 0.58f / 3) * (4 * 0.58f / 3), 1e-5f);  // the share of the radius, squared
    EXPECT_EQ(v[1], 0.0f);
    block.GetNodeMotion(14, 8, d, v);  // beyond the radius
    EXPECT_EQ(v[0], 0.0f);

    // A wind along the diagonal pushes along it the nodes ahead, and neither those across it nor
    // those behind.
    block.Unload();
    block.Prepare();
    terrain->CreateGrassWind(PhysicsGrassWind{1.0f, 3.0f, 8 * 0.58f, 8 * 0.58f, 1.0f, 1.0f});
    block.GetNodeMotion(10, 10, d, v);
    EXPECT_GT(v[0], 0.0f);
    EXPECT_FLOAT_EQ(v[1], v[0]);
    for (const auto& [c, r] : {std::pair{10, 6}, {6, 10}, {6, 6}}) {
        block.GetNodeMotion(unsigned(c), unsigned(r), d, v);
        EXPECT_EQ(v[0], 0.0f) << c << ", " << r;
        EXPECT_EQ(v[1], 0.0f) << c << ", " << r;
    }
}

TEST_F(GrassTest, GrassBuffersArePooledUpToSixteenPairs) {
    Make([](unsigned, unsigned) { return uint8_t(255); }, nullptr);
    std::vector<TerrainBase::GrassGeometry> pairs;
    for (int i = 0; i < 17; ++i) pairs.push_back(terrain->CreateGrassGeometry());
    ASSERT_NE(pairs[0].vertices, nullptr);
    EXPECT_EQ(static_cast<const RecordingVertexBuffer*>(pairs[0].vertices)->GetData().size(), 44800u);
    EXPECT_EQ(static_cast<const RecordingVertexBuffer*>(pairs[0].displacements)->GetData().size(), 11200u);
    const RenderVertexBuffer* oldest = pairs[0].vertices;
    for (TerrainBase::GrassGeometry& pair : pairs) terrain->DestroyGrassGeometry(pair);
    EXPECT_EQ(pairs[16].vertices, nullptr);
    EXPECT_EQ(terrain->GetGrassPool().GetNumFree(), 16u);
    EXPECT_EQ(terrain->CreateGrassGeometry().vertices, oldest);
}

}  // namespace
}  // namespace GAME::test
