// The sample effects play as they are meant to: the fire burns on with its light, the sparks
// burst once and are over, and the fire's record names the fire.

#include <gtest/gtest.h>

#include <utility>
#include <vector>

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
    EffectData fire, sparks, orbit;
    ASSERT_TRUE(fire.Load(sample::kFireEffect, files) && sparks.Load(sample::kSparksEffect, files) &&
                orbit.Load(sample::kLocalOrbitEffect, files));
    ASSERT_EQ(fire.GetNumEmitters(), 1);
    EXPECT_TRUE(fire.GetEmitterData(0)->GetBoolean(EmitterData::Bool_Light) &&
                orbit.GetEmitterData(0)->GetBoolean(EmitterData::Bool_EmitLocally));
    // The curves each effect shapes are its own, not a new emitter's.
    using E = EmitterData;
    const E blank;
    const std::pair<const EffectData*, std::vector<int>> shaped[] = {
        {&fire, {E::Curve_Radius, E::Curve_Rate, E::Curve_Speed, E::Curve_Spread, E::Curve_Alpha, E::Curve_Red,
                 E::Curve_Green, E::Curve_Blue, E::Curve_Size, E::Curve_LightRed, E::Curve_LightGreen,
                 E::Curve_LightBlue, E::Curve_LightRadius}},
        {&sparks, {E::Curve_Radius, E::Curve_Rate, E::Curve_Speed, E::Curve_Spread, E::Curve_Gravity, E::Curve_Stretch,
                   E::Curve_Size, E::Curve_Alpha, E::Curve_Red, E::Curve_Green}},
        {&orbit, {E::Curve_Radius, E::Curve_Rate, E::Curve_EmitterSpinY, E::Curve_EmitterSpinX}}};
    for (const auto& [effect, curves] : shaped)
        for (const int curve : curves)
            EXPECT_NE(effect->GetEmitterData(0)->GetCurve(curve)->GetPoints(), blank.GetCurve(curve)->GetPoints()) << curve;

    GameClock::Get().Reset();
    Region region(nullptr, 0, "r", ABBox(), IntVec3(0, 0, 0), RegionId(1, 0, 0, 0));
    const WorldCoords coords(&region, Coords::Identity);
    Effect fireEffect(&fire), sparksEffect(&sparks);
    ABBox box;
    for (int i = 0; i < 40; ++i) {
        GameClock::Get().AdvanceBy(100.0);
        fireEffect.MarkDrawn();
        sparksEffect.MarkDrawn();
        fireEffect.Update(coords, fire, box);
        sparksEffect.Update(coords, sparks, box);
    }
    EXPECT_TRUE(fireEffect.GetNumParticles() > 20 && !fireEffect.IsComplete() && sparksEffect.IsComplete());

    File* record = files.OpenFile(sample::kFireRecord, FileMode::Read);
    ASSERT_NE(record, nullptr);
    const auto* bytes = static_cast<const char*>(record->Lock());
    ASSERT_NE(bytes, nullptr);
    const std::string text(bytes, record->GetLength());
    record->Unlock();
    files.CloseFile(record);
    LoadTable table;
    ASSERT_TRUE(table.Parse(text.data(), static_cast<uint32_t>(text.size())));
    EXPECT_EQ(std::string(table.GetValue("Class", "")) + " " + table.GetValue("effectFile", ""),
              std::string("EffectEntity ") + sample::kFireEffect);
}

}  // namespace
}  // namespace GAME::test
