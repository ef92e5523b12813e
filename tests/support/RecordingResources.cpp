#include "support/RecordingResources.h"

#include "support/RecordingDevice.h"

#include <algorithm>
#include <cstring>

namespace GAME::test {

// ---------------------------------------------------------------------------------------------
// RecordingTexture
// ---------------------------------------------------------------------------------------------

RecordingTexture::RecordingTexture(RecordingDevice& device, std::string name, int width, int height,
                                   uint32_t bytesPerTexel, bool dynamic)
    : RecordedResource(device, std::move(name)),
      width_(width),
      height_(height),
      bytesPerTexel_(bytesPerTexel),
      dynamic_(dynamic),
      texels_(size_t(width) * size_t(height) * bytesPerTexel) {}

void RecordingTexture::SetTexels(const void* data, size_t size) {
    if (data != nullptr) {
        std::memcpy(texels_.data(), data, std::min(size, texels_.size()));
    }
}

void RecordingTexture::UpdatePixels(const void* texels) {
    device_.RecordCall(name_ + ".UpdatePixels", RecordingDevice::Data(texels));
    SetTexels(texels, texels_.size());
}

void RecordingTexture::ReservedOperation1() { device_.RecordCall(name_ + ".ReservedOperation1"); }

void* RecordingTexture::Lock(uint32_t& pitch) {
    device_.RecordCall(name_ + ".Lock");
    if (!dynamic_) {
        pitch = 0;
        return nullptr;
    }
    pitch = uint32_t(width_) * bytesPerTexel_;
    return texels_.data();
}

void RecordingTexture::Unlock() { device_.RecordCall(name_ + ".Unlock"); }

// ---------------------------------------------------------------------------------------------
// RecordingSurface
// ---------------------------------------------------------------------------------------------

RecordingSurface::RecordingSurface(RecordingDevice& device, std::string name, int width, int height,
                                   std::unique_ptr<RecordingTexture> color, const RenderTexture* sharedColor,
                                   std::unique_ptr<RecordingTexture> depth)
    : RecordedResource(device, std::move(name)),
      width_(width),
      height_(height),
      color_(std::move(color)),
      sharedColor_(sharedColor),
      depth_(std::move(depth)) {}

size_t RecordingSurface::GetBytes() const {
    return (color_ != nullptr ? color_->GetBytes() : 0) + (depth_ != nullptr ? depth_->GetBytes() : 0);
}

RenderTexture* RecordingSurface::GetTexture() const {
    // The shared texture belongs to its creator; handing it out mutable is what a surface over a
    // texture does (it draws into it).
    return color_ != nullptr ? color_.get() : const_cast<RenderTexture*>(sharedColor_);
}

void RecordingSurface::WritePattern(uint8_t* pixels, int width, int height, int surfaceWidth, int surfaceHeight,
                                    bool bottomUp) {
    for (int row = 0; row < height; ++row) {
        const int y = bottomUp ? surfaceHeight - 1 - row : row;
        for (int x = 0; x < width; ++x) {
            uint8_t* pixel = pixels + (size_t(row) * size_t(width) + size_t(x)) * 4;
            const bool inside = x < surfaceWidth && y >= 0 && y < surfaceHeight;
            pixel[0] = inside ? uint8_t(x & 255) : 0;
            pixel[1] = inside ? uint8_t(y & 255) : 0;
            pixel[2] = 0;
            pixel[3] = inside ? 255 : 0;
        }
    }
}

bool RecordingSurface::ReadPixels(void* buffer, int width, int height, RenderTextureFormat format) const {
    device_.RecordCall(name_ + ".ReadPixels", RecordingDevice::Data(buffer), width, height,
                       format);
    if (buffer == nullptr || width < 0 || height < 0 || format != RenderTextureFormat::RGBA) {
        return false;
    }
    WritePattern(static_cast<uint8_t*>(buffer), width, height, width_, height_, false);
    return true;
}

void RecordingSurface::CopyToTexture(RenderTexture* destination, const Rect* source, uint32_t flags) {
    device_.RecordCall(name_ + ".CopyToTexture", static_cast<const void*>(destination), source, flags);
}

// ---------------------------------------------------------------------------------------------
// Buffers
// ---------------------------------------------------------------------------------------------

RecordingVertexBuffer::RecordingVertexBuffer(RecordingDevice& device, std::string name, uint32_t flags,
                                             uint32_t size)
    : RecordedResource(device, std::move(name)), flags_(flags), data_(size) {}

void RecordingVertexBuffer::ReservedOperation1() { device_.RecordCall(name_ + ".ReservedOperation1"); }

void* RecordingVertexBuffer::Lock(uint32_t offset, uint32_t size, uint32_t flags) {
    device_.RecordCall(name_ + ".Lock", offset, size, flags);
    if (offset >= data_.size() || device_.Script().failLocks) {
        return nullptr;
    }
    const uint64_t length = size != 0 ? size : data_.size() - offset;
    if (uint64_t(offset) + length > data_.size()) {
        return nullptr;
    }
    return data_.data() + offset;
}

void RecordingVertexBuffer::Unlock() { device_.RecordCall(name_ + ".Unlock"); }

void RecordingVertexBuffer::ReservedOperation2() { device_.RecordCall(name_ + ".ReservedOperation2"); }

RecordingIndexBuffer::RecordingIndexBuffer(RecordingDevice& device, std::string name, uint32_t count,
                                           RenderIndexFormat format)
    : RecordedResource(device, std::move(name)),
      count_(count),
      format_(format),
      data_(size_t(count) * (format == RenderIndexFormat::Index32 ? 4 : 2)) {}

uint32_t RecordingIndexBuffer::GetIndex(uint32_t i) const {
    if (i >= count_) {
        return 0;
    }
    if (format_ == RenderIndexFormat::Index32) {
        uint32_t index = 0;
        std::memcpy(&index, data_.data() + size_t(i) * 4, 4);
        return index;
    }
    uint16_t index = 0;
    std::memcpy(&index, data_.data() + size_t(i) * 2, 2);
    return index;
}

void* RecordingIndexBuffer::Lock() {
    device_.RecordCall(name_ + ".Lock");
    return data_.empty() || device_.Script().failLocks ? nullptr : data_.data();
}

void RecordingIndexBuffer::Unlock() { device_.RecordCall(name_ + ".Unlock"); }

void RecordingIndexBuffer::ReservedOperation1() { device_.RecordCall(name_ + ".ReservedOperation1"); }

// Takes the next range of size units from a ring of capacity units; false when it can never fit.
static bool TakeRange(uint32_t size, size_t capacity, uint32_t& next, uint32_t& lockOffset) {
    if (size == 0 || size > capacity) {
        return false;
    }
    if (uint64_t(next) + size > capacity) {
        next = 0;
    }
    lockOffset = next;
    next += size;
    return true;
}

RecordingDynamicVertexBuffer::RecordingDynamicVertexBuffer(RecordingDevice& device, std::string name,
                                                           uint32_t size)
    : RecordedResource(device, std::move(name)), data_(size) {}

void RecordingDynamicVertexBuffer::ReservedOperation1() { device_.RecordCall(name_ + ".ReservedOperation1"); }

void* RecordingDynamicVertexBuffer::Lock(uint32_t size) {
    device_.RecordCall(name_ + ".Lock", size);
    return TakeRange(size, data_.size(), next_, lockOffset_) ? data_.data() + lockOffset_ : nullptr;
}

void RecordingDynamicVertexBuffer::Unlock() { device_.RecordCall(name_ + ".Unlock"); }

void RecordingDynamicVertexBuffer::SetStreamSource(uint32_t stream, uint32_t stride) {
    device_.RecordCall(name_ + ".SetStreamSource", stream, stride);
    device_.BindDynamicStream(stream, this, lockOffset_, stride);
}

void RecordingDynamicVertexBuffer::ReservedOperation2() { device_.RecordCall(name_ + ".ReservedOperation2"); }

void RecordingDynamicVertexBuffer::ReservedOperation3() { device_.RecordCall(name_ + ".ReservedOperation3"); }

RecordingDynamicIndexBuffer::RecordingDynamicIndexBuffer(RecordingDevice& device, std::string name, uint32_t size)
    : RecordedResource(device, std::move(name)), indices_(size / sizeof(uint32_t)) {}

void RecordingDynamicIndexBuffer::ReservedOperation1() { device_.RecordCall(name_ + ".ReservedOperation1"); }

uint32_t* RecordingDynamicIndexBuffer::Lock(uint32_t count) {
    device_.RecordCall(name_ + ".Lock", count);
    return TakeRange(count, indices_.size(), next_, lockOffset_) ? indices_.data() + lockOffset_ : nullptr;
}

void RecordingDynamicIndexBuffer::Unlock() { device_.RecordCall(name_ + ".Unlock"); }

void RecordingDynamicIndexBuffer::SetIndices() {
    device_.RecordCall(name_ + ".SetIndices");
    device_.BindDynamicIndices(this, lockOffset_);
}

int32_t RecordingDynamicIndexBuffer::GetDrawOffset() const {
    device_.RecordCall(name_ + ".GetDrawOffset");
    return 0;
}

RenderIndexedDraw RecordingDynamicIndexBuffer::PrepareDraw(uint32_t vertexCount, uint32_t primitiveCount,
                                                           uint32_t startIndex, uint32_t flags) const {
    device_.RecordCall(name_ + ".PrepareDraw", vertexCount, primitiveCount, startIndex, flags);
    return RenderIndexedDraw{0, vertexCount, primitiveCount, startIndex, flags};
}

void RecordingDynamicIndexBuffer::ReservedOperation3() { device_.RecordCall(name_ + ".ReservedOperation3"); }

// ---------------------------------------------------------------------------------------------
// Declarations and fonts
// ---------------------------------------------------------------------------------------------

uint32_t RecordingVertexDeclaration::GetStride() const {
    uint32_t stride = 0;
    for (const RenderVertexElement& element : elements_) {
        stride += GetVertexElementSize(element.type);
    }
    return stride;
}

int RecordingFont::DrawText(const wchar_t* text, int count, const Rect* position, uint32_t flags, uint32_t color,
                            int size, RenderFontStyle style, bool filter) {
    // Wide text is logged with every character above 0x7f as '?'.
    std::string narrow;
    for (int i = 0; text != nullptr && i < count; ++i) {
        narrow += text[i] < 0x80 ? char(text[i]) : '?';
    }
    return Draw(narrow, count, position, flags, color, size, style, filter);
}

int RecordingFont::DrawText(const char* text, int count, const Rect* position, uint32_t flags, uint32_t color,
                            int size, RenderFontStyle style, bool filter) {
    return Draw(text != nullptr && count > 0 ? std::string(text, size_t(count)) : std::string(), count, position,
                flags, color, size, style, filter);
}

int RecordingFont::Draw(const std::string& text, int count, const Rect* position, uint32_t flags, uint32_t color,
                        int size, RenderFontStyle style, bool filter) {
    device_.RecordCall(name_ + ".DrawText", text.c_str(), count, position, flags, RecordingDevice::Packed(color),
                       size, style, filter);
    return count > 0 ? count * (size / 2) : 0;
}

void RecordingFont::Begin() { device_.RecordCall(name_ + ".Begin"); }

void RecordingFont::End() { device_.RecordCall(name_ + ".End"); }

}  // namespace GAME::test
