#include "world/WorldScene.h"

#include "core/Frustum.h"
#include "engine/Engine.h"
#include "engine/Entity.h"
#include "engine/FilterFunction.h"
#include "world/Level.h"
#include "world/LevelDecals.h"
#include "world/Portal.h"
#include "world/Region.h"
#include "world/World.h"
#include "world/WorldFrustum.h"

namespace GAME {

void WorldScene::AddRegionContents(GraphicsSceneRenderer& renderer, Region* region, const Frustum& regionFrustum,
                                   Region* transparencyRegion, const Frustum* transparencyFrustum) {
    if (region == nullptr) return;
    Level* level = region->GetLevel(false);
    if (level == nullptr || !level->IsLoaded()) return;
    Frustum transparency;
    if (transparencyFrustum != nullptr) {
        WorldFrustum(transparencyRegion, *transparencyFrustum).GetRelativeFrustum(region, transparency);
    }
    const FilterFunction<Entity>* filter = gEngine != nullptr ? gEngine->GetEntityRenderFilter() : nullptr;
    scratch_.clear();
    if (regionFrustum.GetNumPlanes() > 0) level->GetEntitiesInFrustum(scratch_, &regionFrustum, 1, false, false);
    for (Entity* entity : scratch_) {
        if (filter != nullptr && !(*filter)(entity)) continue;
        if (transparencyFrustum != nullptr) entity->SetTransparency(transparency);
        entity->AddToScene(renderer, &regionFrustum);
    }
    scratch_.clear();
    if (LevelGround* ground = level->GetGround()) {
        if (transparencyFrustum != nullptr) ground->SetTransparency(transparency);
        ground->AddToScene(renderer, regionFrustum);
    }
    if (LevelWater* water = level->GetWater()) water->AddToScene(renderer, regionFrustum);
    // The decals go last.
    if (LevelDecals* decals = level->GetDecalSet()) decals->AddToScene(renderer, &regionFrustum);
}

void WorldScene::GetRegionsInFrustum(mem::vector<Region*>& out, Region* viewer, const Frustum& frustum,
                                     bool includeUnloaded) {
    out.clear();
    if (world_ == nullptr) return;
    mem::vector<Region*> regions;
    world_->GetRegionsInFrustum(regions, viewer, frustum, false);
    for (Region* region : regions) {
        if (includeUnloaded || region->IsLevelLoaded()) out.push_back(region);
    }
}

void WorldScene::AddElementsInFrustum(GraphicsSceneRenderer& renderer, Region* region, const Frustum& frustum) {
    Level* level = region->GetLevelUnlessFailed(false);
    if (level == nullptr) return;
    scratch_.clear();
    level->GetEntitiesInFrustum(scratch_, &frustum, 1, false, false);
    for (Entity* entity : scratch_) {
        if (entity->GetShouldRenderAcrossPortals()) entity->AddToScene(renderer, &frustum);
    }
    scratch_.clear();
}

void WorldScene::RenderPortals(GraphicsPrimitiveDrawer& drawer, Region* region, const Coords& regionToScene,
                               bool shadowCastersOnly) {
    for (int i = 0; i < region->GetNumPortals(); ++i) {
        const Portal* portal = region->GetPortal(i);
        if (portal != nullptr && (!shadowCastersOnly || portal->GetCastsShadows())) portal->Render(drawer, regionToScene);
    }
}

void WorldScene::AddReflectionPlanes(GraphicsReflectionManager& manager, Region* region, const Frustum& regionFrustum) {
    Level* level = region != nullptr ? region->GetLevel(false) : nullptr;
    if (level != nullptr && level->IsLoaded()) level->AddReflectionPlanes(manager, regionFrustum);
}

IntVec3 WorldScene::GetOffsetFromWorld(const Region* region) const { return region->GetOffsetFromWorld(); }

void WorldScene::GetEntitiesInSphere(mem::vector<Entity*>& out, Region* region, const Sphere& sphere) {
    if (world_ != nullptr && region != nullptr) world_->GetEntitiesInSphere(out, region, sphere, false);
}

void WorldScene::GetEntitiesInFrustum(mem::vector<Entity*>& out, Region* region, const Frustum& frustum) {
    if (region != nullptr) region->GetEntitiesInFrustum(out, frustum, false, true);
}

Coords WorldScene::GetRegionToRegionCoords(const Region* from, const Region* to) const {
    return from != nullptr && to != nullptr ? from->GetRelativeTransformation(to) : Coords();
}

}  // namespace GAME
