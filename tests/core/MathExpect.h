#pragma once
// Near-equality assertions for the math value types, shared by the core math tests.

#include "core/Coords.h"
#include "core/Mat3.h"
#include "core/Mat4.h"
#include "core/Vec3.h"

#include <gtest/gtest.h>

namespace GAME::test {

inline constexpr float kMathTolerance = 1e-5f;

inline void ExpectNear(const Vec3& actual, const Vec3& expected, float tolerance = kMathTolerance) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

inline void ExpectNear(const Coords& actual, const Coords& expected, float tolerance = kMathTolerance) {
    ExpectNear(actual.xAxis, expected.xAxis, tolerance);
    ExpectNear(actual.yAxis, expected.yAxis, tolerance);
    ExpectNear(actual.zAxis, expected.zAxis, tolerance);
    ExpectNear(actual.origin, expected.origin, tolerance);
}

inline void ExpectNear(const Mat3& actual, const Mat3& expected, float tolerance = kMathTolerance) {
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            EXPECT_NEAR(actual(row, col), expected(row, col), tolerance) << "element " << row << ", " << col;
        }
    }
}

inline void ExpectNear(const Mat4& actual, const Mat4& expected, float tolerance = kMathTolerance) {
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col) {
            EXPECT_NEAR(actual(row, col), expected(row, col), tolerance) << "element " << row << ", " << col;
        }
    }
}

// Two frames that are rotated and translated, so that composing them in the wrong order gives a
// different answer (pure translations commute and would hide it).
inline Coords FrameA() {
    Coords a = Coords::Rotation(Vec3(1.0f, 2.0f, 2.0f) * (1.0f / 3.0f), 0.9f);
    a.origin = Vec3(3.0f, -1.0f, 2.0f);
    return a;
}

inline Coords FrameB() {
    Coords b = Coords::RotationY(-0.6f) * Coords::RotationX(0.4f);
    b.origin = Vec3(-2.0f, 5.0f, 0.5f);
    return b;
}

}  // namespace GAME::test
