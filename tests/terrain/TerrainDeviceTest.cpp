// The editable terrain's device resources with the engine started headless on the recording
// device: the ground mesh follows height edits, the layers' opacity textures follow painting, and
// both survive a device reset.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "SampleTerrain.h"
#include "core/Frustum.h"
#include "core/Singleton.h"
#include "core/Sphere.h"
#include "files/BaseResourceManager.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "render/DebugRenderManager.h"
#include "render/GraphicsEngine.h"
#include "render/RenderDevice.h"
#include "scene/GraphicsSceneRenderer.h"
#include "scene/RenderablePass.h"
#include "support/LogCapture.h"
#include "support/PlainSceneRenderer.h"
#include "support/RecordingDevice.h"
#include "support/RecordingEngineTest.h"
#include "support/RecordingResources.h"
#include "terrain/Terrain.h"
#include "terrain/TerrainPlug.h"
#include "terrain/TerrainRT.h"
#include "terrain/TerrainRenderInterfaceBase.h"
#include "world/Region.h"

namespace GAME::test {
namespace {

constexpr const char* kGrass = "Records/Terrain/Grass.dbr";

class TerrainDeviceTest : public RecordingEngineTest {
protected:
    void SetUp() override {
        directory.WriteFile(kGrass, "Class,TerrainType,\nsurfaceType,Grass,\n");
        const std::vector<uint8_t> shader = sample::MakeTerrainShaderFile();
        for (const char* name :
             {TerrainRenderInterfaceBase::kStandardShader, TerrainRenderInterfaceBase::kLowQualityShader})
            directory.WriteFile(name, std::string(shader.begin(), shader.end()));
        StartEngine();
    }
    void TearDown() override {
        drawn.reset();
        terrain.Unload();
        RecordingEngineTest::TearDown();
    }

    // Vertex (x, z) of the ground mesh: position, then normal.
    Vec3 Vertex(unsigned x, unsigned z, bool normal = false) const {
        const auto* buffer = static_cast<const RecordingVertexBuffer*>(terrain.GetVertexBuffer());
        float values[6];
        std::memcpy(values, buffer->GetData().data() + (size_t(z) * terrain.GetNumXSamples() + x) * Terrain::kVertexSize,
                    sizeof(values));
        return normal ? Vec3(values[3], values[4], values[5]) : Vec3(values[0], values[1], values[2]);
    }
    const std::vector<uint8_t>& Texels(unsigned layer) const {
        return static_cast<const RecordingTexture*>(terrain.GetLayerOpacityTexture(layer))->GetTexels();
    }

    RecordingDevice& Device() const {
        return *static_cast<RecordingDevice*>(engine.GetGraphicsEngine()->GetRenderDevice());
    }
    // One frame of the drawn terrain inside the box, in the ambient style.
    void DrawFrame(const ABBox& view) {
        test::PlainSceneRenderer renderer;
        drawn->AddToScene(renderer, Frustum::FromBox(view));
        renderer.RenderStyle(*engine.GetGraphicsEngine()->GetCanvas(), SceneStyleNames::Get().ambientLight);
    }
    // The index counts of the frame's draws (three indices a primitive).
    std::vector<uint32_t> DrawnIndexCounts() const {
        std::vector<uint32_t> counts;
        for (const std::string& call : Device().GetCalls("DrawIndexedPrimitive")) {
            // DrawIndexedPrimitive(type, baseVertex, vertexCount, primitiveCount, ...)
            size_t at = call.find('(');
            for (int comma = 0; comma < 3; ++comma) at = call.find(',', at) + 1;
            counts.push_back(uint32_t(std::stoul(call.substr(at))) * 3);
        }
        return counts;
    }

    Terrain terrain{nullptr};
    // A terrain made once the engine runs, so that it has its shaders, in a region to be drawn in.
    Region region{nullptr, 0, "r", ABBox(), IntVec3(0, 0, 0), RegionId(1, 0, 0, 0)};
    std::unique_ptr<Terrain> drawn;
};

TEST_F(TerrainDeviceTest, TheGroundMeshAndOpacityTexturesFollowEditsAndResets) {
    ASSERT_TRUE(terrain.New(16, 16));
    ASSERT_NE(terrain.GetVertexBuffer(), nullptr);
    ASSERT_NE(terrain.GetVertexDeclaration(), nullptr);
    EXPECT_EQ(static_cast<const RecordingVertexBuffer*>(terrain.GetVertexBuffer())->GetData().size(), 17u * 17u * 24u);
    EXPECT_EQ(Vertex(3, 5), Vec3(3, 0, 5));
    EXPECT_EQ(Vertex(3, 5, true), Vec3(0, 1, 0));

    // One sample raised: its vertex moves, its neighbours' normals tilt, the rest stays.
    terrain.SetBaseHeight(3, 5, 2.0f);
    terrain.AddDirtyRect(DirtyRect(3, 5, 1, 1));
    EXPECT_EQ(Vertex(3, 5), Vec3(3, 0, 5));
    terrain.Update(nullptr, 0, 0);
    EXPECT_EQ(Vertex(3, 5), Vec3(3, 2, 5));
    EXPECT_EQ(Vertex(4, 5, true), terrain.GetFastNormal(4, 5));
    EXPECT_LT(Vertex(4, 5, true).y, 0.99f);
    EXPECT_EQ(Vertex(3, 4, true), terrain.GetFastNormal(3, 4));
    EXPECT_EQ(Vertex(5, 5, true), Vec3(0, 1, 0));

    ASSERT_TRUE(terrain.AddLayer(kGrass));
    ASSERT_TRUE(terrain.AddLayer(kGrass));
    const RenderTexture* texture = terrain.GetLayerOpacityTexture(1);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->GetWidth(), 16);
    EXPECT_EQ(texture->GetHeight(), 16);
    EXPECT_EQ(Texels(0), std::vector<uint8_t>(256, 255));
    EXPECT_EQ(Texels(1), std::vector<uint8_t>(256, 0));
    terrain.SetLayerOpacity(1, 7, 2, 90);
    EXPECT_EQ(Texels(1)[2 * 16 + 7], 0);
    terrain.UpdateLayerOpacity(1);
    EXPECT_EQ(Texels(1)[2 * 16 + 7], 90);

    terrain.PreDeviceReset();
    EXPECT_EQ(terrain.GetVertexBuffer(), nullptr);
    EXPECT_EQ(terrain.GetLayerOpacityTexture(1), nullptr);
    terrain.PostDeviceReset();
    ASSERT_NE(terrain.GetLayerOpacityTexture(1), nullptr);
    EXPECT_EQ(Texels(1)[2 * 16 + 7], 90);
    ASSERT_NE(terrain.GetVertexBuffer(), nullptr);
    EXPECT_EQ(Vertex(3, 5), Vec3(3, 2, 5));
}

// The cells of the ground passes are written into index buffers kept between frames: a frame that
// sees what the last one saw writes no index, and hiding a sample, painting a layer or a change of
// the blocks in view makes the lists again.
TEST_F(TerrainDeviceTest, TheGroundsCellListsAreKeptWhileNothingChanges) {
    drawn = std::make_unique<Terrain>(&region);
    Terrain& ground = *drawn;
    ASSERT_TRUE(ground.New(16, 16));  // 2 x 2 blocks of 9 x 9 cells (the last row and column 7)
    ASSERT_TRUE(ground.AddLayer(kGrass));
    ASSERT_TRUE(ground.AddLayer(kGrass));
    const ABBox whole(Vec3(8, 0, 8), Vec3(20, 20, 20));
    const ABBox firstBlock(Vec3(4, 0, 4), Vec3(4, 20, 4));
    Device().ClearCalls();
    DrawFrame(firstBlock);
    // The solid pass and the base layer: the block's 81 cells; the second layer shows nowhere.
    EXPECT_EQ(DrawnIndexCounts(), (std::vector<uint32_t>{81 * 6, 81 * 6}));
    EXPECT_EQ(Device().CountCalls("CreateIndexBuffer"), 2u);

    // More blocks in view: every cell, in larger buffers that replace the first two.
    Device().ClearCalls();
    DrawFrame(whole);
    EXPECT_EQ(DrawnIndexCounts(), (std::vector<uint32_t>{256 * 6, 256 * 6}));
    EXPECT_EQ(Device().CountCalls("CreateIndexBuffer"), 2u);
    EXPECT_EQ(Device().CountCalls("DestroyIndexBuffer"), 2u);

    Device().ClearCalls();
    DrawFrame(whole);
    EXPECT_EQ(DrawnIndexCounts(), (std::vector<uint32_t>{256 * 6, 256 * 6}));
    EXPECT_EQ(Device().CountCalls("CreateIndexBuffer"), 0u);
    EXPECT_EQ(Device().CountCalls("Lock"), 0u);
    EXPECT_EQ(ground.GetRenderInterface()->GetRenderPassBoundingBox().GetMax(), Vec3(16, 0, 16));  // the blocks'

    // A hidden sample takes its cell out of both lists, which fit their buffers still.
    ground.SetInvisible(3, 3, true);
    Device().ClearCalls();
    DrawFrame(whole);
    EXPECT_EQ(DrawnIndexCounts(), (std::vector<uint32_t>{255 * 6, 255 * 6}));
    EXPECT_EQ(Device().CountCalls("CreateIndexBuffer"), 0u);
    EXPECT_EQ(Device().CountCalls("Lock"), 2u);

    // Painting the second layer over four cells gives it a list of its own.
    for (unsigned z = 10; z < 12; ++z)
        for (unsigned x = 10; x < 12; ++x) ground.SetLayerOpacity(1, x, z, 255);
    ground.UpdateLayerOpacity(1);
    ground.AddOpacityDirtyRect(DirtyRect(10, 10, 2, 2));
    ground.ProcessDirtyOpacityRects();
    Device().ClearCalls();
    DrawFrame(whole);
    const std::vector<uint32_t> painted = DrawnIndexCounts();
    ASSERT_EQ(painted.size(), 3u);
    EXPECT_EQ(painted[0], 255u * 6);
    EXPECT_GE(painted[2], 4u * 6);  // the painted cells and the rim they blend into
    EXPECT_EQ(Device().CountCalls("CreateIndexBuffer"), 1u);

    // Only the first block in view: its 81 cells less the hidden one.
    Device().ClearCalls();
    DrawFrame(firstBlock);
    EXPECT_EQ(DrawnIndexCounts().front(), 80u * 6);
    Device().ClearCalls();
    DrawFrame(whole);
    EXPECT_EQ(DrawnIndexCounts(), painted);

    // A pass lit by a point light draws the blocks the light reaches, through the canvas's
    // dynamic buffer: here the first block only.
    {
        test::PlainSceneRenderer renderer;
        ground.AddToScene(renderer, Frustum::FromBox(whole));
        mem::vector<RenderablePass> passes;
        const Sphere light(Vec3(2, 0, 2), 3.0f);
        renderer.CollectPasses(passes, SceneStyleNames::Get().ambientLight, -1, 3, &light);
        Device().ClearCalls();
        renderer.RenderPasses(*engine.GetGraphicsEngine()->GetCanvas(), passes, SceneStyleNames::Get().ambientLight);
        EXPECT_EQ(DrawnIndexCounts(), (std::vector<uint32_t>{80 * 6, 80 * 6}));
        EXPECT_EQ(Device().CountCalls("CreateIndexBuffer"), 0u);
    }

    // A device reset lets the buffers go; the next frame makes them again.
    ground.PreDeviceReset();
    ground.PostDeviceReset();
    Device().ClearCalls();
    DrawFrame(whole);
    EXPECT_EQ(DrawnIndexCounts(), painted);
    EXPECT_EQ(Device().CountCalls("CreateIndexBuffer"), 3u);
    drawn.reset();
}

TEST_F(TerrainDeviceTest, TheRunTimeTerrainMakesTheSameGroundMeshAndItsOwnTextures) {
    ASSERT_TRUE(terrain.New(16, 16));
    terrain.SetBaseHeight(3, 5, 2.0f);
    terrain.AddDirtyRect(DirtyRect(3, 5, 1, 1));
    ASSERT_TRUE(terrain.AddLayer(kGrass));
    ASSERT_TRUE(terrain.AddLayer(kGrass));
    terrain.SetLayerOpacity(1, 7, 2, 90);
    terrain.SetLayerOpacity(1, 8, 2, 20);
    terrain.Update(nullptr, 0, 0);
    for (int x = 10; x <= 12; ++x) terrain.SetInvisible(x, 10, true);
    DirtyRectSet hole;
    hole.AddRect(DirtyRect(9, 9, 5, 3));
    terrain.BuildPlugs(hole);
    BinaryWriter writer(4096);
    terrain.SaveRunTimeFormat(writer);
    TerrainRT runTime(nullptr);
    BinaryReader reader(writer.GetBuffer(), writer.GetPosition());
    ASSERT_TRUE(runTime.Load(reader, 14));
    EXPECT_EQ(runTime.GetVertexBuffer(), nullptr);  // made with the render data
    // The plugs read make their buffers at once.
    mem::vector<TerrainObject*> objects;
    runTime.GetAllObjects(objects);
    int plugs = 0;
    for (const TerrainObject* object : objects) {
        if (!object->GetRTTIClassInfo()->IsA(&TerrainPlug::classInfo)) continue;
        EXPECT_TRUE(static_cast<const TerrainPlug*>(object)->HasRenderData());
        ++plugs;
    }
    EXPECT_GT(plugs, 0);
    ASSERT_TRUE(runTime.LoadRenderData());
    ASSERT_TRUE(runTime.HasLoadedRenderData());

    const auto vertices = [](const RenderVertexBuffer* buffer) -> const std::vector<uint8_t>& {
        return static_cast<const RecordingVertexBuffer*>(buffer)->GetData();
    };
    ASSERT_NE(runTime.GetVertexBuffer(), nullptr);
    EXPECT_EQ(vertices(runTime.GetVertexBuffer()), vertices(terrain.GetVertexBuffer()));
    EXPECT_EQ(runTime.GetVertexDeclaration()->GetStride(), 24u);
    // Quad q of the grass: 4q, 4q + 3, 4q + 2, 4q + 2, 4q + 1, 4q, for 350 quads.
    const auto* indices = static_cast<const RecordingIndexBuffer*>(runTime.GetGrassIndexBuffer());
    ASSERT_NE(indices, nullptr);
    EXPECT_EQ(indices->GetCount(), 2100u);
    const uint32_t quad[6] = {4, 7, 6, 6, 5, 4};
    for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(indices->GetIndex(6 + i), quad[i]);
    EXPECT_EQ(indices->GetIndex(2099), 4u * 349);

    // The base layer: 8 x 8 opaque; the painted layer: A opacity, R 4 (127 - opacity) clamped.
    const auto texels = [&runTime](unsigned layer) -> const std::vector<uint8_t>& {
        return static_cast<const RecordingTexture*>(runTime.GetLayerOpacityTexture(layer))->GetTexels();
    };
    ASSERT_NE(runTime.GetLayerOpacityTexture(0), nullptr);
    EXPECT_EQ(runTime.GetLayerOpacityTexture(0)->GetWidth(), 8);
    EXPECT_EQ(texels(0), std::vector<uint8_t>(64, 0xFF));
    ASSERT_EQ(texels(1).size(), 16u * 16u * 4u);
    const auto texel = [&](unsigned x, unsigned z) {
        const uint8_t* bytes = texels(1).data() + (z * 16 + x) * 4;
        uint32_t value = 0;
        std::memcpy(&value, bytes, 4);
        return value;
    };
    EXPECT_EQ(texel(7, 2), 90u << 24 | 148u << 16);
    EXPECT_EQ(texel(8, 2), 20u << 24 | 255u << 16);
    EXPECT_EQ(texel(0, 0), 255u << 16);

    // A reset makes the same resources again.
    const std::vector<uint8_t> before = texels(1);
    runTime.PreDeviceReset();
    EXPECT_EQ(runTime.GetLayerOpacityTexture(1), nullptr);
    EXPECT_EQ(runTime.GetVertexBuffer(), nullptr);
    EXPECT_EQ(runTime.GetGrassIndexBuffer(), nullptr);
    runTime.PostDeviceReset();
    ASSERT_NE(runTime.GetLayerOpacityTexture(1), nullptr);
    EXPECT_EQ(texels(1), before);
    EXPECT_EQ(vertices(runTime.GetVertexBuffer()), vertices(terrain.GetVertexBuffer()));
    EXPECT_NE(runTime.GetGrassIndexBuffer(), nullptr);
}

// Buffers that refuse to lock are not written through: the ground meshes say so, and a plug goes
// without its buffers. Buffers that cannot be made leave the grounds without meshes.
TEST_F(TerrainDeviceTest, BuffersThatCannotBeMadeOrLockedAreNotWrittenThrough) {
    LogCapture log;
    Device().Script().failLocks = true;
    ASSERT_TRUE(terrain.New(16, 16));
    EXPECT_EQ(log.Count(LogPriority::Error), 1u);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Couldn't lock terrain vertex buffer"));
    for (int x = 4; x <= 6; ++x) terrain.SetInvisible(x, 4, true);
    DirtyRectSet hole;
    hole.AddRect(DirtyRect(3, 3, 5, 3));
    terrain.BuildPlugs(hole);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "TerrainPlug: couldn't make the render data"));
    mem::vector<TerrainObject*> objects;
    terrain.GetAllObjects(objects);
    for (const TerrainObject* object : objects) {
        if (object->GetRTTIClassInfo()->IsA(&TerrainPlug::classInfo)) {
            EXPECT_FALSE(static_cast<const TerrainPlug*>(object)->HasRenderData());
        }
    }
    BinaryWriter writer(4096);
    terrain.SaveRunTimeFormat(writer);
    TerrainRT runTime(nullptr);
    BinaryReader reader(writer.GetBuffer(), writer.GetPosition());
    ASSERT_TRUE(runTime.Load(reader, 14));
    log.Clear();
    runTime.LoadRenderData();
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Couldn't lock terrain vertex buffer"));

    // Buffers that cannot be made at all: the grounds go without their meshes.
    Device().Script().failCreates = true;
    log.Clear();
    ASSERT_TRUE(terrain.New(16, 16));
    runTime.PreDeviceReset();
    runTime.PostDeviceReset();
    EXPECT_EQ(log.Count(LogPriority::Error), 3u);  // the two ground meshes and the run-time plug
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Couldn't create terrain vertex buffer"));
    EXPECT_EQ(terrain.GetGrassIndexBuffer(), nullptr);
    EXPECT_EQ(runTime.GetGrassIndexBuffer(), nullptr);
    // The grass's index buffer alone refused: the ground is made without it.
    Device().Script() = {};
    Device().Script().failIndexBuffers = true;
    ASSERT_TRUE(terrain.New(16, 16));
    EXPECT_NE(terrain.GetVertexBuffer(), nullptr);
    EXPECT_EQ(terrain.GetGrassIndexBuffer(), nullptr);
}

// The impassable debug shader's references as the shader manager counts them: one for the
// terrain's life, one more while it has samples, each given back once.
TEST_F(TerrainDeviceTest, TheImpassableShaderIsHeldForTheTerrainsLifeAndWhileItHasSamples) {
    BaseResourceManager& shaders = *engine.GetGraphicsEngine()->GetShaderResourceManager();
    const auto references = [&shaders]() {
        char* text = nullptr;
        size_t size = 0;
        FILE* file = open_memstream(&text, &size);
        shaders.WriteResourceLog("shaders", file);
        std::fclose(file);
        std::istringstream lines(std::string(text, size));
        std::free(text);
        std::string name;
        int count = 0;
        for (std::string line; std::getline(lines, line);) {
            std::istringstream fields(line);
            if (fields >> name >> count && name == Terrain::kImpassableShader) return count;
        }
        return 0;
    };
    auto editable = std::make_unique<Terrain>(nullptr);
    ASSERT_NE(editable->GetImpassableShader(), nullptr);
    EXPECT_EQ(references(), 1);
    ASSERT_TRUE(editable->New(8, 8));
    EXPECT_EQ(references(), 2);
    editable->Unload();
    editable->Unload();
    EXPECT_EQ(references(), 1);

    BinaryWriter writer(1024);
    ASSERT_TRUE(editable->New(4, 4));
    editable->Save(writer);
    ASSERT_TRUE(editable->New(2, 2));
    EXPECT_EQ(references(), 2);
    BinaryReader reader(writer.GetBuffer(), writer.GetPosition());
    ASSERT_TRUE(editable->Load(reader, 14));
    EXPECT_EQ(references(), 2);
    editable.reset();
    EXPECT_EQ(references(), 0);

    // A terrain that outlives the engine's graphics gives back nothing when it goes.
    editable = std::make_unique<Terrain>(nullptr);
    ASSERT_TRUE(editable->New(4, 4));
    engine.Shutdown();
    editable.reset();
}

// The editor's switches: the plugs leave the scene while their drawing is off, and with the
// texture complexity shown every cell in view gets a label.
TEST_F(TerrainDeviceTest, PlugsAndLayerCountsFollowTheEditorsSwitches) {
    drawn = std::make_unique<Terrain>(&region);
    Terrain& ground = *drawn;
    ASSERT_TRUE(ground.New(16, 16));
    for (int z = 4; z <= 8; ++z) {
        for (int x = 4; x <= 8; ++x) ground.SetInvisible(x, z, true);
    }
    DirtyRectSet hole;
    hole.AddRect(DirtyRect(3, 3, 7, 7));
    ground.BuildPlugs(hole);
    mem::vector<TerrainObject*> objects;
    ground.GetAllObjects(objects);
    const auto isPlug = [](const TerrainObject* object) { return object->GetRTTIClassInfo()->IsA(&TerrainPlug::classInfo); };
    const auto plugs = std::count_if(objects.begin(), objects.end(), isPlug);
    ASSERT_GT(plugs, 0);
    // A device reset takes the plugs' buffers and gives them back.
    auto* plug = static_cast<TerrainPlug*>(*std::find_if(objects.begin(), objects.end(), isPlug));
    ground.PreDeviceReset();
    EXPECT_FALSE(plug->HasRenderData());
    plug->PostDeviceReset();  // back before the ground's mesh: not drawn without it, as the ground
    DrawFrame(ABBox(Vec3(8, 0, 8), Vec3(20, 20, 20)));
    EXPECT_TRUE(Device().GetCalls("DrawIndexedPrimitive").empty());
    ground.PostDeviceReset();
    EXPECT_TRUE(plug->HasRenderData());
    // Drawn, a plug's triangles start at its first vertex.
    Device().ClearCalls();
    DrawFrame(ABBox(Vec3(8, 0, 8), Vec3(20, 20, 20)));
    const std::vector<std::string> draws = Device().GetCalls("DrawIndexedPrimitive");
    const unsigned triangles = plug->GetNumTriangles();
    EXPECT_EQ(std::count(draws.begin(), draws.end(), "DrawIndexedPrimitive(0, 0, " + std::to_string(3 * triangles) + ", " +
                                                         std::to_string(triangles) + ", 0, 0)"),
              1);
    const Frustum all = Frustum::FromBox(ABBox(Vec3(8, 0, 8), Vec3(100, 100, 100)));
    const Name& emissive = SceneStyleNames::Get().emissive;
    const auto passes = [&]() {
        PlainSceneRenderer renderer;
        ground.AddToScene(renderer, all);
        return renderer.GetNumPassesWithStyle(emissive);
    };
    EXPECT_TRUE(ground.DrawsPlugs());
    const int ground3 = 3;  // the render interface's solid, ground and grass passes
    EXPECT_EQ(passes(), ground3 + int(plugs));
    ground.EnablePlugRendering(false);
    EXPECT_EQ(passes(), ground3);
    ground.EnablePlugRendering(true);

    DebugRenderManager& debug = *Singleton<DebugRenderManager>::Get();
    const size_t queued = debug.GetNumQueued();
    passes();
    EXPECT_EQ(debug.GetNumQueued(), queued);
    ground.ShowTextureComplexity(true);
    passes();
    EXPECT_EQ(debug.GetNumQueued(), queued + 16 * 16);
}

}  // namespace
}  // namespace GAME::test
