// The sample effects play as they are meant to: the fire burns on with its light, the sparks
// burst once and are over, and the fire's record names the fire.

#include <gtest/gtest.h>

#include "SampleData.h"
#include "SampleEffects.h"
#include "core/GameClock.h"
#include "effects/Effect.h"
#include "effects/EffectData.h"
#include "effects/EmitterData.h"
#include "files/File.h"
#include "files/FileSystem.h"
#include "files/LoadTable.h"
#include "support/TempDirectory.h"
#include "world/Region.h"

namespace GAME::test {
namespace {

TEST(SampleEffectsTest, TheFireBurnsOnAndTheSparksBurstOnce) {
    TempDirectory directory;
    ASSERT_TRUE(sample::WriteSampleData(directory.GetPath()));
    FileSystem files;
    ASSERT_TRUE(files.AddDirectory(directory.GetPath()));
    EffectData fire;
    EffectData sparks;
    EffectData orbit;
    ASSERT_TRUE(fire.Load(sample::kFireEffect, files));
    ASSERT_TRUE(sparks.Load(sample::kSparksEffect, files));
    ASSERT_TRUE(orbit.Load(sample::kLocalOrbitEffect, files));
    ASSERT_EQ(fire.GetNumEmitters(), 1);
    EXPECT_TRUE(fire.GetEmitterData(0)->GetBoolean(EmitterData::Bool_Light));
    EXPECT_TRUE(orbit.GetEmitterData(0)->GetBoolean(EmitterData::Bool_EmitLocally));

    GameClock::Get().Reset();
    Region region(nullptr, 0, "r", ABBox(), IntVec3(0, 0, 0), RegionId(1, 0, 0, 0));
    const WorldCoords coords(&region, Coords::Identity);
    Effect fireEffect(&fire);
    Effect sparksEffect(&sparks);
    ABBox box;
    for (int i = 0; i < 40; ++i) {
        GameClock::Get().AdvanceBy(100.0);
        fireEffect.MarkDrawn();
        sparksEffect.MarkDrawn();
        fireEffect.Update(coords, fire, box);
        sparksEffect.Update(coords, sparks, box);
    }
    EXPECT_GT(fireEffect.GetNumParticles(), 20);
    EXPECT_FALSE(fireEffect.IsComplete());
    EXPECT_TRUE(sparksEffect.IsComplete());

    File* record = files.OpenFile(sample::kFireRecord, FileMode::Read);
    ASSERT_NE(record, nullptr);
    const auto* bytes = static_cast<const char*>(record->Lock());
    ASSERT_NE(bytes, nullptr);
    const std::string text(bytes, record->GetLength());
    record->Unlock();
    files.CloseFile(record);
    LoadTable table;
    ASSERT_TRUE(table.Parse(text.data(), static_cast<uint32_t>(text.size())));
    EXPECT_STREQ(table.GetValue("Class", ""), "EffectEntity");
    EXPECT_STREQ(table.GetValue("effectFile", ""), sample::kFireEffect);
}

}  // namespace
}  // namespace GAME::test
