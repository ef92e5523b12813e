#pragma once
// TerrainRenderInterface: the renderable of the editable Terrain. It reads the editor's data
// directly: a layer shows in a cell whose visibility state is Blended or Opaque, and a hidden
// sample's cells are not drawn. The terrain owns it and makes a new one whenever it is made anew
// (construction, New, Load).

#include "terrain/TerrainRenderInterfaceBase.h"

namespace GAME {

class Terrain;

class TerrainRenderInterface final : public TerrainRenderInterfaceBase {
public:
    explicit TerrainRenderInterface(const Terrain& terrain);

    // The number of layers Blended or Opaque in each cell of the blocks in view, at
    // coords.xAxis x + coords.yAxis h + coords.zAxis z + coords.origin (h the sample's height).
    void DrawLayerCountLabels(DebugRenderManager& debug, const Coords& coords) const override;
    const RenderVertexDeclaration* GetGroundVertexDeclaration() const override;

private:
    const RenderVertexBuffer* GetGroundVertexBuffer() const override;
    const RenderIndexBuffer* GetGrassIndexBuffer() const override;
    bool LayerShowsInCell(unsigned layer, unsigned x, unsigned z) const override;

    const Terrain& terrain_;
};

}  // namespace GAME
