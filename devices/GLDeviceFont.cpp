#include "devices/GLDeviceFont.h"

#include "core/Rect.h"
#include "devices/GLDevice.h"

#include <cmath>
#include <type_traits>

namespace GAME {

GLDeviceFont::GLDeviceFont(GLDevice& device, std::vector<DeviceFontFace> faces) : device_(device) {
    faces_.resize(faces.size());
    for (size_t i = 0; i < faces.size(); ++i) {
        Face& face = faces_[i];
        face.data = std::move(faces[i]);
        std::vector<GLTexture::Level> levels(1);
        levels[0].width = face.data.atlasWidth;
        levels[0].height = face.data.atlasHeight;
        levels[0].texels = face.data.atlas;
        face.atlas = device_.MakeTexture(GLTexture::Kind::Bytes, GLTextureFormat::ForCoverage(), std::move(levels));
        // The atlas texels now live in the texture; the face keeps only the layout.
        std::vector<uint8_t>().swap(face.data.atlas);
    }
}

int GLDeviceFont::DrawText(const wchar_t* text, int count, const Rect* position, uint32_t flags, uint32_t color,
                           int size, RenderFontStyle style, bool filter) {
    return Layout(text, count, position, flags, color, size, style, filter);
}

int GLDeviceFont::DrawText(const char* text, int count, const Rect* position, uint32_t flags, uint32_t color,
                           int size, RenderFontStyle style, bool filter) {
    return Layout(text, count, position, flags, color, size, style, filter);
}

void GLDeviceFont::Begin() {
    ++batchDepth_;
}

void GLDeviceFont::End() {
    if (batchDepth_ > 0 && --batchDepth_ == 0) {
        Flush();
    }
}

size_t GLDeviceFont::GetSystemMemoryUsage() const {
    size_t bytes = 0;
    for (const Face& face : faces_) {
        bytes += face.data.glyphs.size() * sizeof(DeviceFontGlyph) + face.data.kerning.size() * sizeof(DeviceFontKerning);
    }
    return bytes;
}

size_t GLDeviceFont::GetVideoMemoryUsage() const {
    size_t bytes = 0;
    for (const Face& face : faces_) {
        bytes += face.atlas ? face.atlas->GetVideoMemoryUsage() : 0;
    }
    return bytes;
}

const GLDeviceFont::Face& GLDeviceFont::PickFace(RenderFontStyle style, bool& bold, bool& italic) const {
    const Face* regular = &faces_.front();
    for (const Face& face : faces_) {
        if (face.data.style == style) {
            bold = italic = false;
            return face;
        }
        if (face.data.style == RenderFontStyle::Regular) {
            regular = &face;
        }
    }
    bold = style == RenderFontStyle::Bold || style == RenderFontStyle::BoldItalic;
    italic = style == RenderFontStyle::Italic || style == RenderFontStyle::BoldItalic;
    return *regular;
}

template <typename Char>
int GLDeviceFont::Layout(const Char* text, int count, const Rect* position, uint32_t flags, uint32_t color, int size,
                         RenderFontStyle style, bool filter) {
    if (text == nullptr) {
        return 0;
    }
    if (count < 0) {
        count = 0;
        while (text[count] != 0) {
            ++count;
        }
    }
    bool bold = false;
    bool italic = false;
    const Face& face = PickFace(style, bold, italic);
    const float scale = size > 0 ? float(size) / float(face.data.baseSize) : 1.0f;
    const bool draw = !(flags & kCalculateRect) && position != nullptr && face.atlas != nullptr;
    if (draw && (batchFace_ != &face || batchFilter_ != filter)) {
        Flush();
        batchFace_ = &face;
        batchFilter_ = filter;
    }
    const float left = position != nullptr ? position->x : 0.0f;
    const float top = position != nullptr ? position->y : 0.0f;
    const float baseline = top + float(face.data.ascent) * scale;
    float pen = 0.0f;
    uint16_t previous = 0;
    for (int i = 0; i < count; ++i) {
        const auto unit = static_cast<std::make_unsigned_t<Char>>(text[i]);
        uint16_t code = unit > 0xFFFF ? uint16_t('?') : uint16_t(unit);
        const DeviceFontGlyph* glyph = face.data.FindGlyph(code);
        if (glyph == nullptr) {
            code = '?';
            glyph = face.data.FindGlyph(code);
            if (glyph == nullptr) {
                continue;
            }
        }
        if (previous != 0) {
            pen += float(face.data.GetKerning(previous, code)) * scale;
        }
        if (draw) {
            AddQuad(face, *glyph, left + pen, top, scale, baseline, italic, color);
            if (bold) {
                AddQuad(face, *glyph, left + pen + 1.0f, top, scale, baseline, italic, color);
            }
        }
        pen += float(glyph->advance) * scale;
        previous = code;
    }
    if (bold && count > 0) {
        pen += 1.0f;
    }
    if (draw && batchDepth_ == 0) {
        Flush();
    }
    return int(std::lround(pen));
}

void GLDeviceFont::AddQuad(const Face& face, const DeviceFontGlyph& glyph, float x, float top, float scale,
                           float baseline, bool italic, uint32_t color) {
    if (glyph.width == 0 || glyph.height == 0) {
        return;
    }
    const float x0 = x + float(glyph.xOffset) * scale;
    const float y0 = top + float(glyph.yOffset) * scale;
    const float x1 = x0 + float(glyph.width) * scale;
    const float y1 = y0 + float(glyph.height) * scale;
    const float u0 = float(glyph.x) / float(face.data.atlasWidth);
    const float v0 = float(glyph.y) / float(face.data.atlasHeight);
    const float u1 = float(glyph.x + glyph.width) / float(face.data.atlasWidth);
    const float v1 = float(glyph.y + glyph.height) / float(face.data.atlasHeight);
    const float shearTop = italic ? 0.2f * (baseline - y0) : 0.0f;
    const float shearBottom = italic ? 0.2f * (baseline - y1) : 0.0f;
    const GLVertex2D topLeft{x0 + shearTop, y0, 0.0f, color, u0, v0};
    const GLVertex2D topRight{x1 + shearTop, y0, 0.0f, color, u1, v0};
    const GLVertex2D bottomLeft{x0 + shearBottom, y1, 0.0f, color, u0, v1};
    const GLVertex2D bottomRight{x1 + shearBottom, y1, 0.0f, color, u1, v1};
    if (batch_.size() >= kMaxBatchGlyphs * 6) {
        Flush();
    }
    batch_.insert(batch_.end(), {topLeft, topRight, bottomLeft, topRight, bottomRight, bottomLeft});
}

void GLDeviceFont::Flush() {
    if (!batch_.empty() && batchFace_ != nullptr && batchFace_->atlas != nullptr) {
        device_.DrawText2D(*batchFace_->atlas, batchFilter_, batch_.data(), uint32_t(batch_.size()));
    }
    batch_.clear();
}

}  // namespace GAME
