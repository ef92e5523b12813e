#pragma once
// GLProgram: a linked pair of a vertex and a pixel stage, with its uniform blocks bound to the
// device's binding points and its samplers s0 .. s7 bound to units 0 .. 7. It records which units
// it samples and which of them are shadow samplers, so draws bind only those and pick comparing
// sampler objects for depth textures. Render thread only.

#include "devices/GLHeaders.h"

#include <cstdint>

namespace GAME {

class GLStateCache;

class GLProgram {
public:
    // Links the compiled stages; a stage of 0 or a failed link (logged) gives an invalid program,
    // which draws skip. A valid program is left in use (through the state cache): its samplers are
    // bound while it is, and the draw that links it uses it next.
    GLProgram(GLuint vertexShader, GLuint pixelShader, GLStateCache& state);
    ~GLProgram();
    GLProgram(const GLProgram&) = delete;
    GLProgram& operator=(const GLProgram&) = delete;

    bool IsValid() const { return name_ != 0; }
    GLuint GetName() const { return name_; }
    // Bit n: the program samples s<n>.
    uint32_t GetSamplerMask() const { return samplerMask_; }
    // Bit n: s<n> is a shadow sampler.
    uint32_t GetShadowMask() const { return shadowMask_; }

private:
    void BindInterface(GLStateCache& state);

    GLuint name_ = 0;
    uint32_t samplerMask_ = 0;
    uint32_t shadowMask_ = 0;
};

}  // namespace GAME
