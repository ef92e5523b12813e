#include "devices/GLFramebufferCache.h"

#include "core/Log.h"
#include "devices/GLStateCache.h"

namespace GAME {

GLFramebufferCache::~GLFramebufferCache() {
    for (auto& entry : framebuffers_) {
        if (entry.second != 0) {
            glDeleteFramebuffers(1, &entry.second);
        }
    }
}

GLuint GLFramebufferCache::Get(GLuint color, GLuint depth, GLStateCache& state) {
    const auto found = framebuffers_.find(Key(color, depth));
    if (found != framebuffers_.end()) {
        return found->second;
    }
    GLuint framebuffer = 0;
    glGenFramebuffers(1, &framebuffer);
    state.SetDrawFramebuffer(framebuffer);
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, color, 0);
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, depth, 0);
    glDrawBuffer(color != 0 ? GL_COLOR_ATTACHMENT0 : GL_NONE);
    // The read buffer belongs to the framebuffer bound for reading: bind this one there too. Reads
    // bind their framebuffer each time, so nothing relies on what stays bound for reading.
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glReadBuffer(color != 0 ? GL_COLOR_ATTACHMENT0 : GL_NONE);
    const GLenum status = glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        Log(LogPriority::Error, "Render target of textures %u and %u is incomplete (status 0x%x).", color, depth,
            status);
        state.SetDrawFramebuffer(0);
        glDeleteFramebuffers(1, &framebuffer);
        framebuffer = 0;
    }
    // An incomplete pair is remembered too, so it is not tried again at every draw.
    framebuffers_[Key(color, depth)] = framebuffer;
    return framebuffer;
}

void GLFramebufferCache::ForgetTexture(GLuint texture, GLStateCache& state) {
    for (auto it = framebuffers_.begin(); it != framebuffers_.end();) {
        if (uint32_t(it->first >> 32) == texture || uint32_t(it->first) == texture) {
            if (it->second != 0) {
                state.ForgetFramebuffer(it->second);
                glDeleteFramebuffers(1, &it->second);
            }
            it = framebuffers_.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace GAME
