#include "support/GLGraphicsBed.h"

#include "files/File.h"
#include "files/Options.h"
#include "render/DeviceFontFile.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngineSettings.h"
#include "render/Image.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace GAME::test {

std::vector<uint8_t> BlockFont::Write() {
    // One block in an 8 x 8 atlas, shared by every glyph.
    DeviceFontFace face;
    face.baseSize = kBaseSize;
    face.ascent = kGlyphTop + kGlyphHeight;
    face.descent = kBaseSize - face.ascent;
    face.lineHeight = kBaseSize;
    face.atlasWidth = 8;
    face.atlasHeight = 8;
    face.atlas.assign(64, 0);
    for (int y = 1; y <= kGlyphHeight; ++y) std::memset(face.atlas.data() + y * 8 + 1, 255, kGlyphWidth);
    for (uint16_t code = 32; code < 127; ++code) {
        DeviceFontGlyph glyph;
        glyph.code = code;
        glyph.x = 1;
        glyph.y = 1;
        glyph.width = code == ' ' ? 0 : kGlyphWidth;
        glyph.height = code == ' ' ? 0 : kGlyphHeight;
        glyph.yOffset = kGlyphTop;
        glyph.advance = kGlyphWidth;
        face.glyphs.push_back(glyph);
    }
    DeviceFontFile file;
    file.faces = {face};
    std::vector<uint8_t> bytes;
    if (!file.Write(bytes)) throw std::runtime_error("the block font cannot be written");
    return bytes;
}

GLGraphicsBed::GLGraphicsBed() : window_(kWidth, kHeight), loader_(fileSystem_) {
    if (!fileSystem_.AddDirectory(directory_.GetPath(), true)) throw std::runtime_error("no data directory");
    Options& options = *engine_.GetOptions();
    options.SetInt2(Options::Int2Name::resolution, {kWidth, kHeight});
    options.SetBool(Options::BoolName::fullscreen, false);
    options.SetQuality(Options::QualityName::detailLevel, 2);
    if (window_.Get() == nullptr) return;
    GraphicsEngineSettings settings;
    settings.width = kWidth;
    settings.height = kHeight;
    graphics_ = std::make_unique<GraphicsEngine>();
    ready_ = graphics_->CreateDevice(window_.Get(), settings) &&
             graphics_->Initialize(window_.Get(), settings, &loader_) && graphics_->GetCanvas()->BeginFrame();
}

GLGraphicsBed::~GLGraphicsBed() {
    if (ready_) graphics_->GetCanvas()->EndFrame();
    graphics_.reset();
    RenderDevice::UnloadLibraries();
}

void GLGraphicsBed::WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    File* file = fileSystem_.OpenFile(name, FileMode::Write);
    if (file == nullptr || !file->Write(0, bytes.data(), static_cast<uint32_t>(bytes.size()))) {
        throw std::runtime_error("cannot write " + name);
    }
    fileSystem_.CloseFile(file);
}

std::vector<uint32_t> ReadPrimaryPixels(const GraphicsEngine& graphics) {
    Image image;
    std::vector<uint32_t> pixels;
    if (graphics.ReadRenderSurface(graphics.GetCanvas()->GetPrimarySurface(), image)) {
        pixels.resize(size_t(image.GetWidth()) * image.GetHeight());
        std::memcpy(pixels.data(), image.GetBuffer(), pixels.size() * 4);
    }
    return pixels;
}

std::vector<int> FindDrawn(const std::vector<uint32_t>& pixels, int width, int height, uint32_t background) {
    int left = width, top = height, right = 0, bottom = 0;
    for (int y = 0; y < height && !pixels.empty(); ++y) {
        for (int x = 0; x < width; ++x) {
            if (pixels[size_t(y) * width + x] == background) continue;
            left = std::min(left, x);
            top = std::min(top, y);
            right = std::max(right, x + 1);
            bottom = std::max(bottom, y + 1);
        }
    }
    if (right == 0) return {0, 0, 0, 0};
    return {left, top, right, bottom};
}

}  // namespace GAME::test
