#pragma once
// TerrainTile: a mesh placed on a terrain as part of its ground. A Tile entity makes one through
// its terrain (TerrainBase::CreateTile) when it enters a level, moves it with itself (MoveTile) and
// gives it back when it leaves (DestroyTile); the terrain keeps it in its tree, the entity owns it.
//
// Rays meet a tile through its mesh's collision mesh at its placement; boxes get no contacts from
// it through the terrain (the entity's physics handles the mesh). While it is attached - joined
// to the ground, which the terrain decides when the tile is added - the editable terrain pulls
// the heights near its contours toward them, hides the samples inside them and closes the seam
// between the two with plugs.
//
// Contours: the mesh's contour points placed by the tile's coords, each as a SimplePolygon vertex
// (x, z, height) followed by the point's normal turned with the tile. A contour runs with the
// tile's outside on its left (clockwise seen from above, x to the right and z up): the hidden
// ground's outline runs the other way round it, so the seam between them is what lies on the left
// of both.

#include "core/Coords.h"
#include "core/Mem.h"
#include "terrain/TerrainObject.h"

namespace GAME {

class GraphicsMesh;
class SimplePolygon;
class TerrainBase;

class TerrainTile final : public TerrainObject {
    GAME_RTTI_DECLARE_CLASS()

public:
    // How far around its contours an attached tile marks the ground for rebuilding by default.
    static constexpr float kDefaultMaxDistance = 5.0f;

    // No terrain, not attached, at the identity, without a mesh: bounds a point at the origin.
    TerrainTile();
    ~TerrainTile() override;

    void SetTerrain(TerrainBase* terrain) { terrain_ = terrain; }
    TerrainBase* GetTerrain() const { return terrain_; }
    // Both recompute the bounds (the caller re-places a tile in a tree).
    void SetCoords(const Coords& coords);
    const Coords& GetCoords() const { return coords_; }
    // The mesh is shared, not owned: it must outlive the tile's use of it.
    void SetMesh(const GraphicsMesh* mesh);
    const GraphicsMesh* GetMesh() const { return mesh_; }
    bool GetAttached() const { return attached_; }
    void SetAttached(bool attached) { attached_ = attached; }
    // How far around its contours the ground under the tile is rebuilt.
    float GetMaxDistance() const { return maxDistance_; }
    const mem::vector<unsigned>& GetLayers() const { return layers_; }

    // The mesh's contours; 0 without a mesh.
    int GetNumContours() const;
    // Contour index placed on the terrain (see above); index < GetNumContours().
    SimplePolygon GetContour(int index) const;

    // TerrainObject
    // The mesh's collision mesh hit at the tile's placement; no hit without one.
    void GetIntersection(const Ray& ray, Intersection& hit, PhysicsSurface surface) const override;
    // Records the load state and queues the mesh with the resource loader.
    void Load(int priority, bool preLoad) override;
    // The terrain's layers inside the bounds; nothing before SetTerrain.
    void RefreshLayers() override;

private:
    void UpdateBounds();

    TerrainBase* terrain_ = nullptr;      // not owned
    bool attached_ = false;
    Coords coords_;                       // the mesh's placement in the terrain's region
    float maxDistance_ = kDefaultMaxDistance;
    mem::vector<unsigned> layers_;        // terrain layers under the tile, ascending
    const GraphicsMesh* mesh_ = nullptr;  // not owned
};

}  // namespace GAME
