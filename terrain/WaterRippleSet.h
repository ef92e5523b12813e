#pragma once
// WaterRippleSet: the expanding rings on the water where something touches it. A fixed pool of 128
// ripples, each a flat quad that grows from its starting to its final radius and fades on the way;
// a ripple whose radius reached its final radius is freed by the next update. Each update rewrites
// the quads of the live ripples into one dynamic vertex buffer, drawn with the 768-index pattern
// (v, v + 1, v + 2), (v, v + 2, v + 3) for v = 4k and the "Shaders/Water/WaterRipple.ssh" shader.
//
// Ripple vertex (32 bytes): f32 x 3 position, f32 x 2 texture coordinate, f32 x 2 (1, 0), u32
// colour with the alpha in the top byte.
//
// The set is a scene renderable of its own: one pass in whatever style the scene asks for (the
// shader decides which it has, and their sort orders), with an empty box so that it is never culled
// by box; the water queues it with its render interface while detail objects are shown.
//
// Without buffers or shader the set draws nothing but keeps its ripples.

#include <array>
#include <cstdint>

#include "core/Vec3.h"
#include "scene/GraphicsRenderable.h"

namespace GAME {

class GraphicsShader2;
class RenderDevice;
class RenderIndexBuffer;
class RenderVertexBuffer;
class RenderVertexDeclaration;

class WaterRippleSet final : public GraphicsRenderable {
public:
    static constexpr uint32_t kMaxRipples = 128;
    static constexpr uint32_t kVertexSize = 32;
    static constexpr uint32_t kNumVertices = kMaxRipples * 4;
    static constexpr uint32_t kNumIndices = kMaxRipples * 6;
    static constexpr const char* kShaderFileName = "Shaders/Water/WaterRipple.ssh";

    struct Ripple {
        Vec3 position;            // region space
        float radius = 0.0f;
        float finalRadius = 0.0f;
        bool active = false;
    };

    // Loads the shader when there is a graphics engine.
    WaterRippleSet();
    WaterRippleSet(const WaterRippleSet&) = delete;
    WaterRippleSet& operator=(const WaterRippleSet&) = delete;
    ~WaterRippleSet();

    // Keeps the device, makes the vertex declaration on it, then the buffers.
    void Initialize(RenderDevice& device);
    // Gives the buffers and the declaration back.
    void Destroy();
    // Makes the buffers on the device (logged when it cannot) and writes the vertices once.
    void CreateBuffers();
    // Gives the buffers back (before a device reset); no ripple is drawn until they are made again.
    void ReleaseBuffers();

    // Starts a ripple near position, its radii jittered by up to 0.2; false when all are busy.
    bool CreateRipple(const Vec3& position, float radius, float finalRadius);
    // Grows and fades the live ripples by elapsedMs and rewrites their quads; frees the finished.
    void Update(int elapsedMs);

    const Ripple& GetRipple(unsigned slot) const { return ripples_[slot]; }
    // The quads written by the last update.
    uint32_t GetNumRipplesWritten() const { return numWritten_; }
    const GraphicsShader2* GetShader() const { return shader_; }
    RenderVertexBuffer* GetVertexBuffer() const { return vertexBuffer_; }
    RenderIndexBuffer* GetIndexBuffer() const { return indexBuffer_; }

    int GetNumRenderPasses(const Name&, RenderGenerationId) const override { return 1; }
    const ABBox& GetRenderPassBoundingBox() const override;
    // The shader's sort order for the style; 0 when it lacks the style.
    int GetRenderPassSortOrder(int pass, const Name& style, RenderGenerationId generation) const override;
    const GraphicsShader2* GetShader2(int, const Name&) const override { return shader_; }
    const Name& GetShaderStyle(int, const Name& style, RenderGenerationId, const GraphicsLight*) const override {
        return style;
    }
    const GraphicsTexture* GetTexture(int, const Name&) const override { return nullptr; }
    // One draw of the quads the last update wrote.
    void RenderPass(const RenderablePass& pass, const Name& style, GraphicsCanvas& canvas,
                    const GraphicsSceneRenderer& renderer) const override;
    void LogInfo() const override {}

private:
    float speedFactor_ = 1.0f;
    uint32_t numWritten_ = 0;
    RenderDevice* device_ = nullptr;               // the maker of the buffers and the declaration
    RenderVertexDeclaration* declaration_ = nullptr;
    RenderVertexBuffer* vertexBuffer_ = nullptr;
    RenderIndexBuffer* indexBuffer_ = nullptr;
    const GraphicsShader2* shader_ = nullptr;      // referenced; null without a graphics engine
    std::array<Ripple, kMaxRipples> ripples_{};
};

}  // namespace GAME
