#include "devices/GLStateCache.h"

namespace GAME {

void GLStateCache::Reset() {
    *this = GLStateCache();
    glDisable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ZERO);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(depthFunction_);
    glDepthMask(GL_TRUE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDisable(GL_CULL_FACE);
    glDisable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(0.0f, 0.0f);
    glDisable(GL_SCISSOR_TEST);
    glScissor(0, 0, 0, 0);
    glViewport(0, 0, 0, 0);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    for (uint32_t i = 0; i < 8; ++i) {
        glDisable(GL_CLIP_DISTANCE0 + i);
    }
    glUseProgram(0);
    glBindVertexArray(0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    for (uint32_t unit = 0; unit < kMaxUnits; ++unit) {
        glActiveTexture(GL_TEXTURE0 + unit);
        glBindTexture(GL_TEXTURE_2D, 0);
        glBindSampler(unit, 0);
    }
    glActiveTexture(GL_TEXTURE0);
    for (uint32_t binding = 0; binding < kMaxUniformBindings; ++binding) {
        glBindBufferBase(GL_UNIFORM_BUFFER, binding, 0);
    }
}

void GLStateCache::SetBlend(bool enable, GLenum source, GLenum destination) {
    if (enable != blend_) {
        blend_ = enable;
        enable ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
    }
    if (enable && (source != blendSource_ || destination != blendDestination_)) {
        blendSource_ = source;
        blendDestination_ = destination;
        glBlendFunc(source, destination);
    }
}

void GLStateCache::SetDepth(GLenum function, bool write) {
    if (function != depthFunction_) {
        depthFunction_ = function;
        glDepthFunc(function);
    }
    if (write != depthWrite_) {
        depthWrite_ = write;
        glDepthMask(write ? GL_TRUE : GL_FALSE);
    }
}

void GLStateCache::SetColorMask(bool color, bool alpha) {
    if (color != colorWrite_ || alpha != alphaWrite_) {
        colorWrite_ = color;
        alphaWrite_ = alpha;
        const GLboolean c = color ? GL_TRUE : GL_FALSE;
        glColorMask(c, c, c, alpha ? GL_TRUE : GL_FALSE);
    }
}

void GLStateCache::SetCullFace(GLenum face) {
    if (face == cullFace_) {
        return;
    }
    if (face == 0) {
        glDisable(GL_CULL_FACE);
    } else {
        if (cullFace_ == 0) {
            glEnable(GL_CULL_FACE);
        }
        glCullFace(face);
    }
    cullFace_ = face;
}

void GLStateCache::SetPolygonOffset(float factor, float units) {
    if (factor == offsetFactor_ && units == offsetUnits_) {
        return;
    }
    const bool wasOn = offsetFactor_ != 0.0f || offsetUnits_ != 0.0f;
    const bool isOn = factor != 0.0f || units != 0.0f;
    if (isOn != wasOn) {
        isOn ? glEnable(GL_POLYGON_OFFSET_FILL) : glDisable(GL_POLYGON_OFFSET_FILL);
    }
    offsetFactor_ = factor;
    offsetUnits_ = units;
    glPolygonOffset(factor, units);
}

void GLStateCache::SetScissor(bool enable, const GLRect& rect) {
    if (enable != scissor_) {
        scissor_ = enable;
        enable ? glEnable(GL_SCISSOR_TEST) : glDisable(GL_SCISSOR_TEST);
    }
    if (enable && !(rect == scissorRect_)) {
        scissorRect_ = rect;
        glScissor(rect.x, rect.y, rect.width, rect.height);
    }
}

void GLStateCache::SetViewport(const GLRect& rect) {
    if (!(rect == viewport_)) {
        viewport_ = rect;
        glViewport(rect.x, rect.y, rect.width, rect.height);
    }
}

void GLStateCache::SetWireframe(bool enable) {
    if (enable != wireframe_) {
        wireframe_ = enable;
        glPolygonMode(GL_FRONT_AND_BACK, enable ? GL_LINE : GL_FILL);
    }
}

void GLStateCache::SetClipDistances(uint32_t mask) {
    const uint32_t changed = mask ^ clipDistances_;
    if (changed == 0) {
        return;
    }
    for (uint32_t i = 0; i < 8; ++i) {
        if (changed & (1u << i)) {
            (mask & (1u << i)) ? glEnable(GL_CLIP_DISTANCE0 + i) : glDisable(GL_CLIP_DISTANCE0 + i);
        }
    }
    clipDistances_ = mask;
}

void GLStateCache::SetProgram(GLuint program) {
    if (program != program_) {
        program_ = program;
        glUseProgram(program);
    }
}

void GLStateCache::SetVertexArray(GLuint vertexArray) {
    if (vertexArray != vertexArray_) {
        vertexArray_ = vertexArray;
        glBindVertexArray(vertexArray);
    }
}

void GLStateCache::SetDrawFramebuffer(GLuint framebuffer) {
    if (framebuffer != framebuffer_) {
        framebuffer_ = framebuffer;
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
    }
}

void GLStateCache::SetActiveUnit(uint32_t unit) {
    if (unit != activeUnit_) {
        activeUnit_ = unit;
        glActiveTexture(GL_TEXTURE0 + unit);
    }
}

void GLStateCache::SetTexture(uint32_t unit, GLuint texture) {
    if (texture != textures_[unit]) {
        SetActiveUnit(unit);
        textures_[unit] = texture;
        glBindTexture(GL_TEXTURE_2D, texture);
    }
}

void GLStateCache::SetTextureForEdit(uint32_t unit, GLuint texture) {
    SetActiveUnit(unit);
    SetTexture(unit, texture);
}

void GLStateCache::SetSampler(uint32_t unit, GLuint sampler) {
    if (sampler != samplers_[unit]) {
        samplers_[unit] = sampler;
        glBindSampler(unit, sampler);
    }
}

void GLStateCache::SetUniformRange(uint32_t binding, GLuint buffer, uint32_t offset, uint32_t size) {
    UniformRange& range = uniformRanges_[binding];
    if (range.buffer != buffer || range.offset != offset || range.size != size) {
        range = UniformRange{buffer, offset, size};
        glBindBufferRange(GL_UNIFORM_BUFFER, binding, buffer, offset, size);
    }
}

void GLStateCache::ForgetTexture(GLuint texture) {
    for (GLuint& bound : textures_) {
        if (bound == texture) {
            bound = 0;
        }
    }
}

void GLStateCache::ForgetFramebuffer(GLuint framebuffer) {
    if (framebuffer_ == framebuffer) {
        framebuffer_ = 0;
    }
}

void GLStateCache::ForgetVertexArray(GLuint vertexArray) {
    if (vertexArray_ == vertexArray) {
        vertexArray_ = 0;
    }
}

void GLStateCache::ForgetProgram(GLuint program) {
    if (program_ == program) {
        program_ = 0;
    }
}

}  // namespace GAME
