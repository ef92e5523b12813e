#pragma once
// The sample world's outdoors. The world is six regions of 64 x 64 units, three by two: region i
// lies at (64 (i % 3), 0, 64 (i / 3)) in the world and is named by its level file
// ("Levels/World/Region<i>.lvl"). Over them:
// - one height field for the whole world, so the terrains of neighbouring regions meet: rolling
//   ground about kWorldGroundHeight high, grass with rock on the steep slopes;
// - a lake in Region1: a basin around kLakeCentre (world) under a water layer at kLakeHeight,
//   with shore waves running in along its north-west shore (kLakeWavesRadius from the centre);
// - a river in Region4: a channel along kRiverCourse (world) under a water path at kRiverHeight;
// - permanent scorch marks (SampleDecals.h) on the ground in a ring around kMarksCentre
//   (world, in Region0, around the fire there);
// - a paving slab (the sample tile, SampleTiles.h) centred on kSlabCentre (world, in Region0,
//   beside the fire), resting on the highest ground under it, its outline cut into the ground:
//   the samples under it hidden, the ground around pulled to its foot and the seam closed with
//   plugs;
// - the world's sector styles: a day/night cycle and a place name painted over every region, and
//   a bloom style (kFireBloom) painted kFireBloomReach units around the fire, so the glow of its
//   flames shows when the camera looks at it.
// The water is made without a device (the generator has none) and saved in the levels' water
// chunk; its types ("Lake", "River") are stored with it.

#include <cstdint>

#include "core/UniqueId.h"
#include "core/Vec2.h"
#include "core/Vec3.h"

namespace GAME {
class FileSystem;
class LevelBuilder;
class SectorDataManager;
class Terrain;
}  // namespace GAME

namespace GAME::sample {

constexpr float kWorldGroundHeight = 5.0f;
constexpr int kLakeRegion = 1;
constexpr Vec2 kLakeCentre(96.0f, 32.0f);
constexpr float kLakeHeight = 3.0f;
constexpr float kLakeWavesRadius = 13.0f;
constexpr int kRiverRegion = 4;
constexpr Vec2 kRiverCourse[3] = {Vec2(74.0f, 88.0f), Vec2(96.0f, 96.0f), Vec2(118.0f, 104.0f)};
constexpr float kRiverHeight = 3.0f;
constexpr float kRiverHalfWidth = 4.0f;
constexpr int kMarksRegion = 0;
constexpr Vec2 kMarksCentre(12.0f, 8.0f);
constexpr int kScorchMarks = 6;
constexpr int kSlabRegion = 0;
constexpr Vec2 kSlabCentre(21.0f, 13.0f);
// The fire's bloom: threshold, blur strength and saturation; the cells it covers either way.
constexpr Vec3 kFireBloom(0.15f, 1.5f, 1.0f);
constexpr int kFireBloomReach = 6;

// The ground's height at a world position (x, z).
float WorldGroundHeight(float x, float z);

// The styles painted over the world.
struct WorldStyles {
    UniqueId dayNight;
    UniqueId name;
    UniqueId bloom;
};
// Adds the world's styles to the manager.
WorldStyles MakeWorldStyles(SectorDataManager& styles);

// Gives the level of the region at the world offset (x, z) its terrain, water, marks and slab and
// paints the styles over it; false, with the failure logged, when any cannot be made. The slab's
// mesh is read from the files (written before).
bool DressWorldRegion(LevelBuilder& builder, FileSystem& files, int region, const Vec2& offset,
                      const WorldStyles& styles);

// Rock over the steep cells of a shaped terrain, grass elsewhere (the terrain has the two layers).
void PaintRockOnSlopes(Terrain& terrain);

}  // namespace GAME::sample
