// Draw submission of 250, 1,000 and 4,000 mesh instances of the sample box on the GL device
// (offscreen window): through the scene renderer (queued, collected, sorted and drawn in
// "ambientLightStyle"), against the same draws issued as raw device calls: the shader's style put
// in place once, then for each instance its matrices, the mesh's buffers and one indexed draw. The
// ratio at each count is the renderer's cost per instance; it should not grow with the count.
// Items are instances drawn.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "SampleData.h"
#include "SampleMeshShaders.h"
#include "SampleMeshes.h"
#include "core/Mat4.h"
#include "files/BinaryWriter.h"
#include "files/FileSystem.h"
#include "render/BenchEngine.h"
#include "render/Camera.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsShader2.h"
#include "render/TextureFileWriter.h"
#include "render/Viewport.h"
#include "scene/GraphicsMeshInstance.h"
#include "scene/GraphicsSceneRenderer.h"
#include "support/PlainSceneRenderer.h"

namespace {

using namespace GAME;

constexpr int kInstances = 4000;
constexpr int kColumns = 80;  // 80 x 50 boxes, 1.5 units apart, the first count of them drawn

struct Boxes {
    std::vector<std::unique_ptr<GraphicsMeshInstance>> instances;
    Camera camera;
    Viewport viewport{0, 0, bench::BenchEngine::kWidth, bench::BenchEngine::kHeight};
    const Name style = Name::Create("ambientLightStyle");

    static Boxes& Get() {
        static Boxes* const boxes = new Boxes();
        return *boxes;
    }

private:
    // The sample meshes and mesh shaders, and the box's texture, in a directory of their own.
    Boxes() {
        Engine& engine = bench::BenchEngine::Get();
        std::string directory = (std::filesystem::temp_directory_path() / "scene-bench-XXXXXX").string();
        FileSystem& files = *engine.GetFileSystem();
        if (::mkdtemp(directory.data()) == nullptr || !files.AddDirectory(directory, true)) std::abort();
        BinaryWriter texture;
        const std::vector<uint32_t> grey(64 * 64, 0xFF808080u);
        TextureFileWriter::WriteDDS(texture, 64, 64, grey.data(), 1);
        if (!sample::WriteMeshes(files) || !sample::WriteMeshShaders(files) ||
            !sample::WriteBytes(files, "Textures/Checker.dds", texture.GetBuffer(), texture.GetPosition())) {
            std::abort();
        }
        camera.SetType(CameraType::Orthographic);
        camera.SetWidth(128.0f);
        camera.SetHeight(80.0f);
        camera.SetCoords(Coords::Translation(Vec3(0.0f, 0.0f, -10.0f)));
        for (int i = 0; i < kInstances; ++i) {
            auto instance = std::make_unique<GraphicsMeshInstance>();
            instance->SetMesh(sample::kBoxMesh);
            instance->GetMesh()->EnsureAvailable();
            const Vec3 at(1.5f * float(i % kColumns - kColumns / 2), 1.5f * float(i / kColumns - 25), 0.0f);
            instance->SetObjectToRegionCoords(Coords::Translation(at));
            instance->UpdateBoundingBox(false);
            instances.push_back(std::move(instance));
        }
    }
};

void BM_SceneRendererDrawsInstances(benchmark::State& state) {
    Boxes& boxes = Boxes::Get();
    const auto count = size_t(state.range(0));
    GraphicsCanvas& canvas = *bench::BenchEngine::Get().GetGraphicsEngine()->GetCanvas();
    int regionKey = 0;
    Region* const region = reinterpret_cast<Region*>(&regionKey);
    for (auto _ : state) {
        test::PlainSceneRenderer renderer;
        renderer.SetViewer(nullptr, boxes.camera, boxes.viewport, Frustum());
        for (size_t i = 0; i < count; ++i) renderer.AddRenderable(boxes.instances[i].get(), region);
        renderer.RenderStyle(canvas, boxes.style);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_SceneRendererDrawsInstances)->Arg(250)->Arg(1000)->Arg(kInstances)->Unit(benchmark::kMicrosecond);

// The baseline: the renderer's draws issued as raw device calls, with every name resolved before
// the loop. The shader's style is begun and rendered once for the first instance, which puts its
// programs, textures, states and every constant in place; each instance then sends only what is
// its own, the two matrices (registers 0-3 "objectToScreenMatrix" and 4-7 "objectToWorldMatrix" of
// the sample mesh shader's vertex program), its buffers and its draw. The renderer's constants for
// the box (colour, opacity, fade) are the same for every instance.
void BM_DeviceDrawsInstances(benchmark::State& state) {
    Boxes& boxes = Boxes::Get();
    const auto count = size_t(state.range(0));
    RenderDevice& device = *bench::BenchEngine::Get().GetGraphicsEngine()->GetRenderDevice();
    const GraphicsMesh& mesh = *boxes.instances.front()->GetMesh();
    GraphicsMesh::MeshRenderInfo info;
    mesh.GetMeshRenderInfo(info);
    const GraphicsShader2& shader = *mesh.GetMaterial(0).shader;
    const uint32_t style = shader.FindStyleByName(boxes.style);
    test::PlainSceneRenderer viewer;
    viewer.SetViewer(nullptr, boxes.camera, boxes.viewport, Frustum());
    const Mat4& worldToScreen = viewer.GetWorldToScreenMatrix();
    constexpr uint32_t kObjectToScreenRegister = 0;
    constexpr uint32_t kObjectToWorldRegister = 4;
    for (auto _ : state) {
        shader.Begin(style);
        mesh.SetShaderParameters(shader, 0);
        shader.SetFloat4(Name::Create("diffuseColor"), 0, 0.5f, 0.5f, 0.5f, 0.0f);
        shader.Render(mesh.GetFileName().c_str());
        for (size_t i = 0; i < count; ++i) {
            const Mat4 world(boxes.instances[i]->GetObjectToRegionCoords());
            const Mat4 screen = worldToScreen * world;
            device.SetVertexDeclaration(info.declaration);
            device.SetStreamSource(0, info.vertexBuffer, 0, info.vertexStride);
            device.SetIndices(info.indexBuffer);
            device.SetVertexShaderConstants(kObjectToScreenRegister, screen.GetData(), 4);
            device.SetVertexShaderConstants(kObjectToWorldRegister, world.GetData(), 4);
            device.DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, 0, info.vertexCount, info.faceCount, 0, 0);
        }
        shader.End();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_DeviceDrawsInstances)->Arg(250)->Arg(1000)->Arg(kInstances)->Unit(benchmark::kMicrosecond);

}  // namespace
