#pragma once
// SingleShaderRenderable: a renderable that draws every pass of every style with one shader, in
// the style the scene renderer asks for, and one main texture: the effects (emitters, lines,
// trails, billboards, decals). They set the shader and texture they load; both are borrowed from
// the graphics engine's managers (null until loaded, and null drops the passes) and given back
// when the renderable goes.

#include "scene/GraphicsRenderable.h"

namespace GAME {

class SingleShaderRenderable : public GraphicsRenderable {
public:
    const GraphicsShader2* GetShader2(int, const Name&) const override { return shader_; }
    const Name& GetShaderStyle(int, const Name& style, RenderGenerationId, const GraphicsLight*) const override {
        return style;
    }
    const GraphicsTexture* GetTexture(int, const Name&) const override { return texture_; }

protected:
    SingleShaderRenderable() = default;
    ~SingleShaderRenderable();
    // Gives the shader and texture back to the graphics engine's managers; both null after.
    void ReleaseShaderAndTexture();

    const GraphicsShader2* shader_ = nullptr;
    const GraphicsTexture* texture_ = nullptr;
};

}  // namespace GAME
