// Region images on the GL device: the mini-map image read from the map file when first asked for,
// the icon made from its record, and both released before a device reset (the icon made again
// after it, the mini-map when next asked for).

#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "render/GraphicsCanvas.h"
#include "render/Image.h"
#include "render/RenderDevice.h"
#include "support/GLEngineBed.h"
#include "support/OffscreenDevice.h"
#include "world/MapFile.h"
#include "world/Region.h"
#include "world/World.h"

#include <gtest/gtest.h>

#include <set>

namespace GAME::test {
namespace {

// A TGA file of the size in one colour.
mem::vector<unsigned char> TgaFile(uint32_t width, uint32_t height) {
    Image image;
    image.Create(width, height, Image::Format::RGBA);
    for (uint32_t i = 0; i < width * height * 4; ++i) image.GetBuffer()[i] = uint8_t(40 + i % 4);
    BinaryWriter writer;
    image.WriteTGA(writer);
    return mem::vector<unsigned char>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
}

std::vector<uint8_t> Bytes(const BinaryWriter& writer) {
    return std::vector<uint8_t>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
}

TEST(RegionImage, MinimapAndIconTexturesComeFromTheirBytesAndSurviveADeviceReset) {
    GLEngineBed bed;
    ASSERT_TRUE(bed.IsReady());
    MapFile::Contents map;
    for (int i = 0; i < 2; ++i) {
        MapFile::Region region;
        region.record = RegionRecord{"region" + std::to_string(i), "", ABBox(Vec3(8, 0, 8), Vec3(8, 8, 8)),
                                     IntVec3(16 * i, 0, 0), RegionId(9, 9, 9, uint32_t(i + 1))};
        if (i == 0) region.minimap = TgaFile(8, 4);
        map.regions.push_back(std::move(region));
    }
    BinaryWriter file;
    MapFile::Write(file, map);
    bed.WriteFile("Worlds/Images.map", Bytes(file));
    World& world = *bed.GetEngine().GetWorld();
    ASSERT_TRUE(world.Load("Worlds/Images.map", false, true));
    Region& pictured = *world.GetRegion(0);
    Region& plain = *world.GetRegion(1);

    EXPECT_EQ(pictured.GetMinimapImage(false), nullptr);
    const RenderTexture* minimap = pictured.GetMinimapImage(true);
    ASSERT_NE(minimap, nullptr);
    EXPECT_EQ(minimap->GetWidth(), 8);
    EXPECT_EQ(minimap->GetHeight(), 4);
    EXPECT_EQ(plain.GetMinimapImage(true), nullptr);

    const mem::vector<unsigned char> tga = TgaFile(2, 2);
    BinaryWriter icon;
    for (const uint32_t word : {1u, 2u, 2u, uint32_t(tga.size())}) icon.Write(word);  // value, width, height, size
    icon.Write(tga.data(), uint32_t(tga.size()));
    BinaryReader reader(icon.GetBuffer(), icon.GetPosition());
    ASSERT_TRUE(pictured.LoadRegionIcon(reader));
    ASSERT_NE(pictured.GetIcon(), nullptr);
    EXPECT_EQ(plain.GetIcon(), nullptr);

    world.PreDeviceReset();
    EXPECT_EQ(pictured.GetIcon(), nullptr);
    EXPECT_EQ(pictured.GetMinimapImage(false), nullptr);
    world.PostDeviceReset();
    ASSERT_NE(pictured.GetIcon(), nullptr);
    EXPECT_EQ(pictured.GetIcon()->GetWidth(), 2);
    // Every texel holds the file's colour, drawn here over the whole target.
    bed.Clear();
    bed.Canvas().RenderRect(Rect(0, 0, GLEngineBed::kWidth, GLEngineBed::kHeight), Rect(0, 0, 2, 2), pictured.GetIcon(),
                            RenderBlendFactor::One, RenderBlendFactor::Zero, Color(1, 1, 1, 1), false);
    const std::vector<uint32_t> pixels = bed.ReadPixels();
    EXPECT_EQ(std::set<uint32_t>(pixels.begin(), pixels.end()), std::set<uint32_t>{Rgba(40, 41, 42, 43)});
    EXPECT_EQ(pictured.GetMinimapImage(false), nullptr);
    EXPECT_NE(pictured.GetMinimapImage(true), nullptr);
    world.ReleaseMinimapImages();
    EXPECT_EQ(pictured.GetMinimapImage(false), nullptr);
    world.Unload();
}

}  // namespace
}  // namespace GAME::test
