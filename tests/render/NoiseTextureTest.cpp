// Noise textures: the base textures follow the lattice formula byte for byte; the generator caches
// textures by record name in any letter case, updates them in the engine's update, makes their
// surfaces again after a device reset and shuts down in either order with the object manager.

#include "render/GraphicsNoiseGen.h"

#include "SampleNoise.h"
#include "core/Random.h"
#include "core/Singleton.h"
#include "engine/ObjectManager.h"
#include "files/FileSystem.h"
#include "files/Options.h"
#include "files/TableDepot.h"
#include "render/GraphicsEngine.h"
#include "render/NoiseTexture.h"
#include "render/RenderDevice.h"
#include "support/GLEngineBed.h"
#include "support/LogCapture.h"
#include "world/WorldFrustum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace GAME::test {
namespace {

// The formula over 64-bit integers, reduced to 32 bits where the lattice hash wraps.
int Expected(int64_t seed, int64_t row, int64_t column) {
    const auto h = [&](int64_t x, int64_t y) {
        const int64_t n = (x + 521 * y + 67777 * seed) & 0xFFFFFFFF;
        const int64_t a = (n * n) & 0xFFFFFFFF;
        const int64_t b = (a * 15731 + 789221) & 0xFFFFFFFF;
        const int64_t c = (b * n - 771171059) & 0x7FFFFFFF;
        return 1.0 - double(c) / 1073741824.0;
    };
    const auto wrap = [](int64_t i) { return ((i % 31) + 31) % 31; };
    double value = 0.25 * h(wrap(column), wrap(row));
    for (const int64_t dy : {-1, 0, 1}) {
        for (const int64_t dx : {-1, 0, 1}) {
            if (dx == 0 && dy == 0) continue;
            value += (dx != 0 && dy != 0 ? 0.0625 : 0.125) * h(wrap(column + dx), wrap(row + dy));
        }
    }
    return int((value + 1.0) * 127.0);
}

TEST(NoiseTextureTest, BaseTexturesFollowTheLatticeFormula) {
    for (const uint32_t seed : {0u, 201u}) {
        const auto texels = GraphicsNoiseGen::MakeBaseNoise(seed);
        int mismatches = 0;
        for (int r = 0; r < 32; ++r) {
            for (int c = 0; c < 32; ++c) {
                // Single-precision sums may land one below a boundary the double sum reaches.
                if (std::abs(int(texels[size_t(r * 32 + c)]) - Expected(seed, r, c)) > (r + c == 0 ? 0 : 1)) ++mismatches;
            }
        }
        EXPECT_EQ(mismatches, 0) << "seed " << seed;
        // The lattice wraps every 31 texels: the last row and column repeat the first.
        EXPECT_EQ(texels[31 * 32 + 5], texels[5]);
        EXPECT_EQ(texels[7 * 32 + 31], texels[7 * 32]);
    }
    EXPECT_NE(GraphicsNoiseGen::MakeBaseNoise(0), GraphicsNoiseGen::MakeBaseNoise(201));
}

TEST(NoiseTextureTest, WithoutAGraphicsEngineTheGeneratorMakesNothing) {
    const GraphicsNoiseGen generator;
    EXPECT_EQ(generator.GetBaseTexture(0), nullptr);
}

// A GL engine with the sample noise shader; the engine reads no records before it is started, so
// the objects get the test's own record depot.
class NoiseGeneratorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bed.IsReady());
        bed.WriteFile(GraphicsNoiseGen::kShaderFile, sample::MakeNoiseShaderFile());
        // Still layers (rate 0) all fade from base texture 0 to itself.
        WriteRecord("Records/Sample/Noise.dbr", "Class,NoiseTexture,\nsize,16,\nlevels,1;0;0;0,\nrates,0;0;0;0,\n");
        WriteRecord("One.dbr", "Class,NoiseTexture,\nsize,32,\nlevels,1;0;0;0,\n");
        WriteRecord("All.dbr", "Class,NoiseTexture,\nsize,32,\nlevels,0.4;0.3;0.2;0.1,\n");
        WriteRecord("Normal.dbr", "Class,NoiseTexture,\nsize,32,\nnormalMap,true,\nlevels,0.4;0.3;0.2;0.1,\n");
        // The first layer fades at 1000 a second, the second not at all.
        WriteRecord("Fast.dbr", "Class,NoiseTexture,\nsize,16,\nlevels,1;1;0;0,\nrates,1000;0;0;0,\n");
        // The directory is indexed when it is added.
        ASSERT_TRUE(files.AddDirectory(bed.GetDirectory().GetPath()));
        Singleton<ObjectManager>::Get()->SetTableDepot(&records);
    }
    void TearDown() override {
        Singleton<GraphicsNoiseGen>::Destroy();
        Singleton<ObjectManager>::Get()->SetTableDepot(nullptr);
        EXPECT_EQ(log.Count(LogPriority::Error), 0u);
    }
    void WriteRecord(const std::string& name, const std::string& text) {
        bed.WriteFile(name, std::vector<uint8_t>(text.begin(), text.end()));
    }
    GraphicsEngine& Graphics() { return *bed.GetEngine().GetGraphicsEngine(); }
    // Draws the texture in the graphics engine's update and reads its red channel, rows top first.
    std::vector<int> Draw(NoiseTexture& texture) {
        texture.SetNeedsUpdate(true);
        Graphics().Update(true);
        EXPECT_FALSE(texture.GetNeedsUpdate());
        const int size = int(texture.GetSize());
        std::vector<uint8_t> bytes(size_t(size * size) * 4);
        EXPECT_TRUE(texture.GetRenderSurface()->ReadPixels(bytes.data(), size, size, RenderTextureFormat::RGBA));
        std::vector<int> red(size_t(size * size));
        for (size_t i = 0; i < red.size(); ++i) red[i] = bytes[i * 4];
        return red;
    }

    LogCapture log;
    GLEngineBed bed;
    FileSystem files;
    TableDepot records{files};
};

TEST_F(NoiseGeneratorTest, GeneratorCachesByNameAndRemakesSurfacesAfterAReset) {
    GraphicsNoiseGen& generator = *Singleton<GraphicsNoiseGen>::Get();
    const std::string record = "Records/Sample/Noise.dbr";
    NoiseTexture* const texture = generator.AcquireNoiseTexture(record.c_str());
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(generator.AcquireNoiseTexture("RECORDS/sample/noise.DBR"), texture);
    EXPECT_EQ(texture->GetSize(), 16u);
    ASSERT_NE(texture->GetTexture(), nullptr);
    EXPECT_TRUE(texture->GetNeedsUpdate());

    Graphics().Update(true);
    EXPECT_FALSE(texture->GetNeedsUpdate());

    // A device reset makes the surface again and marks the texture for drawing.
    Graphics().PreDeviceReset();
    EXPECT_EQ(texture->GetRenderSurface(), nullptr);
    Graphics().PostDeviceReset();
    EXPECT_NE(texture->GetTexture(), nullptr);
    EXPECT_NE(generator.GetBaseTexture(255), nullptr);
    EXPECT_TRUE(texture->GetNeedsUpdate());

    generator.ReleaseNoiseTexture(texture);
    EXPECT_EQ(generator.AcquireNoiseTexture(record.c_str()), texture);
    generator.ReleaseNoiseTexture(texture);
    // The last release gives the surface back and destroys the object: the name makes a new one.
    ObjectManager& objects = *Singleton<ObjectManager>::Get();
    const int deleted = objects.GetNumDeletedObjects();
    generator.ReleaseNoiseTexture(texture);
    EXPECT_EQ(texture->GetRenderSurface(), nullptr);
    EXPECT_EQ(objects.GetNumDeletedObjects(), deleted + 1);
    NoiseTexture* const again = generator.AcquireNoiseTexture(record.c_str());
    EXPECT_NE(again, texture);
    generator.ReleaseNoiseTexture(again);
}

// Each layer fades from one base texture to the next at its rate; a finished fade starts the next
// one from where it ended, towards a base texture the shared random sequence picks.
TEST_F(NoiseGeneratorTest, AFinishedFadeGoesOnFromTheTextureItReached) {
    GraphicsNoiseGen& generator = *Singleton<GraphicsNoiseGen>::Get();
    NoiseTexture* const texture = generator.AcquireNoiseTexture("Fast.dbr");
    ASSERT_NE(texture, nullptr);
    // A frame of at least 2 milliseconds: the fast layer's phase passes 1 at every update.
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    bed.GetEngine().Update(WorldFrustum(), false);
    ASSERT_GE(bed.GetEngine().GetUpdateTime(), 2);
    SeedRand15(7);
    texture->UpdateLayers(256);
    const NoiseTexture::Layer first = texture->GetLayer(0);
    EXPECT_EQ(first.from, 0u);
    ASSERT_NE(first.to, 0u);  // the seed picks another texture
    EXPECT_GE(first.phase, 0.0f);
    EXPECT_LT(first.phase, 1.0f);
    texture->UpdateLayers(256);
    EXPECT_EQ(texture->GetLayer(0).from, first.to);
    EXPECT_LT(texture->GetLayer(0).to, 256u);
    // The still layer keeps fading from base texture 0 to itself.
    EXPECT_EQ(texture->GetLayer(1).from, 0u);
    EXPECT_EQ(texture->GetLayer(1).to, 0u);
    EXPECT_EQ(texture->GetLayer(1).phase, 0.0f);
    generator.ReleaseNoiseTexture(texture);
}

TEST_F(NoiseGeneratorTest, DrawsTheLayersInOneOrTwoPassesAndConvertsNormalMaps) {
    GraphicsNoiseGen& generator = *Singleton<GraphicsNoiseGen>::Get();
    NoiseTexture* const one = generator.AcquireNoiseTexture("One.dbr");
    NoiseTexture* const all = generator.AcquireNoiseTexture("All.dbr");
    NoiseTexture* const normal = generator.AcquireNoiseTexture("Normal.dbr");
    ASSERT_TRUE(one != nullptr && all != nullptr && normal != nullptr);

    // One layer untiled over a texture of the base size: each texel is the base texel (the quad
    // puts the base texture's first row at the bottom).
    const auto base = GraphicsNoiseGen::MakeBaseNoise(0);
    const std::vector<int> single = Draw(*one);
    int mismatches = 0;
    for (int r = 0; r < 32; ++r) {
        for (int c = 0; c < 32; ++c)
            if (std::abs(single[size_t(r * 32 + c)] - int(base[size_t((31 - r) * 32 + c)])) > 1) ++mismatches;
    }
    EXPECT_EQ(mismatches, 0);

    // Four tiled layers: the same picture whether one pass composes them or two passes add them.
    const std::vector<int> onePass = Draw(*all);
    ASSERT_GE(Graphics().GetPixelShaderVersion(), NoiseTexture::kOnePassShaderVersion);
    bed.GetEngine().GetOptions()->SetQuality(Options::QualityName::detailLevel, 1);  // an older generation
    const std::vector<int> twoPasses = Draw(*all);
    ASSERT_LT(Graphics().GetPixelShaderVersion(), NoiseTexture::kOnePassShaderVersion);
    int lowest = 255, highest = 0, different = 0;
    for (size_t i = 0; i < onePass.size(); ++i) {
        lowest = std::min(lowest, onePass[i]);
        highest = std::max(highest, onePass[i]);
        if (std::abs(onePass[i] - twoPasses[i]) > 2) ++different;
    }
    EXPECT_EQ(different, 0);
    EXPECT_GT(highest - lowest, 30);
    EXPECT_NE(onePass, single);

    // A normal map faces up everywhere (blue above half) and leans with the noise.
    normal->SetNeedsUpdate(true);
    Graphics().Update(true);
    std::vector<uint8_t> bytes(32 * 32 * 4);
    ASSERT_TRUE(normal->GetRenderSurface()->ReadPixels(bytes.data(), 32, 32, RenderTextureFormat::RGBA));
    int leaning = 0;
    for (size_t i = 0; i < 32 * 32; ++i) {
        EXPECT_GT(bytes[i * 4 + 2], 128) << i;
        if (std::abs(int(bytes[i * 4]) - 128) > 8) ++leaning;
    }
    EXPECT_GT(leaning, 100);
    for (NoiseTexture* texture : {one, all, normal}) generator.ReleaseNoiseTexture(texture);
}

// A frame draws only the textures marked for it; the generator gives back every device object it
// and its textures made when it goes.
TEST_F(NoiseGeneratorTest, OnlyMarkedTexturesAreDrawnAndNothingIsLeftBehind) {
    const size_t available = bed.Device().GetAvailableVideoMemory();
    GraphicsNoiseGen& generator = *Singleton<GraphicsNoiseGen>::Get();
    NoiseTexture* const texture = generator.AcquireNoiseTexture("One.dbr");
    ASSERT_NE(texture, nullptr);
    EXPECT_LT(bed.Device().GetAvailableVideoMemory(), available);
    const auto drawCalls = [&] {
        Graphics().Update(true);
        return bed.Device().GetNumDrawCalls();
    };
    const uint32_t marked = drawCalls();
    const uint32_t unmarked = drawCalls();
    EXPECT_EQ(marked, unmarked + 1);  // the one pass of the one-pass generation
    EXPECT_EQ(drawCalls(), unmarked);

    Singleton<GraphicsNoiseGen>::Destroy();
    EXPECT_EQ(bed.Device().GetAvailableVideoMemory(), available);
}

TEST_F(NoiseGeneratorTest, ShutsDownInEitherOrderWhileTexturesAreStillHeld) {
    // The engine's order: the object manager deletes the textures still held, then the graphics
    // engine destroys the generator, which must not touch them.
    ASSERT_NE(Singleton<GraphicsNoiseGen>::Get()->AcquireNoiseTexture("One.dbr"), nullptr);
    Singleton<ObjectManager>::Destroy();
    Singleton<GraphicsNoiseGen>::Destroy();

    // The other order: the generator goes first and hands its textures to the object manager.
    Singleton<ObjectManager>::Get()->SetTableDepot(&records);
    ASSERT_NE(Singleton<GraphicsNoiseGen>::Get()->AcquireNoiseTexture("One.dbr"), nullptr);
    Singleton<GraphicsNoiseGen>::Destroy();
    EXPECT_EQ(Singleton<ObjectManager>::Get()->GetNumDeletedObjects(), 1);
    EXPECT_EQ(Singleton<ObjectManager>::Get()->GetNumObjects(), 0);
}

}  // namespace
}  // namespace GAME::test
