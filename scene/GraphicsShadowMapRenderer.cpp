#include "scene/GraphicsShadowMapRenderer.h"

#include "core/GameClock.h"
#include "core/WorldCoords.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsPrimitiveDrawer.h"
#include "render/GraphicsShader2.h"
#include "render/GraphicsTexture.h"
#include "scene/SceneWorld.h"

namespace GAME {

namespace {

const GraphicsTexture* gDepthLookup = nullptr;

struct ConstantNames {
    Name lightPosition = Name::Create("lightPosition");
    Name lightMaxDistance = Name::Create("lightMaxDistance");
    Name lightDirection = Name::Create("lightDirection");
    Name depthLookupTexture = Name::Create("depthLookupTexture");
    Name time = Name::Create("time");
};

const ConstantNames& Constants() {
    static const ConstantNames names;
    return names;
}

}  // namespace

GraphicsShadowMapRenderer::GraphicsShadowMapRenderer(const GraphicsLight& light, Region* region, SceneWorld* world)
    : GraphicsSceneRenderer(world),
      light_(light),
      region_(region),
      timeStamp_(float(GameClock::Get().GetMilliseconds()) * 0.001f) {}

void GraphicsShadowMapRenderer::CreateResources(GraphicsEngine& graphics) {
    if (gDepthLookup == nullptr && graphics.GetGenerationId() == RenderGenerationId::R200) {
        gDepthLookup = graphics.LoadTexture(kDepthLookupTexture);
    }
}

void GraphicsShadowMapRenderer::DestroyResources(GraphicsEngine& graphics) {
    if (gDepthLookup != nullptr) graphics.UnloadTexture(gDepthLookup);
    gDepthLookup = nullptr;
}

void GraphicsShadowMapRenderer::SetWorldToScreenMatrix(const Mat4& matrix, const Viewport& viewport) {
    GraphicsSceneRenderer::SetWorldToScreenMatrix(matrix);
    viewport_ = viewport;
}

void GraphicsShadowMapRenderer::Render(GraphicsCanvas& canvas, RenderSurface* target, const Name& style) {
    canvas.SetTargetSurface(target);
    canvas.SetViewport(viewport_);
    canvas.SetClearColor(Color(1.0f, 1.0f, 1.0f, 1.0f));
    canvas.Clear(RenderDevice::kClearColor | RenderDevice::kClearDepth, 1.0f);
    canvas.SetClippingRect(Rect(1.0f, 1.0f, float(viewport_.width - 2), float(viewport_.height - 2)), false);
    RenderStyle(canvas, style);
    const GraphicsShader2* portalShader = GetPortalMaskShader();
    SceneWorld* world = GetSceneWorld();
    if (light_.GetType() == GraphicsLight::Type::Directional && world != nullptr && portalShader != nullptr) {
        static const Name shadow = Name::Create("shadow");
        GraphicsPrimitiveDrawer drawer(canvas);
        drawer.SetShader(portalShader, shadow);
        drawer.SetColor(Color(1.0f, 0.0f, 1.0f, 1.0f));
        drawer.SetCamera(nullptr, GetCamera(), viewport_);
        drawer.SetWorldToScreenMatrix(GetWorldToScreenMatrix());
        for (const auto& [region, regionToScene] : GetRegionToSceneCoordsMap()) {
            world->RenderPortals(drawer, region, regionToScene, true);
        }
    }
    canvas.ClearClippingRect();
    canvas.SetDefaultState();
    canvas.SetViewport(viewport_);
}

void GraphicsShadowMapRenderer::SetShaderConstants(GraphicsCanvas&, const GraphicsShader2* shader) const {
    const ConstantNames& names = Constants();
    const WorldCoords& coords = light_.GetObjectToWorldCoords();
    if (light_.GetType() == GraphicsLight::Type::Point) {
        if (region_ != nullptr) {
            shader->SetFloat3(names.lightPosition, 0,
                              GetRegionToSceneCoords(coords.GetRegion()).TransformPoint(coords.GetRegionCoords().origin));
        }
        shader->SetFloat(names.lightMaxDistance, 0, light_.GetRadius());
    } else {
        shader->SetFloat3(names.lightDirection, 0, coords.GetRegionCoords().zAxis);
    }
    if (GetGenerationId() == RenderGenerationId::R200 && gDepthLookup != nullptr) {
        shader->SetTexture(names.depthLookupTexture, 0, gDepthLookup->GetTexture());
    }
    shader->SetFloat(names.time, 0, timeStamp_);
}

}  // namespace GAME
