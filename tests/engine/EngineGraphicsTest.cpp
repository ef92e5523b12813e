// The engine's graphics: made at start-up on the recording device, drawn by Render, told about
// device resets around the reset objects, released at shutdown; a device that cannot start is
// fatal.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "TestEngine.h"
#include "TestRecords.h"
#include "core/FatalError.h"
#include "core/Singleton.h"
#include "engine/Actor.h"
#include "files/BaseResourceManager.h"
#include "files/LoadTable.h"
#include "files/ResourceLoader.h"
#include "render/DebugRenderManager.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsShader2.h"
#include "render/GraphicsTexture.h"
#include "render/ResetObject.h"
#include "scene/GraphicsMesh.h"
#include "scene/GraphicsMeshInstance.h"
#include "support/TempDirectory.h"
#include "world/FogOfWar.h"
#include "world/Region.h"
#include "world/World.h"
#include "world/WorldFrustum.h"

namespace GAME::test {
namespace {

TestRecords::Files RecordsWithText() {
    TestRecords::Files files = TestRecords::Standard();
    files.push_back({"Text/English.txt", "tagHello=Hello\n"});
    return files;
}

class EngineGraphicsTest : public ::testing::Test {
protected:
    EngineGraphicsTest() : records(RecordsWithText()) { engine.SetLogPath(user.Join("Logs")); }

    bool Start(const GraphicsEngineSettings& settings = TestEngine::MakeHeadlessGraphicsSettings()) {
        return engine.Initialize(nullptr, settings, true, false, &records.GetFileSystem());
    }

    TempDirectory user;
    TestRecords records;
    TestEngine engine;
};

TEST_F(EngineGraphicsTest, TheGraphicsEngineRunsFromStartUpToShutdown) {
    EXPECT_EQ(engine.GetGraphicsEngine(), nullptr);
    ASSERT_TRUE(Start());
    GraphicsEngine* graphics = engine.GetGraphicsEngine();
    ASSERT_NE(graphics, nullptr);
    ASSERT_NE(graphics->GetRenderDevice(), nullptr);
    EXPECT_NE(graphics->GetCanvas(), nullptr);
    EXPECT_NE(graphics->GetBasicShader(), nullptr);
    EXPECT_TRUE(engine.GetLog().Contains(LogPriority::Info, "Graphics engine initialized successfully"));
    for (int i = 0; i < 3; ++i) {
        engine.Update(WorldFrustum(), true);
        engine.Render();
        engine.PresentSurface();
    }
    engine.Shutdown();
    EXPECT_EQ(engine.GetGraphicsEngine(), nullptr);
    EXPECT_EQ(engine.GetLog().Count(LogPriority::Error), 0u);
}

// Notes, when it is told, whether the graphics engine's shared textures and a region's fog
// texture are there.
class ResetWitness : public ResetObject {
public:
    explicit ResetWitness(const FogOfWar& watched) : fog(watched) {}
    std::pair<bool, bool> Textures() const {
        return {gEngine->GetGraphicsEngine()->GetDefaultTexture() != nullptr, fog.GetTexture() != nullptr};
    }
    void PreDeviceReset() override { atPre = Textures(); }
    void PostDeviceReset() override { atPost = Textures(); }
    const FogOfWar& fog;
    std::pair<bool, bool> atPre, atPost;
};

// Before a reset the graphics engine, then the world, then the reset objects let go; after it
// the reset objects, then the world, then the graphics engine make theirs again.
TEST_F(EngineGraphicsTest, TheGraphicsEngineGoesFirstBeforeAResetAndLastAfterItTheWorldNextToIt) {
    ASSERT_TRUE(Start());
    World& world = *engine.GetWorld();
    const int plain = world.AddRegion("Plain", IntVec3(), ABBox(Vec3(64, 0, 64), Vec3(64, 10, 64)), RegionId());
    ResetWitness witness(*world.GetRegion(plain)->GetFogOfWar(false));
    engine.RegisterResetObject(&witness);
    engine.PreDeviceReset();
    engine.PostDeviceReset();
    engine.UnregisterResetObject(&witness);
    const std::pair<bool, bool> none(false, false);
    EXPECT_EQ(std::tuple(witness.atPre, witness.atPost, witness.Textures()),
              std::tuple(none, none, std::pair(true, true)));
    world.Unload();
}

// At shutdown a reset object gives its device resources back while the graphics engine is still
// there (the debug renderer, with the engine's font, is gone by then), and is forgotten: an
// engine started again does not tell it.
TEST_F(EngineGraphicsTest, AtShutdownResetObjectsReleaseTheirResourcesOnceAndAreForgotten) {
    struct Counter : ResetObject {
        void PreDeviceReset() override {
            ++released;
            graphicsThere = gEngine->GetGraphicsEngine() != nullptr;
            debugRendererThere = Singleton<DebugRenderManager>::HasInstantiated();
            loaderRunning = gEngine->GetResourceLoader()->IsThreadRunning();
        }
        void PostDeviceReset() override { ++remade; }
        int released = 0;
        int remade = 0;
        bool graphicsThere = false;
        bool debugRendererThere = true;
        bool loaderRunning = true;
    } counter;
    ASSERT_TRUE(Start());
    EXPECT_TRUE(Singleton<DebugRenderManager>::HasInstantiated());
    engine.RegisterResetObject(&counter);
    engine.Shutdown();
    EXPECT_EQ(counter.released, 1);
    EXPECT_TRUE(counter.graphicsThere);
    EXPECT_FALSE(counter.debugRendererThere);
    EXPECT_FALSE(counter.loaderRunning);  // stopped first
    ASSERT_TRUE(Start());
    engine.PreDeviceReset();
    engine.PostDeviceReset();
    engine.Shutdown();
    EXPECT_EQ(counter.released, 1);
    EXPECT_EQ(counter.remade, 0);
}

TEST_F(EngineGraphicsTest, RecordsLoadTexturesShadersAndMeshesThroughTheRunningGraphicsEngine) {
    const std::string record =
        "textures,Textures/A.dds;;Textures/B.dds,\nshader,Shaders/Basic.ssh,\nmesh,Meshes/Box.msh,\n";
    LoadTable table;
    ASSERT_TRUE(table.Parse(record.data(), uint32_t(record.size())));
    EXPECT_EQ(table.LoadTexture("textures", 0), nullptr);  // no graphics engine yet
    ASSERT_TRUE(Start());
    GraphicsEngine& graphics = *engine.GetGraphicsEngine();
    // The engine's own (the scene renderers' shared textures).
    const int textures = graphics.GetTextureResourceManager()->GetNumResources();
    const GraphicsTexture* texture = table.LoadTexture("textures", 2);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture, graphics.LoadTexture("Textures/B.dds"));
    EXPECT_EQ(table.LoadTexture("textures", 1), nullptr);  // an empty item
    EXPECT_EQ(table.LoadTexture("textures", 3), nullptr);
    EXPECT_EQ(table.LoadShader2("missing", 0), nullptr);
    const GraphicsShader2* shader = table.LoadShader2("shader", 0);
    EXPECT_EQ(shader, graphics.GetBasicShader());
    const GraphicsMesh* mesh = table.LoadMesh("mesh", 0);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh, graphics.LoadMesh("Meshes/Box.msh"));
    EXPECT_EQ(table.LoadMesh("mesh", 1), nullptr);
    // Each load held one reference of its own.
    for (int i = 0; i < 2; ++i) graphics.UnloadMesh(mesh);
    graphics.UnloadShader2(shader);
    for (int i = 0; i < 2; ++i) graphics.UnloadTexture(texture);
    engine.Update(WorldFrustum(), true);  // which lets go of what nothing holds
    EXPECT_EQ(graphics.GetTextureResourceManager()->GetNumResources(), textures);
    EXPECT_EQ(graphics.GetMeshResourceManager()->GetNumResources(), 0);
    engine.Shutdown();
    EXPECT_EQ(engine.GetLog().Count(LogPriority::Error), 0u);
}

TEST_F(EngineGraphicsTest, AnActorsRecordDressesItsMeshInstance) {
    ASSERT_TRUE(Start());
    const std::string record =
        "mesh,Meshes/Box.msh,\nbaseTexture,Textures/A.dds,\nbumpTexture,Textures/B.dds,\n"
        "shader,Shaders/Basic.ssh,\nscale,2,\ncastsShadows,0,\n";
    LoadTable table("Records/Box.dbr");
    ASSERT_TRUE(table.Parse(record.data(), uint32_t(record.size())));
    Actor actor;
    ASSERT_TRUE(actor.Load(table));
    const GraphicsMeshInstance* instance = actor.GetMeshInstance();
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(instance->GetMesh()->GetFileName(), "Meshes/Box.msh");
    EXPECT_EQ(instance->GetBaseTexture()->GetFileName(), "Textures/A.dds");
    EXPECT_EQ(instance->GetBumpTexture()->GetFileName(), "Textures/B.dds");
    EXPECT_EQ(instance->GetOverrideShader(), engine.GetGraphicsEngine()->GetBasicShader());
    EXPECT_EQ(instance->GetScale(), Vec3(2, 2, 2));
    EXPECT_FALSE(instance->GetCastsShadows());
    // Once read, then left unused for the eviction frames and a mesh's delay of 200 more, its mesh
    // is unloaded.
    instance->GetMesh()->EnsureAvailable();
    for (uint32_t frame = 0; frame < Engine::kEvictionFrames + 201; ++frame) {
        EXPECT_EQ(instance->GetMesh()->GetLoadedState(), Resource::LoadedState::Loaded) << frame;
        engine.Update(WorldFrustum(), false);
    }
    EXPECT_EQ(instance->GetMesh()->GetLoadedState(), Resource::LoadedState::NotLoaded);
}

TEST_F(EngineGraphicsTest, ADeviceThatCannotStartIsFatal) {
    const FatalErrorHandler previous = SetFatalErrorHandler([](const char* text) { throw std::runtime_error(text); });
    GraphicsEngineSettings settings = TestEngine::MakeHeadlessGraphicsSettings();
    settings.deviceName = "NoSuchDevice";
    try {
        Start(settings);
        ADD_FAILURE() << "no fatal error";
    } catch (const std::runtime_error& error) {
        // The fixture's language has no such text: the tag stands for it.
        EXPECT_STREQ(error.what(), "tagGraphicsDeviceError");
    }
    SetFatalErrorHandler(previous);
}

}  // namespace
}  // namespace GAME::test
