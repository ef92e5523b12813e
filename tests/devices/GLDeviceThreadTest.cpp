// Resources made, filled and destroyed on other threads, drawn on the render thread.

#include "DeviceTest.h"
#include "support/LogCapture.h"

#include <atomic>
#include <cstring>
#include <thread>

namespace GAME::test {
namespace {

class GLDeviceThreadTest : public DeviceTest {};

struct Vertex {
    float x, y, z;
    float u, v;
};

TEST_F(GLDeviceThreadTest, ResourcesFromALoaderThreadDrawOnTheRenderThread) {
    const size_t availableBefore = device_->GetAvailableVideoMemory();
    RenderTexture* texture = nullptr;
    RenderVertexBuffer* vertices = nullptr;
    RenderIndexBuffer* indices = nullptr;
    RenderVertexDeclaration* declaration = nullptr;
    RenderVertexShader* vertexShader = nullptr;
    RenderPixelShader* pixelShader = nullptr;
    RenderSurface* surface = nullptr;
    RenderFont* font = nullptr;
    std::thread loader([&] {
        const uint32_t texels[4] = {0xFF00FF00, 0xFF00FF00, 0xFF00FF00, 0xFF00FF00};
        texture = device_->CreateTextureFromPixels(2, 2, texels, 1, 0);
        const Vertex quad[4] = {{-1, 1, 0.5f, 0, 0}, {0, 1, 0.5f, 1, 0}, {-1, 0, 0.5f, 0, 1}, {0, 0, 0.5f, 1, 1}};
        vertices = device_->CreateVertexBuffer(0, sizeof(quad));
        std::memcpy(vertices->Lock(0, 0, 0), quad, sizeof(quad));
        vertices->Unlock();
        indices = device_->CreateIndexBuffer(6, RenderIndexFormat::Index16);
        const uint16_t triangles[6] = {0, 1, 2, 2, 1, 3};
        std::memcpy(indices->Lock(), triangles, sizeof(triangles));
        indices->Unlock();
        const RenderVertexElement layout[] = {
            {0, RenderVertexUsage::Position, RenderVertexElementType::Float3},
            {0, RenderVertexUsage::TexCoord0, RenderVertexElementType::Float2},
        };
        declaration = device_->CreateVertexDeclaration(layout, 2);
        const std::string vs = "void main() { gl_Position = a_position; v_uv0 = a_texcoord0.xy; }\n";
        vertexShader = device_->CreateVertexShader(vs.data(), uint32_t(vs.size()));
        const std::string ps = "uniform sampler2D s0;\nvoid main() { o_color = texture(s0, v_uv0); }\n";
        pixelShader = device_->CreatePixelShader(ps.data(), uint32_t(ps.size()));
        surface = device_->CreateRenderSurface(8, 8, RenderTextureFormat::RGBA, RenderTextureFormat::D24);
        font = device_->CreateDeviceFont("Loader", nullptr, 0);
    });
    loader.join();
    ASSERT_TRUE(texture && vertices && indices && declaration && vertexShader && pixelShader && surface && font);
    // Sizes are known before the GL objects exist; the texels are kept for the upload.
    EXPECT_EQ(std::pair(texture->GetWidth(), texture->GetSystemMemoryUsage()), std::pair(2, size_t(16)));

    ClearTo(Color(0, 0, 0, 1));
    device_->SetVertexShader(vertexShader);
    device_->SetPixelShader(pixelShader);
    device_->SetTexture(0, texture);
    device_->SetVertexDeclaration(declaration);
    device_->SetStreamSource(0, vertices, 0, sizeof(Vertex));
    device_->SetIndices(indices);
    device_->DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, 0, 4, 2, 0, 0);
    EXPECT_EQ(std::pair(PrimaryPixel(10, 10), PrimaryPixel(40, 40)), std::pair(Rgba(0, 255, 0), Rgba(0, 0, 0)));
    device_->SetVertexShader(nullptr);
    device_->SetPixelShader(nullptr);
    device_->SetTargetSurface(0, surface);
    ClearTo(Color(1, 0, 0, 1));
    EXPECT_EQ(OffscreenDevice::Read(surface, 8, 8)[0], Rgba(255, 0, 0));
    device_->SetTargetSurface(0, primary_);

    // Refilled on the loader thread while the render thread holds the old contents.
    // Two ranges locked in turn: both reach the upload.
    std::thread refill([&] {
        for (uint32_t half = 0; half < 2; ++half) {
            auto* moved = static_cast<Vertex*>(vertices->Lock(half * 2 * sizeof(Vertex), 2 * sizeof(Vertex), 0));
            for (int i = 0; i < 2; ++i) moved[i].x += 1.0f;  // right by half the target
            vertices->Unlock();
        }
    });
    refill.join();
    ClearTo(Color(0, 0, 0, 1));
    device_->DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, 0, 4, 2, 0, 0);
    EXPECT_EQ(std::vector({PrimaryPixel(10, 10), PrimaryPixel(42, 10), PrimaryPixel(62, 2)}),
              std::vector({Rgba(0, 0, 0), Rgba(0, 255, 0), Rgba(0, 255, 0)}));

    // Destroyed on another thread: the GL objects go at the render thread's next BeginScene.
    std::thread unloader([&] {
        device_->DestroyTexture(texture);
        device_->DestroyVertexBuffer(vertices);
        device_->DestroyIndexBuffer(indices);
        device_->DestroyVertexDeclaration(declaration);
        device_->DestroyVertexShader(vertexShader);
        device_->DestroyPixelShader(pixelShader);
        device_->DestroyRenderSurface(surface);
        device_->DestroyDeviceFont(font);
    });
    unloader.join();
    EXPECT_TRUE(texture == nullptr && device_->BeginScene() && device_->GetAvailableVideoMemory() == availableBefore);

    // Made on the loader thread and destroyed on the render thread before its upload: it leaves
    // the upload queue with it.
    loader = std::thread([&] { texture = device_->CreateTextureFromPixels(4, 4, nullptr, 1, 0); });
    loader.join();
    device_->DestroyTexture(texture);
    EXPECT_TRUE(device_->BeginScene() && device_->GetAvailableVideoMemory() == availableBefore);
}

TEST_F(GLDeviceThreadTest, UpdatesRaceDrawsSafely) {
    std::vector<uint8_t> texels(16 * 16, 0);
    RenderTexture* texture = device_->CreateTexture(16, 16, texels.data(), 0, RenderDevice::kTextureUpdatable);
    ASSERT_NE(texture, nullptr);
    device_->SetTexture(0, texture);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        std::vector<uint8_t> next(16 * 16);
        for (int round = 1; round <= 40; ++round) {
            std::fill(next.begin(), next.end(), uint8_t(round));
            texture->UpdatePixels(next.data());
        }
        done = true;
    });
    int frames = 0;
    while (!done || frames < 5) {
        device_->BeginScene();
        device_->DrawTexturedRect(Rect(0, 0, 1, 1), Rect(0, 0, 16, 16), 0xFFFFFFFF, 0.0f);
        ++frames;
    }
    writer.join();
    device_->BeginScene();
    device_->DrawTexturedRect(Rect(0, 0, 1, 1), Rect(0, 0, 16, 16), 0xFFFFFFFF, 0.0f);
    EXPECT_EQ(PrimaryPixel(4, 4), Rgba(40, 40, 40, 40));
    device_->SetTexture(0, nullptr);
    device_->DestroyTexture(texture);
}

// A shader loading on another thread has its program pairs prepared: they are compiled and linked
// when the render thread's next scene begins, before any draw (a pair that does not compile says
// so then), and a pair one of whose programs goes first is passed over. On the render thread a
// pair is prepared at once.
TEST_F(GLDeviceThreadTest, ProgramPairsPreparedOnALoaderThreadAreLinkedAtTheNextScene) {
    LogCapture log;
    RenderVertexShader* vertex = MakeVertexShader("void main() { gl_Position = a_position; }\n");
    RenderPixelShader* broken = MakePixelShader("void main() { o_color = undefined_colour; }\n");
    RenderPixelShader* gone = MakePixelShader("void main() { o_color = vec4(1.0); }\n");
    std::thread loader([&] {
        device_->PrepareProgram(vertex, broken);
        device_->PrepareProgram(vertex, gone);
    });
    loader.join();
    EXPECT_FALSE(log.Contains(LogPriority::Error, "does not compile"));
    device_->DestroyPixelShader(gone);
    ASSERT_TRUE(device_->BeginScene());
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Pixel program") && log.Count(LogPriority::Error) == 1u);
    device_->EndScene();

    RenderVertexShader* brokenVertex = MakeVertexShader("void main() { gl_Position = undefined_position; }\n");
    log.Clear();
    device_->PrepareProgram(brokenVertex, broken);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Vertex program"));
    device_->DestroyVertexShader(brokenVertex);
    device_->DestroyPixelShader(broken);
    device_->DestroyVertexShader(vertex);
}

// Buffers made on a loader thread while the render thread drains its queue: a buffer is handed to
// the render thread only once it is whole (ThreadSanitizer reports a virtual call on an object
// still under construction otherwise).
TEST_F(GLDeviceThreadTest, BuffersMadeOnALoaderThreadWhileTheRenderThreadDrains) {
    constexpr int kCount = 64;
    std::vector<RenderVertexBuffer*> vertices(kCount, nullptr);
    std::vector<RenderIndexBuffer*> indices(kCount, nullptr);
    std::atomic<bool> done{false};
    std::thread loader([&] {
        for (int i = 0; i < kCount; ++i) {
            vertices[i] = device_->CreateVertexBuffer(0, 64);
            indices[i] = device_->CreateIndexBuffer(6, RenderIndexFormat::Index16);
        }
        done = true;
    });
    while (!done) {
        device_->BeginScene();
        device_->EndScene();
    }
    loader.join();
    ASSERT_TRUE(device_->BeginScene());
    for (int i = 0; i < kCount; ++i) {
        ASSERT_TRUE(vertices[i] && indices[i]);
        device_->DestroyVertexBuffer(vertices[i]);
        device_->DestroyIndexBuffer(indices[i]);
    }
    device_->EndScene();
}

}  // namespace
}  // namespace GAME::test
