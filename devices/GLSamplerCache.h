#pragma once
// GLSamplerCache: one GL sampler object per combination of sampler states, made on first use.
//
// A combination is packed into a key: address U and V (0 wrap, 1 clamp, 2 mirror), magnification
// and minification filters (0 point, 1 linear, 2 anisotropic), the mip filter (0 none, 1 point,
// 2 linear) and whether the sampler compares depth (a shadow sampler reading a depth texture).
// Render thread only.

#include "devices/GLHeaders.h"

#include <cstdint>

namespace GAME {

// The sampler states of one texture stage, as SetSamplerState sets them.
struct GLSamplerState {
    uint8_t addressU = 0;   // 0 wrap, 1 clamp, 2 mirror
    uint8_t addressV = 0;
    uint8_t magFilter = 1;  // 0 point, 1 linear, 2 anisotropic
    uint8_t minFilter = 1;
    uint8_t mipFilter = 2;  // 0 none, 1 point, 2 linear

    // The cache key with or without depth comparison.
    uint32_t GetKey(bool compare) const {
        return uint32_t(addressU) | uint32_t(addressV) << 2 | uint32_t(magFilter) << 4 | uint32_t(minFilter) << 6 |
               uint32_t(mipFilter) << 8 | uint32_t(compare) << 10;
    }
};

class GLSamplerCache {
public:
    static constexpr uint32_t kKeyCount = 1u << 11;

    GLSamplerCache() = default;
    ~GLSamplerCache();
    GLSamplerCache(const GLSamplerCache&) = delete;
    GLSamplerCache& operator=(const GLSamplerCache&) = delete;

    // maxAnisotropy > 1 when the driver filters anisotropically.
    void SetMaxAnisotropy(float maxAnisotropy) { maxAnisotropy_ = maxAnisotropy; }
    GLuint Get(const GLSamplerState& state, bool compare);

private:
    GLuint Create(const GLSamplerState& state, bool compare) const;

    GLuint samplers_[kKeyCount] = {};
    float maxAnisotropy_ = 1.0f;
};

}  // namespace GAME
