#include "world/World.h"

#include <algorithm>
#include <cmath>

#include "LevelFixture.h"
#include "TestShapes.h"
#include "core/Intersection.h"
#include "core/IntersectionTests.h"
#include "core/MathUtil.h"
#include "core/Ray.h"
#include "core/Singleton.h"
#include "core/Sphere.h"
#include "effects/DecalSet.h"
#include "effects/DecalType.h"
#include "engine/FilterFunction.h"
#include "engine/ObjectManager.h"
#include "files/Options.h"
#include "pathing/PathFinder.h"
#include "physics/CollisionBox.h"
#include "physics/CollisionContact.h"
#include "render/Camera.h"
#include "render/Viewport.h"
#include "scene/GraphicsNormalRenderer.h"
#include "scene/GraphicsReflectionManager.h"
#include "support/BoxHit.h"
#include "support/LogCapture.h"
#include "world/PhysicsGrassWind.h"
#include "world/Portal.h"
#include "world/Region.h"
#include "world/SectorDataManager.h"
#include "world/WorldFrustum.h"
#include "world/WorldGrid.h"
#include "world/WorldIntersection.h"
#include "world/WorldRay.h"
#include "world/WorldScene.h"

#include <gtest/gtest.h>

namespace GAME {
namespace test {

// A level entity that rays hit on its box.
class WorldTestEntity : public LevelTestEntity {
    GAME_RTTI_DECLARE_CLASS()

public:
    bool GetIntersection(const Ray& ray, Intersection& hit, PhysicsSurface) override {
        return HitBox(GetRegionBoundingBox(false), ray, hit);
    }
    bool GetCollisionProxy(OBBox& box) const override {
        box = OBBox(GetRegionBoundingBox(false));
        return true;
    }
};
GAME_RTTI_DEFINE_CLASS(WorldTestEntity, LevelTestEntity);

}  // namespace test

namespace {

using test::WorldTestEntity;

mem::set<Entity*> AsSet(const mem::vector<Entity*>& entities) { return {entities.begin(), entities.end()}; }
mem::set<Region*> AsSet(const mem::vector<Region*>& regions) { return {regions.begin(), regions.end()}; }

class WorldTest : public ::testing::Test {
protected:
    ~WorldTest() override {
        world.Unload();
        EXPECT_TRUE(world.GetWorldGrid() == nullptr && world.GetWorldBox() == ABBox() &&
                    world.GetLoadedRegions().empty() && !world.IsConnectivityBuilt());
        EXPECT_EQ(test::LevelRecords::Flush(), 0);  // nothing left for the next test to count
        Singleton<PathFinder>::Destroy();
    }

    // A region whose loaded level spans half size (size, size) on x/z around its origin.
    Region* AddRegion(const std::string& name, const IntVec3& offset, float size) {
        return test::AddLoadedRegion(world, name, offset, size);
    }
    WorldTestEntity* AddEntity(Region* region, const Vec3& position) {
        auto* entity = static_cast<WorldTestEntity*>(Singleton<ObjectManager>::Get()->CreateObject("WorldTestEntity"));
        EXPECT_TRUE(world.AddEntity(entity, WorldCoords(region, Coords::Translation(position)), false));
        return entity;
    }
    // After entities went in: the regions take their levels' boxes, then connectivity and grid.
    void Finish() {
        for (int i = 0; i < world.GetNumRegions(); ++i) world.UpdateRegionBoundingBox(world.GetRegionLevel(i));
        world.BuildConnectivity();
    }
    // Two regions far apart by their offsets, joined by a doorway: near's at z = 10 facing back to
    // near's origin, far's at z = -10 of far facing into far.
    void JoinByDoorway(Region* near, Region* far) {
        Portal* front = near->CreatePortal();
        front->SetTriangles(test::Doorway(false));
        front->SetCoords(Coords::Translation(Vec3(0, 0, 10)));
        Portal* back = far->CreatePortal();
        back->SetTriangles(test::Doorway(true));
        back->SetCoords(Coords::Translation(Vec3(0, 0, -10)));
        front->SetConnectedRegionId(far->GetId());
        front->SetConnectedPortalId(back->GetId());
        back->SetConnectedRegionId(near->GetId());
        back->SetConnectedPortalId(front->GetId());
    }

    test::LevelTestEngine engine;
    test::LevelRecords records;
    World world;
};

// Every query of the world against a scan of every region and entity, before the grid exists and
// after, over regions of random sizes and offsets (some overlapping) and entities in them.
TEST_F(WorldTest, QueriesAgreeWithAScanOfEveryRegionAndEntity) {
    test::Shapes shapes(30);
    mem::vector<Entity*> all;
    for (int i = 0; i < 10; ++i) {
        const IntVec3 offset(int(shapes.Uniform(-400, 400)), int(shapes.Uniform(-20, 20)), int(shapes.Uniform(-400, 400)));
        const float size = shapes.Uniform(20, 120);
        Region* region = AddRegion("r" + std::to_string(i), offset, size);
        for (int e = 0; e < 30; ++e)
            all.push_back(AddEntity(region, shapes.Point(Vec3(-size, -10, -size), Vec3(size, 10, size))));
    }
    const auto scanEntities = [&](auto&& inside) {
        mem::set<Entity*> found;
        for (Entity* entity : all) {
            if (inside(entity)) found.insert(entity);
        }
        return found;
    };
    for (const bool withGrid : {false, true}) {
        SCOPED_TRACE(withGrid ? "grid" : "scan");
        if (withGrid) {
            Finish();
            ASSERT_NE(world.GetWorldGrid(), nullptr);
        } else {
            for (int i = 0; i < world.GetNumRegions(); ++i) world.UpdateRegionBoundingBox(world.GetRegionLevel(i));
        }
        for (int trial = 0; trial < 40; ++trial) {
            Region* ref = world.GetRegion(trial % world.GetNumRegions());
            // Region and entity boxes moved into ref's space.
            const auto moved = [&](ABBox box, const Region* region) {
                box.Translate(GetOffsetDifference(region, ref));
                return box;
            };
            const auto regionBox = [&](const Region* region) { return moved(region->GetBoundingBox(), region); };
            const auto entityBox = [&](Entity* e) { return moved(e->GetRegionBoundingBox(false), e->GetRegion()); };

            const ABBox box(shapes.Point(Vec3(-300, -30, -300), Vec3(300, 30, 300)),
                            shapes.Point(Vec3(1, 1, 1), Vec3(120, 30, 120)));
            mem::vector<Region*> regions;
            world.GetRegionsInBox(regions, ref, box);
            mem::set<Region*> expectedRegions;
            for (int i = 0; i < world.GetNumRegions(); ++i) {
                if (ABBox::Overlap(regionBox(world.GetRegion(i)), box)) expectedRegions.insert(world.GetRegion(i));
            }
            EXPECT_EQ(AsSet(regions), expectedRegions);

            const Vec3 point = shapes.Point(Vec3(-400, -20, -400), Vec3(400, 20, 400));
            Region* holder = world.GetRegionContainingPoint(ref, point);
            bool anyHolds = false;
            for (int i = 0; i < world.GetNumRegions(); ++i) {
                const Region* region = world.GetRegion(i);
                const bool holds = ABBox::Overlap(regionBox(region), ABBox(point, Vec3()));
                anyHolds = anyHolds || holds;
                EXPECT_TRUE(region != holder || holds);
            }
            EXPECT_EQ(holder != nullptr, anyHolds);

            mem::vector<Entity*> found;
            world.GetEntitiesInBox(found, box, ref, false);
            EXPECT_EQ(AsSet(found), scanEntities([&](Entity* e) { return TestIntersection(entityBox(e), box); }));

            const Sphere sphere(point, shapes.Uniform(5, 150));
            found.clear();
            world.GetEntitiesInSphere(found, ref, sphere, false);
            EXPECT_EQ(AsSet(found), scanEntities([&](Entity* e) { return TestIntersection(entityBox(e), sphere); }));

            const Frustum frustum = shapes.ViewFrustum(Vec3(-200, -10, -200), Vec3(200, 10, 200), 300.0f);
            regions.clear();
            world.GetRegionsInFrustum(regions, ref, frustum, false);
            expectedRegions.clear();
            for (int i = 0; i < world.GetNumRegions(); ++i) {
                Region* region = world.GetRegion(i);
                const ABBox there = regionBox(region);
                if (TestIntersection(there, frustum) && TestIntersection(frustum, there))
                    expectedRegions.insert(region);
            }
            EXPECT_EQ(AsSet(regions), expectedRegions);
            mem::vector<Region*> fromRegion;
            ref->GetRegionsInFrustum(fromRegion, frustum);
            EXPECT_EQ(AsSet(fromRegion), expectedRegions);

            found.clear();
            world.GetEntitiesInFrustum(found, WorldFrustum(ref, frustum), false, false, false);
            EXPECT_EQ(AsSet(found), scanEntities([&](Entity* e) { return TestIntersection(entityBox(e), frustum); }));

            // The nearest entity along a ray, over every region.
            const WorldRay ray(WorldVec3(ref, point), shapes.Direction());
            WorldIntersection hit;
            world.GetIntersection(ray, hit, PhysicsSurface::None, false);
            float nearest = Infinity;
            for (Entity* e : all) nearest = std::min(nearest, entityBox(e).GetIntersection(Ray(point, ray.direction)));
            if (nearest < Infinity) {
                EXPECT_NEAR(hit.distance, nearest, 1e-3f);
            } else {
                EXPECT_EQ(hit.distance, Infinity);
            }
            EXPECT_TRUE(hit.entity == nullptr || world.PickEntity(ray) != nullptr);
        }
    }
}

// A ground that records the grass disturbances and winds it is given.
class RecordingGround final : public LevelGround {
public:
    struct Disturbance {
        float x, z, radius, strength;
    };
    explicit RecordingGround(float size) : size_(size) {}
    bool Load(BinaryReader&, int) override { return true; }
    bool LoadRenderData() override { return true; }
    void Update(const Frustum*, unsigned, int elapsed) override { updates.push_back(elapsed); }
    void Write(BinaryWriter&, bool) const override {}
    ABBox GetBoundingBox() const override { return ABBox(Vec3(), Vec3(size_, 10, size_)); }
    float GetHeightInterpolated(float, float) const override { return 0.0f; }
    // Rays meet the plane y = 0 over the box.
    void GetIntersection(const Ray& ray, Intersection& out, PhysicsSurface) const override {
        const float t = ray.direction.y != 0.0f ? -ray.origin.y / ray.direction.y : -1.0f;
        const Vec3 p = ray.origin + ray.direction * t;
        if (t >= 0.0f && std::fabs(p.x) <= size_ && std::fabs(p.z) <= size_) out.distance = t, out.point = p;
    }
    // An upright box meets the plane at one point under its centre, as deep as it reaches below.
    int FindCollisions(const OBBox& box, CollisionContact* contacts, int max, PhysicsSurface) const override {
        const float depth = box.halfSize.y - box.coords.origin.y;
        if (max < 1 || depth <= 0.0f) return 0;
        contacts[0] = CollisionContact{Vec3(box.coords.origin.x, 0, box.coords.origin.z), Vec3(0, 1, 0), depth};
        return 1;
    }
    void FindCollisions(mem::vector<CollisionBox>& boxes, const ABBox&, PhysicsSurface surface) const override {
        for (CollisionBox& box : boxes) {
            CollisionContact contact;
            if (FindCollisions(box.GetOBBox(), &contact, 1, surface)) box.AddContact(contact);
        }
    }
    void DisplaceGrass(float x, float z, float radius, float strength) override {
        disturbances.push_back({x, z, radius, strength});
    }
    void CreateGrassWind(const PhysicsGrassWind& wind) override { winds.push_back(wind); }
    void RemoveGrassWind() override { ++calms; }
    void ReloadGenerationDependentData() override { ++reloads; }
    void SetTransparency(const Frustum&) override { ++transparencies; }

    mem::vector<Disturbance> disturbances;
    mem::vector<PhysicsGrassWind> winds;
    mem::vector<int> updates;  // the elapsed time of each
    int calms = 0, transparencies = 0, reloads = 0;

private:
    float size_;
};

TEST_F(WorldTest, DisturbancesAndWindReachTheGroundOfEveryLoadedRegionInItsOwnSpace) {
    Region* west = AddRegion("west", IntVec3(0, 0, 0), 20);
    Region* east = AddRegion("east", IntVec3(30, 0, 0), 20);
    Region* north = AddRegion("north", IntVec3(-30, 0, -50), 20);
    Region* bare = AddRegion("bare", IntVec3(-80, 0, 0), 20);
    auto* westGround = new RecordingGround(20);
    auto* eastGround = new RecordingGround(20);
    auto* northGround = new RecordingGround(20);
    west->GetLevel()->SetGround(std::unique_ptr<LevelGround>(westGround));
    east->GetLevel()->SetGround(std::unique_ptr<LevelGround>(eastGround));
    north->GetLevel()->SetGround(std::unique_ptr<LevelGround>(northGround));
    Finish();

    // From x = 12 of west to x = 0.5 of east (x = 30.5 of west): a disturbance a unit apart, the
    // last at x = 29. West's box ends at x = 20 and east's begins at x = 10 of west; a point
    // within its radius of a box disturbs that ground, in the ground's space.
    world.CreateLineDisturbance(WorldVec3(west, Vec3(12, 0, 1)), WorldVec3(east, Vec3(0.5f, 0, 1)), 0.5f, 0);
    ASSERT_EQ(westGround->disturbances.size(), 10u);
    EXPECT_EQ(std::pair(westGround->disturbances[0].x, westGround->disturbances[9].x), std::pair(12.0f, 21.0f));
    const RecordingGround::Disturbance& fourth = westGround->disturbances[3];
    EXPECT_EQ(std::tuple(fourth.z, fourth.radius, fourth.strength), std::tuple(1.0f, 1.0f, 0.5f));
    ASSERT_EQ(eastGround->disturbances.size(), 18u);
    EXPECT_EQ(std::pair(eastGround->disturbances[0].x, eastGround->disturbances[17].x), std::pair(-18.0f, -1.0f));
    westGround->disturbances.clear();
    world.CreateLineDisturbance(WorldVec3(west, Vec3(1, 0, 1)), WorldVec3(west, Vec3(1.9f, 0, 1)), 0.5f, 0);
    EXPECT_TRUE(westGround->disturbances.empty());

    PhysicsGrassWind wind{2.0f, 6.0f, 5.0f, 3.0f, 1.0f, 0.0f};
    world.CreateGrassWind(wind);  // no region: no wind
    EXPECT_TRUE(westGround->winds.empty());
    wind.region = east;
    world.CreateGrassWind(wind);
    ASSERT_EQ(std::pair(westGround->winds.size(), eastGround->winds.size()), std::pair(size_t(1), size_t(1)));
    EXPECT_EQ(std::pair(westGround->winds[0].x, westGround->winds[0].z), std::pair(35.0f, 3.0f));
    EXPECT_EQ(std::pair(westGround->winds[0].region, westGround->winds[0].strength), std::pair(west, 2.0f));
    EXPECT_FLOAT_EQ(eastGround->winds[0].x, 5.0f);
    ASSERT_EQ(northGround->winds.size(), 1u);
    EXPECT_EQ(std::pair(northGround->winds[0].x, northGround->winds[0].z), std::pair(65.0f, 53.0f));
    world.RemoveGrassWind();
    world.ReloadGenerationDependentData();  // every ground is told
    for (const RecordingGround* ground : {westGround, eastGround, northGround})
        EXPECT_EQ(std::pair(ground->calms, ground->reloads), std::pair(1, 1));
    EXPECT_NE(bare->GetLevel(), nullptr);
}

// Water met as a RecordingGround; it records ripples as disturbances of strength times the kind.
class RecordingWater final : public LevelWater {
public:
    void Initialize(unsigned, unsigned, const LevelGround*, RenderDevice*) override {}
    bool Load(BinaryReader&) override { return true; }
    void Save(BinaryWriter&) override {}
    void Update(int elapsed) override { surface.Update(nullptr, 0, elapsed); }
    bool GetIntersection(const Ray&, Intersection&, PhysicsSurface) const override { return false; }
    bool GetWaterPointInfo(const Vec3&, Vec3&, Vec3&) const override { return false; }
    int FindCollisions(const OBBox& box, CollisionContact* contacts, int max, PhysicsSurface s) const override {
        return surface.FindCollisions(box, contacts, max, s);
    }
    void FindCollisions(mem::vector<CollisionBox>& boxes, const ABBox& area, PhysicsSurface s) const override {
        surface.FindCollisions(boxes, area, s);
    }
    void CreateRipple(const Vec3& at, float radius, float strength, SplashType kind) override {
        ripples.push_back({at.x, at.z, radius, strength * float(kind)});
    }

    RecordingGround surface{10};
    mem::vector<RecordingGround::Disturbance> ripples;
};

// Decals that record where they were placed, how often added to a scene, and their updates.
class RecordingDecals final : public LevelDecals {
public:
    struct Placed {
        const DecalType* type;
        Vec3 at;
        uint32_t flags;
    };
    bool AddDecal(const DecalType* type, const Coords& coords, uint32_t flags) override {
        placed.push_back({type, coords.origin, flags});
        return true;
    }
    void Update(uint32_t elapsed) override { surface.Update(nullptr, 0, int(elapsed)); }
    void AddToScene(GraphicsSceneRenderer&, const Frustum*) override { ++scenes; }

    RecordingGround surface{10};
    mem::vector<Placed> placed;
    int scenes = 0;
};

TEST_F(WorldTest, DecalsGoToTheLoadedLevelOfTheirRegionOrOntoItsFloor) {
    LevelDecals::SetMaker([](Region*) -> std::unique_ptr<LevelDecals> { return std::make_unique<RecordingDecals>(); });
    Region* region = AddRegion("yard", IntVec3(0, 5, 0), 20);
    AddEntity(region, Vec3(0, -0.5f, 0));  // a slab whose top is at y = 0
    Region* away = world.GetRegion(world.AddRegion("away", IntVec3(100, 0, 0), ABBox(), RegionId()));
    LevelDecals::SetMaker(
        [](Region* owner) -> std::unique_ptr<LevelDecals> { return std::make_unique<DecalSet>(owner); });
    Finish();
    const RecordingDecals& decals = *static_cast<const RecordingDecals*>(region->GetLevel()->GetDecalSet());
    const DecalType type;
    world.PlaceDecal(WorldCoords(region, Coords::Translation(Vec3(1, 2, 3))), &type, 7);
    world.PlaceDecalOnGround(WorldCoords(region, Coords::Translation(Vec3(0.2f, 1.7f, 0.1f))), &type, 9);
    world.PlaceDecalOnGround(WorldCoords(region, Coords::Translation(Vec3(10, 1, 10))), &type, 3);  // no floor
    world.PlaceDecal(WorldCoords(away, Coords()), &type, 1);                                        // no level
    world.PlaceDecal(WorldCoords(), &type, 1);
    engine.GetOptions()->SetBool(Options::BoolName::detailObjects, false);
    world.PlaceDecal(WorldCoords(region, Coords()), &type, 1);
    engine.GetOptions()->SetBool(Options::BoolName::detailObjects, true);
    ASSERT_EQ(decals.placed.size(), 3u);
    EXPECT_EQ(std::tuple(decals.placed[0].type, decals.placed[0].at, decals.placed[0].flags),
              std::tuple(&type, Vec3(1, 2, 3), 7u));
    EXPECT_NEAR(decals.placed[1].at.y, 0.25f, 1e-4f);
    EXPECT_EQ(decals.placed[1].flags, 9u);
    EXPECT_EQ(decals.placed[2].at, Vec3(10, 1.25f, 10));
    auto* ground = new RecordingGround(20);
    region->GetLevel()->SetGround(std::unique_ptr<LevelGround>(ground));
    WorldScene scene(&world);
    GraphicsNormalRenderer renderer(&scene);
    world.UpdateRegionUsage();  // a frame unused; being drawn is a use
    const Frustum seen = Frustum::FromBox(ABBox(Vec3(), Vec3(1, 1, 1)));
    scene.AddRegionContents(renderer, region, Frustum(), region, &seen);
    EXPECT_EQ(std::tuple(decals.scenes, ground->transparencies, region->GetFramesNotUpdated()), std::tuple(1, 1, 0u));
    // With no time elapsed, or less, the ground, the water and the decals are updated all the same.
    auto* water = new RecordingWater;
    region->GetLevel()->SetWater(std::unique_ptr<LevelWater>(water));
    for (const int elapsed : {-5, 0}) region->GetLevel()->Update(&seen, 1, elapsed);
    const mem::vector<int> twice{0, 0};
    EXPECT_EQ(std::tie(ground->updates, water->surface.updates, decals.surface.updates), std::tie(twice, twice, twice));
    world.UpdateRegionUsage();  // so is adding its reflections; a region without a level adds nothing
    GraphicsReflectionManager reflections;
    scene.AddReflectionPlanes(reflections, region, seen);
    EXPECT_EQ(region->GetFramesNotUpdated(), 0u);
    scene.AddRegionContents(renderer, away, seen, nullptr, nullptr);
    scene.AddReflectionPlanes(reflections, away, seen);
}

TEST_F(WorldTest, ValidatingSectorLayersDropsTheStylesTheWorldNoLongerHasInEveryLoadedLevel) {
    const UniqueId kept = engine.GetSectorDataManager()->NewSectorData(2)->id;
    const UniqueId lost = UniqueId::FromNameOrderWords({7, 7, 7, 7});
    for (Region* region : {AddRegion("a", IntVec3(), 10), AddRegion("b", IntVec3(50, 0, 0), 10)}) {
        SectorLayers& layers = region->GetLevel()->GetSectorLayers();
        layers.Initialize(2, 2);
        layers.PrimeForEdit(2, kept);
        layers.Edit(0, 0, true);
        layers.PrimeForEdit(2, lost);
        layers.Edit(1, 1, true);
    }
    world.ValidateSectorLayers();
    for (int i = 0; i < 2; ++i) {
        const SectorLayers& layers = world.GetRegionLevel(i)->GetSectorLayers();
        EXPECT_EQ(layers.GetTargetId(2, 0, 0), kept) << i;
        EXPECT_TRUE(layers.GetTargetId(2, 1, 1).IsNull()) << i;
    }
}

// Picking over the loaded regions: entities along a ray (through a filter, within a distance),
// the doorway it meets, the region whose ground it meets first, and the loaded regions a frustum
// sees (neighbours by doorway only when asked).
TEST_F(WorldTest, PicksEntitiesPortalsAndGroundsAlongARay) {
    Region* near = AddRegion("near", IntVec3(0, 0, 0), 20);
    Region* far = AddRegion("far", IntVec3(1000, 0, 0), 20);
    Region* low = AddRegion("low", IntVec3(0, -10, 0), 20);
    Region* aside = AddRegion("aside", IntVec3(300, 0, 0), 20);
    JoinByDoorway(near, far);
    for (Region* region : {near, low, aside})
        region->GetLevel()->SetGround(std::make_unique<RecordingGround>(region == aside ? 20.0f : 5.0f));
    Entity* first = AddEntity(near, Vec3(0, 1, 4));
    Entity* second = AddEntity(near, Vec3(0, 1, 7));
    AddEntity(far, Vec3(0, 1, -5));
    AddEntity(low, Vec3(1, 11, 1));  // over near's ground: no region is picked by its entities
    Finish();

    struct : FilterFunction<Entity> {
        bool operator()(const Entity* entity) const override { return entity != rejected; }
        const Entity* rejected = nullptr;
    } filter;
    filter.rejected = first;
    const WorldRay ray(WorldVec3(near, Vec3(0, 1, 0)), Vec3(0, 0, 1));
    EXPECT_EQ(world.PickEntity(ray), first);
    EXPECT_EQ(world.PickEntity(ray, filter), second);
    EXPECT_EQ(world.PickEntity(WorldRay(WorldVec3(near, Vec3(0, 1, 0)), Vec3(0, 0, -1))), nullptr);
    mem::vector<Entity*> found;
    world.PickEntities(ray, found);
    EXPECT_EQ(AsSet(found), (mem::set<Entity*>{first, second}));
    found.clear();
    world.GetAllIntersections(ray, found, false, 5.0f);
    EXPECT_EQ(found, mem::vector<Entity*>{first});
    world.GetAllIntersections(WorldRay(WorldVec3(nullptr, Vec3(0, 1, 0)), Vec3(0, 0, 1)), found, false, 50.0f);
    EXPECT_EQ(found.size(), 1u);
    found.clear();
    world.GetEntities(found, filter);
    EXPECT_EQ(found.size(), 3u);
    EXPECT_EQ(std::count(found.begin(), found.end(), first), 0);

    float distance = 0.0f;
    EXPECT_EQ(world.TraceRayAgainstPortals(ray, distance, false), near->GetPortal(0));
    EXPECT_NEAR(distance, 10.0f, 1e-4f);
    EXPECT_EQ(world.TraceRayAgainstPortals(WorldRay(WorldVec3(near, Vec3(0, 1, 0)), Vec3(1, 0, 0)), distance, false),
              nullptr);
    EXPECT_EQ(distance, Infinity);

    // Straight down, near's ground (region 0) is met before low's (2, 10 below); aside's (3) from above it.
    for (const auto& [from, down, picked] :
         {std::tuple{Vec3(1, 3, 1), -1.0f, 0}, std::tuple{Vec3(1, -3, 1), -1.0f, 2},
          std::tuple{Vec3(310, 3, 1), -1.0f, 3}, std::tuple{Vec3(1, 3, 1), 1.0f, -1}})
        EXPECT_EQ(world.PickRegion(WorldRay(WorldVec3(near, from), Vec3(0, down, 0))), picked) << from.x << " " << down;
    Intersection ground;
    EXPECT_TRUE(
        near->GetLevel()->GetIntersection(Ray(Vec3(1, 3, 1), Vec3(0, -1, 0)), ground, PhysicsSurface::None, true));
    EXPECT_EQ(ground.distance, 3.0f);
    EXPECT_FALSE(
        near->GetLevel()->GetIntersection(Ray(Vec3(1, 3, 1), Vec3(0, 1, 0)), ground, PhysicsSurface::None, true));

    mem::vector<Region*> seen;
    const Frustum everywhere = Frustum::FromBox(ABBox(Vec3(), Vec3(2000, 2000, 2000)));
    world.GetLoadedRegionsInFrustum(seen, near, everywhere, false);
    EXPECT_EQ(seen, (mem::vector<Region*>{near, far, low, aside}));
    seen.clear();
    world.GetLoadedRegionsInFrustum(seen, near, everywhere, true);
    EXPECT_EQ(seen, (mem::vector<Region*>{near, far}));
    found.clear();
    world.GetEntitiesInFrustum(found, WorldFrustum(near, everywhere), false, true, false);  // near and far only
    EXPECT_EQ(found.size(), 3u);
    seen.clear();
    world.GetLoadedRegionsInFrustum(seen, near, Frustum::FromBox(ABBox(Vec3(300, 0, 0), Vec3(5, 5, 5))), false);
    EXPECT_EQ(seen, mem::vector<Region*>{aside});
    world.GetLoadedRegionsInFrustum(seen, nullptr, everywhere, false);
    EXPECT_EQ(seen.size(), 1u);
    far->UnloadLevel(false, false);  // through the doorway, a region not loaded holds nothing
    WorldIntersection beyond;
    world.GetIntersection(WorldRay(WorldVec3(near, Vec3(-0.8f, 1, 0)), Vec3(0, 0, 1)), beyond, PhysicsSurface::None,
                          false);
    EXPECT_EQ(beyond.distance, Infinity);
}

// Collisions of an entity's box (half size 0.5, sunk 0.3 into the ground of west and the water
// of east, which overlap there) with the ground and water of the regions it reaches and with the
// entities beside it, the contacts given relative to the centre in either region; a box kept for
// its deepest contacts; an entity without a box meets nothing; a splash ripples east's water.
TEST_F(WorldTest, CollisionsMeetTheGroundAndTheEntitiesAroundTheBoxRelativeToTheCentre) {
    Region* west = AddRegion("west", IntVec3(0, 0, 0), 10);
    Region* east = AddRegion("east", IntVec3(14, 0, 0), 10);
    west->GetLevel()->SetGround(std::make_unique<RecordingGround>(10));
    west->GetLevel()->SetWater(std::make_unique<RecordingWater>());  // beside its ground; east has water alone
    auto* water = new RecordingWater;
    east->GetLevel()->SetWater(std::unique_ptr<LevelWater>(water));
    Entity* box = AddEntity(west, Vec3(5, 0.2f, 1));
    Entity* beside = AddEntity(west, Vec3(5.8f, 0.2f, 1));
    beside->SetRegionBoundingBox(ABBox(Vec3(0, 500, 0), Vec3(1, 1, 1)), true);  // its second box: not for collisions
    AddEntity(east, Vec3(6, 0.2f, 1))->SetPhysicsType(Entity::PhysicsType::NotCollided);  // left out
    Entity* const shapeless = test::LevelRecords::Make(test::kPlainRecord);               // no shape to meet
    world.AddEntity(shapeless, WorldCoords(west, Coords::Translation(Vec3(5.6f, 0.2f, 1))), false);
    Finish();
    world.UpdateRegionUsage();  // a frame unused; the queries are no use of a region
    for (const WorldVec3& centre : {WorldVec3(west, Vec3(5, 0, 0)), WorldVec3(east, Vec3(-9, 0, 0))}) {
        CollisionContact contacts[8];
        const int count =
            world.FindCollisions(box, contacts, 8, centre, Level::EntityListType::All, PhysicsSurface::None);
        ASSERT_GE(count, 5);
        for (const CollisionContact& ground : {contacts[0], contacts[1], contacts[2]}) {
            EXPECT_EQ(ground.position, Vec3(0, 0, 1));
            EXPECT_NEAR(ground.depth, 0.3f, 1e-5f);
            EXPECT_EQ(ground.entity, nullptr);
        }
        for (int i = 3; i < count; ++i) {
            EXPECT_EQ(contacts[i].entity, beside);
            EXPECT_NEAR(contacts[i].position.x, 0.4f, 0.11f);  // where the boxes overlap
        }
        EXPECT_EQ(world.FindCollisions(box, contacts, 1, centre, Level::EntityListType::All, PhysicsSurface::None), 1);
        EXPECT_EQ(world.FindCollisions(box, contacts, 4, centre, Level::EntityListType::All, PhysicsSurface::None), 4);
        mem::vector<CollisionBox> boxes{
            CollisionBox(OBBox(Vec3(0.5f, 0.5f, 0.5f), Coords::Translation(Vec3(0, 0.2f, 1))), 1.0f)};
        world.FindCollisions(box, boxes, centre, Level::EntityListType::All, PhysicsSurface::None);
        ASSERT_EQ(boxes[0].GetNumContacts(), 4);  // as many as a box keeps: the deepest, the earliest first
        EXPECT_EQ(boxes[0].GetContact(2).position, Vec3(0, 0, 1));
        EXPECT_EQ(boxes[0].GetContact(3).entity, beside);
        EXPECT_EQ(boxes[0].GetContact(3).position, contacts[3].position);
    }
    CollisionContact none[2];
    EXPECT_EQ(world.FindCollisions(shapeless, none, 2, WorldVec3(west, Vec3()), Level::EntityListType::All,
                                   PhysicsSurface::None),
              0);
    EXPECT_EQ(std::pair(west->GetFramesNotUpdated(), east->GetFramesNotUpdated()), std::pair(1u, 1u));
    world.CreatePointDisturbance(WorldVec3(west, Vec3(5, 0, 1)), 0.5f, 2.0f, 3);
    ASSERT_EQ(water->ripples.size(), 1u);
    EXPECT_EQ(std::pair(water->ripples[0].x, water->ripples[0].strength), std::pair(-9.0f, 6.0f));
}

TEST_F(WorldTest, DebuggingListsTheViewersRegionItsConnectionsAndTheLoadedRegions) {
    Region* a = AddRegion("alpha", IntVec3(0, 0, 0), 10);
    AddRegion("beta", IntVec3(20, 0, 0), 10);
    AddRegion("gamma", IntVec3(500, 0, 0), 10);
    Finish();
    // Three frames unused; then the viewer in alpha uses alpha and its neighbour again.
    for (int frame = 0; frame < 3; ++frame) world.UpdateRegionUsage();
    const mem::vector<WorldFrustum> viewers{WorldFrustum(a, Frustum::FromBox(ABBox(Vec3(), Vec3(5, 5, 5))))};
    world.Update(viewers);
    EXPECT_TRUE(engine.GetStatisticText().empty());
    world.EnableDebugging(true);
    world.Update(viewers);
    // The listing does not count as a use: gamma stays three frames unused.
    EXPECT_EQ(engine.GetStatisticText(), (mem::vector<std::string>{"^bCurrent region alpha", " -> beta", ": alpha (0)",
                                                                   ": beta (0)", ": gamma (3)"}));
    // Lines add up until the engine's next frame.
    world.ShowConnections(false);
    world.Update(viewers);
    const mem::vector<std::string>& lines = engine.GetStatisticText();
    EXPECT_EQ(mem::vector<std::string>(lines.begin() + 5, lines.end()),
              (mem::vector<std::string>{"^bCurrent region alpha", ": alpha (0)", ": beta (0)", ": gamma (3)"}));
}

// Without connectivity every region walks from itself, and a view goes two doorways deep: the
// third region, far from the viewer's by its offset, is used only through them.
TEST_F(WorldTest, WithoutConnectivityAViewGoesTwoDoorwaysDeep) {
    Region* regions[3];
    for (int i = 0; i < 3; ++i) regions[i] = AddRegion(std::to_string(i), IntVec3(1000 * i, 0, 0), 20);
    JoinByDoorway(regions[0], regions[1]);
    JoinByDoorway(regions[1], regions[2]);
    world.UpdateRegionUsage();
    world.Update({WorldFrustum(regions[0], Frustum::FromBox(ABBox(Vec3(0, 0.5f, 30), Vec3(0.5f, 1, 30))))});
    EXPECT_EQ(regions[2]->GetFramesNotUpdated(), 0u);
}

// A scene built from a viewer's region (as a reflection is) places every region it finds by the
// offsets: a neighbour's contents never land on the viewer's.
TEST_F(WorldTest, ASceneBuiltFromAViewersRegionPlacesEachRegionAtItsOffset) {
    Region* viewer = AddRegion("viewer", IntVec3(0, 0, 0), 10);
    Region* south = AddRegion("south", IntVec3(0, 2, 20), 10);
    Region* island = AddRegion("island", IntVec3(0, 0, -25), 10);  // seen, though not connected
    Entity* lamp = AddEntity(viewer, Vec3(0, 1, 5));
    lamp->SetRegionBoundingBox(ABBox(Vec3(0, 500, 0), Vec3(1, 1, 1)), true);
    Finish();
    WorldScene scene(&world);
    // Its frustum query (for shadows) goes by each entity's bounding box, not its second box.
    mem::vector<Entity*> lit;
    const Frustum nearLamp = Frustum::FromBox(ABBox(Vec3(0, 0, 5), Vec3(3, 3, 3)));
    scene.GetEntitiesInFrustum(lit, viewer, nearLamp);
    EXPECT_EQ(lit, mem::vector<Entity*>{lamp});
    mem::vector<Region*> regions{south};  // replaced, not appended to
    scene.GetRegionsInFrustum(regions, viewer, nearLamp, false);
    EXPECT_EQ(regions, mem::vector<Region*>{viewer});
    GraphicsNormalRenderer renderer(&scene);
    const Viewport viewport(0, 0, 64, 64);
    Camera camera;
    camera.SetCoords(Coords::LookAt(Vec3(0, 30, 0), Vec3(0, 0, 10), Vec3(0, 1, 0)));
    renderer.SetViewer(viewer, camera, viewport, Frustum::FromBox(ABBox(Vec3(0, 0, 10), Vec3(40, 40, 40))));
    renderer.SetRegionToSceneCoords(viewer, Coords::Translation(Vec3(1, 0, 0)));
    renderer.BuildScene(false);
    const mem::map<Region*, Coords>& placed = renderer.GetRegionToSceneCoordsMap();
    ASSERT_EQ(placed.count(south) + placed.count(island), 2u);
    EXPECT_EQ(placed.at(south).origin, Vec3(1, 2, 20));
    EXPECT_EQ(placed.at(viewer).origin, Vec3(1, 0, 0));
}

TEST_F(WorldTest, ConeQueryKeepsTheEntitiesInsideTheConeBestAlignedFirst) {
    Region* region = AddRegion("cone", IntVec3(), 50);
    const Vec3 o(10, 0, 0);  // the apex, off the region's origin
    Entity* ahead = AddEntity(region, o + Vec3(0, 0, 20));
    Entity* aside = AddEntity(region, o + Vec3(8, 0, 20));
    Entity* behind = AddEntity(region, o + Vec3(0.55f, 0, -20));  // just off the axis
    Entity* across = AddEntity(region, o + Vec3(20, 0, 0));
    Entity* further = AddEntity(region, o + Vec3(0, 0, 30));
    Finish();
    const WorldVec3 apex(region, o);
    // Equally aligned, ahead and further keep the order the sphere around the apex finds them in.
    mem::vector<Entity*> found;
    world.GetEntitiesInSphere(found, region, Sphere(o, 40.0f), false);
    std::erase_if(found, [&](Entity* entity) { return entity != ahead && entity != further; });
    found.push_back(aside);
    const mem::vector<Entity*> inLine = found;
    found = {behind};  // replaced, not appended to
    world.GetEntitiesInCone(found, apex, Vec3(0, 0, 1), 1.0f, 40.0f, false);
    EXPECT_EQ(found, inLine);
    world.RemoveEntity(further);
    Singleton<ObjectManager>::Get()->DestroyObjectEx(further, __FILE__, __LINE__);
    // An angle of zero or less is a thin cone, not an empty one (pointing back it reaches behind,
    // which its mean half size alone does not). A full turn keeps everything outside a thin cone
    // pointing back. Half a turn is a cone just short of the half space: what stands across it
    // reaches in, as it does a cone 0.04 narrower by the mean of its half sizes.
    const std::tuple<float, float, mem::vector<Entity*>> cones[] = {{0.0f, -1.0f, {behind}},
                                                                    {-1.0f, 1.0f, {ahead}},
                                                                    {2.0f * Pi, 1.0f, {ahead, aside, across}},
                                                                    {Pi, 1.0f, {ahead, aside, across}},
                                                                    {Pi - 0.04f, 1.0f, {ahead, aside, across}},
                                                                    {Pi - 0.2f, 1.0f, {ahead, aside}}};
    for (const auto& [angle, towards, expected] : cones) {
        world.GetEntitiesInCone(found, apex, Vec3(0, 0, towards), angle, 40.0f, false);
        EXPECT_EQ(found, expected) << angle;
    }
}

// Near and far lie a thousand units apart by their offsets; only the doorway joins them.
TEST_F(WorldTest, RaysAndDistancesGoThroughTheDoorway) {
    Region* near = AddRegion("near", IntVec3(0, 0, 0), 20);
    Region* far = AddRegion("far", IntVec3(1000, 0, 0), 20);
    JoinByDoorway(near, far);
    Entity* target = AddEntity(far, Vec3(0, 1, -5));
    Entity* behind = AddEntity(near, Vec3(0, 1, 12));  // behind the doorway: the ray passes through
    Finish();

    const WorldRay ray(WorldVec3(near, Vec3(0, 1, 0)), Vec3(0, 0, 1));
    WorldIntersection hit;
    world.GetIntersection(ray, hit, PhysicsSurface::None, false);
    EXPECT_EQ(hit.entity, target);
    EXPECT_EQ(hit.position.GetRegion(), far);
    EXPECT_NEAR(hit.distance, 14.5f, 1e-4f);

    // A wall in near before the doorway hides what is behind it; the way through the doorway
    // meets entities even when the ray skips them elsewhere.
    Entity* wall = AddEntity(near, Vec3(0, 1, 6));
    for (const bool skipEntities : {false, true}) {
        world.GetIntersection(ray, hit, PhysicsSurface::None, skipEntities);
        EXPECT_EQ(hit.entity, wall);
        EXPECT_NEAR(hit.distance, 5.5f, 1e-4f);
    }

    const WorldVec3 a(near, Vec3(0, 1, 9));
    const WorldVec3 b(far, Vec3(0, 1, -9));
    EXPECT_NEAR(world.GetDistance(a, b), 2.0f, 1e-4f);
    EXPECT_NEAR(world.GetDirection(a, b).z, 2.0f, 1e-4f);
    EXPECT_EQ(world.GetDistanceSquared(a, WorldVec3()), Infinity);
    EXPECT_EQ(world.GetDirection(WorldVec3(nullptr, Vec3(1, 0, 0)), b), Vec3(-1, 1, -9));

    // A frustum looking through the doorway sees the target by the portal walk, once.
    Frustum frustum = test::MakeViewFrustum(Vec3(0, 1, 0), Vec3(0, 0, 1), 1.0f, 100.0f);
    mem::vector<Entity*> seen;
    near->GetEntitiesInFrustum(seen, frustum, false, true);
    EXPECT_EQ(AsSet(seen), (mem::set<Entity*>{wall, behind, target}));
    EXPECT_EQ(seen.size(), 3u);
    seen.clear();
    near->GetEntitiesInFrustum(seen, frustum, false, false);  // not through the doorway
    EXPECT_EQ(AsSet(seen), (mem::set<Entity*>{wall, behind}));
}

TEST_F(WorldTest, FloorHeightIsFoundBelowThenAbove) {
    Region* region = AddRegion("floor", IntVec3(0, 5, 0), 20);
    AddEntity(region, Vec3(0, -0.5f, 0));  // a slab whose top is at y = 0
    Finish();
    EXPECT_NEAR(world.GetNearestFloorHeight(WorldVec3(region, Vec3(0, 1, 0))), 0.0f, 1e-4f);
    // Under the slab the ray down finds nothing, the one up finds its underside.
    EXPECT_NEAR(world.GetNearestFloorHeight(WorldVec3(region, Vec3(0, -4, 0))), -1.0f, 1e-4f);
    EXPECT_EQ(world.GetNearestFloorHeight(WorldVec3(region, Vec3(10, 1, 10))), -Infinity);
    WorldVec3 dropped(region, Vec3(0.2f, 1.7f, 0.1f));
    EXPECT_TRUE(dropped.PutOnFloor());
    EXPECT_NEAR(dropped.GetRegionPosition().y, 0.0f, 1e-4f);
}

TEST_F(WorldTest, RemovingARegionKeepsTheOthersFoundByIdAndPoint) {
    Region* a = AddRegion("a", IntVec3(0, 0, 0), 10);
    Region* b = AddRegion("b", IntVec3(100, 0, 0), 10);
    Region* c = AddRegion("c", IntVec3(200, 0, 0), 10);
    Finish();
    EXPECT_EQ(world.GetLevelRegion(c->GetLevel()), 2);
    EXPECT_EQ(world.GetNumLevelsLoaded(), 3u);
    const RegionId bId = b->GetId();
    const RegionId cId = c->GetId();
    world.RemoveRegion(world.GetRegionIndex(b));
    world.RemoveRegion(2);  // none there
    EXPECT_EQ(std::tuple(world.GetNumRegions(), world.GetRegion(1), world.GetRegionById(bId), world.GetRegionById(cId)),
              std::tuple(2, c, nullptr, c));
    EXPECT_EQ(std::tuple(world.GetRegionIndex(cId), c->GetIndex(), world.GetLevelRegion(c->GetLevel())),
              std::tuple(1, 1, 1));
    EXPECT_EQ(world.GetNumLevelsLoaded(), 2u);
    mem::vector<Region*> there;
    world.GetRegionsInBox(there, a, ABBox(Vec3(100, 0, 0), Vec3(1, 1, 1)));
    EXPECT_TRUE(there.empty());
    ASSERT_NE(world.GetWorldGrid(), nullptr);
    EXPECT_EQ(world.GetRegionContainingPoint(a, Vec3(200, 0, 0)), c);
    EXPECT_EQ(world.GetRegionContainingPoint(a, Vec3(100, 0, 0)), nullptr);
    EXPECT_EQ(world.GetLoadedRegions(), (mem::vector<Region*>{a, c}));
    EXPECT_EQ(a->GetConnectedRegions().size(), 0u);
    // A point on a face belongs to the region, also at either edge of the grid.
    EXPECT_EQ(world.GetRegionContainingPoint(IntVec3(210, 0, 0)), c);
    EXPECT_EQ(world.GetRegionContainingPoint(a, Vec3(world.GetWorldBox().GetMin().x, 0, 0)), a);
    EXPECT_EQ(world.GetRegionContainingPoint(a, Vec3(world.GetWorldBox().GetMax().x, 0, 0)), c);
    world.RemoveRegion(0);  // the first gone, the next takes its place in the index
    EXPECT_EQ(c->GetIndex(), 0);
    EXPECT_GT(world.GetWorldBox().GetMin().x, 100.0f);  // c's alone
    EXPECT_EQ(world.GetRegionIndex(cId), 0);
    world.RemoveRegion(0);  // and the last: no grid is left
    EXPECT_EQ(world.GetWorldGrid(), nullptr);
    EXPECT_EQ(world.GetWorldBox(), ABBox());

    // The editor's region around a level of its own: "Unnamed", with the level's box (half size
    // 100 without a level); its level belongs to no region.
    auto level = std::make_unique<Level>(nullptr);
    level->NewSpace(Vec2(7, 7));
    const ABBox box = level->GetBoundingBox();
    Level* held = level.get();
    const int editor = world.AddRegion(std::move(level), IntVec3(0, 0, 500));
    EXPECT_EQ(world.GetRegionName(editor), "Unnamed");
    EXPECT_EQ(world.GetRegion(editor)->GetBoundingBox(), box);
    EXPECT_EQ(std::pair(world.GetRegionLevel(editor), world.GetLevelRegion(held)), std::pair(held, -1));
    EXPECT_EQ(world.GetRegion(world.AddRegion(std::unique_ptr<Level>(), IntVec3()))->GetBoundingBox(),
              ABBox(Vec3(), Vec3(100, 100, 100)));
    EXPECT_EQ(world.GetRegionIndex(RegionId(1, 1, 1, 1)), -1);
    EXPECT_EQ(world.GetRegionIndex(static_cast<const Region*>(nullptr)), -1);

    // Spawn points need a region; asked past their count they wrap.
    EXPECT_EQ(world.GetPlayerSpawnPoint(0).GetRegion(), nullptr);
    world.SetPlayerSpawnPoint(WorldCoords());
    world.SetPlayerSpawnPoint(WorldCoords(a, Coords::Translation(Vec3(1, 2, 3))));
    world.SetPlayerSpawnPoint(WorldCoords(c, Coords()));
    ASSERT_EQ(world.GetNumPlayerSpawnPoints(), 2u);
    EXPECT_EQ(world.GetPlayerSpawnPoint(3).GetRegion(), c);
    EXPECT_EQ(world.GetPlayerSpawnPoint(2).GetOrigin().GetRegionPosition(), Vec3(1, 2, 3));
}

TEST_F(WorldTest, EntitiesMoveBetweenRegionsAndLeaveTheTreeWhenDeleted) {
    Region* a = AddRegion("a", IntVec3(0, 0, 0), 10);
    Region* b = AddRegion("b", IntVec3(100, 0, 0), 10);
    Finish();
    WorldTestEntity* entity = AddEntity(a, Vec3(1, 0, 1));
    EXPECT_FALSE(world.AddEntity(entity, WorldCoords(b), false));  // already in a region
    EXPECT_FALSE(world.AddEntity(entity, WorldCoords(), false));   // nowhere to go
    world.AddEntityToNetworkList(entity);
    world.SetCoords(entity, WorldCoords(a, Coords::Translation(Vec3(2, 0, 1))));  // within a: still listed
    EXPECT_TRUE(a->GetLevel()->IsInNetworkList(entity) && a->GetLevel()->GetNumEntities() == 1);
    world.SetCoords(entity, WorldCoords(b, Coords::Translation(Vec3(2, 0, 2))));
    EXPECT_EQ(entity->GetRegion(), b);
    EXPECT_EQ(a->GetLevel()->GetNumEntities(), 0);
    EXPECT_TRUE(b->GetLevel()->IsInNetworkList(entity));
    EXPECT_FALSE(a->GetLevel()->IsInNetworkList(entity));
    EXPECT_EQ(entity->added, 2);
    EXPECT_EQ(entity->removed, 1);

    // Taken out of the world: off the network list, out of its level.
    world.RemoveEntityFromNetworkList(entity);
    EXPECT_FALSE(b->GetLevel()->IsInNetworkList(entity));
    world.AddEntityToNetworkList(entity);
    engine.GetNetworkEntityList()->AddEntityToClient(1, entity);
    world.RemoveEntity(entity);
    EXPECT_FALSE(entity->GetRegion() || engine.GetNetworkEntityList()->DoesEntityExistOnAnyClient(entity));
    EXPECT_FALSE(b->GetLevel()->IsInNetworkList(entity));
    EXPECT_EQ(b->GetLevel()->GetNumEntities(), 0);
    EXPECT_EQ(entity->removed, 2);
    {
        test::LogCapture log;  // a region without a level has no list to take it from
        entity->SetCoords(WorldCoords(world.GetRegion(world.AddRegion("bare", IntVec3(), ABBox(), RegionId()))));
        world.RemoveEntityFromNetworkList(entity);
        EXPECT_TRUE(log.Contains(LogPriority::Error, "Attempt to remove entity from NetworkList on NULL level (" +
                                                         entity->GetObjectName() + ", id: "));
    }
    world.RemoveEntity(entity);  // from a region without a level, it leaves the region too
    world.RemoveEntity(nullptr);  // no entity: nothing to remove
    EXPECT_EQ(entity->GetRegion(), nullptr);
    world.SetCoords(entity, WorldCoords(b, Coords()));  // outside the world it is not moved in
    EXPECT_FALSE(b->AddEntity(entity, WorldCoords(a, Coords()), false));
    EXPECT_EQ(entity->GetRegion(), nullptr);
    ASSERT_TRUE(world.AddEntity(entity, WorldCoords(b, Coords::Translation(Vec3(3, 0, 3))), false));

    // Destroyed while still in b's tree: the tree must not keep it.
    Singleton<ObjectManager>::Get()->DestroyObjectEx(entity, __FILE__, __LINE__);
    test::LevelRecords::Flush();
    mem::vector<Entity*> left;
    world.GetEntities(left);
    EXPECT_TRUE(left.empty());
    EXPECT_FALSE(b->GetLevel()->IsInNetworkList(entity));
    AddEntity(a, Vec3(2, 0, 2));
    world.DestroyAllEntities();
    EXPECT_EQ(a->GetLevel()->GetNumEntities(), 0);
}

TEST_F(WorldTest, ASmallWorldStillHasAGridCell) {
    Region* flat = world.GetRegion(world.AddRegion("flat", IntVec3(), ABBox(), RegionId()));
    world.BuildConnectivity();  // nothing wide enough for a grid: every region is a candidate
    EXPECT_EQ(world.GetWorldGrid(), nullptr);
    EXPECT_EQ(world.GetRegionContainingPoint(IntVec3()), flat);
    Region* a = AddRegion("a", IntVec3(0, 0, 0), 5);
    Finish();
    ASSERT_NE(world.GetWorldGrid(), nullptr);
    EXPECT_EQ(world.GetWorldGrid()->GetNumCells(), 1u);
    EXPECT_EQ(world.GetRegionContainingPoint(a, Vec3(1, 0, 1)), a);
    // A level finished in its region gives the region its box.
    Region* b = world.GetRegion(world.AddRegion("b", IntVec3(500, 0, 0), ABBox(), RegionId()));
    b->SetLevel(std::make_unique<Level>(b));
    b->GetLevel()->NewSpace(Vec2(7, 7));
    b->GetLevel()->PostLoad(false);
    EXPECT_EQ(b->GetBoundingBox(), b->GetLevel()->GetBoundingBox());
    EXPECT_LT(b->GetBoundingBox().halfSize.x, 100.0f);
    EXPECT_EQ(World::GetSectorDataFileName("worlds/a.b/world.wrl"), "worlds/a.b/world.sd");
    EXPECT_EQ(World::GetSectorDataFileName("worlds/a.b/world"), "worlds/a.b/world.sd");
}

}  // namespace
}  // namespace GAME
