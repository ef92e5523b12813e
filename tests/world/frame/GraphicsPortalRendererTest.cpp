// The portal renderer on the GL device, read back: regions of the engine's world joined by
// doorways, each holding boxes drawn with the sample data's standard shaders; and interiors, grid
// regions of the sample grid system, drawn and met by rays through a doorway of their own.

#include "world/GraphicsPortalRenderer.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "SampleData.h"
#include "SampleGrid.h"
#include "SampleMeshShaders.h"
#include "SampleScene.h"
#include "core/GameClock.h"
#include "core/Singleton.h"
#include "engine/ObjectManager.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "files/ResourceLoader.h"
#include "pathing/PathFinder.h"
#include "physics/CollisionBox.h"
#include "physics/CollisionContact.h"
#include "render/DebugRenderManager.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsShader2.h"
#include "render/Image.h"
#include "scene/GraphicsMeshInstance.h"
#include "scene/GraphicsNormalRenderer.h"
#include "support/GLEngineBed.h"
#include "support/GLGraphicsBed.h"
#include "support/GraphicsTestBed.h"
#include "support/LogCapture.h"
#include "support/WhiteAmbiance.h"
#include "terrain/GridEntrance.h"
#include "world/GraphicsTransparencyManager.h"
#include "world/GraphicsWarmUp.h"
#include "world/GridRegion.h"
#include "world/GridSystem.h"
#include "world/Level.h"
#include "world/LevelFixture.h"
#include "world/Portal.h"
#include "world/Region.h"
#include "world/TestShapes.h"
#include "world/World.h"
#include "world/WorldIntersection.h"
#include "world/WorldRay.h"

namespace GAME {
namespace test {

// A lit box that counts how often it is added to a scene, turns see-through (a section opacity
// of one half) while it stands in the transparency frustum, and may be drawn across portals.
class FrameBoxEntity : public Entity {
    GAME_RTTI_DECLARE_CLASS()

public:
    void Make(float size, const Color& color) {
        box.SetMesh(sample::kLitBoxMesh);
        box.GetMesh()->EnsureAvailable();
        box.SetScale(Vec3(size, size, size));
        box.SetDiffuseColor(color);
        half = size * 0.5f;
    }
    void UpdateBoundingBox() override {
        SetRegionBoundingBox(ABBox(GetCoords().GetOrigin().GetRegionPosition(), Vec3(half, half, half)), false);
    }
    void SetTransparency(const Frustum& frustum) override {
        box.SetSectionOpacity(frustum.TestABBox(GetRegionBoundingBox(false)) ? 0.5f : 1.0f, 0);
    }
    bool GetShouldRenderAcrossPortals() const override { return acrossPortals; }
    void AddToScene(GraphicsSceneRenderer& renderer, const Frustum*) override {
        ++drawn;
        flags = renderer.GetRenderFlags();
        box.SetObjectToRegionCoords(GetCoords().GetRegionCoords());
        renderer.AddRenderable(&box, GetCoords().GetRegion());
    }

    GraphicsMeshInstance box;
    float half = 0.5f;
    int drawn = 0;
    uint32_t flags = 0;  // the switches of the renderer that drew it last
    bool acrossPortals = false;
};
GAME_RTTI_DEFINE_CLASS(FrameBoxEntity, Entity);

}  // namespace test

namespace {

using test::FrameBoxEntity;

constexpr int kWidth = test::GLEngineBed::kWidth;
constexpr int kHeight = test::GLEngineBed::kHeight;
const Viewport kView(0, 0, kWidth, kHeight);
constexpr uint32_t kRed = 0xFF0000FFu;

class PortalRendererTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bed.IsReady());
        using sample::MeshShaderKind;
        bed.WriteFile(sample::kStandardShader, sample::MakeMeshShaderFile(MeshShaderKind::Standard, false));
        bed.WriteFile("Shaders/StandardT.ssh", sample::MakeMeshShaderFile(MeshShaderKind::Transparent, false));
        bed.WriteFile(sample::kPortalMaskShader, sample::MakePortalMaskShaderFile());
        bed.WriteFile(GraphicsNormalRenderer::kInvTransparencyMaskTexture, sample::MakeInvTransparencyMaskFile());
        bed.WriteFile(sample::kLitBoxMesh, sample::MakeLitBoxMeshFile());
        bed.WriteFile(GraphicsCanvas::kFilterShader, sample::MakeFilterShaderFile());
        ASSERT_TRUE(sample::WriteGrid(bed.Files()));
        bed.WriteFile("Textures/Checker.dds", test::MakeDdsFile(8, 8));  // the grid tiles' texture
        GraphicsNormalRenderer::CreateRenderTargets(bed.Graphics(), 64, 64);
        GraphicsSceneRenderer::CreateResources(bed.Graphics());
        camera.SetCoords(Coords::LookAt(Vec3(0.0f, 1.0f, 0.0f), Vec3(0.0f, 1.0f, 1.0f), Vec3(0.0f, 1.0f, 0.0f)));
    }
    void TearDown() override {
        world.Unload();
        Singleton<ObjectManager>::Get()->DestroyPendingObjects(-1);
        Singleton<PathFinder>::Destroy();
        GraphicsSceneRenderer::DestroyResources(bed.Graphics());
        GraphicsNormalRenderer::DestroyRenderTargets(bed.Graphics());
        EXPECT_EQ(log.Count(LogPriority::Error), 0u);
    }

    // A region with a loaded level 20 units each way around its origin.
    Region* AddRegion(const std::string& name, const IntVec3& offset) {
        return test::AddLoadedRegion(world, name, offset, 20.0f);
    }
    FrameBoxEntity* AddBox(Region* region, const Vec3& position, float size, const Color& color) {
        auto* entity = static_cast<FrameBoxEntity*>(Singleton<ObjectManager>::Get()->CreateObject("FrameBoxEntity"));
        entity->Make(size, color);
        EXPECT_TRUE(world.AddEntity(entity, WorldCoords(region, Coords::Translation(position)), false));
        return entity;
    }
    // A doorway two wide and two high on z = at of each region, the first facing -z (or +z), and
    // the matching side in the second region facing +z, so the two sides face the same way.
    Portal* Join(Region* from, float fromZ, bool fromFacesPlusZ, Region* to, float toZ) {
        const auto side = [](Region* region, float z, bool facesPlusZ) {
            Portal* portal = region->CreatePortal();
            portal->SetTriangles(test::Doorway(facesPlusZ));
            portal->SetCoords(Coords::Translation(Vec3(0.0f, 0.0f, z)));
            return portal;
        };
        Portal* a = side(from, fromZ, fromFacesPlusZ);
        Portal* b = side(to, toZ, true);
        a->SetConnectedRegionId(to->GetId());
        a->SetConnectedPortalId(b->GetId());
        b->SetConnectedRegionId(from->GetId());
        b->SetConnectedPortalId(a->GetId());
        return a;
    }
    // The region's level takes a grid of the sample grid system as its ground.
    GridRegion* AddGrid(Region* region) {
        auto* grid = new GridRegion(region);
        region->GetLevel()->SetGround(std::unique_ptr<LevelGround>(grid));
        return grid;
    }
    void Finish() {
        for (int i = 0; i < world.GetNumRegions(); ++i) world.UpdateRegionBoundingBox(world.GetRegionLevel(i));
        world.BuildConnectivity();
    }
    // The sample crypt furnished on a new grid of crypt's level (as the editor makes one), its
    // doorway cell's portal (its feature mesh's one portal) joined to the sample entrance standing
    // at (0, 0, 10) in yard.
    void JoinCrypt(Region* yard, Region* crypt, GridRegion*& grid, GridEntrance*& entrance) {
        crypt->GetLevel()->NewGrid(1, 1, 1);
        grid = crypt->GetLevel()->GetGridRegion();
        sample::FurnishCrypt(*grid);
        Portal* inside = grid->GetCell(sample::kCryptDoorCell, 0, 0).portal;
        ASSERT_NE(inside, nullptr);
        // The cell's frame is at the cell centre (10, 0, 2); its portal lies on the cell's low-z side.
        EXPECT_NEAR(inside->GetRegionBoundingBox().coords.origin.z, 0.0f, 1e-4f);
        entrance = Singleton<ObjectManager>::Get()->CreateObjectFromFile<GridEntrance>(sample::kGridEntranceRecord);
        ASSERT_NE(entrance, nullptr);
        entrance->SetPortalIds(UniqueId::FromNameOrderWords({1, 2, 3, 4}), inside->GetId(), crypt->GetId());
        ASSERT_TRUE(world.AddEntity(entrance, WorldCoords(yard, Coords::Translation(Vec3(0.0f, 0.0f, 10.0f))), false));
        ASSERT_NE(entrance->GetPortal(), nullptr);
        inside->SetConnectedRegionId(yard->GetId());
        inside->SetConnectedPortalId(entrance->GetPortal()->GetId());
    }
    std::vector<uint32_t> Draw(Region* cameraRegion, const GraphicsTransparencyManager* manager = nullptr) {
        bed.Clear();
        GraphicsPortalRenderer renderer(bed.Canvas(), cameraRegion, camera, kView, false);
        renderer.SetAmbiance(&ambiance);
        renderer.SetTransparencyManager(manager);
        renderer.Render();
        return bed.ReadPixels();
    }
    uint32_t At(const std::vector<uint32_t>& pixels, const Vec3& point) const {
        const Vec2 p = camera.Project(point, kView);
        return pixels[size_t(int(p.y)) * kWidth + size_t(int(p.x))] | 0xFF000000u;
    }

    test::LogCapture log;
    test::GLEngineBed bed;
    World& world = *bed.GetEngine().GetWorld();
    Camera camera;
    test::WhiteAmbiance ambiance;
};

// The camera stands in near looking at the doorway 10 units ahead; far lies 1000 units aside and
// holds a large red box beyond its side of the doorway, near a green box beside the doorway.
TEST_F(PortalRendererTest, RegionBehindADoorwayShowsOnlyThroughItsOpeningAndNotBehindAClosedOne) {
    Region* nearRegion = AddRegion("near", IntVec3(0, 0, 0));
    Region* farRegion = AddRegion("far", IntVec3(1000, 0, 0));
    Portal* doorway = Join(nearRegion, 10.0f, false, farRegion, -10.0f);
    FrameBoxEntity* beside = AddBox(nearRegion, Vec3(4.0f, 1.0f, 10.0f), 1.0f, Color(0.0f, 1.0f, 0.0f, 1.0f));
    FrameBoxEntity* beyond = AddBox(farRegion, Vec3(0.0f, 1.0f, 0.0f), 12.0f, Color(1.0f, 0.0f, 0.0f, 1.0f));
    // Two small boxes standing in far's side of the doorway; near draws the one that asks to be
    // drawn across portals too.
    FrameBoxEntity* inDoorway = AddBox(farRegion, Vec3(0.5f, 0.3f, -10.0f), 0.2f, Color(1.0f, 0.0f, 0.0f, 1.0f));
    FrameBoxEntity* across = AddBox(farRegion, Vec3(-0.5f, 0.3f, -10.0f), 0.2f, Color(1.0f, 0.0f, 0.0f, 1.0f));
    across->acrossPortals = true;
    // A closed door in the same place leads to a third region, which is never drawn.
    Region* shutRegion = AddRegion("shut", IntVec3(2000, 0, 0));
    Join(nearRegion, 10.0f, false, shutRegion, -10.0f)->SetIsOpen(false);
    FrameBoxEntity* shut = AddBox(shutRegion, Vec3(0.0f, 1.0f, 0.0f), 12.0f, Color(0.0f, 0.0f, 1.0f, 1.0f));
    Finish();
    // The opening is masked whether or not the doorways cast shadows.
    for (Portal* side : {doorway, doorway->GetConnectedPortal(false), nearRegion->GetPortal(1)})
        side->SetCastsShadows(false);

    const std::vector<uint32_t> open = Draw(nearRegion);
    EXPECT_EQ((std::array{beside->drawn, beyond->drawn, inDoorway->drawn, across->drawn, shut->drawn}),
              (std::array{1, 1, 1, 2, 0}));
    // The red pixels fill the doorway's image (its corners (-1, 0, 10) and (1, 2, 10)) exactly.
    std::vector<uint32_t> onlyRed(open.size());
    for (size_t i = 0; i < open.size(); ++i) onlyRed[i] = (open[i] | 0xFF000000u) == kRed ? 1u : 0u;
    const std::vector<int> doorway2D = test::FindDrawn(onlyRed, kWidth, kHeight, 0);
    const Vec2 a = camera.Project(Vec3(1.0f, 2.0f, 10.0f), kView);
    const Vec2 b = camera.Project(Vec3(-1.0f, 0.0f, 10.0f), kView);
    ASSERT_EQ(doorway2D.size(), 4u);
    const float corners[4] = {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
    for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(doorway2D[i], corners[i], 1.0f) << i;
    EXPECT_EQ(std::pair(At(open, Vec3(0, 1, 10)), At(open, Vec3(4, 1, 9.5f))), std::pair(kRed, 0xFF00FF00u));
    // Near covers all but its doorway (its blend is 0), so far makes no mask: it would have
    // left its blurred mask in the frame's alpha.
    const Vec2 green = camera.Project(Vec3(4.0f, 1.0f, 9.5f), kView);
    EXPECT_EQ(open[size_t(int(green.y)) * kWidth + size_t(int(green.x))] >> 24, 0xFFu);

    // Closed, the doorway leads nowhere: far is not drawn at all.
    doorway->SetIsOpen(false);
    const std::vector<uint32_t> closed = Draw(nearRegion);
    EXPECT_EQ(beyond->drawn, 1);
    for (uint32_t pixel : closed) ASSERT_NE(pixel | 0xFF000000u, kRed);
    EXPECT_EQ(At(closed, Vec3(4.0f, 1.0f, 9.5f)), 0xFF00FF00u);

    // The graphics engine's scene switches, each turned over, reach the region's renderer.
    using G = GraphicsEngine;
    for (const auto enable : {&G::EnableTerrain, &G::EnableGrass, &G::EnableGridTiles, &G::EnableMeshes,
                              &G::EnableEffects, &G::EnableDecals, &G::EnableWater})
        (bed.Graphics().*enable)(false);
    bed.Graphics().EnableShowBoundingBoxes(true);
    Draw(nearRegion);
    EXPECT_EQ(beside->flags, uint32_t(GraphicsSceneRenderer::kBoundingBoxes));
}

// Doorways lead from a to b, b to c and c back to a, each region's way on facing away from the
// camera: the walk draws every region once and ends.
TEST_F(PortalRendererTest, RegionsJoinedInACycleRenderOnceEach) {
    Region* a = AddRegion("a", IntVec3(0, 0, 0));
    Region* b = AddRegion("b", IntVec3(1000, 0, 0));
    Region* c = AddRegion("c", IntVec3(2000, 0, 0));
    Join(a, 10.0f, false, b, -10.0f);
    Join(b, 10.0f, true, c, -10.0f);
    Join(c, 10.0f, true, a, -10.0f);
    FrameBoxEntity* boxes[3] = {AddBox(a, Vec3(4.0f, 1.0f, 9.0f), 1.0f, Color(0.0f, 1.0f, 0.0f, 1.0f)),
                                AddBox(b, Vec3(0.0f, 1.0f, 0.0f), 1.0f, Color(1.0f, 0.0f, 0.0f, 1.0f)),
                                AddBox(c, Vec3(0.0f, 1.0f, 0.0f), 1.0f, Color(0.0f, 0.0f, 1.0f, 1.0f))};
    Finish();
    bed.Graphics().EnableRegionList(true);
    const size_t before = bed.GetEngine().GetStatisticText().size();
    Draw(a);
    for (const FrameBoxEntity* box : boxes) EXPECT_EQ(box->drawn, 1);
    // The walk as the region list shows it: a's doorway first, c's way back to a not taken.
    const mem::vector<std::string>& lines = bed.GetEngine().GetStatisticText();
    EXPECT_EQ(std::vector<std::string>(lines.begin() + std::ptrdiff_t(before), lines.end()),
              (std::vector<std::string>{"-- Rendering FRONT facing portals of region a", "--> Rendering Region b",
                                        "--- Rendering BACK facing portals of region b", "---> Rendering Region c",
                                        "---- Rendering BACK facing portals of region c", "-> Rendering Region a"}));
}

// The camera stands in near looking at a doorway 10 ahead that faces away from it, a blue wall
// behind the doorway and a green box beside it; far, behind the doorway, holds a large red box.
// Far is drawn over near as much as its blend (its amount, plus 1 less the doorway's fade
// around the target) leaves room for, near's doorway kept; not at all once the target is beyond
// the doorway's reach.
TEST_F(PortalRendererTest, RegionBehindADoorwayFacingAwayBlendsByItsAmountAndTheDoorwaysFade) {
    Region* nearRegion = AddRegion("near", IntVec3(0, 0, 0));
    Region* farRegion = AddRegion("far", IntVec3(1000, 0, 0));
    Join(nearRegion, 10.0f, true, farRegion, -10.0f);
    AddBox(nearRegion, Vec3(4.0f, 1.0f, 10.0f), 1.0f, Color(0.0f, 1.0f, 0.0f, 1.0f));
    AddBox(nearRegion, Vec3(0.0f, 1.0f, 16.0f), 8.0f, Color(0.0f, 0.0f, 1.0f, 1.0f));
    AddBox(farRegion, Vec3(0.0f, 1.0f, 0.0f), 12.0f, Color(1.0f, 0.0f, 0.0f, 1.0f));
    Finish();
    constexpr uint32_t kGreen = 0xFF00FF00u, kBlue = 0xFFFF0000u;
    const Vec3 door(0.0f, 1.0f, 10.0f), beside(4.0f, 1.0f, 9.5f);
    // Both regions' amounts (each is the other's neighbour) after two frames, the first of no game
    // time, the target at z in near.
    const auto draw = [&](float amount, float z) {
        GraphicsTransparencyManager manager;
        for (const double ms : {0.0, double(amount) * GraphicsTransparencyManager::kFadeTime}) {
            GameClock::Get().SetPaused(true);  // the engine's frame, its game time given here
            bed.GetEngine().Update(WorldFrustum(), false);
            GameClock::Get().SetPaused(false);
            GameClock::Get().AdvanceBy(ms);
            manager.SetTargetPosition(WorldVec3(farRegion, Vec3()));  // the frame's update
        }
        GameClock::Get().AdvanceBy(1000.0);
        manager.SetTargetPosition(WorldVec3(nearRegion, Vec3(0.0f, 0.0f, z)));  // the same frame: no update
        EXPECT_FLOAT_EQ(manager.GetRegionBlendAmount(farRegion), amount);
        return Draw(nearRegion, &manager);
    };
    // Without a manager (no fade) the doorway facing away shows nothing of far.
    const std::vector<uint32_t> alone = Draw(nearRegion);
    EXPECT_EQ(std::pair(At(alone, door), At(alone, beside)), std::pair(kBlue, kGreen));
    // Far's amount, the target's z, what shows beside: at the doorway (fade 1) amount 0 is blend 0, far covers
    // near; 10.25 before it (fade 0.25) 1 is 1.75, near whole; beyond its reach (fade 0) far is not drawn.
    for (const auto& [amount, z, seen] :
         {std::tuple{0.0f, 9.0f, kRed}, {1.0f, 20.25f, kGreen}, {0.0f, 21.0f, kGreen}}) {
        const std::vector<uint32_t> pixels = draw(amount, z);
        EXPECT_EQ(std::pair(At(pixels, door), At(pixels, beside)), std::pair(kBlue, seen)) << z;
    }
    // Between (blend 0.75) the two mix.
    const uint32_t mixed = At(draw(0.0f, 20.25f), beside);
    EXPECT_GT(std::min(mixed & 0xFF, mixed >> 8 & 0xFF), 16u);
}

// A box two high on wide ground under the sun: its shadow reaches from x = 1 to 3. The world's
// shadow softness spreads the shadow's lookup: the ground at the shadow's edge lightens, and the
// lit ground beyond takes some of its own shade.
TEST_F(PortalRendererTest, TheWorldsShadowSoftnessSpreadsTheShadowsLookup) {
    Region* region = AddRegion("yard", IntVec3(0, 0, 0));
    AddBox(region, Vec3(0.0f, 1.0f, 6.0f), 2.0f, Color(1.0f, 1.0f, 1.0f, 1.0f));
    AddBox(region, Vec3(0.0f, -10.0f, 6.0f), 20.0f, Color(1.0f, 1.0f, 1.0f, 1.0f));
    Finish();
    bed.Graphics().EnableShadows(true);
    GraphicsNormalRenderer::CreateRenderTargets(bed.Graphics(), 512, 128);
    camera.SetCoords(Coords::LookAt(Vec3(1.0f, 9.0f, 0.0f), Vec3(1.5f, 0.0f, 6.0f), Vec3(0.0f, 1.0f, 0.0f)));
    // A grey sun shining down along +x at 45 degrees over grey ambient light.
    test::WhiteAmbiance sun;
    sun.sunColor = Color(0.8f, 0.8f, 0.8f, 1.0f);
    sun.towardsSun = Vec3(-1.0f, 1.0f, 0.0f).Unit();
    sun.ambientColor = Color(0.2f, 0.2f, 0.2f, 1.0f);
    // The ground's green level at x = 2.6 (in the shadow, near its edge) and 3.6 (lit).
    const auto ground = [&](float softness) {
        world.SetShadowSoftness(softness);
        bed.Clear();
        GraphicsPortalRenderer renderer(bed.Canvas(), region, camera, kView, false);
        renderer.SetAmbiance(&sun);
        renderer.Render();
        const std::vector<uint32_t> pixels = bed.ReadPixels();
        return std::array<int, 2>{int(At(pixels, Vec3(2.6f, 0.0f, 6.0f)) >> 8 & 0xFF),
                                  int(At(pixels, Vec3(3.6f, 0.0f, 6.0f)) >> 8 & 0xFF)};
    };
    const int ambient = 51, sunlit = 51 + int(0.8f * 0.7071f * 255.0f);
    const std::array<int, 2> hard = ground(0.0f);
    EXPECT_NEAR(hard[0], ambient, 4);
    EXPECT_NEAR(hard[1], sunlit, 4);
    const std::array<int, 2> soft = ground(16.0f);
    EXPECT_GT(soft[0], ambient + 20);
    EXPECT_LT(soft[1], sunlit - 20);
    bed.Graphics().EnableLighting(false);  // the ambient light alone
    EXPECT_NEAR(ground(0.0f)[1], ambient, 4);
}

// A screenshot renders the frame into a surface of its own and reads it top row first: the same
// pixels as the frame drawn on the screen, which it leaves alone.
TEST_F(PortalRendererTest, ScreenShotHoldsTheFrameTopRowFirstAndLeavesTheScreenAlone) {
    Region* region = AddRegion("room", IntVec3(0, 0, 0));
    AddBox(region, Vec3(2.0f, 2.0f, 10.0f), 2.0f, Color(1.0f, 0.0f, 0.0f, 1.0f));
    AddBox(region, Vec3(-2.0f, 0.0f, 10.0f), 2.0f, Color(0.0f, 1.0f, 0.0f, 1.0f));
    Finish();
    const std::vector<uint32_t> frame = Draw(region);
    bed.Clear();
    Image image;
    GraphicsPortalRenderer renderer(bed.Canvas(), region, camera, kView, false);
    renderer.SetAmbiance(&ambiance);
    ASSERT_FALSE(renderer.RenderScreenShot(0, 0, image));  // no surface of no size to draw into
    log.Clear();  // the device's error for it
    ASSERT_TRUE(renderer.RenderScreenShot(kWidth, kHeight, image));
    ASSERT_EQ(std::tuple(image.GetWidth(), image.GetHeight(), image.GetFormat()),
              std::tuple(uint32_t(kWidth), uint32_t(kHeight), Image::Format::RGBA));
    std::vector<uint32_t> shot(size_t(kWidth) * kHeight);
    std::memcpy(shot.data(), image.GetBuffer(), shot.size() * 4);
    for (size_t i = 0; i < shot.size(); ++i) ASSERT_EQ(shot[i] | 0xFF000000u, frame[i] | 0xFF000000u) << i;
    EXPECT_EQ(At(shot, Vec3(2.0f, 2.0f, 9.0f)), kRed);  // the red box above and to the left
    for (const uint32_t pixel : bed.ReadPixels()) ASSERT_EQ(pixel | 0xFF000000u, 0xFF000000u);
    EXPECT_EQ(bed.Canvas().GetTargetSurface(), bed.Canvas().GetPrimarySurface());
    ambiance.fogColor = Color(0.0f, 0.0f, 1.0f, 1.0f);  // wholly fogged beyond 2 units
    ambiance.depthFog = Vec3(1.0f, 2.0f, 1.0f);
    EXPECT_EQ(At(Draw(region), Vec3(2.0f, 2.0f, 9.0f)), 0xFFFF0000u);
}

// The warm-up draws a region that came in three times (as seen, and with all in view see-through
// with the doorways fading and without), with the region its doorway shows, into a surface of its
// own: the screen and target are left alone.
TEST_F(PortalRendererTest, WarmUpDrawsTheRegionAndWhatItsDoorwayShowsOffscreen) {
    Region* room = AddRegion("room", IntVec3(0, 0, 0));
    Region* beyond = AddRegion("beyond", IntVec3(1000, 0, 0));
    Join(room, 10.0f, false, beyond, -10.0f);
    FrameBoxEntity* inRoom = AddBox(room, Vec3(2.0f, 1.0f, -4.0f), 2.0f, Color(1.0f, 0.0f, 0.0f, 1.0f));
    FrameBoxEntity* behind = AddBox(beyond, Vec3(0.0f, 1.0f, 0.0f), 2.0f, Color(1.0f, 0.0f, 0.0f, 1.0f));
    Finish();
    bed.Canvas().ClearRenderSurface(nullptr, Color(0.0f, 0.0f, 1.0f, 1.0f), RenderDevice::kClearColor);
    GraphicsWarmUp::DrawRegion(bed.Canvas(), *room);
    EXPECT_EQ(std::tuple(inRoom->drawn, behind->drawn, inRoom->box.GetSectionOpacity(0)), std::tuple(3, 3, 0.5f));
    for (const uint32_t pixel : bed.ReadPixels()) ASSERT_EQ(pixel | 0xFF000000u, 0xFFFF0000u);
    // Its draws hand the canvas's temporary surfaces back first: one taken between two is free after.
    const auto take = [this] {
        return bed.Canvas().CreateTemporaryTextureSurface(GraphicsWarmUp::kSize, GraphicsWarmUp::kSize,
                                                          RenderTextureFormat::RGBA, RenderTextureFormat::D24);
    };
    RenderSurface* const held = take();
    GraphicsWarmUp::DrawRegion(bed.Canvas(), *room);
    EXPECT_EQ(std::tuple(take(), bed.Canvas().GetTargetSurface(), bed.Canvas().IsWarmingUp()),
              std::tuple(held, bed.Canvas().GetPrimarySurface(), false));
}

// The warm-up draws a grid's cells once more at half opacity (with their material's transparent
// shader, as a fading wall draws), then leaves their opacities and fade marks as it found them.
TEST_F(PortalRendererTest, WarmUpDrawsAGridSeeThroughAndLeavesItsSectionsAsTheyWere) {
    Region* room = AddRegion("room", IntVec3(0, 0, 0));
    GridRegion* grid = AddGrid(room);
    grid->Resize(1, 1, 1);
    for (int i = 0; i <= 2; ++i) grid->SetLatticeValue(i, 0, 0, 1);
    Finish();
    const GridCellMeshInstance& cell = *grid->GetCell(0, 0, 0).instance;
    ASSERT_GT(cell.GetNumSections(), 0);
    // Each query lists the cells it finds, not also those the one before it found.
    const ABBox around(Vec3(), Vec3(100, 100, 100));
    const Frustum all = Frustum::FromBox(around);
    mem::vector<GridCellMeshInstance*> found;
    grid->GetCellMeshesInBox(around, found);
    grid->GetMeshesInFrustum(found, &all, 1);
    EXPECT_EQ(found, mem::vector<GridCellMeshInstance*>(2, grid->GetCell(0, 0, 0).instance.get()));
    const GraphicsShader2* seeThrough = bed.Graphics().LoadShader2("Shaders/StandardT.ssh");
    ResourceLoader& loader = *bed.GetEngine().GetResourceLoader();
    loader.SetFrameCount(seeThrough->GetLastFrameUsed() + 3);
    GraphicsWarmUp::DrawRegion(bed.Canvas(), *room);
    EXPECT_EQ(seeThrough->GetLastFrameUsed(), loader.GetFrameCount());
    for (int section = 0; section < cell.GetNumSections(); ++section)
        EXPECT_TRUE(cell.GetSectionOpacity(uint32_t(section)) == 1.0f && !cell.IsSectionMarked(unsigned(section)));
    // The grid system's preload reaches through its meshes to their shaders.
    const GraphicsShader2* standard = bed.Graphics().LoadShader2(sample::kStandardShader);
    loader.SetFrameCount(loader.GetFrameCount() + 5);
    grid->GetSystem()->PreLoad(0);
    EXPECT_EQ(standard->GetLastFrameTouched(), loader.GetFrameCount());
    bed.Graphics().UnloadShader2(standard);
    bed.Graphics().UnloadShader2(seeThrough);
}

// A white wall stands between the camera and a red box; the transparency frustum reaches from
// the camera to just short of the box.
TEST_F(PortalRendererTest, MeshBetweenCameraAndTargetTurnsSeeThrough) {
    Region* region = AddRegion("room", IntVec3(0, 0, 0));
    AddBox(region, Vec3(0.0f, 1.0f, 5.0f), 2.0f, Color(1.0f, 1.0f, 1.0f, 1.0f));
    AddBox(region, Vec3(0.0f, 1.0f, 9.0f), 3.0f, Color(1.0f, 0.0f, 0.0f, 1.0f));
    Finish();
    EXPECT_EQ(At(Draw(region), Vec3(0.0f, 1.0f, 4.0f)), 0xFFFFFFFFu);

    GraphicsTransparencyManager manager;
    Frustum toTarget = camera.GetFrustum(kView);
    toTarget.AddPlane(Plane(Vec3(0.0f, 0.0f, -1.0f), 7.0f));
    manager.SetTransparencyFrustum(WorldFrustum(region, toTarget));
    const uint32_t seen = At(Draw(region, &manager), Vec3(0.0f, 1.0f, 4.0f));
    EXPECT_EQ(seen & 0xFF, 0xFFu);  // the red box and the wall both give full red
    EXPECT_TRUE((seen >> 8 & 0xFF) > 64u && (seen >> 8 & 0xFF) < 240u) << seen;
    EXPECT_EQ(seen >> 8 & 0xFF, seen >> 16 & 0xFF);
    bed.Graphics().EnableTransparency(false);
    EXPECT_EQ(At(Draw(region, &manager), Vec3(0.0f, 1.0f, 4.0f)), kRed);  // the wall is left out
}

// A room of one cell without a floor, seen from above: its walls and posts are drawn around the
// cell, nothing inside it or beyond it.
TEST_F(PortalRendererTest, GridRoomShowsItsWallsAroundAnEmptyMiddle) {
    Region* region = AddRegion("room", IntVec3(0, 0, 0));
    GridRegion* grid = AddGrid(region);
    grid->Resize(1, 1, 1);
    for (int i = 0; i <= 2; ++i)
        for (int k = 0; k <= 2; ++k)
            if (i != 1 || k != 1) grid->SetLatticeValue(i, 0, k, 1);
    Finish();
    ASSERT_NE(grid->GetCell(0, 0, 0).instance, nullptr);
    EXPECT_EQ(grid->GetCell(0, 0, 0).instance->GetMesh()->GetFileName(), "Meshes/Grid/MidN.msh");
    camera.SetCoords(Coords::LookAt(Vec3(2.0f, 12.0f, 2.0f), Vec3(2.0f, 0.0f, 2.0f), Vec3(0.0f, 0.0f, 1.0f)));
    const std::vector<uint32_t> pixels = Draw(region);
    constexpr uint32_t kBlack = 0xFF000000u;
    EXPECT_EQ(std::pair(At(pixels, Vec3(2, 0, 2)), At(pixels, Vec3(-2, 0, 2))), std::pair(kBlack, kBlack));
    for (const Vec3& top : {Vec3(2.0f, 3.0f, 0.1f), Vec3(3.9f, 3.0f, 2.0f), Vec3(2.0f, 3.0f, 3.9f), Vec3(0.1f, 3.0f, 2.0f),
                            Vec3(3.9f, 3.0f, 3.9f)})
        EXPECT_NE(At(pixels, top), kBlack) << top.x << " " << top.z;
    // In one pass with the ambient-light shader of its material, the room looks the same.
    GridCellMeshInstance& instance = *grid->GetCell(0, 0, 0).instance;
    instance.SetSinglePass(true);
    const Name ambient = Name::Create("ambientLightStyle");
    EXPECT_EQ(instance.GetNumRenderPasses(ambient, RenderGenerationId()), 1);
    EXPECT_EQ(instance.GetShader2(0, Name())->GetFileName(), sample::kStandardShader);
    EXPECT_EQ(Draw(region), pixels);
    bed.Graphics().EnableGridTiles(false);  // the graphics switch reaches the renderer
    EXPECT_EQ(At(Draw(region), Vec3(2.0f, 3.0f, 0.1f)), kBlack);
    bed.Graphics().EnableGridTiles(true);
    // Fading, the whole cell keeps the ambient-light shader; its face set alone takes the see-through one.
    instance.SetSectionOpacity(0.5f, instance.GetMesh()->GetFaceSet(0).section);
    for (const bool single : {true, false}) {
        instance.SetSinglePass(single);
        GraphicsRenderable::PassInfo info;
        ASSERT_TRUE(instance.GetRenderPassInfo(0, ambient, RenderGenerationId(), nullptr, info));
        EXPECT_EQ(info.shader->GetFileName(), single ? sample::kStandardShader : "Shaders/StandardT.ssh");
        EXPECT_FLOAT_EQ(info.opacity, 0.5f);
    }
    instance.SetSectionOpacity(1.0f, instance.GetMesh()->GetFaceSet(0).section);
    // The lattice shown for the editor: a box and a label at each of its 9 points.
    DebugRenderManager& debug = *Singleton<DebugRenderManager>::Get();
    const size_t queued = debug.GetNumQueued();
    grid->RenderLattice();
    EXPECT_EQ(debug.GetNumQueued() - queued, 18u);
    debug.Flush(bed.Canvas(), region, camera, kView);
    // Seen from far out on -x and -z, the walls on those sides fade.
    const Frustum view = camera.GetFrustum(kView);
    const WorldVec3 middle(region, Vec3(2.0f, 1.0f, 2.0f));
    grid->UpdateTransparency(WorldVec3(region, Vec3(-40.0f, 1.0f, -40.0f)), middle, 100);
    grid->UpdateTransparency(view);  // and every section of the cell in view is marked to fade
    for (int section = 0; section < instance.GetNumSections(); ++section)
        EXPECT_TRUE(instance.IsSectionMarked(unsigned(section))) << section;
    grid->Update(&view, 1, 0);
    EXPECT_EQ(instance.GetWallTransparency(), (std::array<float, 4>{0.5f, 1.0f, 1.0f, 0.5f}));
    grid->ClearTransparency();

    // Posts 0 and 1 and the wall between them alone: the one-wall piece (its wall on its -x side),
    // turned three quarters to stand on -z.
    for (const auto& [i, k] : {std::pair{0, 1}, std::pair{0, 2}, std::pair{1, 2}, std::pair{2, 2}, std::pair{2, 1}})
        grid->SetLatticeValue(i, 0, k, 0);
    const GridRegion::Cell& cell = grid->GetCell(0, 0, 0);
    ASSERT_NE(cell.instance, nullptr);
    EXPECT_EQ(std::tuple(cell.instance->GetMesh()->GetFileName(), cell.rotation),
              std::tuple("Meshes/Grid/MidA.msh", 3));
    EXPECT_LT((Vec3(cell.box.GetMin().x, cell.box.GetMax().x, cell.box.GetMax().z) - Vec3(0, 4, 0.2f)).Length(), 1e-4f);
    // Seen from far out on -z, that wall fades; the instance hands it on as the mesh's wall 3.
    grid->UpdateTransparency(WorldVec3(region, Vec3(2.0f, 1.0f, -40.0f)), middle, 100);
    grid->Update(&view, 1, 0);
    EXPECT_EQ(cell.instance->GetWallTransparency(), (std::array<float, 4>{1.0f, 1.0f, 1.0f, 0.5f}));
    grid->SetLatticeValue(1, 0, 0, 0);  // the wall gone, the posts stay
    EXPECT_EQ(cell.instance->GetMesh()->GetFileName(), "Meshes/Grid/MidG.msh");
}

// The sample crypt lies far aside from a yard; the doorway cell's portal (its feature mesh's one
// portal) is joined to the sample entrance standing in the yard. A ray from the yard passes
// through both, through the opening of the crypt's cross wall, and meets the crypt's back wall.
TEST_F(PortalRendererTest, RayFromAYardPassesThroughTheEntranceAndTheDoorwayFeatureIntoTheCrypt) {
    Region* yard = AddRegion("yard", IntVec3(0, 0, 0));
    Region* crypt = AddRegion("crypt", IntVec3(1000, 0, 0));
    GridRegion* grid = nullptr;
    GridEntrance* entrance = nullptr;
    ASSERT_NO_FATAL_FAILURE(JoinCrypt(yard, crypt, grid, entrance));
    // A wall beside the doorway's cell, or a feature two cells off, rebuilds its cells, not the doorway's.
    const UniqueId doorway = grid->GetCell(sample::kCryptDoorCell, 0, 0).portal->GetId();
    grid->SetLatticeValue(6, 0, 3, 0);
    for (const int z : {0, 2}) grid->SetCellFeature(sample::kCryptDoorCell + 2 - z, 0, z, 0, 0);
    grid->Resize(sample::kCryptCells, 1, sample::kCryptCells);  // the same size: nothing is rebuilt
    EXPECT_EQ(grid->GetCell(sample::kCryptDoorCell, 0, 0).portal->GetId(), doorway);
    // The grid's block read back over it makes the doorway's portal again, joined as it was.
    BinaryWriter block;
    grid->SaveBlock(block);
    for (int read = 0; read < 2; ++read) {  // the second read's portal records replace the first's
        BinaryReader reader(block.GetBuffer(), block.GetPosition());
        ASSERT_TRUE(grid->LoadBlock(reader));
    }
    EXPECT_EQ(grid->GetPortalRecords().size(), 1u);
    grid->PostLoad();
    const Portal* door = grid->GetCell(sample::kCryptDoorCell, 0, 0).portal;
    EXPECT_EQ(std::tuple(door->GetId(), door->GetConnectedPortalId(), door->GetConnectedRegionId()),
              std::tuple(doorway, entrance->GetPortal()->GetId(), yard->GetId()));
    Finish();
    EXPECT_NEAR(crypt->GetBoundingBox().GetMax().z, 20.0f, 1e-4f);  // no cell's pieces stand out of it

    WorldIntersection hit;
    world.GetIntersection(WorldRay(WorldVec3(yard, Vec3(0.0f, 1.0f, 5.0f)), Vec3(0.0f, 0.0f, 1.0f)), hit,
                          PhysicsSurface::None, false);
    EXPECT_EQ(hit.position.GetRegion(), crypt);
    EXPECT_NEAR(hit.distance, 5.0f + 19.875f, 1e-3f);
    EXPECT_NEAR(hit.position.GetRegionPosition().x, 10.0f, 1e-3f);
    // A step aside the ray meets the entrance's side instead.
    world.GetIntersection(WorldRay(WorldVec3(yard, Vec3(1.0f, 1.0f, 5.0f)), Vec3(0.0f, 0.0f, 1.0f)), hit,
                          PhysicsSurface::None, false);
    EXPECT_EQ(hit.entity, entrance);
    EXPECT_NEAR(hit.distance, 4.875f, 1e-3f);

    // A box pressed into the back wall touches it (also once the grid has grown a column, which
    // rebuilds every cell); one in the middle of a cell touches nothing.
    grid->Resize(sample::kCryptCells + 1, 1, sample::kCryptCells);
    for (int turn = 0; turn < 4; ++turn) grid->Rotate();  // four turns: the same grid, rebuilt
    CollisionContact contacts[8];
    const int touching = grid->FindCollisions(OBBox(Vec3(0.3f, 0.3f, 0.3f), Coords::Translation(Vec3(10, 1, 19.6f))),
                                              contacts, 8, PhysicsSurface::None);
    ASSERT_GT(touching, 0);
    EXPECT_LT(contacts[0].normal.z, -0.9f);
    EXPECT_EQ(contacts[0].entity, nullptr);
    // A box turned to press one corner in meets the wall's face in three points, each kept once.
    const OBBox corner(Vec3(0.3f, 0.3f, 0.3f), Coords::Translation(Vec3(10, 1, 19.45f)) *
                                                   Coords::RotationY(Pi * 0.25f) * Coords::RotationX(0.6155f));
    mem::vector<CollisionBox> boxes{CollisionBox(corner, 1.0f)};
    grid->FindCollisions(boxes, ABBox(corner), PhysicsSurface::None);
    EXPECT_EQ(boxes[0].GetNumContacts(), 3);
    EXPECT_EQ(grid->FindCollisions(OBBox(Vec3(0.3f, 0.3f, 0.3f), Coords::Translation(Vec3(10, 1, 6))), contacts, 8,
                                   PhysicsSurface::None),
              0);
    // An entity's box is carried from its region into the one named: the entrance, a thousand
    // units west of the crypt, meets none of its cells; named as standing in the crypt's own space
    // (at x = 0) it stands in the west wall. A box without a collision proxy meets nothing.
    EXPECT_EQ(grid->FindCollisions(entrance, contacts, 8, crypt, PhysicsSurface::None), 0);
    EXPECT_GT(grid->FindCollisions(entrance, contacts, 8, yard, PhysicsSurface::None), 0);
    EXPECT_EQ(
        grid->FindCollisions(AddBox(yard, Vec3(0, 1, 10), 2.0f, Color()), contacts, 8, yard, PhysicsSurface::None), 0);
    crypt->GetLevel()->NewSpace(Vec2(20.0f, 20.0f));  // the grid goes with the doorway's portal
    EXPECT_EQ(crypt->GetNumPortals(), 0);
}

// The camera stands in the yard before the crypt's entrance, a green box behind the entrance:
// through the doorway it sees the crypt's walls, not the yard behind. The renderer loads what it
// draws with (the portal mask shader, the targets) itself, as in the engine.
TEST_F(PortalRendererTest, CryptShowsThroughTheEntranceInsteadOfTheYardBehindIt) {
    GraphicsSceneRenderer::DestroyResources(bed.Graphics());
    GraphicsNormalRenderer::DestroyRenderTargets(bed.Graphics());
    Region* yard = AddRegion("yard", IntVec3(0, 0, 0));
    Region* crypt = AddRegion("crypt", IntVec3(1000, 0, 0));
    GridRegion* grid = nullptr;
    GridEntrance* entrance = nullptr;
    ASSERT_NO_FATAL_FAILURE(JoinCrypt(yard, crypt, grid, entrance));
    AddBox(yard, Vec3(0.0f, 1.0f, 16.0f), 8.0f, Color(0.0f, 1.0f, 0.0f, 1.0f));
    Finish();
    camera.SetCoords(Coords::LookAt(Vec3(0.0f, 1.2f, 4.0f), Vec3(0.0f, 1.2f, 10.0f), Vec3(0.0f, 1.0f, 0.0f)));
    const std::vector<uint32_t> pixels = Draw(yard);
    constexpr uint32_t kGreen = 0xFF00FF00u;
    constexpr uint32_t kBlack = 0xFF000000u;
    // Beside the entrance, the box; in its opening, the crypt's back wall (grey, lit).
    EXPECT_EQ(At(pixels, Vec3(3.2f, 1.0f, 12.0f)), kGreen);
    for (const Vec3& opening : {Vec3(0.0f, 1.2f, 10.0f), Vec3(-0.5f, 0.5f, 10.0f), Vec3(0.5f, 1.6f, 10.0f)}) {
        const uint32_t seen = At(pixels, opening);
        EXPECT_NE(seen, kGreen) << opening.x << " " << opening.y;
        EXPECT_NE(seen, kBlack) << opening.x << " " << opening.y;
    }
}

}  // namespace
}  // namespace GAME
