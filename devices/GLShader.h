#pragma once
// GLShader: one program stage from GLSL source text, compiled on the render thread the first time
// a draw links it. The device wraps the text (GLShaderText) so that it sees the engine's constant
// registers, attributes and varyings, and does the device's part (depth range, y flip, clip
// planes, alpha test) after the program's own main.
//
// Each shader has an id that is never reused, which keys the linked programs (GLProgramCache);
// pairs of the same source texts share a program.

#include "devices/GLHeaders.h"
#include "devices/GLObject.h"

#include <cstdint>
#include <string>

namespace GAME {

class GLDevice;

enum class GLShaderStage {
    Vertex,
    Pixel,
};

class GLShader : public GLObject {
public:
    GLShader(GLDevice& device, GLShaderStage stage, std::string source);
    ~GLShader() override;

    // The compiled GL shader, compiling it first if needed; 0 when it does not compile (logged
    // once). Render thread only.
    GLuint GetObject();
    GLShaderStage GetStage() const { return stage_; }
    uint32_t GetId() const { return id_; }
    size_t GetSourceSize() const { return source_.size(); }
    const std::string& GetSource() const { return source_; }
    void Upload() override {}

private:
    GLDevice& device_;
    const GLShaderStage stage_;
    const uint32_t id_;
    const std::string source_;
    GLuint object_ = 0;
    bool failed_ = false;
};

}  // namespace GAME
