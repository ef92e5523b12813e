#pragma once
// GLStateCache: the GL state the device last set, so that a state change costs a GL call only when
// the value really changes. Every GL state change of the device goes through here; Reset puts the
// context into the cache's default state (after the context is made, or after code outside the
// device touched GL). Render thread only.

#include "devices/GLHeaders.h"

#include <cstdint>

namespace GAME {

// A rectangle in GL window coordinates of the bound target (rows counted from its first row).
struct GLRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool operator==(const GLRect&) const = default;
};

class GLStateCache {
public:
    static constexpr uint32_t kMaxUnits = 16;  // the engine's 8 stages and the device's upload unit
    static constexpr uint32_t kMaxUniformBindings = 4;

    // Sets every cached state in GL to its default below.
    void Reset();

    void SetBlend(bool enable, GLenum source, GLenum destination);
    void SetDepth(GLenum function, bool write);
    void SetColorMask(bool color, bool alpha);
    // 0: no culling; else the face to cull (GL_FRONT or GL_BACK).
    void SetCullFace(GLenum face);
    void SetPolygonOffset(float factor, float units);
    void SetScissor(bool enable, const GLRect& rect);
    void SetViewport(const GLRect& rect);
    void SetWireframe(bool enable);
    // Bit i enables clip distance i.
    void SetClipDistances(uint32_t mask);

    void SetProgram(GLuint program);
    void SetVertexArray(GLuint vertexArray);
    void SetDrawFramebuffer(GLuint framebuffer);
    void SetTexture(uint32_t unit, GLuint texture);
    // GL edits a texture (glTexImage, glTexParameter) through the active unit, so binding one for an
    // edit also makes its unit the active one, even when the binding itself is unchanged.
    void SetTextureForEdit(uint32_t unit, GLuint texture);
    void SetSampler(uint32_t unit, GLuint sampler);
    void SetUniformRange(uint32_t binding, GLuint buffer, uint32_t offset, uint32_t size);

    // The object is being deleted: a binding of it is forgotten (GL unbinds it itself).
    void ForgetTexture(GLuint texture);
    void ForgetFramebuffer(GLuint framebuffer);
    void ForgetVertexArray(GLuint vertexArray);
    void ForgetProgram(GLuint program);

    GLuint GetDrawFramebuffer() const { return framebuffer_; }

private:
    // Binding to a unit needs it to be the active one.
    void SetActiveUnit(uint32_t unit);

    bool blend_ = false;
    GLenum blendSource_ = GL_ONE;
    GLenum blendDestination_ = GL_ZERO;
    GLenum depthFunction_ = GL_LEQUAL;
    bool depthWrite_ = true;
    bool colorWrite_ = true;
    bool alphaWrite_ = true;
    GLenum cullFace_ = 0;
    float offsetFactor_ = 0.0f;
    float offsetUnits_ = 0.0f;
    bool scissor_ = false;
    GLRect scissorRect_;
    GLRect viewport_;
    bool wireframe_ = false;
    uint32_t clipDistances_ = 0;

    GLuint program_ = 0;
    GLuint vertexArray_ = 0;
    GLuint framebuffer_ = 0;
    uint32_t activeUnit_ = 0;
    GLuint textures_[kMaxUnits] = {};
    GLuint samplers_[kMaxUnits] = {};
    struct UniformRange {
        GLuint buffer = 0;
        uint32_t offset = 0;
        uint32_t size = 0;
    };
    UniformRange uniformRanges_[kMaxUniformBindings];
};

}  // namespace GAME
