#pragma once
// GLVertexShader and GLPixelShader: the engine's two program interfaces over GLShader.

#include "devices/GLShader.h"
#include "render/RenderDevice.h"

namespace GAME {

class GLVertexShader : public RenderVertexShader, public GLShader {
public:
    GLVertexShader(GLDevice& device, std::string source) : GLShader(device, GLShaderStage::Vertex, std::move(source)) {}
    size_t GetSystemMemoryUsage() const override { return GetSourceSize(); }
    size_t GetVideoMemoryUsage() const override { return 0; }
};

class GLPixelShader : public RenderPixelShader, public GLShader {
public:
    GLPixelShader(GLDevice& device, std::string source) : GLShader(device, GLShaderStage::Pixel, std::move(source)) {}
    size_t GetSystemMemoryUsage() const override { return GetSourceSize(); }
    size_t GetVideoMemoryUsage() const override { return 0; }
};

}  // namespace GAME
