#include "devices/GLProgram.h"

#include "core/Log.h"
#include "devices/GLShaderText.h"
#include "devices/GLStateCache.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace GAME {

GLProgram::GLProgram(GLuint vertexShader, GLuint pixelShader, GLStateCache& state) {
    if (vertexShader == 0 || pixelShader == 0) {
        return;
    }
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertexShader);
    glAttachShader(program, pixelShader);
    glLinkProgram(program);
    glDetachShader(program, vertexShader);
    glDetachShader(program, pixelShader);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        GLint length = 0;
        glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
        std::vector<GLchar> log(size_t(length > 0 ? length : 1), '\0');
        glGetProgramInfoLog(program, GLsizei(log.size()), nullptr, log.data());
        Log(LogPriority::Error, "Programs do not link:\n%s", log.data());
        glDeleteProgram(program);
        return;
    }
    name_ = program;
    BindInterface(state);
}

GLProgram::~GLProgram() {
    if (name_ != 0) {
        glDeleteProgram(name_);
    }
}

void GLProgram::BindInterface(GLStateCache& state) {
    const struct {
        const char* name;
        GLuint binding;
    } blocks[] = {
        {"VSConst", GLShaderText::kVertexConstantsBinding},
        {"PSConst", GLShaderText::kPixelConstantsBinding},
        {"DeviceConst", GLShaderText::kDeviceConstantsBinding},
    };
    for (const auto& block : blocks) {
        const GLuint index = glGetUniformBlockIndex(name_, block.name);
        if (index != GL_INVALID_INDEX) {
            glUniformBlockBinding(name_, index, block.binding);
        }
    }
    // Sampler units are program state, set while the program is in use. It stays in use: the
    // program in use before may be one deleted since (GL keeps it until another is used), and
    // could not be used again.
    state.SetProgram(name_);
    GLint count = 0;
    glGetProgramiv(name_, GL_ACTIVE_UNIFORMS, &count);
    for (GLint i = 0; i < count; ++i) {
        char name[64];
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(name_, GLuint(i), sizeof(name), nullptr, &size, &type, name);
        unsigned unit = 0;
        char rest = 0;
        if (std::sscanf(name, "s%u%c", &unit, &rest) != 1 || unit >= 8) {
            continue;
        }
        if (type != GL_SAMPLER_2D && type != GL_SAMPLER_2D_SHADOW) {
            continue;
        }
        glUniform1i(glGetUniformLocation(name_, name), GLint(unit));
        samplerMask_ |= 1u << unit;
        if (type == GL_SAMPLER_2D_SHADOW) {
            shadowMask_ |= 1u << unit;
        }
    }
}

}  // namespace GAME
