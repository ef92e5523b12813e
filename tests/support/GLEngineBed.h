#pragma once
// GLEngineBed: the engine started on the GL device over a small offscreen window, for tests of
// code that reaches the graphics engine through gEngine (the primitive drawer takes its basic
// shader and vertex declaration from there). Its data directory holds "Shaders/Basic.ssh": the
// sample data's basic shader in miniature ("normal": positions through "objectToScreenMatrix",
// vertex colour times "color" times "baseTexture", alpha blended), and "Shaders/Overlay.ssh", the
// same shader again; and the engine's utility font style: kBlockFont (GLGraphicsBed.h's BlockFont)
// at its own size, without shadow; and an empty "Text/English.txt", the text of the engine's language.
// A frame is begun on the canvas. The engine reads no input unless asked to (withInput): then
// events pushed to Window() reach its input device each Update.

#include "engine/Engine.h"
#include "files/FileSystem.h"
#include "support/OffscreenWindow.h"
#include "support/TempDirectory.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace GAME {
class GraphicsCanvas;
class GraphicsEngine;
class RenderDevice;
}  // namespace GAME

namespace GAME::test {

class GLEngineBed {
public:
    static constexpr int kWidth = 128;
    static constexpr int kHeight = 64;
    static constexpr const char* kBlockFont = "Fonts/Blocks.fnt";

    explicit GLEngineBed(bool withInput = false);
    ~GLEngineBed();
    GLEngineBed(const GLEngineBed&) = delete;
    GLEngineBed& operator=(const GLEngineBed&) = delete;

    // False when the engine could not start (the reason is logged).
    bool IsReady() const { return ready_; }
    GraphicsEngine& Graphics() const;
    GraphicsCanvas& Canvas() const;
    RenderDevice& Device() const;
    Engine& GetEngine() { return engine_; }
    void* Window() const { return window_.Get(); }

    const TempDirectory& GetDirectory() const { return directory_; }
    // The engine's files, for writers of whole sets of data (the files it sees are indexed here).
    FileSystem& Files() { return files_; }
    // Writes a file into the mounted (writable) data directory.
    void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes);
    // Clears the whole target to opaque black and depth 1 (default state first).
    void Clear();
    // As GLGraphicsBed's.
    std::vector<uint32_t> ReadPixels() const;
    std::vector<int> FindDrawn(uint32_t background) const;
    // The textures and shaders the graphics engine holds once it has let go of those nobody uses.
    std::pair<int, int> HeldResources() const;

private:
    TempDirectory directory_;
    FileSystem files_;
    OffscreenWindow window_;
    Engine engine_;
    bool ready_ = false;
};

}  // namespace GAME::test
