#pragma once
// WaterRenderInterface: the scene renderable of a region's water. Each frame the water's
// AddToScene has it gather the elements in view (Update), sorted by water type so that the
// type's shader parameters change as seldom as possible; the scene renderer then draws five
// passes, only in the emissive and fog styles:
//   0: layer blocks and 1: river segments, at sort order 1001, with
//      "Shaders/Water/WaterBasic.ssh" (styles "waterBlockStyle" / "waterPathStyle", or their
//      "...ReflectStyle" forms while reflections are on), the block index buffer and each
//      element's type parameters;
//   2-4: the wave elements once per waves texture, at sort order 1002, with
//      "Shaders/Water/WaterWaves.ssh" and the wave index pattern (not in the fog style).
// Every element is a 32-byte vertex: position, two float pairs, colour.
//
// Decisions made here:
// - The waves sort one after the surface. The scene renderer orders passes of one sort order by
//   their shaders' addresses, so at one shared sort order the surface would cover the waves
//   whenever the waves shader happened to lie lower in memory.
// - The reflection texture of an element is its plane's surface, drawn by the reflection manager
//   this frame; null (nothing reflected) until one is.

#include <cstdint>

#include "core/ABBox.h"
#include "core/IntVec3.h"
#include "core/Mem.h"
#include "scene/GraphicsRenderable.h"

namespace GAME {

class Frustum;
class RenderDevice;
class RenderVertexDeclaration;
class Water;
class WaterElement;

class WaterRenderInterface final : public GraphicsRenderable {
public:
    static constexpr int kNumPasses = 5;
    static constexpr int kSortOrder = 1001;       // the surface: passes 0 and 1
    static constexpr int kWavesSortOrder = 1002;  // the waves: passes 2 to 4

    explicit WaterRenderInterface(const Water& water) : water_(water) {}
    ~WaterRenderInterface();
    WaterRenderInterface(const WaterRenderInterface&) = delete;
    WaterRenderInterface& operator=(const WaterRenderInterface&) = delete;

    // Makes the vertex declaration on the device.
    void Initialize(RenderDevice& device);
    // Gives the declaration back.
    void Destroy();
    // Gathers and sorts the elements in the frustum; false when none is in view.
    bool Update(const IntVec3& offset, const Frustum& frustum);

    int GetNumRenderPasses(const Name& style, RenderGenerationId generation) const override;
    const ABBox& GetRenderPassBoundingBox() const override { return bounds_; }
    int GetRenderPassSortOrder(int pass, const Name&, RenderGenerationId) const override {
        return pass < 2 ? kSortOrder : kWavesSortOrder;
    }
    const GraphicsShader2* GetShader2(int pass, const Name& style) const override;
    const Name& GetShaderStyle(int pass, const Name& style, RenderGenerationId generation,
                               const GraphicsLight* light) const override;
    const GraphicsTexture* GetTexture(int, const Name&) const override { return nullptr; }
    void RenderPass(const RenderablePass& pass, const Name& style, GraphicsCanvas& canvas,
                    const GraphicsSceneRenderer& renderer) const override;
    void LogInfo() const override;

    const mem::vector<WaterElement*>& GetVisibleElements() const { return visible_; }

private:
    void RenderElements(uint32_t type, RenderDevice& device, bool useReflection) const;
    void RenderWaveElements(RenderDevice& device, int texture) const;

    const Water& water_;
    IntVec3 offset_;
    mem::vector<WaterElement*> visible_;
    ABBox bounds_;
    RenderDevice* device_ = nullptr;
    RenderVertexDeclaration* declaration_ = nullptr;
};

}  // namespace GAME
