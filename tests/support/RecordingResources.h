#pragma once
// The resources of the recording device (RecordingDevice.h). Each records its operations into
// its device's call log as "<name>.<Operation>(<arguments>)", keeps what it was given (sizes,
// texels, program text, elements) for tests to inspect, and hands out real memory for Lock.

#include "render/RenderDevice.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace GAME::test {

class RecordingDevice;

// What every recorded resource has: its name in the call log ("texture3") and its device.
class RecordedResource {
public:
    RecordedResource(RecordingDevice& device, std::string name) : device_(device), name_(std::move(name)) {}
    virtual ~RecordedResource() = default;
    RecordedResource(const RecordedResource&) = delete;
    RecordedResource& operator=(const RecordedResource&) = delete;

    const std::string& GetName() const { return name_; }
    // Bytes the resource stands for in the device's video-memory accounting.
    virtual size_t GetBytes() const = 0;

protected:
    RecordingDevice& device_;
    const std::string name_;
};

// Every kind of texture: from a file, from bytes, from pixels, dynamic, or a surface's colour or
// depth texture. The texels are those given at creation (or by UpdatePixels); a dynamic texture's
// are what was written through Lock, 4 bytes a texel.
class RecordingTexture final : public RenderTexture, public RecordedResource {
public:
    RecordingTexture(RecordingDevice& device, std::string name, int width, int height, uint32_t bytesPerTexel,
                     bool dynamic);

    const std::vector<uint8_t>& GetTexels() const { return texels_; }
    void SetTexels(const void* data, size_t size);
    size_t GetBytes() const override { return texels_.size(); }

    int GetWidth() const override { return width_; }
    int GetHeight() const override { return height_; }
    void UpdatePixels(const void* texels) override;
    void ReservedOperation1() override;
    size_t GetSystemMemoryUsage() const override { return 0; }
    size_t GetVideoMemoryUsage() const override { return texels_.size(); }
    void* Lock(uint32_t& pitch) override;
    void Unlock() override;

private:
    const int width_;
    const int height_;
    const uint32_t bytesPerTexel_;
    const bool dynamic_;
    std::vector<uint8_t> texels_;
};

// A surface: the primary one (no textures) or one over colour and depth textures, owned or, for
// the colour texture of the over-a-texture form, shared.
//
// ReadPixels writes a pattern that tells rows and columns apart: pixel (x, y) is the bytes
// (x & 255, y & 255, 0, 255); pixels beyond the surface are zeros.
class RecordingSurface final : public RenderSurface, public RecordedResource {
public:
    RecordingSurface(RecordingDevice& device, std::string name, int width, int height,
                     std::unique_ptr<RecordingTexture> color, const RenderTexture* sharedColor,
                     std::unique_ptr<RecordingTexture> depth);

    int GetWidth() const { return width_; }
    int GetHeight() const { return height_; }
    size_t GetBytes() const override;
    // Writes the pattern for the top-left width x height pixels of a surface this size, rows
    // from the top or from the bottom.
    static void WritePattern(uint8_t* pixels, int width, int height, int surfaceWidth, int surfaceHeight,
                             bool bottomUp);

    RenderTexture* GetTexture() const override;
    RenderTexture* GetDepthTexture() const override { return depth_.get(); }
    bool ReadPixels(void* buffer, int width, int height, RenderTextureFormat format) const override;
    void CopyToTexture(RenderTexture* destination, const Rect* source, uint32_t flags) override;

private:
    const int width_;
    const int height_;
    std::unique_ptr<RecordingTexture> color_;
    const RenderTexture* const sharedColor_;
    std::unique_ptr<RecordingTexture> depth_;
};

class RecordingVertexBuffer final : public RenderVertexBuffer, public RecordedResource {
public:
    RecordingVertexBuffer(RecordingDevice& device, std::string name, uint32_t flags, uint32_t size);

    uint32_t GetFlags() const { return flags_; }
    const std::vector<uint8_t>& GetData() const { return data_; }
    size_t GetBytes() const override { return data_.size(); }

    void ReservedOperation1() override;
    void* Lock(uint32_t offset, uint32_t size, uint32_t flags) override;
    void Unlock() override;
    void ReservedOperation2() override;

private:
    const uint32_t flags_;
    std::vector<uint8_t> data_;
};

class RecordingIndexBuffer final : public RenderIndexBuffer, public RecordedResource {
public:
    RecordingIndexBuffer(RecordingDevice& device, std::string name, uint32_t count, RenderIndexFormat format);

    uint32_t GetCount() const { return count_; }
    RenderIndexFormat GetFormat() const { return format_; }
    // The index at position i, whatever the format.
    uint32_t GetIndex(uint32_t i) const;
    size_t GetBytes() const override { return data_.size(); }

    void* Lock() override;
    void Unlock() override;
    void ReservedOperation1() override;

private:
    const uint32_t count_;
    const RenderIndexFormat format_;
    std::vector<uint8_t> data_;
};

// A ring of bytes: each Lock takes the next range, from the start again when the rest is too small.
class RecordingDynamicVertexBuffer final : public RenderDynamicVertexBuffer, public RecordedResource {
public:
    RecordingDynamicVertexBuffer(RecordingDevice& device, std::string name, uint32_t size);

    const std::vector<uint8_t>& GetData() const { return data_; }
    // The byte offset of the last Lock.
    uint32_t GetLockOffset() const { return lockOffset_; }
    size_t GetBytes() const override { return data_.size(); }

    void ReservedOperation1() override;
    void* Lock(uint32_t size) override;
    void Unlock() override;
    void SetStreamSource(uint32_t stream, uint32_t stride) override;
    void ReservedOperation2() override;
    void ReservedOperation3() override;

private:
    std::vector<uint8_t> data_;
    uint32_t next_ = 0;
    uint32_t lockOffset_ = 0;
};

// A ring of 32-bit indices, handed out like the dynamic vertex buffer.
class RecordingDynamicIndexBuffer final : public RenderDynamicIndexBuffer, public RecordedResource {
public:
    RecordingDynamicIndexBuffer(RecordingDevice& device, std::string name, uint32_t size);

    const std::vector<uint32_t>& GetIndices() const { return indices_; }
    // The index position of the last Lock.
    uint32_t GetLockOffset() const { return lockOffset_; }
    size_t GetBytes() const override { return indices_.size() * sizeof(uint32_t); }

    void ReservedOperation1() override;
    uint32_t* Lock(uint32_t count) override;
    void Unlock() override;
    void SetIndices() override;
    int32_t GetDrawOffset() const override;
    RenderIndexedDraw PrepareDraw(uint32_t vertexCount, uint32_t primitiveCount, uint32_t startIndex,
                                  uint32_t flags) const override;
    void ReservedOperation3() override;

private:
    std::vector<uint32_t> indices_;
    uint32_t next_ = 0;
    uint32_t lockOffset_ = 0;
};

// A vertex or pixel program: the program text as given.
template <class Interface>
class RecordingProgram final : public Interface, public RecordedResource {
public:
    RecordingProgram(RecordingDevice& device, std::string name, std::string program)
        : RecordedResource(device, std::move(name)), program_(std::move(program)) {}

    const std::string& GetProgram() const { return program_; }
    size_t GetBytes() const override { return program_.size(); }

    size_t GetSystemMemoryUsage() const override { return 0; }
    size_t GetVideoMemoryUsage() const override { return program_.size(); }

private:
    const std::string program_;
};

using RecordingVertexShader = RecordingProgram<RenderVertexShader>;
using RecordingPixelShader = RecordingProgram<RenderPixelShader>;

class RecordingVertexDeclaration final : public RenderVertexDeclaration, public RecordedResource {
public:
    RecordingVertexDeclaration(RecordingDevice& device, std::string name, std::vector<RenderVertexElement> elements)
        : RecordedResource(device, std::move(name)), elements_(std::move(elements)) {}

    const std::vector<RenderVertexElement>& GetElements() const { return elements_; }
    size_t GetBytes() const override { return 0; }

    uint32_t GetStride() const override;

private:
    const std::vector<RenderVertexElement> elements_;
};

// A font whose characters are all size / 2 pixels wide (integer division), so text widths are
// easy to predict: DrawText returns count * (size / 2).
class RecordingFont final : public RenderFont, public RecordedResource {
public:
    RecordingFont(RecordingDevice& device, std::string name, std::string fontName, std::vector<uint8_t> data)
        : RecordedResource(device, std::move(name)), fontName_(std::move(fontName)), data_(std::move(data)) {}

    const std::string& GetFontName() const { return fontName_; }
    const std::vector<uint8_t>& GetData() const { return data_; }
    size_t GetBytes() const override { return data_.size(); }

    int DrawText(const wchar_t* text, int count, const Rect* position, uint32_t flags, uint32_t color, int size,
                 RenderFontStyle style, bool filter) override;
    int DrawText(const char* text, int count, const Rect* position, uint32_t flags, uint32_t color, int size,
                 RenderFontStyle style, bool filter) override;
    void Begin() override;
    void End() override;
    size_t GetSystemMemoryUsage() const override { return 0; }
    size_t GetVideoMemoryUsage() const override { return data_.size(); }

private:
    int Draw(const std::string& text, int count, const Rect* position, uint32_t flags, uint32_t color, int size,
             RenderFontStyle style, bool filter);

    const std::string fontName_;
    const std::vector<uint8_t> data_;
};

}  // namespace GAME::test
