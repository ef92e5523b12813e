#include "LevelFixture.h"

#include "engine/ObjectManager.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "files/LoadTable.h"
#include "world/Level.h"
#include "world/Region.h"

namespace GAME::test {

GAME_RTTI_DEFINE_CLASS(LevelTestEntity, Entity);
GAME_RTTI_DEFINE_CLASS(LevelStateEntity, LevelTestEntity);
GAME_RTTI_DEFINE_CLASS(LevelServerEntity, LevelTestEntity);
GAME_RTTI_DEFINE_CLASS(LevelUniqueEntity, LevelStateEntity);

Region* AddLoadedRegion(World& world, const std::string& name, const IntVec3& offset, float size) {
    Region* region = world.GetRegion(world.AddRegion(name, offset, ABBox(), RegionId()));
    SetNewLevel(region, size);
    return region;
}

void SetNewLevel(Region* region, float size) {
    auto level = std::make_unique<Level>(region);
    level->NewSpace(Vec2(size, size));
    level->PostLoad(false);
    region->SetLevel(std::move(level));
}

bool LevelTestEntity::Load(const LoadTable& table) {
    extra = table.GetValue("extra", "");
    return true;
}

bool LevelTestEntity::Read(BinaryReader& reader) {
    if (readHook) readHook();
    return reader.ReadString(extra);
}

void LevelTestEntity::Write(BinaryWriter& writer) const {
    if (!extra.empty()) writer.Write(extra);
}

void LevelTestEntity::UpdateBoundingBox() {
    SetRegionBoundingBox(ABBox(GetCoords().GetOrigin().GetRegionPosition(), Vec3(0.5f, 0.5f, 0.5f)), false);
}

bool LevelTestEntity::PreLoad(int, bool) {
    ++preloads;
    return true;
}

void LevelTestEntity::UpdateSelf(int) {
    WorldCoords coords = GetCoords();
    coords.Translate(step);
    SetCoords(coords);
    UpdateBoundingBox();
}

void LevelStateEntity::SaveState(BinaryWriter& writer) const { writer.Write(value); }

void LevelStateEntity::UpdateBoundingBox() {
    SetRegionBoundingBox(ABBox(GetCoords().GetOrigin().GetRegionPosition(), Vec3(0.5f, 0.5f + float(value), 0.5f)),
                         false);
}

bool LevelStateEntity::RestoreState(BinaryReader& reader) {
    value = reader.ReadUInt32();
    return !reader.Failed();
}

LevelRecords::LevelRecords() {
    directory_.WriteFile(kPlainRecord, "Class,LevelTestEntity,\n");
    directory_.WriteFile(kStateRecord, "Class,LevelStateEntity,\nextra,stated,\n");
    directory_.WriteFile(kServerRecord, "Class,LevelServerEntity,\n");
    directory_.WriteFile(kUniqueRecord, "Class,LevelUniqueEntity,\n");
    directory_.WriteFile(kTallGridRecord, "Class,GridSystem,\ncellSpacingX,1,\ncellSpacingY,2.25,\ncellSpacingZ,1,\n");
    fileSystem_.AddDirectory(directory_.GetPath());
    depot_ = std::make_unique<TableDepot>(fileSystem_);
    Singleton<ObjectManager>::Get()->SetTableDepot(depot_.get());
    region_ = world_.Add("Level", ABBox(Vec3(100, 0, 100), Vec3(100, 50, 100)), IntVec3(0, 0, 0));
}

LevelRecords::~LevelRecords() {
    Flush();
    Singleton<ObjectManager>::Get()->SetTableDepot(nullptr);
}

template <class T>
T* LevelRecords::Make(const char* record) {
    return Singleton<ObjectManager>::Get()->CreateObjectFromFile<T>(record);
}
template LevelTestEntity* LevelRecords::Make<LevelTestEntity>(const char*);
template LevelStateEntity* LevelRecords::Make<LevelStateEntity>(const char*);

int LevelRecords::Flush() {
    ObjectManager* objects = Singleton<ObjectManager>::Get();
    objects->DestroyPendingObjects(-1);
    return objects->GetNumObjects();
}

}  // namespace GAME::test
