#include "world/Region.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "core/CriticalSectionLock.h"
#include "core/Frustum.h"
#include "core/IntersectionTests.h"
#include "core/Log.h"
#include "core/Ray.h"
#include "core/Sphere.h"
#include "core/WorldCoords.h"
#include "core/WorldVec3.h"
#include "engine/Engine.h"
#include "engine/Entity.h"
#include "engine/ObjectManager.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "files/File.h"
#include "files/FileSystem.h"
#include "render/GraphicsEngine.h"
#include "world/FOWSavingThread.h"
#include "world/FogOfWar.h"
#include "world/GridRegion.h"
#include "world/Level.h"
#include "world/LevelLoadingThread.h"
#include "world/MapDataBuilder.h"
#include "world/Portal.h"
#include "world/RegionRecord.h"
#include "world/WorldFrustum.h"
#include "world/WorldQueries.h"
#include "world/ZoneManager.h"

namespace GAME {

Vec3 GetOffsetDifference(const Region* from, const Region* to) {
    const IntVec3 fromOffset = from ? from->GetOffsetFromWorld() : IntVec3();
    const IntVec3 toOffset = to ? to->GetOffsetFromWorld() : IntVec3();
    const IntVec3 difference = fromOffset - toOffset;
    return Vec3(float(difference.x), float(difference.y), float(difference.z));
}

Region::Region(WorldQueries* world, int index, const std::string& name, const ABBox& box, const IntVec3& offset,
               const RegionId& id)
    : id_(id.IsInvalid() ? RegionId::CreateUnique() : id),
      world_(world),
      index_(index),
      offset_(offset),
      name_(name),
      box_(box) {}

Region::Region(const ABBox& box) : Region(nullptr, 0, "", box, IntVec3(), RegionId()) {
    auto level = std::make_unique<Level>(this);
    level->NewSpace(Vec2(box.halfSize.x, box.halfSize.z));
    level->PostLoad(false);
    level_ = std::move(level);
}

Region::~Region() {
    WaitForLoadingToFinish();
    SetLevel(nullptr);
    if (world_) world_->RemovePendingPostLoadRegion(this);
    UnloadFOW();
}

void Region::UpdateBoundingBox() {
    if (level_) box_ = level_->GetBoundingBox();
}

bool Region::IsLevelLoaded() const { return level_ && level_->IsLoaded() && level_->GetPostLoadCalled(); }

bool Region::IsUnderground() {
    if (GetLevelUnlessFailed(false) == nullptr) return false;
    CriticalSectionLock lock(regionLock_);
    return level_ && level_->IsUnderground();
}

void Region::SetLevel(std::unique_ptr<Level> level) {
    std::unique_ptr<Level> old;
    {
        // Swapped under the lock that guards the hand-over; the old level is torn down outside it.
        CriticalSectionLock lock(regionLock_);
        old.swap(level_);
        level_ = std::move(level);
        UpdateBoundingBox();
    }
    if (old) {
        if (world_) {
            world_->SetRegionLoaded(this, false);
            world_->RemovePendingPostLoadRegion(this);
        }
        old->Unload(false);
    }
    if (world_ && level_ && level_->IsLoaded()) world_->SetRegionLoaded(this, true);
}

namespace {

bool IsEditor() { return gEngine && gEngine->IsEditorMode(); }

// The first frustum that meets the box; -1 when none does.
int FindFrustumMeeting(const ABBox& box, const Frustum* frusta, unsigned count) {
    for (unsigned j = 0; j < count; ++j) {
        if (frusta[j].TestABBox(box)) return int(j);
    }
    return -1;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Streaming
// ---------------------------------------------------------------------------------------------

Level* Region::GetLevel(bool doNotMarkUsed) {
    if (!doNotMarkUsed) framesNotUpdated_ = 0;
    return level_.get();
}

Level* Region::GuaranteedGetLevel(bool loadRenderData) {
    if (!LoadLevel(loadRenderData)) return nullptr;
    framesNotUpdated_ = 0;
    return level_.get();
}

Level* Region::GetLevelUnlessFailed(bool loadRenderData) {
    return GetLoadFailed() ? nullptr : GuaranteedGetLevel(loadRenderData);
}

void Region::Update(int elapsed) {
    Frustum whole;
    GetEnclosingFrustum(whole);
    const WorldFrustum viewer(this, whole);
    Update(this, &viewer, 1, elapsed, false, nullptr, 0);
}

void Region::Update(Region* root, const WorldFrustum* frusta, unsigned count, int elapsed, bool followConnected,
                    Region* cameFrom, int depth) {
    const uint32_t frame = gEngine ? gEngine->GetFrameCount() : 0;
    if (frame == lastUpdateFrame_) return;
    lastUpdateFrame_ = frame;
    if (count > kMaxFrusta) return;

    Frustum local[kMaxFrusta];
    for (unsigned j = 0; j < count; ++j) frusta[j].GetRelativeFrustum(this, local[j]);
    const float inflation = gEngine ? gEngine->GetLevelLoadInflation() : 0.0f;
    const Sphere bounds(box_.centre, box_.halfSize.Length());
    if (std::none_of(local, local + count, [&](const Frustum& f) { return f.TestSphere(bounds, inflation); }))
        return;

    PreLoad(elapsed, local, count, false);
    const int seen = FindFrustumMeeting(box_, local, count);
    if (seen < 0) {
        // Just out of view: read the level ahead of time, and go no further.
        for (unsigned j = 0; j < count; ++j) {
            if (!local[j].Expand(inflation).TestABBox(box_)) continue;
            framesNotUpdated_ = 0;
            BackgroundLoadLevel(j == 0);
            return;
        }
        return;
    }

    framesNotUpdated_ = 0;
    // Render data are for the local viewer, the first frustum.
    const bool loadRenderData = seen == 0;
    if (!cameFrom) {
        GetLevelUnlessFailed(loadRenderData);
    } else {
        BackgroundLoadLevel(loadRenderData);
    }
    if (depth < kMaxPortalDepth) UpdatePortals(root, frusta, local, count, elapsed, followConnected, cameFrom, depth);
    if (followConnected) {
        for (Region* connected : connectedRegions_)
            connected->Update(root, frusta, count, elapsed, followConnected, cameFrom, depth);
    }
    if (depth <= kMaxPortalDepth && IsLevelLoaded()) level_->Update(local, count, elapsed);
}

void Region::UpdatePortals(Region* root, const WorldFrustum* frusta, const Frustum* local, unsigned count,
                           int elapsed, bool followConnected, Region* cameFrom, int depth) {
    const float inflation = gEngine ? gEngine->GetLevelLoadInflation() : 0.0f;
    const int numPortals = std::min(GetNumPortals(), kMaxPortals);
    bool openInView[kMaxPortals] = {};
    bool nearView[kMaxPortals] = {};
    bool inFirstView[kMaxPortals] = {};
    for (int i = 0; i < numPortals; ++i) {
        const Portal& portal = *portals_[i];
        for (unsigned j = 0; j < count && !openInView[i]; ++j) {
            if (portal.TestIntersection(local[j])) {
                openInView[i] = portal.GetIsOpen();
                nearView[i] = true;
            } else if (!nearView[i] && portal.TestIntersection(local[j].Expand(inflation))) {
                nearView[i] = true;
            }
            if (j == 0 && (openInView[i] || nearView[i])) inFirstView[i] = true;
        }
    }
    // The doorways in view first, then those only near it.
    for (const bool inView : {true, false}) {
        for (int i = 0; i < numPortals; ++i) {
            if (inView ? !openInView[i] : (openInView[i] || !nearView[i])) continue;
            const Portal& portal = *portals_[i];
            Region* next = portal.GetConnectedRegion();
            if (!next || next == cameFrom) continue;
            if (!inView && (!next->level_ || next->levelLoading_)) {
                next->framesNotUpdated_ = 0;
                next->BackgroundLoadLevel(inFirstView[i]);
                continue;
            }
            // The connected pass reaches the root's connected regions.
            if (followConnected && (next == root || std::count(root->connectedRegions_.begin(),
                                                                root->connectedRegions_.end(), next)))
                continue;
            Coords frontToBack;
            Region* behind = nullptr;
            if (!portal.GetFrontToBackCoords(frontToBack, behind)) continue;
            WorldFrustum carried[kMaxFrusta];
            for (unsigned j = 0; j < count; ++j) {
                if (frusta[j].GetRegion() != this) {
                    carried[j] = frusta[j];
                    continue;
                }
                Frustum moved = local[j];
                moved.Transform(frontToBack);
                carried[j].Initialize(behind, moved);
            }
            behind->Update(root, carried, count, elapsed, followConnected, this, depth + 1);
        }
    }
}

void Region::PreLoad(int priority, const Frustum* frusta, unsigned count, bool immediate) {
    if (!level_ || count > kMaxFrusta) return;
    const float inflation = gEngine ? gEngine->GetEntityPreLoadInflation() : 0.0f;
    Frustum pushed[kMaxFrusta];
    for (unsigned j = 0; j < count; ++j) pushed[j] = frusta[j].Expand(inflation);
    if (FindFrustumMeeting(box_, pushed, count) >= 0) level_->PreLoad(priority, pushed, count, immediate);
}

void Region::PreLoad(int priority, bool immediate) {
    Frustum whole;
    GetEnclosingFrustum(whole);
    PreLoad(priority, &whole, 1, immediate);
}

void Region::BackgroundLoadLevel(bool loadRenderData) {
    if (level_ && (!loadRenderData || level_->HasLoadedRenderData())) return;
    if (levelLoading_ || renderDataLoading_ || loadFailed_) return;
    if (level_) {
        // Render data are made on the main thread, in the post-load pass.
        renderDataLoading_ = true;
        if (world_) world_->AddPendingPostLoadRegion(this);
        return;
    }
    levelLoading_ = true;
    LevelLoadingThread::Get().Enqueue({this, loadRenderData});
}

bool Region::LoadLevel(bool loadRenderData) {
    if (!level_) {
        if (IsLevelLoading()) WaitForLoadingToFinish();
        bool handedOver = false;
        {
            CriticalSectionLock lock(regionLock_);
            handedOver = loadedLevel_ != nullptr;
        }
        if (!handedOver) {
            Log(LogPriority::Warning, "Forcing load of level %s in main thread.", name_.c_str());
            levelLoading_ = true;
            if (!InternalLoadLevel(loadRenderData)) {
                Log(LogPriority::Error, "Internal Load Level failed on %s.", name_.c_str());
                return false;
            }
        }
    } else if (loadRenderData && !level_->HasLoadedRenderData() && !renderDataLoading_) {
        Log(LogPriority::Warning, "^gForcing load of level %s render data in main thread.", name_.c_str());
    }
    if (loadRenderData) renderDataLoading_ = true;
    PostLoadLevel(false);
    return IsLevelLoaded();
}

bool Region::InternalLoadLevel(bool loadRenderData) {
    auto level = std::make_unique<Level>(this);
    std::unique_ptr<BinaryWriter> state;
    bool restoring = false;
    std::string fileName;
    {
        CriticalSectionLock lock(regionLock_);
        restoring = hasSavedState_;
        fileName = GetLoadFileName();
        if (CanRestoreLevelState()) state = std::move(savedState_);
    }
    const bool loaded = levelDataPosition_ != 0 ? LoadLevelFromMapFile(*level, restoring)
                                                : level->Load(fileName.c_str(), restoring);
    if (!loaded) {
        Log(LogPriority::Error, levelDataPosition_ != 0 ? "Couldn't load %s" : "Couldn't load %s\n", name_.c_str());
        level.reset();
        {
            // The state waits for a load that succeeds.
            CriticalSectionLock lock(regionLock_);
            savedState_ = std::move(state);
        }
        loadFailed_ = true;
        renderDataLoading_ = false;
        levelLoading_ = false;
        return false;
    }
    if (state) level->RestoreState(state->GetBuffer(), state->GetPosition());
    {
        CriticalSectionLock lock(regionLock_);
        // The state in memory is applied once; the editor's temporary file stays the level's source.
        if (state) hasSavedState_ = false;
        loadedLevel_ = std::move(level);
        if (loadRenderData) renderDataLoading_ = true;
    }
    loadFailed_ = false;
    if (world_) world_->AddPendingPostLoadRegion(this);
    return true;
}

bool Region::LoadLevelFromMapFile(Level& level, bool restoring) {
    if (!world_) return false;
    Log(LogPriority::Info, "Begin Loading Level %s", name_.c_str());
    // Parsed after the map file's lock is left, so other readers of the map file do not wait.
    const mem::vector<unsigned char> bytes = ReadMapFileRange(levelDataPosition_, levelDataSize_);
    Log(LogPriority::Info, "End Loading Level %s", name_.c_str());
    if (bytes.empty() || !level.Load(bytes.data(), uint32_t(bytes.size()), restoring)) return false;
    loadedFromMap_ = true;
    return true;
}

mem::vector<unsigned char> Region::ReadMapFileRange(uint32_t position, uint32_t size) const {
    mem::vector<unsigned char> bytes;
    if (!world_ || size == 0) return bytes;
    if (File* file = world_->LockMapFile()) {
        if (const auto* block = static_cast<const unsigned char*>(file->Lock(position, size)))
            bytes.assign(block, block + size);
        file->Unlock();
    }
    world_->UnlockMapFile();
    return bytes;
}

bool Region::PostLoadLevel(bool incremental) {
    if (!level_) {
        {
            CriticalSectionLock lock(regionLock_);
            level_ = std::move(loadedLevel_);
        }
        // Nothing handed over: the load failed, or the level went meanwhile.
        if (!level_) return true;
        levelLoading_ = false;
        UpdateBoundingBox();
    }
    if (renderDataLoading_) {
        if (!level_->HasLoadedRenderData()) level_->LoadRenderData();
        renderDataLoading_ = false;
    }
    if (level_->GetPostLoadCalled()) return true;
    if (!level_->PostLoad(incremental)) return false;
    if (world_) {
        world_->SetRegionLoaded(this, true);
    } else {
        Log(LogPriority::Error, "Region::PostLoadLevel failed because of invalid world.");
    }
    return true;
}

void Region::UpdateUsage() {
    if (!level_ || !level_->GetPostLoadCalled()) return;
    ++framesNotUpdated_;
    if (framesNotUpdated_ <= kUnloadFrames + uint32_t(index_ * 7 % 23)) return;
    // Never wait here: a busy lock means another frame.
    if (!regionLock_.TryToEnter()) return;
    UnloadLevel(true, false);
    regionLock_.Exit();
}

void Region::UnloadLevel(bool keepState, bool forgetSavedState) {
    if (!level_) return;
    Log(LogPriority::Info, "Unloading level %s\n", name_.c_str());
    CriticalSectionLock lock(regionLock_);
    if (forgetSavedState) {
        hasSavedState_ = false;
        savedState_.reset();
    }
    if (keepState && IsEditor()) {
        if (level_->Save(GetSavedStateFileName().c_str(), false)) {
            hasSavedState_ = true;
        } else {
            Log(LogPriority::Warning, "Error saving temp level %s", name_.c_str());
        }
    } else if (keepState && CanRestoreLevelState()) {
        savedState_ = std::make_unique<BinaryWriter>(1024);
        if (level_->SaveState(savedState_.get())) {
            Log(LogPriority::Info, "Saved level state %s", name_.c_str());
        } else {
            Log(LogPriority::Warning, "Error saving level state %s", name_.c_str());
        }
        hasSavedState_ = true;
    }
    SetLevel(nullptr);
    // Render data still asked for went with the level; left set, the flag would refuse every read ahead.
    renderDataLoading_ = false;
    UnloadFOW();
}

// Fog of war.

FogOfWar* Region::GetFogOfWar(bool blank) {
    const int width = int(2.0f * box_.halfSize.x);
    const int depth = int(2.0f * box_.halfSize.z);
    if (blank) {
        if (!blankFog_) {
            blankFog_ = std::make_unique<FogOfWar>();
            blankFog_->Initialize(width, depth);
        }
        return blankFog_.get();
    }
    CriticalSectionLock lock(fogLock_);
    if (!fog_) {
        const std::string path = GetFOWFileName();
        fog_ = FOWSavingThread::Get().Reclaim(path);
        if (!fog_) {
            fog_ = std::make_unique<FogOfWar>();
            fog_->Initialize(width, depth);
            fog_->Read(path);
        }
    }
    return fog_.get();
}

template <class Visit>
void Region::ForEachFog(Visit&& visit) {
    CriticalSectionLock lock(fogLock_);
    if (fog_) visit(*fog_);
    if (blankFog_) visit(*blankFog_);
}

void Region::UpdateFogTextures() {
    ForEachFog([](FogOfWar& fog) { fog.UpdateTexture(); });
}

bool Region::IsInFog(const WorldVec3& position) { return GetFogOfWar(false)->IsInFog(GetRelativePosition(position)); }

std::string Region::GetFOWFileName() const {
    std::string name = name_;
    std::replace(name.begin(), name.end(), '/', '_');
    std::replace(name.begin(), name.end(), '\\', '_');
    return "fow/" + name + ".fow";
}

void Region::UnloadFOW() {
    CriticalSectionLock lock(fogLock_);
    if (fog_) FOWSavingThread::Get().Save(GetFOWFileName(), std::move(fog_));
}

void Region::WaitForLoadingToFinish() {
    LevelLoadingThread& thread = LevelLoadingThread::Get();
    // A request taken back never ran: the region may ask again.
    if (thread.Cancel(this)) levelLoading_ = false;
    thread.WaitFor(this);
}

void Region::DestroyLevelEntities() {
    CriticalSectionLock lock(regionLock_);
    if (level_) level_->DestroyAllEntities(-1);
}

bool Region::CanRestoreLevelState() {
    if (gEngine && gEngine->IsNetworkClient()) return false;
    return !IsEditor();
}

std::string Region::GetLoadFileName() const { return IsEditor() && hasSavedState_ ? GetSavedStateFileName() : name_; }

std::string Region::GetSavedStateFileName() const {
    const size_t separator = name_.find_last_of("/\\");
    const std::string base = separator == std::string::npos ? name_ : name_.substr(separator + 1);
    char address[32];
    std::snprintf(address, sizeof(address), "%p", static_cast<const void*>(this));
    return (std::filesystem::temp_directory_path() / (std::string(address) + base)).string();
}

bool Region::AddEntity(Entity* entity, const WorldCoords& coords, bool updateNow) {
    if (!entity || coords.GetRegion() != this) return false;
    if (!IsLevelLoaded() && entity->DeleteOnEnteringUnloadedLevel()) {
        Log(LogPriority::Error, "Entity (%s, id: %d) could not be added to the world because it's level is not loaded.",
            entity->GetObjectName().c_str(), int(entity->GetObjectId()));
        entity->DestroyPhysicsObject();
        Singleton<ObjectManager>::Get()->DestroyObjectEx(entity, __FILE__, __LINE__);
        return false;
    }
    // Any other entity has the level loaded now (taken back from the loading thread if queued).
    Level* level = GuaranteedGetLevel(false);
    if (!level || !level->AddEntity(entity, coords.GetRegionCoords())) return false;
    if (updateNow) entity->Update(0);
    return true;
}

void Region::RemoveEntity(Entity* entity) {
    if (!entity) return;
    if (level_) {
        // A level still waiting for its post-load may be filled by the loading thread.
        CriticalSectionLock lock(regionLock_);
        level_->RemoveEntityFromNetworkList(entity);
        level_->RemoveEntity(entity);
    }
    entity->SetCoords(WorldCoords());
    entity->DestroyPhysicsObject();
}

void Region::GetEntitiesInFrustum(mem::vector<Entity*>& out, const Frustum& frustum, bool useAlternateBox,
                                  bool followPortals) const {
    mem::set<const Region*> visited;
    GatherEntitiesInFrustum(out, frustum, useAlternateBox, followPortals, visited);
}

void Region::GetEntitiesInSphere(mem::vector<Entity*>& out, const Sphere& sphere, bool useAlternateBox) const {
    if (IsLevelLoaded()) level_->GetEntitiesInSphere(out, sphere, useAlternateBox);
}

void Region::GetRegionsInFrustum(mem::vector<Region*>& out, const Frustum& frustum) const {
    if (world_) world_->GetRegionsInFrustum(out, const_cast<Region*>(this), frustum, false);
}

void Region::GeometryBusStop(const ABBox& box, mem::vector<GeometryBus::SimpleFace>& faces) const {
    CriticalSectionLock lock(regionLock_);
    if (const GridRegion* grid = level_ ? level_->GetGridRegion() : nullptr) grid->GeometryBusStop(box, faces);
}

void Region::GatherEntitiesInFrustum(mem::vector<Entity*>& out, const Frustum& frustum, bool useAlternateBox,
                                     bool followPortals, mem::set<const Region*>& visited) const {
    if (!visited.insert(this).second) return;
    if (IsLevelLoaded()) level_->GetEntitiesInFrustum(out, &frustum, 1, useAlternateBox, false);
    if (!followPortals) return;
    for (const std::unique_ptr<Portal>& portal : portals_) {
        if (!portal->GetIsOpen() || !portal->TestIntersection(frustum)) continue;
        Coords frontToBack;
        Region* behind = nullptr;
        if (!portal->GetFrontToBackCoords(frontToBack, behind) || visited.count(behind)) continue;
        Frustum carried = frustum;
        carried.Transform(frontToBack);
        behind->GatherEntitiesInFrustum(out, carried, useAlternateBox, followPortals, visited);
    }
}

Vec3 Region::GetRelativePosition(const WorldVec3& position) const {
    return position.GetRegionPosition() + GetOffsetDifference(position.GetRegion(), this);
}

Coords Region::GetRelativeTransformation(const Region* other) const {
    return Coords::Translation(GetOffsetDifference(this, other));
}

void Region::GetEnclosingFrustum(Frustum& out) const { out = Frustum::FromBox(box_); }

Portal* Region::CreatePortal() {
    portals_.push_back(std::make_unique<Portal>());
    portals_.back()->SetRegion(this);
    return portals_.back().get();
}

void Region::DestroyPortal(Portal* portal) {
    std::erase_if(portals_, [portal](const std::unique_ptr<Portal>& owned) { return owned.get() == portal; });
}

Portal* Region::GetPortal(const UniqueId& id) const {
    for (const std::unique_ptr<Portal>& portal : portals_) {
        if (portal->GetId() == id) return portal.get();
    }
    return nullptr;
}

bool Region::IsNeighbor(const Region* region) const {
    if (!region) return false;
    return std::any_of(portals_.begin(), portals_.end(), [region](const std::unique_ptr<Portal>& portal) {
        return portal->GetConnectedRegionId() == region->GetId();
    });
}

Portal* Region::TraceSegmentAgainstPortals(const Ray& ray, float& distance, bool twoSided) const {
    Portal* nearest = nullptr;
    for (const std::unique_ptr<Portal>& portal : portals_) {
        if (!portal->GetIsOpen()) continue;
        const float hit = portal->GetIntersection(ray, twoSided);
        if (hit < distance) {
            distance = hit;
            nearest = portal.get();
        }
    }
    return nearest;
}

void Region::BuildRegionConnectivity(const mem::vector<Region*>& all) {
    connectedRegions_.clear();
    const ABBox reach(box_.centre, box_.halfSize + Vec3(kConnectionDistance, kConnectionDistance, kConnectionDistance));
    for (Region* other : all) {
        if (!other || other == this) continue;
        ABBox otherBox = other->GetBoundingBox();
        otherBox.Translate(GetOffsetDifference(other, this));
        if (TestIntersection(reach, otherBox)) connectedRegions_.push_back(other);
    }
}

void Region::RemoveConnectedRegion(const Region* region) { std::erase(connectedRegions_, region); }

void Region::Save(BinaryWriter& writer) const { RegionRecord{name_, zoneRecord_, box_, offset_, id_}.Write(writer); }

void Region::SaveRegionIcon(BinaryWriter& writer) const {
    writer.Write(static_cast<unsigned int>(icon_.value));
    writer.Write(static_cast<unsigned int>(icon_.width));
    writer.Write(static_cast<unsigned int>(icon_.height));
    writer.Write(static_cast<int>(icon_.bytes.size()));
    if (!icon_.bytes.empty()) writer.Write(icon_.bytes.data(), static_cast<uint32_t>(icon_.bytes.size()));
}

bool Region::LoadRegionIcon(BinaryReader& reader) {
    icon_ = RegionIcon();
    RegionIcon icon;
    icon.value = reader.ReadUInt32();
    icon.width = reader.ReadUInt32();
    icon.height = reader.ReadUInt32();
    const int32_t count = reader.ReadInt32();
    if (count > 0 && !reader.Failed()) {
        if (uint32_t(count) > reader.GetRemaining()) {
            Log(LogPriority::Error, "Region %s: icon of %d bytes runs past the end of its record", name_.c_str(),
                count);
            return false;
        }
        icon.bytes.resize(uint32_t(count));
        reader.ReadBytes(icon.bytes.data(), uint32_t(count));
    }
    if (reader.Failed()) {
        Log(LogPriority::Error, "Region %s: icon record truncated", name_.c_str());
        return false;
    }
    icon_ = std::move(icon);
    if (!icon_.bytes.empty()) iconImage_.Make(icon_.bytes.data(), uint32_t(icon_.bytes.size()));
    return true;
}

// ---------------------------------------------------------------------------------------------
// Zone, images, device resets and drawing
// ---------------------------------------------------------------------------------------------

Color Region::GetTintColor() const {
    const ZoneManager::ZoneData* zone = ZoneManager::Get()->GetZoneData(zoneRecord_);
    if (!zone) return Color(0.0f, 0.0f, 0.0f, 1.0f);
    return Color(zone->keyColor.r, zone->keyColor.g, zone->keyColor.b, 1.0f);
}

RenderTexture* Region::GetMinimapImage(bool load) {
    if (!minimapImage_.GetTexture() && load && minimapPosition_ != 0) {
        const mem::vector<unsigned char> bytes = ReadMapFileRange(minimapPosition_, minimapSize_);
        if (!bytes.empty()) minimapImage_.Make(bytes.data(), uint32_t(bytes.size()));
    }
    return minimapImage_.GetTexture();
}

void Region::PreDeviceReset() {
    CriticalSectionLock lock(regionLock_);
    minimapImage_.Release();
    iconImage_.Release();
    if (level_) level_->PreDeviceReset();
    ForEachFog([](FogOfWar& fog) { fog.PreDeviceReset(); });
}

void Region::ReloadGenerationDependentData() {
    CriticalSectionLock lock(regionLock_);
    if (level_) level_->ReloadGenerationDependentData();
}

void Region::PostDeviceReset() {
    CriticalSectionLock lock(regionLock_);
    if (!icon_.bytes.empty()) iconImage_.Make(icon_.bytes.data(), uint32_t(icon_.bytes.size()));
    if (level_) level_->PostDeviceReset();
    ForEachFog([](FogOfWar& fog) { fog.PostDeviceReset(); });
}

}  // namespace GAME

namespace GAME {

// Map data.

std::string Region::GetMapDataFileName(const std::string& regionName) {
    return std::filesystem::path(regionName).replace_extension(".tga").generic_string();
}

namespace {

// The frame's update of the entities that show on a mini-map, so they stand as they will.
void UpdateMapEntities(Level& level) {
    mem::vector<Entity*> entities;
    level.GetEntities(entities);
    for (Entity* entity : entities) {
        if (entity->IsInWorld() && entity->IncludeInMinimap()) entity->Update(10);
    }
}

}  // namespace

bool Region::RebuildMapData() {
    GraphicsEngine* graphics = GetEngineGraphics();
    const int reduction = graphics ? graphics->GetTextureReduction() : 0;
    if (graphics) graphics->SetTextureReduction(2);
    const auto restore = [&] {
        if (!graphics) return;
        graphics->ReloadAllResources();
        graphics->SetTextureReduction(reduction);
    };
    if (!LoadLevel(true)) {
        restore();
        return false;
    }
    framesNotUpdated_ = 0;
    PostLoadLevel(false);
    UpdateMapEntities(*level_);

    mem::vector<Region*> neighbours;
    mem::vector<bool> wasLoaded;
    if (world_) {
        world_->GetRegionsInBox(neighbours, this, ABBox(box_.centre, box_.halfSize + Vec3(1.0f, 1.0f, 1.0f)));
        std::erase(neighbours, this);
    }
    for (Region* neighbour : neighbours) {
        wasLoaded.push_back(neighbour->IsLevelLoaded());
        if (neighbour->LoadLevel(false)) UpdateMapEntities(*neighbour->GetLevel());
    }

    MapDataBuilder builder;
    if (builder.Build(this, neighbours, box_.centre - box_.halfSize, box_.centre + box_.halfSize,
                      level_->IsUnderground() ? 4.0f : 2.0f) &&
        builder.TakeResult(icon_.width, icon_.height, icon_.bytes)) {
        iconImage_.Make(icon_.bytes.data(), uint32_t(icon_.bytes.size()));
        FileSystem* files = gEngine ? gEngine->GetFileSystem() : nullptr;
        const std::string file = GetMapDataFileName(name_);
        if (!files || !files->SaveFile(file, icon_.bytes.data(), uint32_t(icon_.bytes.size())))
            Log(LogPriority::Error, "Could not open TGA file %s", file.c_str());
    } else {
        Log(LogPriority::Error, "The map data of %s could not be drawn", name_.c_str());
    }

    for (size_t i = 0; i < neighbours.size(); ++i) neighbours[i]->UnloadLevel(wasLoaded[i], false);
    restore();
    return true;
}

}  // namespace GAME
