// Decal entities: their opacity over the fade times and their removal at the end; projected onto a
// sloping ground, every corner lies on it, the texture spans the square once, and ground that
// stops under part of the square leaves that part out.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <tuple>

#include "SampleDecals.h"
#include "SampleMeshes.h"
#include "core/Coords.h"
#include "core/Intersection.h"
#include "core/Ray.h"
#include "core/Singleton.h"
#include "effects/Billboard.h"
#include "effects/ChaosBeam.h"
#include "effects/Decal.h"
#include "effects/DecalSet.h"
#include "effects/DecalType.h"
#include "effects/DecalTypeMgr.h"
#include "effects/EffectEntity.h"
#include "effects/Emitter.h"
#include "effects/EmitterData.h"
#include "effects/LineEffect.h"
#include "effects/TrailEffect.h"
#include "engine/Actor.h"
#include "engine/Engine.h"
#include "engine/ObjectManager.h"
#include "files/FileSystem.h"
#include "files/LoadTable.h"
#include "files/TableDepot.h"
#include "render/Camera.h"
#include "render/GraphicsShader2.h"
#include "render/GraphicsTexture.h"
#include "scene/GraphicsSceneRenderer.h"
#include "support/GLEngineBed.h"
#include "support/GraphicsTestBed.h"
#include "support/LogCapture.h"
#include "support/PlainSceneRenderer.h"
#include "support/RecordingEngineTest.h"
#include "support/TempDirectory.h"
#include "world/Level.h"
#include "world/LevelGround.h"
#include "world/Region.h"
#include "world/WorldScene.h"

namespace GAME {
namespace {

// The plane y = 1 + 0.4 x + 0.2 z, which ends at x = edge.
struct SlopeGround final : LevelGround {
    static float Height(float x, float z) { return 1.0f + 0.4f * x + 0.2f * z; }
    bool Load(BinaryReader&, int) override { return false; }
    bool LoadRenderData() override { return true; }
    void Update(const Frustum*, unsigned, int) override {}
    void Write(BinaryWriter&, bool) const override {}
    ABBox GetBoundingBox() const override { return ABBox(); }
    float GetHeightInterpolated(float x, float z) const override { return Height(x, z); }
    void GetIntersection(const Ray& ray, Intersection& out, PhysicsSurface) const override {
        // y(t) - Height(x(t), z(t)) = 0 along the ray.
        const float start = ray.origin.y - Height(ray.origin.x, ray.origin.z);
        const float rate = ray.direction.y - 0.4f * ray.direction.x - 0.2f * ray.direction.z;
        if (rate == 0.0f) return;
        const float t = -start / rate;
        if (t < 0.0f || ray.GetPoint(t).x > edge) return;
        out.distance = t;
        out.point = ray.GetPoint(t);
        out.surface = PhysicsSurface::Dirt;
    }
    float edge = 1000.0f;
};

class DecalTest : public ::testing::Test {
protected:
    void SetUp() override {
        files.AddDirectory(dir.GetPath(), true);
        Write("Plain.dbr", "Class,Decal,\nsize,2,\nopacity,0.8,\n");
        Write("Sudden.dbr", "Class,Decal,\nbeginFadeSeconds,10,\nendFadeSeconds,10,\n");
        Write("Permanent.dbr", "Class,Decal,\nbeginFadeSeconds,0,\nendFadeSeconds,0,\nopacity,0.5,\n");
        Write("Early.dbr", "Class,Decal,\nbeginFadeSeconds,0,\nendFadeSeconds,10,\n");
        Singleton<ObjectManager>::Get()->SetTableDepot(&records);
    }
    void TearDown() override {
        Singleton<ObjectManager>::Get()->DestroyPendingObjects(-1);
        Singleton<ObjectManager>::Get()->SetTableDepot(nullptr);
        EXPECT_EQ(log.Count(LogPriority::Error), 0u);
    }
    void Write(const std::string& name, const std::string& text) {
        ASSERT_TRUE(files.SaveFile(name, text.data(), uint32_t(text.size())));
    }
    static Decal* Make(const char* record) {
        return Singleton<ObjectManager>::Get()->CreateObjectFromFile<Decal>(record);
    }
    // Advances the decal by ms in steps of at most 1000; false once it has destroyed itself.
    static bool Age(Decal* decal, int ms) {
        const int before = Singleton<ObjectManager>::Get()->GetNumDeletedObjects();
        for (; ms > 0; ms -= 1000) decal->UpdateSelf(std::min(ms, 1000));
        return Singleton<ObjectManager>::Get()->GetNumDeletedObjects() == before;
    }

    test::LogCapture log;
    test::TempDirectory dir;
    FileSystem files;
    TableDepot records{files};
};

TEST_F(DecalTest, FadesInHoldsFadesOutAndGoes) {
    Decal* decal = Make("Plain.dbr");
    ASSERT_NE(decal, nullptr);
    EXPECT_TRUE(decal->IsFading());
    EXPECT_FLOAT_EQ(decal->GetOpacity(), 0.0f);
    // Half way into the fade-in; at 30 s, where the fade begins; half way through it; a moment before its end.
    for (const auto& [ms, opacity] : {std::pair{50, 0.4f}, {29950, 0.8f}, {7500, 0.4f}, {7499, 0.0f}}) {
        ASSERT_TRUE(Age(decal, ms));
        EXPECT_NEAR(decal->GetOpacity(), opacity, 1e-4f) << ms;
    }
    EXPECT_FALSE(Age(decal, 1));  // 45 s: removed and destroyed
    EXPECT_FALSE(decal->IsFading());
    decal->LogInfo();  // the record names no texture: the default
    EXPECT_TRUE(log.Contains(LogPriority::Info, std::string("   TextureFile: ") + Decal::kDefaultTexture) &&
                log.Contains(LogPriority::Info, "Decal 'plain.dbr' (id "));  // and what it is as an entity

    // Equal fade times: whole, then gone at once.
    Decal* sudden = Make("Sudden.dbr");
    EXPECT_TRUE(Age(sudden, 9999) && sudden->GetOpacity() == 1.0f);
    EXPECT_TRUE(!Age(sudden, 1) && sudden->GetOpacity() == 0.0f);
    Decal* early = Make("Early.dbr");  // a fade from the start fades at once, with no fade-in
    EXPECT_TRUE(Age(early, 2500) && early->GetOpacity() == 0.75f) << early->GetOpacity();
    EXPECT_FALSE(Age(early, 7500));

    // No fade times: it stays, at its opacity.
    Decal* permanent = Make("Permanent.dbr");
    EXPECT_FALSE(permanent->IsFading());
    ASSERT_TRUE(Age(permanent, 100000));
    EXPECT_TRUE(permanent->GetAge() == 0 && permanent->GetOpacity() == 0.5f);
    Singleton<ObjectManager>::Get()->DestroyObjectEx(permanent, __FILE__, __LINE__);
}

// An engine that is the editor, or not.
struct EditorEngine : Engine {
    bool IsEditorMode() const override { return editor; }
    bool editor = true;
};

// In the editor, and for any surface but 0, a ray picks a decal as the sphere of its size around
// it; the hit's surface is 0.
TEST_F(DecalTest, TheEditorPicksADecalAsASphereOfItsSize) {
    EditorEngine engine;
    Decal* decal = Make("Plain.dbr");  // size 2
    ASSERT_NE(decal, nullptr);
    decal->SetCoords(WorldCoords(nullptr, Coords::Translation(Vec3(1.0f, 2.0f, 3.0f))));
    const Ray ray(Vec3(1.0f, 2.0f, -7.0f), Vec3(0.0f, 0.0f, 1.0f));
    Intersection hit;
    ASSERT_TRUE(decal->GetIntersection(ray, hit, PhysicsSurface::Grass));
    EXPECT_TRUE(std::fabs(hit.distance - 8.0f) < 1e-4f && (hit.point - Vec3(1.0f, 2.0f, 1.0f)).Length() < 1e-4f &&
                hit.surface == PhysicsSurface::Unwalkable) << hit.distance;
    Intersection inside;
    ASSERT_TRUE(
        decal->GetIntersection(Ray(Vec3(1.5f, 2.0f, 3.0f), Vec3(1.0f, 0.0f, 0.0f)), inside, PhysicsSurface::None));
    EXPECT_EQ(inside.distance, 0.0f);

    Intersection none;
    EXPECT_FALSE(decal->GetIntersection(ray, inside, PhysicsSurface{0}) || inside.distance < Infinity);  // cleared
    // An effect entity is picked the same way, as a sphere of radius 1.
    EffectEntity effect;
    effect.SetCoords(decal->GetCoords());
    ASSERT_TRUE(effect.GetIntersection(ray, hit, PhysicsSurface::Grass));
    EXPECT_TRUE(std::fabs(hit.distance - 9.0f) < 1e-4f && (hit.point - Vec3(1.0f, 2.0f, 2.0f)).Length() < 1e-4f);
    EXPECT_FALSE(effect.GetIntersection(ray, none, PhysicsSurface{0}));
    const Ray miss(Vec3(9.0f, 2.0f, -7.0f), Vec3(0.0f, 0.0f, 1.0f));
    EXPECT_FALSE(decal->GetIntersection(miss, none, PhysicsSurface::Grass) ||
                 effect.GetIntersection(miss, none, PhysicsSurface::Grass));
    engine.editor = false;
    EXPECT_FALSE(decal->GetIntersection(ray, none, PhysicsSurface::Grass) ||
                 effect.GetIntersection(ray, none, PhysicsSurface::Grass));
    Singleton<ObjectManager>::Get()->DestroyObjectEx(decal, __FILE__, __LINE__);
}

TEST_F(DecalTest, ProjectedOntoASlopeItsCornersLieOnTheGround) {
    Region region(nullptr, 0, "Slope", ABBox(Vec3(), Vec3(100, 100, 100)), IntVec3(), RegionId(1, 0, 0, 0));
    auto level = std::make_unique<Level>(&region);
    auto ground = std::make_unique<SlopeGround>();
    SlopeGround& slope = *ground;
    level->SetGround(std::move(ground));
    region.SetLevel(std::move(level));

    Decal* decal = Make("Plain.dbr");
    ASSERT_NE(decal, nullptr);
    // Turned a little about y and a little above the ground at its centre.
    Coords at = Coords::RotationY(0.3f);
    at.origin = Vec3(3.0f, SlopeGround::Height(3.0f, 4.0f) + 0.25f, 4.0f);
    decal->SetCoords(WorldCoords(&region, at));
    decal->UpdateSelf(16);
    const auto& faces = decal->GetFaces();
    ASSERT_EQ(faces.size(), size_t(2 * Decal::kGridCells * Decal::kGridCells));
    float minU = 1.0f, maxU = 0.0f;
    for (const Decal::DecalFace& face : faces) {
        for (const Vec3& corner : {face.a, face.b, face.c}) {
            EXPECT_NEAR(corner.y, SlopeGround::Height(corner.x, corner.z), 1e-4f);
            // Within the square of half size 2 about the centre, in the decal's own axes.
            const Vec3 local = corner - at.origin;
            EXPECT_LE(std::max(std::fabs(Dot(local, at.xAxis)), std::fabs(Dot(local, at.zAxis))), 2.0f + 1e-4f);
        }
        for (const float* uv : {face.uvA, face.uvB, face.uvC}) {
            minU = std::min(minU, uv[0]);
            maxU = std::max(maxU, uv[0]);
        }
        EXPECT_GT(face.normal.y, 0.8f);
    }
    EXPECT_TRUE(minU == 0.0f && maxU == 1.0f) << minU << " to " << maxU;

    // Moved onto ground that ends part way under it: cells over no ground are left out, and the
    // faces are made again because it moved.
    slope.edge = 3.0f;
    at = Coords::Translation(Vec3(3.0f, SlopeGround::Height(3.0f, 4.0f) + 0.25f, 5.0f));
    decal->SetCoords(WorldCoords(&region, at));
    decal->UpdateSelf(16);
    EXPECT_EQ(decal->GetFaces().size(), size_t(Decal::kGridCells * Decal::kGridCells));
    for (const Decal::DecalFace& face : decal->GetFaces()) EXPECT_LE(face.a.x, 3.0f);
    EditorEngine editor;  // projected, it can be picked again
    Intersection hit;
    EXPECT_TRUE(decal->GetIntersection(Ray(at.origin + Vec3(0, 9, 0), Vec3(0, -1, 0)), hit, PhysicsSurface::Grass));
    Singleton<ObjectManager>::Get()->DestroyObjectEx(decal, __FILE__, __LINE__);
}

// The sample decal shader on the GL device: seen from above, a decal covers its square on the
// slope and a decal set's decal its type's quad, drawn even before the set's first update.
TEST_F(DecalTest, DecalsAndDecalSetsDrawWithTheSampleShader) {
    test::GLEngineBed bed;
    ASSERT_TRUE(bed.IsReady());
    const std::pair<int, int> held = bed.HeldResources();
    Singleton<ObjectManager>::Get()->SetTableDepot(&records);  // the engine brought its own
    bed.WriteFile(sample::kDecalShader, sample::MakeDecalShaderFile());
    bed.WriteFile("Textures/White.dds", test::MakeDdsFile(4, 4, 0xFFFFFFFFu));
    const std::string look = std::string("texture,Textures/White.dds,\nshader,") + sample::kDecalShader + ",\n";
    Write("Mark.dbr", "Class,Decal,\nsize,2,\nbeginFadeSeconds,0,\nendFadeSeconds,0,\n" + look);
    Write("Spot.dbr", "Class,DecalType,\nwidth,2,\nheight,2,\n" + look);

    Region region(nullptr, 0, "Slope", ABBox(Vec3(), Vec3(100, 100, 100)), IntVec3(), RegionId(1, 0, 0, 0));
    auto level = std::make_unique<Level>(&region);
    level->SetGround(std::make_unique<SlopeGround>());
    region.SetLevel(std::move(level));
    Decal* decal = Make("Mark.dbr");
    ASSERT_NE(decal, nullptr);
    decal->SetCoords(WorldCoords(&region, Coords::Translation(Vec3(0.0f, SlopeGround::Height(0, 0), 0.0f))));
    decal->UpdateBoundingBox();
    decal->UpdateSelf(200);
    ASSERT_FALSE(decal->GetFaces().empty());

    // Looking straight down at 4 pixels a unit.
    Camera camera;
    camera.SetType(CameraType::Orthographic);
    camera.SetWidth(32.0f);
    camera.SetHeight(16.0f);
    Coords above;
    above.zAxis = Vec3(0.0f, -1.0f, 0.0f);
    above.yAxis = Vec3(0.0f, 0.0f, 1.0f);
    above.xAxis = Cross(above.yAxis, above.zAxis);
    above.origin = Vec3(0.0f, 50.0f, 0.0f);
    camera.SetCoords(above);
    const auto draw = [&](const auto& add) {
        bed.Clear();
        test::PlainSceneRenderer renderer;
        renderer.SetViewer(nullptr, camera, Viewport(0, 0, test::GLEngineBed::kWidth, test::GLEngineBed::kHeight),
                           Frustum());
        renderer.EnableDecals(true);
        add(renderer);
        renderer.RenderStyle(bed.Canvas(), Name::Create("emissiveStyle"));
        return bed.FindDrawn(0xFF000000u);
    };
    EXPECT_EQ(draw([&](GraphicsSceneRenderer& r) { decal->AddToScene(r, nullptr); }), (std::vector<int>{56, 24, 72, 40}));
    EXPECT_EQ(bed.ReadPixels()[size_t(32 * test::GLEngineBed::kWidth + 64)], 0xFFFFFFFFu);

    // A decal set's decals at (4, 0, 2) and (-4, 0, -2): 2 x 2 quads, 8 pixels a side, 16 and 8
    // pixels off the middle.
    const DecalType* spot = DecalTypeMgr::Get().LoadDecalType("Spot.dbr");
    ASSERT_NE(spot, nullptr);
    {
        // The level's own set, added to the scene with the level's contents.
        Level& loaded = *region.GetLevel();
        loaded.NewSpace(Vec2(100.0f, 100.0f));
        ASSERT_NE(loaded.GetDecalSet(), nullptr);
        for (const float side : {1.0f, -1.0f})
            ASSERT_TRUE(loaded.GetDecalSet()->AddDecal(spot, Coords::Translation(Vec3(4.0f, 0.0f, 2.0f) * side), 0));
        WorldScene scene(nullptr);
        EXPECT_EQ(
            draw([&](GraphicsSceneRenderer& r) { scene.AddRegionContents(r, &region, Frustum(), nullptr, nullptr); }),
            (std::vector<int>{44, 20, 84, 44}));
        const std::vector<uint32_t> pixels = bed.ReadPixels();
        EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0xFF000000u), long(pixels.size()) - 2 * 64);
    }
    // A type loaded again from its record holds its texture and shader once: with the types and the
    // decal gone, neither is left.
    auto* twice = Singleton<ObjectManager>::Get()->CreateObjectFromFile<DecalType>("Spot.dbr");
    LoadTable table;
    const std::string text = "width,2,\n" + look;
    ASSERT_TRUE(table.Parse(text.data(), uint32_t(text.size())) && twice->Load(table));
    DecalTypeMgr::Get().UnloadDecalType(spot);
    DecalTypeMgr::Destroy();
    for (Object* gone : std::initializer_list<Object*>{decal, twice})
        Singleton<ObjectManager>::Get()->DestroyObjectEx(gone, __FILE__, __LINE__);
    Singleton<ObjectManager>::Get()->DestroyPendingObjects(-1);
    EXPECT_EQ(bed.HeldResources(), held);
}

// Each effect that draws destroys the vertex declaration it made with the device.
class EffectDeviceTest : public test::RecordingEngineTest {};

TEST_F(EffectDeviceTest, EveryVertexDeclarationAnEffectMakesGoesWithIt) {
    StartEngine();
    auto& device = *static_cast<test::RecordingDevice*>(engine.GetGraphicsEngine()->GetRenderDevice());
    const size_t made = device.CountCalls("CreateVertexDeclaration");
    {
        const EmitterData data;
        const Emitter emitter(data);
        const DecalSet set(nullptr);
        std::tuple<Billboard, Decal, LineEffect, TrailEffect> effects;
        std::get<TrailEffect>(effects).InitialUpdate();  // a unit box where it stands
        EXPECT_EQ(std::get<TrailEffect>(effects).GetRegionBoundingBox(false), ABBox(Vec3(), Vec3(1.0f, 1.0f, 1.0f)));
        EXPECT_EQ(device.CountCalls("CreateVertexDeclaration") - made, 6u);
    }
    EXPECT_TRUE(device.CountCalls("DestroyVertexDeclaration") == 6u && device.GetErrors().empty());
    ChaosBeam beam;  // a record's texture and shader replace the defaults
    LoadTable table;
    ASSERT_TRUE(table.Parse("Texture,T.dds,\nShader,S.ssh,\n", 29) && beam.Load(table));
    EXPECT_TRUE(beam.GetLoadedTexture()->GetFileName() == "T.dds" && beam.GetLoadedShader()->GetFileName() == "S.ssh");
}

// An effect on an actor emits along segments from each bone of its skeleton to the bone's parent:
// the sample creature's four (its root has none) in its bind pose, the head's 0.6 above the spine;
// or from the bones its list names that the skeleton has. Added to the world, one is updated at once.
TEST_F(EffectDeviceTest, AnEffectOnAnActorEmitsAlongItsBones) {
    FileSystem files;
    ASSERT_TRUE(files.AddDirectory(directory.GetPath(), true) && sample::WriteMeshes(files));
    StartEngine();
    Actor actor;
    actor.SetMesh(sample::kCreatureMesh);
    for (const auto& [record, count] : {std::pair{std::string("emitterType,AllBones,\n"), 4u},
                                        {std::string("emitterType,BoneList,\nboneList,Head;Tail,\n"), 1u}}) {
        EffectEntity effect;
        LoadTable table;
        ASSERT_TRUE(table.Parse(record.data(), uint32_t(record.size())) && effect.Load(table));
        actor.Attach(&effect, Coords::Identity, "");
        std::vector<EmitterBone> bones;
        ASSERT_TRUE(effect.PullParentBones(bones) && bones.size() == count) << record;
        EXPECT_TRUE(bones.back().start == Vec3(0.0f, 1.6f, 0.0f) && bones.back().end == Vec3(0.0f, 1.0f, 0.0f));
        actor.Detach(&effect);
    }
    Region region(nullptr, 0, "Yard", ABBox(Vec3(), Vec3(8, 8, 8)), IntVec3(), RegionId(1, 0, 0, 0));
    region.SetLevel(std::make_unique<Level>(&region));
    region.GetLevel()->NewSpace(Vec2(8.0f, 8.0f));
    EffectEntity placed;
    ASSERT_TRUE(placed.AddToWorld(WorldCoords(&region, Coords::Identity), true) && placed.HasHadInitialUpdate());
    region.GetLevel()->RemoveEntity(&placed);
}

}  // namespace
}  // namespace GAME
