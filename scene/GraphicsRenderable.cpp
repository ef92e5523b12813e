#include "scene/GraphicsRenderable.h"

#include "render/GraphicsShader2.h"

namespace GAME {

float GraphicsRenderable::GetOpacity(int, const Name&) const { return 1.0f; }

bool GraphicsRenderable::GetCastsShadows() const { return false; }

bool GraphicsRenderable::GetRenderPassInfo(int pass, const Name& style, RenderGenerationId generation,
                                           const GraphicsLight* light, PassInfo& info) const {
    // Most renderables lack most styles: the style is looked for before the sort order.
    info.shader = GetShader2(pass, style);
    if (info.shader == nullptr) return false;
    info.styleIndex = info.shader->FindStyleByName(GetShaderStyle(pass, style, generation, light));
    if (info.styleIndex == GraphicsShader2::kNoStyle) return false;
    info.sortOrder = GetRenderPassSortOrder(pass, style, generation);
    info.texture = GetTexture(pass, style);
    info.opacity = GetOpacity(pass, style);
    return true;
}

}  // namespace GAME
