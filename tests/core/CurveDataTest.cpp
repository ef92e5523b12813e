// CurveData: evaluation at and beyond its ends, looping, degenerate domains, the invariants its
// setters keep and its stored form against hostile records.

#include "core/CurveData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "support/LogCapture.h"

namespace GAME {
namespace {

using Points = std::vector<CurveData::Point>;

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// A ramp over a domain of 2: 0 -> 10 over [0, 1], 10 -> 4 over [1, 2].
CurveData Ramp() {
    CurveData curve;
    EXPECT_TRUE(curve.SetPoints({{0.0f, 0.0f}, {1.0f, 10.0f}, {2.0f, 4.0f}}));
    curve.SetDomain(2.0f);
    return curve;
}

TEST(CurveData, DefaultIsAFlatLineOverOneSecond) {
    const CurveData curve;
    EXPECT_EQ(curve.GetPoints(), (Points{{0.0f, 0.0f}, {1.0f, 0.0f}}));
    EXPECT_EQ(std::tuple(curve.GetDomain(), curve.GetRange(), curve.GetLoop(), curve.GetHalfGraph()),
              std::tuple(1.0f, 1.0f, false, false));
    EXPECT_EQ(curve.GetColor(), PSColor::None);
    EXPECT_EQ(curve.GetYFast(0.5f), 0.0f);
}

TEST(CurveData, InterpolatesInsideAndClampsAtAndBeyondTheEnds) {
    const CurveData curve = Ramp();
    // Inside; at the ends and beyond them (infinities, and not a number, at the first end) exactly.
    for (const auto& [x, y] : {std::pair{0.5f, 5.0f}, std::pair{1.0f, 10.0f}, std::pair{1.5f, 7.0f}})
        EXPECT_FLOAT_EQ(curve.GetYFast(x), y) << x;
    for (const auto& [x, y] :
         {std::pair{0.0f, 0.0f}, std::pair{2.0f, 4.0f}, std::pair{-3.0f, 0.0f}, std::pair{2.5f, 4.0f},
          std::pair{1e30f, 4.0f}, std::pair{kInf, 4.0f}, std::pair{-kInf, 0.0f}, std::pair{kNaN, 0.0f}})
        EXPECT_EQ(curve.GetYFast(x), y) << x;
    EXPECT_EQ(curve.GetMaxY(), 10.0f);
    EXPECT_FALSE(curve.IsFlat());
}

TEST(CurveData, FlatOnlyWhenEveryPointHasOneY) {
    CurveData curve;
    EXPECT_TRUE(curve.IsFlat());
    ASSERT_TRUE(curve.SetPoints({{0.0f, 3.0f}}));
    EXPECT_TRUE(curve.IsFlat());
    ASSERT_TRUE(curve.SetPoints({{0.0f, 3.0f}, {1.0f, 3.0f}, {2.0f, 3.0f}}));
    EXPECT_TRUE(curve.IsFlat());
    for (int changed = 0; changed < 3; ++changed) {
        Points points{{0.0f, 3.0f}, {1.0f, 3.0f}, {2.0f, 3.0f}};
        points[static_cast<size_t>(changed)].y = 3.5f;
        ASSERT_TRUE(curve.SetPoints(points));
        EXPECT_FALSE(curve.IsFlat()) << changed;
    }
    ASSERT_TRUE(curve.SetPoints({{0.0f, 1.0f}, {1.0f, 3.0f}, {2.0f, 2.0f}}));
    curve.SetFirstLastY(3.0f);
    EXPECT_TRUE(curve.IsFlat());
}

TEST(CurveData, LoopingWrapsIntoTheDomain) {
    CurveData curve = Ramp();
    curve.SetLoop(true);
    EXPECT_FLOAT_EQ(curve.GetYFast(2.5f), 5.0f);
    EXPECT_FLOAT_EQ(curve.GetYFast(5.5f), 7.0f);
    EXPECT_EQ(curve.GetYFast(2.0f), 0.0f) << "the end of the domain is the start of the next turn";
    EXPECT_FLOAT_EQ(curve.GetYFast(-0.5f), 7.0f) << "negative times wrap from the end";
    EXPECT_FLOAT_EQ(curve.GetYFast(-1.0e-8f), 4.0f) << "a time just below 0 wraps to the end, not past it";
    for (float x : {1e30f, -1e30f, kInf, -kInf, kNaN}) {
        const float y = curve.GetYFast(x);
        EXPECT_TRUE(std::isfinite(y)) << x;
        EXPECT_GE(y, 0.0f);
        EXPECT_LE(y, 10.0f);
    }

    // Points short of the domain hold their last value until the turn ends.
    curve.SetDomain(4.0f);
    EXPECT_EQ(curve.GetYFast(3.0f), 4.0f);
    EXPECT_EQ(curve.GetYFast(4.0f), 0.0f);
}

TEST(CurveData, ZeroDomainAndStepsNeverDivideByZero) {
    CurveData curve;
    ASSERT_TRUE(curve.SetPoints({{0.0f, 1.0f}, {0.0f, 3.0f}}));
    curve.SetDomain(0.0f);
    curve.SetLoop(true);
    for (float x : {-1.0f, 0.0f, 1e-30f, 0.5f, 7.0f, kInf, kNaN}) EXPECT_TRUE(std::isfinite(curve.GetYFast(x))) << x;
    EXPECT_EQ(curve.GetYFast(0.0f), 1.0f);
    EXPECT_EQ(curve.GetYFast(0.5f), 3.0f);

    // A step inside a curve: left of it the lower value, from it on the upper one.
    ASSERT_TRUE(curve.SetPoints({{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 5.0f}, {2.0f, 5.0f}}));
    curve.SetLoop(false);
    EXPECT_EQ(curve.GetYFast(0.999f), 0.0f);
    EXPECT_EQ(curve.GetYFast(1.0f), 5.0f);

    // Extreme points stay between their values rather than overflowing into NaN.
    constexpr float kMax = std::numeric_limits<float>::max();
    ASSERT_TRUE(curve.SetPoints({{-kMax, kMax}, {kMax, -kMax}}));
    for (float x : {-kMax, -1.0f, 0.0f, 3.0e38f, kMax}) {
        const float y = curve.GetYFast(x);
        EXPECT_TRUE(std::isfinite(y)) << x;
    }
    EXPECT_NEAR(curve.GetYFast(0.0f), 0.0f, 1e32f);

    // A single point is a constant.
    ASSERT_TRUE(curve.SetPoints({{0.5f, 2.0f}}));
    EXPECT_EQ(curve.GetYFast(0.0f), 2.0f);
    EXPECT_EQ(curve.GetYFast(9.0f), 2.0f);
    curve.SetFirstLastY(6.0f);
    EXPECT_EQ(curve.GetPoints(), (Points{{0.5f, 6.0f}}));
}

TEST(CurveData, SettersKeepTheInvariants) {
    CurveData curve = Ramp();
    const CurveData before = curve;
    EXPECT_FALSE(curve.SetPoints({}));
    EXPECT_FALSE(curve.SetPoints({{1.0f, 0.0f}, {0.5f, 1.0f}})) << "unsorted";
    EXPECT_FALSE(curve.SetPoints({{0.0f, kNaN}}));
    EXPECT_FALSE(curve.SetPoints({{kInf, 0.0f}}));
    EXPECT_FALSE(curve.SetPoints(Points(CurveData::kMaxPoints + 1)));
    curve.SetRange(kNaN);
    curve.SetFirstLastY(kInf);
    EXPECT_EQ(curve, before);
    EXPECT_TRUE(curve.SetPoints(Points(CurveData::kMaxPoints)));

    curve.SetDomain(-2.0f);
    EXPECT_EQ(curve.GetDomain(), 0.0f);
    curve.SetDomain(kNaN);
    EXPECT_EQ(curve.GetDomain(), 0.0f);

    // Half graph and range only describe the curve; its users centre the value themselves.
    CurveData spin;
    spin.SetHalfGraph(true);
    spin.SetRange(720.0f);
    spin.SetFirstLastY(360.0f);
    EXPECT_TRUE(spin.GetHalfGraph());
    EXPECT_EQ(spin.GetYFast(0.3f), 360.0f);
    EXPECT_EQ(spin.GetYFast(0.3f) - spin.GetRange() * 0.5f, 0.0f);

    CurveData copy;
    copy.Copy(spin);
    EXPECT_EQ(copy, spin);
    EXPECT_GE(copy.GetAllocatedSize(), 2 * sizeof(CurveData::Point));
}

CurveData Edited() {
    CurveData curve;
    EXPECT_TRUE(curve.SetPoints({{0.0f, -1.5f}, {0.25f, 3.0f}, {0.25f, 2.0f}, {3.0f, 8.0f}}));
    curve.SetDomain(3.0f);
    curve.SetRange(12.0f);
    curve.SetLoop(true);
    curve.SetHalfGraph(true);
    curve.SetColor(static_cast<PSColor>(77));  // codes the engine does not know still round-trip
    return curve;
}

TEST(CurveData, StoredFormRoundTripsAndIsConsumedExactly) {
    CurveData single;
    ASSERT_TRUE(single.SetPoints({{0.5f, 2.0f}}));
    for (const CurveData& curve : {Edited(), single}) {
        BinaryWriter writer;
        curve.BinaryWrite(writer);
        EXPECT_EQ(writer.GetPosition(), 8u + curve.GetPoints().size() * 8u + 8u + 12u);
        const uint32_t end = writer.GetPosition();
        writer.Write(0xABCDEF01u);

        BinaryReader reader(writer.GetBuffer(), writer.GetPosition());
        CurveData back;
        ASSERT_TRUE(back.BinaryRead(reader));
        EXPECT_EQ(back, curve);
        EXPECT_EQ(reader.GetPosition(), end);
        EXPECT_EQ(reader.ReadUInt32(), 0xABCDEF01u);
    }
}

// A stored curve with the given header and two points, then the tail fields.
std::vector<unsigned char> Record(uint32_t version, uint32_t count, float domain = 1.0f, float x1 = 1.0f) {
    BinaryWriter writer;
    writer.Write(version);
    writer.Write(count);
    for (float value : {0.0f, 0.0f, x1, 1.0f}) writer.Write(value);
    writer.Write(domain);
    writer.Write(1.0f);
    for (uint32_t value : {0u, 0u, 1u}) writer.Write(value);
    return {writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition()};
}

TEST(CurveData, RefusesHostileRecordsAndStaysUnchanged) {
    test::LogCapture log;
    const CurveData original = Edited();

    struct Case {
        const char* what;
        std::vector<unsigned char> record;
    };
    Case cases[] = {
        {"unknown version", Record(2, 2)},
        {"no points", Record(1, 0)},
        {"too many points", Record(1, CurveData::kMaxPoints + 1)},
        {"a count far past the data", Record(1, 0xFFFFFFFFu)},
        {"a count one past the data", Record(1, 5)},
        {"a NaN domain", Record(1, 2, kNaN)},
        {"a negative domain", Record(1, 2, -1.0f)},
        {"unsorted points", Record(1, 2, 1.0f, -1.0f)},
        {"an infinite point", Record(1, 2, 1.0f, kInf)},
    };
    for (Case& c : cases) {
        log.Clear();
        CurveData curve = original;
        BinaryReader reader(c.record.data(), static_cast<uint32_t>(c.record.size()));
        EXPECT_FALSE(curve.BinaryRead(reader)) << c.what;
        EXPECT_EQ(curve, original) << c.what;
        EXPECT_EQ(log.Count(LogPriority::Error), 1u) << c.what;
    }

    // Every truncation of a good record.
    BinaryWriter good;
    original.BinaryWrite(good);
    for (uint32_t length = 0; length < good.GetPosition(); ++length) {
        CurveData curve = original;
        BinaryReader reader(good.GetBuffer(), length);
        EXPECT_FALSE(curve.BinaryRead(reader)) << length;
        EXPECT_EQ(curve, original) << length;
    }
}

}  // namespace
}  // namespace GAME
