#pragma once
// GraphicsRenderable: anything drawn in the 3-D scene (mesh instances, effects, terrain, water).
// A scene renderer asks it how many passes it has for a shader style, asks each pass's shader,
// style, sort order, texture and opacity (GetRenderPassInfo), builds one RenderablePass a pass,
// sorts them and has the renderable draw each pass with the style already begun.
//
// The interface has no data and no virtual destructor: renderers never own what they draw (the
// renderables must outlive the render). Copying copies nothing.

#include <cstdint>

#include "core/ABBox.h"
#include "core/Name.h"
#include "render/RenderDevice.h"

namespace GAME {

class GraphicsCanvas;
class GraphicsLight;
class GraphicsSceneRenderer;
class GraphicsShader2;
class GraphicsTexture;
struct RenderablePass;

class GraphicsRenderable {
public:
    GraphicsRenderable() = default;
    GraphicsRenderable(const GraphicsRenderable&) {}
    GraphicsRenderable& operator=(const GraphicsRenderable&) { return *this; }

    // Passes for the style on this hardware generation; 0 takes no part in the style.
    virtual int GetNumRenderPasses(const Name& style, RenderGenerationId generation) const = 0;
    // The box in the region's own coordinates.
    virtual const ABBox& GetRenderPassBoundingBox() const = 0;
    virtual int GetRenderPassSortOrder(int pass, const Name& style, RenderGenerationId generation) const = 0;
    // Null drops the pass.
    virtual const GraphicsShader2* GetShader2(int pass, const Name& style) const = 0;
    // The style of that shader that draws the pass; light is null outside light passes.
    virtual const Name& GetShaderStyle(int pass, const Name& style, RenderGenerationId generation,
                                       const GraphicsLight* light) const = 0;
    // The main texture of the pass, used only to group passes.
    virtual const GraphicsTexture* GetTexture(int pass, const Name& style) const = 0;
    virtual float GetOpacity(int pass, const Name& style) const;

    // What a scene renderer keeps of one pass besides the renderable's own: the shader, the index
    // of the style in it that draws the pass, the sort order, the texture and the opacity.
    struct PassInfo {
        const GraphicsShader2* shader = nullptr;
        uint32_t styleIndex = 0;
        int sortOrder = 0;
        const GraphicsTexture* texture = nullptr;
        float opacity = 1.0f;
        friend bool operator==(const PassInfo&, const PassInfo&) = default;
    };
    // All of it in one query, which a renderer makes for every pass of every renderable each
    // render; false drops the pass (no shader, or a shader without the style). This form asks
    // GetShader2, GetShaderStyle, GetRenderPassSortOrder, GetTexture and GetOpacity in turn; a
    // renderable that finds them all in one look-up gives the same answers from it.
    virtual bool GetRenderPassInfo(int pass, const Name& style, RenderGenerationId generation,
                                   const GraphicsLight* light, PassInfo& info) const;
    virtual bool GetCastsShadows() const;
    // Draws the pass; the pass's shader style is already begun.
    virtual void RenderPass(const RenderablePass& pass, const Name& style, GraphicsCanvas& canvas,
                            const GraphicsSceneRenderer& renderer) const = 0;
    // Describes the renderable in the engine log.
    virtual void LogInfo() const = 0;

protected:
    ~GraphicsRenderable() = default;
};

}  // namespace GAME
