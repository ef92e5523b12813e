// Effects and effect resources: an effect file loads once as a resource and plays as one emitter
// per emitter of the file; a bad file plays as an empty, finished effect; the effect's progress
// and bounds gather its emitters'.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/GameClock.h"
#include "core/Singleton.h"
#include "effects/ChaosBeam.h"
#include "effects/Effect.h"
#include "effects/EffectData.h"
#include "effects/EffectEntity.h"
#include "effects/EffectResource.h"
#include "effects/EmitterData.h"
#include "engine/ObjectManager.h"
#include "files/BinaryWriter.h"
#include "files/FileSystem.h"
#include "files/LoadTable.h"
#include "files/ResourceLoader.h"
#include "files/ResourceManager.h"
#include "scene/AnimChannel.h"
#include "support/LogCapture.h"
#include "support/TempDirectory.h"
#include "world/Region.h"

namespace GAME {
namespace {

using test::LogCapture;
using test::TempDirectory;

EffectData TwoEmitters(bool loop, bool local) {
    EffectData data;
    for (int i = 0; i < 2; ++i) {
        auto emitter = std::make_unique<EmitterData>();
        emitter->SetLoop(loop && i == 1);
        emitter->SetBoolean(EmitterData::Bool_EmitLocally, local && i == 0);
        data.AddEmitterData(std::move(emitter));
    }
    return data;
}

class EffectTest : public ::testing::Test {
protected:
    EffectTest() {
        files.AddDirectory(dir.GetPath(), true);
        GameClock::Get().Reset();
    }

    // An effect entity playing "puff.pfx", a one-second emitter (local if asked) of 0.3 s particles.
    EffectEntity* MakePuff(bool local = false) {
        EffectData data;
        auto emitter = std::make_unique<EmitterData>();
        emitter->SetFloat(EmitterData::Float_Life, 0.3f);
        emitter->SetBoolean(EmitterData::Bool_EmitLocally, local);
        data.AddEmitterData(std::move(emitter));
        BinaryWriter writer;
        data.BinaryWrite(writer);
        EXPECT_TRUE(files.SaveFile("puff.pfx", writer.GetBuffer(), writer.GetPosition()));
        auto* puff = static_cast<EffectEntity*>(Singleton<ObjectManager>::Get()->CreateObject("EffectEntity"));
        EXPECT_NE(puff, nullptr);
        puff->SetResource(manager.LoadResource("puff.pfx"));
        return puff;
    }
    // The puff, attached to the parent, which stands in the region.
    EffectEntity* AttachPuff(Entity& parent) {
        EffectEntity* child = MakePuff();
        parent.Attach(child, Coords::Identity, "");
        parent.SetCoords(WorldCoords(&region, Coords::Translation(Vec3(1.0f, 2.0f, 3.0f))));
        return child;
    }
    // One update of the entity after ms, drawn since the last.
    static void Play(EffectEntity& entity, int ms) {
        GameClock::Get().AdvanceBy(ms);
        if (entity.GetEffect()) entity.GetEffect()->MarkDrawn();
        entity.Update(ms);
    }
    // Updates the parent 100 ms a step until the child has left it, at most 20 steps; the steps.
    static int UpdateUntilDetached(Entity& parent, EffectEntity* child, bool& hadParticles) {
        int updates = 0;
        while (parent.GetNumAttachedEntities() > 0 && updates < 20) {
            GameClock::Get().AdvanceBy(100.0);
            child->GetEffect()->MarkDrawn();
            parent.Update(100);
            if (parent.GetNumAttachedEntities() > 0) hadParticles |= child->HasActiveParticles();
            ++updates;
        }
        return updates;
    }

    TempDirectory dir;
    FileSystem files;
    ResourceLoader loader{files};
    ResourceManager<EffectResource> manager{loader};
    Region region{nullptr, 0, "r", ABBox(), IntVec3(0, 0, 0), RegionId(1, 0, 0, 0)};
};

TEST_F(EffectTest, ResourcesHoldTheFileOrAnEmptyEffect) {
    LogCapture log;
    BinaryWriter writer;
    TwoEmitters(false, false).BinaryWrite(writer);
    ASSERT_TRUE(files.SaveFile("fire.pfx", writer.GetBuffer(), writer.GetPosition()));
    const uint32_t wrongVersion = 7;
    ASSERT_TRUE(files.SaveFile("worn.pfx", &wrongVersion, sizeof(wrongVersion)));

    const EffectResource* fire = manager.LoadResource("fire.pfx");
    ASSERT_NE(fire->GetEffectData(), nullptr);
    EXPECT_TRUE(fire->GetIsReadyToUse() && fire->GetEffectData()->GetNumEmitters() == 2 &&
                Effect(fire->GetEffectData()).GetNumEmitters() == 2);

    // A bad file is loaded as an empty effect, which is over before it starts.
    const EffectResource* old = manager.LoadResource("worn.pfx");
    ASSERT_NE(old->GetEffectData(), nullptr);
    EXPECT_TRUE(old->GetIsReadyToUse() && old->GetEffectData()->GetNumEmitters() == 0);
    EXPECT_EQ(log.Count(LogPriority::Error), 1u);
    Effect empty(old->GetEffectData());
    EXPECT_TRUE(empty.IsComplete() && empty.GetProgress(*old->GetEffectData()) == 1.0f);
    ABBox box(Vec3(1, 2, 3), Vec3(4, 5, 6));  // and leaves the box it is given, and its own, as they were
    empty.SetBoundingBox(ABBox(Vec3(), Vec3(7, 7, 7)));
    empty.Update(WorldCoords(&region, Coords::Identity), *old->GetEffectData(), box);
    EXPECT_TRUE(box == ABBox(Vec3(1, 2, 3), Vec3(4, 5, 6)) && empty.GetBoundingBox() == ABBox(Vec3(), Vec3(7, 7, 7)));
    for (const EffectResource* r : {fire, old})  // a resource's memory counts its effect data
        EXPECT_EQ(r->GetSystemMemoryUsage(), r->Resource::GetSystemMemoryUsage() + sizeof(EffectResource) +
                                                 sizeof(EffectData) + r->GetEffectData()->GetAllocatedSize());

    const EffectResource* missing = manager.LoadResource("missing.pfx");  // no data: only itself
    EXPECT_TRUE(missing->GetEffectData() == nullptr &&
                missing->GetSystemMemoryUsage() == missing->Resource::GetSystemMemoryUsage() + sizeof(EffectResource));
    for (const Resource* resource : {static_cast<const Resource*>(fire), static_cast<const Resource*>(old)})
        manager.UnloadResource(resource);
}

TEST_F(EffectTest, ProgressAndBoundsGatherTheEmitters) {
    const EffectData data = TwoEmitters(true, true);
    Effect effect(&data);
    const Vec3 origin(40.0f, 2.0f, -30.0f);
    const WorldCoords coords(&region, Coords::Translation(origin));
    ABBox box;
    for (int i = 0; i < 5; ++i) {
        GameClock::Get().AdvanceBy(100.0);
        effect.MarkDrawn();
        effect.Update(coords, data, box);
    }
    EXPECT_EQ(effect.GetProgress(data), 0.0f);  // one emitter loops
    EXPECT_TRUE(effect.GetNumParticles() == 80 && effect.HasActiveParticles());
    // The frame score moves a tenth of the way to the emitters' last cost (1.0 for 10 ms) a call.
    const float score = effect.GetFrameScore();
    EXPECT_TRUE(score > 0.0f && score < 0.1f);  // the last update took far less than 10 ms
    EXPECT_FLOAT_EQ(effect.GetFrameScore(), 1.9f * score);
    // The local emitter's particles sit around the origin of its space, the effect's position.
    EXPECT_LT((box.centre - origin).Length(), 1.0f);
    EXPECT_LT(box.halfSize.Length(), 2.0f);  // a unit each way, at least

    // Emitters the effect gains later are paused, or anchored (and wait for anchors), as it is.
    for (const bool anchored : {false, true}) {
        Effect later(nullptr);
        anchored ? later.SetAnchored(true) : later.SetPause(true);
        later.AddEmitter(*data.GetEmitterData(1));
        GameClock::Get().AdvanceBy(100.0);
        later.Update(coords, data, box);
        EXPECT_EQ(later.GetNumParticles(), 0) << anchored;
    }

    effect.StopEmitting();
    EXPECT_FALSE(effect.IsComplete());
    effect.RemoveEmitter(2);
    effect.RemoveEmitter(1);
    EXPECT_TRUE(effect.GetNumEmitters() == 1 && effect.GetEmitter(-1) == nullptr);
    EXPECT_TRUE(effect.GetEmitter(0)->GetIsEmitLocally());  // the first one stayed
}

}  // namespace
}  // namespace GAME

namespace GAME {
namespace {

TEST_F(EffectTest, EntitiesReadTheirRecordKeys) {
    EffectEntity plain;
    LoadTable empty;
    ASSERT_TRUE(plain.Load(empty));
    EXPECT_TRUE(!plain.GetUsesBoneList() && !plain.GetIsAnchored() && !plain.GetLocalOrientFix() &&
                !plain.GetResource());
    EXPECT_EQ(plain.GetRegionBoundingBox(false), ABBox(Vec3(), Vec3(1.0f, 1.0f, 1.0f)));

    EffectEntity bones;
    bones.SetDynamicLines({}, {});  // lines given by code, until a record names a known emitter type
    EXPECT_TRUE(bones.GetUsesDynamicLines());
    LoadTable table;
    const std::string text = "emitterType,AllBones,\nAnchored,1,\nboneList,spine;head,\n";
    ASSERT_TRUE(table.Parse(text.data(), static_cast<uint32_t>(text.size())) && bones.Load(table));
    EXPECT_TRUE(bones.GetUsesBoneList() && bones.GetUsesAllBones() && bones.GetIsAnchored() &&
                !bones.GetUsesDynamicLines());
    EXPECT_EQ(bones.GetBoneNames(), (std::vector<std::string>{"spine", "head"}));
}

// A self-deleting child (also set to remove itself: it must still go once), or an effect made at
// an animation's creation point, goes in the update after its last particle dies: the clock stops
// at 1 s, and the particles born at 0.9 s die 0.3 s later.
TEST_F(EffectTest, AnEntityDestroysItselfOnceAfterItsLastParticle) {
    for (const bool animation : {false, true}) {
        Entity parent;
        EffectEntity* child = AttachPuff(parent);
        if (animation) {
            AnimChannel::PrepareCreatedEntity(*child);
            Entity plain;
            AnimChannel::PrepareCreatedEntity(plain);  // not an effect: nothing to do
        } else {
            child->MakeSelfDeletingChild();
            child->SetSelfRemove(true);
        }
        bool hadParticles = false;
        EXPECT_TRUE(UpdateUntilDetached(parent, child, hadParticles) == 11 && hadParticles);
        LogCapture log;  // an update while its destruction is pending asks for none again
        child->Update(100);
        EXPECT_EQ(log.Count(LogPriority::Info), 0u);
        EXPECT_EQ(Singleton<ObjectManager>::Get()->DestroyPendingObjects(-1), 1);
    }
}

}  // namespace
}  // namespace GAME

namespace GAME {
namespace {

// The effect's memory counts the entity's own fields beyond an entity's and, once made, the effect.
TEST_F(EffectTest, AnEntitysMemoryCountsItselfAndItsEffect) {
    EffectEntity* puff = MakePuff();
    ASSERT_NE(puff->GetEffect(), nullptr);
    EXPECT_EQ(puff->CalculateMemoryUsage(), puff->Entity::CalculateMemoryUsage() + sizeof(EffectEntity) - sizeof(Entity));
    EXPECT_GE(puff->CalculateMemoryUsage(),
              sizeof(EffectEntity) - sizeof(Entity) + puff->GetEffect()->CalculateMemoryUsage());
    const size_t effectMemory = puff->GetEffect()->CalculateMemoryUsage();
    EXPECT_GE(effectMemory, sizeof(Effect) + puff->GetEffect()->GetEmitter(0)->CalculateMemoryUsage());  // its emitters
    for (int i = 0; i < 2; ++i)  // replaced, not added; the effect takes a copy
        puff->SetDynamicLines({{Vec3(1.0f, 1.0f, 1.0f), Vec3(1.0f, 1.0f, 1.0f)}}, {true});
    EXPECT_EQ(puff->GetBoneSegments()[0].end, Vec3(1.0f, 1.0f, 1.0f) + Vec3(0.001f, 0.001f, 0.001f));  // given a length
    EXPECT_EQ(puff->CalculateAllocatedMemory(),
              puff->Entity::CalculateAllocatedMemory() + 2 * sizeof(EmitterBone) + effectMemory);
    puff->SetResource(nullptr);  // and without a resource, no effect
    EXPECT_EQ(puff->GetEffect(), nullptr);
    puff->StopEmitting();  // one made while the entity is stopped starts stopped: it is over
    puff->SetResource(manager.LoadResource("puff.pfx"));
    EXPECT_TRUE(puff->GetEffect()->IsComplete());
    Singleton<ObjectManager>::Get()->DestroyObjectEx(puff, __FILE__, __LINE__);
    Singleton<ObjectManager>::Get()->DestroyPendingObjects(-1);
}

// An anchored entity with no parent to take anchor points from anchors at its own position.
TEST_F(EffectTest, AnAnchoredEntityWithoutAParentAnchorsAtItsOwnPosition) {
    EffectEntity* puff = MakePuff(true);
    LoadTable table;
    ASSERT_TRUE(table.Parse("Anchored,1,\nlocalOrientFix,1,\n", 30) && puff->Load(table));
    puff->Reset();  // the record names no file: its effect has nothing to start again from
    puff->SetResource(manager.LoadResource("puff.pfx"));
    puff->SetCoords(WorldCoords(&region, Coords::Translation(Vec3(4.0f, 5.0f, 6.0f)) * Coords::RotationZ(1.5707964f)));
    Play(*puff, 100);
    const Emitter& emitter = *puff->GetEffect()->GetEmitter(0);
    EXPECT_TRUE(emitter.GetAnchorRegion() == &region && emitter.GetAnchor1Points()[0] == Vec3(4.0f, 5.0f, 6.0f));
    // Anchors given to it win: the curve's points are all theirs by the fifth update.
    puff->SetAnchor1(WorldVec3(&region, Vec3(1.0f, 0.0f, 0.0f)));
    puff->SetAnchor2(WorldVec3(&region, Vec3(2.0f, 0.0f, 0.0f)));
    puff->SetAnchored(true);
    for (int i = 0; i < 4; ++i) Play(*puff, 100);
    EXPECT_TRUE(emitter.GetAnchor1Points()[0] == Vec3(1.0f, 0.0f, 0.0f) &&
                emitter.GetRenderPassBoundingBox() == puff->GetEffect()->GetBoundingBox());  // upright, as recorded
    puff->Reset();  // its emitters' clocks start again
    EXPECT_EQ(emitter.GetEmitterTime(), 0.0f);
    Singleton<ObjectManager>::Get()->DestroyObjectEx(puff, __FILE__, __LINE__);
    Singleton<ObjectManager>::Get()->DestroyPendingObjects(-1);
    manager.UnloadUnreferencedResources();  // the record's load let go of the first resource
    EXPECT_EQ(manager.GetNumResources(), 0);
}

// A chaos beam hands its attached effect every segment of its strands to emit along; when the beam
// goes, the effect stops and removes itself once its last particle has died, well before its
// second would have run out.
TEST_F(EffectTest, AChaosBeamFeedsItsEffectTheStrandsAndStopsItWhenItGoes) {
    EffectEntity* puff = MakePuff();
    puff->SetCoords(WorldCoords(&region, Coords::Translation(Vec3(1.0f, 2.0f, 3.0f))));
    const uint32_t id = puff->GetObjectId();
    {
        ChaosBeam beam;
        beam.SetOffset(12);
        EXPECT_EQ(beam.GetOffset(), 12);
        beam.SetEffect(puff);
        beam.SetEndPoints(WorldVec3(&region, Vec3(1.0f, 2.0f, 3.0f)), WorldVec3(&region, Vec3(3.0f, 2.0f, 3.0f)));
        beam.Update(100);
        const std::vector<EmitterBone>& segments = puff->GetBoneSegments();
        ASSERT_EQ(segments.size(), 3u * 9u);  // three strands of ten points
        EXPECT_EQ(puff->GetRegionBoundingBox(false), ABBox(Vec3(1.0f, 2.0f, 3.0f), Vec3(3.0f, 3.0f, 3.0f)));
        for (size_t b = 0; b < 3; ++b) {
            for (size_t i = 0; i < 9; ++i) {
                const EmitterBone& segment = segments[b * 9 + i];
                EXPECT_TRUE(segment.start == beam.GetBeams()[b][i] && segment.end == beam.GetBeams()[b][i + 1] &&
                            segment.active);
            }
        }
        for (int i = 0; i < 3; ++i) Play(*puff, 100);
        EXPECT_TRUE(puff->HasActiveParticles());
    }
    int updates = 0;
    for (; Singleton<ObjectManager>::Get()->GetObject(id) != nullptr && updates < 10; ++updates) Play(*puff, 100);
    EXPECT_LE(updates, 4);
    EXPECT_EQ(Singleton<ObjectManager>::Get()->DestroyPendingObjects(-1), 1);
}

}  // namespace
}  // namespace GAME
