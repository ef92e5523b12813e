#include "effects/Decal.h"

#include "core/Intersection.h"
#include "core/Log.h"
#include "core/Mat4.h"
#include "core/Ray.h"
#include "core/Singleton.h"
#include "core/Sphere.h"
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
#include "world/Region.h"
#include "world/World.h"

#include <algorithm>
#include <cmath>

namespace GAME {

GAME_RTTI_DEFINE_CLASS(Decal, Entity);

namespace {

struct ParameterNames {
    Name objectToScreen = Name::Create("objectToScreenMatrix");
    Name baseTexture = Name::Create("baseTexture");
};

const ParameterNames& Names() {
    static const ParameterNames names;
    return names;
}

bool Moved(const Coords& a, const Coords& b) {
    const auto apart = [](const Vec3& p, const Vec3& q) {
        return std::fabs(p.x - q.x) > Decal::kMoveEpsilon || std::fabs(p.y - q.y) > Decal::kMoveEpsilon ||
               std::fabs(p.z - q.z) > Decal::kMoveEpsilon;
    };
    return apart(a.origin, b.origin) || apart(a.xAxis, b.xAxis) || apart(a.yAxis, b.yAxis) || apart(a.zAxis, b.zAxis);
}

}  // namespace

Decal::Decal() {
    GraphicsEngine* const graphics = GetEngineGraphics();
    if (graphics == nullptr || graphics->GetRenderDevice() == nullptr) return;
    const RenderVertexElement elements[] = {{0, RenderVertexUsage::Position, RenderVertexElementType::Float3},
                                            {0, RenderVertexUsage::TexCoord0, RenderVertexElementType::Float2},
                                            {0, RenderVertexUsage::Color, RenderVertexElementType::UByte4}};
    vertexDeclaration_ = graphics->GetRenderDevice()->CreateVertexDeclaration(elements, 3);
}

Decal::~Decal() {
    GraphicsEngine* const graphics = GetEngineGraphics();
    if (vertexDeclaration_ != nullptr && graphics != nullptr && graphics->GetRenderDevice() != nullptr) {
        graphics->GetRenderDevice()->DestroyVertexDeclaration(vertexDeclaration_);
    }
}

bool Decal::Load(const LoadTable& table) {
    if (!Entity::Load(table)) return false;
    textureName_ = table.GetValue("texture", kDefaultTexture);
    size_ = table.GetFloat("size", 1.0f);
    beginFadeSeconds_ = table.GetFloat("beginFadeSeconds", 30.0f);
    endFadeSeconds_ = table.GetFloat("endFadeSeconds", 45.0f);
    opacity_ = table.GetFloat("opacity", 1.0f);
    const std::string shaderName = table.GetValue("shader", kDefaultShader);
    ReleaseShaderAndTexture();
    if (GraphicsEngine* const graphics = GetEngineGraphics()) {
        texture_ = graphics->LoadTexture(textureName_);
        shader_ = graphics->LoadShader2(shaderName);
    }
    fading_ = !(beginFadeSeconds_ == 0.0f && endFadeSeconds_ == 0.0f);
    return true;
}

void Decal::UpdateBoundingBox() {
    const Vec3 centre = GetCoords().GetOrigin().GetRegionPosition();
    SetRegionBoundingBox(ABBox(centre, Vec3(size_, size_, size_)), false);
}

void Decal::AddToScene(GraphicsSceneRenderer& renderer, const Frustum*) {
    if (renderer.IsRenderFlagSet(GraphicsSceneRenderer::kDecals)) renderer.AddRenderable(this, GetRegion());
}

bool Decal::GetIntersection(const Ray& ray, Intersection& intersection, PhysicsSurface surface) {
    intersection.distance = Infinity;
    if (projecting_ || surface == PhysicsSurface{0} || gEngine == nullptr || !gEngine->IsEditorMode()) return false;
    const float distance = Sphere(GetCoords().GetOrigin().GetRegionPosition(), size_).GetIntersection(ray);
    intersection.distance = distance;
    if (!(distance < Infinity)) return false;
    intersection.point = ray.GetPoint(distance);
    intersection.surface = PhysicsSurface::Unwalkable;
    return true;
}

void Decal::LogInfo() const {
    Log(LogPriority::Info, "Decal:");
    Entity::LogInfo();
    Log(LogPriority::Info, "   Size: %f", double(size_));
    Log(LogPriority::Info, "   TextureFile: %s", textureName_.c_str());
}

void Decal::UpdateSelf(int elapsedMs) {
    Entity::UpdateSelf(elapsedMs);
    if (GetRegion() != nullptr && (faces_.empty() || Moved(GetCoords().GetRegionCoords(), builtAt_))) CreateGeometry();
    if (!fading_) return;
    age_ += elapsedMs;
    if (float(age_) * 0.001f < endFadeSeconds_) return;
    fading_ = false;
    if (World* world = gEngine != nullptr ? gEngine->GetWorld() : nullptr) world->RemoveEntity(this);
    Singleton<ObjectManager>::Get()->DestroyObjectEx(this, __FILE__, __LINE__);
}

float Decal::GetOpacity() const {
    const float fadeIn = age_ < kFadeInMs ? float(age_) / float(kFadeInMs) : 1.0f;
    if (beginFadeSeconds_ == 0.0f && endFadeSeconds_ == 0.0f) return opacity_;  // permanent
    const float t = float(age_) * 0.001f;
    if (t < beginFadeSeconds_) return fadeIn * opacity_;
    if (endFadeSeconds_ == beginFadeSeconds_) return 0.0f;
    const float f = 1.0f - (t - beginFadeSeconds_) / (endFadeSeconds_ - beginFadeSeconds_);
    return std::max(f, 0.0f) * opacity_;
}

Decal::DecalFace Decal::MapFace(const Vec3 (&corners)[3], const float (&uvs)[3][2]) {
    DecalFace face;
    const Vec3 normal = Cross(corners[1] - corners[0], corners[2] - corners[0]);
    const float length = normal.Length();
    face.normal = length > 0.0f ? normal * (1.0f / length) : Vec3(0.0f, 1.0f, 0.0f);
    face.a = corners[0];
    face.b = corners[1];
    face.c = corners[2];
    std::copy(uvs[0], uvs[0] + 2, face.uvA);
    std::copy(uvs[1], uvs[1] + 2, face.uvB);
    std::copy(uvs[2], uvs[2] + 2, face.uvC);
    return face;
}

void Decal::CreateGeometry() {
    faces_.clear();
    Region* const region = GetRegion();
    builtAt_ = GetCoords().GetRegionCoords();
    const Level* const level = region != nullptr ? region->GetLevel() : nullptr;
    if (level == nullptr) return;
    const Coords& at = builtAt_;
    const bool skipEntities = gEngine != nullptr && gEngine->IsEditorMode();
    constexpr int n = kGridCells;
    Vec3 points[n + 1][n + 1];
    bool hit[n + 1][n + 1] = {};
    projecting_ = true;
    for (int j = 0; j <= n; ++j) {
        for (int i = 0; i <= n; ++i) {
            const float x = size_ * (2.0f * float(i) / float(n) - 1.0f);
            const float z = size_ * (2.0f * float(j) / float(n) - 1.0f);
            const Ray ray(at.TransformPoint(Vec3(x, size_, z)), at.yAxis * (-2.0f * size_));
            Intersection found;
            found.distance = 1.0f;  // no further than size below the plane
            hit[j][i] = level->GetIntersection(ray, found, PhysicsSurface::None, skipEntities) && found.distance <= 1.0f;
            points[j][i] = ray.GetPoint(found.distance);
        }
    }
    projecting_ = false;
    const auto uv = [](int i, int j, float (&out)[2]) {
        out[0] = float(i) / float(n);
        out[1] = float(j) / float(n);
    };
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            if (!hit[j][i] || !hit[j][i + 1] || !hit[j + 1][i] || !hit[j + 1][i + 1]) continue;
            const int cells[2][3][2] = {{{i, j}, {i, j + 1}, {i + 1, j + 1}}, {{i, j}, {i + 1, j + 1}, {i + 1, j}}};
            for (const auto& triangle : cells) {
                Vec3 corners[3];
                float uvs[3][2];
                for (int k = 0; k < 3; ++k) {
                    corners[k] = points[triangle[k][1]][triangle[k][0]];
                    uv(triangle[k][0], triangle[k][1], uvs[k]);
                }
                faces_.push_back(MapFace(corners, uvs));
            }
        }
    }
}

int Decal::GetNumRenderPasses(const Name&, RenderGenerationId) const { return 1; }

const ABBox& Decal::GetRenderPassBoundingBox() const { return GetRegionBoundingBox(false); }

int Decal::GetRenderPassSortOrder(int, const Name&, RenderGenerationId) const { return kSortOrder; }

void Decal::RenderPass(const RenderablePass& pass, const Name&, GraphicsCanvas& canvas,
                       const GraphicsSceneRenderer& renderer) const {
    RenderDynamicVertexBuffer* const vertexBuffer = canvas.GetDynamicVertexBuffer();
    RenderDynamicIndexBuffer* const indexBuffer = canvas.GetDynamicIndexBuffer();
    if (faces_.empty() || shader_ == nullptr || vertexDeclaration_ == nullptr || vertexBuffer == nullptr ||
        indexBuffer == nullptr) {
        return;
    }
    const uint32_t count = uint32_t(faces_.size()) * 3;
    auto* const vertices = static_cast<Vertex*>(vertexBuffer->Lock(count * uint32_t(sizeof(Vertex))));
    if (vertices == nullptr) return;
    const uint32_t alpha = uint32_t(std::clamp(GetOpacity() * 255.0f, 0.0f, 255.0f));
    const uint32_t color = alpha << 24 | 0x00FFFFFFu;
    Vertex* out = vertices;
    for (const DecalFace& face : faces_) {
        *out++ = Vertex{pass.regionToScene.TransformPoint(face.a), face.uvA[0], face.uvA[1], color};
        *out++ = Vertex{pass.regionToScene.TransformPoint(face.c), face.uvC[0], face.uvC[1], color};
        *out++ = Vertex{pass.regionToScene.TransformPoint(face.b), face.uvB[0], face.uvB[1], color};
    }
    vertexBuffer->Unlock();
    uint32_t* const indices = indexBuffer->Lock(count);
    if (indices == nullptr) return;
    for (uint32_t i = 0; i < count; ++i) indices[i] = i;
    indexBuffer->Unlock();

    RenderDevice& device = canvas.GetRenderDevice();
    vertexBuffer->SetStreamSource(0, uint32_t(sizeof(Vertex)));
    indexBuffer->SetIndices();
    device.SetVertexDeclaration(vertexDeclaration_);
    shader_->Begin();
    shader_->SetFloat4x4(Names().objectToScreen, 0, renderer.GetWorldToScreenMatrix());
    if (texture_ != nullptr) shader_->SetTexture(Names().baseTexture, 0, texture_->GetTexture());
    shader_->Render(GetObjectName().c_str());
    device.DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, indexBuffer->GetDrawOffset(), count, count / 3, 0, 0);
    shader_->End();
}

}  // namespace GAME
