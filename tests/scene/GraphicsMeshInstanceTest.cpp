// GraphicsMeshInstance on the GL device: the ice effect's course and its listener, dissolve and
// fade timing, see-through sections, saved state and ray hits; the actor that owns an instance.

#include "scene/GraphicsMeshInstance.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "MeshInstanceTestData.h"
#include "core/Intersection.h"
#include "core/Ray.h"
#include "core/WorldCoords.h"
#include "engine/Actor.h"
#include "files/BaseResourceManager.h"
#include "files/BinaryReader.h"
#include "files/LoadTable.h"
#include "physics/PhysicsMesh.h"
#include "physics/PhysicsMeshWriter.h"
#include "render/Camera.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsShader2.h"
#include "scene/GMIEffectIcey.h"
#include "scene/GMIEffectListener.h"
#include "scene/GraphicsSceneRenderer.h"
#include "support/GLEngineBed.h"
#include "support/GraphicsTestBed.h"
#include "support/LogCapture.h"
#include "support/PlainSceneRenderer.h"

namespace GAME {
namespace {

using test::Boxes;
using test::FlatShaderFile;
using Rect = std::vector<int>;

constexpr int kWidth = test::GLEngineBed::kWidth;
constexpr int kHeight = test::GLEngineBed::kHeight;

class RecordingListener : public GMIEffectListener {
public:
    void OnGMIEffectFinished(int id) override {
        ids.push_back(id);
        if (onFinished) onFinished();
    }
    std::vector<int> ids;
    std::function<void()> onFinished;
};

class MeshInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bed.IsReady());
        for (const char* shader :
             {"Shaders/Standard.ssh", "Shaders/StandardDissolveStatic.ssh", "Addon/Shaders/IceyStatic.ssh"}) {
            bed.WriteFile(shader, FlatShaderFile(false));
        }
        bed.WriteFile("Textures/Ice.dds", test::MakeDdsFile(4, 4));
        MeshFileWriter::Contents box = Boxes({Vec3()}, false, {}, "Shaders/Standard.ssh");
        box.descriptionText = "AttachPoint { name = \"Top\" origin = (0, 0.5, 0) }";
        WriteMesh("Meshes/Box.msh", box);
        // 4 pixels a unit, looking along +z from z = -10; +x is to the left.
        camera.SetType(CameraType::Orthographic);
        camera.SetWidth(32.0f);
        camera.SetHeight(16.0f);
        camera.SetCoords(Coords::Translation(Vec3(0.0f, 0.0f, -10.0f)));
    }
    void TearDown() override { EXPECT_EQ(log.Count(LogPriority::Error), 0u); }

    void WriteMesh(const std::string& name, const MeshFileWriter::Contents& contents) {
        BinaryWriter writer;
        ASSERT_TRUE(MeshFileWriter::Write(writer, contents));
        bed.WriteFile(name, std::vector<uint8_t>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition()));
    }
    void Load(GraphicsMeshInstance& instance, const char* mesh = "Meshes/Box.msh") {
        instance.SetMesh(mesh);
        ASSERT_NE(instance.GetMesh(), nullptr);
        instance.GetMesh()->EnsureAvailable();
        instance.UpdateBoundingBox(false);
    }
    Rect Draw(GraphicsMeshInstance& instance) {
        bed.Clear();
        test::PlainSceneRenderer renderer;
        renderer.SetViewer(nullptr, camera, Viewport(0, 0, kWidth, kHeight), Frustum());
        renderer.AddRenderable(&instance, Place());
        renderer.RenderStyle(bed.Canvas(), Name::Create("normal"));
        return bed.FindDrawn(0xFF000000u);
    }
    // A region the renderers only use as a key.
    Region* Place() { return reinterpret_cast<Region*>(&regionKey); }
    static void Step(GraphicsMeshInstance& instance, int ms) {
        Vec3 movement;
        instance.Update(ms, movement, false);
    }

    test::LogCapture log;
    test::GLEngineBed bed;
    Camera camera;
    int regionKey = 0;
};

TEST_F(MeshInstanceTest, IceInflatesHoldsAndDeflatesThenTellsItsListenerOnceAndRetires) {
    GraphicsMeshInstance instance;
    Load(instance);
    ASSERT_TRUE(GMIEffectIcey::IsCompatible(&instance));
    EXPECT_EQ(Draw(instance), (Rect{62, 30, 66, 34}));

    RecordingListener listener;
    auto* ice = new GMIEffectIcey(&instance, &listener, 7, 1.0f, 2.0f, 4.0f, "Textures/Ice.dds");
    instance.InstallGMIEffect(ice);
    instance.InstallGMIEffect(ice);  // the installed effect again: nothing changes
    ASSERT_TRUE(instance.GetGMIEffect() == ice && instance.GetOverrideShader() != nullptr);
    EXPECT_NE(instance.GetOverrideShader()->GetFileName().find("IceyStatic"), std::string::npos);

    Step(instance, 250);
    EXPECT_EQ(ice->GetState(), GMIEffectIcey::State::Inflating);
    EXPECT_FLOAT_EQ(instance.GetScale().x, 1.5f);
    Step(instance, 250);  // 500 ms at 2 a second reach the maximum of 1
    EXPECT_EQ(ice->GetState(), GMIEffectIcey::State::Holding);
    Step(instance, 1000);
    EXPECT_FLOAT_EQ(instance.GetScale().y, 2.0f);
    EXPECT_EQ(Draw(instance), (Rect{60, 28, 68, 36}));

    ice->BeginFinishing();
    Step(instance, 125);
    ice->BeginFinishing();  // does not restart the deflation
    Step(instance, 0);
    EXPECT_EQ(ice->GetState(), GMIEffectIcey::State::Deflating);
    EXPECT_FLOAT_EQ(ice->GetInflation(), 0.5f);
    Step(instance, 125);
    EXPECT_EQ(std::tuple(listener.ids, instance.GetGMIEffect(), instance.GetOverrideShader()),
              std::tuple(std::vector<int>{7}, nullptr, nullptr));
    Step(instance, 100);
    EXPECT_EQ(listener.ids, std::vector<int>{7});
    EXPECT_EQ(Draw(instance), (Rect{62, 30, 66, 34}));
}

TEST_F(MeshInstanceTest, AFollowUpEffectInstalledByTheListenerKeepsItsShaderAndScale) {
    GraphicsMeshInstance instance;
    Load(instance);
    RecordingListener listener;
    // The follow-up has no inflation: it never touches the scale.
    listener.onFinished = [&] {
        instance.SetScale(Vec3(3.0f, 3.0f, 3.0f));
        instance.InstallGMIEffect(new GMIEffectIcey(&instance, nullptr, 8, 0.0f, 1.0f, 1.0f, "Textures/Ice.dds"));
    };
    auto* first = new GMIEffectIcey(&instance, &listener, 1, 0.5f, 10.0f, 10.0f, "Textures/Ice.dds");
    instance.InstallGMIEffect(first);
    Step(instance, 50);
    first->BeginFinishing();
    Step(instance, 50);
    ASSERT_NE(instance.GetGMIEffect(), nullptr);
    EXPECT_EQ(std::tuple(listener.ids, instance.GetGMIEffect()->GetId(), instance.GetOverrideShader() != nullptr),
              std::tuple(std::vector<int>{1}, 8, true));
    Step(instance, 100);
    EXPECT_FLOAT_EQ(instance.GetScale().z, 3.0f);

    // An effect made while the instance dissolves sets no shader, and leaves the dissolve's alone.
    instance.BeginDissolve(255, 0, 0, 1.0f, "Textures/Ice.dds");
    const GraphicsShader2* dissolve = instance.GetOverrideShader();
    instance.InstallGMIEffect(new GMIEffectIcey(&instance, nullptr, 9, 0.0f, 1.0f, 1.0f, "Textures/Ice.dds"));
    EXPECT_EQ(instance.GetOverrideShader(), dissolve);
    instance.InstallGMIEffect(new GMIEffectIcey(&instance, nullptr, 10, 0.0f, 1.0f, 1.0f, "Textures/Ice.dds"));
    EXPECT_EQ(instance.GetOverrideShader(), dissolve);
}

TEST_F(MeshInstanceTest, DissolveAndFadeRunForTheirDurations) {
    GraphicsMeshInstance instance;
    Load(instance);
    Draw(instance);  // loads the mesh's shader
    instance.BeginDissolve(255, 128, 0, 2.0f, "Textures/Ice.dds");
    const GraphicsShader2* dissolve = instance.GetOverrideShader();
    ASSERT_NE(dissolve, nullptr);
    EXPECT_NE(dissolve->GetFileName().find("StandardDissolveStatic"), std::string::npos);
    // Ready once the override shader is, which the question marks as wanted this frame.
    dissolve->EnsureAvailable();
    bed.GetEngine().GetResourceLoader()->SetFrameCount(dissolve->GetLastFrameTouched() + 7);
    EXPECT_TRUE(instance.GetIsReadyToRender(true));
    EXPECT_EQ(dissolve->GetLastFrameTouched(), bed.GetEngine().GetResourceLoader()->GetFrameCount());
    Step(instance, 1999);
    EXPECT_EQ(std::tuple(instance.GetIsDissolving(), instance.GetIsDissolved()), std::tuple(true, false));
    Step(instance, 1);
    EXPECT_EQ(std::tuple(instance.GetIsDissolved(), instance.GetDissolveParam()), std::tuple(true, 1.0f));
    EXPECT_EQ(instance.GetOverrideShader(), nullptr);

    // Under a millisecond finishes at the next update, even one of 0 ms.
    instance.BeginUnDissolve(0, 0, 0, 0.0004f, "Textures/Ice.dds");
    EXPECT_TRUE(instance.GetIsUnDissolving());
    Step(instance, 0);
    EXPECT_EQ(std::tuple(instance.GetIsUnDissolving(), instance.GetDissolveParam()), std::tuple(false, 0.0f));
    EXPECT_EQ(instance.GetOverrideShader(), nullptr);

    instance.SetGlobalBlendAlphaMultiplier(0.8f);
    EXPECT_FLOAT_EQ(instance.GetBlendedGlobalFadeFactor(), 0.8f);
    const auto fadeAfter = [&](int ms) { return Step(instance, ms), instance.GetBlendedGlobalFadeFactor(); };
    instance.BeginFade(1.0f);
    EXPECT_FLOAT_EQ(fadeAfter(500), 0.4f);
    EXPECT_FLOAT_EQ(fadeAfter(600), 0.0f);  // faded, and it stays so
    instance.BeginUnFade(0.5f);
    EXPECT_FLOAT_EQ(fadeAfter(250), 0.4f);
    EXPECT_FLOAT_EQ(fadeAfter(250), 0.8f);
    EXPECT_FALSE(instance.GetIsUnDissolving());
    instance.SetMaxGlobalBlendAlphaMultiplier(0.3f);
    EXPECT_FLOAT_EQ(instance.GetBlendedGlobalFadeFactor(), 0.3f);
    // A fade of one millisecond takes that millisecond.
    instance.BeginFade(0.001f);
    Step(instance, 0);
    EXPECT_FLOAT_EQ(instance.GetFadeValue(), 1.0f);
    Step(instance, 1);
    EXPECT_FLOAT_EQ(instance.GetFadeValue(), 0.0f);
}

TEST_F(MeshInstanceTest, SectionsInTheFrustumFadeExceptNoTransparency) {
    MeshFileWriter::Contents walls = Boxes({Vec3(-2, 0, 0), Vec3(0, 0, 0), Vec3(2, 0, 0)}, false,
                                           {"Wall", "NoTransparency", "FadeIn"}, "Shaders/Standard.ssh");
    GraphicsMesh::HitBox& hit = walls.hitBoxes.emplace_back();  // over the first box
    hit.extents = Vec3(0.5f, 0.5f, 0.5f);
    hit.coords = Coords::Translation(Vec3(-2, 0, 0));
    WriteMesh("Meshes/Walls.msh", walls);
    bed.WriteFile("Shaders/StandardT.ssh", FlatShaderFile(false));  // the fading sections' shader
    // An actor's instance goes by its hit boxes.
    Actor actor;
    actor.SetMesh("Meshes/Walls.msh");
    GraphicsMeshInstance& instance = *actor.GetMeshInstance();
    instance.GetMesh()->EnsureAvailable();
    actor.SetCoords(WorldCoords(Place(), Coords::Translation(Vec3(0, 0, 5))));
    // Each face set draws its own box; the "FadeIn" one not while it is all faded.
    EXPECT_EQ(Draw(instance), (Rect{62, 30, 74, 34}));
    instance.SetSectionOpacity(0.0f, 0);  // the middle box alone: its own faces
    EXPECT_EQ(Draw(instance), (Rect{62, 30, 66, 34}));
    instance.SetSectionOpacity(1.0f, 0);
    // Where z > 4, the slab x > -1 meets the last two boxes but not the hit box: going by the hit
    // boxes, nothing fades.
    Frustum right;
    right.AddPlane(Plane(Vec3(1, 0, 0), 1.0f));
    right.AddPlane(Plane(Vec3(0, 0, 1), -4.0f));
    actor.SetTransparency(right);
    EXPECT_FALSE(instance.IsSectionMarked(2));
    instance.SetTransparency(right, nullptr, Color(), false);
    EXPECT_TRUE(instance.IsSectionMarked(2));
    instance.UpdateSectionOpacities(0, 0.2f);
    // The slab x < 1.2 around the first two boxes meets the hit box.
    Frustum slab;
    slab.AddPlane(Plane(Vec3(-1, 0, 0), 1.2f));
    slab.AddPlane(Plane(Vec3(1, 0, 0), 3.0f));
    slab.AddPlane(Plane(Vec3(0, 0, 1), -4.0f));
    actor.SetTransparency(slab);
    EXPECT_EQ(std::tuple(instance.IsSectionMarked(0), instance.IsSectionMarked(1), instance.IsSectionMarked(2)),
              std::tuple(true, false, false));
    actor.UpdateSelf(375);  // the actor's update fades what its render marked
    EXPECT_EQ(std::tuple(instance.GetSectionOpacity(0), instance.GetSectionOpacity(1)), std::tuple(0.5f, 1.0f));
    instance.SetTransparency(slab, nullptr, Color(), false);
    instance.UpdateSectionOpacities(750, 0.2f);
    EXPECT_EQ(std::tuple(instance.GetSectionOpacity(0), instance.IsSectionMarked(0)), std::tuple(0.2f, false));
    instance.UpdateSectionOpacities(300, 0.2f);
    EXPECT_FLOAT_EQ(instance.GetSectionOpacity(0), 0.6f);
    EXPECT_GE(instance.CalculateAllocatedMemory(), 3 * sizeof(float));
    // A "FadeIn" section shows as its opacity falls: not at all at first, then its complement.
    EXPECT_FLOAT_EQ(instance.GetSectionOpacity(2), 0.0f);
    instance.SetSectionOpacity(0.25f, 2);
    EXPECT_EQ(std::tuple(instance.GetSectionOpacity(2), instance.GetOpacity(2, Name())), std::tuple(0.75f, 0.75f));
    // The one query of a pass answers as the separate ones do (with a base texture, an override shader, and
    // collected beside an instance of the mesh that answers otherwise); no collection keeps its answers.
    GraphicsMeshInstance plain, icy;  // icy: another mesh, whose one face set draws in another shader
    WriteMesh("Meshes/Icy.msh", Boxes({Vec3()}, false, {}, "Addon/Shaders/IceyStatic.ssh"));
    Load(plain, "Meshes/Walls.msh");
    Load(icy, "Meshes/Icy.msh");
    for (const int round : {0, 1, 2}) {
        instance.SetBaseTexture(round == 1 ? "Textures/Ice.dds" : nullptr);
        if (round == 2) instance.SetOverrideShader("Shaders/StandardDissolveStatic.ssh");
        test::PlainSceneRenderer renderer;
        for (auto* q : {&icy, &plain, &instance, &plain})
            renderer.AddRenderable(q, reinterpret_cast<Region*>(&regionKey));
        mem::vector<RenderablePass> passes;
        for (const char* style : {"missing", "normal"}) renderer.CollectPasses(passes, Name::Create(style), -1, 9);
        ASSERT_EQ(passes.size(), 10u);
        for (const size_t opaque : {1u, 7u}) EXPECT_EQ(passes[opaque].shader->GetFileName(), "Shaders/Standard.ssh");
        for (int pass = 0; pass < 3; ++pass) {
            GraphicsRenderable::PassInfo one, separate;
            EXPECT_FALSE(instance.GetRenderPassInfo(pass, Name::Create("missing"), {}, nullptr, one));
            ASSERT_TRUE(instance.GetRenderPassInfo(pass, Name::Create("normal"), {}, nullptr, one));
            ASSERT_TRUE(
                instance.GraphicsRenderable::GetRenderPassInfo(pass, Name::Create("normal"), {}, nullptr, separate));
            const RenderablePass& got = passes[size_t(4 + pass)];
            const GraphicsRenderable::PassInfo collected{got.shader, got.styleIndex, got.sortOrder, got.texture,
                                                         got.opacity};
            EXPECT_EQ(std::tuple(one, collected), std::tuple(separate, separate)) << pass;
            EXPECT_EQ(one.shader->GetFileName(), round == 2  ? "Shaders/StandardDissolveStatic.ssh"
                                                 : pass == 1 ? "Shaders/Standard.ssh"
                                                             : "Shaders/StandardT.ssh");
        }
    }
}

TEST_F(MeshInstanceTest, SavedStateRestoresPoseAndBoxAndRaysHitThePlacedScaledBox) {
    WriteMesh("Meshes/Pair.msh", Boxes({Vec3(), Vec3(2.0f, 0.0f, 0.0f)}, true));
    GraphicsMeshInstance saved;
    Load(saved, "Meshes/Pair.msh");
    SkeletalPose pose;
    pose.SetBoneCoords(Name::Create("Bone1"), Coords::Translation(Vec3(0.0f, 2.0f, 0.0f)));
    saved.SetSkeletalPose(pose);
    saved.SetScale(Vec3(2.0f, 1.0f, 1.0f));
    BinaryWriter writer;
    saved.SaveState(writer);

    GraphicsMeshInstance restored;
    Load(restored, "Meshes/Pair.msh");
    restored.SetObjectToRegionCoords(Coords::Translation(Vec3(10, 0, 0)));
    // Cut short, in the box or in the pose: nothing changes.
    BinaryReader cut(writer.GetBuffer(), writer.GetPosition() - 4);
    EXPECT_FALSE(restored.RestoreState(cut));
    BinaryReader cutPose(writer.GetBuffer(), 12);
    EXPECT_TRUE(!restored.RestoreState(cutPose) && restored.GetSkeletalPose().IsEmpty());
    EXPECT_EQ(log.Count(LogPriority::Error), 2u);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "GraphicsMeshInstance: the saved state ends inside its bounding box"));
    EXPECT_TRUE(log.Contains(LogPriority::Error, "SkeletalPose - 1 bones need 48 bytes, 4 remain"));
    log.Clear();
    BinaryReader whole(writer.GetBuffer(), writer.GetPosition());
    ASSERT_TRUE(restored.RestoreState(whole));
    EXPECT_EQ(restored.GetSkeletalPose().GetBoneCoords(Name::Create("Bone1")).origin.y, 2.0f);
    restored.UpdateBoundingBox(false);  // the saved box stays
    EXPECT_EQ(restored.GetObjectSpaceBoundingBox(), saved.GetObjectSpaceBoundingBox());
    EXPECT_FLOAT_EQ(restored.GetRegionSpaceABBox().centre.x, 10.0f + saved.GetObjectSpaceBoundingBox().centre.x);

    // The box mesh scaled (4, 2, 1), turned a quarter about y and moved: its x extent now lies
    // along -z, 2 units from its centre.
    GraphicsMeshInstance box;
    Load(box);
    box.SetScale(Vec3(4.0f, 2.0f, 1.0f));
    box.SetObjectToRegionCoords(Coords::Translation(Vec3(0, 0, 10)) * Coords::RotationY(1.5707964f));
    Intersection hit;
    ASSERT_TRUE(box.GetIntersection(Ray(Vec3(0, 0.5f, 0), Vec3(0, 0, 1)), hit, PhysicsSurface::Grass));
    EXPECT_NEAR(hit.distance, 8.0f, 1e-4f);
    EXPECT_NEAR(hit.point.z, 8.0f, 1e-4f);
    EXPECT_EQ(hit.entity, nullptr);
    EXPECT_FALSE(box.GetIntersection(Ray(Vec3(0, 1.5f, 0), Vec3(0, 0, 1)), hit, PhysicsSurface::Grass));
    EXPECT_FALSE(box.GetIntersection(Ray(Vec3(0, 0.5f, 0), Vec3(0, 0, 1)), hit, PhysicsSurface::Unwalkable));
    EXPECT_FALSE(GraphicsMeshInstance().GetIntersection(Ray(Vec3(0, 5, 0), Vec3(0, 0, 1)), hit, PhysicsSurface::Grass));

    // What an instance tells of itself: its mesh and its boxes.
    std::vector<std::string> told;
    {
        test::LogCapture info;
        box.LogInfo();
        GraphicsMeshInstance().LogInfo();
        for (const test::LogCapture::Line& line : info.Lines()) told.push_back(line.text);
    }
    for (const char* line :
         {"GraphicsMeshInstance:", "Meshes/Box.msh", "   numVerts: 8", "   numFaces: 12", "   numFaceSets: 1",
          "   numBlendedFaces: 0", "   bounds extents: (0.500000, 0.500000, 0.500000)",
          "   object space bounding box:", "       extents: (2.000000, 1.000000, 0.500000)",
          "   region space bounding box:", "       origin: (0.000000, 0.000000, 10.000000)", "   mesh: NULL"}) {
        EXPECT_NE(std::find(told.begin(), told.end(), line), told.end()) << line;
    }

    // A mesh with a collision mesh is hit on its triangles, scaled with the instance: one at z = 1.
    MeshFileWriter::Contents walled = Boxes({Vec3()}, false, {}, "Shaders/Standard.ssh");
    BinaryWriter collision;
    mem::vector<PhysicsMesh::Face> faces(1);
    faces[0].vertices[1] = 1;
    faces[0].vertices[2] = 2;
    ASSERT_TRUE(PhysicsMeshWriter::Write(collision, faces, {Vec3(-2, -2, 1), Vec3(2, -2, 1), Vec3(0, 2, 1)}));
    walled.collisionBuffer.assign(collision.GetBuffer(), collision.GetBuffer() + collision.GetPosition());
    WriteMesh("Meshes/Walled.msh", walled);
    GraphicsMeshInstance wall;
    Load(wall, "Meshes/Walled.msh");
    wall.SetScale(Vec3(1.0f, 1.0f, 2.0f));
    ASSERT_TRUE(wall.GetIntersection(Ray(Vec3(0, 0, -5), Vec3(0, 0, 1)), hit, PhysicsSurface::Grass));
    EXPECT_NEAR(hit.distance, 7.0f, 1e-4f);
}

TEST_F(MeshInstanceTest, CopiesHoldTheirOwnReferencesAndSkipTheAnimationState) {
    GraphicsEngine& graphics = bed.Graphics();
    const auto held = [&] {
        graphics.UnloadUnreferencedResources();
        return std::vector<int>{graphics.GetMeshResourceManager()->GetNumResources(),
                                graphics.GetShaderResourceManager()->GetNumResources(),
                                graphics.GetTextureResourceManager()->GetNumResources()};
    };
    const std::vector<int> before = held();
    {
        auto source = std::make_unique<GraphicsMeshInstance>();
        Load(*source);
        source->SetBaseTexture("Textures/Ice.dds");
        source->SetScale(Vec3(2.0f, 2.0f, 2.0f));
        source->SetObjectToRegionCoords(Coords::Translation(Vec3(1, 2, 3)));
        source->BeginDissolve(0, 255, 0, 1.0f, "Textures/Ice.dds");
        source->BeginFade(2.0f);
        source->SetCastsShadows(false);
        source->SetDiffuseColor(Color(0.5f, 0.25f, 1.0f, 1.0f));
        Step(*source, 250);
        // Made over an instance that undissolves and unfades, the copy takes the source's state.
        GraphicsMeshInstance copy;
        copy.BeginUnDissolve(0, 0, 0, 3.0f, "Textures/Ice.dds");
        copy.BeginUnFade(3.0f);
        copy = *source;
        copy = copy;
        const GraphicsMesh* mesh = source->GetMesh();
        const GraphicsShader2* dissolve = source->GetOverrideShader();
        const ABBox box = source->GetRegionSpaceABBox();
        const ABBox objectBox = source->GetObjectSpaceBoundingBox();
        // The source goes, and with it its references: the copy's keep everything loaded.
        source.reset();
        EXPECT_EQ(std::tuple(copy.GetMesh(), copy.GetOverrideShader(), copy.GetIsDissolving(), copy.GetCastsShadows()),
                  std::tuple(mesh, dissolve, true, false));
        EXPECT_TRUE(mesh->GetIsLoaded(false));
        EXPECT_EQ(std::tuple(copy.GetRegionSpaceABBox(), copy.GetObjectSpaceBoundingBox(),
                             copy.GetRegionSpaceOBBox().coords.origin, copy.GetScale()),
                  std::tuple(box, objectBox, box.centre, Vec3(1.0f, 1.0f, 1.0f)));
        EXPECT_EQ(std::tuple(copy.GetDiffuseColor(), copy.GetDissolveParam(), copy.GetFadeValue()),
                  std::tuple(Color(0.5f, 0.25f, 1.0f, 1.0f), 0.25f, 0.875f));
        Step(copy, 750);  // at the source's paces
        EXPECT_EQ(std::tuple(copy.GetIsDissolved(), copy.GetIsUnDissolving(), copy.GetFadeValue()),
                  std::tuple(true, false, 0.5f));
        EXPECT_EQ(Draw(copy), (Rect{58, 22, 62, 26}));  // placed as the source, at its own scale of 1
        copy.SetOverrideShader("Addon/Shaders/IceyStatic.ssh");
    }
    // The last holder gone, all it held goes.
    EXPECT_EQ(held(), before);
}

TEST_F(MeshInstanceTest, AnActorMadeFromItsRecordDrawsItsMeshWhereItStands) {
    const std::string text =
        "Class,Actor,\nmesh,Meshes/Box.msh,\nscale,2.0,\ncastsShadows,0,\nbaseTexture,Textures/Ice.dds,\n"
        "bumpTexture,Textures/Ice.dds,\n";
    LoadTable table("Records/Crate.dbr");
    ASSERT_TRUE(table.Parse(text.data(), uint32_t(text.size())));
    Actor actor;
    ASSERT_TRUE(actor.Load(table));
    GraphicsMeshInstance* instance = actor.GetMeshInstance();
    ASSERT_NE(instance, nullptr);
    EXPECT_FALSE(instance->GetMesh()->GetIsLoaded(false));  // not loaded by being placed and scaled
    instance->GetMesh()->EnsureAvailable();
    EXPECT_TRUE(!instance->GetCastsShadows() && instance->GetBaseTexture() && instance->GetBumpTexture());  // as told
    actor.SetCoords(WorldCoords(Place(), Coords::Translation(Vec3(3, 0, 0))));
    EXPECT_EQ(actor.GetRegionBoundingBox(false), ABBox(Vec3(3, 0, 0), Vec3(1, 1, 1)));
    Actor same;  // its mesh loaded already: its box at once
    ASSERT_TRUE(same.Load(table));
    EXPECT_FLOAT_EQ(same.GetRegionBoundingBox(false).halfSize.y, 1.0f);
    Coords top;  // its mesh's attach point, scaled with it
    ASSERT_TRUE(actor.GetAttachPointCoords(Name::Create("Top"), top));
    EXPECT_EQ(top.origin, Vec3(0, 1, 0));

    test::PlainSceneRenderer renderer;
    actor.AddToScene(renderer, nullptr);
    EXPECT_EQ(renderer.GetNumPassesWithStyle(Name::Create("normal")), 1);
    Intersection hit;
    ASSERT_TRUE(actor.GetIntersection(Ray(Vec3(3, 0, -5), Vec3(0, 0, 1)), hit, PhysicsSurface::Grass));
    EXPECT_EQ(std::tuple(hit.entity, hit.distance), std::tuple(&actor, 4.0f));
    OBBox proxy;
    ASSERT_TRUE(actor.GetCollisionProxy(proxy));
    EXPECT_EQ(std::tuple(proxy.coords.origin.x, proxy.halfSize.z), std::tuple(3.0f, 1.0f));
    // Its pose is its instance's; an actor without a mesh has none, no proxy and less memory.
    SkeletalPose pose;
    pose.SetBoneCoords(Name::Create("Bone"), Coords::Translation(Vec3(0.0f, 1.0f, 0.0f)));
    instance->SetSkeletalPose(pose);
    SkeletalPose posed;
    actor.GetPose(posed);
    EXPECT_EQ(posed.GetBoneCoords(Name::Create("Bone")).origin.y, 1.0f);
    Actor bare;
    bare.StopAnimations();  // none to stop
    bare.GetPose(pose);
    EXPECT_TRUE(pose.IsEmpty() && !bare.GetCollisionProxy(proxy));
    EXPECT_GE(actor.CalculateAllocatedMemory(), bare.CalculateAllocatedMemory() + sizeof(GraphicsMeshInstance));
    // Its saved state holds its instance's.
    BinaryWriter writer;
    actor.SaveState(writer);
    BinaryReader reader(writer.GetBuffer(), writer.GetPosition());
    EXPECT_TRUE(actor.RestoreState(reader) && reader.IsAtEnd());

    // Nothing is added outside the frustum, without meshes, or hidden.
    Frustum aside;
    aside.AddPlane(Plane(Vec3(-1.0f, 0.0f, 0.0f), 1.0f));
    test::PlainSceneRenderer hidden;
    actor.AddToScene(hidden, &aside);
    hidden.EnableMeshes(false);
    actor.AddToScene(hidden, nullptr);
    hidden.EnableMeshes(true);
    actor.SetVisible(false);
    actor.AddToScene(hidden, nullptr);
    EXPECT_EQ(hidden.GetNumPassesWithStyle(Name::Create("normal")), 0);
}

}  // namespace
}  // namespace GAME
