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
//   paragraphs (the escapes and runs are GraphicsFont's).
//
// Colours reach the device packed (Color::ToPacked). Main thread only.

#include "core/Color.h"
#include "core/Mem.h"
#include "core/Rect.h"
#include "render/RenderDevice.h"

#include <cstdint>
#include <string>

namespace GAME {

class GraphicsFont;
class GraphicsTexture;
struct FontStyle;
struct Plane;
struct Vec2;

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

    // Neither the device nor the primary surface is owned. The canvas rectangle starts as the
    // device's back buffer; the dynamic buffers are made at once.
    GraphicsCanvas(RenderDevice& device, RenderSurface* primarySurface);
    // Destroys the temporary surfaces and the dynamic buffers.
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
    // A pooled surface of the shape, valid until the next BeginFrame; null when none can be made.
    RenderSurface* CreateTemporaryTextureSurface(int width, int height, RenderTextureFormat colorFormat,
                                                 RenderTextureFormat depthFormat);

    // -- Clipping ---------------------------------------------------------------------------------

    // Limits drawing to the rectangle: as given, or moved by the canvas origin and cut to the
    // canvas size (never below zero) when clamped.
    void SetClippingRect(const Rect& rect, bool clampToCanvas);
    // The limit becomes the whole back buffer.
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

    RenderDevice& GetRenderDevice() const { return device_; }

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

    float depth_ = 0.0f;
    RenderDevice& device_;
    RenderSurface* primarySurface_;
    RenderSurface* targetSurface_;
    Rect canvasRect_;
    RenderDynamicVertexBuffer* dynamicVertexBuffer_ = nullptr;  // owned
    RenderDynamicIndexBuffer* dynamicIndexBuffer_ = nullptr;    // owned
    mem::vector<TemporarySurface> temporarySurfaces_;
};

}  // namespace GAME
