#include "render/GraphicsNoiseGen.h"

#include "core/Log.h"
#include "core/Singleton.h"
#include "engine/Engine.h"
#include "engine/ObjectManager.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsShader2.h"
#include "render/NoiseTexture.h"
#include "render/RenderDevice.h"

#include <cstring>
#include <strings.h>

namespace GAME {

namespace {

// The quad over the whole target: x, y, u, v.
constexpr float kQuad[16] = {-1.0f, -1.0f, 0.0f, 0.0f, -1.0f, 1.0f, 0.0f, 1.0f,
                             1.0f,  1.0f,  1.0f, 1.0f, 1.0f,  -1.0f, 1.0f, 0.0f};
constexpr uint16_t kQuadIndices[6] = {0, 1, 2, 0, 2, 3};
constexpr uint32_t kQuadStride = 16;
const Name kSourceTexture = Name::Create("texture0");

// Lattice noise in (-1, 1] from integer hashing (wrapping 32-bit arithmetic).
float LatticeNoise(uint32_t n) {
    const uint32_t hashed = ((n * n * 15731u + 789221u) * n - 771171059u) & 0x7FFFFFFFu;
    return 1.0f - float(hashed) * 9.31322574615e-10f;
}

}  // namespace

std::array<uint8_t, GraphicsNoiseGen::kBaseSize * GraphicsNoiseGen::kBaseSize> GraphicsNoiseGen::MakeBaseNoise(
    uint32_t seed) {
    // The lattice wraps every 31 texels, so the texture tiles with its last row and column
    // repeating its first.
    constexpr uint32_t period = kBaseSize - 1;
    const auto sample = [seed](uint32_t x, uint32_t y) { return LatticeNoise(x + 521u * y + 67777u * seed); };
    std::array<uint8_t, kBaseSize * kBaseSize> texels{};
    for (uint32_t r = 0; r < uint32_t(kBaseSize); ++r) {
        for (uint32_t c = 0; c < uint32_t(kBaseSize); ++c) {
            const uint32_t pr = (r + period - 1) % period, cr = r % period, nr = (r + 1) % period;
            const uint32_t pc = (c + period - 1) % period, cc = c % period, nc = (c + 1) % period;
            const float corners = sample(pc, pr) + sample(nc, pr) + sample(pc, nr) + sample(nc, nr);
            const float sides = sample(pc, cr) + sample(nc, cr) + sample(cc, pr) + sample(cc, nr);
            const float value = 0.0625f * corners + 0.125f * sides + 0.25f * sample(cc, cr);
            texels[r * kBaseSize + c] = uint8_t((value + 1.0f) * 127.0f);
        }
    }
    return texels;
}

GraphicsNoiseGen::GraphicsNoiseGen()
    : compositeBaseStyle_(Name::Create("compositeBaseStyle")),
      compositeAddStyle_(Name::Create("compositeAddStyle")),
      convertStyle_(Name::Create("convertStyle")),
      graphics_(GetEngineGraphics()),
      device_(graphics_ != nullptr ? graphics_->GetRenderDevice() : nullptr) {
    if (device_ == nullptr) return;
    CreateDeviceObjects();
    shader_ = graphics_->LoadShader2(kShaderFile);
    if (shader_ == nullptr) Log(LogPriority::Error, "Failed to load shader '%s' for noise texture generation.", kShaderFile);
}

GraphicsNoiseGen::~GraphicsNoiseGen() { Destroy(); }

void GraphicsNoiseGen::Destroy() {
    for (CacheEntry& entry : cache_) {
        if (entry.texture == nullptr) continue;
        entry.texture->ReleaseRenderSurface();
        Singleton<ObjectManager>::Get()->DestroyObjectEx(entry.texture, __FILE__, __LINE__);
    }
    cache_.clear();
    if (device_ == nullptr) return;
    DestroyDeviceObjects();
    device_->DestroyVertexDeclaration(declaration_);
    declaration_ = nullptr;
    if (shader_ != nullptr) graphics_->UnloadShader2(shader_);
    shader_ = nullptr;
    device_ = nullptr;
}

void GraphicsNoiseGen::CreateDeviceObjects() {
    if (declaration_ == nullptr) {
        const RenderVertexElement elements[] = {{0, RenderVertexUsage::Position, RenderVertexElementType::Float2},
                                                {0, RenderVertexUsage::TexCoord0, RenderVertexElementType::Float2}};
        declaration_ = device_->CreateVertexDeclaration(elements, 2);
    }
    vertexBuffer_ = device_->CreateVertexBuffer(0, sizeof(kQuad));
    if (vertexBuffer_ != nullptr) {
        if (void* data = vertexBuffer_->Lock(); data != nullptr) std::memcpy(data, kQuad, sizeof(kQuad));
        vertexBuffer_->Unlock();
    }
    indexBuffer_ = device_->CreateIndexBuffer(6, RenderIndexFormat::Index16);
    if (indexBuffer_ != nullptr) {
        if (void* data = indexBuffer_->Lock(); data != nullptr) std::memcpy(data, kQuadIndices, sizeof(kQuadIndices));
        indexBuffer_->Unlock();
    }
    for (uint32_t seed = 0; seed < kBaseTextures; ++seed) {
        const auto texels = MakeBaseNoise(seed);
        baseTextures_[seed] = device_->CreateTexture(kBaseSize, kBaseSize, texels.data(), 0, 0);
    }
}

void GraphicsNoiseGen::DestroyDeviceObjects() {
    for (RenderTexture*& texture : baseTextures_) {
        if (texture != nullptr) device_->DestroyTexture(texture);
        texture = nullptr;
    }
    if (indexBuffer_ != nullptr) device_->DestroyIndexBuffer(indexBuffer_);
    if (vertexBuffer_ != nullptr) device_->DestroyVertexBuffer(vertexBuffer_);
    indexBuffer_ = nullptr;
    vertexBuffer_ = nullptr;
}

NoiseTexture* GraphicsNoiseGen::AcquireNoiseTexture(const char* name) {
    if (name == nullptr) return nullptr;
    CacheEntry* empty = nullptr;
    for (CacheEntry& entry : cache_) {
        if (entry.texture == nullptr) {
            if (empty == nullptr) empty = &entry;
            continue;
        }
        if (strcasecmp(entry.texture->GetObjectName().c_str(), name) == 0) {
            ++entry.count;
            return entry.texture;
        }
    }
    NoiseTexture* const texture = Singleton<ObjectManager>::Get()->CreateObjectFromFile<NoiseTexture>(name);
    if (texture == nullptr) return nullptr;
    if (empty != nullptr) {
        *empty = CacheEntry{texture, 1};
    } else {
        cache_.push_back(CacheEntry{texture, 1});
    }
    return texture;
}

void GraphicsNoiseGen::ReleaseNoiseTexture(NoiseTexture* texture) {
    for (CacheEntry& entry : cache_) {
        if (texture == nullptr || entry.texture != texture) continue;
        if (entry.count > 0) --entry.count;
        if (entry.count < 1) {
            entry.texture->ReleaseRenderSurface();
            Singleton<ObjectManager>::Get()->DestroyObjectEx(entry.texture, __FILE__, __LINE__);
            entry = CacheEntry{};
        }
        return;
    }
}

void GraphicsNoiseGen::ForgetNoiseTexture(const NoiseTexture* texture) {
    for (CacheEntry& entry : cache_) {
        if (texture == nullptr || entry.texture != texture) continue;
        entry.texture->ReleaseRenderSurface();
        entry = CacheEntry{};
        return;
    }
}

void GraphicsNoiseGen::Update(GraphicsCanvas& canvas) {
    for (CacheEntry& entry : cache_) {
        if (entry.texture == nullptr || !entry.texture->GetNeedsUpdate()) continue;
        Render(canvas, *entry.texture);
        entry.texture->SetNeedsUpdate(false);
    }
}

void GraphicsNoiseGen::DrawPass(const Name& style, const NoiseTexture& texture, int secondPass,
                                const RenderTexture* source) {
    const uint32_t index = shader_->FindStyleByName(style);
    if (index == GraphicsShader2::kNoStyle || !shader_->Begin(index)) return;
    texture.SetShaderParams(shader_, baseTextures_, secondPass);
    if (source != nullptr) shader_->SetTexture(kSourceTexture, 0, source);
    shader_->Render("GraphicsNoiseGen");
    device_->DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, 0, 4, 2, 0, 0);
    shader_->End();
}

void GraphicsNoiseGen::Render(GraphicsCanvas& canvas, NoiseTexture& texture) {
    if (device_ == nullptr || shader_ == nullptr || vertexBuffer_ == nullptr || indexBuffer_ == nullptr) return;
    const int size = int(texture.GetSize());
    RenderSurface* const oldTarget = canvas.GetTargetSurface();
    const Viewport oldViewport = canvas.GetViewport();
    texture.UpdateLayers(kBaseTextures);
    canvas.SetDefaultState();
    device_->SetVertexDeclaration(declaration_);
    device_->SetStreamSource(0, vertexBuffer_, 0, kQuadStride);
    device_->SetIndices(indexBuffer_);
    const bool convert = texture.IsNormalMap() && shader_->FindStyleByName(convertStyle_) != GraphicsShader2::kNoStyle;
    RenderSurface* const target =
        convert ? canvas.CreateTemporaryTextureSurface(size, size, RenderTextureFormat::RGBA, RenderTextureFormat::None)
                : texture.GetRenderSurface();
    if (target == nullptr || texture.GetRenderSurface() == nullptr) return;
    canvas.SetRenderTarget(0, target);
    canvas.SetViewport(Viewport(0, 0, size, size));
    DrawPass(compositeBaseStyle_, texture, 0, nullptr);
    // From version 5 the first pass has composed all four layers.
    if (graphics_->GetPixelShaderVersion() < NoiseTexture::kOnePassShaderVersion) DrawPass(compositeAddStyle_, texture, 1, nullptr);
    if (convert) {
        canvas.SetRenderTarget(0, texture.GetRenderSurface());
        canvas.SetViewport(Viewport(0, 0, size, size));
        DrawPass(convertStyle_, texture, 0, target->GetTexture());
    }
    canvas.SetTargetSurface(oldTarget);
    canvas.SetViewport(oldViewport);
}

void GraphicsNoiseGen::PreDeviceReset() {
    if (device_ == nullptr) return;
    DestroyDeviceObjects();
    for (CacheEntry& entry : cache_) {
        if (entry.texture != nullptr) entry.texture->ReleaseRenderSurface();
    }
}

void GraphicsNoiseGen::PostDeviceReset() {
    if (device_ == nullptr) return;
    CreateDeviceObjects();
    for (CacheEntry& entry : cache_) {
        if (entry.texture == nullptr) continue;
        entry.texture->InitalizeSurface();
        entry.texture->SetNeedsUpdate(true);
    }
}

}  // namespace GAME
