#pragma once
// RenderablePass: one pass of one renderable as a scene renderer sorts and draws it (and as the
// shadow maps receive it). It copies what the draw needs, so the list can be sorted freely.

#include <cstdint>

#include "core/ABBox.h"
#include "core/Coords.h"

namespace GAME {

class GraphicsRenderable;
class GraphicsShader2;
class GraphicsTexture;
class Region;

struct RenderablePass {
    GraphicsRenderable* renderable = nullptr;
    Region* region = nullptr;
    int pass = 0;                              // the renderable's pass index
    const GraphicsShader2* shader = nullptr;
    uint32_t styleIndex = 0;                   // the style within the shader (always one it has)
    Coords regionToScene;                      // the region's placement in scene space
    ABBox sceneBox;                            // the renderable's box in scene space
    int sortOrder = 0;
    float lightSphere[4] = {};                 // light centre less regionToScene's origin, then the
                                               // radius; zeros for a pass built without a light
    const GraphicsTexture* texture = nullptr;
    float opacity = 1.0f;
};

}  // namespace GAME
