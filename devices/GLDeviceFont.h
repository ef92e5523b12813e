#pragma once
// GLDeviceFont: a device font (CreateDeviceFont): the faces of a font file, or the built-in face,
// each with its atlas texture.
//
// Text is laid out from the pen at the line's top-left corner, scaled by size / base size; a
// missing glyph draws '?'. A style without a face of its own is made from the regular one: bold by
// drawing each glyph again one pixel to the right, italic by shearing glyphs by 0.2 of their
// height about the baseline. Between Begin and End glyph quads are batched in call order (so drop
// shadows drawn first stay below); otherwise each DrawText draws at once. Brackets nest: the batch
// is drawn when the outermost End comes, or when it reaches kMaxBatchGlyphs. Drawing forces alpha
// blending without touching the state the engine set.

#include "devices/GLObject.h"
#include "devices/GLTexture.h"
#include "devices/GLVertex2D.h"
#include "render/DeviceFontFile.h"
#include "render/RenderDevice.h"

#include <memory>
#include <vector>

namespace GAME {

class GLDevice;

class GLDeviceFont : public RenderFont, public GLObject {
public:
    // Glyphs drawn at most in one draw call (well within the device's 2-D vertex ring).
    static constexpr size_t kMaxBatchGlyphs = 4096;

    // faces: at least one; the atlases are made through the device.
    GLDeviceFont(GLDevice& device, std::vector<DeviceFontFace> faces);

    int DrawText(const wchar_t* text, int count, const Rect* position, uint32_t flags, uint32_t color, int size,
                 RenderFontStyle style, bool filter) override;
    int DrawText(const char* text, int count, const Rect* position, uint32_t flags, uint32_t color, int size,
                 RenderFontStyle style, bool filter) override;
    void Begin() override;
    void End() override;
    size_t GetSystemMemoryUsage() const override;
    size_t GetVideoMemoryUsage() const override;
    void Upload() override {}

private:
    struct Face {
        DeviceFontFace data;
        std::unique_ptr<GLTexture> atlas;  // null when it could not be made (text then is measured only)
    };

    // The text as UTF-16 code units (count < 0: up to the terminator).
    template <typename Char>
    int Layout(const Char* text, int count, const Rect* position, uint32_t flags, uint32_t color, int size,
               RenderFontStyle style, bool filter);
    // The face for the style and what must be synthesised.
    const Face& PickFace(RenderFontStyle style, bool& bold, bool& italic) const;
    // Adds a glyph's quad to the batch.
    void AddQuad(const Face& face, const DeviceFontGlyph& glyph, float x, float top, float scale, float baseline,
                 bool italic, uint32_t color);
    void Flush();

    GLDevice& device_;
    std::vector<Face> faces_;
    int batchDepth_ = 0;                // Begin calls not yet ended
    std::vector<GLVertex2D> batch_;     // six vertices a glyph
    const Face* batchFace_ = nullptr;   // the atlas of the batched quads
    bool batchFilter_ = false;
};

}  // namespace GAME
