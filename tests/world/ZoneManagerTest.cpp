// The zone manager on the engine's records (the GL bed's data directory): pages by converted zone
// record names, zone data, region tints and the colour key read back from the GL device.

#include "world/ZoneManager.h"

#include "core/Random.h"
#include "support/GLEngineBed.h"
#include "support/OffscreenDevice.h"
#include "world/Region.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace GAME::test {
namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

// The pixel matches the colour to within one step a channel.
void ExpectPixel(uint32_t pixel, const Color& color) {
    const float channels[3] = {color.r, color.g, color.b};
    for (int i = 0; i < 3; ++i) {
        const int expected = int(channels[i] * 255.0f + 0.5f);
        EXPECT_LE(std::abs(int((pixel >> (8 * i)) & 0xFF) - expected), 1) << "channel " << i;
    }
}

TEST(ZoneManager, PagesDataTintsAndKeyFollowTheRecords) {
    GLEngineBed bed;
    ASSERT_TRUE(bed.IsReady());
    bed.WriteFile(ZoneManager::kTeleportMapRecord,
                  Bytes("Act1ZoneList,Records\\Zones\\Meadow.dbr;records/zones/HILLS.dbr,\n"
                        "Act3ZoneList,Records/Zones/Crypt.dbr;Records/Zones/Meadow.dbr;Records/Zones/Missing.dbr,\n"));
    bed.WriteFile("Records/Zones/Meadow.dbr", Bytes("ZoneNameTag,tagMeadow,\nmapIndex,3,\n"));
    bed.WriteFile("Records/Zones/Hills.dbr", Bytes("TeleportNameTag,tagHillsGate,\n"));
    bed.WriteFile("Records/Zones/Crypt.dbr", Bytes("ZoneNameTag,tagCrypt,\n"));
    ZoneManager::Destroy();
    SeedRand15(5);  // each zone read takes a red, green and blue draw, in list order
    const ZoneManager& zones = *ZoneManager::Get();

    EXPECT_EQ(zones.GetZoneList(ZonePage::Act1),
              (mem::vector<std::string>{"records/zones/meadow.dbr", "records/zones/hills.dbr"}));
    EXPECT_EQ(zones.GetZoneList(ZonePage::Act3).size(), 3u);
    EXPECT_EQ(&zones.GetZoneList(ZonePage(7)), &zones.GetZoneList(ZonePage::Act5));
    // Listed without a record of its own: no data.
    EXPECT_EQ(zones.GetZoneData("Records/Zones/Missing.dbr"), nullptr);
    const ZoneManager::ZoneData* meadow = zones.GetZoneData("RECORDS\\ZONES\\MEADOW.DBR");
    ASSERT_NE(meadow, nullptr);
    EXPECT_EQ(meadow->zoneNameTag, "tagMeadow");
    EXPECT_EQ(meadow->mapIndex, 3);
    const ZoneManager::ZoneData& hills = *zones.GetZoneData("Records/Zones/Hills.dbr");
    EXPECT_EQ(std::pair(hills.teleportNameTag, hills.mapIndex), std::pair(std::string("tagHillsGate"), 0));
    EXPECT_EQ(hills.keyColor, Color(224 / 255.0f, 120 / 255.0f, 65 / 255.0f, 1.0f));

    Region region(nullptr, 0, "Region", ABBox(), IntVec3(), RegionId());
    EXPECT_EQ(zones.GetActFromRegion(nullptr), ZonePage::Act1);
    region.SetZoneRecord("Records\\Zones\\CRYPT.dbr");
    EXPECT_EQ(zones.GetActFromRegion(&region), ZonePage::Act3);
    const Color crypt = region.GetTintColor();
    const Color& key = zones.GetZoneData("Records/Zones/Crypt.dbr")->keyColor;
    EXPECT_EQ(crypt, Color(212 / 255.0f, 54 / 255.0f, 187 / 255.0f, 1.0f));
    EXPECT_EQ(crypt, key);
    // Listed under two pages: the earlier one.
    region.SetZoneRecord("Records/Zones/Meadow.dbr");
    EXPECT_EQ(zones.GetActFromRegion(&region), ZonePage::Act1);
    region.SetZoneRecord("Records/Zones/Unlisted.dbr");
    EXPECT_EQ(zones.GetActFromRegion(&region), ZonePage::Act1);
    EXPECT_EQ(region.GetTintColor(), Color(0.0f, 0.0f, 0.0f, 1.0f));

    // The keys in record-name order (crypt, hills, meadow), 34 pixels apart: a white frame round
    // the zone's colour.
    bed.Clear();
    zones.RenderKey(bed.Canvas());
    const std::vector<uint32_t> pixels = bed.ReadPixels();
    ASSERT_EQ(pixels.size(), size_t(GLEngineBed::kWidth * GLEngineBed::kHeight));
    const auto at = [&](int x, int y) { return pixels[size_t(y * GLEngineBed::kWidth + x)]; };
    for (const auto& [x, y] : {std::pair(0, 0), std::pair(29, 1), std::pair(1, 29), std::pair(0, 34)})
        EXPECT_EQ(at(x, y), Rgba(255, 255, 255)) << x << ", " << y;
    ExpectPixel(at(28, 28), key);  // the key's last pixel inside the frame
    ExpectPixel(at(15, 49), zones.GetZoneData("Records/Zones/Hills.dbr")->keyColor);
    EXPECT_EQ(at(34, 15), Rgba(0, 0, 0));
    ZoneManager::Destroy();
}

}  // namespace
}  // namespace GAME::test
