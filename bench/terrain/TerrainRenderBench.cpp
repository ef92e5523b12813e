// Frame time of a 1025 x 1025-sample terrain (two layers on rolling hills, 114 x 114 ground
// blocks) seen whole from above on the GL device (offscreen window): the terrain queued through
// the scene renderer and drawn in the ambient style (the solid pass, then each layer over its
// cells), against drawing all its triangles from one 32-bit index buffer over the same vertex
// buffer in one call with one plain shader. Each frame ends by reading one pixel back, so the
// device has finished it.
//
// The water frame: the same terrain with a lake filling its valleys around the middle and a river
// winding across it above the hills, drawn after the ground in the emissive style with the sample
// data's water shaders, against the same frame (both styles drawn) without the water.

#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "render/BenchEngine.h"
#include "SampleNoise.h"
#include "SampleTerrain.h"
#include "SampleWater.h"
#include "core/Frustum.h"
#include "core/Mat4.h"
#include "files/BinaryWriter.h"
#include "files/File.h"
#include "files/FileSystem.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsNoiseGen.h"
#include "render/GraphicsShader2.h"
#include "render/RenderDevice.h"
#include "render/ShaderFileWriter.h"
#include "render/TextureFileWriter.h"
#include "scene/GraphicsSceneRenderer.h"
#include "support/PlainSceneRenderer.h"
#include "terrain/Terrain.h"
#include "terrain/TerrainRenderInterfaceBase.h"
#include "terrain/Water.h"
#include "terrain/WaterLayer.h"
#include "terrain/WaterPath.h"
#include "terrain/WaterTypeManager.h"
#include "world/Region.h"

namespace GAME {
namespace {

constexpr uint32_t kCells = 1024;
constexpr uint32_t kSamples = kCells + 1;

void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    FileSystem& files = *bench::BenchEngine::Get().GetFileSystem();
    File* file = files.OpenFile(name, FileMode::Write);
    if (!file || !file->Write(0, bytes.data(), uint32_t(bytes.size()))) bench::BenchEngine::Fail("cannot write data");
    files.CloseFile(file);
}

std::vector<uint8_t> SolidDds(uint32_t texel) {
    const std::vector<uint32_t> texels(16, texel);
    BinaryWriter writer;
    TextureFileWriter::WriteDDS(writer, 4, 4, texels.data(), 0);
    return std::vector<uint8_t>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
}

std::vector<uint8_t> Text(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

// Positions through "objectToScreenMatrix", one colour.
std::vector<uint8_t> PlainShaderFile() {
    ShaderFileSection section;
    section.generation = "GeForce6";
    section.values = {ShaderFileValue::VertexProgram(R"(
void main() {
    vec4 p = vec4(a_position.xyz, 1.0);
    gl_Position = vec4(dot(vc[0], p), dot(vc[1], p), dot(vc[2], p), dot(vc[3], p));
    v_color = vec4(0.5, 0.4, 0.3, 1.0);
}
)",
                                                     {{0, 4, false, 0}}),
                      ShaderFileValue::PixelProgram("void main() { o_color = v_color; }", {})};
    section.parameters = {{"objectToScreenMatrix", ShaderValueType::Float4x4, 1, ShaderFileParameter::kNoDefault}};
    section.styles = {{"normal",
                       0,
                       {ShaderStateRecord{ShaderStateCode::VertexProgram, 0, true, 0},
                        ShaderStateRecord{ShaderStateCode::PixelProgram, 0, true, 1}}}};
    BinaryWriter writer;
    ShaderFileWriter::Write(writer, {section});
    return std::vector<uint8_t>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
}

// The whole terrain from above: x and z over the window, higher ground nearer.
const Mat4 kFromAbove(2.0f / kCells, 0, 0, -1, 0, 0, -2.0f / kCells, 1, 0, -0.002f, 0, 0.5f, 0, 0, 0, 1);

// The shaders, textures and terrain types, written before the terrain loads its shaders.
bool WriteData() {
    Write(TerrainRenderInterfaceBase::kStandardShader, sample::MakeTerrainShaderFile());
    Write(TerrainRenderInterfaceBase::kLowQualityShader, sample::MakeTerrainShaderFile());
    Write(TerrainRenderInterfaceBase::kGrassShader, sample::MakeGrassShaderFile());
    Write("Bench/Plain.ssh", PlainShaderFile());
    Write("Bench/Grass.dds", SolidDds(0xFF4C8C32u));
    Write("Bench/Rock.dds", SolidDds(0xFF78736Eu));
    Write("Bench/Grass.dbr", Text("Class,TerrainType,\nTextureFileName1,Bench/Grass.dds,\n"));
    Write("Bench/Rock.dbr", Text("Class,TerrainType,\nTextureFileName1,Bench/Rock.dds,\n"));
    return true;
}

struct Scene {
    bool written = WriteData();
    Region region{nullptr, 0, "bench", ABBox(), IntVec3(), RegionId(1, 0, 0, 0)};
    Terrain terrain{&region};
    Frustum frustum;
    const GraphicsShader2* plain = nullptr;
    RenderIndexBuffer* allCells = nullptr;

    static Scene& Get() {
        static Scene* const scene = new Scene();
        return *scene;
    }

private:
    Scene() {
        GraphicsEngine& graphics = *bench::BenchEngine::Get().GetGraphicsEngine();

        terrain.New(kCells, kCells);
        for (uint32_t z = 0; z < kSamples; ++z) {
            for (uint32_t x = 0; x < kSamples; ++x) {
                terrain.SetBaseHeight(x, z, 20.0f * std::sin(float(x) * 0.013f) * std::cos(float(z) * 0.017f));
            }
        }
        terrain.AddDirtyRect(DirtyRect(0, 0, int(kSamples), int(kSamples)));
        terrain.ProcessDirtyRects();
        if (!terrain.AddLayer("Bench/Grass.dbr") || !terrain.AddLayer("Bench/Rock.dbr")) {
            bench::BenchEngine::Fail("no terrain types");
        }
        for (uint32_t z = 0; z < kCells; ++z) {
            for (uint32_t x = 0; x < kCells; ++x) {
                terrain.SetLayerOpacity(1, x, z, uint8_t(std::fabs(terrain.GetHeight(x, z)) > 12.0f ? 255 : 0));
            }
        }
        terrain.UpdateLayerOpacity(1);
        terrain.AddOpacityDirtyRect(DirtyRect(0, 0, int(kCells), int(kCells)));
        terrain.ProcessDirtyOpacityRects();
        const float planes[6][4] = {{1, 0, 0, 1}, {-1, 0, 0, kSamples}, {0, 1, 0, 100},
                                    {0, -1, 0, 100}, {0, 0, 1, 1}, {0, 0, -1, kSamples}};
        for (const auto& p : planes) frustum.AddPlane(Plane(Vec3(p[0], p[1], p[2]), p[3]));

        plain = graphics.LoadShader2("Bench/Plain.ssh");
        allCells = graphics.GetRenderDevice()->CreateIndexBuffer(kCells * kCells * 6, RenderIndexFormat::Index32);
        if (!plain || !allCells) bench::BenchEngine::Fail("no baseline shader or index buffer");
        auto* indices = static_cast<uint32_t*>(allCells->Lock());
        for (uint32_t z = 0; z < kCells; ++z) {
            for (uint32_t x = 0; x < kCells; ++x) {
                const uint32_t v = z * kSamples + x;
                const uint32_t cell[6] = {v + kSamples + 1, v + kSamples, v, v, v + 1, v + kSamples + 1};
                std::copy(cell, cell + 6, indices + (size_t(z) * kCells + x) * 6);
            }
        }
        allCells->Unlock();
    }
};

// The terrain's water: the lake's surface 6 below the middle height, the river 21 up (above every hill).
struct WaterScene {
    bool written = sample::WriteWater(*bench::BenchEngine::Get().GetFileSystem());
    Water water{&Scene::Get().region};

    static WaterScene& Get() {
        static WaterScene* const scene = new WaterScene();
        return *scene;
    }

private:
    WaterScene() {
        Write(GraphicsNoiseGen::kShaderFile, sample::MakeNoiseShaderFile());
        if (!written) bench::BenchEngine::Fail("cannot write the water data");
        for (const char* name : {"Lake", "River"}) WaterTypeManager::Get().CreateWaterType(name);
        water.Initialize(kCells, kCells, &Scene::Get().terrain, bench::BenchEngine::Get().GetGraphicsEngine()->GetRenderDevice());
        WaterLayer* lake = water.AddWaterLayer("Lake", -6.0f);
        if (!lake) bench::BenchEngine::Fail("no lake");
        lake->UpdateArea(Vec3(512, 0, 512), 300.0f, true);
        ControlPoint points[5] = {{20, 100, 150, 0, 0, 0, 12},
                                  {260, 300, 150, 150, 0, 0, 20},
                                  {500, 520, 150, 100, 0, 0, 16},
                                  {760, 700, 200, 0, 0, 0, 24},
                                  {1000, 900, 150, 150, 0, 0, 12}};
        for (ControlPoint& point : points) point.UpdateNormal();
        WaterPath* river = water.AddWaterPath("River", 21.0f, points[0]);
        if (!river) bench::BenchEngine::Fail("no river");
        for (int i = 1; i < 5; ++i) river->AddControlPoint(points[i]);
    }
};

void FinishFrame(GraphicsCanvas& canvas) {
    Pixel pixel;
    canvas.GetRenderDevice().ReadFrameBuffer(&pixel, 1, 1);
}

void BeginFrame(GraphicsCanvas& canvas) {
    canvas.SetDefaultState();
    canvas.ClearRenderSurface(nullptr, Color(0.0f, 0.0f, 0.0f, 1.0f), RenderDevice::kClearColor | RenderDevice::kClearDepth);
}

// The ground through the scene renderer in the ambient style; with emissive, then that style too,
// which holds the water when there is one.
void DrawSceneFrame(GraphicsCanvas& canvas, bool emissive, Water* water) {
    Scene& scene = Scene::Get();
    BeginFrame(canvas);
    test::PlainSceneRenderer renderer;
    renderer.SetWorldToScreenMatrix(kFromAbove);
    scene.terrain.AddToScene(renderer, scene.frustum);
    if (water) water->AddToScene(renderer, scene.frustum);
    renderer.RenderStyle(canvas, SceneStyleNames::Get().ambientLight);
    if (emissive) renderer.RenderStyle(canvas, SceneStyleNames::Get().emissive);
    FinishFrame(canvas);
}

void BM_TerrainFrameFromAbove(benchmark::State& state) {
    GraphicsCanvas& canvas = *bench::BenchEngine::Get().GetGraphicsEngine()->GetCanvas();
    for (auto _ : state) DrawSceneFrame(canvas, false, nullptr);
    state.counters["blocks"] = double(Scene::Get().terrain.GetRenderInterface()->GetBlocks().size());
}
BENCHMARK(BM_TerrainFrameFromAbove)->Unit(benchmark::kMillisecond);

void BM_AllTrianglesOneBufferPlainShader(benchmark::State& state) {
    Scene& scene = Scene::Get();
    GraphicsCanvas& canvas = *bench::BenchEngine::Get().GetGraphicsEngine()->GetCanvas();
    RenderDevice& device = canvas.GetRenderDevice();
    const Name matrix = Name::Create("objectToScreenMatrix");
    for (auto _ : state) {
        BeginFrame(canvas);
        scene.plain->Begin(scene.plain->FindStyleByName(Name::Create("normal")));
        scene.plain->SetFloat4x4(matrix, 0, kFromAbove);
        scene.plain->Render("baseline");
        device.SetStreamSource(0, scene.terrain.GetVertexBuffer(), 0, TerrainBase::kGroundVertexSize);
        device.SetVertexDeclaration(scene.terrain.GetVertexDeclaration());
        device.SetIndices(scene.allCells);
        device.DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, 0, kSamples * kSamples, kCells * kCells * 2, 0, 0);
        scene.plain->End();
        FinishFrame(canvas);
    }
}
BENCHMARK(BM_AllTrianglesOneBufferPlainShader)->Unit(benchmark::kMillisecond);

void GroundAndWaterFrame(benchmark::State& state, bool withWater) {
    Water& water = WaterScene::Get().water;
    GraphicsCanvas& canvas = *bench::BenchEngine::Get().GetGraphicsEngine()->GetCanvas();
    for (auto _ : state) DrawSceneFrame(canvas, true, withWater ? &water : nullptr);
    if (withWater) state.counters["waterElements"] = double(water.GetRenderInterface().GetVisibleElements().size());
}

void BM_FrameWithoutWater(benchmark::State& state) { GroundAndWaterFrame(state, false); }
BENCHMARK(BM_FrameWithoutWater)->Unit(benchmark::kMillisecond);

void BM_FrameWithLakeAndRiver(benchmark::State& state) { GroundAndWaterFrame(state, true); }
BENCHMARK(BM_FrameWithLakeAndRiver)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace GAME
