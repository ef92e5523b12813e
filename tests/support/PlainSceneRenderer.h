#pragma once
// PlainSceneRenderer: a scene renderer that sets no shader constants of its own, so what it draws
// shows the shaders' defaults and the renderables' own parameters.

#include "scene/GraphicsSceneRenderer.h"

namespace GAME::test {

class PlainSceneRenderer : public GraphicsSceneRenderer {
public:
    void SetShaderConstants(GraphicsCanvas&, const GraphicsShader2*) const override {}
};

}  // namespace GAME::test
