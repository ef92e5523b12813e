// EmitterData: defaults, the loop flags of the emitter-time curves, copies, the "PFX1" block and
// the old record.

#include "effects/EmitterData.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

#include "EmitterSamples.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "support/LogCapture.h"

namespace GAME {
namespace {

using test::BlockCounts;
using test::EditedEmitter;
using test::ExpectSameSlots;

const std::set<int> kEmitterTimeCurves = {6, 7, 9, 10, 11, 14, 15, 18, 19, 20, 22, 23, 24, 25};

float Centred(const CurveData& curve, float x) { return curve.GetYFast(x) - curve.GetRange() * 0.5f; }

// Reads one emitter from everything written, expecting a load that uses every byte.
EmitterData ReadAll(const BinaryWriter& writer) {
    EmitterData data;
    BinaryReader reader(writer.GetBuffer(), writer.GetPosition());
    EXPECT_TRUE(data.BinaryRead(reader));
    EXPECT_TRUE(reader.IsAtEnd());
    return data;
}

EmitterData WriteAndRead(const EmitterData& source) {
    BinaryWriter writer;
    source.BinaryWrite(writer);
    return ReadAll(writer);
}

TEST(EmitterData, DefaultsSurviveARoundTrip) {
    const EmitterData data = WriteAndRead(EmitterData());
    ExpectSameSlots(data, EmitterData());
    EXPECT_EQ(data.GetTextureName(), "Effects/Default/particletest.tex");
    EXPECT_EQ(data.GetShaderName(), "Shaders/Particle/ParticleAdditive.ssh");
    for (int i = 0; i < EmitterData::kNumBooleans; ++i) EXPECT_FALSE(data.GetBoolean(i)) << i;
    EXPECT_TRUE(data.GetInteger(EmitterData::Integer_Shape) == EmitterData::Shape_SphereVolume &&
                data.GetInteger(EmitterData::Integer_FramesPerSecond) == 0 && data.GetFloat(EmitterData::Float_Life) == 10.0f);
    EXPECT_TRUE(data.GetEnabled() && data.GetDebugLines());
    EXPECT_EQ(EmitterData().GetAllocatedSize(), 32 + 37 + 26 * 2 * sizeof(CurveData::Point));  // names; 2-point curves

    const float t = 0.37f;
    EXPECT_EQ(data.GetCurve(EmitterData::Curve_Rate)->GetMaxY(), 80.0f);
    EXPECT_EQ(data.GetCurve(EmitterData::Curve_Alpha)->GetRange(), 1.0f);
    using E = EmitterData;
    const int curves[] = {E::Curve_Rate,       E::Curve_Speed,     E::Curve_Radius, E::Curve_Alpha,
                          E::Curve_Red,        E::Curve_Green,     E::Curve_Blue,   E::Curve_LightRed,
                          E::Curve_LightGreen, E::Curve_LightBlue, E::Curve_Size,   E::Curve_LightRadius,
                          E::Curve_Spread};
    const float values[] = {80.0f, 0.0f, 0.5f, 1.0f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.25f, 5.0f, 10.0f};
    for (size_t i = 0; i < std::size(curves); ++i) EXPECT_EQ(data.GetCurve(curves[i])->GetYFast(t), values[i]) << i;

    // The centred curves (the half graphs, and only they) all start at rest: no spin, gravity,
    // offset or emitter spin.
    const std::set<int> centred = {
        EmitterData::Curve_Spin,         EmitterData::Curve_Gravity,      EmitterData::Curve_OffsetX,
        EmitterData::Curve_OffsetY,      EmitterData::Curve_OffsetZ,      EmitterData::Curve_EmitterSpinX,
        EmitterData::Curve_EmitterSpinY, EmitterData::Curve_EmitterSpinZ, EmitterData::Curve_Unused16};
    for (int i = 0; i < EmitterData::kNumCurves; ++i)
        EXPECT_EQ(data.GetCurve(i)->GetHalfGraph(), centred.count(i) > 0) << i;
    for (int curve : centred) EXPECT_EQ(Centred(*data.GetCurve(curve), t), 0.0f) << curve;
    EXPECT_EQ(data.GetCurve(EmitterData::Curve_Spin)->GetRange(), 720.0f);
    for (const auto& [curve, colour] : {std::pair{E::Curve_Alpha, PSColor::Alpha}, {E::Curve_Red, PSColor::Red}, {E::Curve_Drag, PSColor::None}})
        EXPECT_EQ(data.GetCurve(curve)->GetColor(), colour) << curve;
    EXPECT_EQ(*data.GetCurve(EmitterData::Curve_Unused12), CurveData());
}

TEST(EmitterData, SetLoopDrivesExactlyTheEmitterTimeCurves) {
    EmitterData data;
    data.GetCurve(EmitterData::Curve_Size)->SetLoop(true);  // an age curve keeps its own flag
    data.SetLoop(true);
    EXPECT_TRUE(data.GetLoop());
    EXPECT_TRUE(data.GetBoolean(EmitterData::Bool_Loop));
    for (int i = 0; i < EmitterData::kNumCurves; ++i) {
        const bool expected = kEmitterTimeCurves.count(i) > 0 || i == EmitterData::Curve_Size;
        EXPECT_EQ(data.GetCurve(i)->GetLoop(), expected) << i;
    }
    data.SetLoop(false);
    for (int i : kEmitterTimeCurves) EXPECT_FALSE(data.GetCurve(i)->GetLoop()) << i;
    EXPECT_TRUE(data.GetCurve(EmitterData::Curve_Size)->GetLoop());
}

TEST(EmitterData, CopiesAreIndependentAndReapplyTheLoop) {
    EmitterData source = EditedEmitter();
    source.GetCurve(EmitterData::Curve_Rate)->SetLoop(false);  // out of step with bool 0
    EmitterData copy(source);
    ExpectSameSlots(copy, EditedEmitter());
    EXPECT_TRUE(copy.GetCurve(EmitterData::Curve_Rate)->GetLoop());
    EXPECT_FALSE(copy.GetEnabled());
    EXPECT_FALSE(copy.GetDebugLines());

    copy.SetTextureName("other.tex");
    copy.GetCurve(EmitterData::Curve_Size)->SetFirstLastY(99.0f);
    EXPECT_EQ(source.GetTextureName(), "tex/edited0.tex");
    EXPECT_NE(source.GetCurve(EmitterData::Curve_Size)->GetMaxY(), 99.0f);

    EmitterData assigned;
    assigned = source;
    EXPECT_TRUE(assigned.GetCurve(EmitterData::Curve_Rate)->GetLoop());
    ExpectSameSlots(assigned, EditedEmitter());
}

TEST(EmitterData, SlotIndicesOutsideTheArraysAreHarmless) {
    EmitterData data;
    for (int past : {-1000, 0, 1000}) {  // before the arrays, just past them, far past them
        data.SetString(EmitterData::kNumStrings + past, "x");
        data.SetBoolean(EmitterData::kNumBooleans + past, true);
        data.SetInteger(EmitterData::kNumIntegers + past, 5);
        data.SetFloat(EmitterData::kNumFloats + past, 5.0f);
    }
    ExpectSameSlots(data, EmitterData());
    EXPECT_EQ(data.GetString(2), "");
    data.SetInteger(0, 1);  // not read as a bool past the bools
    EXPECT_FALSE(data.GetBoolean(12));
    EXPECT_TRUE(data.GetInteger(-1) == 0 && data.GetInteger(EmitterData::kNumIntegers) == 0);
    EXPECT_EQ(data.GetFloat(4), 0.0f);
    EXPECT_EQ(data.GetCurve(-1), nullptr);
    EXPECT_EQ(std::as_const(data).GetCurve(26), nullptr);
    data.SetString(0, "first.tex");
    EXPECT_EQ(data.GetTextureName(), "first.tex");
}

TEST(EmitterData, BlockLayout) {
    BinaryWriter writer;
    EmitterData().BinaryWrite(writer);
    BinaryReader reader(writer.GetBuffer(), writer.GetPosition());
    char tag[4];
    ASSERT_TRUE(reader.ReadBytes(tag, 4));
    EXPECT_EQ(std::memcmp(tag, "PFX1", 4), 0);
    EXPECT_EQ(reader.ReadUInt32(), 0u) << "chunk id";
    EXPECT_EQ(reader.ReadUInt32(), writer.GetPosition() - 12) << "chunk size";
    EXPECT_EQ(reader.ReadUInt32(), 2u);
    std::string text;
    reader.ReadString(text);
    reader.ReadString(text);
    for (const uint32_t count : {12u, 2u, 4u}) {  // bools, integers and floats, four bytes each; then the curves
        EXPECT_EQ(reader.ReadUInt32(), count);
        reader.Skip(count * 4);
    }
    EXPECT_EQ(reader.ReadUInt32(), 26u);
}

TEST(EmitterData, EmitterTimeLoopFlagsFollowBoolZeroAfterReading) {
    // Stored curve flags that disagree with bool 0 are overruled; an age curve's flag is kept.
    EmitterData source;
    source.GetCurve(EmitterData::Curve_Rate)->SetLoop(true);
    source.GetCurve(EmitterData::Curve_Alpha)->SetLoop(true);
    const EmitterData back = WriteAndRead(source);
    EXPECT_FALSE(back.GetCurve(EmitterData::Curve_Rate)->GetLoop());
    EXPECT_TRUE(back.GetCurve(EmitterData::Curve_Alpha)->GetLoop());
}

TEST(EmitterData, ShortCountsKeepTheDefaultsAndLongCountsAreSkipped) {
    const EmitterData edited = EditedEmitter();
    {
        BinaryWriter writer;
        test::WriteBlock(writer, edited, BlockCounts{1, 3, 1, 2, 5});
        const EmitterData data = ReadAll(writer);
        const EmitterData defaults;
        EXPECT_TRUE(data.GetTextureName() == edited.GetTextureName() && data.GetShaderName() == defaults.GetShaderName());
        EXPECT_TRUE(data.GetBoolean(2) && !data.GetBoolean(3));
        EXPECT_TRUE(data.GetInteger(0) == edited.GetInteger(0) && data.GetInteger(1) == 0);
        EXPECT_TRUE(data.GetFloat(1) == edited.GetFloat(1) && data.GetFloat(2) == 0.0f);
        EXPECT_EQ(*data.GetCurve(4), *edited.GetCurve(4));
        EXPECT_EQ(data.GetCurve(5)->GetPoints(), defaults.GetCurve(5)->GetPoints());
        // bool 0 was read as true, so the default emitter-time curves now loop.
        EXPECT_TRUE(data.GetCurve(EmitterData::Curve_LightRadius)->GetLoop());
    }
    {
        BinaryWriter writer;
        test::WriteBlock(writer, edited, BlockCounts{4, 15, 3, 9, 28});
        writer.Write(0x5EEDu);
        BinaryReader reader(writer.GetBuffer(), writer.GetPosition());
        EmitterData data;
        ASSERT_TRUE(data.BinaryRead(reader));
        ExpectSameSlots(data, edited);
        EXPECT_EQ(reader.ReadUInt32(), 0x5EEDu) << "the reader resumes after the last curve";
    }
    BinaryWriter past;  // a bool past the array, and no integers: the integers keep their defaults
    test::WriteBlock(past, edited, BlockCounts{0, 13, 0, 0, 0});
    EXPECT_EQ(ReadAll(past).GetInteger(0), 0);
}

TEST(EmitterData, TheChunkSizeIsInformationOnlyAndTheDataBoundsTheBlock) {
    test::LogCapture log;
    BinaryWriter good;
    EditedEmitter().BinaryWrite(good);

    // Sizes that do not match the block (zero, short, past the data) read the same block, and
    // the reader resumes after its last curve.
    for (const uint32_t size : {0u, 40u, good.GetPosition(), 0xFFFFFFFFu}) {
        std::vector<unsigned char> bytes(good.GetBuffer(), good.GetBuffer() + good.GetPosition());
        std::memcpy(bytes.data() + 8, &size, sizeof(size));
        const uint32_t next = 0x5EED;
        bytes.insert(bytes.end(), reinterpret_cast<const unsigned char*>(&next),
                     reinterpret_cast<const unsigned char*>(&next) + sizeof(next));
        BinaryReader reader(bytes.data(), uint32_t(bytes.size()));
        EmitterData data;
        ASSERT_TRUE(data.BinaryRead(reader)) << size;
        ExpectSameSlots(data, EditedEmitter());
        EXPECT_EQ(reader.ReadUInt32(), next) << size;
    }
    EXPECT_EQ(log.Count(LogPriority::Error), 0u);

    // Every truncation fails: fields that run past the data.
    for (uint32_t length = 0; length < good.GetPosition(); ++length) {
        BinaryReader reader(good.GetBuffer(), length);
        EmitterData data;
        EXPECT_FALSE(data.BinaryRead(reader)) << length;
    }

    // A count far beyond the data at each array in turn (the arrays before it empty), then
    // padding, so only the count is wrong.
    for (int hostileArray = 0; hostileArray < 5; ++hostileArray) {
        log.Clear();
        BinaryWriter writer;
        writer.Write("PFX1", 4);
        writer.BeginChunk(0);
        for (int i = 0; i < hostileArray; ++i) writer.Write(0u);
        writer.Write(0xFFFFFFF0u);
        for (int i = 0; i < 16; ++i) writer.Write(0u);
        writer.EndChunk();
        BinaryReader reader(writer.GetBuffer(), writer.GetPosition());
        EmitterData data;
        EXPECT_FALSE(data.BinaryRead(reader)) << hostileArray;
        EXPECT_TRUE(log.Contains(LogPriority::Error, "cannot fit") && log.Count(LogPriority::Error) == 1u)
            << hostileArray;
    }
}

TEST(EmitterData, OldRecordsMapTheirFieldsAndBlendPairs) {
    struct Pair {
        uint32_t source, destination;
        const char* shader;
        int curves;
    };
    for (const Pair& pair : {Pair{6, 0, "Shaders/Particle/ParticleAdditive.ssh", 3},
                             Pair{6, 8, "Shaders/Particle/ParticleCombine.ssh", 26},
                             Pair{9, 0, "Shaders/Particle/ParticleAdditiveSmooth.ssh", 1},
                             Pair{1, 1, "Shaders/Particle/ParticleAdditive.ssh", 3}}) {
        test::OldRecord record;
        record.sourceBlend = pair.source;
        record.destinationBlend = pair.destination;
        record.curvesWritten = pair.curves;
        record.curveCount = uint32_t(pair.curves);
        BinaryWriter writer;
        record.Write(writer);
        const EmitterData data = ReadAll(writer);
        EXPECT_EQ(data.GetShaderName(), pair.shader);
        EXPECT_EQ(data.GetTextureName(), "old/tex.tex");
        for (int i = 0; i < 6; ++i) EXPECT_EQ(data.GetBoolean(i), record.bools[i] != 0) << i;
        EXPECT_TRUE(data.GetInteger(0) == 3 && data.GetInteger(1) == 24);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(data.GetFloat(i), record.floats[i]) << i;
        const EmitterData edited = EditedEmitter();
        for (int i = 0; i < 4; ++i)  // the curves it names, then the defaults
            EXPECT_EQ(data.GetCurve(i)->GetPoints(), (i < pair.curves ? edited : EmitterData()).GetCurve(i)->GetPoints());
        EXPECT_TRUE(data.GetLoop());
        for (int i : kEmitterTimeCurves) EXPECT_TRUE(data.GetCurve(i)->GetLoop()) << i;
    }

    // Bools 6 to 11 are not in an old record; counts of 0 and 27 name no curves.
    for (uint32_t count : {0u, 27u}) {
        test::OldRecord record;
        record.bools[0] = 0;
        record.curveCount = count;
        BinaryWriter writer;
        record.Write(writer);
        EmitterData data;  // read in place: a copy would loop the curves by bool 0 itself
        for (int i = 6; i < 12; ++i) data.SetBoolean(i, i % 2 == 0);
        data.SetLoop(true);  // bool 0 of the record decides the emitter-time curves' loops
        BinaryReader reader(writer.GetBuffer(), writer.GetPosition());
        ASSERT_TRUE(data.BinaryRead(reader));
        for (int i = 6; i < 12; ++i) EXPECT_EQ(data.GetBoolean(i), i % 2 == 0) << i;
        for (int i = 0; i < EmitterData::kNumCurves; ++i) EXPECT_EQ(*data.GetCurve(i), *EmitterData().GetCurve(i)) << i;
    }
}

TEST(EmitterData, RefusesTruncatedOldRecords) {
    test::LogCapture log;
    test::OldRecord record;
    record.curveCount = 2;
    record.curvesWritten = 2;
    BinaryWriter writer;
    record.Write(writer);
    for (uint32_t length = 0; length < writer.GetPosition(); ++length) {
        BinaryReader reader(writer.GetBuffer(), length);
        EmitterData data;
        EXPECT_FALSE(data.BinaryRead(reader)) << length;
    }
    EXPECT_GE(log.Count(LogPriority::Error), 1u);
}

}  // namespace
}  // namespace GAME
