#include "devices/GLSamplerCache.h"

#include <algorithm>

namespace GAME {

namespace {

GLint AddressMode(uint8_t value) {
    switch (value) {
        case 1: return GL_CLAMP_TO_EDGE;
        case 2: return GL_MIRRORED_REPEAT;
        default: return GL_REPEAT;
    }
}

}  // namespace

GLSamplerCache::~GLSamplerCache() {
    for (GLuint& sampler : samplers_) {
        if (sampler != 0) {
            glDeleteSamplers(1, &sampler);
        }
    }
}

GLuint GLSamplerCache::Get(const GLSamplerState& state, bool compare) {
    GLuint& sampler = samplers_[state.GetKey(compare)];
    if (sampler == 0) {
        sampler = Create(state, compare);
    }
    return sampler;
}

GLuint GLSamplerCache::Create(const GLSamplerState& state, bool compare) const {
    GLuint sampler = 0;
    glGenSamplers(1, &sampler);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, AddressMode(state.addressU));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, AddressMode(state.addressV));
    const bool linearMag = state.magFilter != 0;
    const bool linearMin = state.minFilter != 0;
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, linearMag ? GL_LINEAR : GL_NEAREST);
    GLint minFilter = linearMin ? GL_LINEAR : GL_NEAREST;
    if (state.mipFilter == 1) {
        minFilter = linearMin ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    } else if (state.mipFilter == 2) {
        minFilter = linearMin ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    }
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, minFilter);
    if ((state.magFilter == 2 || state.minFilter == 2) && maxAnisotropy_ > 1.0f) {
        glSamplerParameterf(sampler, GL_TEXTURE_MAX_ANISOTROPY, std::min(maxAnisotropy_, 16.0f));
    }
    if (compare) {
        glSamplerParameteri(sampler, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_REF_TO_TEXTURE);
        glSamplerParameteri(sampler, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
    }
    return sampler;
}

}  // namespace GAME
