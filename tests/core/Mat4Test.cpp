#include "core/Mat4.h"

#include "core/Coords.h"
#include "MathExpect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace GAME {
namespace {

using test::ExpectNear;
using test::FrameA;
using test::FrameB;

void ExpectAllFinite(const Mat4& m) {
    for (int i = 0; i < 16; ++i) {
        EXPECT_TRUE(std::isfinite(m.GetData()[i])) << "element " << i;
    }
}

TEST(Mat4, DefaultIsIdentity) {
    const Mat4 m;
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col) {
            EXPECT_EQ(m(row, col), row == col ? 1.0f : 0.0f);
        }
    }
}

TEST(Mat4, FromCoordsStoresAxesAndOriginAsColumns) {
    const Coords c(Vec3(1, 2, 3), Vec3(4, 5, 6), Vec3(7, 8, 9), Vec3(10, 11, 12));
    const float expected[16] = {1, 4, 7, 10, 2, 5, 8, 11, 3, 6, 9, 12, 0, 0, 0, 1};
    const Mat4 m(c);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(m.GetData()[i], expected[i]) << "float " << i;
    }
    EXPECT_EQ(m(0, 3), 10.0f);  // origin.x: row 0, column 3
    EXPECT_EQ(m(1, 0), 2.0f);   // x.y
}

TEST(Mat4, ProductMatchesCoordsComposition) {
    const Coords a = FrameA();
    const Coords b = FrameB();
    ExpectNear(Mat4(a) * Mat4(b), Mat4(a * b));
    // And the product is not commutative for these frames.
    const Mat4 ab = Mat4(a) * Mat4(b);
    const Mat4 ba = Mat4(b) * Mat4(a);
    EXPECT_GT(std::fabs(ab(0, 3) - ba(0, 3)) + std::fabs(ab(1, 3) - ba(1, 3)), 0.5f);
}

TEST(Mat4, ExplicitElementsAreRowByRow) {
    const Mat4 m(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    EXPECT_EQ(std::tuple(m(0, 1), m(2, 0), m.GetData()[4]), std::tuple(2.0f, 9.0f, 5.0f));
    const Mat4 t = m.Transpose();
    EXPECT_EQ(std::tuple(t(0, 1), t(3, 2), t(2, 2)), std::tuple(5.0f, 12.0f, 11.0f));
}

TEST(Mat4, DeterminantOfFrames) {
    EXPECT_NEAR(Mat4(FrameA()).Determinant(), 1.0f, 1e-5f);
    const Coords scaled(Vec3(2, 0, 0), Vec3(0, 3, 0), Vec3(0, 0, 4), Vec3(5, 6, 7));
    EXPECT_NEAR(Mat4(scaled).Determinant(), 24.0f, 1e-5f);
    Coords mirrored = FrameA();
    mirrored.yAxis = -mirrored.yAxis;
    EXPECT_NEAR(Mat4(mirrored).Determinant(), -1.0f, 1e-5f);
}

TEST(Mat4, InverseRoundTrips) {
    const Coords c = FrameA() * FrameB();
    ExpectNear(Mat4(c).Inverse(), Mat4(c.Inverse()));

    // A perspective projection (not affine) and a sheared, scaled matrix.
    const Mat4 projection(1.7f, 0, 0.1f, 0, 0, 1.3f, -0.2f, 0, 0, 0, 1.01f, -1.01f, 0, 0, 1, 0);
    const Mat4 general(2, 0.5f, 0, 3, 0.1f, 1, -0.4f, -2, 0, 0.3f, 0.5f, 1, 0.2f, 0, 0, 1);
    // Every row tiny: each row's own length is the measure of a small determinant.
    const Mat4 tinyRows(1e-8f, 0, 0, 0, 0, 1e-8f, 0, 0, 0, 0, 1e-8f, 0, 0, 0, 0, 1e-8f);
    for (const Mat4& m : {projection, general, Mat4(c) * projection, tinyRows}) {
        Mat4 inverse;
        ASSERT_TRUE(m.Invert(inverse));
        ExpectNear(m * inverse, Mat4(), 1e-4f);
        ExpectNear(inverse * m, Mat4(), 1e-4f);
    }

    // Small but regular matrices are not mistaken for singular ones.
    const Mat4 tiny(1e-3f, 0, 0, 0, 0, 1e-3f, 0, 0, 0, 0, 1e-3f, 0, 0, 0, 0, 1);
    Mat4 tinyInverse;
    ASSERT_TRUE(tiny.Invert(tinyInverse));
    EXPECT_NEAR(tinyInverse(0, 0), 1000.0f, 1e-2f);
}

TEST(Mat4, SingularMatricesGiveNoInfinitiesOrNaNs) {
    const Mat4 zero(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    const Mat4 repeatedRow(1, 2, 3, 4, 5, 6, 7, 8, 1, 2, 3, 4, 0, 0, 0, 1);
    const Mat4 flattened(Coords(Vec3(1, 0, 0), Vec3(0, 1, 0), Vec3(), Vec3(1, 2, 3)));
    // Rows dependent up to rounding: the determinant is not exactly zero.
    const Mat4 nearlyDependent(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Mat4 withNaN(nan, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    for (const Mat4& m : {zero, repeatedRow, flattened, nearlyDependent, withNaN}) {
        const Mat4 marker(9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9);
        Mat4 out = marker;
        EXPECT_FALSE(m.Invert(out));
        ExpectNear(out, marker, 0.0f);
        const Mat4 inverse = m.Inverse();
        ExpectAllFinite(inverse);
        ExpectNear(inverse, Mat4(), 0.0f);
    }
}

TEST(Mat4, CropMatrixFillsTheClipRangeWithTheRectangleAfterAPerspective) {
    // A projection with w = z, so the crop's offset must scale with w to land right.
    const Mat4 perspective(1, 0, 0, 0,
                           0, 1, 0, 0,
                           0, 0, 1, -1,
                           0, 0, 1, 0);
    const Mat4 crop = MakeCropMatrix(-0.2f, 0.1f, 0.6f, 0.5f);
    const Mat4 m = crop * perspective;
    const auto project = [&](float x, float y, float z) {
        float out[4];
        for (int row = 0; row < 4; ++row) out[row] = m(row, 0) * x + m(row, 1) * y + m(row, 2) * z + m(row, 3);
        return Vec3(out[0] / out[3], out[1] / out[3], out[2]);
    };
    for (const float z : {2.0f, 7.5f}) {
        ExpectNear(project(-0.2f * z, 0.1f * z, z), Vec3(-1, -1, z - 1), 1e-5f);
        ExpectNear(project(0.6f * z, 0.5f * z, z), Vec3(1, 1, z - 1), 1e-5f);
        ExpectNear(project(0.2f * z, 0.3f * z, z), Vec3(0, 0, z - 1), 1e-5f);
    }
    ExpectAllFinite(MakeCropMatrix(0.5f, 0.5f, 0.5f, 0.5f));  // a flat rectangle
}

}  // namespace
}  // namespace GAME
