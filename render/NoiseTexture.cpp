#include "render/NoiseTexture.h"

#include "core/Name.h"
#include "core/Random.h"
#include "core/Singleton.h"
#include "engine/Engine.h"
#include "files/LoadTable.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsNoiseGen.h"
#include "render/GraphicsShader2.h"
#include "render/RenderDevice.h"

#include <cmath>

namespace GAME {

GAME_RTTI_DEFINE_CLASS(NoiseTexture, Object);

namespace {

const Name kTextureOffset = Name::Create("textureOffset");
const Name kTextureScale = Name::Create("textureScale");
const Name kBlendFactor = Name::Create("blendFactor");
const Name kLevel = Name::Create("level");
const Name kTextures[8] = {Name::Create("texture0"), Name::Create("texture1"), Name::Create("texture2"),
                           Name::Create("texture3"), Name::Create("texture4"), Name::Create("texture5"),
                           Name::Create("texture6"), Name::Create("texture7")};

RenderDevice* GetDevice() {
    GraphicsEngine* const graphics = GetEngineGraphics();
    return graphics != nullptr ? graphics->GetRenderDevice() : nullptr;
}

}  // namespace

NoiseTexture::~NoiseTexture() {
    if (Singleton<GraphicsNoiseGen>::HasInstantiated()) Singleton<GraphicsNoiseGen>::Get()->ForgetNoiseTexture(this);
}

bool NoiseTexture::Load(const LoadTable& table) {
    if (!Object::Load(table)) return false;
    const int size = table.GetInt("size", 0);
    size_ = size > 0 ? unsigned(size) : 0u;
    normalMap_ = table.GetBool("normalMap", false);
    for (int i = 0; i < kLayers; ++i) {
        layers_[i].level = table.GetArrayReal("levels", i, 0.0f);
        layers_[i].rate = table.GetArrayReal("rates", i, 0.0f);
    }
    InitalizeSurface();
    return true;
}

RenderTexture* NoiseTexture::GetTexture() const { return surface_ != nullptr ? surface_->GetTexture() : nullptr; }

void NoiseTexture::UpdateLayers(unsigned count) {
    const float seconds = gEngine != nullptr ? float(gEngine->GetUpdateTime()) * 0.001f : 0.0f;
    for (Layer& layer : layers_) {
        layer.phase += seconds * layer.rate;
        if (layer.phase < 1.0f) continue;
        layer.from = layer.to;
        layer.phase -= std::floor(layer.phase);
        const unsigned step = count >= 1 && count < 32767 ? unsigned(Rand15()) % count : 0u;
        layer.to = count > 0 ? (layer.from + step) % count : 0u;
    }
}

void NoiseTexture::SetShaderParams(const GraphicsShader2* shader, RenderTexture* const* baseTextures,
                                   int secondPass) const {
    GraphicsEngine* const graphics = GetEngineGraphics();
    const bool onePass = graphics != nullptr && graphics->GetPixelShaderVersion() >= kOnePassShaderVersion;
    const Layer* const first = onePass || secondPass == 0 ? &layers_[0] : &layers_[2];
    const int layers = onePass ? 4 : 2;
    for (int i = 0; i < layers; ++i) {
        shader->SetTexture(kTextures[2 * i], 0, baseTextures[first[i].from]);
        shader->SetTexture(kTextures[2 * i + 1], 0, baseTextures[first[i].to]);
    }
    if (onePass) {
        shader->SetFloat4(kBlendFactor, 0, layers_[0].phase, layers_[1].phase, layers_[2].phase, layers_[3].phase);
        shader->SetFloat4(kLevel, 0, layers_[0].level, layers_[1].level, layers_[2].level, layers_[3].level);
        shader->SetFloat4(kTextureScale, 0, 1.0f, 2.0f, 4.0f, 8.0f);
    } else {
        shader->SetFloat4(kBlendFactor, 0, first[0].phase, first[0].phase, first[0].phase, first[1].phase);
        shader->SetFloat4(kLevel, 0, first[0].level, first[0].level, first[0].level, first[1].level);
        const float scale = secondPass == 0 ? 1.0f : 4.0f;
        shader->SetFloat4(kTextureScale, 0, scale, scale * 2.0f, 0.0f, 0.0f);
    }
    const float texel = size_ > 0 ? 1.0f / float(size_) : 0.0f;
    shader->SetFloat(kTextureOffset, 0, texel);
}

void NoiseTexture::InitalizeSurface() {
    ReleaseRenderSurface();
    RenderDevice* const device = GetDevice();
    if (device == nullptr) return;
    surface_ = device->CreateRenderSurface(int(size_), int(size_), RenderTextureFormat::RGBA, RenderTextureFormat::None);
}

void NoiseTexture::ReleaseRenderSurface() {
    if (surface_ == nullptr) return;
    RenderDevice* const device = GetDevice();
    if (device != nullptr) device->DestroyRenderSurface(surface_);
    surface_ = nullptr;
}

}  // namespace GAME
