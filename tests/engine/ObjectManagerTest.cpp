// The object manager: creation from records, ids, queued destruction, leaks, threads.

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <set>
#include <thread>
#include <vector>

#include "TestRecords.h"
#include "core/Name.h"
#include "engine/Actor.h"
#include "engine/ObjectManager.h"
#include "support/LogCapture.h"

namespace GAME::test {

// Counts its destructions and runs an optional action from its destructor.
class TestTrackedObject : public Object {
    GAME_RTTI_DECLARE_CLASS()

public:
    ~TestTrackedObject() override {
        ++destroyed;
        if (onDestroy) onDestroy();
    }
    static inline std::atomic<int> destroyed{0};
    std::function<void()> onDestroy;
};

GAME_RTTI_DEFINE_CLASS(TestTrackedObject, Object);

namespace {

class ObjectManagerTest : public ::testing::Test {
protected:
    ObjectManagerTest() {
        manager.SetTableDepot(&records.GetDepot());
        TestTrackedObject::destroyed = 0;
    }

    TestTrackedObject* CreateTracked(uint32_t id = 0) {
        return static_cast<TestTrackedObject*>(manager.CreateObject("TestTrackedObject", id));
    }

    TestRecords records;
    ObjectManager manager;
};

TEST_F(ObjectManagerTest, RecordOfAKnownClassMakesANamedLoadedObject) {
    Object* object = manager.CreateObjectFromFile(kEntityRecord);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->GetRTTIClassInfo(), &Entity::classInfo);
    EXPECT_EQ(object->GetObjectName(), "records/test/entity/basic.dbr");
    EXPECT_NE(object->GetObjectId(), 0u);
    EXPECT_EQ(manager.GetObject(object->GetObjectId()), object);
    EXPECT_EQ(manager.GetObjectByName(Name::Create("records/test/entity/basic.dbr")), object);
    EXPECT_EQ(manager.GetNumObjects(), 1);

    LogCapture log;
    Actor* actor = manager.CreateObjectFromFile<Actor>(kActorRecord);
    ASSERT_NE(actor, nullptr);
    EXPECT_FALSE(actor->GetCastsShadows());
    // A record that names no mesh says nothing; one cut inside its mesh field is warned of by name.
    EXPECT_EQ(log.Count(LogPriority::Warning), 0u);
    const Actor* cut = manager.CreateObjectFromFile<Actor>(kCutMeshRecord);
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(cut->GetMeshInstance(), nullptr);
    EXPECT_EQ(log.Count(LogPriority::Warning), 1u);
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "Record records/test/actor/cutmesh.dbr has an empty mesh value"));
}

TEST_F(ObjectManagerTest, BadRecordsMakeNothingAndSaySo) {
    for (const char* record : {kUnknownClassRecord, kNoClassRecord, "Records/Test/Missing.dbr"}) {
        LogCapture log;
        EXPECT_EQ(manager.CreateObjectFromFile(record), nullptr) << record;
        EXPECT_EQ(log.Count(LogPriority::Error), 1u) << record;
    }
    EXPECT_EQ(std::pair(manager.GetNumObjects(), manager.GetNumDeletedObjects()), std::pair(0, 0));
}

TEST_F(ObjectManagerTest, TypedFormRefusesOtherClassesAndAcceptsDerivedOnes) {
    LogCapture log;
    EXPECT_EQ(manager.CreateObjectFromFile<Entity>(kNotEntityRecord), nullptr);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "names the class TestPlainObject, which is not derived from Entity"));
    EXPECT_EQ(std::pair(manager.GetNumObjects(), manager.GetNumDeletedObjects()), std::pair(0, 0));
    EXPECT_EQ(manager.CreateObjectFromFile<Entity>("Records/Test/Missing.dbr"), nullptr);

    Entity* entity = manager.CreateObjectFromFile<Entity>(kActorRecord);
    ASSERT_NE(entity, nullptr);
    EXPECT_EQ(entity->GetRTTIClassInfo(), &Actor::classInfo);
    // The untyped form makes whatever the record names.
    EXPECT_NE(manager.CreateObjectFromFile(kNotEntityRecord), nullptr);
}

TEST_F(ObjectManagerTest, LoadCanWaitForLoadObjectData) {
    auto* object = static_cast<TestPlainObject*>(manager.CreateObjectFromFile(kNotEntityRecord, 0, false));
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->loads, 0);
    EXPECT_TRUE(manager.LoadObjectData(object));
    EXPECT_EQ(object->loads, 1);

    auto* loaded = static_cast<TestPlainObject*>(manager.CreateObjectFromFile(kNotEntityRecord));
    EXPECT_EQ(loaded->loads, 1);

    // Named after no record: nothing to load.
    LogCapture log;
    Object* unnamed = manager.CreateObject("TestPlainObject");
    EXPECT_FALSE(manager.LoadObjectData(unnamed));
    EXPECT_FALSE(manager.LoadObjectData(nullptr));
}

TEST_F(ObjectManagerTest, AnObjectThatFailsToLoadIsQueuedForDestruction) {
    LogCapture log;
    EXPECT_EQ(manager.CreateObjectFromFile(kFailingLoadRecord), nullptr);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "failed to load"));
    EXPECT_EQ(std::pair(manager.GetNumObjects(), manager.GetNumDeletedObjects()), std::pair(0, 1));
    EXPECT_EQ(manager.DestroyPendingObjects(-1), 1);
}

TEST_F(ObjectManagerTest, ObjectIds) {
    TestTrackedObject* given = CreateTracked(3);
    EXPECT_EQ(given->GetObjectId(), 3u);
    // New ids count from 1 and skip the ids in use.
    EXPECT_EQ(CreateTracked()->GetObjectId(), 1u);
    EXPECT_EQ(CreateTracked()->GetObjectId(), 2u);
    EXPECT_EQ(CreateTracked()->GetObjectId(), 4u);

    // A given id in use gets a fresh one, with a warning.
    LogCapture log;
    TestTrackedObject* clash = CreateTracked(1);
    EXPECT_EQ(clash->GetObjectId(), 5u);
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "object id 1 is in use"));

    // Once its holder is queued for destruction the id is free again, and the queued object is no
    // longer found.
    manager.DestroyObjectEx(given, __FILE__, __LINE__);
    EXPECT_EQ(manager.GetObject(3), nullptr);
    TestTrackedObject* restored = CreateTracked(3);
    EXPECT_EQ(restored->GetObjectId(), 3u);
    EXPECT_EQ(manager.GetObject(3), restored);
}

TEST_F(ObjectManagerTest, DestroyingTwiceIsHarmless) {
    TestTrackedObject* object = CreateTracked();
    LogCapture log;
    EXPECT_FALSE(object->IsDestroyed());
    manager.DestroyObjectEx(object, "first.cpp", 1);
    EXPECT_TRUE(object->IsDestroyed());
    EXPECT_EQ(manager.GetObject(object->GetObjectId()), nullptr);
    manager.DestroyObjectEx(object, "second.cpp", 2);
    EXPECT_TRUE(log.Contains(LogPriority::Info, "second.cpp:2 destroys an object already queued by first.cpp:1"));
    EXPECT_EQ(manager.GetNumDeletedObjects(), 1);
    // Still valid until the frame boundary.
    EXPECT_EQ(TestTrackedObject::destroyed, 0);

    EXPECT_EQ(manager.DestroyPendingObjects(-1), 1);
    EXPECT_EQ(TestTrackedObject::destroyed, 1);
    // After the deletion the pointer is only compared, never followed.
    manager.DestroyObjectEx(object, "third.cpp", 3);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "third.cpp:3 destroys an object the manager does not hold"));
    EXPECT_EQ(manager.GetNumDeletedObjects(), 0);
    manager.DestroyObjectEx(nullptr, __FILE__, __LINE__);  // nothing to say
    EXPECT_EQ(log.Count(LogPriority::Error), 1u);
}

TEST_F(ObjectManagerTest, TwentyFivePendingObjectsDrainOverTwoFrames) {
    std::vector<TestTrackedObject*> objects;
    for (int i = 0; i < 25; ++i) objects.push_back(CreateTracked());
    for (TestTrackedObject* object : objects) manager.DestroyObjectEx(object, __FILE__, __LINE__);
    EXPECT_EQ(manager.GetNumObjects(), 0);
    EXPECT_EQ(manager.GetNumDeletedObjects(), 25);
    EXPECT_EQ(manager.DestroyPendingObjects(0), 0);

    EXPECT_EQ(manager.DestroyPendingObjects(ObjectManager::kMaxDestroyedPerFrame), 20);
    EXPECT_EQ(TestTrackedObject::destroyed, 20);
    EXPECT_EQ(manager.GetNumDeletedObjects(), 5);
    EXPECT_EQ(manager.DestroyPendingObjects(ObjectManager::kMaxDestroyedPerFrame), 5);
    EXPECT_EQ(TestTrackedObject::destroyed, 25);
    EXPECT_EQ(manager.DestroyPendingObjects(ObjectManager::kMaxDestroyedPerFrame), 0);
}

TEST_F(ObjectManagerTest, ObjectsQueuedByDestructorsWaitForTheirTurnOrTheFullDrain) {
    TestTrackedObject* child = CreateTracked();
    TestTrackedObject* parent = CreateTracked();
    parent->onDestroy = [this, child] { manager.DestroyObjectEx(child, __FILE__, __LINE__); };
    manager.DestroyObjectEx(parent, __FILE__, __LINE__);

    EXPECT_EQ(manager.DestroyPendingObjects(1), 1);
    EXPECT_EQ(manager.GetNumDeletedObjects(), 1);  // the child, for the next frame
    EXPECT_EQ(manager.DestroyPendingObjects(-1), 1);

    TestTrackedObject* second = CreateTracked();
    TestTrackedObject* first = CreateTracked();
    first->onDestroy = [this, second] { manager.DestroyObjectEx(second, __FILE__, __LINE__); };
    manager.DestroyObjectEx(first, __FILE__, __LINE__);
    EXPECT_EQ(manager.DestroyPendingObjects(-1), 2);
    EXPECT_EQ(TestTrackedObject::destroyed, 4);
}

TEST_F(ObjectManagerTest, LeakLogNamesTheObjectsNeverDestroyed) {
    manager.CreateObjectFromFile(kEntityRecord);
    TestTrackedObject* destroyed = CreateTracked();
    manager.DestroyObjectEx(destroyed, __FILE__, __LINE__);
    manager.DestroyPendingObjects(-1);

    LogCapture log;
    EXPECT_EQ(manager.LogLeakedObjects(), 1);
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "Object never destroyed: Entity 'records/test/entity/basic.dbr'"));
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "1 objects were never destroyed"));

    log.Clear();
    ObjectManager empty;
    EXPECT_EQ(empty.LogLeakedObjects(), 0);
    EXPECT_TRUE(log.Lines().empty());
}

TEST_F(ObjectManagerTest, TheDestructorDeletesWhatIsLeft) {
    {
        ObjectManager local;
        auto* queued = static_cast<TestTrackedObject*>(local.CreateObject("TestTrackedObject"));
        auto* leaked = static_cast<TestTrackedObject*>(local.CreateObject("TestTrackedObject"));
        auto* late = static_cast<TestTrackedObject*>(local.CreateObject("TestTrackedObject"));
        leaked->onDestroy = [&local, late] { local.DestroyObjectEx(late, __FILE__, __LINE__); };
        local.DestroyObjectEx(queued, __FILE__, __LINE__);
    }
    EXPECT_EQ(TestTrackedObject::destroyed, 3);
}

TEST_F(ObjectManagerTest, RecordTables) {
    const LoadTable* table = manager.LoadTableFile(kActorRecord);
    ASSERT_NE(table, nullptr);
    EXPECT_STREQ(table->GetValue("Class", ""), "Actor");
    EXPECT_EQ(&manager.GetLoadTable(kActorRecord), table);

    LogCapture log;
    EXPECT_EQ(manager.LoadTableFile("Records/Test/Missing.dbr"), nullptr);
    EXPECT_EQ(manager.GetLoadTable("Records/Test/Missing.dbr").GetNumFields(), 0);
    EXPECT_EQ(log.Count(LogPriority::Error), 2u);

    // Without a record store every record request fails with an error.
    log.Clear();
    ObjectManager bare;
    EXPECT_EQ(bare.CreateObjectFromFile(kEntityRecord), nullptr);
    EXPECT_EQ(bare.GetLoadTable(kEntityRecord).GetNumFields(), 0);
    EXPECT_EQ(log.Count(LogPriority::Error), 2u);
    EXPECT_NE(bare.CreateObject("Entity"), nullptr);
}

TEST_F(ObjectManagerTest, ClassesAreCreatedByName) {
    LogCapture log;
    EXPECT_EQ(manager.CreateObject("NoSuchClass"), nullptr);
    EXPECT_EQ(manager.CreateObject("Object"), nullptr);  // abstract
    EXPECT_EQ(log.Count(LogPriority::Error), 2u);
    EXPECT_EQ(manager.GetNumObjects(), 0);
}

TEST_F(ObjectManagerTest, LoadingThreadsCreateAndDestroyWhileTheMainThreadDrains) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 200;
    std::vector<std::vector<uint32_t>> kept(kThreads);
    std::atomic<int> running{kThreads};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t, &kept, &running] {
            for (int i = 0; i < kPerThread; ++i) {
                Entity* entity = manager.CreateObjectFromFile<Entity>(i % 2 ? kEntityRecord : kActorRecord);
                if (i % 4 == 0)
                    manager.DestroyObjectEx(entity, __FILE__, __LINE__);
                else
                    kept[t].push_back(entity->GetObjectId());
            }
            --running;
        });
    }
    int destroyed = 0;
    while (running > 0) destroyed += manager.DestroyPendingObjects(ObjectManager::kMaxDestroyedPerFrame);
    for (std::thread& thread : threads) thread.join();
    destroyed += manager.DestroyPendingObjects(-1);

    EXPECT_EQ(destroyed, kThreads * kPerThread / 4);
    std::set<uint32_t> ids;
    for (const auto& list : kept) ids.insert(list.begin(), list.end());
    EXPECT_EQ(ids.size(), size_t{kThreads * kPerThread * 3 / 4});
    EXPECT_EQ(manager.GetNumObjects(), static_cast<int>(ids.size()));
    for (uint32_t id : ids) EXPECT_NE(manager.GetObject(id), nullptr);
}

}  // namespace
}  // namespace GAME::test
