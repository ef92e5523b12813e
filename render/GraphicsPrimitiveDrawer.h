#pragma once
// GraphicsPrimitiveDrawer: immediate-mode lines and triangles (debug shapes, gizmos, 2-D overlays)
// drawn through the canvas's shared dynamic buffers with a shader style.
//
// Callers open a primitive with Begin, give its vertices one at a time (each takes the current
// colour, normal and texture coordinate) and close it with End. Primitives of one kind, shader,
// style and textures gather into one batch, which is drawn when the state changes, when the next
// primitive would not fit, on Flush and at destruction. Each batch is one indexed draw: a triangle
// list or a line list.
//
// The drawer works in world space under a camera (SetCamera), or in a 2-D mode over a viewport
// (Enable2DMode) where the point (x, y) is the pixel (x, y) of the viewport: 2-D points become the
// world points (x, 0, y) seen from above by an orthographic camera. Geometry of another region is
// drawn in the camera region's frame (SetRegion).
//
// While a batch is open it holds the locks of the canvas's dynamic buffers, so another user of
// those buffers (a second drawer included) must wait until this one has flushed: Flush hands them
// back. Main thread only.

#include "core/Color.h"
#include "core/Mat4.h"
#include "core/Name.h"
#include "core/Vec2.h"
#include "core/Vec3.h"
#include "render/Camera.h"
#include "render/RenderDevice.h"
#include "render/Viewport.h"

#include <array>
#include <cstdint>

namespace GAME {

class GraphicsCanvas;
class GraphicsShader2;
class Region;
struct ABBox;
struct OBBox;

// One vertex as the drawer hands it to the device; the layout of the graphics engine's basic
// vertex declaration.
struct PrimitiveVertex {
    Vec3 position;
    Vec3 normal;
    Vec2 texCoord;
    uint32_t color = 0;  // packed 0xAARRGGBB (bytes B, G, R, A)
};
static_assert(sizeof(PrimitiveVertex) == 36);

class GraphicsPrimitiveDrawer {
public:
    enum class PrimitiveType : uint32_t {
        Triangles = 0,  // three vertices each
        Lines = 1,      // two vertices each
    };

    // Vertices one primitive may stage (more are dropped), and the vertices and indices of a batch.
    static constexpr uint32_t kMaxVertices = 1000;
    static constexpr uint32_t kMaxIndices = 1000;

    // World mode over the whole canvas with the identity camera; the graphics engine's basic
    // shader (none without a running graphics engine) in the style "normal"; no textures; colour
    // white, normal (0, 1, 0), texture coordinate (0, 0).
    explicit GraphicsPrimitiveDrawer(GraphicsCanvas& canvas);
    // Flushes; a batch that could not be drawn (no shader) is dropped and the buffers unlocked.
    virtual ~GraphicsPrimitiveDrawer();
    GraphicsPrimitiveDrawer(const GraphicsPrimitiveDrawer&) = delete;
    GraphicsPrimitiveDrawer& operator=(const GraphicsPrimitiveDrawer&) = delete;

    // -- Primitives --------------------------------------------------------------------------------

    // Opens a primitive; a batch of the other kind is drawn first.
    void Begin(PrimitiveType type);
    void SetColor(const Color& color) { color_ = color.ToPacked(); }
    void SetNormal(const Vec3& normal) { normal_ = normal; }
    void SetTexCoord(const Vec2& texCoord) { texCoord_ = texCoord; }
    // Stages a vertex, moved by the region offset; dropped once kMaxVertices are staged.
    void SetVertex(const Vec3& position);
    // The 2-D point (x, y) as the world point (x, 0, y).
    void SetVertex(const Vec2& position) { SetVertex(Vec3(position.x, 0.0f, position.y)); }
    // Adds the staged vertices to the batch, drawing the batch first when they are of the other
    // kind or would not fit. The primitive is dropped when the dynamic buffers are missing or
    // cannot be locked, or when it cannot join a batch that cannot be drawn yet (no shader): a
    // batch never grows past its kMaxVertices and kMaxIndices.
    void End();
    // Draws the batch. Without a shader the batch stays; with a shader that lacks the style, or
    // without a running graphics engine (whose basic vertex declaration the batch is drawn with),
    // it is discarded.
    void Flush();

    // -- State (a change draws the batch first) ----------------------------------------------------

    void SetTexture0(const RenderTexture* texture);
    void SetTexture1(const RenderTexture* texture);
    void SetShader(const GraphicsShader2* shader, const Name& style);
    // The style "normal".
    void SetShader(const GraphicsShader2* shader);
    void SetWorldToScreenMatrix(const Mat4& matrix);
    // World mode: the world-to-screen matrix becomes the camera's projection for the viewport
    // times the inverse of its placement. The region is the one the camera stands in (may be null).
    void SetCamera(const Region* region, const Camera& camera, const Viewport& viewport);
    // The region the following vertices are given in: they move by its offset from the camera
    // region. Null means no offset; without a camera region the offset stays as it is.
    void SetRegion(const Region* region);
    // 2-D mode over the viewport (see the header comment).
    void Enable2DMode(const Viewport& viewport);

    bool Is2DMode() const { return is2DMode_; }
    const GraphicsShader2* GetShader() const { return shader_; }
    GraphicsCanvas& GetCanvas() const { return canvas_; }
    const Camera& GetCamera() const { return camera_; }
    const Region* GetCameraRegion() const { return cameraRegion_; }
    const Viewport& GetViewport() const { return viewport_; }

private:
    // Hands the locks back and forgets the batch.
    void ReleaseBatch();

    bool is2DMode_ = false;
    GraphicsCanvas& canvas_;
    RenderDevice& device_;
    RenderPrimitiveType deviceType_ = RenderPrimitiveType::TriangleList;  // of the open batch
    const RenderTexture* texture0_ = nullptr;
    const RenderTexture* texture1_ = nullptr;
    const GraphicsShader2* shader_ = nullptr;
    Name styleName_;

    // The open batch: the locked ranges of the canvas's buffers (both null when none is open).
    RenderDynamicVertexBuffer* vertexBuffer_ = nullptr;
    RenderDynamicIndexBuffer* indexBuffer_ = nullptr;
    PrimitiveVertex* batchVertices_ = nullptr;
    uint32_t* batchIndices_ = nullptr;
    uint32_t batchVertexCount_ = 0;
    uint32_t batchIndexCount_ = 0;

    // Attributes of the next vertices.
    uint32_t color_ = 0xFFFFFFFFu;
    Vec3 normal_{0.0f, 1.0f, 0.0f};
    Vec2 texCoord_;

    Camera camera_;
    const Region* cameraRegion_ = nullptr;
    Viewport viewport_;
    Vec3 regionOffset_;
    PrimitiveType primitiveType_ = PrimitiveType::Triangles;

    std::array<PrimitiveVertex, kMaxVertices> staged_;
    uint32_t stagedCount_ = 0;
    Mat4 worldToScreenMatrix_;
};

// -- Shapes: each is one or more primitives of its own (Begin ... End) in the current colour -------

// The 12 edges of the box.
void DrawWireframeBox(GraphicsPrimitiveDrawer& drawer, const ABBox& box);
void DrawWireframeBox(GraphicsPrimitiveDrawer& drawer, const OBBox& box);
// The six faces of the box, two triangles each.
void DrawSolidBox(GraphicsPrimitiveDrawer& drawer, const ABBox& box);
void DrawSolidBox(GraphicsPrimitiveDrawer& drawer, const OBBox& box);
// The circle in the x-z plane through `points` points (the last one closes it on the first), so
// points - 1 segments; fewer than two points draw nothing.
void DrawWireframeCircle(GraphicsPrimitiveDrawer& drawer, const Vec3& centre, float radius, unsigned points);
// The same circle filled: each segment a triangle with the centre.
void DrawSolidCircle(GraphicsPrimitiveDrawer& drawer, const Vec3& centre, float radius, unsigned points);
// The circles of DrawWireframeCircle in the x-y, x-z and z-y planes.
void DrawAxisSphere(GraphicsPrimitiveDrawer& drawer, const Vec3& centre, float radius, unsigned points);
// Lines from centre - size to centre + size along each axis.
void DrawAxisLines(GraphicsPrimitiveDrawer& drawer, const Vec3& centre, float size);
// The octahedron with corners centre +- size on each axis: its 8 faces, or its 12 edges.
void DrawSolidTetrahedron(GraphicsPrimitiveDrawer& drawer, const Vec3& centre, float size);
void DrawWireTetrahedron(GraphicsPrimitiveDrawer& drawer, const Vec3& centre, float size);
// A textured 2-D quad of size (width across, height along) centred on centre, its height running
// towards target: texture v = 0 at the target's end.
void Draw2DOrientedQuad(GraphicsPrimitiveDrawer& drawer, const Vec2& centre, const Vec2& target, const Vec2& size);
// A flat arrow lying across up: a shaft triangle from a base of width 1 at start to a point at
// end, and a head triangle (a fifth of the length, lifted by 0.1 along up) behind end; each filled
// and outlined. The drawer's colour is left at the outline colour.
void DrawArrow(GraphicsPrimitiveDrawer& drawer, const Vec3& start, const Vec3& end, const Color& fill,
               const Color& outline, Vec3 up);

}  // namespace GAME
