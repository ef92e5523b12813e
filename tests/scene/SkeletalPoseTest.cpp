// SkeletalPose: parts and frames by hand with rotated bones, the mirrored round trip,
// interpolation, blending, copies and the stream form.

#include "scene/SkeletalPose.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/MathUtil.h"
#include "core/Mat3.h"
#include "core/MathExpect.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "support/LogCapture.h"

namespace GAME {
namespace {

using test::ExpectNear;
using AffineParts = SkeletalPose::AffineParts;

Quaternion AxisAngle(const Vec3& axis, float angle) {
    const Vec3 v = axis.Unit() * std::sin(0.5f * angle);
    return Quaternion(v.x, v.y, v.z, std::cos(0.5f * angle));
}

AffineParts Parts(const Vec3& translation, const Quaternion& rotation, const Vec3& scale = Vec3(1, 1, 1),
                  const Quaternion& stretch = Quaternion()) {
    AffineParts parts;
    parts.translation = translation;
    parts.rotation = rotation;
    parts.scale = scale;
    parts.stretch = stretch;
    return parts;
}

// The same rotation up to the sign of all four components.
void ExpectSameRotation(const Quaternion& actual, const Quaternion& expected) {
    ExpectNear(Mat3(actual), Mat3(expected), 1e-5f);
}

const Name kHip = Name::Create("Bip01 Pelvis");
const Name kSpine = Name::Create("Bip01 Spine");
const Name kHead = Name::Create("Bip01 Head");

TEST(SkeletalPose, PartsBecomeRotationTimesScaledStretch) {
    // R(z 90) * diag(2, 1, 1) * R(x 90), worked by hand column by column.
    const AffineParts parts = Parts(Vec3(1, 2, 3), AxisAngle(Vec3(0, 0, 1), 0.5f * Pi), Vec3(2, 1, 1),
                                    AxisAngle(Vec3(1, 0, 0), 0.5f * Pi));
    ExpectNear(parts.ToCoords(), Coords(Vec3(0, 2, 0), Vec3(0, 0, 1), Vec3(1, 0, 0), Vec3(1, 2, 3)));

    // A zero stretch (short saved records) counts as none.
    const AffineParts zeroStretch = Parts(Vec3(), Quaternion(), Vec3(1, 1, 1), Quaternion(0, 0, 0, 0));
    ExpectNear(zeroStretch.ToCoords(), Coords::Identity);
}

TEST(SkeletalPose, EmptyPoseHasNoBonesAndGivesIdentity) {
    const SkeletalPose pose;
    EXPECT_TRUE(pose.IsEmpty());
    EXPECT_FALSE(pose.ContainsBone(kHip));
    EXPECT_EQ(pose.GetBoneCoords(kHip), Coords::Identity);
    const AffineParts& parts = pose.GetBone(kHip);
    EXPECT_EQ(parts.rotation, Quaternion());
    EXPECT_EQ(parts.scale, Vec3(1, 1, 1));
}

TEST(SkeletalPose, FramesRoundTripIncludingMirroredOnes) {
    SkeletalPose pose;
    Coords rotated = test::FrameA();
    pose.SetBoneCoords(kHip, rotated);
    EXPECT_TRUE(pose.ContainsBone(kHip));
    ExpectNear(pose.GetBoneCoords(kHip), rotated);
    EXPECT_EQ(pose.GetBone(kHip).scale, Vec3(1, 1, 1));

    // A left-handed frame stores scale (1, -1, 1) and comes back as it went in.
    Coords mirrored = test::FrameB();
    mirrored.yAxis = -mirrored.yAxis;
    ASSERT_TRUE(mirrored.IsMirrored());
    pose.SetBoneCoords(kSpine, mirrored);
    EXPECT_EQ(pose.GetBone(kSpine).scale, Vec3(1, -1, 1));
    ExpectNear(pose.GetBoneCoords(kSpine), mirrored);
    EXPECT_TRUE(pose.GetBoneCoords(kSpine).IsMirrored());
}

TEST(SkeletalPose, InterpolateIsLinearForTranslationAndScaleAndSlerpForRotations) {
    const AffineParts a = Parts(Vec3(0, 0, 0), Quaternion());
    const AffineParts b = Parts(Vec3(2, 0, 0), AxisAngle(Vec3(0, 0, 1), 0.5f * Pi), Vec3(3, 1, 1),
                                AxisAngle(Vec3(0, 1, 0), 1.0f));
    const AffineParts half = SkeletalPose::Interpolate(a, b, 0.5f);
    ExpectNear(half.translation, Vec3(1, 0, 0));
    ExpectNear(half.scale, Vec3(2, 1, 1));
    ExpectSameRotation(half.stretch, AxisAngle(Vec3(0, 1, 0), 0.5f));
    // A 45-degree turn about z, then x doubled: hand-computed axes.
    const float r = std::sqrt(0.5f);
    ExpectNear(Parts(half.translation, half.rotation, half.scale).ToCoords(),
               Coords(Vec3(2 * r, 2 * r, 0), Vec3(-r, r, 0), Vec3(0, 0, 1), Vec3(1, 0, 0)));
}

TEST(SkeletalPose, BlendMixesSharedBonesStartsNewOnesFromIdentityAndKeepsItsOwn) {
    SkeletalPose pose;
    pose.SetBone(kHip, Parts(Vec3(0, 0, 0), Quaternion()));
    pose.SetBone(kHead, Parts(Vec3(5, 5, 5), AxisAngle(Vec3(1, 0, 0), 1.0f)));
    SkeletalPose other;
    other.SetBone(kHip, Parts(Vec3(4, 0, 0), AxisAngle(Vec3(0, 0, 1), 1.0f)));
    other.SetBone(kSpine, Parts(Vec3(0, 2, 0), AxisAngle(Vec3(0, 1, 0), -0.8f), Vec3(3, 3, 3)));

    pose.Blend(other, 0.25f);
    ExpectNear(pose.GetBone(kHip).translation, Vec3(1, 0, 0));
    ExpectSameRotation(pose.GetBone(kHip).rotation, AxisAngle(Vec3(0, 0, 1), 0.25f));
    ExpectNear(pose.GetBone(kSpine).translation, Vec3(0, 0.5f, 0));
    ExpectNear(pose.GetBone(kSpine).scale, Vec3(1.5f, 1.5f, 1.5f));
    ExpectSameRotation(pose.GetBone(kSpine).rotation, AxisAngle(Vec3(0, 1, 0), -0.2f));
    ExpectNear(pose.GetBone(kHead).translation, Vec3(5, 5, 5));

    // Blending into an empty pose with weight 1 gives the other pose (up to quaternion sign).
    SkeletalPose empty;
    empty.Blend(other, 1.0f);
    ExpectNear(empty.GetBoneCoords(kSpine), other.GetBoneCoords(kSpine));
    ExpectNear(empty.GetBoneCoords(kHip), other.GetBoneCoords(kHip));
    EXPECT_EQ(empty.GetNumBones(), 2);
}

TEST(SkeletalPose, AddWritesBonesAndCopiesAreIndependent) {
    SkeletalPose pose;
    pose.SetBone(kHip, Parts(Vec3(1, 0, 0), Quaternion()));
    SkeletalPose other;
    other.SetBone(kHip, Parts(Vec3(2, 0, 0), Quaternion()));
    other.SetBone(kHead, Parts(Vec3(3, 0, 0), Quaternion()));
    pose.Add(other);
    EXPECT_EQ(pose.GetBone(kHip).translation, Vec3(2, 0, 0));
    EXPECT_EQ(pose.GetBone(kHead).translation, Vec3(3, 0, 0));

    SkeletalPose copy(pose);
    copy.SetBone(kHip, Parts(Vec3(9, 0, 0), Quaternion()));
    EXPECT_EQ(pose.GetBone(kHip).translation, Vec3(2, 0, 0));
    EXPECT_EQ(copy.GetNumBones(), 2);

    // Assigning a pose that was never written empties the target.
    copy = SkeletalPose();
    EXPECT_TRUE(copy.IsEmpty());
    EXPECT_FALSE(copy.ContainsBone(kHead));
    copy = pose;
    EXPECT_EQ(copy.GetBone(kHead).translation, Vec3(3, 0, 0));
}

TEST(SkeletalPose, StreamRoundTripsWithAndWithoutFullParts) {
    SkeletalPose pose;
    pose.SetBone(kHip, Parts(Vec3(1, 2, 3), AxisAngle(Vec3(0, 0, 1), 1.0f), Vec3(2, 2, 2), AxisAngle(Vec3(1, 0, 0), 0.5f)));
    pose.SetBone(kHead, Parts(Vec3(-1, 0, 4), AxisAngle(Vec3(1, 1, 0), -2.0f)));

    for (const bool full : {true, false}) {
        SCOPED_TRACE(full ? "full" : "short");
        BinaryWriter writer;
        pose.WriteData(writer, full);
        ASSERT_FALSE(writer.Failed());
        EXPECT_EQ(writer.GetPosition(), 8u + 2u * (full ? 48u : 32u));

        // Records follow the slot order; the first is the bone with the lower slot.
        const int firstSlot = std::min(GetNameTableSlot(kHip, 0), GetNameTableSlot(kHead, 0));
        const Name first = firstSlot == GetNameTableSlot(kHip, 0) ? kHip : kHead;
        uint32_t word = 0;
        std::memcpy(&word, writer.GetBuffer() + 8, 4);
        EXPECT_EQ(word, first.GetWord(0));

        BinaryReader reader(writer.GetBuffer(), writer.GetPosition());
        SkeletalPose read;
        ASSERT_TRUE(read.ReadData(reader));
        EXPECT_TRUE(reader.IsAtEnd());
        EXPECT_EQ(read.GetNumBones(), 2);
        EXPECT_EQ(read.GetBone(kHip).translation, Vec3(1, 2, 3));
        const float tolerance = 2.0f / 255.0f;
        const Quaternion& q = read.GetBone(kHead).rotation;
        const Quaternion& expected = pose.GetBone(kHead).rotation;
        EXPECT_NEAR(q.x, expected.x, tolerance);
        EXPECT_NEAR(q.w, expected.w, tolerance);
        if (full) {
            EXPECT_EQ(read.GetBone(kHip).scale, Vec3(2, 2, 2));
        } else {
            EXPECT_EQ(read.GetBone(kHip).scale, Vec3(1, 1, 1));
            EXPECT_EQ(read.GetBone(kHip).stretch, Quaternion(0, 0, 0, 0));
        }
    }
}

TEST(SkeletalPose, StreamRefusesShortDataAndBadFlags) {
    SkeletalPose pose;
    pose.SetBone(kHip, Parts(Vec3(1, 2, 3), Quaternion()));
    BinaryWriter writer;
    pose.WriteData(writer, true);

    test::LogCapture log;
    for (uint32_t cut = 0; cut < writer.GetPosition(); ++cut) {
        BinaryReader reader(writer.GetBuffer(), cut);
        SkeletalPose read;
        EXPECT_FALSE(read.ReadData(reader)) << cut;
        EXPECT_TRUE(read.IsEmpty());
    }
    EXPECT_EQ(log.Count(LogPriority::Error), writer.GetPosition());  // one for each cut

    // A count that would overflow 32 bits and a flag that is neither 0 nor 1.
    BinaryWriter hostile;
    hostile.Write(0x80000000u);
    hostile.Write(1u);
    BinaryReader hostileReader(hostile.GetBuffer(), hostile.GetPosition());
    EXPECT_FALSE(SkeletalPose().ReadData(hostileReader));
    BinaryWriter badFlag;
    badFlag.Write(0u);
    badFlag.Write(2u);
    BinaryReader badFlagReader(badFlag.GetBuffer(), badFlag.GetPosition());
    EXPECT_FALSE(SkeletalPose().ReadData(badFlagReader));
}

TEST(SkeletalPose, FullTableDropsFurtherBonesWithOneWarning) {
    test::LogCapture log;
    SkeletalPose pose;
    for (int i = 0; i < 253; ++i) pose.SetBone(Name::Create(("bone" + std::to_string(i)).c_str()), AffineParts());
    EXPECT_EQ(pose.GetNumBones(), 251);
    EXPECT_EQ(log.Count(LogPriority::Warning), 1u);
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "SkeletalPose - more than 251 bones; further bones are dropped"));
    pose.SetBone(Name::noName, AffineParts());
    EXPECT_EQ(pose.GetNumBones(), 251);
    // Another pose that overflows says so too.
    SkeletalPose other(pose);
    other.SetBone(Name::Create("one more"), AffineParts());
    EXPECT_EQ(log.Count(LogPriority::Warning), 2u);
}

}  // namespace
}  // namespace GAME
