// GraphicsAnim: both file versions with their conjugated quaternions, the trailer blocks, refusal
// of bad versions, truncated and hostile files, memory accounting, and sampling at loop
// boundaries with root motion, including animations of 0 and 1 frames.

#include "scene/GraphicsAnim.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <tuple>

#include "AnimTestData.h"
#include "core/MathExpect.h"
#include "files/BinaryWriter.h"
#include "support/LogCapture.h"

namespace GAME {
namespace {

using test::AffineParts;
using test::AxisAngle;
using test::ExpectNear;
using test::MakeTrack;
using test::Parts;
using Contents = GraphicsAnimWriter::Contents;
using InitResult = Resource::InitResult;

void ExpectParts(const AffineParts& actual, const AffineParts& expected) {
    ExpectNear(actual.translation, expected.translation);
    ExpectNear(actual.scale, expected.scale);
    EXPECT_NEAR(actual.rotation.x, expected.rotation.x, 1e-5f);
    EXPECT_NEAR(actual.rotation.y, expected.rotation.y, 1e-5f);
    EXPECT_NEAR(actual.rotation.z, expected.rotation.z, 1e-5f);
    EXPECT_NEAR(actual.rotation.w, expected.rotation.w, 1e-5f);
    EXPECT_NEAR(actual.stretch.w, expected.stretch.w, 1e-5f);
}

// A version-2 file of two bones and a trailer with every kind of block.
Contents FullContents() {
    Contents contents;
    contents.frameCount = 4;
    contents.frameRate = 20;
    contents.tracks.push_back(MakeTrack("Bip01", 4, Vec3(1, 0, 0), 0.3f));
    contents.tracks.push_back(MakeTrack("Bip01 Spine", 4, Vec3(0, 0.5f, 0)));
    contents.tracks[1].frames[2].scale = Vec3(2, 3, 4);
    contents.tracks[1].frames[2].stretch = AxisAngle(Vec3(1, 0, 0), 0.4f);
    contents.callbackPoints.push_back({Name(), "Footstep", 2});
    contents.createEntities.push_back({3, "Records/Effects/Dust.dbr", "Foot"});
    contents.ragDoll = {"Flame", "Push", "Upward", "Left"};
    return contents;
}

class GraphicsAnimTest : public test::AnimFixture {};

TEST_F(GraphicsAnimTest, VersionTwoRoundTripsTracksAndTrailer) {
    const Contents contents = FullContents();
    const GraphicsAnim* anim = Load("Anims/Walk.anm", contents);
    ASSERT_EQ(anim->GetInitResult(), InitResult::Success);
    ASSERT_EQ(anim->GetNumBones(), 2);
    EXPECT_EQ(anim->GetBoneName(1), "Bip01 Spine");
    EXPECT_EQ(anim->GetLength(), 4u);
    EXPECT_EQ(anim->GetFrameRate(), 20u);
    EXPECT_FLOAT_EQ(anim->GetAnimSpeed(), 0.2f);

    SkeletalPose pose;
    anim->GetFramePose(pose, 2.0f, false);
    ExpectParts(pose.GetBone(Name::Create("Bip01")), contents.tracks[0].frames[2]);
    ExpectParts(pose.GetBone(Name::Create("Bip01 Spine")), contents.tracks[1].frames[2]);
    EXPECT_NEAR(pose.GetBone(Name::Create("Bip01 Spine")).stretch.x, contents.tracks[1].frames[2].stretch.x, 1e-6f);

    ASSERT_EQ(anim->GetNumCallbackPoints(), 1);
    const auto& point = anim->GetCallbackPoint(0);
    EXPECT_EQ(std::tie(point.name, point.nameText, point.frame), std::tuple(Name::Create("Footstep"), "Footstep", 2));
    ASSERT_EQ(anim->GetNumCreateEntity(), 1);
    const auto& made = anim->GetCreateEntity(0);
    EXPECT_EQ(std::tie(made.frame, made.entity, made.attach), std::tuple(3u, "Records/Effects/Dust.dbr", "Foot"));
    EXPECT_EQ(std::tie(anim->GetRagDollEffectType(), anim->GetRagDollDirection(), anim->GetRagDollElevation(),
                       anim->GetRagDollPush()),
              std::tuple("Flame", "Push", "Upward", "Left"));
    BinaryWriter writer;  // the trailer as written: texts quoted, frames bare
    ASSERT_TRUE(GraphicsAnimWriter::Write(writer, contents));
    const std::string file(reinterpret_cast<const char*>(writer.GetBuffer()), writer.GetPosition());
    EXPECT_TRUE(
        file.ends_with("CallbackPoint\n{\n    name = \"Footstep\"\n    frame = 2\n}\nCreateEntity\n{\n"
                       "    frame = 3\n    entity = \"Records/Effects/Dust.dbr\"\n    attach = \"Foot\"\n}\n"
                       "RagDollData\n{\n    effectType = \"Flame\"\n    direction = \"Push\"\n"
                       "    elevation = \"Upward\"\n    push = \"Left\"\n}\n"));
    EXPECT_STREQ(GraphicsAnim::GetDefaultName(), "?DefaultAnim");
}

TEST_F(GraphicsAnimTest, StoredQuaternionsAreConjugatedOnLoadInBothVersions) {
    // Version 1 by hand: no magic, a 32-byte name, 28-byte frames.
    BinaryWriter v1;
    v1.Write(1u);
    v1.Write(1u);
    v1.Write(30u);
    char name[32] = "Root";
    v1.Write(name, 32);
    for (const float value : {1.0f, 2.0f, 3.0f, 0.1f, 0.2f, 0.3f, 0.9f}) v1.Write(value);
    const GraphicsAnim* anim = LoadBytes("v1.anm", v1.GetBuffer(), v1.GetPosition());
    ASSERT_EQ(anim->GetInitResult(), InitResult::Success);
    EXPECT_EQ(anim->GetBoneName(0), "Root");
    SkeletalPose pose;
    anim->GetFramePose(pose, 0.0f, false);
    const AffineParts& root = pose.GetBone(Name::Create("Root"));
    EXPECT_EQ(root.translation, Vec3(1, 2, 3));
    EXPECT_EQ(root.rotation, Quaternion(-0.1f, -0.2f, -0.3f, 0.9f));
    EXPECT_EQ(root.scale, Vec3(1, 1, 1));
    EXPECT_EQ(root.stretch, Quaternion());

    // Version 2 by hand: magic, a string name, 56-byte frames.
    BinaryWriter v2;
    v2.Write("ANM\x02", 4);
    v2.Write(1u);
    v2.Write(1u);
    v2.Write(30u);
    v2.Write(std::string("Root"));
    for (const float value : {1.0f, 2.0f, 3.0f, 0.1f, 0.2f, 0.3f, 0.9f, 4.0f, 5.0f, 6.0f, 0.5f, 0.0f, 0.0f, 0.8f})
        v2.Write(value);
    anim = LoadBytes("v2.anm", v2.GetBuffer(), v2.GetPosition());
    ASSERT_EQ(anim->GetInitResult(), InitResult::Success);
    anim->GetFramePose(pose, 0.0f, false);
    EXPECT_EQ(pose.GetBone(Name::Create("Root")).scale, Vec3(4, 5, 6));
    EXPECT_EQ(pose.GetBone(Name::Create("Root")).stretch, Quaternion(-0.5f, -0.0f, -0.0f, 0.8f));
}

TEST_F(GraphicsAnimTest, VersionOneWriterRoundTripsAndRefusesWhatItCannotHold) {
    Contents contents;
    contents.version = 1;
    contents.frameCount = 3;
    contents.tracks.push_back(MakeTrack("Bip01 L Forearm Twist Helper 001", 3, Vec3(0, 1, 0), 0.5f));  // 32 bytes
    const GraphicsAnim* anim = Load("v1.anm", contents);
    ASSERT_EQ(anim->GetInitResult(), InitResult::Success);
    SkeletalPose pose;
    anim->GetFramePose(pose, 2.0f, false);
    ExpectParts(pose.GetBone(Name::Create("Bip01 L Forearm Twist Helper 001")), contents.tracks[0].frames[2]);

    test::LogCapture log;
    BinaryWriter writer;
    Contents scaled = contents;
    scaled.tracks[0].frames[1].scale = Vec3(2, 2, 2);
    EXPECT_FALSE(GraphicsAnimWriter::Write(writer, scaled));
    Contents longName = contents;
    longName.tracks[0].nameText.assign(33, 'x');
    EXPECT_FALSE(GraphicsAnimWriter::Write(writer, longName));
    Contents mismatched = contents;
    mismatched.frameCount = 4;
    EXPECT_FALSE(GraphicsAnimWriter::Write(writer, mismatched));
    Contents quoted = FullContents();
    quoted.createEntities[0].attach = "a\"b";
    EXPECT_FALSE(GraphicsAnimWriter::Write(writer, quoted));
    EXPECT_EQ(writer.GetPosition(), 0u);
    EXPECT_EQ(log.Count(LogPriority::Error), 4u);
}

TEST_F(GraphicsAnimTest, BadVersionsAreRefusedAndAFileWithoutMagicIsVersionOne) {
    test::LogCapture log;
    for (const char version : {'\x01', '\x03', '\x00'}) {
        const std::string bytes = std::string("ANM") + version + std::string(12, '\0');
        const std::string name = "bad" + std::to_string(int(version)) + ".anm";
        const GraphicsAnim* anim = LoadBytes(name, bytes.data(), uint32_t(bytes.size()));
        EXPECT_EQ(anim->GetInitResult(), InitResult::InvalidData) << int(version);
    }
    EXPECT_EQ(log.Count(LogPriority::Error), 3u);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "unsupported version 3"));

    // Twelve zero bytes: no magic, no bones, no frames.
    const std::string empty(12, '\0');
    const GraphicsAnim* anim = LoadBytes("empty.anm", empty.data(), uint32_t(empty.size()));
    EXPECT_EQ(anim->GetInitResult(), InitResult::Success);
    EXPECT_EQ(anim->GetNumBones(), 0);
}

TEST_F(GraphicsAnimTest, TruncatedFilesFailAndCountNoMemory) {
    Contents contents = FullContents();
    contents.callbackPoints.clear();
    contents.createEntities.clear();
    contents.ragDoll = {};
    BinaryWriter writer;
    ASSERT_TRUE(GraphicsAnimWriter::Write(writer, contents));

    test::LogCapture log;
    for (uint32_t cut = 0; cut < writer.GetPosition(); cut += 7) {
        const std::string name = "cut" + std::to_string(cut) + ".anm";
        const GraphicsAnim* anim = LoadBytes(name, writer.GetBuffer(), cut);
        EXPECT_EQ(anim->GetInitResult(), InitResult::InvalidData) << cut;
        EXPECT_EQ(anim->GetNumBones(), 0);
        EXPECT_EQ(anim->GetLength(), 0u);
    }
    EXPECT_EQ(manager.GetMemoryUsage(), 0u);
    EXPECT_EQ(log.Count(LogPriority::Error), (writer.GetPosition() + 6) / 7);
}

TEST_F(GraphicsAnimTest, HostileCountsAreCheckedBeforeAnythingIsReserved) {
    test::LogCapture log;
    struct Case {
        uint32_t bones, frames;
        bool magic;
    };
    int index = 0;
    for (const Case c : {Case{0xFFFFFFFFu, 0u, true}, Case{1u, 0xFFFFFFFFu, true}, Case{0x10000u, 0x10000u, true},
                         Case{0xFFFFFFFFu, 0u, false}, Case{2u, 0x0FFFFFFFu, false}}) {
        BinaryWriter writer;
        if (c.magic) writer.Write("ANM\x02", 4);
        writer.Write(c.bones);
        writer.Write(c.frames);
        writer.Write(30u);
        writer.Write(std::string("Root"));  // a plausible start of the first track
        writer.Write(std::string(64, '\0').data(), 64);
        const std::string name = "hostile" + std::to_string(index++) + ".anm";
        const GraphicsAnim* anim = LoadBytes(name, writer.GetBuffer(), writer.GetPosition());
        EXPECT_EQ(anim->GetInitResult(), InitResult::InvalidData) << c.bones << " x " << c.frames;
    }

    // A name string longer than the file.
    BinaryWriter writer;
    writer.Write("ANM\x02", 4);
    writer.Write(1u);
    writer.Write(0u);
    writer.Write(30u);
    writer.Write(0x7FFFFFFFu);
    const GraphicsAnim* anim = LoadBytes("name.anm", writer.GetBuffer(), writer.GetPosition());
    EXPECT_EQ(anim->GetInitResult(), InitResult::InvalidData);
    EXPECT_EQ(log.Count(LogPriority::Error), 6u);
}

TEST_F(GraphicsAnimTest, TrailerKeepsCompletePointsAndPassesOverUnknownWords) {
    BinaryWriter writer;
    Contents contents;
    contents.frameCount = 2;
    contents.tracks.push_back(MakeTrack("Root", 2, Vec3(1, 0, 0)));
    ASSERT_TRUE(GraphicsAnimWriter::Write(writer, contents));
    const std::string trailer =
        "// exported\n"
        "Version 3\n"
        "CallbackPoint { frame = 4 }\n"                           // no name: dropped
        "CallbackPoint { name = \"Hit\" colour = \"red\" }\n"      // frame 0, unknown key passed over
        "CreateEntity { entity = \"a.dbr\" attach = \"Hand\" }\n"  // no frame: dropped
        "CreateEntity { frame = 1 entity = \"b.dbr\" }\n"
        "CallbackPoint { name = \"Step\" frame = 12.0 }\n"       // frame 12, with a warning
        "CreateEntity { frame = 1e1 entity = \"c.dbr\" }\n"      // frame 1, with a warning
        "CreateEntity { frame = twelve entity = \"d.dbr\" }\n"   // no digits: dropped, with a warning
        "Extra { frame = 9 }\n"
        "RagDollData { direction = \"Sideways\" elevation = \"Upward\" }\n"
        "CallbackPoint { name = \"Open\"";  // left open at the end of the text
    writer.Write(trailer.data(), uint32_t(trailer.size()));

    test::LogCapture log;
    const GraphicsAnim* anim = LoadBytes("Anims/Trailer.anm", writer.GetBuffer(), writer.GetPosition());
    ASSERT_EQ(anim->GetInitResult(), InitResult::Success);
    ASSERT_EQ(anim->GetNumCallbackPoints(), 3);
    EXPECT_TRUE(anim->GetCallbackPoint(0).nameText == "Hit" && anim->GetCallbackPoint(0).frame == 0 &&
                anim->GetCallbackPoint(1).nameText == "Step" && anim->GetCallbackPoint(1).frame == 12 &&
                anim->GetCallbackPoint(2).nameText == "Open");
    ASSERT_EQ(anim->GetNumCreateEntity(), 2);
    EXPECT_TRUE(anim->GetCreateEntity(0).entity == "b.dbr" && anim->GetCreateEntity(0).attach == "" &&
                anim->GetCreateEntity(1).entity == "c.dbr" && anim->GetCreateEntity(1).frame == 1u);
    // An illegal rag-doll word is kept, with a warning naming the file.
    EXPECT_EQ(anim->GetRagDollDirection(), "Sideways");
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "animation - Anims/Trailer.anm - illegal ragDollDirection - Sideways"));
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "CallbackPoint frame '12.0' is not an integer; frame 12 is used"));
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "CreateEntity frame 'twelve' is not a number; the point is dropped"));
    EXPECT_TRUE(log.Count(LogPriority::Warning) == 4u && log.Count(LogPriority::Error) == 0u);
}

TEST_F(GraphicsAnimTest, MalformedTrailersFailTheLoad) {
    BinaryWriter head;
    Contents contents;
    contents.frameCount = 1;
    contents.tracks.push_back(MakeTrack("Root", 1, Vec3()));
    ASSERT_TRUE(GraphicsAnimWriter::Write(head, contents));
    const std::string body(reinterpret_cast<const char*>(head.GetBuffer()), head.GetPosition());

    test::LogCapture log;
    const char* trailers[] = {
        "CallbackPoint name = \"x\" }",         // keyword without "{"
        "CallbackPoint { name \"x\" }",         // key without "="
        "RagDollData { push : \"Left\" }",      // ":" in place of "="
        "CallbackPoint { name",                 // key at the end of the text
    };
    int index = 0;
    for (const char* trailer : trailers) {
        const std::string bytes = body + trailer;
        const std::string name = "bad" + std::to_string(index++) + ".anm";
        const GraphicsAnim* anim = LoadBytes(name, bytes.data(), uint32_t(bytes.size()));
        EXPECT_EQ(anim->GetInitResult(), InitResult::InvalidData) << trailer;
        EXPECT_EQ(anim->GetNumBones(), 0) << trailer;
        EXPECT_EQ(anim->GetNumCallbackPoints(), 0) << trailer;
    }
    EXPECT_EQ(log.Count(LogPriority::Error), 4u);
    EXPECT_EQ(manager.GetMemoryUsage(), 0u);
}

TEST_F(GraphicsAnimTest, MemoryUsageFollowsLoadAndDestroy) {
    BinaryWriter writer;
    ASSERT_TRUE(GraphicsAnimWriter::Write(writer, FullContents()));
    const GraphicsAnim* anim = LoadBytes("Anims/Run.anm", writer.GetBuffer(), writer.GetPosition());
    ASSERT_EQ(anim->GetInitResult(), InitResult::Success);
    EXPECT_EQ(manager.GetMemoryUsage(), writer.GetPosition());
    EXPECT_GT(anim->GetSystemMemoryUsage(), 2 * 4 * sizeof(AffineParts));
    EXPECT_EQ(anim->GetDebugInfo(), "2 bones, 4 frames at 20 fps");

    manager.ReloadAllResources(true);  // destroys and loads again
    EXPECT_EQ(manager.GetMemoryUsage(), writer.GetPosition());
    // Loaded again from a file without rag doll data, it has none.
    Contents plain = FullContents();
    plain.ragDoll = {};
    EXPECT_EQ(Load("Anims/Run.anm", plain), anim);
    manager.ReloadAllResources(true);
    EXPECT_EQ(anim->GetRagDollEffectType(), "");
    manager.UnloadResource(anim);
    manager.UnloadResource(anim);
    manager.UnloadUnreferencedResources();
    EXPECT_EQ(manager.GetMemoryUsage(), 0u);

    // Every part counts: a long text in any of them about its bytes more.
    const size_t bytes = Load("Anims/Base.anm", FullContents())->GetSystemMemoryUsage();
    const std::string text(1000, 'x');
    const std::function<void(Contents&)> parts[] = {[&](Contents& c) { c.tracks[1].nameText = text; },
                                                    [&](Contents& c) { c.callbackPoints[0].nameText = text; },
                                                    [&](Contents& c) { c.createEntities[0].entity = text; },
                                                    [&](Contents& c) { c.createEntities[0].attach = text; },
                                                    [&](Contents& c) { c.ragDoll.effectType = text; },
                                                    [&](Contents& c) { c.ragDoll.direction = text; },
                                                    [&](Contents& c) { c.ragDoll.elevation = text; },
                                                    [&](Contents& c) { c.ragDoll.push = text; }};
    for (size_t i = 0; i < std::size(parts); ++i) {
        Contents contents = FullContents();
        parts[i](contents);
        EXPECT_GE(Load("Anims/Part" + std::to_string(i) + ".anm", contents)->GetSystemMemoryUsage(), bytes + 900) << i;
    }
    // Loaded again from a file it cannot read, an animation counts nothing; the others still count.
    const size_t before = manager.GetMemoryUsage();
    test::LogCapture log;
    WriteBytes("Anims/Base.anm", "AN", 2);
    manager.ReloadAllResources(true);
    EXPECT_EQ(manager.GetMemoryUsage(), before - writer.GetPosition());
}

// Eleven frames whose translation moves by (1, 0, 0) a frame and whose rotation turns 0.1 radians.
mem::vector<AffineParts> ElevenFrames() { return MakeTrack("Root", 11, Vec3(1, 0, 0), 0.1f).frames; }

TEST(GraphicsAnimSampling, LoopingAddsTheMotionOfEveryFinishedCycle) {
    const mem::vector<AffineParts> frames = ElevenFrames();
    // Frame 25: local frame 5 of cycle 2, plus twice the cycle's motion (10, 0, 0).
    const AffineParts at25 = GraphicsAnim::SampleTrack(frames, 25.0f, true);
    ExpectNear(at25.translation, Vec3(25, 0, 0));
    ExpectNear(Mat3(at25.rotation), Mat3(frames[5].rotation));

    // Frame 10 is the start of cycle 1: the last frame's translation with the first frame's rotation.
    const AffineParts at10 = GraphicsAnim::SampleTrack(frames, 10.0f, true);
    ExpectNear(at10.translation, Vec3(10, 0, 0));
    ExpectNear(Mat3(at10.rotation), Mat3(frames[0].rotation));

    // Between frames 9 and 10 of a loop the rotation heads back towards the first frame.
    const AffineParts at95 = GraphicsAnim::SampleTrack(frames, 9.5f, true);
    ExpectNear(at95.translation, Vec3(9.5f, 0, 0));
    ExpectNear(Mat3(at95.rotation), Mat3(AxisAngle(Vec3(0, 0, 1), 0.45f)), 1e-4f);

    // A channel that has looped for a very long time stays finite and in its cycle.
    const AffineParts far = GraphicsAnim::SampleTrack(frames, 1.0e12f, true);
    EXPECT_TRUE(far.translation.IsValid());
    EXPECT_TRUE(std::isfinite(far.rotation.w));
}

TEST(GraphicsAnimSampling, NotLoopingHoldsTheLastFrameAndBadFramesGiveIdentity) {
    const mem::vector<AffineParts> frames = ElevenFrames();
    const AffineParts at125 = GraphicsAnim::SampleTrack(frames, 12.5f, false);
    EXPECT_EQ(at125.translation, frames[10].translation);
    EXPECT_EQ(at125.rotation, frames[10].rotation);
    ExpectNear(GraphicsAnim::SampleTrack(frames, 9.75f, false).translation, Vec3(9.75f, 0, 0));
    ExpectNear(GraphicsAnim::SampleTrack(frames, 10.5f, false).translation, Vec3(10, 0, 0));

    // Bad frames give the identity parts, not frame 0: here no frame is the identity in any part.
    mem::vector<AffineParts> moved = frames;
    for (AffineParts& frame : moved) {
        frame.translation += Vec3(0, 3, 0);
        frame.rotation = AxisAngle(Vec3(1, 0, 0), 0.5f);
        frame.scale = Vec3(2, 2, 2);
        frame.stretch = AxisAngle(Vec3(0, 1, 0), 0.25f);
    }
    for (const bool loop : {false, true}) {
        for (const float bad : {-0.5f, std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::infinity()}) {
            const AffineParts parts = GraphicsAnim::SampleTrack(moved, bad, loop);
            EXPECT_EQ(parts.translation, Vec3());
            EXPECT_EQ(parts.rotation, Quaternion());
            EXPECT_EQ(parts.scale, Vec3(1, 1, 1));
            EXPECT_EQ(parts.stretch, Quaternion());
        }
    }
    EXPECT_EQ(GraphicsAnim::SampleTrack(frames, std::numeric_limits<float>::infinity(), false).translation,
              frames[10].translation);
}

TEST(GraphicsAnimSampling, NoFrameOrOneFrameSamplesWithoutReadingOutside) {
    const mem::vector<AffineParts> none;
    const mem::vector<AffineParts> one{Parts(Vec3(3, 4, 5), AxisAngle(Vec3(1, 0, 0), 0.7f))};
    for (const bool loop : {false, true}) {
        for (const float frame : {0.0f, 0.5f, 1.0f, 7.25f, 1.0e9f}) {
            EXPECT_EQ(GraphicsAnim::SampleTrack(none, frame, loop).translation, Vec3());
            const AffineParts parts = GraphicsAnim::SampleTrack(one, frame, loop);
            EXPECT_EQ(parts.translation, Vec3(3, 4, 5));
            EXPECT_EQ(parts.rotation, one[0].rotation);
        }
    }
}

TEST_F(GraphicsAnimTest, PoseAtATimeSamplesEveryTrackOrOneBone) {
    Contents contents;
    contents.frameCount = 11;
    contents.frameRate = 10;
    contents.tracks.push_back(MakeTrack("Root", 11, Vec3(1, 0, 0)));
    contents.tracks.push_back(MakeTrack("Arm", 11, Vec3(0, 2, 0)));
    const GraphicsAnim* anim = Load("Anims/Two.anm", contents);
    ASSERT_EQ(anim->GetInitResult(), InitResult::Success);

    // 2500 ms at 10 frames per second is frame 25.
    SkeletalPose pose;
    anim->GetPose(pose, 2500.0f, true);
    ExpectNear(pose.GetBone(Name::Create("Root")).translation, Vec3(25, 0, 0));
    ExpectNear(pose.GetBone(Name::Create("Arm")).translation, Vec3(0, 50, 0));

    SkeletalPose rootOnly;
    anim->GetPose(rootOnly, 250.0f, false, Name::Create("Root"));
    EXPECT_EQ(rootOnly.GetNumBones(), 1);
    ExpectNear(rootOnly.GetBone(Name::Create("Root")).translation, Vec3(2.5f, 0, 0));

    // A zero frame rate keeps every time at frame 0.
    contents.frameRate = 0;
    const GraphicsAnim* still = Load("Anims/Still.anm", contents);
    EXPECT_EQ(still->GetAnimSpeed(), 0.0f);
    still->GetPose(pose, 5000.0f, true);
    EXPECT_EQ(pose.GetBone(Name::Create("Arm")).translation, Vec3());
}

}  // namespace
}  // namespace GAME
