#include "render/GraphicsCanvas.h"

#include "core/Plane.h"
#include "core/Singleton.h"
#include "core/Vec2.h"
#include "render/FontStyle.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsFont.h"
#include "render/GraphicsShader2.h"
#include "render/GraphicsTexture.h"
#include "render/StyleManager.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

namespace GAME {

namespace {

constexpr uint32_t kTextureStages = 8;
constexpr uint32_t kSamplers = 16;
// Sampler value of clamped addressing.
constexpr uint32_t kClamp = 1;
// Textured rectangles with the alpha test drop texels of this alpha or less.
constexpr float kAlphaTestReference = 0.05f;

constexpr Color kWhite(1.0f, 1.0f, 1.0f, 1.0f);

float SnapValue(float value) { return std::floor(value + 0.5f); }

// The filter shader's styles, passes' parameters, and the sample positions of the blur, in
// texels from the centre.
const Name kNormalStyle = Name::Create("normal");
const Name kExtractHotStyle = Name::Create("extractHot");
const Name kAlphaMaskStyle = Name::Create("alphaMask");
const Name kTextureParameter = Name::Create("texture");
const Name kSampleWeight0 = Name::Create("sampleWeight0");
const Name kSampleWeight1 = Name::Create("sampleWeight1");
const Name kBlendDestination = Name::Create("blendDstFactor");
const Name kExtractConst = Name::Create("extractConst");
const Name kSaturation = Name::Create("saturation");
const Name kSampleOffsets[8] = {Name::Create("sampleOffset0"), Name::Create("sampleOffset1"),
                                Name::Create("sampleOffset2"), Name::Create("sampleOffset3"),
                                Name::Create("sampleOffset4"), Name::Create("sampleOffset5"),
                                Name::Create("sampleOffset6"), Name::Create("sampleOffset7")};
constexpr float kBlurTaps[8] = {-3.5f, -2.5f, -1.5f, -0.5f, 0.5f, 1.5f, 2.5f, 3.5f};
// Pixel shader version from which a pass reads eight samples; below it, four.
constexpr int kEightSampleVersion = 5;
// Temporary surfaces of the effects: colour with alpha, no depth.
constexpr RenderTextureFormat kEffectColor = RenderTextureFormat::RGBA;
constexpr RenderTextureFormat kEffectDepth = RenderTextureFormat::None;

FontStyle& GetFontStyle(const std::string& name) { return *Singleton<StyleManager>::Get()->GetStyle(name); }

}  // namespace

Rect MakeRect(int x, int y, float width, float height, bool centered) {
    if (centered) return Rect(float(x) - width * 0.5f, float(y) - height * 0.5f, width, height);
    return Rect(float(x), float(y), width, height);
}

const char* GetTextureFormatName(RenderTextureFormat format) {
    switch (format) {
        case RenderTextureFormat::None: return "None";
        case RenderTextureFormat::RGB: return "RGB";
        case RenderTextureFormat::RGBA:
        case RenderTextureFormat::RGBAAlternate: return "RGBA";
        case RenderTextureFormat::DsDt: return "DsDt";
        case RenderTextureFormat::R16F: return "R16F";
        case RenderTextureFormat::R32F: return "R32F";
        case RenderTextureFormat::D16: return "D16";
        case RenderTextureFormat::D24: return "D24";
        case RenderTextureFormat::D32: return "D32";
        default: return "Unknown";
    }
}

GraphicsCanvas::GraphicsCanvas(RenderDevice& device, RenderSurface* primarySurface, GraphicsEngine* graphics)
    : graphics_(graphics),
      filterShader_(graphics != nullptr ? graphics->LoadShader2(kFilterShader) : nullptr),
      device_(device),
      primarySurface_(primarySurface),
      targetSurface_(primarySurface),
      canvasRect_(0.0f, 0.0f, float(device.GetWidth()), float(device.GetHeight())) {
    CreateDynamicBuffers();
}

GraphicsCanvas::~GraphicsCanvas() {
    DestroyTemporarySurfaces();
    if (filterShader_ != nullptr) graphics_->UnloadShader2(filterShader_);
    DestroyDynamicBuffers();
}

// ---------------------------------------------------------------------------------------------
// Frame, targets and surfaces
// ---------------------------------------------------------------------------------------------

bool GraphicsCanvas::BeginFrame() {
    const bool began = device_.BeginScene();
    ReleaseTemporarySurfaces();
    return began;
}

void GraphicsCanvas::EndFrame() { device_.EndScene(); }

void GraphicsCanvas::PresentSurface(RenderSurface* surface) { device_.Present(surface); }

void GraphicsCanvas::SetClearColor(const Color& color) { device_.SetClearColor(color); }

void GraphicsCanvas::ClearRenderSurface(RenderSurface* surface, const Color& color, uint32_t flags) {
    SetTargetSurface(surface);
    device_.SetClearColor(color);
    device_.Clear(flags, 1.0f);
}

void GraphicsCanvas::SetTargetSurface(RenderSurface* surface) {
    targetSurface_ = surface != nullptr ? surface : primarySurface_;
    device_.SetTargetSurface(0, targetSurface_);
}

void GraphicsCanvas::SetRenderTarget(int index, RenderSurface* surface) {
    targetSurface_ = surface;
    device_.SetRenderTarget(index, surface);
}

void GraphicsCanvas::SetPrimarySurface(RenderSurface* surface) {
    // A canvas drawing into the primary surface keeps doing so into the new one.
    if (targetSurface_ == primarySurface_) targetSurface_ = surface;
    primarySurface_ = surface;
}

RenderSurface* GraphicsCanvas::CreateTextureSurface(int width, int height, RenderTextureFormat colorFormat,
                                                    RenderTextureFormat depthFormat) {
    return device_.CreateRenderSurface(width, height, colorFormat, depthFormat);
}

RenderSurface* GraphicsCanvas::CreateTextureSurface(int width, int height, const RenderTexture* texture,
                                                    RenderTextureFormat depthFormat) {
    return device_.CreateRenderSurface(width, height, texture, depthFormat);
}

RenderSurface* GraphicsCanvas::CreateTemporaryTextureSurface(int width, int height, RenderTextureFormat colorFormat,
                                                             RenderTextureFormat depthFormat) {
    for (TemporarySurface& record : temporarySurfaces_) {
        if (!record.inUse && record.width == width && record.height == height && record.depthFormat == depthFormat &&
            record.colorFormat == colorFormat) {
            record.inUse = true;
            return record.surface;
        }
    }
    RenderSurface* const surface = device_.CreateRenderSurface(width, height, colorFormat, depthFormat);
    if (surface == nullptr) return nullptr;
    temporarySurfaces_.push_back(TemporarySurface{true, width, height, colorFormat, depthFormat, surface});
    return surface;
}

void GraphicsCanvas::ReleaseTemporarySurfaces() {
    for (TemporarySurface& record : temporarySurfaces_) record.inUse = false;
}

void GraphicsCanvas::DestroyTemporarySurfaces() {
    for (TemporarySurface& record : temporarySurfaces_) {
        if (record.surface == targetSurface_) targetSurface_ = primarySurface_;
        device_.DestroyRenderSurface(record.surface);
    }
    temporarySurfaces_.clear();
}

// ---------------------------------------------------------------------------------------------
// Clipping and state
// ---------------------------------------------------------------------------------------------

void GraphicsCanvas::SetClippingRect(const Rect& rect, bool clampToCanvas) {
    if (!clampToCanvas) {
        device_.SetScissorRect(&rect);
        return;
    }
    // A rectangle starting beyond the canvas is cut to nothing, not to a negative size.
    const Rect clipped(canvasRect_.x + rect.x, canvasRect_.y + rect.y,
                       std::max(std::min(rect.x + rect.width, canvasRect_.width) - rect.x, 0.0f),
                       std::max(std::min(rect.y + rect.height, canvasRect_.height) - rect.y, 0.0f));
    device_.SetScissorRect(&clipped);
}

void GraphicsCanvas::ClearClippingRect() {
    // No limit at all: a rectangle the size of the back buffer would cut draws and clears into
    // larger targets (shadow maps) to their corner.
    device_.SetScissorRect(nullptr);
}

void GraphicsCanvas::SetClippingPlane(uint32_t index, const Plane& plane) { device_.SetClipPlane(index, plane); }

void GraphicsCanvas::SetDefaultState() {
    device_.SetVertexShader(nullptr);
    device_.SetPixelShader(nullptr);
    device_.SetColorWriteMode(RenderWriteMode::On);
    device_.SetAlphaWriteMode(RenderWriteMode::On);
    device_.SetDepthWriteMode(RenderWriteMode::On);
    device_.SetDepthTestFunction(RenderTestFunction::LessEqual);
    device_.SetAlphaTestFunction(RenderTestFunction::Always);
    device_.SetAlphaReference(0.0f);
    device_.SetSourceBlendFactor(RenderBlendFactor::One);
    device_.SetDestinationBlendFactor(RenderBlendFactor::Zero);
    device_.SetRenderStateB(0);
    device_.SetRenderStateC(0);
    device_.SetClearColor(Color(0.0f, 0.0f, 0.0f, 1.0f));
    for (uint32_t stage = 0; stage < kTextureStages; ++stage) device_.SetTexture(stage, nullptr);
    for (uint32_t sampler = 0; sampler < kSamplers; ++sampler) {
        device_.SetSamplerState(sampler, RenderSamplerState::AddressU, 0);
        device_.SetSamplerState(sampler, RenderSamplerState::AddressV, 0);
    }
    device_.SetRenderStateA(0);
}

// ---------------------------------------------------------------------------------------------
// Rectangles and fans
// ---------------------------------------------------------------------------------------------

Rect GraphicsCanvas::Snap(const Rect& rect) const {
    return Rect(SnapValue(rect.x + canvasRect_.x), SnapValue(rect.y + canvasRect_.y), SnapValue(rect.width),
                SnapValue(rect.height));
}

void GraphicsCanvas::RenderRect(const Rect& rect, RenderBlendFactor source, RenderBlendFactor destination,
                                const Color& color) {
    const RenderBlendFactor oldSource = device_.GetSourceBlendFactor();
    const RenderBlendFactor oldDestination = device_.GetDestinationBlendFactor();
    device_.SetSourceBlendFactor(source);
    device_.SetDestinationBlendFactor(destination);
    device_.SetTexture(0, nullptr);
    device_.SetVertexShader(nullptr);
    device_.SetPixelShader(nullptr);
    device_.DrawRect(Snap(rect), color.ToPacked(), depth_);
    device_.SetSourceBlendFactor(oldSource);
    device_.SetDestinationBlendFactor(oldDestination);
}

void GraphicsCanvas::RenderRect(const Rect& destination, const Rect& source, const RenderTexture* texture,
                                RenderBlendFactor sourceBlend, RenderBlendFactor destinationBlend, const Color& color,
                                bool alphaTest) {
    Rect texCoords;
    if (texture != nullptr && texture->GetWidth() > 0 && texture->GetHeight() > 0) {
        const float width = float(texture->GetWidth());
        const float height = float(texture->GetHeight());
        texCoords = Rect(source.x / width, source.y / height, source.width / width, source.height / height);
    }
    device_.SetTexture(0, texture);
    device_.SetSamplerState(0, RenderSamplerState::AddressU, kClamp);
    device_.SetSamplerState(0, RenderSamplerState::AddressV, kClamp);
    device_.SetSourceBlendFactor(sourceBlend);
    device_.SetDestinationBlendFactor(destinationBlend);
    if (alphaTest) {
        device_.SetAlphaTestFunction(RenderTestFunction::Greater);
        device_.SetAlphaReference(kAlphaTestReference);
    } else {
        device_.SetAlphaTestFunction(RenderTestFunction::Always);
    }
    device_.DrawTexturedRect(texCoords, Snap(destination), color.ToPacked(), depth_);
}

void GraphicsCanvas::RenderRect(const Rect& rect, const Color& color) {
    RenderRect(rect, RenderBlendFactor::SourceAlpha, RenderBlendFactor::InverseSourceAlpha, color);
}

void GraphicsCanvas::RenderRect(const Rect& destination, const Rect& source, const GraphicsTexture* texture,
                                const Color& color) {
    if (texture == nullptr) return;
    RenderRect(destination, source, texture->GetTexture(), RenderBlendFactor::SourceAlpha,
               RenderBlendFactor::InverseSourceAlpha, color, false);
}

void GraphicsCanvas::RenderTriFan(const mem::vector<Vec2>& points, const Color& color) {
    SetDefaultState();
    device_.SetDepthTestFunction(RenderTestFunction::Always);
    device_.SetSourceBlendFactor(RenderBlendFactor::SourceAlpha);
    device_.SetDestinationBlendFactor(RenderBlendFactor::InverseSourceAlpha);
    device_.SetTexture(0, nullptr);
    device_.DrawTriangleFan(points.data(), static_cast<uint32_t>(points.size()), color.ToPacked());
}

void GraphicsCanvas::RenderLine(const Vec2& /*from*/, const Vec2& /*to*/, const Color& /*color*/) {}

// ---------------------------------------------------------------------------------------------
// Frame-buffer effects
// ---------------------------------------------------------------------------------------------

bool GraphicsCanvas::BeginFilterStyle(const Name& style) const {
    if (filterShader_ == nullptr) return false;
    const uint32_t index = filterShader_->FindStyleByName(style);
    return index != GraphicsShader2::kNoStyle && filterShader_->Begin(index);
}

void GraphicsCanvas::RenderBlurPass(RenderSurface* source, RenderSurface* destination,
                                    RenderBlendFactor blendDestination, const float weights[8],
                                    const Vec2 offsets[8]) {
    const RenderTexture* const texture = source->GetTexture();
    const RenderTexture* const target = destination->GetTexture();
    // The destination becomes the target before the viewport is set (a device puts its viewport
    // over a new target), and the source is drawn over the whole destination, so a smaller
    // destination is a reduced copy.
    SetRenderTarget(0, destination);
    device_.SetDepthTarget(nullptr);
    const Viewport viewport(0, 0, target->GetWidth(), target->GetHeight());
    device_.SetViewport(viewport);
    const Rect whole(0.0f, 0.0f, float(viewport.width), float(viewport.height));
    const bool eightSamples = graphics_->GetPixelShaderVersion() >= kEightSampleVersion;
    const int samplesPerPass = eightSamples ? 8 : 4;
    for (int first = 0; first < 8; first += samplesPerPass) {
        filterShader_->Begin();
        filterShader_->SetFloat4(kSampleWeight0, 0, weights[first], weights[first + 1], weights[first + 2],
                                 weights[first + 3]);
        if (eightSamples) filterShader_->SetFloat4(kSampleWeight1, 0, weights[4], weights[5], weights[6], weights[7]);
        for (int i = 0; i < samplesPerPass; ++i) filterShader_->SetFloat2(kSampleOffsets[i], 0, offsets[first + i]);
        // The second of two passes adds to the first.
        const RenderBlendFactor blend = first == 0 ? blendDestination : RenderBlendFactor::One;
        filterShader_->SetInt(kBlendDestination, 0, int(blend));
        filterShader_->SetTexture(kTextureParameter, 0, texture);
        filterShader_->Render("BlurFrameBuffer");
        device_.DrawTexturedRect(Rect(0.0f, 0.0f, 1.0f, 1.0f), whole, kWhite.ToPacked(), 0.0f);
        filterShader_->End();
    }
}

RenderSurface* GraphicsCanvas::BlurSurface(RenderSurface* source, float strength) {
    if (source == nullptr || source->GetTexture() == nullptr) return nullptr;
    const int width = source->GetTexture()->GetWidth();
    const int height = source->GetTexture()->GetHeight();
    RenderSurface* const oldTarget = targetSurface_;
    const Viewport oldViewport = device_.GetViewport();

    float weights[8];
    Vec2 vertical[8];
    Vec2 horizontal[8];
    for (int i = 0; i < 8; ++i) {
        weights[i] = strength * kBlurWeights[i];
        vertical[i] = Vec2(0.0f, kBlurTaps[i] / float(height));
        horizontal[i] = Vec2(kBlurTaps[i] / float(width), 0.0f);
    }
    RenderSurface* const tall = CreateTemporaryTextureSurface(width, height / 2, kEffectColor, kEffectDepth);
    RenderSurface* const result = CreateTemporaryTextureSurface(width / 2, height / 2, kEffectColor, kEffectDepth);
    // The pooled result holds what an earlier user left in it until the passes have run.
    const bool blurred = tall != nullptr && result != nullptr && BeginFilterStyle(kNormalStyle);
    if (blurred) {
        RenderBlurPass(source, tall, RenderBlendFactor::Zero, weights, vertical);
        RenderBlurPass(tall, result, RenderBlendFactor::Zero, weights, horizontal);
        filterShader_->End();
    }
    SetTargetSurface(oldTarget);
    device_.SetViewport(oldViewport);
    device_.SetVertexShader(nullptr);
    device_.SetPixelShader(nullptr);
    return blurred ? result : nullptr;
}

RenderSurface* GraphicsCanvas::BlurFrameBuffer(unsigned width, unsigned height, const Rect& region) {
    RenderSurface* const copy = CreateTemporaryTextureSurface(int(width), int(height), kEffectColor, kEffectDepth);
    if (copy == nullptr || targetSurface_ == nullptr) return nullptr;
    targetSurface_->CopyToTexture(copy->GetTexture(), &region, 0);
    return BlurSurface(copy, 1.0f);
}

RenderSurface* GraphicsCanvas::ExtractFrameBuffer(unsigned width, unsigned height, const Name& style,
                                                  const char* passName, bool allSamples, const float* extract,
                                                  float saturation) {
    if (targetSurface_ == nullptr || filterShader_ == nullptr ||
        filterShader_->FindStyleByName(style) == GraphicsShader2::kNoStyle) {
        return nullptr;
    }
    const int w = int(width);
    const int h = int(height);
    RenderSurface* const copy = CreateTemporaryTextureSurface(w, h, kEffectColor, kEffectDepth);
    RenderSurface* const reduced = CreateTemporaryTextureSurface(w / 2, h / 2, kEffectColor, kEffectDepth);
    if (copy == nullptr || reduced == nullptr) return nullptr;

    RenderSurface* const oldTarget = targetSurface_;
    const Viewport oldViewport = device_.GetViewport();
    const Rect shown(0.0f, 0.0f, float(oldViewport.width), float(oldViewport.height));
    oldTarget->CopyToTexture(copy->GetTexture(), &shown, 0);
    if (!BeginFilterStyle(style)) {
        device_.SetViewport(oldViewport);
        return nullptr;
    }
    SetRenderTarget(0, reduced);
    device_.SetDepthTarget(nullptr);
    const Viewport pass(0, 0, w / 2, h / 2);
    device_.SetViewport(pass);
    const float u = 1.0f / float(w);
    const float v = 1.0f / float(h);
    const Vec2 offsets[8] = {Vec2(0.5f * u, 0.5f * v), Vec2(0.5f * u, -0.5f * v), Vec2(-0.5f * u, 0.5f * v),
                             Vec2(-0.5f * u, -0.5f * v), Vec2(u, 0.0f), Vec2(-u, 0.0f), Vec2(0.0f, v),
                             Vec2(0.0f, -v)};
    const int samples = allSamples || graphics_->GetPixelShaderVersion() >= kEightSampleVersion ? 8 : 4;
    filterShader_->Begin();
    filterShader_->SetTexture(kTextureParameter, 0, copy->GetTexture());
    for (int i = 0; i < samples; ++i) filterShader_->SetFloat2(kSampleOffsets[i], 0, offsets[i]);
    if (extract != nullptr) {
        filterShader_->SetFloat4(kExtractConst, 0, extract[0], extract[1], extract[2], extract[3]);
        filterShader_->SetFloat(kSaturation, 0, saturation);
    }
    filterShader_->Render(passName);
    device_.DrawTexturedRect(Rect(0.0f, 0.0f, 1.0f, 1.0f), Rect(0.0f, 0.0f, float(pass.width), float(pass.height)),
                             kWhite.ToPacked(), 0.0f);
    filterShader_->End();
    filterShader_->End();
    SetTargetSurface(oldTarget);
    return reduced;
}

void GraphicsCanvas::HotBlurFrameBuffer(unsigned width, unsigned height, float threshold, float blurStrength,
                                        float saturation) {
    const float t = std::clamp(threshold, 0.0f, 1.0f);
    // At threshold 0 nothing is brighter than white, and the scale would divide by zero.
    if (t <= 0.0f) return;
    const float extract[4] = {1.0f - t, 1.0f - t, 1.0f - t, 0.5f / t};
    const Viewport oldViewport = device_.GetViewport();
    RenderSurface* const hot =
        ExtractFrameBuffer(width, height, kExtractHotStyle, "HotBlur", false, extract, saturation);
    if (hot == nullptr) return;
    RenderSurface* const glow = BlurSurface(hot, blurStrength);
    if (glow != nullptr && glow->GetTexture() != nullptr) {
        const RenderTexture* const texture = glow->GetTexture();
        device_.SetViewport(Viewport(int(std::lround(canvasRect_.x)), int(std::lround(canvasRect_.y)),
                                     int(std::lround(canvasRect_.width)), int(std::lround(canvasRect_.height))));
        RenderRect(Rect(0.0f, 0.0f, float(oldViewport.width), float(oldViewport.height)),
                   Rect(0.0f, 0.0f, float(texture->GetWidth()), float(texture->GetHeight())), texture,
                   RenderBlendFactor::One, RenderBlendFactor::One, kWhite, false);
    }
    device_.SetViewport(oldViewport);
}

RenderSurface* GraphicsCanvas::MaskFrameBuffer(unsigned width, unsigned height, const Rect& /*region*/) {
    RenderSurface* const mask = ExtractFrameBuffer(width, height, kAlphaMaskStyle, "AlphaMask", true, nullptr, 0.0f);
    if (mask == nullptr) return nullptr;
    RenderSurface* const blurred = BlurSurface(mask, 1.0f);
    device_.SetViewport(Viewport(0, 0, int(width), int(height)));
    return blurred;
}

void GraphicsCanvas::RenderSquareRadialWipeEffect(const Rect& rect, const Vec2& offset, const Color& color,
                                                  float fraction) {
    const float hw = rect.width * 0.5f;
    const float hh = rect.height * 0.5f;
    const Vec2 centre(rect.x + offset.x + hw, rect.y + offset.y + hh);
    const float reach = std::sqrt(hw * hw + hh * hh);
    const float start = 2.0f * std::numbers::pi_v<float> * fraction;
    // Angle 0 points up and angles run clockwise (y grows downward); the point is pushed out to
    // the square's edge.
    const auto edgePoint = [&](float angle) {
        const float a = angle - std::numbers::pi_v<float> * 0.5f;
        return Vec2(std::clamp(centre.x + reach * std::cos(a), centre.x - hw, centre.x + hw),
                    std::clamp(centre.y + reach * std::sin(a), centre.y - hh, centre.y + hh));
    };
    mem::vector<Vec2> fan{centre, edgePoint(start)};
    for (int i = 0; i <= 8; ++i) {
        const float corner = std::numbers::pi_v<float> * 0.25f * float(i);
        if (corner > start) fan.push_back(edgePoint(corner));
    }
    RenderTriFan(fan, color);
}

// ---------------------------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------------------------

template <class Char>
float GraphicsCanvas::DrawAlignedText(const Rect& rect, const Color& color, const Char* text, const GraphicsFont* font,
                                      int size, XAlignment xAlign, YAlignment yAlign, bool shadow, int shadowDistance,
                                      RenderFontStyle style, bool filter) {
    if (font == nullptr || text == nullptr) return 0.0f;
    const int width = font->MeasureText(text, size, style);
    float x = rect.x;
    if (xAlign == XAlignment::Right) x = rect.x + rect.width - float(width);
    if (xAlign == XAlignment::Center) x = rect.x + rect.width * 0.5f - float(width / 2);
    float y = rect.y;
    if (yAlign == YAlignment::Bottom) y = rect.y + rect.height - float(size);
    if (yAlign == YAlignment::Center) y = rect.y + rect.height * 0.5f - float(size / 2);
    Rect pen(SnapValue(std::trunc(x)), SnapValue(std::trunc(y)), 0.0f, 0.0f);
    return float(font->DrawText(text, pen, GraphicsFont::kDrawFlags, size, color, shadow, shadowDistance, style, filter));
}

template <class Char>
float GraphicsCanvas::DrawStyledText(const Rect& rect, const Char* text, const std::string& styleName, float alpha,
                                     XAlignment xAlign, YAlignment yAlign) {
    const FontStyle& style = GetFontStyle(styleName);
    const Color color(style.color.r, style.color.g, style.color.b, alpha);
    return DrawAlignedText(rect, color, text, style.font, style.size, xAlign, yAlign, style.dropShadow,
                           style.shadowDistance, style.attributes, style.filter);
}

float GraphicsCanvas::RenderText(const Rect& rect, const Color& color, const wchar_t* text, const GraphicsFont* font,
                                 int size, XAlignment xAlign, YAlignment yAlign, bool shadow, int shadowDistance,
                                 RenderFontStyle style, bool filter) {
    return DrawAlignedText(rect, color, text, font, size, xAlign, yAlign, shadow, shadowDistance, style, filter);
}

float GraphicsCanvas::RenderText(const Rect& rect, const Color& color, const char* text, const GraphicsFont* font,
                                 int size, XAlignment xAlign, YAlignment yAlign, bool shadow, int shadowDistance,
                                 RenderFontStyle style, bool filter) {
    return DrawAlignedText(rect, color, text, font, size, xAlign, yAlign, shadow, shadowDistance, style, filter);
}

float GraphicsCanvas::RenderText(int x, int y, const Color& color, const wchar_t* text, const GraphicsFont* font,
                                 int size, XAlignment xAlign, YAlignment yAlign, bool shadow, int shadowDistance,
                                 RenderFontStyle style, bool filter) {
    return DrawAlignedText(MakeRect(x, y, 0.0f, 0.0f, false), color, text, font, size, xAlign, yAlign, shadow,
                           shadowDistance, style, filter);
}

float GraphicsCanvas::RenderText(int x, int y, const Color& color, const char* text, const GraphicsFont* font,
                                 int size, XAlignment xAlign, YAlignment yAlign, bool shadow, int shadowDistance,
                                 RenderFontStyle style, bool filter) {
    return DrawAlignedText(MakeRect(x, y, 0.0f, 0.0f, false), color, text, font, size, xAlign, yAlign, shadow,
                           shadowDistance, style, filter);
}

float GraphicsCanvas::RenderText(const Rect& rect, const wchar_t* text, const std::string& styleName, float alpha,
                                 XAlignment xAlign, YAlignment yAlign) {
    return DrawStyledText(rect, text, styleName, alpha, xAlign, yAlign);
}

float GraphicsCanvas::RenderText(const Rect& rect, const char* text, const std::string& styleName, float alpha,
                                 XAlignment xAlign, YAlignment yAlign) {
    return DrawStyledText(rect, text, styleName, alpha, xAlign, yAlign);
}

float GraphicsCanvas::RenderText(int x, int y, const wchar_t* text, const std::string& styleName, float alpha,
                                 XAlignment xAlign, YAlignment yAlign) {
    return DrawStyledText(MakeRect(x, y, 0.0f, 0.0f, false), text, styleName, alpha, xAlign, yAlign);
}

float GraphicsCanvas::RenderText(int x, int y, const char* text, const std::string& styleName, float alpha,
                                 XAlignment xAlign, YAlignment yAlign) {
    return DrawStyledText(MakeRect(x, y, 0.0f, 0.0f, false), text, styleName, alpha, xAlign, yAlign);
}

template <class Char>
void GraphicsCanvas::DrawTextBox(int x, int y, const Color& background, const Char* text, const GraphicsFont* font,
                                 int size, bool centered, const Color* textColor, bool shadow, int shadowDistance,
                                 RenderFontStyle style) {
    if (font == nullptr || text == nullptr) return;
    const Rect box = MakeRect(x, y, float(font->MeasureText(text, size, style)), float(size), centered);
    RenderRect(box, Rect(), static_cast<const RenderTexture*>(nullptr), RenderBlendFactor::SourceAlpha,
               RenderBlendFactor::InverseSourceAlpha, background, false);
    DrawAlignedText(Rect(box.x, box.y, 0.0f, 0.0f), textColor != nullptr ? *textColor : kWhite, text, font, size,
                    XAlignment::Left, YAlignment::Top, shadow, shadowDistance, style, false);
}

template <class Char>
void GraphicsCanvas::DrawStyledTextBox(int x, int y, const Color& background, const Char* text,
                                       const std::string& styleName, float alpha, bool centered, const Color* textColor) {
    const FontStyle& style = GetFontStyle(styleName);
    const Color color = textColor != nullptr ? *textColor : Color(style.color.r, style.color.g, style.color.b, alpha);
    DrawTextBox(x, y, background, text, style.font, style.size, centered, &color, style.dropShadow,
                style.shadowDistance, style.attributes);
}

template <class Char>
void GraphicsCanvas::DrawColoredText(int x, int y, const Char* text, const std::string& styleName, const Color& color) {
    const FontStyle& style = GetFontStyle(styleName);
    DrawTextBox(x, y, Color(0.0f, 0.0f, 0.0f, 0.0f), text, style.font, style.size, false, &color, style.dropShadow,
                style.shadowDistance, style.attributes);
}

void GraphicsCanvas::RenderTextBox(int x, int y, const Color& background, const wchar_t* text, const GraphicsFont* font,
                                   int size, bool centered, const Color* textColor, bool shadow, int shadowDistance,
                                   RenderFontStyle style) {
    DrawTextBox(x, y, background, text, font, size, centered, textColor, shadow, shadowDistance, style);
}

void GraphicsCanvas::RenderTextBox(int x, int y, const Color& background, const char* text, const GraphicsFont* font,
                                   int size, bool centered, const Color* textColor, bool shadow, int shadowDistance,
                                   RenderFontStyle style) {
    DrawTextBox(x, y, background, text, font, size, centered, textColor, shadow, shadowDistance, style);
}

void GraphicsCanvas::RenderTextBox(int x, int y, const Color& background, const wchar_t* text,
                                   const std::string& styleName, float alpha, bool centered, const Color* textColor) {
    DrawStyledTextBox(x, y, background, text, styleName, alpha, centered, textColor);
}

void GraphicsCanvas::RenderTextBox(int x, int y, const Color& background, const char* text,
                                   const std::string& styleName, float alpha, bool centered, const Color* textColor) {
    DrawStyledTextBox(x, y, background, text, styleName, alpha, centered, textColor);
}

void GraphicsCanvas::RenderColoredText(int x, int y, const std::wstring& text, const std::string& styleName,
                                       const Color& color) {
    DrawColoredText(x, y, text.c_str(), styleName, color);
}

void GraphicsCanvas::RenderColoredText(int x, int y, const std::string& text, const std::string& styleName,
                                       const Color& color) {
    DrawColoredText(x, y, text.c_str(), styleName, color);
}

void GraphicsCanvas::RenderColoredText(int x, int y, const char* text, const std::string& styleName,
                                       const Color& color) {
    DrawColoredText(x, y, text, styleName, color);
}

void GraphicsCanvas::RenderTextParagraph(int x, int y, const Color& textColor, const Color& background,
                                         const mem::vector<std::wstring>& lines, const std::string& styleName,
                                         bool centered) {
    // An empty paragraph has no longest line to size its box by: nothing is drawn.
    if (lines.empty()) return;
    const FontStyle& style = GetFontStyle(styleName);
    const GraphicsFont* const font = style.font;
    if (font == nullptr) return;
    const auto longest = std::max_element(lines.begin(), lines.end(), [](const std::wstring& a, const std::wstring& b) {
        return a.size() < b.size();
    });
    const float width = float(font->MeasureText(longest->c_str(), style.size, style.attributes) + 2 * kParagraphMargin);
    const int lineHeight = style.size + kParagraphLineGap;
    const float height = float(int(lines.size()) * lineHeight + 2 * kParagraphMargin);
    const Rect block = MakeRect(x, y, width, height, centered);
    RenderRect(Rect(block.x - kParagraphMargin, block.y - kParagraphMargin, width, height), Rect(),
               static_cast<const RenderTexture*>(nullptr), RenderBlendFactor::SourceAlpha,
               RenderBlendFactor::InverseSourceAlpha, background, false);
    font->BeginBatch();
    float lineY = block.y;
    for (const std::wstring& line : lines) {
        DrawAlignedText(Rect(block.x, lineY, width, 0.0f), textColor, line.c_str(), font, style.size,
                        centered ? XAlignment::Center : XAlignment::Left, YAlignment::Top, false, style.shadowDistance,
                        style.attributes, false);
        lineY += float(lineHeight);
    }
    font->EndBatch();
}

// ---------------------------------------------------------------------------------------------
// Dynamic buffers, reset, settings
// ---------------------------------------------------------------------------------------------

RenderDynamicVertexBuffer* GraphicsCanvas::GetDynamicVertexBuffer() {
    if (dynamicVertexBuffer_ == nullptr) CreateDynamicBuffers();
    return dynamicVertexBuffer_;
}

RenderDynamicIndexBuffer* GraphicsCanvas::GetDynamicIndexBuffer() {
    if (dynamicIndexBuffer_ == nullptr) CreateDynamicBuffers();
    return dynamicIndexBuffer_;
}

bool GraphicsCanvas::CreateDynamicBuffers() {
    if (device_.DeviceLost()) return false;
    if (dynamicVertexBuffer_ == nullptr) dynamicVertexBuffer_ = device_.CreateDynamicVertexBuffer(kDynamicBufferBytes);
    if (dynamicIndexBuffer_ == nullptr) dynamicIndexBuffer_ = device_.CreateDynamicIndexBuffer(kDynamicBufferBytes);
    return dynamicVertexBuffer_ != nullptr && dynamicIndexBuffer_ != nullptr;
}

void GraphicsCanvas::DestroyDynamicBuffers() {
    device_.DestroyDynamicVertexBuffer(dynamicVertexBuffer_);
    device_.DestroyDynamicIndexBuffer(dynamicIndexBuffer_);
    dynamicVertexBuffer_ = nullptr;
    dynamicIndexBuffer_ = nullptr;
}

bool GraphicsCanvas::PreDeviceReset() {
    primarySurface_ = nullptr;
    DestroyTemporarySurfaces();
    // The target was the primary surface or a surface of the old device: neither stays valid.
    targetSurface_ = nullptr;
    DestroyDynamicBuffers();
    return true;
}

void GraphicsCanvas::SetResolution(int width, int height) { canvasRect_ = Rect(0.0f, 0.0f, float(width), float(height)); }

}  // namespace GAME
