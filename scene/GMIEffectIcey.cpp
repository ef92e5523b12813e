#include "scene/GMIEffectIcey.h"

#include "engine/Engine.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsShader2.h"
#include "render/GraphicsTexture.h"
#include "scene/GraphicsMeshInstance.h"

namespace GAME {

GMIEffectIcey::GMIEffectIcey(GraphicsMeshInstance* instance, GMIEffectListener* listener, int id, float maxInflation,
                             float inflateRate, float deflateRate, const std::string& envmapTexture)
    : GMIEffect(instance, listener, id),
      maxInflation_(maxInflation),
      inflateRate_(inflateRate),
      deflateRate_(deflateRate),
      baseScale_(instance->GetScale()) {
    if (GraphicsEngine* graphics = GetEngineGraphics()) envmap_ = graphics->LoadTexture(envmapTexture);
    if (instance->GetIsDissolving()) return;
    const GraphicsMesh* mesh = instance->GetMesh();
    const bool skinned = mesh != nullptr && mesh->GetNumBones() > 0;
    iceShader_ =
        instance->SetOverrideShader(skinned ? "Addon/Shaders/IceySkinned.ssh" : "Addon/Shaders/IceyStatic.ssh");
}

GMIEffectIcey::~GMIEffectIcey() {
    GraphicsEngine* graphics = GetEngineGraphics();
    if (envmap_ != nullptr && graphics != nullptr) graphics->UnloadTexture(envmap_);
}

bool GMIEffectIcey::IsCompatible(const GraphicsMeshInstance* instance) {
    const GraphicsMesh* mesh = instance != nullptr ? instance->GetMesh() : nullptr;
    return mesh != nullptr && (mesh->UsesShaderOfType("standard") || mesh->UsesShaderOfType("Standard"));
}

void GMIEffectIcey::Update(int ms) {
    const float seconds = float(ms) * 0.001f;
    if (state_ == State::Inflating) {
        inflation_ += seconds * inflateRate_;
        if (inflation_ >= maxInflation_) {
            inflation_ = maxInflation_;
            state_ = State::Holding;
        }
    } else if (state_ == State::Deflating) {
        inflation_ -= seconds * deflateRate_;
        if (inflation_ <= 0.0f) {
            inflation_ = 0.0f;
            state_ = State::Finished;
        }
    }
    GraphicsMeshInstance* instance = GetInstance();
    if (maxInflation_ != 0.0f) {
        instance->SetScale(Vec3(inflation_ + baseScale_.x, inflation_ + baseScale_.y, inflation_ + baseScale_.z) *
                           uniformScale_);
    }
    // Last: the listener may install a follow-up effect, which retires this one.
    if (state_ == State::Finished) Finish();
}

void GMIEffectIcey::SetShaderParameters(const GraphicsShader2& shader) const {
    static const Name kAlpha = Name::Create("iceyAlphaMultiplier");
    static const Name kEnvmap = Name::Create("envmapTexture");
    shader.SetFloat(kAlpha, 0, 0.8f);
    if (envmap_ != nullptr && envmap_->GetIsLoaded(false)) shader.SetTexture(kEnvmap, 0, envmap_->GetTexture());
}

void GMIEffectIcey::CleanParent() {
    const GMIEffect* successor = GetInstance()->GetGMIEffect();
    const bool shared = successor != nullptr && successor != this && successor->GetOverrideShader() == iceShader_;
    if (iceShader_ != nullptr && !shared) GetInstance()->UnloadOverrideShader(iceShader_);
    iceShader_ = nullptr;
}

void GMIEffectIcey::BeginFinishing() {
    if (state_ == State::Inflating || state_ == State::Holding) state_ = State::Deflating;
}

}  // namespace GAME
