#include "world/RegionImage.h"

#include "core/Mem.h"
#include "engine/Engine.h"
#include "render/GraphicsEngine.h"
#include "render/Image.h"
#include "render/RenderDevice.h"

namespace GAME {

namespace {

RenderDevice* GetDevice() {
    GraphicsEngine* graphics = gEngine ? gEngine->GetGraphicsEngine() : nullptr;
    return graphics ? graphics->GetRenderDevice() : nullptr;
}

}  // namespace

bool RegionImage::Make(const void* data, uint32_t size) {
    Release();
    RenderDevice* device = GetDevice();
    if (!device || !data || size == 0) return false;
    Image image;
    if (image.Load(data, size, Image::Format::RGBA) != Image::Error::None) return false;
    const uint32_t count = image.GetWidth() * image.GetHeight();
    mem::vector<uint32_t> pixels(count);
    const uint8_t* rgba = image.GetBuffer();
    for (uint32_t i = 0; i < count; ++i, rgba += 4) {
        pixels[i] = uint32_t(rgba[3]) << 24 | uint32_t(rgba[0]) << 16 | uint32_t(rgba[1]) << 8 | rgba[2];
    }
    texture_ = device->CreateTextureFromPixels(int(image.GetWidth()), int(image.GetHeight()), pixels.data(), 1, 0);
    return texture_ != nullptr;
}

void RegionImage::Release() {
    if (!texture_) return;
    if (RenderDevice* device = GetDevice()) device->DestroyTexture(texture_);
    texture_ = nullptr;
}

}  // namespace GAME
