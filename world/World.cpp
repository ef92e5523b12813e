#include "world/World.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "core/CriticalSectionLock.h"
#include "core/EventManager.h"
#include "core/GameEvent.h"
#include "core/Log.h"
#include "core/Singleton.h"
#include "engine/Engine.h"
#include "engine/Entity.h"
#include "engine/ObjectManager.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "files/File.h"
#include "files/FileSystem.h"
#include "files/Options.h"
#include "pathing/Path.h"
#include "pathing/PathFinder.h"
#include "render/GraphicsEngine.h"
#include "world/AmbianceManager.h"
#include "world/FogOfWar.h"
#include "world/GraphicsWarmUp.h"
#include "world/InstanceGroupStore.h"
#include "world/Level.h"
#include "world/LevelDecals.h"
#include "world/PhysicsGrassWind.h"
#include "world/Region.h"
#include "world/RegionConnectivity.h"
#include "world/RegionRecord.h"
#include "world/SectorDataManager.h"
#include "world/WorldFile.h"
#include "world/WorldFrustum.h"
#include "world/WorldGrid.h"

namespace GAME {

World::World() = default;

World::~World() { Unload(); }

void World::Unload() {
    // The ambiance names, music and viewer belong to the places of this world.
    if (gEngine != nullptr && gEngine->GetAmbianceManager() != nullptr) gEngine->GetAmbianceManager()->Reset();
    questFiles_.clear();
    spawnPoints_.clear();
    instanceData_.clear();
    if (instanceGroups_) instanceGroups_->Clear();
    ClearRegions();
    regionsLoaded_ = false;
    connectivityBuilt_ = false;
    CriticalSectionLock lock(mapFileLock_);
    if (mapFile_ && gEngine && gEngine->GetFileSystem()) gEngine->GetFileSystem()->CloseFile(mapFile_);
    mapFile_ = nullptr;
}

void World::ClearRegions() {
    for (const std::unique_ptr<Region>& region : regions_) {
        if (Level* level = region->GetLevel()) level->DestroyAllEntities(-1);
    }
    grid_.reset();
    regionIndex_.clear();
    // Regions go one by one from the back, so a portal that asks for its connected region while
    // its own is destroyed finds either a whole region or none.
    while (!regions_.empty()) regions_.pop_back();
    loadedRegions_.clear();
    worldBox_ = ABBox();
}

bool World::Load(const char* fileName, bool buildConnectivity, bool strictMapVersion) {
    Unload();
    fileName_ = fileName ? fileName : "";
    FileSystem* files = gEngine ? gEngine->GetFileSystem() : nullptr;
    // A save of the world and its sector data that a crash stopped half way is finished first.
    if (files && !files->FinishSave(fileName_)) {
        Log(LogPriority::Error, "World file %s cannot be loaded: its last save could not be finished",
            fileName_.c_str());
        return false;
    }
    File* file = files ? files->OpenFile(fileName_, FileMode::Read) : nullptr;
    if (!file) {
        Log(LogPriority::Error, "World file %s cannot be opened", fileName_.c_str());
        return false;
    }
    // Sector styles load by appending: a new world starts from none.
    gEngine->GetSectorDataManager()->Clear();
    char header[4] = {};
    if (const void* bytes = file->Lock(0, 4)) std::memcpy(header, bytes, 4);
    file->Unlock();
    if (IsValidMapFile(header, strictMapVersion)) {
        {
            CriticalSectionLock lock(mapFileLock_);
            mapFile_ = file;
        }
        if (!LoadMap()) {
            Unload();
            return false;
        }
        if (buildConnectivity) BuildConnectivity();
        SendWorldLoaded();
        return true;
    }
    const bool worldFile = IsValidWorldFile(header);
    if (!worldFile) {
        Log(LogPriority::Error, "%s is neither a world file nor a map file this engine reads", fileName_.c_str());
    }
    const bool loaded = worldFile && LoadWorldFile(file);
    files->CloseFile(file);
    if (!loaded) {
        Unload();
        return false;
    }
    SendWorldLoaded();
    return true;
}

void World::SendWorldLoaded() {
    const GameEvent loaded(kWorldLoadedEvent);
    Singleton<EventManager>::Get()->Send(&loaded, kWorldLoadedEvent);
}

bool World::LoadWorldFile(File* file) {
    // Each failure names the file and what of it failed; the readers log the details before.
    const auto fail = [this](const char* what, const std::string& detail) {
        Log(LogPriority::Error, "World file %s cannot be loaded: %s%s", fileName_.c_str(), what, detail.c_str());
        return false;
    };
    // A world without its sector data still loads: the editor makes the file on the first save.
    const std::string sectorData = GetSectorDataFileName(fileName_);
    SectorDataManager* sectors = gEngine->GetSectorDataManager();
    if (gEngine->GetFileSystem()->DoesFileExist(sectorData) && !sectors->Load(sectorData.c_str()))
        return fail("its sector data file is damaged or cut short: ", sectorData);
    const void* bytes = file->Lock();
    BinaryReader reader(bytes, bytes ? file->GetLength() : 0);
    WorldFile world;
    const bool parsed = world.Read(reader);
    file->Unlock();
    if (!parsed) return fail("it is damaged or cut short", "");
    questFiles_ = world.GetQuestFiles();
    for (const RegionRecord& record : world.GetRegions()) {
        GetRegion(AddRegion(record.name, record.offset, record.box, record.id))->SetZoneRecord(record.zoneRecord);
    }
    if (world.HasIconData()) {
        BinaryReader icons(world.GetIconData().data(), uint32_t(world.GetIconData().size()));
        for (const std::unique_ptr<Region>& region : regions_) {
            if (!region->LoadRegionIcon(icons)) return fail("the icon of region ", region->GetName());
        }
    }
    if (!world.GetInstanceData().empty()) {
        BinaryReader instances(world.GetInstanceData().data(), uint32_t(world.GetInstanceData().size()));
        if (!LoadInstanceGroups(instances)) return fail("its instance groups (chunk 17) are damaged", "");
    }
    return true;
}

bool World::LoadInstanceGroups(BinaryReader& reader) {
    if (instanceGroups_) return instanceGroups_->Load(reader, fileName_.c_str());
    instanceData_.assign(reader.GetCursor(), reader.GetCursor() + reader.GetRemaining());
    return true;
}

bool World::Save() const {
    FileSystem* files = gEngine ? gEngine->GetFileSystem() : nullptr;
    if (!files) return false;
    mem::vector<RegionRecord> records;
    for (const std::unique_ptr<Region>& region : regions_) {
        records.push_back(RegionRecord{region->GetName(), region->GetZoneRecord(), region->GetBoundingBox(),
                                       region->GetOffsetFromWorld(), region->GetId()});
    }
    BinaryWriter writer(kSaveBufferSize);
    WorldFile::Write(
        writer, questFiles_, records,
        [this](BinaryWriter& out) {
            for (const std::unique_ptr<Region>& region : regions_) region->SaveRegionIcon(out);
        },
        [this](BinaryWriter& out) {
            if (instanceGroups_) {
                instanceGroups_->Save(out);
            } else if (!instanceData_.empty()) {
                out.Write(instanceData_.data(), uint32_t(instanceData_.size()));
            }
        });
    BinaryWriter sectors(1024);
    gEngine->GetSectorDataManager()->Save(sectors);
    if (writer.Failed() || sectors.Failed()) return false;  // logged by the writer
    // One save: whatever stops it, the next load finds both files as they were or both new.
    return files->SaveFiles({{fileName_, writer.GetBuffer(), writer.GetPosition()},
                             {GetSectorDataFileName(fileName_), sectors.GetBuffer(), sectors.GetPosition()}});
}

std::string World::GetSectorDataFileName(const std::string& worldFileName) {
    const size_t slash = worldFileName.find_last_of("/\\");
    const size_t dot = worldFileName.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? worldFileName.substr(0, dot) : worldFileName) + ".sd";
}

// Regions.

Region* World::GetRegion(int index) const {
    return index >= 0 && index < GetNumRegions() ? regions_[size_t(index)].get() : nullptr;
}

int World::GetRegionIndex(const Region* region) const {
    for (size_t i = 0; i < regions_.size(); ++i) {
        if (regions_[i].get() == region) return int(i);
    }
    return -1;
}

int World::GetRegionIndex(const RegionId& id) const {
    const auto found = regionIndex_.find(id);
    return found == regionIndex_.end() ? -1 : found->second;
}

Region* World::GetRegionById(const RegionId& id) { return GetRegion(GetRegionIndex(id)); }

int World::GetLevelRegion(const Level* level) const {
    return level && level->GetRegion() ? GetRegionIndex(level->GetRegion()) : -1;
}

Level* World::GetRegionLevel(int index) const {
    const Region* region = GetRegion(index);
    return region ? region->GetLevel() : nullptr;
}

Level* World::GuaranteedGetRegionLevel(int index) const {
    Region* region = GetRegion(index);
    return region ? region->GuaranteedGetLevel(false) : nullptr;
}

std::string World::GetRegionName(int index) const {
    const Region* region = GetRegion(index);
    return region ? region->GetName() : std::string();
}

void World::SetRegionName(int index, const std::string& name) {
    if (Region* region = GetRegion(index)) region->SetName(name);
}

void World::UnloadLevel(int index, bool keepState) {
    if (Region* region = GetRegion(index)) region->UnloadLevel(keepState, false);
}

int World::AppendRegion(std::unique_ptr<Region> region) {
    const int index = GetNumRegions();
    region->SetIndex(index);
    regionIndex_[region->GetId()] = index;
    regions_.push_back(std::move(region));
    // The grid and the connected lists describe the regions as they were.
    grid_.reset();
    return index;
}

int World::AddRegion(std::unique_ptr<Level> level, const IntVec3& offset) {
    const ABBox box = level ? level->GetBoundingBox() : ABBox(Vec3(), Vec3(100.0f, 100.0f, 100.0f));
    auto region = std::make_unique<Region>(this, GetNumRegions(), "Unnamed", box, offset, RegionId());
    Region* added = region.get();
    const int index = AppendRegion(std::move(region));
    added->SetLevel(std::move(level));
    return index;
}

int World::AddRegion(const std::string& name, const IntVec3& offset, const ABBox& box, const RegionId& id) {
    return AppendRegion(std::make_unique<Region>(this, GetNumRegions(), name, box, offset, id));
}

int World::AddRegion(const std::string& name, const IntVec3& offset) {
    const int index = AddRegion(name, offset, ABBox(Vec3(), Vec3()), RegionId());
    if (regions_[size_t(index)]->LoadLevel(false)) return index;
    Log(LogPriority::Error, "Couldn't load %s\n", name.c_str());
    RemoveRegion(index);
    return -1;
}

void World::RemoveRegion(int index) {
    Region* removed = GetRegion(index);
    if (!removed) return;
    std::erase(loadedRegions_, removed);
    for (const std::unique_ptr<Region>& region : regions_) region->RemoveConnectedRegion(removed);
    if (Level* level = removed->GetLevel()) level->DestroyAllEntities(-1);
    regions_.erase(regions_.begin() + index);
    RebuildIndex();
    grid_.reset();
    if (connectivityBuilt_) CreateWorldGrid();
}

void World::RebuildIndex() {
    regionIndex_.clear();
    for (size_t i = 0; i < regions_.size(); ++i) {
        regions_[i]->SetIndex(int(i));
        regionIndex_[regions_[i]->GetId()] = int(i);
    }
}

void World::SetRegionLoaded(const Region* region, bool loaded) {
    if (!region) return;
    const auto found = std::find(loadedRegions_.begin(), loadedRegions_.end(), region);
    if (loaded && found == loadedRegions_.end()) {
        loadedRegions_.push_back(const_cast<Region*>(region));
    } else if (!loaded && found != loadedRegions_.end()) {
        loadedRegions_.erase(found);
    }
}

void World::WarmUp(Region& region) const {
    GraphicsEngine* graphics = warmUp_ ? GetEngineGraphics() : nullptr;
    GraphicsCanvas* canvas = graphics != nullptr ? graphics->GetCanvas() : nullptr;
    if (canvas == nullptr) return;
    const auto start = std::chrono::steady_clock::now();
    GraphicsWarmUp::DrawRegion(*canvas, region);
    Log(LogPriority::Info, "Warm-up: %s drawn offscreen in %.1f ms", region.GetName().c_str(),
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
}

void World::UpdateRegionBoundingBox(const Level* level) {
    for (const std::unique_ptr<Region>& region : regions_) {
        if (region->GetLevel() == level) {
            region->UpdateBoundingBox();
            return;
        }
    }
}

void World::BuildConnectivity() {
    mem::vector<Region*> all;
    for (const std::unique_ptr<Region>& region : regions_) all.push_back(region.get());
    for (Region* region : all) region->BuildRegionConnectivity(all);
    connectivityBuilt_ = true;
    CreateWorldGrid();
}

ABBox World::GetWorldSpaceBox(const Region* region) {
    ABBox box = region->GetBoundingBox();
    const IntVec3& offset = region->GetOffsetFromWorld();
    box.Translate(Vec3(float(offset.x), float(offset.y), float(offset.z)));
    return box;
}

void World::CreateWorldBox() {
    worldBox_ = ABBox();
    if (regions_.empty()) return;
    worldBox_ = GetWorldSpaceBox(regions_.front().get());
    for (const std::unique_ptr<Region>& region : regions_) worldBox_ = ABBox::Union(worldBox_, GetWorldSpaceBox(region.get()));
}

void World::CreateWorldGrid() {
    grid_.reset();
    CreateWorldBox();
    if (regions_.empty()) return;
    grid_ = WorldGrid::Create(worldBox_);
    if (!grid_) return;
    for (const std::unique_ptr<Region>& region : regions_) grid_->Insert(region.get());
}

void World::GetCandidates(float x, float z, float width, float depth, mem::vector<Region*>& out) const {
    if (grid_) {
        WorldGrid::RegionSet candidates;
        grid_->Query(x, z, width, depth, candidates);
        out.assign(candidates.begin(), candidates.end());
        return;
    }
    out.clear();
    for (const std::unique_ptr<Region>& region : regions_) out.push_back(region.get());
}

// Entities.

void World::PlaceDecal(const WorldCoords& coords, const DecalType* type, uint32_t flags) {
    Region* const region = coords.GetRegion();
    if (region == nullptr) return;
    // Without options (an engine that never started) decals are placed.
    if (Options* options = gEngine != nullptr ? gEngine->GetOptions() : nullptr;
        options != nullptr && !options->GetBool(Options::BoolName::detailObjects)) {
        return;
    }
    if (!region->IsLevelLoaded()) return;
    if (LevelDecals* decals = region->GetLevel()->GetDecalSet()) decals->AddDecal(type, coords.GetRegionCoords(), flags);
}

void World::PlaceDecalOnGround(const WorldCoords& coords, const DecalType* type, uint32_t flags) {
    WorldVec3 origin = coords.GetOrigin();
    origin.TranslateToFloor(Vec3());
    origin.TranslateInRegion(Vec3(0.0f, 0.25f, 0.0f));
    WorldCoords placed = coords;
    placed.SetOrigin(origin);
    PlaceDecal(placed, type, flags);
}

bool World::AddEntity(Entity* entity, const WorldCoords& coords, bool updateNow) {
    Region* region = coords.GetRegion();
    if (!entity || !region || entity->GetRegion()) return false;
    return region->AddEntity(entity, coords, updateNow);
}

void World::RemoveEntity(Entity* entity) {
    if (!entity) return;
    if (gEngine) gEngine->GetNetworkEntityList()->RemoveEntityFromAllClients(entity);
    if (Region* region = entity->GetRegion()) region->RemoveEntity(entity);
}

void World::SetCoords(Entity* entity, const WorldCoords& coords) {
    Region* from = entity ? entity->GetRegion() : nullptr;
    Region* to = coords.GetRegion();
    if (!from || !to) return;
    // An entity that is not deleted on entering an unloaded level has the level loaded now; when
    // it cannot be, the entity stays where it is rather than leaving its level for nowhere.
    if (!entity->DeleteOnEnteringUnloadedLevel() && !to->GuaranteedGetLevel(false)) return;
    bool wasListed = false;
    if (from != to && from->GetLevel()) {
        Level* old = from->GetLevel();
        wasListed = old->IsInNetworkList(entity);
        if (wasListed) old->RemoveEntityFromNetworkList(entity);
        old->RemoveEntity(entity);
    }
    if (!to->IsLevelLoaded()) {
        Log(LogPriority::Warning, "Entity '%s' tried to move into an unloaded level.", entity->GetObjectName().c_str());
        entity->DestroyPhysicsObject();
        Singleton<ObjectManager>::Get()->DestroyObjectEx(entity, __FILE__, __LINE__);
        return;
    }
    Level* level = to->GetLevel();
    if (from != to) {
        level->AddEntity(entity, coords.GetRegionCoords());
        if (wasListed) level->AddEntityToNetworkList(entity);
    } else {
        level->MoveEntity(entity, coords.GetRegionCoords());
    }
}

void World::AddEntityToNetworkList(Entity* entity) {
    Region* region = entity ? entity->GetRegion() : nullptr;
    if (region && region->IsLevelLoaded()) region->GetLevel()->AddEntityToNetworkList(entity);
}

void World::RemoveEntityFromNetworkList(Entity* entity) {
    Region* region = entity ? entity->GetRegion() : nullptr;
    if (!region) return;
    if (Level* level = region->GetLevel()) {
        level->RemoveEntityFromNetworkList(entity);
    } else {
        Log(LogPriority::Error, "Attempt to remove entity from NetworkList on NULL level (%s, id: %d).",
            entity->GetObjectName().c_str(), int(entity->GetObjectId()));
    }
}

void World::DestroyAllEntities() {
    for (const std::unique_ptr<Region>& region : regions_) {
        if (Level* level = region->GetLevel()) level->DestroyAllEntities(-1);
    }
}

void World::ValidateSectorLayers() {
    if (!gEngine) return;
    for (Region* region : loadedRegions_) region->GetLevel()->GetSectorLayers().ValidateMapping(*gEngine->GetSectorDataManager());
}

void World::PreDeviceReset() {
    for (const auto& region : regions_) region->PreDeviceReset();
}

void World::ReloadGenerationDependentData() {
    for (const auto& region : regions_) region->ReloadGenerationDependentData();
}

void World::PostDeviceReset() {
    for (const auto& region : regions_) region->PostDeviceReset();
}

void World::ReleaseMinimapImages() {
    for (const auto& region : regions_) region->ReleaseMinimapImage();
}

void World::CreateLineDisturbance(const WorldVec3& a, const WorldVec3& b, float strength, int splash) {
    const Vec3 line = b - a;
    const float length = line.Length();
    const int steps = int(length);
    for (int i = 0; i < steps; ++i) {
        CreatePointDisturbance(WorldVec3(a.GetRegion(), a.GetRegionPosition() + line * (float(i) / length)), 1.0f,
                               strength, splash);
    }
}

void World::CreateGrassWind(const PhysicsGrassWind& wind) {
    if (!wind.region) return;
    const WorldVec3 position(wind.region, Vec3(wind.x, 0.0f, wind.z));
    for (Region* region : loadedRegions_) {
        LevelGround* ground = region->GetLevel()->GetGround();
        if (!ground) continue;
        PhysicsGrassWind local = wind;
        const Vec3 at = region->GetRelativePosition(position);
        local.x = at.x;
        local.z = at.z;
        local.region = region;
        ground->CreateGrassWind(local);
    }
}

void World::RemoveGrassWind() {
    for (Region* region : loadedRegions_) {
        if (LevelGround* ground = region->GetLevel()->GetGround()) ground->RemoveGrassWind();
    }
}

std::unique_ptr<Path> World::FindPath(int agent, const WorldVec3& start, const WorldVec3& goal, const Vec3& size,
                                      float a, float b, float c, float d, unsigned flags) {
    return Singleton<PathFinder>::Get()->FindPath(agent, start, goal, size, a, b, c, d, flags);
}

// Spawn points and the map file.

WorldCoords World::GetPlayerSpawnPoint(unsigned index) const {
    if (spawnPoints_.empty()) return WorldCoords();
    return spawnPoints_[index % spawnPoints_.size()];
}

void World::SetPlayerSpawnPoint(const WorldCoords& coords) {
    if (coords.GetRegion()) spawnPoints_.push_back(coords);
}

File* World::LockMapFile() const {
    mapFileLock_.Enter();
    // The lock is recursive: a thread that holds the file already gets null, and its outer holder
    // keeps the file until the outer UnlockMapFile.
    return ++mapFileUsers_ == 1 ? mapFile_ : nullptr;
}

void World::UnlockMapFile() const {
    --mapFileUsers_;
    mapFileLock_.Exit();
}

void World::AddDebugStatistics(const mem::vector<WorldFrustum>& frusta) const {
    if (!frusta.empty()) {
        if (const Region* current = frusta.front().GetRegion()) {
            gEngine->AddStatisticText("^bCurrent region %s", current->GetName().c_str());
            if (showConnections_) {
                for (const Region* connected : current->GetConnectedRegions())
                    gEngine->AddStatisticText(" -> %s", connected->GetName().c_str());
            }
        }
    }
    for (Region* region : loadedRegions_) {
        const Level* level = region->GetLevel(true);
        if (!level) continue;
        gEngine->AddStatisticText(level->HasLoadedRenderData() ? ": %s (%i)" : "^k: %s (%i)", region->GetName().c_str(),
                                  int(region->GetFramesNotUpdated()));
    }
}

void World::Update(const mem::vector<WorldFrustum>& frusta) {
    if (debugging_ && gEngine) AddDebugStatistics(frusta);
    for (const std::unique_ptr<Region>& region : regions_) region->UpdateFogTextures();
    const int time = gEngine ? gEngine->GetUpdateTime() : 0;
    const auto count = unsigned(frusta.size());
    if (connectivityBuilt_) {
        for (const WorldFrustum& frustum : frusta) {
            if (Region* region = frustum.GetRegion()) region->Update(region, frusta.data(), count, time, true, nullptr, 0);
        }
        return;
    }
    for (const std::unique_ptr<Region>& region : regions_)
        region->Update(region.get(), frusta.data(), count, time, false, nullptr, 0);
}

void World::UpdateRegionUsage() {
    for (const std::unique_ptr<Region>& region : regions_) region->UpdateUsage();
}

void World::PostLoadPass() {
    mem::vector<Region*> pending;
    {
        CriticalSectionLock lock(pendingLock_);
        pending = pendingPostLoad_;
    }
    for (Region* region : pending) {
        if (region->PostLoadLevel(true)) RemovePendingPostLoadRegion(region);
    }
}

void World::AddPendingPostLoadRegion(Region* region) {
    CriticalSectionLock lock(pendingLock_);
    if (std::find(pendingPostLoad_.begin(), pendingPostLoad_.end(), region) == pendingPostLoad_.end())
        pendingPostLoad_.push_back(region);
}

void World::RemovePendingPostLoadRegion(Region* region) {
    CriticalSectionLock lock(pendingLock_);
    std::erase(pendingPostLoad_, region);
}

unsigned World::GetNumLevelsLoading() const {
    return unsigned(std::count_if(regions_.begin(), regions_.end(),
                                  [](const std::unique_ptr<Region>& region) { return region->IsLevelLoading(); }));
}

unsigned World::GetNumLevelsLoaded() const {
    return unsigned(std::count_if(regions_.begin(), regions_.end(),
                                  [](const std::unique_ptr<Region>& region) { return region->IsLevelLoaded(); }));
}

bool World::IsInFog(const WorldVec3& position) {
    mem::vector<Region*> regions;
    GetRegionsInBox(regions, position.GetRegion(), ABBox(position.GetRegionPosition(), Vec3(kFogReach, kFogReach, kFogReach)));
    return std::none_of(regions.begin(), regions.end(), [&](Region* region) { return !region->IsInFog(position); });
}

void World::AddFOWVisibility(const WorldVec3& position, int argument) {
    mem::vector<Region*> regions;
    GetRegionsInBox(regions, position.GetRegion(), ABBox(position.GetRegionPosition(), Vec3(kFogReach, kFogReach, kFogReach)));
    for (Region* region : regions) {
        StampFogPair(region->GetFogOfWar(true), region->GetFogOfWar(false), region->GetRelativePosition(position),
                     argument);
    }
}

void World::UnloadFOWForMapClose() {
    for (const std::unique_ptr<Region>& region : regions_) {
        if (!region->IsLevelLoaded()) region->UnloadFOW();
    }
}

void World::UnloadExtraRegions() {
    for (const std::unique_ptr<Region>& region : regions_) region->PrepareUnload();
}

}  // namespace GAME
