// Textures of every kind the device makes, drawn and read back; DXT against the CPU decoder;
// video-memory accounting.

#include "DDSBuilder.h"
#include "DeviceTest.h"

#include "devices/DXTDecoder.h"
#include "devices/GLDevice.h"
#include "support/LogCapture.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace GAME::test {
namespace {

class GLDeviceTextureTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        if (device_ == nullptr) {
            return;
        }
        target_ = device_->CreateRenderSurface(16, 16, RenderTextureFormat::RGBA, RenderTextureFormat::None);
        ASSERT_NE(target_, nullptr);
    }
    void TearDown() override {
        if (device_ != nullptr) {
            device_->SetTexture(0, nullptr);
            device_->SetTargetSurface(0, primary_);
            device_->DestroyRenderSurface(target_);
        }
        DeviceTest::TearDown();
    }
    // The texture drawn texel for texel (point sampling, no blending) into the top-left of a 16 x 16
    // surface cleared to transparent black, read back; or shrunk, from the mip level of that size.
    std::vector<uint32_t> Draw(RenderTexture* texture, float shrink = 1.0f) {
        device_->SetTargetSurface(0, target_);
        ClearTo(Color(0, 0, 0, 0));
        device_->SetTexture(0, texture);
        device_->SetSamplerState(0, RenderSamplerState::MagFilter, 0);
        device_->SetSamplerState(0, RenderSamplerState::MinFilter, 0);
        device_->SetSamplerState(0, RenderSamplerState::MipFilter, shrink > 1.0f ? 1 : 0);
        const auto size = [shrink](int texels) { return std::max(1.0f, float(texels) / shrink); };
        device_->DrawTexturedRect(Rect(0, 0, 1, 1), Rect(0, 0, size(texture->GetWidth()), size(texture->GetHeight())),
                                  0xFFFFFFFF, 0.0f);
        return OffscreenDevice::Read(target_, 16, 16);
    }
    RenderTexture* FromFile(const std::vector<uint8_t>& file, int reduction = 0) {
        return device_->CreateTextureFromFile(file.data(), uint32_t(file.size()), reduction);
    }

    RenderSurface* target_ = nullptr;
};

TEST_F(GLDeviceTextureTest, CompressedTexturesMatchTheCPUDecoderWithAndWithoutS3TC) {
    GLDevice& gl = *static_cast<GLDevice*>(device_);
    uint32_t seed = 12345;
    for (DDSFormat format : {DDSFormat::DXT1, DDSFormat::DXT3, DDSFormat::DXT5}) {
        const std::vector<uint8_t> file = DDSBuilder::File(format, 16, 16, 1, [&](uint32_t, std::vector<uint8_t>& level) {
            for (uint8_t& byte : level) {
                seed = seed * 1664525u + 1013904223u;
                byte = uint8_t(seed >> 24);
            }
        });
        std::vector<uint8_t> reference(16 * 16 * 4);
        ASSERT_TRUE(DXTDecoder::Decode(format, 16, 16, file.data() + DDSFile::kHeaderSize, reference.data()));
        for (bool s3tc : {true, false}) {
            gl.SetUseS3TC(s3tc);
            EXPECT_EQ(gl.HasS3TC(), s3tc);  // the driver has S3TC
            RenderTexture* texture = FromFile(file);
            ASSERT_NE(texture, nullptr);
            const std::vector<uint32_t> drawn = Draw(texture);
            // The driver's decoder may round interpolated values differently; the device's own is exact.
            const int tolerance = s3tc ? 3 : 0;
            int mismatches = 0;
            for (size_t i = 0; i < drawn.size(); ++i) {
                uint32_t expected = 0;
                std::memcpy(&expected, &reference[i * 4], 4);
                mismatches += Near(drawn[i], expected, tolerance) ? 0 : 1;
            }
            EXPECT_EQ(mismatches, 0) << "format " << int(format) << (s3tc ? " through S3TC" : " decoded");
            device_->DestroyTexture(texture);
        }
    }
    gl.SetUseS3TC(true);
}

TEST_F(GLDeviceTextureTest, UncompressedFormatsReadAsDirect3DDefinesThem) {
    const struct {
        DDSFormat format;
        std::vector<uint8_t> texel;  // one texel's bytes
        uint32_t expected;           // as read back
        bool target;                 // a surface can draw into it: 8 bits a channel or 5-6-5, unswizzled
    } cases[] = {
        {DDSFormat::A8R8G8B8, {0x30, 0x20, 0x10, 0x80}, Rgba(0x10, 0x20, 0x30, 0x80), true},
        {DDSFormat::X8R8G8B8, {0x30, 0x20, 0x10, 0x00}, Rgba(0x10, 0x20, 0x30, 0xFF), false},
        {DDSFormat::A8B8G8R8, {0x10, 0x20, 0x30, 0x80}, Rgba(0x10, 0x20, 0x30, 0x80), true},
        {DDSFormat::X8B8G8R8, {0x10, 0x20, 0x30, 0x00}, Rgba(0x10, 0x20, 0x30, 0xFF), false},
        {DDSFormat::R8G8B8, {0x30, 0x20, 0x10}, Rgba(0x10, 0x20, 0x30, 0xFF), false},
        {DDSFormat::R5G6B5, {0x1F, 0xF8}, Rgba(0xFF, 0x00, 0xFF), true},           // red and blue full
        {DDSFormat::A1R5G5B5, {0xE0, 0x03}, Rgba(0x00, 0xFF, 0x00, 0x00), false},  // green, alpha bit clear
        {DDSFormat::X1R5G5B5, {0xE0, 0x03}, Rgba(0x00, 0xFF, 0x00, 0xFF), false},
        {DDSFormat::A4R4G4B4, {0x0F, 0x8F}, Rgba(0xFF, 0x00, 0xFF, 0x88), false},
        {DDSFormat::L8, {0x40}, Rgba(0x40, 0x40, 0x40, 0xFF), false},
        {DDSFormat::A8, {0x40}, Rgba(0x00, 0x00, 0x00, 0x40), false},
        {DDSFormat::A8L8, {0x40, 0x90}, Rgba(0x40, 0x40, 0x40, 0x90), false},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> file = DDSBuilder::File(c.format, 2, 2, 1, [&](uint32_t, std::vector<uint8_t>& level) {
            for (size_t i = 0; i < level.size(); ++i) {
                level[i] = c.texel[i % c.texel.size()];
            }
        });
        RenderTexture* texture = FromFile(file);
        ASSERT_NE(texture, nullptr) << int(c.format);
        EXPECT_EQ(Draw(texture)[17], c.expected) << "format " << int(c.format);
        EXPECT_EQ(texture->GetVideoMemoryUsage(), 4 * (c.texel.size() == 3 ? 4 : c.texel.size())) << int(c.format);
        RenderSurface* over = device_->CreateRenderSurface(2, 2, texture, RenderTextureFormat::None);
        EXPECT_EQ(over != nullptr, c.target) << int(c.format);
        device_->DestroyRenderSurface(over);
        device_->DestroyTexture(texture);
    }
}

TEST_F(GLDeviceTextureTest, ReductionKeepsTheSmallerLevels) {
    const uint8_t colors[4][4] = {{0, 0, 255, 255}, {0, 255, 0, 255}, {255, 0, 0, 255}, {255, 255, 255, 255}};
    // Wider than high, so a width and height swapped anywhere shows.
    const std::vector<uint8_t> file =
        DDSBuilder::File(DDSFormat::A8R8G8B8, 16, 4, 4, [&](uint32_t index, std::vector<uint8_t>& level) {
            for (size_t i = 0; i < level.size(); ++i) {
                level[i] = colors[index][i % 4];
            }
        });
    EXPECT_EQ(device_->GetTextureDataLength(file.data(), 128, 2), file.size());
    RenderTexture* texture = FromFile(file, 2);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(std::pair(texture->GetWidth(), texture->GetHeight()), std::pair(4, 1));
    const std::vector<uint32_t> drawn = Draw(texture);
    // Level 2 (4 x 1) holds bytes B, G, R = 255, 0, 0 and covers exactly its own texels.
    EXPECT_EQ(std::vector({drawn[3], drawn[4], drawn[16]}), std::vector({Rgba(0, 0, 255), 0u, 0u}));
    // Drawn small, a texture reads its smaller levels: the reduced one's last, the whole file's 1 to 3.
    RenderTexture* whole = FromFile(file);
    EXPECT_EQ(std::vector({Draw(texture, 2)[0], Draw(whole, 2)[0], Draw(whole, 4)[0], Draw(whole, 8)[0]}),
              std::vector({Rgba(255, 255, 255), Rgba(0, 255, 0), Rgba(0, 0, 255), Rgba(255, 255, 255)}));
    device_->DestroyTexture(whole);
    device_->DestroyTexture(texture);
    EXPECT_TRUE(FromFile(std::vector<uint8_t>(file.begin(), file.end() - 1)) == nullptr && !device_->IsOutOfVideoMemory());
}

TEST_F(GLDeviceTextureTest, ByteTexturesAreGreyWithTheValueAsAlphaAndUpdate) {
    RenderTexture* dynamic = device_->CreateDynamicTexture(4, 2);
    uint32_t pitch = 0;
    uint32_t* pixels = dynamic == nullptr ? nullptr : static_cast<uint32_t*>(dynamic->Lock(pitch));
    ASSERT_TRUE(pixels != nullptr && pitch == 16u);
    for (int i = 0; i < 8; ++i) pixels[i] = i < 4 ? 0xFF00FF00 : 0x80FF0000;
    dynamic->Unlock();
    const uint8_t texels[6] = {0x40, 0xC0, 0x20, 0x10, 0x30, 0x50};  // rows of three bytes, not padded
    RenderTexture* texture = device_->CreateTexture(3, 2, texels, 0, RenderDevice::kTextureUpdatable);
    ASSERT_NE(texture, nullptr);
    std::vector<uint32_t> drawn = Draw(texture);
    EXPECT_EQ(std::vector({drawn[0], drawn[1], drawn[16]}), std::vector({0x40404040u, 0xC0C0C0C0u, 0x10101010u}));
    // Drawn since the texture's last upload, another unit is active: the update must not land there.
    const std::vector<uint32_t> other = Draw(dynamic);
    EXPECT_EQ(std::vector({other[3], other[16]}), std::vector({Rgba(0, 255, 0), Rgba(255, 0, 0, 0x80)}));
    const uint8_t next[6] = {0xFF, 0x00};
    texture->UpdatePixels(next);
    drawn = Draw(texture);
    EXPECT_EQ(std::vector({drawn[0], drawn[1]}), std::vector({0xFFFFFFFFu, 0u}));
    EXPECT_EQ(Draw(dynamic), other);
    device_->DestroyTexture(dynamic);
    EXPECT_EQ(texture->Lock(pitch), nullptr);  // only dynamic textures lock
    device_->SetTexture(0, texture);
    device_->DestroyTexture(texture);  // set, and gone: draws see white
    device_->DrawTexturedRect(Rect(0, 0, 1, 1), Rect(0, 0, 4, 4), 0xFFFFFFFF, 0.0f);
    EXPECT_EQ(OffscreenDevice::Read(target_, 1, 1)[0], Rgba(255, 255, 255));
    // An unknown format, no width.
    EXPECT_TRUE(device_->CreateTexture(2, 1, texels, 5, 0) == nullptr &&
                device_->CreateTexture(0, 1, texels, 0, 0) == nullptr);

}

TEST_F(GLDeviceTextureTest, VideoMemoryIsCountedAndItsLackReported) {
    GLDevice& gl = *static_cast<GLDevice*>(device_);
    const size_t total = device_->GetVideoMemory();
    const size_t before = device_->GetAvailableVideoMemory();
    RenderTexture* texture = device_->CreateTextureFromPixels(64, 64, nullptr, 1, 0);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(std::pair(texture->GetVideoMemoryUsage(), device_->GetAvailableVideoMemory()),
              std::pair(size_t(64 * 64 * 4), before - 64 * 64 * 4));
    gl.SetVideoMemoryTotal(total - before + 64 * 64 * 4 + 100);
    EXPECT_EQ(device_->CreateTextureFromPixels(64, 64, nullptr, 1, 0), nullptr);
    EXPECT_TRUE(device_->IsOutOfVideoMemory());
    // A failure of another kind, by any maker of textures, is no lack of memory.
    const uint8_t header[4] = {'D', 'D', 'S', ' '};
    for (int maker = 0; maker < 4; ++maker) {
        EXPECT_EQ(device_->CreateRenderSurface(16, 16, RenderTextureFormat::RGBA, RenderTextureFormat::None), nullptr);
        ASSERT_TRUE(device_->IsOutOfVideoMemory());
        EXPECT_EQ(maker == 0   ? device_->CreateTexture(0, 0, nullptr, 0, 0)
                  : maker == 1 ? device_->CreateTextureFromPixels(0, 4, nullptr, 1, 0)
                  : maker == 2 ? device_->CreateDynamicTexture(4, 0)
                               : device_->CreateTextureFromFile(header, 4, 0),
                  nullptr);
        EXPECT_FALSE(device_->IsOutOfVideoMemory()) << maker;
    }
    EXPECT_EQ(device_->CreateRenderSurface(16, 16, RenderTextureFormat::RGBA, RenderTextureFormat::None), nullptr);
    RenderSurface* fits = device_->CreateRenderSurface(4, 4, RenderTextureFormat::RGBA, RenderTextureFormat::None);
    ASSERT_NE(fits, nullptr);
    EXPECT_FALSE(device_->IsOutOfVideoMemory());  // the lack is over once something fits
    device_->DestroyRenderSurface(fits);
    device_->DestroyTexture(texture);
    EXPECT_EQ(device_->GetAvailableVideoMemory(), 100u + 64 * 64 * 4);
    gl.SetVideoMemoryTotal(total);
    EXPECT_EQ(device_->GetAvailableVideoMemory(), before);
}

TEST_F(GLDeviceTextureTest, BuffersHoldTheirBytesOfVideoMemoryUntilDestroyed) {
    const size_t before = device_->GetAvailableVideoMemory();
    RenderVertexBuffer* vertices = device_->CreateVertexBuffer(0, 100);
    RenderIndexBuffer* indices = device_->CreateIndexBuffer(10, RenderIndexFormat::Index32);
    RenderDynamicVertexBuffer* dynamicVertices = device_->CreateDynamicVertexBuffer(256);
    RenderDynamicIndexBuffer* dynamicIndices = device_->CreateDynamicIndexBuffer(515);  // whole indices: 512 bytes
    EXPECT_EQ(device_->GetAvailableVideoMemory(), before - 100 - 40 - 256 - 512);
    device_->DestroyVertexBuffer(vertices);
    device_->DestroyIndexBuffer(indices);
    device_->DestroyDynamicVertexBuffer(dynamicVertices);
    device_->DestroyDynamicIndexBuffer(dynamicIndices);
    EXPECT_EQ(device_->GetAvailableVideoMemory(), before);
    // Buffers of nothing, of 4 GiB or of no known index format are refused, each said.
    LogCapture log;
    const std::vector<const void*> refused = {device_->CreateVertexBuffer(0, 0),
                                              device_->CreateIndexBuffer(0, RenderIndexFormat::Index16),
                                              device_->CreateIndexBuffer(1u << 30, RenderIndexFormat::Index32),
                                              device_->CreateIndexBuffer(4, RenderIndexFormat(4)),
                                              device_->CreateDynamicVertexBuffer(0),
                                              device_->CreateDynamicIndexBuffer(3)};
    EXPECT_EQ(std::tuple(refused, log.Count(LogPriority::Error), device_->GetAvailableVideoMemory()),
              std::tuple(std::vector<const void*>(6, nullptr), 6u, before));
}

// The total is GLDEVICE_VIDEO_MEMORY_MB mebibytes when that is a positive number, else 512 MiB;
// reservations fit within what is left, to the byte.
TEST(GLVideoMemoryTest, TheTotalComesFromTheEnvironmentAndReservationsFitInIt) {
    const char* const kName = "GLDEVICE_VIDEO_MEMORY_MB";
    const char* const set = std::getenv(kName);
    const std::string saved = set != nullptr ? set : "";
    const std::pair<const char*, size_t> totals[] = {{"96", 96}, {"1", 1}, {"0", 512}, {"-4", 512}, {"lots", 512}};
    for (const auto& [value, megabytes] : totals) {
        setenv(kName, value, 1);
        EXPECT_EQ(GLVideoMemory().GetTotal(), megabytes << 20) << value;
    }
    unsetenv(kName);
    EXPECT_EQ(GLVideoMemory().GetTotal(), size_t(512) << 20);
    if (set != nullptr) setenv(kName, saved.c_str(), 1);

    GLVideoMemory memory;
    memory.SetTotal(100);
    EXPECT_EQ(std::vector({memory.Reserve(101), memory.Reserve(60), memory.Reserve(41), memory.Reserve(40)}),
              std::vector({false, true, false, true}));
    EXPECT_EQ(memory.GetAvailable(), 0u);
    memory.Release(30);
    EXPECT_EQ(std::pair(memory.GetUsed(), memory.GetAvailable()), std::pair(size_t(70), size_t(30)));
    memory.SetTotal(50);  // below what is used: nothing is left
    EXPECT_TRUE(memory.GetAvailable() == 0 && !memory.Reserve(1));
}

}  // namespace
}  // namespace GAME::test
