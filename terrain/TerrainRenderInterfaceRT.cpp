#include "terrain/TerrainRenderInterfaceRT.h"

#include "terrain/TerrainRT.h"

namespace GAME {

TerrainRenderInterfaceRT::TerrainRenderInterfaceRT(const TerrainRT& terrain)
    : TerrainRenderInterfaceBase(terrain), terrain_(terrain) {}

const RenderVertexBuffer* TerrainRenderInterfaceRT::GetGroundVertexBuffer() const { return terrain_.GetVertexBuffer(); }

const RenderVertexDeclaration* TerrainRenderInterfaceRT::GetGroundVertexDeclaration() const {
    return terrain_.GetVertexDeclaration();
}

const RenderIndexBuffer* TerrainRenderInterfaceRT::GetGrassIndexBuffer() const { return terrain_.GetGrassIndexBuffer(); }

bool TerrainRenderInterfaceRT::LayerShowsInCell(unsigned layer, unsigned x, unsigned z) const {
    return terrain_.LayerShowsAt(layer, x, z);
}

}  // namespace GAME
