// The editable terrain's passability and hidden samples: slopes, painting, the level's impassable
// data both ways, and shapes rasterised onto the grid.

#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <utility>

#include "core/SimplePolygon.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "pathing/ImpassableData.h"
#include "support/LogCapture.h"
#include "terrain/Terrain.h"

namespace GAME::test {
namespace {

using Cells = std::set<std::pair<int, int>>;

// The impassable cells of a terrain.
Cells Impassable(const Terrain& terrain) {
    Cells cells;
    for (unsigned z = 0; z + 1 < terrain.GetNumYSamples(); ++z) {
        for (unsigned x = 0; x + 1 < terrain.GetNumXSamples(); ++x) {
            if (terrain.IsImpassable(x, z)) cells.emplace(x, z);
        }
    }
    return cells;
}

Cells Square(int x0, int z0, int x1, int z1) {
    Cells cells;
    for (int z = z0; z <= z1; ++z) {
        for (int x = x0; x <= x1; ++x) cells.emplace(x, z);
    }
    return cells;
}

SimplePolygon Outline(std::initializer_list<std::pair<float, float>> points) {
    mem::vector<SimplePolygon::Vertex> vertices;
    for (const auto& [x, z] : points) vertices.push_back(SimplePolygon::Vertex{x, z, 0.0f, {}});
    return SimplePolygon(std::move(vertices));
}

// Marks the cells a rasterised shape reports impassable.
class MakeImpassable final : public TerrainRasterizeCallback {
public:
    explicit MakeImpassable(Terrain& terrain) : terrain_(terrain) {}
    void operator()(int x, int z) override { terrain_.SetPassable(unsigned(x), unsigned(z), 2); }

private:
    Terrain& terrain_;
};

TEST(TerrainPassabilityTest, SlopesHiddenCornersAndPaintedModes) {
    Terrain terrain(nullptr);
    ASSERT_TRUE(terrain.New(16, 16));
    terrain.PathingFirstPass();
    EXPECT_TRUE(Impassable(terrain).empty());

    // A corner 1.0 up lies 0.75 above its cells' mean; 0.4 up only 0.3.
    terrain.SetBaseHeight(5, 5, 1.0f);
    terrain.SetBaseHeight(10, 10, 0.4f);
    terrain.PathingFirstPass();
    EXPECT_EQ(Impassable(terrain), Square(4, 4, 5, 5));
    // A cell whose first corner is hidden is passable however steep.
    terrain.SetInvisible(5, 5, true);
    terrain.PathingFirstPass();
    EXPECT_EQ(Impassable(terrain), (Cells{{4, 4}, {5, 4}, {4, 5}}));

    terrain.SetPassable(4, 4, 1);
    terrain.SetPassable(0, 0, 2);
    terrain.SetPassable(5, 4, 0);
    terrain.SetPassable(16, 0, 2);  // no such cell
    EXPECT_EQ(Impassable(terrain), (Cells{{0, 0}, {5, 4}, {4, 5}}));
    EXPECT_TRUE(terrain.IsImpassable(16, 0));
    EXPECT_FALSE(terrain.IsInvisible(-1, 0) || terrain.IsInvisible(17, 0));
}

TEST(TerrainPassabilityTest, ImpassableDataRoundTripsAndAForeignGridIsRefused) {
    Terrain terrain(nullptr);
    ASSERT_TRUE(terrain.New(16, 8));
    terrain.SetPassable(3, 2, 2);
    terrain.SetPassable(15, 7, 2);
    ImpassableData data;
    terrain.GetImpassableData(data);
    EXPECT_EQ(data.GetCellsX(), 16u);
    EXPECT_EQ(data.GetCellsY(), 8u);
    BinaryWriter writer;
    data.Save(writer);
    BinaryReader reader(writer.GetBuffer(), writer.GetPosition());
    ImpassableData loaded;
    ASSERT_TRUE(loaded.Load(reader));

    Terrain copy(nullptr);
    ASSERT_TRUE(copy.New(16, 8));
    copy.SetImpassableData(ImpassableData());  // never loaded: nothing changes
    EXPECT_TRUE(Impassable(copy).empty());
    copy.SetImpassableData(loaded);
    EXPECT_EQ(Impassable(copy), (Cells{{3, 2}, {15, 7}}));

    ImpassableData other;
    other.Prime(8, 16);
    LogCapture log;
    copy.SetImpassableData(other);
    EXPECT_EQ(Impassable(copy), (Cells{{3, 2}, {15, 7}}));
    EXPECT_EQ(log.Count(LogPriority::Warning), 1u);
    // An empty terrain writes an empty grid.
    copy.Unload();
    copy.GetImpassableData(other);
    EXPECT_EQ(other.GetCellsX() + other.GetCellsY(), 0u);
}

TEST(TerrainPassabilityTest, RasterisedShapesMarkExactlyTheirCellsAndSamples) {
    Terrain terrain(nullptr);
    ASSERT_TRUE(terrain.New(32, 32));
    // A square of samples 10..14, counter-clockwise seen from above: its corners move 0.35 out
    // diagonally, so rows and columns 9.65..14.35 are covered and truncation takes 9 to 14.
    const SimplePolygon square = Outline({{10, 10}, {10, 14}, {14, 14}, {14, 10}});
    MakeImpassable impassable(terrain);
    terrain.Rasterize(square, impassable);
    EXPECT_EQ(Impassable(terrain), Square(9, 9, 14, 14));
    ImpassableData data;
    terrain.GetImpassableData(data);
    for (unsigned z = 0; z < 32; ++z) {
        for (unsigned x = 0; x < 32; ++x) EXPECT_EQ(data.GetImpassable(x, z), Square(9, 9, 14, 14).count({int(x), int(z)}));
    }

    // A triangle reaches over the whole strip of each row: row 20 covers x from the slanted edge
    // at z = 20 to the one at z = 21.
    terrain.MakeInvisible(Outline({{20, 16}, {20, 24}, {28, 24}}));
    Cells hidden;
    for (int z = 0; z < 33; ++z) {
        for (int x = 0; x < 33; ++x) {
            if (terrain.IsInvisible(x, z)) hidden.emplace(x, z);
        }
    }
    for (const auto& [x, z, isHidden] :
         {std::tuple{19, 16, true}, {24, 20, true}, {26, 20, false}, {28, 24, true}, {20, 14, false}})
        EXPECT_EQ(hidden.count({x, z}) != 0, isHidden) << x << ", " << z;
    for (const auto& [x, z] : hidden) {
        // Each hidden sample lies within a unit of the triangle x >= 20, z <= 24, x - 20 <= z - 16.
        EXPECT_TRUE(x >= 19 && z <= 25 && x - 20 <= z - 16 + 2) << x << ", " << z;
    }

    // Outlines with fewer than three corners, not-a-number corners or any size never hang and
    // report nothing outside the grid.
    Terrain fresh(nullptr);
    ASSERT_TRUE(fresh.New(32, 32));
    fresh.MakeInvisible(Outline({{3, 3}, {9, 9}}));
    fresh.MakeInvisible(Outline({{3, 3}, {std::numeric_limits<float>::quiet_NaN(), 9}, {9, 3}}));
    EXPECT_FALSE(fresh.IsInvisible(5, 4));
    fresh.MakeInvisible(Outline({{-1e30f, -1e30f}, {-1e30f, 1e30f}, {1e30f, 1e30f}, {1e30f, -1e30f}}));
    EXPECT_TRUE(fresh.IsInvisible(0, 0));
    EXPECT_TRUE(fresh.IsInvisible(32, 32));
}

}  // namespace
}  // namespace GAME::test
