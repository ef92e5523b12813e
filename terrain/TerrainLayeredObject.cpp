#include "terrain/TerrainLayeredObject.h"

#include "render/GraphicsShader2.h"
#include "scene/GraphicsSceneRenderer.h"
#include "scene/RenderablePass.h"
#include "terrain/TerrainBase.h"
#include "terrain/TerrainRenderInterfaceBase.h"
#include "world/Region.h"

namespace GAME {

namespace {

const Name& ReflectionStyle() {
    static const Name name = Name::Create("reflectionStyle");
    return name;
}

}  // namespace

void TerrainLayeredObject::AddToScene(GraphicsSceneRenderer& renderer, const TerrainBase& terrain) {
    renderer.AddRenderable(this, terrain.GetRegion());
}

void TerrainLayeredObject::RefreshLayers() {
    if (terrain_ != nullptr) terrain_->GetLayersInBox(layers_, GetBoundingBox());
}

int TerrainLayeredObject::GetNumRenderPasses(const Name& style, RenderGenerationId) const {
    return int(layers_.size()) + (style == ReflectionStyle() ? 0 : 1);
}

int TerrainLayeredObject::GetRenderPassSortOrder(int pass, const Name&, RenderGenerationId) const {
    return pass == 0 ? -1 : 3;
}

const GraphicsShader2* TerrainLayeredObject::GetShader2(int, const Name&) const {
    const TerrainRenderInterfaceBase* ground = terrain_ != nullptr ? terrain_->GetRenderInterface() : nullptr;
    return ground != nullptr ? ground->GetLayerShader() : nullptr;
}

// Reflections draw only layers, so every one of their passes keeps the scene's style (the solid
// pass's tables would give layer 0's pass no style at all).
const Name& TerrainLayeredObject::GetShaderStyle(int pass, const Name& style, RenderGenerationId,
                                                 const GraphicsLight* light) const {
    if (style == ReflectionStyle()) return style;
    if (pass > 0) return TerrainRenderInterfaceBase::GetLayerPassStyle(style);
    if (style == SceneStyleNames::Get().fog && !FogsSolidPass()) return TerrainRenderInterfaceBase::GetLayerPassStyle(style);
    return TerrainRenderInterfaceBase::GetSolidPassStyle(style, light, terrain_ != nullptr && terrain_->LowQuality());
}

bool TerrainLayeredObject::BeginLayerPass(const RenderablePass& pass, const Name& style,
                                          const GraphicsSceneRenderer& renderer, const Coords& objectToRegion) const {
    if (terrain_ == nullptr || pass.shader == nullptr || !renderer.IsRenderFlagSet(GraphicsSceneRenderer::kTerrain))
        return false;
    TerrainRenderInterfaceBase::BeginPass(pass, renderer, objectToRegion);
    // The layer: in reflections layers[p]; otherwise none for pass 0 and the topmost first after.
    const size_t count = layers_.size();
    const bool reflection = style == ReflectionStyle();
    const size_t p = size_t(pass.pass);
    if ((reflection && p < count) || (!reflection && p > 0 && p <= count)) {
        const unsigned layer = reflection ? layers_[p] : layers_[count - p];
        if (layer >= terrain_->GetNumTextureLayers()) return true;  // a layer since deleted
        const Region* region = terrain_->GetRegion();
        TerrainRenderInterfaceBase::SetGroundTextureParameters(*terrain_, *pass.shader,
                                                               region != nullptr ? region->GetOffsetFromWorld() : IntVec3());
        TerrainRenderInterfaceBase::SetLayerParameters(*terrain_, *pass.shader, layer);
    }
    return true;
}

}  // namespace GAME
