// Draw calls per second through the GL device against the same work in raw OpenGL calls: small
// indexed draws (a 4 x 4 pixel quad) with a 4-register constant upload before each. The raw
// version runs in a context of its own on the same window, with plain uniforms, the cheapest way
// GL offers. Both wait for the renderer every 1024 draws, so queued work is paid for.

#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>
#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>

#include "core/Mat4.h"
#include "render/RenderDevice.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using namespace GAME;

constexpr int kSize = 256;
constexpr int kFinishEvery = 1024;

struct Vertex {
    float x, y, z;
};
// A quad of 4 x 4 pixels at the target's top-left.
constexpr float kQuadSize = 8.0f / kSize;
const Vertex kQuad[4] = {{-1, 1, 0.5f}, {-1 + kQuadSize, 1, 0.5f}, {-1, 1 - kQuadSize, 0.5f},
                         {-1 + kQuadSize, 1 - kQuadSize, 0.5f}};
const uint16_t kIndices[6] = {0, 1, 2, 2, 1, 3};

// The window, the device and everything the device draws with, made once.
struct Scene {
    SDL_Window* window = nullptr;
    RenderDevice* device = nullptr;
    RenderSurface* primary = nullptr;
    RenderVertexShader* vertexShader = nullptr;
    RenderPixelShader* pixelShader = nullptr;
    RenderVertexDeclaration* declaration = nullptr;
    RenderVertexBuffer* vertices = nullptr;
    RenderIndexBuffer* indices = nullptr;

    static Scene& Get() {
        static Scene scene;
        return scene;
    }

private:
    Scene() {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        if (SDL_Init(SDL_INIT_VIDEO) != 0) {
            std::fprintf(stderr, "SDL video does not start: %s\n", SDL_GetError());
            std::exit(1);
        }
        window = SDL_CreateWindow("bench", 0, 0, kSize, kSize, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        device = window != nullptr ? RenderDevice::Create("GLDevice") : nullptr;
        RenderDeviceSettings settings;
        settings.width = kSize;
        settings.height = kSize;
        primary = device != nullptr ? device->CreatePrimarySurface(window, settings) : nullptr;
        if (primary == nullptr) {
            std::fprintf(stderr, "no GL device\n");
            std::exit(1);
        }
        const std::string vs = R"(
void main() {
    gl_Position = vec4(dot(vc[0], a_position), dot(vc[1], a_position), dot(vc[2], a_position),
                       dot(vc[3], a_position));
}
)";
        const std::string ps = "void main() { o_color = vec4(1.0, 0.5, 0.25, 1.0); }\n";
        vertexShader = device->CreateVertexShader(vs.data(), uint32_t(vs.size()));
        pixelShader = device->CreatePixelShader(ps.data(), uint32_t(ps.size()));
        const RenderVertexElement layout[] = {{0, RenderVertexUsage::Position, RenderVertexElementType::Float3}};
        declaration = device->CreateVertexDeclaration(layout, 1);
        vertices = device->CreateVertexBuffer(0, sizeof(kQuad));
        std::memcpy(vertices->Lock(0, 0, 0), kQuad, sizeof(kQuad));
        vertices->Unlock();
        indices = device->CreateIndexBuffer(6, RenderIndexFormat::Index16);
        std::memcpy(indices->Lock(), kIndices, sizeof(kIndices));
        indices->Unlock();
    }
};

// A translation that changes every draw, so every upload carries new values.
Mat4 MatrixFor(int64_t draw) {
    const float x = float(draw & 63) * (1.5f / 64.0f);
    return Mat4(1, 0, 0, x, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
}

void BM_DeviceDrawsWithConstants(benchmark::State& state) {
    Scene& scene = Scene::Get();
    RenderDevice& device = *scene.device;
    device.BeginScene();
    device.SetVertexShader(scene.vertexShader);
    device.SetPixelShader(scene.pixelShader);
    device.SetVertexDeclaration(scene.declaration);
    device.SetStreamSource(0, scene.vertices, 0, sizeof(Vertex));
    device.SetIndices(scene.indices);
    int64_t draws = 0;
    for (auto _ : state) {
        const Mat4 matrix = MatrixFor(draws);
        device.SetVertexShaderConstants(0, matrix.GetData(), 4);
        device.DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, 0, 4, 2, 0, 0);
        if (++draws % kFinishEvery == 0) {
            glFinish();
            device.BeginScene();
        }
    }
    glFinish();
    state.SetItemsProcessed(draws);
}
BENCHMARK(BM_DeviceDrawsWithConstants);

void BM_DeviceDrawsOnly(benchmark::State& state) {
    Scene& scene = Scene::Get();
    RenderDevice& device = *scene.device;
    int64_t draws = 0;
    const Mat4 matrix = MatrixFor(draws);
    device.SetVertexShaderConstants(0, matrix.GetData(), 4);
    for (auto _ : state) {
        device.DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, 0, 4, 2, 0, 0);
        if (++draws % kFinishEvery == 0) {
            glFinish();
        }
    }
    glFinish();
    state.SetItemsProcessed(draws);
}
BENCHMARK(BM_DeviceDrawsOnly);

GLuint Compile(GLenum stage, const char* source) {
    const GLuint shader = glCreateShader(stage);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    return shader;
}

void BM_RawGLDrawsWithConstants(benchmark::State& state) {
    Scene& scene = Scene::Get();
    SDL_GLContext deviceContext = SDL_GL_GetCurrentContext();
    SDL_GLContext raw = SDL_GL_CreateContext(scene.window);
    SDL_GL_MakeCurrent(scene.window, raw);
    const GLuint program = glCreateProgram();
    const GLuint vs = Compile(GL_VERTEX_SHADER, R"(#version 330 core
uniform vec4 m[4];
layout(location = 0) in vec4 position;
void main() {
    vec4 p = vec4(dot(m[0], position), dot(m[1], position), dot(m[2], position), dot(m[3], position));
    gl_Position = vec4(p.x, -p.y, 2.0 * p.z - p.w, p.w);
}
)");
    const GLuint fs = Compile(GL_FRAGMENT_SHADER, R"(#version 330 core
out vec4 color;
void main() { color = vec4(1.0, 0.5, 0.25, 1.0); }
)");
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glLinkProgram(program);
    const GLint matrixLocation = glGetUniformLocation(program, "m");
    GLuint framebuffer = 0, color = 0, vertexArray = 0, buffers[2] = {};
    glGenTextures(1, &color);
    glBindTexture(GL_TEXTURE_2D, color);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kSize, kSize, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, color, 0);
    glViewport(0, 0, kSize, kSize);
    glGenVertexArrays(1, &vertexArray);
    glBindVertexArray(vertexArray);
    glGenBuffers(2, buffers);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    glBufferData(GL_ARRAY_BUFFER, sizeof(kQuad), kQuad, GL_STATIC_DRAW);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex), nullptr);
    glEnableVertexAttribArray(0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof(kIndices), kIndices, GL_STATIC_DRAW);
    glUseProgram(program);
    int64_t draws = 0;
    for (auto _ : state) {
        const Mat4 matrix = MatrixFor(draws);
        glUniform4fv(matrixLocation, 4, matrix.GetData());
        glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_SHORT, nullptr);
        if (++draws % kFinishEvery == 0) {
            glFinish();
        }
    }
    glFinish();
    state.SetItemsProcessed(draws);
    glDeleteBuffers(2, buffers);
    glDeleteVertexArrays(1, &vertexArray);
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(1, &color);
    glDeleteProgram(program);
    glDeleteShader(vs);
    glDeleteShader(fs);
    SDL_GL_MakeCurrent(scene.window, deviceContext);
    SDL_GL_DeleteContext(raw);
}
BENCHMARK(BM_RawGLDrawsWithConstants);

}  // namespace
