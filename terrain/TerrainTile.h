#pragma once
// TerrainTile: a mesh placed on a terrain as part of its ground. A Tile entity makes one through
// its terrain (TerrainBase::CreateTile) when it enters a level, moves it with itself (MoveTile) and
// gives it back when it leaves (DestroyTile); the terrain keeps it in its tree, the entity owns it.
//
// A tile is drawn like the ground around it (TerrainLayeredObject): its mesh's blended faces at
// its placement, in the terrain's layer shader. Rays meet a tile through its mesh's collision
// mesh at its placement; boxes get no contacts from
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
#include "terrain/TerrainLayeredObject.h"

namespace GAME {

class GraphicsMesh;
class SimplePolygon;

class TerrainTile final : public TerrainLayeredObject {
    GAME_RTTI_DECLARE_CLASS()

public:
    // How far around its contours an attached tile marks the ground for rebuilding by default.
    static constexpr float kDefaultMaxDistance = 5.0f;

    // No terrain, not attached, at the identity, without a mesh: bounds a point at the origin.
    TerrainTile();
    ~TerrainTile() override;

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

    // The mesh's contours; 0 without a mesh.
    int GetNumContours() const;
    // Contour index placed on the terrain (see above); index < GetNumContours().
    SimplePolygon GetContour(int index) const;

    // TerrainObject
    // The mesh's collision mesh hit at the tile's placement; no hit without one.
    void GetIntersection(const Ray& ray, Intersection& hit, PhysicsSurface surface) const override;
    // Records the load state and queues the mesh with the resource loader at normal priority (a
    // loaded mesh is marked used this frame).
    void Load(int priority, bool preLoad) override;

    // GraphicsRenderable
    // Draws the mesh's blended faces at the tile's placement in the pass's style, with the pass's
    // layer.
    void RenderPass(const RenderablePass& pass, const Name& style, GraphicsCanvas& canvas,
                    const GraphicsSceneRenderer& renderer) const override;
    void LogInfo() const override;

private:
    bool FogsSolidPass() const override { return false; }
    void UpdateBounds();

    bool attached_ = false;
    Coords coords_;                       // the mesh's placement in the terrain's region
    float maxDistance_ = kDefaultMaxDistance;
    const GraphicsMesh* mesh_ = nullptr;  // not owned
};

}  // namespace GAME
