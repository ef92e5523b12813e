// AnimChannel: sampling and root motion (also across loops), callback and creation points fired
// once per pass (across a loop too), the end of an animation, callbacks that start or stop
// animations, cross-fade weights over time and the queue of requests made during a fade.

#include "scene/AnimChannel.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "AnimTestData.h"
#include "core/MathExpect.h"
#include "core/Singleton.h"
#include "engine/Entity.h"
#include "engine/ObjectManager.h"
#include "files/TableDepot.h"

namespace GAME {
namespace {

using test::ExpectNear;
using test::MakeTrack;
using test::Parts;
using Contents = GraphicsAnimWriter::Contents;

const Name kRoot = Name::Create("Root");
const Name kArm = Name::Create("Arm");
const Name kEnd = Name::Create("End");

// Records the callbacks it gets (by point text) and runs an optional action on each.
class CallbackEntity : public Entity {
public:
    void AnimationCallback(int index, const Name& point) override {
        indices.push_back(index);
        std::string text = "?";
        for (const char* known : {"End", "A", "B", "C", "Early", "Late"}) {
            if (point == Name::Create(known)) text = known;
        }
        calls.push_back(text);
        if (onCallback) onCallback(text);
    }

    std::vector<std::string> calls;
    std::vector<int> indices;
    std::function<void(const std::string&)> onCallback;
};

class AnimChannelTest : public test::AnimFixture {
protected:
    // frames frames at rate fps; the root walks (1, 0, 0) a frame and the arm sits at armAt.
    const GraphicsAnim* MakeAnim(const std::string& name, uint32_t frames, uint32_t rate, const Vec3& armAt,
                                 std::vector<GraphicsAnim::CallbackPoint> points = {},
                                 std::vector<GraphicsAnim::CreateEntity> creations = {}) {
        Contents contents;
        contents.frameCount = frames;
        contents.frameRate = rate;
        contents.tracks.push_back(MakeTrack("Root", frames, Vec3(1, 0, 0)));
        GraphicsAnim::Track arm;
        arm.nameText = "Arm";
        arm.frames.assign(frames, Parts(armAt));
        contents.tracks.push_back(arm);
        contents.callbackPoints = std::move(points);
        contents.createEntities = std::move(creations);
        const GraphicsAnim* anim = Load(name, contents);
        EXPECT_EQ(anim->GetInitResult(), Resource::InitResult::Success);
        return anim;
    }

    bool Step(int ms) { return channel.Update(ms, kRoot, pose, velocity, false); }

    AnimChannel channel;
    CallbackEntity entity;
    SkeletalPose pose;
    Vec3 velocity;
};

TEST_F(AnimChannelTest, PlaysSamplesAndTakesOutRootMotionAcrossLoops) {
    // 11 frames at 10 fps: the root walks 10 units a second, 10 units a cycle of 1 second.
    const GraphicsAnim* walk = MakeAnim("Anims/Walk.anm", 11, 10, Vec3(0, 3, 0));
    EXPECT_TRUE(!Step(10) && !channel.IsValid() && channel.GetCurrentAnimationName() == "(none)" &&
                channel.GetBlendAmount() == 0.0f);

    channel.PlayAnimation(walk, true, 1.0f, 0);
    EXPECT_TRUE(channel.IsValid() && channel.GetCurrentAnimationName() == "Anims/Walk.anm");
    ASSERT_TRUE(Step(250));
    ExpectNear(velocity, Vec3(10, 0, 0));
    ExpectNear(pose.GetBone(kRoot).translation, Vec3());  // the root stays in place
    ExpectNear(pose.GetBone(kArm).translation, Vec3(0, 3, 0));
    EXPECT_EQ(channel.GetCurrentFrame(), 2);

    // The velocity stays steady through the loop boundary at 1000 ms.
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(Step(150));
        ExpectNear(velocity, Vec3(10, 0, 0), 1e-3f);
    }
    EXPECT_EQ(channel.GetCurrentFrame(), 11);

    // A step of 0 ms measures no motion; half speed halves it.
    ASSERT_TRUE(Step(0));
    EXPECT_EQ(velocity, Vec3());
    channel.StopAnimation();
    channel.PlayAnimation(walk, true, 0.5f, 0);
    ASSERT_TRUE(Step(100));
    ExpectNear(velocity, Vec3(5, 0, 0));
    channel.PlayAnimation(walk, true, std::numeric_limits<float>::quiet_NaN(), 0);
    Step(10);
    EXPECT_EQ(channel.GetCurrentFrame(), 0);  // a speed that is not a number leaves no frame but the first

    channel.StopAnimation();
    EXPECT_TRUE(!channel.IsValid() && !Step(10));
}

TEST_F(AnimChannelTest, PointsFireOncePerPassIncludingAcrossTheLoop) {
    // 30 frames at 30 fps; points at frames 28, 29, 0, 1 and 2.
    const GraphicsAnim* anim = MakeAnim("Anims/Loop.anm", 30, 30, Vec3(),
                                        {{Name(), "Early", 28}, {Name(), "A", 29}, {Name(), "B", 0},
                                         {Name(), "C", 1}, {Name(), "Late", 2}});
    channel.SetEntity(7, &entity);
    channel.PlayAnimation(anim, true, 1.0f, 0);
    ASSERT_TRUE(Step(940));
    entity.calls.clear();
    entity.indices.clear();
    ASSERT_TRUE(Step(10));  // to 950 ms, frame 28.5: "Early" at 28 has passed already
    EXPECT_TRUE(entity.calls.empty());

    // 950 -> 1050 ms is frame 28.5 -> 31.5, wrapped to 1.5: 29, 0 and 1 fire, then the end.
    ASSERT_TRUE(Step(100));
    EXPECT_EQ(entity.calls, (std::vector<std::string>{"A", "B", "C", "End"}));
    EXPECT_EQ(entity.indices, (std::vector<int>(4, 7)));

    // Three more full cycles in 10 ms steps: every point fires once a cycle.
    entity.calls.clear();
    for (int i = 0; i < 300; ++i) ASSERT_TRUE(Step(10));
    for (const char* point : {"Early", "A", "B", "C", "Late", "End"}) {
        EXPECT_EQ(std::count(entity.calls.begin(), entity.calls.end(), point), 3) << point;
    }

    // Nothing fires for a step of 0 ms.
    entity.calls.clear();
    ASSERT_TRUE(Step(0));
    EXPECT_TRUE(entity.calls.empty());

    // Steps that end exactly on a point's frame: the point fires once, in the step that starts
    // there. At 10 fps, 100 ms steps land on frames 1, 2, 4 and 5 exactly.
    const GraphicsAnim* exact = MakeAnim("Anims/Exact.anm", 11, 10, Vec3(), {{Name(), "A", 2}, {Name(), "B", 5}});
    channel.PlayAnimation(exact, false, 1.0f, 0);
    std::vector<std::vector<std::string>> perStep;
    for (int i = 0; i < 6; ++i) {
        entity.calls.clear();
        ASSERT_TRUE(Step(100));
        perStep.push_back(entity.calls);
    }
    const std::vector<std::vector<std::string>> expected = {{}, {}, {"A"}, {}, {}, {"B"}};
    EXPECT_EQ(perStep, expected);
}

TEST_F(AnimChannelTest, NonLoopingAnimationEndsOnceAndHoldsItsLastFrame) {
    const GraphicsAnim* anim = MakeAnim("Anims/Once.anm", 11, 10, Vec3(), {{Name(), "A", 10}});
    channel.SetEntity(0, &entity);
    channel.PlayAnimation(anim, false, 1.0f, 0);
    ASSERT_TRUE(Step(950));
    EXPECT_TRUE(entity.calls.empty());
    ASSERT_TRUE(Step(100));  // frame 9.5 -> 10.5 steps onto the last frame
    EXPECT_EQ(entity.calls, (std::vector<std::string>{"A", "End"}));
    ASSERT_TRUE(Step(500));
    ASSERT_TRUE(Step(500));
    EXPECT_EQ(entity.calls.size(), 2u);
    EXPECT_EQ(velocity, Vec3());  // the held root no longer moves
    EXPECT_TRUE(channel.IsValid());
}

TEST_F(AnimChannelTest, CallbackThatStartsAnAnimationSeesItsTimeAndEndsTheOldUpdate) {
    const GraphicsAnim* first = MakeAnim("Anims/First.anm", 11, 10, Vec3(),
                                         {{Name(), "A", 2}, {Name(), "B", 3}}, {{3, "Records/Dust.dbr", ""}});
    const GraphicsAnim* second = MakeAnim("Anims/Second.anm", 11, 10, Vec3(0, 1, 0));
    channel.SetEntity(0, &entity);
    std::vector<int> framesSeen;
    std::vector<std::string> namesSeen;
    entity.onCallback = [&](const std::string& point) {
        if (point != "A") return;
        channel.StopAnimation();
        channel.PlayAnimation(second, true, 1.0f, 0);
        framesSeen.push_back(channel.GetCurrentFrame());
        namesSeen.push_back(channel.GetCurrentAnimationName());
    };
    channel.PlayAnimation(first, true, 1.0f, 0);
    ASSERT_TRUE(Step(450));  // passes 2 ("A") and 3 ("B" and a creation point)

    // "B", the creation point and the end of the first animation never came.
    EXPECT_EQ(entity.calls, (std::vector<std::string>{"A"}));
    EXPECT_EQ(entity.GetNumAttachedEntities(), 0);
    EXPECT_EQ(framesSeen, (std::vector<int>{0}));
    EXPECT_EQ(namesSeen, (std::vector<std::string>{"Anims/Second.anm"}));
    EXPECT_EQ(channel.GetCurrentAnimationName(), "Anims/Second.anm");
    EXPECT_EQ(channel.GetCurrentFrame(), 0);  // the old update's time was not written into it

    ASSERT_TRUE(Step(250));
    EXPECT_EQ(channel.GetCurrentFrame(), 2);
    ExpectNear(pose.GetBone(kArm).translation, Vec3(0, 1, 0));
}

TEST_F(AnimChannelTest, CallbackThatStopsTheChannelSkipsTheCreationPoints) {
    const GraphicsAnim* anim =
        MakeAnim("Anims/Stop.anm", 11, 10, Vec3(), {{Name(), "A", 1}}, {{1, "Records/Dust.dbr", ""}});
    channel.SetEntity(0, &entity);
    entity.onCallback = [&](const std::string&) { channel.StopAnimation(); };
    channel.PlayAnimation(anim, false, 1.0f, 0);
    EXPECT_TRUE(Step(200));
    EXPECT_EQ(entity.calls, (std::vector<std::string>{"A"}));
    EXPECT_EQ(entity.GetNumAttachedEntities(), 0);
    EXPECT_FALSE(channel.IsValid());
    EXPECT_FALSE(Step(10));
}

TEST_F(AnimChannelTest, CreationPointsMakeAttachedEntities) {
    dir.WriteFile("Records/Dust.dbr", "Class,Entity,\n");
    FileSystem recordFiles;
    recordFiles.AddDirectory(dir.GetPath());
    TableDepot depot(recordFiles);
    ObjectManager* objects = Singleton<ObjectManager>::Get();
    objects->SetTableDepot(&depot);

    const GraphicsAnim* anim =
        MakeAnim("Anims/Dust.anm", 11, 10, Vec3(), {}, {{4, "Records/Dust.dbr", "Foot"}, {6, "Records/Dust.dbr", ""}});
    channel.SetEntity(0, &entity);
    channel.PlayAnimation(anim, true, 1.0f, 0);
    ASSERT_TRUE(Step(450));
    EXPECT_EQ(entity.GetNumAttachedEntities(), 1);
    ASSERT_TRUE(Step(600));  // frame 10.5: the point at 6
    EXPECT_EQ(entity.GetNumAttachedEntities(), 2);
    ASSERT_TRUE(Step(500));  // round the loop to frame 4.5: the point at 4 again
    EXPECT_EQ(entity.GetNumAttachedEntities(), 3);

    // The made entities are named after their record; destroyed, they detach themselves.
    const Name dust = Name::Create("records/dust.dbr");
    while (Object* child = objects->GetObjectByName(dust)) {
        objects->DestroyObjectEx(child, __FILE__, __LINE__);
        objects->DestroyPendingObjects(-1);
    }
    EXPECT_EQ(entity.GetNumAttachedEntities(), 0);
    objects->SetTableDepot(nullptr);
}

TEST_F(AnimChannelTest, CrossFadeWeightsFollowTheElapsedTime) {
    const GraphicsAnim* still = MakeAnim("Anims/Still.anm", 11, 10, Vec3(0, 0, 0));
    const GraphicsAnim* raised = MakeAnim("Anims/Raised.anm", 11, 10, Vec3(8, 0, 0));

    // Fading in from nothing: the blend amount rises with the elapsed time.
    channel.PlayAnimation(still, true, 1.0f, 200);
    EXPECT_EQ(channel.GetBlendAmount(), 0.0f);
    ASSERT_TRUE(Step(50));
    EXPECT_FLOAT_EQ(channel.GetBlendAmount(), 0.25f);
    ASSERT_TRUE(Step(500));
    EXPECT_FLOAT_EQ(channel.GetBlendAmount(), 1.0f);

    // A cross-fade over 100 ms to twice the speed: the new pose and root motion weigh elapsed / 100.
    channel.PlayAnimation(raised, true, 2.0f, 100);
    ASSERT_TRUE(Step(25));
    EXPECT_EQ(channel.GetBlendAmount(), 1.0f);
    ExpectNear(pose.GetBone(kArm).translation, Vec3(2, 0, 0));
    ASSERT_TRUE(Step(50));
    ExpectNear(pose.GetBone(kArm).translation, Vec3(6, 0, 0));
    ExpectNear(velocity, Vec3(0.75f * 20 + 0.25f * 10, 0, 0), 1e-3f);
    ASSERT_TRUE(Step(25));  // elapsed 100 is not past the duration: still fading, fully raised
    ExpectNear(pose.GetBone(kArm).translation, Vec3(8, 0, 0));
    ASSERT_TRUE(Step(10));  // past it: the fade ends
    ExpectNear(pose.GetBone(kArm).translation, Vec3(8, 0, 0));
    EXPECT_EQ(channel.GetBlendAmount(), 1.0f);  // blend time 0 after a finished fade
    ExpectNear(velocity, Vec3(20, 0, 0), 1e-3f);
}

TEST_F(AnimChannelTest, RequestsDuringAFadeWaitAndFadeInWithTheirOwnTime) {
    const GraphicsAnim* a = MakeAnim("Anims/A.anm", 11, 10, Vec3(0, 0, 0));
    const GraphicsAnim* b = MakeAnim("Anims/B.anm", 11, 10, Vec3(4, 0, 0));
    const GraphicsAnim* c = MakeAnim("Anims/C.anm", 11, 10, Vec3(0, 8, 0));
    const GraphicsAnim* d = MakeAnim("Anims/D.anm", 11, 10, Vec3(0, 0, 6));
    channel.PlayAnimation(a, true, 1.0f, 0);
    ASSERT_TRUE(Step(10));
    channel.PlayAnimation(b, true, 1.0f, 100);
    channel.PlayAnimation(c, false, 1.0f, 40);  // queued behind the running fade
    channel.PlayAnimation(d, true, 1.0f, 20);   // and behind C: requests start in their order
    EXPECT_EQ(channel.GetCurrentAnimationName(), "Anims/B.anm");
    ASSERT_TRUE(Step(50));
    ExpectNear(pose.GetBone(kArm).translation, Vec3(2, 0, 0));

    // The fade to B ends past 100 ms; C starts fading in from B over its own 40 ms.
    ASSERT_TRUE(Step(60));
    EXPECT_EQ(channel.GetCurrentAnimationName(), "Anims/C.anm");
    EXPECT_EQ(channel.GetCurrentFrame(), 0);
    ASSERT_TRUE(Step(10));  // 10 of 40 ms
    ExpectNear(pose.GetBone(kArm).translation, Vec3(3, 2, 0));
    ASSERT_TRUE(Step(40));  // past 40 ms: D starts fading in from C, at weight 0
    EXPECT_EQ(channel.GetCurrentAnimationName(), "Anims/D.anm");
    ExpectNear(pose.GetBone(kArm).translation, Vec3(0, 8, 0));
    ASSERT_TRUE(Step(10));  // 10 of 20 ms
    ExpectNear(pose.GetBone(kArm).translation, Vec3(0, 4, 3));
    ASSERT_TRUE(Step(20));  // past 20 ms: D alone
    ExpectNear(pose.GetBone(kArm).translation, Vec3(0, 0, 6));
    EXPECT_TRUE(channel.IsValid());
}

}  // namespace
}  // namespace GAME
