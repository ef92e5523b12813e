#include "world/SectorLayers.h"

#include "core/IntVec3.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "render/GraphicsPrimitiveDrawer.h"
#include "support/GLEngineBed.h"
#include "support/LogCapture.h"
#include "support/OffscreenDevice.h"
#include "world/Region.h"
#include "world/SectorDataManager.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace GAME {
namespace {

using Bytes = std::vector<unsigned char>;

UniqueId MakeId(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) { return UniqueId::FromNameOrderWords({w0, w1, w2, w3}); }

void PutWord(Bytes& bytes, uint32_t word) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(word >> (8 * i)));
}

// A block of a given layer count: one table entry {value, id} in layer 0, the cells of a 2 x 3 grid
// with cell (x, y) holding 10 * x + y + layer in every stored layer.
Bytes BuildBlock(uint32_t layers, uint8_t value, const UniqueId& id) {
    Bytes bytes;
    PutWord(bytes, 1);
    PutWord(bytes, layers);
    for (uint32_t layer = 0; layer < layers; ++layer) {
        PutWord(bytes, layer == 0 ? 1 : 0);
        if (layer == 0) {
            bytes.push_back(value);
            for (uint32_t word : id.ToStreamWords()) PutWord(bytes, word);
        }
    }
    PutWord(bytes, 2);
    PutWord(bytes, 3);
    for (uint32_t x = 0; x < 2; ++x)
        for (uint32_t y = 0; y < 3; ++y)
            for (uint32_t layer = 0; layer < layers; ++layer) bytes.push_back(static_cast<unsigned char>(10 * x + y + layer));
    return bytes;
}

TEST(SectorLayers, LooksUpPaintedCellsClampedIntoTheGrid) {
    SectorLayers layers;
    EXPECT_TRUE(layers.GetTargetId(0, 0, 0).IsNull());  // no planes yet
    layers.Initialize(4097, 4096);  // more cells than a grid may have: no planes either
    EXPECT_FALSE(layers.IsInitialized());
    layers.Initialize(4, 3);
    const UniqueId fog = MakeId(1, 2, 3, 4);
    ASSERT_TRUE(layers.PrimeForEdit(0, fog));
    layers.Edit(0, 2, true);
    layers.Edit(7, 1, true);   // outside: ignored
    layers.Edit(-1, 0, true);
    EXPECT_EQ(layers.GetTargetId(0, 0, 2), fog);
    EXPECT_EQ(layers.GetTargetId(0, -5, 3 + 3), fog);  // answers for cell (0, height - 1)
    // Past the last column: the last cell of the same row, never the next row's first.
    layers.Edit(3, 0, true);
    EXPECT_EQ(layers.GetTargetId(0, 4 + 5, 0), fog);
    EXPECT_TRUE(layers.GetTargetId(0, 4 + 5, 1).IsNull());
    for (const auto& [layer, x] : {std::pair{0, 1}, std::pair{1, 0}, std::pair{6, 0}})
        EXPECT_TRUE(layers.GetTargetId(layer, x, 2).IsNull()) << layer;
    layers.Edit(0, 2, false);
    EXPECT_TRUE(layers.GetTargetId(0, 0, 2).IsNull());

    // The second form names the layer and erases with true.
    layers.Edit(0, 1, 1, false);
    EXPECT_EQ(layers.GetTargetId(0, 1, 1), fog);
    layers.Edit(0, 1, 1, true);
    EXPECT_TRUE(layers.GetTargetId(0, 1, 1).IsNull());
}

TEST(SectorLayers, ValidateDropsLostStylesAndANewStyleTakesTheFreedValue) {
    SectorDataManager manager;
    const UniqueId kept1 = manager.NewSectorData(2)->id;
    const UniqueId lost = manager.NewSectorData(2)->id;
    const UniqueId kept3 = manager.NewSectorData(2)->id;
    SectorLayers layers;
    layers.Initialize(3, 3);
    layers.PrimeForEdit(2, kept1);
    layers.PrimeForEdit(2, lost);
    layers.Fill();
    layers.PrimeForEdit(2, kept1);
    layers.Edit(0, 0, true);
    layers.PrimeForEdit(2, kept3);
    layers.Edit(2, 2, true);
    manager.DeleteSectorData(2, 1);
    layers.ValidateMapping(manager);
    ASSERT_EQ(layers.GetTable(2).size(), 2u);
    EXPECT_EQ(std::pair(layers.GetTable(2)[0].value, layers.GetTable(2)[1].value), std::pair(uint8_t(1), uint8_t(3)));
    EXPECT_EQ(layers.GetValue(2, 1, 1), 0);
    EXPECT_EQ(std::pair(layers.GetTargetId(2, 0, 0), layers.GetTargetId(2, 2, 2)), std::pair(kept1, kept3));
    // With values 1 and 3 in use, a new id gets 2.
    ASSERT_TRUE(layers.PrimeForEdit(2, MakeId(9, 9, 9, 9)));
    EXPECT_EQ(layers.GetTable(2).back().value, 2);

    // A layer holds at most 255 styles.
    SectorLayers full;
    for (uint32_t i = 0; i < 255; ++i) ASSERT_TRUE(full.PrimeForEdit(5, MakeId(i + 1, 0, 0, 0)));
    test::LogCapture log;
    EXPECT_FALSE(full.PrimeForEdit(5, MakeId(999, 0, 0, 0)));
    EXPECT_TRUE(log.Contains(LogPriority::Error, "255"));
    ASSERT_TRUE(full.PrimeForEdit(0, MakeId(7, 7, 7, 7)));
    full.ValidateMapping(manager);  // without planes: only the tables
    EXPECT_TRUE(full.GetTable(0).empty() && full.GetTable(5).empty());
}

TEST(SectorLayers, BlockStoresCellsColumnByColumnAndIdsInStreamOrder) {
    const UniqueId id = MakeId(1, 2, 3, 4);
    SectorLayers layers;
    layers.Initialize(2, 3);
    layers.PrimeForEdit(0, id);
    layers.Edit(1, 0, true);
    BinaryWriter writer;
    layers.Save(writer);
    const Bytes saved(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
    Bytes golden;
    PutWord(golden, 1);
    PutWord(golden, 6);
    PutWord(golden, 1);
    golden.push_back(1);
    for (uint32_t word : {4u, 3u, 2u, 1u}) PutWord(golden, word);
    for (int layer = 1; layer < 6; ++layer) PutWord(golden, 0);
    PutWord(golden, 2);
    PutWord(golden, 3);
    // x = 0: three cells of six zero bytes; x = 1: cell (1, 0) holds 1 in layer 0.
    golden.insert(golden.end(), 18, 0);
    golden.push_back(1);
    golden.insert(golden.end(), 17, 0);
    EXPECT_EQ(saved, golden);

    SectorLayers loaded;
    BinaryReader reader(saved.data(), uint32_t(saved.size()));
    ASSERT_TRUE(loaded.Load(reader));
    EXPECT_TRUE(reader.IsAtEnd());
    EXPECT_EQ(loaded.GetTargetId(0, 1, 0), id);
    EXPECT_TRUE(loaded.GetTargetId(0, 0, 1).IsNull());
}

// Every cell of every layer painted its own value: a round trip keeps each byte in its cell and
// layer (also in a grid of one cell), and whole-layer edits touch their layer only.
TEST(SectorLayers, EachCellAndLayerKeepsItsOwnByte) {
    for (const auto& [width, height] : {std::pair{5, 3}, std::pair{1, 1}}) {
        SCOPED_TRACE(width);
        // Layer n's table first takes 3 n unused styles, so its cells' values start at 3 n + 1.
        const auto valueAt = [h = height](int layer, int x, int y) { return uint8_t(1 + 3 * layer + x * h + y); };
        const auto expectEvery = [&](const SectorLayers& layers, const auto& expected) {
            for (int layer = 0; layer < SectorLayers::kNumLayers; ++layer)
                for (int x = 0; x < width; ++x)
                    for (int y = 0; y < height; ++y) ASSERT_EQ(layers.GetValue(layer, x, y), expected(layer, x, y));
        };
        SectorLayers layers;
        layers.Initialize(uint32_t(width), uint32_t(height));
        for (int layer = 0; layer < SectorLayers::kNumLayers; ++layer) {
            for (int unused = 0; unused < 3 * layer; ++unused)
                layers.PrimeForEdit(layer, MakeId(100, uint32_t(unused), 0, 0));
            for (int x = 0; x < width; ++x)
                for (int y = 0; y < height; ++y) {
                    ASSERT_TRUE(layers.PrimeForEdit(layer, MakeId(uint32_t(x), uint32_t(y), 1, 0)));
                    layers.Edit(x, y, true);
                }
        }
        BinaryWriter writer;
        layers.Save(writer);
        SectorLayers loaded;
        BinaryReader reader(writer.GetBuffer(), writer.GetPosition());
        ASSERT_TRUE(loaded.Load(reader));
        ASSERT_EQ(loaded.GetWidth(), uint32_t(width));
        ASSERT_EQ(loaded.GetHeight(), uint32_t(height));
        expectEvery(layers, valueAt);
        expectEvery(loaded, valueAt);

        SectorDataManager none;
        loaded.ValidateMapping(none);  // every style is lost: every layer is cleared
        expectEvery(loaded, [](int, int, int) { return 0; });
        layers.PrimeForEdit(2, MakeId(999, 0, 0, 0));
        layers.Fill();
        const uint8_t filled = layers.GetTable(2).back().value;
        expectEvery(layers, [&](int layer, int x, int y) { return layer == 2 ? filled : valueAt(layer, x, y); });
        // Cleared, nothing is primed: painting or erasing in the primed layer writes 0 in layer 0.
        layers.Clear();
        BinaryReader again(writer.GetBuffer(), writer.GetPosition());
        ASSERT_TRUE(layers.Load(again));
        layers.Edit(0, 0, false);
        layers.Edit(0, 0, true);
        expectEvery(layers, [&](int layer, int x, int y) { return layer + x + y == 0 ? 0 : valueAt(layer, x, y); });
    }
}

TEST(SectorLayers, BlocksOfOtherLayerCountsAndDamagedBlocks) {
    const UniqueId id = MakeId(1, 2, 3, 4);
    for (uint32_t count : {4u, 8u}) {
        SCOPED_TRACE(count);
        SectorLayers layers;
        layers.Initialize(2, 3);
        layers.PrimeForEdit(5, id);
        layers.Fill();
        const Bytes block = BuildBlock(count, 7, id);
        BinaryReader reader(block.data(), uint32_t(block.size()));
        ASSERT_TRUE(layers.Load(reader));
        EXPECT_TRUE(reader.IsAtEnd());
        EXPECT_EQ(layers.GetUniqueIdForValue(0, 7), id);
        for (int layer = 0; layer < 4; ++layer) EXPECT_EQ(layers.GetValue(layer, 1, 2), 12 + layer);
        // Layers the block does not hold keep their tables and, at the same size, their cells.
        EXPECT_EQ(layers.GetValue(5, 0, 0), count == 4 ? 1 : 5);
        EXPECT_EQ(layers.GetTable(5).size(), count == 4 ? 1u : 0u);
    }

    const Bytes block = BuildBlock(6, 7, id);
    test::LogCapture log;
    for (size_t size = 0; size < block.size(); ++size) {
        SectorLayers layers;
        layers.Initialize(5, 5);
        layers.PrimeForEdit(1, id);
        layers.Fill();
        BinaryReader reader(block.data(), uint32_t(size));
        EXPECT_FALSE(layers.Load(reader)) << size;
        EXPECT_EQ(layers.GetWidth(), 5u);
        EXPECT_EQ(layers.GetTargetId(1, 4, 4), id);
    }
    Bytes wrongVersion = block;
    wrongVersion[0] = 2;
    Bytes manyEntries = block;
    manyEntries[9] = 3;  // table 0 claims 769 entries
    // Cut right after the first table's entries: the table is whole, what follows is missing.
    for (const auto& [bytes, error] : {std::pair(wrongVersion, "version 2 is not supported"),
                                       std::pair(manyEntries, "table 0 of 769 entries runs past the block"),
                                       std::pair(Bytes(block.begin(), block.begin() + 29), "the block is cut short")}) {
        SectorLayers layers;
        BinaryReader reader(bytes.data(), uint32_t(bytes.size()));
        EXPECT_FALSE(layers.Load(reader));
        EXPECT_FALSE(layers.IsInitialized());
        EXPECT_NE(log.Lines().back().text.find(error), std::string::npos) << error;
    }
}

// The editor's display on the GL device from above, a cell a pixel: two styles side by side in a
// checker of 5-cell blocks counted from the world origin (the region lies at x = 3, z = 2),
// and the border between them.
TEST(SectorLayers, RenderDrawsTheCurrentLayersCellsInACheckerOfTheirColoursAndTheirBorders) {
    test::GLEngineBed bed;
    ASSERT_TRUE(bed.IsReady());
    SectorDataManager manager;
    SectorData* west = manager.NewSectorData(1);
    SectorData* east = manager.NewSectorData(1);
    west->renderColorAlpha = Color(1, 0, 0, 1);
    west->renderColorOmega = Color(0, 1, 0, 1);
    east->renderColorAlpha = Color(0, 0, 1, 1);
    east->renderColorOmega = Color(1, 1, 0, 1);
    manager.SetCurrentLayer(1);
    Region region(ABBox(Vec3(10, 0, 5), Vec3(10, 5, 5)));
    region.SetOffsetFromWorld(IntVec3(3, 0, 2));
    SectorLayers layers;
    layers.SetHeightCallbacks(nullptr, &region);
    layers.Initialize(20, 10);
    ASSERT_TRUE(layers.PrimeForEdit(1, west->id));
    for (int x = 0; x < 10; ++x)
        for (int y = 0; y < 10; ++y) layers.Edit(x, y, true);
    ASSERT_TRUE(layers.PrimeForEdit(1, east->id));
    for (int x = 10; x < 19; ++x)
        for (int y = 0; y < 10; ++y) layers.Edit(x, y, true);
    layers.Edit(0, 9, false);  // borders in the first column and before the last, left unpainted
    for (int x = 4; x < 7; ++x) layers.Edit(x, 0, false);  // and under the first row's middle
    ASSERT_TRUE(layers.PrimeForEdit(0, west->id));
    layers.Edit(15, 2, true);  // another layer: not drawn
    bed.Clear();
    {
        GraphicsPrimitiveDrawer drawer(bed.Canvas());
        drawer.Enable2DMode(Viewport(0, 0, test::GLEngineBed::kWidth, test::GLEngineBed::kHeight));
        layers.Render(drawer, manager);
    }
    const std::vector<uint32_t> pixels = bed.ReadPixels();
    const auto at = [&pixels](int x, int y) { return pixels[size_t(y) * test::GLEngineBed::kWidth + size_t(x)]; };
    EXPECT_EQ(at(0, 0), test::Rgba(255, 0, 0));     // world block (0, 0)
    EXPECT_EQ(at(4, 2), test::Rgba(0, 255, 0));     // world x 7: block (1, 0)
    EXPECT_EQ(at(4, 7), test::Rgba(255, 0, 0));     // block (1, 1)
    EXPECT_EQ(at(13, 2), test::Rgba(255, 255, 0));  // world x 16: block (3, 0)
    EXPECT_EQ(at(17, 2), test::Rgba(0, 0, 255));    // world x 20: block (4, 0)
    EXPECT_EQ(at(17, 8), test::Rgba(0, 0, 255));    // world z 10: block (4, 2)
    EXPECT_EQ(at(17, 7), test::Rgba(255, 255, 0));  // block (4, 1)
    EXPECT_TRUE(at(10, 5) == test::Rgba(255, 255, 255) || at(9, 5) == test::Rgba(255, 255, 255));
    EXPECT_EQ(at(5, 5), test::Rgba(255, 0, 0));  // block (1, 1), no border inside a style
    EXPECT_EQ(at(25, 5), test::Rgba(0, 0, 0));   // beyond the layers
    EXPECT_EQ(at(5, 10), test::Rgba(0, 0, 0));   // below their last row
    const uint32_t white = test::Rgba(255, 255, 255);
    EXPECT_TRUE(at(0, 8) == white || at(0, 9) == white);    // under cell (0, 8)
    EXPECT_NE(at(0, 7), white);
    EXPECT_TRUE(at(5, 0) == white || at(5, 1) == white);
    EXPECT_EQ((at(18, 5) == white) + (at(19, 5) == white) + (at(20, 5) == white), 1);  // right of (18, 5) only
}

}  // namespace
}  // namespace GAME
