#pragma once
// GLGraphicsBed: a graphics engine on the GL device over a small offscreen window, for tests that
// look at pixels. An engine object that is never started answers for the options (the window's
// size, windowed, high detail); a temporary data directory is mounted for the test's files, and
// resources load when first used.
//
// BlockFont writes a font whose glyphs are solid blocks, so text coverage is easy to predict.

#include "engine/Engine.h"
#include "files/FileSystem.h"
#include "files/ResourceLoader.h"
#include "render/GraphicsEngine.h"
#include "support/OffscreenWindow.h"
#include "support/TempDirectory.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace GAME::test {

// A current-format font of one face, base size kBaseSize: every printable ASCII character is a
// solid block kGlyphWidth wide (its advance too, so text is one solid bar) and kGlyphHeight high,
// one pixel below the pen (kGlyphTop), drawn with nearest sampling at the base size.
struct BlockFont {
    static constexpr int kBaseSize = 8;
    static constexpr int kGlyphWidth = 5;
    static constexpr int kGlyphHeight = 6;
    static constexpr int kGlyphTop = 1;

    static std::vector<uint8_t> Write();
};

// The primary surface's pixels as 0xAABBGGRR words (bytes R, G, B, A), rows top first; empty when
// they cannot be read.
std::vector<uint32_t> ReadPrimaryPixels(const GraphicsEngine& graphics);
// The smallest rectangle holding every pixel that differs from background, as {left, top, right,
// bottom} (right and bottom exclusive); all zero when there is none.
std::vector<int> FindDrawn(const std::vector<uint32_t>& pixels, int width, int height, uint32_t background);

class GLGraphicsBed {
public:
    static constexpr int kWidth = 128;
    static constexpr int kHeight = 64;

    GLGraphicsBed();
    ~GLGraphicsBed();
    GLGraphicsBed(const GLGraphicsBed&) = delete;
    GLGraphicsBed& operator=(const GLGraphicsBed&) = delete;

    // False when no GL device could be started (the reason is logged).
    bool IsReady() const { return ready_; }
    GraphicsEngine& Graphics() { return *graphics_; }
    GraphicsCanvas& Canvas() { return *graphics_->GetCanvas(); }
    RenderDevice& Device() { return *graphics_->GetRenderDevice(); }
    const TempDirectory& GetDirectory() const { return directory_; }

    // Writes a file into the mounted directory.
    void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes);
    std::vector<uint32_t> ReadPixels() { return ReadPrimaryPixels(*graphics_); }
    std::vector<int> FindDrawn(uint32_t background) {
        return test::FindDrawn(ReadPixels(), kWidth, kHeight, background);
    }

private:
    OffscreenWindow window_;
    Engine engine_;
    TempDirectory directory_;
    FileSystem fileSystem_;
    ResourceLoader loader_;
    std::unique_ptr<GraphicsEngine> graphics_;
    bool ready_ = false;
};

}  // namespace GAME::test
