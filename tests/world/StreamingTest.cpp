// Region streaming: a viewer walks along a row of regions; the levels ahead are read in the
// background, the ones left behind are unloaded after their unused-frame count and come back as
// they were left. The walk runs with the loading thread served by hand (deterministic) and on the
// real thread (StreamingThread, which the ThreadSanitizer build runs).
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "LevelFixture.h"
#include "core/Frustum.h"
#include "core/Singleton.h"
#include "core/WorldCoords.h"
#include "pathing/PathFinder.h"
#include "engine/Entity.h"
#include "files/BinaryWriter.h"
#include "files/ResourceLoader.h"
#include "support/LogCapture.h"
#include "support/TempDirectory.h"
#include "world/Level.h"
#include "world/Portal.h"
#include "world/PortalPathLinker.h"
#include "world/LevelLoadingThread.h"
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
        level.AddEntity(LevelRecords::Make(test::kPlainRecord), Coords::Translation(Vec3(10, 0, 10)));
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
    EXPECT_TRUE(world_->GetRegion(kRegions - 2)->IsLevelLoaded());
    EXPECT_EQ(world_->GetLoadedRegions().size(), 2u);

    // Back to the start: the level comes back with its state, each entity once.
    Frame(Centre(0));
    ASSERT_TRUE(world_->GetRegion(0)->IsLevelLoaded());
    ASSERT_NE(StateEntity(0), nullptr);
    EXPECT_EQ(StateEntity(0)->value, 42u);
    EXPECT_EQ(LevelOf(0)->GetNumEntities(), 2);
    EXPECT_FALSE(world_->GetRegion(0)->HasSavedState());
}

TEST_F(Streaming, ARegionWhoseLevelCannotBeReadStaysUnloadedAndTheOthersStreamOn) {
    Build(true, 2);
    LogCapture log;
    for (float x = Centre(0); x <= Centre(kRegions - 1); x += kStep) Frame(x);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Couldn't load level2.lvl"));
    EXPECT_FALSE(world_->GetRegion(2)->GetLevel());
    EXPECT_TRUE(world_->GetRegion(2)->GetLoadFailed());
    for (int i : {0, 1, 3, 4, 5}) EXPECT_TRUE(world_->GetRegion(i)->IsLevelLoaded()) << i;
    EXPECT_EQ(LevelLoadingThread::Get().GetNumQueued(), 0u);
}

TEST_F(Streaming, PortalTransformsLoadTheRegionBehindButThePathLinkerNeverDoes) {
    Build(true, 4);
    // Doorways from region 0 into region 3 (readable) and region 4 (broken), each with its other side.
    const auto join = [&](int from, int to) {
        Portal* front = world_->GetRegion(from)->CreatePortal();
        Portal* back = world_->GetRegion(to)->CreatePortal();
        for (Portal* portal : {front, back})
            portal->SetTriangles({Portal::Triangle{{Vec3(0, 0, 0), Vec3(0, 4, 0), Vec3(0, 0, 4)}}});
        front->SetConnectedRegionId(world_->GetRegion(to)->GetId());
        front->SetConnectedPortalId(back->GetId());
        back->SetConnectedRegionId(world_->GetRegion(from)->GetId());
        back->SetConnectedPortalId(front->GetId());
        front->SetCoords(Coords::Translation(Vec3(10, 0, 10)));
        back->SetCoords(Coords::Translation(Vec3(5, 0, 5)));
        return front;
    };
    Portal* toThree = join(0, 3);
    Portal* toFour = join(0, 4);
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
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "Forcing load of level level3.lvl"));

    // A level that cannot be read is tried once, not at every crossing.
    for (int i = 0; i < 3; ++i) toFour->GetFrontToBackCoords(frontToBack, behind);
    EXPECT_FALSE(world_->GetRegion(4)->GetLevel());
    size_t failures = 0;
    for (const LogCapture::Line& line : log.Lines())
        failures += line.text.find("Internal Load Level failed on level4.lvl") != std::string::npos;
    EXPECT_EQ(failures, 1u);
    world_->Unload();
    Singleton<PathFinder>::Destroy();
}

TEST_F(Streaming, RegionLoadersFinishOnceTheLevelsAreInAndSayWhenOneCannotBe) {
    Build(true, 2);
    ResourceLoader resources(files_);
    RegionLoader background(&resources, {world_->GetRegion(0), world_->GetRegion(2)}, false);
    background.Update(0);
    EXPECT_FALSE(background.GetIsDone());
    EXPECT_FALSE(world_->GetRegion(0)->GetLevel());
    while (LevelLoadingThread::Get().ServeNextRequest()) {
    }
    // The post-load pass finishes a level a step a frame.
    for (int frame = 0; frame < 8; ++frame) {
        world_->PostLoadPass();
        background.Update(0);
    }
    EXPECT_TRUE(world_->GetRegion(0)->IsLevelLoaded());
    EXPECT_FALSE(background.GetIsDone());
    EXPECT_FALSE(background.GetAreLevelsLoaded());
    EXPECT_TRUE(background.GetHasFailed());

    // In the foreground the levels are there after the first update; the second sees the
    // preload's requests served. Meanwhile the regions are kept in use.
    world_->GetRegion(1)->PrepareUnload();
    ForegroundRegionLoader foreground(&resources, {world_->GetRegion(0), world_->GetRegion(1)}, false);
    foreground.Update(0);
    EXPECT_TRUE(world_->GetRegion(1)->IsLevelLoaded());
    EXPECT_TRUE(foreground.GetAreLevelsLoaded());
    foreground.Update(0);
    EXPECT_TRUE(foreground.GetIsDone());
    EXPECT_FALSE(foreground.GetHasFailed());
    EXPECT_EQ(world_->GetRegion(1)->GetFramesNotUpdated(), 0u);
    RegionLoader empty(&resources, {}, false);
    empty.Update(0);
    EXPECT_TRUE(empty.GetIsDone());
    EXPECT_TRUE(empty.GetAreLevelsLoaded());
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
