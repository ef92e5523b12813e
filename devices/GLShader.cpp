#include "devices/GLShader.h"

#include "core/Log.h"
#include "devices/GLDevice.h"
#include "devices/GLShaderText.h"

#include <atomic>
#include <vector>

namespace GAME {

namespace {

uint32_t NextShaderId() {
    static std::atomic<uint32_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

GLShader::GLShader(GLDevice& device, GLShaderStage stage, std::string source)
    : device_(device), stage_(stage), id_(NextShaderId()), source_(std::move(source)) {}

GLShader::~GLShader() {
    device_.ForgetShader(*this);
    if (object_ != 0) {
        glDeleteShader(object_);
    }
}

GLuint GLShader::GetObject() {
    if (object_ != 0 || failed_) {
        return object_;
    }
    const std::string text = GLShaderText::Wrap(stage_, source_);
    const GLchar* sources[] = {text.c_str()};
    const GLuint object = glCreateShader(stage_ == GLShaderStage::Vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
    glShaderSource(object, 1, sources, nullptr);
    glCompileShader(object);
    GLint compiled = GL_FALSE;
    glGetShaderiv(object, GL_COMPILE_STATUS, &compiled);
    if (compiled != GL_TRUE) {
        GLint length = 0;
        glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
        std::vector<GLchar> log(size_t(length > 0 ? length : 1), '\0');
        glGetShaderInfoLog(object, GLsizei(log.size()), nullptr, log.data());
        Log(LogPriority::Error, "%s program %u does not compile:\n%s",
            stage_ == GLShaderStage::Vertex ? "Vertex" : "Pixel", id_, log.data());
        glDeleteShader(object);
        failed_ = true;
        return 0;
    }
    object_ = object;
    return object_;
}

}  // namespace GAME
