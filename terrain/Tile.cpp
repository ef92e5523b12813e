#include "terrain/Tile.h"

#include "scene/GraphicsMeshInstance.h"
#include "terrain/TerrainBase.h"
#include "terrain/TerrainTile.h"

namespace GAME {

GAME_RTTI_DEFINE_CLASS(Tile, Actor);

Tile::Tile() { SetPhysicsType(PhysicsType::None); }

Tile::~Tile() { ReleaseTerrainTile(); }

bool Tile::PreLoad(int priority, bool enqueue) {
    if (!Actor::PreLoad(priority, enqueue)) return false;
    if (terrainTile_ != nullptr) terrainTile_->Load(priority, enqueue);
    return true;
}

void Tile::OnAddToLevel(Level* level) {
    Actor::OnAddToLevel(level);
    TerrainBase* terrain = TerrainBase::GetLevelTerrain(level);
    if (terrain == nullptr) return;
    // Entering again without leaving first gives the old terrain tile back rather than leaking it.
    ReleaseTerrainTile();
    const GraphicsMeshInstance* instance = GetMeshInstance();
    terrainTile_ = terrain->CreateTile(GetCoords().GetRegionCoords(), instance != nullptr ? instance->GetMesh() : nullptr);
}

void Tile::OnRemoveFromLevel(Level* level) {
    Actor::OnRemoveFromLevel(level);
    ReleaseTerrainTile();
}

void Tile::OnMoveInLevel(Level* level) {
    Actor::OnMoveInLevel(level);
    TerrainBase* terrain = TerrainBase::GetLevelTerrain(level);
    if (terrainTile_ != nullptr && terrain != nullptr && terrain == terrainTile_->GetTerrain())
        terrain->MoveTile(terrainTile_, GetCoords().GetRegionCoords());
}

void Tile::UpdateBoundingBox() {
    if (GraphicsMeshInstance* instance = GetMeshInstance()) instance->UpdateBoundingBox(true);
    Actor::UpdateBoundingBox();
}

void Tile::ReleaseTerrainTile() {
    if (terrainTile_ == nullptr) return;
    // A tile still in a tree belongs to a live terrain (a terrain takes every object out of its
    // tree when it unloads or goes); one in none was let go of and is deleted here.
    if (terrainTile_->IsInSpace())
        terrainTile_->GetTerrain()->DestroyTile(terrainTile_);
    else
        delete terrainTile_;
    terrainTile_ = nullptr;
}

}  // namespace GAME
