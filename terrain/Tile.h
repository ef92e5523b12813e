#pragma once
// Tile: a placeable actor whose mesh becomes part of the ground. While the tile is in a level with
// a terrain, the terrain holds a TerrainTile of the tile's mesh at the tile's place, so the mesh
// is drawn and met by rays as terrain and, attached, cuts its outline into the ground; the Tile
// only keeps that terrain tile in step with its own life in the level. In a level without a
// terrain (an interior grid) it is an ordinary actor. Tiles have no physics body, never block
// pathing, show on the minimap and always belong to the level file.
//
// The tile owns its terrain tile: it makes it through the terrain when it enters a level, moves it
// when it moves and gives it back when it leaves. A terrain tile whose terrain has let go of it
// (the terrain was unloaded or replaced: no tree holds the tile any more) is deleted by the Tile
// itself, so leaving such a level loses nothing and calls no terrain.

#include "engine/Actor.h"

namespace GAME {

class TerrainTile;

class Tile : public Actor {
    GAME_RTTI_DECLARE_CLASS()

public:
    // An actor without a terrain tile and without a physics body.
    Tile();
    ~Tile() override;

    // The terrain tile made of this tile's mesh; null out of a level or in one without a terrain.
    TerrainTile* GetTerrainTile() const { return terrainTile_; }

    // The actor's preload, then the terrain tile's (when the actor's succeeded).
    bool PreLoad(int priority, bool enqueue) override;
    // With a terrain: a terrain tile of the mesh at the tile's place in the level's region.
    void OnAddToLevel(Level* level) override;
    // Gives the terrain tile back.
    void OnRemoveFromLevel(Level* level) override;
    // Moves the terrain tile with the tile.
    void OnMoveInLevel(Level* level) override;
    // The mesh instance's box first (the mesh may have loaded since), then the actor's.
    void UpdateBoundingBox() override;
    bool OccludesPathing() const override { return false; }
    bool IncludeInMinimap() const override { return true; }
    bool GetIsPartOfLevel() const override { return true; }

private:
    void ReleaseTerrainTile();

    TerrainTile* terrainTile_ = nullptr;  // see the header comment
};

}  // namespace GAME
