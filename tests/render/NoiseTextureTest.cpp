// Noise textures: the base textures follow the lattice formula byte for byte; the generator caches
// textures by record name in any letter case, updates them in the engine's update and makes their
// surfaces again after a device reset.

#include "render/GraphicsNoiseGen.h"

#include "SampleNoise.h"
#include "core/Singleton.h"
#include "engine/ObjectManager.h"
#include "files/FileSystem.h"
#include "files/TableDepot.h"
#include "render/GraphicsEngine.h"
#include "render/NoiseTexture.h"
#include "render/RenderDevice.h"
#include "support/GLEngineBed.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
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

TEST(NoiseTextureTest, GeneratorCachesByNameAndRemakesSurfacesAfterAReset) {
    LogCapture log;
    GLEngineBed bed;
    ASSERT_TRUE(bed.IsReady());
    bed.WriteFile(GraphicsNoiseGen::kShaderFile, sample::MakeNoiseShaderFile());
    const std::string record = "Records/Sample/Noise.dbr";
    const std::string text = "Class,NoiseTexture,\nsize,16,\nlevels,1;0;0;0,\nrates,0;0;0;0,\n";
    bed.WriteFile(record, std::vector<uint8_t>(text.begin(), text.end()));

    // The engine reads no records before it is started: the test hands the objects its own.
    FileSystem files;
    ASSERT_TRUE(files.AddDirectory(bed.GetDirectory().GetPath()));
    TableDepot records(files);
    Singleton<ObjectManager>::Get()->SetTableDepot(&records);

    GraphicsNoiseGen& generator = *Singleton<GraphicsNoiseGen>::Get();
    NoiseTexture* const texture = generator.AcquireNoiseTexture(record.c_str());
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(generator.AcquireNoiseTexture("RECORDS/sample/noise.DBR"), texture);
    EXPECT_EQ(texture->GetSize(), 16u);
    ASSERT_NE(texture->GetTexture(), nullptr);
    EXPECT_TRUE(texture->GetNeedsUpdate());

    bed.GetEngine().GetGraphicsEngine()->Update(true);
    EXPECT_FALSE(texture->GetNeedsUpdate());

    // A device reset makes the surface again and marks the texture for drawing.
    bed.GetEngine().GetGraphicsEngine()->PreDeviceReset();
    EXPECT_EQ(texture->GetRenderSurface(), nullptr);
    bed.GetEngine().GetGraphicsEngine()->PostDeviceReset();
    EXPECT_NE(texture->GetTexture(), nullptr);
    EXPECT_NE(generator.GetBaseTexture(255), nullptr);
    EXPECT_TRUE(texture->GetNeedsUpdate());

    generator.ReleaseNoiseTexture(texture);
    EXPECT_EQ(generator.AcquireNoiseTexture(record.c_str()), texture);
    generator.ReleaseNoiseTexture(texture);
    generator.ReleaseNoiseTexture(texture);
    Singleton<GraphicsNoiseGen>::Destroy();
    Singleton<ObjectManager>::Get()->SetTableDepot(nullptr);
    EXPECT_EQ(log.Count(LogPriority::Error), 0u);
}

}  // namespace
}  // namespace GAME::test
