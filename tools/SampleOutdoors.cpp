#include "SampleOutdoors.h"

#include "LevelBuilder.h"
#include "SampleData.h"
#include "SampleDecals.h"
#include "SampleTiles.h"

#include "core/Log.h"
#include "core/MathUtil.h"
#include "files/ResourceLoader.h"
#include "files/ResourceManager.h"
#include "scene/GraphicsMesh.h"
#include "terrain/Terrain.h"
#include "terrain/TerrainTile.h"
#include "terrain/Water.h"
#include "terrain/WaterPath.h"
#include "terrain/WaterWaveSet.h"
#include "terrain/WaterType.h"
#include "terrain/WaterTypeManager.h"
#include "world/SectorData.h"
#include "world/SectorDataManager.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

namespace GAME::sample {

namespace {

constexpr float kRegionSize = 64.0f;

float SmoothStep(float edge0, float edge1, float x) {
    const float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

float DistanceToSegment(const Vec2& p, const Vec2& a, const Vec2& b) {
    const Vec2 ab = b - a;
    const float t = std::clamp(((p.x - a.x) * ab.x + (p.y - a.y) * ab.y) / (ab.x * ab.x + ab.y * ab.y), 0.0f, 1.0f);
    const Vec2 d = p - Vec2(a.x + ab.x * t, a.y + ab.y * t);
    return std::sqrt(d.x * d.x + d.y * d.y);
}

float DistanceToRiver(const Vec2& p) {
    float nearest = Infinity;
    for (size_t i = 0; i + 1 < std::size(kRiverCourse); ++i) {
        nearest = std::min(nearest, DistanceToSegment(p, kRiverCourse[i], kRiverCourse[i + 1]));
    }
    return nearest;
}

void ShapeGround(Terrain& terrain, const Vec2& offset) {
    const unsigned samples = terrain.GetNumXSamples();
    for (unsigned z = 0; z < samples; ++z) {
        for (unsigned x = 0; x < samples; ++x) terrain.SetBaseHeight(x, z, WorldGroundHeight(offset.x + float(x), offset.y + float(z)));
    }
    terrain.AddDirtyRect(DirtyRect(0, 0, int(samples), int(samples)));
    terrain.ProcessDirtyRects();
    PaintRockOnSlopes(terrain);
}

// Lake and river types: blue-green, clear in the shallows and deepening to 0.8 over 3 units.
void MakeWaterType(const char* name, const Color& colour) {
    WaterTypeManager& types = WaterTypeManager::Get();
    if (types.IsWaterType(name)) return;
    WaterType::Settings& settings = types.CreateWaterType(name)->EditSettings();
    settings.WaterColor = colour;
    settings.MinDepthOpacity = 0.2f;
    settings.MaxDepth = 3.0f;
}

// The water types live while a water object holds them: the creator's reference is given back
// once the object took its own.
void ReleaseWaterType(const char* name) {
    WaterTypeManager& types = WaterTypeManager::Get();
    const WaterType* type = types.GetWaterType(name);
    types.ReleaseWaterType(type);  // the reference GetWaterType just took
    types.ReleaseWaterType(type);  // and the creator's
}

bool AddWater(LevelBuilder& builder, int region, const Vec2& offset) {
    Level& level = builder.GetLevel();
    auto water = std::make_unique<Water>(level.GetRegion());
    water->InitializeWithoutDevice(unsigned(kRegionSize), unsigned(kRegionSize), level.GetGround());
    bool made = true;
    if (region == kLakeRegion) {
        MakeWaterType("Lake", Color(0.12f, 0.32f, 0.55f, 1.0f));
        WaterLayer* lake = water->AddWaterLayer("Lake", kLakeHeight);
        made = lake != nullptr;
        if (made) lake->UpdateArea(Vec3(kLakeCentre.x - offset.x, kLakeHeight, kLakeCentre.y - offset.y), 24.0f, true);
        made = made && lake->GetNumBlocks() > 0;
        ReleaseWaterType("Lake");
        // Shore waves over a quarter of the shore, north-west of the centre, three units wide.
        WaterWaveSet* waves = nullptr;
        for (int i = 0; i < 3 && (i == 0 || waves); ++i) {
            const float angle = Pi * (1.0f + 0.25f * float(i));
            const Vec2 along(-std::sin(angle), std::cos(angle));  // the shore's direction, a third of a step
            const float handle = kLakeWavesRadius * Pi * 0.25f / 3.0f;
            ControlPoint point{kLakeCentre.x - offset.x + kLakeWavesRadius * std::cos(angle),
                               kLakeCentre.y - offset.y + kLakeWavesRadius * std::sin(angle),
                               along.x * handle,
                               along.y * handle,
                               0.0f,
                               0.0f,
                               3.0f};
            point.UpdateNormal();
            if (i == 0) {
                waves = water->AddWaveSet(kLakeHeight, point);
            } else {
                waves->AddControlPoint(point);
            }
        }
        made = made && waves != nullptr;
    } else {
        MakeWaterType("River", Color(0.15f, 0.4f, 0.5f, 1.0f));
        WaterPath* river = nullptr;
        for (size_t i = 0; i < std::size(kRiverCourse); ++i) {
            // Handles along the course, a third of the way to the neighbouring points.
            const Vec2 before = kRiverCourse[i == 0 ? i : i - 1];
            const Vec2 after = kRiverCourse[i + 1 < std::size(kRiverCourse) ? i + 1 : i];
            ControlPoint point{kRiverCourse[i].x - offset.x, kRiverCourse[i].y - offset.y, (after.x - before.x) / 3.0f,
                               (after.y - before.y) / 3.0f, 0.0f, 0.0f, kRiverHalfWidth};
            point.UpdateNormal();
            if (i == 0) {
                river = water->AddWaterPath("River", kRiverHeight, point);
            } else if (river) {
                river->AddControlPoint(point);
            }
        }
        made = river != nullptr;
        ReleaseWaterType("River");
    }
    if (!made) {
        Log(LogPriority::Error, "Sample data: the water of region %d could not be made", region);
        return false;
    }
    level.SetWater(std::move(water));
    return true;
}

bool AddScorchMarks(LevelBuilder& builder, const Vec2& offset) {
    for (int i = 0; i < kScorchMarks; ++i) {
        const float angle = 2.0f * Pi * float(i) / float(kScorchMarks);
        const float x = kMarksCentre.x - offset.x + 5.0f * std::cos(angle);
        const float z = kMarksCentre.y - offset.y + 5.0f * std::sin(angle);
        // Dropped onto the ground from just above it.
        const Vec3 position(x, builder.GetLevel().GetGroundHeight(x, z) + 0.5f, z);
        if (!builder.AddEntity(kScorchMarkRecord, Coords::Translation(position) * Coords::RotationY(angle))) return false;
    }
    return true;
}

// The slab is a flat tile on rolling ground: it rests on the highest ground under it (sampled a
// half unit apart), so the ground nowhere covers its top.
//
// The generator runs without a graphics engine, so the slab's entity holds no mesh and its terrain
// tile no outline. A terrain tile of the mesh read here (without device resources) cuts the outline
// into the ground: the rebuild hides the samples under the slab, pulls the ground around it to its
// foot and closes the seam with plugs, all of which the run-time block keeps. That tile then leaves
// without marking the ground again.
bool AddPavingSlab(LevelBuilder& builder, FileSystem& files, Terrain& terrain, const Vec2& offset) {
    const float x = kSlabCentre.x - offset.x, z = kSlabCentre.y - offset.y;
    float rest = -Infinity;
    for (float dz = -kTileHalfSize; dz <= kTileHalfSize; dz += 0.5f) {
        for (float dx = -kTileHalfSize; dx <= kTileHalfSize; dx += 0.5f)
            rest = std::max(rest, builder.GetLevel().GetGroundHeight(x + dx, z + dz));
    }
    const Coords placed = Coords::Translation(Vec3(x, rest, z));
    if (!builder.AddEntity(kTileRecord, placed)) return false;
    ResourceLoader loader(files);
    ResourceManager<GraphicsMesh> meshes(loader);
    const GraphicsMesh* mesh = meshes.LoadResource(kTileMesh);
    TerrainTile* cut = terrain.CreateTile(placed, mesh);
    const bool attached = cut->GetAttached() && cut->GetNumContours() > 0;
    terrain.ProcessDirtyRects();
    cut->SetAttached(false);
    terrain.DestroyTile(cut);
    meshes.UnloadResource(mesh);
    if (!attached) Log(LogPriority::Error, "Sample data: the paving slab could not be cut into the ground");
    return attached;
}

}  // namespace

float WorldGroundHeight(float x, float z) {
    float height = kWorldGroundHeight + 1.5f * std::sin(x * 0.07f) * std::cos(z * 0.05f) + 0.6f * std::sin((x + 2.0f * z) * 0.11f);
    // The lake's basin, 3 below its surface in the middle, its shore about 16 out.
    const Vec2 fromLake = Vec2(x, z) - kLakeCentre;
    const float lake = std::sqrt(fromLake.x * fromLake.x + fromLake.y * fromLake.y);
    height = kLakeHeight - 3.0f + (height - kLakeHeight + 3.0f) * SmoothStep(8.0f, 22.0f, lake);
    // The river's channel, 2 below its surface along the course.
    height = kRiverHeight - 2.0f + (height - kRiverHeight + 2.0f) * SmoothStep(2.0f, 9.0f, DistanceToRiver(Vec2(x, z)));
    return height;
}

WorldStyles MakeWorldStyles(SectorDataManager& styles) {
    SectorData* dayNight = styles.NewSectorData(SectorDataManager::kDayNightCycle);
    dayNight->name = "Sample Day";
    auto* name = static_cast<NameSectorData*>(styles.NewSectorData(SectorDataManager::kName));
    name->name = "Sample Vale";
    name->tag = "tagSampleGreeting";
    auto* bloom = static_cast<BloomSectorData*>(styles.NewSectorData(SectorDataManager::kBloom));
    bloom->name = "Sample Glow";
    bloom->values[0] = kFireBloom.x;
    bloom->values[1] = kFireBloom.y;
    bloom->values[2] = kFireBloom.z;
    return WorldStyles{dayNight->id, name->id, bloom->id};
}

bool DressWorldRegion(LevelBuilder& builder, FileSystem& files, int region, const Vec2& offset,
                      const WorldStyles& styles) {
    Terrain* terrain = builder.MakeTerrain();
    if (!terrain || !terrain->AddLayer(kGrassTerrainType) || !terrain->AddLayer(kRockTerrainType)) return false;
    ShapeGround(*terrain, offset);
    if ((region == kLakeRegion || region == kRiverRegion) && !AddWater(builder, region, offset)) return false;
    if (region == kMarksRegion && !AddScorchMarks(builder, offset)) return false;
    if (region == kSlabRegion && !AddPavingSlab(builder, files, *terrain, offset)) return false;
    const int side = int(kRegionSize);
    builder.PaintSector(SectorDataManager::kDayNightCycle, styles.dayNight, 0, 0, side, side);
    builder.PaintSector(SectorDataManager::kName, styles.name, 0, 0, side, side);
    if (region == kMarksRegion) {
        const int x = int(kMarksCentre.x - offset.x), z = int(kMarksCentre.y - offset.y);
        builder.PaintSector(SectorDataManager::kBloom, styles.bloom, x - kFireBloomReach, z - kFireBloomReach,
                            x + kFireBloomReach, z + kFireBloomReach);
    }
    return true;
}

void PaintRockOnSlopes(Terrain& terrain) {
    const unsigned samples = terrain.GetNumXSamples();
    for (unsigned z = 0; z + 1 < samples; ++z) {
        for (unsigned x = 0; x + 1 < samples; ++x) {
            const float steep = 1.0f - terrain.GetNormalInterpolated(float(x) + 0.5f, float(z) + 0.5f).y;
            terrain.SetLayerOpacity(1, x, z, uint8_t(std::clamp((steep - 0.02f) * 4000.0f, 0.0f, 255.0f)));
        }
    }
    terrain.UpdateLayerOpacity(1);
    terrain.AddOpacityDirtyRect(DirtyRect(0, 0, int(samples - 1), int(samples - 1)));
    terrain.ProcessDirtyOpacityRects();
}

}  // namespace GAME::sample
