#include "LevelBuilder.h"

#include "core/Log.h"
#include "core/MathUtil.h"
#include "core/Random.h"
#include "engine/ObjectManager.h"
#include "files/BinaryWriter.h"
#include "files/FileSystem.h"
#include "terrain/Terrain.h"

namespace GAME {

LevelBuilder::LevelBuilder(TableDepot& records, const Vec2& halfSize)
    : halfSize_(halfSize),
      region_(nullptr, 0, "Generated", ABBox(Vec3(halfSize.x, 0.0f, halfSize.y), Vec3(halfSize.x, 50.0f, halfSize.y)),
              IntVec3(), RegionId()),
      level_(&region_) {
    Singleton<ObjectManager>::Get()->SetTableDepot(&records);
    level_.NewSpace(halfSize);
    level_.GetSectorLayers().Initialize(uint32_t(2.0f * halfSize.x), uint32_t(2.0f * halfSize.y));
}

LevelBuilder::~LevelBuilder() {
    level_.Unload(false);
    ObjectManager* objects = Singleton<ObjectManager>::Get();
    objects->DestroyPendingObjects(-1);
    objects->SetTableDepot(nullptr);
}

bool LevelBuilder::AddEntity(const std::string& record, const Coords& coords) {
    Entity* entity = Singleton<ObjectManager>::Get()->CreateObjectFromFile<Entity>(record);
    if (!entity) {
        Log(LogPriority::Error, "Level builder: %s makes no entity", record.c_str());
        return false;
    }
    return level_.AddEntity(entity, coords);
}

int LevelBuilder::Scatter(const std::vector<std::string>& records, int count, uint32_t seed) {
    if (records.empty()) return 0;
    SeedRand15(seed);
    int placed = 0;
    for (int i = 0; i < count; ++i) {
        const float x = Rand15Float() * 2.0f * halfSize_.x;
        const float z = Rand15Float() * 2.0f * halfSize_.y;
        const Vec3 position(x, level_.GetGroundHeight(x, z), z);
        const Coords coords = Coords::Translation(position) * Coords::RotationY(Rand15Float() * 2.0f * Pi);
        if (AddEntity(records[size_t(i) % records.size()], coords)) ++placed;
    }
    return placed;
}

Terrain* LevelBuilder::MakeTerrain() {
    auto terrain = std::make_unique<Terrain>(&region_);
    if (!terrain->New(unsigned(2.0f * halfSize_.x), unsigned(2.0f * halfSize_.y))) return nullptr;  // logged
    Terrain* made = terrain.get();
    level_.SetGround(std::move(terrain));
    return made;
}

void LevelBuilder::PaintSector(int layer, const UniqueId& style, int x0, int z0, int x1, int z1) {
    SectorLayers& layers = level_.GetSectorLayers();
    if (!layers.PrimeForEdit(layer, style)) return;
    for (int z = z0; z < z1; ++z)
        for (int x = x0; x < x1; ++x) layers.Edit(x, z, true);
}

bool LevelBuilder::Save(FileSystem& files, const std::string& name, bool runTime) const {
    BinaryWriter writer(1024);
    Write(writer, runTime);
    return !writer.Failed() && files.SaveFile(name, writer.GetBuffer(), writer.GetPosition());
}

}  // namespace GAME
