#pragma once
// TerrainRenderInterfaceRT: the renderable of the run-time TerrainRT, a member of its terrain. It
// reads the run-time block's baked sample masks: layer k shows in cell (x, z) when bit k + 1 of
// sample (x, z)'s mask is set (and the sample is visible, bit 0, as for every pass).

#include "terrain/TerrainRenderInterfaceBase.h"

namespace GAME {

class TerrainRT;

class TerrainRenderInterfaceRT final : public TerrainRenderInterfaceBase {
public:
    explicit TerrainRenderInterfaceRT(const TerrainRT& terrain);
    const RenderVertexDeclaration* GetGroundVertexDeclaration() const override;

private:
    const RenderVertexBuffer* GetGroundVertexBuffer() const override;
    const RenderIndexBuffer* GetGrassIndexBuffer() const override;
    bool LayerShowsInCell(unsigned layer, unsigned x, unsigned z) const override;

    const TerrainRT& terrain_;
};

}  // namespace GAME
