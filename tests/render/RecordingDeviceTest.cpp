// The recording device is the fixture of later logic tests: these check what they will rely on
// (names and arguments in the log, real lock memory, the dynamic-buffer draw contract, frame
// statistics, leak and misuse reports).

#include "support/RecordingDevice.h"

#include "core/Vec2.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <tuple>

namespace GAME::test {
namespace {

using ::testing::ElementsAre;

TEST(RecordingDeviceTest, RecordsCallsWithResourceNamesAndArguments) {
    RecordingDevice device;
    RenderTexture* texture = device.CreateTextureFromPixels(2, 2, nullptr, 1, 0);
    RenderSurface* surface = device.CreateRenderSurface(64, 32, RenderTextureFormat::RGBA, RenderTextureFormat::D24);
    device.ClearCalls();

    device.SetTexture(1, texture);
    device.SetTexture(2, surface->GetDepthTexture());
    device.SetTargetSurface(0, surface);
    device.SetClearColor(Color(0.0f, 0.5f, 1.0f, 1.0f));
    device.Clear(RenderDevice::kClearColor | RenderDevice::kClearDepth, 1.0f);
    device.SetSourceBlendFactor(RenderBlendFactor::SourceAlpha);
    device.DrawRect(Rect(10.0f, 11.0f, 100.0f, 20.0f), 0xff336699u, 0.5f);
    device.DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, 0, 4, 2, 0, 0);
    device.SetTexture(1, nullptr);

    EXPECT_THAT(device.GetCalls(),
                ElementsAre("SetTexture(1, texture1)", "SetTexture(2, surface1.depth)",
                            "SetTargetSurface(0, surface1)", "SetClearColor((0, 0.5, 1, 1))", "Clear(33, 1)",
                            "SetSourceBlendFactor(6)", "DrawRect((10, 11, 100, 20), 0xff336699, 0.5)",
                            "DrawIndexedPrimitive(0, 0, 4, 2, 0, 0)", "SetTexture(1, null)"));
    EXPECT_THAT(device.GetCalls("SetTexture"), ElementsAre("SetTexture(1, texture1)", "SetTexture(2, surface1.depth)",
                                                           "SetTexture(1, null)"));
    const RecordingDeviceState& state = device.GetState();
    EXPECT_EQ(std::tuple(state.colorTargets[0], state.depthTarget, state.sourceBlend, state.textures[2]),
              std::tuple(surface, surface, RenderBlendFactor::SourceAlpha, surface->GetDepthTexture()));

    device.DestroyTexture(texture);
    device.DestroyRenderSurface(surface);
    EXPECT_TRUE(texture == nullptr && surface == nullptr);
    EXPECT_EQ(device.GetNumLiveResources(), 0u);
    EXPECT_TRUE(device.GetErrors().empty());
}

TEST(RecordingDeviceTest, LocksHandOutRealMemoryWithinTheBuffer) {
    RecordingDevice device;
    RenderVertexBuffer* vertices = device.CreateVertexBuffer(0, 64);
    auto* bytes = static_cast<uint8_t*>(vertices->Lock(16, 48, 0));
    ASSERT_NE(bytes, nullptr);
    std::memset(bytes, 0xab, 48);
    vertices->Unlock();
    EXPECT_EQ(static_cast<RecordingVertexBuffer*>(vertices)->GetData()[63], 0xab);
    EXPECT_EQ(static_cast<RecordingVertexBuffer*>(vertices)->GetData()[15], 0);
    EXPECT_EQ(vertices->Lock(16, 49, 0), nullptr);
    EXPECT_EQ(vertices->Lock(64, 0, 0), nullptr);
    EXPECT_NE(vertices->Lock(), nullptr);  // the whole buffer

    RenderIndexBuffer* indices = device.CreateIndexBuffer(6, RenderIndexFormat::Index16);
    const uint16_t quad[6] = {0, 1, 2, 2, 1, 3};
    std::memcpy(indices->Lock(), quad, sizeof quad);
    indices->Unlock();
    EXPECT_EQ(static_cast<RecordingIndexBuffer*>(indices)->GetIndex(5), 3u);

    RenderTexture* video = device.CreateDynamicTexture(8, 4);
    uint32_t pitch = 0;
    ASSERT_NE(video->Lock(pitch), nullptr);
    EXPECT_EQ(pitch, 32u);
    RenderTexture* still = device.CreateTexture(4, 4, nullptr, 0, 0);
    EXPECT_EQ(still->Lock(pitch), nullptr);

    EXPECT_THAT(device.GetCalls("vertexBuffer1.Lock"),
                ElementsAre("vertexBuffer1.Lock(16, 48, 0)", "vertexBuffer1.Lock(16, 49, 0)",
                            "vertexBuffer1.Lock(64, 0, 0)", "vertexBuffer1.Lock(0, 0, 0)"));
    EXPECT_EQ(device.CountCalls("Lock"), 7u);
    device.DestroyVertexBuffer(vertices);
    device.DestroyIndexBuffer(indices);
    device.DestroyTexture(video);
    EXPECT_EQ(device.GetNumLiveResources(), 1u);  // `still` goes with the device
}

TEST(RecordingDeviceTest, DynamicBuffersDrawTheirLockedRange) {
    RecordingDevice device;
    RenderDynamicVertexBuffer* vertices = device.CreateDynamicVertexBuffer(100);
    RenderDynamicIndexBuffer* indices = device.CreateDynamicIndexBuffer(40);  // 10 indices

    ASSERT_NE(vertices->Lock(60), nullptr);
    ASSERT_NE(vertices->Lock(36), nullptr);  // fits behind the first range
    vertices->SetStreamSource(0, 12);
    EXPECT_EQ(std::tuple(device.GetState().streams[0].dynamicBuffer, device.GetState().streams[0].offset),
              std::tuple(vertices, 60u));
    ASSERT_NE(vertices->Lock(8), nullptr);  // does not fit: from the start again
    EXPECT_EQ(static_cast<RecordingDynamicVertexBuffer*>(vertices)->GetLockOffset(), 0u);
    EXPECT_EQ(vertices->Lock(101), nullptr);
    EXPECT_EQ(vertices->Lock(0), nullptr);

    ASSERT_NE(indices->Lock(4), nullptr);
    uint32_t* range = indices->Lock(6);
    ASSERT_NE(range, nullptr);
    for (uint32_t i = 0; i < 6; ++i) range[i] = i;
    indices->Unlock();
    indices->SetIndices();
    EXPECT_EQ(std::tuple(device.GetState().dynamicIndexBuffer, device.GetState().firstIndex), std::tuple(indices, 4u));
    EXPECT_EQ(static_cast<RecordingDynamicIndexBuffer*>(indices)->GetIndices()[9], 5u);

    // Positions are relative to the locked range: the base vertex is the draw offset (0) and a
    // prepared draw keeps the caller's start index.
    EXPECT_EQ(indices->GetDrawOffset(), 0);
    const RenderIndexedDraw draw = indices->PrepareDraw(4, 2, 0, 0);
    EXPECT_EQ(std::tuple(draw.baseVertex, draw.vertexCount, draw.primitiveCount, draw.startIndex),
              std::tuple(0, 4u, 2u, 0u));
    device.DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, draw.baseVertex, draw.vertexCount,
                                draw.primitiveCount, draw.startIndex, draw.flags);
    EXPECT_THAT(device.GetCalls("DrawIndexedPrimitive"), ElementsAre("DrawIndexedPrimitive(0, 0, 4, 2, 0, 0)"));

    device.DestroyDynamicVertexBuffer(vertices);
    device.DestroyDynamicIndexBuffer(indices);
    EXPECT_EQ(device.GetNumLiveResources(), 0u);
}

TEST(RecordingDeviceTest, CountsDrawsPerFrameAndKeepsTheLastExecutedOne) {
    RecordingDevice device;
    device.SetDrawCallLimit(2);  // from the next frame on
    device.DrawRect(Rect(), 0, 0.0f);
    device.DrawRect(Rect(), 0, 0.0f);
    device.DrawRect(Rect(), 0, 0.0f);
    EXPECT_EQ(device.GetNumExecutedDrawCalls(), 3u);

    ASSERT_TRUE(device.BeginScene());
    device.SetDebugName("Shaders/A.ssh", "Opaque", "tree");
    device.DrawPrimitive(RenderPrimitiveType::TriangleStrip, 0, 8);
    device.SetDebugName("Shaders/B.ssh", "Glow", "lamp");
    const Vec2 fan[4] = {Vec2(0, 0), Vec2(1, 0), Vec2(1, 1), Vec2(0, 1)};
    device.DrawTriangleFan(fan, 4, 0xffffffffu);
    device.SetDebugName(nullptr, nullptr, nullptr);
    device.DrawRect(Rect(), 0, 0.0f);  // past the limit: counted, not executed
    EXPECT_EQ(std::tuple(device.GetNumDrawCalls(), device.GetNumExecutedDrawCalls(), device.GetNumFacesRendered()),
              std::tuple(3u, 2u, 10u));
    EXPECT_STREQ(device.GetLastShaderName(), "Shaders/B.ssh");
    EXPECT_STREQ(device.GetLastStyleName(), "Glow");
    EXPECT_STREQ(device.GetLastObjectName(), "lamp");
    ASSERT_EQ(device.GetNumInfoLines(), 1u);
    EXPECT_STREQ(device.GetInfoLine(0), "DrawTriangleFan([(0, 0), (1, 0), (1, 1), (0, 1)], 4, 0xffffffff)");
    EXPECT_EQ(device.GetInfoLine(1), nullptr);
}

TEST(RecordingDeviceTest, ReadBackRowsAreTopDownForSurfacesAndBottomUpForTheFrameBuffer) {
    RecordingDevice device;
    RenderDeviceSettings settings;
    settings.width = 4;
    settings.height = 3;
    RenderSurface* primary = device.CreatePrimarySurface(nullptr, settings);
    ASSERT_NE(primary, nullptr);
    EXPECT_EQ(device.GetWidth(), 4);

    uint8_t rows[3 * 4 * 4];
    ASSERT_TRUE(primary->ReadPixels(rows, 4, 3, RenderTextureFormat::RGBA));
    EXPECT_EQ(rows[1], 0);                  // first row: y = 0
    EXPECT_EQ(rows[(2 * 4 + 3) * 4], 3);    // x of pixel (3, 2)
    EXPECT_EQ(rows[(2 * 4 + 3) * 4 + 1], 2);

    Pixel frame[3 * 5];
    ASSERT_TRUE(device.ReadFrameBuffer(frame, 5, 3));
    EXPECT_EQ(frame[0].g, 2);  // first row: y = 2
    EXPECT_EQ(frame[2 * 5].g, 0);
    EXPECT_EQ(frame[4].a, 0);  // beyond the surface
    EXPECT_FALSE(primary->ReadPixels(rows, 4, 3, RenderTextureFormat::RGB));
    device.DestroyRenderSurface(primary);
}

TEST(RecordingDeviceTest, ReportsMisuseAndScriptedFailures) {
    RecordingDevice device;
    RenderVertexBuffer* buffer = device.CreateVertexBuffer(0, 16);
    RenderVertexBuffer* copy = buffer;
    device.DestroyVertexBuffer(buffer);
    device.DestroyVertexBuffer(copy);  // a second destroy of the same buffer
    device.DestroyVertexBuffer(copy);  // null: nothing
    const float registers[8] = {};
    device.SetVertexShaderConstants(255, registers, 2);
    EXPECT_THAT(device.GetErrors(), ElementsAre("DestroyVertexBuffer of a resource this device does not hold",
                                                "SetVertexShaderConstants: registers out of range"));

    device.Script().failCreates = true;
    EXPECT_EQ(device.CreateTexture(4, 4, nullptr, 0, 0), nullptr);
    EXPECT_EQ(device.CreateDynamicIndexBuffer(0x400000), nullptr);
}

TEST(RecordingDeviceTest, ResourcesComeAndGoOnAnyThread) {
    RecordingDevice device;
    std::thread loaders[4];
    for (std::thread& loader : loaders) {
        loader = std::thread([&device] {
            for (int i = 0; i < 50; ++i) {
                RenderTexture* texture = device.CreateTexture(2, 2, nullptr, 0, RenderDevice::kTextureUpdatable);
                const uint8_t texels[4] = {1, 2, 3, 4};
                texture->UpdatePixels(texels);
                device.DestroyTexture(texture);
            }
        });
    }
    for (std::thread& loader : loaders) loader.join();
    EXPECT_EQ(device.GetNumLiveResources(), 0u);
    EXPECT_EQ(device.CountCalls("UpdatePixels"), 200u);
    EXPECT_TRUE(device.GetErrors().empty());
}

}  // namespace
}  // namespace GAME::test
