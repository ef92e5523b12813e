#include "world/Level.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/ABBox.h"
#include "core/Frustum.h"
#include "core/Intersection.h"
#include "core/Log.h"
#include "core/Ray.h"
#include "core/Sphere.h"
#include "engine/Engine.h"
#include "engine/FilterFunction.h"
#include "engine/ObjectManager.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "network/NetworkController.h"
#include "pathing/PathDebugDrawer.h"
#include "pathing/PathFinder.h"
#include "physics/PhysicsMesh.h"
#include "render/DebugRenderManager.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsPrimitiveDrawer.h"
#include "world/GridRegion.h"
#include "world/Region.h"
#include "world/WorldQueries.h"

namespace GAME {

namespace {

bool IsNetworkClient() { return gEngine && gEngine->IsNetworkClient(); }

bool KeepsType(const Entity* entity, Level::EntityListType type) {
    switch (type) {
    case Level::EntityListType::Updated:
        return entity->HasHadInitialUpdate();
    case Level::EntityListType::UpdatedPartOfLevel:
        return entity->HasHadInitialUpdate() && entity->GetIsPartOfLevel();
    default:
        return true;
    }
}

bool MovedFurtherThan(const Vec3& from, const Vec3& to, float distance) {
    return std::fabs(to.x - from.x) > distance || std::fabs(to.y - from.y) > distance ||
           std::fabs(to.z - from.z) > distance;
}

// The navigation mesh's edges as the frame's debug lines, in the region's space.
class DebugRenderLines final : public PathDebugDrawer {
public:
    explicit DebugRenderLines(Region* region) : region_(region) {}
    void DrawLine(const Vec3& from, const Vec3& to) override {
        Singleton<DebugRenderManager>::Get()->RenderLine(region_, from, to, Level::kPathMeshColor, nullptr);
    }

private:
    Region* region_;
};

bool IsPlayerRecord(const std::string& name) {
    for (const char* record : Level::kPlayerRecords)
        if (name == record) return true;
    return false;
}

}  // namespace

Level::Level(Region* region) : region_(region), decals_(LevelDecals::Make(region)) { pathMesh_.SetRegion(region); }

Level::~Level() { Unload(false); }

void Level::NewSpace(const Vec2& halfSize) {
    Unload(false);
    space_ = std::make_unique<EntitySpace>(Vec2(0.0f, 0.0f), halfSize);
    loaded_ = true;
    renderDataLoaded_ = true;
}

void Level::SetGround(std::unique_ptr<LevelGround> ground) {
    ground_ = std::move(ground);
    sectorLayers_.SetHeightCallbacks(ground_.get(), region_);
}

void Level::NewGround(std::unique_ptr<LevelGround> ground) {
    Unload(false);
    SetGround(std::move(ground));
    const LevelGround::Area area = ground_->GetArea();
    const Vec2 extent(float(area.width), float(area.depth));
    const float half = 0.5f * std::max(extent.x, extent.y);
    space_ = std::make_unique<EntitySpace>(extent * 0.5f, Vec2(half, half));
    ResizeSectorLayers();
    loaded_ = true;
    renderDataLoaded_ = true;
    // A ground made here is finished as a loaded one is: the path finder takes the level's mesh
    // from now on, and a grid makes its cells' portals.
    PostLoad(false);
}

void Level::NewGrid(int x, int y, int z) {
    auto grid = std::make_unique<GridRegion>(region_);
    grid->Resize(x, y, z);
    NewGround(std::move(grid));
}

GridRegion* Level::GetGridRegion() const { return dynamic_cast<GridRegion*>(ground_.get()); }

void Level::ResizeGrid(int x, int y, int z) {
    GridRegion* grid = GetGridRegion();
    if (!grid) return;
    const int oldFloors = grid->GetYNumCells();
    grid->Resize(x, y, z);
    if (region_) region_->UpdateBoundingBox();
    if (y > oldFloors && space_) {
        const float rise = float(int(float(y - oldFloors) * grid->GetCellSpacing().y));
        mem::vector<Entity*> all;
        space_->GetAll(all);
        for (Entity* entity : all) {
            Coords coords = entity->GetCoords().GetRegionCoords();
            coords.origin.y += rise;
            MoveEntity(entity, coords);
        }
    }
    sectorLayers_.Destroy();
    ResizeSectorLayers();
}

void Level::ResizeSectorLayers() {
    if (!ground_) return;
    const LevelGround::Area area = ground_->GetArea();
    if (sectorLayers_.IsInitialized() && sectorLayers_.GetWidth() == area.width &&
        sectorLayers_.GetHeight() == area.depth)
        return;
    sectorLayers_.Initialize(area.width, area.depth);
}

ABBox Level::GetBoundingBox() const {
    if (ground_) {
        ABBox box = ground_->GetBoundingBox();
        if (!IsUnderground()) box.halfSize.y += kTerrainBoxRise;
        return box;
    }
    if (space_) return space_->GetBoundingBox();
    return ABBox(Vec3(), Vec3(100.0f, 100.0f, 100.0f));
}

bool Level::GetEntityBoundingBox(ABBox& box) const {
    if (!space_ || numEntities_ == 0) return false;
    box = space_->GetBoundingBox();
    return true;
}

void Level::AddReflectionPlanes(GraphicsReflectionManager& manager, const Frustum& frustum) {
    if (water_) water_->AddReflectionPlanes(manager, region_, frustum);
}

LevelWater* Level::NewWater() {
    water_.reset(LevelWater::Make(region_));
    if (!water_) return nullptr;
    const ABBox box = GetBoundingBox();
    GraphicsEngine* graphics = GetEngineGraphics();
    water_->Initialize(ground_ ? unsigned(2.0f * box.halfSize.x) : 0u, ground_ ? unsigned(2.0f * box.halfSize.z) : 0u,
                       ground_.get(), graphics ? graphics->GetRenderDevice() : nullptr);
    return water_.get();
}

float Level::GetGroundHeight(float x, float z) const { return ground_ ? ground_->GetHeightInterpolated(x, z) : 0.0f; }

bool Level::LoadRenderData() {
    renderDataLoaded_ = true;
    return ground_ ? ground_->LoadRenderData() : true;
}

// Entities.

void Level::InsertEntity(Entity* entity, const Coords& coords) {
    entity->SetCoords(WorldCoords(region_, coords));
    entity->UpdateBoundingBox();
    space_->AddObject(*entity);
    ++numEntities_;
}

bool Level::AddEntity(Entity* entity, const Coords& coords) {
    if (!space_ || entity->IsInSpace()) {
        Log(LogPriority::Error, "Level cannot take entity '%s' (%u): %s", entity->GetObjectName().c_str(),
            entity->GetObjectId(), space_ ? "it is already in a level" : "the level is not loaded");
        return false;
    }
    InsertEntity(entity, coords);
    entity->OnAddToLevel(this);
    return true;
}

void Level::RemoveEntity(Entity* entity) {
    entity->OnRemoveFromLevel(this);
    if (space_ && entity->IsInSpace()) {
        space_->RemoveFromNode(*entity);
        --numEntities_;
    }
    entity->SetCoords(WorldCoords());
}

void Level::MoveEntity(Entity* entity, const Coords& coords) {
    entity->SetCoords(WorldCoords(region_, coords));
    entity->UpdateBoundingBox();
    if (space_) space_->UpdateObject(*entity);
    entity->OnMoveInLevel(this);
}

bool Level::HasEntity(const Entity& entity) const {
    if (!space_) return false;
    mem::vector<Entity*> all;
    space_->GetAll(all);
    return std::any_of(all.begin(), all.end(), [&entity](const Entity* other) {
        return other->GetObjectNameHash() == entity.GetObjectNameHash() &&
               other->GetObjectName() == entity.GetObjectName();
    });
}

bool Level::DestroyAllEntities(int max) {
    if (!space_) return true;
    mem::vector<Entity*> all;
    space_->GetAll(all);
    const size_t count = max < 0 ? all.size() : std::min(all.size(), size_t(max));
    ObjectManager* objects = Singleton<ObjectManager>::Get();
    for (size_t i = 0; i < count; ++i) {
        Entity* entity = all[i];
        if (gEngine && gEngine->GetNetworkEntityList()->DoesEntityExistOnAnyClient(entity)) {
            Log(LogPriority::Error, "Level destroying entity on client list: '%s' (%i)", entity->GetObjectName().c_str(),
                int(entity->GetObjectId()));
            gEngine->GetNetworkEntityList()->RemoveEntityFromAllClients(entity);
        }
        // The update list must not keep a pointer to an entity about to be deleted.
        RemoveEntityFromNetworkList(entity);
        entity->OnRemoveFromLevel(this);
        space_->RemoveFromNode(*entity);
        --numEntities_;
        entity->SetCoords(WorldCoords());
        entity->DestroyPhysicsObject();
        objects->DestroyObjectEx(entity, __FILE__, __LINE__);
    }
    return max < 0 || count == 0;
}

// Queries.

void Level::FilterByType(mem::vector<Entity*>& entities, size_t from, EntityListType type) {
    entities.erase(std::remove_if(entities.begin() + ptrdiff_t(from), entities.end(),
                                  [type](const Entity* entity) { return !KeepsType(entity, type); }),
                   entities.end());
}

void Level::GetEntities(mem::vector<Entity*>& out, EntityListType type) const {
    if (!space_) return;
    const size_t from = out.size();
    space_->GetAll(out);
    FilterByType(out, from, type);
}

void Level::GetEntities(mem::vector<Entity*>& out, const FilterFunction<Entity>& filter, EntityListType type) const {
    const size_t from = out.size();
    GetEntities(out, type);
    out.erase(std::remove_if(out.begin() + ptrdiff_t(from), out.end(),
                             [&filter](const Entity* entity) { return !filter(entity); }),
              out.end());
}

void Level::GetEntitiesInSphere(mem::vector<Entity*>& out, const Sphere& sphere, bool useAlternateBox,
                                EntityListType type) const {
    if (!space_) return;
    const size_t from = out.size();
    space_->GetInSphere(out, sphere, useAlternateBox);
    FilterByType(out, from, type);
}

void Level::GetEntitiesInBox(mem::vector<Entity*>& out, const ABBox& box, bool useAlternateBox,
                             EntityListType type) const {
    if (!space_) return;
    const size_t from = out.size();
    space_->GetInBox(out, box, useAlternateBox);
    FilterByType(out, from, type);
}

void Level::GetEntitiesInFrustum(mem::vector<Entity*>& out, const Frustum* frusta, unsigned count,
                                 bool useAlternateBox, bool exact) const {
    if (space_) space_->GetInFrustum(out, frusta, count, nullptr, useAlternateBox, exact);
}

Entity* Level::PickEntity(const Ray& ray) const {
    Intersection hit;
    return space_ ? space_->Pick(ray, hit, PhysicsSurface::None) : nullptr;
}

Entity* Level::PickEntity(const Ray& ray, const FilterFunction<Entity>& filter) const {
    Intersection hit;
    return space_ ? space_->Pick(ray, hit, PhysicsSurface::None, [&filter](const Entity* e) { return filter(e); })
                  : nullptr;
}

void Level::PickEntities(const Ray& ray, mem::vector<Entity*>& out, bool useAlternateBox) const {
    if (loaded_) GetAllIntersections(ray, out, useAlternateBox, Infinity);
}

void Level::GetAllIntersections(const Ray& ray, mem::vector<Entity*>& out, bool useAlternateBox,
                                float maxDistance) const {
    if (space_) space_->PickAll(ray, out, maxDistance, PhysicsSurface::None, useAlternateBox);
}

bool Level::GetIntersection(const Ray& ray, Intersection& intersection, PhysicsSurface excluded,
                            bool skipEntities) const {
    bool found = false;
    if (ground_) {
        Intersection ground;
        ground_->GetIntersection(ray, ground, PhysicsSurface::None);
        if (ground.distance < intersection.distance && (excluded == PhysicsSurface::None || ground.surface != excluded)) {
            intersection = ground;
            found = true;
        }
    }
    if (water_) {
        Intersection water;
        if (water_->GetIntersection(ray, water, excluded) && water.distance < intersection.distance) {
            intersection = water;
            found = true;
        }
    }
    return (!skipEntities && space_ && space_->Pick(ray, intersection, excluded)) || found;
}

// The network update list.

void Level::AddEntityToNetworkList(Entity* entity) {
    const bool present = IsInNetworkList(entity);
    if (IsPlayerRecord(entity->GetObjectName())) {
        Log(LogPriority::Warning,
            present ? "Level: Player %d added to NetworkUpdateList more than once!."
                    : "Level: Player %d added to NetworkUpdateList.",
            int(entity->GetObjectId()));
    }
    if (!present) networkList_.push_back(entity);
}

void Level::RemoveEntityFromNetworkList(Entity* entity) {
    const auto it = std::find(networkList_.begin(), networkList_.end(), entity);
    if (it != networkList_.end()) networkList_.erase(it);
}

bool Level::IsInNetworkList(const Entity* entity) const {
    return std::find(networkList_.begin(), networkList_.end(), entity) != networkList_.end();
}

// Frame work.

void Level::PreLoad(int priority, const Frustum* frusta, unsigned count, bool immediate) {
    if (ground_) ground_->PreLoad(priority, frusta, count);
    if (!space_) return;
    scratch_.clear();
    space_->GetInFrustum(scratch_, frusta, count, &scratchInFirst_);
    for (size_t i = 0; i < scratch_.size(); ++i) {
        Entity* entity = scratch_[i];
        const bool inFirst = scratchInFirst_[i];
        if (inFirst) entity->SetInRenderPreLoadFrustum();
        if (immediate || int(entity->GetObjectId() % kPreLoadTurns) == preLoadTurn_) entity->PreLoad(priority, inFirst);
    }
    scratch_.clear();
    if (!immediate) preLoadTurn_ = (preLoadTurn_ + 1) % kPreLoadTurns;
}

void Level::UpdateEntity(Entity* entity, int elapsedMs) {
    const Vec3 before = entity->GetCoords().GetOrigin().GetRegionPosition();
    entity->Update(elapsedMs);
    if (!entity->IsInSpace() || !space_) return;
    if (!MovedFurtherThan(before, entity->GetCoords().GetOrigin().GetRegionPosition(), kReplaceDistance)) return;
    // An entity that crossed into another region is moved between levels by the world; here it
    // only finds its new node in this level's tree.
    if (entity->GetRegion() == region_) space_->UpdateObject(*entity);
}

bool Level::IsUnderground() const { return GetGridRegion() != nullptr; }

void Level::PreDeviceReset() {
    if (ground_) ground_->PreDeviceReset();
    if (water_) water_->PreDeviceReset();
}

void Level::ReloadGenerationDependentData() {
    if (ground_) ground_->ReloadGenerationDependentData();
}

void Level::PostDeviceReset() {
    if (ground_) ground_->PostDeviceReset();
    if (water_) water_->PostDeviceReset();
    if (!space_) return;
    scratch_.clear();
    space_->GetAll(scratch_);
    for (Entity* entity : scratch_) entity->SetCoords(entity->GetCoords());
    scratch_.clear();
}

void Level::Update(const Frustum* frusta, unsigned count, int elapsedMs) {
    const int elapsed = std::max(elapsedMs, 0);
    if (ground_) ground_->Update(frusta, count, elapsed);
    if (water_) water_->Update(elapsed);
    if (decals_) decals_->Update(uint32_t(elapsed));
    if (pathMesh_.HasMesh() && Singleton<PathFinder>::HasInstantiated() &&
        Singleton<PathFinder>::Get()->IsDebuggingEnabled()) {
        DebugRenderLines lines(region_);
        pathMesh_.DebugRender(lines, Coords::Identity);
    }
    if (elapsedMs <= 0 || !space_) return;
    const float inflation = gEngine ? gEngine->GetEntityUpdateInflation() : 0.0f;
    mem::vector<Frustum> inflated;
    inflated.reserve(count);
    for (unsigned i = 0; i < count; ++i) inflated.push_back(frusta[i].Expand(inflation));
    scratch_.clear();
    space_->GetInFrustum(scratch_, inflated.data(), count);

    const bool client = IsNetworkClient();
    for (Entity* entity : scratch_) {
        if (!entity->IsInWorld()) continue;
        if (client && entity->ShouldServerSpawn()) {
            entity->Activate(true);
        } else {
            UpdateEntity(entity, elapsedMs);
        }
    }
    if (client) {
        // Updating may change the list; walk a copy.
        const mem::vector<Entity*> replicated = networkList_;
        for (Entity* entity : replicated)
            if (entity->IsActivated()) UpdateEntity(entity, elapsedMs);
        const NetworkController* controller = gEngine->GetNetworkController();
        const uint32_t tick = controller ? controller->GetTick() : lastNetworkTick_;
        if (tick > lastNetworkTick_) {
            for (Entity* entity : networkList_) {
                if (!entity->IsActivated()) continue;
                const bool gathered = std::any_of(scratch_.begin(), scratch_.end(), [entity](const Entity* seen) {
                    return seen == entity && seen->ShouldServerSpawn();
                });
                if (!gathered) entity->Activate(false);
            }
            lastNetworkTick_ = tick;
        }
    }
    scratch_.clear();
}

// Saved state.

bool Level::SaveState(BinaryWriter* writer) const {
    if (!writer) return false;
    writer->BeginChunk(kChunkState);
    mem::vector<Entity*> all;
    if (space_) space_->GetAll(all);
    for (Entity* entity : all) {
        if (!entity->ShouldSaveState()) continue;
        writer->Write(entity->GetObjectName());
        writer->Write(entity->GetObjectId());
        writer->Write(entity->GetCoords().GetRegionCoords());
        writer->Write(entity->HasUniqueID());
        if (entity->HasUniqueID()) writer->Write(entity->GetUniqueID());
        BinaryWriter state;
        entity->SaveState(state);
        writer->Write(state.GetPosition());
        writer->Write(state.GetBuffer(), state.GetPosition());
    }
    writer->EndChunk();
    return true;
}

bool Level::RestoreState(const void* data, uint32_t size) {
    if (!space_) {
        Log(LogPriority::Error, "Cannot restore the state of a level that is not loaded");
        return false;
    }
    BinaryReader reader(data, size);
    ObjectManager* objects = Singleton<ObjectManager>::Get();
    bool restored = true;
    while (reader.GetRemaining() >= 8) {
        const uint32_t id = reader.ReadUInt32();
        BinaryReader chunk = reader.ReadBlock(reader.ReadUInt32());
        if (reader.Failed()) break;
        if (id != kChunkState) continue;
        while (!chunk.IsAtEnd()) {
            std::string name;
            chunk.ReadString(name);
            const uint32_t objectId = chunk.ReadUInt32();
            const Coords coords = chunk.ReadCoords();
            UniqueId uniqueId;
            if (chunk.ReadBool()) uniqueId = chunk.ReadUniqueId();
            BinaryReader state = chunk.ReadBlock(chunk.ReadUInt32());
            if (chunk.Failed()) {
                Log(LogPriority::Error, "The saved state of a level is damaged; the rest of it is left out");
                return false;
            }
            Entity* entity = objects->CreateObjectFromFile<Entity>(name, objectId, false);
            if (!entity) {
                Log(LogPriority::Error, "Failed to create entity '%s' while restoring level state", name.c_str());
                restored = false;
                continue;
            }
            entity->SetRestored(true);
            if (!uniqueId.IsNull()) entity->SetUniqueID(uniqueId);
            objects->LoadObjectData(entity);
            if (entity->IsUniqueByName() && objects->GetObjectByName(entity->GetObjectNameHash(), entity)) {
                // The existing entity belongs to the main thread: it takes this state in PostLoad.
                pendingRestores_.push_back(
                    {entity->GetObjectNameHash(), coords, mem::vector<unsigned char>(state.GetCursor(), state.GetCursor() + state.GetRemaining())});
                objects->DestroyObjectEx(entity, __FILE__, __LINE__);
                continue;
            }
            InsertEntity(entity, coords);
            entity->RestoreState(state);
            entity->UpdateBoundingBox();
        }
    }
    return restored;
}

void Level::ApplyPendingRestores() {
    ObjectManager* objects = Singleton<ObjectManager>::Get();
    for (PendingRestore& pending : pendingRestores_) {
        Object* object = objects->GetObjectByName(pending.name);
        if (!object || !object->GetRTTIClassInfo()->IsA(&Entity::classInfo)) continue;
        Entity* entity = static_cast<Entity*>(object);
        BinaryReader state(pending.state.data(), uint32_t(pending.state.size()));
        entity->RestoreState(state);
        if (entity->IsInSpace()) {
            entity->SetCoords(WorldCoords(region_, pending.coords));
            entity->UpdateBoundingBox();
        } else {
            AddEntity(entity, pending.coords);
        }
    }
    pendingRestores_.clear();
}

bool Level::RebuildPathMesh(const mem::vector<PathFace>& walkable, const mem::vector<PathFace>& obstacles) {
    PathFinder* finder = Singleton<PathFinder>::Get();
    finder->RemoveMesh(&pathMesh_);
    pathMesh_.Create(walkable, obstacles);
    if (pathMeshListed_ && pathMesh_.HasMesh()) finder->AddMesh(&pathMesh_);
    return pathMesh_.HasMesh();
}

void Level::GetObstacleFaces(mem::vector<PathFace>& out, const Vec3& shift) const {
    if (!space_) return;
    mem::vector<Entity*> all;
    space_->GetAll(all);
    for (const Entity* entity : all) {
        const PhysicsMesh* mesh = entity->GetPhysicsMesh();
        if (!mesh) continue;
        const Coords& placement = entity->GetCoords().GetRegionCoords();
        for (int f = 0; f < mesh->GetNumFaces(); ++f) {
            PathFace face;
            for (int i = 0; i < 3; ++i)
                face.corner[i] = placement.TransformPoint(mesh->GetVertex(int(mesh->GetFace(f).vertices[i]))) + shift;
            out.push_back(face);
        }
    }
}

bool Level::CreatePathMesh() {
    mem::vector<Region*> regions;
    if (region_ && region_->GetWorld()) region_->GetWorld()->GetRegionsInBox(regions, region_, GetBoundingBox());
    std::erase(regions, region_);
    mem::vector<PathFace> walkable;
    mem::vector<PathFace> obstacles;
    const auto collect = [&](const Level& level, const Vec3& shift) {
        const size_t first = walkable.size();
        if (level.ground_) level.ground_->GetWalkableFaces(walkable);
        for (size_t f = first; f < walkable.size(); ++f)
            for (Vec3& corner : walkable[f].corner) corner += shift;
        level.GetObstacleFaces(obstacles, shift);
    };
    collect(*this, Vec3());
    mem::vector<Region*> loadedHere;
    for (Region* region : regions) {
        const bool wasLoaded = region->IsLevelLoaded();
        const Level* level = region->GuaranteedGetLevel(false);
        if (!level) continue;
        if (!wasLoaded) loadedHere.push_back(region);
        collect(*level, GetOffsetDifference(region, region_));
    }
    for (Region* region : loadedHere) region->UnloadLevel(false, false);
    // Without walkable ground there is no mesh, and nothing failed.
    return RebuildPathMesh(walkable, obstacles) || walkable.empty();
}

void Level::RenderPathMeshes(GraphicsPrimitiveDrawer& drawer, const Coords& toWorld) const {
    if (!pathMesh_.HasMesh()) return;
    // The mesh's edges as lines of the drawer.
    class Lines final : public PathDebugDrawer {
    public:
        explicit Lines(GraphicsPrimitiveDrawer& drawer) : drawer_(drawer) {}
        void DrawLine(const Vec3& from, const Vec3& to) override {
            drawer_.Begin(GraphicsPrimitiveDrawer::PrimitiveType::Lines);
            drawer_.SetVertex(from);
            drawer_.SetVertex(to);
            drawer_.End();
        }

    private:
        GraphicsPrimitiveDrawer& drawer_;
    } lines(drawer);
    if (const GraphicsEngine* graphics = GetEngineGraphics()) drawer.SetShader(graphics->GetOverlayShader());
    drawer.SetColor(kPathMeshColor);
    pathMesh_.DebugRender(lines, toWorld);
}

// Steps.

bool Level::RunPostLoadStep() {
    switch (postLoadStep_++) {
    case 0:
        pathMeshListed_ = true;
        if (pathMesh_.HasMesh()) Singleton<PathFinder>::Get()->AddMesh(&pathMesh_);
        return false;
    case 1:
        // The ground read by the loading thread is the sector layers' from now on.
        sectorLayers_.SetHeightCallbacks(ground_.get(), region_);
        if (ground_) ground_->PostLoad();
        return false;
    case 2: {
        mem::vector<Entity*> all;
        if (space_) space_->GetAll(all);
        for (Entity* entity : all) entity->OnAddToLevel(this);
        ApplyPendingRestores();
        return false;
    }
    case 3:
        // The editor sees the ground its tiles (added in the step before) cut, before any frame.
        if (ground_ && gEngine && gEngine->IsEditorMode()) ground_->ProcessDirtyRects();
        return false;
    default:
        postLoadCalled_ = true;
        postLoadInProgress_ = false;
        // The region takes the loaded level's box here, on the main thread that reads it.
        if (region_ && region_->GetLevel() == this) region_->UpdateBoundingBox();
        return true;
    }
}

bool Level::PostLoad(bool incremental) {
    if (postLoadCalled_) return true;
    if (!postLoadInProgress_) {
        postLoadInProgress_ = true;
        postLoadStep_ = 0;
    }
    if (incremental) {
        RunPostLoadStep();
        return postLoadCalled_;
    }
    while (!RunPostLoadStep()) {
    }
    return true;
}

bool Level::RunUnloadStep() {
    switch (unloadStep_) {
    case 0:
        if (DestroyAllEntities(kEntitiesPerUnloadStep)) unloadStep_ = 1;
        return false;
    case 1:
        if (Singleton<PathFinder>::HasInstantiated()) Singleton<PathFinder>::Get()->RemoveMesh(&pathMesh_);
        pathMeshListed_ = false;
        pathMesh_.Clear();
        unloadStep_ = 2;
        return false;
    default:
        space_.reset();
        water_.reset();
        SetGround(nullptr);
        loaded_ = false;
        renderDataLoaded_ = false;
        // New content is post-loaded again.
        postLoadCalled_ = false;
        postLoadInProgress_ = false;
        numEntities_ = 0;
        unloading_ = false;
        unloadStep_ = 0;
        return true;
    }
}

bool Level::Unload(bool incremental) {
    if (!loaded_ && !space_ && !ground_) return true;
    if (!unloading_) {
        unloading_ = true;
        unloadStep_ = 0;
    }
    if (incremental) {
        RunUnloadStep();
        return !unloading_;
    }
    while (!RunUnloadStep()) {
    }
    return true;
}

}  // namespace GAME
