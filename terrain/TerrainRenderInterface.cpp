#include "terrain/TerrainRenderInterface.h"

#include <string>

#include "core/Color.h"
#include "core/Coords.h"
#include "render/DebugRenderManager.h"
#include "terrain/Terrain.h"
#include "terrain/TerrainBlock.h"

namespace GAME {

TerrainRenderInterface::TerrainRenderInterface(const Terrain& terrain)
    : TerrainRenderInterfaceBase(terrain), terrain_(terrain) {}

const RenderVertexBuffer* TerrainRenderInterface::GetGroundVertexBuffer() const { return terrain_.GetVertexBuffer(); }

const RenderVertexDeclaration* TerrainRenderInterface::GetGroundVertexDeclaration() const {
    return terrain_.GetVertexDeclaration();
}

const RenderIndexBuffer* TerrainRenderInterface::GetGrassIndexBuffer() const { return terrain_.GetGrassIndexBuffer(); }

bool TerrainRenderInterface::LayerShowsInCell(unsigned layer, unsigned x, unsigned z) const {
    const uint32_t state = terrain_.GetLayerVisibility(layer, x, z);
    return state == Terrain::Blended || state == Terrain::Opaque;
}

void TerrainRenderInterface::DrawLayerCountLabels(DebugRenderManager& debug, const Coords& coords) const {
    for (const TerrainBlock* block : GetBlocks()) {
        const unsigned x0 = block->GetColumn() * TerrainBase::kBlockCells;
        const unsigned z0 = block->GetRow() * TerrainBase::kBlockCells;
        for (unsigned z = z0; z + 1 < z0 + block->GetNumYSamples(); ++z) {
            for (unsigned x = x0; x + 1 < x0 + block->GetNumXSamples(); ++x) {
                int count = 0;
                for (unsigned layer = 0; layer < terrain_.GetNumTextureLayers(); ++layer) {
                    count += LayerShowsInCell(layer, x, z) ? 1 : 0;
                }
                const Vec3 position = coords.xAxis * float(x) + coords.yAxis * terrain_.GetHeight(x, z) +
                                      coords.zAxis * float(z) + coords.origin;
                debug.RenderText(std::to_string(count).c_str(), terrain_.GetRegion(), position,
                                 Color(1.0f, 1.0f, 1.0f, 1.0f));
            }
        }
    }
}

}  // namespace GAME
