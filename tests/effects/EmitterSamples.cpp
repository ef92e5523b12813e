#include "EmitterSamples.h"

#include <gtest/gtest.h>

#include "core/CurveData.h"

namespace GAME::test {

EmitterData EditedEmitter(int seed) {
    EmitterData data;
    const float s = static_cast<float>(seed);
    data.SetTextureName("tex/edited" + std::to_string(seed) + ".tex");
    data.SetShaderName("shaders/edited" + std::to_string(seed) + ".ssh");
    for (int i = 0; i < EmitterData::kNumBooleans; ++i) data.SetBoolean(i, true);
    data.SetInteger(EmitterData::Integer_Shape, EmitterData::Shape_SphereSurface);
    data.SetInteger(EmitterData::Integer_FramesPerSecond, 12 + seed);
    data.SetFloat(EmitterData::Float_Life, 3.5f + s);
    data.SetFloat(EmitterData::Float_RotationX, 45.0f);
    data.SetFloat(EmitterData::Float_RotationY, -90.0f);
    data.SetFloat(EmitterData::Float_RotationZ, 180.0f);
    for (int i = 0; i < EmitterData::kNumCurves; ++i) {
        CurveData& curve = *data.GetCurve(i);
        const float f = static_cast<float>(i);
        const float domain = 2.0f + f * 0.5f;
        EXPECT_TRUE(curve.SetPoints({{0.0f, f + 0.5f}, {domain * 0.5f, f * 2.0f + s}, {domain, -f}}));
        curve.SetDomain(domain);
        curve.SetRange(100.0f + f);
        curve.SetHalfGraph(!curve.GetHalfGraph());
        curve.SetColor(static_cast<PSColor>(10 + i));
        curve.SetLoop(true);
    }
    data.SetLoop(true);
    data.SetEnabled(false);
    data.SetDebugLines(false);
    return data;
}

void OldRecord::Write(BinaryWriter& writer) const {
    writer.Write(texture);
    writer.Write(sourceBlend);
    writer.Write(destinationBlend);
    for (int i = 0; i < 4; ++i) writer.Write(bools[i]);
    writer.Write(integers[0]);
    writer.Write(bools[4]);
    writer.Write(integers[1]);
    writer.Write(bools[5]);
    for (float value : floats) writer.Write(value);
    writer.Write(curveCount);
    const EmitterData edited = EditedEmitter();
    for (int i = 0; i < curvesWritten; ++i) edited.GetCurve(i)->BinaryWrite(writer);
}

void WriteBlock(BinaryWriter& writer, const EmitterData& source, const BlockCounts& counts) {
    writer.Write("PFX1", 4);
    writer.BeginChunk(0);
    writer.Write(counts.strings);
    for (uint32_t i = 0; i < counts.strings; ++i)
        writer.Write(i < EmitterData::kNumStrings ? source.GetString(static_cast<int>(i)) : std::string("extra"));
    writer.Write(counts.bools);
    for (uint32_t i = 0; i < counts.bools; ++i)
        writer.Write(i < EmitterData::kNumBooleans ? source.GetBoolean(static_cast<int>(i)) : true);
    writer.Write(counts.integers);
    for (uint32_t i = 0; i < counts.integers; ++i)
        writer.Write(i < EmitterData::kNumIntegers ? source.GetInteger(static_cast<int>(i)) : 7);
    writer.Write(counts.floats);
    for (uint32_t i = 0; i < counts.floats; ++i)
        writer.Write(i < EmitterData::kNumFloats ? source.GetFloat(static_cast<int>(i)) : 7.0f);
    writer.Write(counts.curves);
    for (uint32_t i = 0; i < counts.curves; ++i)
        (i < EmitterData::kNumCurves ? *source.GetCurve(static_cast<int>(i)) : CurveData()).BinaryWrite(writer);
    writer.EndChunk();
}

void ExpectSameSlots(const EmitterData& actual, const EmitterData& expected) {
    for (int i = 0; i < EmitterData::kNumStrings; ++i) EXPECT_EQ(actual.GetString(i), expected.GetString(i)) << "string " << i;
    for (int i = 0; i < EmitterData::kNumBooleans; ++i)
        EXPECT_EQ(actual.GetBoolean(i), expected.GetBoolean(i)) << "bool " << i;
    for (int i = 0; i < EmitterData::kNumIntegers; ++i)
        EXPECT_EQ(actual.GetInteger(i), expected.GetInteger(i)) << "integer " << i;
    for (int i = 0; i < EmitterData::kNumFloats; ++i) EXPECT_EQ(actual.GetFloat(i), expected.GetFloat(i)) << "float " << i;
    for (int i = 0; i < EmitterData::kNumCurves; ++i) EXPECT_EQ(*actual.GetCurve(i), *expected.GetCurve(i)) << "curve " << i;
}

}  // namespace GAME::test
