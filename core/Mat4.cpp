#include "core/Mat4.h"

#include "core/Coords.h"

#include <cmath>

namespace GAME {

namespace {

// The 2 x 2 minors of the top two and the bottom two rows, shared by Determinant and Invert.
struct Minors {
    float s[6];  // rows 0, 1
    float c[6];  // rows 2, 3

    explicit Minors(const float* m) {
        s[0] = m[0] * m[5] - m[4] * m[1];
        s[1] = m[0] * m[6] - m[4] * m[2];
        s[2] = m[0] * m[7] - m[4] * m[3];
        s[3] = m[1] * m[6] - m[5] * m[2];
        s[4] = m[1] * m[7] - m[5] * m[3];
        s[5] = m[2] * m[7] - m[6] * m[3];
        c[5] = m[10] * m[15] - m[14] * m[11];
        c[4] = m[9] * m[15] - m[13] * m[11];
        c[3] = m[9] * m[14] - m[13] * m[10];
        c[2] = m[8] * m[15] - m[12] * m[11];
        c[1] = m[8] * m[14] - m[12] * m[10];
        c[0] = m[8] * m[13] - m[12] * m[9];
    }

    float Determinant() const {
        return s[0] * c[5] - s[1] * c[4] + s[2] * c[3] + s[3] * c[2] - s[4] * c[1] + s[5] * c[0];
    }
};

double RowLengthSquared(const float* row) {
    return double(row[0]) * row[0] + double(row[1]) * row[1] + double(row[2]) * row[2] + double(row[3]) * row[3];
}

}  // namespace

Mat4::Mat4(const Coords& f)
    : m{f.xAxis.x, f.yAxis.x, f.zAxis.x, f.origin.x,
        f.xAxis.y, f.yAxis.y, f.zAxis.y, f.origin.y,
        f.xAxis.z, f.yAxis.z, f.zAxis.z, f.origin.z,
        0.0f, 0.0f, 0.0f, 1.0f} {}

Mat4 Mat4::operator*(const Mat4& b) const {
    Mat4 r;
    for (int row = 0; row < 4; ++row) {
        const float* a = m + row * 4;
        for (int col = 0; col < 4; ++col) {
            r.m[row * 4 + col] = a[0] * b.m[col] + a[1] * b.m[4 + col] + a[2] * b.m[8 + col] + a[3] * b.m[12 + col];
        }
    }
    return r;
}

Mat4 Mat4::Transpose() const {
    Mat4 r;
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col) {
            r.m[col * 4 + row] = m[row * 4 + col];
        }
    }
    return r;
}

float Mat4::Determinant() const { return Minors(m).Determinant(); }

bool Mat4::Invert(Mat4& out) const {
    const Minors minors(m);
    const float* s = minors.s;
    const float* c = minors.c;
    const float det = minors.Determinant();

    // |det| is at most the product of the row lengths (Hadamard); a determinant that small
    // relative to it means rows that are parallel to float precision, and an "inverse" that is
    // noise or infinite. Compared on squares in double so that neither side under- or overflows.
    const double bound = RowLengthSquared(m) * RowLengthSquared(m + 4) * RowLengthSquared(m + 8) * RowLengthSquared(m + 12);
    const double relativeEpsilon = 1e-7;
    if (!(double(det) * det > relativeEpsilon * relativeEpsilon * bound) || !std::isfinite(bound)) {
        return false;
    }

    const float inv = 1.0f / det;
    Mat4 r;
    r.m[0] = (m[5] * c[5] - m[6] * c[4] + m[7] * c[3]) * inv;
    r.m[1] = (-m[1] * c[5] + m[2] * c[4] - m[3] * c[3]) * inv;
    r.m[2] = (m[13] * s[5] - m[14] * s[4] + m[15] * s[3]) * inv;
    r.m[3] = (-m[9] * s[5] + m[10] * s[4] - m[11] * s[3]) * inv;
    r.m[4] = (-m[4] * c[5] + m[6] * c[2] - m[7] * c[1]) * inv;
    r.m[5] = (m[0] * c[5] - m[2] * c[2] + m[3] * c[1]) * inv;
    r.m[6] = (-m[12] * s[5] + m[14] * s[2] - m[15] * s[1]) * inv;
    r.m[7] = (m[8] * s[5] - m[10] * s[2] + m[11] * s[1]) * inv;
    r.m[8] = (m[4] * c[4] - m[5] * c[2] + m[7] * c[0]) * inv;
    r.m[9] = (-m[0] * c[4] + m[1] * c[2] - m[3] * c[0]) * inv;
    r.m[10] = (m[12] * s[4] - m[13] * s[2] + m[15] * s[0]) * inv;
    r.m[11] = (-m[8] * s[4] + m[9] * s[2] - m[11] * s[0]) * inv;
    r.m[12] = (-m[4] * c[3] + m[5] * c[1] - m[6] * c[0]) * inv;
    r.m[13] = (m[0] * c[3] - m[1] * c[1] + m[2] * c[0]) * inv;
    r.m[14] = (-m[12] * s[3] + m[13] * s[1] - m[14] * s[0]) * inv;
    r.m[15] = (m[8] * s[3] - m[9] * s[1] + m[10] * s[0]) * inv;
    // Rows of wildly different scales can still overflow a float.
    for (const float element : r.m) {
        if (!std::isfinite(element)) {
            return false;
        }
    }
    out = r;
    return true;
}

Mat4 Mat4::Inverse() const {
    Mat4 r;
    Invert(r);
    return r;
}

Mat4 MakeCropMatrix(float minX, float minY, float maxX, float maxY) {
    constexpr float kMinExtent = 1e-6f;
    const float width = std::fmax(maxX - minX, kMinExtent);
    const float height = std::fmax(maxY - minY, kMinExtent);
    return Mat4(2.0f / width, 0.0f, 0.0f, -(minX + maxX) / width,
                0.0f, 2.0f / height, 0.0f, -(minY + maxY) / height,
                0.0f, 0.0f, 1.0f, 0.0f,
                0.0f, 0.0f, 0.0f, 1.0f);
}

}  // namespace GAME
