#pragma once
// GraphicsShadowMapRenderer: the shadow-only scene renderer a shadow map draws its casters with.
// It is filled like any scene renderer (regions, then renderables) and draws every pass of one
// shadow style into a render surface: cleared to white at depth 1, with a one-texel border that
// stays cleared, so that lookups past the map's edge find no shadow. A directional light's map
// also holds the shadow-casting portals of its regions (drawn through the SceneWorld, which knows
// portals; without one there are none), so that light does not reach through them.
//
// Decisions:
// - The depth lookup texture only serves the generation that samples shadow colour (R200); it
//   is loaded only when the graphics engine runs that generation.

#include "core/Name.h"
#include "scene/GraphicsLight.h"
#include "scene/GraphicsSceneRenderer.h"

namespace GAME {

class RenderSurface;
class SceneWorld;

class GraphicsShadowMapRenderer final : public GraphicsSceneRenderer {
public:
    static constexpr const char* kDepthLookupTexture = "System/Textures/DepthMapLookup.tex";

    // The map works in region's space; world may be null.
    GraphicsShadowMapRenderer(const GraphicsLight& light, Region* region, SceneWorld* world);

    static void CreateResources(GraphicsEngine& graphics);
    static void DestroyResources(GraphicsEngine& graphics);

    void SetWorldToScreenMatrix(const Mat4& matrix, const Viewport& viewport);
    const Viewport& GetViewport() const override { return viewport_; }
    // Draws every pass of the style into target (see the header comment).
    void Render(GraphicsCanvas& canvas, RenderSurface* target, const Name& style);

    void SetShaderConstants(GraphicsCanvas& canvas, const GraphicsShader2* shader) const override;
    bool IsShadowOnly() const override { return true; }

private:
    GraphicsLight light_;
    Region* region_;
    Viewport viewport_;
    float timeStamp_;  // seconds of game time at construction
};

}  // namespace GAME
