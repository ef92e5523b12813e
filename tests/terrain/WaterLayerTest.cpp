// Water layers: painting against a brute-force replay of the brush, the "has water" test and
// surface rays over the painted samples, cleanup, mirrors and the tree.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <random>

#include "core/MathUtil.h"
#include "core/Ray.h"
#include "support/LogCapture.h"
#include "support/RecordingDevice.h"
#include "terrain/WaterLayer.h"
#include "terrain/WaterObject.h"
#include "terrain/WaterTypeManager.h"
#include "world/LevelGround.h"

namespace GAME {
namespace {

// Ground 2 below the water, except a ridge 10 above it over 41 <= x <= 56.
struct RidgeGround final : LevelGround {
    bool Load(BinaryReader&, int) override { return false; }
    bool LoadRenderData() override { return true; }
    void Update(const Frustum*, unsigned, int) override {}
    void Write(BinaryWriter&, bool) const override {}
    ABBox GetBoundingBox() const override { return ABBox(); }
    float GetHeightInterpolated(float x, float) const override {
        return flat ? level : (x >= 41.0f && x <= 56.0f ? 10.0f : -2.0f);
    }
    void GetIntersection(const Ray&, Intersection&, PhysicsSurface) const override {}
    bool flat = false;
    float level = 0.0f;
};

struct Stroke {
    Vec3 centre;
    float radius;
    bool add;
};

using Samples = std::array<uint8_t, 100>;

class WaterLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        WaterTypeManager::Get().CreateWaterType("Lake");
        layer.SetGround(&ground);
        ASSERT_TRUE(layer.Initialize("Lake", 0.0f, Vec2(64.0f, 64.0f)));
    }
    void TearDown() override {
        layer.Initialize("Lake", 0.0f, Vec2(64.0f, 64.0f));
        WaterTypeManager::Get().ReleaseWaterType(WaterTypeManager::Get().GetWaterType("Lake"));
        WaterTypeManager::Destroy();
    }

    // Paints the strokes on the layer and replays them on plain arrays: a stroke adds in blocks
    // reaching ground at or below the water and erases elsewhere, and a block that is left with no
    // covered sample under water disappears with its coverage.
    void Paint(const std::vector<Stroke>& strokes) {
        for (const Stroke& s : strokes) {
            layer.UpdateArea(s.centre, s.radius, s.add);
            for (unsigned bz = 0; bz < 8; ++bz) {
                for (unsigned bx = 0; bx < 8; ++bx) {
                    const bool canAdd = bx * 9 <= 40 || bx * 9 + 9 > 56;
                    Samples& block = expected[{bx, bz}];
                    bool touched = false;
                    for (unsigned k = 0; k < 100; ++k) {
                        const float dx = float(bx * 9 + k % 10) - s.centre.x, dz = float(bz * 9 + k / 10) - s.centre.z;
                        if (dx * dx + dz * dz >= s.radius * s.radius) continue;
                        block[k] = s.add && canAdd ? 255 : 0;
                        touched = true;
                    }
                    if (touched && !ShowsWater(bx, block)) block = Samples{};
                }
            }
        }
    }
    bool ShowsWater(unsigned bx, const Samples& block) const {
        for (unsigned k = 0; k < 100; ++k) {
            if (block[k] && ground.GetHeightInterpolated(std::min(float(bx * 9 + k % 10), 64.0f), 0.0f) < 0.0f) return true;
        }
        return false;
    }
    // The brute-force answer: the painted sample the point falls on.
    bool ExpectedWater(const Vec3& p) const {
        if (p.x < 0.0f || p.z < 0.0f || p.x >= 72.0f || p.z >= 72.0f) return false;
        const unsigned bx = unsigned(p.x / 9.0f), bz = unsigned(p.z / 9.0f);
        const auto column = unsigned(std::min(9.0f, (p.x - float(bx) * 9.0f) / 9.0f * 10.0f));
        const auto row = unsigned(std::min(9.0f, (p.z - float(bz) * 9.0f) / 9.0f * 10.0f));
        const auto found = expected.find({bx, bz});
        return found != expected.end() && found->second[row * 10 + column] != 0;
    }
    // The coverage of every world sample (blocks share their edge samples).
    mem::vector<uint8_t> AllCoverage() const {
        mem::vector<uint8_t> all(73 * 73, 0);
        for (unsigned bz = 0; bz < 8; ++bz) {
            for (unsigned bx = 0; bx < 8; ++bx) {
                const WaterBlock* block = layer.GetBlock(bx, bz);
                for (unsigned k = 0; block && k < 100; ++k) {
                    all[(bz * 9 + k / 10) * 73 + bx * 9 + k % 10] |= block->GetCoverage()[k];
                }
            }
        }
        return all;
    }

    test::RecordingDevice device;
    RidgeGround ground;
    WaterSpace tree{Vec2(36.0f, 36.0f), Vec2(36.0f, 36.0f)};
    WaterLayer layer{0, 8, 8, 9.0f, tree, &device, nullptr};
    std::map<std::pair<unsigned, unsigned>, Samples> expected;
    const std::vector<Stroke> kStrokes{{Vec3(20.0f, 0.0f, 20.0f), 13.0f, true},
                                      {Vec3(30.0f, 0.0f, 25.0f), 4.5f, false},
                                      {Vec3(48.0f, 0.0f, 50.0f), 9.0f, true},
                                      {Vec3(62.0f, 0.0f, 3.0f), 3.5f, true},
                                      {Vec3(9.0f, 0.0f, 9.0f), 1.5f, false}};
};

TEST_F(WaterLayerTest, PaintingSetsExactlyTheCoveredSamplesAndSharedEdgesAgree) {
    Paint(kStrokes);
    unsigned existing = 0;
    for (unsigned bz = 0; bz < 8; ++bz) {
        for (unsigned bx = 0; bx < 8; ++bx) {
            const WaterBlock* block = layer.GetBlock(bx, bz);
            const Samples& want = expected[{bx, bz}];
            EXPECT_EQ(block != nullptr, ShowsWater(bx, want)) << bx << "," << bz;
            if (!block) continue;
            ++existing;
            EXPECT_EQ(block->GetCoverage(), want) << bx << "," << bz;
            const WaterBlock* right = layer.GetBlock(bx + 1, bz);
            const WaterBlock* below = layer.GetBlock(bx, bz + 1);
            for (unsigned i = 0; i < 10; ++i) {
                if (right) {
                    EXPECT_EQ(block->GetCoverage()[i * 10 + 9], right->GetCoverage()[i * 10]);
                }
                if (below) {
                    EXPECT_EQ(block->GetCoverage()[90 + i], below->GetCoverage()[i]);
                }
            }
        }
    }
    EXPECT_EQ(layer.GetNumBlocks(), existing);
    EXPECT_EQ(tree.GetNumObjects(), existing);
    // Nothing grows on the ridge, and the last column stops at the layer's edge.
    EXPECT_EQ(layer.GetBlock(5, 5), nullptr);
    const WaterBlock* edge = layer.GetBlock(7, 0);
    ASSERT_NE(edge, nullptr);
    EXPECT_EQ(edge->GetSamplePosition(9, 0).x, 64.0f);
    EXPECT_EQ(edge->GetBoundingBox().halfSize.x, 0.5f);
    EXPECT_EQ(edge->GetPackedDepth(0), 2u << 8);
    // Brushing the ridge with add takes the water of the block below it away.
    layer.UpdateArea(Vec3(45.0f, 0.0f, 50.0f), 3.0f, true);
    EXPECT_EQ(layer.GetBlock(4, 5)->GetCoverage()[5 * 10 + 9], 255);  // x 45, the block reaching low ground
    EXPECT_EQ(layer.GetBlock(5, 5), nullptr);
}

TEST_F(WaterLayerTest, HasWaterAndSurfaceRaysAgreeWithTheBruteForce) {
    Paint(kStrokes);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> across(-4.0f, 76.0f), height(-20.0f, 20.0f), slope(-1.0f, 1.0f);
    for (int n = 0; n < 4000; ++n) {
        const Vec3 p(across(random), 0.0f, across(random));
        ASSERT_EQ(layer.IsPointInLayer(p), ExpectedWater(p)) << p.x << "," << p.z;
        const Ray ray(Vec3(across(random), height(random), across(random)), Vec3(slope(random), slope(random), slope(random)));
        const float t = ray.direction.y != 0.0f ? -ray.origin.y / ray.direction.y : -1.0f;
        const bool hit = t >= 0.0f && t < 50.0f && ExpectedWater(ray.GetPoint(t));
        const float got = layer.RayIntersection(ray, 50.0f);
        if (hit) {
            ASSERT_NEAR(got, t, 1e-3f);
        } else {
            ASSERT_EQ(got, Infinity);
        }
    }
    EXPECT_TRUE(layer.IsPointInLayer(Vec3(8.95f, 0.0f, 16.0f)) == ExpectedWater(Vec3(8.95f, 0.0f, 16.0f)));
}

// The depth over the ground packs whole units in the high byte and the fraction, in 255ths, in the
// low one; no ground is ground at 0, and depths are held within [0, 255].
TEST_F(WaterLayerTest, DepthsPackWholeUnitsAndTheirFraction) {
    ground.flat = true;
    ground.level = -2.25f;
    for (const auto& [y, onGround, packed] : {std::tuple{0.0f, true, (2u << 8) | 63u}, {1.5f, true, (3u << 8) | 191u},
                                              {0.75f, false, 191u}, {-3.0f, true, 0u}, {400.0f, true, 255u << 8},
                                              {NAN, true, 0u}})
        EXPECT_EQ(PackWaterDepth(Vec3(3, y, 3), onGround ? &ground : nullptr), packed) << y;
}

// A surface above 0 is met at its own height, from above and from below.
TEST_F(WaterLayerTest, RaysMeetARaisedSurfaceAtItsHeight) {
    ground.flat = true;
    ASSERT_TRUE(layer.Initialize("Lake", 2.5f, Vec2(64.0f, 64.0f)));
    layer.UpdateArea(Vec3(30, 2.5f, 30), 10.0f, true);
    ASSERT_TRUE(layer.IsPointInLayer(Vec3(30, 0, 30)));
    for (const auto& [y, down, distance] : {std::tuple{10.0f, -1.0f, 7.5f}, {-4.0f, 1.0f, 6.5f}})
        EXPECT_FLOAT_EQ(layer.RayIntersection(Ray(Vec3(30, y, 30), Vec3(0, down, 0)), 50.0f), distance);
    EXPECT_FLOAT_EQ(layer.RayIntersection(Ray(Vec3(26, 6.5f, 30), Vec3(1, -1, 0).Unit()), 50.0f), 4.0f * std::sqrt(2.0f));
    EXPECT_EQ(layer.RayIntersection(Ray(Vec3(30, 10, 30), Vec3(0, -1, 0)), 7.0f), Infinity);
    // The reflection plane is the surface over the blocks that hold water.
    layer.UpdateArea(Vec3(50, 2.5f, 12), 3.0f, true);
    Vec2 low(1e9f, 1e9f), high(-1e9f, -1e9f);
    for (unsigned bz = 0; bz < 8; ++bz) {
        for (unsigned bx = 0; bx < 8; ++bx) {
            if (!layer.GetBlock(bx, bz)) continue;
            low = Vec2(std::min(low.x, float(bx) * 9), std::min(low.y, float(bz) * 9));
            high = Vec2(std::max(high.x, float(bx + 1) * 9), std::max(high.y, float(bz + 1) * 9));
        }
    }
    const GraphicsReflectionPlane& reflection = layer.GetReflectionPlane();
    EXPECT_EQ(reflection.plane.d, -2.5f);
    EXPECT_EQ(reflection.box.centre, Vec3((low.x + high.x) * 0.5f, 2.5f, (low.y + high.y) * 0.5f));
    EXPECT_EQ(reflection.box.halfSize, Vec3((high.x - low.x) * 0.5f, 0, (high.y - low.y) * 0.5f));
    EXPECT_NE(low.x, low.y);
}

TEST_F(WaterLayerTest, MirrorsCleanupAndTheTree) {
    // The mirrors go through a map of the layer's extent, 64 x 64 samples: nothing is painted
    // beyond it here.
    Paint({kStrokes[0], kStrokes[1], kStrokes[2], kStrokes[4]});
    const mem::vector<uint8_t> painted = AllCoverage();
    layer.MirrorX(0.0f);
    EXPECT_EQ(layer.GetBlock(4, 2)->GetCoverage()[2 * 10 + 7], 255);  // x 43 was painted at x 20
    layer.MirrorX(0.0f);
    EXPECT_EQ(AllCoverage(), painted);
    layer.MirrorZ(0.0f);  // every row of the 64 x 64 map, the middle two included, changes places
    const mem::vector<uint8_t> flipped = AllCoverage();
    for (unsigned k = 0; k < 64 * 64; ++k) ASSERT_EQ(flipped[k / 64 * 73 + k % 64], painted[(63 - k / 64) * 73 + k % 64]) << k;
    layer.MirrorXZ();
    layer.MirrorXZ();
    layer.MirrorZ(0.0f);
    EXPECT_EQ(AllCoverage(), painted);

    mem::vector<WaterElement*> found;
    tree.GetInBox(found, ABBox(Vec3(20.0f, 0.0f, 22.0f), Vec3(0.5f, 0.5f, 0.5f)));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], layer.GetBlock(2, 2));
    EXPECT_EQ(layer.GetReflectionPlane().plane.d, -0.0f);

    // Ground level with the water leaves no visible water anywhere.
    ground.flat = true;
    layer.Cleanup();
    EXPECT_EQ(layer.GetNumBlocks(), 0u);
    EXPECT_EQ(tree.GetNumObjects(), 0u);
}

TEST_F(WaterLayerTest, BlocksWithoutVertexBuffersKeepTheirWater) {
    test::LogCapture log;
    device.Script().failCreates = true;
    layer.UpdateArea(Vec3(10.0f, 0.0f, 10.0f), 4.0f, true);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Failed to create vertex buffer for water block."));
    ASSERT_NE(layer.GetBlock(1, 1), nullptr);
    EXPECT_EQ(layer.GetBlock(1, 1)->GetVertexBuffer(), nullptr);
    layer.Cleanup();
    EXPECT_TRUE(layer.IsPointInLayer(Vec3(10.0f, 0.0f, 10.0f)));

    device.Script().failCreates = false;
    layer.ConstructBlockGeometry();
    EXPECT_NE(layer.GetBlock(1, 1)->GetVertexBuffer(), nullptr);
    layer.DestroyBlockGeometry();
    EXPECT_EQ(device.GetNumLiveResources(), 0u);

    WaterLayer untyped{1, 8, 8, 9.0f, tree, &device, nullptr};
    EXPECT_FALSE(untyped.Initialize("Swamp", 1.0f, Vec2(64.0f, 64.0f)));
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Failed to load water type 'Swamp' for water layer."));
    Vec3 velocity(5.0f, 5.0f, 5.0f);
    untyped.CalcSurfaceVelocity(velocity);
    EXPECT_EQ(velocity.x, 5.0f);
    layer.CalcSurfaceVelocity(velocity);
    EXPECT_EQ(velocity.y, 0.0f);
}

}  // namespace
}  // namespace GAME
