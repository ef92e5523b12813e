#include "effects/SingleShaderRenderable.h"

#include "engine/Engine.h"
#include "render/GraphicsEngine.h"

namespace GAME {

SingleShaderRenderable::~SingleShaderRenderable() { ReleaseShaderAndTexture(); }

void SingleShaderRenderable::ReleaseShaderAndTexture() {
    if (GraphicsEngine* const graphics = GetEngineGraphics()) {
        if (texture_ != nullptr) graphics->UnloadTexture(texture_);
        if (shader_ != nullptr) graphics->UnloadShader2(shader_);
    }
    texture_ = nullptr;
    shader_ = nullptr;
}

}  // namespace GAME
