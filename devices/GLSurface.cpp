#include "devices/GLSurface.h"

#include "devices/GLDevice.h"

namespace GAME {

GLSurface::GLSurface(GLDevice& device, std::unique_ptr<GLTexture> ownedColor, GLTexture* sharedColor,
                     std::unique_ptr<GLTexture> depth, bool primary)
    : device_(device), primary_(primary) {
    ownedColor_ = std::move(ownedColor);
    color_ = ownedColor_ ? ownedColor_.get() : sharedColor;
    depth_ = std::move(depth);
    const GLTexture* sizing = color_ ? color_ : depth_.get();
    width_ = sizing ? sizing->GetWidth() : 0;
    height_ = sizing ? sizing->GetHeight() : 0;
}

GLSurface::~GLSurface() {
    device_.ForgetSurface(*this);
}

void GLSurface::Replace(std::unique_ptr<GLTexture> ownedColor, std::unique_ptr<GLTexture> depth) {
    ownedColor_ = std::move(ownedColor);
    color_ = ownedColor_.get();
    depth_ = std::move(depth);
    width_ = color_ ? color_->GetWidth() : 0;
    height_ = color_ ? color_->GetHeight() : 0;
}

bool GLSurface::ReadPixels(void* buffer, int width, int height, RenderTextureFormat format) const {
    return device_.ReadSurfacePixels(*this, buffer, width, height, format, false);
}

void GLSurface::CopyToTexture(RenderTexture* destination, const Rect* source, uint32_t /*flags*/) {
    device_.CopySurfaceToTexture(*this, static_cast<GLTexture*>(destination), source);
}

}  // namespace GAME
