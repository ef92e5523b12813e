#include "render/GraphicsTexture.h"

#include "core/GameClock.h"
#include "core/Log.h"
#include "files/BinaryReader.h"
#include "files/File.h"
#include "render/GraphicsEngine.h"
#include "render/RenderDevice.h"
#include "render/TextureFileWriter.h"

#include <algorithm>
#include <cstring>

namespace GAME {

namespace {

bool BeginsWith(const void* data, uint32_t size, const char* tag, uint32_t tagLength) {
    return data != nullptr && size >= tagLength && std::memcmp(data, tag, tagLength) == 0;
}

// Bytes of a TEX file before its first frame's DDS data: tag, version, frame rate, frame size.
constexpr uint32_t kFirstFrameOffset = TextureFileWriter::kTexHeaderSize + 4;
// Bytes of a file the length computation looks at.
constexpr uint32_t kProbeSize = 256;

}  // namespace

GraphicsTexture::GraphicsTexture(BaseResourceManager* manager, const std::string& fileName, GraphicsEngine& graphics)
    : Resource(manager, fileName, ResourceType::Texture), graphics_(graphics) {}

GraphicsTexture::~GraphicsTexture() { Destroy(); }

uint32_t GraphicsTexture::GetDataLength(File* file) {
    reduction_ = graphics_.GetTextureReduction(GetFileName());
    if (file == nullptr) return 0;
    const uint32_t length = file->GetLength();
    if (reduction_ < 1 || length <= kProbeSize) return length;
    const void* const probe = file->Lock(0, kProbeSize);
    uint32_t result = length;
    if (BeginsWith(probe, kProbeSize, TextureFileWriter::kTexTag, 3)) {
        BinaryReader reader(probe, kProbeSize);
        reader.Skip(TextureFileWriter::kTexHeaderSize);
        const uint32_t firstFrameSize = reader.ReadUInt32();
        // A single frame: only the bytes of its reduced image are needed.
        if (uint64_t(length) <= uint64_t(firstFrameSize) + kFirstFrameOffset) {
            const uint32_t reduced = graphics_.GetRenderDevice()->GetTextureDataLength(
                static_cast<const uint8_t*>(probe) + kFirstFrameOffset, kProbeSize - kFirstFrameOffset, reduction_);
            if (reduced != 0) result = static_cast<uint32_t>(std::min<uint64_t>(uint64_t(reduced) + kFirstFrameOffset, length));
        }
    }
    file->Unlock();
    return result;
}

Resource::InitResult GraphicsTexture::Initialize(const void* data, uint32_t size) {
    Destroy();
    RenderDevice* const device = graphics_.GetRenderDevice();
    if (BeginsWith(data, size, TextureFileWriter::kDdsTag, 4)) {
        if (device->DeviceLost()) return InitResult::Retry;
        return AddFrame(data, size, 0);
    }
    if (BeginsWith(data, size, TextureFileWriter::kTexTag, 3) && size >= TextureFileWriter::kTexHeaderSize) {
        if (device->DeviceLost()) return InitResult::Retry;
        BinaryReader reader(data, size);
        reader.Skip(4);
        const int32_t frameRate = reader.ReadInt32();
        // Frames run to the end of the data; a frame longer than what is left (a reduced read, or a
        // damaged file) gets the rest, and the device refuses it when that is too short.
        while (reader.GetRemaining() >= 4) {
            const uint32_t frameSize = reader.ReadUInt32();
            const uint32_t available = std::min(frameSize, reader.GetRemaining());
            const InitResult result = AddFrame(reader.GetCursor(), available, static_cast<int>(frames_.size()));
            if (result != InitResult::Success) {
                Destroy();
                return result;
            }
            reader.Skip(available);
        }
        frameRate_ = static_cast<float>(frameRate);
        return InitResult::Success;
    }
    Log(LogPriority::Error, "Texture %s is neither a DDS nor a TEX file", GetFileName().c_str());
    return InitResult::InvalidData;
}

Resource::InitResult GraphicsTexture::AddFrame(const void* data, uint32_t size, int frame) {
    RenderDevice* const device = graphics_.GetRenderDevice();
    RenderTexture* const texture = device->CreateTextureFromFile(data, size, reduction_);
    if (texture == nullptr) {
        if (device->IsOutOfVideoMemory()) return InitResult::OutOfMemory;
        Log(LogPriority::Error, "Texture %s: frame %d is not an image the device can read", GetFileName().c_str(),
            frame);
        return InitResult::InvalidData;
    }
    frames_.push_back(texture);
    return InitResult::Success;
}

void GraphicsTexture::InitializeDefault() {
    switch (GetInitResult()) {
        case InitResult::OutOfMemory: fallback_ = Fallback::Empty; break;
        case InitResult::Retry: break;
        default: fallback_ = Fallback::Default; break;
    }
}

void GraphicsTexture::Destroy() {
    RenderDevice* const device = graphics_.GetRenderDevice();
    for (RenderTexture*& frame : frames_) {
        if (device != nullptr) device->DestroyTexture(frame);
    }
    frames_.clear();
    fallback_ = Fallback::None;
    frameRate_ = kDefaultFrameRate;
}

const RenderTexture* GraphicsTexture::GetFallbackTexture() const {
    switch (fallback_) {
        case Fallback::Default: return graphics_.GetDefaultTexture();
        case Fallback::Empty: return graphics_.GetEmptyTexture();
        case Fallback::None: break;
    }
    return nullptr;
}

std::string GraphicsTexture::GetDebugInfo() const {
    return std::to_string((GetVideoMemoryUsage() + 512) / 1024) + " kb";
}

size_t GraphicsTexture::GetSystemMemoryUsage() const {
    size_t bytes = Resource::GetSystemMemoryUsage() + 24;
    for (const RenderTexture* frame : frames_) bytes += frame->GetSystemMemoryUsage();
    return bytes;
}

size_t GraphicsTexture::GetVideoMemoryUsage() const {
    Lock();
    size_t bytes = 0;
    for (const RenderTexture* frame : frames_) bytes += frame->GetVideoMemoryUsage();
    Unlock();
    return bytes;
}

bool GraphicsTexture::GetIsReadyToUse() const {
    MarkAsTouched();
    return GetLoadedState() == LoadedState::Loaded;
}

const RenderTexture* GraphicsTexture::GetTexture() const {
    EnsureAvailable();
    if (fallback_ != Fallback::None) return GetFallbackTexture();
    const int64_t count = static_cast<int64_t>(frames_.size());
    if (count <= 1 || frameRate_ <= 0.0f) return count > 0 ? frames_[0] : nullptr;
    // In 64 bits: any int game time times any int frame rate fits, and a negative time still
    // gives a frame in range.
    const int64_t frame = static_cast<int64_t>(double(GetGameTime()) * double(frameRate_) * 0.001);
    return frames_[static_cast<size_t>(((frame % count) + count) % count)];
}

const RenderTexture* GraphicsTexture::GetTexture(int frame) const {
    EnsureAvailable();
    if (fallback_ != Fallback::None) return frame == 0 ? GetFallbackTexture() : nullptr;
    return frame >= 0 && static_cast<size_t>(frame) < frames_.size() ? frames_[frame] : nullptr;
}

int GraphicsTexture::GetNumFrames() const {
    EnsureAvailable();
    if (fallback_ != Fallback::None) return GetFallbackTexture() != nullptr ? 1 : 0;
    return static_cast<int>(frames_.size());
}

float GraphicsTexture::GetFrameRate() const {
    EnsureAvailable();
    return frameRate_;
}

int GraphicsTexture::GetWidth() const {
    const RenderTexture* const texture = GetTexture();
    return texture != nullptr ? texture->GetWidth() : 0;
}

int GraphicsTexture::GetHeight() const {
    const RenderTexture* const texture = GetTexture();
    return texture != nullptr ? texture->GetHeight() : 0;
}

Rect GraphicsTexture::GetRect() const {
    const RenderTexture* const texture = GetTexture();
    if (texture == nullptr) return Rect(0.0f, 0.0f, 0.0f, 0.0f);
    return Rect(0.0f, 0.0f, static_cast<float>(texture->GetWidth()), static_cast<float>(texture->GetHeight()));
}

}  // namespace GAME
