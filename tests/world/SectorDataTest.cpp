#include "world/SectorDataManager.h"

#include "core/Random.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "support/LogCapture.h"
#include "world/DayNightCycle.h"

#include <gtest/gtest.h>

#include <vector>

namespace GAME {
namespace {

using Bytes = std::vector<unsigned char>;
using M = SectorDataManager;

Bytes Take(const BinaryWriter& writer) { return Bytes(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition()); }

bool LoadBytes(SectorDataManager& manager, const Bytes& bytes) {
    BinaryReader reader(bytes.data(), uint32_t(bytes.size()));
    return manager.Load(reader);
}

// The common record form, written by hand.
void WriteCommon(BinaryWriter& writer, const std::string& name) {
    writer.Write(uint32_t(1));
    writer.Write(name);
    UniqueId id;
    id.Create();
    writer.Write(id);
    for (int i = 0; i < 8; ++i) writer.Write(0.5f);
}

TEST(SectorData, EveryKindSavesAndLoadsItsFields) {
    SeedRand15(3);
    SectorDataManager manager;
    auto* fog = static_cast<FogSectorData*>(manager.NewSectorData(M::kFog));
    fog->colors[2] = Color(0.1f, 0.2f, 0.3f, 0.4f);
    fog->values[1] = 7.5f;
    fog->integers[3] = -4;
    auto* name = static_cast<NameSectorData*>(manager.NewSectorData(M::kName));
    name->tag = "tagCave";
    name->firstVisitOnly = false;
    name->cinematic = true;
    auto* ambient = static_cast<AmbientSectorData*>(manager.NewSectorData(M::kAmbient));
    ambient->musicPlaylist = "music";
    ambient->ambientSoundPlaylist = "wind";
    ambient->eventMusic = "fanfare";
    manager.NewSectorData(M::kBoss)->name = "Boss";
    auto* cycle = static_cast<DayNightCycleSectorData*>(manager.NewSectorData(M::kDayNightCycle));
    cycle->GetDayNightCycle().SetSunAzimuth(1.25f);
    auto* bloom = static_cast<BloomSectorData*>(manager.NewSectorData(M::kBloom));
    bloom->values[0] = 0.75f;
    bloom->reserved[2] = 99;
    EXPECT_EQ(manager.NewSectorData(6), nullptr);
    EXPECT_TRUE(manager.IsModified());

    BinaryWriter writer;
    manager.Save(writer);
    SectorDataManager loaded;
    loaded.NewSectorData(M::kBloom);  // a change the load replaces: what is loaded is unmodified
    ASSERT_TRUE(LoadBytes(loaded, Take(writer)));
    EXPECT_FALSE(loaded.IsModified());
    for (int layer = 0; layer < M::kNumLayers; ++layer) {
        ASSERT_EQ(loaded.GetNumSectorData(layer), 1) << layer;
        const SectorData* original = manager.GetSectorData(layer, 0);
        const SectorData* copy = loaded.GetSectorData(layer, original->id);
        ASSERT_NE(copy, nullptr) << layer;
        EXPECT_EQ(copy->name, original->name);
        EXPECT_EQ(copy->renderColorAlpha, original->renderColorAlpha);
        EXPECT_EQ(loaded.GetRenderColorOmega(layer, original->id), original->renderColorOmega);
    }
    const auto* fogCopy = static_cast<const FogSectorData*>(loaded.GetSectorData(M::kFog, 0));
    EXPECT_EQ(std::tuple(fogCopy->colors[2], fogCopy->values[1], fogCopy->integers[3]),
              std::tuple(fog->colors[2], 7.5f, -4));
    const auto* nameCopy = static_cast<const NameSectorData*>(loaded.GetSectorData(M::kName, 0));
    EXPECT_EQ(std::tuple(nameCopy->tag, nameCopy->firstVisitOnly, nameCopy->cinematic),
              std::tuple("tagCave", false, true));
    const auto* ambientCopy = static_cast<const AmbientSectorData*>(loaded.GetSectorData(M::kAmbient, 0));
    EXPECT_EQ(std::tuple(ambientCopy->eventMusic, ambientCopy->ambientSoundPlaylist), std::tuple("fanfare", "wind"));
    const auto* cycleCopy = static_cast<const DayNightCycleSectorData*>(loaded.GetSectorData(M::kDayNightCycle, 0));
    EXPECT_EQ(cycleCopy->GetDayNightCycle().GetSunAzimuth(), 1.25f);
    EXPECT_EQ(cycleCopy->GetDayNightCycle().GetNumLightSetups(), 7u);
    const auto* bloomCopy = static_cast<const BloomSectorData*>(loaded.GetSectorData(M::kBloom, 0));
    EXPECT_EQ(std::pair(bloomCopy->values[0], bloomCopy->reserved[2]), std::pair(0.75f, 0u));  // reserved: zeros
    loaded.SetSectorData(M::kBloom, 0, bloomCopy);  // an edit, even to the same values, is a change
    EXPECT_TRUE(loaded.IsModified());
    ASSERT_TRUE(LoadBytes(loaded, Take(writer)));  // and so is a deletion
    loaded.DeleteSectorData(M::kBloom, 0);
    EXPECT_TRUE(loaded.IsModified());

    // Every cut of the file fails without reading past it.
    const Bytes file = Take(writer);
    test::LogCapture log;
    for (size_t size = 0; size < file.size(); ++size) {
        SectorDataManager cut;
        EXPECT_FALSE(LoadBytes(cut, Bytes(file.begin(), file.begin() + ptrdiff_t(size)))) << size;
    }
}

TEST(SectorData, OlderBlocksFewerBlocksAndRefusedVersions) {
    // File version 1 with name and ambient blocks of version 1, and only four blocks: fog (version
    // 1, no records), then one name record of version 1 (no first-visit flag).
    BinaryWriter writer;
    for (const uint32_t word : {1u, 4u, 1u, 0u, 1u, 1u}) writer.Write(word);
    WriteCommon(writer, "Place");
    writer.Write(std::string("tagPlace"));
    writer.Write(true);
    for (const uint32_t word : {1u, 1u}) writer.Write(word);  // ambient, version 1: no event music
    WriteCommon(writer, "Sound");
    writer.Write(std::string("m"));
    writer.Write(std::string("a"));
    for (const uint32_t word : {1u, 0u}) writer.Write(word);  // boss

    SectorDataManager manager;
    manager.NewSectorData(M::kBloom);
    manager.NewSectorData(M::kName);
    ASSERT_TRUE(LoadBytes(manager, Take(writer)));
    // Appended to the name set; the bloom set stays.
    ASSERT_EQ(manager.GetNumSectorData(M::kName), 2);
    const auto* name = static_cast<const NameSectorData*>(manager.GetSectorData(M::kName, 1));
    EXPECT_EQ(name->tag, "tagPlace");
    EXPECT_TRUE(name->cinematic);
    EXPECT_TRUE(name->firstVisitOnly);
    EXPECT_EQ(static_cast<const AmbientSectorData*>(manager.GetSectorData(M::kAmbient, 0))->eventMusic, "");
    EXPECT_EQ(manager.GetNumSectorData(M::kBloom), 1);

    // A bloom block of no records empties the set; one of version 2 is refused.
    const auto sixBlocks = [](uint32_t bloomVersion, const Bytes& dayNight) {
        BinaryWriter out;
        for (const uint32_t word : {2u, 6u, 1u, 0u, 1u, 0u, 1u, 0u, 1u, 0u}) out.Write(word);  // four empty blocks
        out.Write(uint32_t(1));
        out.Write(uint32_t(dayNight.empty() ? 0 : 1));
        if (!dayNight.empty()) {
            WriteCommon(out, "Cycle");
            out.Write(dayNight.data(), uint32_t(dayNight.size()));
        }
        out.Write(bloomVersion);
        out.Write(uint32_t(0));
        return Take(out);
    };
    EXPECT_TRUE(LoadBytes(manager, sixBlocks(1, {})));
    EXPECT_EQ(manager.GetNumSectorData(M::kBloom), 0);
    manager.NewSectorData(M::kBloom);
    test::LogCapture log;
    EXPECT_FALSE(LoadBytes(manager, sixBlocks(2, {})));
    EXPECT_EQ(manager.GetNumSectorData(M::kBloom), 1);
    // A day/night record whose cycle block is of another version stops the load.
    DayNightCycle cycle;
    BinaryWriter dnc;
    cycle.Write(dnc);
    Bytes oldCycle = Take(dnc);
    oldCycle[3] = 1;
    EXPECT_FALSE(LoadBytes(manager, sixBlocks(1, oldCycle)));
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Sector data: record 0 of block 4 is damaged"));
    Bytes badVersion = sixBlocks(1, {});
    badVersion[0] = 3;
    EXPECT_FALSE(LoadBytes(manager, badVersion));
    Bytes tooMany = sixBlocks(1, {});
    tooMany[tooMany.size() - 4] = 1;  // a bloom record in 50 bytes, short of the smallest record's 56
    tooMany.resize(tooMany.size() + 50);
    EXPECT_FALSE(LoadBytes(manager, tooMany));
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Sector data: 1 records do not fit in block 5"));
}

TEST(SectorData, ManagerEditsKeepOrder) {
    SectorDataManager manager;
    UniqueId ids[3];
    for (UniqueId& id : ids) id = manager.NewSectorData(M::kAmbient)->id;
    manager.DeleteSectorData(M::kAmbient, 0);
    ASSERT_EQ(manager.GetNumSectorData(M::kAmbient), 2);
    EXPECT_EQ(manager.GetSectorData(M::kAmbient, 0)->id, ids[1]);
    EXPECT_EQ(manager.GetSectorData(M::kAmbient, 1)->id, ids[2]);
    EXPECT_FALSE(manager.IsValidSectorValue(M::kAmbient, ids[0]));
    for (const auto colour : {&SectorDataManager::GetRenderColorAlpha, &SectorDataManager::GetRenderColorOmega})
        EXPECT_EQ((manager.*colour)(M::kAmbient, ids[0]), Color(0, 0, 0, 0));

    AmbientSectorData edited;
    edited.musicPlaylist = "new";
    manager.SetSectorData(M::kAmbient, 1, &edited);
    EXPECT_EQ(static_cast<const AmbientSectorData*>(manager.GetSectorData(M::kAmbient, 1))->musicPlaylist, "new");
    EXPECT_EQ(manager.GetSectorData(M::kAmbient, 1)->id, edited.id);
    manager.SetSectorData(M::kAmbient, 2, &edited);  // one past the last record: nothing
}

TEST(DayNightCycle, DefaultTableClockTimesAndTheStoredBlock) {
    EXPECT_FLOAT_EQ(DayNightCycle::ParseClockTime(" 7:15 pm"), 19.25f);
    // Noon is 12 PM, midnight 12 AM; a suffix that is neither leaves the hours.
    EXPECT_FLOAT_EQ(DayNightCycle::ParseClockTime("12:30 PM"), 12.5f);
    EXPECT_FLOAT_EQ(DayNightCycle::ParseClockTime("12:30 am"), 0.5f);
    EXPECT_FLOAT_EQ(DayNightCycle::ParseClockTime("11:45 AM"), 11.75f);
    EXPECT_FLOAT_EQ(DayNightCycle::ParseClockTime("12:30 hh"), 12.5f);
    EXPECT_FLOAT_EQ(DayNightCycle::ParseClockTime("7:15"), 0.0f);

    DayNightCycle cycle;
    EXPECT_FLOAT_EQ(cycle.GetSunAzimuth(), 45.0f * 0.017453292f);
    EXPECT_EQ(cycle.AddLightSetup(25.0f, Color(1, 0, 0, 1), Color(), Color()), 0u);
    EXPECT_FLOAT_EQ(cycle.GetLightSetup(0).time, 1.0f);
    EXPECT_EQ(cycle.AddLightSetup(1.0f, Color(0, 1, 0, 1), Color(), Color()), 1u);
    EXPECT_EQ(cycle.AddLightSetup(0.5f, Color(0, 0, 1, 1), Color(), Color()), 0u);

    cycle.SetDefault();
    ASSERT_EQ(cycle.GetNumLightSetups(), 7u);
    std::vector<float> times;
    for (unsigned i = 0; i < 7; ++i) times.push_back(cycle.GetLightSetup(i).time);
    EXPECT_EQ(times, (std::vector<float>{1, 3 + 10 / 60.0f, 9, 17, 18, 22, 23 + 10 / 60.0f}));

    BinaryWriter writer;
    cycle.Write(writer);
    ASSERT_EQ(writer.GetPosition(), 32u + 40u * 7u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(writer.GetBuffer()), 3), "DNC");
    DayNightCycle copy;
    BinaryReader reader(writer.GetBuffer(), writer.GetPosition());
    ASSERT_TRUE(copy.Read(reader));
    EXPECT_TRUE(reader.IsAtEnd());
    EXPECT_FLOAT_EQ(copy.GetSunAzimuth(), cycle.GetSunAzimuth());
    EXPECT_EQ(copy.GetLightSetup(2).sky, cycle.GetLightSetup(2).sky);

    Bytes old(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
    old[3] = 1;
    BinaryReader oldReader(old.data(), uint32_t(old.size()));
    EXPECT_FALSE(copy.Read(oldReader));
    EXPECT_EQ(copy.GetNumLightSetups(), 0u);
    for (const uint32_t size : {writer.GetPosition() - 1, 31u}) {  // cut among the setups, in the header
        BinaryReader cut(writer.GetBuffer(), size);
        EXPECT_FALSE(copy.Read(cut)) << size;
    }
    BinaryWriter empty;
    copy.Write(empty);  // no setups: the header alone
    BinaryReader header(empty.GetBuffer(), empty.GetPosition());
    EXPECT_TRUE(copy.Read(header));
}

}  // namespace
}  // namespace GAME
