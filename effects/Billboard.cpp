#include "effects/Billboard.h"

#include "core/Intersection.h"
#include "core/Mat4.h"
#include "core/Ray.h"
#include "core/Singleton.h"
#include "engine/Engine.h"
#include "engine/ObjectManager.h"
#include "files/LoadTable.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsShader2.h"
#include "render/GraphicsTexture.h"
#include "scene/GraphicsSceneRenderer.h"
#include "scene/RenderablePass.h"
#include "world/Level.h"

#include <algorithm>

namespace GAME {

GAME_RTTI_DEFINE_CLASS(Billboard, Entity);

namespace {

struct ParameterNames {
    Name objectToScreen = Name::Create("objectToScreenMatrix");
    Name invObjectToWorld = Name::Create("invObjectToWorldMatrix");
    Name orientVertically = Name::Create("orientVertically");
    Name baseTexture = Name::Create("baseTexture");
};

const ParameterNames& Names() {
    static const ParameterNames names;
    return names;
}

// The editor shows a billboard where a level names a missing record; installed when the engine
// library loads.
struct MakerInstaller {
    MakerInstaller() { Level::SetMissingRecordMaker(&Billboard::MakeMissingRecordStandIn); }
} gMakerInstaller;

}  // namespace

Billboard::Billboard() {
    GraphicsEngine* const graphics = GetEngineGraphics();
    if (graphics == nullptr) return;
    shader_ = graphics->LoadShader2(kDefaultShader);
    if (graphics->GetRenderDevice() == nullptr) return;
    const RenderVertexElement elements[] = {{0, RenderVertexUsage::Position, RenderVertexElementType::Float3},
                                            {0, RenderVertexUsage::TexCoord0, RenderVertexElementType::Float2},
                                            {0, RenderVertexUsage::TexCoord1, RenderVertexElementType::Float4},
                                            {0, RenderVertexUsage(uint32_t(RenderVertexUsage::TexCoord1) + 1), RenderVertexElementType::Float4},
                                            {0, RenderVertexUsage::Color, RenderVertexElementType::UByte4}};
    vertexDeclaration_ = graphics->GetRenderDevice()->CreateVertexDeclaration(elements, 5);
}

Billboard::~Billboard() {
    GraphicsEngine* const graphics = GetEngineGraphics();
    if (graphics == nullptr) return;
    if (vertexDeclaration_ != nullptr && graphics->GetRenderDevice() != nullptr) {
        graphics->GetRenderDevice()->DestroyVertexDeclaration(vertexDeclaration_);
    }
}

Entity* Billboard::MakeMissingRecordStandIn(const std::string& recordName) {
    auto* const standIn = static_cast<Billboard*>(Singleton<ObjectManager>::Get()->CreateObject("Billboard"));
    if (standIn == nullptr) return nullptr;
    standIn->SetObjectName(recordName.c_str());
    standIn->SetTexture(kMissingRecordTexture);
    standIn->SetOffsetFromOrigin(Vec3(0.0f, 1.5f, 0.0f));
    return standIn;
}

bool Billboard::Load(const LoadTable& table) {
    if (!Entity::Load(table)) return false;
    SetTexture(table.GetValue("textureFileName", ""));
    SetShader(table.GetValue("shaderFileName", ""));
    // A record line cannot hold a key with a comma, so "size,y" is only ever found in tables made
    // in code; written records give "size.y".
    size_ = Vec2(table.GetFloat("size.x", 1.0f), table.GetFloat("size,y", table.GetFloat("size.y", 1.0f)));
    return true;
}

void Billboard::SetTexture(const std::string& fileName) {
    GraphicsEngine* const graphics = GetEngineGraphics();
    if (graphics == nullptr) return;
    if (texture_ != nullptr) graphics->UnloadTexture(texture_);
    texture_ = graphics->LoadTexture(fileName);
}

void Billboard::SetShader(const std::string& fileName) {
    GraphicsEngine* const graphics = GetEngineGraphics();
    if (graphics == nullptr) return;
    if (shader_ != nullptr) graphics->UnloadShader2(shader_);
    shader_ = graphics->LoadShader2(fileName);
}

void Billboard::SetOffsetFromOrigin(const Vec3& offset) {
    offset_ = offset;
    if (GetRegion() != nullptr) UpdateBoundingBox();
}

Vec3 Billboard::GetPoint() const { return GetCoords().GetOrigin().GetRegionPosition() + offset_; }

void Billboard::UpdateBoundingBox() {
    const float r = size_.x > size_.y ? size_.x : size_.y;
    box_ = ABBox(GetPoint(), Vec3(r, r, r));
    SetRegionBoundingBox(box_, true);
    SetRegionBoundingBox(box_, false);
}

void Billboard::AddToScene(GraphicsSceneRenderer& renderer, const Frustum* frustum) {
    Entity::AddToScene(renderer, frustum);
    renderer.AddRenderable(this, GetRegion());
}

bool Billboard::GetIntersection(const Ray& ray, Intersection& intersection, PhysicsSurface surface) {
    intersection.distance = Infinity;
    if (surface == PhysicsSurface{0}) return false;
    const float distance = box_.GetIntersection(ray);
    intersection.distance = distance;
    if (!(distance < Infinity)) return false;
    intersection.point = ray.GetPoint(distance);
    intersection.surface = PhysicsSurface::Unwalkable;
    return true;
}

int Billboard::GetNumRenderPasses(const Name&, RenderGenerationId) const { return 1; }

int Billboard::GetRenderPassSortOrder(int, const Name& style, RenderGenerationId) const {
    if (shader_ == nullptr) return 0;
    const uint32_t index = shader_->FindStyleByName(style);
    return index == GraphicsShader2::kNoStyle ? 0 : shader_->GetSortOrder(index);
}

void Billboard::RenderPass(const RenderablePass& pass, const Name&, GraphicsCanvas& canvas,
                           const GraphicsSceneRenderer& renderer) const {
    RenderDynamicVertexBuffer* const vertexBuffer = canvas.GetDynamicVertexBuffer();
    RenderDynamicIndexBuffer* const indexBuffer = canvas.GetDynamicIndexBuffer();
    if (shader_ == nullptr || vertexDeclaration_ == nullptr || vertexBuffer == nullptr || indexBuffer == nullptr) return;
    uint32_t* const indices = indexBuffer->Lock(6);
    if (indices == nullptr) return;
    const uint32_t quad[6] = {0, 1, 2, 2, 3, 0};
    std::copy(quad, quad + 6, indices);
    indexBuffer->Unlock();
    auto* const vertices = static_cast<Vertex*>(vertexBuffer->Lock(4 * uint32_t(sizeof(Vertex))));
    if (vertices == nullptr) return;
    const float corners[4][2] = {{0.0f, 0.0f}, {0.0f, 1.0f}, {1.0f, 1.0f}, {1.0f, 0.0f}};
    const Vec3 point = pass.regionToScene.TransformPoint(GetPoint());
    for (int i = 0; i < 4; ++i) {
        vertices[i] = Vertex{point, corners[i][0], corners[i][1], {0.0f, 1.0f, 0.0f, 0.0f}, {0.0f, size_.x, 0.0f, 0.0f},
                             0xFFFFFFFFu};
    }
    vertexBuffer->Unlock();

    RenderDevice& device = canvas.GetRenderDevice();
    vertexBuffer->SetStreamSource(0, uint32_t(sizeof(Vertex)));
    indexBuffer->SetIndices();
    device.SetVertexDeclaration(vertexDeclaration_);
    shader_->Begin();
    shader_->SetFloat4x4(Names().objectToScreen, 0, renderer.GetWorldToScreenMatrix());
    shader_->SetFloat4x4(Names().invObjectToWorld, 0, Mat4());
    shader_->SetFloat(Names().orientVertically, 0, 0.0f);
    if (texture_ != nullptr) shader_->SetTexture(Names().baseTexture, 0, texture_->GetTexture());
    shader_->Render(GetObjectName().c_str());
    device.DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, indexBuffer->GetDrawOffset(), 4, 2, 0, 0);
    shader_->End();
}

}  // namespace GAME
