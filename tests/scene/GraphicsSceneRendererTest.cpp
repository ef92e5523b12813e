#include "scene/GraphicsSceneRenderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "MeshInstanceTestData.h"
#include "core/Intersection.h"
#include "core/Log.h"
#include "core/MathExpect.h"
#include "core/Ray.h"
#include "core/Singleton.h"
#include "core/WorldCoords.h"
#include "editor/EditorFilter.h"
#include "engine/Engine.h"
#include "engine/ObjectManager.h"
#include "files/BinaryWriter.h"
#include "files/LoadTable.h"
#include "render/DebugRenderManager.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsShader2.h"
#include "render/ShaderFileWriter.h"
#include "scene/GraphicsMeshInstance.h"
#include "scene/GraphicsRenderable.h"
#include "scene/Light.h"
#include "scene/MeshFileWriter.h"
#include "scene/SkeletalPose.h"
#include "support/GLEngineBed.h"
#include "support/GraphicsTestBed.h"
#include "support/LogCapture.h"
#include "support/OffsetRegionsScene.h"

namespace GAME {
namespace {

// A renderer that counts the shader styles it begins and lists the regions whose contents it adds.
class CountingRenderer : public GraphicsSceneRenderer {
public:
    using GraphicsSceneRenderer::GraphicsSceneRenderer;
    void SetShaderConstants(GraphicsCanvas&, const GraphicsShader2*) const override { ++styleChanges; }
    mutable int styleChanges = 0;
    std::vector<Region*> contents;

protected:
    void AddRegionContents(Region* region, const Coords&, const Frustum&) override { contents.push_back(region); }
};

// A renderable of scripted passes that writes its name and pass into a shared list when drawn.
class ScriptedRenderable : public GraphicsRenderable {
public:
    struct Pass {
        int sortOrder;
        const GraphicsShader2* shader;
        const GraphicsTexture* texture;
    };
    ScriptedRenderable(std::string name, std::vector<Pass> passes, std::vector<std::string>& drawn)
        : name_(std::move(name)), passes_(std::move(passes)), drawn_(drawn) {}

    int GetNumRenderPasses(const Name&, RenderGenerationId) const override { return int(passes_.size()); }
    const ABBox& GetRenderPassBoundingBox() const override { return box; }
    int GetRenderPassSortOrder(int pass, const Name&, RenderGenerationId) const override {
        return passes_[size_t(pass)].sortOrder;
    }
    const GraphicsShader2* GetShader2(int pass, const Name&) const override { return passes_[size_t(pass)].shader; }
    const Name& GetShaderStyle(int, const Name& style, RenderGenerationId, const GraphicsLight*) const override {
        return style;
    }
    const GraphicsTexture* GetTexture(int pass, const Name&) const override { return passes_[size_t(pass)].texture; }
    void RenderPass(const RenderablePass& pass, const Name&, GraphicsCanvas&,
                    const GraphicsSceneRenderer&) const override {
        drawn_.push_back(name_ + std::to_string(pass.pass));
    }
    void LogInfo() const override { Log(LogPriority::Info, "scripted %s", name_.c_str()); }

    ABBox box{Vec3(), Vec3(1, 1, 1)};

private:
    std::string name_;
    std::vector<Pass> passes_;
    std::vector<std::string>& drawn_;
};

// Two styles: "normal" (sort order 0) and "light" (sort order 5).
ShaderFileSection TwoStyleSection() {
    ShaderFileSection section;
    section.generation = "GeForce6";
    section.values = {ShaderFileValue::VertexProgram("vertex", {}), ShaderFileValue::PixelProgram("pixel", {})};
    const std::vector<ShaderStateRecord> programs = {ShaderStateRecord{ShaderStateCode::VertexProgram, 0, true, 0},
                                                     ShaderStateRecord{ShaderStateCode::PixelProgram, 0, true, 1}};
    section.styles = {{"normal", 0, programs}, {"light", 5, programs}};
    return section;
}

Region* FakeRegion(int& key) { return reinterpret_cast<Region*>(&key); }

class SceneRendererTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bed.Start());
        bed.WriteFile("Shaders/A.ssh", test::MakeShaderFile({TwoStyleSection()}));
        bed.WriteFile("Shaders/B.ssh", test::MakeShaderFile({TwoStyleSection()}));
        a = bed.Graphics().LoadShader2("Shaders/A.ssh");
        b = bed.Graphics().LoadShader2("Shaders/B.ssh");
        a->EnsureAvailable();
        b->EnsureAvailable();
        if (std::less<const GraphicsShader2*>()(b, a)) std::swap(a, b);
    }

    test::GraphicsTestBed bed;
    const GraphicsShader2* a = nullptr;  // the lower address
    const GraphicsShader2* b = nullptr;
    const Name normal = Name::Create("normal");
    int regionKey = 0;
};

TEST_F(SceneRendererTest, PassesDrawBySortOrderShaderAndTextureKeepingSubmissionOrderOtherwise) {
    const auto* t1 = reinterpret_cast<const GraphicsTexture*>(uintptr_t(0x1000));
    const auto* t2 = reinterpret_cast<const GraphicsTexture*>(uintptr_t(0x2000));
    std::vector<std::string> drawn;
    ScriptedRenderable first("first", {{5, b, t1}, {0, b, t2}, {0, b, t1}, {20001, a, t1}}, drawn);
    ScriptedRenderable second("second", {{0, a, t2}, {-1, b, nullptr}, {0, nullptr, t1}, {0, b, t1}}, drawn);
    CountingRenderer renderer;
    Region* region = FakeRegion(regionKey);
    renderer.AddRenderable(&first, region);
    renderer.AddRenderable(&second, region);
    renderer.AddRenderable(nullptr, region);
    EXPECT_EQ(renderer.GetNumPassesWithStyle(normal), 8);

    ASSERT_NE(bed.Graphics().GetCanvas(), nullptr);
    renderer.RenderStyle(*bed.Graphics().GetCanvas(), normal);
    // -1 first; then sort order 0: shader a, then b with texture t1 (submission order), then t2;
    // 20001 and the pass without a shader never.
    EXPECT_EQ(drawn, (std::vector<std::string>{"second1", "second0", "first2", "second3", "first1", "first0"}));
    // b (-1), a (0), b (0 and 5: the same shader style goes on across sort orders).
    EXPECT_EQ(renderer.styleChanges, 3);

    // A style the shaders lack draws nothing.
    drawn.clear();
    renderer.RenderStyle(*bed.Graphics().GetCanvas(), Name::Create("missing"));
    EXPECT_TRUE(drawn.empty());
}

// Instances of one mesh drawn one after another in one style make a run: each draw sends its
// matrix and only the values that differ from the draw before, and the shader's depth ends once.
TEST_F(SceneRendererTest, InstancesOfOneMeshDrawAsARunSendingOnlyWhatChanged) {
    bed.WriteFile("Shaders/Flat.ssh", test::FlatShaderFile(false));
    BinaryWriter mesh;
    ASSERT_TRUE(MeshFileWriter::Write(mesh, test::Boxes({Vec3()}, false)));
    bed.WriteFile("Meshes/Box.msh", std::vector<uint8_t>(mesh.GetBuffer(), mesh.GetBuffer() + mesh.GetPosition()));
    GraphicsMeshInstance boxes[3];
    CountingRenderer renderer;
    for (GraphicsMeshInstance& box : boxes) {
        box.SetMesh(bed.Graphics().LoadMesh("Meshes/Box.msh"));
        box.SetObjectToRegionCoords(Coords::Translation(Vec3(float(&box - boxes), 0.0f, 0.0f)));
        renderer.AddRenderable(&box, FakeRegion(regionKey));
    }
    boxes[1].SetShadowBias(0.25f);  // the middle one biased, faded and half opaque; the last red
    boxes[1].SetGlobalBlendAlphaMultiplier(0.5f);
    boxes[1].SetSectionOpacity(0.5f, 0);
    boxes[2].SetDiffuseColor(Color(1.0f, 0.0f, 0.0f, 1.0f));
    renderer.RenderStyle(*bed.Graphics().GetCanvas(), normal);
    std::vector<std::string> sent;  // matrices, registers 4 to 7, draws and ends of a depth ("SetD": a label cleared)
    for (const std::string& call : bed.Device().GetCalls()) {
        if (call.starts_with("SetVertexShaderConstants(0")) sent.push_back("matrix");
        if (call.starts_with("SetVertexShaderConstants(") && call[25] >= '4' && call[25] <= '7' && call[26] == ',')
            sent.push_back(call.substr(25, call.find(']') - 24));
        if (call.starts_with("Draw") || call.starts_with("SetDebugName(null")) sent.push_back(call.substr(0, 4));
    }
    EXPECT_EQ(sent, (std::vector<std::string>{"matrix", "4, [0.5, 0.5, 0.5, 0]", "5, [0.01, 0, 0, 0]", "6, [1, 0, 0, 0]",
                                              "7, [1, 1, 1, 1]", "Draw", "matrix", "5, [0.25, 0, 0, 0]", "6, [0.5, 0, 0, 0]",
                                              "7, [0.00392157, 0.00392157, 0.5, 0.00392157]", "Draw", "matrix",
                                              "4, [0.5, 0, 0, 0]", "5, [0.01, 0, 0, 0]", "6, [1, 0, 0, 0]",
                                              "7, [1, 1, 1, 1]", "Draw", "SetD", "SetD"}));
}

TEST_F(SceneRendererTest, RegionsBoxesLightsAndFlags) {
    test::LogCapture log;
    CountingRenderer renderer;
    EXPECT_EQ(renderer.GetRenderFlags(), 127u);
    renderer.EnableBoundingBoxes(true);
    EXPECT_TRUE(renderer.IsRenderFlagSet(GraphicsSceneRenderer::kBoundingBoxes | GraphicsSceneRenderer::kWater));
    renderer.EnableBoundingBoxes(false);
    renderer.EnableMeshes(false);
    EXPECT_FALSE(renderer.IsRenderFlagSet(GraphicsSceneRenderer::kMeshes | GraphicsSceneRenderer::kBoundingBoxes));
    EXPECT_EQ(renderer.GetRenderFlags(), 127u & ~8u);

    // The first coords of a region stay; boxes go into scene space by them.
    Region* region = FakeRegion(regionKey);
    renderer.AddRegionToScene(region, Coords::RotationZ(1.5707964f) * Coords::Translation(Vec3(10, 0, 0)), nullptr);
    renderer.SetRegionToSceneCoords(region, Coords::Translation(Vec3(99, 0, 0)));
    EXPECT_NEAR(renderer.GetRegionToSceneCoords(region).origin.y, 10.0f, 1e-4f);
    std::vector<std::string> drawn;
    ScriptedRenderable placed("placed", {{0, a, nullptr}}, drawn);
    placed.box = ABBox(Vec3(1, 0, 0), Vec3(2, 1, 3));
    EXPECT_FALSE(placed.GetCastsShadows());  // unless it says so
    renderer.AddRenderable(&placed, region);
    mem::vector<RenderablePass> passes;
    renderer.CollectPasses(passes, normal, 0, 0);
    ASSERT_EQ(passes.size(), 1u);
    test::ExpectNear(passes[0].sceneBox.centre, Vec3(0, 11, 0), 1e-4f);
    test::ExpectNear(passes[0].sceneBox.halfSize, Vec3(1, 2, 3), 1e-4f);
    EXPECT_EQ(passes[0].lightSphere[3], 0.0f);

    // A region placed without a turn only moves the box.
    CountingRenderer moved;
    moved.SetRegionToSceneCoords(region, Coords::Translation(Vec3(5, 6, 7)));
    moved.AddRenderable(&placed, region);
    mem::vector<RenderablePass> movedPasses;
    moved.CollectPasses(movedPasses, normal, 0, 0);
    ASSERT_EQ(movedPasses.size(), 1u);
    EXPECT_EQ(movedPasses[0].sceneBox, ABBox(Vec3(6, 6, 7), Vec3(2, 1, 3)));

    // A light sphere keeps only the renderables it reaches, and travels with the pass.
    passes.clear();
    const Sphere far(Vec3(0, 20, 0), 5.0f);
    renderer.CollectPasses(passes, normal, 0, 0, &far);
    EXPECT_TRUE(passes.empty());
    const Sphere near(Vec3(0, 15, 0), 2.5f);
    renderer.CollectPasses(passes, normal, 0, 0, &near);
    ASSERT_EQ(passes.size(), 1u);
    EXPECT_NEAR(passes[0].lightSphere[1], 5.0f, 1e-4f);
    EXPECT_EQ(passes[0].lightSphere[3], 2.5f);

    // A box that is not finite is refused with five log lines.
    const size_t before = log.Lines().size();
    placed.box.halfSize.x = std::numeric_limits<float>::quiet_NaN();
    renderer.AddRenderable(&placed, region);
    ASSERT_EQ(log.Lines().size(), before + 5);
    EXPECT_EQ(log.Lines()[before].text, "=======================================");
    EXPECT_EQ(renderer.GetNumPassesWithStyle(normal), 1);

    // Dim lights are dropped; without shadows no light casts them.
    GraphicsLight light;
    light.SetColor(Color(0.03f, 0.03f, 0.03f, 1.0f));
    renderer.AddLight(light);
    EXPECT_TRUE(renderer.GetLights().empty());
    light.SetColor(Color(0.031f, 0.0f, 0.0f, 1.0f));
    light.SetCastsShadows(true);
    renderer.AddLight(light);
    ASSERT_EQ(renderer.GetLights().size(), 1u);
    EXPECT_FALSE(renderer.GetLights()[0].GetCastsShadows());
}

// Regions added by themselves lie where their offsets from the viewer's region put them, and
// their contents are added once; the view-space extents take every queued renderable that has a
// pass, placed the same way, into the camera's frame.
TEST_F(SceneRendererTest, RegionsAddedByThemselvesLieAtTheirOffsetsFromTheViewersRegion) {
    int keys[3] = {};
    Region* viewer = FakeRegion(keys[0]);
    Region* east = FakeRegion(keys[1]);
    Region* placed = FakeRegion(keys[2]);
    test::OffsetRegionsScene world(nullptr);
    world.AddRegion(viewer, IntVec3(64, 0, -128));
    world.AddRegion(east, IntVec3(128, 8, -64));
    world.AddRegion(placed, IntVec3(0, 0, 0));
    CountingRenderer renderer(&world);
    Camera camera;
    camera.SetCoords(Coords::RotationY(0.6f) * Coords::Translation(Vec3(1.0f, 2.0f, -3.0f)));
    const Viewport viewport(0, 0, 64, 64);
    renderer.SetViewer(viewer, camera, viewport, camera.GetFrustum(viewport));

    renderer.AddRegionToScene(east);
    renderer.AddRegionToScene(east);
    renderer.AddRegionToScene(nullptr);
    renderer.SetRegionToSceneCoords(placed, Coords::Translation(Vec3(5.0f, 0.0f, 0.0f)));
    renderer.AddRegionToScene(placed);
    renderer.AddRegionToScene(viewer);
    EXPECT_EQ(renderer.contents, (std::vector<Region*>{east, viewer}));
    test::ExpectNear(renderer.GetRegionToSceneCoords(east), Coords::Translation(Vec3(64.0f, 8.0f, 64.0f)));
    test::ExpectNear(renderer.GetRegionToSceneCoords(placed), Coords::Translation(Vec3(5.0f, 0.0f, 0.0f)));
    test::ExpectNear(renderer.GetRegionToSceneCoords(viewer), Coords());
    // Without a world every region lies at the viewer's origin.
    CountingRenderer alone;
    alone.SetViewer(viewer, camera, viewport, camera.GetFrustum(viewport));
    alone.AddRegionToScene(east);
    test::ExpectNear(alone.GetRegionToSceneCoords(east), Coords());
    EXPECT_EQ(alone.contents, (std::vector<Region*>{east}));

    // Nothing queued: the extents stay empty.
    Vec3 min, max;
    renderer.GetViewSpaceExtents(min, max);
    EXPECT_EQ(min.x, std::numeric_limits<float>::infinity());
    EXPECT_EQ(max.y, -std::numeric_limits<float>::infinity());
    std::vector<std::string> drawn;
    ScriptedRenderable here("here", {{0, a, nullptr}}, drawn);
    here.box = ABBox(Vec3(1.0f, 2.0f, 3.0f), Vec3(1.0f, 2.0f, 3.0f));
    ScriptedRenderable there("there", {{0, a, nullptr}}, drawn);
    there.box = ABBox(Vec3(), Vec3(1.0f, 1.0f, 1.0f));
    ScriptedRenderable passless("passless", {}, drawn);
    passless.box = ABBox(Vec3(0.0f, -500.0f, 0.0f), Vec3(1.0f, 1.0f, 1.0f));
    renderer.AddRenderable(&here, viewer);
    renderer.AddRenderable(&there, east);
    renderer.AddRenderable(&passless, viewer);
    renderer.GetViewSpaceExtents(min, max);
    // Each box's corners in the camera's frame.
    const Coords toCamera = camera.GetCoords().Inverse();
    Vec3 low(1e9f, 1e9f, 1e9f), high(-1e9f, -1e9f, -1e9f);
    for (const ABBox& box : {here.box, ABBox(Vec3(64.0f, 8.0f, 64.0f), there.box.halfSize)}) {
        for (int corner = 0; corner < 8; ++corner) {
            const Vec3 sign((corner & 1) ? 1.0f : -1.0f, (corner & 2) ? 1.0f : -1.0f, (corner & 4) ? 1.0f : -1.0f);
            const Vec3 p = toCamera.TransformPoint(
                box.centre + Vec3(sign.x * box.halfSize.x, sign.y * box.halfSize.y, sign.z * box.halfSize.z));
            low = Vec3(std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z));
            high = Vec3(std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z));
        }
    }
    test::ExpectNear(min, low, 1e-3f);
    test::ExpectNear(max, high, 1e-3f);

    // A renderable of a region not added yet places it as adding it would; adding it then adds
    // its contents, once.
    int lateKey = 0;
    Region* late = FakeRegion(lateKey);
    world.AddRegion(late, IntVec3(0, 0, 0));
    renderer.AddRenderable(&there, late);
    renderer.AddRegionToScene(late);
    renderer.AddRegionToScene(late);
    test::ExpectNear(renderer.GetRegionToSceneCoords(late), Coords::Translation(Vec3(-64.0f, 0.0f, 128.0f)));
    EXPECT_EQ(renderer.contents, (std::vector<Region*>{east, viewer, late}));
    mem::vector<RenderablePass> passes;
    renderer.CollectPasses(passes, normal, 0, 0);
    ASSERT_EQ(passes.size(), 3u);
    EXPECT_EQ(passes[2].sceneBox.centre, Vec3(-64.0f, 0.0f, 128.0f));
}

TEST_F(SceneRendererTest, LightRecordReachesTheSceneAsAPointLight) {
    const std::string text = "Class,Light,\nradius,6.5,\ncolor.r,0.5,\ncolor.g,0.25,\ncastsShadows,1,\n";
    LoadTable table("Records/Lamp.dbr");
    ASSERT_TRUE(table.Parse(text.data(), uint32_t(text.size())));
    Light light;
    ASSERT_TRUE(light.Load(table));
    EXPECT_EQ(std::tuple(light.GetRadius(), light.GetColor()), std::tuple(6.5f, Color(0.5f, 0.25f, 0.0f, 1.0f)));
    light.SetIntensity(1.5f);
    EXPECT_EQ(light.GetIntensity(), 1.0f);
    light.SetIntensity(0.5f);

    CountingRenderer renderer;
    light.AddToScene(renderer, nullptr);
    ASSERT_EQ(renderer.GetLights().size(), 1u);
    const GraphicsLight& added = renderer.GetLights()[0];
    EXPECT_EQ(std::tuple(added.GetType(), added.GetColor(), added.GetRadius(), added.GetCastsSpecular()),
              std::tuple(GraphicsLight::Type::Point, Color(0.25f, 0.125f, 0.0f, 1.0f), 6.5f, true));
    light.SetSimpleMode(true);  // neither specular nor shadows
    light.AddToScene(renderer, nullptr);
    EXPECT_FALSE(renderer.GetLights().back().GetCastsSpecular());
    light.SetSimpleMode(false);

    // Too dim at a low intensity; nothing while disabled; outside the editor no ray hits it.
    light.SetIntensity(0.05f);
    light.AddToScene(renderer, nullptr);
    light.SetIntensity(1.0f);
    light.Disable();
    light.AddToScene(renderer, nullptr);
    EXPECT_EQ(renderer.GetLights().size(), 2u);
    Intersection hit;
    EXPECT_FALSE(light.GetIntersection(Ray(Vec3(0, 0, -20), Vec3(0, 0, 1)), hit, PhysicsSurface::Grass));
}

// An engine, never started, that says whether it runs the editor.
class EditorEngine : public Engine {
public:
    bool IsEditorMode() const override { return editor; }
    bool editor = true;
};

// In the editor a light joins the editor filter as a light on its first update, leaves it when it
// goes, and rays pick it by its sphere; outside the editor it never joins.
TEST(LightEditorTest, LightsJoinTheEditorFilterInTheEditorOnlyAndLeaveItWhenTheyGo) {
    EditorEngine engine;
    EditorFilter& filter = *EditorFilter::Get();
    ObjectManager& objects = *Singleton<ObjectManager>::Get();
    const int before = filter.GetNumFilterObjects();
    auto* light = static_cast<Light*>(objects.CreateObject("Light"));
    ASSERT_NE(light, nullptr);
    light->SetCoords(WorldCoords(nullptr, Coords::Translation(Vec3(0.0f, 0.0f, 5.0f))));
    light->SetRadius(2.0f);
    light->InitialUpdate();
    EXPECT_EQ(filter.GetNumFilterObjects(), before + 1);
    filter.SetTypeVisible(EditorFilterType::Light, false);
    EXPECT_FALSE(filter.IsVisible(light->GetObjectId()));
    filter.SetTypeVisible(EditorFilterType::Light, true);
    Intersection hit;
    ASSERT_TRUE(light->GetIntersection(Ray(Vec3(0, 0, -20), Vec3(0, 0, 1)), hit, PhysicsSurface::Grass));
    EXPECT_NEAR(hit.distance, 23.0f, 1e-4f);
    EXPECT_NEAR(hit.point.z, 3.0f, 1e-4f);
    EXPECT_FALSE(light->GetIntersection(Ray(Vec3(0, 0, -20), Vec3(0, 0, 1)), hit, PhysicsSurface{0}));

    engine.editor = false;
    auto* outside = static_cast<Light*>(objects.CreateObject("Light"));
    outside->InitialUpdate();
    EXPECT_EQ(filter.GetNumFilterObjects(), before + 1);
    objects.DestroyObjectEx(outside, __FILE__, __LINE__);
    engine.editor = true;
    objects.DestroyObjectEx(light, __FILE__, __LINE__);
    objects.DestroyPendingObjects(-1);
    EXPECT_EQ(filter.GetNumFilterObjects(), before);
}

// -- Drawn on the GL device -------------------------------------------------------------------

using test::Boxes;
using test::FlatShaderFile;

constexpr uint32_t kBlack = 0xFF000000u;
constexpr int kWidth = test::GLEngineBed::kWidth;
constexpr int kHeight = test::GLEngineBed::kHeight;

class SceneRendererPixelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bed.IsReady());
        Write("Shaders/Flat.ssh", FlatShaderFile(false));
        Write("Shaders/Skinned.ssh", FlatShaderFile(true));
        // 4 pixels a unit, looking along +z from z = -10.
        camera.SetType(CameraType::Orthographic);
        camera.SetWidth(32.0f);
        camera.SetHeight(16.0f);
        camera.SetCoords(Coords::Translation(Vec3(0.0f, 0.0f, -10.0f)));
        renderer.SetViewer(nullptr, camera, Viewport(0, 0, kWidth, kHeight), Frustum());
    }
    void TearDown() override { EXPECT_EQ(log.Count(LogPriority::Error), 0u); }

    void Write(const std::string& name, const std::vector<uint8_t>& bytes) { bed.WriteFile(name, bytes); }
    void WriteMesh(const std::string& name, const MeshFileWriter::Contents& contents) {
        BinaryWriter writer;
        ASSERT_TRUE(MeshFileWriter::Write(writer, contents));
        Write(name, std::vector<uint8_t>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition()));
    }
    std::vector<int> Draw(GraphicsMeshInstance& instance, Region* region) {
        bed.Clear();
        CountingRenderer frame;
        frame.SetViewer(nullptr, camera, Viewport(0, 0, kWidth, kHeight), Frustum());
        frame.SetRegionToSceneCoords(region, Coords::Translation(Vec3(0.0f, 1.0f, 0.0f)));
        frame.AddRenderable(&instance, region);
        frame.RenderStyle(bed.Canvas(), Name::Create("normal"));
        return bed.FindDrawn(kBlack);
    }

    test::LogCapture log;
    test::GLEngineBed bed;
    Camera camera;
    CountingRenderer renderer;
    int regionKey = 0;
};

TEST_F(SceneRendererPixelTest, MeshInstanceCoversItsPlacedScaledBoxInItsColour) {
    WriteMesh("Meshes/Box.msh", Boxes({Vec3()}, false));
    GraphicsMeshInstance instance;
    instance.SetMesh("Meshes/Box.msh");
    ASSERT_NE(instance.GetMesh(), nullptr);
    instance.GetMesh()->EnsureAvailable();
    instance.SetScale(Vec3(4.0f, 2.0f, 1.0f));
    instance.SetObjectToRegionCoords(Coords::Translation(Vec3(2.0f, 0.0f, 0.0f)));
    instance.SetDiffuseColor(Color(0.0f, 1.0f, 0.0f, 1.0f));
    // Region x +2 lands 8 pixels left of the middle (camera x is -u); the region is 1 unit up.
    EXPECT_EQ(Draw(instance, FakeRegion(regionKey)), (std::vector<int>{64 - 16, 32 - 8, 64, 32}));
    const std::vector<uint32_t> pixels = bed.ReadPixels();
    EXPECT_EQ(pixels[size_t(28) * kWidth + 56], 0xFF00FF00u);

    // A section at opacity 0 is not drawn.
    instance.SetSectionOpacity(0.0f, 0);
    EXPECT_EQ(Draw(instance, FakeRegion(regionKey)), (std::vector<int>{0, 0, 0, 0}));
}

// While bounding boxes are shown a light queues a sphere of a quarter unit in its colour at its
// place, which the debug renderer draws over the scene.
TEST_F(SceneRendererPixelTest, ALightShowsItsDebugSphereWhileBoundingBoxesAreShown) {
    Light light;
    light.SetColor(Color(0.0f, 1.0f, 0.0f, 1.0f));
    light.SetCoords(WorldCoords(nullptr, Coords::Translation(Vec3(2.0f, 1.0f, 0.0f))));
    DebugRenderManager& debug = *Singleton<DebugRenderManager>::Get();
    const size_t before = debug.GetNumQueued();
    light.AddToScene(renderer, nullptr);
    EXPECT_EQ(debug.GetNumQueued(), before);
    renderer.EnableBoundingBoxes(true);
    light.AddToScene(renderer, nullptr);
    ASSERT_EQ(debug.GetNumQueued(), before + 1);

    // 32 pixels a unit, the light in the middle of the view.
    Camera close;
    close.SetType(CameraType::Orthographic);
    close.SetWidth(4.0f);
    close.SetHeight(2.0f);
    close.SetCoords(Coords::Translation(Vec3(2.0f, 1.0f, -10.0f)));
    bed.Clear();
    debug.Flush(bed.Canvas(), nullptr, close, Viewport(0, 0, kWidth, kHeight));
    const std::vector<int> drawn = bed.FindDrawn(kBlack);
    ASSERT_EQ(drawn.size(), 4u);
    const std::vector<int> expected = {64 - 8, 32 - 8, 64 + 8, 32 + 8};
    for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(drawn[i], expected[i], 1) << i;
    const std::vector<uint32_t> pixels = bed.ReadPixels();
    for (int y = drawn[1]; y < drawn[3]; ++y) {
        for (int x = drawn[0]; x < drawn[2]; ++x) {
            const uint32_t pixel = pixels[size_t(y) * kWidth + size_t(x)] | 0xFF000000u;
            ASSERT_TRUE(pixel == kBlack || pixel == 0xFF00FF00u) << x << ", " << y;
        }
    }
}

TEST_F(SceneRendererPixelTest, SkinnedMeshDrawsItsPose) {
    // Two boxes: one at the origin, one 2 units to the +x side (8 pixels left on screen). A hit
    // box on the second bone makes the instance's box.
    MeshFileWriter::Contents pair = Boxes({Vec3(), Vec3(2.0f, 0.0f, 0.0f)}, true);
    GraphicsMesh::HitBox& hit = pair.hitBoxes.emplace_back();
    hit.extents = Vec3(0.5f, 1.0f, 0.5f);
    hit.bone = 1;
    WriteMesh("Meshes/Pair.msh", pair);
    GraphicsMeshInstance instance;
    instance.SetMesh("Meshes/Pair.msh");
    instance.GetMesh()->EnsureAvailable();
    instance.PrepareForRendering();
    EXPECT_EQ(Draw(instance, FakeRegion(regionKey)), (std::vector<int>{64 - 10, 32 - 6, 64 + 2, 32 - 2}));
    EXPECT_EQ(instance.GetObjectSpaceBoundingBox(), ABBox(Vec3(2, 0, 0), Vec3(0.5f, 1, 0.5f)));

    // The second bone lifts its box by 2 units.
    SkeletalPose pose;
    pose.SetBoneCoords(Name::Create("Bone1"), Coords::Translation(Vec3(0.0f, 2.0f, 0.0f)));
    instance.SetSkeletalPose(pose);
    instance.UpdatePose(nullptr, true);
    EXPECT_EQ(Draw(instance, FakeRegion(regionKey)), (std::vector<int>{64 - 10, 32 - 14, 64 + 2, 32 - 2}));
    EXPECT_EQ(instance.GetObjectSpaceBoundingBox(), ABBox(Vec3(2, 2, 0), Vec3(0.5f, 1, 0.5f)));
}

}  // namespace
}  // namespace GAME
