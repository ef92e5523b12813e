#include "terrain/WaterRippleSet.h"

#include <algorithm>
#include <cstring>

#include "core/Log.h"
#include "core/Mat4.h"
#include "core/Random.h"
#include "engine/Engine.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsShader2.h"
#include "render/RenderDevice.h"
#include "scene/GraphicsSceneRenderer.h"
#include "scene/RenderablePass.h"
#include "terrain/WaterObject.h"

namespace GAME {

namespace {

// Uniform in [centre - 0.2, centre + 0.2].
float Jitter(float centre) { return centre - 0.2f + Rand15Float() * 0.4f; }

}  // namespace

WaterRippleSet::WaterRippleSet() {
    if (GraphicsEngine* graphics = GetEngineGraphics()) shader_ = graphics->LoadShader2(kShaderFileName);
}

WaterRippleSet::~WaterRippleSet() {
    if (shader_) {
        if (GraphicsEngine* graphics = GetEngineGraphics()) graphics->UnloadShader2(shader_);
    }
    Destroy();
}

void WaterRippleSet::Initialize(RenderDevice& device) {
    Destroy();
    device_ = &device;
    declaration_ = CreateWaterVertexDeclaration(device);
    CreateBuffers();
}

void WaterRippleSet::Destroy() {
    ReleaseBuffers();
    if (declaration_) device_->DestroyVertexDeclaration(declaration_);
    declaration_ = nullptr;
}

void WaterRippleSet::CreateBuffers() {
    ReleaseBuffers();
    if (!device_) return;
    vertexBuffer_ = device_->CreateVertexBuffer(RenderDevice::kBufferDynamic, kNumVertices * kVertexSize);
    if (!vertexBuffer_) Log(LogPriority::Error, "Failed to create vertex buffer of %u vertices for a ripple set.", kNumVertices);
    indexBuffer_ = device_->CreateIndexBuffer(kNumIndices, RenderIndexFormat::Index16);
    if (!indexBuffer_) {
        Log(LogPriority::Error, "Failed to create index buffer for a ripple set.");
    } else if (auto* indices = static_cast<uint16_t*>(indexBuffer_->Lock())) {
        for (uint32_t k = 0; k < kMaxRipples; ++k) {
            const auto v = uint16_t(4 * k);
            const uint16_t quad[6] = {v, uint16_t(v + 1), uint16_t(v + 2), v, uint16_t(v + 2), uint16_t(v + 3)};
            std::copy(quad, quad + 6, indices + 6 * k);
        }
        indexBuffer_->Unlock();
    }
    Update(0);
}

void WaterRippleSet::ReleaseBuffers() {
    if (vertexBuffer_) device_->DestroyVertexBuffer(vertexBuffer_);
    if (indexBuffer_) device_->DestroyIndexBuffer(indexBuffer_);
    vertexBuffer_ = nullptr;
    indexBuffer_ = nullptr;
    numWritten_ = 0;
}

bool WaterRippleSet::CreateRipple(const Vec3& position, float radius, float finalRadius) {
    const auto free = std::find_if(ripples_.begin(), ripples_.end(), [](const Ripple& r) { return !r.active; });
    if (free == ripples_.end()) return false;
    const float x = Jitter(position.x);
    const float z = Jitter(position.z);
    free->position = Vec3(x, position.y + 0.01f, z);
    free->radius = Jitter(radius);
    free->finalRadius = Jitter(finalRadius);
    free->active = true;
    return true;
}

void WaterRippleSet::Update(int elapsedMs) {
    numWritten_ = 0;
    if (!vertexBuffer_) return;
    auto* out = static_cast<unsigned char*>(vertexBuffer_->Lock(0, kNumVertices * kVertexSize));
    if (!out) {
        vertexBuffer_->Unlock();
        return;
    }
    for (Ripple& ripple : ripples_) {
        if (!ripple.active) continue;
        if (ripple.radius >= ripple.finalRadius) {
            ripple.active = false;
            continue;
        }
        ripple.radius = std::min(ripple.radius + float(elapsedMs) * speedFactor_ * 0.001f, ripple.finalRadius);
        const float fade = std::clamp(ripple.radius / ripple.finalRadius * 1.05f, 0.0f, 1.0f);
        const uint32_t colour = uint32_t((1.0f - fade) * 255.0f) << 24;
        const Vec3& p = ripple.position;
        const float r = ripple.radius;
        const float corners[4][4] = {{p.x + r, p.z + r, 1.0f, 1.0f},
                                     {p.x - r, p.z + r, 0.0f, 1.0f},
                                     {p.x - r, p.z - r, 0.0f, 0.0f},
                                     {p.x + r, p.z - r, 1.0f, 0.0f}};
        for (const auto& c : corners) {
            const float fields[7] = {c[0], p.y, c[1], c[2], c[3], 1.0f, 0.0f};
            std::memcpy(out, fields, sizeof fields);
            std::memcpy(out + 28, &colour, sizeof colour);
            out += kVertexSize;
        }
        ++numWritten_;
    }
    vertexBuffer_->Unlock();
}

const ABBox& WaterRippleSet::GetRenderPassBoundingBox() const {
    static const ABBox kEmpty;
    return kEmpty;
}

int WaterRippleSet::GetRenderPassSortOrder(int, const Name& style, RenderGenerationId) const {
    return shader_ ? shader_->GetSortOrder(shader_->FindStyleByName(style)) : 0;
}

void WaterRippleSet::RenderPass(const RenderablePass& pass, const Name&, GraphicsCanvas& canvas,
                                const GraphicsSceneRenderer& renderer) const {
    if (numWritten_ == 0 || !shader_ || !vertexBuffer_ || !indexBuffer_) return;
    static const Name objectToWorldName = Name::Create("objectToWorldMatrix");
    static const Name objectToScreenName = Name::Create("objectToScreenMatrix");
    RenderDevice& device = canvas.GetRenderDevice();
    device.SetIndices(indexBuffer_);
    device.SetStreamSource(0, vertexBuffer_, 0, kVertexSize);
    shader_->Begin();
    device.SetVertexDeclaration(declaration_);
    const Mat4 objectToWorld(pass.regionToScene);
    shader_->SetFloat4x4(objectToWorldName, 0, objectToWorld);
    shader_->SetFloat4x4(objectToScreenName, 0, renderer.GetWorldToScreenMatrix() * objectToWorld);
    shader_->Render("WaterRippleSet");
    device.DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, 0, 4 * numWritten_, 2 * numWritten_, 0, 0);
    shader_->End();
}

}  // namespace GAME
