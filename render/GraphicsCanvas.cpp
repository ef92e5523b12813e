#include "render/GraphicsCanvas.h"

#include "core/Plane.h"
#include "core/Singleton.h"
#include "core/Vec2.h"
#include "render/FontStyle.h"
#include "render/GraphicsFont.h"
#include "render/GraphicsTexture.h"
#include "render/StyleManager.h"

#include <algorithm>
#include <cmath>

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

GraphicsCanvas::GraphicsCanvas(RenderDevice& device, RenderSurface* primarySurface)
    : device_(device),
      primarySurface_(primarySurface),
      targetSurface_(primarySurface),
      canvasRect_(0.0f, 0.0f, float(device.GetWidth()), float(device.GetHeight())) {
    CreateDynamicBuffers();
}

GraphicsCanvas::~GraphicsCanvas() {
    DestroyTemporarySurfaces();
    DestroyDynamicBuffers();
}

// ---------------------------------------------------------------------------------------------
// Frame, targets and surfaces
// ---------------------------------------------------------------------------------------------

bool GraphicsCanvas::BeginFrame() {
    const bool began = device_.BeginScene();
    for (TemporarySurface& record : temporarySurfaces_) record.inUse = false;
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
    const Rect whole(0.0f, 0.0f, float(device_.GetWidth()), float(device_.GetHeight()));
    device_.SetScissorRect(&whole);
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
