#include "render/GraphicsPrimitiveDrawer.h"

#include "core/ABBox.h"
#include "core/Coords.h"
#include "core/GameClock.h"
#include "core/MathUtil.h"
#include "core/OBBox.h"
#include "engine/Engine.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsShader2.h"
#include "core/WorldVec3.h"

#include <cmath>
#include <cstring>

namespace GAME {

namespace {

const Name kNormalStyle = Name::Create("normal");
const Name kCameraOrigin = Name::Create("cameraOrigin");
const Name kObjectToWorld = Name::Create("objectToWorldMatrix");
const Name kObjectToScreen = Name::Create("objectToScreenMatrix");
const Name kColor = Name::Create("color");
const Name kTime = Name::Create("time");
const Name kBaseTexture = Name::Create("baseTexture");
const Name kBaseTexture2 = Name::Create("baseTexture2");

RenderPrimitiveType DeviceType(GraphicsPrimitiveDrawer::PrimitiveType type) {
    return type == GraphicsPrimitiveDrawer::PrimitiveType::Lines ? RenderPrimitiveType::LineList
                                                                 : RenderPrimitiveType::TriangleList;
}

}  // namespace

GraphicsPrimitiveDrawer::GraphicsPrimitiveDrawer(GraphicsCanvas& canvas)
    : canvas_(canvas),
      device_(canvas.GetRenderDevice()),
      styleName_(kNormalStyle),
      viewport_(0, 0, canvas.GetWidth(), canvas.GetHeight()) {
    if (const GraphicsEngine* graphics = GetEngineGraphics()) shader_ = graphics->GetBasicShader();
}

GraphicsPrimitiveDrawer::~GraphicsPrimitiveDrawer() {
    Flush();
    ReleaseBatch();
}

// -------------------------------------------------------------------------------------------------
// Primitives
// -------------------------------------------------------------------------------------------------

void GraphicsPrimitiveDrawer::Begin(PrimitiveType type) {
    if (DeviceType(type) != deviceType_) Flush();
    primitiveType_ = type;
    stagedCount_ = 0;
}

void GraphicsPrimitiveDrawer::SetVertex(const Vec3& position) {
    if (stagedCount_ == kMaxVertices) return;
    staged_[stagedCount_++] = PrimitiveVertex{position + regionOffset_, normal_, texCoord_, color_};
}

void GraphicsPrimitiveDrawer::End() {
    const uint32_t count = stagedCount_;
    stagedCount_ = 0;
    if (count == 0) return;
    const RenderPrimitiveType type = DeviceType(primitiveType_);
    if (batchVertices_ != nullptr &&
        (type != deviceType_ || batchVertexCount_ + count > kMaxVertices || batchIndexCount_ + count > kMaxIndices)) {
        Flush();
        // Without a shader the batch stays until one is set: a primitive that cannot join it is
        // dropped.
        if (batchVertices_ != nullptr) return;
    }
    if (batchVertices_ == nullptr) {
        deviceType_ = type;
        // A buffer that cannot be locked (missing, or held by another user) drops the primitive;
        // a lock that succeeded is handed back.
        vertexBuffer_ = canvas_.GetDynamicVertexBuffer();
        indexBuffer_ = canvas_.GetDynamicIndexBuffer();
        if (vertexBuffer_ != nullptr && indexBuffer_ != nullptr) {
            batchVertices_ = static_cast<PrimitiveVertex*>(vertexBuffer_->Lock(kMaxVertices * sizeof(PrimitiveVertex)));
            batchIndices_ = batchVertices_ != nullptr ? indexBuffer_->Lock(kMaxIndices) : nullptr;
        }
        if (batchIndices_ == nullptr) {
            ReleaseBatch();
            return;
        }
    }
    std::memcpy(batchVertices_ + batchVertexCount_, staged_.data(), count * sizeof(PrimitiveVertex));
    for (uint32_t i = 0; i < count; ++i) batchIndices_[batchIndexCount_ + i] = batchVertexCount_ + i;
    batchVertexCount_ += count;
    batchIndexCount_ += count;
}

void GraphicsPrimitiveDrawer::Flush() {
    if (shader_ == nullptr || batchVertices_ == nullptr) return;
    const uint32_t primitives =
        batchVertexCount_ / (deviceType_ == RenderPrimitiveType::LineList ? 2u : 3u);
    vertexBuffer_->Unlock();
    indexBuffer_->Unlock();
    const uint32_t style = shader_->FindStyleByName(styleName_);
    const GraphicsEngine* graphics = GetEngineGraphics();
    if (primitives > 0 && style != GraphicsShader2::kNoStyle && graphics != nullptr) {
        canvas_.SetDefaultState();
        shader_->Begin(style);
        shader_->SetFloat3(kCameraOrigin, 0, camera_.GetCoords().origin);
        shader_->SetFloat4x4(kObjectToWorld, 0, Mat4());
        shader_->SetFloat4x4(kObjectToScreen, 0, worldToScreenMatrix_);
        shader_->SetFloat4(kColor, 0, 1.0f, 1.0f, 1.0f, 1.0f);
        shader_->SetFloat(kTime, 0, float(GetGameTime()) * 0.001f);
        if (texture0_ != nullptr) shader_->SetTexture(kBaseTexture, 0, texture0_);
        if (texture1_ != nullptr) shader_->SetTexture(kBaseTexture2, 0, texture1_);
        device_.SetTexture(0, nullptr);
        device_.SetVertexDeclaration(graphics->GetBasicVertexDeclaration());
        vertexBuffer_->SetStreamSource(0, sizeof(PrimitiveVertex));
        indexBuffer_->SetIndices();
        shader_->Render("GraphicsPrimitiveDrawer");
        device_.DrawIndexedPrimitive(deviceType_, indexBuffer_->GetDrawOffset(), batchVertexCount_, primitives, 0, 0);
        shader_->End();
    }
    vertexBuffer_ = nullptr;
    indexBuffer_ = nullptr;
    batchVertices_ = nullptr;
    batchIndices_ = nullptr;
    batchVertexCount_ = 0;
    batchIndexCount_ = 0;
}

void GraphicsPrimitiveDrawer::ReleaseBatch() {
    if (batchVertices_ != nullptr) vertexBuffer_->Unlock();
    if (batchIndices_ != nullptr) indexBuffer_->Unlock();
    vertexBuffer_ = nullptr;
    indexBuffer_ = nullptr;
    batchVertices_ = nullptr;
    batchIndices_ = nullptr;
    batchVertexCount_ = 0;
    batchIndexCount_ = 0;
}

// -------------------------------------------------------------------------------------------------
// State
// -------------------------------------------------------------------------------------------------

void GraphicsPrimitiveDrawer::SetTexture0(const RenderTexture* texture) {
    if (texture == texture0_) return;
    Flush();
    texture0_ = texture;
}

void GraphicsPrimitiveDrawer::SetTexture1(const RenderTexture* texture) {
    if (texture == texture1_) return;
    Flush();
    texture1_ = texture;
}

void GraphicsPrimitiveDrawer::SetShader(const GraphicsShader2* shader, const Name& style) {
    if (shader == shader_ && style == styleName_) return;
    Flush();
    shader_ = shader;
    styleName_ = style;
}

void GraphicsPrimitiveDrawer::SetShader(const GraphicsShader2* shader) { SetShader(shader, kNormalStyle); }

void GraphicsPrimitiveDrawer::SetWorldToScreenMatrix(const Mat4& matrix) {
    Flush();
    worldToScreenMatrix_ = matrix;
}

void GraphicsPrimitiveDrawer::SetCamera(const Region* region, const Camera& camera, const Viewport& viewport) {
    Flush();
    cameraRegion_ = region;
    camera_ = camera;
    viewport_ = viewport;
    Mat4 cameraToScreen;
    camera.GetCameraToScreenMatrix(cameraToScreen, viewport);
    worldToScreenMatrix_ = cameraToScreen * Mat4(camera.GetCoords().Inverse());
}

void GraphicsPrimitiveDrawer::SetRegion(const Region* region) {
    if (region == nullptr) {
        regionOffset_ = Vec3();
    } else if (cameraRegion_ != nullptr) {
        regionOffset_ = GetOffsetDifference(region, cameraRegion_);
    }
}

void GraphicsPrimitiveDrawer::Enable2DMode(const Viewport& viewport) {
    const float halfWidth = float(viewport.width / 2);
    const float halfHeight = float(viewport.height / 2);
    Camera camera;
    camera.SetType(CameraType::Orthographic);
    camera.SetWidth(float(viewport.width));
    camera.SetHeight(float(viewport.height));
    camera.SetCoords(Coords::LookAt(Vec3(halfWidth, 25.0f, halfHeight), Vec3(halfWidth, 0.0f, halfHeight),
                                    Vec3(0.0f, 0.0f, -1.0f)));
    SetCamera(nullptr, camera, viewport);
    is2DMode_ = true;
}

// -------------------------------------------------------------------------------------------------
// Shapes
// -------------------------------------------------------------------------------------------------

namespace {

using Type = GraphicsPrimitiveDrawer::PrimitiveType;

// Box corners are numbered by bits (ABBox.h): edges join corners one bit apart.
void DrawBoxEdges(GraphicsPrimitiveDrawer& drawer, const Vec3 (&corners)[8]) {
    drawer.Begin(Type::Lines);
    for (int corner = 0; corner < 8; ++corner) {
        for (int bit = 1; bit < 8; bit <<= 1) {
            if ((corner & bit) != 0) continue;
            drawer.SetVertex(corners[corner]);
            drawer.SetVertex(corners[corner | bit]);
        }
    }
    drawer.End();
}

// Each face as two triangles, wound counter-clockwise seen from outside.
void DrawBoxFaces(GraphicsPrimitiveDrawer& drawer, const Vec3 (&corners)[8]) {
    static constexpr int kFaces[6][4] = {{0, 4, 6, 2}, {1, 3, 7, 5}, {0, 1, 5, 4},
                                         {2, 6, 7, 3}, {0, 2, 3, 1}, {4, 5, 7, 6}};
    drawer.Begin(Type::Triangles);
    for (const auto& face : kFaces) {
        for (int index : {0, 1, 2, 0, 2, 3}) drawer.SetVertex(corners[face[index]]);
    }
    drawer.End();
}

template <class Box>
void DrawBox(GraphicsPrimitiveDrawer& drawer, const Box& box, bool solid) {
    Vec3 corners[8];
    box.GetCorners(corners);
    if (solid) {
        DrawBoxFaces(drawer, corners);
    } else {
        DrawBoxEdges(drawer, corners);
    }
}

// Point k of a circle of `points` points (the last one back on the first) in the plane of the
// axes a and b.
Vec3 CirclePoint(const Vec3& centre, float radius, unsigned k, unsigned points, const Vec3& a, const Vec3& b) {
    const float angle = 2.0f * Pi * float(k) / float(points - 1);
    return centre + (a * std::cos(angle) + b * std::sin(angle)) * radius;
}

void DrawCircle(GraphicsPrimitiveDrawer& drawer, const Vec3& centre, float radius, unsigned points, const Vec3& a,
                const Vec3& b) {
    if (points < 2) return;
    drawer.Begin(Type::Lines);
    for (unsigned k = 0; k + 1 < points; ++k) {
        drawer.SetVertex(CirclePoint(centre, radius, k, points, a, b));
        drawer.SetVertex(CirclePoint(centre, radius, k + 1, points, a, b));
    }
    drawer.End();
}

constexpr Vec3 kX(1.0f, 0.0f, 0.0f);
constexpr Vec3 kY(0.0f, 1.0f, 0.0f);
constexpr Vec3 kZ(0.0f, 0.0f, 1.0f);

// The octahedron's corners: +x, -x, +y, -y, +z, -z.
void GetOctahedronCorners(const Vec3& centre, float size, Vec3 (&corners)[6]) {
    corners[0] = centre + kX * size;
    corners[1] = centre - kX * size;
    corners[2] = centre + kY * size;
    corners[3] = centre - kY * size;
    corners[4] = centre + kZ * size;
    corners[5] = centre - kZ * size;
}

void DrawTriangleWithEdges(GraphicsPrimitiveDrawer& drawer, const Vec3& a, const Vec3& b, const Vec3& c,
                           const Color& fill, const Color& outline) {
    drawer.SetColor(fill);
    drawer.Begin(Type::Triangles);
    drawer.SetVertex(a);
    drawer.SetVertex(b);
    drawer.SetVertex(c);
    drawer.End();
    drawer.SetColor(outline);
    drawer.Begin(Type::Lines);
    for (const Vec3* edge : {&a, &b, &b, &c, &c, &a}) drawer.SetVertex(*edge);
    drawer.End();
}

}  // namespace

void DrawWireframeBox(GraphicsPrimitiveDrawer& drawer, const ABBox& box) { DrawBox(drawer, box, false); }
void DrawWireframeBox(GraphicsPrimitiveDrawer& drawer, const OBBox& box) { DrawBox(drawer, box, false); }
void DrawSolidBox(GraphicsPrimitiveDrawer& drawer, const ABBox& box) { DrawBox(drawer, box, true); }
void DrawSolidBox(GraphicsPrimitiveDrawer& drawer, const OBBox& box) { DrawBox(drawer, box, true); }

void DrawWireframeCircle(GraphicsPrimitiveDrawer& drawer, const Vec3& centre, float radius, unsigned points) {
    DrawCircle(drawer, centre, radius, points, kX, kZ);
}

void DrawSolidCircle(GraphicsPrimitiveDrawer& drawer, const Vec3& centre, float radius, unsigned points) {
    if (points < 2) return;
    drawer.Begin(Type::Triangles);
    for (unsigned k = 0; k + 1 < points; ++k) {
        drawer.SetVertex(centre);
        drawer.SetVertex(CirclePoint(centre, radius, k, points, kX, kZ));
        drawer.SetVertex(CirclePoint(centre, radius, k + 1, points, kX, kZ));
    }
    drawer.End();
}

void DrawAxisSphere(GraphicsPrimitiveDrawer& drawer, const Vec3& centre, float radius, unsigned points) {
    DrawCircle(drawer, centre, radius, points, kX, kY);
    DrawCircle(drawer, centre, radius, points, kX, kZ);
    DrawCircle(drawer, centre, radius, points, kZ, kY);
}

void DrawAxisLines(GraphicsPrimitiveDrawer& drawer, const Vec3& centre, float size) {
    drawer.Begin(Type::Lines);
    for (const Vec3& axis : {kX, kY, kZ}) {
        drawer.SetVertex(centre - axis * size);
        drawer.SetVertex(centre + axis * size);
    }
    drawer.End();
}

void DrawSolidTetrahedron(GraphicsPrimitiveDrawer& drawer, const Vec3& centre, float size) {
    Vec3 corners[6];
    GetOctahedronCorners(centre, size, corners);
    drawer.Begin(Type::Triangles);
    // One face per octant: its x, y and z corners, wound counter-clockwise seen from outside.
    for (int octant = 0; octant < 8; ++octant) {
        const int x = octant & 1, y = 2 + ((octant >> 1) & 1), z = 4 + ((octant >> 2) & 1);
        const bool flipped = ((octant ^ (octant >> 1) ^ (octant >> 2)) & 1) != 0;
        drawer.SetVertex(corners[x]);
        drawer.SetVertex(corners[flipped ? z : y]);
        drawer.SetVertex(corners[flipped ? y : z]);
    }
    drawer.End();
}

void DrawWireTetrahedron(GraphicsPrimitiveDrawer& drawer, const Vec3& centre, float size) {
    Vec3 corners[6];
    GetOctahedronCorners(centre, size, corners);
    drawer.Begin(Type::Lines);
    // Every pair of corners on different axes.
    for (int a = 0; a < 6; ++a) {
        for (int b = a + 1; b < 6; ++b) {
            if (a / 2 == b / 2) continue;
            drawer.SetVertex(corners[a]);
            drawer.SetVertex(corners[b]);
        }
    }
    drawer.End();
}

void Draw2DOrientedQuad(GraphicsPrimitiveDrawer& drawer, const Vec2& centre, const Vec2& target, const Vec2& size) {
    const Vec2 d = (target - centre).Unit();
    const Vec2 a = d * (size.y * 0.5f);
    const Vec2 b = Vec2(-d.y, d.x).Unit() * (size.x * 0.5f);
    const Vec2 corners[4] = {centre + a + b, centre + a - b, centre - a - b, centre - a + b};
    const Vec2 texCoords[4] = {Vec2(1.0f, 0.0f), Vec2(0.0f, 0.0f), Vec2(0.0f, 1.0f), Vec2(1.0f, 1.0f)};
    drawer.Begin(Type::Triangles);
    for (int index : {0, 1, 3, 1, 2, 3}) {
        drawer.SetTexCoord(texCoords[index]);
        drawer.SetVertex(corners[index]);
    }
    drawer.End();
}

void DrawArrow(GraphicsPrimitiveDrawer& drawer, const Vec3& start, const Vec3& end, const Color& fill,
               const Color& outline, Vec3 up) {
    const Vec3 v = start - end;
    const Vec3 head = v.Unit() * (v.Length() * 0.2f);
    const Vec3 side = Cross(up, head).Unit() * 0.5f;
    const Vec3 lift = up.Unit() * 0.1f;
    DrawTriangleWithEdges(drawer, start - side, start + side, end, fill, outline);
    DrawTriangleWithEdges(drawer, end + lift, end + head - side + lift, end + head + side + lift, fill, outline);
}

}  // namespace GAME
