#include "devices/GLDebugOutput.h"

#include "core/Log.h"
#include "devices/GLHeaders.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace GAME {

namespace {

void APIENTRY Report(GLenum, GLenum type, GLuint id, GLenum, GLsizei, const GLchar* message, const void*) {
    if (type != GL_DEBUG_TYPE_ERROR) {
        return;
    }
    Log(LogPriority::Error, "GLDevice: the driver reports a GL error (%u): %s", id, message);
    std::fprintf(stderr, "GLDevice: the driver reports a GL error (%u): %s\n", id, message);
    std::fflush(stderr);
    std::abort();
}

}  // namespace

bool GLDebugOutput::IsRequested() {
    static const bool requested = [] {
        const char* text = std::getenv("GLDEVICE_DEBUG");
        return text != nullptr && std::strcmp(text, "0") != 0;
    }();
    return requested;
}

void GLDebugOutput::RequestContext() {
    // The attribute is SDL's global state: set it either way, so a context made earlier on request
    // does not leave the next one a debug context unasked.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, IsRequested() ? SDL_GL_CONTEXT_DEBUG_FLAG : 0);
}

void GLDebugOutput::Install() {
    if (!IsRequested()) {
        return;
    }
    GLint flags = 0;
    glGetIntegerv(GL_CONTEXT_FLAGS, &flags);
    if ((flags & GL_CONTEXT_FLAG_DEBUG_BIT) == 0) {
        Log(LogPriority::Warning, "GLDevice: GLDEVICE_DEBUG is set but the driver made no debug context.");
        return;
    }
    glEnable(GL_DEBUG_OUTPUT);
    glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
    glDebugMessageControl(GL_DONT_CARE, GL_DONT_CARE, GL_DONT_CARE, 0, nullptr, GL_FALSE);
    glDebugMessageControl(GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_ERROR, GL_DONT_CARE, 0, nullptr, GL_TRUE);
    glDebugMessageCallback(&Report, nullptr);
}

}  // namespace GAME
