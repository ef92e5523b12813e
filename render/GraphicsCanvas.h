#pragma once
// GraphicsCanvas: the frame and 2-D drawing front end over the render device. One exists per
// device; the graphics engine makes it with the device's primary surface and hands it to
// everything that draws.
//
// Most operations forward to one device operation. The canvas adds:
// - the frame bracket, which also releases the temporary surfaces;
// - the 2-D origin (x, y of the canvas rectangle) and pixel snapping of rectangles: a rectangle is
//   moved by the origin, then x, y, width and height each become floor(value + 0.5);
// - clipping rectangles cut to the canvas;
// - a default render state;
// - a pool of temporary texture surfaces, valid until the next frame begins: two requests of one
//   shape in a frame get two surfaces, and the next frame hands the same ones out again in pool
//   order;
// - the two shared dynamic buffers (4 MiB each), made again on request after a device reset;
// - text: aligned, coloured and shadowed text in a font or a font style, text boxes and
//   paragraphs (the escapes and runs are GraphicsFont's);
// - frame-buffer effects on the temporary surfaces through its filter shader
//   ("Shaders/Filter.ssh"): a separable blur to half size, a blurred copy of the frame, a glow of
//   the frame's bright parts, a blurred alpha mask and a square radial wipe. Each effect puts the
//   target surface back; all but the mask put the viewport back too. Without the shader, its
//   style or a temporary surface an effect does nothing (or returns null).
//
// Colours reach the device packed (Color::ToPacked). Main thread only.

#include "core/Color.h"
#include "core/Mem.h"
#include "core/Name.h"
#include "core/Rect.h"
#include "core/Vec2.h"
#include "render/RenderDevice.h"

#include <cstdint>
#include <string>

namespace GAME {

class GraphicsEngine;
class GraphicsFont;
class GraphicsShader2;
class GraphicsTexture;
struct FontStyle;
struct Plane;

enum class XAlignment : uint32_t {
    Left = 0,
    Right = 1,
    Center = 2,
};

enum class YAlignment : uint32_t {
    Top = 0,
    Bottom = 1,
    Center = 2,
};

// A rectangle of the size with its corner at (x, y), or centred on (x, y).
Rect MakeRect(int x, int y, float width, float height, bool centered);
// The display name of a texture format ("None", "RGB", "RGBA", ...; "Unknown" out of range).
const char* GetTextureFormatName(RenderTextureFormat format);

class GraphicsCanvas {
public:
    // Bytes of each shared dynamic buffer.
    static constexpr uint32_t kDynamicBufferBytes = 0x400000;
    // Margin, in pixels, around the lines of a paragraph, and the gap between its lines.
    static constexpr int kParagraphMargin = 3;
    static constexpr int kParagraphLineGap = 2;

    // The file of the filter shader of the frame-buffer effects.
    static constexpr const char* kFilterShader = "Shaders/Filter.ssh";
    // Texel weights of the blur, nearest to farthest each way out from the centre; they sum to 1.
    static constexpr float kBlurWeights[8] = {0.10f, 0.11f, 0.14f, 0.15f, 0.15f, 0.14f, 0.11f, 0.10f};

    // Neither the device nor the primary surface is owned. The canvas rectangle starts as the
    // device's back buffer; the dynamic buffers are made at once. With a graphics engine the
    // canvas holds a reference on the filter shader for its life; without one (tests of the
    // drawing alone) it has no effects.
    GraphicsCanvas(RenderDevice& device, RenderSurface* primarySurface, GraphicsEngine* graphics = nullptr);
    // Destroys the temporary surfaces and the dynamic buffers, releases the filter shader.
    virtual ~GraphicsCanvas();
    GraphicsCanvas(const GraphicsCanvas&) = delete;
    GraphicsCanvas& operator=(const GraphicsCanvas&) = delete;

    // -- Frame ------------------------------------------------------------------------------------

    // Starts a frame on the device and releases every temporary surface (even when the device
    // cannot draw the frame); false when it cannot.
    bool BeginFrame();
    void EndFrame();
    // Shows the surface (the primary one) on the window.
    void PresentSurface(RenderSurface* surface);

    // -- Targets, viewport and clearing -----------------------------------------------------------

    int GetWidth() const { return device_.GetWidth(); }
    int GetHeight() const { return device_.GetHeight(); }
    void SetViewport(const Viewport& viewport) { device_.SetViewport(viewport); }
    const Viewport& GetViewport() const { return device_.GetViewport(); }
    void SetClearColor(const Color& color);
    void Clear(uint32_t flags, float depth) { device_.Clear(flags, depth); }
    // Targets the surface and clears it (to depth 1).
    void ClearRenderSurface(RenderSurface* surface, const Color& color, uint32_t flags);
    // The surface (the primary one for null) becomes the target.
    void SetTargetSurface(RenderSurface* surface);
    // The surface's colour becomes colour target index and the canvas's target surface.
    void SetRenderTarget(int index, RenderSurface* surface);
    // The surface's depth becomes the depth target; null for none.
    void SetDepthTarget(RenderSurface* surface) { device_.SetDepthTarget(surface); }
    RenderSurface* GetTargetSurface() const { return targetSurface_; }
    void SetPrimarySurface(RenderSurface* surface);
    RenderSurface* GetPrimarySurface() const { return primarySurface_; }

    // -- Surfaces ---------------------------------------------------------------------------------

    RenderSurface* CreateTextureSurface(int width, int height, RenderTextureFormat colorFormat,
                                        RenderTextureFormat depthFormat);
    // A surface drawing into an existing texture, with its own depth target.
    RenderSurface* CreateTextureSurface(int width, int height, const RenderTexture* texture,
                                        RenderTextureFormat depthFormat);
    void DestroySurface(RenderSurface*& surface) { device_.DestroyRenderSurface(surface); }
    bool SupportsDepthRenderTargets() const { return device_.SupportsDepthRenderTargets(); }
    bool Supports16bitColorWithDepth() const { return device_.Supports16bitColorWithDepth(); }
    // A pooled surface of the shape, valid until the next BeginFrame (or ReleaseTemporarySurfaces);
    // null when none can be made.
    RenderSurface* CreateTemporaryTextureSurface(int width, int height, RenderTextureFormat colorFormat,
                                                 RenderTextureFormat depthFormat);
    // Hands every pooled surface back, as BeginFrame does: for a caller that draws several
    // frames' worth outside frames (a loading warm-up), so each draw reuses the surfaces the last
    // one took rather than having new ones made.
    void ReleaseTemporarySurfaces();

    // -- Clipping ---------------------------------------------------------------------------------

    // Limits drawing to the rectangle: as given, or moved by the canvas origin and cut to the
    // canvas size (never below zero) when clamped.
    void SetClippingRect(const Rect& rect, bool clampToCanvas);
    // No limit: draws and clears cover whole targets, larger ones than the back buffer too.
    void ClearClippingRect();
    void SetClippingPlane(uint32_t index, const Plane& plane);
    void ClearClippingPlane(uint32_t index) { device_.ClearClipPlane(index); }

    // -- Render state -----------------------------------------------------------------------------

    // Programs off; colour, alpha and depth writes on; depth test less-equal; alpha test always
    // with reference 0; blending one / zero; depth biases 0; clear colour opaque black; texture
    // stages 0-7 empty; samplers 0-15 wrapping; cull mode none.
    void SetDefaultState();
    void EnableWireframe(bool enable) { device_.EnableWireframe(enable); }
    void SetDepthTestFunction(RenderTestFunction function) { device_.SetDepthTestFunction(function); }
    void SetAlphaTestFunction(RenderTestFunction function) { device_.SetAlphaTestFunction(function); }
    void SetColorWriteMode(RenderWriteMode mode) { device_.SetColorWriteMode(mode); }
    void SetAlphaWriteMode(RenderWriteMode mode) { device_.SetAlphaWriteMode(mode); }
    void SetDepthWriteMode(RenderWriteMode mode) { device_.SetDepthWriteMode(mode); }

    // -- Rectangles and fans ----------------------------------------------------------------------

    // A colour fill with the blend factors, which are put back afterwards; no texture, no programs.
    void RenderRect(const Rect& rect, RenderBlendFactor source, RenderBlendFactor destination, const Color& color);
    // The source rectangle (texels) of the texture (null: white) drawn into the destination with
    // the blend factors, which stay set. Stage 0 clamps; with alphaTest, texels of alpha 0.05 or
    // less are dropped. Bound programs stay bound.
    void RenderRect(const Rect& destination, const Rect& source, const RenderTexture* texture,
                    RenderBlendFactor sourceBlend, RenderBlendFactor destinationBlend, const Color& color,
                    bool alphaTest);
    // An alpha-blended colour fill.
    void RenderRect(const Rect& rect, const Color& color);
    // An alpha-blended textured rectangle from the texture's current frame; a null texture draws
    // nothing.
    void RenderRect(const Rect& destination, const Rect& source, const GraphicsTexture* texture, const Color& color);
    // A fan of the points (the first is the centre; not moved by the canvas origin), alpha
    // blended over the default state without depth test.
    void RenderTriFan(const mem::vector<Vec2>& points, const Color& color);
    // Draws nothing: lines go through the primitive drawer, which batches them.
    void RenderLine(const Vec2& from, const Vec2& to, const Color& color);

    // -- Frame-buffer effects ---------------------------------------------------------------------

    // One blur pass (the filter shader's "normal" style begun by the caller): the source texture
    // sampled at the eight offsets (texture coordinates) with the weights, written over the whole
    // destination, which becomes the target (no depth target); blendDestination is the blend
    // factor of the destination. Devices below pixel shader version 5 take two passes of four
    // samples, the second added over the first.
    void RenderBlurPass(RenderSurface* source, RenderSurface* destination, RenderBlendFactor blendDestination,
                        const float weights[8], const Vec2 offsets[8]);
    // The source blurred vertically, then horizontally, into a temporary surface of half its width
    // and height; its texels are strength times the weighted sums. Target, viewport and programs
    // are put back (programs off). Null when the passes could not run: no source texture, no
    // temporary surface, or no "normal" style in the filter shader.
    RenderSurface* BlurSurface(RenderSurface* source, float strength);
    // The region of the target surface stretched into a width x height temporary surface and
    // blurred (so the result is half that size).
    RenderSurface* BlurFrameBuffer(unsigned width, unsigned height, const Rect& region);
    // A glow: the target's parts brighter than 1 - threshold (threshold clamped to [0, 1]; 0 has
    // nothing to extract), scaled by 0.5 / threshold and saturated by saturation (0 grey, 1 their
    // own colour), taken at width x height, blurred with the strength and added over the canvas.
    void HotBlurFrameBuffer(unsigned width, unsigned height, float threshold, float blurStrength, float saturation);
    // The target's alpha taken at width x height and blurred; the region is not used. The viewport
    // is left at (0, 0, width, height). Null when the mask cannot be made.
    RenderSurface* MaskFrameBuffer(unsigned width, unsigned height, const Rect& region);
    // Covers the part of the rectangle (moved by offset) from the angle fraction x 360 degrees
    // clockwise from the top back to the top, in the colour: fraction 0 covers all of it, 1 none.
    void RenderSquareRadialWipeEffect(const Rect& rect, const Vec2& offset, const Color& color, float fraction);

    // -- Text -------------------------------------------------------------------------------------

    // Text aligned in the rectangle: horizontally by its measured width, vertically by the size;
    // the corner is truncated to whole pixels. Returns the width drawn. With shadow, each run is
    // drawn first in translucent black shadowDistance pixels down and right.
    float RenderText(const Rect& rect, const Color& color, const wchar_t* text, const GraphicsFont* font, int size,
                     XAlignment xAlign, YAlignment yAlign, bool shadow, int shadowDistance, RenderFontStyle style,
                     bool filter);
    float RenderText(const Rect& rect, const Color& color, const char* text, const GraphicsFont* font, int size,
                     XAlignment xAlign, YAlignment yAlign, bool shadow, int shadowDistance, RenderFontStyle style,
                     bool filter);
    float RenderText(int x, int y, const Color& color, const wchar_t* text, const GraphicsFont* font, int size,
                     XAlignment xAlign, YAlignment yAlign, bool shadow, int shadowDistance, RenderFontStyle style,
                     bool filter);
    float RenderText(int x, int y, const Color& color, const char* text, const GraphicsFont* font, int size,
                     XAlignment xAlign, YAlignment yAlign, bool shadow, int shadowDistance, RenderFontStyle style,
                     bool filter);
    // The same in a font style (StyleManager): its font, size, colour (with the given alpha),
    // shadow, attributes and filter.
    float RenderText(const Rect& rect, const wchar_t* text, const std::string& styleName, float alpha,
                     XAlignment xAlign, YAlignment yAlign);
    float RenderText(const Rect& rect, const char* text, const std::string& styleName, float alpha,
                     XAlignment xAlign, YAlignment yAlign);
    float RenderText(int x, int y, const wchar_t* text, const std::string& styleName, float alpha, XAlignment xAlign,
                     YAlignment yAlign);
    float RenderText(int x, int y, const char* text, const std::string& styleName, float alpha, XAlignment xAlign,
                     YAlignment yAlign);

    // Text on a background box of the text's measured width and the size, cornered or centred on
    // (x, y); the text in textColour (white when null), unfiltered.
    void RenderTextBox(int x, int y, const Color& background, const wchar_t* text, const GraphicsFont* font, int size,
                       bool centered, const Color* textColor, bool shadow, int shadowDistance, RenderFontStyle style);
    void RenderTextBox(int x, int y, const Color& background, const char* text, const GraphicsFont* font, int size,
                       bool centered, const Color* textColor, bool shadow, int shadowDistance, RenderFontStyle style);
    // The same in a font style; the text colour is textColor when given, else the style's with
    // the alpha.
    void RenderTextBox(int x, int y, const Color& background, const wchar_t* text, const std::string& styleName,
                       float alpha, bool centered, const Color* textColor);
    void RenderTextBox(int x, int y, const Color& background, const char* text, const std::string& styleName,
                       float alpha, bool centered, const Color* textColor);
    // Text in a style's font, size, shadow and attributes, in the colour, without background.
    void RenderColoredText(int x, int y, const std::wstring& text, const std::string& styleName, const Color& color);
    void RenderColoredText(int x, int y, const std::string& text, const std::string& styleName, const Color& color);
    void RenderColoredText(int x, int y, const char* text, const std::string& styleName, const Color& color);
    // Lines of a style under each other (size + kParagraphLineGap apart) on a background
    // kParagraphMargin pixels wider all round than the longest line; left aligned from (x, y) or
    // centred on it. The lines are batched into as few device draws as the font allows.
    void RenderTextParagraph(int x, int y, const Color& textColor, const Color& background,
                             const mem::vector<std::wstring>& lines, const std::string& styleName, bool centered);

    // -- Shared dynamic buffers -------------------------------------------------------------------

    // The buffer, made first when missing; null while it cannot be made.
    RenderDynamicVertexBuffer* GetDynamicVertexBuffer();
    RenderDynamicIndexBuffer* GetDynamicIndexBuffer();
    // Makes each missing buffer; false at once while the device is lost, or when either is missing.
    bool CreateDynamicBuffers();
    void DestroyDynamicBuffers();

    // -- Device reset -----------------------------------------------------------------------------

    // Before a device reset: the primary and target surfaces are forgotten, the temporary surfaces
    // and the dynamic buffers destroyed. The primary surface comes back through SetPrimarySurface,
    // the buffers through their getters.
    bool PreDeviceReset();

    // -- Plain settings ---------------------------------------------------------------------------

    // The depth of every rectangle drawn (0..1).
    void SetDepth(float depth) { depth_ = depth; }
    float GetDepth() const { return depth_; }
    // The canvas rectangle becomes (0, 0, width, height).
    void SetResolution(int width, int height);
    const Rect& GetCanvasRect() const { return canvasRect_; }
    // Kept for the interface's layout code; nothing in the canvas scales by it.
    void SetResolutionAdjustment(float x, float y) { resolutionAdjustment_ = Vec2(x, y); }
    const Vec2& GetResolutionAdjustment() const { return resolutionAdjustment_; }

    RenderDevice& GetRenderDevice() const { return device_; }

    // Set while a loading warm-up draws (GraphicsEngine::WarmUp, GraphicsWarmUp): a renderable
    // with nothing to show then draws its pass all the same, as a quad of no size, so the driver
    // compiles that pass's program variant during the loading and not at the frame that first
    // shows something of it. The device is told too (RenderDevice::SetWarmingUp).
    void SetWarmingUp(bool warmingUp) {
        warmingUp_ = warmingUp;
        device_.SetWarmingUp(warmingUp);
    }
    bool IsWarmingUp() const { return warmingUp_; }

private:
    // One pooled surface.
    struct TemporarySurface {
        bool inUse = false;
        int width = 0;
        int height = 0;
        RenderTextureFormat colorFormat = RenderTextureFormat::None;
        RenderTextureFormat depthFormat = RenderTextureFormat::None;
        RenderSurface* surface = nullptr;  // owned
    };

    // The rectangle moved by the canvas origin and snapped to whole pixels.
    Rect Snap(const Rect& rect) const;
    // The style of the filter shader, begun; false (nothing begun) without shader or style.
    bool BeginFilterStyle(const Name& style) const;
    // The target taken at width x height into a temporary surface and reduced by one pass of the
    // style into a second of half that size, returned (null when any step fails; the target is
    // put back, the viewport is the pass's). The glow's pass also extracts and saturates.
    RenderSurface* ExtractFrameBuffer(unsigned width, unsigned height, const Name& style, const char* passName,
                                      bool allSamples, const float* extract, float saturation);
    void DestroyTemporarySurfaces();

    template <class Char>
    float DrawAlignedText(const Rect& rect, const Color& color, const Char* text, const GraphicsFont* font, int size,
                          XAlignment xAlign, YAlignment yAlign, bool shadow, int shadowDistance,
                          RenderFontStyle style, bool filter);
    template <class Char>
    float DrawStyledText(const Rect& rect, const Char* text, const std::string& styleName, float alpha,
                         XAlignment xAlign, YAlignment yAlign);
    template <class Char>
    void DrawTextBox(int x, int y, const Color& background, const Char* text, const GraphicsFont* font, int size,
                     bool centered, const Color* textColor, bool shadow, int shadowDistance, RenderFontStyle style);
    template <class Char>
    void DrawStyledTextBox(int x, int y, const Color& background, const Char* text, const std::string& styleName,
                           float alpha, bool centered, const Color* textColor);
    template <class Char>
    void DrawColoredText(int x, int y, const Char* text, const std::string& styleName, const Color& color);

    GraphicsEngine* graphics_;
    const GraphicsShader2* filterShader_ = nullptr;  // one reference held
    float depth_ = 0.0f;
    RenderDevice& device_;
    RenderSurface* primarySurface_;
    RenderSurface* targetSurface_;
    Rect canvasRect_;
    RenderDynamicVertexBuffer* dynamicVertexBuffer_ = nullptr;  // owned
    RenderDynamicIndexBuffer* dynamicIndexBuffer_ = nullptr;    // owned
    mem::vector<TemporarySurface> temporarySurfaces_;
    Vec2 resolutionAdjustment_{1.0f, 1.0f};
    bool warmingUp_ = false;
};

}  // namespace GAME
