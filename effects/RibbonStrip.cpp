#include "effects/RibbonStrip.h"

#include "core/Mat4.h"
#include "core/Name.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsShader2.h"
#include "render/GraphicsTexture.h"
#include "render/RenderDevice.h"

namespace GAME {

RenderVertexDeclaration* RibbonStrip::CreateDeclaration(RenderDevice& device) {
    static const RenderVertexElement kElements[] = {
        {0, RenderVertexUsage::Position, RenderVertexElementType::Float3},
        {0, RenderVertexUsage::TexCoord0, RenderVertexElementType::Float2},
        {0, RenderVertexUsage::Color, RenderVertexElementType::UByte4},
    };
    return device.CreateVertexDeclaration(kElements, 3);
}

RibbonVertex* RibbonStrip::Lock(GraphicsCanvas& canvas) {
    RenderDynamicVertexBuffer* buffer = canvas.GetDynamicVertexBuffer();
    if (!buffer || !canvas.GetDynamicIndexBuffer()) return nullptr;
    return static_cast<RibbonVertex*>(buffer->Lock(kMaxVertices * sizeof(RibbonVertex)));
}

void RibbonStrip::Draw(GraphicsCanvas& canvas, uint32_t pairs, const RenderVertexDeclaration& declaration,
                       const GraphicsShader2& shader, const Mat4& objectToScreen, const GraphicsTexture* texture,
                       const char* label) {
    RenderDynamicVertexBuffer* vertexBuffer = canvas.GetDynamicVertexBuffer();
    RenderDynamicIndexBuffer* indexBuffer = canvas.GetDynamicIndexBuffer();
    vertexBuffer->Unlock();
    if (pairs < 2) return;
    const uint32_t quads = pairs - 1;
    uint32_t* indices = indexBuffer->Lock(6 * quads);
    if (!indices) return;
    for (uint32_t s = 0; s < quads; ++s) {
        const uint32_t quad[6] = {2 * s + 2, 2 * s + 3, 2 * s + 1, 2 * s, 2 * s + 2, 2 * s + 1};
        for (int i = 0; i < 6; ++i) *indices++ = quad[i];
    }
    indexBuffer->Unlock();

    static const Name objectToScreenName = Name::Create("objectToScreenMatrix");
    static const Name baseTextureName = Name::Create("baseTexture");
    RenderDevice& device = canvas.GetRenderDevice();
    vertexBuffer->SetStreamSource(0, sizeof(RibbonVertex));
    indexBuffer->SetIndices();
    device.SetVertexDeclaration(&declaration);
    shader.Begin();
    shader.SetFloat4x4(objectToScreenName, 0, objectToScreen);
    shader.SetTexture(baseTextureName, 0, texture ? texture->GetTexture() : nullptr);
    shader.Render(label);
    const RenderIndexedDraw draw = indexBuffer->PrepareDraw(2 * pairs, 2 * quads, 0, 0);
    device.DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, draw.baseVertex, draw.vertexCount,
                                draw.primitiveCount, draw.startIndex, draw.flags);
    shader.End();
}

}  // namespace GAME
