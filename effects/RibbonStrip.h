#pragma once
// RibbonStrip: how line effects and trails draw a ribbon. A ribbon is a strip of vertex pairs, two
// vertices across the ribbon at each point along it, written straight into the canvas's shared
// dynamic vertex buffer and drawn in one indexed draw, one quad per neighbouring pair of pairs
// (triangles 2s+2, 2s+3, 2s+1 and 2s, 2s+2, 2s+1 for the quad after pair s).
//
// A draw holds at most kMaxPairs pairs, the room one lock of kMaxVertices vertices gives.

#include <cstdint>

#include "core/Vec3.h"

namespace GAME {

class GraphicsCanvas;
class GraphicsShader2;
class GraphicsTexture;
class Mat4;
class RenderDevice;
class RenderVertexDeclaration;

// One vertex of a ribbon (24 bytes): position, texture coordinate (across, along), packed colour
// 0xAARRGGBB (the bytes blue, green, red, alpha).
struct RibbonVertex {
    Vec3 position;
    float u = 0.0f;
    float v = 0.0f;
    uint32_t colour = 0;
};
static_assert(sizeof(RibbonVertex) == 24, "a ribbon vertex is 24 bytes");

class RibbonStrip {
public:
    static constexpr uint32_t kMaxVertices = 1002;
    static constexpr uint32_t kMaxPairs = kMaxVertices / 2;

    // The declaration of RibbonVertex; null when the device cannot make it.
    static RenderVertexDeclaration* CreateDeclaration(RenderDevice& device);
    // Room for kMaxVertices vertices in the canvas's dynamic vertex buffer; null when the buffer
    // is missing or the lock fails. Every successful Lock is followed by one Draw.
    static RibbonVertex* Lock(GraphicsCanvas& canvas);
    // Unlocks the vertices and draws the first pairs of them (nothing for fewer than two) with
    // the shader's current style: "objectToScreenMatrix" and "baseTexture" set, the draw labelled.
    static void Draw(GraphicsCanvas& canvas, uint32_t pairs, const RenderVertexDeclaration& declaration,
                     const GraphicsShader2& shader, const Mat4& objectToScreen, const GraphicsTexture* texture,
                     const char* label);
};

}  // namespace GAME
