#include "terrain/WaterType.h"

#include <cmath>

#include "core/GameClock.h"
#include "core/IntVec3.h"
#include "core/MathUtil.h"
#include "core/Name.h"
#include "engine/Engine.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "core/Singleton.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsNoiseGen.h"
#include "render/GraphicsShader2.h"
#include "render/GraphicsTexture.h"
#include "render/NoiseTexture.h"

namespace GAME {

namespace {

float Fraction(float v) { return v - std::trunc(v); }

}  // namespace

WaterType::WaterType(const WaterType& other)
    : name_(other.name_), settings_(other.settings_), textureOffset_(other.textureOffset_) {}

WaterType& WaterType::operator=(const WaterType& other) {
    if (this != &other) {
        name_ = other.name_;
        settings_ = other.settings_;
        textureOffset_ = other.textureOffset_;
        updateFrame_ = 0;
    }
    return *this;
}

WaterType::~WaterType() {
    ReleaseSkyMap();
    ReleaseNoise();
}

void WaterType::SetDefaultValues() {
    settings_ = Settings();
    textureOffset_ = 0.0f;
}

void WaterType::Save(BinaryWriter& writer) const {
    writer.Write(kRecordVersion);
    const Settings& s = settings_;
    for (const float value : {s.MinDepthOpacity, s.MaxDepthOpacity, s.MinDepth, s.MaxDepth, s.ScrollSpeed,
                              s.Smoothness, s.Specularity, s.Reflectivity, s.Direction, s.TextureScale.x,
                              s.TextureScale.y, s.WaterColor.r, s.WaterColor.g, s.WaterColor.b}) {
        writer.Write(value);
    }
    writer.Write(name_);
    writer.Write(s.SkyMapFilename);
    writer.Write(s.NoiseTextureName);
}

bool WaterType::Load(BinaryReader& reader) {
    reader.Skip(4);
    Settings& s = settings_;
    for (float* field : {&s.MinDepthOpacity, &s.MaxDepthOpacity, &s.MinDepth, &s.MaxDepth, &s.ScrollSpeed,
                         &s.Smoothness, &s.Specularity, &s.Reflectivity, &s.Direction, &s.TextureScale.x,
                         &s.TextureScale.y, &s.WaterColor.r, &s.WaterColor.g, &s.WaterColor.b}) {
        if (reader.GetRemaining() < 4) break;
        *field = reader.ReadFloat();
    }
    // A zero (or NaN) scale would turn the drift and the shader's scale into NaN.
    for (float* scale : {&s.TextureScale.x, &s.TextureScale.y}) {
        if (!(std::fabs(*scale) >= kMinTextureScale)) *scale = kMinTextureScale;
    }
    reader.ReadString(name_);
    reader.ReadString(s.SkyMapFilename);
    reader.ReadString(s.NoiseTextureName);
    return true;
}

void WaterType::LoadResources() {
    GraphicsEngine* graphics = GetEngineGraphics();
    if (!graphics) return;
    ReleaseSkyMap();
    skyMap_ = graphics->LoadTexture(settings_.SkyMapFilename);
}

void WaterType::ReloadSkyMap() {
    if (!GetEngineGraphics()) return;
    LoadResources();
}

void WaterType::ReleaseSkyMap() {
    if (!skyMap_) return;
    if (GraphicsEngine* graphics = GetEngineGraphics()) graphics->UnloadTexture(skyMap_);
    skyMap_ = nullptr;
}

void WaterType::ReloadNoise() {
    ReleaseNoise();
    noiseAsked_ = false;
}

void WaterType::ReleaseNoise() {
    if (!noise_) return;
    if (Singleton<GraphicsNoiseGen>::HasInstantiated()) Singleton<GraphicsNoiseGen>::Get()->ReleaseNoiseTexture(noise_);
    noise_ = nullptr;
}

void WaterType::Update() {
    if (!noiseAsked_ && GetEngineGraphics()) {
        noiseAsked_ = true;
        noise_ = Singleton<GraphicsNoiseGen>::Get()->AcquireNoiseTexture(settings_.NoiseTextureName.c_str());
    }
    const uint32_t frame = gEngine ? gEngine->GetFrameCount() : 0;
    if (frame == updateFrame_) return;
    updateFrame_ = frame;
    textureOffset_ = Fraction(float(GetGameTime()) * 0.001f * settings_.ScrollSpeed / settings_.TextureScale.x);
}

void WaterType::SetShaderParams(const GraphicsShader2* shader, const IntVec3& offset) const {
    static const Name surfaceParams = Name::Create("surfaceParams");
    static const Name waterColor = Name::Create("waterColor");
    static const Name textureScale = Name::Create("textureScale");
    static const Name textureDirection = Name::Create("textureDirection");
    static const Name depthParams = Name::Create("depthParams");
    static const Name textureOffset = Name::Create("textureOffset");
    static const Name skyTexture = Name::Create("skyTexture");
    if (!shader) return;
    const Settings& s = settings_;
    const float direction = DegreesToRadians(s.Direction);
    shader->SetFloat3(surfaceParams, 0, s.Smoothness, s.Specularity, s.Reflectivity);
    shader->SetFloat3(waterColor, 0, s.WaterColor);
    shader->SetFloat2(textureScale, 0, 1.0f / s.TextureScale.x, 1.0f / s.TextureScale.y);
    shader->SetFloat2(textureDirection, 0, std::cos(direction), std::sin(direction));
    shader->SetFloat4(depthParams, 0, s.MinDepth, s.MaxDepth, s.MinDepthOpacity, s.MaxDepthOpacity);
    shader->SetFloat2(textureOffset, 0, Fraction(float(offset.x) / s.TextureScale.x) + textureOffset_,
                      Fraction(float(offset.z) / s.TextureScale.y));
    shader->SetTexture(skyTexture, 0, skyMap_ ? skyMap_->GetTexture() : nullptr);
    if (noise_) {
        static const Name bumpTexture = Name::Create("bumpTexture");
        shader->SetTexture(bumpTexture, 0, noise_->GetTexture());
        noise_->SetNeedsUpdate(true);
    }
}

float WaterType::CalculateOpacity(float depth) const {
    const Settings& s = settings_;
    const float t = Min(Max(depth - s.MinDepth, 0.0f) / Max(s.MaxDepth - s.MinDepth, 1.0f), 1.0f);
    return (1.0f - t) * s.MinDepthOpacity + t * s.MaxDepthOpacity;
}

Vec2 WaterType::CalculateVelocity() const {
    const float direction = DegreesToRadians(settings_.Direction);
    return Vec2(std::cos(direction) * settings_.ScrollSpeed, std::sin(direction) * settings_.ScrollSpeed);
}

}  // namespace GAME
