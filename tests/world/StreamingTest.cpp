// Region streaming: a viewer walks along a row of regions; the levels ahead are read in the
// background, the ones left behind are unloaded after their unused-frame count and come back as
// they were left. The walk runs with the loading thread served by hand (deterministic) and on the
// real thread (StreamingThread, which the ThreadSanitizer build runs).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <future>
#include <string>
#include <thread>
#include <tuple>

#include "LevelFixture.h"
#include "core/Frustum.h"
#include "core/MathUtil.h"
#include "core/Singleton.h"
#include "core/WorldCoords.h"
#include "engine/Entity.h"
#include "engine/ObjectManager.h"
#include "files/BinaryWriter.h"
#include "files/ResourceLoader.h"
#include "pathing/PathFinder.h"
#include "support/LogCapture.h"
#include "support/TempDirectory.h"
#include "terrain/Terrain.h"
#include "world/Level.h"
#include "world/LevelLoadingThread.h"
#include "world/Portal.h"
#include "world/PortalPathLinker.h"
#include "world/Region.h"
#include "world/RegionLoader.h"
#include "world/World.h"
#include "world/WorldFrustum.h"

namespace GAME {
namespace {

using test::LevelRecords;
using test::LevelStateEntity;
using test::LogCapture;
using test::TempDirectory;

class StreamingEngine : public test::LevelTestEngine {
public:
    using Engine::SetFileSystem;
};


class Streaming : public ::testing::Test {
protected:
    static constexpr int kRegions = 6;
    static constexpr float kStep = 10.0f;

    // kRegions regions side by side along x, each with a level file of one plain entity and one
    // that keeps its state; the level of corrupt (if any) is not a level file.
    void Build(bool manual, int corrupt = -1) {
        LevelLoadingThread::Get().SetManual(manual);
        engine_.SetFileSystem(&files_);
        engine_.SetLevelLoadInflation(120.0f);
        Level level(records_.GetRegion());
        level.NewSpace(Vec2(100, 100));
        test::LevelTestEntity* plain = LevelRecords::Make(test::kPlainRecord);
        plain->extra = "plain";  // read back on loading, where readHook runs
        level.AddEntity(plain, Coords::Translation(Vec3(10, 0, 10)));
        level.AddEntity(LevelRecords::Make<LevelStateEntity>(test::kStateRecord), Coords::Translation(Vec3(20, 0, 20)));
        BinaryWriter writer;
        level.Save(writer, false);
        const std::string file(reinterpret_cast<const char*>(writer.GetBuffer()), writer.GetPosition());
        level.Unload(false);
        Level probe(records_.GetRegion());
        ASSERT_TRUE(probe.Load(file.data(), uint32_t(file.size()), false));
        box_ = probe.GetBoundingBox();
        probe.Unload(false);
        width_ = 2.0f * box_.halfSize.x;
        for (int i = 0; i < kRegions; ++i) {
            const std::string name = "level" + std::to_string(i) + ".lvl";
            directory_.WriteFile(name, i == corrupt ? std::string("XYZ not a level") : file);
            world_->AddRegion(name, IntVec3(int(width_) * i, 0, 0), box_, RegionId());
        }
        files_.AddDirectory(directory_.GetPath());
        world_->BuildConnectivity();
    }

    void TearDown() override {
        world_->Unload();
        Singleton<PathFinder>::Destroy();
        LevelLoadingThread::Get().SetManual(true);
        LevelRecords::Flush();
    }

    // One frame with the viewer at x along the row (world space); the loading thread's requests
    // are served afterwards when it is served by hand.
    void Frame(float x, bool serve = true) {
        const int index = std::clamp(int((x - box_.centre.x + box_.halfSize.x) / width_), 0, kRegions - 1);
        Region* region = world_->GetRegion(index);
        const Vec3 local(x - width_ * float(index), box_.centre.y, box_.centre.z);
        engine_.Update(WorldFrustum(region, Frustum::FromBox(ABBox(local, Vec3(30.0f, 30.0f, 30.0f)))), true);
        while (serve && LevelLoadingThread::Get().ServeNextRequest()) {
        }
    }
    float Centre(int index) const { return box_.centre.x + width_ * float(index); }
    Region* RegionAt(int index) const { return world_->GetRegion(index); }
    // A doorway from region from into region to, with its other side; both stand at the same
    // place of their regions, so a view passes through unchanged.
    Portal* Join(int from, int to) {
        Portal* front = RegionAt(from)->CreatePortal();
        Portal* back = RegionAt(to)->CreatePortal();
        for (Portal* portal : {front, back}) {
            portal->SetTriangles({Portal::Triangle{{Vec3(0, 0, 0), Vec3(0, 4, 0), Vec3(0, 0, 4)}}});
            portal->SetCoords(Coords::Translation(Vec3(10, 0, 10)));
        }
        front->SetConnectedRegionId(RegionAt(to)->GetId());
        front->SetConnectedPortalId(back->GetId());
        back->SetConnectedRegionId(RegionAt(from)->GetId());
        back->SetConnectedPortalId(front->GetId());
        return front;
    }
    // The log lines containing the text.
    static size_t CountLines(const LogCapture& log, const std::string& text) {
        size_t count = 0;
        for (const LogCapture::Line& line : log.Lines()) count += line.text.find(text) != std::string::npos;
        return count;
    }
    Level* LevelOf(int index) const { return world_->GetRegion(index)->GetLevel(); }
    LevelStateEntity* StateEntity(int index) const {
        mem::vector<Entity*> all;
        LevelOf(index)->GetEntities(all);
        for (Entity* entity : all) {
            if (entity->GetObjectName() == test::kStateRecord) return static_cast<LevelStateEntity*>(entity);
        }
        return nullptr;
    }

    StreamingEngine engine_;
    LevelRecords records_;
    TempDirectory directory_;
    FileSystem files_;
    World* world_ = engine_.GetWorld();
    ABBox box_;
    float width_ = 0;
};

TEST_F(Streaming, RegionsAheadLoadInTheBackgroundAndThoseLeftBehindComeBackAsTheyWereLeft) {
    Build(true);
    LogCapture log;
    Frame(Centre(0));
    ASSERT_TRUE(world_->GetRegion(0)->IsLevelLoaded());
    ASSERT_NE(StateEntity(0), nullptr);
    StateEntity(0)->value = 42;

    // Only the viewer's first region is loaded on the main thread: the others were read ahead.
    for (float x = Centre(0); x <= Centre(kRegions - 1); x += kStep) Frame(x);
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "Forcing load of level level0.lvl"));
    for (int i = 1; i < kRegions; ++i)
        EXPECT_FALSE(log.Contains(LogPriority::Warning, "Forcing load of level level" + std::to_string(i))) << i;
    for (int i = 0; i < kRegions; ++i) EXPECT_TRUE(world_->GetRegion(i)->IsLevelLoaded()) << i;

    // Standing in the last region: each region left behind goes once unused for more than
    // 600 + (index * 7) mod 23 frames; the one next to the viewer stays.
    uint32_t lastCount[kRegions] = {};
    for (int frame = 0; frame < 700; ++frame) {
        for (int i = 0; i < kRegions; ++i) {
            if (world_->GetRegion(i)->GetLevel()) lastCount[i] = world_->GetRegion(i)->GetFramesNotUpdated();
        }
        Frame(Centre(kRegions - 1));
    }
    for (int i = 0; i < kRegions - 2; ++i) {
        EXPECT_FALSE(world_->GetRegion(i)->GetLevel()) << i;
        EXPECT_EQ(lastCount[i], Region::kUnloadFrames + uint32_t(i * 7 % 23)) << i;
        EXPECT_TRUE(world_->GetRegion(i)->HasSavedState()) << i;
    }
    EXPECT_EQ(std::tuple(world_->GetRegion(kRegions - 2)->IsLevelLoaded(), world_->GetLoadedRegions().size()),
              std::tuple(true, 2u));

    // Back to the start: the level comes back with its state, each entity once; the state waits
    // through a read that fails.
    const std::string file = directory_.ReadFile("level0.lvl");
    directory_.WriteFile("level0.lvl", "XYZ not a level");
    EXPECT_EQ(world_->GuaranteedGetRegionLevel(0), nullptr);
    directory_.WriteFile("level0.lvl", file);
    EXPECT_NE(world_->GuaranteedGetRegionLevel(0), nullptr);
    Frame(Centre(0));
    ASSERT_TRUE(world_->GetRegion(0)->IsLevelLoaded());
    ASSERT_NE(StateEntity(0), nullptr);
    EXPECT_EQ(std::tuple(StateEntity(0)->value, LevelOf(0)->GetNumEntities(), world_->GetRegion(0)->HasSavedState()),
              std::tuple(42u, 2, false));
}

// Letting go of the regions no one sees never sets a region's unused count back: asked at every
// point of a path, a region whose threshold lies further than the next point still goes.
TEST_F(Streaming, LettingGoOfUnseenRegionsNeverPutsOffTheirUnload) {
    Build(true);
    Region* region = RegionAt(3);  // unloaded after 621 unused frames
    ASSERT_NE(world_->GuaranteedGetRegionLevel(3), nullptr);
    world_->UnloadExtraRegions();
    EXPECT_EQ(region->GetFramesNotUpdated(), Region::kUnloadFrames - 1);
    for (int frame = 0; frame < 11; ++frame) world_->UpdateRegionUsage();
    world_->UnloadExtraRegions();
    EXPECT_EQ(region->GetFramesNotUpdated(), Region::kUnloadFrames + 10);
    for (int frame = 0; frame < 11; ++frame) world_->UpdateRegionUsage();
    EXPECT_TRUE(region->IsLevelLoaded());
    world_->UpdateRegionUsage();
    EXPECT_EQ(region->GetLevel(), nullptr);
}

TEST_F(Streaming, ARegionWhoseLevelCannotBeReadIsTriedOnceUntilAskedForAgain) {
    Build(true, 2);
    LogCapture log;
    // There and back: the broken level is near the view, in it, and near it again.
    for (float x = Centre(0); x <= Centre(kRegions - 1); x += kStep) Frame(x);
    for (float x = Centre(kRegions - 1); x >= Centre(0); x -= kStep) Frame(x);
    Region* broken = RegionAt(2);
    EXPECT_EQ(CountLines(log, "Couldn't load level2.lvl"), 1u);
    EXPECT_FALSE(log.Contains(LogPriority::Warning, "Forcing load of level level2.lvl"));
    EXPECT_TRUE(!broken->GetLevel() && broken->GetLoadFailed());
    for (int i : {0, 1, 3, 4, 5}) EXPECT_TRUE(RegionAt(i)->IsLevelLoaded()) << i;
    EXPECT_EQ(LevelLoadingThread::Get().GetNumQueued(), 0u);

    // What the renderers ask every frame does not read it again; an explicit load does.
    EXPECT_FALSE(broken->IsUnderground());
    EXPECT_EQ(CountLines(log, "Couldn't load level2.lvl"), 1u);
    EXPECT_EQ(broken->GuaranteedGetLevel(false), nullptr);
    EXPECT_EQ(CountLines(log, "Couldn't load level2.lvl"), 2u);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Internal Load Level failed on level2.lvl"));
    directory_.WriteFile("level2.lvl", directory_.ReadFile("level1.lvl"));  // mended: read without render data
    ASSERT_NE(broken->GuaranteedGetLevel(false), nullptr);
    EXPECT_FALSE(broken->GetLevel()->HasLoadedRenderData());
}

// In the editor a level that goes keeps its edits whole in a temporary file of its own, which it
// comes back from until the saved state is forgotten. A region updated alone loads its level.
TEST_F(Streaming, InTheEditorALevelThatGoesKeepsItsEditsInATemporaryFile) {
    Build(true);
    engine_.editor = true;
    Region* region = RegionAt(2);
    region->Update(16);
    ASSERT_TRUE(region->IsLevelLoaded());
    LevelOf(2)->AddEntity(LevelRecords::Make(test::kPlainRecord), Coords::Translation(Vec3(30, 0, 30)));
    auto ground = std::make_unique<Terrain>(region);
    ASSERT_TRUE(ground->New(8, 8));
    LevelOf(2)->SetGround(std::move(ground));
    region->UnloadLevel(true, false);
    const std::string kept = region->GetSavedStateFileName();
    EXPECT_EQ(std::tuple(region->HasSavedState(), kept.substr(kept.size() - 10)), std::tuple(true, "level2.lvl"));
    EXPECT_NE(kept, RegionAt(3)->GetSavedStateFileName());
    // The map data rebuild of a neighbour reads the level from there and lets it go again.
    EXPECT_TRUE(RegionAt(3)->RebuildMapData());
    EXPECT_FALSE(region->GetLevel());
    ASSERT_NE(world_->GuaranteedGetRegionLevel(2), nullptr);
    EXPECT_EQ(LevelOf(2)->GetNumEntities(), 3);
    EXPECT_NE(LevelOf(2)->GetEditableTerrain(), nullptr);  // kept in the editor's form
    EXPECT_TRUE(region->HasSavedState());
    region->DestroyLevelEntities();
    EXPECT_EQ(LevelOf(2)->GetNumEntities(), 0);
    region->UnloadLevel(false, true);
    EXPECT_FALSE(region->HasSavedState());
    ASSERT_NE(world_->GuaranteedGetRegionLevel(2), nullptr);
    EXPECT_EQ(LevelOf(2)->GetNumEntities(), 2);
    std::filesystem::remove(kept);
}

// Moved or added from anywhere, an entity that does not ask to be destroyed on entering an
// unloaded level has the level loaded there and then, even one the loading thread has queued.
class StreamingDoomedEntity : public test::LevelTestEntity {
    GAME_RTTI_DECLARE_CLASS()

public:
    bool DeleteOnEnteringUnloadedLevel() const override { return true; }
};
GAME_RTTI_DEFINE_CLASS(StreamingDoomedEntity, test::LevelTestEntity);

TEST_F(Streaming, EntitiesEnteringAnUnloadedRegionHaveItsLevelLoadedOrAreDestroyedWhenTheyAsk) {
    Build(true, 5);
    Frame(Centre(0), false);
    Region* home = RegionAt(0);
    Region* queued = RegionAt(1);
    Region* idle = RegionAt(3);
    Region* broken = RegionAt(5);
    ASSERT_TRUE(home->IsLevelLoaded());
    ASSERT_TRUE(queued->IsLevelLoading());
    ASSERT_FALSE(idle->GetLevel() || idle->IsLevelLoading());
    LogCapture log;
    const auto at = [](Region* region) { return WorldCoords(region, Coords::Translation(Vec3(5, 0, 5))); };

    test::LevelTestEntity* walker = LevelRecords::Make(test::kPlainRecord);
    ASSERT_TRUE(world_->AddEntity(walker, WorldCoords(home, Coords::Translation(Vec3(12, 0, 12))), false));
    world_->SetCoords(walker, at(queued));
    EXPECT_EQ(std::tuple(walker->GetRegion(), queued->IsLevelLoaded()), std::tuple(queued, true));
    EXPECT_FALSE(queued->IsLevelLoading() || queued->GetLevel()->HasLoadedRenderData());  // an entity needs none
    EXPECT_EQ(std::pair(queued->GetLevel()->GetNumEntities(), home->GetLevel()->GetNumEntities()), std::pair(3, 2));

    test::LevelTestEntity* added = LevelRecords::Make(test::kPlainRecord);
    ASSERT_TRUE(world_->AddEntity(added, at(idle), true));
    EXPECT_EQ(std::tuple(added->GetRegion(), idle->IsLevelLoaded(), idle->GetLevel()->HasLoadedRenderData()),
              std::tuple(idle, true, false));  // an entity needs no render data
    EXPECT_EQ(idle->GetLevel()->GetNumEntities(), 3);

    // A level that cannot be loaded takes nothing: the entity stays where it was.
    world_->SetCoords(walker, at(broken));
    EXPECT_EQ(std::tuple(walker->GetRegion(), queued->GetLevel()->GetNumEntities()), std::tuple(queued, 3));
    test::LevelTestEntity* refused = LevelRecords::Make(test::kPlainRecord);
    EXPECT_FALSE(world_->AddEntity(refused, at(broken), false) || refused->GetRegion());
    Singleton<ObjectManager>::Get()->DestroyObjectEx(refused, __FILE__, __LINE__);

    // One that asks to be destroyed is, moved or added, and the level stays unloaded.
    ObjectManager* objects = Singleton<ObjectManager>::Get();
    auto* doomed = static_cast<StreamingDoomedEntity*>(objects->CreateObject("StreamingDoomedEntity"));
    ASSERT_TRUE(world_->AddEntity(doomed, WorldCoords(home, Coords::Translation(Vec3(12, 0, 12))), false));
    const int live = LevelRecords::Flush();
    world_->SetCoords(doomed, at(RegionAt(4)));
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "tried to move into an unloaded level"));
    EXPECT_EQ(home->GetLevel()->GetNumEntities(), 2);
    auto* late = static_cast<StreamingDoomedEntity*>(objects->CreateObject("StreamingDoomedEntity"));
    EXPECT_FALSE(world_->AddEntity(late, at(RegionAt(4)), false));
    EXPECT_TRUE(log.Contains(LogPriority::Error, "could not be added to the world because it's level is not loaded"));
    EXPECT_FALSE(RegionAt(4)->GetLevel());
    EXPECT_EQ(LevelRecords::Flush(), live - 1);
}

// The walk as the listed limits shape it: up to 16 viewers, render data for the first only, and
// open doorways followed two hops from the viewer's region.
TEST_F(Streaming, TheWalkTakesSixteenViewersLoadsRenderDataForTheFirstAndGoesTwoDoorwaysDeep) {
    Build(true);
    const auto viewer = [&](Region* region) {
        return WorldFrustum(region, Frustum::FromBox(ABBox(box_.centre, Vec3(30, 30, 30))));
    };
    // Viewers without a region meet nothing; the one that sees the region comes last.
    WorldFrustum frusta[Region::kMaxFrusta + 1];
    frusta[Region::kMaxFrusta] = viewer(RegionAt(1));
    RegionAt(1)->Update(RegionAt(1), frusta, Region::kMaxFrusta + 1, 10, false, nullptr, 0);
    EXPECT_FALSE(RegionAt(1)->GetLevel());
    frusta[Region::kMaxFrusta - 1] = viewer(RegionAt(3));
    RegionAt(3)->Update(RegionAt(3), frusta, Region::kMaxFrusta, 10, false, nullptr, 0);
    ASSERT_TRUE(RegionAt(3)->IsLevelLoaded());
    EXPECT_FALSE(RegionAt(3)->GetLevel()->HasLoadedRenderData());
    frusta[0] = viewer(RegionAt(5));
    RegionAt(5)->Update(RegionAt(5), frusta, 2, 10, false, nullptr, 0);
    ASSERT_TRUE(RegionAt(5)->IsLevelLoaded());
    EXPECT_TRUE(RegionAt(5)->GetLevel()->HasLoadedRenderData());
    // A view 144 beyond region 2's box is not near enough (120) to read it ahead, though it is
    // near enough to the box's bounding sphere (154 across).
    const WorldFrustum beyond(RegionAt(2), Frustum::FromBox(ABBox(box_.centre + Vec3(0, 0, 254), Vec3(1, 1, 1))));
    RegionAt(2)->Update(RegionAt(2), &beyond, 1, 10, false, nullptr, 0);
    EXPECT_FALSE(RegionAt(2)->GetLevel() || RegionAt(2)->IsLevelLoading());

    // Next frame: doorways 0 -> 1 -> 4 -> 2, into a neighbour or not, are followed two deep.
    engine_.Update(WorldFrustum(), false);
    Join(0, 1);
    Join(1, 4);
    Join(4, 2);
    const WorldFrustum wide(RegionAt(0), Frustum::FromBox(ABBox(Vec3(), Vec3(1000, 1000, 1000))));
    RegionAt(0)->Update(RegionAt(0), &wide, 1, 10, false, nullptr, 0);
    for (const int i : {1, 4}) EXPECT_TRUE(RegionAt(i)->IsLevelLoaded()) << i;
    EXPECT_FALSE(RegionAt(2)->GetLevel() || RegionAt(2)->IsLevelLoading());

    // The world's walk leaves the doorway into the viewer's neighbour to the neighbour's own pass
    // (read there and then, with render data), which goes on through the neighbour's doorways.
    engine_.Update(WorldFrustum(), false);
    for (const int i : {1, 4, 5}) RegionAt(i)->UnloadLevel(false, true);
    world_->PostLoadPass();  // their render data, asked for, went with them: they may be read ahead
    RegionAt(4)->BackgroundLoadLevel(false);
    EXPECT_TRUE(RegionAt(4)->IsLevelLoading());
    Join(0, 5)->SetCoords(Coords::Translation(Vec3(10, 0, 400)));  // far from the view: not followed
    const float edge = width_ + 15.0f;  // past the doorway of region 1
    const ABBox seen(Vec3((edge + 5) / 2, box_.centre.y, 12), Vec3((edge - 5) / 2, box_.halfSize.y + 2, 2));
    world_->Update({WorldFrustum(RegionAt(0), Frustum::FromBox(seen))});
    EXPECT_TRUE(RegionAt(1)->IsLevelLoaded() && RegionAt(1)->GetLevel()->HasLoadedRenderData());
    EXPECT_TRUE(RegionAt(4)->IsLevelLoaded() && !RegionAt(5)->GetLevel() && !RegionAt(5)->IsLevelLoading());

    // A doorway just out of view has what lies behind it read ahead, and counts as its use.
    engine_.Update(WorldFrustum(), false);
    Join(3, 2);
    RegionAt(2)->PrepareUnload();
    const WorldFrustum besideDoor(RegionAt(3), Frustum::FromBox(ABBox(box_.centre + Vec3(2, 0, 2), Vec3(1, 1, 1))));
    RegionAt(3)->Update(RegionAt(3), &besideDoor, 1, 10, false, nullptr, 0);
    EXPECT_EQ(std::pair(RegionAt(2)->IsLevelLoading(), RegionAt(2)->GetFramesNotUpdated()), std::pair(true, 0u));
}

TEST_F(Streaming, PortalTransformsLoadTheRegionBehindButThePathLinkerNeverDoes) {
    Build(true, 4);
    // Doorways from region 0 into region 3 (readable) and region 4 (broken), each with its other side.
    Portal* toThree = Join(0, 3);
    Portal* toFour = Join(0, 4);
    toThree->GetConnectedPortal(false)->SetCoords(Coords::Translation(Vec3(5, 0, 5)));
    LogCapture log;
    PortalPathLinker linker;
    WorldVec3 front, back;
    ASSERT_TRUE(linker.GetCrossing(*toThree, front, back));
    EXPECT_EQ(back.GetRegion(), world_->GetRegion(3));
    EXPECT_NEAR(back.GetRegionPosition().x, 5.0f + (front.GetRegionPosition().x - 10.0f), 1e-4f);
    EXPECT_FALSE(world_->GetRegion(3)->GetLevel());

    Coords frontToBack;
    Region* behind = nullptr;
    ASSERT_TRUE(toThree->GetFrontToBackCoords(frontToBack, behind));
    EXPECT_EQ(behind, world_->GetRegion(3));
    EXPECT_TRUE(world_->GetRegion(3)->IsLevelLoaded());
    EXPECT_FALSE(world_->GetRegion(3)->GetLevel()->HasLoadedRenderData());  // nothing is drawn there yet
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "Forcing load of level level3.lvl"));

    // A level that cannot be read is tried once, not at every crossing.
    for (int i = 0; i < 3; ++i) toFour->GetFrontToBackCoords(frontToBack, behind);
    EXPECT_FALSE(world_->GetRegion(4)->GetLevel());
    EXPECT_EQ(CountLines(log, "Internal Load Level failed on level4.lvl"), 1u);
}

TEST_F(Streaming, RegionLoadersFinishOnceTheLevelsAreInAndSayWhenOneCannotBe) {
    Build(true, 2);
    ResourceLoader resources(files_);
    RegionLoader background(&resources, {world_->GetRegion(0), world_->GetRegion(2)}, false);
    background.Update(0);
    EXPECT_FALSE(background.GetIsDone());
    EXPECT_FALSE(world_->GetRegion(0)->GetLevel());
    LevelLoadingThread::Get().ResetLoadTimes();
    timespec cpu[2]{};  // this thread's processor time around the loads it serves
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu[0]);
    while (LevelLoadingThread::Get().ServeNextRequest()) {
    }
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu[1]);
    // The two requests served were timed, the one that failed too.
    const LevelLoadingThread::LoadTimes times = LevelLoadingThread::Get().GetLoadTimes();
    EXPECT_EQ(times.served, 2);
    const double aroundMs =
        double(cpu[1].tv_sec - cpu[0].tv_sec) * 1e3 + double(cpu[1].tv_nsec - cpu[0].tv_nsec) * 1e-6;
    EXPECT_GT(times.cpuMs, 0.5 * aroundMs);
    EXPECT_LE(times.cpuMs, aroundMs);
    EXPECT_GE(times.wallMs, times.cpuMs * 0.5);  // the clocks tick apart, but not by half
    EXPECT_GT(times.worstRatio, 0.0);
    LevelLoadingThread::Get().ResetLoadTimes();
    EXPECT_EQ(LevelLoadingThread::Get().GetLoadTimes().served, 0);
    world_->GetRegion(0)->BackgroundLoadLevel(false);  // read, waiting for its post-load: not asked again
    EXPECT_EQ(LevelLoadingThread::Get().GetNumQueued(), 0u);
    // The post-load pass finishes a level a step a frame, in five.
    for (int frame = 1; frame <= 5; ++frame) {
        world_->PostLoadPass();
        background.Update(0);
        EXPECT_EQ(world_->GetRegion(0)->IsLevelLoaded(), frame == 5) << frame;
    }
    EXPECT_FALSE(background.GetIsDone());
    EXPECT_FALSE(background.GetAreLevelsLoaded());
    EXPECT_TRUE(background.GetHasFailed());
    {  // the loads are asked for once: a level that cannot be read is not read again each update
        LogCapture log;
        ForegroundRegionLoader failing(&resources, {world_->GetRegion(2)}, false);
        failing.Update(0);
        failing.Update(0);
        EXPECT_EQ(CountLines(log, "Internal Load Level failed on level2.lvl"), 1u);
    }

    // In the foreground the levels are there after the first update; the second sees the
    // preload's requests served. Meanwhile the regions are kept in use.
    world_->GetRegion(1)->PrepareUnload();
    ForegroundRegionLoader foreground(&resources, {world_->GetRegion(0), world_->GetRegion(1)}, false);
    engine_.SetEntityPreLoadInflation(0.0f);
    foreground.SetFrustum(WorldFrustum(RegionAt(1), Frustum::FromBox(ABBox(Vec3(20, 0, 20), Vec3(3, 3, 3)))));
    foreground.Update(0);
    EXPECT_TRUE(world_->GetRegion(1)->IsLevelLoaded());
    EXPECT_TRUE(foreground.GetAreLevelsLoaded());
    foreground.Update(0);
    EXPECT_TRUE(foreground.GetIsDone());
    EXPECT_FALSE(foreground.GetHasFailed());
    EXPECT_EQ(world_->GetRegion(1)->GetFramesNotUpdated(), 0u);
    mem::vector<Entity*> all;  // only what the frustum holds is preloaded
    LevelOf(1)->GetEntities(all);
    for (Entity* entity : all) EXPECT_EQ(static_cast<test::LevelTestEntity*>(entity)->preloads > 0, entity == StateEntity(1));
    EXPECT_EQ(RegionLoader(foreground.GetFrustum(), false).GetFrustum().GetRegion(), RegionAt(1));  // preloads in that view
    RegionLoader empty(&resources, {}, false);
    empty.Update(0);
    EXPECT_TRUE(empty.GetIsDone());
    EXPECT_TRUE(empty.GetAreLevelsLoaded());
    // Asking whether a region is underground reads its level, without render data.
    EXPECT_FALSE(RegionAt(3)->IsUnderground());
    EXPECT_FALSE(RegionAt(3)->GetLevel()->HasLoadedRenderData());
}

TEST_F(Streaming, TheWorldAddsLoadsAndUnloadsRegionsByIndex) {
    Build(true);
    LogCapture log;
    const int far = world_->AddRegion("level1.lvl", IntVec3(int(width_) * 20, 0, 0));
    ASSERT_EQ(far, kRegions);
    EXPECT_TRUE(RegionAt(far)->IsLevelLoaded());
    EXPECT_EQ(RegionAt(far)->GetBoundingBox(), box_);
    EXPECT_EQ(world_->GetRegionName(far), "level1.lvl");
    world_->SetRegionName(far, "renamed");
    EXPECT_EQ(RegionAt(far)->GetName(), "renamed");
    EXPECT_EQ(world_->GetRegionName(far + 1), "");

    // A level that cannot be read takes its region with it.
    const RegionId kept = RegionAt(far)->GetId();
    EXPECT_EQ(world_->AddRegion("missing.lvl", IntVec3(int(width_) * 30, 0, 0)), -1);
    EXPECT_EQ(world_->GetNumRegions(), kRegions + 1);
    EXPECT_EQ(world_->GetRegionById(kept), RegionAt(far));
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Couldn't load missing.lvl"));

    EXPECT_EQ(world_->GetRegionLevel(3), nullptr);
    EXPECT_EQ(world_->GuaranteedGetRegionLevel(-1), nullptr);
    Level* level = world_->GuaranteedGetRegionLevel(3);
    ASSERT_NE(level, nullptr);
    EXPECT_EQ(level, world_->GetRegionLevel(3));
    EXPECT_FALSE(level->HasLoadedRenderData());
    EXPECT_TRUE(RegionAt(3)->IsLoadingFinished());
    world_->UnloadLevel(3, true);
    EXPECT_EQ(world_->GetRegionLevel(3), nullptr);
    EXPECT_TRUE(RegionAt(3)->HasSavedState());
    EXPECT_FALSE(RegionAt(3)->IsLoadingFinished());

    // A box query loads the levels it meets only when asked to.
    const ABBox around(Vec3(Centre(4) - Centre(0) + box_.centre.x, box_.centre.y, box_.centre.z), box_.halfSize);
    mem::vector<Entity*> found;
    world_->GetEntitiesInBox(found, around, RegionAt(0), false);
    EXPECT_TRUE(found.empty());
    EXPECT_EQ(RegionAt(4)->GetLevel(), nullptr);
    world_->GetEntitiesInBox(found, around, RegionAt(0), true);
    EXPECT_TRUE(RegionAt(4)->IsLevelLoaded());
    EXPECT_FALSE(RegionAt(4)->GetLevel()->HasLoadedRenderData());
    EXPECT_EQ(std::count_if(found.begin(), found.end(), [&](Entity* e) { return e->GetRegion() == RegionAt(4); }), 2);
    RegionAt(1)->BackgroundLoadLevel(false);
    world_->RemoveRegion(1);  // its queued request goes with it
    EXPECT_EQ(LevelLoadingThread::Get().GetNumQueued(), 0u);
}

// The highest ground over a point comes from the levels of the regions there, loaded for it:
// terrains rising along x, the second region 2 along x and 10 up, the third 30 down.
TEST_F(Streaming, TheHighestGroundOverAPointLoadsTheLevelsUnderIt) {
    engine_.SetFileSystem(&files_);
    const ABBox box(Vec3(4, 0, 4), Vec3(4, 20, 4));
    const auto add = [&](const std::string& name, const Level& level, const IntVec3& offset) {
        BinaryWriter writer;
        level.Save(writer, false);
        writer.BeginChunk(Level::kChunkPassability);  // of 8 x 8 cells, (1, 2) impassable
        for (uint32_t side : {8u, 8u}) writer.Write(side);
        for (int cell = 0; cell < 64; ++cell) writer.Write(uint8_t(cell == 2 * 8 + 1));
        writer.EndChunk();
        directory_.WriteFile(name,
                             std::string(reinterpret_cast<const char*>(writer.GetBuffer()), writer.GetPosition()));
        world_->AddRegion(name, offset, box, RegionId());
    };
    const std::tuple<std::string, float, IntVec3> grounds[] = {
        {"a.lvl", 1.0f, IntVec3(0, 0, 0)}, {"b.lvl", 0.5f, IntVec3(2, 10, 0)}, {"c.lvl", 3.0f, IntVec3(0, -30, 0)}};
    for (const auto& [name, slope, offset] : grounds) {
        Level level(nullptr);
        ASSERT_TRUE(level.NewTerrain(9, 9));
        for (unsigned z = 0; z < 9; ++z)
            for (unsigned x = 0; x < 9; ++x) level.GetEditableTerrain()->SetBaseHeight(x, z, slope * float(x));
        add(name, level, offset);
    }
    Level bare(nullptr);  // a level without ground
    bare.NewSpace(Vec2(4, 4));
    add("bare.lvl", bare, IntVec3(0, 0, 40));
    files_.AddDirectory(directory_.GetPath());

    // At x = 5 of a: a's ground 5, b's (x = 3 there) 1.5 + 10, c's 15 - 30.
    EXPECT_FLOAT_EQ(world_->GetHighestTerrainHeight(RegionAt(0), 5, 3), 11.5f);
    EXPECT_TRUE(LevelOf(0)->GetEditableTerrain()->IsImpassable(1, 2) &&
                !LevelOf(0)->GetEditableTerrain()->IsImpassable(2, 1));
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(RegionAt(i)->IsLevelLoaded() && !LevelOf(i)->HasLoadedRenderData()) << i;
    EXPECT_EQ(RegionAt(3)->GetLevel(), nullptr);
    EXPECT_FLOAT_EQ(world_->GetHighestTerrainHeight(RegionAt(1), 3, 3), 1.5f);
    EXPECT_EQ(world_->GetHighestTerrainHeight(RegionAt(0), 5, 43), -Infinity);
    EXPECT_EQ(world_->GetHighestTerrainHeight(RegionAt(0), 50, 3), World::kNoTerrainHeight);
    EXPECT_EQ(world_->GetHighestTerrainHeight(nullptr, 5, 3), World::kNoTerrainHeight);
    // a's navigation mesh takes in b's ground where it lies from a: past a's edge, on b's slope.
    ASSERT_TRUE(LevelOf(0)->CreatePathMesh());
    const PathMesh& mesh = LevelOf(0)->GetPathMesh();
    const int32_t past = mesh.FindTriangle(Vec3(9.5f, 13.75f, 4));
    ASSERT_GE(past, 0);
    for (const uint32_t corner : mesh.GetTriangle(uint32_t(past)).vertex)
        EXPECT_FLOAT_EQ(mesh.GetVertex(corner).y, 10.0f + 0.5f * (mesh.GetVertex(corner).x - 2.0f));
}

TEST_F(Streaming, ANavigationMeshBuildLoadsTheNeighboursItNeedsForTheWhile) {
    Build(true);
    Level* middle = world_->GuaranteedGetRegionLevel(2);
    ASSERT_NE(middle, nullptr);
    ASSERT_NE(world_->GuaranteedGetRegionLevel(3), nullptr);
    LogCapture log;
    // These levels have no ground to walk on: no mesh, and nothing failed.
    EXPECT_TRUE(middle->CreatePathMesh());
    EXPECT_FALSE(middle->GetPathMesh().HasMesh());
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "Forcing load of level level1.lvl"));
    EXPECT_FALSE(log.Contains(LogPriority::Warning, "Forcing load of level level4.lvl"));
    EXPECT_EQ(RegionAt(1)->GetLevel(), nullptr);
    EXPECT_FALSE(RegionAt(1)->HasSavedState());
    EXPECT_TRUE(RegionAt(3)->IsLevelLoaded());
}

// A forced load takes back a request still queued, and waits for one being served (saying so)
// and takes its level.
TEST_F(Streaming, AForcedLoadWaitsForTheThreadServingItsRequestAndSaysSo) {
    Build(true);
    LogCapture log;
    Region* queued = RegionAt(3);
    queued->BackgroundLoadLevel(false);
    queued->WaitForLoadingToFinish();  // taken back: the region may ask again
    EXPECT_FALSE(queued->IsLevelLoading());
    queued->BackgroundLoadLevel(false);
    ASSERT_TRUE(queued->IsLevelLoading());
    EXPECT_FALSE(LevelLoadingThread::Get().IsRunning());  // served by hand
    // A read ahead asked for while the forced load reads is not queued: that load is under way.
    test::LevelTestEntity::readHook = [&] { queued->BackgroundLoadLevel(false); };
    EXPECT_TRUE(queued->LoadLevel(false));
    test::LevelTestEntity::readHook = nullptr;
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "Forcing load of level level3.lvl"));
    EXPECT_FALSE(log.Contains(LogPriority::Warning, "Main thread sleeping"));
    EXPECT_EQ(LevelLoadingThread::Get().GetNumQueued(), 0u);

    Region* served = RegionAt(4);
    served->BackgroundLoadLevel(false);
    std::promise<void> reading;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> first{true};
    test::LevelTestEntity::readHook = [&] {
        if (!first.exchange(false)) return;
        reading.set_value();
        released.wait();
    };
    std::thread loader([] { LevelLoadingThread::Get().ServeNextRequest(); });
    const std::string warning = "Main thread sleeping waiting for load of level 'level4.lvl'";
    // Lets the load finish once the wait was announced (or, failing that, after a while).
    std::thread releaser([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!log.Contains(LogPriority::Warning, warning) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        release.set_value();
    });
    const bool reached = reading.get_future().wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    const bool loaded = reached && served->LoadLevel(false);
    releaser.join();
    loader.join();
    test::LevelTestEntity::readHook = nullptr;
    ASSERT_TRUE(reached);
    EXPECT_TRUE(loaded);
    EXPECT_FALSE(served->IsLevelLoading());
    EXPECT_TRUE(log.Contains(LogPriority::Warning, warning));
    EXPECT_FALSE(log.Contains(LogPriority::Warning, "Forcing load of level level4.lvl"));
}

// The walk with the loading thread running: levels are handed over while the main thread walks,
// unloads and destroys regions.
TEST_F(Streaming, StreamingThreadWalksBothWaysAndTheWorldUnloadsMidLoad) {
    Build(false);
    for (int trip = 0; trip < 2; ++trip) {
        for (float x = Centre(0); x <= Centre(kRegions - 1); x += kStep) Frame(x, false);
        world_->UnloadExtraRegions();
        for (float x = Centre(kRegions - 1); x >= Centre(0); x -= kStep) Frame(x, false);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (world_->GetNumLevelsLoading() != 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    Frame(Centre(0), false);
    EXPECT_TRUE(world_->GetRegion(0)->IsLevelLoaded());
    EXPECT_TRUE(world_->GetRegion(1)->GetLevel() || world_->GetRegion(1)->IsLevelLoading());
    // Requests still queued or running when the world goes are taken back or waited for.
    world_->UnloadExtraRegions();
    for (float x = Centre(0); x <= Centre(kRegions - 1); x += 4 * kStep) Frame(x, false);
}

}  // namespace
}  // namespace GAME
