#pragma once
// TerrainLayeredObject: a terrain object drawn in the terrain's own layer shader, so that it takes
// the ground's textures where it lies - the plugs that close seams and the tiles placed on the
// ground. It keeps the terrain's layers that show inside its bounds (RefreshLayers) and is queued
// for the terrain's region as a scene renderable of its own.
//
// Passes, like the ground's: pass 0 (sort order -1) lays the solid style of the ground (depth,
// light mask, shadow filter, fog) under the layers; passes 1 to N (sort order 3) draw one layer
// each, the topmost layer first. In "reflectionStyle" only the layers are drawn, bottom layer
// first, pass p drawing layers[p] in the scene's style.

#include "core/Coords.h"
#include "core/Mem.h"
#include "scene/GraphicsRenderable.h"
#include "terrain/TerrainObject.h"

namespace GAME {

class TerrainLayeredObject : public TerrainObject, public GraphicsRenderable {
public:
    void SetTerrain(TerrainBase* terrain) { terrain_ = terrain; }
    TerrainBase* GetTerrain() const { return terrain_; }
    const mem::vector<unsigned>& GetLayers() const { return layers_; }
    void SetLayers(const mem::vector<unsigned>& layers) { layers_ = layers; }

    // TerrainObject
    // Queues the object with the terrain's region.
    void AddToScene(GraphicsSceneRenderer& renderer, const TerrainBase& terrain) override;
    // The terrain's layers inside the bounds; nothing before SetTerrain.
    void RefreshLayers() override;

    // GraphicsRenderable
    int GetNumRenderPasses(const Name& style, RenderGenerationId generation) const override;
    const ABBox& GetRenderPassBoundingBox() const override { return GetBoundingBox(); }
    int GetRenderPassSortOrder(int pass, const Name& style, RenderGenerationId generation) const override;
    // The terrain's layer shader; null while the terrain has none.
    const GraphicsShader2* GetShader2(int pass, const Name& style) const override;
    const Name& GetShaderStyle(int pass, const Name& style, RenderGenerationId generation,
                               const GraphicsLight* light) const override;
    const GraphicsTexture* GetTexture(int, const Name&) const override { return nullptr; }

protected:
    TerrainLayeredObject() = default;

    // Begins the pass's shader for geometry placed by objectToRegion, with the pass's layer's
    // parameters; false (nothing begun) when the scene renderer draws no terrain or there is
    // nothing to draw with.
    bool BeginLayerPass(const RenderablePass& pass, const Name& style, const GraphicsSceneRenderer& renderer,
                        const Coords& objectToRegion) const;

private:
    // Whether pass 0 lays fog under "fogStyle" (plugs do; tiles draw nothing in fog).
    virtual bool FogsSolidPass() const = 0;

    TerrainBase* terrain_ = nullptr;  // not owned
    mem::vector<unsigned> layers_;    // terrain layers showing inside the bounds, ascending
};

}  // namespace GAME
