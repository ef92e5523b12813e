// Entities: the frame update order, attachment, unique ids, boxes, physics objects, registration.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TestRecords.h"
#include "core/MathExpect.h"
#include "core/RTTI.h"
#include "core/UniqueIdMap.h"
#include "engine/Actor.h"
#include "engine/Entity.h"
#include "engine/ObjectManager.h"
#include "core/Intersection.h"
#include "core/OBBox.h"
#include "files/BinaryReader.h"
#include "support/LogCapture.h"

namespace GAME::test {
namespace {

// Writes its updates into a shared journal and runs an optional action from UpdateSelf.
class JournalEntity : public Entity {
public:
    JournalEntity(std::vector<std::string>& journal, std::string label) : journal_(journal), label_(std::move(label)) {}

    void InitialUpdate() override { journal_.push_back(label_ + " initial"); }
    void UpdateSelf(int elapsedMs) override {
        journal_.push_back(label_ + " self " + std::to_string(elapsedMs));
        if (onUpdateSelf) onUpdateSelf();
    }

    std::function<void()> onUpdateSelf;

private:
    std::vector<std::string>& journal_;
    std::string label_;
};

// Sets its deleted flag when it is deleted.
class WatchedPhysicsObject : public PhysicsObject {
public:
    explicit WatchedPhysicsObject(bool& deleted) : deleted_(deleted) {}
    ~WatchedPhysicsObject() override { deleted_ = true; }

    void Init(const WorldVec3&) override {}
    void UpdateGameObjectFromSimulation() override {}
    void UpdateSimulationFromGameObject(const WorldVec3&) override {}
    bool IsEnabled() const override { return true; }
    void AddForce(const Vec3&, const WorldVec3&) override {}
    void AddForce(const Vec3&) override {}
    void SetLinearVelocity(const Vec3&) override {}
    void SetAngularVelocity(const Vec3&) override {}
    Vec3 GetLinearVelocity(const Name&) const override { return Vec3(); }
    Vec3 GetLinearVelocity() const override { return Vec3(); }
    void SetGravityMode(bool) override {}
    void FindCollisions() override {}
    void DebugRender() const override {}

private:
    bool& deleted_;
};

class SimulatedEntity : public Entity {
public:
    using Entity::SetPhysicsObject;
};

// A stand-in region: entities only keep and compare the pointer.
Region* FakeRegion(int index) {
    static char regions[4];
    return reinterpret_cast<Region*>(&regions[index]);
}

TEST(EntityTest, UpdateRunsInitialUpdateOnceThenItselfThenAttachedEntities) {
    std::vector<std::string> journal;
    JournalEntity parent(journal, "parent");
    JournalEntity first(journal, "first");
    JournalEntity second(journal, "second");
    parent.Attach(&first, Coords::Identity, "");
    parent.Attach(&second, Coords::Identity, "");
    EXPECT_FALSE(parent.HasHadInitialUpdate());

    parent.Update(16);
    parent.Update(33);
    const std::vector<std::string> expected = {
        "parent initial", "parent self 16", "first initial", "first self 16", "second initial", "second self 16",
        "parent self 33", "first self 33",  "second self 33",
    };
    EXPECT_EQ(journal, expected);
    EXPECT_TRUE(parent.HasHadInitialUpdate());
    EXPECT_TRUE(second.HasHadInitialUpdate());
}

TEST(EntityTest, AttachedEntitiesMayLeaveWhileTheirParentUpdates) {
    std::vector<std::string> journal;
    JournalEntity parent(journal, "parent");
    JournalEntity first(journal, "first");
    JournalEntity second(journal, "second");
    auto third = std::make_unique<JournalEntity>(journal, "third");
    parent.Attach(&first, Coords::Identity, "");
    parent.Attach(&second, Coords::Identity, "");
    parent.Attach(third.get(), Coords::Identity, "");
    // The first child detaches itself and deletes its younger sibling.
    first.onUpdateSelf = [&] {
        parent.Detach(&first);
        third.reset();
    };

    parent.Update(10);
    const std::vector<std::string> expected = {"parent initial", "parent self 10", "first initial",
                                               "first self 10",  "second initial", "second self 10"};
    EXPECT_EQ(journal, expected);
    EXPECT_EQ(parent.GetNumAttachedEntities(), 1);
    EXPECT_EQ(first.GetParent(), nullptr);
}

TEST(EntityTest, AttachedEntitiesFollowTheirParentsFrame) {
    Entity parent;
    Entity child;
    Coords frame = Coords::RotationY(1.5707963f);
    frame.origin = Vec3(10.0f, 0.0f, 0.0f);
    parent.SetCoords(WorldCoords(FakeRegion(0), frame));

    const Coords offset = Coords::Translation(Vec3(1.0f, 0.0f, 0.0f));
    parent.Attach(&child, offset, "");
    EXPECT_EQ(child.GetParent(), &parent);
    EXPECT_EQ(child.GetRegion(), FakeRegion(0));
    ExpectNear(child.GetCoords().GetRegionCoords(), frame * offset);
    ExpectNear(child.GetCoords().GetRegionCoords().origin, Vec3(10.0f, 0.0f, -1.0f));

    // Moving the parent moves the child, into the parent's region.
    parent.SetCoords(WorldCoords(FakeRegion(1), Coords::Translation(Vec3(0.0f, 5.0f, 0.0f))));
    EXPECT_EQ(child.GetRegion(), FakeRegion(1));
    ExpectNear(child.GetCoords().GetRegionCoords().origin, Vec3(1.0f, 5.0f, 0.0f));

    // A point the parent does not have places the child at the parent's frame; asked for directly,
    // it gives all-zero coordinates.
    Entity other;
    parent.Attach(&other, offset, "Anchor1");
    ExpectNear(other.GetCoords().GetRegionCoords().origin, Vec3(1.0f, 5.0f, 0.0f));
    const WorldCoords missing = parent.GetAttachedCoordsInRegion(Name::Create("Anchor1"));
    EXPECT_EQ(missing.GetRegion(), nullptr);
    ExpectNear(missing.GetRegionCoords(), Coords(Vec3(), Vec3(), Vec3(), Vec3()));
    const WorldCoords own = parent.GetAttachedCoordsInRegion(Name::noName);
    EXPECT_EQ(own.GetRegion(), FakeRegion(1));
    ExpectNear(own.GetRegionCoords().origin, Vec3(0.0f, 5.0f, 0.0f));
}

TEST(EntityTest, AttachmentLinksSurviveEitherSideBeingDeleted) {
    Entity parent;
    Entity newParent;
    auto child = std::make_unique<Entity>();
    parent.Attach(child.get(), Coords::Identity, "");
    newParent.Attach(child.get(), Coords::Identity, "");  // moves it
    EXPECT_EQ(parent.GetNumAttachedEntities(), 0);
    EXPECT_EQ(child->GetParent(), &newParent);
    child.reset();
    EXPECT_EQ(newParent.GetNumAttachedEntities(), 0);

    Entity orphan;
    {
        Entity shortLived;
        shortLived.Attach(&orphan, Coords::Identity, "");
    }
    EXPECT_EQ(orphan.GetParent(), nullptr);

    // An entity never carries one of its carriers.
    LogCapture log;
    Entity grandChild;
    newParent.Attach(&orphan, Coords::Identity, "");
    orphan.Attach(&grandChild, Coords::Identity, "");
    grandChild.Attach(&newParent, Coords::Identity, "");
    orphan.Attach(&orphan, Coords::Identity, "");
    orphan.Attach(nullptr, Coords::Identity, "");  // nothing to carry, nothing to say
    EXPECT_EQ(log.Count(LogPriority::Error), 2u);
    EXPECT_EQ(newParent.GetParent(), nullptr);
    EXPECT_EQ(orphan.GetNumAttachedEntities(), 1);
}

TEST(EntityTest, CreateAttachedEntityMakesItFromItsRecord) {
    TestRecords records;
    ObjectManager* objects = Singleton<ObjectManager>::Get();
    objects->SetTableDepot(&records.GetDepot());

    Entity parent;
    Entity* child = parent.CreateAttachedEntity(kActorRecord, "");
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->GetRTTIClassInfo(), &Actor::classInfo);
    EXPECT_EQ(child->GetParent(), &parent);
    LogCapture log;
    EXPECT_EQ(parent.CreateAttachedEntity(kNotEntityRecord, ""), nullptr);
    EXPECT_EQ(parent.GetNumAttachedEntities(), 1);

    objects->DestroyObjectEx(child, __FILE__, __LINE__);
    objects->DestroyPendingObjects(-1);
    EXPECT_EQ(parent.GetNumAttachedEntities(), 0);
    objects->SetTableDepot(nullptr);
}

TEST(EntityTest, UniqueIdsAreRegisteredWhileTheEntityHoldsThem) {
    UniqueIdMap* map = UniqueIdMap::Get();
    UniqueId saved;
    saved.Create();
    {
        Entity entity;
        EXPECT_FALSE(entity.HasUniqueID());
        const UniqueId made = entity.GetUniqueID();
        EXPECT_FALSE(made.IsNull());
        EXPECT_EQ(entity.GetUniqueID(), made);  // made once
        EXPECT_EQ(map->GetEntity(made), &entity);

        entity.SetUniqueID(saved);
        EXPECT_EQ(map->GetEntity(made), nullptr);
        EXPECT_EQ(map->GetEntity(saved), &entity);

        // A restored copy takes the id over; the older entity's departure leaves it registered.
        auto copy = std::make_unique<Entity>();
        LogCapture log;
        copy->SetUniqueID(saved);
        EXPECT_TRUE(log.Contains(LogPriority::Warning, "taken over"));
        EXPECT_EQ(map->GetEntity(saved), copy.get());
        entity.SetUniqueID(UniqueId());
        EXPECT_FALSE(entity.HasUniqueID());
        EXPECT_EQ(map->GetEntity(saved), copy.get());
        copy.reset();
        EXPECT_EQ(map->GetEntity(saved), nullptr);
        entity.SetUniqueID(saved);
    }
    EXPECT_EQ(map->GetEntity(saved), nullptr);
    EXPECT_EQ(map->GetEntity(UniqueId()), nullptr);
}

TEST(EntityTest, AlternateBoxIsReturnedOnlyOnceSet) {
    Entity entity;
    const ABBox box(Vec3(1.0f, 2.0f, 3.0f), Vec3(0.5f, 0.5f, 0.5f));
    const ABBox alternate(Vec3(1.0f, 2.0f, 3.0f), Vec3(4.0f, 4.0f, 4.0f));
    entity.SetRegionBoundingBox(box, false);
    EXPECT_EQ(entity.GetRegionBoundingBox(true), box);
    entity.SetRegionBoundingBox(alternate, true);
    EXPECT_EQ(entity.GetRegionBoundingBox(true), alternate);
    EXPECT_EQ(entity.GetRegionBoundingBox(false), box);
}

TEST(EntityTest, ReleasedPhysicsObjectsLiveUntilCleanup) {
    bool firstDeleted = false;
    bool secondDeleted = false;
    bool thirdDeleted = false;
    {
        SimulatedEntity entity;
        EXPECT_FALSE(entity.IsSimulationEnabled());
        entity.SetPhysicsObject(std::make_unique<WatchedPhysicsObject>(firstDeleted));
        EXPECT_TRUE(entity.IsSimulationEnabled());
        entity.SetPhysicsObject(std::make_unique<WatchedPhysicsObject>(secondDeleted));  // releases the first

        entity.DestroyPhysicsObject();
        EXPECT_FALSE(entity.IsSimulationEnabled());
        EXPECT_EQ(entity.GetPhysicsObject(), nullptr);
        EXPECT_FALSE(firstDeleted || secondDeleted);
        entity.CleanupPhysicsObjects();
        EXPECT_TRUE(firstDeleted && secondDeleted);

        entity.SetPhysicsObject(std::make_unique<WatchedPhysicsObject>(thirdDeleted));
    }
    EXPECT_TRUE(thirdDeleted);
}

TEST(EntityTest, EntityClassesAreCreatedByName) {
    for (const char* name : {"Entity", "Actor"}) {
        std::unique_ptr<Object> object(RTTI_ClassInfo::CreateObject(name));
        ASSERT_NE(object, nullptr) << name;
        EXPECT_STREQ(object->GetRTTIClassInfo()->GetClassName(), name);
        EXPECT_TRUE(object->GetRTTIClassInfo()->IsA(&Entity::classInfo));
    }
    EXPECT_FALSE(Entity::classInfo.IsA(&Actor::classInfo));
}

TEST(EntityTest, StateDefaults) {
    Entity entity;
    EXPECT_EQ(std::tuple(entity.IsInWorld(), entity.IsVisible(), entity.IsActivated(), entity.GetIsPartOfLevel(),
                         entity.GetPhysicsType()),
              std::tuple(false, true, false, false, Entity::PhysicsType::None));
    // What a plain entity answers to the level, the world, physics and saving.
    BinaryReader reader(nullptr, 0);
    Intersection hit;
    OBBox proxy;
    const std::vector<bool> answers = {entity.Read(reader), entity.PreLoad(0, false), entity.RestoreState(reader),
                                       entity.CanCollide(&entity), entity.DeleteOnEnteringUnloadedLevel(),
                                       entity.ShouldServerSpawn(), entity.ShouldSaveState(), entity.IncludeInMinimap(),
                                       entity.IsUniqueByName(), entity.GetShouldRenderAcrossPortals(),
                                       entity.GetIntersection(Ray(), hit, PhysicsSurface::None),
                                       entity.OccludesPathing(), entity.GetCollisionProxy(proxy)};
    EXPECT_EQ(answers,
              (std::vector<bool>{true, true, true, true, false, false, false, false, false, false, false, false, false}));
    entity.SetCoords(WorldCoords(FakeRegion(2)));
    EXPECT_TRUE(entity.IsInWorld());
    // Without an engine every frame is frame 0.
    entity.SetInRenderPreLoadFrustum();
    EXPECT_TRUE(entity.IsInRenderPreLoadFrustum());
}

}  // namespace
}  // namespace GAME::test
