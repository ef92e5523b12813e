#pragma once
// GLFramebufferCache: one framebuffer object per (colour texture, depth texture) pair that has been
// drawn into or read from. Surfaces, SetRenderTarget and SetDepthTarget compose pairs freely, so
// framebuffers are keyed by their attachments rather than owned by surfaces. A deleted texture's
// framebuffers go with it. Render thread only.

#include "devices/GLHeaders.h"

#include <cstdint>
#include <unordered_map>

namespace GAME {

class GLStateCache;

class GLFramebufferCache {
public:
    GLFramebufferCache() = default;
    ~GLFramebufferCache();
    GLFramebufferCache(const GLFramebufferCache&) = delete;
    GLFramebufferCache& operator=(const GLFramebufferCache&) = delete;

    // The framebuffer over the textures (either may be 0), made and left bound for drawing on
    // first use; 0 (logged) when GL finds the pair incomplete.
    GLuint Get(GLuint color, GLuint depth, GLStateCache& state);
    // Deletes the framebuffers that use the texture.
    void ForgetTexture(GLuint texture, GLStateCache& state);

private:
    static uint64_t Key(GLuint color, GLuint depth) { return uint64_t(color) << 32 | depth; }

    std::unordered_map<uint64_t, GLuint> framebuffers_;
};

}  // namespace GAME
